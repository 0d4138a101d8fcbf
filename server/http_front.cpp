#include "server/http_front.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QUrl>
#include <cstdio>

#include "core/form_encoding.h"
#include "server/database.h"
#include "server/escaping_socket.h"

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

}  // namespace

HttpFront::HttpFront(Handler handler, qint64 max_body_bytes, bool access_log, QObject* parent)
    : QAbstractHttpServer(parent),
      handler_(std::move(handler)),
      max_body_bytes_(max_body_bytes),
      access_log_(access_log) {}

quint16 HttpFront::Listen(const QHostAddress& address, quint16 port) {
  tcp_server_ = new EscapingTcpServer(this);
  if (!tcp_server_->listen(address, port)) return 0;
  bind(tcp_server_);
  return tcp_server_->serverPort();
}

Reply HttpFront::Answer(const QHttpServerRequest& request, const QByteArray& encoded_query) {
  const auto method = request.method();
  if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Post) {
    return Reply::Text(u"不支持的请求方法", 405);
  }
  // The parser has already read the whole body; refusing it here at least
  // keeps it from reaching the handlers and the database.
  if (request.body().size() > max_body_bytes_) return Reply::Text(u"请求内容过大", 413);
  Request decoded;
  decoded.is_post = method == QHttpServerRequest::Method::Post;
  decoded.path = request.url().path();
  decoded.query = DecodeQuery(encoded_query);
  if (decoded.is_post) decoded.form = DecodeForm(request.body());
  decoded.address = request.remoteAddress().toString();
  try {
    return handler_(decoded);
  } catch (const DatabaseError& error) {
    std::fprintf(stderr, "database error: %s\n", error.what());
    std::fflush(stderr);
    return Reply::Text(u"服务器内部错误，请稍后再试", 500);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "internal error: %s\n", error.what());
    std::fflush(stderr);
    return Reply::Text(u"服务器内部错误，请稍后再试", 500);
  }
}

bool HttpFront::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
  QElapsedTimer timer;
  timer.start();
  const QByteArray encoded_query = request.url().query(QUrl::FullyEncoded).toLatin1();
  const Reply reply = Answer(request, encoded_query);
  {
    auto responder = makeResponder(request, socket);
    responder.write(reply.body,
                    {{"Content-Type", reply.content_type}, {"Cache-Control", "no-store"}},
                    static_cast<QHttpServerResponder::StatusCode>(reply.status));
  }
  if (WantsClose(request, socket)) socket->disconnectFromHost();
  if (access_log_) {
    Log(request, encoded_query, reply.status, reply.body.size(), timer.nsecsElapsed() / 1e6);
  }
  return true;
}

void HttpFront::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
  // handleRequest answers everything; kept for the interface.
  auto responder = makeResponder(request, socket);
  responder.write(QHttpServerResponder::StatusCode::NotFound);
}

void HttpFront::Log(const QHttpServerRequest& request, const QByteArray& encoded_query, int status,
                    qsizetype bytes, double milliseconds) const {
  QByteArray target = request.url().path(QUrl::FullyEncoded).toLatin1();
  if (!encoded_query.isEmpty()) target += '?' + MaskedQuery(encoded_query);
  const QByteArray when = QDateTime::currentDateTime().toString(Qt::ISODateWithMs).toLatin1();
  std::fprintf(stderr, "%s %s %s %s %d %lld %.2fms\n", when.constData(),
               request.remoteAddress().toString().toLatin1().constData(),
               MethodName(request.method()), target.constData(), status,
               static_cast<long long>(bytes), milliseconds);
}

}  // namespace zorvanix::server
