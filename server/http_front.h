// The HTTP side of the service: accepts connections, turns each request into
// a decoded Request, asks the handler for a Reply, writes it and logs one line.
#pragma once

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <functional>

#include "server/request.h"

namespace zorvanix::server {

class EscapingTcpServer;

class HttpFront : public QAbstractHttpServer {
  Q_OBJECT
 public:
  using Handler = std::function<Reply(const Request&)>;

  HttpFront(Handler handler, qint64 max_body_bytes, bool access_log, QObject* parent = nullptr);

  // Listens on host:port (port 0: any free port). Returns the port, 0 on failure.
  quint16 Listen(const QHostAddress& address, quint16 port);

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  Reply Answer(const QHttpServerRequest& request, const QByteArray& encoded_query);
  void Log(const QHttpServerRequest& request, const QByteArray& encoded_query, int status,
           qsizetype bytes, double milliseconds) const;

  Handler handler_;
  qint64 max_body_bytes_;
  bool access_log_;
  EscapingTcpServer* tcp_server_ = nullptr;
};

}  // namespace zorvanix::server
