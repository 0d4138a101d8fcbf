#include "server/escaping_socket.h"

#include <climits>

namespace zorvanix::server {
namespace {

constexpr qsizetype kMaxHeaderLine = 16 * 1024;
constexpr char kHex[] = "0123456789ABCDEF";

}  // namespace

void RequestLineEscaper::EndHeaderLine() {
  QByteArray line = header_line_.trimmed();
  header_line_.clear();
  if (line.isEmpty()) {
    // The blank line: the body follows, then the next request.
    if (chunked_) {
      state_ = State::kPassThrough;
    } else if (content_length_ > 0) {
      body_left_ = content_length_;
      state_ = State::kBody;
    } else {
      state_ = State::kRequestLine;
    }
    content_length_ = 0;
    return;
  }
  const qsizetype colon = line.indexOf(':');
  if (colon < 0) return;
  const QByteArray name = line.first(colon).trimmed().toLower();
  const QByteArray value = line.sliced(colon + 1).trimmed();
  if (name == "content-length") {
    bool ok = false;
    const qint64 length = value.toLongLong(&ok);
    if (ok && length >= 0) content_length_ = length;
  } else if (name == "transfer-encoding" && value.toLower().contains("chunked")) {
    chunked_ = true;
  }
}

bool RequestLineEscaper::Rewrite(QByteArray* chunk) {
  if (state_ == State::kPassThrough) return false;
  QByteArray out;
  bool changed = false;
  for (qsizetype i = 0; i < chunk->size(); ++i) {
    const auto byte = static_cast<unsigned char>(chunk->at(i));
    switch (state_) {
      case State::kRequestLine:
        if (in_method_ && byte == ' ') in_method_ = false;
        if (in_method_ && byte >= 'a' && byte <= 'z') {
          if (!changed) {
            out = chunk->first(i);
            changed = true;
          }
          out += static_cast<char>(byte - 'a' + 'A');
          continue;
        }
        if (byte >= 0x80) {
          if (!changed) {
            out = chunk->first(i);
            changed = true;
          }
          out += '%';
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
          continue;
        }
        if (byte == '\n' && request_line_tail_.trimmed().isEmpty()) {
          // A blank line before a request (after a body, say) is not its request line.
          request_line_tail_.clear();
        } else if (byte == '\n') {
          const QByteArray version = request_line_tail_.trimmed();
          http10_ = version.endsWith(" HTTP/1.0");
          if (!http10_ && !version.endsWith(" HTTP/1.1")) {
            malformed_ = true;
            state_ = State::kPassThrough;
            return changed;
          }
          request_line_tail_.clear();
          in_method_ = true;
          state_ = State::kHeaders;
        } else {
          request_line_tail_ += static_cast<char>(byte);
          if (request_line_tail_.size() > 16) request_line_tail_.remove(0, 1);
        }
        break;
      case State::kHeaders:
        if (byte == '\n') {
          EndHeaderLine();
        } else if (header_line_.size() < kMaxHeaderLine) {
          header_line_ += static_cast<char>(byte);
        }
        break;
      case State::kBody: {
        const qint64 take = std::min<qint64>(body_left_, chunk->size() - i);
        if (changed) out += chunk->sliced(i, take);
        i += take - 1;
        body_left_ -= take;
        if (body_left_ == 0) state_ = State::kRequestLine;
        continue;
      }
      case State::kPassThrough:
        break;
    }
    if (changed) out += static_cast<char>(byte);
  }
  if (changed) *chunk = std::move(out);
  return changed;
}

EscapingSocket::EscapingSocket(QObject* parent) : QTcpSocket(parent) {
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

void EscapingSocket::OnReadyRead() {
  idle_.start();
  // While the parser holds a partial request in a read transaction the
  // buffered bytes cannot be replaced; peek still shows only the new bytes,
  // so the stream position stays right and only the escaping is skipped.
  if (escaper_.Malformed()) {
    read(bytesAvailable());  // already refused; the rest is not listened to
    return;
  }
  QByteArray chunk = peek(bytesAvailable());
  if (chunk.isEmpty()) return;
  QByteArray rewritten = chunk;
  const bool changed = escaper_.Rewrite(&rewritten);
  if (escaper_.Malformed()) {
    // Answered at once rather than left to hang or be dropped unexplained.
    deadline_.stop();
    read(bytesAvailable());
    static const QByteArray text = QByteArray("\xC7\xEB\xC7\xF3\xB8\xF1\xCA\xBD\xB4\xED\xCE\xF3");
    write("HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain; charset=GBK\r\nContent-Length: " +
          QByteArray::number(text.size()) + "\r\nConnection: close\r\n\r\n" + text);
    disconnectFromHost();
    return;
  }
  FollowDeadline();
  if (!changed || isTransactionStarted()) return;
  read(chunk.size());
  for (qsizetype i = rewritten.size(); i-- > 0;) ungetChar(rewritten.at(i));
}

void EscapingTcpServer::incomingConnection(qintptr descriptor) {
  auto* socket = new EscapingSocket(this);
  if (!socket->setSocketDescriptor(descriptor)) {
    delete socket;
    return;
  }
  const QString address = socket->peerAddress().toString();
  if (open_.value(address) >= kMaxConnectionsPerAddress) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  open_[address] += 1;
  connect(socket, &QAbstractSocket::disconnected, this, [this, address] {
    if (--open_[address] <= 0) open_.remove(address);
  });
  addPendingConnection(socket);
}

}  // namespace zorvanix::server
