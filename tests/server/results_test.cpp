// The results page a teacher opens after an upload, read as the browser
// gets it: students of the uploaded class by average with their counts and
// trend, "—" for one never scored, the date filter's periods, the totals of
// the class's groups, names and topics shown as text and never as markup,
// the CSV download of the page's records, and the same password check.
#include <QRegularExpression>
#include <QTimeZone>
#include <QtTest>

#include "core/service_time.h"
#include "tests/server/service_http.h"
#include "tests/support/csv_reader.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

const QString kClass = QStringLiteral("初一(1)班");
const QString kOk = QStringLiteral("Success!");

QString Unescape(QString text) {
  text.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
  text.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
  text.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
  text.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
  text.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
  return text;
}

// The cells of every row of one kind ("student", "group") as text, in page
// order; markup inside a cell (a chart) is dropped.
QList<QStringList> TableRows(const QString& html, const QString& kind) {
  QList<QStringList> rows;
  static const QRegularExpression kCell(QStringLiteral("<td[^>]*>(.*?)</td>"),
                                        QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression kTag(QStringLiteral("<[^>]*>"));
  const QRegularExpression row(QStringLiteral("<tr class=\"%1\">(.*?)</tr>").arg(kind),
                               QRegularExpression::DotMatchesEverythingOption);
  for (auto it = row.globalMatch(html); it.hasNext();) {
    QStringList cells;
    const QString inner = it.next().captured(1);
    for (auto cell = kCell.globalMatch(inner); cell.hasNext();) {
      cells.append(Unescape(cell.next().captured(1).remove(kTag)));
    }
    rows.append(cells);
  }
  return rows;
}

// Name, average, count of the student rows (rank and charts left out).
QStringList Students(const QString& html) {
  QStringList students;
  for (const QStringList& cells : TableRows(html, QStringLiteral("student"))) {
    if (cells.size() >= 5) students.append(QStringList{cells[1], cells[2], cells[4]}.join(u'\t'));
  }
  return students;
}

QString At(const QDate& day, const char* time) {
  return day.toString(QStringLiteral("yyyy-MM-dd ")) + QLatin1String(time);
}

}  // namespace

class ResultsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ZV_START_SERVICE(server_);
    http_ = std::make_unique<ServiceHttp>(server_.Root());
  }

  void studentsByAverageWithCountsAndNeverScoredLast() {
    const Account t = ClassOf(QStringLiteral("average_teacher"), {"张三", "李四", "王五", "赵六"});
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText(kClass, "李四", "-1分", "2024-03-01 08:00:00"),
                     ScoreLineText(kClass, "王五", "3分", "2024-03-01 08:01:00"),
                     ScoreLineText(kClass, "王五", "3分", "2024-03-01 08:02:00"),
                     ScoreLineText(kClass, "王五", "4分", "2024-03-01 08:03:00"),
                     ScoreLineText(kClass, "张三", "5分", "2024-03-01 08:04:00"),
                     ScoreLineText(kClass, "张三", "4分", "2024-03-01 08:05:00")}),
             kOk);
    const QString html = Page(t, {{"n", "6"}});
    // Averages, not totals: 王五's total (10) is the largest, 张三's average.
    QCOMPARE(Students(html),
             QStringList({"张三\t4.5\t2", "王五\t3.33\t3", "李四\t-1\t1", "赵六\t—\t0"}));
    const QList<QStringList> rows = TableRows(html, QStringLiteral("student"));
    QCOMPARE(rows[0][0], QStringLiteral("1"));
    QCOMPARE(rows[2][0], QStringLiteral("3"));
    QCOMPARE(rows[3][0], QString());  // no rank without a score
    // A bar per scored student; the never scored has none, and no trend
    // either (these scores are years old).
    QCOMPARE(html.count(QStringLiteral("<rect")), 3);
    QCOMPARE(rows[3][5], QStringLiteral("—"));
    // Charts follow the width they are given.
    QVERIFY(!html.contains(QRegularExpression(QStringLiteral("<svg(?![^>]*viewBox)"))));
    QVERIFY(!html.contains(QRegularExpression(QStringLiteral("<svg(?![^>]*width=\"100%\")"))));
    QVERIFY(html.contains(QStringLiteral("@media print")));
    QVERIFY(html.contains(QStringLiteral("overflow-x:auto")));
  }

  void dateFilterCountsTodayAndThisWeek() {
    const Account t = ClassOf(QStringLiteral("range_teacher"), {"甲", "乙", "丙", "丁", "戊"});
    // Not across midnight: the page and the expectations must see one day.
    QDateTime now = SchoolNow();
    while (now.time() > QTime(23, 59, 50)) {
      QTest::qWait(1000);
      now = SchoolNow();
    }
    const QDate today = now.date();
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    struct Moment {
      const char* student;
      QString time;
    };
    const Moment moments[] = {{"甲", At(today, "00:00:00")},
                              {"乙", At(today.addDays(-1), "23:59:59")},
                              {"丙", At(monday, "00:00:00")},
                              {"丁", At(monday.addDays(-1), "23:59:59")},
                              {"戊", At(today.addDays(1), "00:00:00")}};
    QStringList lines;
    for (const Moment& m : moments) lines.append(ScoreLineText(kClass, m.student, "4分", m.time));
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"), lines), kOk);

    auto counted = [&](const QString& range) {
      QStringList names;
      for (const QString& row : Students(Page(t, {{"n", "5"}, {"r", range}}))) {
        if (!row.endsWith(u"\t0")) names.append(row.section(u'\t', 0, 0));
      }
      names.sort();
      return names;
    };
    auto expected = [&](const QDate& from, const QDate& to) {
      QStringList names;
      for (const Moment& m : moments) {
        const QDate day = QDate::fromString(m.time.left(10), QStringLiteral("yyyy-MM-dd"));
        if (day >= from && day < to) names.append(QString::fromUtf8(m.student));
      }
      names.sort();
      return names;
    };
    QCOMPARE(counted(QStringLiteral("today")), expected(today, today.addDays(1)));
    QCOMPARE(counted(QStringLiteral("week")), expected(monday, monday.addDays(7)));
    QVERIFY(!counted(QStringLiteral("week")).contains(QStringLiteral("丁")));
    QCOMPARE(counted(QStringLiteral("all")).size(), 5);
    // The current period is marked; the others are links.
    QVERIFY(Page(t, {{"n", "5"}, {"r", "week"}})
                .contains(QStringLiteral("<strong aria-current=\"page\">本周</strong>")));
  }

  void filterLinksKeepTheAddressAndOpen() {
    const Account t = ClassOf(QStringLiteral("link_teacher"), {"张三"});
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText(kClass, "张三", "5分", "2024-03-01 08:00:00")}),
             kOk);
    const QString html = Page(t, {{"n", "1"}});
    const QRegularExpression link(QStringLiteral("<a href=\"\\?([^\"]*r=week)\">本周</a>"));
    const auto match = link.match(html);
    QVERIFY2(match.hasMatch(), qPrintable(html));
    const QString query = Unescape(match.captured(1));
    QCOMPARE(query, QStringLiteral("t=%1&n=1&mp=%2&r=week").arg(t.user, t.Digest()));
    const HttpResult followed = http_->GetTarget(("/score/?" + query).toLatin1());
    QCOMPARE(followed.status, 200);
    QVERIFY(
        QString::fromUtf8(followed.body).contains(QStringLiteral("aria-current=\"page\">本周")));
  }

  void groupTotalsOfTheCurrentDivision() {
    const Account t = ClassOf(QStringLiteral("group_teacher"), {"张三", "李四", "王五", "赵六"});
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText(kClass, "张三", "5分", "2024-03-01 08:00:00"),
                     ScoreLineText(kClass, "张三", "4分", "2024-03-01 08:01:00"),
                     ScoreLineText(kClass, "李四", "-1分", "2024-03-01 08:02:00"),
                     ScoreLineText(kClass, "王五", "4.5分", "2024-03-01 08:03:00"),
                     ScoreLineText(kClass, "王五", "4.5分", "2024-03-01 08:04:00")}),
             kOk);
    QVERIFY(Page(t).contains(QStringLiteral("本班尚未分组")));
    QCOMPARE(Change(*http_, QStringLiteral("/score/group.php"), t,
                    {{"class", kClass}, {"group[0]", "张三|李四"}, {"group[2]", "王五|赵六"}}),
             kOk);
    // Rank, group, members, scores, total, average; the higher total first.
    QCOMPARE(TableRows(Page(t), QStringLiteral("group")),
             QList<QStringList>(
                 {{"1", "第3组", "2", "2", "9", "4.5"}, {"2", "第1组", "2", "3", "8", "2.67"}}));
    // A new division counts at once, with the scores its members already have.
    QCOMPARE(Change(*http_, QStringLiteral("/score/group.php"), t,
                    {{"class", kClass}, {"group[0]", "张三|王五"}, {"group[1]", "李四|赵六"}}),
             kOk);
    QCOMPARE(TableRows(Page(t), QStringLiteral("group")),
             QList<QStringList>(
                 {{"1", "第1组", "2", "4", "18", "4.5"}, {"2", "第2组", "2", "1", "-1", "-1"}}));
  }

  void namesAndTopicsAreShownAsText() {
    const QString hostile = QStringLiteral("<img src=x onerror=alert(1)>&amp;");
    Account t{QStringLiteral("hostile_teacher"), QStringLiteral("登录h"), QStringLiteral("op-h"),
              QStringLiteral("<b>王</b>")};
    QCOMPARE(Register(*http_, t), kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), t, {{"class", "<i>班</i>"}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/student.php"), t,
                    {{"class", "<i>班</i>"}, {"student", hostile + "|\"引号\""}}),
             kOk);
    QCOMPARE(Change(*http_, QStringLiteral("/score/setketi.php"), t,
                    {{"keti", "<script>alert(2)</script>"}}),
             kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("<script>alert(2)</script>"),
                    {ScoreLineText("<i>班</i>", hostile, "5分", "2024-03-01 08:00:00",
                                   "</td><script>x</script>")}),
             kOk);
    const QString html = Page(t);
    QVERIFY(!html.contains(QStringLiteral("<script")));
    QVERIFY(!html.contains(QStringLiteral("<img")));
    QVERIFY(!html.contains(QStringLiteral("<b>")));
    QVERIFY(!html.contains(QStringLiteral("<i>")));
    QVERIFY(html.contains(QStringLiteral("&lt;img src=x onerror=alert(1)&gt;&amp;amp;")));
    QVERIFY(html.contains(QStringLiteral("&lt;b&gt;王&lt;/b&gt;老师")));
    // The names still read as they were typed.
    QCOMPARE(Students(html),
             QStringList({hostile + QStringLiteral("\t5\t1"), QStringLiteral("\"引号\"\t—\t0")}));
  }

  void csvDownloadHoldsThePageRecords() {
    const Account t = ClassOf(QStringLiteral("csv_teacher"), {"张三", "李四"});
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText(kClass, "张三", "5分", "2024-03-01 08:00:00", "old")}),
             kOk);
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText(kClass, "李四", "-1分", "2024-03-02 08:00:00", "=SUM(A1:A9)"),
                     ScoreLineText(kClass, "张三", "3.5分", "2024-03-02 08:01:00",
                                   "读得\"好\",声音大")}),
             kOk);
    const QString html = Page(t, {{"n", "2"}});
    const auto link =
        QRegularExpression(QStringLiteral("<a href=\"\\?([^\"]*csv=1)\" download>")).match(html);
    QVERIFY2(link.hasMatch(), qPrintable(html));
    const HttpResult csv = http_->GetTarget(("/score/?" + Unescape(link.captured(1))).toLatin1());
    QCOMPARE(csv.status, 200);
    QCOMPARE(csv.content_type, QByteArray("text/csv; charset=UTF-8"));
    QVERIFY(csv.body.startsWith("\xEF\xBB\xBF"));
    // The same two records the page lists, newest first, the note's quote and
    // comma kept, a formula-like note guarded, the score a plain number.
    QCOMPARE(
        ParseCsv(QString::fromUtf8(csv.body.mid(3))),
        QList<QStringList>({{"时间", "姓名", "计分", "课题", "说明"},
                            {"2024-03-02 08:01:00", "张三", "3.5", "朗读", "读得\"好\",声音大"},
                            {"2024-03-02 08:00:00", "李四", "-1", "朗读", "'=SUM(A1:A9)"}}));
    const QString listed = html.section(QStringLiteral("<table class=\"latest\">"), 1)
                               .section(QStringLiteral("</table>"), 0, 0);
    QCOMPARE(listed.count(QStringLiteral("<tr><td>")), 2);
    QVERIFY(!listed.contains(QStringLiteral("old")));
  }

  void csvSaysItIsADownload() {
    const Account t = ClassOf(QStringLiteral("disposition_teacher"), {"张三"});
    QByteArray request = "GET /score/?t=" + t.user.toLatin1() + "&n=5&mp=" + t.Digest().toLatin1() +
                         "&csv=1 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n";
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, QUrl(server_.Root()).port());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(request);
    QByteArray reply;
    while (socket.waitForReadyRead(5000)) reply += socket.readAll();
    QVERIFY2(reply.startsWith("HTTP/1.1 200"), reply.constData());
    const QByteArray head = reply.left(reply.indexOf("\r\n\r\n"));
    QVERIFY2(head.contains("\r\nContent-Disposition: attachment; filename=\"scores.csv\""),
             head.constData());
    // A teacher without scores gets the header row alone.
    QCOMPARE(reply.mid(reply.indexOf("\r\n\r\n") + 4),
             QByteArray("\xEF\xBB\xBF") + QStringLiteral("时间,姓名,计分,课题,说明\r\n").toUtf8());
  }

  void wrongDigestIsRefusedForPageAndCsv() {
    const Account t = ClassOf(QStringLiteral("refused_teacher"), {"张三"});
    QCOMPARE(Upload(*http_, t, QStringLiteral("朗读"),
                    {ScoreLineText(kClass, "张三", "5分", "2024-03-01 08:00:00", "秘密")}),
             kOk);
    Account wrong = t;
    wrong.login = QStringLiteral("nope");
    for (const bool csv : {false, true}) {
      const HttpResult refused =
          csv ? Read(*http_, QStringLiteral("/score/"), wrong, {{"n", "5"}, {"csv", "1"}})
              : Read(*http_, QStringLiteral("/score/"), wrong, {{"n", "5"}});
      QCOMPARE(refused.status, 403);
      QVERIFY(!QString::fromUtf8(refused.body).contains(u"秘密"));
      QVERIFY(!QString::fromUtf8(refused.body).contains(u"张三"));
    }
  }

 private:
  QDateTime SchoolNow() const {
    return QDateTime::currentDateTimeUtc().toTimeZone(
        QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
  }

  // A teacher with class 初一(1)班 of these students and topic 朗读.
  Account ClassOf(const QString& user, std::initializer_list<const char*> students) {
    QStringList names;
    for (const char* name : students) names.append(QString::fromUtf8(name));
    const Account t{user, QStringLiteral("登录") + user, QStringLiteral("op-") + user};
    if (Register(*http_, t) != kOk ||
        Change(*http_, QStringLiteral("/score/setclass.php"), t, {{"class", kClass}}) != kOk ||
        Change(*http_, QStringLiteral("/score/student.php"), t,
               {{"class", kClass}, {"student", names.join(u'|')}}) != kOk ||
        Change(*http_, QStringLiteral("/score/setketi.php"), t, {{"keti", "朗读"}}) != kOk) {
      qWarning("setting up %s failed", qPrintable(user));
    }
    return t;
  }

  QString Page(const Account& t, std::initializer_list<std::pair<QString, QString>> fields = {}) {
    const HttpResult page = Read(*http_, QStringLiteral("/score/"), t, fields);
    if (page.status != 200) qWarning("results page: status %d", page.status);
    return QString::fromUtf8(page.body);
  }

  ServerProcess server_;
  std::unique_ptr<ServiceHttp> http_;
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::ResultsTest)
#include "results_test.moc"
