// The desktop program sends GET addresses with raw GBK bytes in the query
// (t=张三 as the bytes D5 C5 C8 FD). The HTTP parser reads the request target
// as UTF-8 and would turn those bytes into replacement characters. This
// socket sees every chunk before the parser does and rewrites bytes >= 0x80
// of a request line as %XX escapes, which the form decoder turns back into
// the same bytes. The method is written in capitals ("Get" becomes "GET"), as
// the parser knows only those. Headers and bodies pass untouched.
#pragma once

#include <QByteArray>
#include <QHash>
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
  // Between the first byte of a request and the end of its body.
  bool InRequest() const {
    return state_ != State::kRequestLine || !request_line_tail_.trimmed().isEmpty();
  }
  // A request line that does not end in an HTTP version: nothing more of
  // this connection can be understood.
  bool Malformed() const { return malformed_; }
  // Bytes of body still to come; zero while the headers arrive.
  qint64 BodyLeft() const { return state_ == State::kBody ? body_left_ : 0; }

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
  bool malformed_ = false;
};

class EscapingSocket : public QTcpSocket {
  Q_OBJECT
 public:
  // A connection that stays silent this long is closed.
  static constexpr int kIdleTimeoutMs = 60 * 1000;
  // A request's line and headers must arrive whole within this time, however
  // the bytes trickle in ...
  static constexpr int kHeaderDeadlineMs = 10 * 1000;
  // ... and its body at no less than this many bytes a second on top.
  static constexpr qint64 kMinBodyBytesPerSecond = 2048;

  explicit EscapingSocket(QObject* parent = nullptr);
  // An HTTP/1.0 client expects the connection to end with the reply.
  bool SpeaksHttp10() const { return escaper_.LastRequestIsHttp10(); }

 private:
  void OnReadyRead();
  void FollowDeadline();
  RequestLineEscaper escaper_;
  QTimer idle_;
  QTimer deadline_;
  bool request_open_ = false;
  bool body_timed_ = false;
};

// Hands out EscapingSockets; bound to the HTTP server in place of a plain
// QTcpServer.
class EscapingTcpServer : public QTcpServer {
  Q_OBJECT
 public:
  using QTcpServer::QTcpServer;
  // Open connections one address may hold; more are closed at once. Generous:
  // a whole school may reach the service from one address.
  static constexpr int kMaxConnectionsPerAddress = 64;

 protected:
  void incomingConnection(qintptr descriptor) override;

 private:
  QHash<QString, int> open_;
};

}  // namespace zorvanix::server
