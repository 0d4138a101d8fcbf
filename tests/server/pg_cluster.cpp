#include "tests/server/pg_cluster.h"

#include <pwd.h>
#include <unistd.h>

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace zorvanix::testing {
namespace {

bool IsRoot() { return ::geteuid() == 0; }

}  // namespace

QString PgCluster::Programs() {
  const QString configured = qEnvironmentVariable("ZORVANIX_TEST_PG_BIN");
  if (!configured.isEmpty()) return configured;
  QStringList versions =
      QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  QCollator numeric;
  numeric.setNumericMode(true);
  std::sort(versions.begin(), versions.end(), numeric);
  for (auto it = versions.crbegin(); it != versions.crend(); ++it) {
    const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(*it);
    if (QFile::exists(bin + QStringLiteral("/initdb"))) return bin;
  }
  return QString();
}

QString PgCluster::OsUser() {
  const passwd* entry = ::getpwuid(::geteuid());
  return entry ? QString::fromLocal8Bit(entry->pw_name) : qEnvironmentVariable("USER");
}

PgCluster::~PgCluster() {
  if (running_) Stop(nullptr);
}

QStringList PgCluster::AsOwner(const QString& program, const QStringList& arguments) const {
  // initdb refuses root: as root the cluster belongs to "postgres".
  if (!IsRoot()) return QStringList{program} + arguments;
  return QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                     QStringLiteral("--"), program} +
         arguments;
}

bool PgCluster::Run(const QString& program, const QStringList& arguments, QString* error) const {
  const QStringList command = AsOwner(program, arguments);
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(command.first(), command.mid(1));
  if (!process.waitForStarted(5000) || !process.waitForFinished(60000) ||
      process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
    if (error) {
      *error = QStringLiteral("%1 failed: %2")
                   .arg(command.join(u' '), QString::fromLocal8Bit(process.readAll()));
    }
    return false;
  }
  return true;
}

bool PgCluster::Create(QString* error) {
  bin_ = Programs();
  if (bin_.isEmpty()) {
    *error = QStringLiteral("PostgreSQL's programs are not installed");
    return false;
  }
  if (!dir_.isValid()) {
    *error = QStringLiteral("no temporary folder");
    return false;
  }
  if (IsRoot()) {
    const passwd* owner = ::getpwnam("postgres");
    if (!owner ||
        ::chown(dir_.path().toLocal8Bit().constData(), owner->pw_uid, owner->pw_gid) != 0) {
      *error = QStringLiteral("no 'postgres' user to run the cluster as");
      return false;
    }
  }
  const QString data = dir_.filePath(QStringLiteral("data"));
  if (!Run(bin_ + QStringLiteral("/initdb"),
           {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"),
            QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-locale"),
            QStringLiteral("-A"), QStringLiteral("trust")},
           error)) {
    return false;
  }
  // The rules a school's server might have: the socket trusts the system
  // user of the same name, one role logs in over TCP with a password.
  QFile rules(data + QStringLiteral("/pg_hba.conf"));
  if (!rules.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    *error = QStringLiteral("cannot write %1").arg(rules.fileName());
    return false;
  }
  rules.write(QStringLiteral("local all all peer\n"
                             "host all %1 127.0.0.1/32 scram-sha-256\n"
                             "host all all 127.0.0.1/32 trust\n")
                  .arg(QLatin1String(kPasswordRole))
                  .toUtf8());
  rules.close();
  return Start(error);
}

bool PgCluster::Start(QString* error) {
  const QString data = dir_.filePath(QStringLiteral("data"));
  for (int attempt = 0; attempt < 5; ++attempt) {
    const quint16 port =
        port_ ? port_ : static_cast<quint16>(20000 + QRandomGenerator::global()->bounded(40000));
    // The cluster's own durability is not under test here.
    if (Run(bin_ + QStringLiteral("/pg_ctl"),
            {QStringLiteral("-D"), data, QStringLiteral("-l"),
             dir_.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
             QStringLiteral("-t"), QStringLiteral("30"), QStringLiteral("-o"),
             QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                 .arg(port)
                 .arg(dir_.path()),
             QStringLiteral("start")},
            error)) {
      port_ = port;
      running_ = true;
      return true;
    }
    if (port_) return false;  // a restart keeps its port
  }
  return false;
}

bool PgCluster::Stop(QString* error) {
  running_ = false;
  return Run(bin_ + QStringLiteral("/pg_ctl"),
             {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-m"),
              QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
             error);
}

bool PgCluster::Restart(QString* error) { return Stop(error) && Start(error); }

std::unique_ptr<QProcess> PgCluster::StartRestart() {
  const QStringList command =
      AsOwner(bin_ + QStringLiteral("/pg_ctl"),
              {QStringLiteral("-D"), dir_.filePath(QStringLiteral("data")), QStringLiteral("-l"),
               dir_.filePath(QStringLiteral("server.log")), QStringLiteral("-m"),
               QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("-o"),
               QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off")
                   .arg(port_)
                   .arg(dir_.path()),
               QStringLiteral("restart")});
  auto process = std::make_unique<QProcess>();
  process->setProcessChannelMode(QProcess::MergedChannels);
  process->start(command.first(), command.mid(1));
  return process;
}

QString PgCluster::AdminUrl(const QString& database) const {
  return QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(port_).arg(database);
}

bool PgCluster::Sql(const QString& database, const QString& statement, QString* error,
                    QVariant* value) const {
  const QString name = QStringLiteral("pg-cluster-") + QUuid::createUuid().toString(QUuid::Id128);
  bool ok = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(QStringLiteral("127.0.0.1"));
    db.setPort(port_);
    db.setUserName(QStringLiteral("postgres"));
    db.setDatabaseName(database);
    if (db.open()) {
      QSqlQuery query(db);
      ok = query.exec(statement);
      if (!ok && error) *error = query.lastError().text();
      if (ok && value) *value = query.next() ? query.value(0) : QVariant();
      query.finish();
      db.close();
    } else if (error) {
      *error = db.lastError().text();
    }
  }
  QSqlDatabase::removeDatabase(name);
  return ok;
}

}  // namespace zorvanix::testing
