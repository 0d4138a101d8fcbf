// The roll-call window's exchanges with the scoring service beyond the score
// upload: the group tab's upload, and the start-up checks.
#include "rollcall/manual_pick_panel.h"
#include "rollcall/roll_call_window.h"
#include "rollcall/startup_checks.h"
#include "rollcall/status_panels.h"

namespace zorvanix {

// --- The group upload -------------------------------------------------------------

void RollCallWindow::UploadGroups() {
  const QString password = manual_->Password();
  if (password.isEmpty()) {
    context_.prompter->ShowMessage(QStringLiteral("提示"), QStringLiteral("请输入操作密码！"),
                                   MessageIcon::kWarning);
    return;
  }
  // The window stays live during the wait; a second press sends nothing.
  if (group_upload_waiting_) return;
  group_upload_waiting_ = true;
  const PostResult result = context_.service->UploadGroups(
      class_name_, context_.session->CurrentUser(), password, manual_->Division().Groups());
  group_upload_waiting_ = false;
  if (result.IsSuccess()) {
    // The cache is fetched again, so choosing the class later shows the
    // division just uploaded rather than the one of the sign-in.
    if (context_.service->DownloadServerRecord(context_.session->CurrentUser(), *context_.cache)) {
      roster_text_ = context_.cache->ReadTaggedLines(RosterTag(class_name_));
    }
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

// --- Start-up checks ------------------------------------------------------------

// Both run once, a second after start-up; the teacher can work while they
// wait, and neither blocks anything.
// Both requests go out on the first tick, the clock's first, and each is
// answered whenever its reply comes in: the tick itself never waits, so the
// stopwatch, clicks and a rolling draw go on while a slow service keeps them.
void RollCallWindow::RunStartupChecks() {
  if (!context_.config.startup_checks) return;
  CheckClockAgainstServer();
  CheckServerVersion();
}

void RollCallWindow::CheckClockAgainstServer() {
  context_.service->ServerTimeAsync(this, [this](const QString& reply) {
    // Compared with the PC's clock as it stands when the answer is in.
    if (const auto warning = ClockWarning(reply, context_.clock->Now())) {
      context_.prompter->ShowNotice(ClockWarningTitle(), *warning, MessageIcon::kWarning);
    }
  });
}

void RollCallWindow::CheckServerVersion() {
  status_->ShowServerVersion(VersionCheckingText());
  context_.service->VendorVersionAsync(this, [this](const QString& reply) {
    if (const auto text = ServerVersionText(reply)) status_->ShowServerVersion(*text);
  });
}

}  // namespace zorvanix
