#include "rollcall/score_upload.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include "core/gbk.h"
#include "core/score_line.h"

namespace zorvanix {
namespace {

const QString kErrorTitle = QStringLiteral("错误");
// The service's answer to a request body over its limit.
constexpr int kBodyTooLargeStatus = 413;

QString FullFileName(const QString& path) {
  return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

// "张三 5分 读音准确": the line as the teacher gave it.
QString ReadableScore(const QString& line) {
  const QStringList fields = ScoreLineFields(line);
  QStringList parts;
  for (const QString& part : {fields[1], fields[2], fields[4]}) {
    if (!part.isEmpty()) parts.append(part);
  }
  return parts.join(u' ');
}

}  // namespace

ScoreUpload::ScoreUpload(AppContext& context, UploadPanel& panel)
    : QObject(&panel), context_(context), panel_(panel) {
  connect(&panel_, &UploadPanel::UploadPressed, this, &ScoreUpload::Upload);
  connect(&panel_, &UploadPanel::ExportPressed, this, &ScoreUpload::Export);
  connect(&panel_, &UploadPanel::RemovePressed, this, &ScoreUpload::RemoveSelected);
  connect(&panel_, &UploadPanel::ImportPressed, this, &ScoreUpload::Import);
  connect(&panel_, &UploadPanel::PasswordTyped, this, &ScoreUpload::PasswordTyped);
  connect(&panel_, &UploadPanel::LineDoubleClicked, this, &ScoreUpload::EditLine);
  connect(&panel_, &UploadPanel::EditAccepted, this, &ScoreUpload::AcceptEdit);
  connect(&panel_, &UploadPanel::EditCancelled, this, &ScoreUpload::CancelEdit);
}

bool ScoreUpload::MayLeavePending() {
  const qsizetype pending = panel_.Scores().Count();
  return pending == 0 ||
         context_.prompter->AskYesNoDefaultNo(
             QStringLiteral("提示"),
             QStringLiteral("还有%1条计分未上传，确定退出吗？\r\n这些计分已记在当天的计分日志中。")
                 .arg(pending),
             MessageIcon::kQuestion);
}

bool ScoreUpload::UploadAllowed() const {
  return context_.session->IsOnline() && !panel_.Password().isEmpty() && !uploading_;
}

// Typing a password may enable the upload; it never disables it (an upload
// without a password does nothing).
void ScoreUpload::PasswordTyped() {
  if (UploadAllowed()) panel_.SetUploadEnabled(true);
}

void ScoreUpload::Upload() {
  const PendingScores::Batch selection = panel_.Scores().Selected();
  const QString user = context_.session->CurrentUser();
  const QString password = panel_.Password();
  const QString topic = panel_.Topic();
  if (uploading_ || user.isEmpty() || password.isEmpty() || selection.lines.isEmpty()) return;

  // The window stays live while the replies are awaited; a second press must
  // not send the same lines again.
  uploading_ = true;
  panel_.SetUploadEnabled(false);
  // A large selection goes in consecutive parts that each fit the service's
  // limit on a request; each part leaves the list as soon as it is accepted.
  qsizetype sent = 0;
  PostResult result;
  for (const qsizetype count : ServiceClient::ScoreBatchSizes(
           user, password, topic, selection.lines, context_.config.upload_batch_bytes)) {
    result =
        context_.service->UploadScores(user, password, topic, selection.lines.mid(sent, count));
    if (!result.IsSuccess()) break;
    panel_.RemovePending(selection.ids.mid(sent, count));
    sent += count;
  }
  uploading_ = false;
  panel_.SetUploadEnabled(UploadAllowed());

  const qsizetype total = selection.lines.size();
  if (sent == total) {
    if (context_.prompter->AskYesNo(QStringLiteral("成功"),
                                    QStringLiteral("上传成功，是否上网查看上传结果！"),
                                    MessageIcon::kQuestion)) {
      context_.shell->OpenUrl(context_.service->ResultsUrl(static_cast<int>(total)));
    }
    return;
  }
  // Lines already accepted are said so; the rest stay pending, selected.
  const QString progress = sent == 0
                               ? QString()
                               : QStringLiteral("\r\n已上传%1条计分，其余%2条仍在待上传列表中。")
                                     .arg(sent)
                                     .arg(total - sent);
  if (result.status == kBodyTooLargeStatus) {
    // Sending it again, now or from a score file, would meet the same limit.
    context_.prompter->ShowMessage(
        kErrorTitle,
        QStringLiteral("上传的计分内容过长，服务器拒收！\r\n请修改或删除过长的计分后再上传。") +
            progress,
        MessageIcon::kWarning);
  } else if (result.IsRefusal()) {
    context_.prompter->ShowMessage(kErrorTitle,
                                   result.text + QStringLiteral("\r\n上传错误！") + progress,
                                   MessageIcon::kWarning);
  } else {
    context_.prompter->ShowMessage(
        kErrorTitle, QStringLiteral("网络异常！建议保存数据，然后导入上传！") + progress,
        MessageIcon::kWarning);
    ExportBatch({selection.ids.mid(sent), selection.lines.mid(sent)});
  }
}

void ScoreUpload::Export() { ExportBatch(panel_.Scores().Selected()); }

void ScoreUpload::ExportBatch(const PendingScores::Batch& batch) {
  if (batch.lines.isEmpty()) return;
  QString path = context_.prompter->SaveFileName(QStringLiteral("另存数据文件"),
                                                 QString::fromUtf16(kScoreFileFilter));
  if (path.isEmpty()) return;
  // A name typed without an extension gets the score-record one, so the
  // import dialog's filter finds the file again.
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".dms");
  QString error;
  // Written whole or not at all: a failed save leaves the lines pending.
  if (!WriteScoreFile(path, batch.lines, &error)) {
    context_.prompter->ShowMessage(QStringLiteral("保存失败"),
                                   QStringLiteral("保存失败：") + error +
                                       QStringLiteral("\r\n保存位置：") + FullFileName(path) +
                                       QStringLiteral("\r\n数据仍在待上传列表中。"),
                                   MessageIcon::kWarning);
    return;
  }
  panel_.RemovePending(batch.ids);
  context_.prompter->ShowMessage(
      QStringLiteral("保存成功"),
      QStringLiteral("数据已保存，你可以再次导入此数据上传！\r\n保存位置：") + FullFileName(path),
      MessageIcon::kInformation);
}

void ScoreUpload::Import() {
  const QString path = context_.prompter->OpenFileName(QStringLiteral("打开数据文件"),
                                                       QString::fromUtf16(kScoreFileFilter));
  if (path.isEmpty()) return;
  QStringList lines;
  QString error;
  if (!ReadScoreFile(path, &lines, &error)) {
    context_.prompter->ShowMessage(
        kErrorTitle,
        QStringLiteral("无法读取数据文件：") + FullFileName(path) + QStringLiteral("\r\n") + error,
        MessageIcon::kWarning);
    return;
  }
  // A score line has five TAB fields and its time as "yyyy-mm-dd hh:mm:ss";
  // anything else (the wrong file chosen) is only imported when the teacher
  // says so.
  QStringList score_lines;
  for (const QString& line : lines) {
    const QStringList fields = line.split(u'\t');
    if (fields.size() == 5 &&
        QDateTime::fromString(fields[3], QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid()) {
      score_lines.append(line);
    }
  }
  const qsizetype others = lines.size() - score_lines.size();
  if (others > 0 &&
      !context_.prompter->AskYesNoDefaultNo(
          QStringLiteral("提示"),
          QStringLiteral("文件中有%1行计分，另有%2行不是计分。\r\n也导入不是计分的行吗？"
                         "\r\n（选“否”只导入计分行）")
              .arg(score_lines.size())
              .arg(others),
          MessageIcon::kQuestion)) {
    lines = score_lines;
  }
  // The file's lines follow the pending ones; everything is selected, ready
  // to upload.
  panel_.AddPendingLines(lines);
  panel_.SelectAllPending();
}

void ScoreUpload::EditLine(int row) {
  if (row < 0 || row >= panel_.Scores().Count()) return;
  edited_line_ = panel_.Scores().Id(row);
  // A hand-made line may have fewer than five fields: the missing ones are
  // empty boxes.
  panel_.OpenEditor(ScoreLineFields(panel_.Scores().Line(row)));
}

bool AcceptGbkText(Prompter& prompter, const QString& text) {
  const QStringView character = FirstCharacterNotInGbk(text);
  if (character.isEmpty()) return true;
  prompter.ShowMessage(QStringLiteral("提示"),
                       QStringLiteral("“") + character.toString() +
                           QStringLiteral("”无法保存为GBK文字，请换用其他文字。"),
                       MessageIcon::kWarning);
  return false;
}

void ScoreUpload::AcceptEdit() {
  const QString line = panel_.EditedLine();
  // The editor stays open on text GBK cannot hold.
  if (!AcceptGbkText(*context_.prompter, line)) return;
  panel_.CloseEditor();
  // Found by its number: an upload that ended meanwhile may have moved it,
  // or sent it (then there is nothing left to correct).
  panel_.ReplacePendingLine(edited_line_, line);
}

// The double-click that opened the editor also switched the line's selection;
// cancelling switches it back.
void ScoreUpload::CancelEdit() {
  panel_.CloseEditor();
  panel_.ToggleSelection(edited_line_);
}

quint64 ScoreUpload::TakeBackLast() {
  const QString title = QStringLiteral("提示");
  if (panel_.Scores().IsEmpty()) {
    context_.prompter->ShowMessage(title, QStringLiteral("没有待上传的计分，无可撤销。"),
                                   MessageIcon::kInformation);
    return 0;
  }
  // A line on its way to the service cannot be called back.
  if (uploading_) {
    context_.prompter->ShowMessage(title, QStringLiteral("正在上传计分，请等上传结束后再撤销。"),
                                   MessageIcon::kInformation);
    return 0;
  }
  const PendingScores& scores = panel_.Scores();
  const qsizetype last = scores.Count() - 1;
  const quint64 id = scores.Id(last);
  if (!context_.prompter->AskYesNoDefaultNo(
          title,
          QStringLiteral("确定撤销最后一条计分吗？\r\n") + ReadableScore(scores.Line(last)) +
              QStringLiteral("\r\n当天的计分日志仍保留这条计分。"),
          MessageIcon::kQuestion)) {
    return 0;
  }
  if (scores.RowOf(id) < 0) return 0;
  // The editor must not write the line back.
  if (panel_.EditorOpen() && edited_line_ == id) panel_.CloseEditor();
  panel_.RemovePending({id});
  return id;
}

void ScoreUpload::RemoveSelected() {
  const PendingScores::Batch batch = panel_.Scores().Selected();
  if (batch.ids.isEmpty()) return;
  if (!context_.prompter->AskYesNoDefaultNo(
          QStringLiteral("提示"),
          QStringLiteral("确定删除选中的%1条计分吗？\r\n当天的计分日志仍保留这些计分。")
              .arg(batch.ids.size()),
          MessageIcon::kQuestion)) {
    return;
  }
  panel_.RemovePending(batch.ids);
}

}  // namespace zorvanix
