// The desktop program sends GET addresses with raw GBK bytes in the query
// (t=张三 as the bytes D5 C5 C8 FD). The HTTP parser reads the request target
// as UTF-8 and would turn those bytes into replacement characters. This
// socket sees every chunk before the parser does and rewrites bytes >= 0x80
// of a request line as %XX escapes, which the form decoder turns back into
// the same bytes. The method is written in capitals ("Get" becomes "GET"), as
// the parser knows only those. Headers and bodies pass untouched.
#pragma once

#include <QByteArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace zorvanix::server {

// Tracks where request lines start in one connection's byte stream.
class RequestLineEscaper {
 public:
  // Rewrites chunk (the next bytes of the stream) and returns true if any
  // byte changed. Bodies are skipped by their Content-Length; after a
  // chunked body the stream is no longer followed and passes unchanged.
  bool Rewrite(QByteArray* chunk);
  // Whether the last request line seen ended in "HTTP/1.0".
  bool LastRequestIsHttp10() const { return http10_; }

 private:
  enum class State { kRequestLine, kHeaders, kBody, kPassThrough };
  void EndHeaderLine();

  State state_ = State::kRequestLine;
  QByteArray header_line_;
  qint64 content_length_ = 0;
  bool chunked_ = false;
  qint64 body_left_ = 0;
  QByteArray request_line_tail_;  // the last bytes of the current request line
  bool in_method_ = true;         // still in the request line's first word
  bool http10_ = false;
};

class EscapingSocket : public QTcpSocket {
  Q_OBJECT
 public:
  // A connection that stays silent this long is closed.
  static constexpr int kIdleTimeoutMs = 60 * 1000;

  explicit EscapingSocket(QObject* parent = nullptr);
  // An HTTP/1.0 client expects the connection to end with the reply.
  bool SpeaksHttp10() const { return escaper_.LastRequestIsHttp10(); }

 private:
  void OnReadyRead();
  RequestLineEscaper escaper_;
  QTimer idle_;
};

// Hands out EscapingSockets; bound to the HTTP server in place of a plain
// QTcpServer.
class EscapingTcpServer : public QTcpServer {
  Q_OBJECT
 public:
  using QTcpServer::QTcpServer;

 protected:
  void incomingConnection(qintptr descriptor) override;
};

}  // namespace zorvanix::server
