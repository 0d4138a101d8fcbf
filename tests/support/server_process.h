// The real scoring service, started for a test on a free loopback port with a
// database of its own, and stopped when the fixture goes.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace zorvanix::testing {

class ServerProcess {
 public:
  struct Options {
    // Passed to --database. Empty: a fresh SQLite file in the fixture's
    // folder, or, when ZORVANIX_TEST_DATABASE=postgresql is set, a fresh
    // PostgreSQL database on the cluster named by ZORVANIX_TEST_PG_ADMIN.
    QString database;
    bool vendor = true;      // --vendor: the version endpoints too
    bool seed_demo = false;  // --seed-demo: the demo teacher and classes
    // --password-cost: "min" keeps Argon2id from dominating test time.
    QString password_cost = QStringLiteral("min");
    QStringList extra_arguments;
    // "NAME=value" set in the service's environment (TZ=UTC, say).
    QStringList environment;
  };

  ServerProcess();
  explicit ServerProcess(Options options);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  // Starts the service and waits (at most 15 s) until it says where it listens.
  bool Start(QString* error = nullptr);
  // SIGTERM and wait; the database stays for a later Start().
  void Stop();
  // SIGKILL, as a crash would.
  void Kill();

  // True when ZORVANIX_TEST_DATABASE=postgresql asks for PostgreSQL; the
  // cluster is ZORVANIX_TEST_PG_ADMIN (postgresql://user@host:port/db).
  static bool UsesPostgres();
  static bool PostgresAvailable();

  bool IsRunning() const;
  qint64 Pid() const;  // 0 when not running
  // The database made for this fixture on the PostgreSQL test cluster ("" on SQLite).
  QString PostgresDatabaseName() const { return postgres_database_; }
  // "http://127.0.0.1:PORT", no trailing slash.
  QString Root() const { return root_; }
  QString MailSpoolDir() const;
  QString Database() const { return database_; }
  QString WorkDir() const { return dir_.path(); }
  // What the service wrote to its standard error (the access log), in every
  // run of this fixture so far. It is written to a file as it comes, so a
  // long test never stalls the service on a full pipe.
  QString Log() const;
  QString LogPath() const;

  // The newest mail in the spool, as text ("" when there is none).
  QString LatestMail() const;

 private:
  Options options_;
  QTemporaryDir dir_;
  std::unique_ptr<QProcess> process_;
  QString database_;
  QString root_;
  QString postgres_database_;  // created for this fixture, dropped with it
};

// The service shared by the tests of one program: started on first use with
// options (a later call gets the running service whatever it passes; the
// program's tests agree on one set), fatal when it cannot start. Stopped by
// StopSharedServer() in cleanupTestCase, so no service outlives its tests.
ServerProcess& SharedServer(const ServerProcess::Options& options = ServerProcess::Options());
void StopSharedServer();
// The options of a shared service whose access log nobody reads: a full pipe
// would stall the service.
ServerProcess::Options WithoutAccessLog(ServerProcess::Options options = ServerProcess::Options());

// Runs one statement on the PostgreSQL test cluster's maintenance database.
bool RunOnPostgresCluster(const QString& statement, QString* error);

// An address where nothing listens: a port that was free a moment ago.
QString ClosedPortRoot();

// The path of the zorvanix-server binary under test.
QString ServerBinary();

}  // namespace zorvanix::testing
