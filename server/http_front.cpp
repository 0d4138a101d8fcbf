#include "server/http_front.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QUrl>
#include <cstdio>
#include <deque>
#include <memory>

#include "core/form_encoding.h"
#include "server/escaping_socket.h"
#include "server/metrics.h"

namespace zorvanix::server {
namespace {

const char* MethodName(QHttpServerRequest::Method method) {
  switch (method) {
    case QHttpServerRequest::Method::Get:
      return "GET";
    case QHttpServerRequest::Method::Post:
      return "POST";
    case QHttpServerRequest::Method::Head:
      return "HEAD";
    case QHttpServerRequest::Method::Put:
      return "PUT";
    case QHttpServerRequest::Method::Delete:
      return "DELETE";
    case QHttpServerRequest::Method::Options:
      return "OPTIONS";
    case QHttpServerRequest::Method::Patch:
      return "PATCH";
    default:
      return "OTHER";
  }
}

const char* ReasonPhrase(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 413:
      return "Payload Too Large";
    case 429:
      return "Too Many Requests";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "Status";
  }
}

// The server keeps every connection open; a client that asked for the
// connection to end (or speaks HTTP/1.0 and did not ask to keep it) would
// otherwise wait for an end that never comes.
bool WantsClose(const QHttpServerRequest& request, QTcpSocket* socket) {
  QByteArray connection;
  for (const auto& [name, value] : request.headers()) {
    if (name.compare("connection", Qt::CaseInsensitive) == 0) connection = value.toLower();
  }
  if (connection.contains("close")) return true;
  const auto* escaping = qobject_cast<EscapingSocket*>(socket);
  return escaping && escaping->SpeaksHttp10() && !connection.contains("keep-alive");
}

// What one exchange needs once the request object is gone.
struct Exchange {
  QPointer<QTcpSocket> socket;
  bool close = false;
  QElapsedTimer timer;
  QByteArray log_prefix;  // address, method and target
  bool answered = false;
  QByteArray response;  // ready to leave once every earlier answer has left
};

}  // namespace

// The exchanges of one connection that are not answered yet, in the order
// their requests arrived. A client may send several requests before the
// first answer (pipelining) and reads the answers in that order, so an
// answer that is ready early (a clock request behind a sign-in whose
// password check is still running) waits for the ones before it.
struct HttpFront::AnswerQueue {
  std::deque<std::shared_ptr<Exchange>> exchanges;

  void Drain() {
    while (!exchanges.empty() && exchanges.front()->answered) {
      const std::shared_ptr<Exchange> exchange = std::move(exchanges.front());
      exchanges.pop_front();
      if (!exchange->socket) continue;
      if (auto* escaping = qobject_cast<EscapingSocket*>(exchange->socket.data())) {
        escaping->WriteAnswer(exchange->response);
      } else {
        exchange->socket->write(exchange->response);
      }
      if (exchange->close) {
        // Nothing after this answer is read by the client.
        exchange->socket->disconnectFromHost();
        exchanges.clear();
      }
    }
  }
};

QByteArray ResponseBytes(const Reply& reply, bool close_connection) {
  QByteArray bytes;
  bytes.reserve(reply.body.size() + 160);
  bytes +=
      "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + ReasonPhrase(reply.status) +
      "\r\nContent-Type: " + reply.content_type +
      "\r\nCache-Control: no-store\r\nContent-Length: " + QByteArray::number(reply.body.size()) +
      "\r\n";
  if (!reply.disposition.isEmpty()) bytes += "Content-Disposition: " + reply.disposition + "\r\n";
  if (close_connection) bytes += "Connection: close\r\n";
  bytes += "\r\n";
  bytes += reply.body;
  return bytes;
}

HttpFront::HttpFront(Handler handler, qint64 max_body_bytes, bool access_log, QObject* parent)
    : QAbstractHttpServer(parent),
      handler_(std::move(handler)),
      max_body_bytes_(max_body_bytes),
      access_log_(access_log) {}

quint16 HttpFront::Listen(const QHostAddress& address, quint16 port) {
  RequestLimits limits;
  limits.max_body = max_body_bytes_;
  tcp_server_ = new EscapingTcpServer(limits, this);
  tcp_server_->SetUncapped(trusted_proxies_);
  // Requests the stream's limits refused never reach the handler; they are
  // counted here.
  connect(tcp_server_, &EscapingTcpServer::refused, this, [](int status) {
    if (status == 429) {
      ServiceMetrics().CountRefusal(Metrics::Limit::kConnections);
    } else {
      ServiceMetrics().CountRequest(QStringLiteral("refused"), status, 0);
    }
  });
  if (!tcp_server_->listen(address, port)) return 0;
  bind(tcp_server_);
  return tcp_server_->serverPort();
}

void HttpFront::StopListening() {
  if (tcp_server_) tcp_server_->close();
}

void HttpFront::Flush() {
  if (!tcp_server_) return;
  for (EscapingSocket* socket : tcp_server_->findChildren<EscapingSocket*>()) {
    if (socket->state() == QAbstractSocket::ConnectedState) socket->flush();
  }
}

bool HttpFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  auto exchange = std::make_shared<Exchange>();
  exchange->timer.start();
  exchange->socket = socket;
  exchange->close = WantsClose(request, socket);
  const QUrl url = request.url();
  const QByteArray encoded_query = url.query(QUrl::FullyEncoded).toLatin1();
  QList<QByteArray> forwarded_for;
  if (!trusted_proxies_.isEmpty()) {
    for (const auto& [name, value] : request.headers()) {
      if (name.compare("x-forwarded-for", Qt::CaseInsensitive) == 0) forwarded_for.append(value);
    }
  }
  // Every limit per address and the access log see the client, not the proxy.
  const QString address =
      ClientAddress(request.remoteAddress(), forwarded_for, trusted_proxies_).toString();
  if (access_log_) {
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (!encoded_query.isEmpty()) target += '?' + MaskedQuery(encoded_query);
    exchange->log_prefix = address.toLatin1() + ' ' + MethodName(request.method()) + ' ' + target;
  }
  // The reply is written here rather than through the server's responder,
  // because it may come after this function has returned.
  std::shared_ptr<AnswerQueue> queue = QueueOf(socket);
  queue->exchanges.push_back(exchange);
  const Respond respond = [this, exchange, queue](const Reply& reply) {
    if (exchange->answered) return;
    exchange->answered = true;
    exchange->response = !reply.response.isEmpty() && !exchange->close
                             ? reply.response
                             : ResponseBytes(reply, exchange->close);
    queue->Drain();
    if (access_log_) {
      // With its offset from UTC, so lines from hosts in different zones (or
      // across a change of the clock) still read unambiguously.
      QDateTime now = QDateTime::currentDateTime();
      now.setOffsetFromUtc(now.offsetFromUtc());
      const QByteArray when = now.toString(Qt::ISODateWithMs).toLatin1();
      std::fprintf(stderr, "%s %s %d %lld %.2fms\n", when.constData(),
                   exchange->log_prefix.constData(), reply.status,
                   static_cast<long long>(reply.body.size()), exchange->timer.nsecsElapsed() / 1e6);
    }
  };

  const auto method = request.method();
  if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Post) {
    ServiceMetrics().CountRequest(QStringLiteral("other"), 405, exchange->timer.nsecsElapsed() / 1e9);
    respond(Reply::Text(u"不支持的请求方法", 405));
    return true;
  }
  // The parser has already read the whole body; refusing it here at least
  // keeps it from reaching the handlers and the database.
  if (request.body().size() > max_body_bytes_) {
    respond(Reply::Text(u"请求内容过大", 413));
    return true;
  }
  Request decoded;
  decoded.is_post = method == QHttpServerRequest::Method::Post;
  decoded.path = url.path();
  decoded.query = DecodeQuery(encoded_query);
  if (decoded.is_post) decoded.form = DecodeForm(request.body());
  decoded.address = address;
  handler_(decoded, respond);
  return true;
}

std::shared_ptr<HttpFront::AnswerQueue> HttpFront::QueueOf(QTcpSocket* socket) {
  std::shared_ptr<AnswerQueue>& queue = queues_[socket];
  if (!queue) {
    queue = std::make_shared<AnswerQueue>();
    connect(socket, &QObject::destroyed, this, [this, socket] { queues_.remove(socket); });
  }
  return queue;
}

void HttpFront::missingHandler(const QHttpServerRequest&, QTcpSocket* socket) {
  // handleRequest answers everything; kept for the interface.
  socket->write(ResponseBytes(Reply::Text(u"页面不存在", 404), false));
}

}  // namespace zorvanix::server
