#include "login/password_reset_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/md5_hex.h"
#include "login/login_window.h"

namespace zorvanix {
namespace {

// The service's own refusals are one short line that ends by saying when to
// try again ("验证码邮件发送过于频繁，请稍后再试"); a proxy's error page is not.
bool IsServiceRefusal(const QString& reply) {
  return reply.size() <= 40 && reply.endsWith(QStringLiteral("，请稍后再试")) &&
         !reply.contains(u'<') && !reply.contains(u'\n');
}

// The two reset endpoints answer in lower case, unlike the other posts.
const QString kResetSuccess = QStringLiteral("success");
const QString kResetFailure = QStringLiteral("failure");
const QString kNetworkError = QStringLiteral("网络异常！");
const QString kErrorTitle = QStringLiteral("错误");

QLabel* AddCaption(QGridLayout* grid, int row, const QString& object_name, const QString& text,
                   QWidget* buddy) {
  auto* label = new QLabel(text);
  label->setObjectName(object_name);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setBuddy(buddy);
  grid->addWidget(label, row, 0);
  return label;
}

QLineEdit* MaskedEdit(const QString& object_name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(object_name);
  edit->setEchoMode(QLineEdit::Password);
  // A hidden box keeps its place, so ticking a box does not shift the window.
  QSizePolicy policy = edit->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  edit->setSizePolicy(policy);
  return edit;
}

}  // namespace

QString ResetContactText(const QString& support_email) {
  if (support_email.trimmed().isEmpty()) {
    return QStringLiteral("注册时没有填写Email的用户，请联系学校的管理员重置密码。");
  }
  return QStringLiteral("注册时没有填写Email的用户，请发邮件至 %1 联系重置密码。")
      .arg(support_email.trimmed());
}

PasswordResetWindow::PasswordResetWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("frmPswd"));
  setWindowTitle(QStringLiteral("重置密码"));
  BuildLayout();

  for (QLineEdit* edit : {account_edit_, email_edit_, check_code_edit_, new_login_password_edit_,
                          new_super_password_edit_}) {
    connect(edit, &QLineEdit::textChanged, this, &PasswordResetWindow::UpdateResetButtons);
  }
  const std::pair<QCheckBox*, QLineEdit*> boxes[] = {
      {login_password_check_, new_login_password_edit_},
      {super_password_check_, new_super_password_edit_}};
  for (const auto& [check, edit] : boxes) {
    connect(check, &QCheckBox::toggled, this, [this, edit = edit](bool ticked) {
      edit->setVisible(ticked);
      UpdateResetButtons();
    });
  }
  connect(send_code_button_, &QPushButton::clicked, this, &PasswordResetWindow::RequestCode);
  connect(reset_button_, &QPushButton::clicked, this, &PasswordResetWindow::ResetPassword);
  connect(back_button_, &QPushButton::clicked, this, &PasswordResetWindow::ReturnToLogin);
  UpdateResetButtons();
}

PasswordResetWindow::~PasswordResetWindow() = default;

void PasswordResetWindow::BuildLayout() {
  auto* grid = new QGridLayout;
  account_edit_ = new QLineEdit;
  account_edit_->setObjectName(QStringLiteral("Text1"));
  AddCaption(grid, 0, QStringLiteral("lblAccount"), QStringLiteral("帐号:"), account_edit_);
  grid->addWidget(account_edit_, 0, 1);
  auto* account_hint = new QLabel(QStringLiteral("请输入你的登陆帐号"));
  account_hint->setObjectName(QStringLiteral("lblAccountHint"));
  grid->addWidget(account_hint, 0, 2);

  email_edit_ = new QLineEdit;
  email_edit_->setObjectName(QStringLiteral("Text2"));
  email_label_ =
      AddCaption(grid, 1, QStringLiteral("lblEmail"), QStringLiteral("Email:"), email_edit_);
  grid->addWidget(email_edit_, 1, 1);
  auto* email_hint = new QLabel(QStringLiteral("请输入注册时填写的Email"));
  email_hint->setObjectName(QStringLiteral("lblEmailHint"));
  grid->addWidget(email_hint, 1, 2);

  send_code_button_ = new QPushButton(QStringLiteral("发送验证码"));
  send_code_button_->setObjectName(QStringLiteral("Command3"));
  grid->addWidget(send_code_button_, 2, 1, Qt::AlignLeft);

  check_code_edit_ = new QLineEdit;
  check_code_edit_->setObjectName(QStringLiteral("TxtCheckCode"));
  AddCaption(grid, 3, QStringLiteral("lblCheckCode"), QStringLiteral("验证码:"), check_code_edit_);
  grid->addWidget(check_code_edit_, 3, 1);

  // Both passwords are offered for change when the window opens.
  login_password_check_ = new QCheckBox(QStringLiteral("登录密码"));
  login_password_check_->setObjectName(QStringLiteral("Check1"));
  login_password_check_->setChecked(true);
  new_login_password_edit_ = MaskedEdit(QStringLiteral("Text3"));
  grid->addWidget(login_password_check_, 4, 0);
  grid->addWidget(new_login_password_edit_, 4, 1);
  super_password_check_ = new QCheckBox(QStringLiteral("操作密码"));
  super_password_check_->setObjectName(QStringLiteral("Check2"));
  super_password_check_->setChecked(true);
  new_super_password_edit_ = MaskedEdit(QStringLiteral("Text4"));
  grid->addWidget(super_password_check_, 5, 0);
  grid->addWidget(new_super_password_edit_, 5, 1);
  grid->setColumnStretch(1, 1);

  reset_button_ = new QPushButton(QStringLiteral("重置密码"));
  reset_button_->setObjectName(QStringLiteral("Command1"));
  back_button_ = new QPushButton(QStringLiteral("返回"));
  back_button_->setObjectName(QStringLiteral("Command2"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(reset_button_);
  buttons->addWidget(back_button_);

  auto* contact = new QLabel(ResetContactText(context_.config.support_email));
  contact->setObjectName(QStringLiteral("lblContact"));
  contact->setWordWrap(true);
  contact->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->addWidget(contact);
  resize(460, sizeHint().height());
}

void PasswordResetWindow::UpdateResetButtons() {
  const bool has_account = !account_edit_->text().trimmed().isEmpty();
  const bool has_email = !email_edit_->text().trimmed().isEmpty();
  const bool login_ticked = login_password_check_->isChecked();
  const bool super_ticked = super_password_check_->isChecked();
  const bool reset_blocked =
      !has_account || check_code_edit_->text().trimmed().isEmpty() ||
      (login_ticked && new_login_password_edit_->text().trimmed().isEmpty()) ||
      (super_ticked && new_super_password_edit_->text().trimmed().isEmpty()) ||
      (!login_ticked && !super_ticked);
  send_code_button_->setEnabled(has_account && has_email && !busy_);
  reset_button_->setEnabled(!reset_blocked && !busy_);
}

void PasswordResetWindow::RequestCode() {
  // Account and address go as typed; the service client escapes them for the
  // address, so a "+" in an e-mail address arrives intact.
  const QString email = email_edit_->text();
  const QString reply = context_.service->RequestPasswordCode(account_edit_->text(), email);
  if (reply == kResetSuccess) {
    context_.prompter->ShowMessage(QStringLiteral("请查收"),
                                   QStringLiteral("验证码已经发送到您的邮箱:") + email,
                                   MessageIcon::kInformation);
  } else if (reply == kResetFailure) {
    context_.prompter->ShowMessage(QStringLiteral("请重试"),
                                   QStringLiteral("用户名或者Email有误，请查证后重试！"),
                                   MessageIcon::kWarning);
  } else if (IsServiceRefusal(reply)) {
    // The service answered and said why (mail relay down, too many codes
    // asked for): the teacher learns that and when to try, not that the
    // network is down.
    context_.prompter->ShowMessage(QStringLiteral("请重试"), reply, MessageIcon::kWarning);
  } else {
    context_.prompter->ShowMessage(kErrorTitle, QStringLiteral("无法连接到服务器"),
                                   MessageIcon::kError);
  }
}

void PasswordResetWindow::ResetPassword() {
  if (busy_) return;
  const QString new_login =
      login_password_check_->isChecked() ? new_login_password_edit_->text().trimmed() : QString();
  const QString new_super =
      super_password_check_->isChecked() ? new_super_password_edit_->text().trimmed() : QString();
  // A login password whose read digest is easy to hit is refused here, with
  // the reason, before the code is spent on it.
  if (IsWeakDigestPassword(new_login)) {
    context_.prompter->ShowMessage(kErrorTitle, WeakDigestPasswordText(), MessageIcon::kWarning);
    new_login_password_edit_->setFocus(Qt::OtherFocusReason);
    return;
  }
  // The window stays live while the post waits; the buttons do not send twice.
  busy_ = true;
  UpdateResetButtons();
  const PostResult result = context_.service->ResetPassword(
      account_edit_->text(), check_code_edit_->text().trimmed(), new_login, new_super);
  busy_ = false;
  UpdateResetButtons();

  if (result.IsNetworkFailure()) {
    email_label_->setText(kNetworkError);
    context_.prompter->ShowMessage(kErrorTitle, kNetworkError, MessageIcon::kWarning);
  } else if (result.text == kResetSuccess) {
    context_.prompter->ShowMessage(QStringLiteral("成功"), QStringLiteral("密码修改成功！"),
                                   MessageIcon::kInformation);
  } else if (result.text == kResetFailure) {
    context_.prompter->ShowMessage(kErrorTitle, QStringLiteral("验证码错误，请重试！"),
                                   MessageIcon::kWarning);
  }
  // Any other reply is not one of the two this exchange knows: nothing is shown.
}

void PasswordResetWindow::ReturnToLogin() {
  hide();
  emit LoginRequested();
}

void PasswordResetWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit LoginRequested();
}

}  // namespace zorvanix
