// The HTTP exchange against a stalled listener and a closed port: every
// exchange ends in bounded time, reports the failure, and a failed download
// leaves the cache file as it was.
#include "platform/http_exchange.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <QtTest>

#include "core/form_encoding.h"
#include "tests/platform/silent_server.h"
#include "tests/support/server_process.h"

using namespace zorvanix;
using namespace std::chrono_literals;

namespace {

constexpr auto kShortTimeout = 300ms;
constexpr qint64 kBoundMs = 5000;

QByteArray ContentOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// Answers every request with a head promising 100 bytes, then sends one byte
// every 100 ms: a trickle that never lets a transfer stall.
class TricklingServer {
 public:
  TricklingServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
          if (!socket->readAll().contains("\r\n\r\n") || socket->property("trickling").toBool())
            return;
          socket->setProperty("trickling", true);
          socket->write("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
          auto* drip = new QTimer(socket);
          QObject::connect(drip, &QTimer::timeout, socket, [socket] { socket->write("S"); });
          drip->start(100);
        });
      }
    });
  }
  QString Root() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }

 private:
  QTcpServer server_;
};

}  // namespace

class HttpExchangeTest : public QObject {
  Q_OBJECT

 private slots:
  // The wait keeps the window live: a timer of the window thread still fires.
  void StalledPostTimesOutAsNetworkFailureAndSendsTheFormHeaders() {
    testing::SilentServer silent;
    HttpExchange http(kShortTimeout);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    const QByteArray body = FormBody().Add(u"username", u"张三").Add(u"password", u"a&b").Bytes();
    QElapsedTimer clock;
    clock.start();
    const PostResult result =
        http.PostToService(QUrl(silent.Root() + QStringLiteral("/score/checkpassword.php")), body);
    QVERIFY(clock.elapsed() < kBoundMs);
    QCOMPARE(result.status, 0);
    QVERIFY(result.text.isEmpty());
    QVERIFY(result.IsNetworkFailure() && !result.IsSuccess() && !result.IsRefusal());
    QVERIFY(ticks > 0);

    const QByteArray request = silent.Received();
    QVERIFY(request.startsWith("POST /score/checkpassword.php HTTP/1.1\r\n"));
    QVERIFY(request.contains("\r\nCONTENT-TYPE: application/x-www-form-urlencoded\r\n"));
    QCOMPARE(request.count("\r\nContent-Length: "), 1);
    QCOMPARE(request.toLower().count("\r\ncontent-type:"), 1);
    QVERIFY(request.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"));
    QVERIFY(request.endsWith("\r\n\r\nusername=%D5%C5%C8%FD&password=a%26b"));
  }

  // The status line arrived, then the line went dead: no answer, not a refusal.
  void ReplyCutShortIsANetworkFailure() {
    testing::SilentServer stalled("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nSucc");
    HttpExchange http(kShortTimeout);
    const PostResult result =
        http.PostToService(QUrl(stalled.Root() + QStringLiteral("/score/index.php")), "a=1");
    QCOMPARE(result.status, 0);
    QVERIFY(result.text.isEmpty() && !result.IsRefusal());
  }

  void StalledGetAndDownloadGiveNothingAndKeepTheOldFile() {
    testing::SilentServer silent;
    HttpExchange http(kShortTimeout);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(http.HttpGetText(QUrl(silent.Root() + QStringLiteral("/score/getteacher.php?t=a"))),
             QString());
    QVERIFY(silent.Received().contains("\r\nIf-Modified-Since: 0\r\n"));
    QVERIFY(silent.Received().contains("\r\nCache-Control: no-cache\r\n"));
    QCOMPARE(http.GetTextKeepingWindowLive(QUrl(silent.Root() + QStringLiteral("/x"))), QString());

    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("ServerRec.dmd"));
    WriteFile(cache, "Class_Is_Ready\told\t\r\n");
    QVERIFY(!http.DownloadToFile(QUrl(silent.Root() + QStringLiteral("/score/record.php")), cache));
    QCOMPARE(ContentOf(cache), QByteArray("Class_Is_Ready\told\t\r\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("ServerRec.dmd")});
    QVERIFY(clock.elapsed() < 3 * kBoundMs);
  }

  void ClosedPortFailsEveryKindOfExchange() {
    const QString root = testing::ClosedPortRoot();
    HttpExchange http;
    const PostResult result =
        http.PostToService(QUrl(root + QStringLiteral("/score/index.php")), "a=1");
    QCOMPARE(result.status, 0);
    QVERIFY(result.IsNetworkFailure());
    QCOMPARE(http.HttpGetText(QUrl(root + QStringLiteral("/score/checkusername.php?u=a"))),
             QString());

    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("ServerRec.dmd"));
    QVERIFY(!http.DownloadToFile(QUrl(root + QStringLiteral("/score/record.php")), cache));
    QVERIFY(!QFile::exists(cache));

    QObject receiver;
    QString reply = QStringLiteral("unset");
    bool done = false;
    http.GetTextAsync(QUrl(root + QStringLiteral("/x")), &receiver, [&](const QString& text) {
      reply = text;
      done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, kBoundMs);
    QCOMPARE(reply, QString());
  }

  // The timeout covers the whole exchange: a reply that keeps trickling in
  // ends at the deadline like a silent one, and the window stays live.
  void TricklingRepliesEndAtTheTotalDeadline() {
    TricklingServer trickle;
    HttpExchange http(600ms);
    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("cache.dms"));
    WriteFile(cache, "old");
    int ticks = 0;
    QTimer window_timer;
    QObject::connect(&window_timer, &QTimer::timeout, [&] { ++ticks; });
    window_timer.start(50);
    const QUrl url(trickle.Root() + QStringLiteral("/score/record.php"));
    auto within_deadline = [](const std::function<void()>& exchange) {
      QElapsedTimer clock;
      clock.start();
      exchange();
      return clock.elapsed() >= 500 && clock.elapsed() < 2500;
    };
    QVERIFY(within_deadline([&] {
      const PostResult result = http.PostToService(url, "a=1");
      QVERIFY(result.IsNetworkFailure());
    }));
    QVERIFY(ticks > 3);
    QVERIFY(within_deadline([&] { QVERIFY(http.HttpGetText(url).size() < 100); }));
    QVERIFY(within_deadline([&] { QVERIFY(http.GetTextKeepingWindowLive(url).size() < 100); }));
    QVERIFY(within_deadline([&] { QVERIFY(!http.DownloadToFile(url, cache)); }));
    QCOMPARE(ContentOf(cache), QByteArray("old"));
    QString async = QStringLiteral("not yet");
    QObject receiver;
    http.GetTextAsync(url, &receiver, [&](const QString& text) { async = text; });
    QTRY_VERIFY_WITH_TIMEOUT(async != u"not yet", 2500);
    QVERIFY(async.size() < 100);
  }

  void TimeoutIsNeverEndless() {
    HttpExchange http(0ms);
    QCOMPARE(http.Timeout(), kDefaultTransferTimeout);
    http.SetTimeout(-5ms);
    QCOMPARE(http.Timeout(), kDefaultTransferTimeout);
    http.SetTimeout(1500ms);
    QCOMPARE(http.Timeout(), 1500ms);
  }

  void ReplyWordMustMatchExactly() {
    QVERIFY((PostResult{200, QStringLiteral("Success!")}.IsSuccess()));
    QVERIFY((PostResult{200, QStringLiteral("Success!\r\n")}.IsRefusal()));
    QVERIFY((!PostResult{200, QStringLiteral("success!")}.IsSuccess()));
    QVERIFY((PostResult{500, QStringLiteral("Success!")}.IsNetworkFailure()));
  }
};

QTEST_GUILESS_MAIN(HttpExchangeTest)
#include "http_exchange_test.moc"
