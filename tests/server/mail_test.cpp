// Reset-code mail as it really leaves: through an SMTP relay with STARTTLS
// or SMTPS and a login, or through the local sendmail. "success" comes only
// once the mail is handed over; a relay that refuses, hangs or is not there
// gives a refusal instead, and other requests are served meanwhile. The mail
// greets the teacher once.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/server/service_http.h"
#include "tests/server/smtp_sink.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kMailFailed = QStringLiteral("邮件发送失败，请稍后再试");
const QByteArray kRelayUser = "relay-user";
const QByteArray kRelayPassword = "relay pass: 7#x";

QString WriteFile(const QString& path, const QByteArray& text) {
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(text);
  return path;
}

HttpResult AskCode(const ServiceHttp& http, const Account& teacher) {
  return http.Get(QStringLiteral("/score/getpswdcode.php"),
                  {{"username", teacher.user}, {"email", teacher.email}});
}

QString CodeIn(const QString& mail) {
  static const QRegularExpression digits(QStringLiteral("\\b(\\d{6})\\b"));
  return digits.match(mail.section(QStringLiteral("\r\n\r\n"), 1)).captured(1);
}

QString ResetWith(const ServiceHttp& http, const Account& teacher, const QString& code) {
  return ResetWithCode(http, teacher, code, u"", u"新操作密码");
}

// Subject decoded from its encoded word.
QString SubjectOf(const QByteArray& mail) {
  static const QRegularExpression subject(QStringLiteral("Subject: =\\?UTF-8\\?B\\?([^?]*)\\?="));
  const QString encoded = subject.match(QString::fromLatin1(mail)).captured(1);
  return QString::fromUtf8(QByteArray::fromBase64(encoded.toLatin1()));
}

}  // namespace

class MailTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    if (ServerProcess::UsesPostgres() && !ServerProcess::PostgresAvailable()) {
      QSKIP("no PostgreSQL test cluster (ZORVANIX_TEST_PG_ADMIN)");
    }
    QString error;
    QVERIFY2(MakeTestCertificate(dir_.path(), &certificate_, &key_, &error), qPrintable(error));
  }

  // A relay that wants STARTTLS and a login: the password comes from the
  // settings file, the relay's certificate is checked, and the mail is
  // there when the service answers "success".
  void startTlsRelayWithLogin_data() {
    QTest::addColumn<QByteArray>("mechanism");
    QTest::newRow("AUTH PLAIN") << QByteArray("PLAIN");
    QTest::newRow("AUTH LOGIN") << QByteArray("LOGIN");
  }
  void startTlsRelayWithLogin() {
    QFETCH(QByteArray, mechanism);
    SmtpSinkOptions options;
    options.tls = SmtpSinkOptions::Tls::kStartTls;
    options.certificate_file = certificate_;
    options.key_file = key_;
    options.user = kRelayUser;
    options.password = kRelayPassword;
    options.mechanisms = {mechanism};
    SmtpSink relay(options);
    const QString settings =
        WriteFile(dir_.filePath(QStringLiteral("mail.conf")),
                  "smtp-user = " + kRelayUser + "\nsmtp-password = " + kRelayPassword + "\n");
    ServerProcess service(WithArguments(
        {QStringLiteral("--config"), settings, QStringLiteral("--smtp"),
         QStringLiteral("smtp://127.0.0.1:%1").arg(relay.Port()), QStringLiteral("--smtp-ca-file"),
         certificate_, QStringLiteral("--mail-from"), QStringLiteral("office@school.example")}));
    ZV_START_SERVICE(service);
    const ServiceHttp http(service.Root());
    const Account teacher{QStringLiteral("tls_") + QString::fromLatin1(mechanism).toLower(),
                          QStringLiteral("pw"), QStringLiteral("op"), QStringLiteral("王老师"),
                          QStringLiteral("wang@example.com")};
    QCOMPARE(Register(http, teacher), QStringLiteral("Success!"));
    const HttpResult reply = AskCode(http, teacher);
    QCOMPARE(reply.Text(), QStringLiteral("success"));
    // Handed over before the answer: no waiting here.
    QCOMPARE(relay.Mails().size(), 1);
    const SmtpSession session = relay.Sessions().first();
    QVERIFY(session.encrypted);
    QCOMPARE(session.mechanism, mechanism);
    QCOMPARE(session.user, kRelayUser);
    QCOMPARE(relay.Recipients(), QList<QByteArray>({"RCPT TO:<wang@example.com>"}));
    const QByteArray raw = relay.Mails().first();
    QVERIFY(raw.contains("From: office@school.example\r\n"));
    QVERIFY(raw.contains("Content-Type: text/plain; charset=UTF-8\r\n"));
    QCOMPARE(SubjectOf(raw), QStringLiteral("Zorvanix 密码重置验证码"));
    const QString mail = QString::fromUtf8(raw);
    QVERIFY2(mail.contains(QStringLiteral("\r\n\r\n王老师：\r\n")), qPrintable(mail));
    QVERIFY(!mail.contains(QStringLiteral("老师老师")));
    QVERIFY(mail.contains(QStringLiteral("您正在重置帐号 %1 的密码").arg(teacher.user)));
    QCOMPARE(ResetWith(http, teacher, CodeIn(mail)), QStringLiteral("success"));
    // The relay's password is nowhere in the log.
    QVERIFY(!service.Log().contains(QString::fromLatin1(kRelayPassword)));
  }

  // TLS from the first byte (smtps://); a name without the title gets it.
  void smtpsRelay() {
    SmtpSinkOptions options;
    options.tls = SmtpSinkOptions::Tls::kImplicit;
    options.certificate_file = certificate_;
    options.key_file = key_;
    SmtpSink relay(options);
    ServerProcess service(WithArguments({QStringLiteral("--smtp"),
                                         QStringLiteral("smtps://127.0.0.1:%1").arg(relay.Port()),
                                         QStringLiteral("--smtp-ca-file"), certificate_}));
    ZV_START_SERVICE(service);
    const ServiceHttp http(service.Root());
    const Account teacher{QStringLiteral("smtps_teacher"), QStringLiteral("pw"),
                          QStringLiteral("op"), QStringLiteral("王"),
                          QStringLiteral("wang2@example.com")};
    QCOMPARE(Register(http, teacher), QStringLiteral("Success!"));
    QCOMPARE(AskCode(http, teacher).Text(), QStringLiteral("success"));
    QCOMPARE(relay.Mails().size(), 1);
    QVERIFY(relay.Sessions().first().encrypted);
    QVERIFY(QString::fromUtf8(relay.Mails().first()).contains(QStringLiteral("\r\n\r\n王老师：")));
  }

  // Every way a relay can fail ends in a refusal, never in "success".
  void failingRelayIsRefused_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("connection refused") << "refused";
    QTest::newRow("550 to RCPT") << "rcpt";
    QTest::newRow("554 after the mail") << "data";
    QTest::newRow("relay never answers") << "silent";
    QTest::newRow("wrong relay password") << "password";
    QTest::newRow("login without STARTTLS on offer") << "cleartext";
    QTest::newRow("certificate not trusted") << "untrusted";
  }
  void failingRelayIsRefused() {
    QFETCH(QString, failure);
    SmtpSinkOptions options;
    QStringList arguments = {QStringLiteral("--smtp-timeout"), QStringLiteral("2")};
    QString settings_text;
    if (failure == u"rcpt") {
      options.fail_step = "RCPT";
      options.fail_code = 550;
    } else if (failure == u"data") {
      options.fail_step = "DATA";
      options.fail_code = 554;
    } else if (failure == u"silent") {
      options.silent = true;
    } else if (failure == u"password" || failure == u"cleartext") {
      options.user = kRelayUser;
      options.password = kRelayPassword;
      if (failure == u"password") {
        options.tls = SmtpSinkOptions::Tls::kStartTls;
        options.certificate_file = certificate_;
        options.key_file = key_;
        arguments << QStringLiteral("--smtp-ca-file") << certificate_;
      }
      settings_text = "smtp-user = relay-user\nsmtp-password = " +
                      QString::fromLatin1(failure == u"password" ? "not it" : kRelayPassword);
    } else if (failure == u"untrusted") {
      options.tls = SmtpSinkOptions::Tls::kStartTls;
      options.certificate_file = certificate_;
      options.key_file = key_;
      arguments << QStringLiteral("--smtp-starttls") << QStringLiteral("required");
    }
    SmtpSink relay(options);
    const quint16 port =
        failure == u"refused" ? static_cast<quint16>(QUrl(ClosedPortRoot()).port()) : relay.Port();
    arguments << QStringLiteral("--smtp") << QStringLiteral("smtp://127.0.0.1:%1").arg(port);
    if (!settings_text.isEmpty()) {
      arguments << QStringLiteral("--config")
                << WriteFile(dir_.filePath(QStringLiteral("fail.conf")), settings_text.toUtf8());
    }
    ServerProcess service(WithArguments(arguments));
    ZV_START_SERVICE(service);
    const ServiceHttp http(service.Root());
    const Account teacher{QStringLiteral("unlucky"), QStringLiteral("pw"), QStringLiteral("op"),
                          QStringLiteral("赵老师"), QStringLiteral("zhao@example.com")};
    QCOMPARE(Register(http, teacher), QStringLiteral("Success!"));

    // The code request goes out on a connection of its own; while it waits
    // for the relay, the clock still answers at once.
    const QUrl root(service.Root());
    QTcpSocket asking;
    asking.connectToHost(root.host(), static_cast<quint16>(root.port()));
    QVERIFY(asking.waitForConnected(5000));
    QElapsedTimer timer;
    timer.start();
    asking.write(
        "GET /score/getpswdcode.php?username=unlucky&email=zhao@example.com "
        "HTTP/1.1\r\nHost: x\r\n\r\n");
    QVERIFY(asking.waitForBytesWritten(5000));
    if (failure == u"silent") {
      QElapsedTimer clock_time;
      clock_time.start();
      QCOMPARE(http.Get(QStringLiteral("/score/servertime.php")).status, 200);
      QVERIFY2(clock_time.elapsed() < 500, "the clock waited for the mail");
    }
    const QList<HttpResult> replies = ReadReplies(asking, 1, 15000);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().Text(), kMailFailed);
    QCOMPARE(replies.first().status, 503);
    // --smtp-timeout 2 bounds the wait.
    QVERIFY2(timer.elapsed() < 6000, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(relay.Mails().isEmpty());
    static const QRegularExpression why(QStringLiteral("reset mail for unlucky not sent: [^\n]*"));
    QTRY_VERIFY_WITH_TIMEOUT(why.match(service.Log()).hasMatch(), 5000);
    qInfo("%s", qPrintable(why.match(service.Log()).captured()));
    if (failure == u"cleartext") {
      QVERIFY(relay.Sessions().isEmpty());
      QVERIFY(!service.Log().contains(QString::fromLatin1(kRelayPassword)));
    }
  }

  // A relay outage uses up none of the teacher's three code mails of the
  // hour: each failed request says the mail failed, never "too often".
  void failedMailsLeaveTheHourUnused() {
    SmtpSinkOptions options;
    options.fail_step = "RCPT";
    options.fail_code = 550;
    SmtpSink relay(options);
    ServerProcess service(WithArguments(
        {QStringLiteral("--smtp"), QStringLiteral("smtp://127.0.0.1:%1").arg(relay.Port())}));
    ZV_START_SERVICE(service);
    const ServiceHttp http(service.Root());
    const Account teacher{QStringLiteral("outage"), QStringLiteral("pw"), QStringLiteral("op"),
                          QStringLiteral("钱老师"), QStringLiteral("qian@example.com")};
    QCOMPARE(Register(http, teacher), QStringLiteral("Success!"));
    for (int attempt = 1; attempt <= 5; ++attempt) {
      const HttpResult reply = AskCode(http, teacher);
      QVERIFY2(reply.Text() == kMailFailed,
               qPrintable(QStringLiteral("attempt %1: %2").arg(attempt).arg(reply.Text())));
    }
    QVERIFY(relay.Mails().isEmpty());
  }

  // The local sendmail: given the envelope on its command line and the mail
  // on its input; its failure is a refusal too.
  void sendmailProgram() {
    const QString capture = dir_.filePath(QStringLiteral("sendmail-input"));
    const QString arguments_file = dir_.filePath(QStringLiteral("sendmail-arguments"));
    const QString good = WriteFile(dir_.filePath(QStringLiteral("sendmail-good")),
                                   QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\ncat > '%2'\n")
                                       .arg(arguments_file, capture)
                                       .toUtf8());
    const QString bad = WriteFile(dir_.filePath(QStringLiteral("sendmail-bad")),
                                  "#!/bin/sh\ncat > /dev/null\necho 'queue full' >&2\nexit 75\n");
    for (const QString& program : {good, bad}) {
      QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ServerProcess service(
        WithArguments({QStringLiteral("--sendmail"), good, QStringLiteral("--mail-from"),
                       QStringLiteral("office@school.example")}));
    ZV_START_SERVICE(service);
    const ServiceHttp http(service.Root());
    const Account teacher{QStringLiteral("by_sendmail"), QStringLiteral("pw"), QStringLiteral("op"),
                          QStringLiteral("钱老师"), QStringLiteral("qian@example.com")};
    QCOMPARE(Register(http, teacher), QStringLiteral("Success!"));
    QCOMPARE(AskCode(http, teacher).Text(), QStringLiteral("success"));
    QFile arguments(arguments_file);
    QVERIFY(arguments.open(QIODevice::ReadOnly));
    QCOMPARE(arguments.readAll().trimmed(),
             QByteArray("-i -f office@school.example -- qian@example.com"));
    QFile input(capture);
    QVERIFY(input.open(QIODevice::ReadOnly));
    const QString mail = QString::fromUtf8(input.readAll());
    QVERIFY(mail.contains(QStringLiteral("To: qian@example.com\n")));
    QVERIFY(mail.contains(QStringLiteral("\n\n钱老师：\n")));
    QVERIFY(!mail.contains(u'\r'));
    QVERIFY(QDir(service.MailSpoolDir()).isEmpty());

    ServerProcess failing(WithArguments({QStringLiteral("--sendmail"), bad}));
    ZV_START_SERVICE(failing);
    const ServiceHttp failing_http(failing.Root());
    QCOMPARE(Register(failing_http, teacher), QStringLiteral("Success!"));
    QCOMPARE(AskCode(failing_http, teacher).Text(), kMailFailed);
    QTRY_VERIFY_WITH_TIMEOUT(failing.Log().contains(QStringLiteral("queue full")), 5000);
  }

  // The relay's password may stand in the settings file, never only on the
  // command line, where every user of the machine can read it.
  void relayPasswordIsRefusedOnTheCommandLine() {
    QProcess process;
    process.start(ServerBinary(), {QStringLiteral("--smtp-password"), QStringLiteral("x")});
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(process.readAllStandardError())
                .contains(QStringLiteral("smtp-password belongs in the --config file")));
  }

 private:
  QTemporaryDir dir_;
  QString certificate_;
  QString key_;
};

QTEST_GUILESS_MAIN(MailTest)
#include "mail_test.moc"
