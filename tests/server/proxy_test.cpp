// The service behind reverse proxies: X-Forwarded-For is believed only from
// the trusted proxies, so the limits per address count each client behind a
// proxy on its own and nobody else can pick the address a request counts
// against; and the nginx recipe of the operator's guide, run as it stands
// there against a real nginx with a certificate made for the test.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "tests/server/service_http.h"

using namespace zorvanix;
using namespace zorvanix::testing;

namespace {

const QString kTooMany = QStringLiteral("注册过于频繁，请稍后再试");
const QString kSuccess = QStringLiteral("Success!");

Account NewAccount(const QString& user) {
  return Account{user, QStringLiteral("pw"), QStringLiteral("op")};
}

QByteArray ForwardedFor(const QByteArray& chain) { return "X-Forwarded-For: " + chain + "\r\n"; }

quint16 FreePort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  return probe.serverPort();
}

bool Run(const QString& program, const QStringList& arguments, QString* output) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  const bool done = process.waitForFinished(30000);
  *output = QString::fromLocal8Bit(process.readAll());
  return done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The first ```nginx block of the operator's guide.
QString GuideRecipe() {
  QFile guide(QStringLiteral(ZORVANIX_OPERATIONS_GUIDE));
  if (!guide.open(QIODevice::ReadOnly)) return QString();
  const QString text = QString::fromUtf8(guide.readAll());
  const qsizetype start = text.indexOf(QStringLiteral("```nginx\n"));
  if (start < 0) return QString();
  const qsizetype end = text.indexOf(QStringLiteral("\n```"), start + 9);
  return end < 0 ? QString() : text.mid(start + 9, end - start - 9);
}

// HTTPS through the proxy from a chosen loopback address (a desk of its own).
class TlsClient {
 public:
  TlsClient(quint16 port, QString source, QSslCertificate ca)
      : port_(port), source_(std::move(source)), ca_(std::move(ca)) {}

  HttpResult Send(const QByteArray& request) const {
    QSslSocket socket;
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setCaCertificates({ca_});
    socket.setSslConfiguration(tls);
    socket.bind(QHostAddress(source_));
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port_);
    if (!socket.waitForEncrypted(10000)) {
      qWarning() << "TLS:" << socket.errorString() << socket.sslHandshakeErrors();
      return {};
    }
    socket.write(request);
    const QList<HttpResult> replies = ReadReplies(socket, 1, 10000);
    return replies.isEmpty() ? HttpResult() : replies.first();
  }
  HttpResult Post(const QString& path, const QByteArray& body,
                  const QByteArray& extra_headers = {}) const {
    return Send("POST " + path.toLatin1() +
                " HTTP/1.1\r\nHost: localhost\r\nContent-Type: "
                "application/x-www-form-urlencoded\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\n" + extra_headers +
                "Connection: close\r\n\r\n" + body);
  }
  HttpResult Get(const QByteArray& target) const {
    return Send("GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
  }
  QString Register(const Account& account, const QByteArray& extra_headers = {}) const {
    return Post(QStringLiteral("/score/regteacher.php"), RegistrationForm(account).Bytes(),
                extra_headers)
        .Text();
  }

 private:
  quint16 port_;
  QString source_;
  QSslCertificate ca_;
};

}  // namespace

class ProxyTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { ZV_START_SERVICE(server_); }

  // Two teachers behind one trusted proxy: each has the sign-up allowance of
  // an address of its own, and a trusted hop in the chain changes nothing.
  void forwardedClientsHaveLimitsOfTheirOwn() {
    ServiceHttp first(server_.Root());
    first.SetExtraHeaders(ForwardedFor("198.51.100.7"));
    QCOMPARE(Register(first, NewAccount(QStringLiteral("fwd_a1"))), kSuccess);
    QCOMPARE(Register(first, NewAccount(QStringLiteral("fwd_a2"))), kSuccess);
    QCOMPARE(Register(first, NewAccount(QStringLiteral("fwd_a3"))), kTooMany);

    ServiceHttp second(server_.Root());
    second.SetExtraHeaders(ForwardedFor("198.51.100.8"));
    QCOMPARE(Register(second, NewAccount(QStringLiteral("fwd_b1"))), kSuccess);
    second.SetExtraHeaders(ForwardedFor("198.51.100.8, 10.0.0.3"));
    QCOMPARE(Register(second, NewAccount(QStringLiteral("fwd_b2"))), kSuccess);
    QCOMPARE(Register(second, NewAccount(QStringLiteral("fwd_b3"))), kTooMany);

    // What a client wrote itself stands left of what the proxy appended.
    ServiceHttp third(server_.Root());
    third.SetExtraHeaders(ForwardedFor("198.51.100.7, 198.51.100.9"));
    QCOMPARE(Register(third, NewAccount(QStringLiteral("fwd_c1"))), kSuccess);

    // The log is written in batches: the last request's line is waited for.
    QTRY_VERIFY_WITH_TIMEOUT(
        server_.Log().contains(QStringLiteral(" 198.51.100.9 POST /score/regteacher.php")), 5000);
    QVERIFY(server_.Log().contains(QStringLiteral(" 198.51.100.7 POST /score/regteacher.php 200")));
  }

  // A peer that is no trusted proxy counts as itself whatever it forwards.
  void untrustedPeerCannotSpoofItsAddress() {
    ServiceHttp desk(server_.Root());
    desk.SetSourceAddress(QStringLiteral("127.0.0.2"));
    for (int i = 0; i < 3; ++i) {
      desk.SetExtraHeaders(ForwardedFor("203.0.113." + QByteArray::number(i + 1)));
      QCOMPARE(Register(desk, NewAccount(QStringLiteral("spoof_%1").arg(i))),
               i < 2 ? kSuccess : kTooMany);
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        server_.Log().contains(QStringLiteral(" 127.0.0.2 POST /score/regteacher.php")), 5000);
    QVERIFY(!server_.Log().contains(QStringLiteral("203.0.113.")));
  }

  // One proxy carries the connections of many teachers: it is not held to
  // the cap per address, while a single desk still is.
  void trustedProxyIsNotHeldToTheConnectionCap() {
    const QUrl root(server_.Root());
    auto open_from = [&](const QString& source, int count) {
      std::vector<std::unique_ptr<QTcpSocket>> sockets;
      for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->bind(QHostAddress(source));
        socket->connectToHost(root.host(), static_cast<quint16>(root.port()));
        if (!socket->waitForConnected(5000)) break;
        sockets.push_back(std::move(socket));
      }
      return sockets;
    };
    auto answered = [&](QTcpSocket& socket) {
      socket.write("GET /score/servertime.php HTTP/1.1\r\nHost: x\r\n\r\n");
      const QList<HttpResult> replies = ReadReplies(socket, 1, 3000);
      return !replies.isEmpty() && replies.first().status == 200;
    };
    constexpr int kMany = 70;  // over the cap of 64
    auto proxy = open_from(QStringLiteral("127.0.0.1"), kMany);
    QCOMPARE(int(proxy.size()), kMany);
    QVERIFY(answered(*proxy.back()));
    auto desk = open_from(QStringLiteral("127.0.0.3"), kMany);
    QVERIFY(!answered(*desk.back()));
  }

  // The guide's nginx site file, as printed there, in front of the service:
  // TLS, each desk counted by its own address (a spoofed header does not
  // help), bodies over the limit stopped by nginx, mp and e-mail masked in
  // nginx's access log.
  void nginxRecipeOfTheGuide() {
    const QString nginx = QStandardPaths::findExecutable(
        QStringLiteral("nginx"), {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (nginx.isEmpty() || openssl.isEmpty()) QSKIP("nginx or openssl is not installed");
    QString recipe = GuideRecipe();
    QVERIFY2(!recipe.isEmpty(), "no nginx block in the operator's guide");

    QTemporaryDir dir;
    const QString cert = dir.filePath(QStringLiteral("cert.pem"));
    const QString key = dir.filePath(QStringLiteral("key.pem"));
    QString output;
    QVERIFY2(Run(openssl,
                 {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                  "-nodes", "-keyout", key, "-out", cert, "-days", "1", "-subj", "/CN=localhost",
                  "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"},
                 &output),
             qPrintable(output));

    ServerProcess service(
        WithArguments({QStringLiteral("--trusted-proxy"), QStringLiteral("127.0.0.1"),
                       QStringLiteral("--max-sign-ups-address"), QStringLiteral("2")}));
    ZV_START_SERVICE(service);
    const quint16 service_port = static_cast<quint16>(QUrl(service.Root()).port());
    const quint16 port = FreePort();
    const QString access_log = dir.filePath(QStringLiteral("access.log"));
    // Only the places of this machine change; the directives stay as printed.
    const std::pair<QString, QString> places[] = {
        {QStringLiteral("listen 443 ssl;"), QStringLiteral("listen 127.0.0.1:%1 ssl;").arg(port)},
        {QStringLiteral("/etc/ssl/certs/zorvanix.pem"), cert},
        {QStringLiteral("/etc/ssl/private/zorvanix.key"), key},
        {QStringLiteral("/var/log/nginx/zorvanix-access.log"), access_log},
        {QStringLiteral("127.0.0.1:8808"), QStringLiteral("127.0.0.1:%1").arg(service_port)},
    };
    for (const auto& [from, to] : places) {
      QVERIFY2(recipe.contains(from), qPrintable(from));
      recipe.replace(from, to);
    }
    QString conf =
        QStringLiteral(
            "daemon off;\nmaster_process off;\npid %1/nginx.pid;\nerror_log %1/error.log;\n"
            "events {}\nhttp {\n"
            "  client_body_temp_path %1/body;\n  proxy_temp_path %1/proxy;\n"
            "  fastcgi_temp_path %1/fastcgi;\n  uwsgi_temp_path %1/uwsgi;\n"
            "  scgi_temp_path %1/scgi;\n  access_log off;\n")
            .arg(dir.path());
    conf += recipe + QStringLiteral("\n}\n");
    const QString conf_path = dir.filePath(QStringLiteral("nginx.conf"));
    {
      QFile file(conf_path);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(conf.toUtf8());
    }
    QProcess proxy;
    proxy.setProcessChannelMode(QProcess::MergedChannels);
    proxy.start(nginx, {"-p", dir.path(), "-c", conf_path});
    QVERIFY2(proxy.waitForStarted(5000), qPrintable(proxy.errorString()));
    auto stop_proxy = qScopeGuard([&] {
      proxy.terminate();
      if (!proxy.waitForFinished(5000)) proxy.kill();
    });
    QTcpSocket probe;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
          probe.abort();
          probe.connectToHost(QHostAddress::LocalHost, port);
          return probe.waitForConnected(200);
        }(),
        10000);
    probe.abort();

    const QSslCertificate ca = QSslCertificate::fromPath(cert).value(0);
    QVERIFY(!ca.isNull());
    const TlsClient desk_a(port, QStringLiteral("127.0.0.2"), ca);
    const TlsClient desk_b(port, QStringLiteral("127.0.0.3"), ca);
    QCOMPARE(desk_a.Register(NewAccount(QStringLiteral("ngx_a1"))), kSuccess);
    QCOMPARE(desk_a.Register(NewAccount(QStringLiteral("ngx_a2"))), kSuccess);
    QCOMPARE(desk_a.Register(NewAccount(QStringLiteral("ngx_a3"))), kTooMany);
    // Desk B has its own allowance, and a header of its own buys it no more.
    QCOMPARE(desk_b.Register(NewAccount(QStringLiteral("ngx_b1"))), kSuccess);
    QCOMPARE(desk_b.Register(NewAccount(QStringLiteral("ngx_b2")), ForwardedFor("127.0.0.50")),
             kSuccess);
    QCOMPARE(desk_b.Register(NewAccount(QStringLiteral("ngx_b3")), ForwardedFor("127.0.0.51")),
             kTooMany);
    QTRY_VERIFY_WITH_TIMEOUT(
        service.Log().contains(QStringLiteral(" 127.0.0.3 POST /score/regteacher.php")), 5000);
    QVERIFY(!service.Log().contains(QStringLiteral("127.0.0.50")));

    // A read with mp and an e-mail address in the query reach the service,
    // and neither stays in nginx's log.
    const Account reader = NewAccount(QStringLiteral("ngx_a1"));
    const QByteArray read_target = "/score/record.php?t=ngx_a1&mp=" + reader.Digest().toLatin1();
    QCOMPARE(desk_a.Get(read_target).status, 200);
    QCOMPARE(desk_a.Get("/score/getpswdcode.php?username=ngx_a1&email=secret.teacher@example.com")
                 .Text(),
             QStringLiteral("failure"));
    // Larger than the 1m of the recipe: nginx answers before the service.
    const QByteArray big(1024 * 1024 + 4096, 'x');
    QCOMPARE(desk_a.Post(QStringLiteral("/score/index.php"), big).status, 413);
    // Health and counters stay on the loopback port.
    QCOMPARE(desk_a.Get("/metrics").status, 404);

    stop_proxy.dismiss();
    proxy.terminate();
    QVERIFY(proxy.waitForFinished(5000));
    QFile log(access_log);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString lines = QString::fromUtf8(log.readAll());
    QVERIFY2(lines.contains(QStringLiteral("127.0.0.2 ")), qPrintable(lines));
    QVERIFY2(lines.contains(QStringLiteral("/score/record.php?t=ngx_a1&mp=*** ")),
             qPrintable(lines));
    QVERIFY2(!lines.contains(reader.Digest()), qPrintable(lines));
    QVERIFY2(!lines.contains(QStringLiteral("secret.teacher")), qPrintable(lines));
    QVERIFY2(lines.contains(QStringLiteral("\" 413 ")), qPrintable(lines));
  }

 private:
  ServerProcess server_{
      WithArguments({QStringLiteral("--trusted-proxy"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--trusted-proxy"), QStringLiteral("10.0.0.0/8"),
                     QStringLiteral("--max-sign-ups-address"), QStringLiteral("2")})};
};

QTEST_GUILESS_MAIN(ProxyTest)
#include "proxy_test.moc"
