#include "manage/management_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "manage/account_page.h"
#include "manage/classes_page.h"
#include "manage/criteria_page.h"
#include "manage/page_widgets.h"
#include "manage/scores_page.h"
#include "manage/shortcuts_page.h"
#include "manage/students_page.h"
#include "manage/topics_page.h"

namespace zorvanix {
namespace {

// The page buttons along the bottom edge, left to right.
constexpr int kButtonOrder[kManagePages] = {0, 1, 2, 5, 6, 3, 4};

const char16_t* const kPageButtonCaptions[kManagePages] = {
    u"个人信息", u"班级管理", u"学生管理", u"计分管理", u"快捷方式", u"课题管理", u"评分标准"};

const char16_t* const kHelpTexts[] = {
    u"这里提供一些常用功能，见底部按钮。",
    u"密码管理提供修改密码服务，密码重置在登录界面。",
    u"班级管理和学生管理功能可以添加和删除数据，这里不能修改名称。删除后的数据不可恢复，请慎重操作"
    u"！",
    u"计分管理功能可以删除计分，删除后不可恢复，请谨慎操作！",
    u"你可以通过快捷方式功能管理快捷方式。",
};

// The window's size when it is first shown: 10800 x 5800 twips.
constexpr QSize kInitialSize(720, 387);

QPixmap Emblem() {
  QPixmap pixmap(120, 120);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x2e, 0x7d, 0x32));
  painter.drawRoundedRect(QRectF(4, 4, 112, 112), 18, 18);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPixelSize(64);
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRectF(4, 0, 112, 96), Qt::AlignCenter, QStringLiteral("Q"));
  font.setPixelSize(14);
  font.setBold(false);
  painter.setFont(font);
  painter.drawText(QRectF(4, 78, 112, 30), Qt::AlignCenter, QStringLiteral("Quenfield"));
  return pixmap;
}

}  // namespace

ManagementWindow::ManagementWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context), services_(context) {
  setObjectName(QStringLiteral("Dialog"));
  setWindowTitle(QStringLiteral("Velmoran管理后台"));

  account_page_ = new AccountPage(services_, this);
  scores_page_ = new ScoresPage(services_, this);
  criteria_page_ = new CriteriaPage(
      services_, [this] { return scores_page_->ChooserText(); }, this);
  shortcuts_page_ = new ShortcutsPage(services_, this);
  pages_ = {account_page_,
            new ClassesPage(services_, this),
            new StudentsPage(services_, this),
            scores_page_,
            shortcuts_page_,
            new TopicsPage(services_, this),
            criteria_page_};

  auto* page_area = new QVBoxLayout;
  page_area->addWidget(BuildStartView(), 1);
  for (ManagePage* page : pages_) {
    page->hide();
    page_area->addWidget(page, 1);
  }

  auto* right = new QVBoxLayout;
  right->addWidget(BuildHelpPanel(), 1);
  auto* password_row = new QHBoxLayout;
  password_row->addWidget(MakeLabel(this, "Label14", QStringLiteral("操作密码：")));
  super_password_ = MakePasswordEdit(this, "txtSuperPassword");
  password_row->addWidget(super_password_, 1);
  right->addLayout(password_row);
  QPushButton* ok = MakeButton(this, "OKButton", QStringLiteral("返回"));
  right->addWidget(ok);
  services_.SetOperationPasswordBox(super_password_);

  auto* top = new QHBoxLayout;
  top->addLayout(page_area, 1);
  top->addLayout(right);

  auto* page_buttons = new QHBoxLayout;
  for (int index : kButtonOrder) {
    QPushButton* button =
        MakeButton(this, QByteArray("Cmd_manage_" + QByteArray::number(index)).constData(),
                   QString::fromUtf16(kPageButtonCaptions[index]));
    connect(button, &QPushButton::clicked, this, [this, index] { OpenPage(index); });
    page_buttons->addWidget(button);
  }

  auto* root = new QVBoxLayout(this);
  root->addLayout(top, 1);
  root->addLayout(page_buttons);

  connect(ok, &QPushButton::clicked, this, [this] { ReturnToMainWindow(); });
  connect(&services_, &PageServices::DataChanged, this, &ManagementWindow::DataChanged);
}

ManagementWindow::~ManagementWindow() = default;

QWidget* ManagementWindow::BuildStartView() {
  auto* view = new QWidget(this);
  auto* column = new QVBoxLayout(view);
  auto* picture = MakeLabel(view, "Picture1", QString());
  picture->setPixmap(Emblem());
  picture->setAlignment(Qt::AlignCenter);
  picture_caption_ = MakeLabel(view, "Label1", QStringLiteral("微信扫描，关注Quenfield"));
  picture_caption_->setAlignment(Qt::AlignCenter);
  column->addStretch(1);
  column->addWidget(picture);
  column->addWidget(picture_caption_);
  column->addStretch(1);
  picture_ = picture;
  return view;
}

QWidget* ManagementWindow::BuildHelpPanel() {
  QGroupBox* panel = MakeFrame(this, "Frame1", QStringLiteral("后台管理说明"));
  panel->setFixedWidth(200);
  auto* column = new QVBoxLayout(panel);
  for (const char16_t* text : kHelpTexts) {
    QLabel* label = new QLabel(QString::fromUtf16(text), panel);
    label->setWordWrap(true);
    column->addWidget(label);
  }
  column->addStretch(1);
  service_address_ =
      MakeLabel(panel, "Label15",
                QStringLiteral("后台地址 ") + context_.service->ServiceHomeUrl().toString());
  service_address_->setWordWrap(true);
  service_address_->setCursor(Qt::PointingHandCursor);
  service_address_->setStyleSheet(QStringLiteral("color: #1a4fa0; text-decoration: underline;"));
  service_address_->installEventFilter(this);
  column->addWidget(service_address_);
  return panel;
}

void ManagementWindow::Load() {
  // An operation password typed in the roll-call window's upload panel
  // carries over, once.
  super_password_->setText(context_.session->OperationPassword());
  resize(kInitialSize.expandedTo(sizeHint()));
  loaded_ = true;
}

void ManagementWindow::OpenFromMainWindow() {
  if (!loaded_) Load();
  for (ManagePage* page : pages_) page->hide();
  ShowStartView(true);
  show();
  raise();
  activateWindow();
}

void ManagementWindow::ShowStartView(bool shown) {
  picture_->setVisible(shown);
  picture_caption_->setVisible(shown);
  picture_->parentWidget()->setVisible(shown);
}

void ManagementWindow::OpenPage(int index) {
  if (index < 0 || index >= kManagePages) return;
  for (ManagePage* page : pages_) page->hide();
  ShowStartView(false);
  pages_[index]->show();
  pages_[index]->Open();
}

void ManagementWindow::ReturnToMainWindow() {
  ShowStartView(true);
  hide();
  emit Closed();
}

void ManagementWindow::ClearForNewTeacher() {
  for (ManagePage* page : pages_) {
    page->Clear();
    page->hide();
  }
  super_password_->clear();
  ShowStartView(true);
  loaded_ = false;
}

void ManagementWindow::SetShortcutFolders(const ShortcutFolders& folders, const QString& target) {
  const ShortcutMaker& current = shortcuts_page_->Maker();
  shortcuts_page_->SetShortcutMaker(ShortcutMaker(
      folders, target.isEmpty() ? current.Target() : target, current.Arguments()));
}

QString ManagementWindow::PendingScoreDeletions() const { return scores_page_->PendingDeletions(); }

QString ManagementWindow::PendingCriterionDeletions() const {
  return criteria_page_->PendingDeletions();
}

// Closing the window ends this showing of it: the next opening starts afresh,
// and the roll-call window comes back.
void ManagementWindow::closeEvent(QCloseEvent* event) {
  ClearForNewTeacher();
  emit Closed();
  event->accept();
}

// Enter presses "修改" of the personal page while that page is open; the
// multi-line name boxes keep Enter for their next line.
void ManagementWindow::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && account_page_->isVisible() && event->modifiers() == Qt::NoModifier) {
    account_page_->ChangeButton()->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool ManagementWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == service_address_ && event->type() == QEvent::MouseButtonRelease) {
    context_.shell->OpenUrl(context_.service->ServiceHomeUrl());
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace zorvanix
