// The cache file: tagged look-ups, the program's CacheFile with its in-memory
// index and its one writer, and the line kinds.
#include "core/cache_file.h"

#include <QTemporaryDir>
#include <QtTest>

#include "core/gbk.h"

using namespace zorvanix;

namespace {

const QString kRecord = QStringLiteral(
    "Class_Is_Ready\t1\t10\t一班\t\r\n"
    "[keti]\t课堂表现\t回答正确\t2\t主动提问\t1\t\r\n"
    "[keti]\t作业\t\r\n"
    "[keti]\t课堂表现\t重复\t9\t\r\n"
    "1\t张三\t0\t1001\t4.5\t2\r\n"
    "10\t李四\t3\t1002\t3\t1\r\n"
    "1\t王五, \"小王\"\t1\t1003\t0\t0\r\n"
    "一班\t赵六\t15\t\t5\t7\r\n"
    "[KETI]\tupper\t\r\n"
    "[keti]\r\n"
    "1\t坏行\t1\r\n");

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

}  // namespace

class CacheFileTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    path_ = dir_.filePath(QStringLiteral("ServerRec%1.dmd").arg(++file_number_));
    WriteBytes(path_, EncodeGbk(kRecord));
  }

  void LinesBeginningWithTheTagInFileOrder_data() {
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("lines");
    QTest::newRow("prefix class matches both")
        << QStringLiteral("1")
        << QStringLiteral(
               "1\t张三\t0\t1001\t4.5\t2\r\n10\t李四\t3\t1002\t3\t1\r\n"
               "1\t王五, \"小王\"\t1\t1003\t0\t0\r\n1\t坏行\t1\r\n");
    QTest::newRow("roster tag keeps class 1 apart")
        << RosterTag(u"1")
        << QStringLiteral(
               "1\t张三\t0\t1001\t4.5\t2\r\n1\t王五, \"小王\"\t1\t1003\t0\t0\r\n"
               "1\t坏行\t1\r\n");
    QTest::newRow("one student, comma and quotes whole")
        << StudentTag(u"1", u"王五, \"小王\"")
        << QStringLiteral("1\t王五, \"小王\"\t1\t1003\t0\t0\r\n");
    QTest::newRow("one topic, both duplicates")
        << TopicTag(u"课堂表现")
        << QStringLiteral(
               "[keti]\t课堂表现\t回答正确\t2\t主动提问\t1\t\r\n"
               "[keti]\t课堂表现\t重复\t9\t\r\n");
    QTest::newRow("case-sensitive, at the start only")
        << QStringLiteral("[KETI]") << QStringLiteral("[KETI]\tupper\t\r\n");
    QTest::newRow("no match") << QStringLiteral("二班\t") << QString();
    QTest::newRow("Chinese class")
        << RosterTag(u"一班") << QStringLiteral("一班\t赵六\t15\t\t5\t7\r\n");
  }
  void LinesBeginningWithTheTagInFileOrder() {
    QFETCH(QString, tag);
    QFETCH(QString, lines);
    QCOMPARE(ReadTaggedLines(path_, tag), lines);
    // The program's object answers the same from its index.
    const CacheFile cache(path_);
    QCOMPARE(cache.ReadTaggedLines(tag), lines);
  }

  void MissingFileOrUnusualLineEndsStillRead() {
    QCOMPARE(ReadTaggedLines(dir_.filePath(QStringLiteral("absent.dmd")), u"1"), QString());
    QCOMPARE(ReadTaggedLines(dir_.path(), u""), QString());
    WriteBytes(path_, EncodeGbk(QStringLiteral("1\ta\r2\tb\n1\tc\r\n\r\n1\td")));
    QCOMPARE(ReadTaggedLines(path_, u"1"), QStringLiteral("1\ta\r\n1\tc\r\n1\td\r\n"));
    QCOMPARE(ReadTaggedLines(path_, u""), QStringLiteral("1\ta\r\n2\tb\r\n1\tc\r\n\r\n1\td\r\n"));
  }

  // A download replaces the file; an editor may rewrite it in place. Either
  // way, same size or not, look-ups see the new text: a replacement at once,
  // an in-place rewrite within the same stamp within a quarter second.
  void ChangedFileIsNoticedEvenWithTheSameSize() {
    const CacheFile cache(path_);
    QCOMPARE(cache.ReadTaggedLines(u"1\t张三"), QStringLiteral("1\t张三\t0\t1001\t4.5\t2\r\n"));
    QString same_size = kRecord;
    same_size.replace(QStringLiteral("张三"), QStringLiteral("张四"));
    WriteBytes(path_, EncodeGbk(same_size));  // in place, same size, same moment
    QTRY_COMPARE_WITH_TIMEOUT(cache.ReadTaggedLines(u"1\t张"),
                              QStringLiteral("1\t张四\t0\t1001\t4.5\t2\r\n"), 2000);

    const QString fresh = path_ + QStringLiteral(".new");
    WriteBytes(fresh, EncodeGbk(kRecord));
    QVERIFY(QFile::remove(path_));
    QCOMPARE(cache.ReadTaggedLines(u"1"), QString());
    QVERIFY(!cache.Index());
    QVERIFY(QFile::rename(fresh, path_));
    QCOMPARE(cache.ReadTaggedLines(u"1\t张"), QStringLiteral("1\t张三\t0\t1001\t4.5\t2\r\n"));
  }

  // Once the file has stood still for a moment, look-ups come from memory:
  // no read, the same index. A replacement is read again at once.
  void UnchangedFileIsNotReadAgain() {
    const CacheFile cache(path_);
    const auto quiet = [&cache] {
      const auto index = cache.Index();
      const qint64 reads = cache.FileReads();
      return cache.Index() == index && cache.FileReads() == reads;
    };
    QTRY_VERIFY_WITH_TIMEOUT(quiet(), 6000);
    const qint64 reads = cache.FileReads();
    const auto index = cache.Index();
    for (int i = 0; i < 1000; ++i) cache.ReadTaggedLines(StudentTag(u"1", u"张三"));
    QCOMPARE(cache.FileReads(), reads);
    QCOMPARE(cache.Index(), index);

    const QString fresh = path_ + QStringLiteral(".new");
    WriteBytes(fresh, EncodeGbk(QStringLiteral("1\t新生\t0\t1\t0\t0\r\n")));
    QVERIFY(QFile::remove(path_) && QFile::rename(fresh, path_));
    QCOMPARE(cache.ReadTaggedLines(u"1\t"), QStringLiteral("1\t新生\t0\t1\t0\t0\r\n"));
    QCOMPARE(cache.FileReads(), reads + 1);
  }

  // The download writes through Replace(): the very next look-up sees the new
  // text without reading it back, the file holds exactly the bytes, and two
  // objects over two folders never see each other's file.
  void ReplaceIsSeenAtOnceWithoutReadingTheFileBack() {
    CacheFile cache(path_);
    QCOMPARE(cache.ClassNames().size(), 3);
    const qint64 reads = cache.FileReads();
    const QByteArray bytes = EncodeGbk(QStringLiteral("Class_Is_Ready\t二班\t\r\n"));
    QVERIFY(cache.Replace(bytes));
    QCOMPARE(cache.ClassNames(), QStringList{QStringLiteral("二班")});
    QCOMPARE(cache.FileReads(), reads);
    QFile file(path_);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);

    QTemporaryDir other_dir;
    const CacheFile other(other_dir.filePath(QStringLiteral("ServerRec.dmd")));
    QVERIFY(!other.Exists());
    QCOMPARE(other.ClassNames(), QStringList());
  }

  // A file that cannot be written leaves the old one, and what it answers.
  void AFailedReplaceKeepsTheOldFile() {
    CacheFile cache(dir_.filePath(QStringLiteral("no-such-folder/ServerRec.dmd")));
    QVERIFY(!cache.Replace("Class_Is_Ready\tA\t\r\n"));
    QVERIFY(!cache.Exists());
    QCOMPARE(cache.ClassNames(), QStringList());

    CacheFile kept(path_);
    QVERIFY(QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool replaced = kept.Replace("Class_Is_Ready\tA\t\r\n");
    QVERIFY(QFile::setPermissions(dir_.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (replaced) QSKIP("this user may write into a read-only folder (root)");
    QCOMPARE(kept.ClassNames().size(), 3);
  }

  // A teacher whose download failed must not see the previous teacher's
  // data: the file goes aside, kept, and nothing is read from it any more.
  void SetAsideKeepsTheFileBesideAndReadsNothing() {
    CacheFile cache(path_);
    QCOMPARE(cache.ClassNames().size(), 3);
    QVERIFY(cache.SetAside(QStringLiteral(".previous")));
    QVERIFY(!cache.Exists());
    QCOMPARE(cache.ClassNames(), QStringList());
    QVERIFY(QFile::exists(path_ + QStringLiteral(".previous")));
    QVERIFY(cache.SetAside(QStringLiteral(".previous")));  // nothing left to move
    QCOMPARE(ReadTaggedLines(path_ + QStringLiteral(".previous"), kClassListTag),
             QStringLiteral("Class_Is_Ready\t1\t10\t一班\t\r\n"));
  }

  // What the windows ask of the cache: the classes, the topics with their
  // criteria, the roster of one class, one student.
  void TheWindowsQuestions() {
    const CacheFile cache(path_);
    QCOMPARE(cache.ClassNames(),
             QStringList({QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("一班")}));
    const QList<TopicLine> topics = cache.Topics();
    QCOMPARE(topics.size(), 3);  // "[keti]" alone names no topic
    QCOMPARE(topics[0].name, QStringLiteral("课堂表现"));
    QCOMPARE(topics[0].criteria.size(), 2);
    QCOMPARE(topics[1].name, QStringLiteral("作业"));
    const QList<StudentRow> roster = cache.Roster(u"1");
    QCOMPARE(roster.size(), 2);  // not class 10's, not the three-field line
    QCOMPARE(roster[1].name, QStringLiteral("王五, \"小王\""));
    StudentRow row;
    QVERIFY(cache.Student(u"一班", u"赵六", &row));
    QCOMPARE(row.GroupIndex(), 15);
    QCOMPARE(row.CountValue(), 7.0);
    QVERIFY(!cache.Student(u"1", u"坏行", &row));  // three fields: no student
    QVERIFY(!cache.Student(u"1", u"张", &row));    // a name is matched whole
  }

  void ClassAndTopicNames() {
    QCOMPARE(ClassNamesFromCache(ReadTaggedLines(path_, kClassListTag)),
             QStringList({QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("一班")}));
    QCOMPARE(ClassNamesFromCache(ClassListLine({QStringLiteral("二班"), QStringLiteral("三班")})),
             QStringList({QStringLiteral("二班"), QStringLiteral("三班")}));
    QCOMPARE(ClassNamesFromCache(u""), QStringList());
    // A line without a name ("[keti]" alone) adds nothing; the first is the default.
    QCOMPARE(TopicNamesFromCache(ReadTaggedLines(path_, kTopicTag)),
             QStringList(
                 {QStringLiteral("课堂表现"), QStringLiteral("作业"), QStringLiteral("课堂表现")}));
  }

  void TopicLineCriteriaPairs() {
    TopicLine topic;
    QVERIFY(ParseTopicLine(u"[keti]\t课堂表现\t回答正确\t2\t主动提问\t1.5\t\r", &topic));
    QCOMPARE(topic.name, QStringLiteral("课堂表现"));
    QCOMPARE(topic.criteria.size(), 2);
    QCOMPARE(topic.criteria[1].text, QStringLiteral("主动提问"));
    QCOMPARE(topic.criteria[1].score, QStringLiteral("1.5"));
    QVERIFY(ParseTopicLine(TopicLineText(topic), &topic));
    QCOMPARE(topic.criteria.size(), 2);
    QVERIFY(ParseTopicLine(u"[keti]\t作业\t", &topic));
    QVERIFY(topic.criteria.isEmpty());
    QVERIFY(!ParseTopicLine(u"[keti]", &topic));
  }

  void RosterRowsNeedExactlySixFields() {
    const QList<StudentRow> rows = StudentRowsFromText(ReadTaggedLines(path_, RosterTag(u"1")));
    QCOMPARE(rows.size(), 2);  // the three-field line is skipped
    QCOMPARE(rows[0].name, QStringLiteral("张三"));
    QCOMPARE(rows[0].GroupIndex(), 0);
    QCOMPARE(rows[0].AverageValue(), 4.5);
    QCOMPARE(rows[0].CountValue(), 2.0);
    StudentRow row;
    QVERIFY(ParseStudentRow(StudentRowText(rows[1]), &row));
    QCOMPARE(row.name, rows[1].name);
    QVERIFY(!ParseStudentRow(u"1\t张三\t0\t1001\t4.5\t2\t", &row));
    for (const char16_t* group : {u"16", u"-1", u"x", u""}) {
      row.group = QString::fromUtf16(group);
      QCOMPARE(row.GroupIndex(), -1);
    }
  }

 private:
  QTemporaryDir dir_;
  QString path_;
  int file_number_ = 0;
};

QTEST_GUILESS_MAIN(CacheFileTest)
#include "cache_file_test.moc"
