// The results page as a browser lays it out: the page the real service
// serves is rendered by headless Chromium at a desktop width (1366 px) and a
// phone width (390 px), and measured inside the browser: the document must
// be no wider than the window (tables scroll in their own boxes, charts
// follow the width) and every student of the class must have a visible row.
// With ZORVANIX_RESULTS_SCREENSHOTS=DIR the two renderings are also saved as
// DIR/results-desktop.png and DIR/results-phone.png.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>

#include "tests/server/service_http.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {
namespace {

const QString kClass = QStringLiteral("初二(3)班");
const QString kOk = QStringLiteral("Success!");
constexpr int kDesktop = 1366;
constexpr int kPhone = 390;
const QStringList kStudents = {
    QStringLiteral("王小明"), QStringLiteral("李芳"),     QStringLiteral("张伟"),
    QStringLiteral("刘洋"),   QStringLiteral("陈静"),     QStringLiteral("杨帆"),
    QStringLiteral("赵磊"),   QStringLiteral("黄丽"),     QStringLiteral("周杰"),
    QStringLiteral("吴敏"),   QStringLiteral("欧阳明月"), QStringLiteral("孙强")};

// Runs in the page once it is laid out and sends its measurements to the
// frame around it.
constexpr char kMeasure[] = R"(
<script>
window.addEventListener('load', function () {
  var rows = Array.prototype.slice.call(document.querySelectorAll('tr.student'));
  var shown = rows.filter(function (r) {
    var box = r.getBoundingClientRect();
    return box.height > 0 && box.width > 0;
  }).map(function (r) { return r.cells[1].textContent; });
  parent.postMessage(JSON.stringify({
    frame: window.name,
    viewport: window.innerWidth,
    document: document.documentElement.scrollWidth,
    body: document.body.scrollWidth,
    shown: shown
  }), '*');
});
</script>
)";

// Headless Chromium keeps its window at least 500 px wide, so the page is
// shown in frames of the widths under test (each its own viewport: media
// queries, percentages and scroll widths all follow the frame), one below
// the other, and each frame's report is written into the outer document for
// --dump-dom: one browser start measures every width.
QByteArray Frames(const QString& page, const QList<QSize>& sizes) {
  QString frames;
  for (const QSize& size : sizes) {
    frames += QStringLiteral(
                  "<iframe name=\"w%1\" src=\"%2\" style=\"width:%1px;height:%3px\">"
                  "</iframe>")
                  .arg(size.width())
                  .arg(page)
                  .arg(size.height());
  }
  return QStringLiteral(
             "<!DOCTYPE html><html><head><meta charset=\"UTF-8\"><style>"
             "html,body{margin:0;background:#fff}iframe{border:0;display:block}</style></head>"
             "<body>%1<script>"
             "window.addEventListener('message',function(e){var p=document.createElement('pre');"
             "p.className='zv-measure';p.textContent=e.data;document.body.appendChild(p);});"
             "</script></body></html>\n")
      .arg(frames)
      .toUtf8();
}

QString Chromium() {
  for (const char* name : {"chromium", "chromium-browser"}) {
    const QString found = QStandardPaths::findExecutable(QString::fromLatin1(name));
    if (!found.isEmpty()) return found;
  }
  return QString();
}

}  // namespace

class ResultsBrowserTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    chromium_ = Chromium();
    if (chromium_.isEmpty()) {
      QSKIP(
          "chromium is not installed (Debian package chromium, in scripts/setup): "
          "the results page was not rendered in a browser");
    }
    QVERIFY(work_.isValid());
    ZV_START_SERVICE(server_);
    http_ = std::make_unique<ServiceHttp>(server_.Root());
    page_ = FetchPage();
    QVERIFY(!page_.isEmpty());
    QVERIFY(WriteFile(work_.filePath(QStringLiteral("results.html")), page_.toUtf8() + kMeasure));
    const QString frames = work_.filePath(QStringLiteral("frames.html"));
    QVERIFY(WriteFile(frames, Frames(QStringLiteral("results.html"),
                                     {QSize(kDesktop, 1400), QSize(kPhone, 1400)})));
    const QString dom = Run(kDesktop, 1400, {QStringLiteral("--dump-dom")}, frames);
    static const QRegularExpression kReport(
        QStringLiteral("<pre class=\"zv-measure\">(.*?)</pre>"));
    for (auto it = kReport.globalMatch(dom); it.hasNext();) {
      const QJsonObject report =
          QJsonDocument::fromJson(it.next()
                                      .captured(1)
                                      .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
                                      .toUtf8())
              .object();
      measured_.insert(report.value(QStringLiteral("frame")).toString(), report);
    }
    QVERIFY2(measured_.size() == 2, qPrintable(dom.left(3000)));
  }

  void fitsTheWindowWithEveryStudent_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("shot");
    QTest::newRow("desktop 1366 px") << kDesktop << 1400 << QStringLiteral("results-desktop.png");
    QTest::newRow("phone 390 px") << kPhone << 1400 << QStringLiteral("results-phone.png");
  }

  void fitsTheWindowWithEveryStudent() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, shot);
    const QJsonObject measured = measured_.value(QStringLiteral("w%1").arg(width));
    const QByteArray report = QJsonDocument(measured).toJson(QJsonDocument::Compact);
    QCOMPARE(measured.value(QStringLiteral("viewport")).toInt(), width);
    QVERIFY2(measured.value(QStringLiteral("document")).toInt() <= width, report.constData());
    QVERIFY2(measured.value(QStringLiteral("body")).toInt() <= width, report.constData());
    QStringList shown;
    for (const auto& name : measured.value(QStringLiteral("shown")).toArray()) {
      shown.append(name.toString());
    }
    shown.sort();
    QStringList expected = kStudents;
    expected.sort();
    QCOMPARE(shown, expected);

    const QString screenshots = qEnvironmentVariable("ZORVANIX_RESULTS_SCREENSHOTS");
    if (!screenshots.isEmpty()) {
      // The page alone, without the measuring script; below 500 px in a
      // frame, cut to the frame.
      QString shown = work_.filePath(QStringLiteral("plain.html"));
      if (width < 500) {
        shown = work_.filePath(QStringLiteral("shot-%1.html").arg(width));
        QVERIFY(WriteFile(shown, Frames(QStringLiteral("plain.html"), {QSize(width, height)})));
      }
      const QString path = QDir(screenshots).absoluteFilePath(shot);
      const QString wide = work_.filePath(shot);
      Run(std::max(width, 500), height, {QStringLiteral("--screenshot=") + wide}, shown);
      QVERIFY2(QFile::exists(wide), qPrintable(wide));
      QFile::remove(path);
      if (width >= 500) {
        QVERIFY(QFile::copy(wide, path));
      } else {
        QCOMPARE(QProcess::execute(QStringLiteral("convert"),
                                   {wide, QStringLiteral("-crop"),
                                    QStringLiteral("%1x%2+0+0").arg(width).arg(height),
                                    QStringLiteral("+repage"), path}),
                 0);
      }
    }
  }

 private:
  // A class of twelve with scores over the last weeks (so every trend has
  // points), one student never scored, three groups, and a note long
  // enough to push a careless table off a phone's screen.
  QString FetchPage() {
    const Account t{QStringLiteral("browser_teacher"), QStringLiteral("登录b"),
                    QStringLiteral("op-b"), QStringLiteral("李老师")};
    if (Register(*http_, t) != kOk ||
        Change(*http_, QStringLiteral("/score/setclass.php"), t, {{"class", kClass}}) != kOk ||
        Change(*http_, QStringLiteral("/score/student.php"), t,
               {{"class", kClass}, {"student", kStudents.join(u'|')}}) != kOk ||
        Change(*http_, QStringLiteral("/score/setketi.php"), t, {{"keti", "课堂提问"}}) != kOk) {
      qWarning("setting up the teacher failed");
      return QString();
    }
    const QDateTime now =
        QDateTime::currentDateTimeUtc().toTimeZone(QTimeZone(QByteArrayLiteral("Asia/Shanghai")));
    // Each student a level of their own, each week a little up or down.
    static const char* kScores[] = {"-1分", "0分", "1分", "2分", "3分", "4分", "5分"};
    auto score = [](int student, int week) {
      const int level = 6 - student / 3 + ((student * 5 + week * 3) % 7 == 0 ? -2 : 0);
      return kScores[std::clamp(level - (week * student) % 3, 0, 6)];
    };
    QStringList lines;
    for (int week = 7; week >= 1; --week) {
      for (int s = 0; s + 1 < kStudents.size(); ++s) {
        const QDateTime at = now.addDays(-7 * week).addSecs(60 * s);
        for (int k = 0; k < 1 + (s + week) % 3; ++k) {
          lines.append(
              ScoreLineText(kClass, kStudents[s], score(s, week + k),
                            at.addSecs(k).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))));
        }
      }
    }
    if (Upload(*http_, t, QStringLiteral("课堂提问"), lines) != kOk) return QString();
    QStringList today;
    for (int s = 0; s < 8; ++s) {
      today.append(ScoreLineText(
          kClass, kStudents[s], score(s, 0),
          now.addSecs(-600 + 60 * s).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
          s == 2 ? QStringLiteral("回答完整，思路清晰，能够举一反三并主动帮助同组同学理解题目的"
                                  "关键步骤，值得全班学习")
                 : QString()));
    }
    if (Upload(*http_, t, QStringLiteral("课堂提问"), today) != kOk) return QString();
    if (Change(*http_, QStringLiteral("/score/group.php"), t,
               {{"class", kClass},
                {"group[0]", "王小明|李芳|张伟|刘洋"},
                {"group[1]", "陈静|杨帆|赵磊|黄丽"},
                {"group[2]", "周杰|吴敏|欧阳明月|孙强"}}) != kOk) {
      return QString();
    }
    const HttpResult page = Read(*http_, QStringLiteral("/score/"), t, {{"n", "8"}});
    if (page.status != 200) return QString();
    WriteFile(work_.filePath(QStringLiteral("plain.html")), page.body);
    return QString::fromUtf8(page.body);
  }

  static bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
  }

  // Chromium's output (the dumped document) for a saved file.
  QString Run(int width, int height, const QStringList& what, const QString& file) {
    QProcess browser;
    browser.setProgram(chromium_);
    browser.setArguments(
        QStringList{QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
                    QStringLiteral("--disable-gpu"), QStringLiteral("--disable-dev-shm-usage"),
                    QStringLiteral("--no-first-run"),
                    QStringLiteral("--user-data-dir=") + work_.filePath(QStringLiteral("profile")),
                    QStringLiteral("--window-size=%1,%2").arg(width).arg(height),
                    QStringLiteral("--hide-scrollbars"),
                    QStringLiteral("--virtual-time-budget=3000")} +
        what + QStringList{QUrl::fromLocalFile(file).toString()});
    browser.start();
    if (!browser.waitForFinished(60000)) {
      browser.kill();
      browser.waitForFinished();
      qWarning("chromium did not finish within 60 s");
    }
    if (browser.exitCode() != 0) {
      qWarning("chromium: %s", browser.readAllStandardError().constData());
    }
    return QString::fromUtf8(browser.readAllStandardOutput());
  }

  QString chromium_;
  QTemporaryDir work_;
  ServerProcess server_;
  std::unique_ptr<ServiceHttp> http_;
  QString page_;
  QHash<QString, QJsonObject> measured_;  // by frame ("w390")
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::ResultsBrowserTest)
#include "results_browser.moc"
