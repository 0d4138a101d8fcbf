// The service's settings file: every command-line option can stand in it,
// switches take true/false, the command line overrides it, and a bad line or
// a missing file stops the start with a message.
#include <QTemporaryDir>
#include <QtTest>

#include "server/server_config.h"

using namespace zorvanix::server;

namespace {

QString WriteFile(const QTemporaryDir& dir, const QByteArray& text) {
  const QString path = dir.filePath(QStringLiteral("server.conf"));
  QFile file(path);
  file.open(QIODevice::WriteOnly | QIODevice::Truncate);
  file.write(text);
  return path;
}

std::optional<ServerConfig> Parse(QStringList arguments, QString* message = nullptr) {
  QString ignored;
  int code = 0;
  arguments.prepend(QStringLiteral("zorvanix-server"));
  return ParseServerArguments(arguments, message ? message : &ignored, &code);
}

}  // namespace

class ConfigFileTest : public QObject {
  Q_OBJECT

 private slots:
  void FileSettingsAndCommandLineOverride() {
    QTemporaryDir dir;
    const QString path = WriteFile(dir,
                                   "# the school's service\n"
                                   "listen = 0.0.0.0:9000\n"
                                   "database = postgresql://z:s3cret=x@db:5432/z\n"
                                   "  mail-from = \"office@school.example\"\n"
                                   "vendor = true\n"
                                   "no-access-log = false\n"
                                   "seed-demo\n"
                                   "max-body = 4096\n"
                                   "\n");
    std::optional<ServerConfig> config = Parse({QStringLiteral("--config"), path});
    QVERIFY(config);
    QCOMPARE(config->listen_host, QStringLiteral("0.0.0.0"));
    QCOMPARE(config->listen_port, quint16(9000));
    QCOMPARE(config->database, QStringLiteral("postgresql://z:s3cret=x@db:5432/z"));
    QCOMPARE(config->mail_from, QStringLiteral("office@school.example"));
    QVERIFY(config->vendor);
    QVERIFY(config->seed_demo);
    QVERIFY(config->access_log);
    QCOMPARE(config->max_body_bytes, qint64(4096));

    // Options on the command line win, wherever --config stands.
    config = Parse({QStringLiteral("--listen=127.0.0.1:0"), QStringLiteral("--config=") + path,
                    QStringLiteral("--max-body"), QStringLiteral("100")});
    QVERIFY(config);
    QCOMPARE(config->listen_host, QStringLiteral("127.0.0.1"));
    QCOMPARE(config->listen_port, quint16(0));
    QCOMPARE(config->max_body_bytes, qint64(100));
    QCOMPARE(config->database, QStringLiteral("postgresql://z:s3cret=x@db:5432/z"));
  }

  // The operations settings read from the file like the others.
  void OperationsSettings() {
    QTemporaryDir dir;
    const QString path = WriteFile(dir,
                                   "time-zone = Asia/Urumqi\n"
                                   "no-sign-up = true\n"
                                   "max-sign-ups-address = 7\n"
                                   "log-file = /var/log/zorvanix/service.log\n");
    std::optional<ServerConfig> config = Parse({QStringLiteral("--config"), path});
    QVERIFY(config);
    QCOMPARE(config->time_zone, QStringLiteral("Asia/Urumqi"));
    QVERIFY(!config->sign_up);
    QCOMPARE(config->sign_ups_per_address_hour, 7);
    QCOMPARE(config->log_file, QStringLiteral("/var/log/zorvanix/service.log"));
    config = Parse({});
    QVERIFY(config);
    QCOMPARE(config->time_zone, QStringLiteral("Asia/Shanghai"));
    QCOMPARE(ServiceTimeZone(*config).offsetFromUtc(QDateTime::currentDateTimeUtc()), 8 * 3600);
    QVERIFY(config->sign_up);
    QString message;
    QVERIFY(!Parse({QStringLiteral("--time-zone"), QStringLiteral("Nowhere/Town")}, &message));
    QVERIFY(message.contains(u"Nowhere/Town"));
  }

  void BadFilesStopTheStart() {
    QTemporaryDir dir;
    QString message;
    QVERIFY(!Parse({QStringLiteral("--config"), dir.filePath(QStringLiteral("none.conf"))},
                   &message));
    QVERIFY(message.contains(QStringLiteral("cannot read")));
    for (const QByteArray& text : {QByteArray("listen\n"), QByteArray("vendor = maybe\n"),
                                   QByteArray("--listen = 1:2\n"), QByteArray("colour = red\n"),
                                   QByteArray("max-body = lots\n")}) {
      const QString path = WriteFile(dir, text);
      QVERIFY2(!Parse({QStringLiteral("--config"), path}, &message), text.constData());
      QVERIFY(!message.isEmpty());
    }
  }
};

QTEST_GUILESS_MAIN(ConfigFileTest)
#include "config_file_unit.moc"
