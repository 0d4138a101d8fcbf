// The HTTP side of the service: accepts connections, turns each request into
// a decoded Request, hands it to the handler and writes the Reply whenever
// the handler gives it (at once, or later when a password check had to run
// on a worker thread), then logs one line.
#pragma once

#include <QAbstractHttpServer>
#include <QHash>
#include <QHostAddress>
#include <functional>
#include <memory>

#include "server/request.h"

namespace zorvanix::server {

class EscapingTcpServer;

class HttpFront : public QAbstractHttpServer {
  Q_OBJECT
 public:
  using Respond = std::function<void(const Reply&)>;
  // Must call respond exactly once, now or later on this thread. Answers
  // leave each connection in the order of its requests, whenever they come.
  using Handler = std::function<void(const Request&, Respond)>;

  HttpFront(Handler handler, qint64 max_body_bytes, bool access_log, QObject* parent = nullptr);

  // Peers whose X-Forwarded-For names the client (before Listen). They are
  // also spared the cap on connections per address: one proxy carries the
  // connections of a whole school.
  void SetTrustedProxies(QList<Subnet> trusted) { trusted_proxies_ = std::move(trusted); }

  // Listens on host:port (port 0: any free port). Returns the port, 0 on failure.
  quint16 Listen(const QHostAddress& address, quint16 port);
  // Takes no new connections (open ones are still served).
  void StopListening();
  // Hands what has been written to every connection over to the system.
  void Flush();

 protected:
  bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
  void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

 private:
  struct AnswerQueue;
  std::shared_ptr<AnswerQueue> QueueOf(QTcpSocket* socket);

  Handler handler_;
  qint64 max_body_bytes_;
  bool access_log_;
  QList<Subnet> trusted_proxies_;
  EscapingTcpServer* tcp_server_ = nullptr;
  QHash<QTcpSocket*, std::shared_ptr<AnswerQueue>> queues_;
};

// The bytes of an HTTP/1.1 response carrying reply.
QByteArray ResponseBytes(const Reply& reply, bool close_connection);

}  // namespace zorvanix::server
