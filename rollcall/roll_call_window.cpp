#include "rollcall/roll_call_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QTimer>
#include <QVersionNumber>
#include <chrono>

#include "core/cache_file.h"
#include "core/file_text.h"
#include "core/numbers.h"
#include "core/score_line.h"
#include "rollcall/draw_panel.h"
#include "rollcall/form_layout.h"
#include "rollcall/group_stats_panel.h"
#include "rollcall/manual_pick_panel.h"
#include "rollcall/name_fit.h"
#include "rollcall/score_upload.h"
#include "rollcall/status_panels.h"
#include "rollcall/upload_panel.h"

namespace zorvanix {
namespace {

using namespace layout;

const QString kPauseCaption = QStringLiteral("暂停");
const QString kUnitPoints = QStringLiteral("分");
// A criterion given to the current student: "[5分]" becomes "[5分]√".
const QString kUsedCriterionMark = QStringLiteral("分]√\t");
// Criteria lists scroll this far past their widest entry.
constexpr int kCriteriaScrollMargin = 30;

// Seconds since midnight with their fraction, as the draw's seed.
quint64 TimeOfDaySeed() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  return static_cast<quint64>(duration_cast<nanoseconds>(now).count() % 86'400'000'000'000LL);
}

QString VersionText() {
  const QVersionNumber version = QVersionNumber::fromString(QStringLiteral(ZORVANIX_VERSION));
  return QStringLiteral("版本:%1.%2.%3")
      .arg(version.majorVersion())
      .arg(version.minorVersion())
      .arg(version.microVersion());
}

// Hidden side panels are shown in the draw panel's place.
void PlaceSidePanel(QWidget* panel) {
  panel->setGeometry(PxRect(kSidePanelLeft, kSidePanelTop, kWindowWidth - 2 * kSidePanelLeft,
                            kWindowHeight - 2 * kSidePanelTop));
}

}  // namespace

RollCallWindow::RollCallWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Zorvanix"));
  // Above every normal window, so it stays in reach during the lesson.
  setWindowFlag(Qt::WindowStaysOnTopHint);

  draw_ = new DrawPanel(this);
  upload_ = new UploadPanel(this);
  stats_ = new GroupStatsPanel(this);
  manual_ = new ManualPickPanel(this);
  for (QWidget* panel :
       {static_cast<QWidget*>(upload_->frame), static_cast<QWidget*>(upload_->editor),
        static_cast<QWidget*>(stats_->frame), static_cast<QWidget*>(stats_->detail),
        static_cast<QWidget*>(manual_)}) {
    PlaceSidePanel(panel);
  }
  status_ = new StatusPanels(this);

  roll_timer_ = new QTimer(this);
  roll_timer_->setObjectName(QStringLiteral("Timer1"));
  roll_timer_->setInterval(5);
  roll_timer_->setTimerType(Qt::PreciseTimer);
  second_timer_ = new QTimer(this);
  second_timer_->setObjectName(QStringLiteral("Timer2"));
  second_timer_->setInterval(1000);
  connect(roll_timer_, &QTimer::timeout, this, &RollCallWindow::RollTick);
  connect(second_timer_, &QTimer::timeout, this, &RollCallWindow::SecondTick);

  setFixedSize(Px(kWindowWidth), Px(kWindowHeight));
  ConnectDrawPanel();
  ConnectSidePanels();
  connect(upload_->operation_password, &QLineEdit::textChanged, this,
          [this](const QString& typed) { context_.session->SetOperationPassword(typed); });

  // Nothing can be drawn until a class is chosen, and no class until the
  // sign-in filled the choices.
  draw_->class_choice->setEnabled(false);
  for (QPushButton* button : draw_->draw_buttons) button->setEnabled(false);
  draw_->search_box->setEnabled(false);
  draw_->manage_button->setEnabled(false);
  ShowTopicCriteria();
  draw_->score_choice->clear();
  for (int points = 5; points >= 0; --points) {
    draw_->score_choice->addItem(QString::number(points) + kUnitPoints);
  }
  draw_->score_choice->setCurrentIndex(-1);
  draw_->average_label->clear();
  draw_->count_label->clear();
  BuildStatusBar();
  second_timer_->start();
}

RollCallWindow::~RollCallWindow() = default;

void RollCallWindow::BuildStatusBar() {
  status_->setGeometry(0, Px(kWindowHeight - kStatusBarHeight), Px(kWindowWidth),
                       Px(kStatusBarHeight));
  status_->SetWidth(1, Px(kVersionPanelWidth));
  status_->SetText(1, VersionText());
  status_->SetWidth(2, Px(kServerVersionPanelWidth));
  status_->SetText(2, QString());
  status_->SetToolTip(2, QStringLiteral("双击可下载最新版本"));
  status_->SetWidth(3, Px(kThirdPanelWidth));
  status_->SetWidth(4, Px(kStopwatchPanelWidth));
  status_->SetText(4, QStringLiteral("双击计时"));
  status_->SetToolTip(4, QStringLiteral("计时开关"));
  int used = 0;
  for (int panel = 1; panel <= 4; ++panel) used += status_->Width(panel);
  status_->SetWidth(5, width() - used);
  status_->SetText(5, context_.config.vendor_site);
  status_->SetToolTip(5, QStringLiteral("双击访问官网"));
  connect(status_, &StatusPanels::PanelDoubleClicked, this,
          &RollCallWindow::StatusPanelDoubleClicked);
}

void RollCallWindow::ConnectDrawPanel() {
  for (int i = 0; i <= kManualPickButton; ++i) {
    QPushButton* button = draw_->draw_buttons[i];
    // Enter as well as Space presses the focused button: the same key that
    // started a draw stops it.
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, [this, i] { DrawButtonClicked(i); });
  }
  connect(draw_->class_choice, &QComboBox::activated, this, &RollCallWindow::ChooseClass);
  connect(draw_->topic_choice, &QComboBox::activated, this, &RollCallWindow::TopicChosen);
  connect(draw_->topic_choice, &QComboBox::editTextChanged, this,
          &RollCallWindow::TopicTextChanged);
  connect(draw_->score_choice, &QComboBox::activated, this, &RollCallWindow::ScoreFromChoice);
  // The keyboard reaches the combo box, which hands its keys on to its line
  // edit without going through the line edit's filters: Enter is watched on
  // both.
  draw_->score_choice->installEventFilter(this);
  draw_->score_choice->lineEdit()->installEventFilter(this);
  connect(draw_->criteria, &QListWidget::itemDoubleClicked, this,
          &RollCallWindow::ScoreFromCriterion);
  connect(draw_->name_display, &QLineEdit::textChanged, this, &RollCallWindow::UpdateNameDisplay);
  connect(draw_->search_hits, &QListWidget::itemDoubleClicked, this,
          &RollCallWindow::PickSearchHit);
  draw_->search_hits->installEventFilter(this);
  // The bar reports its left edge on the draw panel; the limits are the
  // window's.
  connect(draw_->divider, &Splitter::BeforeSplit, this, [this](bool* cancel, double* position) {
    if (!BeforeDividerMove(*position - kFrame5Offset)) *cancel = true;
  });
  connect(draw_->divider, &Splitter::Split, this, &RollCallWindow::DividerMoved);
  connect(draw_->user_button, &QPushButton::clicked, this, [this] {
    hide();
    emit LoginRequested();
  });
  connect(draw_->manage_button, &QPushButton::clicked, this,
          [this] { emit ManagementRequested(); });
  connect(draw_->upload_button, &QPushButton::clicked, this, &RollCallWindow::OpenUploadPanel);
  for (QObject* watched :
       {static_cast<QObject*>(draw_->unfold_picture), static_cast<QObject*>(draw_->fold_picture),
        static_cast<QObject*>(draw_->stopwatch_label)}) {
    watched->installEventFilter(this);
  }
}

void RollCallWindow::ConnectSidePanels() {
  connect(upload_->back, &QPushButton::clicked, this, [this] {
    upload_->frame->hide();
    ShowDrawPanel();
  });
  connect(stats_->back, &QPushButton::clicked, this, [this] {
    upload_->frame->show();
    stats_->frame->hide();
  });
  connect(stats_->detail_back, &QPushButton::clicked, this, [this] {
    stats_->frame->show();
    stats_->detail->hide();
  });
  connect(manual_->tabs, &QTabBar::currentChanged, this, &RollCallWindow::ShowManualTab);
  connect(manual_->back, &QPushButton::clicked, this, [this] {
    manual_->hide();
    ShowDrawPanel();
  });
  ConnectSubmissionPanels();
}

// --- Other windows ------------------------------------------------------------

void RollCallWindow::RefreshMainWindowFromCache(CacheRefresh mode) {
  const QString user = context_.session->CurrentUser();
  setWindowTitle(QStringLiteral("Zorvanix [") + user + u']');
  CacheFile& cache = *context_.cache;
  if (mode == CacheRefresh::kOnline) context_.service->DownloadServerRecord(user, cache);

  QComboBox* classes = draw_->class_choice;
  classes->clear();
  classes->setCurrentIndex(-1);  // shows "班级"
  classes->addItems(cache.ClassNames());
  classes->setCurrentIndex(-1);
  classes->setEnabled(true);

  QComboBox* topics = draw_->topic_choice;
  QString first_topic;
  {
    const QSignalBlocker quiet(topics);
    topics->clear();
    const QStringList lines = cache.ReadTaggedLines(kTopicTag).split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
      TopicLine topic;
      if (!ParseTopicLine(lines[i], &topic)) continue;
      if (i == 0) first_topic = topic.name;
      topics->addItem(topic.name);
    }
    topics->setCurrentIndex(first_topic.isEmpty() ? -1 : 0);
    topics->setEditText(first_topic);
  }
  TopicTextChanged(first_topic);

  roster_text_.clear();
  CancelRunningDraw();
  ForgetCurrentStudent();
  pools_.Clear();
  for (QPushButton* button : draw_->draw_buttons) button->setEnabled(false);
}

void RollCallWindow::ShowTopicCriteria() {
  QListWidget* list = draw_->criteria;
  list->clear();
  // No topic, no criteria: the cache is not even opened (at start-up there is
  // nothing to show yet, and the file may be large).
  const QString topic_name = draw_->topic_choice->currentText();
  const auto index = topic_name.isEmpty() ? nullptr : context_.cache->Index();
  if (index) {
    const auto lines = index->Find(TopicTag(topic_name));
    TopicLine topic;
    if (!lines.empty() && ParseTopicLine(lines.front(), &topic)) {
      for (const Criterion& criterion : topic.criteria) {
        list->addItem(u'[' + criterion.score + kUnitPoints + QStringLiteral("]\t") +
                      criterion.text);
      }
    }
  }
  draw_->criteria->SetHorizontalExtent(ListTextWidth(*list) + kCriteriaScrollMargin);
  LayOutCriteria(list->count() > 0);
}

void RollCallWindow::EnableManageButton() { draw_->manage_button->setEnabled(true); }

QString RollCallWindow::OperationPassword() const { return context_.session->OperationPassword(); }

QStringList RollCallWindow::PendingScores() const { return upload_->PendingLines(); }

// --- Class, pools and drawing ------------------------------------------------

void RollCallWindow::ChooseClass() {
  CancelRunningDraw();
  ForgetCurrentStudent();
  class_name_ = draw_->class_choice->currentText();
  roster_text_ = context_.cache->ReadTaggedLines(RosterTag(class_name_));
  pools_.Build(StudentRowsFromText(roster_text_));
  manual_->FillGroups(pools_);
  draw_->draw_buttons[kManualPickButton]->setEnabled(true);
  RefreshDrawButtons();
  draw_->search_box->clear();
}

// An empty score choice: choosing any score afterwards, even the one chosen
// last, counts as a choice.
void RollCallWindow::ClearScoreChoice() {
  draw_->score_choice->setCurrentIndex(-1);
  draw_->score_choice->setEditText(QString());
}

// A student drawn in one class is nobody in another: the name, the two
// counts and NewStu go with the class they belong to.
void RollCallWindow::ForgetCurrentStudent() {
  current_student_.clear();
  draw_->name_display->clear();
  draw_->average_label->clear();
  draw_->count_label->clear();
  draw_->score_choice->setEnabled(false);
  draw_->criteria->setEnabled(false);
}

// Any pick while a draw rolls ends the draw first, without a result, so the
// running button reads as before and the other buttons come back.
void RollCallWindow::EndDrawForPick() {
  if (!draw_running_) return;
  CancelRunningDraw();
  for (int i = 0; i < kDrawPoolCount; ++i) draw_->draw_buttons[i]->setEnabled(pools_.HasNames(i));
}

// A draw still rolling over the pools that are about to be replaced ends
// without a result: its button reads as before and nobody is drawn. Without
// this the rolling would go on over another class, or with every button
// disabled, with nothing left to stop it.
void RollCallWindow::CancelRunningDraw() {
  for (QPushButton* button : draw_->draw_buttons) {
    if (button->text() == kPauseCaption) button->setText(paused_caption_);
  }
  roll_timer_->stop();
  rolling_index_.reset();
  draw_running_ = false;
}

void RollCallWindow::RefreshDrawButtons() {
  for (int i = 0; i < kDrawPoolCount; ++i) draw_->draw_buttons[i]->setEnabled(pools_.HasNames(i));
  draw_->search_box->setEnabled(true);
  draw_->search_box->setFocus();
}

void RollCallWindow::DrawButtonClicked(int index) {
  if (index == kManualPickButton) {
    OpenManualPick();
  } else if (draw_->draw_buttons[index]->text() == kPauseCaption) {
    StopDraw(index);
  } else {
    StartDraw(index);
  }
}

void RollCallWindow::StartDraw(int index) {
  ShowTopicCriteria();
  QPushButton* button = draw_->draw_buttons[index];
  paused_caption_ = button->text();
  button->setText(kPauseCaption);
  for (int i = 0; i < kDrawPoolCount; ++i) draw_->draw_buttons[i]->setEnabled(false);
  button->setEnabled(true);
  ClearScoreChoice();
  rolling_pool_ = pools_.Pool(index);
  rolling_index_ = context_.cache->Index();
  roll_shown_ = false;
  draw_running_ = true;
  roll_timer_->start();
  if (button->isEnabled()) button->setFocus();
}

void RollCallWindow::RollTick() {
  const int n = static_cast<int>(rolling_pool_.size());
  award_ = RollIndex(UniformFromSeed(TimeOfDaySeed()), n);
  draw_->name_display->setText(n > 0 ? rolling_pool_[award_] : QString());
  roll_shown_ = n > 0;
}

void RollCallWindow::StopDraw(int index) {
  QPushButton* button = draw_->draw_buttons[index];
  button->setText(paused_caption_);
  roll_timer_->stop();
  rolling_index_.reset();
  draw_running_ = false;
  ClearScoreChoice();
  if (!roll_shown_) {
    // Stopped before any name was shown: no result, nobody leaves a pool,
    // and whatever the box showed before is not taken as drawn.
    ForgetCurrentStudent();
    draw_->criteria->setEnabled(false);
    draw_->score_choice->setEnabled(false);
    RefreshDrawButtons();
    return;
  }
  draw_->criteria->setEnabled(true);
  draw_->score_choice->setEnabled(true);
  current_student_ = draw_->name_display->text();
  pools_.RecordDraw(index, award_, current_student_);
  RefreshDrawButtons();
  if (button->isEnabled()) button->setFocus();
}

void RollCallWindow::PickSearchHit() {
  EndDrawForPick();
  QListWidget* hits = draw_->search_hits;
  draw_->criteria->setEnabled(true);
  draw_->score_choice->setEnabled(true);
  ClearScoreChoice();
  if (const QListWidgetItem* item = hits->currentItem()) {
    draw_->name_display->setText(item->text().section(u'\t', 0, 0));
  }
  current_student_ = draw_->name_display->text();
  pools_.RecordPickByName(current_student_);
  hits->hide();
  hits->clear();
  ShowTopicCriteria();
  draw_->search_box->clear();
  draw_->score_choice->setFocus();
}

// The display update of the name box, on every change of its text: the
// largest font that fits, one line high, centred in its background box, and
// the student's average and count beside it.
void RollCallWindow::UpdateNameDisplay() {
  FitNameFont(DrawPanel::WidthOf(draw_->name_display));
  CentreNameInBox();
  ShowStudentCounts();
}

void RollCallWindow::FitNameFont(int width_twips) {
  const QString text = draw_->name_display->text();
  if (text.isEmpty()) return;
  const int points = NamePointSize(width_twips, static_cast<int>(text.size()));
  if (points == name_point_size_) return;
  name_point_size_ = points;
  draw_->name_display->setFont(NameFonts::Font(points));
}

void RollCallWindow::CentreNameInBox() {
  QLineEdit* name = draw_->name_display;
  const int height = name_point_size_ > 0 ? NameFonts::LineHeight(name_point_size_)
                                          : NameFonts::LineHeight(name->font());
  if (name->height() != height) name->resize(name->width(), height);
  const int top_twips =
      (DrawPanel::HeightOf(draw_->name_background) - Twips(height)) / 2 + kFrame5Offset;
  const int top = Px(top_twips);
  if (name->y() != top) name->move(name->x(), top);
}

void RollCallWindow::ShowStudentCounts() {
  QString average, count;
  // While a draw rolls the cache as it was at the start serves every step, so
  // a step never goes to the file system.
  const auto index = roll_timer_->isActive() && rolling_index_
                         ? rolling_index_
                         : context_.cache->Index();
  if (index) {
    const auto lines =
        index->Find(StudentTag(draw_->class_choice->currentText(), draw_->name_display->text()));
    if (!lines.empty()) {
      const QList<QStringView> fields = lines.front().split(u'\t');
      if (fields.size() > 5 && LeadingNumber(fields[5]) > 0) {
        average = fields[4].toString();
        count = fields[5].toString();
      }
    }
  }
  if (draw_->average_label->text() != average) draw_->average_label->setText(average);
  if (draw_->count_label->text() != count) draw_->count_label->setText(count);
}

// --- Topic, criteria and the divider ----------------------------------------

void RollCallWindow::TopicChosen() {
  upload_->topic->setText(draw_->topic_choice->currentText());
  ShowTopicCriteria();
}

void RollCallWindow::TopicTextChanged(const QString& text) {
  upload_->topic->setText(text);
  if (!text.trimmed().isEmpty()) {
    ShowTopicCriteria();
  } else {
    draw_->criteria->clear();
  }
}

void RollCallWindow::LayOutCriteria(bool has_criteria) {
  QWidget* box = draw_->name_background;
  QWidget* name = draw_->name_display;
  QWidget* topic = draw_->topic_choice;
  const auto set_width = [](QWidget* widget, int twips) {
    widget->resize(Px(std::max(twips, 0)), widget->height());
  };
  if (!has_criteria) {
    draw_->criteria->hide();
    draw_->divider->hide();
    set_width(name, InnerWidth() - kText2WidthMargin);
    set_width(box, InnerWidth() - kText13WidthMargin);
    set_width(topic, DrawPanel::WidthOf(box) - kCombo3NarrowerThanText13);
    return;
  }
  const int divider = DrawPanel::LeftOf(draw_->divider);
  set_width(box, divider - DrawPanel::LeftOf(box) + kText13PastDivider);
  set_width(name, divider - DrawPanel::LeftOf(name) + kText2PastDivider);
  set_width(topic, divider - DrawPanel::LeftOf(topic) + kCombo3PastDivider);
  QWidget* list = draw_->criteria;
  const int list_left = divider + DrawPanel::WidthOf(draw_->divider) + kList1GapAfterDivider;
  DrawPanel::Place(list, list_left, DrawPanel::TopOf(list), InnerWidth() - list_left,
                   DrawPanel::HeightOf(list));
  list->show();
  draw_->divider->show();
  draw_->divider->raise();
}

// The inner width of the unfolded window: the layout is the draw panel's,
// whether or not the window is folded at the moment.
int RollCallWindow::InnerWidth() const { return Twips(Px(kWindowWidth)); }

bool RollCallWindow::BeforeDividerMove(double position) const {
  if (position <= kDividerMinLeft) return false;
  return InnerWidth() - position >= kDividerMinRightRoom;
}

void RollCallWindow::DividerMoved() {
  // The name keeps the size fitted to the box as it was before the move; the
  // next name shown is fitted to the new width.
  FitNameFont(DrawPanel::WidthOf(draw_->name_display));
  CentreNameInBox();
  LayOutCriteria(true);
}

// --- Scoring -------------------------------------------------------------------

QString RollCallWindow::DailyLogPath() const {
  return QDir(context_.config.data_dir)
      .filePath(DailyLogFileName(context_.session->CurrentUser(), class_name_,
                                 context_.clock->Now().date()));
}

void RollCallWindow::ScoreFromChoice() {
  const QString name = draw_->name_display->text();
  if (name.isEmpty() || name != current_student_) return;
  if (!AcceptGbkText(*context_.prompter, draw_->score_choice->currentText())) return;
  const QDateTime now = context_.clock->Now();
  RecordScore(ScoreLine(class_name_, name, draw_->score_choice->currentText(), now, QString()),
              now);
  current_student_.clear();
  draw_->score_choice->setEnabled(false);
  draw_->criteria->setEnabled(false);
  draw_->search_box->setFocus();
}

void RollCallWindow::ScoreFromCriterion() {
  QListWidgetItem* item = draw_->criteria->currentItem();
  const QString name = draw_->name_display->text();
  if (!item || item->text().contains(kUsedCriterionMark) || name.isEmpty()) return;
  const QString entry = item->text();
  QString points = entry.section(u'\t', 0, 0);
  points.remove(u'[');
  QComboBox* score = draw_->score_choice;
  score->setEditText(ShortestDecimal(LeadingNumber(points)) + kUnitPoints);
  score->setEnabled(false);
  const QDateTime now = context_.clock->Now();
  const QString criterion = entry.section(u'\t', 1);
  RecordScore(ScoreLine(class_name_, name, score->currentText(), now, criterion), now);
  item->setText(QString(entry).replace(QStringLiteral("]"), QStringLiteral("]√")));
}

// The line goes to the day's log at once and joins the pending list. A log
// that cannot be written does not cost the score: it stays pending, and the
// teacher hears once per file why the log misses it.
void RollCallWindow::RecordScore(const QString& line, const QDateTime& moment) {
  const QString path =
      QDir(context_.config.data_dir)
          .filePath(DailyLogFileName(context_.session->CurrentUser(), class_name_, moment.date()));
  QString error;
  if (!AppendLineToFile(path, line, &error) && !unwritable_logs_.contains(path)) {
    unwritable_logs_.insert(path);
    context_.prompter->ShowMessage(QStringLiteral("警告"),
                                   QStringLiteral("计分日志无法写入：") + path +
                                       QStringLiteral("\r\n") + error +
                                       QStringLiteral("\r\n这条计分仍在待上传列表中。"),
                                   MessageIcon::kWarning);
  }
  upload_->AddPendingLine(line);
}

// --- Panels ----------------------------------------------------------------------

void RollCallWindow::ShowDrawPanel() {
  draw_->show();
  SetStatusBarShown(true);
}

void RollCallWindow::OpenUploadPanel() {
  upload_->frame->show();
  draw_->hide();
  upload_->editor->hide();
  upload_->upload->setEnabled(score_upload_->UploadAllowed());
  SetStatusBarShown(false);
  upload_->pending->selectAll();
}

void RollCallWindow::OpenManualPick() {
  manual_->show();
  draw_->hide();
  SetStatusBarShown(false);
  ShowManualTab();
}

// The tab switch of the manual-pick panel. A draw still rolling ends here,
// without a result, as a pick from the panel would end it.
void RollCallWindow::ShowManualTab() {
  EndDrawForPick();
  manual_->ShowTab(pools_.TabContents(manual_->CurrentTab()));
  manual_->group_password->setText(upload_->operation_password->text());
}

void RollCallWindow::SetStatusBarShown(bool shown) {
  status_bar_wanted_ = shown;
  status_->setVisible(shown && !folded_);
}

void RollCallWindow::Fold() {
  folded_ = true;
  setFixedSize(Px(kFoldedWidth), Px(kFoldedHeight));
  draw_->name_display->hide();
  draw_->name_background->hide();
  status_->hide();
}

void RollCallWindow::Unfold() {
  folded_ = false;
  setFixedSize(Px(kWindowWidth), Px(kWindowHeight));
  draw_->name_display->show();
  draw_->name_background->show();
  status_->setVisible(status_bar_wanted_);
  ShowTopicCriteria();
}

// --- Stopwatch and the once-a-second tick -------------------------------------

void RollCallWindow::ToggleStopwatch() { stopwatch_.Toggle(); }

void RollCallWindow::SecondTick() {
  const bool first = stopwatch_.Tick();
  if (stopwatch_.Running()) status_->SetText(4, stopwatch_.HoursMinutesSeconds());
  draw_->stopwatch_label->setText(stopwatch_.MinutesSeconds());
  if (first) RunStartupChecks();
}

void RollCallWindow::StatusPanelDoubleClicked(int panel) {
  switch (panel) {
    case 2:
      context_.shell->OpenUrl(context_.service->VendorUpdateUrl());
      break;
    case 4:
      ToggleStopwatch();
      break;
    case 5:
      context_.shell->OpenUrl(context_.service->VendorHomeUrl());
      break;
    default:
      break;
  }
}

// --- Events ------------------------------------------------------------------------

bool RollCallWindow::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseMove) {
    if (watched == draw_->fold_picture) Fold();
    if (watched == draw_->unfold_picture) Unfold();
  } else if (type == QEvent::MouseButtonDblClick && watched == draw_->stopwatch_label) {
    ToggleStopwatch();
    return true;
  } else if (type == QEvent::KeyPress && watched == draw_->score_choice) {
    // A typed score confirmed with Enter (either Enter key) is taken as typed.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        !draw_->score_choice->currentText().isEmpty()) {
      ScoreFromChoice();
      return true;
    }
  } else if (type == QEvent::KeyRelease) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (watched == draw_->score_choice->lineEdit() && enter &&
        !draw_->score_choice->currentText().isEmpty()) {
      ScoreFromChoice();
    } else if (watched == draw_->search_hits && enter) {
      draw_->search_hits->hide();
      PickSearchHit();
    } else if (watched == draw_->search_hits && key == Qt::Key_Escape) {
      draw_->search_hits->hide();
      draw_->search_box->setFocus();
    } else if (watched == draw_->search_box) {
      SearchBoxKeyReleased(key);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void RollCallWindow::closeEvent(QCloseEvent* event) {
  if (!ending_) {
    const int pending = upload_->PendingCount();
    if (pending > 0 &&
        !context_.prompter->AskYesNoDefaultNo(
            QStringLiteral("提示"),
            QStringLiteral("还有%1条计分未上传，确定退出吗？\r\n这些计分已记在当天的计分日志中。")
                .arg(pending),
            MessageIcon::kQuestion)) {
      event->ignore();
      return;
    }
  }
  ending_ = true;
  roll_timer_->stop();
  second_timer_->stop();
  HideOtherWindows();
  event->accept();
  emit ProgramEnding();
}

// Closing this window ends the program: the other windows go without running
// their own close handling (which would bring this window back).
void RollCallWindow::HideOtherWindows() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window != this && window->isVisible()) window->hide();
  }
}

}  // namespace zorvanix
