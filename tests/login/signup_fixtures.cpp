#include "tests/login/signup_fixtures.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPalette>
#include <QRegularExpression>
#include <QtTest>
#include <atomic>

namespace zorvanix::testing {

QString UniqueAccountName(const QString& prefix) {
  static std::atomic<int> counter{0};
  return prefix + QString::number(++counter);
}

QColor BoxColor(const QLineEdit* edit) { return edit->palette().color(QPalette::Base); }

QStringList Message(const QString& title, const QString& text, MessageIcon icon) {
  return {title, text, QString::number(static_cast<int>(icon))};
}

QStringList Message(const PromptRecord& shown) {
  return Message(shown.title, shown.text, shown.icon);
}

QString ServiceLogSince(ServerProcess& server, qsizetype offset) {
  const QString marker = UniqueAccountName(QStringLiteral("log_marker_"));
  QNetworkAccessManager manager;
  std::unique_ptr<QNetworkReply> reply(manager.get(QNetworkRequest(
      QUrl(server.Root() + QStringLiteral("/score/checkusername.php?u=") + marker))));
  // Without the marker in the log, "nothing reached the service" would be
  // read from a log that is merely behind.
  if (!QTest::qWaitFor([&] { return reply->isFinished(); }, 10000) ||
      !QTest::qWaitFor([&] { return server.Log().mid(offset).contains(marker); }, 10000)) {
    QTest::qFail("the service log never showed the marker request", __FILE__, __LINE__);
  }
  return server.Log().mid(offset);
}

qsizetype ServiceLogMark(ServerProcess& server) {
  ServiceLogSince(server, 0);
  return server.Log().size();
}

QString CheckCodeFromMail(const QString& mail) {
  // Only the body counts: the headers end at the first blank line.
  const qsizetype body_start = mail.indexOf(QStringLiteral("\r\n\r\n"));
  if (body_start < 0) return QString();
  static const QRegularExpression kCode(QStringLiteral("验证码[^A-Za-z0-9]*([A-Za-z0-9]+)"));
  const auto match = kCode.match(mail, body_start);
  return match.hasMatch() ? match.captured(1) : QString();
}

}  // namespace zorvanix::testing
