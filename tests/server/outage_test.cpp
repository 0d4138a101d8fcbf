// PostgreSQL going away under the service: a restart during an upload load,
// a dropped connection, a database that stays down for a while. The
// service heals by itself, refuses cleanly meanwhile, and nothing is stored
// twice or by halves.
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>

#include "tests/server/pg_cluster.h"
#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

constexpr int kStudents = 10;
constexpr int kLines = 20;
constexpr int kConnections = 4;
const QString kUnavailable = QStringLiteral("数据库暂时无法访问，请稍后再试");

QString Student(int i) { return QStringLiteral("学生%1").arg(i); }

}  // namespace

class OutageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (!ServerProcess::UsesPostgres()) QSKIP("database outages are a PostgreSQL matter");
    if (PgCluster::Programs().isEmpty()) QSKIP("PostgreSQL is not installed");
    QString error;
    QVERIFY2(cluster_.Create(&error), qPrintable(error));
    QVERIFY2(cluster_.Sql(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE zx_outage"),
                          &error),
             qPrintable(error));
    ServerProcess::Options options;
    options.database = cluster_.AdminUrl(QStringLiteral("zx_outage"));
    // The access log goes to a file: hundreds of uploads would fill the
    // pipe of standard error, which nobody reads during the load.
    options.extra_arguments = {QStringLiteral("--log-file"),
                               cluster_.WorkDir() + QStringLiteral("/service.log")};
    server_ = std::make_unique<ServerProcess>(options);
    ZV_START_SERVICE(*server_);
    const ServiceHttp http(server_->Root());
    QCOMPARE(Register(http, teacher_), QStringLiteral("Success!"));
    QStringList students;
    for (int i = 0; i < kStudents; ++i) students.append(Student(i));
    QCOMPARE(Change(http, QStringLiteral("/score/setclass.php"), teacher_, {{"class", "一班"}}),
             QStringLiteral("Success!"));
    QCOMPARE(Change(http, QStringLiteral("/score/student.php"), teacher_,
                    {{"class", "一班"}, {"student", students.join(u'|')}}),
             QStringLiteral("Success!"));
  }

  // The connection is cut under the service (as a database failover or an
  // idle-connection killer does): the next upload finds it gone before
  // anything is written, reconnects and succeeds.
  void aDroppedConnectionHealsOnTheNextRequest() {
    const ServiceHttp http(server_->Root());
    QCOMPARE(UploadTagged(http, QStringLiteral("before-drop")).body, QByteArray("Success!"));
    QVERIFY(DropServiceConnections() >= 1);
    const HttpResult after = UploadTagged(http, QStringLiteral("after-drop"));
    QCOMPARE(after.status, 200);
    QCOMPARE(after.body, QByteArray("Success!"));
    QCOMPARE(LinesPerTag().value(QStringLiteral("after-drop")), kLines);
  }

  // The readers' connections are cut too: each reader finds its own gone
  // at its next read, before reading anything, reconnects and answers.
  void readerConnectionsHealOnTheirNextRead() {
    const QByteArray read = "GET /score/getteacher.php?t=" + teacher_.user.toLatin1() +
                            "&mp=" + teacher_.Digest().toLatin1() + " HTTP/1.1\r\nHost: x\r\n\r\n";
    // Reads on several connections at once keep every reader busy.
    const auto read_everywhere = [&] {
      std::vector<std::unique_ptr<QTcpSocket>> sockets;
      const QUrl root(server_->Root());
      for (int i = 0; i < 6; ++i) {
        sockets.push_back(std::make_unique<QTcpSocket>());
        sockets.back()->connectToHost(root.host(), static_cast<quint16>(root.port()));
      }
      for (auto& socket : sockets) {
        if (socket->waitForConnected(5000)) socket->write(read + read);
      }
      QList<HttpResult> replies;
      for (auto& socket : sockets) replies += ReadReplies(*socket, 2);
      return replies;
    };
    for (int round = 0; round < 3; ++round) {
      for (const HttpResult& reply : read_everywhere()) QCOMPARE(reply.status, 200);
    }
    QVERIFY(DropServiceConnections() >= 2);
    for (int round = 0; round < 3; ++round) {
      const QList<HttpResult> replies = read_everywhere();
      QCOMPARE(replies.size(), 12);
      for (const HttpResult& reply : replies) {
        QCOMPARE(reply.status, 200);
        QVERIFY(reply.Text().contains(teacher_.user));
      }
    }
  }

  // The database stays down: every request that needs it gets a clean
  // refusal at once (no hang), the clock still answers, the health check
  // says so; once it is back, uploads work again within a few seconds.
  void aDatabaseThatStaysDownIsRefusedCleanlyUntilItIsBack() {
    const ServiceHttp http(server_->Root());
    // Signed in once: the service remembers the check.
    QCOMPARE(SignIn(http, teacher_.user, teacher_.login).body, QByteArray("Success!"));
    QString error;
    QVERIFY2(cluster_.Stop(&error), qPrintable(error));
    // A remembered password check does not greet a teacher whose data
    // cannot be reached.
    const HttpResult sign_in = SignIn(http, teacher_.user, teacher_.login);
    QCOMPARE(sign_in.status, 503);
    QCOMPARE(sign_in.Text(), kUnavailable);
    for (int i = 0; i < 3; ++i) {
      QElapsedTimer timer;
      timer.start();
      const HttpResult refused = UploadTagged(http, QStringLiteral("while-down-%1").arg(i));
      QCOMPARE(refused.status, 503);
      QCOMPARE(refused.Text(), kUnavailable);
      QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
    }
    QCOMPARE(http.Get(QStringLiteral("/healthz")).status, 503);
    QCOMPARE(http.Get(QStringLiteral("/score/servertime.php")).status, 200);
    QVERIFY2(cluster_.Start(&error), qPrintable(error));
    QElapsedTimer back;
    back.start();
    HttpResult result;
    while (back.elapsed() < 10000) {
      result = UploadTagged(http, QStringLiteral("back-up"));
      if (result.body == "Success!") break;
      QTest::qWait(100);
    }
    QCOMPARE(result.body, QByteArray("Success!"));
    QVERIFY2(back.elapsed() < 5000, qPrintable(QString::number(back.elapsed())));
    QCOMPARE(http.Get(QStringLiteral("/healthz")).status, 200);
    QCOMPARE(SignIn(http, teacher_.user, teacher_.login).body, QByteArray("Success!"));
    const QHash<QString, int> lines = LinesPerTag();
    for (int i = 0; i < 3; ++i) QVERIFY(!lines.contains(QStringLiteral("while-down-%1").arg(i)));
    QCOMPARE(lines.value(QStringLiteral("back-up")), kLines);
  }

  // An administrator restarts PostgreSQL in the middle of an upload load.
  // Every request is answered (success or a refusal), uploads succeed again
  // within a few seconds of the restart, no upload is stored by halves, and
  // resending every refused one stores each exactly once.
  void aRestartDuringUploadsHealsAndStoresNothingTwiceOrByHalves() {
    const auto show_log = qScopeGuard([this] {
      if (!QTest::currentTestFailed()) return;
      QStringList notable;
      QFile file(cluster_.WorkDir() + QStringLiteral("/service.log"));
      file.open(QIODevice::ReadOnly);
      for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n'))
        if (!line.contains(u" 200 ")) notable.append(line);
      qInfo("%s", qPrintable(notable.mid(std::max<qsizetype>(0, notable.size() - 40)).join(u'\n')));
    });
    const QUrl root(server_->Root());
    struct Slot {
      std::unique_ptr<QTcpSocket> socket;
      QString tag;
      QByteArray received;
      QElapsedTimer sent;
    };
    std::vector<Slot> lanes(kConnections);
    QHash<QString, HttpResult> answers;
    int next = 0;
    auto send = [&](Slot& slot) {
      slot.tag = QStringLiteral("load%1").arg(next++);
      slot.received.clear();
      slot.socket = std::make_unique<QTcpSocket>();
      slot.socket->connectToHost(root.host(), static_cast<quint16>(root.port()));
      slot.socket->write(UploadRequest(slot.tag));
      slot.sent.start();
    };
    for (Slot& slot : lanes) send(slot);
    std::unique_ptr<QProcess> restart;
    QElapsedTimer clock;
    clock.start();
    qint64 restarted_at = -1;      // when pg_ctl restart returned
    qint64 healed_at = -1;         // the first success after that
    qint64 longest_answer_ms = 0;  // no request hangs
    int refused = 0;
    int successes_after = 0;
    while (clock.elapsed() < 30000 && successes_after < 20) {
      if (!restart && clock.elapsed() > 500) restart = cluster_.StartRestart();
      // Without an event loop the end of pg_ctl is noticed by waiting for it.
      if (restart && restarted_at < 0 && restart->waitForFinished(1)) {
        QCOMPARE(restart->exitCode(), 0);
        restarted_at = clock.elapsed();
      }
      for (Slot& slot : lanes) {
        slot.socket->waitForReadyRead(5);
        slot.received += slot.socket->readAll();
        const QList<HttpResult> replies = TakeReplies(&slot.received);
        if (replies.isEmpty()) {
          QVERIFY2(slot.sent.elapsed() < 15000, qPrintable(slot.tag + QStringLiteral(" hangs")));
          continue;
        }
        longest_answer_ms = std::max(longest_answer_ms, slot.sent.elapsed());
        const HttpResult& reply = replies.first();
        answers.insert(slot.tag, reply);
        if (reply.body == "Success!") {
          if (restarted_at >= 0) {
            if (healed_at < 0) healed_at = clock.elapsed();
            ++successes_after;
          }
        } else {
          // A clean refusal the program shows, never a dropped connection.
          QVERIFY2(
              reply.status == 503 || reply.status == 500,
              qPrintable(
                  QStringLiteral("%1: %2 %3").arg(slot.tag).arg(reply.status).arg(reply.Text())));
          QVERIFY(!reply.Text().isEmpty());
          ++refused;
        }
        send(slot);
      }
    }
    QVERIFY2(restarted_at >= 0, "the cluster did not restart");
    QVERIFY2(healed_at >= 0, "no upload succeeded after the restart");
    qInfo(
        "%lld uploads answered, %d refused; healed %lld ms after the restart; longest answer %lld "
        "ms",
        static_cast<long long>(answers.size()), refused,
        static_cast<long long>(healed_at - restarted_at),
        static_cast<long long>(longest_answer_ms));
    QVERIFY2(healed_at - restarted_at < 5000,
             qPrintable(QString::number(healed_at - restarted_at)));
    // Let the uploads still in flight finish before looking.
    for (Slot& slot : lanes) {
      const QDeadlineTimer deadline(10000);
      while (TakeReplies(&slot.received).isEmpty() && !deadline.hasExpired()) {
        slot.socket->waitForReadyRead(100);
        slot.received += slot.socket->readAll();
      }
      answers.remove(slot.tag);  // answered or not, resent below
    }

    const ServiceHttp http(server_->Root());
    QHash<QString, int> lines = LinesPerTag();
    for (auto it = lines.constBegin(); it != lines.constEnd(); ++it) {
      QVERIFY2(it.value() == kLines,
               qPrintable(QStringLiteral("%1 has %2 lines").arg(it.key()).arg(it.value())));
    }
    for (auto it = answers.constBegin(); it != answers.constEnd(); ++it) {
      if (it->body == "Success!") {
        QVERIFY2(lines.contains(it.key()), qPrintable(it.key() + QStringLiteral(" lost")));
      }
    }
    // The program resends what was refused (and what it never heard of):
    // each upload ends up stored once, whether or not its refused try had
    // been kept after all.
    for (int i = 0; i < next; ++i) {
      const QString tag = QStringLiteral("load%1").arg(i);
      if (answers.value(tag).body == "Success!") continue;
      const HttpResult reply = UploadTagged(http, tag);
      QVERIFY2(
          reply.body == "Success!",
          qPrintable(QStringLiteral("%1: %2 %3").arg(tag).arg(reply.status).arg(reply.Text())));
    }
    lines = LinesPerTag();
    for (int i = 0; i < next; ++i) {
      const QString tag = QStringLiteral("load%1").arg(i);
      QVERIFY2(lines.value(tag) == kLines,
               qPrintable(QStringLiteral("%1 has %2 lines").arg(tag).arg(lines.value(tag))));
    }
  }

 private:
  // Cuts every connection of the service under it, as a database failover or
  // an idle-connection killer does; the number cut, -1 when that failed.
  int DropServiceConnections() {
    QString error;
    QVariant dropped;
    if (!cluster_.Sql(QStringLiteral("postgres"),
                      QStringLiteral("SELECT COUNT(pg_terminate_backend(pid)) FROM "
                                     "pg_stat_activity WHERE datname = 'zx_outage'"),
                      &error, &dropped)) {
      qWarning("cannot cut the connections: %s", qPrintable(error));
      return -1;
    }
    return dropped.toInt();
  }

  QByteArray UploadBody(const QString& tag) const {
    // Each upload's lines fall on seconds of their own, so a resent upload
    // is recognised by its lines and no other upload's.
    const int base = static_cast<int>(qHash(tag) % 100000) * kLines;
    QStringList lines;
    for (int i = 0; i < kLines; ++i) {
      const QDateTime at = QDateTime(QDate(2024, 5, 1), QTime(8, 0)).addSecs(base + i);
      lines.append(ScoreLineText(QStringLiteral("一班"), Student(i % kStudents),
                                 QStringLiteral("3分"),
                                 at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), tag));
    }
    FormBody body;
    body.Add(u"username", teacher_.user)
        .Add(u"password", teacher_.operation)
        .Add(u"keti", u"课堂")
        .Add(u"score", lines.join(u'|'));
    return body.Bytes();
  }

  QByteArray UploadRequest(const QString& tag) const {
    const QByteArray bytes = UploadBody(tag);
    return "POST /score/index.php HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: "
           "application/x-www-form-urlencoded\r\nContent-Length: " +
           QByteArray::number(bytes.size()) + "\r\n\r\n" + bytes;
  }

  HttpResult UploadTagged(const ServiceHttp& http, const QString& tag) const {
    return http.Send(UploadRequest(tag));
  }

  // Lines stored per upload tag, read through the service.
  QHash<QString, int> LinesPerTag() const {
    const ServiceHttp http(server_->Root());
    const HttpResult list =
        Read(http, QStringLiteral("/score/getscore.php"), teacher_, {{"class", "一班"}});
    [&] { QCOMPARE(list.status, 200); }();
    QHash<QString, int> lines;
    for (const QString& row : Rows(list.Text())) ++lines[row.section(u'\t', 5)];
    return lines;
  }

  PgCluster cluster_;
  std::unique_ptr<ServerProcess> server_;
  const Account teacher_{QStringLiteral("outage"), QStringLiteral("login"),
                         QStringLiteral("operate")};
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::OutageTest)
#include "outage_test.moc"
