// A loopback listener that takes requests and never answers, or begins an
// answer and stalls: the service as seen through a broken network. It keeps
// what each request sent.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace zorvanix::testing {

class SilentServer {
 public:
  // stalled_reply: what to send back before stalling (nothing by default).
  explicit SilentServer(QByteArray stalled_reply = {}) {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this, stalled_reply] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, stalled_reply] {
          received_ += socket->readAll();
          if (received_.contains("\r\n\r\n")) socket->write(stalled_reply);
        });
      }
    });
  }

  QString Root() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
  // Everything the clients sent so far, requests one after the other.
  const QByteArray& Received() const { return received_; }

 private:
  QTcpServer server_;
  QByteArray received_;
};

}  // namespace zorvanix::testing
