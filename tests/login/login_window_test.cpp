// The login window against the real service: remembered names, online sign-in
// that downloads the cache and fills the roll-call window, the three ways a
// sign-in fails, offline sign-in from the cache on disk, and the buttons that
// follow the cache and the network.
#include "login/login_window.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include "core/file_text.h"
#include "core/md5_hex.h"
#include "rollcall/roll_call_window.h"
#include "tests/support/focus_input.h"
#include "tests/support/test_context.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
  return items;
}

// The login window of a context, shown, with its controls by name.
struct Login {
  explicit Login(TestContext& context) : context(context), window(context.Hub().Login()) {
    window.show();
  }
  template <typename T>
  T* Find(const char* name) const {
    return window.findChild<T*>(QLatin1String(name));
  }
  QComboBox* Account() const { return Find<QComboBox>("ComboUser"); }
  QLineEdit* Password() const { return Find<QLineEdit>("txtPassword"); }
  QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
  void Type(const QString& user, const QString& password) const {
    QVERIFY(TypeIntoFocus(Account(), user));
    QVERIFY(TypeIntoFocus(Password(), password));
  }
  void SignIn(const QString& user, const QString& password) const {
    Type(user, password);
    QVERIFY(Click(Button("cmdOK")));
  }

  TestContext& context;
  LoginWindow& window;
};

// A service that accepts every sign-in (after reply_delay_ms) and refuses
// every other request, the record download among them: what a teacher sees
// when the service stops answering between the two.
class SignInOnlyService : public QObject {
 public:
  explicit SignInOnlyService(int reply_delay_ms) : delay_ms_(reply_delay_ms) {
    server_.listen(QHostAddress::LocalHost);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { Answer(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
      }
    });
  }
  QString Root() const { return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort()); }
  int sign_ins = 0;

 private:
  void Answer(QTcpSocket* socket) {
    QByteArray& data = pending_[socket];
    data += socket->readAll();
    const qsizetype head_end = data.indexOf("\r\n\r\n");
    if (head_end < 0) return;
    const QByteArray head = data.left(head_end).toLower();
    const qsizetype length_at = head.indexOf("content-length:");
    const int length =
        length_at < 0 ? 0 : head.mid(length_at + 15, head.indexOf('\r', length_at) - length_at - 15)
                                .trimmed()
                                .toInt();
    if (data.size() < head_end + 4 + length) return;
    const bool sign_in = head.contains("/score/checkpassword.php");
    pending_.remove(socket);
    auto reply = [socket](const QByteArray& status, const QByteArray& body) {
      socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                    QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
      socket->disconnectFromHost();
    };
    if (sign_in) {
      ++sign_ins;
      QTimer::singleShot(delay_ms_, socket, [reply] { reply("200 OK", "Success!"); });
    } else {
      reply("403 Forbidden", "refused");
    }
  }

  QTcpServer server_;
  QHash<QTcpSocket*, QByteArray> pending_;
  int delay_ms_;
};

}  // namespace

class LoginWindowTest : public QObject {
  Q_OBJECT

 private:
  ServerProcess* server_ = nullptr;

 private slots:
  void initTestCase() {
    ServerProcess::Options options;
    options.seed_demo = true;
    server_ = &SharedServer(WithoutAccessLog(options));
  }
  void cleanupTestCase() { StopSharedServer(); }

  void RememberedNamesKeepTheNewestFirst() {
    QCOMPARE(RememberedNames(QStringLiteral("b|a|")), QStringList({"b", "a"}));
    QCOMPARE(RememberedNames(QString()), QStringList());
    QCOMPARE(RememberName(QString(), QStringLiteral("a")), QStringLiteral("a|"));
    QCOMPARE(RememberName(QStringLiteral("a|"), QStringLiteral("b")), QStringLiteral("b|a|"));
    QCOMPARE(RememberName(QStringLiteral("b|a|"), QStringLiteral("a")), QStringLiteral("b|a|"));
    // Whole names only: "a" is not remembered by "ab".
    QCOMPARE(RememberName(QStringLiteral("ab|"), QStringLiteral("a")), QStringLiteral("a|ab|"));
  }

  void LoadShowsTheHintOrTheLastName() {
    TestContext fresh(server_->Root());
    Login first(fresh);
    QCOMPARE(first.Account()->currentText(), kAccountHint);
    QCOMPARE(first.Account()->count(), 0);
    QVERIFY(first.Password()->text().isEmpty());
    QVERIFY(first.Password()->echoMode() == QLineEdit::Password);

    TestContext used(server_->Root());
    used.Settings().Write(QStringLiteral("Username"), QStringLiteral("b|a|"));
    used.Settings().Write(QStringLiteral("LastlogUsername"), QStringLiteral("a"));
    Login second(used);
    QCOMPARE(second.Account()->currentText(), QStringLiteral("a"));
    QCOMPARE(Items(second.Account()), QStringList({"b", "a"}));
  }

  void OnlineSignInFillsTheRollCallWindow() {
    TestContext context(server_->Root());
    QString error;
    TeacherSeed seed;
    QVERIFY2(RegisterTeacher(*context.Context().service, seed, &error), qPrintable(error));
    Login login(context);
    RollCallWindow& roll_call = context.Hub().RollCall();
    login.SignIn(QStringLiteral("demo"), QStringLiteral("demo123"));
    QVERIFY2(context.Prompts().Records().isEmpty(),
             qPrintable(context.Prompts().Texts().join('|')));
    QVERIFY(roll_call.isVisible());
    QVERIFY(!login.window.isVisible());
    QCOMPARE(roll_call.windowTitle(), QStringLiteral("Zorvanix [demo]"));
    QCOMPARE(context.Sess().CurrentUser(), QStringLiteral("demo"));
    QCOMPARE(context.Sess().PasswordDigest(), Md5Hex(QStringLiteral("demo123")));
    QVERIFY(ReadWholeFile(context.CacheFile()).startsWith(QStringLiteral("Class_Is_Ready\t")));
    auto* classes = roll_call.findChild<QComboBox*>(QStringLiteral("Combo2"));
    QVERIFY(classes->isEnabled());
    QCOMPARE(Items(classes), QStringList({"1", "10", "初二(3)班"}));
    auto* topics = roll_call.findChild<QComboBox*>(QStringLiteral("Combo3"));
    QCOMPARE(Items(topics), QStringList({"课堂提问", "小组合作", "随堂练习"}));
    QCOMPARE(topics->currentText(), QStringLiteral("课堂提问"));
    QVERIFY(roll_call.findChild<QPushButton*>(QStringLiteral("btnManage"))->isEnabled());
    QCOMPARE(context.Settings().Read(QStringLiteral("Username")), QStringLiteral("demo|"));
    QCOMPARE(context.Settings().Read(QStringLiteral("LastlogUsername")), QStringLiteral("demo"));

    // A second teacher goes in front; signing in again changes only the last.
    roll_call.hide();
    login.window.show();
    login.SignIn(seed.user, seed.password);
    QCOMPARE(roll_call.windowTitle(), QStringLiteral("Zorvanix [teacher1]"));
    QCOMPARE(context.Settings().Read(QStringLiteral("Username")), QStringLiteral("teacher1|demo|"));
    login.window.show();
    // The service gets the password without its trailing blank, and the
    // digest is of that same password: the record download is demo's, not
    // the previous teacher's cache under demo's name.
    QVERIFY(Items(classes) != QStringList({"1", "10", "初二(3)班"}));
    login.SignIn(QStringLiteral("demo"), QStringLiteral("demo123 "));
    QVERIFY(context.Prompts().Records().isEmpty());
    QCOMPARE(context.Sess().PasswordDigest(), Md5Hex(QStringLiteral("demo123")));
    QCOMPARE(Items(classes), QStringList({"1", "10", "初二(3)班"}));
    QCOMPARE(context.Settings().Read(QStringLiteral("Username")), QStringLiteral("teacher1|demo|"));
    QCOMPARE(context.Settings().Read(QStringLiteral("LastlogUsername")), QStringLiteral("demo"));
    QCOMPARE(Items(login.Account()), QStringList({"teacher1", "demo"}));
  }

  void AFailedRecordDownloadShowsNoPreviousTeachersData() {
    // The cache of the teacher who used this PC before.
    QByteArray previous;
    {
      TestContext first(server_->Root());
      Login login(first);
      login.SignIn(QStringLiteral("demo"), QStringLiteral("demo123"));
      QFile file(first.CacheFile());
      QVERIFY(file.open(QIODevice::ReadOnly));
      previous = file.readAll();
    }
    QVERIFY(previous.startsWith("Class_Is_Ready\t"));
    SignInOnlyService service(0);
    TestContext context(service.Root());
    {
      QFile file(context.CacheFile());
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(previous);
    }
    Login login(context);
    login.SignIn(QStringLiteral("newcomer"), QStringLiteral("secret"));
    QCOMPARE(service.sign_ins, 1);
    QCOMPARE(context.Prompts().Last().title, QStringLiteral("错误"));
    QVERIFY2(context.Prompts().Last().text.startsWith(QStringLiteral("无法下载数据")),
             qPrintable(context.Prompts().Last().text));
    RollCallWindow& roll_call = context.Hub().RollCall();
    QCOMPARE(roll_call.windowTitle(), QStringLiteral("Zorvanix [newcomer]"));
    QCOMPARE(Items(roll_call.findChild<QComboBox*>(QStringLiteral("Combo2"))), QStringList());
    QCOMPARE(Items(roll_call.findChild<QComboBox*>(QStringLiteral("Combo3"))), QStringList());
    // The previous teacher's file is kept aside, not lost.
    QFile aside(context.CacheFile() + QStringLiteral(".previous"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), previous);
  }

  void CancelAbandonsAWaitingSignIn() {
    SignInOnlyService service(1500);
    TestContext context(service.Root());
    Login login(context);
    RollCallWindow& roll_call = context.Hub().RollCall();
    const QString title = roll_call.windowTitle();
    QTimer::singleShot(300, &login.window, [&] {
      QTest::mouseClick(login.Button("cmdCancel"), Qt::LeftButton);
    });
    login.SignIn(QStringLiteral("slow"), QStringLiteral("secret"));
    QCOMPARE(service.sign_ins, 1);
    QVERIFY(!login.window.isVisible());
    QVERIFY(!context.Sess().IsSignedIn());
    QCOMPARE(roll_call.windowTitle(), title);
    QVERIFY(context.Prompts().Records().isEmpty());
    QCOMPARE(context.Settings().Read(QStringLiteral("LastlogUsername")), QString());

    // Closing the window abandons it too.
    login.window.show();
    QTimer::singleShot(300, &login.window, [&] { login.window.close(); });
    login.SignIn(QStringLiteral("slow"), QStringLiteral("secret"));
    QCOMPARE(service.sign_ins, 2);
    QVERIFY(!context.Sess().IsSignedIn());
    QVERIFY(context.Prompts().Records().isEmpty());
  }

  void FailedSignInsSayWhyAndChangeNothing() {
    TestContext context(server_->Root());
    Login login(context);
    login.SignIn(QStringLiteral("demo"), QString());
    QCOMPARE(context.Prompts().Last().title, QStringLiteral("错误"));
    QCOMPARE(context.Prompts().Last().text, QStringLiteral("请输入用户名和密码！"));
    QCOMPARE(context.Prompts().Last().icon, MessageIcon::kError);

    login.SignIn(QStringLiteral("demo"), QStringLiteral("wrong"));
    QCOMPARE(context.Prompts().Last().title, QStringLiteral("登录"));
    QCOMPARE(context.Prompts().Last().text, QStringLiteral("无效的密码，请重试!"));
    QCOMPARE(context.Prompts().Last().icon, MessageIcon::kWarning);
    QCOMPARE(login.Password()->selectedText(), QStringLiteral("wrong"));
    QVERIFY(login.window.isVisible());
    QVERIFY(!context.Sess().IsSignedIn());
    QVERIFY(!QFile::exists(context.CacheFile()));

    TestContext offline_network(ClosedPortRoot());
    Login down(offline_network);
    down.SignIn(QStringLiteral("demo"), QStringLiteral("demo123"));
    QCOMPARE(offline_network.Prompts().Last().title, QStringLiteral("错误"));
    QVERIFY(offline_network.Prompts().Last().text.endsWith(QStringLiteral("\r\n网络异常！")));
    QCOMPARE(offline_network.Prompts().Last().icon, MessageIcon::kNone);
    QVERIFY(!offline_network.Sess().IsSignedIn());
    QVERIFY(down.window.isVisible());
  }

  void OfflineSignInReadsTheCacheOnDisk() {
    TestContext context(server_->Root());
    Login login(context);
    login.SignIn(QStringLiteral("demo"), QStringLiteral("demo123"));
    RollCallWindow& roll_call = context.Hub().RollCall();
    QVERIFY(roll_call.isVisible());
    const QString digest = context.Sess().PasswordDigest();

    // The cache now on disk is what offline work sees; the service is not asked.
    QVERIFY(WriteLinesAtomically(
        context.CacheFile(),
        {QStringLiteral("Class_Is_Ready\t离线班\t"), QStringLiteral("[keti]\t复习\t"),
         QStringLiteral("离线班\t张三\t0\t1\t3\t1")}));
    roll_call.hide();
    login.window.show();
    QTRY_VERIFY_WITH_TIMEOUT(login.Button("Command1")->isEnabled(), 2000);
    QVERIFY(Click(login.Button("Command1")));
    QCOMPARE(context.Sess().CurrentUser(), QStringLiteral("离线用户"));
    QCOMPARE(context.Sess().PasswordDigest(), digest);
    QVERIFY(roll_call.isVisible());
    QVERIFY(!login.window.isVisible());
    QCOMPARE(roll_call.windowTitle(), QStringLiteral("Zorvanix [离线用户]"));
    QCOMPARE(Items(roll_call.findChild<QComboBox*>(QStringLiteral("Combo2"))),
             QStringList({"离线班"}));
    // Offline leaves the management button as it was (enabled online before).
    QVERIFY(roll_call.findChild<QPushButton*>(QStringLiteral("btnManage"))->isEnabled());
    QCOMPARE(context.Settings().Read(QStringLiteral("Username")), QStringLiteral("demo|"));
  }

  void ButtonsFollowTheCacheAndTheNetwork() {
    TestContext context(server_->Root());
    Login login(context);
    QTRY_VERIFY_WITH_TIMEOUT(!login.Button("Command1")->isEnabled(), 1000);
    QVERIFY(login.Button("cmdOK")->isEnabled());
    QVERIFY(login.Button("Command2")->isEnabled());
    QVERIFY(login.Button("Command3")->isEnabled());

    context.Network().connected = false;
    QTRY_VERIFY_WITH_TIMEOUT(!login.Button("cmdOK")->isEnabled(), 1000);
    QVERIFY(!login.Button("Command2")->isEnabled());
    QVERIFY(login.Button("Command3")->isEnabled());

    QVERIFY(WriteLinesAtomically(context.CacheFile(), {QStringLiteral("Class_Is_Ready\t")}));
    context.Network().connected = true;
    QTRY_VERIFY_WITH_TIMEOUT(login.Button("Command1")->isEnabled(), 1000);
    QVERIFY(login.Button("cmdOK")->isEnabled());
  }

  void ForgetCancelAndCloseReturnAsTheyShould() {
    TestContext context(server_->Root());
    context.Settings().Write(QStringLiteral("Username"), QStringLiteral("b|a|"));
    context.Settings().Write(QStringLiteral("LastlogUsername"), QStringLiteral("a"));
    Login login(context);
    QVERIFY(Click(login.Button("Command4")));
    QCOMPARE(login.Account()->count(), 0);
    QCOMPARE(login.Account()->currentText(), QString());
    QCOMPARE(context.Settings().Read(QStringLiteral("Username")), QString());
    QCOMPARE(context.Settings().Read(QStringLiteral("LastlogUsername")), QString());

    RollCallWindow& roll_call = context.Hub().RollCall();
    login.Type(QStringLiteral("someone"), QStringLiteral("secret"));
    QVERIFY(Click(login.Button("cmdCancel")));
    QVERIFY(!login.window.isVisible());
    QVERIFY(roll_call.isVisible());
    login.window.show();
    QCOMPARE(login.Password()->text(), QStringLiteral("secret"));  // hidden, not unloaded

    login.window.close();
    QVERIFY(roll_call.isVisible());
    login.window.show();
    QVERIFY(login.Password()->text().isEmpty());  // closed: loaded afresh
    QCOMPARE(login.Account()->currentText(), kAccountHint);
    QVERIFY(!context.Sess().IsSignedIn());
  }

  void SignUpAndPasswordResetOpenTheirWindows() {
    TestContext context(server_->Root());
    Login login(context);
    const auto shown = [](const QString& name) {
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name && window->isVisible()) return true;
      }
      return false;
    };
    QVERIFY(Click(login.Button("Command2")));
    QVERIFY(!login.window.isVisible());
    QVERIFY(shown(QStringLiteral("frmReg")));
    login.window.show();
    QVERIFY(Click(login.Button("Command3")));
    QVERIFY(!login.window.isVisible());
    QVERIFY(shown(QStringLiteral("frmPswd")));
  }
};

QTEST_MAIN(LoginWindowTest)
#include "login_window_test.moc"
