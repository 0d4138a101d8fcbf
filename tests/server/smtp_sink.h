// A mail relay for the tests: accepts SMTP on a loopback port and keeps what
// it was given, so the service's SMTP delivery can be checked end to end.
#pragma once

#include <QByteArray>
#include <QList>
#include <QTcpServer>

namespace zorvanix::testing {

class SmtpSink {
 public:
  SmtpSink();
  quint16 Port() const { return server_.serverPort(); }
  // The DATA of every delivered mail, in arrival order.
  const QList<QByteArray>& Mails() const { return mails_; }
  // The envelope recipients, one per RCPT TO.
  const QList<QByteArray>& Recipients() const { return recipients_; }

 private:
  void Serve(QTcpSocket* socket);

  QTcpServer server_;
  QList<QByteArray> mails_;
  QList<QByteArray> recipients_;
};

}  // namespace zorvanix::testing
