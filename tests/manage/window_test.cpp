// The management window itself: start view, page buttons, page fills from the
// cache, the change guard, network failures, the personal page and the way
// back to the roll-call window.
#include <QtTest>

#include "core/cache_file.h"
#include "core/file_text.h"
#include "core/md5_hex.h"
#include "rollcall/roll_call_window.h"
#include "tests/manage/manage_scene.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kOp = QStringLiteral("op123");

// A scene whose service cannot be reached, with a cache file from an earlier
// sign-in: classes 1, 10 and 二班, two topics.
std::unique_ptr<ManageScene> OfflineScene() {
  auto scene = std::make_unique<ManageScene>(ClosedPortRoot());
  TopicLine topic{QStringLiteral("语文"), {{QStringLiteral("回答正确"), QStringLiteral("5")}}};
  WriteLinesAtomically(scene->Ctx().CacheFile(),
                       {ClassListLine({"1", "10", "二班"}), TopicLineText(topic),
                        TopicLineText({QStringLiteral("数学"), {}}),
                        StudentRowText({"1", "张三", "0", "1", "4.5", "2"}),
                        StudentRowText({"10", "李四", "0", "1", "0", "0"})});
  return scene;
}

QStringList Items(QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
  return items;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { StopSharedServer(); }

  void OpensOnItsStartViewAndReturnsToTheRollCallWindow() {
    auto scene = OfflineScene();
    scene->Ctx().Sess().SignInOnline("teacher", "secret");
    RollCallWindow& roll_call = scene->Ctx().Hub().RollCall();
    roll_call.show();
    ManagementWindow& window = scene->Window();
    QCOMPARE(window.objectName(), QStringLiteral("Dialog"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran管理后台"));
    scene->OpenWindow(QString());
    QVERIFY(window.isVisible());
    QVERIFY(!roll_call.isVisible());
    QVERIFY(scene->Find<QWidget>("Picture1")->isVisible());
    QCOMPARE(scene->Text("Label1"), QStringLiteral("微信扫描，关注Quenfield"));
    QVERIFY(scene->Find<QWidget>("Frame1")->isVisible());

    // The page buttons, left to right.
    QList<QPair<int, QString>> buttons;
    for (int i = 0; i < kManagePages; ++i) {
      QPushButton* button = scene->Find<QPushButton>(QStringLiteral("Cmd_manage_%1").arg(i));
      QVERIFY(!scene->Find<QWidget>(QStringLiteral("Frame_manage_%1").arg(i))->isVisible());
      buttons.append({button->x(), button->text()});
    }
    std::sort(buttons.begin(), buttons.end());
    QStringList captions;
    for (const auto& button : buttons) captions.append(button.second);
    QCOMPARE(captions, (QStringList{"个人信息", "班级管理", "学生管理", "课题管理", "评分标准",
                                    "计分管理", "快捷方式"}));

    scene->OpenPage(1);
    for (int i = 0; i < kManagePages; ++i) {
      QCOMPARE(scene->Find<QWidget>(QStringLiteral("Frame_manage_%1").arg(i))->isVisible(), i == 1);
    }
    QVERIFY(!scene->Find<QWidget>("Picture1")->isVisible());
    scene->TypeLines("Text5", "三班");

    scene->Click("OKButton");
    QVERIFY(!window.isVisible());
    QVERIFY(roll_call.isVisible());
    // Back again: the start view, and what was typed is still there.
    QVERIFY(Click(FindControl<QPushButton>(&roll_call, "btnManage")));
    QVERIFY(window.isVisible() && !roll_call.isVisible());
    QVERIFY(scene->Find<QWidget>("Picture1")->isVisible());
    QVERIFY(!scene->Find<QWidget>("Frame_manage_1")->isVisible());
    QCOMPARE(scene->Text("Text5"), QStringLiteral("三班"));

    // The close box ends this showing: the roll-call window comes back and
    // the next opening starts afresh.
    window.close();
    QVERIFY(roll_call.isVisible());
    QCOMPARE(scene->Text("Text5"), QString());
  }

  void PagesAreFilledFromTheCacheOnEveryClick() {
    auto scene = OfflineScene();
    scene->Ctx().Sess().SignInOnline("teacher", "secret");
    scene->OpenWindow(QString());
    scene->OpenPage(1);
    const QStringList classes{"1", "10", "二班"};
    QCOMPARE(scene->Entries("List2"), classes);
    scene->Find<QListWidget>("List2")->addItem("unsaved");
    scene->OpenPage(1);
    QCOMPARE(scene->Entries("List2"), classes);

    scene->OpenPage(2);
    QCOMPARE(Items(scene->Find<QComboBox>("Combo2")), classes);
    QCOMPARE(scene->Text("Combo2"), QStringLiteral("班级"));
    QVERIFY(scene->Choose("Combo2", "1"));
    QCOMPARE(scene->Entries("List1"), QStringList{"张三"});

    scene->OpenPage(3);
    QCOMPARE(Items(scene->Find<QComboBox>("Combo1")), classes);
    QCOMPARE(scene->Text("Combo1"), QStringLiteral("班级"));

    scene->OpenPage(5);
    QCOMPARE(scene->Entries("List4"), (QStringList{"语文", "数学"}));

    scene->OpenPage(6);
    QCOMPARE(Items(scene->Find<QComboBox>("Combo3")), (QStringList{"语文", "数学"}));
    QCOMPARE(scene->Text("Combo3"), QStringLiteral("课题"));
    QVERIFY(!scene->Find<QPushButton>("Command37")->isEnabled());
    // The service cannot be reached: an empty list and no message.
    QVERIFY(scene->Choose("Combo3", "语文"));
    QCOMPARE(scene->Entries("List5"), QStringList{});
    QVERIFY(scene->Prompts().Records().isEmpty());
  }

  void LocalChangesNeedAnOnlineTeacherAndAnOperationPassword_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("not signed in") << "" << kOp << "登录后才能进行此操作！";
    QTest::newRow("offline") << kOfflineUserName << kOp << "登录后才能进行此操作！";
    QTest::newRow("no operation password") << "teacher"
                                           << ""
                                           << "请在右侧输入操作密码！";
  }
  void LocalChangesNeedAnOnlineTeacherAndAnOperationPassword() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    auto scene = OfflineScene();
    if (user == kOfflineUserName) scene->Ctx().Sess().SignInOffline();
    if (user == "teacher") scene->Ctx().Sess().SignInOnline(user, "secret");
    scene->OpenWindow(password);
    QVERIFY(!scene->Window().ChangeAllowed());

    struct Step {
      int page;
      const char* prepare;  // a chooser to pick an item in first
      const char* button;
    };
    const Step steps[] = {
        {1, nullptr, "Command10"},  {1, nullptr, "Command9"},   {2, "Combo2", "Command1"},
        {2, "Combo2", "Command6"},  {5, nullptr, "Command26"},  {5, nullptr, "Command27"},
        {6, "Combo3", "Command32"}, {6, "Combo3", "Command35"}, {3, "Combo1", "Command15"}};
    for (const Step& step : steps) {
      scene->OpenPage(step.page);
      if (step.prepare) {
        auto* chooser = scene->Find<QComboBox>(step.prepare);
        QVERIFY(scene->Choose(step.prepare, chooser->itemText(0)));
      }
      if (QString(step.button) == "Command35") scene->Click("Command37");
      scene->Prompts().Clear();
      scene->Click(step.button);
      QCOMPARE(scene->Prompts().Records().size(), 1);
      ZV_EXPECT_MESSAGE(*scene, "提示", message, MessageIcon::kWarning);
    }
    // Nothing was changed locally either.
    scene->OpenPage(1);
    scene->TypeLines("Text5", "三班");
    scene->Click("Command10");
    QCOMPARE(scene->Entries("List2"), (QStringList{"1", "10", "二班"}));
    QCOMPARE(scene->Text("Text5"), QStringLiteral("三班"));
  }

  void AServiceOutOfReachIsReportedOnThePage() {
    auto scene = OfflineScene();
    scene->Ctx().Sess().SignInOnline("teacher", "secret");
    scene->OpenWindow(kOp);
    scene->OpenPage(1);
    scene->TypeLines("Text5", "三班");
    scene->Click("Command10");
    ZV_EXPECT_MESSAGE(*scene, "错误", "网络异常！", MessageIcon::kWarning);
    // The local list keeps the edit for another try.
    QCOMPARE(scene->Entries("List2"), (QStringList{"1", "10", "二班", "三班"}));
    // Nothing was saved: the status line says so, not that a class was added.
    QCOMPARE(scene->Text("Label6"), QStringLiteral("网络异常！"));
    scene->Find<QLabel>("Label6")->clear();
    scene->Click("Command4");
    QCOMPARE(scene->Text("Label6"), QStringLiteral("网络异常！"));

    QVERIFY(scene->DoubleClick("List2", 0));
    scene->Type("Text13", "一班");
    scene->Find<QLabel>("Label6")->clear();
    scene->Click("Command18");
    QCOMPARE(scene->Text("Label6"), QStringLiteral("网络异常！"));
    QVERIFY(scene->Find<QWidget>("Frame2")->isVisible());
  }

  void ARefusedSaveShowsTheServiceWords() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}), qPrintable(scene.Error()));
    scene.StartOnPage(1, "not-the-password");
    scene.Click("Command4");
    const QString reply = scene.Text("Label6");
    QVERIFY(!reply.isEmpty() && reply != QStringLiteral("操作成功！"));
    ZV_EXPECT_MESSAGE(scene, "错误", reply + "\r\n操作错误！", MessageIcon::kWarning);
    QCOMPARE(scene.ServiceClasses(), QStringList{"一班"});
  }

  void ThePersonalPageChangesTheAccountWithTheOperationPassword() {
    ManageScene scene;
    QVERIFY2(scene.Register(), qPrintable(scene.Error()));
    scene.StartOnPage(0, QString());
    QCOMPARE(scene.Text("Text6"), scene.Teacher().teacher_name);
    QCOMPARE(scene.Text("Text7"), scene.Teacher().user);
    QCOMPARE(scene.Text("Text11"), scene.Teacher().email);

    for (const char* typed : {"", "   "}) {
      scene.Type("Text8", typed);
      scene.Click("Command13");
      ZV_EXPECT_MESSAGE(scene, "警告", "原操作密码必须填写！", MessageIcon::kWarning);
    }
    scene.Type("Text8", "wrong");
    scene.Type("Text11", "new@example.com");
    scene.Click("Command13");
    QCOMPARE(scene.Prompts().Last().title, QStringLiteral("错误"));
    QVERIFY(scene.Prompts().Last().text.endsWith("\r\n操作失败！"));
    QVERIFY(scene.Service().GetTeacher().endsWith(scene.Teacher().email));

    // Characters GBK cannot hold are refused before anything is sent.
    scene.Type("Text8", "op123");
    scene.Type("Text11", "new䶮@example.com");
    scene.Click("Command13");
    ZV_EXPECT_MESSAGE(scene, "警告",
                      "“new䶮@example.com”中的字符“䶮”无法保存到服务器，请改用其他字！",
                      MessageIcon::kWarning);
    QVERIFY(scene.Service().GetTeacher().endsWith(scene.Teacher().email));

    scene.Type("Text8", " op123 ");
    scene.Type("Text11", "  new@example.com ");
    scene.Click("Command13");
    ZV_EXPECT_MESSAGE(scene, "成功", "操作成功！", MessageIcon::kInformation);
    QVERIFY(scene.Service().GetTeacher().endsWith("\r\nnew@example.com"));

    // A new operation password replaces the old one for every change.
    scene.Type("Text8", "op123");
    scene.Type("Text10", " op456 ");
    scene.Click("Command13");
    ZV_EXPECT_MESSAGE(scene, "成功", "操作成功！", MessageIcon::kInformation);
    QVERIFY(!scene.SeedClasses({"一班"}));
    QVERIFY(scene.Service().SetClasses(scene.Teacher().user, "op456", {"一班"}).IsSuccess());

    scene.Click("Command14");
    for (const char* box : {"Text8", "Text9", "Text10"}) QCOMPARE(scene.Text(box), QString());
  }

  // The reads and the cache download prove who the teacher is with the digest
  // of the login password: after a change the window keeps working with the
  // new one.
  void ANewLoginPasswordKeepsTheWindowConnected() {
    ManageScene scene;
    QVERIFY2(scene.Register() && scene.SeedClasses({"一班"}), qPrintable(scene.Error()));
    scene.StartOnPage(0, kOp);
    scene.Type("Text8", kOp);
    scene.Type("Text9", " newlogin1 ");
    scene.Click("Command13");
    ZV_EXPECT_MESSAGE(scene, "成功", "操作成功！", MessageIcon::kInformation);
    QCOMPARE(scene.Ctx().Sess().PasswordDigest(), Md5Hex(u"newlogin1"));
    QVERIFY(scene.Service().CheckPassword(scene.Teacher().user, "newlogin1").IsSuccess());

    scene.OpenPage(1);
    scene.TypeLines("Text5", "二班");
    scene.Click("Command10");
    const QString cached = ReadTaggedLines(scene.Ctx().CacheFile(), kClassListTag);
    QCOMPARE(ClassNamesFromCache(cached), (QStringList{"一班", "二班"}));
  }

  // A new login password of Chinese characters alone is refused with the
  // reason and nothing is sent: neither the password nor the new address
  // typed with it change. With letters and digits added it is accepted.
  void AWeakChineseLoginPasswordIsRefusedOnThePersonalPage() {
    ManageScene scene;
    QVERIFY2(scene.Register(), qPrintable(scene.Error()));
    scene.StartOnPage(0, QString());
    QVERIFY(TypeIntoFocus(scene.Find<QLineEdit>("Text8"), kOp));
    QVERIFY(TypeIntoFocus(scene.Find<QLineEdit>("Text11"), "weak@example.com"));
    QVERIFY(TypeIntoFocus(scene.Find<QLineEdit>("Text9"), "课堂点名"));
    QTest::mouseClick(scene.Find<QPushButton>("Command13"), Qt::LeftButton);
    ZV_EXPECT_MESSAGE(scene, "错误", WeakDigestPasswordText() + "\r\n操作失败！",
                      MessageIcon::kWarning);
    QVERIFY(scene.Service().CheckPassword(scene.Teacher().user, scene.Teacher().password)
                .IsSuccess());
    QVERIFY(!scene.Service().CheckPassword(scene.Teacher().user, "课堂点名").IsSuccess());
    QVERIFY(scene.Service().GetTeacher().endsWith("\r\n" + scene.Teacher().email));
    QCOMPARE(scene.Ctx().Sess().PasswordDigest(), Md5Hex(scene.Teacher().password));

    QVERIFY(TypeIntoFocus(scene.Find<QLineEdit>("Text9"), "课堂点名2024abcd"));
    QTest::mouseClick(scene.Find<QPushButton>("Command13"), Qt::LeftButton);
    ZV_EXPECT_MESSAGE(scene, "成功", "操作成功！", MessageIcon::kInformation);
    QVERIFY(scene.Service().CheckPassword(scene.Teacher().user, "课堂点名2024abcd").IsSuccess());
    QVERIFY(scene.Service().GetTeacher().endsWith("\r\nweak@example.com"));
  }

  void AccountChangeNeedsTheTeacherData() {
    auto scene = OfflineScene();
    scene->Ctx().Sess().SignInOnline("teacher", "secret");
    scene->OpenWindow(kOp);
    scene->OpenPage(0);
    QCOMPARE(scene->Text("Text7"), QString());
    scene->Type("Text8", kOp);
    scene->Click("Command13");
    ZV_EXPECT_MESSAGE(*scene, "错误", "无法获取教师信息，暂时无法修改密码！", MessageIcon::kError);

    // Enter presses "修改" while the personal page is open, and only then.
    scene->Prompts().Clear();
    QTest::keyClick(scene->Find<QLineEdit>("Text11"), Qt::Key_Return);
    QCOMPARE(scene->Prompts().Records().size(), 1);
    scene->OpenPage(1);
    QTest::keyClick(scene->Find<QLineEdit>("txtSuperPassword"), Qt::Key_Return);
    QCOMPARE(scene->Prompts().Records().size(), 1);
  }

  void TheServiceAddressOpensInTheBrowser() {
    auto scene = OfflineScene();
    scene->OpenWindow(QString());
    const QUrl home = scene->Service().ServiceHomeUrl();
    QCOMPARE(scene->Text("Label15"), "后台地址 " + home.toString());
    QTest::mouseClick(scene->Find<QLabel>("Label15"), Qt::LeftButton);
    QCOMPARE(scene->Ctx().Browser().opened, QList<QUrl>{home});
  }

  void ANewTeacherFindsNothingOfThePreviousOne() {
    auto scene = OfflineScene();
    scene->Ctx().Sess().SignInOnline("teacher", "secret");
    scene->OpenWindow(kOp);
    scene->OpenPage(2);
    QVERIFY(scene->Choose("Combo2", "1"));
    scene->TypeLines("Text1", "王五");
    scene->Window().ClearForNewTeacher();
    QCOMPARE(scene->Text("txtSuperPassword"), QString());
    QCOMPARE(scene->Entries("List1"), QStringList{});
    QCOMPARE(scene->Text("Text1"), QString());
    QCOMPARE(scene->Find<QComboBox>("Combo2")->count(), 0);
    QVERIFY(!scene->Find<QWidget>("Frame_manage_2")->isVisible());
  }

  // Typed into the upload panel's Text4, the password is the management
  // window's too when it first opens; later typing there does not follow it.
  void TheOperationPasswordCarriesOverFromTheRollCallWindow() {
    auto scene = OfflineScene();
    RollCallWindow& roll_call = scene->Ctx().Hub().RollCall();
    roll_call.show();
    QVERIFY(QTest::qWaitForWindowExposed(&roll_call));
    QVERIFY(Click(FindControl<QPushButton>(&roll_call, "Command11")));  // 上传
    auto* typed = FindControl<QLineEdit>(&roll_call, "Text4");
    QVERIFY(typed);
    QVERIFY(TypeIntoFocus(typed, kOp));
    QCOMPARE(scene->Ctx().Sess().OperationPassword(), kOp);
    QVERIFY(Click(FindControl<QPushButton>(&roll_call, "Command12")));  // back to the draw panel
    roll_call.EnableManageButton();  // as an online sign-in does
    QVERIFY(Click(FindControl<QPushButton>(&roll_call, "btnManage")));
    QCOMPARE(scene->Text("txtSuperPassword"), kOp);
    scene->Click("OKButton");
    QVERIFY(roll_call.isVisible());
    QVERIFY(Click(FindControl<QPushButton>(&roll_call, "Command11")));
    QVERIFY(TypeIntoFocus(typed, "other"));
    QCOMPARE(scene->Ctx().Sess().OperationPassword(), QStringLiteral("other"));
    QVERIFY(Click(FindControl<QPushButton>(&roll_call, "Command12")));
    QVERIFY(Click(FindControl<QPushButton>(&roll_call, "btnManage")));
    QCOMPARE(scene->Text("txtSuperPassword"), kOp);  // copied at the first opening only
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
