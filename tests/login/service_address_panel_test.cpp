// The first-run address field of the login window: shown only when nothing
// named a service address, checked with the clock request, saved to the
// user's settings only when the service answers.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "login/login_window.h"
#include "tests/support/focus_input.h"
#include "tests/support/test_context.h"

using namespace zorvanix;
using namespace zorvanix::testing;

class ServiceAddressPanelTest : public QObject {
  Q_OBJECT

 private:
  ServerProcess* server_ = nullptr;

  // Types the address into the field the way a teacher does and presses the button.
  static void EnterAndSave(QWidget& window, const QString& address) {
    QVERIFY(
        TypeIntoFocus(FindControl<QLineEdit>(&window, QStringLiteral("txtServiceRoot")), address));
    QVERIFY(Click(FindControl<QPushButton>(&window, QStringLiteral("cmdSaveServiceRoot"))));
  }
  static QString State(QWidget& window) {
    return window.findChild<QLabel*>(QStringLiteral("lblServiceRoot"))->text();
  }

 private slots:
  void initTestCase() { server_ = &SharedServer(WithoutAccessLog()); }
  void cleanupTestCase() { StopSharedServer(); }

  void HiddenWhenAnAddressIsConfigured() {
    TestContext context(server_->Root());
    LoginWindow& window = context.Hub().Login();
    QVERIFY(!window.findChild<QLineEdit*>(QStringLiteral("txtServiceRoot")));
  }

  void UnreachableOrMalformedAddressIsNotSaved() {
    const QString closed = ClosedPortRoot();
    TestContext context(closed);
    context.Context().config.service_root_configured = false;
    LoginWindow& window = context.Hub().Login();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* field = window.findChild<QLineEdit*>(QStringLiteral("txtServiceRoot"));
    QVERIFY(field);
    QCOMPARE(field->text(), closed);

    EnterAndSave(window, QStringLiteral("scores.school"));
    QCOMPARE(State(window), QStringLiteral("地址无效"));
    EnterAndSave(window, closed + QStringLiteral("/"));
    QCOMPARE(State(window), QStringLiteral("无法连接该地址"));
    QCOMPARE(context.Context().service->ServiceRoot(), closed);
    QCOMPARE(context.Settings().Read(QLatin1String(kSavedServiceRootKey)), QString());
  }

  void AnsweringAddressIsSavedAndUsed() {
    TestContext context(ClosedPortRoot());
    context.Context().config.service_root_configured = false;
    LoginWindow& window = context.Hub().Login();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    EnterAndSave(window, server_->Root() + QStringLiteral("/"));
    QCOMPARE(State(window), QStringLiteral("已保存"));
    QCOMPARE(context.Context().service->ServiceRoot(), server_->Root());
    QCOMPARE(context.Context().config.service_root, server_->Root());
    QCOMPARE(context.Settings().Read(QLatin1String(kSavedServiceRootKey)), server_->Root());
    QVERIFY(!context.Context().service->ServerTime().isEmpty());
  }
};

QTEST_MAIN(ServiceAddressPanelTest)
#include "service_address_panel_test.moc"
