// Answers that stay right: in request order on one connection, the same
// through every service process on one PostgreSQL database, and a database
// that one process cannot serve rightly is refused at start.
#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QUrl>
#include <QUuid>
#include <QtTest>

#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

const QString kOk = QStringLiteral("Success!");

// Runs one statement on the database a service uses ("sqlite:PATH" or a
// PostgreSQL address), from the test, as an administrator would.
bool RunOnServiceDatabase(const QString& address, const QString& statement, QString* error) {
  const QString connection = QStringLiteral("direct-") + QUuid::createUuid().toString(QUuid::Id128);
  bool ok = false;
  {
    QSqlDatabase db;
    if (address.startsWith(u"sqlite:")) {
      db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
      db.setDatabaseName(address.sliced(7));
    } else {
      const QUrl url(address);
      db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
      db.setHostName(url.host());
      db.setPort(url.port(5432));
      db.setUserName(url.userName());
      db.setPassword(url.password());
      db.setDatabaseName(url.path().sliced(1));
    }
    if (db.open()) {
      QSqlQuery query(db);
      ok = query.exec(statement);
      if (!ok) *error = query.lastError().text();
      db.close();
    } else {
      *error = db.lastError().text();
    }
  }
  QSqlDatabase::removeDatabase(connection);
  return ok;
}

QString SetTeacher(const ServiceHttp& http, const Account& teacher, const QString& new_login,
                   const QString& new_operation) {
  FormBody body;
  body.Add(u"username", teacher.user)
      .Add(u"email", teacher.email)
      .Add(u"oldsuperpassword", teacher.operation)
      .Add(u"newlogpassword", new_login)
      .Add(u"newsuperpassword", new_operation);
  return http.Post(QStringLiteral("/score/setteacher.php"), body).Text();
}

QString ScoresOf(const ServiceHttp& http, const Account& teacher, const QString& class_name) {
  return Read(http, QStringLiteral("/score/getscore.php"), teacher, {{"class", class_name}}).Text();
}

// The bytes of one change or upload, for requests written back to back on
// one connection.
QByteArray ChangeRequest(const QString& path, const Account& teacher,
                         std::initializer_list<std::pair<QString, QString>> fields) {
  FormBody body;
  body.Add(u"username", teacher.user).Add(u"password", teacher.operation);
  for (const auto& [key, value] : fields) body.Add(key, value);
  return FormPostRequest(path, body);
}
QByteArray UploadRequest(const Account& teacher, const QStringList& lines) {
  return ChangeRequest(QStringLiteral("/score/index.php"), teacher,
                       {{QStringLiteral("keti"), QStringLiteral("朗读")},
                        {QStringLiteral("score"), lines.join(u'|')}});
}

// Student name -> "average TAB count", from a record text.
QHash<QString, QString> Totals(const QString& record) {
  QHash<QString, QString> totals;
  for (const QString& line : Rows(record)) {
    const QStringList fields = line.split(u'\t');
    if (fields.size() == 6) totals.insert(fields[1], fields[4] + u'\t' + fields[5]);
  }
  return totals;
}

int RowsTagged(const QString& list, const QString& tag) {
  int rows = 0;
  for (const QString& row : Rows(list)) rows += row.section(u'\t', 5) == tag;
  return rows;
}

}  // namespace

class CoherenceTest : public QObject {
  Q_OBJECT

 private slots:
  void answersLeaveAConnectionInRequestOrder() {
    // At the real Argon2id cost a check on the worker thread takes far
    // longer than a clock request; the clock's answer must still wait.
    ServerProcess::Options options;
    options.password_cost = QStringLiteral("interactive");
    ServerProcess server(options);
    ZV_START_SERVICE(server);
    const ServiceHttp http(server.Root());
    const Account teacher{QStringLiteral("in_order"), QStringLiteral("登录密码"),
                          QStringLiteral("操作密码")};
    QCOMPARE(Register(http, teacher), kOk);

    const QByteArray clock = "GET /score/servertime.php HTTP/1.1\r\nHost: x\r\n\r\n";
    const QByteArray requests =
        FormPostRequest(QStringLiteral("/score/checkpassword.php"),
                        FormBody().Add(u"username", teacher.user).Add(u"password", teacher.login)) +
        clock + "GET /score/getteacher.php?t=" + teacher.user.toLatin1() +
        "&mp=" + teacher.Digest().toLatin1() + " HTTP/1.1\r\nHost: x\r\n\r\n" + clock;
    const QUrl root(server.Root());
    QTcpSocket socket;
    socket.connectToHost(root.host(), static_cast<quint16>(root.port()));
    QVERIFY(socket.waitForConnected(5000));
    socket.write(requests);
    const QList<HttpResult> replies = ReadReplies(socket, 4);
    QCOMPARE(replies.size(), 4);
    QCOMPARE(replies[0].Text(), kOk);
    bool is_number = false;
    replies[1].Text().toLongLong(&is_number);
    QVERIFY2(is_number, qPrintable(replies[1].Text()));
    QCOMPARE(replies[2].Text(), QStringLiteral("测试老师\r\nin_order\r\nteacher@example.com"));
    replies[3].Text().toLongLong(&is_number);
    QVERIFY2(is_number, qPrintable(replies[3].Text()));
  }

  // A teacher's requests written right behind each other, as a program on
  // a quick connection sends them, are served as if one after the other: an
  // upload sees the student added just before it, and the reads and changes
  // behind an upload see what it stored (on PostgreSQL uploads are stored
  // on connections of their own, unless --writers 0).
  void requestsRightBehindAnUploadSeeIt_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("writers") << QStringList{};
    QTest::newRow("serving connection") << QStringList{QStringLiteral("--writers"),
                                                       QStringLiteral("0")};
  }
  void requestsRightBehindAnUploadSeeIt() {
    QFETCH(QStringList, arguments);
    ServerProcess server(WithArguments(arguments));
    ZV_START_SERVICE(server);
    const ServiceHttp http(server.Root());
    const Account t{QStringLiteral("right_behind"), QStringLiteral("登录"),
                    QStringLiteral("操作")};
    const QString cls = QStringLiteral("一班");
    QCOMPARE(Register(http, t), kOk);
    QCOMPARE(Change(http, QStringLiteral("/score/setclass.php"), t, {{"class", cls}}), kOk);
    QCOMPARE(Change(http, QStringLiteral("/score/student.php"), t,
                    {{"class", cls}, {"student", "张三|李四"}}),
             kOk);
    // The roster, the score list and the record are read and kept.
    QCOMPARE(Upload(http, t, QStringLiteral("朗读"),
                    {ScoreLineText(cls, "张三", "1分", "2024-03-01 08:00:00", "first")}),
             kOk);
    QCOMPARE(Rows(ScoresOf(http, t, cls)).size(), 1);
    QCOMPARE(Totals(Read(http, QStringLiteral("/score/record.php"), t).Text()).value("张三"),
             QStringLiteral("1\t1"));

    // Two rounds, each read at the end of its round (a read may show what
    // changes behind it on its connection made, never less than those
    // before it).
    const QString student_path = QStringLiteral("/score/student.php");
    const QList<QByteArray> rounds{
        ChangeRequest(student_path, t, {{"class", cls}, {"student", "张三|李四|王五"}}) +
            UploadRequest(t, {ScoreLineText(cls, "王五", "3分", "2024-03-02 08:00:00", "behind"),
                              ScoreLineText(cls, "张三", "2分", "2024-03-02 08:00:01", "behind")}) +
            KeptReadRequest(QStringLiteral("/score/getscore.php"), t, cls) +
            KeptReadRequest(QStringLiteral("/score/record.php"), t, QString()),
        ChangeRequest(student_path, t, {{"class", cls}, {"student", "张三|王五"}}) +
            UploadRequest(t, {ScoreLineText(cls, "李四", "5分", "2024-03-02 08:00:02", "gone")}) +
            UploadRequest(t, {ScoreLineText(cls, "王五", "4分", "2024-03-02 08:00:03", "last")}) +
            KeptReadRequest(QStringLiteral("/score/getscore.php"), t, cls)};
    const QUrl root(server.Root());
    QList<HttpResult> replies;
    for (const QByteArray& round : rounds) {
      QTcpSocket socket;
      socket.connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(socket.waitForConnected(5000));
      socket.write(round);
      replies += ReadReplies(socket, 4);
    }
    QCOMPARE(replies.size(), 8);
    QCOMPARE(replies[0].Text(), kOk);
    QCOMPARE(replies[1].Text(), kOk);
    QVERIFY2(Rows(replies[2].Text()).size() == 3, qPrintable(replies[2].Text()));
    QCOMPARE(RowsTagged(replies[2].Text(), QStringLiteral("behind")), 2);
    const QHash<QString, QString> totals = Totals(replies[3].Text());
    QCOMPARE(totals.value("张三"), QStringLiteral("1.5\t2"));
    QCOMPARE(totals.value("王五"), QStringLiteral("3\t1"));
    QCOMPARE(replies[4].Text(), kOk);
    QCOMPARE(replies[5].Text(), QStringLiteral("第1行：班级“一班”中没有学生“李四”"));
    QCOMPARE(replies[6].Text(), kOk);
    QVERIFY2(Rows(replies[7].Text()).size() == 4, qPrintable(replies[7].Text()));
    QCOMPARE(RowsTagged(replies[7].Text(), QStringLiteral("last")), 1);
  }

  // Teachers uploading on many connections at once, each teacher's uploads
  // spread over the connections and one body sent again everywhere: every
  // line is stored once, under its own teacher, and counted once.
  void manyTeachersUploadingAtOnceAreEachStoredOnce() {
    ServerProcess server;
    ZV_START_SERVICE(server);
    const ServiceHttp http(server.Root());
    const QString cls = QStringLiteral("一班");
    QList<Account> teachers;
    for (int k = 0; k < 6; ++k) {
      teachers.append(Account{QStringLiteral("at_once_%1").arg(k), QStringLiteral("登录"),
                              QStringLiteral("操作%1").arg(k)});
      QCOMPARE(Register(http, teachers.back()), kOk);
      QCOMPARE(Change(http, QStringLiteral("/score/setclass.php"), teachers.back(),
                      {{"class", cls}}),
               kOk);
      QCOMPARE(Change(http, QStringLiteral("/score/student.php"), teachers.back(),
                      {{"class", cls}, {"student", "张三|李四"}}),
               kOk);
    }
    // Teacher k gives 张三 k+1 points and 李四 k+2 in every upload.
    const auto upload = [&](int k, const QString& tag, int minute) {
      const QString at = QStringLiteral("2024-04-01 08:%1:00").arg(minute, 2, 10, QChar(u'0'));
      return UploadRequest(
          teachers[k], {ScoreLineText(cls, "张三", QStringLiteral("%1分").arg(k + 1), at, tag),
                        ScoreLineText(cls, "李四", QStringLiteral("%1分").arg(k + 2), at, tag)});
    };
    constexpr int kSockets = 4, kRounds = 3;
    const QUrl root(server.Root());
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int c = 0; c < kSockets; ++c) {
      sockets.push_back(std::make_unique<QTcpSocket>());
      sockets.back()->connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(sockets.back()->waitForConnected(5000));
    }
    for (int c = 0; c < kSockets; ++c) {
      QByteArray all;
      for (int r = 0; r < kRounds; ++r) {
        for (int k = 0; k < teachers.size(); ++k) {
          all += upload(k, QStringLiteral("c%1r%2").arg(c).arg(r), c * kRounds + r);
        }
      }
      // The same body on every connection (a resend).
      for (int k = 0; k < teachers.size(); ++k) all += upload(k, QStringLiteral("again"), 59);
      sockets[c]->write(all);
    }
    for (int c = 0; c < kSockets; ++c) {
      const QList<HttpResult> replies =
          ReadReplies(*sockets[c], kRounds * static_cast<int>(teachers.size()) + 6);
      QCOMPARE(replies.size(), kRounds * teachers.size() + 6);
      for (const HttpResult& reply : replies) QCOMPARE(reply.Text(), kOk);
    }
    constexpr int kEach = kSockets * kRounds + 1;  // uploads stored per teacher
    for (int k = 0; k < teachers.size(); ++k) {
      const QString list = ScoresOf(http, teachers[k], cls);
      QCOMPARE(Rows(list).size(), 2 * kEach);
      QCOMPARE(RowsTagged(list, QStringLiteral("again")), 2);
      for (const QString& row : Rows(list)) {
        const QString value = row.section(u'\t', 2, 2);
        const QString student = row.section(u'\t', 1, 1);
        QCOMPARE(value, QString::number(student == u"张三" ? k + 1 : k + 2));
      }
      const QHash<QString, QString> totals =
          Totals(Read(http, QStringLiteral("/score/record.php"), teachers[k]).Text());
      QCOMPARE(totals.value("张三"), QStringLiteral("%1\t%2").arg(k + 1).arg(kEach));
      QCOMPARE(totals.value("李四"), QStringLiteral("%1\t%2").arg(k + 2).arg(kEach));
    }
  }

  void twoProcessesOnOnePostgresDatabaseGiveTheSameAnswers() {
    if (!ServerProcess::UsesPostgres()) QSKIP("several processes share PostgreSQL only");
    ServerProcess first;
    ZV_START_SERVICE(first);
    ServerProcess::Options same_database;
    same_database.database = first.Database();
    ServerProcess second(same_database);
    QString error;
    QVERIFY2(second.Start(&error), qPrintable(error));
    const ServiceHttp one(first.Root());
    const ServiceHttp two(second.Root());

    // ASCII login passwords: the digests of two Chinese ones may be the same.
    Account t{QStringLiteral("two_desks"), QStringLiteral("login-one"), QStringLiteral("操作一")};
    QCOMPARE(Register(one, t), kOk);
    QCOMPARE(Change(one, QStringLiteral("/score/setclass.php"), t, {{"class", "一班"}}), kOk);
    QCOMPARE(Change(one, QStringLiteral("/score/student.php"), t,
                    {{"class", "一班"}, {"student", "张三|李四"}}),
             kOk);
    // The second process renders and keeps the record and the score list.
    QVERIFY(!Read(two, QStringLiteral("/score/record.php"), t).Text().contains(u"王五"));
    QCOMPARE(ScoresOf(two, t, QStringLiteral("一班")), QString());

    // Changes through the first are read through the second at once.
    QCOMPARE(Upload(one, t, QStringLiteral("朗读"),
                    {ScoreLineText("一班", "张三", "5分", "2024-03-01 08:00:00")}),
             kOk);
    QVERIFY(ScoresOf(two, t, QStringLiteral("一班")).contains(u"\t张三\t5\t"));
    QVERIFY(
        Read(two, QStringLiteral("/score/record.php"), t).Text().contains(u"一班\t张三\t0\t1\t5"));
    QCOMPARE(Change(one, QStringLiteral("/score/student.php"), t,
                    {{"class", "一班"}, {"student", "张三|李四|王五"}}),
             kOk);
    QVERIFY(Read(two, QStringLiteral("/score/record.php"), t).Text().contains(u"王五"));
    // ... and the second knows the new student when it takes an upload.
    QCOMPARE(Upload(two, t, QStringLiteral("朗读"),
                    {ScoreLineText("一班", "王五", "3分", "2024-03-01 08:01:00")}),
             kOk);
    QVERIFY(ScoresOf(one, t, QStringLiteral("一班")).contains(u"\t王五\t3\t"));
    QCOMPARE(Rows(ScoresOf(two, t, QStringLiteral("一班"))).size(), 2);

    // Both processes remember the passwords; a change through the first
    // voids what the second remembers.
    QCOMPARE(SignIn(two, t.user, t.login).Text(), kOk);
    QCOMPARE(Change(two, QStringLiteral("/score/setketi.php"), t, {{"keti", "朗读"}}), kOk);
    QCOMPARE(SetTeacher(one, t, QStringLiteral("login-two"), QStringLiteral("操作二")), kOk);
    QCOMPARE(SignIn(two, t.user, t.login).Text(), QStringLiteral("用户名或密码错误"));
    QCOMPARE(Read(two, QStringLiteral("/score/record.php"), t).status, 403);
    QCOMPARE(Change(two, QStringLiteral("/score/setketi.php"), t, {{"keti", "朗读"}}),
             QStringLiteral("用户名或操作密码错误"));
    t.login = QStringLiteral("login-two");
    t.operation = QStringLiteral("操作二");
    QCOMPARE(SignIn(two, t.user, t.login).Text(), kOk);
    QCOMPARE(Read(two, QStringLiteral("/score/record.php"), t).status, 200);
    QCOMPARE(Change(two, QStringLiteral("/score/setketi.php"), t, {{"keti", "朗读|背诵"}}), kOk);
    QVERIFY(Read(one, QStringLiteral("/score/record.php"), t).Text().contains(u"[keti]\t背诵"));
    second.Stop();
  }

  // A student removed behind the service's back (by another process, or an
  // administrator) is still in its roster: the upload naming the student
  // fails in the database, after its savepoint has gone with the statement.
  // It alone is refused; the uploads served in the same batch are stored.
  void anUploadFailingInTheDatabaseTakesNoOtherUploadDown() {
    if (!ServerProcess::UsesPostgres()) QSKIP("the roster outlives a removal on PostgreSQL only");
    ServerProcess server;
    ZV_START_SERVICE(server);
    const ServiceHttp http(server.Root());
    const Account a{QStringLiteral("failing_member"), QStringLiteral("login-a"),
                    QStringLiteral("操作甲")};
    const Account b{QStringLiteral("other_member"), QStringLiteral("login-b"),
                    QStringLiteral("操作乙")};
    for (const Account& t : {a, b}) {
      QCOMPARE(Register(http, t), kOk);
      QCOMPARE(Change(http, QStringLiteral("/score/setclass.php"), t, {{"class", "一班"}}), kOk);
      QCOMPARE(Change(http, QStringLiteral("/score/student.php"), t,
                      {{"class", "一班"}, {"student", "张三|李四"}}),
               kOk);
      // The roster is read and kept.
      QCOMPARE(Upload(http, t, QStringLiteral("朗读"),
                      {ScoreLineText("一班", "张三", "1分", "2024-03-01 08:00:00", "first")}),
               kOk);
    }
    QString error;
    QVERIFY2(RunOnServiceDatabase(server.Database(),
                                  QStringLiteral("DELETE FROM students WHERE name = '李四' AND "
                                                 "class_id IN (SELECT c.id FROM classes c JOIN "
                                                 "teachers t ON t.id = c.teacher_id WHERE "
                                                 "t.account = 'failing_member')"),
                                  &error),
             qPrintable(error));
    const auto request = [](const Account& t, const QString& student, const QString& tag) {
      FormBody body;
      body.Add(u"username", t.user)
          .Add(u"password", t.operation)
          .Add(u"keti", u"朗读")
          .Add(u"score", ScoreLineText(QStringLiteral("一班"), student, QStringLiteral("2分"),
                                       QStringLiteral("2024-03-02 08:00:00"), tag) +
                             u'|' +
                             ScoreLineText(QStringLiteral("一班"), QStringLiteral("张三"),
                                           QStringLiteral("3分"),
                                           QStringLiteral("2024-03-02 08:01:00"), tag));
      return FormPostRequest(QStringLiteral("/score/index.php"), body);
    };
    // Every request is written before any answer is read, so they are
    // served together; each connection's answers come in order.
    const QUrl root(server.Root());
    struct Sent {
      QString tag;
      bool fails;
      const Account* teacher;
    };
    QList<QList<Sent>> plan;
    for (int c = 0; c < 4; ++c) {
      plan.append({{QStringLiteral("b%1").arg(c), false, &b},
                   {QStringLiteral("gone%1").arg(c), c % 2 == 0, &a},
                   {QStringLiteral("b%1x").arg(c), false, &b}});
    }
    QList<std::shared_ptr<QTcpSocket>> sockets;
    for (qsizetype c = 0; c < plan.size(); ++c) {
      auto socket = std::make_shared<QTcpSocket>();
      socket->connectToHost(root.host(), static_cast<quint16>(root.port()));
      QVERIFY(socket->waitForConnected(5000));
      sockets.append(socket);
    }
    for (int c = 0; c < plan.size(); ++c) {
      QByteArray all;
      for (const Sent& sent : plan[c]) {
        all += request(*sent.teacher, sent.fails ? QStringLiteral("李四") : QStringLiteral("张三"),
                       sent.tag);
      }
      sockets[c]->write(all);
    }
    for (int c = 0; c < plan.size(); ++c) {
      const QList<HttpResult> replies = ReadReplies(*sockets[c], static_cast<int>(plan[c].size()));
      QCOMPARE(replies.size(), plan[c].size());
      for (int i = 0; i < replies.size(); ++i) {
        const Sent& sent = plan[c][i];
        const QString rows = ScoresOf(http, *sent.teacher, QStringLiteral("一班"));
        int stored = 0;
        for (const QString& row : Rows(rows)) stored += row.section(u'\t', 5) == sent.tag;
        if (sent.fails) {
          QVERIFY2(replies[i].body != "Success!", qPrintable(sent.tag));
          QCOMPARE(stored, 0);
        } else {
          QCOMPARE(replies[i].body, QByteArray("Success!"));
          QCOMPARE(stored, 2);
        }
      }
    }
  }

  void processesStartingTogetherOnANewPostgresDatabaseAllStart() {
    if (!ServerProcess::UsesPostgres()) QSKIP("several processes share PostgreSQL only");
    if (!ServerProcess::PostgresAvailable()) QSKIP("no PostgreSQL test cluster");
    const QString name = QStringLiteral("zt_") + QUuid::createUuid().toString(QUuid::Id128);
    QString error;
    QVERIFY2(RunOnPostgresCluster(
                 QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(name),
                 &error),
             qPrintable(error));
    const auto drop = qScopeGuard([&] {
      RunOnPostgresCluster(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name),
                           nullptr);
    });
    QUrl address(qEnvironmentVariable("ZORVANIX_TEST_PG_ADMIN"));
    address.setPath(u'/' + name);
    QTemporaryDir spool;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < 3; ++i) {
      auto process = std::make_unique<QProcess>();
      process->start(ServerBinary(), {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                                      QStringLiteral("--database"), address.toString(),
                                      QStringLiteral("--mail-spool"), spool.path()});
      processes.push_back(std::move(process));
    }
    for (const auto& process : processes) QVERIFY(process->waitForStarted(5000));
    // Each one brings the new database's schema up to date, or finds it so.
    for (const auto& process : processes) {
      QByteArray out;
      const QDeadlineTimer deadline(15000);
      while (!out.contains("listening on") && process->state() == QProcess::Running &&
             !deadline.hasExpired()) {
        process->waitForReadyRead(100);
        out += process->readAllStandardOutput();
      }
      QVERIFY2(out.contains("listening on"), process->readAllStandardError().constData());
    }
    for (const auto& process : processes) {
      process->terminate();
      process->waitForFinished(10000);
    }
  }

  void aRememberedPasswordIsNoAnswerWithoutTheDatabase() {
    if (!ServerProcess::UsesPostgres()) QSKIP("a PostgreSQL server can go away; a file cannot");
    ServerProcess server;
    ZV_START_SERVICE(server);
    const ServiceHttp http(server.Root());
    const Account t{QStringLiteral("outage"), QStringLiteral("login"), QStringLiteral("op")};
    QCOMPARE(Register(http, t), kOk);
    QCOMPARE(SignIn(http, t.user, t.login).Text(), kOk);  // now remembered
    const QString name = server.PostgresDatabaseName();
    QString error;
    QVERIFY2(RunOnPostgresCluster(
                 QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS false").arg(name), &error),
             qPrintable(error));
    const auto allow_again = qScopeGuard([&] {
      RunOnPostgresCluster(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS true").arg(name),
                           nullptr);
    });
    QVERIFY2(RunOnPostgresCluster(QStringLiteral("SELECT pg_terminate_backend(pid) FROM "
                                                 "pg_stat_activity WHERE datname = '%1'")
                                      .arg(name),
                                  &error),
             qPrintable(error));
    const HttpResult during = SignIn(http, t.user, t.login);
    QVERIFY2(during.status != 200 || during.Text() != kOk, qPrintable(during.Text()));
    QVERIFY(during.status != 0);
  }

  void secondProcessOnOneSqliteFileIsRefused() {
    if (ServerProcess::UsesPostgres()) QSKIP("the file lock concerns SQLite");
    ServerProcess first;
    ZV_START_SERVICE(first);
    ServerProcess::Options same_file;
    same_file.database = first.Database();
    ServerProcess second(same_file);
    QString error;
    QVERIFY(!second.Start(&error));
    QVERIFY2(error.contains(QStringLiteral("is in use by another zorvanix-server process (pid %1)")
                                .arg(first.Pid())),
             qPrintable(error));
    // The first goes on serving.
    QCOMPARE(Register(ServiceHttp(first.Root()), {QStringLiteral("still_here"), "login", "op"}),
             kOk);
  }

  void restartAfterAKillIsNotBlocked() {
    ServerProcess server;
    ZV_START_SERVICE(server);
    const Account t{QStringLiteral("crashed"), QStringLiteral("login"), QStringLiteral("op")};
    QCOMPARE(Register(ServiceHttp(server.Root()), t), kOk);
    server.Kill();
    QString error;
    QVERIFY2(server.Start(&error), qPrintable(error));
    QCOMPARE(SignIn(ServiceHttp(server.Root()), t.user, t.login).Text(), kOk);
  }

  void databaseOfANewerSchemaIsRefused() {
    ServerProcess server;
    ZV_START_SERVICE(server);
    server.Stop();
    QString error;
    QVERIFY2(RunOnServiceDatabase(server.Database(),
                                  QStringLiteral("UPDATE schema_version SET version = 99"), &error),
             qPrintable(error));
    QVERIFY(!server.Start(&error));
    QVERIFY2(error.contains(QStringLiteral("the database has schema version 99, newer than this "
                                           "zorvanix-server knows")),
             qPrintable(error));
  }
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::CoherenceTest)
#include "coherence_test.moc"
