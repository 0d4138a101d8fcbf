#include "server/mailer.h"

#include <curl/curl.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QUuid>
#include <cstring>
#include <memory>
#include <mutex>

namespace zorvanix::server {
namespace {

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

// The mail as libcurl reads it, piece by piece.
struct Upload {
  const QByteArray* mail;
  qsizetype offset = 0;
};

size_t ReadUpload(char* buffer, size_t size, size_t count, void* user) {
  auto* upload = static_cast<Upload*>(user);
  const size_t left = static_cast<size_t>(upload->mail->size() - upload->offset);
  const size_t n = std::min(size * count, left);
  std::memcpy(buffer, upload->mail->constData() + upload->offset, n);
  upload->offset += static_cast<qsizetype>(n);
  return n;
}

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
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

QString TeacherGreeting(const QString& name) {
  const QString title = QStringLiteral("老师");
  const QString trimmed = name.trimmed();
  return trimmed.endsWith(title) ? trimmed : trimmed + title;
}

MailMessage ResetCodeMail(const QString& to, const QString& name, const QString& account,
                          const QString& code) {
  return MailMessage{
      to, QStringLiteral("Zorvanix 密码重置验证码"),
      QStringLiteral("%1：\n\n您正在重置帐号 %2 的密码，验证码是：\n\n    %3\n\n"
                     "验证码15分钟内有效，只能使用一次。如果这不是您本人的操作，请忽略本邮件。\n")
          .arg(TeacherGreeting(name), account, code)};
}

MailRoute MailRoute::FromConfig(const ServerConfig& config) {
  MailRoute route;
  route.spool_dir = config.mail_spool;
  route.smtp_url = config.smtp;
  route.from = config.mail_from;
  route.user = config.smtp_user;
  route.password = config.smtp_password;
  route.starttls = config.smtp_starttls;
  route.ca_file = config.smtp_ca_file;
  route.timeout_seconds = config.smtp_timeout_seconds;
  route.sendmail = config.sendmail;
  return route;
}

Mailer::Mailer(MailRoute route) : route_(std::move(route)) {
  InitCurlOnce();
  // A few mails at once: each waits mostly on the relay.
  delivery_.setMaxThreadCount(4);
}

Mailer::~Mailer() { delivery_.waitForDone(); }

bool Mailer::WriteToSpool(const QByteArray& mail, QString* error) {
  if (!QDir().mkpath(route_.spool_dir)) {
    *error = QStringLiteral("cannot create the mail spool %1").arg(route_.spool_dir);
    return false;
  }
  const QString name =
      QStringLiteral("%1-%2-%3.eml")
          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
          .arg(++sequence_, 6, 10, QLatin1Char('0'))
          .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'));
  // Written beside its final name and renamed, so a reader never sees half a mail.
  QSaveFile file(QDir(route_.spool_dir).filePath(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(mail) != mail.size() || !file.commit()) {
    *error = QStringLiteral("cannot write the mail: %1").arg(file.errorString());
    return false;
  }
  return true;
}

void Mailer::Send(const MailMessage& message, Done done) {
  const QByteArray mail = ComposeMail(route_.from, message);
  if (route_.sendmail.isEmpty() && route_.smtp_url.isEmpty()) {
    QString error;
    const bool sent = WriteToSpool(mail, &error);
    done(sent, error);
    return;
  }
  delivery_.start([this, route = route_, to = message.to, mail, done = std::move(done)]() mutable {
    QString error;
    const bool sent = route.sendmail.isEmpty() ? SendBySmtp(route, to, mail, &error)
                                               : SendBySendmail(route, to, mail, &error);
    QMetaObject::invokeMethod(
        &replies_, [done = std::move(done), sent, error] { done(sent, error); },
        Qt::QueuedConnection);
  });
}

bool SendBySmtp(const MailRoute& route, const QString& to, const QByteArray& mail, QString* error) {
  std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
  if (!curl) {
    *error = QStringLiteral("cannot start libcurl");
    return false;
  }
  CURL* c = curl.get();
  char message[CURL_ERROR_SIZE] = "";
  const QByteArray url = route.smtp_url.toUtf8();
  const QByteArray from = '<' + HeaderSafe(route.from) + '>';
  const QByteArray user = route.user.toUtf8();
  const QByteArray password = route.password.toUtf8();
  const QByteArray ca_file = QFile::encodeName(route.ca_file);
  std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> recipients(
      curl_slist_append(nullptr, ('<' + HeaderSafe(to) + '>').constData()), curl_slist_free_all);
  Upload upload{&mail};
  const long timeout_ms = route.timeout_seconds * 1000L;
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, message);
  curl_easy_setopt(c, CURLOPT_URL, url.constData());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, timeout_ms);
  curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, timeout_ms);
  curl_easy_setopt(c, CURLOPT_MAIL_FROM, from.constData());
  curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.get());
  curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadUpload);
  curl_easy_setopt(c, CURLOPT_READDATA, &upload);
  curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(mail.size()));
  // A password never travels in clear: with a login, STARTTLS is a must.
  long use_ssl = CURLUSESSL_TRY;
  if (route.starttls == SmtpStartTls::kRequired || !route.user.isEmpty()) use_ssl = CURLUSESSL_ALL;
  if (route.starttls == SmtpStartTls::kOff && route.user.isEmpty()) use_ssl = CURLUSESSL_NONE;
  curl_easy_setopt(c, CURLOPT_USE_SSL, use_ssl);
  if (!route.user.isEmpty()) {
    curl_easy_setopt(c, CURLOPT_USERNAME, user.constData());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password.constData());
  }
  if (!route.ca_file.isEmpty()) curl_easy_setopt(c, CURLOPT_CAINFO, ca_file.constData());
  const CURLcode result = curl_easy_perform(c);
  if (result == CURLE_OK) return true;
  long reply = 0;
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply);
  *error =
      QStringLiteral("SMTP %1: %2%3")
          .arg(route.smtp_url, QString::fromUtf8(*message ? message : curl_easy_strerror(result)),
               reply ? QStringLiteral(" (relay answered %1)").arg(reply) : QString());
  return false;
}

bool SendBySendmail(const MailRoute& route, const QString& to, const QByteArray& mail,
                    QString* error) {
  QProcess sendmail;
  // -i: a line holding a single dot is text, not the end; the envelope
  // sender and the recipient are given, the headers are not searched.
  sendmail.start(route.sendmail, {QStringLiteral("-i"), QStringLiteral("-f"), route.from,
                                  QStringLiteral("--"), to});
  const int timeout_ms = route.timeout_seconds * 1000;
  if (!sendmail.waitForStarted(timeout_ms)) {
    *error = QStringLiteral("cannot run %1: %2").arg(route.sendmail, sendmail.errorString());
    return false;
  }
  // sendmail reads lines ending in LF.
  QByteArray text = mail;
  text.replace("\r\n", "\n");
  sendmail.write(text);
  sendmail.closeWriteChannel();
  if (!sendmail.waitForFinished(timeout_ms)) {
    sendmail.kill();
    sendmail.waitForFinished(1000);
    *error = QStringLiteral("%1 did not finish in time").arg(route.sendmail);
    return false;
  }
  if (sendmail.exitStatus() != QProcess::NormalExit || sendmail.exitCode() != 0) {
    *error = QStringLiteral("%1 failed (exit %2): %3")
                 .arg(route.sendmail)
                 .arg(sendmail.exitCode())
                 .arg(QString::fromLocal8Bit(sendmail.readAllStandardError()).trimmed());
    return false;
  }
  return true;
}

}  // namespace zorvanix::server
