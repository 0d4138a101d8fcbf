#include "rollcall/draw_panel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "controls/widget_names.h"
#include "rollcall/form_layout.h"
#include "rollcall/name_box.h"
#include "rollcall/name_fit.h"
#include "rollcall/name_search_box.h"

namespace zorvanix {
namespace {

using namespace layout;

const QString kPauseCaption = QStringLiteral("暂停");
const QString kUnitPoints = QStringLiteral("分");
// Criteria lists scroll this far past their widest entry.
constexpr int kCriteriaScrollMargin = 30;

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

// The two small pictures: a tile with an arrow that says what passing the
// mouse over it does (fold the window away, or bring it back).
QPixmap Picture(bool unfold) {
  const int side = Px(kPictureSize);
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(unfold ? 0x2e7d32 : 0x1565c0));
  painter.setPen(Qt::NoPen);
  painter.drawRoundedRect(QRectF(1, 1, side - 2, side - 2), 6, 6);
  QPainterPath arrow;
  const double m = side / 2.0, a = side / 4.0;
  if (unfold) {  // pointing right and down: open up
    arrow.moveTo(m - a, m - a);
    arrow.lineTo(m + a, m - a);
    arrow.lineTo(m + a, m + a);
  } else {  // pointing left and up: fold away
    arrow.moveTo(m + a, m + a);
    arrow.lineTo(m - a, m + a);
    arrow.lineTo(m - a, m - a);
  }
  arrow.closeSubpath();
  painter.setBrush(Qt::white);
  painter.drawPath(arrow);
  return pixmap;
}

}  // namespace

DrawPanel::DrawPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Frame5"));
  setFrameShape(QFrame::NoFrame);
  setGeometry(-Px(kFrame5Offset), -Px(kFrame5Offset), Px(kFrame5Width), Px(kFrame5Height));
  BuildNameDisplay();
  BuildChoices();
  BuildButtonsAndLabels();
  Connect();

  // Nothing can be drawn until a class is chosen, and no class until the
  // sign-in filled the choices.
  class_choice_->setEnabled(false);
  CloseDrawButtons();
  search_->SetEnabled(false);
  manage_button_->setEnabled(false);
  for (int points = 5; points >= 0; --points) {
    score_choice_->addItem(QString::number(points) + kUnitPoints);
  }
  score_choice_->setCurrentIndex(-1);
  average_label_->clear();
  count_label_->clear();
}

void DrawPanel::Place(QWidget* child, int left, int top, int width, int height) {
  child->setGeometry(ToFrame5(left, top, width, height));
}
int DrawPanel::LeftOf(const QWidget* child) { return Twips(child->x()) - kFrame5Offset; }
int DrawPanel::TopOf(const QWidget* child) { return Twips(child->y()) - kFrame5Offset; }
int DrawPanel::WidthOf(const QWidget* child) { return Twips(child->width()); }
int DrawPanel::HeightOf(const QWidget* child) { return Twips(child->height()); }

void DrawPanel::BuildNameDisplay() {
  // Image1 lies under the name box; it shows only when the window is folded.
  unfold_picture_ = Named(new QLabel(this), QStringLiteral("Image1"));
  unfold_picture_->setPixmap(Picture(true));
  unfold_picture_->setMouseTracking(true);
  Place(unfold_picture_, kText13Left, kText13Top, kPictureSize, kPictureSize);

  name_background_ = Named(new QFrame(this), QStringLiteral("Text13"));
  name_background_->setFrameShape(QFrame::StyledPanel);
  name_background_->setFrameShadow(QFrame::Sunken);
  name_background_->setAutoFillBackground(true);
  name_background_->setBackgroundRole(QPalette::Base);
  Place(name_background_, kText13Left, kText13Top, kWindowWidth - kText13WidthMargin, kText13Height);

  name_display_ = Named(new NameBox(this), QStringLiteral("Text2"));
  name_display_->setFrame(false);
  name_display_->setAlignment(Qt::AlignCenter);
  name_display_->setTextMargins(0, 0, 0, 0);
  QPalette palette = name_display_->palette();
  palette.setColor(QPalette::Text, QColor(0xc62828));
  name_display_->setPalette(palette);
  Place(name_display_, kText2Left, kText13Top + 120, kWindowWidth - kText2WidthMargin, 600);

  criteria_ = Named(new ExtentListWidget(this), QStringLiteral("List1"));
  criteria_->setToolTip(QStringLiteral("双击评分标准为当前学生计分"));
  divider_ = Named(new Splitter(this), QStringLiteral("Splitter1"));
  divider_->SetHostUnitsPerPixel(kTwipsPerPixel);
  Place(divider_, kSplitterStartLeft, kSplitterTop, kSplitterWidth, kSplitterHeight);
  const int list_left = kSplitterStartLeft + kSplitterWidth + kList1GapAfterDivider;
  Place(criteria_, list_left, kSplitterTop, kWindowWidth - list_left, kSplitterHeight);
}

void DrawPanel::BuildChoices() {
  search_ = new NameSearchBox(this);
  Place(search_->Box(), kTxtManualLeft, kSearchRowTop, kTxtManualWidth, kRowHeight);

  topic_choice_ = Named(new QComboBox(this), QStringLiteral("Combo3"));
  topic_choice_->setEditable(true);
  topic_choice_->setInsertPolicy(QComboBox::NoInsert);
  topic_choice_->lineEdit()->setPlaceholderText(QStringLiteral("课题"));
  Place(topic_choice_, kCombo3Left, kSearchRowTop,
        kWindowWidth - kText13WidthMargin - kCombo3NarrowerThanText13, kRowHeight);

  // In the Tab order the topic follows the search box, then the hits.
  QWidget::setTabOrder(search_->Box(), topic_choice_);

  class_choice_ = Named(new QComboBox(this), QStringLiteral("Combo2"));
  class_choice_->setPlaceholderText(QStringLiteral("班级"));
  Place(class_choice_, kRowsLeft, kSecondRowTop, kCombo2Width, kRowHeight);

  score_choice_ = Named(new QComboBox(this), QStringLiteral("Combo1"));
  score_choice_->setEditable(true);
  score_choice_->setInsertPolicy(QComboBox::NoInsert);
  // A typed score is taken exactly as typed: no completion from the list.
  score_choice_->setCompleter(nullptr);
  score_choice_->lineEdit()->setPlaceholderText(QStringLiteral("计分"));
  const int buttons_end = kRowsLeft + (kDrawPoolCount + 1) * (kDrawButtonWidth + kDrawButtonGap);
  Place(score_choice_, buttons_end + 30, kButtonRowTop, kCombo1Width, kRowHeight);
}

void DrawPanel::BuildButtonsAndLabels() {
  for (int i = 0; i <= kManualPickButton; ++i) {
    auto* button = NamedButton(QStringLiteral("btnChou_%1").arg(i), DrawButtonCaption(i), this);
    Place(button, kRowsLeft + i * (kDrawButtonWidth + kDrawButtonGap), kButtonRowTop,
          kDrawButtonWidth, kRowHeight);
    draw_buttons_[i] = button;
  }

  fold_picture_ = Named(new QLabel(this), QStringLiteral("Image2"));
  fold_picture_->setPixmap(Picture(false));
  fold_picture_->setMouseTracking(true);
  fold_picture_->setToolTip(QStringLiteral("收起"));
  Place(fold_picture_, kText13Left, kImage2Top, kPictureSize, kPictureSize);

  const int label30_left = DrawPanel::LeftOf(score_choice_) + kCombo1Width + 45;
  stopwatch_label_ = Named(new QLabel(QStringLiteral("00:00"), this), QStringLiteral("Label30"));
  stopwatch_label_->setAlignment(Qt::AlignCenter);
  stopwatch_label_->setToolTip(QStringLiteral("双击计时"));
  QFont clock_font = stopwatch_label_->font();
  clock_font.setBold(true);
  stopwatch_label_->setFont(clock_font);
  Place(stopwatch_label_, label30_left, kButtonRowTop, kWindowWidth - 45 - label30_left, kRowHeight);

  int x = kRowsLeft + kCombo2Width + 60;
  const auto command = [&](const QString& name, const QString& caption) {
    auto* button = NamedButton(name, caption, this);
    Place(button, x, kSecondRowTop, kCommandWidth, kRowHeight);
    x += kCommandWidth + 60;
    return button;
  };
  user_button_ = command(QStringLiteral("Command1"), QStringLiteral("用户"));
  upload_button_ = command(QStringLiteral("Command11"), QStringLiteral("上传"));
  manage_button_ = command(QStringLiteral("btnManage"), QStringLiteral("后台"));

  const auto caption = [&](const QString& text, int width) {
    auto* label = new QLabel(text, this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Place(label, x, kSecondRowTop, width, kRowHeight);
    x += width + 30;
  };
  const auto value = [&](const QString& name) {
    auto* label = Named(new QLabel(this), name);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    Place(label, x, kSecondRowTop, kLabelWidth, kRowHeight);
    x += kLabelWidth;
    return label;
  };
  caption(QStringLiteral("平均分"), 660);
  average_label_ = value(QStringLiteral("Label4"));
  caption(QStringLiteral("计分次数"), 900);
  count_label_ = value(QStringLiteral("Label28"));

  // The full-screen name for the class. It takes no focus, so the keys that
  // draw keep reaching the draw buttons.
  projector_button_ = NamedButton(QStringLiteral("btnProjector"), QStringLiteral("投影"), this);
  projector_button_->setToolTip(QStringLiteral("全屏显示姓名，供投影 (F11)；Esc 或 F11 返回"));
  projector_button_->setFocusPolicy(Qt::NoFocus);
  Place(projector_button_, x + 60, kSecondRowTop, kProjectorButtonWidth, kRowHeight);
}


void DrawPanel::Connect() {
  for (int i = 0; i <= kManualPickButton; ++i) {
    QPushButton* button = draw_buttons_[i];
    // Enter as well as Space presses the focused button: the same key that
    // started a draw stops it.
    button->setAutoDefault(true);
    connect(button, &QPushButton::clicked, this, [this, i] { emit DrawPressed(i); });
  }
  connect(class_choice_, &QComboBox::activated, this, &DrawPanel::ClassChosen);
  connect(topic_choice_, &QComboBox::activated, this, &DrawPanel::TopicChosen);
  connect(topic_choice_, &QComboBox::editTextChanged, this, &DrawPanel::TopicTyped);
  connect(score_choice_, &QComboBox::activated, this,
          [this] { emit ScoreChosen(score_choice_->currentText()); });
  // The keyboard reaches the combo box, which hands its keys on to its line
  // edit without going through the line edit's filters: Enter is watched on
  // both.
  score_choice_->installEventFilter(this);
  score_choice_->lineEdit()->installEventFilter(this);
  connect(criteria_, &QListWidget::itemDoubleClicked, this,
          [this] { emit CriterionChosen(criteria_->currentRow()); });
  connect(name_display_, &QLineEdit::textChanged, this, [this] {
    FitNameFont(WidthOf(name_display_));
    CentreNameInBox();
    emit NameShown();
  });
  // The bar reports its left edge on the draw panel; the limits are the
  // window's.
  connect(divider_, &Splitter::BeforeSplit, this, [this](bool* cancel, double* position) {
    if (!BeforeDividerMove(*position - kFrame5Offset)) *cancel = true;
  });
  connect(divider_, &Splitter::Split, this, &DrawPanel::DividerMoved);
  connect(user_button_, &QPushButton::clicked, this, &DrawPanel::UserPressed);
  connect(upload_button_, &QPushButton::clicked, this, &DrawPanel::UploadPressed);
  connect(manage_button_, &QPushButton::clicked, this, &DrawPanel::ManagePressed);
  connect(projector_button_, &QPushButton::clicked, this, &DrawPanel::ProjectorPressed);
  for (QObject* watched : {static_cast<QObject*>(unfold_picture_),
                           static_cast<QObject*>(fold_picture_),
                           static_cast<QObject*>(stopwatch_label_)}) {
    watched->installEventFilter(this);
  }
}

// --- Class and topic ------------------------------------------------------------

void DrawPanel::SetClasses(const QStringList& names) {
  class_choice_->clear();
  class_choice_->setCurrentIndex(-1);  // shows "班级"
  class_choice_->addItems(names);
  class_choice_->setCurrentIndex(-1);
  class_choice_->setEnabled(true);
}

void DrawPanel::SetTopics(const QStringList& names, const QString& shown) {
  const QSignalBlocker quiet(topic_choice_);
  topic_choice_->clear();
  topic_choice_->addItems(names);
  topic_choice_->setCurrentIndex(shown.isEmpty() ? -1 : 0);
  topic_choice_->setEditText(shown);
}

// --- The name ----------------------------------------------------------------------

void DrawPanel::ShowName(const QString& name) { name_display_->setText(name); }

void DrawPanel::ShowCounts(const QString& average, const QString& count) {
  if (average_label_->text() != average) average_label_->setText(average);
  if (count_label_->text() != count) count_label_->setText(count);
}

void DrawPanel::ClearName() {
  name_display_->clear();
  average_label_->clear();
  count_label_->clear();
  EnableScoring(false);
}

void DrawPanel::FitNameFont(int width_twips) {
  const QString text = name_display_->text();
  if (text.isEmpty()) return;
  const int points = NamePointSize(width_twips, static_cast<int>(text.size()));
  if (points == name_point_size_) return;
  name_point_size_ = points;
  name_display_->setFont(NameFonts::Font(points));
}

void DrawPanel::CentreNameInBox() {
  QLineEdit* name = name_display_;
  const int height = name_point_size_ > 0 ? NameFonts::LineHeight(name_point_size_)
                                          : NameFonts::LineHeight(name->font());
  if (name->height() != height) name->resize(name->width(), height);
  const int top_twips = (HeightOf(name_background_) - Twips(height)) / 2 + kFrame5Offset;
  const int top = Px(top_twips);
  if (name->y() != top) name->move(name->x(), top);
}

// --- Draw buttons ----------------------------------------------------------------------

void DrawPanel::ShowDrawButtons(const DrawPools& pools) {
  for (int i = 0; i < kDrawPoolCount; ++i) draw_buttons_[i]->setEnabled(pools.HasNames(i));
}

void DrawPanel::OpenDrawing(const DrawPools& pools) {
  ShowDrawButtons(pools);
  search_->SetEnabled(true);
  search_->Focus();
}

void DrawPanel::CloseDrawButtons() {
  for (QPushButton* button : draw_buttons_) button->setEnabled(false);
}

void DrawPanel::SetManualPickEnabled(bool enabled) {
  draw_buttons_[kManualPickButton]->setEnabled(enabled);
}

void DrawPanel::ShowRolling(int index) {
  QPushButton* button = draw_buttons_[index];
  button->setText(kPauseCaption);
  for (int i = 0; i < kDrawPoolCount; ++i) draw_buttons_[i]->setEnabled(false);
  button->setEnabled(true);
}

void DrawPanel::ShowStopped(int index) { draw_buttons_[index]->setText(DrawButtonCaption(index)); }

void DrawPanel::FocusDrawButton(int index) {
  if (draw_buttons_[index]->isEnabled()) draw_buttons_[index]->setFocus();
}

// --- Scoring -------------------------------------------------------------------------------

void DrawPanel::EnableScoring(bool enabled) {
  score_choice_->setEnabled(enabled);
  criteria_->setEnabled(enabled);
}

void DrawPanel::ClearScore() {
  score_choice_->setCurrentIndex(-1);
  score_choice_->setEditText(QString());
}

void DrawPanel::FocusScore() { score_choice_->setFocus(); }

void DrawPanel::ShowCriterionScore(const QString& score) {
  score_choice_->setEditText(score);
  score_choice_->setEnabled(false);
}

void DrawPanel::ShowCriteria(const QStringList& entries) {
  criteria_->clear();
  criteria_->addItems(entries);
  criteria_->SetHorizontalExtent(ListTextWidth(*criteria_) + kCriteriaScrollMargin);
  LayOutCriteria(criteria_->count() > 0);
}

void DrawPanel::ClearCriteria() { criteria_->clear(); }

QString DrawPanel::CriterionText(int row) const {
  const QListWidgetItem* item = criteria_->item(row);
  return item ? item->text() : QString();
}

void DrawPanel::MarkCriterionGiven(int row) {
  if (QListWidgetItem* item = criteria_->item(row)) {
    item->setText(item->text().replace(QStringLiteral("]"), QStringLiteral("]√")));
  }
}

void DrawPanel::LayOutCriteria(bool has_criteria) {
  QWidget* box = name_background_;
  QWidget* name = name_display_;
  QWidget* topic = topic_choice_;
  const auto set_width = [](QWidget* widget, int twips) {
    widget->resize(Px(std::max(twips, 0)), widget->height());
  };
  if (!has_criteria) {
    criteria_->hide();
    divider_->hide();
    set_width(name, InnerWidth() - kText2WidthMargin);
    set_width(box, InnerWidth() - kText13WidthMargin);
    set_width(topic, WidthOf(box) - kCombo3NarrowerThanText13);
    return;
  }
  const int divider = LeftOf(divider_);
  set_width(box, divider - LeftOf(box) + kText13PastDivider);
  set_width(name, divider - LeftOf(name) + kText2PastDivider);
  set_width(topic, divider - LeftOf(topic) + kCombo3PastDivider);
  QWidget* list = criteria_;
  const int list_left = divider + WidthOf(divider_) + kList1GapAfterDivider;
  Place(list, list_left, TopOf(list), InnerWidth() - list_left, HeightOf(list));
  list->show();
  divider_->show();
  divider_->raise();
}

// The inner width of the unfolded window: the layout is the draw panel's,
// whether or not the window is folded at the moment.
int DrawPanel::InnerWidth() const { return Twips(Px(kWindowWidth)); }

bool DrawPanel::BeforeDividerMove(double position) const {
  if (position <= kDividerMinLeft) return false;
  return InnerWidth() - position >= kDividerMinRightRoom;
}

void DrawPanel::DividerMoved() {
  // The name keeps the size fitted to the box as it was before the move; the
  // next name shown is fitted to the new width.
  FitNameFont(WidthOf(name_display_));
  CentreNameInBox();
  LayOutCriteria(true);
}

// --- The keyboard's way to the same controls ---------------------------------------------

namespace {

// Shown, open and not cut off by the window (a folded window hides the rows).
bool TeacherCouldUse(const QWidget* control) {
  return control->isEnabled() && !control->visibleRegion().isEmpty();
}

}  // namespace

bool DrawPanel::PressDrawButton(int index) {
  if (index < 0 || index >= kDrawPoolCount || !TeacherCouldUse(draw_buttons_[index])) return false;
  draw_buttons_[index]->click();
  return true;
}

bool DrawPanel::ChooseScore(const QString& score) {
  const int entry = score_choice_->findText(score);
  if (entry < 0 || !TeacherCouldUse(score_choice_)) return false;
  score_choice_->setCurrentIndex(entry);
  emit ScoreChosen(score_choice_->currentText());
  return true;
}

void DrawPanel::UnmarkCriterion(int row) {
  if (QListWidgetItem* item = criteria_->item(row)) {
    item->setText(item->text().replace(QStringLiteral("]√"), QStringLiteral("]")));
  }
}

void DrawPanel::ShowKeyHints(const QString& draw, const QString& score) {
  for (int i = 0; i < kDrawPoolCount; ++i) draw_buttons_[i]->setToolTip(draw);
  score_choice_->setToolTip(score);
}

// --- The rest --------------------------------------------------------------------------------

void DrawPanel::SetFolded(bool folded) {
  name_display_->setVisible(!folded);
  name_background_->setVisible(!folded);
}

bool DrawPanel::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type == QEvent::MouseMove) {
    if (watched == fold_picture_) emit FoldWanted();
    if (watched == unfold_picture_) emit UnfoldWanted();
  } else if (type == QEvent::MouseButtonDblClick && watched == stopwatch_label_) {
    emit StopwatchToggled();
    return true;
  } else if (type == QEvent::KeyPress && watched == score_choice_) {
    // A typed score confirmed with Enter (either Enter key) is taken as typed.
    if (IsEnter(static_cast<QKeyEvent*>(event)->key()) && !score_choice_->currentText().isEmpty()) {
      emit ScoreChosen(score_choice_->currentText());
      return true;
    }
  } else if (type == QEvent::KeyRelease && watched == score_choice_->lineEdit()) {
    if (IsEnter(static_cast<QKeyEvent*>(event)->key()) && !score_choice_->currentText().isEmpty()) {
      emit ScoreChosen(score_choice_->currentText());
    }
  }
  return QFrame::eventFilter(watched, event);
}

}  // namespace zorvanix
