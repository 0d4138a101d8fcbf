#include "manage/page_services.h"

#include <QLabel>
#include <QLineEdit>

#include "core/cache_file.h"

namespace zorvanix {

PageServices::PageServices(AppContext& context) : context_(context) {}

QString PageServices::CurrentUser() const { return context_.session->CurrentUser(); }

QString PageServices::OperationPassword() const {
  return super_password_ ? super_password_->text() : QString();
}

bool PageServices::ChangeAllowed() const {
  const QString user = CurrentUser();
  if (user.isEmpty() || user == kOfflineUserName) {
    Prompts().ShowMessage(QStringLiteral("提示"), QStringLiteral("登录后才能进行此操作！"),
                          MessageIcon::kWarning);
    return false;
  }
  if (OperationPassword().isEmpty()) {
    Prompts().ShowMessage(QStringLiteral("提示"), QStringLiteral("请在右侧输入操作密码！"),
                          MessageIcon::kWarning);
    return false;
  }
  return true;
}

QStringList PageServices::CachedClassNames() const { return context_.cache->ClassNames(); }

QStringList PageServices::CachedTopicNames() const {
  QStringList names;
  for (const TopicLine& topic : context_.cache->Topics()) names.append(topic.name);
  return names;
}

QStringList PageServices::CachedStudentNames(const QString& class_name) const {
  QStringList names;
  for (const StudentRow& row : context_.cache->Roster(class_name)) names.append(row.name);
  return names;
}

bool PageServices::DownloadServerRecord() const {
  return Service().DownloadServerRecord(CurrentUser(), *context_.cache);
}

qint64 PageServices::CachedScoreCount(const QString& class_name,
                                      const QStringList& students) const {
  qint64 count = 0;
  for (const StudentRow& row : context_.cache->Roster(class_name)) {
    if (students.isEmpty() || students.contains(row.name))
      count += static_cast<qint64>(row.CountValue());
  }
  return count;
}

void PageServices::RefreshMainWindow() const { emit DataChanged(ChangedData::kClassesAndTopics); }

void PageServices::ShowTopicCriteria() const { emit DataChanged(ChangedData::kCriteria); }

bool PageServices::ReportSave(const PostResult& result, QLabel* status,
                              MainWindow main_window) const {
  if (result.IsSuccess()) {
    DownloadServerRecord();
    status->setText(QStringLiteral("操作成功！"));
    ShowSuccess(QStringLiteral("操作成功！"));
    if (main_window == MainWindow::kRefresh) RefreshMainWindow();
    return true;
  }
  if (result.IsRefusal()) {
    status->setText(result.text);
    Prompts().ShowMessage(QStringLiteral("错误"), result.text + QStringLiteral("\r\n操作错误！"),
                          MessageIcon::kWarning);
    return false;
  }
  ShowNetworkError(status);
  return false;
}

bool PageServices::CheckEdit(const PostResult& result, QLabel* status,
                             const QString& failure_word) const {
  if (result.IsSuccess()) return true;
  if (result.IsRefusal()) {
    Prompts().ShowMessage(QStringLiteral("错误"),
                          result.text + QStringLiteral("\r\n") + failure_word,
                          MessageIcon::kWarning);
  } else {
    ShowNetworkError(status);
  }
  return false;
}

void PageServices::ShowSuccess(const QString& text) const {
  Prompts().ShowMessage(QStringLiteral("成功"), text, MessageIcon::kInformation);
}

void PageServices::ShowNetworkError(QLabel* status) const {
  const QString text = QString::fromUtf16(kNetworkErrorText);
  status->setText(text);
  Prompts().ShowMessage(QStringLiteral("错误"), text, MessageIcon::kWarning);
}

}  // namespace zorvanix
