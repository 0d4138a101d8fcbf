// Outgoing mail (password-reset codes): one RFC 5322 file per message in a
// spool folder, or a plain SMTP relay.
#pragma once

#include <QByteArray>
#include <QString>

namespace zorvanix::server {

struct MailMessage {
  QString to;
  QString subject;
  QString body;  // plain text
};

// The message as RFC 5322 text: UTF-8 body, encoded-word subject, CR LF.
QByteArray ComposeMail(const QString& from, const MailMessage& message);

class Mailer {
 public:
  // smtp empty: write to spool_dir.
  Mailer(QString spool_dir, QString smtp, QString from);

  // Spool: true once the file is in place. SMTP: true once the message is
  // queued; the relay is spoken to on a worker thread and a failure there
  // is logged on standard error.
  bool Send(const MailMessage& message, QString* error);

 private:
  bool WriteToSpool(const QByteArray& mail, QString* error);

  QString spool_dir_;
  QString smtp_host_;
  quint16 smtp_port_ = 25;
  QString from_;
  quint64 sequence_ = 0;
};

// Speaks SMTP to host:port and delivers one mail; blocking, for worker threads.
bool SendBySmtp(const QString& host, quint16 port, const QString& from, const QString& to,
                const QByteArray& mail, QString* error);

}  // namespace zorvanix::server
