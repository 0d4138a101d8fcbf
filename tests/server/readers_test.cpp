// Reads answered on the reader threads: a long read holds up nobody else, a
// read sent after a "Success!" shows the change, answers keep the order of
// one connection's requests with reads and writes mixed, and (SQLite) the
// write-ahead log stays short under a steady stream of uploads.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>
#include <memory>

#include "core/form_encoding.h"
#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

const QString kOk = QStringLiteral("Success!");
// Scores in the large class: its list takes a reader far longer to read and
// render than any other request of these tests takes to answer.
constexpr int kBigScores = 20000;
constexpr int kStudents = 10;

QString Student(int i) { return QStringLiteral("s%1").arg(i); }

// A score line with a second of its own (n counts seconds from 2024-03-01).
QString LineAt(const QString& class_name, int student, int n) {
  const QDateTime at = QDateTime(QDate(2024, 3, 1), QTime(8, 0)).addSecs(n);
  return ScoreLineText(class_name, Student(student), QStringLiteral("3分"),
                       at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

QByteArray KeptUpload(const Account& account, const QStringList& lines) {
  return FormPostRequest(QStringLiteral("/score/index.php"),
                         FormBody()
                             .Add(u"username", account.user)
                             .Add(u"password", account.operation)
                             .Add(u"keti", u"朗读")
                             .Add(u"score", lines.join(u'|')));
}

// The score count of a student in a record download ("" when not there).
QString CountInRecord(const QString& record, const QString& class_name, const QString& student) {
  for (const QString& row : Rows(record)) {
    const QStringList fields = row.split(u'\t');
    if (fields.size() == 6 && fields[0] == class_name && fields[1] == student) return fields[5];
  }
  return QString();
}

// The replies of one kept-open connection, one at a time.
struct Replies {
  QTcpSocket* socket;
  QByteArray data;
  QList<HttpResult> ready;
  std::optional<HttpResult> Next() {
    while (ready.isEmpty()) {
      data += socket->readAll();
      ready += TakeReplies(&data);
      if (ready.isEmpty() && !socket->waitForReadyRead(10000)) return std::nullopt;
    }
    return ready.takeFirst();
  }
};

std::unique_ptr<QTcpSocket> Connect(const QString& root) {
  const QUrl url(root);
  auto socket = std::make_unique<QTcpSocket>();
  socket->connectToHost(url.host(), static_cast<quint16>(url.port()));
  if (!socket->waitForConnected(5000)) return nullptr;
  return socket;
}

// A teacher with the classes "big" (kBigScores scores) and "small".
void SetUpTeacher(const ServiceHttp& http, const Account& teacher, int big_scores) {
  QCOMPARE(Register(http, teacher), kOk);
  QCOMPARE(Change(http, QStringLiteral("/score/setclass.php"), teacher, {{"class", "big|small"}}),
           kOk);
  QStringList students;
  for (int i = 0; i < kStudents; ++i) students.append(Student(i));
  for (const char* class_name : {"big", "small"}) {
    QCOMPARE(Change(http, QStringLiteral("/score/student.php"), teacher,
                    {{"class", class_name}, {"student", students.join(u'|')}}),
             kOk);
  }
  constexpr int kPerUpload = 5000;
  for (int first = 0; first < big_scores; first += kPerUpload) {
    QStringList lines;
    for (int n = first; n < std::min(big_scores, first + kPerUpload); ++n) {
      lines.append(LineAt(QStringLiteral("big"), n % kStudents, n));
    }
    QCOMPARE(Upload(http, teacher, QStringLiteral("朗读"), lines), kOk);
  }
}

ServerProcess::Options Options(QStringList more = {}) {
  // Room for the uploads that fill the large class.
  more << QStringLiteral("--max-body") << QStringLiteral("4000000");
  return WithArguments(more);
}

}  // namespace

class ReadersTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    server_ = std::make_unique<ServerProcess>(Options());
    ZV_START_SERVICE(*server_);
    const ServiceHttp http(server_->Root());
    SetUpTeacher(http, big_, kBigScores);
    QCOMPARE(Register(http, other_), kOk);
  }

  // One teacher's long score list is read and rendered on a reader thread;
  // another teacher's requests sent after it are answered before it.
  void aLongReadDoesNotHoldUpAnotherTeacher() {
    // A new score: the large list is read and rendered again.
    const ServiceHttp http(server_->Root());
    QCOMPARE(Upload(http, big_, QStringLiteral("朗读"), {LineAt("big", 0, kBigScores + 1)}), kOk);
    auto slow = Connect(server_->Root());
    auto quick = Connect(server_->Root());
    QVERIFY(slow && quick);
    slow->write(
        KeptReadRequest(QStringLiteral("/score/getscore.php"), big_, QStringLiteral("big")));
    QVERIFY(slow->waitForBytesWritten(5000));
    // Once a clock request sent after it is answered, the service has taken
    // the long read in (on one thread it would be rendering it now, and
    // everything after it would wait).
    auto fence = Connect(server_->Root());
    QVERIFY(fence);
    fence->write("GET /score/servertime.php HTTP/1.1\r\nHost: x\r\n\r\n");
    QCOMPARE(ReadReplies(*fence, 1).size(), 1);
    quick->write(KeptReadRequest(QStringLiteral("/score/getteacher.php"), other_) +
                 "GET /score/servertime.php HTTP/1.1\r\nHost: x\r\n\r\n");
    const QList<HttpResult> quick_replies = ReadReplies(*quick, 2);
    QCOMPARE(quick_replies.size(), 2);
    QVERIFY(quick_replies[0].Text().contains(other_.user));
    // Not a byte of the long list has come yet; it comes whole afterwards.
    slow->waitForReadyRead(0);
    QCOMPARE(slow->bytesAvailable(), 0);
    QByteArray slow_data;
    QList<HttpResult> slow_replies;
    while (slow_replies.isEmpty() && slow->waitForReadyRead(20000)) {
      slow_data += slow->readAll();
      slow_replies = TakeReplies(&slow_data);
    }
    QCOMPARE(slow_replies.size(), 1);
    QCOMPARE(Rows(slow_replies[0].Text()).size(), kBigScores + 1);
  }

  // A change answered "Success!" is in every read sent after it, on any
  // connection, while other reads of the same teacher keep the readers busy
  // and their replies are being kept.
  void aReadAfterSuccessShowsTheChange() {
    const ServiceHttp http(server_->Root());
    auto noise = Connect(server_->Root());
    QVERIFY(noise);
    for (int round = 1; round <= 30; ++round) {
      noise->write(
          KeptReadRequest(QStringLiteral("/score/getscore.php"), big_, QStringLiteral("small")) +
          KeptReadRequest(QStringLiteral("/score/record.php"), big_));
      noise->flush();
      const QString line = LineAt(QStringLiteral("small"), 1, 100000 + round);
      QCOMPARE(Upload(http, big_, QStringLiteral("朗读"), {line}), kOk);
      const QString list =
          Read(http, QStringLiteral("/score/getscore.php"), big_, {{"class", "small"}}).Text();
      QVERIFY2(list.contains(line.section(u'\t', 3, 3)), qPrintable(QString::number(round)));
      // The record's counters of student s1 of "small": the scores so far.
      const QString record = Read(http, QStringLiteral("/score/record.php"), big_).Text();
      QCOMPARE(CountInRecord(record, QStringLiteral("small"), Student(1)), QString::number(round));
      QCOMPARE(ReadReplies(*noise, 2).size(), 2);
    }
  }

  // Reads and writes sent one after the other on one connection are
  // answered in that order, each read showing the writes before it.
  void answersKeepTheOrderOfReadsAndWritesOnOneConnection() {
    const ServiceHttp http(server_->Root());
    QCOMPARE(Upload(http, big_, QStringLiteral("朗读"), {LineAt("big", 0, kBigScores + 2)}), kOk);
    const QString line = LineAt(QStringLiteral("small"), 2, 200000);
    auto socket = Connect(server_->Root());
    QVERIFY(socket);
    socket->write(
        KeptReadRequest(QStringLiteral("/score/getscore.php"), big_, QStringLiteral("big")) +
        KeptUpload(big_, {line}) +
        KeptReadRequest(QStringLiteral("/score/getscore.php"), big_, QStringLiteral("small")) +
        "GET /score/servertime.php HTTP/1.1\r\nHost: x\r\n\r\n" +
        KeptReadRequest(QStringLiteral("/score/record.php"), big_));
    const QList<HttpResult> replies = ReadReplies(*socket, 5, 20000);
    QCOMPARE(replies.size(), 5);
    QCOMPARE(Rows(replies[0].Text()).size(), kBigScores + 2);
    QCOMPARE(replies[1].Text(), kOk);
    QVERIFY(replies[2].Text().contains(line.section(u'\t', 3, 3)));
    bool is_number = false;
    replies[3].Text().toLongLong(&is_number);
    QVERIFY2(is_number, qPrintable(replies[3].Text()));
    QCOMPARE(CountInRecord(replies[4].Text(), QStringLiteral("small"), Student(2)),
             QStringLiteral("1"));
  }

  // A client that does not read while long kept lists pile up: the first
  // answers fill the system's buffers and the rest wait in the service's
  // own, yet every answer arrives whole and in order, and the list asked
  // for after a change of its class shows the change, not a kept copy.
  void longKeptListsToAClientThatDoesNotReadArriveWholeAndInOrder() {
    const ServiceHttp http(server_->Root());
    const QString before =
        Read(http, QStringLiteral("/score/getscore.php"), big_, {{"class", "big"}}).Text();
    const int rows = Rows(before).size();
    QVERIFY(rows >= kBigScores);
    const QString line = LineAt(QStringLiteral("big"), 3, 300000);
    auto socket = Connect(server_->Root());
    QVERIFY(socket);
    const QByteArray list =
        KeptReadRequest(QStringLiteral("/score/getscore.php"), big_, QStringLiteral("big"));
    constexpr int kKept = 10;
    QByteArray requests;
    for (int i = 0; i < kKept; ++i) requests += list;
    requests += KeptUpload(big_, {line}) + list +
                "GET /score/servertime.php HTTP/1.1\r\nHost: x\r\n\r\n" + list;
    socket->write(requests);
    QVERIFY(socket->waitForBytesWritten(5000));
    // Nothing is read while the service answers: several megabytes wait.
    QTest::qWait(1000);
    const QList<HttpResult> replies = ReadReplies(*socket, kKept + 4, 30000);
    QCOMPARE(replies.size(), kKept + 4);
    for (int i = 0; i < kKept; ++i) {
      QCOMPARE(replies[i].status, 200);
      QVERIFY2(replies[i].Text() == before, qPrintable(QStringLiteral("answer %1").arg(i)));
    }
    QCOMPARE(replies[kKept].Text(), kOk);
    const QString after = replies[kKept + 1].Text();
    QCOMPARE(Rows(after).size(), rows + 1);
    QVERIFY(after.contains(line.section(u'\t', 3, 3)));
    bool is_number = false;
    replies[kKept + 2].Text().toLongLong(&is_number);
    QVERIFY2(is_number, qPrintable(replies[kKept + 2].Text()));
    QCOMPARE(replies[kKept + 3].body, replies[kKept + 1].body);
  }

  // Uploads in a steady stream from several connections: the log is copied
  // and started over again and again, so its file stays a small multiple
  // of the limit however much is written.
  void theLogStaysShortUnderSteadyUploads() {
    if (ServerProcess::UsesPostgres()) QSKIP("the write-ahead log is SQLite's");
    constexpr qint64 kLimit = 256 * 1024;
    ServerProcess server(Options({QStringLiteral("--sqlite-log-limit"), QString::number(kLimit),
                                  QStringLiteral("--log-file"),
                                  QDir::tempPath() + QStringLiteral("/zx-readers-log.txt")}));
    ZV_START_SERVICE(server);
    const ServiceHttp http(server.Root());
    const Account teacher{QStringLiteral("steady"), QStringLiteral("login"), QStringLiteral("op")};
    SetUpTeacher(http, teacher, 0);
    const QString database = server.Database();
    QVERIFY2(database.startsWith(u"sqlite:"), qPrintable(database));
    const QString wal = database.sliced(7) + QStringLiteral("-wal");

    constexpr int kConnections = 4;
    constexpr int kRounds = 150;
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int c = 0; c < kConnections; ++c) {
      sockets.push_back(Connect(server.Root()));
      QVERIFY(sockets.back());
    }
    qint64 longest = 0;
    int shrinks = 0;
    qint64 last = 0;
    int n = 0;
    const auto send = [&](QTcpSocket& socket) {
      QStringList lines;
      for (int i = 0; i < 20; ++i, ++n) lines.append(LineAt(QStringLiteral("big"), n % kStudents, n));
      socket.write(KeptUpload(teacher, lines));
    };
    // Two uploads in flight on every connection, so a batch is nearly
    // always open.
    std::vector<Replies> replies;
    for (auto& socket : sockets) {
      send(*socket);
      send(*socket);
      replies.push_back(Replies{socket.get()});
    }
    for (int round = 0; round < kRounds; ++round) {
      for (int c = 0; c < kConnections; ++c) {
        const std::optional<HttpResult> reply = replies[c].Next();
        QVERIFY(reply);
        QCOMPARE(reply->Text(), kOk);
        if (round + 2 < kRounds) send(*sockets[c]);
      }
      const qint64 size = QFileInfo(wal).size();
      longest = std::max(longest, size);
      if (size < last) ++shrinks;
      last = size;
    }
    // Without starting over, these uploads leave a log of about 25 MB.
    QVERIFY2(shrinks >= 5, qPrintable(QStringLiteral("%1 shrinks, longest %2 bytes")
                                          .arg(shrinks)
                                          .arg(longest)));
    QVERIFY2(longest < 8 * kLimit, qPrintable(QString::number(longest)));
    const QString all = Read(http, QStringLiteral("/score/getscore.php"), teacher,
                             {{"class", "big"}}).Text();
    QCOMPARE(Rows(all).size(), kConnections * kRounds * 20);
    std::printf("log: longest %lld bytes, cut back %d times\n", static_cast<long long>(longest),
                shrinks);
  }

 private:
  std::unique_ptr<ServerProcess> server_;
  const Account big_{QStringLiteral("big_class"), QStringLiteral("login-big"),
                     QStringLiteral("操作")};
  const Account other_{QStringLiteral("other_teacher"), QStringLiteral("login-other"),
                       QStringLiteral("操作")};
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::ReadersTest)
#include "readers_test.moc"
