// The roll-call window (Form1): the small always-on-top strip a teacher uses in
// every lesson.
#pragma once

#include <QString>
#include <QWidget>

#include "platform/app_context.h"

namespace zorvanix {

class WindowHub;

class RollCallWindow : public QWidget {
  Q_OBJECT

 public:
  RollCallWindow(AppContext& context, WindowHub& hub, QWidget* parent = nullptr);
  ~RollCallWindow() override;

  // --- Used by the other windows -------------------------------------------
  // Caption "Zorvanix [user]"; mode "online" downloads a fresh cache first;
  // refills the class and topic choices and forgets the current class.
  void RefreshMainWindowFromCache(const QString& mode);
  // Shows the criteria of the topic in Combo3 in List1 and lays out the
  // right-hand side around the divider.
  void ShowTopicCriteria();
  // btnManage: only an online sign-in enables it.
  void EnableManageButton();
  // Text4 of the upload panel: the operation password typed there.
  QString OperationPassword() const;

 private:
  AppContext& context_;
  WindowHub& hub_;
};

}  // namespace zorvanix
