// The management window (Dialog): the teacher's classes, students, topics,
// criteria, recorded scores, account and shortcuts on the service. Seven pages
// share one place; their buttons run along the bottom edge, the help panel and
// the operation-password box sit on the right.
#pragma once

#include <QWidget>
#include <array>

#include "manage/page_services.h"
#include "platform/app_context.h"
#include "platform/shortcuts.h"

class QLabel;
class QLineEdit;

namespace zorvanix {

class ManagePage;
class AccountPage;
class ScoresPage;
class CriteriaPage;
class ShortcutsPage;

inline constexpr int kManagePages = 7;

class ManagementWindow : public QWidget {
  Q_OBJECT

 public:
  explicit ManagementWindow(AppContext& context, QWidget* parent = nullptr);
  ~ManagementWindow() override;

  // The roll-call window's management button: start view, window shown
  // (the roll-call window hides itself behind it).
  void OpenFromMainWindow();
  // After a sign-in: nothing of a previous teacher stays in view.
  void ClearForNewTeacher();

  // Cmd_manage(index): the page shown and filled.
  void OpenPage(int index);
  // The guard of every local change (add, delete, new criteria).
  bool ChangeAllowed() const { return services_.ChangeAllowed(); }

  // Where the shortcut page puts its shortcuts (the user's own folders unless
  // a test gives others) and what they start.
  void SetShortcutFolders(const ShortcutFolders& folders, const QString& target = QString());

  QString PendingScoreDeletions() const;
  QString PendingCriterionDeletions() const;

 signals:
  // A page's change was accepted: what it altered (see PageServices).
  void DataChanged(ChangedData kind);
  // 返回 or the close box: the window is gone, the roll-call window is due.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildHelpPanel();
  QWidget* BuildStartView();
  void Load();
  void ShowStartView(bool shown);
  void ReturnToMainWindow();

  AppContext& context_;
  PageServices services_;
  bool loaded_ = false;

  std::array<ManagePage*, kManagePages> pages_{};
  AccountPage* account_page_ = nullptr;
  ScoresPage* scores_page_ = nullptr;
  CriteriaPage* criteria_page_ = nullptr;
  ShortcutsPage* shortcuts_page_ = nullptr;
  QWidget* picture_ = nullptr;
  QLabel* picture_caption_ = nullptr;
  QLabel* service_address_ = nullptr;
  QLineEdit* super_password_ = nullptr;
};

}  // namespace zorvanix
