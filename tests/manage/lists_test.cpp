// The classes, students and topics pages against the real service: every
// change is checked in the service's own record afterwards.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "core/gbk.h"
#include "core/score_line.h"
#include "manage/page_widgets.h"
#include "rollcall/roll_call_window.h"
#include "tests/manage/manage_scene.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kOp = QStringLiteral("op123");

QString ScoreAt(const QString& class_name, const QString& student, const QString& score) {
  return ScoreLine(class_name, student, score, QDateTime(QDate(2026, 12, 7), QTime(9, 30)),
                   QStringLiteral("回答正确"));
}

}  // namespace

class ListsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(ManageServer().IsRunning()); }
  void cleanupTestCase() { StopSharedServer(); }

  // --- Typed and imported names ------------------------------------------------

  void TypedNamesLoseTheirBlanksAndSkipWhatIsListed_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<int>("present");
    QTest::newRow("duplicate line") << "A\r\nA\r\nB" << QStringList{} << QStringList{"A", "B"} << 1;
    QTest::newRow("blank inside") << "A B" << QStringList{} << QStringList{"AB"} << 0;
    QTest::newRow("same name typed with a blank")
        << "A B" << QStringList{"AB"} << QStringList{} << 1;
    QTest::newRow("empty and blank lines") << "\n   \n\nC\n"
                                           << QStringList{} << QStringList{"C"} << 0;
    QTest::newRow("already listed") << "甲\n乙" << QStringList{"乙"} << QStringList{"甲"} << 1;
  }
  void TypedNamesLoseTheirBlanksAndSkipWhatIsListed() {
    QFETCH(QString, typed);
    QFETCH(QStringList, existing);
    const NameAddition addition = NewNames(typed, existing);
    QTEST(addition.added, "added");
    QTEST(addition.present, "present");
  }

  void ListFilesAreReadInTheirOwnEncoding_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const QString names = QStringLiteral("张三\n李四\n曌");
    QTest::newRow("GBK, CR LF") << EncodeGbk(u"张三\r\n李四\r\n曌\r\n") << names;
    QTest::newRow("UTF-8, LF") << QStringLiteral("张三\n李四\n曌\n").toUtf8() << names;
    QTest::newRow("UTF-8 with BOM, CR LF")
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("张三\r\n李四\r\n曌").toUtf8() << names;
    QTest::newRow("GBK, LF") << EncodeGbk(u"张三\n李四\n曌") << names;
    QTest::newRow("ASCII, CR") << QByteArray("Tom\rAnn\r") << QStringLiteral("Tom\nAnn");
    // GBK files that are valid UTF-8 too.
    QTest::newRow("short GBK, valid UTF-8")
        << EncodeGbk(u"郑路\r\n卢梅\r\n") << QStringLiteral("郑路\n卢梅");
    QTest::newRow("one short GBK name") << EncodeGbk(u"郑路") << QStringLiteral("郑路");
    QTest::newRow("UTF-8 with a middle dot")
        << QStringLiteral("买买提·艾力\n张三").toUtf8() << QStringLiteral("买买提·艾力\n张三");
    QTest::newRow("short UTF-8") << QStringLiteral("郑路").toUtf8() << QStringLiteral("郑路");
  }
  void ListFilesAreReadInTheirOwnEncoding() {
    QFETCH(QByteArray, bytes);
    QTEST(DecodeNameListFile(bytes), "text");
  }

  // --- Classes -------------------------------------------------------------------

  void AddingClassesReportsAddedAndIgnoredNames() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}), qPrintable(scene.Error()));
    scene.StartOnPage(1, kOp);
    QCOMPARE(scene.Entries("List2"), QStringList{"一班"});

    scene.TypeLines("Text5", "A\nA\nB");
    scene.Click("Command10");
    QCOMPARE(scene.Text("Label6"), QStringLiteral("已添加2个班级！1个班级名称已存在，被忽略！"));
    QCOMPARE(scene.Text("Text5"), QString());
    ZV_EXPECT_MESSAGE(scene, "成功", "操作成功！", MessageIcon::kInformation);
    QCOMPARE(scene.ServiceClasses(), (QStringList{"一班", "A", "B"}));
    // The cache was downloaded again: the page reopened shows the service's list.
    scene.OpenPage(1);
    QCOMPARE(scene.Entries("List2"), (QStringList{"一班", "A", "B"}));

    scene.TypeLines("Text5", "C D\n   \n\nC D");
    scene.Click("Command10");
    QCOMPARE(scene.Text("Label6"), QStringLiteral("已添加1个班级！1个班级名称已存在，被忽略！"));
    QCOMPARE(scene.ServiceClasses(), (QStringList{"一班", "A", "B", "CD"}));

    const qsizetype shown = scene.Prompts().Records().size();
    scene.TypeLines("Text5", "\nA\n\n");
    scene.Click("Command10");
    QCOMPARE(scene.Text("Label6"),
             QStringLiteral("没有需要添加的班级！1个班级名称已存在，被忽略！"));
    QCOMPARE(scene.Prompts().Records().size(), shown);
  }

  void DeletingClassesRemovesTheirStudentsAndScores() {
    ManageScene scene;
    QVERIFY2(
        scene.Register() && scene.SeedClasses({"一班", "二班"}) &&
            scene.SeedStudents("一班", {"张三", "李四"}) && scene.SeedStudents("二班", {"王五"}) &&
            scene.SeedTopics({"语文"}) &&
            scene.SeedScores("语文", {ScoreAt("一班", "张三", "5"), ScoreAt("二班", "王五", "4")}),
        qPrintable(scene.Error()));
    scene.StartOnPage(1, kOp);

    const qsizetype shown = scene.Prompts().Records().size();
    scene.Click("Command9");
    QCOMPARE(scene.Text("Label6"), QStringLiteral("请选择需要删除的班级，然后点击删除按钮！"));
    QCOMPARE(scene.Prompts().Records().size(), shown);

    scene.Select("List2", {"一班"});
    scene.Prompts().AnswerNextQuestion(true);
    scene.Click("Command9");
    QCOMPARE(scene.Text("Label6"), QStringLiteral("已成功删除1个班级！"));
    QCOMPARE(scene.ServiceClasses(), QStringList{"二班"});
    QCOMPARE(scene.ServiceScores("二班").size(), 1);
    // A class of the same name made again starts empty: the old students and
    // scores went with the class.
    QVERIFY(scene.SeedClasses({"二班", "一班"}));
    QCOMPARE(scene.ServiceStudents("一班"), QStringList{});
    QCOMPARE(scene.ServiceScores("一班"), QStringList{});
  }

  // --- What another PC changed, and what the teacher did not choose ----------------

  void ASaveOverAListChangedElsewhereIsNotSent() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}), qPrintable(scene.Error()));
    scene.StartOnPage(1, kOp);
    // The second PC adds a class after this page was loaded.
    QVERIFY(scene.SeedClasses({"一班", "二班"}));
    scene.Prompts().Clear();
    scene.TypeLines("Text5", "三班");
    scene.Click("Command10");
    const QString told = QStringLiteral(
        "服务器上的列表已在别处被修改（添加了：二班），本次修改没有保存。页面已重新载入，请重新操作！");
    ZV_EXPECT_MESSAGE(scene, "提示", told, MessageIcon::kWarning);
    QCOMPARE(scene.Text("Label6"), told);
    QCOMPARE(scene.ServiceClasses(), (QStringList{"一班", "二班"}));
    QCOMPARE(scene.Entries("List2"), (QStringList{"一班", "二班"}));
    QCOMPARE(scene.Text("Text5"), QStringLiteral("三班"));
    // Reloaded, the same addition goes through.
    scene.Click("Command10");
    QCOMPARE(scene.Text("Label6"), QStringLiteral("已添加1个班级！"));
    QCOMPARE(scene.ServiceClasses(), (QStringList{"一班", "二班", "三班"}));
  }

  void AStaleStudentListDoesNotDeleteANewStudent() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}) &&
                 scene.SeedStudents("一班", {"张三", "李四"}) && scene.SeedTopics({"语文"}),
             qPrintable(scene.Error()));
    scene.StartOnPage(2, kOp);
    QVERIFY(scene.Choose("Combo2", "一班"));
    // The first PC adds 王五 and scores him; this PC still shows the old list.
    QVERIFY(scene.SeedStudents("一班", {"张三", "李四", "王五"}) &&
            scene.SeedScores("语文", {ScoreAt("一班", "王五", "5")}));
    scene.Select("List1", {"李四"});
    scene.Prompts().AnswerNextQuestion(true);
    scene.Click("Command6");
    QVERIFY(scene.Text("Label2").contains(QStringLiteral("添加了：王五")));
    QCOMPARE(scene.ServiceStudents("一班"), (QStringList{"张三", "李四", "王五"}));
    QCOMPARE(scene.ServiceScores("一班").size(), 1);
    QCOMPARE(scene.Entries("List1"), (QStringList{"张三", "李四", "王五"}));
    // Another PC removed a student: named as removed.
    QVERIFY(scene.SeedStudents("一班", {"张三", "王五"}));
    scene.TypeLines("Text1", "赵六");
    scene.Click("Command1");
    QVERIFY(scene.Text("Label2").contains(QStringLiteral("删除了：李四")));
    QCOMPARE(scene.ServiceStudents("一班"), (QStringList{"张三", "王五"}));
  }

  void RemovingClassesOrStudentsAsksFirstNamingTheirScores() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班", "二班"}) &&
                 scene.SeedStudents("一班", {"张三", "李四"}) && scene.SeedTopics({"语文"}) &&
                 scene.SeedScores("语文", {ScoreAt("一班", "张三", "5"), ScoreAt("一班", "张三", "3"),
                                           ScoreAt("一班", "李四", "1")}),
             qPrintable(scene.Error()));
    scene.StartOnPage(1, kOp);
    scene.Select("List2", {"一班"});
    scene.Prompts().Clear();
    scene.Click("Command9");  // answered No
    QCOMPARE(scene.Prompts().Records().size(), 1);
    const PromptRecord asked = scene.Prompts().Records().first();
    QCOMPARE(int(asked.kind), int(PromptRecord::Kind::kQuestion));
    QCOMPARE(asked.text,
             QStringLiteral("将删除1个班级：一班\r\n连同其中的2名学生和3条计分记录一起删除，无法恢复。"
                            "\r\n确定要删除吗？"));
    QCOMPARE(scene.ServiceClasses(), (QStringList{"一班", "二班"}));
    QCOMPARE(scene.Entries("List2"), (QStringList{"一班", "二班"}));
    QVERIFY(scene.Text("Label6") != QStringLiteral("已成功删除1个班级！"));

    scene.OpenPage(2);
    QVERIFY(scene.Choose("Combo2", "一班"));
    scene.Select("List1", {"张三"});
    scene.Prompts().Clear();
    scene.Click("Command6");  // answered No
    QCOMPARE(scene.Prompts().Last().text,
             QStringLiteral("将从“一班”删除1名学生：张三\r\n连同他们的2条计分记录一起删除，无法恢复。"
                            "\r\n确定要删除吗？"));
    QCOMPARE(scene.ServiceStudents("一班"), (QStringList{"张三", "李四"}));
    QCOMPARE(scene.Entries("List1"), (QStringList{"张三", "李四"}));
    scene.Select("List1", {"张三"});
    scene.Prompts().AnswerNextQuestion(true);
    scene.Click("Command6");
    QCOMPARE(scene.ServiceStudents("一班"), QStringList{"李四"});
    QCOMPARE(scene.ServiceScores("一班").size(), 1);
  }

  void TheStatusLineShowsARefusedOrFailedSave() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}) && scene.SeedTopics({"语文", "数学"}),
             qPrintable(scene.Error()));
    scene.StartOnPage(1, QStringLiteral("wrong-password"));
    scene.TypeLines("Text5", "二班");
    scene.Click("Command10");
    const QString refusal = scene.Prompts().Last().text.section(QStringLiteral("\r\n"), 0, 0);
    QVERIFY(!refusal.isEmpty());
    QCOMPARE(scene.Text("Label6"), refusal);
    QCOMPARE(scene.ServiceClasses(), QStringList{"一班"});

    scene.OpenPage(5);
    scene.Select("List4", {"数学"});
    scene.Click("Command27");
    QCOMPARE(scene.Text("Label34"), refusal);
    QCOMPARE(scene.ServiceTopics(), (QStringList{"语文", "数学"}));

    // The service gone: the network failure, not a count of additions.
    StopSharedServer();
    scene.OpenPage(1);
    scene.TypeLines("Text5", "三班");
    scene.Click("Command10");
    QCOMPARE(scene.Text("Label6"), QStringLiteral("网络异常！"));
    QVERIFY(ManageServer().IsRunning());
  }

  void NamesThatTheServiceCannotHoldAreRefusedWhereTyped() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}) && scene.SeedStudents("一班", {"张三"}),
             qPrintable(scene.Error()));
    scene.StartOnPage(1, kOp);
    scene.TypeLines("Text5", "二班\n甲|乙");
    scene.Click("Command10");
    ZV_EXPECT_MESSAGE(scene, "提示", "“甲|乙”中含有“|”或制表符，不能作为名称，请修改后再试！",
                      MessageIcon::kWarning);
    QCOMPARE(scene.Entries("List2"), QStringList{"一班"});
    QCOMPARE(scene.ServiceClasses(), QStringList{"一班"});
    QCOMPARE(scene.Text("Text5"), QStringLiteral("二班\n甲|乙"));
    scene.TypeLines("Text5", "甲\t乙");
    scene.Click("Command10");
    ZV_EXPECT_MESSAGE(scene, "提示", "“甲 乙”中含有“|”或制表符，不能作为名称，请修改后再试！",
                      MessageIcon::kWarning);
    QCOMPARE(scene.ServiceClasses(), QStringList{"一班"});

    // A rename is refused the same way.
    QVERIFY(scene.DoubleClick("List2", 0));
    scene.Type("Text13", "一|班");
    scene.Click("Command18");
    ZV_EXPECT_MESSAGE(scene, "提示", "“一|班”中含有“|”或制表符，不能作为名称，请修改后再试！",
                      MessageIcon::kWarning);
    QCOMPARE(scene.ServiceClasses(), QStringList{"一班"});

    // Characters GBK cannot hold would both arrive as "刘?".
    scene.OpenPage(2);
    QVERIFY(scene.Choose("Combo2", "一班"));
    scene.TypeLines("Text1", QStringLiteral("刘䶮\n刘\U00020BB7"));
    scene.Click("Command1");
    ZV_EXPECT_MESSAGE(scene, "提示", "“刘䶮”中的字符“䶮”无法保存到服务器，请改用其他字！",
                      MessageIcon::kWarning);
    QCOMPARE(scene.Entries("List1"), QStringList{"张三"});
    scene.TypeLines("Text1", QStringLiteral("刘\U00020BB7"));
    scene.Click("Command1");
    ZV_EXPECT_MESSAGE(scene, "提示",
                      QStringLiteral("“刘\U00020BB7”中的字符“\U00020BB7”无法保存到服务器，请改用其他字！"),
                      MessageIcon::kWarning);
    QCOMPARE(scene.ServiceStudents("一班"), QStringList{"张三"});
    // GBK-only characters are fine.
    scene.TypeLines("Text1", "刘曌");
    scene.Click("Command1");
    QCOMPARE(scene.ServiceStudents("一班"), (QStringList{"张三", "刘曌"}));
  }

  void RenamingAClassKeepsItsScores() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班", "二班"}) &&
                 scene.SeedStudents("一班", {"张三"}) && scene.SeedTopics({"语文"}) &&
                 scene.SeedScores("语文", {ScoreAt("一班", "张三", "5")}),
             qPrintable(scene.Error()));
    scene.StartOnPage(1, kOp);
    QVERIFY(scene.DoubleClick("List2", 0));
    QVERIFY(scene.Find<QWidget>("Frame2")->isVisible());
    QCOMPARE(scene.Text("Text12"), QStringLiteral("一班"));
    QCOMPARE(scene.Text("Text13"), QStringLiteral("一班"));

    // A name the service refuses keeps the panel open with the typed name.
    scene.Type("Text13", "二班");
    scene.Click("Command18");
    ZV_EXPECT_MESSAGE(scene, "错误", "班级名称已存在\r\n修改失败！", MessageIcon::kWarning);
    QVERIFY(scene.Find<QWidget>("Frame2")->isVisible());
    QCOMPARE(scene.Text("Text13"), QStringLiteral("二班"));

    scene.Type("Text13", "初一(1)班");
    scene.Click("Command18");
    ZV_EXPECT_MESSAGE(scene, "成功", "修改成功！", MessageIcon::kInformation);
    QVERIFY(!scene.Find<QWidget>("Frame2")->isVisible());
    QCOMPARE(scene.Entries("List2"), (QStringList{"初一(1)班", "二班"}));
    QCOMPARE(scene.ServiceClasses(), (QStringList{"初一(1)班", "二班"}));
    const QStringList scores = scene.ServiceScores("初一(1)班");
    QCOMPARE(scores.size(), 1);
    QCOMPARE(EntryField(scores[0], 1), QStringLiteral("张三"));
  }

  // --- Students --------------------------------------------------------------------

  void StudentsAreAddedSelectedAndDeleted() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"1", "10"}) &&
                 scene.SeedStudents("1", {"张三", "李四"}) && scene.SeedStudents("10", {"王五"}),
             qPrintable(scene.Error()));
    scene.StartOnPage(2, kOp);
    QCOMPARE(scene.Text("Combo2"), QStringLiteral("班级"));
    QVERIFY(!scene.Find<QPushButton>("Command1")->isEnabled());
    QVERIFY(scene.Choose("Combo2", "1"));
    QCOMPARE(scene.Entries("List1"), (QStringList{"张三", "李四"}));
    for (const char* name :
         {"Command1", "Command2", "Command3", "Command5", "Command6", "Command8"}) {
      QVERIFY2(scene.Find<QPushButton>(name)->isEnabled(), name);
    }

    scene.TypeLines("Text1", "赵 六\n\n张三");
    scene.Click("Command1");
    QCOMPARE(scene.Text("Label2"), QStringLiteral("已添加1名学生！1名学生存在，被忽略！"));
    QCOMPARE(scene.ServiceStudents("1"), (QStringList{"张三", "李四", "赵六"}));
    QCOMPARE(scene.ServiceStudents("10"), QStringList{"王五"});

    scene.Click("Command2");
    QCOMPARE(scene.Text("Label2"), QStringLiteral("成功选择了3个学生！"));
    QCOMPARE(scene.Find<QListWidget>("List1")->selectedItems().size(), 3);
    scene.Click("Command3");
    QCOMPARE(scene.Text("Label2"), QStringLiteral("成功反向选择了3个学生！"));
    QCOMPARE(scene.Find<QListWidget>("List1")->selectedItems().size(), 0);
    scene.Click("Command6");
    QCOMPARE(scene.Text("Label2"), QStringLiteral("请选择需要删除的学生"));

    scene.Select("List1", {"李四"});
    scene.Prompts().AnswerNextQuestion(true);
    scene.Click("Command6");
    QCOMPARE(scene.Text("Label2"), QStringLiteral("操作成功！"));
    QCOMPARE(scene.ServiceStudents("1"), (QStringList{"张三", "赵六"}));

    scene.Click("Command2");
    scene.Prompts().AnswerNextQuestion(true);
    scene.Click("Command6");
    QCOMPARE(scene.ServiceStudents("1"), QStringList{});
  }

  void StudentListsAreImportedFromGbkAndUtf8Files() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}), qPrintable(scene.Error()));
    scene.StartOnPage(2, kOp);
    QVERIFY(scene.Choose("Combo2", "一班"));

    QTemporaryDir files;
    const QString gbk_path = files.filePath("gbk.txt");
    const QString utf8_path = files.filePath("utf8.txt");
    {
      QFile gbk(gbk_path);
      QVERIFY(gbk.open(QIODevice::WriteOnly));
      gbk.write(EncodeGbk(u"张三\r\n\r\n李 四\r\n"));
      QFile utf8(utf8_path);
      QVERIFY(utf8.open(QIODevice::WriteOnly));
      utf8.write(QStringLiteral("王五\n曌六\n").toUtf8());
    }

    scene.Prompts().ChooseNextFile(gbk_path);
    scene.Click("Command5");
    QCOMPARE(scene.Prompts().Last().kind, PromptRecord::Kind::kOpenFile);
    QCOMPARE(scene.Prompts().Last().title, QStringLiteral("打开"));
    QCOMPARE(scene.Prompts().Last().text,
             QStringLiteral("Txt Files(*.txt)|*.txt|All Files(*.*)|*.*"));
    QCOMPARE(scene.Text("Label2"), QStringLiteral("已成功导入，请检查后点击添加！"));
    scene.Click("Command1");
    QCOMPARE(scene.Text("Label2"), QStringLiteral("已添加2名学生！"));
    QCOMPARE(scene.ServiceStudents("一班"), (QStringList{"张三", "李四"}));

    scene.Prompts().ChooseNextFile(utf8_path);
    scene.Click("Command5");
    scene.Click("Command1");
    QCOMPARE(scene.ServiceStudents("一班"), (QStringList{"张三", "李四", "王五", "曌六"}));

    // Cancelling the dialog leaves the box empty and the status as it was.
    scene.TypeLines("Text1", "someone");
    scene.Click("Command5");
    QCOMPARE(scene.Text("Text1"), QString());
    QCOMPARE(scene.Text("Label2"), QStringLiteral("已添加2名学生！"));
  }

  void RenamingAStudentKeepsTheScores() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}) &&
                 scene.SeedStudents("一班", {"张三", "李四"}) && scene.SeedTopics({"语文"}) &&
                 scene.SeedScores("语文", {ScoreAt("一班", "张三", "5")}),
             qPrintable(scene.Error()));
    scene.StartOnPage(2, kOp);
    QVERIFY(scene.Choose("Combo2", "一班"));
    QVERIFY(scene.DoubleClick("List1", 0));
    QCOMPARE(scene.Text("Text14"), QStringLiteral("张三"));
    scene.Type("Text15", "张三丰");
    scene.Click("Command21");
    ZV_EXPECT_MESSAGE(scene, "成功", "修改成功！", MessageIcon::kInformation);
    QVERIFY(!scene.Find<QWidget>("Frame3")->isVisible());
    QCOMPARE(scene.Entries("List1"), (QStringList{"张三丰", "李四"}));
    const QStringList scores = scene.ServiceScores("一班");
    QCOMPARE(scores.size(), 1);
    QCOMPARE(EntryField(scores[0], 1), QStringLiteral("张三丰"));
  }

  // After the page is reopened no class is chosen; a change then would send
  // the chooser's caption as a class name and replace that class's students.
  void StudentChangesWaitForAChosenClass() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班", "班级"}) &&
                 scene.SeedStudents("班级", {"甲", "乙"}),
             qPrintable(scene.Error()));
    scene.StartOnPage(2, kOp);
    QVERIFY(scene.Choose("Combo2", "一班"));
    scene.OpenPage(2);
    QCOMPARE(scene.Text("Combo2"), QStringLiteral("班级"));
    QVERIFY(scene.Find<QPushButton>("Command1")->isEnabled());

    const qsizetype shown = scene.Prompts().Records().size();
    scene.TypeLines("Text1", "丙");
    scene.Click("Command1");
    QCOMPARE(scene.Text("Label2"), QStringLiteral("请先选择班级！"));
    scene.Click("Command8");
    QCOMPARE(scene.Prompts().Records().size(), shown);
    QCOMPARE(scene.Entries("List1"), QStringList{});
    QCOMPARE(scene.ServiceStudents("班级"), (QStringList{"甲", "乙"}));
  }

  // --- Topics ----------------------------------------------------------------------

  void TopicsAreAddedDeletedAndRenamed() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedTopics({"语文"}), qPrintable(scene.Error()));
    scene.StartOnPage(5, kOp);
    QCOMPARE(scene.Entries("List4"), QStringList{"语文"});

    scene.TypeLines("Text4", "数学\n语文\n英 语");
    scene.Click("Command26");
    QCOMPARE(scene.Text("Label34"), QStringLiteral("已添加2个课题！1个课题名称已存在，被忽略！"));
    QCOMPARE(scene.ServiceTopics(), (QStringList{"语文", "数学", "英语"}));

    // Nothing selected: the unchanged list is still sent.
    scene.Prompts().Clear();
    scene.Click("Command27");
    ZV_EXPECT_MESSAGE(scene, "成功", "操作成功！", MessageIcon::kInformation);
    QCOMPARE(scene.Text("Label34"), QStringLiteral("请选择需要删除的课题，然后点击删除按钮！"));

    scene.Select("List4", {"语文", "英语"});
    scene.Click("Command27");
    QCOMPARE(scene.Text("Label34"), QStringLiteral("已成功删除2个课题！"));
    QCOMPARE(scene.ServiceTopics(), QStringList{"数学"});

    QVERIFY(scene.DoubleClick("List4", 0));
    QCOMPARE(scene.Text("Text3"), QStringLiteral("数学"));
    // An empty new name sends nothing and says nothing.
    scene.Prompts().Clear();
    scene.Type("Text2", "");
    scene.Click("Command25");
    QVERIFY(scene.Prompts().Records().isEmpty());
    QVERIFY(scene.Find<QWidget>("Frame5")->isVisible());

    scene.Type("Text2", "数学（提高）");
    scene.Click("Command25");
    ZV_EXPECT_MESSAGE(scene, "成功", "修改成功！", MessageIcon::kInformation);
    QCOMPARE(scene.Entries("List4"), QStringList{"数学（提高）"});
    QCOMPARE(scene.ServiceTopics(), QStringList{"数学（提高）"});
  }

  void TopicChangesRefreshTheRollCallTopicList() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedTopics({"语文"}), qPrintable(scene.Error()));
    scene.SignIn();
    auto* topics = scene.Ctx().Hub().RollCall().findChild<QComboBox*>("Combo3");
    QVERIFY(topics);
    scene.OpenWindow(kOp);
    scene.OpenPage(5);
    scene.TypeLines("Text4", "数学");
    scene.Click("Command26");
    QStringList items;
    for (int i = 0; i < topics->count(); ++i) items.append(topics->itemText(i));
    QCOMPARE(items, (QStringList{"语文", "数学"}));
  }
};

QTEST_MAIN(ListsTest)
#include "lists_test.moc"
