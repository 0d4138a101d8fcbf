// The flush that makes SQLite changes durable before they are answered:
// changes committed while a flush runs share the next one, answers come in
// the order of the changes, and an answer never overtakes a change still
// waiting for its flush.
#include <QTemporaryDir>
#include <QtTest>

#include "server/database.h"

using namespace zorvanix::server;

class LogFlushTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<Database> OpenIn(const QTemporaryDir& dir, SqliteSync sync) {
    QString error;
    auto db = Database::Open(QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("t.db")),
                             sync, &error);
    if (!db || !db->Migrate(&error)) qWarning("%s", qPrintable(error));
    return db;
  }

 private slots:
  void commitsShareFlushesAndAnswersKeepTheirOrder() {
    QTemporaryDir dir;
    auto db = OpenIn(dir, SqliteSync::kFull);
    QVERIFY(db);
    const quint64 flushes_before = db->Flushes();
    constexpr int kChanges = 40;
    QList<int> answered;
    for (int i = 0; i < kChanges; ++i) {
      Transaction transaction(*db);
      db->Execute("INSERT INTO schema_version (version) VALUES (?)", {100 + i});
      transaction.Commit();
      db->WhenDurable([&answered, i](bool) { answered.append(i); });
      // A read between the changes is answered in its turn, not before them.
      if (i == 0) db->WhenDurable([&answered](bool) { answered.append(-1); });
    }
    // No answer leaves before a flush has run.
    QCOMPARE(answered.size(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(answered.size(), kChanges + 1, 10000);
    QList<int> expected{0, -1};
    for (int i = 1; i < kChanges; ++i) expected.append(i);
    QCOMPARE(answered, expected);
    const quint64 flushes = db->Flushes() - flushes_before;
    QVERIFY2(flushes >= 1 && flushes <= kChanges / 4,
             qPrintable(QStringLiteral("%1 flushes for %2 changes").arg(flushes).arg(kChanges)));
    // With nothing waiting, a read is answered at once.
    bool read = false;
    db->WhenDurable([&read](bool) { read = true; });
    QVERIFY(read);
  }

  void normalModeAnswersAtOnce() {
    QTemporaryDir dir;
    auto db = OpenIn(dir, SqliteSync::kNormal);
    QVERIFY(db);
    Transaction transaction(*db);
    db->Execute("INSERT INTO schema_version (version) VALUES (100)");
    transaction.Commit();
    bool answered = false;
    db->WhenDurable([&answered](bool) { answered = true; });
    QVERIFY(answered);
    QCOMPARE(db->Flushes(), quint64{0});
  }
};

QTEST_GUILESS_MAIN(LogFlushTest)
#include "log_flush_unit.moc"
