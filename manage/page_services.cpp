#include "manage/page_services.h"

#include <QLabel>
#include <QLineEdit>

#include "app/window_hub.h"
#include "core/cache_file.h"
#include "rollcall/roll_call_window.h"

namespace zorvanix {

PageServices::PageServices(AppContext& context, WindowHub& hub) : context_(context), hub_(hub) {}

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

QStringList PageServices::CachedClassNames() const {
  return ClassNamesFromCache(ReadTaggedLines(context_.CacheFilePath(), kClassListTag));
}

QStringList PageServices::CachedTopicNames() const {
  return TopicNamesFromCache(ReadTaggedLines(context_.CacheFilePath(), kTopicTag));
}

QStringList PageServices::CachedStudentNames(const QString& class_name) const {
  QStringList names;
  const QString rows = ReadTaggedLines(context_.CacheFilePath(), RosterTag(class_name));
  for (const StudentRow& row : StudentRowsFromText(rows)) names.append(row.name);
  return names;
}

bool PageServices::DownloadServerRecord() const {
  return Service().DownloadServerRecord(CurrentUser(), context_.CacheFilePath());
}

qint64 PageServices::CachedScoreCount(const QString& class_name,
                                      const QStringList& students) const {
  qint64 count = 0;
  const QString rows = ReadTaggedLines(context_.CacheFilePath(), RosterTag(class_name));
  for (const StudentRow& row : StudentRowsFromText(rows)) {
    if (students.isEmpty() || students.contains(row.name))
      count += static_cast<qint64>(row.CountValue());
  }
  return count;
}

void PageServices::RefreshMainWindow() const {
  hub_.RollCall().RefreshMainWindowFromCache(QStringLiteral("online"));
}

void PageServices::ShowTopicCriteria() const { hub_.RollCall().ShowTopicCriteria(); }

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
