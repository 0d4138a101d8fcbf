// The group tab's upload: the division shown on the manual-pick panel goes to
// the scoring service under the operation password typed on the tab, and the
// cache is fetched again so the class shows the new division when it is
// chosen next.
#pragma once

#include <QObject>
#include <QString>

#include "platform/app_context.h"

namespace zorvanix {

class ManualPickPanel;

class GroupUpload : public QObject {
  Q_OBJECT

 public:
  // class_name is the class chosen last, as the window keeps it.
  GroupUpload(AppContext& context, ManualPickPanel& panel, const QString& class_name);

  // Command "上传分组": sends the division and tells the teacher how it went.
  void Upload();

 private:
  AppContext& context_;
  ManualPickPanel& panel_;
  const QString& class_name_;
  bool waiting_ = false;
};

}  // namespace zorvanix
