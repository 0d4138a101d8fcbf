// The upload panel against the real service: only the selected lines are
// sent and leave the pending list, a refusal keeps everything, a network
// failure offers the score file instead; score files round-trip byte for
// byte, fail safe and never lose pending lines; a large selection goes in
// parts that each fit the service's limit; the line editor.
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

#include "core/form_encoding.h"
#include "core/gbk.h"
#include "rollcall/score_upload.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/rollcall/submission_fixture.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kFilter = QString::fromUtf16(kScoreFileFilter);

QListWidget* PendingList(const RollCallWindow* window) {
  return Child<QListWidget>(window, QStringLiteral("List4"));
}

// Three scores a minute apart: 张三 5分, 李四 4分, 王五 3分.
QStringList ScoreThreeStudents(OnlineScene& scene) {
  const QStringList names = {"张三", "李四", "王五"};
  for (int i = 0; i < names.size(); ++i) {
    ScoreByHand(scene.window, names[i], i);
    scene.context.Time().Advance(60);
  }
  return scene.window->PendingScores();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  QCOMPARE(file.write(bytes), bytes.size());
}

// A service that refuses request bodies over 8 KiB; the program keeps each
// upload within 4 KiB.
constexpr qsizetype kSmallServiceLimit = 8 * 1024;
constexpr qsizetype kSmallBatch = 4 * 1024;

std::unique_ptr<ServerProcess> StartSmallLimitService() {
  ServerProcess::Options options;
  options.extra_arguments = {QStringLiteral("--max-body"), QString::number(kSmallServiceLimit)};
  auto service = std::make_unique<ServerProcess>(options);
  QString error;
  if (!service->Start(&error)) qWarning("zorvanix-server: %s", qPrintable(error));
  return service;
}

// Imports lines from a score file, as the teacher does with 导入.
void ImportLines(OnlineScene& scene, const QStringList& lines) {
  const QString path = QDir(scene.context.DataDir()).filePath(QStringLiteral("many.dms"));
  WriteBytes(path, ScoreFileBytes(lines));
  scene.context.Prompts().ChooseNextFile(path);
  Click(scene.window, QStringLiteral("Command15"));
}

// How many score uploads the service's access log shows.
qsizetype UploadRequests(ServerProcess& service) {
  return service.Log().count(QStringLiteral("POST /score/index.php"));
}

}  // namespace

class UploadTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { StopSharedServer(); }

  void UploadSendsOnlyTheSelectedLinesAndKeepsTheRest() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    ChooseClass(scene.window, QStringLiteral("一班"));
    const QStringList lines = ScoreThreeStudents(scene);
    QCOMPARE(lines.size(), 3);

    Click(scene.window, QStringLiteral("Command11"));
    QListWidget* pending = PendingList(scene.window);
    QCOMPARE(SelectedEntries(pending), lines);
    auto* upload = Child<QPushButton>(scene.window, QStringLiteral("Command13"));
    QVERIFY(!upload->isEnabled());
    TypeInto(scene.window, QStringLiteral("Text4"), scene.teacher.super_password);
    QVERIFY(upload->isEnabled());
    ClickEntry(pending, 1);  // 李四 stays behind
    QCOMPARE(SelectedEntries(pending), QStringList({lines[0], lines[2]}));

    // While the reply is awaited the button is disabled, and pressing the
    // upload again sends nothing.
    bool enabled_while_waiting = true;
    QTimer::singleShot(0, scene.window, [&] {
      enabled_while_waiting = upload->isEnabled();
      QTest::mouseClick(upload, Qt::LeftButton);
    });
    scene.context.Prompts().AnswerNextQuestion(true);
    QVERIFY(Click(upload));

    QVERIFY(!enabled_while_waiting);
    QVERIFY(upload->isEnabled());
    const PromptRecord asked = scene.context.Prompts().Last();
    QCOMPARE(asked.kind, PromptRecord::Kind::kQuestion);
    QCOMPARE(asked.title, QStringLiteral("成功"));
    QCOMPARE(asked.text, QStringLiteral("上传成功，是否上网查看上传结果！"));
    QCOMPARE(scene.context.Prompts().Records().size(), 1);
    QCOMPARE(scene.ServiceScores(QStringLiteral("一班")),
             QStringList(
                 {"张三\t5\t2026-12-07 09:30:00\t朗读\t", "王五\t3\t2026-12-07 09:32:00\t朗读\t"}));
    QCOMPARE(scene.context.Browser().opened.size(), 1);
    const QUrl results = scene.context.Browser().opened.front();
    QCOMPARE(results, scene.Service().ResultsUrl(2));
    QCOMPARE(QUrlQuery(results).queryItemValue(QStringLiteral("n")), QStringLiteral("2"));
    QCOMPARE(Entries(pending), QStringList{lines[1]});

    // Answering No opens nothing and still takes the sent line off the list.
    pending->selectAll();
    QVERIFY(Click(upload));
    QCOMPARE(scene.context.Browser().opened.size(), 1);
    QCOMPARE(pending->count(), 0);
    QCOMPARE(scene.ServiceScores(QStringLiteral("一班")).size(), 3);
  }

  void RefusedUploadShowsTheReplyAndKeepsTheList() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    ChooseClass(scene.window, QStringLiteral("一班"));
    const QStringList lines = ScoreThreeStudents(scene);
    Click(scene.window, QStringLiteral("Command11"));
    TypeInto(scene.window, QStringLiteral("Text4"), QStringLiteral("wrong-password"));
    Click(scene.window, QStringLiteral("Command13"));

    const PromptRecord shown = scene.context.Prompts().Last();
    QCOMPARE(shown.title, QStringLiteral("错误"));
    QCOMPARE(shown.icon, MessageIcon::kWarning);
    QVERIFY2(shown.text.endsWith(QStringLiteral("\r\n上传错误！")), qPrintable(shown.text));
    QVERIFY(shown.text.size() > QStringLiteral("\r\n上传错误！").size());
    QCOMPARE(Entries(PendingList(scene.window)), lines);
    QCOMPARE(SelectedEntries(PendingList(scene.window)), lines);
    QVERIFY(scene.ServiceScores(QStringLiteral("一班")).isEmpty());
    QVERIFY(scene.context.Browser().opened.isEmpty());
  }

  void NetworkFailureOffersTheScoreFile() {
    OfflineWindow w;  // the sample cache; the service's port is closed
    w.context.Sess().SignInOnline(QStringLiteral("teacher1"), QStringLiteral("login123"));
    w.ChooseClass(QStringLiteral("一班"));
    w.Draw(kDrawAll);
    w.ChooseScore(0);
    w.Draw(kDrawAll);
    w.ChooseScore(1);
    const QStringList lines = w.window->PendingScores();
    Click(w.window, QStringLiteral("Command11"));
    TypeInto(w.window, QStringLiteral("Text4"), QStringLiteral("op123"));
    ClickEntry(PendingList(w.window), 0);  // only the second line is sent
    const QString path = QDir(w.context.DataDir()).filePath(QStringLiteral("离线.dms"));
    w.context.Prompts().ChooseNextFile(path);
    Click(w.window, QStringLiteral("Command13"));

    const QList<PromptRecord>& shown = w.context.Prompts().Records();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0].title, QStringLiteral("错误"));
    QCOMPARE(shown[0].text, QStringLiteral("网络异常！建议保存数据，然后导入上传！"));
    QCOMPARE(shown[0].icon, MessageIcon::kWarning);
    QCOMPARE(shown[1].kind, PromptRecord::Kind::kSaveFile);
    QCOMPARE(shown[1].title, QStringLiteral("另存数据文件"));
    QCOMPARE(shown[1].text, kFilter);
    QCOMPARE(shown[2].title, QStringLiteral("保存成功"));
    QCOMPARE(shown[2].text, QStringLiteral("数据已保存，你可以再次导入此数据上传！\r\n保存位置：") +
                                QDir::toNativeSeparators(path));
    QCOMPARE(shown[2].icon, MessageIcon::kInformation);
    QCOMPARE(FileBytes(path), ScoreFileBytes({lines[1]}));
    QCOMPARE(Entries(PendingList(w.window)), QStringList{lines[0]});
  }

  void ScoreFilesRoundTripByteForByte() {
    OfflineWindow w;
    const QStringList lines = {
        QStringLiteral("一班\t张三\t5分\t2026-12-07 09:30:00\t读音准确，语调自然"),
        QStringLiteral("一班\t李四\t3.5分\t2026-12-07 09:31:00\t他说：\"好\",再读一遍"),
        QStringLiteral("一班\t王五\t4分\t2026-12-07 09:32:00\t"),
        QStringLiteral("一班\t曌\t1分\t2026-12-07 09:33:00\t'单引号' 与 空格 "),
    };
    // A hand-made file: blank lines between the lines, no line end at the end.
    const QString made = QDir(w.context.DataDir()).filePath(QStringLiteral("made.dms"));
    QByteArray bytes = ScoreFileBytes(lines);
    bytes.insert(0, "\r\n");
    bytes.insert(bytes.indexOf("\r\n", 2) + 2, "\r\n\r\n");
    bytes.chop(2);
    WriteBytes(made, bytes);

    Click(w.window, QStringLiteral("Command11"));
    QListWidget* pending = PendingList(w.window);
    w.context.Prompts().ChooseNextFile(made);
    Click(w.window, QStringLiteral("Command15"));
    QCOMPARE(w.context.Prompts().Last().title, QStringLiteral("打开数据文件"));
    QCOMPARE(w.context.Prompts().Last().text, kFilter);
    QCOMPARE(Entries(pending), lines);
    QCOMPARE(SelectedEntries(pending), lines);

    // Three of four selected: exactly those are written, in order; the
    // fourth stays pending.
    ClickEntry(pending, 2);
    const QString saved = QDir(w.context.DataDir()).filePath(QStringLiteral("saved.dms"));
    WriteBytes(saved, "an older file of the same name");
    w.context.Prompts().ChooseNextFile(saved);
    Click(w.window, QStringLiteral("Command14"));
    QCOMPARE(FileBytes(saved), ScoreFileBytes({lines[0], lines[1], lines[3]}));
    QCOMPARE(Entries(pending), QStringList{lines[2]});

    // Importing appends after what is pending, and selects everything.
    pending->clearSelection();
    w.context.Prompts().ChooseNextFile(saved);
    Click(w.window, QStringLiteral("Command15"));
    const QStringList all = {lines[2], lines[0], lines[1], lines[3]};
    QCOMPARE(Entries(pending), all);
    QCOMPARE(SelectedEntries(pending), all);
  }

  void ScoreFileFailuresLoseNothing() {
    OfflineWindow w;
    w.ChooseClass(QStringLiteral("一班"));
    w.Draw(kDrawAll);
    w.ChooseScore(0);
    const QStringList lines = w.window->PendingScores();
    Click(w.window, QStringLiteral("Command11"));
    QListWidget* pending = PendingList(w.window);
    RecordingPrompter& prompts = w.context.Prompts();
    // Offline, a typed password does not make the upload available.
    TypeInto(w.window, QStringLiteral("Text4"), QStringLiteral("op123"));
    QVERIFY(!Child<QPushButton>(w.window, QStringLiteral("Command13"))->isEnabled());

    // A folder that does not exist: the reason is shown, the list stays.
    const QString nowhere = QDir(w.context.DataDir()).filePath(QStringLiteral("无此文件夹/a.dms"));
    prompts.ChooseNextFile(nowhere);
    Click(w.window, QStringLiteral("Command14"));
    QCOMPARE(prompts.Last().title, QStringLiteral("保存失败"));
    QVERIFY2(prompts.Last().text.startsWith(QStringLiteral("保存失败：")),
             qPrintable(prompts.Last().text));
    QVERIFY(prompts.Last().text.contains(QDir::toNativeSeparators(nowhere)));
    QVERIFY(!QFile::exists(nowhere));
    QCOMPARE(Entries(pending), lines);

    // Cancelled dialogs and a missing file leave the list as it was.
    prompts.Clear();
    Click(w.window, QStringLiteral("Command14"));
    Click(w.window, QStringLiteral("Command15"));
    QCOMPARE(prompts.Records().size(), 2);
    prompts.ChooseNextFile(QDir(w.context.DataDir()).filePath(QStringLiteral("missing.dms")));
    Click(w.window, QStringLiteral("Command15"));
    QCOMPARE(prompts.Last().title, QStringLiteral("错误"));
    QCOMPARE(Entries(pending), lines);
    QCOMPARE(SelectedEntries(pending), lines);

    // Nothing selected: no dialog at all.
    pending->clearSelection();
    prompts.Clear();
    Click(w.window, QStringLiteral("Command14"));
    QVERIFY(prompts.Records().isEmpty());
  }

  // Three hundred lines need several uploads under the small limit: every
  // selected line reaches the service once, each part leaves List4 as it is
  // accepted, the teacher is asked once, and the results page counts all.
  void LargeSelectionGoesInPartsThatFit() {
    const auto service = StartSmallLimitService();
    QVERIFY(service->IsRunning());
    OnlineScene scene(*service);
    QVERIFY2(scene.window, qPrintable(scene.error));
    scene.context.Context().config.upload_batch_bytes = kSmallBatch;
    QStringList lines;
    for (int i = 0; i < 300; ++i) {
      lines.append(QStringLiteral("一班\t%1\t%2分\t2026-12-07 %3:%4:%5\t")
                       .arg(kClassOneStudents[i % 5])
                       .arg(i % 6)
                       .arg(8 + i / 3600, 2, 10, QLatin1Char('0'))
                       .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(i % 60, 2, 10, QLatin1Char('0')));
    }
    // As one body, twice what the service takes.
    QVERIFY(EncodeGbk(EscapeFormValue(lines.join(u'|'))).size() > 2 * kSmallServiceLimit);
    Click(scene.window, QStringLiteral("Command11"));
    ImportLines(scene, lines);
    QListWidget* pending = PendingList(scene.window);
    QCOMPARE(pending->count(), 300);
    ClickEntry(pending, 7);  // stays behind
    TypeInto(scene.window, QStringLiteral("Text4"), scene.teacher.super_password);
    scene.context.Prompts().Clear();
    const qsizetype before = UploadRequests(*service);
    scene.context.Prompts().AnswerNextQuestion(true);
    Click(scene.window, QStringLiteral("Command13"));

    QCOMPARE(Entries(pending), QStringList{lines[7]});
    QCOMPARE(scene.context.Prompts().Records().size(), 1);
    QCOMPARE(scene.context.Prompts().Last().text,
             QStringLiteral("上传成功，是否上网查看上传结果！"));
    QCOMPARE(scene.context.Browser().opened.size(), 1);
    QCOMPARE(QUrlQuery(scene.context.Browser().opened.front()).queryItemValue(QStringLiteral("n")),
             QStringLiteral("299"));
    QTRY_VERIFY2(UploadRequests(*service) - before >= 5,
                 qPrintable(QString::number(UploadRequests(*service) - before)));
    // Stored: every sent line exactly once.
    QStringList expected;
    for (int i = 0; i < lines.size(); ++i) {
      if (i == 7) continue;
      const QStringList f = lines[i].split(u'\t');
      expected.append(f[1] + u'\t' + f[2].chopped(1) + u'\t' + f[3] + QStringLiteral("\t朗读\t"));
    }
    QStringList stored = scene.ServiceScores(QStringLiteral("一班"));
    stored.sort();
    expected.sort();
    QCOMPARE(stored, expected);
  }

  // A line too long for the service even alone is refused with a message of
  // its own: no "网络异常", no offer of a score file that could never be
  // uploaded. The lines before it are in; it stays pending.
  void ALineOverTheServiceLimitIsRefusedWithItsOwnMessage() {
    const auto service = StartSmallLimitService();
    QVERIFY(service->IsRunning());
    OnlineScene scene(*service);
    QVERIFY2(scene.window, qPrintable(scene.error));
    scene.context.Context().config.upload_batch_bytes = kSmallBatch;
    const QString good = QStringLiteral("一班\t张三\t5分\t2026-12-07 09:30:00\t");
    // Each Chinese character travels as six bytes: 1500 of them are 9000.
    const QString huge =
        QStringLiteral("一班\t李四\t5分\t2026-12-07 09:31:00\t") + QString(1500, QChar(u'读'));
    Click(scene.window, QStringLiteral("Command11"));
    ImportLines(scene, {good, huge});
    TypeInto(scene.window, QStringLiteral("Text4"), scene.teacher.super_password);
    scene.context.Prompts().Clear();
    Click(scene.window, QStringLiteral("Command13"));

    const QList<PromptRecord>& shown = scene.context.Prompts().Records();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].title, QStringLiteral("错误"));
    QCOMPARE(shown[0].icon, MessageIcon::kWarning);
    QVERIFY2(shown[0].text.startsWith(QStringLiteral("上传的计分内容过长，服务器拒收！")),
             qPrintable(shown[0].text));
    QVERIFY(shown[0].text.contains(QStringLiteral("已上传1条计分，其余1条")));
    QVERIFY(!shown[0].text.contains(QStringLiteral("网络异常")));
    QCOMPARE(Entries(PendingList(scene.window)), QStringList{huge});
    QCOMPARE(scene.ServiceScores(QStringLiteral("一班")),
             QStringList{QStringLiteral("张三\t5\t2026-12-07 09:30:00\t朗读\t")});
    QVERIFY(scene.context.Browser().opened.isEmpty());
  }

  void LineEditorReplacesTheLineInPlace() {
    OfflineWindow w;
    const QString made = QDir(w.context.DataDir()).filePath(QStringLiteral("short.dms"));
    WriteBytes(made, ScoreFileBytes({QStringLiteral("一班\t张三\t5分"),
                                     QStringLiteral("一班\t李四\t4分\t2026-12-07 09:31:00\t")}));
    Click(w.window, QStringLiteral("Command11"));
    w.context.Prompts().ChooseNextFile(made);
    w.context.Prompts().AnswerNextQuestion(true);  // the short line is imported as well
    Click(w.window, QStringLiteral("Command15"));
    QListWidget* pending = PendingList(w.window);
    auto* editor = Child<QWidget>(w.window, QStringLiteral("Frame7"));
    const auto box = [&](const char* name) {
      return Child<QLineEdit>(w.window, QLatin1String(name));
    };

    // A line of three fields opens with the last two boxes empty.
    DoubleClickEntry(pending, 0);
    QVERIFY(editor->isVisible());
    QVERIFY(!Child<QWidget>(w.window, QStringLiteral("Frame4"))->isVisible());
    QCOMPARE(box("txt_class")->text(), QStringLiteral("一班"));
    QCOMPARE(box("Text8")->text(), QStringLiteral("张三"));
    QCOMPARE(box("Text9")->text(), QStringLiteral("5分"));
    QCOMPARE(box("Text10")->text(), QString());
    QCOMPARE(box("Text14")->text(), QString());
    QVERIFY(TypeIntoFocus(box("Text10"), QStringLiteral("2026-12-07 09:30:00")));
    QVERIFY(TypeIntoFocus(box("Text14"), QStringLiteral("补记")));
    Click(w.window, QStringLiteral("Command25"));
    QVERIFY(!editor->isVisible());
    QCOMPARE(Entries(pending), QStringList({"一班\t张三\t5分\t2026-12-07 09:30:00\t补记",
                                            "一班\t李四\t4分\t2026-12-07 09:31:00\t"}));
    QVERIFY(pending->item(0)->isSelected());

    // Cancel keeps the text and gives the line back the selection it had
    // before the double-click.
    const bool before = pending->item(1)->isSelected();
    DoubleClickEntry(pending, 1);
    QVERIFY(TypeIntoFocus(box("Text8"), QStringLiteral("改掉")));
    Click(w.window, QStringLiteral("Command26"));
    QCOMPARE(pending->item(1)->text(), QStringLiteral("一班\t李四\t4分\t2026-12-07 09:31:00\t"));
    QCOMPARE(pending->item(1)->isSelected(), before);
    QVERIFY(Child<QWidget>(w.window, QStringLiteral("Frame4"))->isVisible());
  }
};

QTEST_MAIN(UploadTest)
#include "upload_test.moc"
