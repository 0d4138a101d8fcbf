#include "platform/http_exchange.h"

#include <QEventLoop>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "core/gbk.h"

namespace zorvanix {
namespace {

struct ReplyDeleter {
  void operator()(QNetworkReply* reply) const {
    if (!reply) return;
    reply->abort();
    reply->deleteLater();
  }
};
using ReplyPtr = std::unique_ptr<QNetworkReply, ReplyDeleter>;

// The timeout covers the whole exchange: a reply that trickles in byte by
// byte keeps the transfer timeout from ever firing, this deadline does not.
void LimitTotalTime(QNetworkReply* reply, std::chrono::milliseconds timeout) {
  auto* deadline = new QTimer(reply);
  deadline->setSingleShot(true);
  QObject::connect(deadline, &QTimer::timeout, reply, [reply] {
    if (!reply->isFinished()) reply->abort();
  });
  deadline->start(timeout);
}

void WaitFor(QNetworkReply* reply, QEventLoop::ProcessEventsFlags flags) {
  if (reply->isFinished()) return;
  QEventLoop loop;
  QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
  loop.exec(flags);
}

int StatusOf(const QNetworkReply* reply) {
  const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
  return status.isValid() ? status.toInt() : 0;
}

// The transfer itself broke off (refused, reset, timed out, cut short, a
// malformed reply, a post that would have had to be sent again), as opposed
// to a complete reply with an error status.
bool TransferFailed(const QNetworkReply* reply) {
  const QNetworkReply::NetworkError error = reply->error();
  return error != QNetworkReply::NoError &&
         (error < QNetworkReply::ContentAccessDenied || error == QNetworkReply::ContentReSendError ||
          (error >= QNetworkReply::ProtocolUnknownError &&
           error <= QNetworkReply::ProtocolFailure));
}

// A post's body that can be read once only. When a connection drops before
// any byte of the reply arrived, Qt's HTTP layer sends the request again on
// its own, up to twice, with no switch to turn that off; for a post that the
// service already stored, the copies would store it again. Without a second
// reading of the body that resend fails (ContentReSendError), and the
// exchange ends as a network failure the teacher is told about.
class OneShotBody : public QIODevice {
 public:
  OneShotBody(QByteArray bytes, QObject* parent) : QIODevice(parent), bytes_(std::move(bytes)) {
    open(QIODevice::ReadOnly);
  }
  bool isSequential() const override { return true; }
  bool reset() override { return false; }
  qint64 bytesAvailable() const override {
    return bytes_.size() - offset_ + QIODevice::bytesAvailable();
  }
  bool atEnd() const override { return bytesAvailable() == 0; }

 protected:
  qint64 readData(char* data, qint64 max_size) override {
    const qint64 n = std::min<qint64>(max_size, bytes_.size() - offset_);
    if (n <= 0) return -1;
    std::memcpy(data, bytes_.constData() + offset_, static_cast<size_t>(n));
    offset_ += n;
    return n;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QByteArray bytes_;
  qint64 offset_ = 0;
};

}  // namespace

HttpExchange::HttpExchange(std::chrono::milliseconds timeout) {
  manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
  post_manager_.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
  SetTimeout(timeout);
}

void HttpExchange::SetTimeout(std::chrono::milliseconds timeout) {
  // A transfer timeout of 0 means "wait for ever" to Qt; nothing may do that.
  timeout_ = timeout.count() > 0 ? timeout : kDefaultTransferTimeout;
}

QNetworkRequest HttpExchange::MakeRequest(const QUrl& url) const {
  QNetworkRequest request(url);
  request.setTransferTimeout(static_cast<int>(std::min<qint64>(timeout_.count(), INT_MAX)));
  request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
  request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
  request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
  // Neither a proxy nor any other cache on the way may answer for the service.
  request.setRawHeader("Cache-Control", "no-cache");
  request.setRawHeader("Pragma", "no-cache");
  return request;
}

PostResult HttpExchange::PostToService(const QUrl& url, const QByteArray& body) {
  QNetworkRequest request = MakeRequest(url);
  request.setRawHeader("Content-Length", QByteArray::number(body.size()));
  request.setRawHeader("CONTENT-TYPE", "application/x-www-form-urlencoded");
  // The body is streamed from the one-shot device, never copied where Qt
  // could read it a second time.
  request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
  // Every post goes over a connection of its own, opened for it: a kept-alive
  // connection that the service closed while idle would otherwise be the
  // one case where a resend was harmless, and it is now refused too.
  post_manager_.clearConnectionCache();
  auto* once = new OneShotBody(body, nullptr);
  ReplyPtr reply(post_manager_.post(request, once));
  once->setParent(reply.get());
  LimitTotalTime(reply.get(), timeout_);
  WaitFor(reply.get(), QEventLoop::AllEvents);
  PostResult result;
  // A reply cut short is no answer at all, even if its status line arrived:
  // "Succ" must not read as a refusal, nor a cut "Success!" as anything else.
  if (TransferFailed(reply.get())) return result;
  result.status = StatusOf(reply.get());
  if (result.status != 0) result.text = DecodeGbk(reply->readAll());
  return result;
}

QString HttpExchange::HttpGetText(const QUrl& url, QStringView charset) {
  QNetworkRequest request = MakeRequest(url);
  request.setRawHeader("If-Modified-Since", "0");
  ReplyPtr reply(manager_.get(request));
  LimitTotalTime(reply.get(), timeout_);
  WaitFor(reply.get(), QEventLoop::ExcludeUserInputEvents);
  return DecodeBytes(reply->readAll(), charset);
}

QString HttpExchange::GetTextKeepingWindowLive(const QUrl& url) {
  ReplyPtr reply(manager_.get(MakeRequest(url)));
  LimitTotalTime(reply.get(), timeout_);
  WaitFor(reply.get(), QEventLoop::AllEvents);
  return DecodeGbk(reply->readAll());
}

void HttpExchange::GetTextAsync(const QUrl& url, const QObject* receiver,
                                std::function<void(const QString&)> done) {
  QNetworkRequest request = MakeRequest(url);
  request.setRawHeader("If-Modified-Since", "0");
  QNetworkReply* reply = manager_.get(request);
  LimitTotalTime(reply, timeout_);
  QObject::connect(reply, &QNetworkReply::finished, receiver,
                   [reply, done = std::move(done)] { done(DecodeGbk(reply->readAll())); });
  // The reply goes when it is done, whether or not anyone still listens.
  QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}

bool HttpExchange::Download(const QUrl& url, QByteArray* body) {
  ReplyPtr reply(manager_.get(MakeRequest(url)));
  LimitTotalTime(reply.get(), timeout_);
  WaitFor(reply.get(), QEventLoop::ExcludeUserInputEvents);
  if (reply->error() != QNetworkReply::NoError || StatusOf(reply.get()) != 200) return false;
  *body = reply->readAll();
  return true;
}

bool HttpExchange::DownloadToFile(const QUrl& url, const QString& path) {
  QByteArray body;
  if (!Download(url, &body)) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(body) != body.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace zorvanix
