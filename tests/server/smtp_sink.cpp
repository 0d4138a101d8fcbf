#include "tests/server/smtp_sink.h"

#include <QTcpSocket>
#include <memory>

namespace zorvanix::testing {

SmtpSink::SmtpSink() {
  server_.listen(QHostAddress::LocalHost, 0);
  QObject::connect(&server_, &QTcpServer::newConnection, [this] {
    while (QTcpSocket* socket = server_.nextPendingConnection()) Serve(socket);
  });
}

void SmtpSink::Serve(QTcpSocket* socket) {
  QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
  socket->write("220 sink ready\r\n");
  auto in_data = std::make_shared<bool>(false);
  auto data = std::make_shared<QByteArray>();
  QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, in_data, data] {
    while (socket->canReadLine()) {
      const QByteArray line = socket->readLine();
      if (*in_data) {
        if (line == ".\r\n") {
          *in_data = false;
          mails_.append(*data);
          data->clear();
          socket->write("250 queued\r\n");
        } else {
          *data += line.startsWith("..") ? line.sliced(1) : line;
        }
        continue;
      }
      const QByteArray verb = line.left(4).toUpper();
      if (verb == "DATA") {
        *in_data = true;
        socket->write("354 go ahead\r\n");
      } else if (verb == "QUIT") {
        socket->write("221 bye\r\n");
        socket->disconnectFromHost();
      } else {
        if (verb == "RCPT") recipients_.append(line.trimmed());
        socket->write("250 ok\r\n");
      }
    }
  });
}

}  // namespace zorvanix::testing
