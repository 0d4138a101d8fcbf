#include "tests/support/server_process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpServer>
#include <QUuid>

namespace zorvanix::testing {

QString ServerBinary() {
  const QString from_environment = qEnvironmentVariable("ZORVANIX_SERVER_BINARY");
  return from_environment.isEmpty() ? QStringLiteral(ZORVANIX_SERVER_PATH) : from_environment;
}

QString ClosedPortRoot() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost, 0);
  const quint16 port = probe.serverPort();
  probe.close();
  return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

ServerProcess::ServerProcess() : ServerProcess(Options{}) {}

ServerProcess::ServerProcess(Options options) : options_(std::move(options)) {
  database_ = options_.database;
  if (database_.isEmpty()) {
    database_ = QStringLiteral("sqlite:") + QDir(dir_.path()).filePath(QStringLiteral("zorvanix.db"));
  }
  QDir(dir_.path()).mkpath(QStringLiteral("mail"));
}

ServerProcess::~ServerProcess() { Stop(); }

QString ServerProcess::MailSpoolDir() const { return QDir(dir_.path()).filePath(QStringLiteral("mail")); }

bool ServerProcess::Start(QString* error) {
  Stop();
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::SeparateChannels);
  QStringList arguments{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                        QStringLiteral("--database"), database_, QStringLiteral("--mail-spool"),
                        MailSpoolDir()};
  if (options_.vendor) arguments << QStringLiteral("--vendor");
  if (options_.seed_demo) arguments << QStringLiteral("--seed-demo");
  if (!options_.password_cost.isEmpty()) {
    arguments << QStringLiteral("--password-cost") << options_.password_cost;
  }
  arguments << options_.extra_arguments;
  process_->start(ServerBinary(), arguments);
  if (!process_->waitForStarted(5000)) {
    if (error) *error = QStringLiteral("cannot start %1: %2").arg(ServerBinary(), process_->errorString());
    return false;
  }
  // The service prints "listening on http://HOST:PORT" once it accepts requests.
  static const QRegularExpression ready(QStringLiteral("listening on (http://\\S+)"));
  QByteArray out;
  const QDeadlineTimer deadline(15000);
  while (!deadline.hasExpired()) {
    if (process_->state() != QProcess::Running) break;
    process_->waitForReadyRead(100);
    out += process_->readAllStandardOutput();
    const auto match = ready.match(QString::fromUtf8(out));
    if (match.hasMatch()) {
      root_ = match.captured(1);
      while (root_.endsWith(u'/')) root_.chop(1);
      return true;
    }
  }
  if (error) {
    *error = QStringLiteral("service did not start: %1 %2")
                 .arg(QString::fromUtf8(out), QString::fromUtf8(process_->readAllStandardError()));
  }
  Kill();
  return false;
}

void ServerProcess::Stop() {
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    process_->terminate();
    if (!process_->waitForFinished(10000)) {
      process_->kill();
      process_->waitForFinished(5000);
    }
  }
  log_ += process_->readAllStandardError();
  process_.reset();
}

void ServerProcess::Kill() {
  if (!process_) return;
  process_->kill();
  process_->waitForFinished(5000);
  log_ += process_->readAllStandardError();
  process_.reset();
}

bool ServerProcess::IsRunning() const {
  return process_ && process_->state() == QProcess::Running;
}

QString ServerProcess::Log() {
  if (process_) log_ += process_->readAllStandardError();
  return QString::fromUtf8(log_);
}

QString ServerProcess::LatestMail() const {
  const QDir spool(MailSpoolDir());
  const QFileInfoList mails = spool.entryInfoList(QDir::Files, QDir::Time);
  if (mails.isEmpty()) return QString();
  QFile file(mails.first().filePath());
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

}  // namespace zorvanix::testing
