// Outgoing mail (password-reset codes): one RFC 5322 file per message in a
// spool folder, an SMTP relay (STARTTLS or SMTPS, AUTH, through libcurl), or
// the local sendmail program. Relay and sendmail are spoken to on worker
// threads; the caller hears on its own thread whether the mail was handed
// over.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>

#include "server/server_config.h"

namespace zorvanix::server {

struct MailMessage {
  QString to;
  QString subject;
  QString body;  // plain text
};

// The message as RFC 5322 text: UTF-8 body, encoded-word subject, CR LF.
QByteArray ComposeMail(const QString& from, const MailMessage& message);

// How a teacher is addressed: the name with "老师" once ("王" and "王老师"
// both give "王老师").
QString TeacherGreeting(const QString& name);

// The mail that carries a reset code.
MailMessage ResetCodeMail(const QString& to, const QString& name, const QString& account,
                          const QString& code);

// Where mail goes and how it gets there.
struct MailRoute {
  QString spool_dir;
  QString smtp_url;  // "smtp://HOST[:PORT]" or "smtps://HOST[:PORT]"; empty: no relay
  QString from;
  QString user;  // empty: no AUTH
  QString password;
  SmtpStartTls starttls = SmtpStartTls::kIfOffered;
  QString ca_file;
  int timeout_seconds = 20;
  QString sendmail;  // the program; when set it carries the mail

  static MailRoute FromConfig(const ServerConfig& config);
};

class Mailer {
 public:
  explicit Mailer(MailRoute route);
  ~Mailer();
  Mailer(const Mailer&) = delete;
  Mailer& operator=(const Mailer&) = delete;

  // sent: the spool file is in place, the relay accepted the message, or
  // sendmail took it and ended well; error says why not.
  using Done = std::function<void(bool sent, const QString& error)>;
  // Hands the message over; done runs later on this thread's event loop
  // (at once for the spool).
  void Send(const MailMessage& message, Done done);

 private:
  bool WriteToSpool(const QByteArray& mail, QString* error);

  MailRoute route_;
  quint64 sequence_ = 0;
  QObject replies_;  // receives the outcome on the caller's thread
  QThreadPool delivery_;
};

// Blocking deliveries, for worker threads.
bool SendBySmtp(const MailRoute& route, const QString& to, const QByteArray& mail, QString* error);
bool SendBySendmail(const MailRoute& route, const QString& to, const QByteArray& mail,
                    QString* error);

}  // namespace zorvanix::server
