// A loopback listener that takes requests and never answers: the service as
// seen through a stalled network. It keeps what each request sent.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace zorvanix::testing {

class SilentServer {
 public:
  SilentServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket,
                         [this, socket] { received_ += socket->readAll(); });
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
