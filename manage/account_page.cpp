#include "manage/account_page.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "manage/page_widgets.h"

namespace zorvanix {

AccountPage::AccountPage(PageServices& services, QWidget* parent)
    : ManagePage("Frame_manage_0", QStringLiteral("个人信息维护"), parent), services_(services) {
  teacher_name_ = MakeLineEdit(this, "Text6");
  teacher_name_->setReadOnly(true);
  account_ = MakeLineEdit(this, "Text7");
  account_->setReadOnly(true);
  email_ = MakeLineEdit(this, "Text11");
  old_super_password_ = MakePasswordEdit(this, "Text8");
  new_login_password_ = MakePasswordEdit(this, "Text9");
  new_super_password_ = MakePasswordEdit(this, "Text10");
  change_ = MakeButton(this, "Command13", QStringLiteral("修改"));
  change_->setDefault(true);
  QPushButton* reset = MakeButton(this, "Command14", QStringLiteral("重置"));

  auto* grid = new QGridLayout(this);
  const struct {
    const char* caption;
    QLineEdit* box;
    const char* note_name;
    const char* note;
  } rows[] = {
      {"教师姓名：", teacher_name_, nullptr, nullptr},
      {"登录帐号：", account_, nullptr, nullptr},
      {"邮箱：", email_, "Label24", "可修改"},
      {"原操作密码：", old_super_password_, nullptr, nullptr},
      {"新登录密码：", new_login_password_, "Label13", "如不修改请留空"},
      {"新操作密码：", new_super_password_, "Label9", "如不修改请留空"},
  };
  int row = 0;
  for (const auto& r : rows) {
    grid->addWidget(new QLabel(QString::fromUtf8(r.caption), this), row, 0, Qt::AlignRight);
    grid->addWidget(r.box, row, 1);
    if (r.note) grid->addWidget(MakeLabel(this, r.note_name, QString::fromUtf8(r.note)), row, 2);
    ++row;
  }
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(change_);
  buttons->addWidget(reset);
  buttons->addStretch(1);
  grid->addLayout(buttons, row, 1);
  grid->setRowStretch(row + 1, 1);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(2, 110);

  connect(change_, &QPushButton::clicked, this, [this] { SendChange(); });
  connect(reset, &QPushButton::clicked, this, [this] { ClearPasswords(); });
}

void AccountPage::Open() {
  const QStringList lines = services_.Service().GetTeacher().split(QStringLiteral("\r\n"));
  if (lines.size() != 3) return;
  teacher_name_->setText(lines[0]);
  account_->setText(lines[1]);
  email_->setText(lines[2]);
}

void AccountPage::Clear() {
  teacher_name_->clear();
  account_->clear();
  email_->clear();
  ClearPasswords();
}

void AccountPage::ClearPasswords() {
  old_super_password_->clear();
  new_login_password_->clear();
  new_super_password_->clear();
}

void AccountPage::SendChange() {
  Prompter& prompts = services_.Prompts();
  if (teacher_name_->text().isEmpty() || account_->text().isEmpty()) {
    prompts.ShowMessage(QStringLiteral("错误"),
                        QStringLiteral("无法获取教师信息，暂时无法修改密码！"),
                        MessageIcon::kError);
    return;
  }
  const QString old_super_password = old_super_password_->text().trimmed();
  if (old_super_password.isEmpty()) {
    prompts.ShowMessage(QStringLiteral("警告"), QStringLiteral("原操作密码必须填写！"),
                        MessageIcon::kWarning);
    return;
  }
  const QString new_login_password = new_login_password_->text().trimmed();
  if (const QString problem = GbkProblem(email_->text()); !problem.isEmpty()) {
    prompts.ShowMessage(QStringLiteral("警告"), problem, MessageIcon::kWarning);
    return;
  }
  // A password is not repeated on the screen, not even in part.
  for (const QLineEdit* box : {old_super_password_, new_login_password_, new_super_password_}) {
    if (!GbkProblem(box->text()).isEmpty()) {
      prompts.ShowMessage(QStringLiteral("警告"),
                          QStringLiteral("密码中含有无法保存到服务器的字符，请改用其他字符！"),
                          MessageIcon::kWarning);
      return;
    }
  }
  const PostResult result =
      services_.Service().SetTeacher(account_->text(), email_->text().trimmed(), old_super_password,
                                     new_login_password, new_super_password_->text().trimmed());
  if (result.IsSuccess()) {
    // The reads and the cache download prove who the teacher is with the
    // digest of the login password; after a change only the new one is valid.
    if (!new_login_password.isEmpty()) {
      services_.Context().session->SignInOnline(services_.CurrentUser(), new_login_password);
    }
    prompts.ShowMessage(QStringLiteral("成功"), QStringLiteral("操作成功！"),
                        MessageIcon::kInformation);
  } else if (result.IsRefusal()) {
    prompts.ShowMessage(QStringLiteral("错误"), result.text + QStringLiteral("\r\n操作失败！"),
                        MessageIcon::kWarning);
  } else {
    const QString network = QString::fromUtf16(kNetworkErrorText);
    prompts.ShowMessage(
        QStringLiteral("错误"),
        result.text.isEmpty() ? network : result.text + QStringLiteral("\r\n") + network,
        MessageIcon::kWarning);
  }
}

}  // namespace zorvanix
