// The two kinds of exchange with the scoring service: a form POST answered by
// "Success!" or a message, and a GET answered by a GBK text. Every exchange has
// a transfer timeout, so nothing waits for ever.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>

namespace zorvanix {

inline constexpr std::chrono::milliseconds kDefaultTransferTimeout{30000};

// The reply word of an accepted post.
inline constexpr char16_t kSuccessReply[] = u"Success!";

struct PostResult {
  int status = 0;  // HTTP status; 0 when no reply arrived (refused, timed out)
  QString text;    // the reply body decoded as GBK

  bool IsNetworkFailure() const { return status != 200; }
  // Accepted: status 200 and exactly the reply word, nothing before or after.
  bool Is(QStringView word) const { return status == 200 && text == word; }
  bool IsSuccess() const { return Is(kSuccessReply); }
  // Status 200 and any other text: the service refused and said why.
  bool IsRefusal() const { return status == 200 && text != kSuccessReply; }
};

class HttpExchange {
 public:
  explicit HttpExchange(std::chrono::milliseconds timeout = kDefaultTransferTimeout);

  // The longest a whole exchange may take, and so the longest a transfer may
  // stall; zero or less means the default.
  void SetTimeout(std::chrono::milliseconds timeout);
  std::chrono::milliseconds Timeout() const { return timeout_; }

  // Posts an encoded form body, exactly once: a connection that drops before
  // the reply came is a network failure, never a silent second post. While
  // waiting for the reply the window system keeps processing events, so the
  // window stays live (and clickable).
  PostResult PostToService(const QUrl& url, const QByteArray& body);

  // A synchronous GET: blocks the caller without handling user input until the
  // reply is complete, and returns the raw body decoded in charset whatever
  // the status. Never throws; empty text when nothing arrived.
  QString HttpGetText(const QUrl& url, QStringView charset = u"GB2312");

  // A GET whose wait keeps processing every window event (the start-up clock
  // and version checks run while the teacher already works).
  QString GetTextKeepingWindowLive(const QUrl& url);

  // A GET that returns at once: done receives the body decoded as GBK (empty
  // when nothing arrived) on the window thread once the reply is complete. If
  // receiver is destroyed first, done is never called.
  void GetTextAsync(const QUrl& url, const QObject* receiver,
                    std::function<void(const QString&)> done);

  // Downloads url into path, bypassing every cache. The body goes to a
  // temporary file that replaces path only when the whole reply arrived with
  // status 200; a failed download leaves the old file untouched.
  bool DownloadToFile(const QUrl& url, const QString& path);
  // Fetches url whole, bypassing every cache, into body; false (body left as
  // it was) unless the whole reply arrived with status 200.
  bool Download(const QUrl& url, QByteArray* body);

 private:
  QNetworkRequest MakeRequest(const QUrl& url) const;

  QNetworkAccessManager manager_;
  // Posts only, so that clearing its connections before each post leaves the
  // gets (the background ones too) alone.
  QNetworkAccessManager post_manager_;
  std::chrono::milliseconds timeout_;
};

}  // namespace zorvanix
