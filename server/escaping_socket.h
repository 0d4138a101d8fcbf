// The desktop program sends GET addresses with raw GBK bytes in the query
// (t=张三 as the bytes D5 C5 C8 FD). The HTTP parser reads the request target
// as UTF-8 and would turn those bytes into replacement characters; it also
// misreads a target that reaches it in pieces. This socket sees every chunk
// before the parser does: it holds a request line back until the line is
// whole, then hands it on with bytes >= 0x80 written as %XX escapes (which
// the form decoder turns back into the same bytes) and the method in
// capitals ("Get" becomes "GET", the parser knows only those). Headers and
// bodies pass untouched, but are followed (by Content-Length or chunk by
// chunk) so the next request line is found, and so that requests over the
// limits are refused before the parser buffers them.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <utility>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace zorvanix::server {

// Limits on what one request may hold before it is refused.
struct RequestLimits {
  qint64 max_body = 1024 * 1024;
  qsizetype max_request_line = 16 * 1024;
  qsizetype max_header_bytes = 64 * 1024;
  int max_header_count = 100;
};

// Follows one connection's byte stream and rewrites its request lines.
class RequestLineEscaper {
 public:
  // Why the stream can no longer be served; 0 while it can.
  enum Refusal { kNone = 0, kMalformed = 400, kTooLarge = 413, kLineTooLong = 414,
                 kHeadersTooLarge = 431 };

  RequestLineEscaper() = default;
  explicit RequestLineEscaper(RequestLimits limits) : limits_(limits) {}

  // Takes the next bytes of the stream and returns what may go on to the
  // parser now; the start of a request line that is not yet whole is kept
  // back and comes out with the bytes that finish it. *unchanged is set
  // when the result is exactly chunk.
  QByteArray Feed(const QByteArray& chunk, bool* unchanged = nullptr);
  // Whether the last request line seen ended in "HTTP/1.0".
  bool LastRequestIsHttp10() const { return http10_; }
  // Between the first byte of a request and the end of its body.
  bool InRequest() const { return state_ != State::kRequestLine || !line_.trimmed().isEmpty(); }
  Refusal Refused() const { return refusal_; }
  // Bytes of body still to come by Content-Length; zero otherwise.
  qint64 BodyLeft() const { return state_ == State::kBody ? body_left_ : 0; }
  // Bytes kept back (a request line not yet whole).
  qsizetype Held() const { return line_.size(); }

 private:
  enum class State { kRequestLine, kHeaders, kBody, kChunkSize, kChunkData, kChunkEnd, kTrailers };
  bool EndRequestLine(QByteArray* out);
  void EndHeaderLine();
  void EndChunkSizeLine();
  void Refuse(Refusal why) { refusal_ = why; }

  RequestLimits limits_;
  State state_ = State::kRequestLine;
  QByteArray line_;  // the request line, chunk-size line or header line being read
  qsizetype header_bytes_ = 0;
  int header_count_ = 0;
  qint64 content_length_ = 0;
  bool chunked_ = false;
  qint64 body_left_ = 0;    // of a Content-Length body or of the current chunk
  qint64 chunked_total_ = 0;
  bool http10_ = false;
  Refusal refusal_ = kNone;
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
  // How long a refused client may go on sending before its connection ends.
  static constexpr int kRefusalLingerMs = 2000;

  explicit EscapingSocket(RequestLimits limits, QObject* parent = nullptr);
  // An HTTP/1.0 client expects the connection to end with the reply.
  bool SpeaksHttp10() const { return escaper_.LastRequestIsHttp10(); }
  // Writes an answer. While nothing of this connection waits in the
  // socket's buffer, the bytes go straight to the system (a long kept list
  // then leaves now, not a turn of the event loop later, and without
  // passing through the buffer); what the system does not take at once is
  // buffered and follows, ahead of anything written after.
  void WriteAnswer(const QByteArray& bytes);

 signals:
  // A request refused by the stream's limits (status 400, 413, 414 or 431).
  void refused(int status);

 private:
  void OnReadyRead();
  void FollowDeadline();
  void Discard();
  void CloseAfterRefusal();
  // Puts replacement in place of incoming, the bytes the parser has not read.
  void ReplaceFresh(const QByteArray& incoming, const QByteArray& replacement);
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
  explicit EscapingTcpServer(RequestLimits limits, QObject* parent = nullptr)
      : QTcpServer(parent), limits_(limits) {}
  // Open connections one address may hold; more are closed at once. Generous:
  // a whole school may reach the service from one address.
  static constexpr int kMaxConnectionsPerAddress = 64;
  // Peers the cap does not apply to (the trusted proxies).
  void SetUncapped(QList<std::pair<QHostAddress, int>> subnets) { uncapped_ = std::move(subnets); }

 signals:
  void refused(int status);

 protected:
  void incomingConnection(qintptr descriptor) override;

 private:
  RequestLimits limits_;
  QList<std::pair<QHostAddress, int>> uncapped_;
  QHash<QString, int> open_;
};

}  // namespace zorvanix::server
