// A PostgreSQL cluster of one test program's own, in a temporary folder:
// for the tests that stop and restart the database under the service, or
// that need their own authentication rules (a socket with peer
// authentication, a role with a password). The shared test cluster stays
// untouched, so the other test programs running beside it are not hit.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

namespace zorvanix::testing {

class PgCluster {
 public:
  // The role that must give a password over TCP (scram-sha-256); every
  // other role is trusted over TCP, and the local socket uses peer
  // authentication.
  static constexpr const char* kPasswordRole = "zx_password_role";

  PgCluster() = default;
  ~PgCluster();
  PgCluster(const PgCluster&) = delete;
  PgCluster& operator=(const PgCluster&) = delete;

  // Where initdb and pg_ctl live: ZORVANIX_TEST_PG_BIN, else the newest
  // /usr/lib/postgresql/*/bin. Empty when PostgreSQL is not installed.
  static QString Programs();
  // initdb, the authentication rules, and a start on a free port.
  bool Create(QString* error);
  bool Start(QString* error);
  // A fast shutdown, as an administrator's restart does it.
  bool Stop(QString* error);
  bool Restart(QString* error);
  // The same restart, left running: the caller goes on meanwhile.
  std::unique_ptr<QProcess> StartRestart();

  quint16 Port() const { return port_; }
  QString SocketDir() const { return dir_.path(); }
  QString WorkDir() const { return dir_.path(); }
  // postgresql://postgres@127.0.0.1:PORT/DATABASE (trusted).
  QString AdminUrl(const QString& database) const;
  // Runs one statement as the superuser; *value gets the first column of
  // the first row, if asked for.
  bool Sql(const QString& database, const QString& statement, QString* error,
           QVariant* value = nullptr) const;
  // The name of the user this test runs as (the peer of a socket connection).
  static QString OsUser();

 private:
  QStringList AsOwner(const QString& program, const QStringList& arguments) const;
  bool Run(const QString& program, const QStringList& arguments, QString* error) const;

  QTemporaryDir dir_;
  QString bin_;
  quint16 port_ = 0;
  bool running_ = false;
};

}  // namespace zorvanix::testing
