#include "tests/server/smtp_sink.h"

#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QProcess>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>

namespace zorvanix::testing {

// Lives on the sink's thread; hands out QSslSockets so STARTTLS can follow.
class SmtpSinkServer : public QTcpServer {
 public:
  explicit SmtpSinkServer(SmtpSink* sink) : sink_(sink) {}

 protected:
  void incomingConnection(qintptr descriptor) override {
    auto* socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
      delete socket;
      return;
    }
    Serve(socket);
  }

 private:
  struct State {
    bool in_data = false;
    QByteArray data;
    QByteArray auth_step;  // "PLAIN", "LOGIN-USER", "LOGIN-PASSWORD" while AUTH runs
    QByteArray login_user;
    SmtpSession session;
    bool authenticated = false;
  };

  const SmtpSinkOptions& Options() const { return sink_->options_; }

  void StartTls(QSslSocket* socket) {
    QFile key_file(Options().key_file);
    key_file.open(QIODevice::ReadOnly);
    const QByteArray key_bytes = key_file.readAll();
    QSslKey key(key_bytes, QSsl::Ec);
    if (key.isNull()) key = QSslKey(key_bytes, QSsl::Rsa);
    socket->setLocalCertificate(QSslCertificate::fromPath(Options().certificate_file).value(0));
    socket->setPrivateKey(key);
    socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    socket->startServerEncryption();
  }

  void Reply(QSslSocket* socket, const QByteArray& line) { socket->write(line + "\r\n"); }

  bool Check(const QByteArray& plain_user, const QByteArray& plain_password) const {
    return plain_user == Options().user && plain_password == Options().password;
  }

  void Serve(QSslSocket* socket) {
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    if (Options().silent) return;
    auto state = std::make_shared<State>();
    if (Options().tls == SmtpSinkOptions::Tls::kImplicit) {
      QObject::connect(socket, &QSslSocket::encrypted, socket,
                       [this, socket] { Reply(socket, "220 sink ready"); });
      StartTls(socket);
    } else {
      Reply(socket, "220 sink ready");
    }
    QObject::connect(socket, &QTcpSocket::readyRead, socket,
                     [this, socket, state] { Read(socket, *state); });
  }

  void Read(QSslSocket* socket, State& state) {
    while (socket->canReadLine()) {
      const QByteArray line = socket->readLine();
      if (state.in_data) {
        if (line == ".\r\n") {
          state.in_data = false;
          if (Options().fail_step == "DATA") {
            Reply(socket, QByteArray::number(Options().fail_code) + " refused by the sink");
            continue;
          }
          state.session.encrypted = socket->isEncrypted();
          {
            QMutexLocker lock(&sink_->mutex_);
            sink_->mails_.append(state.data);
            sink_->sessions_.append(state.session);
          }
          state.data.clear();
          Reply(socket, "250 queued");
        } else {
          state.data += line.startsWith("..") ? line.sliced(1) : line;
        }
        continue;
      }
      const QByteArray trimmed = line.trimmed();
      if (!state.auth_step.isEmpty()) {
        Authenticate(socket, state, QByteArray::fromBase64(trimmed));
        continue;
      }
      const QByteArray verb = trimmed.split(' ').value(0).toUpper();
      const bool tls_pending =
          Options().tls == SmtpSinkOptions::Tls::kStartTls && !socket->isEncrypted();
      const bool needs_auth = !Options().user.isEmpty();
      if (verb == "EHLO") {
        QByteArray reply = "250-sink\r\n";
        if (tls_pending) reply += "250-STARTTLS\r\n";
        if (needs_auth && !tls_pending)
          reply += "250-AUTH " + Options().mechanisms.join(' ') + "\r\n";
        reply += "250 8BITMIME";
        Reply(socket, reply);
      } else if (verb == "HELO") {
        Reply(socket, "250 sink");
      } else if (verb == "STARTTLS" && tls_pending) {
        Reply(socket, "220 go ahead");
        socket->flush();
        state = State{};
        StartTls(socket);
      } else if (verb == "AUTH") {
        const QList<QByteArray> words = trimmed.split(' ');
        const QByteArray mechanism = words.value(1).toUpper();
        if (tls_pending) {
          Reply(socket, "538 5.7.11 encryption required");
        } else if (!Options().mechanisms.contains(mechanism)) {
          Reply(socket, "504 5.5.4 unknown mechanism");
        } else {
          state.session.mechanism = mechanism;
          state.auth_step = mechanism == "PLAIN" ? "PLAIN" : "LOGIN-USER";
          if (words.size() > 2) {
            Authenticate(socket, state, QByteArray::fromBase64(words[2]));
          } else {
            Reply(socket, state.auth_step == "PLAIN" ? "334 " : "334 VXNlcm5hbWU6");
          }
        }
      } else if (verb == "MAIL" || verb == "RCPT") {
        if (needs_auth && !state.authenticated) {
          Reply(socket, "530 5.7.0 authentication required");
        } else if (Options().fail_step == verb) {
          Reply(socket, QByteArray::number(Options().fail_code) + " refused by the sink");
        } else {
          if (verb == "RCPT") {
            QMutexLocker lock(&sink_->mutex_);
            sink_->recipients_.append(trimmed);
          }
          Reply(socket, "250 ok");
        }
      } else if (verb == "DATA") {
        state.in_data = true;
        Reply(socket, "354 go ahead");
      } else if (verb == "QUIT") {
        Reply(socket, "221 bye");
        socket->disconnectFromHost();
      } else {
        Reply(socket, "250 ok");
      }
    }
  }

  void Authenticate(QSslSocket* socket, State& state, const QByteArray& decoded) {
    if (state.auth_step == "PLAIN") {
      // authzid NUL authcid NUL password
      const QList<QByteArray> parts = decoded.split('\0');
      state.auth_step.clear();
      Finish(socket, state, parts.value(1), parts.value(2));
    } else if (state.auth_step == "LOGIN-USER") {
      state.login_user = decoded;
      state.auth_step = "LOGIN-PASSWORD";
      Reply(socket, "334 UGFzc3dvcmQ6");
    } else {
      state.auth_step.clear();
      Finish(socket, state, state.login_user, decoded);
    }
  }

  void Finish(QSslSocket* socket, State& state, const QByteArray& user,
              const QByteArray& password) {
    if (Check(user, password)) {
      state.authenticated = true;
      state.session.user = user;
      Reply(socket, "235 2.7.0 authenticated");
    } else {
      Reply(socket, "535 5.7.8 bad credentials");
    }
  }

  SmtpSink* sink_;
};

SmtpSink::SmtpSink() : SmtpSink(SmtpSinkOptions{}) {}

SmtpSink::SmtpSink(SmtpSinkOptions options) : options_(std::move(options)) {
  anchor_.moveToThread(&thread_);
  thread_.start();
  QMetaObject::invokeMethod(
      &anchor_,
      [this] {
        server_ = new SmtpSinkServer(this);
        server_->listen(QHostAddress::LocalHost, 0);
        port_ = server_->serverPort();
      },
      Qt::BlockingQueuedConnection);
}

SmtpSink::~SmtpSink() {
  QMetaObject::invokeMethod(
      &anchor_, [this] { delete server_; }, Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
}

QList<QByteArray> SmtpSink::Mails() const {
  QMutexLocker lock(&mutex_);
  return mails_;
}

QList<QByteArray> SmtpSink::Recipients() const {
  QMutexLocker lock(&mutex_);
  return recipients_;
}

QList<SmtpSession> SmtpSink::Sessions() const {
  QMutexLocker lock(&mutex_);
  return sessions_;
}

bool MakeTestCertificate(const QString& dir, QString* certificate, QString* key, QString* error) {
  const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
  if (openssl.isEmpty()) {
    *error = QStringLiteral("openssl is not installed");
    return false;
  }
  *certificate = QDir(dir).filePath(QStringLiteral("relay-cert.pem"));
  *key = QDir(dir).filePath(QStringLiteral("relay-key.pem"));
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(openssl,
                {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                 "-nodes", "-keyout", *key, "-out", *certificate, "-days", "1", "-subj",
                 "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"});
  if (!process.waitForFinished(30000) || process.exitCode() != 0) {
    *error = QString::fromLocal8Bit(process.readAll());
    return false;
  }
  return true;
}

}  // namespace zorvanix::testing
