#include "server/escaping_socket.h"

#include <climits>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#include <sys/socket.h>
#endif

namespace zorvanix::server {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";
// A chunk-size line or a trailer line longer than this is not HTTP.
constexpr qsizetype kMaxChunkLine = 1024;

QByteArray RefusalText(int status) {
  // GBK: 请求格式错误 / 请求内容过大 / 请求地址过长 / 请求头过大
  switch (status) {
    case RequestLineEscaper::kTooLarge:
      return QByteArray("\xC7\xEB\xC7\xF3\xC4\xDA\xC8\xDD\xB9\xFD\xB4\xF3");
    case RequestLineEscaper::kLineTooLong:
      return QByteArray("\xC7\xEB\xC7\xF3\xB5\xD8\xD6\xB7\xB9\xFD\xB3\xA4");
    case RequestLineEscaper::kHeadersTooLarge:
      return QByteArray("\xC7\xEB\xC7\xF3\xCD\xB7\xB9\xFD\xB4\xF3");
    default:
      return QByteArray("\xC7\xEB\xC7\xF3\xB8\xF1\xCA\xBD\xB4\xED\xCE\xF3");
  }
}

const char* RefusalReason(int status) {
  switch (status) {
    case RequestLineEscaper::kTooLarge:
      return "Payload Too Large";
    case RequestLineEscaper::kLineTooLong:
      return "URI Too Long";
    case RequestLineEscaper::kHeadersTooLarge:
      return "Request Header Fields Too Large";
    default:
      return "Bad Request";
  }
}

}  // namespace

bool RequestLineEscaper::EndRequestLine(QByteArray* out) {
  const QByteArray version = line_.trimmed();
  http10_ = version.endsWith(" HTTP/1.0");
  if (!http10_ && !version.endsWith(" HTTP/1.1")) {
    Refuse(kMalformed);
    return false;
  }
  bool in_method = true;
  for (const char c : line_) {
    const auto byte = static_cast<unsigned char>(c);
    if (in_method && byte == ' ') in_method = false;
    if (in_method && byte >= 'a' && byte <= 'z') {
      *out += static_cast<char>(byte - 'a' + 'A');
    } else if (byte >= 0x80) {
      *out += '%';
      *out += kHex[byte >> 4];
      *out += kHex[byte & 0xF];
    } else {
      *out += c;
    }
  }
  *out += '\n';
  line_.clear();
  header_bytes_ = 0;
  header_count_ = 0;
  content_length_ = 0;
  chunked_ = false;
  state_ = State::kHeaders;
  return true;
}

void RequestLineEscaper::EndHeaderLine() {
  const QByteArray line = line_.trimmed();
  line_.clear();
  if (line.isEmpty()) {
    // The blank line: the body follows, then the next request.
    if (chunked_) {
      chunked_total_ = 0;
      state_ = State::kChunkSize;
    } else if (content_length_ > limits_.max_body) {
      Refuse(kTooLarge);
    } else if (content_length_ > 0) {
      body_left_ = content_length_;
      state_ = State::kBody;
    } else {
      state_ = State::kRequestLine;
    }
    return;
  }
  if (++header_count_ > limits_.max_header_count) {
    Refuse(kHeadersTooLarge);
    return;
  }
  const qsizetype colon = line.indexOf(':');
  if (colon < 0) return;
  const QByteArray name = line.first(colon).trimmed().toLower();
  const QByteArray value = line.sliced(colon + 1).trimmed();
  if (name == "content-length") {
    bool ok = false;
    const qint64 length = value.toLongLong(&ok);
    if (!ok || length < 0) {
      Refuse(kMalformed);
    } else {
      content_length_ = length;
    }
  } else if (name == "transfer-encoding" && value.toLower().contains("chunked")) {
    chunked_ = true;
  }
}

void RequestLineEscaper::EndChunkSizeLine() {
  QByteArray size = line_.trimmed();
  line_.clear();
  if (const qsizetype semicolon = size.indexOf(';'); semicolon >= 0) {
    size = size.first(semicolon).trimmed();
  }
  bool ok = false;
  const qint64 length = size.size() <= 15 ? size.toLongLong(&ok, 16) : -1;
  if (!ok || length < 0) {
    Refuse(kMalformed);
    return;
  }
  if (length == 0) {
    state_ = State::kTrailers;
    return;
  }
  chunked_total_ += length;
  // Refused before the parser sees the size and sets room aside for it.
  if (chunked_total_ > limits_.max_body) {
    Refuse(kTooLarge);
    return;
  }
  body_left_ = length;
  state_ = State::kChunkData;
}

QByteArray RequestLineEscaper::Feed(const QByteArray& chunk, bool* unchanged) {
  QByteArray out;
  bool same = line_.isEmpty();  // nothing held from before
  const qsizetype size = chunk.size();
  for (qsizetype i = 0; i < size && refusal_ == kNone; ++i) {
    const char c = chunk.at(i);
    switch (state_) {
      case State::kRequestLine: {
        // Kept back until the line is whole.
        same = false;
        if (c != '\n') {
          line_ += c;
          if (line_.size() > limits_.max_request_line) Refuse(kLineTooLong);
          break;
        }
        if (line_.trimmed().isEmpty()) {
          // A blank line before a request (after a body, say) is not its request line.
          out += line_;
          out += '\n';
          line_.clear();
          break;
        }
        EndRequestLine(&out);
        break;
      }
      case State::kHeaders:
        out += c;
        if (++header_bytes_ > limits_.max_header_bytes) {
          Refuse(kHeadersTooLarge);
        } else if (c == '\n') {
          EndHeaderLine();
        } else {
          line_ += c;
        }
        break;
      case State::kBody:
      case State::kChunkData: {
        const qint64 take = std::min<qint64>(body_left_, size - i);
        out += QByteArrayView(chunk).sliced(i, take);
        i += take - 1;
        body_left_ -= take;
        if (body_left_ == 0) state_ = state_ == State::kBody ? State::kRequestLine : State::kChunkEnd;
        break;
      }
      case State::kChunkEnd:
        out += c;
        if (c == '\n') state_ = State::kChunkSize;
        break;
      case State::kChunkSize:
      case State::kTrailers:
        out += c;
        if (c != '\n') {
          line_ += c;
          if (line_.size() > kMaxChunkLine) Refuse(kMalformed);
        } else if (state_ == State::kChunkSize) {
          EndChunkSizeLine();
        } else {
          if (line_.trimmed().isEmpty()) state_ = State::kRequestLine;
          line_.clear();
        }
        break;
    }
  }
  if (unchanged) *unchanged = same && refusal_ == kNone && out.size() == size;
  return out;
}

EscapingSocket::EscapingSocket(RequestLimits limits, QObject* parent)
    : QTcpSocket(parent), escaper_(limits) {
  // Connected before the HTTP server connects its own reader, so this runs
  // first on every arrival.
  connect(this, &QIODevice::readyRead, this, &EscapingSocket::OnReadyRead);
  idle_.setSingleShot(true);
  idle_.setInterval(kIdleTimeoutMs);
  connect(&idle_, &QTimer::timeout, this, [this] { disconnectFromHost(); });
  connect(this, &QIODevice::bytesWritten, &idle_, qOverload<>(&QTimer::start));
  idle_.start();
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, [this] { abort(); });
}

void EscapingSocket::WriteAnswer(const QByteArray& bytes) {
#ifndef _WIN32
  const qintptr descriptor = socketDescriptor();
  if (bytesToWrite() == 0 && state() == QAbstractSocket::ConnectedState && descriptor >= 0 &&
      isWritable()) {
    qsizetype sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(static_cast<int>(descriptor), bytes.constData() + sent,
                               static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += n;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        // Full (or failed): the socket's own writing takes the rest and
        // reports a failure the way it always does.
        break;
      }
    }
    if (sent > 0) idle_.start();
    if (sent < bytes.size()) write(bytes.constData() + sent, bytes.size() - sent);
    return;
  }
#endif
  write(bytes);
}

void EscapingSocket::FollowDeadline() {
  if (!escaper_.InRequest()) {
    request_open_ = false;
    body_timed_ = false;
    deadline_.stop();
    return;
  }
  if (!request_open_) {
    request_open_ = true;
    deadline_.start(kHeaderDeadlineMs);
  }
  const qint64 body = escaper_.BodyLeft();
  if (body > 0 && !body_timed_) {
    body_timed_ = true;
    // The header allowance again, plus the body at the slowest rate allowed.
    const qint64 ms = kHeaderDeadlineMs + body * 1000 / kMinBodyBytesPerSecond;
    deadline_.start(static_cast<int>(std::min<qint64>(ms, INT_MAX)));
  }
}

void EscapingSocket::Discard() {
  // The parser is done with this connection: what it holds in its read
  // transaction is let go too, so a refused upload does not pile up here.
  if (isTransactionStarted()) rollbackTransaction();
  skip(bytesAvailable());
}

void EscapingSocket::ReplaceFresh(const QByteArray& incoming, const QByteArray& replacement) {
  const qint64 fresh = incoming.size();
  // The parser reads inside a transaction that keeps what it has read in the
  // buffer; bytes cannot be put back behind that. The transaction is undone,
  // what the parser had read is taken out with the fresh bytes, and both go
  // back (its part unchanged) before the transaction is opened again over
  // the part it had read.
  const bool in_transaction = isTransactionStarted();
  qint64 parsed = 0;
  if (in_transaction) {
    rollbackTransaction();
    parsed = bytesAvailable() - fresh;
  }
  // Only the part up to the last changed byte is replaced: after an escaped
  // request line a body passes as it stands and stays where it is.
  qsizetype same_tail = 0;
  const qsizetype most = std::min(incoming.size(), replacement.size());
  while (same_tail < most && incoming.at(incoming.size() - 1 - same_tail) ==
                                 replacement.at(replacement.size() - 1 - same_tail)) {
    ++same_tail;
  }
  const QByteArray already = read(parsed);
  skip(fresh - same_tail);
  for (qsizetype i = replacement.size() - same_tail; i-- > 0;) ungetChar(replacement.at(i));
  for (qsizetype i = already.size(); i-- > 0;) ungetChar(already.at(i));
  if (in_transaction) {
    startTransaction();
    skip(parsed);
  }
}

void EscapingSocket::CloseAfterRefusal() {
  // A client still sending when it is refused would have its connection
  // reset by a plain close, and the reset throws away the refusal it has not
  // read yet. So only the sending side closes once the refusal is out; what
  // still comes is read and dropped until the client closes, or for a short
  // while at most.
  auto half_close = [this] {
    if (bytesToWrite() > 0 || state() != ConnectedState) return;
#ifdef _WIN32
    ::shutdown(socketDescriptor(), SD_SEND);
#else
    ::shutdown(static_cast<int>(socketDescriptor()), SHUT_WR);
#endif
  };
  connect(this, &QAbstractSocket::bytesWritten, this, half_close);
  flush();
  half_close();
  QTimer::singleShot(kRefusalLingerMs, this, [this] { abort(); });
}

void EscapingSocket::OnReadyRead() {
  idle_.start();
  if (escaper_.Refused() != RequestLineEscaper::kNone) {
    Discard();  // already answered; the rest is not listened to
    return;
  }
  // Inside the parser's transaction bytesAvailable() counts only what it has
  // not read yet: the bytes that just came.
  const qint64 fresh = bytesAvailable();
  if (fresh <= 0) return;
  const QByteArray chunk = peek(fresh);
  bool unchanged = false;
  const QByteArray out = escaper_.Feed(chunk, &unchanged);
  if (const int status = escaper_.Refused()) {
    // Answered at once rather than left to hang or be dropped unexplained,
    // before the parser buffers any of it.
    deadline_.stop();
    Discard();
    const QByteArray text = RefusalText(status);
    write("HTTP/1.1 " + QByteArray::number(status) + ' ' + RefusalReason(status) +
          "\r\nContent-Type: text/plain; charset=GBK\r\nContent-Length: " +
          QByteArray::number(text.size()) + "\r\nConnection: close\r\n\r\n" + text);
    CloseAfterRefusal();
    emit refused(status);
    return;
  }
  FollowDeadline();
  if (!unchanged) ReplaceFresh(chunk, out);
}

void EscapingTcpServer::incomingConnection(qintptr descriptor) {
  auto* socket = new EscapingSocket(limits_, this);
  if (!socket->setSocketDescriptor(descriptor)) {
    delete socket;
    return;
  }
  QHostAddress peer = socket->peerAddress();
  const QString address = peer.toString();
  bool is_v4 = false;
  if (const quint32 v4 = peer.toIPv4Address(&is_v4); is_v4) peer = QHostAddress(v4);
  bool uncapped = false;
  for (const auto& subnet : uncapped_) uncapped = uncapped || peer.isInSubnet(subnet);
  if (!uncapped && open_.value(address) >= kMaxConnectionsPerAddress) {
    socket->abort();
    socket->deleteLater();
    emit refused(429);
    return;
  }
  open_[address] += 1;
  connect(socket, &QAbstractSocket::disconnected, this, [this, address] {
    if (--open_[address] <= 0) open_.remove(address);
  });
  connect(socket, &EscapingSocket::refused, this, &EscapingTcpServer::refused);
  addPendingConnection(socket);
}

}  // namespace zorvanix::server
