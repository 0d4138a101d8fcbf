// Which address a request counts against behind reverse proxies, and how the
// trusted proxies are given (command line and settings file), in-process.
#include <QTemporaryDir>
#include <QtTest>

#include "server/request.h"
#include "server/server_config.h"

using namespace zorvanix::server;

namespace {

QList<Subnet> Subnets(const QStringList& texts) {
  QList<Subnet> subnets;
  for (const QString& text : texts) subnets.append(*ParseSubnet(text));
  return subnets;
}

}  // namespace

class ProxyUnitTest : public QObject {
  Q_OBJECT

 private slots:
  void clientAddress_data() {
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QList<QByteArray>>("forwarded");
    QTest::addColumn<QString>("client");
    using L = QList<QByteArray>;
    // Trusted: 127.0.0.1, 10.0.0.0/8, ::1 and fd00::/8.
    QTest::newRow("untrusted peer ignores the header")
        << "192.0.2.10" << L{"198.51.100.1"} << "192.0.2.10";
    QTest::newRow("trusted peer without header") << "127.0.0.1" << L{} << "127.0.0.1";
    QTest::newRow("trusted peer names the client")
        << "127.0.0.1" << L{"198.51.100.1"} << "198.51.100.1";
    QTest::newRow("a spoofed left part is passed over")
        << "127.0.0.1" << L{"203.0.113.9, 198.51.100.1"} << "198.51.100.1";
    QTest::newRow("trusted hops are skipped")
        << "127.0.0.1" << L{"198.51.100.1, 10.2.3.4,10.0.0.1"} << "198.51.100.1";
    QTest::newRow("several headers read as one list")
        << "10.9.9.9" << L{"203.0.113.9", "198.51.100.1, 10.0.0.2"} << "198.51.100.1";
    QTest::newRow("a chain of trusted hops ends at its left")
        << "127.0.0.1" << L{"10.0.0.5, 10.0.0.6"} << "10.0.0.5";
    QTest::newRow("garbage stops at the hop that reported it")
        << "127.0.0.1" << L{"198.51.100.1, unknown, 10.0.0.7"} << "10.0.0.7";
    QTest::newRow("ports are dropped") << "127.0.0.1" << L{"198.51.100.1:5123"} << "198.51.100.1";
    QTest::newRow("IPv6 peer and client") << "::1" << L{"2001:db8::7, fd00::1"} << "2001:db8::7";
    QTest::newRow("bracketed IPv6 with port") << "::1" << L{"[2001:db8::8]:443"} << "2001:db8::8";
    QTest::newRow("IPv4-mapped peer is the IPv4 proxy")
        << "::ffff:127.0.0.1" << L{"198.51.100.2"} << "198.51.100.2";
    QTest::newRow("IPv6 peer outside the prefix") << "fe80::1" << L{"198.51.100.3"} << "fe80::1";
  }

  void clientAddress() {
    QFETCH(QString, peer);
    QFETCH(QList<QByteArray>, forwarded);
    QFETCH(QString, client);
    const QList<Subnet> trusted = Subnets({"127.0.0.1", "10.0.0.0/8", "::1", "fd00::/8"});
    QCOMPARE(ClientAddress(QHostAddress(peer), forwarded, trusted), QHostAddress(client));
  }

  void trustedProxiesFromCommandLineAndFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("server.conf"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("trusted-proxy = 10.0.0.0/8\ntrusted-proxy = 2001:db8::/32\n");
    file.close();
    QString message;
    int code = 0;
    std::optional<ServerConfig> config = ParseServerArguments(
        {"zorvanix-server", "--config", path, "--trusted-proxy", "127.0.0.1"}, &message, &code);
    QVERIFY2(config, qPrintable(message));
    QCOMPARE(config->trusted_proxies, Subnets({"10.0.0.0/8", "2001:db8::/32", "127.0.0.1"}));
    QCOMPARE(config->trusted_proxies.last().second, 32);

    for (const char* bad : {"10.0.0.0/33", "proxy.example", "", "::1/129"}) {
      config = ParseServerArguments({"zorvanix-server", "--trusted-proxy", bad}, &message, &code);
      QVERIFY2(!config, bad);
      QCOMPARE(code, 2);
      QVERIFY(message.contains(QStringLiteral("--trusted-proxy")));
    }
  }
};

QTEST_GUILESS_MAIN(ProxyUnitTest)
#include "proxy_unit.moc"
