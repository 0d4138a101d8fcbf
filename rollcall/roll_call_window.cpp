#include "rollcall/roll_call_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QVersionNumber>
#include <chrono>

#include "core/cache_file.h"
#include "core/numbers.h"
#include "core/score_line.h"
#include "rollcall/draw_panel.h"
#include "rollcall/form_layout.h"
#include "rollcall/group_stats_panel.h"
#include "rollcall/manual_pick_panel.h"
#include "rollcall/name_search_box.h"
#include "rollcall/score_upload.h"
#include "rollcall/status_panels.h"
#include "rollcall/upload_panel.h"

namespace zorvanix {
namespace {

using namespace layout;

const QString kUnitPoints = QStringLiteral("分");

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
    : QWidget(parent), context_(context), score_log_(context.config, *context.prompter) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Zorvanix"));
  // Above every normal window, so it stays in reach during the lesson.
  setWindowFlag(Qt::WindowStaysOnTopHint);

  draw_ = new DrawPanel(this);
  upload_ = new UploadPanel(this);
  stats_ = new GroupStatsPanel(this);
  manual_ = new ManualPickPanel(this);
  for (QWidget* panel : upload_->Frames() + stats_->Frames() + QList<QWidget*>{manual_}) {
    PlaceSidePanel(panel);
  }
  status_ = new StatusPanels(this);
  score_upload_ = new ScoreUpload(context_, *upload_);

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
  ShowTopicCriteria();
  status_->setGeometry(0, Px(kWindowHeight - kStatusBarHeight), Px(kWindowWidth),
                       Px(kStatusBarHeight));
  status_->SetUpRollCall(width(), VersionText(), context_.config.vendor_site);
  second_timer_->start();
}

RollCallWindow::~RollCallWindow() = default;

void RollCallWindow::ConnectDrawPanel() {
  connect(draw_, &DrawPanel::DrawPressed, this, &RollCallWindow::DrawPressed);
  connect(draw_, &DrawPanel::ClassChosen, this, &RollCallWindow::ChooseClass);
  connect(draw_, &DrawPanel::TopicChosen, this, &RollCallWindow::TopicChosen);
  connect(draw_, &DrawPanel::TopicTyped, this, &RollCallWindow::TopicTyped);
  connect(draw_, &DrawPanel::ScoreChosen, this, &RollCallWindow::ScoreFromChoice);
  connect(draw_, &DrawPanel::CriterionChosen, this, &RollCallWindow::ScoreFromCriterion);
  connect(draw_, &DrawPanel::NameShown, this, &RollCallWindow::ShowStudentCounts);
  connect(&draw_->Search(), &NameSearchBox::SearchWanted, this, &RollCallWindow::SearchNames);
  connect(&draw_->Search(), &NameSearchBox::HitChosen, this, &RollCallWindow::PickSearchHit);
  connect(draw_, &DrawPanel::UserPressed, this, [this] {
    hide();
    emit LoginRequested();
  });
  connect(draw_, &DrawPanel::ManagePressed, this,
          [this] { emit ManagementRequested(); });
  connect(draw_, &DrawPanel::UploadPressed, this, &RollCallWindow::OpenUploadPanel);
  connect(draw_, &DrawPanel::FoldWanted, this, &RollCallWindow::Fold);
  connect(draw_, &DrawPanel::UnfoldWanted, this, &RollCallWindow::Unfold);
  connect(draw_, &DrawPanel::StopwatchToggled, this, [this] { stopwatch_.Toggle(); });
}

void RollCallWindow::ConnectSidePanels() {
  connect(upload_, &UploadPanel::BackPressed, this, &RollCallWindow::ShowDrawPanel);
  connect(upload_, &UploadPanel::GroupStatisticsPressed, this,
          &RollCallWindow::ShowGroupStatistics);
  connect(stats_, &GroupStatsPanel::BackPressed, upload_, &UploadPanel::Reopen);
  connect(manual_, &ManualPickPanel::TabChosen, this, &RollCallWindow::ShowManualTab);
  connect(manual_, &ManualPickPanel::BackPressed, this, &RollCallWindow::ShowDrawPanel);
  connect(manual_, &ManualPickPanel::NamePicked, this, &RollCallWindow::PickFromPanelList);
  // One password for both uploads: what is typed on the group tab is the
  // upload panel's too (the tab switch copies it back).
  connect(manual_, &ManualPickPanel::PasswordTyped, upload_, &UploadPanel::SetPassword);
  connect(manual_, &ManualPickPanel::UploadGroupsPressed, this, &RollCallWindow::UploadGroups);
  connect(status_, &StatusPanels::UpdateWanted, this,
          [this] { context_.shell->OpenUrl(context_.service->VendorUpdateUrl()); });
  connect(status_, &StatusPanels::StopwatchToggled, this, [this] { stopwatch_.Toggle(); });
  connect(status_, &StatusPanels::VendorSiteWanted, this,
          [this] { context_.shell->OpenUrl(context_.service->VendorHomeUrl()); });
}

// --- Other windows ------------------------------------------------------------

void RollCallWindow::RefreshMainWindowFromCache(CacheRefresh mode) {
  const QString user = context_.session->CurrentUser();
  setWindowTitle(QStringLiteral("Zorvanix [") + user + u']');
  CacheFile& cache = *context_.cache;
  if (mode == CacheRefresh::kOnline) context_.service->DownloadServerRecord(user, cache);

  draw_->SetClasses(cache.ClassNames());

  QStringList topics;
  QString first_topic;
  {
    const QStringList lines = cache.ReadTaggedLines(kTopicTag).split(QStringLiteral("\r\n"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
      TopicLine topic;
      if (!ParseTopicLine(lines[i], &topic)) continue;
      if (i == 0) first_topic = topic.name;
      topics.append(topic.name);
    }
  }
  draw_->SetTopics(topics, first_topic);
  TopicTyped(first_topic);

  roster_text_.clear();
  CancelRunningDraw();
  ForgetCurrentStudent();
  pools_.Clear();
  draw_->CloseDrawButtons();
}

void RollCallWindow::ShowTopicCriteria() {
  given_criteria_.clear();
  QStringList entries;
  // No topic, no criteria: the cache is not even opened (at start-up there is
  // nothing to show yet, and the file may be large).
  const QString topic_name = draw_->Topic();
  const auto index = topic_name.isEmpty() ? nullptr : context_.cache->Index();
  if (index) {
    const auto lines = index->Find(TopicTag(topic_name));
    TopicLine topic;
    if (!lines.empty() && ParseTopicLine(lines.front(), &topic)) {
      for (const Criterion& criterion : topic.criteria) {
        entries.append(u'[' + criterion.score + kUnitPoints + QStringLiteral("]\t") +
                       criterion.text);
      }
    }
  }
  draw_->ShowCriteria(entries);
}

void RollCallWindow::EnableManageButton() { draw_->SetManageEnabled(true); }

QString RollCallWindow::OperationPassword() const { return context_.session->OperationPassword(); }

QStringList RollCallWindow::PendingScores() const { return upload_->Scores().Lines(); }

// --- Class, pools and drawing ------------------------------------------------

void RollCallWindow::ChooseClass() {
  CancelRunningDraw();
  ForgetCurrentStudent();
  class_name_ = draw_->ClassName();
  roster_text_ = context_.cache->ReadTaggedLines(RosterTag(class_name_));
  pools_.Build(StudentRowsFromText(roster_text_));
  manual_->FillGroups(pools_);
  draw_->SetManualPickEnabled(true);
  draw_->OpenDrawing(pools_);
  draw_->Search().Clear();
}

// A student drawn in one class is nobody in another: the name, the two
// counts and NewStu go with the class they belong to.
void RollCallWindow::ForgetCurrentStudent() {
  current_student_.clear();
  draw_->ClearName();
}

// A pick (by name or from the manual-pick panel) while a draw still rolls
// ends that draw first, without a result, so the running button reads as
// before and the other buttons come back.
void RollCallWindow::EndDrawForPick() {
  if (!rolling_pool_) return;
  CancelRunningDraw();
  draw_->ShowDrawButtons(pools_);
}

// A draw still rolling over the pools that are about to be replaced ends
// without a result: its button reads as before and nobody is drawn. Without
// this the rolling would go on over another class, or with every button
// disabled, with nothing left to stop it.
void RollCallWindow::CancelRunningDraw() {
  if (rolling_pool_) draw_->ShowStopped(*rolling_pool_);
  roll_timer_->stop();
  rolling_index_.reset();
  rolling_pool_.reset();
}

void RollCallWindow::DrawPressed(int index) {
  if (index == kManualPickButton) {
    OpenManualPick();
  } else if (rolling_pool_ == index) {
    StopDraw(index);
  } else {
    StartDraw(index);
  }
}

void RollCallWindow::StartDraw(int index) {
  ShowTopicCriteria();
  draw_->ShowRolling(index);
  draw_->ClearScore();
  rolling_pool_ = index;
  rolling_index_ = context_.cache->Index();
  roll_shown_ = false;
  roll_timer_->start();
  draw_->FocusDrawButton(index);
}

void RollCallWindow::RollTick() {
  if (!rolling_pool_) return;
  const QStringList& pool = pools_.Pool(*rolling_pool_);
  const int n = static_cast<int>(pool.size());
  award_ = RollIndex(UniformFromSeed(TimeOfDaySeed()), n);
  draw_->ShowName(n > 0 ? pool[award_] : QString());
  roll_shown_ = n > 0;
}

void RollCallWindow::StopDraw(int index) {
  CancelRunningDraw();
  draw_->ClearScore();
  if (!roll_shown_) {
    // Stopped before any name was shown: no result, nobody leaves a pool,
    // and whatever the box showed before is not taken as drawn.
    ForgetCurrentStudent();
    draw_->OpenDrawing(pools_);
    return;
  }
  draw_->EnableScoring(true);
  current_student_ = draw_->Name();
  pools_.RecordDraw(index, award_, current_student_);
  draw_->OpenDrawing(pools_);
  draw_->FocusDrawButton(index);
}

void RollCallWindow::PickSearchHit(const QString& name) {
  EndDrawForPick();
  draw_->EnableScoring(true);
  draw_->ClearScore();
  if (!name.isEmpty()) draw_->ShowName(name);
  current_student_ = draw_->Name();
  pools_.RecordPickByName(current_student_);
  ShowTopicCriteria();
  draw_->Search().Clear();
  draw_->FocusScore();
}

// Unlike a search hit, a name picked here stays in its pools.
void RollCallWindow::PickFromPanelList(const QString& name) {
  EndDrawForPick();
  draw_->EnableScoring(true);
  draw_->ClearScore();
  draw_->ShowName(name);
  current_student_ = draw_->Name();
  manual_->hide();
  ShowDrawPanel();
  ShowTopicCriteria();
  // The score is what comes next.
  draw_->FocusScore();
}

void RollCallWindow::ShowStudentCounts() {
  QString average, count;
  // While a draw rolls the cache as it was at the start serves every step, so
  // a step never goes to the file system.
  const auto index = roll_timer_->isActive() && rolling_index_
                         ? rolling_index_
                         : context_.cache->Index();
  if (index) {
    const auto lines = index->Find(StudentTag(draw_->ClassName(), draw_->Name()));
    if (!lines.empty()) {
      const QList<QStringView> fields = lines.front().split(u'\t');
      if (fields.size() > 5 && LeadingNumber(fields[5]) > 0) {
        average = fields[4].toString();
        count = fields[5].toString();
      }
    }
  }
  draw_->ShowCounts(average, count);
}

void RollCallWindow::TopicChosen() {
  upload_->SetTopic(draw_->Topic());
  ShowTopicCriteria();
}

void RollCallWindow::TopicTyped(const QString& text) {
  upload_->SetTopic(text);
  if (!text.trimmed().isEmpty()) {
    ShowTopicCriteria();
  } else {
    given_criteria_.clear();
    draw_->ClearCriteria();
  }
}

void RollCallWindow::SearchNames(const QString& text) {
  const auto cache = context_.cache->Index();
  draw_->Search().ShowHits(
      name_search_.Entries(pools_.Pool(kDrawAll), text, cache, draw_->ClassName()));
}

// --- Scoring -------------------------------------------------------------------

QString RollCallWindow::DailyLogPath() const {
  return score_log_.PathFor(context_.session->CurrentUser(), class_name_,
                            context_.clock->Now().date());
}

void RollCallWindow::ScoreFromChoice(const QString& score) {
  const QString name = draw_->Name();
  if (name.isEmpty() || name != current_student_) return;
  if (!AcceptGbkText(*context_.prompter, score)) return;
  const QDateTime now = context_.clock->Now();
  RecordScore(ScoreLine(class_name_, name, score, now, QString()), now);
  current_student_.clear();
  draw_->EnableScoring(false);
  draw_->Search().Focus();
}

void RollCallWindow::ScoreFromCriterion(int row) {
  const QString entry = draw_->CriterionText(row);
  const QString name = draw_->Name();
  if (entry.isEmpty() || given_criteria_.contains(row) || name.isEmpty()) return;
  QString points = entry.section(u'\t', 0, 0);
  points.remove(u'[');
  const QString score = ShortestDecimal(LeadingNumber(points)) + kUnitPoints;
  draw_->ShowCriterionScore(score);
  const QDateTime now = context_.clock->Now();
  RecordScore(ScoreLine(class_name_, name, score, now, entry.section(u'\t', 1)), now);
  given_criteria_.insert(row);
  draw_->MarkCriterionGiven(row);
}

// The line goes to the day's log at once and joins the pending list; a log
// that cannot be written does not cost the score.
void RollCallWindow::RecordScore(const QString& line, const QDateTime& moment) {
  score_log_.Append(context_.session->CurrentUser(), class_name_, moment, line);
  upload_->AddPendingLine(line);
}

// --- Panels ----------------------------------------------------------------------

void RollCallWindow::ShowDrawPanel() {
  draw_->show();
  SetStatusBarShown(true);
}

void RollCallWindow::OpenUploadPanel() {
  upload_->Open(score_upload_->UploadAllowed());
  draw_->hide();
  SetStatusBarShown(false);
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
  manual_->SetPassword(upload_->Password());
}

void RollCallWindow::ShowGroupStatistics() {
  upload_->Close();
  stats_->Open(upload_->Geometry(),
               GroupStatistics(upload_->Scores().Lines(), manual_->Division().Groups()));
}

void RollCallWindow::SetStatusBarShown(bool shown) {
  status_bar_wanted_ = shown;
  status_->setVisible(shown && !folded_);
}

void RollCallWindow::Fold() {
  folded_ = true;
  setFixedSize(Px(kFoldedWidth), Px(kFoldedHeight));
  draw_->SetFolded(true);
  status_->hide();
}

void RollCallWindow::Unfold() {
  folded_ = false;
  setFixedSize(Px(kWindowWidth), Px(kWindowHeight));
  draw_->SetFolded(false);
  status_->setVisible(status_bar_wanted_);
  ShowTopicCriteria();
}

// --- The once-a-second tick and closing ---------------------------------------

void RollCallWindow::SecondTick() {
  const bool first = stopwatch_.Tick();
  if (stopwatch_.Running()) status_->ShowStopwatch(stopwatch_.HoursMinutesSeconds());
  draw_->SetStopwatchText(stopwatch_.MinutesSeconds());
  if (first) RunStartupChecks();
}

void RollCallWindow::closeEvent(QCloseEvent* event) {
  if (!ending_) {
    const qsizetype pending = upload_->Scores().Count();
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
