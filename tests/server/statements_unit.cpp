// The statements of the service's database, in-process, on SQLite and (with
// ZORVANIX_TEST_PG_ADMIN) on a database of its own on PostgreSQL: values go
// in and come back as they were, and a statement that fails is told apart
// from a connection that is gone.
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUuid>
#include <cmath>
#include <limits>

#include "server/database.h"
#include "server/pg_statements.h"

namespace zorvanix::server {
namespace {

class StatementsTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QString pg_database_;

  // The SQLite database, or the PostgreSQL one when the row asks for it
  // (empty when no cluster was given: the row skips).
  std::unique_ptr<Database> Open(const QString& driver) {
    QString address;
    if (driver == u"sqlite") {
      address =
          QStringLiteral("sqlite:") + dir_.filePath(QUuid::createUuid().toString(QUuid::Id128));
    } else {
      if (pg_database_.isEmpty()) return nullptr;
      QUrl url(qEnvironmentVariable("ZORVANIX_TEST_PG_ADMIN"));
      url.setPath(u'/' + pg_database_);
      address = url.toString();
    }
    QString error;
    auto db = Database::Open(address, SqliteSync::kFull, &error);
    if (!db || !db->Migrate(&error)) qWarning("%s", qPrintable(error));
    return db && db->SchemaVersion() > 0 ? std::move(db) : nullptr;
  }

  static bool AdminSql(const QString& statement) {
    const QString name = QStringLiteral("statements-admin");
    bool ok = false;
    {
      QSqlDatabase admin = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
      const QUrl url(qEnvironmentVariable("ZORVANIX_TEST_PG_ADMIN"));
      admin.setHostName(url.host());
      admin.setPort(url.port(5432));
      admin.setUserName(url.userName());
      admin.setPassword(url.password());
      admin.setDatabaseName(url.path().mid(1));
      ok = admin.open() && QSqlQuery(admin).exec(statement);
      admin.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
  }

  void Drivers() {
    QTest::addColumn<QString>("driver");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgresql");
  }

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    if (qEnvironmentVariableIsEmpty("ZORVANIX_TEST_PG_ADMIN")) return;
    const QString name =
        QStringLiteral("zt_statements_") + QUuid::createUuid().toString(QUuid::Id128);
    QVERIFY(AdminSql(
        QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(name)));
    pg_database_ = name;
  }

  void cleanupTestCase() {
    if (!pg_database_.isEmpty())
      AdminSql(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(pg_database_));
  }

  void valuesComeBackAsTheyWent_data() { Drivers(); }
  void valuesComeBackAsTheyWent() {
    QFETCH(QString, driver);
    auto db = Open(driver);
    if (!db) QSKIP("no PostgreSQL cluster given");
    // Texts with quotes, backslashes, braces, placeholders and Chinese;
    // the null text is stored as an empty one.
    const QStringList texts{QStringLiteral("张三 \"曌\" \\ '{a,b}' ? $1 €"), QString(),
                            QStringLiteral("")};
    const qint64 big = std::numeric_limits<qint64>::max() - 7;
    const QList<double> values{0.1, -2.5, 1e-300, 12345678.875};
    Transaction transaction(*db);
    db->Execute(
        "CREATE TABLE probe (n BIGINT NOT NULL, x DOUBLE PRECISION NOT NULL, t TEXT NOT NULL)");
    for (int i = 0; i < texts.size(); ++i) {
      db->Execute("INSERT INTO probe (n, x, t) VALUES (?, ?, ?)", {big - i, values[i], texts[i]});
    }
    const std::vector<Row> rows = db->Select("SELECT n, x, t FROM probe ORDER BY n DESC");
    QCOMPARE(rows.size(), size_t(3));
    for (int i = 0; i < texts.size(); ++i) {
      QCOMPARE(rows[i][0].toLongLong(), big - i);
      QCOMPARE(rows[i][1].toDouble(), values[i]);
      QCOMPARE(rows[i][2].toString(), texts[i].isNull() ? QStringLiteral("") : texts[i]);
      QVERIFY(!rows[i][2].isNull());
    }
    // A value that is not there is a null, whatever its column's type.
    const std::optional<Row> none =
        db->SelectOne("SELECT MAX(n) FROM probe WHERE n < ?", {qint64(0)});
    QVERIFY(none && none->at(0).isNull());
    QCOMPARE(db->Execute("UPDATE probe SET x = x + ? WHERE n >= ?", {1.0, big - 1}), 2);
  }

  void aFailedStatementLeavesTheConnectionServing_data() { Drivers(); }
  void aFailedStatementLeavesTheConnectionServing() {
    QFETCH(QString, driver);
    auto db = Open(driver);
    if (!db) QSKIP("no PostgreSQL cluster given");
    const int connections = db->Connections();
    bool unavailable = false, failed = false;
    try {
      db->Select("SELECT no_such_column FROM teachers WHERE id = ?", {qint64(1)});
    } catch (const DatabaseUnavailable&) {
      unavailable = true;
    } catch (const DatabaseError&) {
      failed = true;
    }
    QVERIFY(failed);
    // Not taken for a lost database: no "try again", no new connection.
    QVERIFY(!unavailable);
    QVERIFY(db->SelectOne("SELECT COUNT(*) FROM teachers").has_value());
    QCOMPARE(db->Connections(), connections);
  }

  void placeholdersAreNumberedOutsideQuotes() {
    int count = 0;
    QCOMPARE(NumberedPlaceholders("SELECT ?, '?', \"a?\", ? FROM t WHERE x = ?", &count),
             QByteArray("SELECT $1, '?', \"a?\", $2 FROM t WHERE x = $3"));
    QCOMPARE(count, 3);
    QCOMPARE(NumberedPlaceholders("SELECT 1", &count), QByteArray("SELECT 1"));
    QCOMPARE(count, 0);
  }
};

}  // namespace
}  // namespace zorvanix::server

QTEST_GUILESS_MAIN(zorvanix::server::StatementsTest)
#include "statements_unit.moc"
