#include "server/mailer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTcpSocket>
#include <QThreadPool>
#include <QUrl>
#include <QUuid>
#include <cstdio>

namespace zorvanix::server {
namespace {

constexpr int kSmtpTimeoutMs = 15000;

QByteArray EncodedWord(const QString& text) {
  return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

QByteArray Rfc5322Date() {
  const QDateTime now = QDateTime::currentDateTime();
  const int minutes = now.offsetFromUtc() / 60;
  const QString zone = QString::asprintf("%c%02d%02d", minutes < 0 ? '-' : '+',
                                         std::abs(minutes) / 60, std::abs(minutes) % 60);
  return (QLocale::c().toString(now, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone)
      .toLatin1();
}

// Addresses are checked when they are stored; this keeps a header intact
// whatever they hold.
QByteArray HeaderSafe(const QString& text) {
  QByteArray bytes = text.toUtf8();
  bytes.replace('\r', ' ').replace('\n', ' ');
  return bytes;
}

// One reply of the server, multi-line replies included; its code or 0.
int ReadSmtpReply(QTcpSocket& socket) {
  while (true) {
    while (!socket.canReadLine()) {
      if (!socket.waitForReadyRead(kSmtpTimeoutMs)) return 0;
    }
    const QByteArray line = socket.readLine();
    if (line.size() < 4) return 0;
    if (line[3] != '-') return line.first(3).toInt();
  }
}

bool Command(QTcpSocket& socket, const QByteArray& line, int expected, QString* error) {
  if (!line.isEmpty()) {
    socket.write(line + "\r\n");
    if (!socket.waitForBytesWritten(kSmtpTimeoutMs)) {
      *error = QStringLiteral("SMTP write failed");
      return false;
    }
  }
  const int code = ReadSmtpReply(socket);
  if (code / 100 != expected / 100) {
    *error = QStringLiteral("SMTP: %1 answered %2")
                 .arg(QString::fromLatin1(line.isEmpty() ? "greeting" : line.split(' ').first()))
                 .arg(code);
    return false;
  }
  return true;
}

}  // namespace

QByteArray ComposeMail(const QString& from, const MailMessage& message) {
  QByteArray mail;
  mail += "From: " + HeaderSafe(from) + "\r\n";
  mail += "To: " + HeaderSafe(message.to) + "\r\n";
  mail += "Subject: " + EncodedWord(message.subject) + "\r\n";
  mail += "Date: " + Rfc5322Date() + "\r\n";
  mail += "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() + "@" +
          HeaderSafe(from.section(u'@', 1)) + ">\r\n";
  mail += "MIME-Version: 1.0\r\n";
  mail += "Content-Type: text/plain; charset=UTF-8\r\n";
  mail += "Content-Transfer-Encoding: 8bit\r\n";
  mail += "\r\n";
  QByteArray body = message.body.toUtf8();
  body.replace("\r\n", "\n").replace('\n', "\r\n");
  mail += body;
  if (!mail.endsWith("\r\n")) mail += "\r\n";
  return mail;
}

Mailer::Mailer(QString spool_dir, QString smtp, QString from)
    : spool_dir_(std::move(spool_dir)), from_(std::move(from)) {
  if (!smtp.isEmpty()) {
    const QUrl url(smtp);
    smtp_host_ = url.host();
    smtp_port_ = static_cast<quint16>(url.port(25));
  }
}

bool Mailer::WriteToSpool(const QByteArray& mail, QString* error) {
  if (!QDir().mkpath(spool_dir_)) {
    *error = QStringLiteral("cannot create the mail spool %1").arg(spool_dir_);
    return false;
  }
  const QString name =
      QStringLiteral("%1-%2-%3.eml")
          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
          .arg(++sequence_, 6, 10, QLatin1Char('0'))
          .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
  // Written beside its final name and renamed, so a reader never sees half a mail.
  QSaveFile file(QDir(spool_dir_).filePath(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(mail) != mail.size() || !file.commit()) {
    *error = QStringLiteral("cannot write the mail: %1").arg(file.errorString());
    return false;
  }
  return true;
}

bool Mailer::Send(const MailMessage& message, QString* error) {
  const QByteArray mail = ComposeMail(from_, message);
  if (smtp_host_.isEmpty()) return WriteToSpool(mail, error);
  const QString host = smtp_host_;
  const quint16 port = smtp_port_;
  const QString from = from_;
  const QString to = message.to;
  QThreadPool::globalInstance()->start([host, port, from, to, mail] {
    QString failure;
    if (!SendBySmtp(host, port, from, to, mail, &failure)) {
      // The address is personal data and stays out of the log.
      std::fprintf(stderr, "reset mail not sent: %s\n", failure.toUtf8().constData());
    }
  });
  return true;
}

bool SendBySmtp(const QString& host, quint16 port, const QString& from, const QString& to,
                const QByteArray& mail, QString* error) {
  QTcpSocket socket;
  socket.connectToHost(host, port);
  if (!socket.waitForConnected(kSmtpTimeoutMs)) {
    *error = QStringLiteral("cannot reach %1:%2: %3").arg(host).arg(port).arg(socket.errorString());
    return false;
  }
  QByteArray data = mail;
  // Dot-stuffing: a line that starts with "." gets a second one.
  if (data.startsWith('.')) data.prepend('.');
  data.replace("\r\n.", "\r\n..");
  const bool ok = Command(socket, {}, 220, error) &&
                  Command(socket, "HELO " + QHostInfo::localHostName().toLatin1(), 250, error) &&
                  Command(socket, "MAIL FROM:<" + HeaderSafe(from) + ">", 250, error) &&
                  Command(socket, "RCPT TO:<" + HeaderSafe(to) + ">", 250, error) &&
                  Command(socket, "DATA", 354, error) && Command(socket, data + ".", 250, error);
  // The mail is delivered once DATA is accepted; the answer to QUIT adds
  // nothing, and waiting for it would only hold up a shutdown.
  if (ok) {
    socket.write("QUIT\r\n");
    socket.waitForBytesWritten(kSmtpTimeoutMs);
  }
  socket.disconnectFromHost();
  return ok;
}

}  // namespace zorvanix::server
