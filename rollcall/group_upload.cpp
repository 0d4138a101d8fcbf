#include "rollcall/group_upload.h"

#include "rollcall/manual_pick_panel.h"

namespace zorvanix {

GroupUpload::GroupUpload(AppContext& context, ManualPickPanel& panel, const QString& class_name)
    : QObject(&panel), context_(context), panel_(panel), class_name_(class_name) {
  connect(&panel_, &ManualPickPanel::UploadGroupsPressed, this, &GroupUpload::Upload);
}

void GroupUpload::Upload() {
  const QString password = panel_.Password();
  if (password.isEmpty()) {
    context_.prompter->ShowMessage(QStringLiteral("提示"), QStringLiteral("请输入操作密码！"),
                                   MessageIcon::kWarning);
    return;
  }
  // The window stays live during the wait; a second press sends nothing.
  if (waiting_) return;
  waiting_ = true;
  const PostResult result = context_.service->UploadGroups(
      class_name_, context_.session->CurrentUser(), password, panel_.Division().Groups());
  waiting_ = false;
  if (result.IsSuccess()) {
    // The cache is fetched again, so choosing the class later shows the
    // division just uploaded rather than the one of the sign-in.
    context_.service->DownloadServerRecord(context_.session->CurrentUser(), *context_.cache);
    context_.prompter->ShowMessage(QStringLiteral("完成"), QStringLiteral("上传成功！"),
                                   MessageIcon::kInformation);
  } else if (result.IsRefusal()) {
    context_.prompter->ShowMessage(QStringLiteral("错误"),
                                   result.text + QStringLiteral("\r\n上传错误！"),
                                   MessageIcon::kWarning);
  } else {
    context_.prompter->ShowMessage(QStringLiteral("错误"),
                                   QStringLiteral("网络异常！请检查网络，然后重新上传！"),
                                   MessageIcon::kWarning);
  }
}

}  // namespace zorvanix
