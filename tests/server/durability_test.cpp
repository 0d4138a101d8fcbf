// A crash of the service (kill -9) in the middle of an upload load: every
// acknowledged score is there after a restart, and no batch is half stored.
#include <QDeadlineTimer>
#include <QHash>
#include <QTcpSocket>
#include <QtTest>

#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

constexpr int kStudents = 10;
constexpr int kLinesPerBatch = 20;
constexpr int kConnections = 8;
constexpr int kBatchesPerConnection = 3;

QString Student(int i) { return QStringLiteral("学生%1").arg(i); }

}  // namespace

class DurabilityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ZV_START_SERVICE(server_);
    const ServiceHttp http(server_.Root());
    QCOMPARE(Register(http, teacher_), QStringLiteral("Success!"));
    QStringList students;
    for (int i = 0; i < kStudents; ++i) students.append(Student(i));
    QCOMPARE(Change(http, QStringLiteral("/score/setclass.php"), teacher_, {{"class", "一班"}}),
             QStringLiteral("Success!"));
    QCOMPARE(Change(http, QStringLiteral("/score/student.php"), teacher_,
                    {{"class", "一班"}, {"student", students.join(u'|')}}),
             QStringLiteral("Success!"));
  }

  void killDuringUploadsLosesNoAcknowledgedScore() {
    QSet<QString> acknowledged;
    int batch = 0;
    for (int round = 0; round < 3; ++round) {
      QList<std::shared_ptr<QTcpSocket>> sockets;
      QHash<QTcpSocket*, QStringList> pending;  // tags sent on the socket, in order
      const QUrl root(server_.Root());
      for (int c = 0; c < kConnections; ++c) {
        auto socket = std::make_shared<QTcpSocket>();
        socket->connectToHost(root.host(), static_cast<quint16>(root.port()));
        QVERIFY(socket->waitForConnected(5000));
        for (int b = 0; b < kBatchesPerConnection; ++b) {
          const QString tag = QStringLiteral("batch%1").arg(batch++);
          socket->write(UploadRequest(tag));
          pending[socket.get()].append(tag);
        }
        sockets.append(socket);
      }
      // Kill once a few batches are acknowledged and the rest are in flight.
      QHash<QTcpSocket*, QByteArray> received;
      int acks_this_round = 0;
      const QDeadlineTimer deadline(10000);
      while (acks_this_round < 4 && !deadline.hasExpired()) {
        for (const auto& socket : sockets) {
          socket->waitForReadyRead(5);
          received[socket.get()] += socket->readAll();
          for (const HttpResult& reply : TakeReplies(&received[socket.get()])) {
            const QString tag = pending[socket.get()].takeFirst();
            if (reply.body == "Success!") {
              acknowledged.insert(tag);
              ++acks_this_round;
            }
          }
        }
      }
      QVERIFY(acks_this_round >= 4);
      server_.Kill();
      // Replies that had already arrived count as acknowledged too.
      for (const auto& socket : sockets) {
        received[socket.get()] += socket->readAll();
        for (const HttpResult& reply : TakeReplies(&received[socket.get()])) {
          const QString tag = pending[socket.get()].takeFirst();
          if (reply.body == "Success!") acknowledged.insert(tag);
        }
      }
      QString error;
      QVERIFY2(server_.Start(&error), qPrintable(error));
    }

    const ServiceHttp http(server_.Root());
    const QStringList rows = Rows(
        Read(http, QStringLiteral("/score/getscore.php"), teacher_, {{"class", "一班"}}).Text());
    QHash<QString, int> lines_per_batch;
    QHash<QString, int> scores_per_student;
    for (const QString& row : rows) {
      const QStringList fields = row.split(u'\t');
      QCOMPARE(fields.size(), 6);
      ++lines_per_batch[fields[5]];
      ++scores_per_student[fields[1]];
    }
    for (auto it = lines_per_batch.constBegin(); it != lines_per_batch.constEnd(); ++it) {
      QVERIFY2(it.value() == kLinesPerBatch,
               qPrintable(QStringLiteral("%1 has %2 lines").arg(it.key()).arg(it.value())));
    }
    qInfo("acknowledged %lld, stored %lld of %d batches",
          static_cast<long long>(acknowledged.size()),
          static_cast<long long>(lines_per_batch.size()), batch);
    for (const QString& tag : acknowledged)
      QVERIFY2(lines_per_batch.contains(tag), qPrintable(tag + QStringLiteral(" lost")));
    // The counters agree with the scores that survived.
    for (const QString& line :
         Rows(Read(http, QStringLiteral("/score/record.php"), teacher_).Text())) {
      const QStringList fields = line.split(u'\t');
      if (fields.size() != 6) continue;
      QCOMPARE(fields[5].toInt(), scores_per_student.value(fields[1]));
      QCOMPARE(fields[4],
               scores_per_student.value(fields[1]) ? QStringLiteral("3") : QStringLiteral("0"));
    }
  }

  // Uploads arriving together share one commit; a refused one among them
  // (its last line names no student of the class) takes nothing with it and
  // leaves nothing of its own.
  void aRefusedUploadAmongConcurrentOnesTakesNothingWithIt() {
    // The password is checked once first: a request whose check runs on the
    // worker thread is answered after the later requests of its connection.
    {
      const ServiceHttp http(server_.Root());
      QCOMPARE(Change(http, QStringLiteral("/score/setclass.php"), teacher_, {{"class", "一班"}}),
               QStringLiteral("Success!"));
    }
    QList<std::shared_ptr<QTcpSocket>> sockets;
    QHash<QTcpSocket*, QStringList> pending;
    const QUrl root(server_.Root());
    for (int c = 0; c < kConnections; ++c) {
      auto socket = std::make_shared<QTcpSocket>();
      socket->connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(socket->waitForConnected(5000));
      sockets.append(socket);
    }
    // Every request is written before any answer is read, so they are
    // served while the flushes of the others run.
    for (int b = 0; b < kBatchesPerConnection; ++b) {
      for (int c = 0; c < kConnections; ++c) {
        const QString tag = QStringLiteral("mixed%1-%2").arg(c).arg(b);
        const bool refused = (b + c) % 2 == 1;
        sockets[c]->write(UploadRequest(tag, refused));
        pending[sockets[c].get()].append(tag);
      }
    }
    QHash<QString, QByteArray> answers;
    QHash<QTcpSocket*, QByteArray> received;
    const QDeadlineTimer deadline(10000);
    while (answers.size() < kConnections * kBatchesPerConnection && !deadline.hasExpired()) {
      for (const auto& socket : sockets) {
        socket->waitForReadyRead(5);
        received[socket.get()] += socket->readAll();
        for (const HttpResult& reply : TakeReplies(&received[socket.get()]))
          answers.insert(pending[socket.get()].takeFirst(), reply.body);
      }
    }
    QCOMPARE(answers.size(), kConnections * kBatchesPerConnection);
    const ServiceHttp http(server_.Root());
    QHash<QString, int> lines_per_batch;
    for (const QString& row : Rows(
             Read(http, QStringLiteral("/score/getscore.php"), teacher_, {{"class", "一班"}})
                 .Text())) {
      const QString tag = row.section(u'\t', 5);
      if (tag.startsWith(u"mixed")) ++lines_per_batch[tag];
    }
    for (auto it = answers.constBegin(); it != answers.constEnd(); ++it) {
      const int c = it.key().section(u'-', 0, 0).mid(5).toInt();
      const int b = it.key().section(u'-', 1).toInt();
      if ((b + c) % 2 == 1) {
        QCOMPARE(QString::fromUtf8(it.value()).isEmpty(), false);
        QVERIFY2(it.value() != "Success!", qPrintable(it.key()));
        QCOMPARE(lines_per_batch.value(it.key()), 0);
      } else {
        QCOMPARE(it.value(), QByteArray("Success!"));
        QCOMPARE(lines_per_batch.value(it.key()), kLinesPerBatch);
      }
    }
  }

 private:
  QByteArray UploadRequest(const QString& tag, bool refused = false) const {
    QStringList lines;
    for (int i = 0; i < kLinesPerBatch; ++i) {
      const bool stranger = refused && i == kLinesPerBatch - 1;
      lines.append(ScoreLineText(
          QStringLiteral("一班"), stranger ? QStringLiteral("无名") : Student(i % kStudents),
          QStringLiteral("3分"),
          QStringLiteral("2024-05-01 10:00:%1").arg(i, 2, 10, QLatin1Char('0')), tag));
    }
    FormBody body;
    body.Add(u"username", teacher_.user)
        .Add(u"password", teacher_.operation)
        .Add(u"keti", u"课堂")
        .Add(u"score", lines.join(u'|'));
    return FormPostRequest(QStringLiteral("/score/index.php"), body);
  }

  ServerProcess server_;
  const Account teacher_{QStringLiteral("durable"), QStringLiteral("login"),
                         QStringLiteral("operate")};
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::DurabilityTest)
#include "durability_test.moc"
