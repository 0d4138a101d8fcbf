#include "login/sign_up_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "login/login_window.h"
#include "controls/typed_text.h"

namespace zorvanix {
namespace {

const QColor kConfirmedColor(0, 255, 0);
const QColor kRefusedColor(255, 0, 0);
const QColor kNeutralColor(255, 255, 255);

const QString kCheckingHint = QStringLiteral("正在检查用户名是否可用...");
const QString kIllegalCharactersHint = QStringLiteral("非法字符");
const QString kNoticeTitle = QStringLiteral("提示");

QLineEdit* AddField(QGridLayout* grid, int row, const QString& object_name, const QString& label,
                    const QString& hint = QString(), QLabel** hint_out = nullptr) {
  auto* caption = new QLabel(label);
  caption->setObjectName(QStringLiteral("lbl") + object_name);
  caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* edit = new QLineEdit;
  edit->setObjectName(object_name);
  caption->setBuddy(edit);
  grid->addWidget(caption, row, 0);
  grid->addWidget(edit, row, 1);
  // Every row has its hint cell, empty or not, so both frames space alike.
  auto* hint_label = new QLabel(hint);
  hint_label->setObjectName(QStringLiteral("lblHint") + object_name);
  grid->addWidget(hint_label, row, 2);
  if (hint_out) *hint_out = hint_label;
  return edit;
}

}  // namespace

AccountNameShape ClassifyAccountName(const QString& text) {
  static const QRegularExpression kNameCharacters(QStringLiteral("^[a-z0-9_]*$"),
                                                  QRegularExpression::CaseInsensitiveOption);
  if (!kNameCharacters.match(text).hasMatch()) return AccountNameShape::kIllegalCharacters;
  if (text.trimmed().size() < 4) return AccountNameShape::kTooShort;
  return AccountNameShape::kCheckable;
}

bool IsPlausibleEmail(const QString& text) {
  // Word characters are the ASCII letters, digits and "_".
  static const QRegularExpression kEmail(
      QStringLiteral(R"(^[A-Za-z0-9_]+([\-+.][A-Za-z0-9_]+)*@[A-Za-z0-9_]+([\-.][A-Za-z0-9_]+)*)"
                     R"(\.[A-Za-z0-9_]+([\-.][A-Za-z0-9_]+)*$)"));
  return kEmail.match(text).hasMatch();
}

SignUpWindow::SignUpWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("frmReg"));
  setWindowTitle(QStringLiteral("用户注册"));
  BuildLayout();

  name_check_timer_ = new QTimer(this);
  name_check_timer_->setObjectName(QStringLiteral("NameCheckTimer"));
  name_check_timer_->setSingleShot(true);
  name_check_timer_->setInterval(kNameCheckPause);
  connect(name_check_timer_, &QTimer::timeout, this, &SignUpWindow::SendNameCheck);
  connect(account_edit_, &QLineEdit::textChanged, this, &SignUpWindow::OnAccountNameChanged);
  connect(register_button_, &QPushButton::clicked, this, &SignUpWindow::Register);
  connect(back_button_, &QPushButton::clicked, this, &SignUpWindow::ReturnToLogin);
  UpdateRegisterButton();
}

SignUpWindow::~SignUpWindow() = default;

void SignUpWindow::BuildLayout() {
  auto* required = new QGroupBox(QStringLiteral("必填信息"));
  required->setObjectName(QStringLiteral("Frame1"));
  auto* required_grid = new QGridLayout(required);
  account_edit_ = AddField(required_grid, 0, QStringLiteral("Text1"), QStringLiteral("登录帐号："),
                           kAccountNameHint, &name_hint_label_);
  name_hint_label_->setObjectName(QStringLiteral("Label5"));
  // Room for the service's longer answers without the window jumping.
  name_hint_label_->setMinimumWidth(150);
  login_password_edit_ = AddField(required_grid, 1, QStringLiteral("Text2"),
                                  QStringLiteral("登录密码："), QStringLiteral("读取数据使用"));
  super_password_edit_ = AddField(required_grid, 2, QStringLiteral("Text3"),
                                  QStringLiteral("操作密码："), QStringLiteral("上传修改数据用"));
  // Both passwords are masked: the window is often shown on the classroom projector.
  login_password_edit_->setEchoMode(QLineEdit::Password);
  super_password_edit_->setEchoMode(QLineEdit::Password);
  teacher_name_edit_ =
      AddField(required_grid, 3, QStringLiteral("Text4"), QStringLiteral("教师姓名："));
  email_edit_ = AddField(required_grid, 4, QStringLiteral("Text5"), QStringLiteral("电子邮箱："));

  auto* optional = new QGroupBox(QStringLiteral("选填信息"));
  optional->setObjectName(QStringLiteral("Frame2"));
  auto* optional_grid = new QGridLayout(optional);
  mobile_edit_ = AddField(optional_grid, 0, QStringLiteral("Text6"), QStringLiteral("手机："));
  telephone_edit_ = AddField(optional_grid, 1, QStringLiteral("Text7"), QStringLiteral("电话："));
  qq_edit_ = AddField(optional_grid, 2, QStringLiteral("Text8"), QStringLiteral("QQ："));
  // Both frames keep their field columns aligned: the caption and hint
  // columns are as wide as their widest text in either frame.
  int caption_width = 0;
  int hint_width = name_hint_label_->minimumWidth();
  for (QGridLayout* grid : {required_grid, optional_grid}) {
    for (int row = 0; row < grid->rowCount(); ++row) {
      if (QLayoutItem* caption = grid->itemAtPosition(row, 0)) {
        caption_width = std::max(caption_width, caption->sizeHint().width());
      }
      if (QLayoutItem* hint = grid->itemAtPosition(row, 2)) {
        hint_width = std::max(hint_width, hint->sizeHint().width());
      }
    }
  }
  for (QGridLayout* grid : {required_grid, optional_grid}) {
    grid->setColumnMinimumWidth(0, caption_width);
    grid->setColumnMinimumWidth(2, hint_width);
    grid->setColumnStretch(1, 1);
  }

  register_button_ = new QPushButton(QStringLiteral("注册"));
  register_button_->setObjectName(QStringLiteral("Command1"));
  back_button_ = new QPushButton(QStringLiteral("返回"));
  back_button_->setObjectName(QStringLiteral("Command2"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(register_button_);
  buttons->addWidget(back_button_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(required);
  layout->addWidget(optional);
  layout->addLayout(buttons);
  SetAccountBoxColor(kNeutralColor);
  resize(480, sizeHint().height());
}

void SignUpWindow::OnAccountNameChanged(const QString& text) {
  ++name_generation_;
  name_check_timer_->stop();
  switch (ClassifyAccountName(text)) {
    case AccountNameShape::kIllegalCharacters:
      name_hint_label_->setText(kIllegalCharactersHint);
      ShowNameVerdict(false);
      return;
    case AccountNameShape::kTooShort:
      name_hint_label_->setText(kAccountNameHint);
      ShowNameVerdict(false);
      return;
    case AccountNameShape::kCheckable:
      // Not confirmed until the service answers for exactly this text.
      name_hint_label_->setText(kCheckingHint);
      name_confirmed_ = false;
      SetAccountBoxColor(kNeutralColor);
      UpdateRegisterButton();
      name_check_timer_->start();
      return;
  }
}

void SignUpWindow::SendNameCheck() {
  const int generation = name_generation_;
  context_.service->CheckUserNameAsync(
      account_edit_->text().trimmed(), this,
      [this, generation](const QString& reply) { OnNameCheckReply(generation, reply); });
}

void SignUpWindow::OnNameCheckReply(int generation, const QString& reply) {
  if (generation != name_generation_) return;  // the name was edited since
  name_hint_label_->setText(reply);
  ShowNameVerdict(reply == kNameFreeReply);
}

void SignUpWindow::ShowNameVerdict(bool free) {
  name_confirmed_ = free;
  SetAccountBoxColor(free ? kConfirmedColor : kRefusedColor);
  UpdateRegisterButton();
}

void SignUpWindow::SetAccountBoxColor(const QColor& color) {
  QPalette palette = account_edit_->palette();
  palette.setColor(QPalette::Base, color);
  account_edit_->setPalette(palette);
}

void SignUpWindow::UpdateRegisterButton() {
  register_button_->setEnabled(name_confirmed_ && !registering_);
}

bool SignUpWindow::ValidateFields() {
  struct Check {
    bool failed;
    const char16_t* message;
    QLineEdit* field;
  };
  const Check checks[] = {
      {teacher_name_edit_->text().trimmed().isEmpty(), u"请输入教师姓名！", teacher_name_edit_},
      {email_edit_->text().isEmpty(), u"请输入Email地址！", email_edit_},
      {!IsPlausibleEmail(email_edit_->text()), u"Email地址不正确！", email_edit_},
      {login_password_edit_->text().trimmed().isEmpty(), u"请输入登录密码！", login_password_edit_},
      {super_password_edit_->text().trimmed().isEmpty(), u"请输入操作密码！", super_password_edit_},
  };
  for (const Check& check : checks) {
    if (!check.failed) continue;
    context_.prompter->ShowMessage(kNoticeTitle, QString::fromUtf16(check.message),
                                   MessageIcon::kWarning);
    check.field->setFocus(Qt::OtherFocusReason);
    return false;
  }
  // A character GBK cannot hold would reach the service as "?". Passwords
  // are not repeated on the screen.
  for (QLineEdit* field : {teacher_name_edit_, mobile_edit_, telephone_edit_, qq_edit_,
                           login_password_edit_, super_password_edit_}) {
    QString problem = GbkProblem(field->text());
    if (problem.isEmpty()) continue;
    if (field == login_password_edit_ || field == super_password_edit_) {
      problem = QStringLiteral("密码中含有无法保存到服务器的字符，请改用其他字符！");
    }
    context_.prompter->ShowMessage(kNoticeTitle, problem, MessageIcon::kWarning);
    field->setFocus(Qt::OtherFocusReason);
    return false;
  }
  return true;
}

void SignUpWindow::Register() {
  if (registering_ || !name_confirmed_ || !ValidateFields()) return;
  ServiceClient::Registration registration;
  registration.user = account_edit_->text().trimmed();
  registration.teacher_name = teacher_name_edit_->text().trimmed();
  registration.password = login_password_edit_->text().trimmed();
  registration.super_password = super_password_edit_->text().trimmed();
  registration.email = email_edit_->text().trimmed();
  registration.mobile = mobile_edit_->text().trimmed();
  registration.telephone = telephone_edit_->text().trimmed();
  registration.qq = qq_edit_->text().trimmed();

  // The window stays live while the post waits; a second click must not send
  // the same registration again.
  registering_ = true;
  UpdateRegisterButton();
  const PostResult result = context_.service->RegisterTeacher(registration);
  registering_ = false;
  UpdateRegisterButton();

  if (result.IsSuccess()) {
    context_.prompter->ShowMessage(QStringLiteral("成功"),
                                   QStringLiteral("注册成功！\r\n请用您的帐号和登录密码登录！\r\n"
                                                  "请牢记您的操作密码！"),
                                   MessageIcon::kInformation);
    emit Registered(registration.user);
    ClearAfterRegistration();
    ReturnToLogin();
  } else if (result.IsRefusal()) {
    context_.prompter->ShowMessage(QStringLiteral("登录"),
                                   result.text + QStringLiteral("注册失败，请重试!"),
                                   MessageIcon::kWarning);
  } else {
    context_.prompter->ShowMessage(
        QStringLiteral("错误"), result.text + QStringLiteral("\r\n网络异常！"), MessageIcon::kNone);
  }
}

void SignUpWindow::ClearAfterRegistration() {
  account_edit_->clear();  // the change shows the short-name hint and a red box
  SetAccountBoxColor(kNeutralColor);
  for (QLineEdit* edit :
       {login_password_edit_, super_password_edit_, teacher_name_edit_, email_edit_}) {
    edit->clear();
  }
}

void SignUpWindow::ReturnToLogin() {
  hide();
  emit LoginRequested();
}

void SignUpWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  emit LoginRequested();
}

}  // namespace zorvanix
