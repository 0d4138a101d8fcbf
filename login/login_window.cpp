#include "login/login_window.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "controls/widget_names.h"
#include "login/service_address_panel.h"

namespace zorvanix {
namespace {

const QString kNamesKey = QStringLiteral("Username");
const QString kLastNameKey = QStringLiteral("LastlogUsername");

// Leading and trailing blanks only; TABs and line ends stay.
QString TrimBlanks(const QString& text) {
  qsizetype start = 0, end = text.size();
  while (start < end && text[start] == u' ') ++start;
  while (end > start && text[end - 1] == u' ') --end;
  return text.mid(start, end - start);
}

}  // namespace

QStringList RememberedNames(const QString& stored) {
  QStringList names;
  for (const QString& piece : stored.split(u'|')) {
    if (!piece.isEmpty()) names.append(piece);
  }
  return names;
}

QString RememberName(const QString& stored, const QString& user) {
  if (stored.split(u'|').contains(user)) return stored;
  return user + u'|' + stored;
}

LoginWindow::LoginWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("frmLogin"));
  setWindowTitle(QStringLiteral("登录"));
  BuildLayout();
  Load();

  availability_timer_ = new QTimer(this);
  availability_timer_->setObjectName(QStringLiteral("Timer1"));
  availability_timer_->setInterval(500);
  connect(availability_timer_, &QTimer::timeout, this, &LoginWindow::UpdateButtonAvailability);
  availability_timer_->start();
  UpdateButtonAvailability();
}

LoginWindow::~LoginWindow() = default;

void LoginWindow::BuildLayout() {
  account_ = new QComboBox(this);
  account_->setObjectName(QStringLiteral("ComboUser"));
  account_->setEditable(true);
  account_->setInsertPolicy(QComboBox::NoInsert);
  account_->setCompleter(nullptr);
  account_->setMinimumWidth(200);
  password_ = new QLineEdit(this);
  password_->setObjectName(QStringLiteral("txtPassword"));
  password_->setEchoMode(QLineEdit::Password);
  auto* account_label = new QLabel(QStringLiteral("登录帐号:"), this);
  account_label->setObjectName(QStringLiteral("lblLabels_0"));
  account_label->setBuddy(account_);
  auto* password_label = new QLabel(QStringLiteral("登录密码:"), this);
  password_label->setObjectName(QStringLiteral("lblLabels_1"));
  password_label->setBuddy(password_);

  ok_button_ = NamedButton(QStringLiteral("cmdOK"), QStringLiteral("确定"), this);
  ok_button_->setDefault(true);
  cancel_button_ = NamedButton(QStringLiteral("cmdCancel"), QStringLiteral("取消"), this);
  offline_button_ = NamedButton(QStringLiteral("Command1"), QStringLiteral("离线登录"), this);
  sign_up_button_ = NamedButton(QStringLiteral("Command2"), QStringLiteral("注册帐号"), this);
  reset_button_ = NamedButton(QStringLiteral("Command3"), QStringLiteral("忘记密码"), this);
  forget_button_ = NamedButton(QStringLiteral("Command4"), QStringLiteral("清除记录"), this);

  auto* fields = new QGridLayout;
  fields->addWidget(account_label, 0, 0);
  fields->addWidget(account_, 0, 1);
  fields->addWidget(password_label, 1, 0);
  fields->addWidget(password_, 1, 1);
  auto* main_buttons = new QHBoxLayout;
  main_buttons->addStretch();
  main_buttons->addWidget(ok_button_);
  main_buttons->addWidget(cancel_button_);
  main_buttons->addWidget(offline_button_);
  auto* other_buttons = new QHBoxLayout;
  other_buttons->addWidget(sign_up_button_);
  other_buttons->addWidget(reset_button_);
  other_buttons->addWidget(forget_button_);
  other_buttons->addStretch();
  auto* column = new QVBoxLayout(this);
  column->addLayout(fields);
  column->addLayout(main_buttons);
  column->addLayout(other_buttons);
  // First run: no service address configured anywhere yet.
  if (!context_.config.service_root_configured) {
    column->addWidget(new ServiceAddressPanel(context_, this));
  }

  connect(ok_button_, &QPushButton::clicked, this, &LoginWindow::SignInOnline);
  connect(password_, &QLineEdit::returnPressed, this, &LoginWindow::SignInOnline);
  connect(cancel_button_, &QPushButton::clicked, this, &LoginWindow::ReturnToMainWindow);
  connect(offline_button_, &QPushButton::clicked, this, &LoginWindow::SignInOffline);
  connect(sign_up_button_, &QPushButton::clicked, this, [this] {
    hide();
    emit SignUpRequested();
  });
  connect(reset_button_, &QPushButton::clicked, this, [this] {
    emit PasswordResetRequested();
    hide();
  });
  connect(forget_button_, &QPushButton::clicked, this, &LoginWindow::ForgetNames);
}

void LoginWindow::Load() {
  password_->clear();
  account_->clear();
  account_->setEditText(kAccountHint);
  const QString names = context_.settings->Read(kNamesKey);
  const QString last = context_.settings->Read(kLastNameKey);
  account_->addItems(RememberedNames(names));
  // The hint stays only while no name has ever been remembered.
  account_->setEditText(names.isEmpty() ? kAccountHint : last);
  needs_load_ = false;
}

void LoginWindow::SetAccountName(const QString& name) { account_->setEditText(name); }

void LoginWindow::UpdateButtonAvailability() {
  offline_button_->setEnabled(context_.cache->Exists());
  const bool connected = context_.network->IsConnected();
  ok_button_->setEnabled(connected);
  sign_up_button_->setEnabled(connected);
}

void LoginWindow::SignInOnline() {
  if (signing_in_ || !ok_button_->isEnabled()) return;
  const QString user = account_->currentText();
  const QString typed_password = password_->text();
  if (user.isEmpty() || typed_password.isEmpty()) {
    context_.prompter->ShowMessage(QStringLiteral("错误"), QStringLiteral("请输入用户名和密码！"),
                                   MessageIcon::kError);
    return;
  }
  signing_in_ = true;
  const int abandoned_before = abandoned_;
  const PostResult result = context_.service->CheckPassword(user, TrimBlanks(typed_password));
  signing_in_ = false;
  if (abandoned_ != abandoned_before) return;
  if (result.IsNetworkFailure()) {
    context_.prompter->ShowMessage(
        QStringLiteral("错误"), result.text + QStringLiteral("\r\n网络异常！"), MessageIcon::kNone);
    return;
  }
  if (!result.IsSuccess()) {
    context_.prompter->ShowMessage(QStringLiteral("登录"), QStringLiteral("无效的密码，请重试!"),
                                   MessageIcon::kWarning);
    password_->setFocus();
    password_->selectAll();
    return;
  }

  // The digest that identifies the record download is made of the same
  // trimmed password the service has just accepted.
  context_.session->SignInOnline(user, TrimBlanks(typed_password));
  const bool downloaded = context_.service->DownloadServerRecord(user, *context_.cache);
  // The file on disk is whoever signed in before; it must not appear under
  // this teacher's name. It is kept beside, not deleted.
  if (!downloaded) context_.cache->SetAside(QStringLiteral(".previous"));
  // The roll-call window is shown and refilled from the file as it now is.
  emit SignedIn(SignInMode::kOnline);
  if (!downloaded) {
    context_.prompter->ShowMessage(
        QStringLiteral("错误"),
        QStringLiteral("无法下载数据，班级和课题暂不可用。请检查网络后重新登录！"),
        MessageIcon::kWarning);
  }
  hide();

  const QString stored = context_.settings->Read(kNamesKey);
  const QString remembered = RememberName(stored, user);
  if (remembered != stored) {
    context_.settings->Write(kNamesKey, remembered);
    account_->insertItem(0, user);
  }
  context_.settings->Write(kLastNameKey, user);
}

void LoginWindow::SignInOffline() {
  context_.session->SignInOffline();
  hide();
  emit SignedIn(SignInMode::kOffline);
}

void LoginWindow::ForgetNames() {
  account_->clear();
  account_->setEditText(QString());
  context_.settings->Write(kNamesKey, QString());
  context_.settings->Write(kLastNameKey, QString());
}

void LoginWindow::ReturnToMainWindow() {
  if (signing_in_) ++abandoned_;
  hide();
  emit Cancelled();
}

void LoginWindow::showEvent(QShowEvent* event) {
  if (needs_load_) Load();
  QWidget::showEvent(event);
}

// Closing the window acts like cancel; what was typed is dropped, as when the
// window is unloaded, and the next showing starts afresh.
void LoginWindow::closeEvent(QCloseEvent* event) {
  if (signing_in_) ++abandoned_;
  needs_load_ = true;
  event->accept();
  emit Cancelled();
}

}  // namespace zorvanix
