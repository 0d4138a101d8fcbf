#include "rollcall/draw_panel.h"

#include <QPainter>
#include <QPainterPath>

#include "rollcall/form_layout.h"
#include "rollcall/name_box.h"

namespace zorvanix {
namespace {

using namespace layout;

template <typename Widget>
Widget* Named(Widget* widget, const QString& name) {
  widget->setObjectName(name);
  return widget;
}

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
  unfold_picture = Named(new QLabel(this), QStringLiteral("Image1"));
  unfold_picture->setPixmap(Picture(true));
  unfold_picture->setMouseTracking(true);
  Place(unfold_picture, kText13Left, kText13Top, kPictureSize, kPictureSize);

  name_background = Named(new QFrame(this), QStringLiteral("Text13"));
  name_background->setFrameShape(QFrame::StyledPanel);
  name_background->setFrameShadow(QFrame::Sunken);
  name_background->setAutoFillBackground(true);
  name_background->setBackgroundRole(QPalette::Base);
  Place(name_background, kText13Left, kText13Top, kWindowWidth - kText13WidthMargin, kText13Height);

  name_display = Named(new NameBox(this), QStringLiteral("Text2"));
  name_display->setFrame(false);
  name_display->setAlignment(Qt::AlignCenter);
  name_display->setTextMargins(0, 0, 0, 0);
  QPalette palette = name_display->palette();
  palette.setColor(QPalette::Text, QColor(0xc62828));
  name_display->setPalette(palette);
  Place(name_display, kText2Left, kText13Top + 120, kWindowWidth - kText2WidthMargin, 600);

  criteria = Named(new ExtentListWidget(this), QStringLiteral("List1"));
  criteria->setToolTip(QStringLiteral("双击评分标准为当前学生计分"));
  divider = Named(new Splitter(this), QStringLiteral("Splitter1"));
  divider->SetHostUnitsPerPixel(kTwipsPerPixel);
  Place(divider, kSplitterStartLeft, kSplitterTop, kSplitterWidth, kSplitterHeight);
  const int list_left = kSplitterStartLeft + kSplitterWidth + kList1GapAfterDivider;
  Place(criteria, list_left, kSplitterTop, kWindowWidth - list_left, kSplitterHeight);
}

void DrawPanel::BuildChoices() {
  search_box = Named(new QLineEdit(this), QStringLiteral("txtManual"));
  search_box->setPlaceholderText(QStringLiteral("查找学生"));
  search_box->setToolTip(QStringLiteral("输入姓名或拼音首字母查找学生"));
  Place(search_box, kTxtManualLeft, kSearchRowTop, kTxtManualWidth, kRowHeight);

  topic_choice = Named(new QComboBox(this), QStringLiteral("Combo3"));
  topic_choice->setEditable(true);
  topic_choice->setInsertPolicy(QComboBox::NoInsert);
  topic_choice->lineEdit()->setPlaceholderText(QStringLiteral("课题"));
  Place(topic_choice, kCombo3Left, kSearchRowTop,
        kWindowWidth - kText13WidthMargin - kCombo3NarrowerThanText13, kRowHeight);

  search_hits = Named(new QListWidget(this), QStringLiteral("List2"));
  search_hits->hide();

  class_choice = Named(new QComboBox(this), QStringLiteral("Combo2"));
  class_choice->setPlaceholderText(QStringLiteral("班级"));
  Place(class_choice, kRowsLeft, kSecondRowTop, kCombo2Width, kRowHeight);

  score_choice = Named(new QComboBox(this), QStringLiteral("Combo1"));
  score_choice->setEditable(true);
  score_choice->setInsertPolicy(QComboBox::NoInsert);
  // A typed score is taken exactly as typed: no completion from the list.
  score_choice->setCompleter(nullptr);
  score_choice->lineEdit()->setPlaceholderText(QStringLiteral("计分"));
  const int buttons_end = kRowsLeft + (kDrawPoolCount + 1) * (kDrawButtonWidth + kDrawButtonGap);
  Place(score_choice, buttons_end + 30, kButtonRowTop, kCombo1Width, kRowHeight);
}

void DrawPanel::BuildButtonsAndLabels() {
  for (int i = 0; i <= kManualPickButton; ++i) {
    auto* button =
        Named(new QPushButton(DrawButtonCaption(i), this), QStringLiteral("btnChou_%1").arg(i));
    Place(button, kRowsLeft + i * (kDrawButtonWidth + kDrawButtonGap), kButtonRowTop,
          kDrawButtonWidth, kRowHeight);
    draw_buttons[i] = button;
  }

  fold_picture = Named(new QLabel(this), QStringLiteral("Image2"));
  fold_picture->setPixmap(Picture(false));
  fold_picture->setMouseTracking(true);
  fold_picture->setToolTip(QStringLiteral("收起"));
  Place(fold_picture, kText13Left, kImage2Top, kPictureSize, kPictureSize);

  const int label30_left = DrawPanel::LeftOf(score_choice) + kCombo1Width + 45;
  stopwatch_label = Named(new QLabel(QStringLiteral("00:00"), this), QStringLiteral("Label30"));
  stopwatch_label->setAlignment(Qt::AlignCenter);
  stopwatch_label->setToolTip(QStringLiteral("双击计时"));
  QFont clock_font = stopwatch_label->font();
  clock_font.setBold(true);
  stopwatch_label->setFont(clock_font);
  Place(stopwatch_label, label30_left, kButtonRowTop, kWindowWidth - 45 - label30_left, kRowHeight);

  int x = kRowsLeft + kCombo2Width + 60;
  const auto command = [&](const QString& name, const QString& caption) {
    auto* button = Named(new QPushButton(caption, this), name);
    Place(button, x, kSecondRowTop, kCommandWidth, kRowHeight);
    x += kCommandWidth + 60;
    return button;
  };
  user_button = command(QStringLiteral("Command1"), QStringLiteral("用户"));
  upload_button = command(QStringLiteral("Command11"), QStringLiteral("上传"));
  manage_button = command(QStringLiteral("btnManage"), QStringLiteral("后台"));

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
  average_label = value(QStringLiteral("Label4"));
  caption(QStringLiteral("计分次数"), 900);
  count_label = value(QStringLiteral("Label28"));
}

}  // namespace zorvanix
