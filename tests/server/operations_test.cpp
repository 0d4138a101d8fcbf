// What the school's admin runs the service with: the health check and the
// counters for load balancers and monitoring, the service's time zone,
// signals, limits applied before the work, and closing sign-up.
#include <signal.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

// The value of one sample line of a Prometheus text ("" when absent).
QString Sample(const QString& metrics, const QString& name_and_labels) {
  for (const QString& line : metrics.split(u'\n')) {
    if (line.startsWith(name_and_labels + u' ')) return line.sliced(name_and_labels.size() + 1);
  }
  return QString();
}

// The peak resident memory of a process (VmHWM), in kB; 0 when unknown.
qint64 PeakKilobytes(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmHWM:")) return line.sliced(6).trimmed().split(' ').first().toLongLong();
  }
  return 0;
}

}  // namespace

class OperationsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ZV_START_SERVICE(server_);
    http_ = std::make_unique<ServiceHttp>(server_.Root());
    teacher_ = {QStringLiteral("ops_teacher"), QStringLiteral("login-1"), QStringLiteral("op-1"),
                QStringLiteral("郑老师"), QStringLiteral("zheng@example.com")};
    QCOMPARE(Register(*http_, teacher_), kOk);
  }

  // Counts by endpoint and status, the latency histogram, mails and the
  // refusals of the limits; nothing that names a teacher or a secret.
  void metricsCountWithoutPersonalData() {
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(http_->Get(QStringLiteral("/score/servertime.php")).status, 200);
    }
    QCOMPARE(http_->GetTarget("/score/zheng_private_page.php").status, 404);
    QCOMPARE(http_->Get(QStringLiteral("/score/getpswdcode.php"),
                        {{"username", teacher_.user}, {"email", teacher_.email}})
                 .Text(),
             QStringLiteral("success"));
    ServiceHttp stranger(server_.Root());
    stranger.SetSourceAddress(QStringLiteral("127.0.0.7"));
    QString slowed;
    for (int i = 0; i < 12 && !slowed.startsWith(u"密码错误次数过多"); ++i) {
      slowed = SignIn(stranger, teacher_.user, u"guess-secret").Text();
    }
    QVERIFY(slowed.startsWith(u"密码错误次数过多"));

    const HttpResult reply = http_->GetTarget("/metrics");
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.content_type.startsWith("text/plain; version=0.0.4"));
    const QString metrics = QString::fromUtf8(reply.body);
    QVERIFY2(Sample(metrics, QStringLiteral("zorvanix_requests_total{endpoint=\"/score/"
                                            "servertime.php\",status=\"200\"}"))
                     .toInt() >= 3,
             qPrintable(metrics));
    QCOMPARE(Sample(metrics, QStringLiteral("zorvanix_requests_total{endpoint=\"other\",status="
                                            "\"404\"}")),
             QStringLiteral("1"));
    QVERIFY(Sample(metrics, QStringLiteral(
                                "zorvanix_requests_total{endpoint=\"/score/checkpassword.php\","
                                "status=\"200\"}"))
                .toInt() >= 10);
    QCOMPARE(Sample(metrics, QStringLiteral("zorvanix_mails_sent_total")), QStringLiteral("1"));
    QCOMPARE(Sample(metrics, QStringLiteral("zorvanix_mails_failed_total")), QStringLiteral("0"));
    QVERIFY(Sample(metrics, QStringLiteral("zorvanix_rate_limit_refusals_total{limit=\"password\"}"))
                .toInt() >= 1);
    QCOMPARE(Sample(metrics, QStringLiteral("zorvanix_database_errors_total")), QStringLiteral("0"));
    // The histogram holds every counted request, its buckets never shrink.
    const qint64 count =
        Sample(metrics, QStringLiteral("zorvanix_request_duration_seconds_count")).toLongLong();
    QVERIFY(count >= 16);
    QCOMPARE(Sample(metrics, QStringLiteral("zorvanix_request_duration_seconds_bucket{le=\"+Inf\"}"))
                 .toLongLong(),
             count);
    qint64 previous = 0;
    static const QRegularExpression bucket(
        QStringLiteral("^zorvanix_request_duration_seconds_bucket\\{le=\"[^\"]+\"\\} (\\d+)$"),
        QRegularExpression::MultilineOption);
    for (auto it = bucket.globalMatch(metrics); it.hasNext();) {
      const qint64 value = it.next().captured(1).toLongLong();
      QVERIFY(value >= previous);
      previous = value;
    }
    for (const QString& personal :
         {teacher_.user, teacher_.email, QStringLiteral("zheng_private"),
          QStringLiteral("guess-secret"), QStringLiteral("127.0.0")}) {
      QVERIFY2(!metrics.contains(personal), qPrintable(personal));
    }
  }

  // 200 "ok" while a database query succeeds; 503 once the database is gone
  // (the file overwritten, or the PostgreSQL database dropped), and the
  // failure is counted.
  void healthFollowsTheDatabase() {
    ServerProcess own;
    QString error;
    QVERIFY2(own.Start(&error), qPrintable(error));
    const ServiceHttp http(own.Root());
    const HttpResult healthy = http.GetTarget("/healthz");
    QCOMPARE(healthy.status, 200);
    QCOMPARE(healthy.body, QByteArray("ok"));
    if (ServerProcess::UsesPostgres()) {
      QVERIFY2(RunOnPostgresCluster(QStringLiteral("DROP DATABASE %1 WITH (FORCE)")
                                        .arg(own.PostgresDatabaseName()),
                                    &error),
               qPrintable(error));
    } else {
      const QString path = own.Database().sliced(QStringLiteral("sqlite:").size());
      for (const QString& file :
           {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        QFile broken(file);
        QVERIFY(broken.open(QIODevice::ReadWrite));
        QVERIFY(broken.write(QByteArray(4096, 'x')) == 4096);
      }
    }
    QTRY_COMPARE_WITH_TIMEOUT(http.GetTarget("/healthz").status, 503, 10000);
    const QString metrics = QString::fromUtf8(http.GetTarget("/metrics").body);
    QVERIFY(Sample(metrics, QStringLiteral("zorvanix_database_errors_total")).toInt() >= 1);
    QVERIFY(Sample(metrics, QStringLiteral(
                                "zorvanix_requests_total{endpoint=\"/healthz\",status=\"503\"}"))
                .toInt() >= 1);
  }

  // Service time counts on the school's clock, not the host's: on a UTC host
  // the default zone (Asia/Shanghai) gives seconds since 1970-1-1 08:00:00
  // Shanghai time, which is Unix time; another zone is chosen by name, and an
  // unknown one is refused at start.
  void serviceTimeIsOnTheSchoolsClock_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("host_zone");
    QTest::addColumn<int>("offset");  // of the school's zone from UTC+8, in seconds
    QTest::newRow("UTC host, default zone") << QStringList() << "UTC" << 0;
    QTest::newRow("Tokyo host, default zone") << QStringList() << "Asia/Tokyo" << 0;
    QTest::newRow("UTC zone chosen")
        << QStringList{QStringLiteral("--time-zone"), QStringLiteral("UTC")} << "Asia/Shanghai"
        << -8 * 3600;
    QTest::newRow("fixed offset chosen")
        << QStringList{QStringLiteral("--time-zone"), QStringLiteral("UTC+09:00")} << "UTC"
        << 3600;
  }
  void serviceTimeIsOnTheSchoolsClock() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, host_zone);
    QFETCH(int, offset);
    ServerProcess::Options options = WithArguments(arguments);
    options.environment = {QStringLiteral("TZ=") + host_zone};
    ServerProcess zoned(options);
    QString error;
    QVERIFY2(zoned.Start(&error), qPrintable(error));
    const qint64 before = QDateTime::currentSecsSinceEpoch() + offset;
    const HttpResult reply = ServiceHttp(zoned.Root()).Get(QStringLiteral("/score/servertime.php"));
    const qint64 after = QDateTime::currentSecsSinceEpoch() + offset;
    QCOMPARE(reply.status, 200);
    QVERIFY2(reply.body.toLongLong() >= before && reply.body.toLongLong() <= after,
             reply.body.constData());
  }
  void unknownTimeZoneIsRefusedAtStart() {
    ServerProcess wrong(WithArguments({QStringLiteral("--time-zone"), QStringLiteral("Mars/Olympus")}));
    QString error;
    QVERIFY(!wrong.Start(&error));
    QVERIFY2(error.contains(u"Mars/Olympus"), qPrintable(error));
  }

  // SIGHUP reopens the log file (rotation renamed the old one) and the
  // service goes on; log lines carry their zone offset; e-mail addresses and
  // read digests are not written.
  void sighupReopensTheLogFile() {
    const QString path = QDir(server_.WorkDir()).filePath(QStringLiteral("rotated.log"));
    ServerProcess::Options options =
        WithArguments({QStringLiteral("--log-file"), path});
    options.environment = {QStringLiteral("TZ=Asia/Shanghai")};
    ServerProcess logged(options);
    QString error;
    QVERIFY2(logged.Start(&error), qPrintable(error));
    const ServiceHttp http(logged.Root());
    QCOMPARE(Register(http, teacher_), kOk);
    http.Get(QStringLiteral("/score/getpswdcode.php"),
             {{"username", teacher_.user}, {"email", teacher_.email}});
    QCOMPARE(Read(http, QStringLiteral("/score/getteacher.php"), teacher_).status, 200);
    http.GetTarget("/score/servertime.php?t=before-rotation");
    auto contents = [](const QString& file) {
      QFile f(file);
      return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    };
    QTRY_VERIFY_WITH_TIMEOUT(contents(path).contains(u"t=before-rotation"), 5000);
    const QString before = contents(path);
    static const QRegularExpression stamped(QStringLiteral(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\+08:00 127\.0\.0\.1 GET /score/servertime\.php\?t=before-rotation 200 )"),
        QRegularExpression::MultilineOption);
    QVERIFY2(stamped.match(before).hasMatch(), qPrintable(before));
    QVERIFY(before.contains(u"email=***"));
    QVERIFY2(!before.contains(teacher_.email), qPrintable(before));
    QVERIFY(!before.contains(teacher_.Digest()));

    QVERIFY(QFile::rename(path, path + QStringLiteral(".1")));
    QCOMPARE(::kill(static_cast<pid_t>(logged.Pid()), SIGHUP), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(path), 5000);
    QCOMPARE(http.GetTarget("/score/servertime.php?t=after-rotation").status, 200);
    QTRY_VERIFY_WITH_TIMEOUT(contents(path).contains(u"t=after-rotation"), 5000);
    QVERIFY(logged.IsRunning());
    QVERIFY(!contents(path + QStringLiteral(".1")).contains(u"after-rotation"));
  }

  // SIGTERM: the requests in flight (slow password checks here) are
  // answered before the service ends, and it ends cleanly.
  void sigtermFinishesTheRequestsInFlight() {
    ServerProcess::Options options;
    options.password_cost = QStringLiteral("interactive");
    ServerProcess slow(options);
    QString error;
    QVERIFY2(slow.Start(&error), qPrintable(error));
    const Account teacher{QStringLiteral("in_flight"), QStringLiteral("right"),
                          QStringLiteral("op")};
    QCOMPARE(Register(ServiceHttp(slow.Root()), teacher), kOk);
    const QUrl root(slow.Root());
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 4; ++i) {
      auto socket = std::make_unique<QTcpSocket>();
      socket->connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(socket->waitForConnected(5000));
      const QByteArray body = "username=in_flight&password=" + QByteArray(i % 2 ? "right" : "wrong");
      socket->write("POST /score/checkpassword.php HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                    QByteArray::number(body.size()) + "\r\n\r\n" + body);
      QVERIFY(socket->waitForBytesWritten(1000));
      sockets.push_back(std::move(socket));
    }
    QTest::qWait(30);
    QCOMPARE(::kill(static_cast<pid_t>(slow.Pid()), SIGTERM), 0);
    for (int i = 0; i < 4; ++i) {
      const QList<HttpResult> reply = ReadReplies(*sockets[i], 1, 10000);
      QCOMPARE(reply.size(), 1);
      QCOMPARE(reply[0].Text(), i % 2 ? kOk : QStringLiteral("用户名或密码错误"));
    }
    QTRY_VERIFY_WITH_TIMEOUT(!slow.IsRunning(), 10000);
    QVERIFY(slow.Log().contains(u"stopped"));
  }

  // A body over --max-body is refused from its Content-Length before any of
  // it is kept, and a chunked one as soon as its chunks pass the limit: the
  // 413 comes at once and the service's peak memory stays flat.
  void oversizedBodiesAreRefusedBeforeTheyAreBuffered_data() {
    QTest::addColumn<bool>("chunked");
    QTest::newRow("Content-Length 200 MB") << false;
    QTest::newRow("chunked past the limit") << true;
  }
  void oversizedBodiesAreRefusedBeforeTheyAreBuffered() {
    QFETCH(bool, chunked);
    const qint64 peak_before = PeakKilobytes(server_.Pid());
    QVERIFY(peak_before > 0);
    QTcpSocket socket;
    const QUrl root(server_.Root());
    socket.connectToHost(root.host(), static_cast<quint16>(root.port()));
    QVERIFY(socket.waitForConnected(5000));
    QElapsedTimer clock;
    clock.start();
    const QByteArray megabyte(1024 * 1024, 'a');
    if (chunked) {
      socket.write("POST /score/index.php HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n");
      // Each chunk under the limit, together past it; then one claiming 1 GB.
      for (int i = 0; i < 3; ++i) socket.write("80000\r\n" + megabyte.first(0x80000) + "\r\n");
      socket.write("40000000\r\n" + megabyte);
    } else {
      socket.write("POST /score/index.php HTTP/1.1\r\nHost: x\r\nContent-Length: " +
                   QByteArray::number(200LL * 1024 * 1024) + "\r\n\r\n");
      for (int i = 0; i < 4 && socket.state() == QAbstractSocket::ConnectedState; ++i) {
        socket.write(megabyte);
      }
    }
    socket.waitForBytesWritten(2000);
    const QList<HttpResult> replies = ReadReplies(socket, 1, 5000);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].status, 413);
    QCOMPARE(replies[0].Text(), QStringLiteral("请求内容过大"));
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    const qint64 peak_after = PeakKilobytes(server_.Pid());
    qInfo("peak resident memory of the service: %lld kB before, %lld kB after; 413 after %lld ms",
          peak_before, peak_after, static_cast<long long>(clock.elapsed()));
    QVERIFY2(peak_after < 100 * 1024 && peak_after - peak_before < 8 * 1024,
             qPrintable(QStringLiteral("%1 kB -> %2 kB").arg(peak_before).arg(peak_after)));
    QCOMPARE(http_->Get(QStringLiteral("/score/servertime.php")).status, 200);
    const QString metrics = QString::fromUtf8(http_->GetTarget("/metrics").body);
    QVERIFY(Sample(metrics, QStringLiteral("zorvanix_requests_total{endpoint=\"refused\",status=\"413\"}"))
                .toInt() >= 1);
  }

  // The request line and the headers are capped too, refused with their
  // own status as soon as they pass the cap.
  void requestLineAndHeadersAreCapped_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("20 KB request line")
        << "GET /score/servertime.php?t=" + QByteArray(20 * 1024, '1') + " HTTP/1.1\r\n\r\n" << 414;
    QByteArray many = "GET /score/servertime.php HTTP/1.1\r\n";
    for (int i = 0; i < 150; ++i) many += "X-Filler-" + QByteArray::number(i) + ": 1\r\n";
    QTest::newRow("150 headers") << many + "\r\n" << 431;
    QTest::newRow("70 KB header")
        << "GET /score/servertime.php HTTP/1.1\r\nX-Big: " + QByteArray(70 * 1024, 'b') +
               "\r\n\r\n"
        << 431;
    QTest::newRow("bad Content-Length")
        << QByteArray("POST /score/index.php HTTP/1.1\r\nContent-Length: -5\r\n\r\n") << 400;
  }
  void requestLineAndHeadersAreCapped() {
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    const HttpResult reply = http_->Send(request);
    QCOMPARE(reply.status, status);
    QVERIFY(!reply.Text().isEmpty());
    QCOMPARE(http_->Get(QStringLiteral("/score/servertime.php")).status, 200);
  }

  // Sign-up can be closed by the admin, and one address makes a bounded
  // number of accounts an hour (refusals do not count); others may go on.
  void signUpCanBeClosedAndIsCappedPerAddress() {
    ServerProcess closed(WithArguments({QStringLiteral("--no-sign-up")}));
    QString error;
    QVERIFY2(closed.Start(&error), qPrintable(error));
    const Account refused{QStringLiteral("closed_door"), QStringLiteral("pw-1"),
                          QStringLiteral("op")};
    QCOMPARE(Register(ServiceHttp(closed.Root()), refused),
             QStringLiteral("本服务器已关闭注册，请联系管理员开通帐号"));
    QCOMPARE(SignIn(ServiceHttp(closed.Root()), refused.user, refused.login).Text(),
             QStringLiteral("用户名或密码错误"));

    ServerProcess capped(WithArguments({QStringLiteral("--max-sign-ups-address"),
                                        QStringLiteral("3")}));
    QVERIFY2(capped.Start(&error), qPrintable(error));
    ServiceHttp desk(capped.Root());
    desk.SetSourceAddress(QStringLiteral("127.0.0.5"));
    Account bad{QStringLiteral("x"), QStringLiteral("pw-1"), QStringLiteral("op")};
    QVERIFY(Register(desk, bad) != kOk);  // a refused sign-up is not counted
    for (int i = 0; i < 3; ++i) {
      const Account a{QStringLiteral("flood_%1").arg(i), QStringLiteral("pw-1"),
                      QStringLiteral("op")};
      QCOMPARE(Register(desk, a), kOk);
    }
    const Account fourth{QStringLiteral("flood_3"), QStringLiteral("pw-1"), QStringLiteral("op")};
    QCOMPARE(Register(desk, fourth), QStringLiteral("注册过于频繁，请稍后再试"));
    QCOMPARE(SignIn(desk, fourth.user, fourth.login).Text(), QStringLiteral("用户名或密码错误"));
    ServiceHttp other(capped.Root());
    other.SetSourceAddress(QStringLiteral("127.0.0.6"));
    QCOMPARE(Register(other, fourth), kOk);
    const QString metrics = QString::fromUtf8(other.GetTarget("/metrics").body);
    QCOMPARE(Sample(metrics, QStringLiteral("zorvanix_rate_limit_refusals_total{limit=\"sign_up\"}")),
             QStringLiteral("1"));
  }

 private:
  const QString kOk = QStringLiteral("Success!");
  ServerProcess server_;
  std::unique_ptr<ServiceHttp> http_;
  Account teacher_;
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::OperationsTest)
#include "operations_test.moc"
