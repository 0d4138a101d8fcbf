// The password-reset window against the real service: which buttons the
// input allows, the code mailed by the service, and the reset it accepts.
#include "login/password_reset_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
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

struct ResetFixture {
  explicit ResetFixture(const QString& root, const QString& support_email = QString())
      : context(root) {
    context.Context().config.support_email = support_email;
    window = &context.Hub().PasswordReset();
    window->show();
  }
  QLineEdit* Edit(const char* name) { return Control<QLineEdit>(window, name); }
  QCheckBox* Check(const char* name) { return Control<QCheckBox>(window, name); }
  QPushButton* SendCode() { return Control<QPushButton>(window, "Command3"); }
  QPushButton* Reset() { return Control<QPushButton>(window, "Command1"); }
  PromptRecord Shown() { return context.Prompts().Last(); }

  TestContext context;
  PasswordResetWindow* window = nullptr;
};

}  // namespace

class PasswordResetWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // The access log is kept: the tests read what reached the service.
  void initTestCase() { server_ = &SharedServer(); }
  void cleanupTestCase() { StopSharedServer(); }

  // Both boxes start ticked; each button follows exactly what it needs.
  void ButtonsFollowTheInput() {
    ResetFixture f(server_->Root());
    QVERIFY(f.Check("Check1")->isChecked() && f.Edit("Text3")->isVisible());
    QVERIFY(f.Check("Check2")->isChecked() && f.Edit("Text4")->isVisible());
    QVERIFY(!f.SendCode()->isEnabled());
    QVERIFY(!f.Reset()->isEnabled());

    QVERIFY(TypeIntoFocus(f.Edit("Text1"), u"wang"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text2"), u"   "_s));
    QVERIFY(!f.SendCode()->isEnabled());
    QVERIFY(TypeIntoFocus(f.Edit("Text2"), u"wang@school.cn"_s));
    QVERIFY(f.SendCode()->isEnabled());

    QVERIFY(TypeIntoFocus(f.Edit("TxtCheckCode"), u"123456"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text3"), u"new1"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text4"), u"   "_s));
    QVERIFY(!f.Reset()->isEnabled());  // a ticked password of blanks is empty
    QVERIFY(SetTicked(f.Check("Check2"), false));
    QVERIFY(!f.Edit("Text4")->isVisible());
    QVERIFY(f.Reset()->isEnabled());
    QVERIFY(SetTicked(f.Check("Check1"), false));
    QVERIFY(!f.Reset()->isEnabled());  // nothing to change, though Text3 holds text
    QVERIFY(SetTicked(f.Check("Check1"), true));
    QCOMPARE(f.Edit("Text3")->text(), QStringLiteral("new1"));
    QVERIFY(f.Reset()->isEnabled());
    f.Edit("Text1")->clear();
    QVERIFY(!f.SendCode()->isEnabled());
    QVERIFY(!f.Reset()->isEnabled());
  }

  // The whole road: a wrong address is refused; a code mailed to an address
  // holding "+"; a wrong code refused; the right code sets the new login
  // password, and the old one no longer signs in. A second reset of the
  // operation password alone leaves the login password as it is.
  void ResetWithTheMailedCode() {
    TeacherSeed seed;
    seed.user = UniqueAccountName(u"reset"_s);
    seed.email = u"li+reset@school.cn"_s;
    ResetFixture f(server_->Root());
    ServiceClient& service = *f.context.Context().service;
    QVERIFY(RegisterTeacher(service, seed));

    QVERIFY(TypeIntoFocus(f.Edit("Text1"), seed.user));
    QVERIFY(TypeIntoFocus(f.Edit("Text2"), u"li@school.cn"_s));
    QVERIFY(Click(f.SendCode()));
    QCOMPARE(Message(f.Shown()),
             Message(QStringLiteral("请重试"),
                     QStringLiteral("用户名或者Email有误，请查证后重试！"), MessageIcon::kWarning));

    QVERIFY(TypeIntoFocus(f.Edit("Text2"), seed.email));
    QVERIFY(Click(f.SendCode()));
    QCOMPARE(Message(f.Shown()),
             Message(QStringLiteral("请查收"),
                     QStringLiteral("验证码已经发送到您的邮箱:li+reset@school.cn"),
                     MessageIcon::kInformation));
    const QString code = CheckCodeFromMail(server_->LatestMail());
    QVERIFY2(!code.isEmpty(), qPrintable(server_->LatestMail()));

    QVERIFY(TypeIntoFocus(f.Edit("TxtCheckCode"), code + u"9"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text3"), u" fresh-login "_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text4"), u"fresh-op"_s));
    QVERIFY(Click(f.Reset()));
    QCOMPARE(Message(f.Shown()),
             Message(QStringLiteral("错误"), QStringLiteral("验证码错误，请重试！"),
                     MessageIcon::kWarning));
    QVERIFY(service.CheckPassword(seed.user, seed.password).IsSuccess());

    QVERIFY(TypeIntoFocus(f.Edit("TxtCheckCode"), u" "_s + code + u" "_s));
    QVERIFY(Click(f.Reset()));
    QCOMPARE(Message(f.Shown()), Message(QStringLiteral("成功"), QStringLiteral("密码修改成功！"),
                                         MessageIcon::kInformation));
    QVERIFY(service.CheckPassword(seed.user, u"fresh-login"_s).IsSuccess());
    QVERIFY(!service.CheckPassword(seed.user, seed.password).IsSuccess());

    QVERIFY(Click(f.SendCode()));
    QVERIFY(SetTicked(f.Check("Check1"), false));
    QVERIFY(TypeIntoFocus(f.Edit("TxtCheckCode"), CheckCodeFromMail(server_->LatestMail())));
    QVERIFY(TypeIntoFocus(f.Edit("Text4"), u"second-op"_s));
    QVERIFY(Click(f.Reset()));
    QCOMPARE(f.Shown().text, QStringLiteral("密码修改成功！"));
    QVERIFY(service.CheckPassword(seed.user, u"fresh-login"_s).IsSuccess());
    QVERIFY(service.SetTopics(seed.user, u"second-op"_s, {u"阅读"_s}).IsSuccess());
    QVERIFY(!service.SetTopics(seed.user, u"fresh-op"_s, {u"阅读"_s}).IsSuccess());
  }

  // A new login password of Chinese characters alone is refused with the
  // reason before the code is sent: the code stays good for a sound one.
  void AWeakChineseLoginPasswordIsRefusedBeforeTheCodeIsSpent() {
    TeacherSeed seed;
    seed.user = UniqueAccountName(u"weak_reset_"_s);
    seed.email = u"wu@school.cn"_s;
    ResetFixture f(server_->Root());
    ServiceClient& service = *f.context.Context().service;
    QVERIFY(RegisterTeacher(service, seed));
    QVERIFY(TypeIntoFocus(f.Edit("Text1"), seed.user));
    QVERIFY(TypeIntoFocus(f.Edit("Text2"), seed.email));
    QTest::mouseClick(f.SendCode(), Qt::LeftButton);
    QCOMPARE(f.Shown().title, u"请查收"_s);
    const QString code = CheckCodeFromMail(server_->LatestMail());
    QVERIFY2(!code.isEmpty(), qPrintable(server_->LatestMail()));

    QVERIFY(TypeIntoFocus(f.Edit("TxtCheckCode"), code));
    QVERIFY(TypeIntoFocus(f.Edit("Text3"), u"新的密码"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text4"), u"new-op"_s));
    const qsizetype log_start = ServiceLogMark(*server_);
    QTest::mouseClick(f.Reset(), Qt::LeftButton);
    QCOMPARE(Message(f.Shown()),
             Message(u"错误"_s, WeakDigestPasswordText(), MessageIcon::kWarning));
    QCOMPARE(QApplication::focusWidget(), f.Edit("Text3"));
    const QString sent = ServiceLogSince(*server_, log_start);
    QVERIFY2(!sent.contains(u"setpassword.php"_s), qPrintable(sent));
    QVERIFY(service.CheckPassword(seed.user, seed.password).IsSuccess());

    QVERIFY(TypeIntoFocus(f.Edit("Text3"), u"新的密码abc12345"_s));
    QTest::mouseClick(f.Reset(), Qt::LeftButton);
    QCOMPARE(Message(f.Shown()), Message(u"成功"_s, u"密码修改成功！"_s, MessageIcon::kInformation));
    QVERIFY(service.CheckPassword(seed.user, u"新的密码abc12345"_s).IsSuccess());
  }

  // The service's own refusal is shown as it stands, not as a lost
  // connection: a teacher asking a fourth code within the hour learns that.
  void TooManyCodesSaysSo() {
    TeacherSeed seed;
    seed.user = UniqueAccountName(u"often"_s);
    seed.email = u"often@school.cn"_s;
    ResetFixture f(server_->Root());
    QVERIFY(RegisterTeacher(*f.context.Context().service, seed));
    QVERIFY(TypeIntoFocus(f.Edit("Text1"), seed.user));
    QVERIFY(TypeIntoFocus(f.Edit("Text2"), seed.email));
    for (int sent = 0; sent < 3; ++sent) {
      QVERIFY(Click(f.SendCode()));
      QCOMPARE(f.Shown().title, QStringLiteral("请查收"));
    }
    QVERIFY(Click(f.SendCode()));
    QCOMPARE(Message(f.Shown()),
             Message(QStringLiteral("请重试"), QStringLiteral("验证码邮件发送过于频繁，请稍后再试"),
                     MessageIcon::kWarning));
  }

  void UnreachableService() {
    ResetFixture f(ClosedPortRoot());
    QVERIFY(TypeIntoFocus(f.Edit("Text1"), u"wang"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text2"), u"wang@school.cn"_s));
    QVERIFY(Click(f.SendCode()));
    QCOMPARE(Message(f.Shown()), Message(QStringLiteral("错误"), QStringLiteral("无法连接到服务器"),
                                         MessageIcon::kError));

    QVERIFY(TypeIntoFocus(f.Edit("TxtCheckCode"), u"123456"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text3"), u"a"_s));
    QVERIFY(TypeIntoFocus(f.Edit("Text4"), u"b"_s));
    QVERIFY(Click(f.Reset()));
    QCOMPARE(Message(f.Shown()),
             Message(QStringLiteral("错误"), QStringLiteral("网络异常！"), MessageIcon::kWarning));
    QCOMPARE(Control<QLabel>(f.window, "lblEmail")->text(), QStringLiteral("网络异常！"));
    QVERIFY(f.Reset()->isEnabled());  // ready to try again
  }

  void ContactLineNamesTheSupportAddress() {
    {
      ResetFixture f(server_->Root(), u"help@school.cn"_s);
      QVERIFY(Control<QLabel>(f.window, "lblContact")->text().contains(u"help@school.cn"_s));
    }
    ResetFixture f(server_->Root());
    const QString text = Control<QLabel>(f.window, "lblContact")->text();
    QVERIFY(text.contains(u"管理员"_s));
    QVERIFY(!text.contains(u'@'));
  }

  void BackShowsTheLoginWindow() {
    ResetFixture f(server_->Root());
    QVERIFY(Click(Control<QPushButton>(f.window, "Command2")));
    QVERIFY(!f.window->isVisible());
    QVERIFY(f.context.Hub().Login().isVisible());
  }

 private:
  ServerProcess* server_ = nullptr;
};

QTEST_MAIN(PasswordResetWindowTest)
#include "password_reset_window_test.moc"
