// The wire itself: raw GBK in addresses, oversized and malformed requests,
// unknown paths, the clock, the maker's pages, the access log, the demo
// teacher and a clean stop.
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimeZone>
#include <QtTest>

#include "core/gbk.h"
#include "core/service_time.h"
#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {

class ProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ZV_START_SERVICE(server_);
    http_ = std::make_unique<ServiceHttp>(server_.Root());
    teacher_ = {QStringLiteral("wire_teacher"), QStringLiteral("登录密码"),
                QStringLiteral("操作密码")};
    QCOMPARE(Register(*http_, teacher_), kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), teacher_, {{"class", "一班"}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/student.php"), teacher_,
                    {{"class", "一班"}, {"student", "张三"}}),
             kOk);
    QCOMPARE(
        Upload(*http_, teacher_, {}, {ScoreLineText("一班", "张三", "5分", "2024-03-01 08:00:00")}),
        kOk);
  }

  void rawGbkBytesInTheAddressArrive() {
    const QByteArray target = "/score/getscore.php?class=" + EncodeGbk(u"一班") +
                              "&t=" + teacher_.user.toLatin1() +
                              "&mp=" + teacher_.Digest().toLatin1();
    const HttpResult raw = http_->GetTarget(target);
    QCOMPARE(raw.status, 200);
    QVERIFY(raw.Text().contains(u"\t张三\t5\t"));
    QCOMPARE(
        raw.body,
        Read(*http_, QStringLiteral("/score/getscore.php"), teacher_, {{"class", "一班"}}).body);
  }

  void rawAddressAfterABodyOnOneConnection() {
    // The request line after a body is still found, so its bytes are escaped too.
    const QByteArray body = OriginalClientBody(QStringLiteral("username=%1&password=%2&class=一班")
                                                   .arg(teacher_.user, teacher_.operation)) +
                            "&student=\xD5\xC5\xC8\xFD";
    const QByteArray requests =
        "POST /score/student.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\n"
        "Content-Length: " +
        QByteArray::number(body.size()) + "\r\n\r\n" + body +
        "GET /score/getscore.php?class=" + EncodeGbk(u"一班") + "&t=" + teacher_.user.toLatin1() +
        "&mp=" + teacher_.Digest().toLatin1() + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    QTcpSocket socket;
    socket.connectToHost(QUrl(server_.Root()).host(),
                         static_cast<quint16>(QUrl(server_.Root()).port()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write(requests);
    const QList<HttpResult> replies = ReadReplies(socket, 2);
    QCOMPARE(replies.size(), 2);
    QCOMPARE(replies[0].Text(), QStringLiteral("Success!"));
    QCOMPARE(replies[1].status, 200);
    QVERIFY(replies[1].Text().contains(u"\t张三\t5\t"));
  }

  // A request line that reaches the service in pieces is read as one: byte
  // by byte, and cut inside a double-byte character.
  void rawAddressArrivingInPieces_data() {
    QTest::addColumn<QList<int>>("cuts");  // offsets in the request where a write ends
    const QByteArray line = RawScoresLine();
    const int in_character = static_cast<int>(line.indexOf('\xD2')) + 1;
    QList<int> every_byte;
    for (int i = 1; i < static_cast<int>(line.size()) + 20; ++i) every_byte.append(i);
    QTest::newRow("byte by byte") << every_byte;
    QTest::newRow("inside a character") << QList<int>{in_character};
    QTest::newRow("before the version") << QList<int>{static_cast<int>(line.indexOf(" HTTP/"))};
  }
  void rawAddressArrivingInPieces() {
    QFETCH(QList<int>, cuts);
    const QByteArray request =
        RawScoresLine() + "\r\nHost: x\r\nConnection: close\r\n\r\n";
    QTcpSocket socket;
    const QUrl root(server_.Root());
    socket.connectToHost(root.host(), static_cast<quint16>(root.port()));
    QVERIFY(socket.waitForConnected(5000));
    qsizetype from = 0;
    for (const int cut : cuts) {
      if (cut >= request.size()) break;
      socket.write(request.sliced(from, cut - from));
      QVERIFY(socket.waitForBytesWritten(1000));
      QTest::qWait(cuts.size() > 10 ? 1 : 50);  // each piece its own read
      from = cut;
    }
    socket.write(request.sliced(from));
    const QList<HttpResult> replies = ReadReplies(socket, 1);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].status, 200);
    QVERIFY(replies[0].Text().contains(u"\t张三\t5\t"));
  }

  // A chunked upload is followed to its end, so the raw request line after
  // it on the same connection is still escaped.
  void rawAddressAfterAChunkedBody() {
    const QByteArray body = OriginalClientBody(QStringLiteral("username=%1&password=%2&class=一班")
                                                   .arg(teacher_.user, teacher_.operation)) +
                            "&student=\xD5\xC5\xC8\xFD|\xC0\xEE\xCB\xC4";  // 张三|李四
    QByteArray chunked;
    for (qsizetype at = 0; at < body.size(); at += 7) {
      const QByteArray piece = body.mid(at, 7);
      chunked += QByteArray::number(piece.size(), 16) + ";note=x\r\n" + piece + "\r\n";
    }
    chunked += "0\r\n\r\n";
    const QByteArray post =
        "POST /score/student.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
        "application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n" +
        chunked;
    const QByteArray get = RawScoresLine() + "\r\nHost: x\r\nConnection: close\r\n\r\n";
    for (const bool one_write : {true, false}) {
      QTcpSocket socket;
      const QUrl root(server_.Root());
      socket.connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(socket.waitForConnected(5000));
      if (one_write) {
        socket.write(post + get);
      } else {
        socket.write(post);
        QVERIFY(socket.waitForBytesWritten(1000));
        QTest::qWait(50);
        socket.write(get);
      }
      const QList<HttpResult> replies = ReadReplies(socket, 2);
      QCOMPARE(replies.size(), 2);
      QCOMPARE(replies[0].Text(), QStringLiteral("Success!"));
      QCOMPARE(replies[1].status, 200);
      QVERIFY(replies[1].Text().contains(u"\t张三\t5\t"));
    }
    const QString students =
        Read(*http_, QStringLiteral("/score/record.php"), teacher_).Text();
    QVERIFY2(students.contains(u"\t李四\t"), qPrintable(students));
  }

  void verbInMixedCaseIsUnderstood() {
    // The original program opens its text reads with the verb "Get".
    const HttpResult reply = http_->Send("Get /score/getteacher.php?t=" + teacher_.user.toLatin1() +
                                         "&mp=" + teacher_.Digest().toLatin1() +
                                         " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.Text().startsWith(QStringLiteral("测试老师\r\n")));
  }

  void oversizedBodyIsRefusedAndTheServiceStaysUp() {
    const QByteArray body = "username=x&password=y&class=" + QByteArray(2 * 1024 * 1024, 'a');
    const HttpResult reply = http_->PostBytes(QStringLiteral("/score/setclass.php"), body);
    QCOMPARE(reply.status, 413);
    QVERIFY(!reply.Text().isEmpty());
    QCOMPARE(http_->Get(QStringLiteral("/score/servertime.php"), {{"t", "0.5"}}).status, 200);
  }

  void malformedRequestsAreRefusedNotFatal_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("escape soup") << "/score/index.php" << QByteArray("%%%&&&===%G1%");
    QTest::newRow("no keys at all") << "/score/setclass.php" << QByteArray();
    QTest::newRow("binary") << "/score/checkpassword.php"
                            << QByteArray("\x00\xff\xfe\x81\x00=\x01", 7);
    QTest::newRow("broken GBK")
        << "/score/regteacher.php"
        << QByteArray("username=abcd\xff&teachername=\x81&password=a&superpassword=b&email=a@b.c");
    QTest::newRow("huge ID") << "/score/delscore.php"
                             << QByteArray("username=wire_teacher&delid=|99999999999999999999999");
    QTest::newRow("group out of range")
        << "/score/group.php" << QByteArray("class=a&group[99]=x&group[-1]=y");
  }
  void malformedRequestsAreRefusedNotFatal() {
    QFETCH(QString, path);
    QFETCH(QByteArray, body);
    const HttpResult reply = http_->PostBytes(path, body);
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.Text() != u"Success!");
    QVERIFY(!reply.Text().isEmpty());
    QCOMPARE(http_->Get(QStringLiteral("/score/servertime.php")).status, 200);
  }

  void brokenHttpLeavesTheServiceUp() {
    const HttpResult garbage = http_->Send("HELLO THERE\r\n\r\n");
    QVERIFY(garbage.status != 200);
    QCOMPARE(http_->Get(QStringLiteral("/score/servertime.php")).status, 200);
  }

  void unknownPathsAndWrongMethods_data() {
    QTest::addColumn<QByteArray>("request_line");
    QTest::addColumn<int>("status");
    QTest::newRow("unknown page") << QByteArray("GET /score/nothing.php") << 404;
    QTest::newRow("outside /score/") << QByteArray("GET /admin") << 404;
    QTest::newRow("form page read") << QByteArray("GET /score/setclass.php?class=a") << 405;
    QTest::newRow("read page posted") << QByteArray("POST /score/record.php") << 405;
    QTest::newRow("other method") << QByteArray("DELETE /score/record.php") << 405;
  }
  void unknownPathsAndWrongMethods() {
    QFETCH(QByteArray, request_line);
    QFETCH(int, status);
    const HttpResult reply = http_->Send(
        request_line + " HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    QCOMPARE(reply.status, status);
    QVERIFY(!reply.Text().isEmpty());
  }

  // On the school's clock (Asia/Shanghai unless chosen otherwise), whatever
  // the zone of the machine running the tests.
  void serverTimeIsTheLocalClockInServiceSeconds() {
    const QTimeZone shanghai(QByteArrayLiteral("Asia/Shanghai"));
    const QTimeZone school = shanghai.isValid() ? shanghai : QTimeZone(8 * 3600);
    const qint64 before = ServiceSeconds(QDateTime::currentDateTimeUtc().toTimeZone(school));
    const HttpResult reply = http_->Get(QStringLiteral("/score/servertime.php"), {{"t", "0.123"}});
    const qint64 after = ServiceSeconds(QDateTime::currentDateTimeUtc().toTimeZone(school));
    QCOMPARE(reply.status, 200);
    QVERIFY(!reply.body.isEmpty());
    for (const char c : reply.body) QVERIFY(c >= '0' && c <= '9');
    QVERIFY(reply.body.toLongLong() >= before && reply.body.toLongLong() <= after);
  }

  void makerPagesOnlyWithVendor() {
    QCOMPARE(http_->GetTarget("/version.php?s=Pellory&t=0.25").Text(),
             QStringLiteral("Pellory:2.5.1"));
    QCOMPARE(http_->GetTarget("/version.php?s=pellory&t=0.25").status, 404);
    QCOMPARE(http_->GetTarget("/update.php?sort=Pellory").status, 200);
    QCOMPARE(http_->GetTarget("/").content_type, QByteArray("text/html; charset=UTF-8"));

    ServerProcess::Options without_vendor;
    without_vendor.vendor = false;
    ServerProcess plain(without_vendor);
    QString error;
    QVERIFY2(plain.Start(&error), qPrintable(error));
    const ServiceHttp plain_http(plain.Root());
    QCOMPARE(plain_http.GetTarget("/version.php?s=Pellory&t=0.25").status, 404);
    QCOMPARE(plain_http.GetTarget("/update.php?sort=Pellory").status, 404);
    QCOMPARE(plain_http.GetTarget("/").status, 404);
    QCOMPARE(plain_http.GetTarget("/score/servertime.php").status, 200);
  }

  void accessLogNamesRequestsButNoPasswords() {
    QCOMPARE(Read(*http_, QStringLiteral("/score/getteacher.php"), teacher_).status, 200);
    SignIn(*http_, teacher_.user, u"secret-in-body");
    // The log is written in batches; a request after the others marks the end.
    http_->GetTarget("/score/servertime.php?t=end-of-log-check");
    QTRY_VERIFY_WITH_TIMEOUT(server_.Log().contains(u"t=end-of-log-check"), 5000);
    const QString log = server_.Log();
    QVERIFY(log.contains(QStringLiteral("GET /score/getteacher.php?t=wire_teacher&mp=*** 200")));
    QVERIFY(log.contains(QStringLiteral("POST /score/checkpassword.php 200")));
    QVERIFY(!log.contains(teacher_.Digest()));
    QVERIFY(!log.contains(u"secret-in-body"));
  }

  // The test talks to the service with blocking sockets and runs no event
  // loop meanwhile: far more than a pipe's worth of access log must still
  // leave the service answering, and all of it must reach Log().
  void aLongAccessLogNeverStallsTheService() {
    const QByteArray filler(400, 'x');
    int answered = 0;
    for (int i = 0; i < 400; ++i) {
      const QByteArray target = "/score/servertime.php?n=" + QByteArray::number(i) + "&f=" + filler;
      if (http_->GetTarget(target).status == 200) ++answered;
    }
    QCOMPARE(answered, 400);
    http_->GetTarget("/score/servertime.php?t=end-of-long-log");
    QTRY_VERIFY_WITH_TIMEOUT(server_.Log().contains(u"t=end-of-long-log"), 5000);
    const QString log = server_.Log();
    QVERIFY2(log.size() > 128 * 1024, qPrintable(QString::number(log.size())));
    QCOMPARE(log.count(QStringLiteral("servertime.php?n=")), 400);
  }

  // A secret under an odd spelling of its key is masked all the same.
  void accessLogMasksSecretsByTheirDecodedKey() {
    http_->GetTarget("/score/getteacher.php?t=wire_teacher&pass%77ord=odd-secret-1");
    http_->GetTarget("/score/getteacher.php?t=wire_teacher&password%81=odd-secret-2");
    http_->GetTarget("/score/getteacher.php?t=wire_teacher&%6Dp=odd-secret-3");
    http_->GetTarget("/score/servertime.php?t=end-of-odd-keys");
    QTRY_VERIFY_WITH_TIMEOUT(server_.Log().contains(u"t=end-of-odd-keys"), 5000);
    const QString log = server_.Log();
    QVERIFY(!log.contains(u"odd-secret"));
    QVERIFY(log.count(QStringLiteral("getteacher.php?t=wire_teacher&")) >= 3);
  }

  void slowPasswordCheckDoesNotHoldUpOthers() {
    // At the real Argon2id cost a check takes tens of milliseconds; it runs
    // beside the requests that need none.
    ServerProcess::Options options;
    options.password_cost = QStringLiteral("interactive");
    ServerProcess real_cost(options);
    QString error;
    QVERIFY2(real_cost.Start(&error), qPrintable(error));
    const ServiceHttp http(real_cost.Root());
    const Account teacher{QStringLiteral("patient"), QStringLiteral("right"), QStringLiteral("op")};
    QCOMPARE(Register(http, teacher), kOk);

    const QUrl root(real_cost.Root());
    QTcpSocket login, clock;
    for (QTcpSocket* socket : {&login, &clock}) {
      socket->connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(socket->waitForConnected(5000));
    }
    const QByteArray body = "username=patient&password=wrong";
    login.write("POST /score/checkpassword.php HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QVERIFY(login.waitForBytesWritten(5000));
    clock.write("GET /score/servertime.php HTTP/1.1\r\nHost: x\r\n\r\n");
    const QList<HttpResult> clock_reply = ReadReplies(clock, 1);
    QCOMPARE(clock_reply.value(0).status, 200);
    QVERIFY2(!login.waitForReadyRead(0), "the password check answered before the clock");
    QCOMPARE(ReadReplies(login, 1).value(0).Text(), QStringLiteral("用户名或密码错误"));
  }

  // Byte-a-second clients: each request must arrive whole within its
  // deadline, one address holds a bounded number of connections, and everyone
  // else is answered all the while.
  void slowClientsCannotHoldTheService() {
    const QUrl root(server_.Root());
    const auto port = static_cast<quint16>(root.port());
    std::vector<std::unique_ptr<QTcpSocket>> slow;
    auto open = [&](const QString& from, const QByteArray& first_bytes) {
      auto socket = std::make_unique<QTcpSocket>();
      socket->bind(QHostAddress(from));
      socket->connectToHost(QHostAddress::LocalHost, port);
      QVERIFY(socket->waitForConnected(5000));
      socket->write(first_bytes);
      slow.push_back(std::move(socket));
    };
    for (int i = 0; i < 100; ++i) open(QStringLiteral("127.0.0.2"), "GET /score/servertime.php");
    for (int i = 0; i < 20; ++i) {
      open(QStringLiteral("127.0.0.3"),
           "POST /score/index.php HTTP/1.1\r\nHost: x\r\nContent-Length: 2048\r\n\r\nu");
    }
    QElapsedTimer clock;
    clock.start();
    int answered = 0, asked = 0;
    while (clock.elapsed() < 13000) {
      for (auto& socket : slow) {
        if (socket->state() == QAbstractSocket::ConnectedState) socket->write("x");
      }
      ++asked;
      QElapsedTimer one;
      one.start();
      if (ServiceHttp(server_.Root()).Get(QStringLiteral("/score/servertime.php")).status == 200 &&
          one.elapsed() < 2000) {
        ++answered;
      }
      QTest::qWait(1000);
      if (clock.elapsed() < 2500) {
        // Past the cap of one address, connections are closed at once.
        const auto closed = std::count_if(slow.begin(), slow.begin() + 100, [](const auto& s) {
          return s->state() == QAbstractSocket::UnconnectedState;
        });
        QVERIFY2(closed >= 30, qPrintable(QString::number(closed)));
      }
    }
    QCOMPARE(answered, asked);
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(slow.begin(), slow.end(),
                                         [](const auto& s) {
                                           return s->state() ==
                                                  QAbstractSocket::UnconnectedState;
                                         }),
                             3000);
  }

  // A request line that is not HTTP is refused at once with 400, whole or
  // split over several writes, and the connection closes.
  void malformedRequestsAreRefusedAtOnce() {
    for (const QByteArray& line :
         {QByteArray("GARBAGE\r\n\r\n"), QByteArray("GET /score/servertime.php\r\n\r\n"),
          QByteArray("GET /score/servertime.php HTTP/9.9\r\nHost: x\r\n\r\n")}) {
      QTcpSocket socket;
      const QUrl root(server_.Root());
      socket.connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(socket.waitForConnected(5000));
      for (const char byte : line) {
        // The refusal may close the connection before the last bytes go out.
        if (socket.state() != QAbstractSocket::ConnectedState || socket.bytesAvailable() > 0) break;
        socket.write(&byte, 1);
        socket.waitForBytesWritten(1000);
      }
      QElapsedTimer clock;
      clock.start();
      const QList<HttpResult> replies = ReadReplies(socket, 1, 3000);
      QCOMPARE(replies.size(), 1);
      QCOMPARE(replies[0].status, 400);
      QCOMPARE(replies[0].Text(), QStringLiteral("请求格式错误"));
      QVERIFY(clock.elapsed() < 1000);
      QVERIFY(socket.state() == QAbstractSocket::UnconnectedState || socket.waitForDisconnected(1000));
    }
    QCOMPARE(ServiceHttp(server_.Root()).Get(QStringLiteral("/score/servertime.php")).status, 200);
  }

  void demoTeacherIsSeededOnce() {
    ServerProcess::Options seeded;
    seeded.seed_demo = true;
    ServerProcess demo(seeded);
    QString error;
    QVERIFY2(demo.Start(&error), qPrintable(error));
    const ServiceHttp demo_http(demo.Root());
    const Account account{QStringLiteral("demo"), QStringLiteral("demo123"),
                          QStringLiteral("op123")};
    QCOMPARE(SignIn(demo_http, account.user, account.login).Text(), kOk);
    const HttpResult record = Read(demo_http, QStringLiteral("/score/record.php"), account);
    const QString text = record.Text();
    QVERIFY(text.startsWith(QStringLiteral("Class_Is_Ready\t1\t10\t初二(3)班\t\r\n")));
    for (const char16_t* name : {u"\t张三\t", u"\t张山\t", u"\t张少华\t"})
      QVERIFY(text.contains(QStringView(name)));
    QVERIFY(text.contains(u"\t3.5\t"));
    QVERIFY(text.contains(QStringLiteral("[keti]\t随堂练习\t\r\n")));
    QCOMPARE(Read(demo_http, QStringLiteral("/score/getteacher.php"), account).Text(),
             QStringLiteral("演示老师\r\ndemo\r\ndemo@example.com"));

    demo.Stop();
    QVERIFY(demo.Log().contains(u"stopped"));  // SIGTERM ends it cleanly
    QVERIFY2(demo.Start(&error), qPrintable(error));
    QCOMPARE(Read(ServiceHttp(demo.Root()), QStringLiteral("/score/record.php"), account).body,
             record.body);
  }

 private:
  // A scores read with the class name as raw GBK (一班 is D2 BB B0 E0).
  QByteArray RawScoresLine() const {
    return "GET /score/getscore.php?class=" + EncodeGbk(u"一班") + "&t=" +
           teacher_.user.toLatin1() + "&mp=" + teacher_.Digest().toLatin1() + " HTTP/1.1";
  }

  const QString kOk = QStringLiteral("Success!");
  ServerProcess server_{
      WithArguments({QStringLiteral("--vendor-version"), QStringLiteral("2.5.1")})};
  std::unique_ptr<ServiceHttp> http_;
  Account teacher_;
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::ProtocolTest)
#include "protocol_test.moc"
