// The sign-up window against the real service: the live account-name check,
// the ordered validations, and a registration the service then accepts.
#include "login/sign_up_window.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QApplication>
#include <QtTest>

#include "core/md5_hex.h"
#include "login/login_window.h"
#include "tests/login/signup_fixtures.h"
#include "tests/support/focus_input.h"
#include "tests/support/test_context.h"

using namespace zorvanix;
using namespace zorvanix::testing;
using namespace Qt::StringLiterals;

namespace {

constexpr int kReplyTimeoutMs = 5000;
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kWhite(255, 255, 255);
const QString kChecking = QStringLiteral("正在检查用户名是否可用...");

// Counts every time a widget becomes enabled.
class EnableCounter : public QObject {
 public:
  explicit EnableCounter(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_ && event->type() == QEvent::EnabledChange && widget_->isEnabled()) {
      ++count;
    }
    return false;
  }

 private:
  QWidget* widget_;
};

// The sign-up window of a fresh program, shown, with its controls at hand.
struct SignUpFixture {
  explicit SignUpFixture(const QString& root) : context(root), window(&context.Hub().SignUp()) {
    window->show();
  }
  QLineEdit* Edit(const char* name) { return Control<QLineEdit>(window, name); }
  QLabel* Hint() { return Control<QLabel>(window, "Label5"); }
  QPushButton* Register() { return Control<QPushButton>(window, "Command1"); }
  QTimer* CheckTimer() { return Control<QTimer>(window, "NameCheckTimer"); }

  // Types the name key by key, as a teacher would, and waits for the verdict.
  bool TypeNameAndWaitForReply(const QString& name) {
    if (!TypeIntoFocus(Edit("Text1"), name)) return false;
    return QTest::qWaitFor([&] { return Hint()->text() != kChecking; }, kReplyTimeoutMs);
  }

  // Types key into the account name the moment the next check is sent,
  // before any reply can have come in.
  void EditRightAfterNextRequest(char key) {
    QObject::connect(
        CheckTimer(), &QTimer::timeout, window,
        [key] { QTest::keyClick(QApplication::focusWidget(), key); }, Qt::SingleShotConnection);
  }

  void FillRequired(const QString& teacher, const QString& email, const QString& login_password,
                    const QString& super_password) {
    QVERIFY(TypeIntoFocus(Edit("Text4"), teacher));
    QVERIFY(TypeIntoFocus(Edit("Text5"), email));
    QVERIFY(TypeIntoFocus(Edit("Text2"), login_password));
    QVERIFY(TypeIntoFocus(Edit("Text3"), super_password));
  }

  TestContext context;
  SignUpWindow* window;
};

}  // namespace

class SignUpWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // The access log is kept: the tests read what reached the service.
  void initTestCase() { server_ = &SharedServer(); }
  void cleanupTestCase() { StopSharedServer(); }

  void AccountNameHint_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("hint");
    QTest::newRow("two letters") << "ab"
                                 << "4位以上字母数字_";
    QTest::newRow("hyphen") << "ab-cd"
                            << "非法字符";
    QTest::newRow("letters digit underscore") << "ab1_"
                                              << "√";
    QTest::newRow("capitals") << "AbCD_9"
                              << "√";
  }
  void AccountNameHint() {
    QFETCH(QString, name);
    QFETCH(QString, hint);
    SignUpFixture f(server_->Root());
    const bool free = hint == QStringLiteral("√");
    // A checked name gets a suffix no other run has registered.
    QVERIFY(TypeIntoFocus(f.Edit("Text1"), free ? name + UniqueAccountName(u"x"_s) : name));
    QTRY_COMPARE_WITH_TIMEOUT(f.Hint()->text(), hint, kReplyTimeoutMs);
    QCOMPARE(f.Register()->isEnabled(), free);
    QCOMPARE(BoxColor(f.Edit("Text1")), free ? kGreen : kRed);
  }

  // Typing a whole name quickly asks once, after the pause, and the window is
  // not held up while it asks.
  void CheckWaitsForAPauseInTyping() {
    SignUpFixture f(server_->Root());
    QVERIFY(TypeIntoFocus(f.Edit("Text1"), UniqueAccountName(u"pause"_s)));
    QCOMPARE(f.Hint()->text(), QStringLiteral("正在检查用户名是否可用..."));
    QVERIFY(f.CheckTimer()->isActive());
    QVERIFY(!f.Register()->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(f.Hint()->text(), QStringLiteral("√"), kReplyTimeoutMs);
    QVERIFY(f.Register()->isEnabled());
  }

  // The name is edited right after its check went out, so the "√" for the
  // free prefix arrives after the name became a taken one: it must not
  // confirm it. The taken name's reply is shown verbatim.
  void ReplyForAnOlderTextIsIgnored() {
    const QString taken = UniqueAccountName(u"older"_s) + u'z';
    TeacherSeed seed;
    seed.user = taken;
    SignUpFixture f(server_->Root());
    QVERIFY(RegisterTeacher(*f.context.Context().service, seed));

    EnableCounter enabled(f.Register());
    f.EditRightAfterNextRequest('z');
    QVERIFY(TypeIntoFocus(f.Edit("Text1"), taken.chopped(1)));
    QTRY_COMPARE_WITH_TIMEOUT(f.Edit("Text1")->text(), taken, kReplyTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(f.Hint()->text() != kChecking, kReplyTimeoutMs);
    QCOMPARE(f.Hint()->text(), f.context.Context().service->CheckUserName(taken));
    QCOMPARE(enabled.count, 0);
    QCOMPARE(BoxColor(f.Edit("Text1")), kRed);
  }

  void ValidationsRunInOrderWithTheirFocus() {
    SignUpFixture f(server_->Root());
    QVERIFY(f.TypeNameAndWaitForReply(UniqueAccountName(u"valid"_s)));
    struct Step {
      const char* field;
      QString value;
      QString message;
      const char* focus;
    };
    // Each step fills one more field; the first still failing check speaks.
    const Step steps[] = {
        {"Text4", u"   "_s, u"请输入教师姓名！"_s, "Text4"},
        {"Text4", u"李老师"_s, u"请输入Email地址！"_s, "Text5"},
        {"Text5", u"li@school"_s, u"Email地址不正确！"_s, "Text5"},
        {"Text5", u"li@school.cn"_s, u"请输入登录密码！"_s, "Text2"},
        {"Text2", u"pw1"_s, u"请输入操作密码！"_s, "Text3"},
        {"Text3", u"  "_s, u"请输入操作密码！"_s, "Text3"},
    };
    for (const Step& step : steps) {
      f.context.Prompts().Clear();
      QVERIFY(TypeIntoFocus(f.Edit(step.field), step.value));
      QVERIFY(Click(f.Register()));
      QCOMPARE(f.context.Prompts().Records().size(), 1);
      QCOMPARE(Message(f.context.Prompts().Last()),
               Message(u"提示"_s, step.message, MessageIcon::kWarning));
      QCOMPARE(f.window->focusWidget(), f.Edit(step.focus));
    }
  }

  void FieldsGbkCannotHoldAreRefused() {
    SignUpFixture f(server_->Root());
    QVERIFY(f.TypeNameAndWaitForReply(UniqueAccountName(u"gbk"_s)));
    f.FillRequired(u"刘䶮"_s, u"liu@school.cn"_s, u"pw1"_s, u"op1"_s);
    f.context.Prompts().Clear();
    QVERIFY(Click(f.Register()));
    QCOMPARE(Message(f.context.Prompts().Last()),
             Message(u"提示"_s, u"“刘䶮”中的字符“䶮”无法保存到服务器，请改用其他字！"_s,
                     MessageIcon::kWarning));
    QCOMPARE(f.window->focusWidget(), f.Edit("Text4"));
    f.FillRequired(u"刘老师"_s, u"liu@school.cn"_s, u"pw\U00020BB7"_s, u"op1"_s);
    QVERIFY(Click(f.Register()));
    QCOMPARE(Message(f.context.Prompts().Last()),
             Message(u"提示"_s, u"密码中含有无法保存到服务器的字符，请改用其他字符！"_s,
                     MessageIcon::kWarning));
    QCOMPARE(f.window->focusWidget(), f.Edit("Text2"));
    // Nothing was registered: the window is still open.
    QVERIFY(f.window->isVisible());
  }

  void EmailTest_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("plausible");
    QTest::newRow("separators") << "wang.li-x+y@mail-1.school.edu.cn" << true;
    QTest::newRow("no dot after at") << "wang@school" << false;
    QTest::newRow("blank inside") << "wang li@school.cn" << false;
    QTest::newRow("trailing blank") << "wang@school.cn " << false;
    QTest::newRow("double dot") << "wang..li@school.cn" << false;
    QTest::newRow("chinese") << "王@school.cn" << false;
  }
  void EmailTest() {
    QFETCH(QString, address);
    QFETCH(bool, plausible);
    QCOMPARE(IsPlausibleEmail(address), plausible);
  }

  void PasswordBoxesAreMasked() {
    SignUpFixture f(server_->Root());
    for (const char* field : {"Text2", "Text3"}) {
      QCOMPARE(f.Edit(field)->echoMode(), QLineEdit::Password);
    }
    QCOMPARE(f.Edit("Text1")->echoMode(), QLineEdit::Normal);
  }

  void RegistrationIsAcceptedAtSignIn() {
    SignUpFixture f(server_->Root());
    const QString name = UniqueAccountName(u"Zhang_"_s);
    QVERIFY(f.TypeNameAndWaitForReply(name));
    f.FillRequired(u" 张老师 "_s, u"zhang@school.cn"_s, u"login 1 "_s, u"op&1=2"_s);
    QVERIFY(TypeIntoFocus(f.Edit("Text8"), u"12345"_s));
    QVERIFY(Click(f.Register()));
    QCOMPARE(
        Message(f.context.Prompts().Last()),
        Message(u"成功"_s, u"注册成功！\r\n请用您的帐号和登录密码登录！\r\n请牢记您的操作密码！"_s,
                MessageIcon::kInformation));

    // Passwords travel trimmed; "&" and "=" inside one arrive intact.
    ServiceClient& service = *f.context.Context().service;
    QVERIFY(service.CheckPassword(name, u"login 1"_s).IsSuccess());
    QVERIFY(!service.CheckPassword(name, u"login 2"_s).IsSuccess());
    QVERIFY(service.SetTopics(name, u"op&1=2"_s, {u"阅读"_s}).IsSuccess());
    f.context.Sess().SignInOnline(name, u"login 1"_s);
    QVERIFY(service.GetTeacher().contains(QStringLiteral("张老师")));

    // Back at the login window; required fields emptied, optional ones kept.
    QVERIFY(!f.window->isVisible());
    QVERIFY(f.context.Hub().Login().isVisible());
    for (const char* field : {"Text1", "Text2", "Text3", "Text4", "Text5"}) {
      QVERIFY2(f.Edit(field)->text().isEmpty(), field);
    }
    QCOMPARE(f.Edit("Text8")->text(), QStringLiteral("12345"));
    QCOMPARE(BoxColor(f.Edit("Text1")), kWhite);
    auto* combo = Control<QComboBox>(&f.context.Hub().Login(), "ComboUser");
    QVERIFY(combo);
    QCOMPARE(combo->currentText(), name);
  }

  // A login password of Chinese characters alone gives a read digest that is
  // easy to hit: the registration is refused with the reason and nothing is
  // sent; with letters and digits added the same teacher signs up.
  void AWeakChineseLoginPasswordIsRefusedBeforeAnythingIsSent() {
    SignUpFixture f(server_->Root());
    const QString name = UniqueAccountName(u"weak_signup_"_s);
    QVERIFY(f.TypeNameAndWaitForReply(name));
    f.FillRequired(u"周老师"_s, u"zhou@school.cn"_s, QString(), u"op1"_s);
    const qsizetype log_start = ServiceLogMark(*server_);
    QVERIFY(TypeIntoFocus(f.Edit("Text2"), u"登录密码"_s));
    QCOMPARE(f.Edit("Text2")->text(), u"登录密码"_s);
    QTest::mouseClick(f.Register(), Qt::LeftButton);
    QCOMPARE(Message(f.context.Prompts().Last()),
             Message(u"登录"_s, WeakDigestPasswordText() + u"注册失败，请重试!"_s,
                     MessageIcon::kWarning));
    const QString sent = ServiceLogSince(*server_, log_start);
    QVERIFY2(sent.contains(u"checkusername.php"_s), qPrintable(sent));
    QVERIFY2(!sent.contains(u"regteacher.php"_s), qPrintable(sent));
    QCOMPARE(f.context.Context().service->CheckUserName(name), u"√"_s);
    QVERIFY(f.window->isVisible());
    QCOMPARE(f.Edit("Text4")->text(), u"周老师"_s);

    QVERIFY(TypeIntoFocus(f.Edit("Text2"), u"登录密码abc12345"_s));
    QTest::mouseClick(f.Register(), Qt::LeftButton);
    QCOMPARE(f.context.Prompts().Last().title, u"成功"_s);
    QVERIFY(ServiceLogSince(*server_, log_start).contains(u"POST /score/regteacher.php"_s));
    QVERIFY(f.context.Context().service->CheckPassword(name, u"登录密码abc12345"_s).IsSuccess());
  }

  // A name taken between its check and the registration is refused; a
  // service that went away is a network error. The fields stay either way.
  void FailedRegistrationsKeepTheFields() {
    ServerProcess own;
    QVERIFY(own.Start());
    SignUpFixture f(own.Root());
    const QString name = UniqueAccountName(u"race"_s);
    QVERIFY(f.TypeNameAndWaitForReply(name));
    TeacherSeed seed;
    seed.user = name;
    QVERIFY(RegisterTeacher(*f.context.Context().service, seed));
    f.FillRequired(u"赵老师"_s, u"zhao@school.cn"_s, u"a"_s, u"b"_s);
    QVERIFY(Click(f.Register()));
    PromptRecord shown = f.context.Prompts().Last();
    QCOMPARE(shown.title, QStringLiteral("登录"));
    QCOMPARE(shown.icon, MessageIcon::kWarning);
    QVERIFY(shown.text.endsWith(QStringLiteral("注册失败，请重试!")));
    QVERIFY(shown.text.size() > QStringLiteral("注册失败，请重试!").size());

    own.Kill();
    QVERIFY(Click(f.Register()));
    shown = f.context.Prompts().Last();
    QCOMPARE(shown.title, QStringLiteral("错误"));
    QCOMPARE(shown.icon, MessageIcon::kNone);
    QVERIFY(shown.text.endsWith(QStringLiteral("\r\n网络异常！")));
    QVERIFY(f.window->isVisible());
    QCOMPARE(f.Edit("Text4")->text(), QStringLiteral("赵老师"));

    // Without the service no name is confirmed.
    QVERIFY(f.TypeNameAndWaitForReply(u"nobody1"_s));
    QCOMPARE(f.Hint()->text(), QString());
    QVERIFY(!f.Register()->isEnabled());
  }

  void BackAndCloseShowTheLoginWindow() {
    SignUpFixture f(server_->Root());
    QVERIFY(TypeIntoFocus(f.Edit("Text6"), u"13800000000"_s));
    QVERIFY(Click(Control<QPushButton>(f.window, "Command2")));
    QVERIFY(!f.window->isVisible());
    QVERIFY(f.context.Hub().Login().isVisible());
    f.context.Hub().Login().hide();
    f.window->show();
    QCOMPARE(f.Edit("Text6")->text(), QStringLiteral("13800000000"));
    f.window->close();
    QVERIFY(f.context.Hub().Login().isVisible());
  }

 private:
  ServerProcess* server_ = nullptr;
};

QTEST_MAIN(SignUpWindowTest)
#include "sign_up_window_test.moc"
