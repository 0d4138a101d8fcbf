#include "tests/support/server_process.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QUrl>
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

// Runs one statement on the cluster's maintenance database.
bool RunOnPostgresCluster(const QString& statement, QString* error) {
  const QUrl admin(qEnvironmentVariable("ZORVANIX_TEST_PG_ADMIN"));
  const QString connection = QStringLiteral("pg-admin-") + QUuid::createUuid().toString(QUuid::Id128);
  bool ok = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
    db.setHostName(admin.host());
    db.setPort(admin.port(5432));
    db.setUserName(admin.userName());
    db.setPassword(admin.password());
    db.setDatabaseName(admin.path().size() > 1 ? admin.path().sliced(1) : QStringLiteral("postgres"));
    if (db.open()) {
      QSqlQuery query(db);
      ok = query.exec(statement);
      if (!ok && error) *error = query.lastError().text();
      db.close();
    } else if (error) {
      *error = db.lastError().text();
    }
  }
  QSqlDatabase::removeDatabase(connection);
  return ok;
}

bool ServerProcess::UsesPostgres() {
  return qEnvironmentVariable("ZORVANIX_TEST_DATABASE") == u"postgresql";
}

bool ServerProcess::PostgresAvailable() {
  return !qEnvironmentVariable("ZORVANIX_TEST_PG_ADMIN").isEmpty();
}

ServerProcess::ServerProcess() : ServerProcess(Options{}) {}

ServerProcess::ServerProcess(Options options) : options_(std::move(options)) {
  database_ = options_.database;
  if (database_.isEmpty() && !UsesPostgres()) {
    database_ = QStringLiteral("sqlite:") + QDir(dir_.path()).filePath(QStringLiteral("zorvanix.db"));
  }
  QDir(dir_.path()).mkpath(QStringLiteral("mail"));
}

ServerProcess::~ServerProcess() {
  Stop();
  if (!postgres_database_.isEmpty()) {
    RunOnPostgresCluster(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(postgres_database_),
                         nullptr);
  }
}

QString ServerProcess::MailSpoolDir() const { return QDir(dir_.path()).filePath(QStringLiteral("mail")); }

bool ServerProcess::Start(QString* error) {
  Stop();
  if (database_.isEmpty()) {
    // A fresh database on the test cluster for this fixture.
    if (!PostgresAvailable()) {
      if (error) *error = QStringLiteral("ZORVANIX_TEST_PG_ADMIN is not set");
      return false;
    }
    const QString name = QStringLiteral("zt_") + QUuid::createUuid().toString(QUuid::Id128);
    QString failure;
    if (!RunOnPostgresCluster(
            QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(name), &failure)) {
      if (error) *error = QStringLiteral("cannot create database %1: %2").arg(name, failure);
      return false;
    }
    postgres_database_ = name;
    QUrl url(qEnvironmentVariable("ZORVANIX_TEST_PG_ADMIN"));
    url.setPath(u'/' + name);
    database_ = url.toString();
  }
  process_ = std::make_unique<QProcess>();
  process_->setProcessChannelMode(QProcess::SeparateChannels);
  // Standard error goes to a file, appended to over restarts: a pipe nobody
  // reads while a test waits would fill after some 64 KiB of access log and
  // stall the service.
  process_->setStandardErrorFile(LogPath(), QIODevice::Append);
  if (!options_.environment.isEmpty()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& setting : options_.environment) {
      environment.insert(setting.section(u'=', 0, 0), setting.section(u'=', 1));
    }
    process_->setProcessEnvironment(environment);
  }
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
                 .arg(QString::fromUtf8(out), Log());
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
  process_.reset();
}

void ServerProcess::Kill() {
  if (!process_) return;
  process_->kill();
  process_->waitForFinished(5000);
  process_.reset();
}

qint64 ServerProcess::Pid() const { return process_ ? process_->processId() : 0; }

bool ServerProcess::IsRunning() const {
  return process_ && process_->state() == QProcess::Running;
}

QString ServerProcess::LogPath() const {
  return QDir(dir_.path()).filePath(QStringLiteral("service-stderr.log"));
}

QString ServerProcess::Log() const {
  QFile file(LogPath());
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

QString ServerProcess::LatestMail() const {
  const QDir spool(MailSpoolDir());
  const QFileInfoList mails = spool.entryInfoList(QDir::Files, QDir::Time);
  if (mails.isEmpty()) return QString();
  QFile file(mails.first().filePath());
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return QString::fromUtf8(file.readAll());
}

namespace {

std::unique_ptr<ServerProcess>& SharedServerSlot() {
  static std::unique_ptr<ServerProcess> server;
  return server;
}

}  // namespace

ServerProcess& SharedServer(const ServerProcess::Options& options) {
  std::unique_ptr<ServerProcess>& server = SharedServerSlot();
  if (!server) {
    server = std::make_unique<ServerProcess>(options);
    QString error;
    if (!server->Start(&error)) qFatal("zorvanix-server: %s", qPrintable(error));
  }
  return *server;
}

void StopSharedServer() { SharedServerSlot().reset(); }

ServerProcess::Options WithoutAccessLog(ServerProcess::Options options) {
  options.extra_arguments.append(QStringLiteral("--no-access-log"));
  return options;
}

}  // namespace zorvanix::testing
