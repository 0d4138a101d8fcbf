#include "platform/prompter.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

namespace zorvanix {
namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kInformation: return QMessageBox::Information;
    case MessageIcon::kWarning: return QMessageBox::Warning;
    case MessageIcon::kError: return QMessageBox::Critical;
    case MessageIcon::kQuestion: return QMessageBox::Question;
    case MessageIcon::kNone: break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

void WidgetPrompter::ShowMessage(const QString& title, const QString& text, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, parent_);
  box.exec();
}

void WidgetPrompter::ShowNotice(const QString& title, const QString& text, MessageIcon icon) {
  auto* box = new QMessageBox(BoxIcon(icon), title, text, QMessageBox::Ok, parent_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::NonModal);
  box->show();
}

bool WidgetPrompter::AskYesNo(const QString& title, const QString& text, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

bool WidgetPrompter::AskYesNoDefaultNo(const QString& title, const QString& text,
                                       MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Yes | QMessageBox::No, parent_);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QString WidgetPrompter::OpenFileName(const QString& title, const QString& filter) {
  return QFileDialog::getOpenFileName(parent_, title, QString(), QtFileFilter(filter));
}

QString WidgetPrompter::SaveFileName(const QString& title, const QString& filter) {
  QString chosen;
  const QString name = QFileDialog::getSaveFileName(parent_, title, QString(),
                                                    QtFileFilter(filter), &chosen,
                                                    QFileDialog::DontConfirmOverwrite);
  return WithChosenSuffix(name, chosen);
}

QString WithChosenSuffix(const QString& name, const QString& chosen_filter) {
  if (name.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
  // "Excel 工作簿(*.xlsx)" -> ".xlsx"; "All Files(*.*)" adds nothing.
  const qsizetype star = chosen_filter.indexOf(QStringLiteral("*."));
  if (star < 0) return name;
  qsizetype end = star + 2;
  while (end < chosen_filter.size() && chosen_filter[end].isLetterOrNumber()) ++end;
  if (end == star + 2) return name;
  return name + chosen_filter.mid(star + 1, end - star - 1);
}

QString QtFileFilter(const QString& filter) {
  const QStringList parts = filter.split(u'|');
  QStringList choices;
  for (qsizetype i = 0; i < parts.size(); i += 2) choices.append(parts[i]);
  return choices.join(QStringLiteral(";;"));
}

}  // namespace zorvanix
