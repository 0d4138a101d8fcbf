// What the seven pages of the management window share: the signed-in teacher
// and the operation password typed on the right, the guard of local changes,
// the lists read from the cache file, the announcement of an accepted change
// (DataChanged), and the two ways the outcome of a change is reported.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "platform/app_context.h"

class QLabel;
class QLineEdit;
class QWidget;

namespace zorvanix {

inline constexpr char16_t kNetworkErrorText[] = u"网络异常！";

// What an accepted change altered in the cache file, for the windows that
// show it: the classes or topics (the roll-call window's choices are refilled
// from a fresh download), or a topic's criteria (its criterion list is redrawn
// from the cache).
enum class ChangedData { kClassesAndTopics, kCriteria };

class PageServices : public QObject {
  Q_OBJECT

 public:
  explicit PageServices(AppContext& context);

  // txtSuperPassword, the box every change takes its operation password from.
  void SetOperationPasswordBox(QLineEdit* box) { super_password_ = box; }

  AppContext& Context() const { return context_; }
  ServiceClient& Service() const { return *context_.service; }
  Prompter& Prompts() const { return *context_.prompter; }
  QString CurrentUser() const;
  QString OperationPassword() const;

  // True when a teacher is signed in online and an operation password was
  // typed; otherwise tells the teacher which of the two is missing.
  bool ChangeAllowed() const;

  // The lists of the cache file, in file order.
  QStringList CachedClassNames() const;
  QStringList CachedTopicNames() const;
  QStringList CachedStudentNames(const QString& class_name) const;

  // A fresh copy of the teacher's data into the cache file; false when it
  // could not be downloaded (the old file stays).
  bool DownloadServerRecord() const;
  // The number of scores the cache counts for the students of a class; with
  // students given, for those students only.
  qint64 CachedScoreCount(const QString& class_name,
                          const QStringList& students = QStringList()) const;
  // Announces DataChanged(kClassesAndTopics) and DataChanged(kCriteria).
  void RefreshMainWindow() const;
  void ShowTopicCriteria() const;

  // Saving a whole list or sending deletions: an accepted change downloads
  // the cache and says "操作成功！" (and refreshes the roll-call window when
  // asked); a refusal shows the service's words; the status label carries the
  // outcome. True when accepted.
  enum class MainWindow { kKeep, kRefresh };
  bool ReportSave(const PostResult& result, QLabel* status, MainWindow main_window) const;

  // Renames and edits: a refusal shows the service's words followed by
  // failure_word, a network failure goes to the status label too. True when
  // accepted; the caller then refreshes what it changed and calls
  // ShowSuccess(), so the teacher sees the message over the refreshed page.
  bool CheckEdit(const PostResult& result, QLabel* status,
                 const QString& failure_word = QStringLiteral("修改失败！")) const;
  void ShowSuccess(const QString& text = QStringLiteral("修改成功！")) const;
  void ShowNetworkError(QLabel* status) const;

 signals:
  void DataChanged(ChangedData kind) const;

 private:
  AppContext& context_;
  QLineEdit* super_password_ = nullptr;
};

}  // namespace zorvanix
