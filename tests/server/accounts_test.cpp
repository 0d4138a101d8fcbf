// Sign-up, sign-in, account details, password changes, resets by mail and
// the limit on wrong passwords.
#include <QRegularExpression>
#include <QtTest>

#include "core/md5_hex.h"
#include "tests/server/service_http.h"
#include "tests/server/smtp_sink.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {

class AccountsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    ZV_START_SERVICE(server_);
    http_ = std::make_unique<ServiceHttp>(server_.Root());
  }

  void chineseAccountSignsInAndReadsItsDetails() {
    const Account teacher{QStringLiteral("Wang_01"), QStringLiteral("密码曌1"),
                          QStringLiteral("操作"), QStringLiteral("王老师"),
                          QStringLiteral("wang@example.com")};
    QCOMPARE(http_->Get(QStringLiteral("/score/checkusername.php"), {{"u", teacher.user}}).Text(),
             QStringLiteral("√"));
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    QCOMPARE(http_->Get(QStringLiteral("/score/checkusername.php"), {{"u", teacher.user}}).Text(),
             QStringLiteral("该用户名已被注册"));

    const HttpResult accepted = SignIn(*http_, teacher.user, teacher.login);
    QCOMPARE(accepted.status, 200);
    QCOMPARE(accepted.body, QByteArray("Success!"));
    QCOMPARE(accepted.content_type, QByteArray("text/plain; charset=GBK"));

    // mp is the digest of the Chinese password, not the MD5 of its bytes.
    const HttpResult details = Read(*http_, QStringLiteral("/score/getteacher.php"), teacher);
    QCOMPARE(details.status, 200);
    QCOMPARE(details.Text(), QStringLiteral("王老师\r\nWang_01\r\nwang@example.com"));

    Account wrong_digest = teacher;
    wrong_digest.login = QStringLiteral("别的密码");
    const HttpResult refused = Read(*http_, QStringLiteral("/score/getteacher.php"), wrong_digest);
    QCOMPARE(refused.status, 403);
    QVERIFY(!refused.Text().isEmpty());
  }

  void wrongOrMissingPasswordsAreRefused_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("wrong password") << "refuse_me"
                                    << "nope";
    QTest::newRow("unknown account") << "nobody_here"
                                     << "secret1";
    QTest::newRow("empty password") << "refuse_me"
                                    << "";
    QTest::newRow("operation password at sign-in") << "refuse_me"
                                                   << "op-secret";
  }
  void wrongOrMissingPasswordsAreRefused() {
    static const bool registered =
        Register(*http_, {QStringLiteral("refuse_me"), QStringLiteral("secret1"),
                          QStringLiteral("op-secret")}) == u"Success!";
    QVERIFY(registered);
    QFETCH(QString, user);
    QFETCH(QString, password);
    const HttpResult reply = SignIn(*http_, user, password);
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.Text() != u"Success!");
    QVERIFY(!reply.Text().isEmpty());
  }

  void registrationRefusals_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("reply");
    QTest::newRow("short name") << "abc"
                                << "李老师"
                                << "a"
                                << "b"
                                << "li@example.com"
                                << "用户名须为4至32位字母、数字或下划线";
    QTest::newRow("hyphen") << "ab-cd"
                            << "李老师"
                            << "a"
                            << "b"
                            << "li@example.com"
                            << "用户名须为4至32位字母、数字或下划线";
    QTest::newRow("taken in other case") << "TAKEN_one"
                                         << "李老师"
                                         << "a"
                                         << "b"
                                         << "li@example.com"
                                         << "该用户名已被注册";
    QTest::newRow("blank teacher name") << "blank_name"
                                        << "  "
                                        << "a"
                                        << "b"
                                        << "li@example.com"
                                        << "请输入教师姓名！";
    QTest::newRow("no dot after at") << "bad_mail"
                                     << "李老师"
                                     << "a"
                                     << "b"
                                     << "li@example"
                                     << "Email地址不正确！";
    QTest::newRow("no login password") << "no_login"
                                       << "李老师"
                                       << " "
                                       << "b"
                                       << "li@example.com"
                                       << "请输入登录密码！";
    QTest::newRow("no operation password") << "no_oper"
                                           << "李老师"
                                           << "a"
                                           << ""
                                           << "li@example.com"
                                           << "请输入操作密码！";
  }
  void registrationRefusals() {
    static const bool registered =
        Register(*http_, {QStringLiteral("taken_one"), QStringLiteral("x"), QStringLiteral("y")}) ==
        u"Success!";
    QVERIFY(registered);
    QFETCH(QString, user);
    QFETCH(QString, name);
    QFETCH(QString, login);
    QFETCH(QString, operation);
    QFETCH(QString, email);
    QFETCH(QString, reply);
    QCOMPARE(Register(*http_, {user, login, operation, name, email}), reply);
  }

  void accountChangesNeedTheOperationPasswordAndTakeEffectAtOnce() {
    Account teacher{QStringLiteral("changer"), QStringLiteral("old-login"),
                    QStringLiteral("old-op")};
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    // Reads are remembered for a while; a change must not keep the old digest working.
    QCOMPARE(Read(*http_, QStringLiteral("/score/record.php"), teacher).status, 200);
    auto set_teacher = [&](const QString& old_op, const QString& email, const QString& login,
                           const QString& op) {
      FormBody body;
      body.Add(u"username", teacher.user)
          .Add(u"email", email)
          .Add(u"oldsuperpassword", old_op)
          .Add(u"newlogpassword", login)
          .Add(u"newsuperpassword", op);
      return http_->Post(QStringLiteral("/score/setteacher.php"), body).Text();
    };
    QCOMPARE(set_teacher(QStringLiteral("wrong"), QStringLiteral("new@example.com"), {}, {}),
             QStringLiteral("用户名或操作密码错误"));
    QCOMPARE(set_teacher(teacher.operation, QStringLiteral("not-an-address"), {}, {}),
             QStringLiteral("Email地址不正确！"));
    QCOMPARE(set_teacher(teacher.operation, QStringLiteral("new@example.com"),
                         QStringLiteral("新登录"), QStringLiteral("new-op")),
             QStringLiteral("Success!"));

    const HttpResult stale = Read(*http_, QStringLiteral("/score/record.php"), teacher);
    QCOMPARE(stale.status, 403);
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), teacher, {{"class", "A"}}),
             QStringLiteral("用户名或操作密码错误"));

    teacher.login = QStringLiteral("新登录");
    teacher.operation = QStringLiteral("new-op");
    QCOMPARE(Read(*http_, QStringLiteral("/score/getteacher.php"), teacher).Text(),
             QStringLiteral("测试老师\r\nchanger\r\nnew@example.com"));
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), teacher, {{"class", "A"}}),
             QStringLiteral("Success!"));
    // Empty new passwords keep the current ones.
    QCOMPARE(set_teacher(teacher.operation, QStringLiteral("new@example.com"), {}, {}),
             QStringLiteral("Success!"));
    QCOMPARE(Read(*http_, QStringLiteral("/score/record.php"), teacher).status, 200);
  }

  void passwordResetByMailedCode() {
    Account teacher{QStringLiteral("forgetful"), QStringLiteral("lost"), QStringLiteral("lost-op"),
                    QStringLiteral("赵老师"), QStringLiteral("zhao@example.com")};
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    const QString code_path = QStringLiteral("/score/getpswdcode.php");
    QCOMPARE(
        http_->Get(code_path, {{"username", teacher.user}, {"email", "other@example.com"}}).Text(),
        QStringLiteral("failure"));
    QCOMPARE(
        http_->Get(code_path, {{"username", teacher.user}, {"email", "ZHAO@example.com"}}).Text(),
        QStringLiteral("success"));
    const QString mail = server_.LatestMail();
    QVERIFY(mail.contains(QStringLiteral("To: zhao@example.com")));
    const QString code = CodeIn(mail);
    QVERIFY2(!code.isEmpty(), qPrintable(mail));

    auto reset = [&](const QString& check_code, const QString& login, const QString& op) {
      FormBody body;
      body.Add(u"username", teacher.user)
          .Add(u"checkcode", check_code)
          .Add(u"newpswd", login)
          .Add(u"newsuperpswd", op);
      return http_->Post(QStringLiteral("/score/setpassword.php"), body).Text();
    };
    const QString wrong = code == u"000000" ? QStringLiteral("000001") : QStringLiteral("000000");
    QCOMPARE(reset(wrong, QStringLiteral("found"), {}), QStringLiteral("failure"));
    QCOMPARE(reset(code, QStringLiteral("found"), {}), QStringLiteral("success"));
    // Single use.
    QCOMPARE(reset(code, QStringLiteral("again"), {}), QStringLiteral("failure"));

    QCOMPARE(SignIn(*http_, teacher.user, u"found").Text(), QStringLiteral("Success!"));
    // Only the login password changed; the operation password still works.
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), teacher, {{"class", "B"}}),
             QStringLiteral("Success!"));
  }

  void resetCodeCanTravelBySmtp() {
    SmtpSink relay;
    ServerProcess with_smtp(WithArguments(
        {QStringLiteral("--smtp"), QStringLiteral("smtp://127.0.0.1:%1").arg(relay.Port()),
         QStringLiteral("--mail-from"), QStringLiteral("service@school.example")}));
    QString error;
    QVERIFY2(with_smtp.Start(&error), qPrintable(error));
    const ServiceHttp http(with_smtp.Root());
    const Account teacher{QStringLiteral("by_smtp"), QStringLiteral("pw"), QStringLiteral("op"),
                          QStringLiteral("孙老师"), QStringLiteral("sun@example.com")};
    QCOMPARE(Register(http, teacher), QStringLiteral("Success!"));
    QCOMPARE(http.Get(QStringLiteral("/score/getpswdcode.php"),
                      {{"username", teacher.user}, {"email", teacher.email}})
                 .Text(),
             QStringLiteral("success"));
    QTRY_COMPARE_WITH_TIMEOUT(relay.Mails().size(), 1, 10000);
    QCOMPARE(relay.Recipients(), QList<QByteArray>({"RCPT TO:<sun@example.com>"}));
    const QString mail = QString::fromUtf8(relay.Mails().first());
    QVERIFY(mail.contains(QStringLiteral("From: service@school.example")));
    QVERIFY(QDir(with_smtp.MailSpoolDir()).isEmpty());
    FormBody reset;
    reset.Add(u"username", teacher.user)
        .Add(u"checkcode", CodeIn(mail))
        .Add(u"newpswd", u"")
        .Add(u"newsuperpswd", u"新操作");
    QCOMPARE(http.Post(QStringLiteral("/score/setpassword.php"), reset).Text(),
             QStringLiteral("success"));
  }

  // The attack that took an account over in seconds: guess codes, ask for a
  // new code whenever one is used up, guess on. Wrong codes count across
  // requests, so after three the account's reset waits, even for the right
  // code of a fresh mail; and the victim gets three mails an hour at most.
  void resetCodesCannotBeBruteForced() {
    const Account teacher{QStringLiteral("victim"), QStringLiteral("pw"), QStringLiteral("op"),
                          QStringLiteral("李老师"), QStringLiteral("li@example.com")};
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    auto ask = [&] { return AskResetCode(*http_, teacher); };
    auto reset = [&](const QString& code) { return ResetWithCode(*http_, teacher, code); };
    QCOMPARE(ask(), QStringLiteral("success"));
    QString code = CodeIn(server_.LatestMail());
    QVERIFY(!code.isEmpty());
    int tries = 0;
    for (int guess = 0; guess < 300; ++guess) {
      const QString text = QStringLiteral("%1").arg(guess, 6, 10, QLatin1Char('0'));
      if (text == code) continue;
      QCOMPARE(reset(text), QStringLiteral("failure"));
      ++tries;
      if (tries == 4) QCOMPARE(reset(code), QStringLiteral("failure"));
    }
    for (int mail = 2; mail <= 3; ++mail) {
      QCOMPARE(ask(), QStringLiteral("success"));
      code = CodeIn(server_.LatestMail());
      QCOMPARE(reset(code), QStringLiteral("failure"));
    }
    QCOMPARE(ask(), QStringLiteral("验证码邮件发送过于频繁，请稍后再试"));
    QCOMPARE(SignIn(*http_, teacher.user, u"pw").Text(), QStringLiteral("Success!"));
    QCOMPARE(SignIn(*http_, teacher.user, u"taken").Text(), QStringLiteral("用户名或密码错误"));
  }

  // What guards a reset lives in the database: a restart of the service
  // neither lifts the wait that wrong codes earned nor starts the hour of
  // code mails again.
  void resetGuardsSurviveARestart() {
    ServerProcess own;
    QString error;
    QVERIFY2(own.Start(&error), qPrintable(error));
    const Account teacher{QStringLiteral("restarted"), QStringLiteral("pw"), QStringLiteral("op"),
                          QStringLiteral("周老师"), QStringLiteral("zhou@example.com")};
    QCOMPARE(Register(ServiceHttp(own.Root()), teacher), QStringLiteral("Success!"));
    // The service's address is read at each request: a restart may move it.
    auto ask = [&] { return AskResetCode(ServiceHttp(own.Root()), teacher); };
    auto reset = [&](const QString& code) {
      return ResetWithCode(ServiceHttp(own.Root()), teacher, code);
    };
    QCOMPARE(ask(), QStringLiteral("success"));
    const QString first = CodeIn(own.LatestMail());
    QCOMPARE(ask(), QStringLiteral("success"));
    const QString code = CodeIn(own.LatestMail());
    QVERIFY(!code.isEmpty() && code != first);
    for (int guess = 0; guess < 4; ++guess) {
      const QString wrong = QStringLiteral("%1").arg(guess, 6, 10, QLatin1Char('0'));
      QCOMPARE(reset(wrong == code ? QStringLiteral("999999") : wrong), QStringLiteral("failure"));
    }
    own.Stop();
    QVERIFY2(own.Start(&error), qPrintable(error));
    // The right code of the latest mail still waits for the minute to pass.
    QCOMPARE(reset(code), QStringLiteral("failure"));
    QCOMPARE(ask(), QStringLiteral("success"));  // the third mail of the hour
    own.Stop();
    QVERIFY2(own.Start(&error), qPrintable(error));
    QCOMPARE(ask(), QStringLiteral("验证码邮件发送过于频繁，请稍后再试"));
    QCOMPARE(SignIn(ServiceHttp(own.Root()), teacher.user, u"pw").Text(),
             QStringLiteral("Success!"));
  }

  // A stranger at another desk guessing a teacher's password is slowed down;
  // the teacher, signing in from a desk that has not failed, is not.
  void wrongPasswordsSlowTheGuessingDeskNotTheTeacher() {
    const Account teacher{QStringLiteral("targeted"), QStringLiteral("right"),
                          QStringLiteral("op-right")};
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    ServiceHttp stranger(server_.Root());
    stranger.SetSourceAddress(QStringLiteral("127.0.0.2"));
    for (int i = 0; i < kAccountLimit; ++i) {
      QCOMPARE(SignIn(stranger, teacher.user, u"guess").Text(), QStringLiteral("用户名或密码错误"));
    }
    for (int i = 0; i < 20; ++i) {
      const QString slowed = SignIn(stranger, teacher.user, u"guess").Text();
      QVERIFY2(slowed.startsWith(QStringLiteral("密码错误次数过多")), qPrintable(slowed));
    }
    // Even the right password waits at the guessing desk ...
    QVERIFY(SignIn(stranger, teacher.user, u"right").Text().startsWith(u"密码错误次数过多"));
    // ... while the teacher's own desk signs in, uploads and reads at once.
    QCOMPARE(SignIn(*http_, teacher.user, u"right").Text(), QStringLiteral("Success!"));
    QCOMPARE(Change(*http_, QStringLiteral("/score/setclass.php"), teacher, {{"class", "A"}}),
             QStringLiteral("Success!"));
    QCOMPARE(Read(*http_, QStringLiteral("/score/record.php"), teacher).status, 200);
  }

  // Wrong read digests are counted per account too, wherever they come from:
  // guesses spread over desks still end up waiting.
  void wrongDigestsAreSlowedPerAccount() {
    const Account teacher{QStringLiteral("digest_target"), QStringLiteral("登录7"),
                          QStringLiteral("op")};
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    Account guess = teacher;
    int refused = 0;
    for (int desk = 2; desk < 2 + 2 * kAccountLimit + 1; ++desk) {
      ServiceHttp http(server_.Root());
      http.SetSourceAddress(QStringLiteral("127.0.0.%1").arg(desk));
      guess.login = QStringLiteral("登录%1").arg(100 + desk);
      const HttpResult reply = Read(http, QStringLiteral("/score/record.php"), guess);
      if (reply.status == 429) ++refused;
    }
    QCOMPARE(refused, 1);
    ServiceHttp fresh(server_.Root());
    fresh.SetSourceAddress(QStringLiteral("127.0.0.99"));
    QCOMPARE(Read(fresh, QStringLiteral("/score/record.php"), teacher).status, 429);
  }

  void resetCodeIsVoidAfterFiveWrongTries() {
    const Account teacher{QStringLiteral("guesser"), QStringLiteral("pw"), QStringLiteral("op"),
                          QStringLiteral("钱老师"), QStringLiteral("qian@example.com")};
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    QCOMPARE(http_
                 ->Get(QStringLiteral("/score/getpswdcode.php"),
                       {{"username", teacher.user}, {"email", teacher.email}})
                 .Text(),
             QStringLiteral("success"));
    const QString code = CodeIn(server_.LatestMail());
    QVERIFY(!code.isEmpty());
    const QString wrong = code == u"123456" ? QStringLiteral("654321") : QStringLiteral("123456");
    FormBody guess;
    guess.Add(u"username", teacher.user)
        .Add(u"checkcode", wrong)
        .Add(u"newpswd", u"x")
        .Add(u"newsuperpswd", u"");
    for (int i = 0; i < 5; ++i) {
      QCOMPARE(http_->Post(QStringLiteral("/score/setpassword.php"), guess).Text(),
               QStringLiteral("failure"));
    }
    FormBody right;
    right.Add(u"username", teacher.user)
        .Add(u"checkcode", code)
        .Add(u"newpswd", u"x")
        .Add(u"newsuperpswd", u"");
    QCOMPARE(http_->Post(QStringLiteral("/score/setpassword.php"), right).Text(),
             QStringLiteral("failure"));
  }

  void wrongPasswordsLockTheAccountButNotStaleDigests() {
    // The program keeps using the old digest after a password change; those
    // refusals must not lock the teacher out of signing in again.
    const Account teacher{QStringLiteral("lockme"), QStringLiteral("right"), QStringLiteral("op")};
    const Account bystander{QStringLiteral("bystander"), QStringLiteral("right"),
                            QStringLiteral("op")};
    QCOMPARE(Register(*http_, teacher), QStringLiteral("Success!"));
    QCOMPARE(Register(*http_, bystander), QStringLiteral("Success!"));
    Account stale = teacher;
    stale.login = QStringLiteral("old");
    for (int i = 0; i < kAccountLimit + 2; ++i) {
      QCOMPARE(Read(*http_, QStringLiteral("/score/record.php"), stale).status, 403);
    }
    auto sign_in = [&](const Account& account, const QString& password) {
      return SignIn(*http_, account.user, password).Text();
    };
    QCOMPARE(sign_in(teacher, QStringLiteral("right")), QStringLiteral("Success!"));
    for (int i = 0; i < kAccountLimit; ++i) {
      QCOMPARE(sign_in(teacher, QStringLiteral("guess")), QStringLiteral("用户名或密码错误"));
    }
    const QString locked = sign_in(teacher, QStringLiteral("another guess"));
    QVERIFY2(locked.startsWith(QStringLiteral("密码错误次数过多")), qPrintable(locked));
    QCOMPARE(sign_in(bystander, QStringLiteral("right")), QStringLiteral("Success!"));
  }

 private:
  static constexpr int kAccountLimit = 3;

  // Asks for a reset-code mail; the service's answer.
  static QString AskResetCode(const ServiceHttp& http, const Account& teacher) {
    return http
        .Get(QStringLiteral("/score/getpswdcode.php"),
             {{"username", teacher.user}, {"email", teacher.email}})
        .Text();
  }

  // Sets the login password "taken" with a reset code; the service's answer.
  static QString ResetWithCode(const ServiceHttp& http, const Account& teacher,
                               const QString& code) {
    return zorvanix::testing::ResetWithCode(http, teacher, code, u"taken", u"");
  }

  static QString CodeIn(const QString& mail) {
    static const QRegularExpression digits(QStringLiteral("\\b(\\d{6})\\b"));
    return digits.match(mail.section(QStringLiteral("\r\n\r\n"), 1)).captured(1);
  }

  ServerProcess server_{
      WithArguments({QStringLiteral("--max-failures-account"), QString::number(kAccountLimit)})};
  std::unique_ptr<ServiceHttp> http_;
};

}  // namespace zorvanix::testing

QTEST_GUILESS_MAIN(zorvanix::testing::AccountsTest)
#include "accounts_test.moc"
