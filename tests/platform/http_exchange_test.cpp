// The HTTP exchange against a stalled listener and a closed port: every
// exchange ends in bounded time, reports the failure, and a failed download
// leaves the cache file as it was.
#include "platform/http_exchange.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
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
