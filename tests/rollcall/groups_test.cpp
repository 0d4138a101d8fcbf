// The group tab and the group ranking: names dragged between and within the
// sixteen lists, the division uploaded to the real service and read back from
// its record download, the shared password, and the statistics of the
// pending scores with their detail panel.
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

#include "rollcall/group_assignment.h"
#include "tests/rollcall/rollcall_fixture.h"
#include "tests/rollcall/submission_fixture.h"
#include "tests/support/focus_input.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

QListWidget* GroupList(const RollCallWindow* window, int group) {
  return Child<QListWidget>(window, QStringLiteral("List_group_%1").arg(group));
}

void OpenGroupTab(const RollCallWindow* window) {
  Click(window, QStringLiteral("btnChou_12"));
  QVERIFY(ClickTab(Child<QTabBar>(window, QStringLiteral("TabStrip1")), 3));
}

// The teacher presses on an entry and moves the mouse: the list starts a real
// drag. Returns what the drag carries (the platform drag here ends at once;
// the drag object stays until the event loop deletes it).
QMimeData* PressAndDrag(QListWidget* list, int row) {
  const QPoint at = list->visualItemRect(list->item(row)).center();
  QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseMove(list->viewport(), at + QPoint(0, QApplication::startDragDistance() + 4));
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  // Earlier drags may not be deleted yet: the newest is the last child.
  const QList<QDrag*> drags = list->findChildren<QDrag*>();
  if (drags.isEmpty()) return nullptr;
  const QDrag* drag = drags.last();
  auto* copy = new QMimeData;
  for (const QString& format : drag->mimeData()->formats()) {
    copy->setData(format, drag->mimeData()->data(format));
  }
  return copy;
}

// The drop as the window system delivers it: enter, move and drop at the
// point, on the target list's viewport.
void DropAt(QListWidget* target, const QPoint& at, QMimeData* data) {
  QWidget* viewport = target->viewport();
  QDragEnterEvent enter(at, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &enter);
  QDragMoveEvent move(at, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &move);
  QDropEvent drop(at, Qt::MoveAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(viewport, &drop);
  delete data;
}

QPoint OnEntry(QListWidget* list, int row) {
  return list->visualItemRect(list->item(row)).center();
}
QPoint BelowEntries(QListWidget* list) { return QPoint(5, list->viewport()->height() - 3); }

}  // namespace

class GroupsTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanupTestCase() { StopSharedServer(); }

  void DraggedNamesMoveAndTheDivisionReachesTheService() {
    OnlineScene scene;
    QVERIFY2(scene.window, qPrintable(scene.error));
    RollCallWindow* w = scene.window;
    ChooseClass(w, QStringLiteral("一班"));
    OpenGroupTab(w);
    QListWidget* first = GroupList(w, 0);
    QListWidget* fifth = GroupList(w, 5);
    QCOMPARE(Entries(first), kClassOneStudents);
    auto* upload = Child<QPushButton>(w, QStringLiteral("Command29"));
    auto* password = Child<QLineEdit>(w, QStringLiteral("Text11"));
    QVERIFY(!upload->isEnabled());
    QVERIFY(!password->isVisible());

    // 王五, the third name, goes below the last entry of the empty group 5.
    QMimeData* dragged = PressAndDrag(first, 2);
    QVERIFY(dragged);
    QVERIFY(upload->isEnabled());
    QVERIFY(password->isVisible());
    DropAt(fifth, BelowEntries(fifth), dragged);
    QCOMPARE(Entries(first), QStringList({"张三", "李四", "赵六", "钱七"}));
    QCOMPARE(Entries(fifth), QStringList{"王五"});
    QCOMPARE(fifth->currentRow(), 0);

    // Within one list: 钱七 dropped on 张三 moves up to the top.
    DropAt(first, OnEntry(first, 0), PressAndDrag(first, 3));
    QCOMPARE(Entries(first), QStringList({"钱七", "张三", "李四", "赵六"}));
    QCOMPARE(first->currentRow(), 0);

    // No password: a notice, nothing sent.
    QVERIFY(Click(upload));
    QCOMPARE(scene.context.Prompts().Last().title, QStringLiteral("提示"));
    QCOMPARE(scene.context.Prompts().Last().text, QStringLiteral("请输入操作密码！"));
    QCOMPARE(scene.context.Prompts().Last().icon, MessageIcon::kWarning);

    // The password typed here is the upload panel's too.
    QVERIFY(TypeIntoFocus(password, QStringLiteral("wrong")));
    QCOMPARE(scene.window->OperationPassword(), QStringLiteral("wrong"));
    QVERIFY(Click(upload));
    QVERIFY(scene.context.Prompts().Last().text.endsWith(QStringLiteral("\r\n上传错误！")));
    QCOMPARE(scene.context.Prompts().Last().title, QStringLiteral("错误"));

    QVERIFY(TypeIntoFocus(password, scene.teacher.super_password));
    QVERIFY(Click(upload));
    QCOMPARE(scene.context.Prompts().Last().title, QStringLiteral("完成"));
    QCOMPARE(scene.context.Prompts().Last().text, QStringLiteral("上传成功！"));
    QCOMPARE(scene.context.Prompts().Last().icon, MessageIcon::kInformation);
    QHash<QString, QString> groups;
    for (const StudentRow& row : scene.ServiceRoster(QStringLiteral("一班"))) {
      groups.insert(row.name, row.group);
    }
    QCOMPARE(groups.value(QStringLiteral("王五")), QStringLiteral("5"));
    for (const char* name : {"张三", "李四", "赵六", "钱七"}) {
      QCOMPARE(groups.value(QString::fromUtf8(name)), QStringLiteral("0"));
    }
    // The lists stay as the teacher left them.
    QCOMPARE(Entries(fifth), QStringList{"王五"});
    // Choosing the class again shows the uploaded division, not the old one.
    Click(w, QStringLiteral("Command24"));
    ChooseClass(w, QStringLiteral("一班"));
    OpenGroupTab(w);
    QCOMPARE(Entries(GroupList(w, 5)), QStringList{"王五"});

    // The tab switch copies the upload panel's password back: typed there,
    // it is on the tab when the teacher comes back to it.
    Click(w, QStringLiteral("Command24"));
    Click(w, QStringLiteral("Command11"));
    QVERIFY(TypeIntoFocus(Child<QLineEdit>(w, QStringLiteral("Text4")),
                          QStringLiteral("from-upload")));
    Click(w, QStringLiteral("Command12"));
    OpenGroupTab(w);
    QVERIFY(ClickTab(Child<QTabBar>(w, QStringLiteral("TabStrip1")), 0));
    QCOMPARE(password->text(), QStringLiteral("from-upload"));
  }

  void GroupUploadWithoutTheServiceSaysSo() {
    OfflineWindow w;
    w.context.Sess().SignInOnline(QStringLiteral("teacher1"), QStringLiteral("login123"));
    w.ChooseClass(QStringLiteral("一班"));
    OpenGroupTab(w.window);
    // A drag that ends without a drop makes the upload available too.
    delete PressAndDrag(GroupList(w.window, 0), 0);
    QCOMPARE(Entries(GroupList(w.window, 0)), QStringList{"张三"});
    QVERIFY(TypeIntoFocus(Child<QLineEdit>(w.window, QStringLiteral("Text11")),
                          QStringLiteral("op123")));
    Click(w.window, QStringLiteral("Command29"));
    QCOMPARE(w.context.Prompts().Last().title, QStringLiteral("错误"));
    QCOMPARE(w.context.Prompts().Last().text,
             QStringLiteral("网络异常！请检查网络，然后重新上传！"));
  }

  void StatisticsRankTheGroupsOfThePendingScores() {
    OfflineWindow w;  // 张三 group 0, 李四 and 王五 group 1, 赵六 2, 钱七 15
    w.ChooseClass(QStringLiteral("一班"));
    auto* criteria = Child<QListWidget>(w.window, QStringLiteral("List1"));
    for (int round = 0; round < 2; ++round) {  // 3.5 twice: 4, then 8
      PickByHand(w.window, QStringLiteral("赵六"));
      DoubleClickEntry(criteria, 1);
    }
    ScoreByHand(w.window, QStringLiteral("张三"), 0);
    ScoreByHand(w.window, QStringLiteral("李四"), 0);
    ScoreByHand(w.window, QStringLiteral("钱七"), 4);
    QCOMPARE(w.window->PendingScores().size(), 5);
    QVERIFY(w.window->PendingScores()[0].contains(QStringLiteral("\t3.5分\t")));

    Click(w.window, QStringLiteral("Command11"));
    Click(w.window, QStringLiteral("Command27"));
    QVERIFY(Child<QWidget>(w.window, QStringLiteral("Frame8"))->isVisible());
    QVERIFY(!Child<QWidget>(w.window, QStringLiteral("Frame4"))->isVisible());
    auto* ranking = Child<QListWidget>(w.window, QStringLiteral("List9"));
    QCOMPARE(Entries(ranking),
             QStringList({"第2名\t5分\t张三\t 张三", "第2名\t5分\t李四\t 李四 王五",
                          "第1名\t8分\t赵六\t 赵六", "第4名\t1分\t钱七\t 钱七"}));

    DoubleClickEntry(ranking, 1);
    QVERIFY(Child<QWidget>(w.window, QStringLiteral("Frame1"))->isVisible());
    QVERIFY(!Child<QWidget>(w.window, QStringLiteral("Frame8"))->isVisible());
    QCOMPARE(Child<QLabel>(w.window, QStringLiteral("Label22"))->text(), QStringLiteral("第2名"));
    QCOMPARE(Child<QLabel>(w.window, QStringLiteral("Label23"))->text(),
             QStringLiteral("得分：5分"));
    QCOMPARE(Child<QLineEdit>(w.window, QStringLiteral("Text7"))->text(), QStringLiteral("李四"));
    QCOMPARE(Child<QLineEdit>(w.window, QStringLiteral("Text12"))->text(),
             QStringLiteral("李四 王五"));
    Click(w.window, QStringLiteral("Command2"));
    QVERIFY(Child<QWidget>(w.window, QStringLiteral("Frame8"))->isVisible());
    Click(w.window, QStringLiteral("Command28"));
    QVERIFY(Child<QWidget>(w.window, QStringLiteral("Frame4"))->isVisible());
  }
};

QTEST_MAIN(GroupsTest)
#include "groups_test.moc"
