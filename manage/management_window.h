// The management window (Dialog): the teacher's classes, students, topics,
// criteria, recorded scores, account and shortcuts on the service.
#pragma once

#include <QWidget>

#include "platform/app_context.h"

namespace zorvanix {

class WindowHub;

class ManagementWindow : public QWidget {
  Q_OBJECT

 public:
  ManagementWindow(AppContext& context, WindowHub& hub, QWidget* parent = nullptr);
  ~ManagementWindow() override;

  // The roll-call window's management button: start view, window shown.
  void OpenFromMainWindow();
  // After a sign-in: nothing of a previous teacher stays in view.
  void ClearForNewTeacher();

 private:
  AppContext& context_;
  WindowHub& hub_;
};

}  // namespace zorvanix
