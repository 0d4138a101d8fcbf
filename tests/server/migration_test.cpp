// A service file from before IDs were kept unique: opened by today's service,
// every row keeps its ID, and an ID given once is never given again.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

const QString kOk = QStringLiteral("Success!");

// Rebuilds every table as the first schema had it (keys that SQLite may give
// again) and marks the file as of that schema.
void MakeFirstSchema(const QString& path) {
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
    db.setDatabaseName(path);
    QVERIFY(db.open());
    QSqlQuery q(db);
    QVERIFY(q.exec(QStringLiteral("PRAGMA foreign_keys=OFF")));
    QVERIFY(q.exec(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND sql LIKE '%AUTOINCREMENT%'")));
    QList<QPair<QString, QString>> tables;
    while (q.next()) tables.append({q.value(0).toString(), q.value(1).toString()});
    QVERIFY(tables.size() >= 6);
    for (const auto& [name, sql] : tables) {
      QString old_sql = sql;
      old_sql.replace(QStringLiteral(" AUTOINCREMENT"), QString());
      old_sql.replace(QStringLiteral("TABLE ") + name, QStringLiteral("TABLE ") + name + "_old");
      old_sql.replace(QStringLiteral("TABLE \"") + name + u'"',
                      QStringLiteral("TABLE ") + name + "_old");
      QVERIFY2(q.exec(old_sql), qPrintable(old_sql));
      QVERIFY(q.exec(QStringLiteral("INSERT INTO %1_old SELECT * FROM %1").arg(name)));
      QVERIFY(q.exec(QStringLiteral("DROP TABLE %1").arg(name)));
      QVERIFY(q.exec(QStringLiteral("ALTER TABLE %1_old RENAME TO %1").arg(name)));
    }
    QVERIFY(q.exec(QStringLiteral("DELETE FROM sqlite_sequence")));
    QVERIFY(q.exec(QStringLiteral("UPDATE schema_version SET version = 1")));
    QVERIFY(!q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE sql LIKE '%AUTOINCREMENT%'")) ||
            !q.next());
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("old"));
}

}  // namespace

class MigrationTest : public QObject {
  Q_OBJECT

 private slots:
  void anOldFileKeepsItsRowsAndNeverGivesAnIdTwice() {
    if (ServerProcess::UsesPostgres()) QSKIP("the key rebuild concerns SQLite files only");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.db"));
    ServerProcess::Options options;
    options.database = QStringLiteral("sqlite:") + path;
    ServerProcess server(options);
    QString error;
    QVERIFY2(server.Start(&error), qPrintable(error));
    const Account t{QStringLiteral("old_file"), QStringLiteral("登录old"), QStringLiteral("op-old")};
    auto http = std::make_unique<ServiceHttp>(server.Root());
    QCOMPARE(Register(*http, t), kOk);
    QCOMPARE(Change(*http, QStringLiteral("/score/setclass.php"), t, {{"class", "一班"}}), kOk);
    QCOMPARE(Change(*http, QStringLiteral("/score/student.php"), t,
                    {{"class", "一班"}, {"student", "张三|李四"}}),
             kOk);
    QCOMPARE(Upload(*http, t, QStringLiteral("朗读"),
                    {ScoreLineText("一班", "张三", "5分", "2024-03-01 08:00:00"),
                     ScoreLineText("一班", "李四", "3分", "2024-03-01 08:01:00"),
                     ScoreLineText("一班", "张三", "1分", "2024-03-01 08:02:00")}),
             kOk);
    auto rows = [&] {
      return Rows(Read(*http, QStringLiteral("/score/getscore.php"), t, {{"class", "一班"}}).Text());
    };
    const QStringList before = rows();
    QCOMPARE(before.size(), 3);
    const QString record = Read(*http, QStringLiteral("/score/record.php"), t).Text();
    server.Stop();

    MakeFirstSchema(path);
    if (QTest::currentTestFailed()) return;

    QVERIFY2(server.Start(&error), qPrintable(error));
    http = std::make_unique<ServiceHttp>(server.Root());
    QCOMPARE(rows(), before);
    QCOMPARE(Read(*http, QStringLiteral("/score/record.php"), t).Text(), record);
    // The upgraded scores still recognise a batch sent again.
    QCOMPARE(Upload(*http, t, QStringLiteral("朗读"),
                    {ScoreLineText("一班", "张三", "5分", "2024-03-01 08:00:00"),
                     ScoreLineText("一班", "李四", "3分", "2024-03-01 08:01:00")}),
             kOk);
    QCOMPARE(rows(), before);

    // The newest score goes; the next upload must not receive its ID.
    const QString newest = before.last().section(u'\t', 0, 0);
    QCOMPARE(Change(*http, QStringLiteral("/score/delscore.php"), t,
                    {{"class", "一班"}, {"delid", u'|' + newest}}),
             kOk);
    QCOMPARE(Upload(*http, t, QStringLiteral("朗读"),
                    {ScoreLineText("一班", "李四", "4分", "2024-03-02 08:00:00")}),
             kOk);
    const QStringList after = rows();
    QCOMPARE(after.size(), 3);
    QVERIFY(after.last().section(u'\t', 0, 0).toLongLong() > newest.toLongLong());
    server.Stop();
  }

  // Under systemd the start may last as long as the upgrade does: the
  // service asks for more time before it opens the database, and says it
  // is ready only once the schema is up to date.
  void systemdIsToldTheStartGoesOnUntilTheServiceIsReady() {
    QTemporaryDir dir;
    const QByteArray path = dir.filePath(QStringLiteral("notify")).toLocal8Bit();
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    QVERIFY(fd >= 0);
    const auto close_socket = qScopeGuard([fd] { ::close(fd); });
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QVERIFY(static_cast<size_t>(path.size()) < sizeof address.sun_path);
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);

    ServerProcess::Options options;
    options.environment << QStringLiteral("NOTIFY_SOCKET=") + QString::fromLocal8Bit(path);
    ServerProcess server(options);
    QString error;
    QVERIFY2(server.Start(&error), qPrintable(error));
    QStringList messages;
    QDeadlineTimer deadline(10000);
    while (!messages.contains(QStringLiteral("READY=1")) && !deadline.hasExpired()) {
      char buffer[4096];
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        messages += QString::fromUtf8(buffer, n).split(u'\n', Qt::SkipEmptyParts);
      } else {
        QTest::qWait(20);
      }
    }
    server.Stop();
    const qsizetype more_time = messages.indexOf(QStringLiteral("EXTEND_TIMEOUT_USEC=60000000"));
    const qsizetype ready = messages.indexOf(QStringLiteral("READY=1"));
    QVERIFY2(more_time >= 0 && ready > more_time, qPrintable(messages.join(u' ')));
  }
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::MigrationTest)
#include "migration_test.moc"
