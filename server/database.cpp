#include "server/database.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <QUrl>
#include <QUuid>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libpq-fe.h>
#include <sqlite3.h>

#include "server/sqlite_statements.h"

namespace zorvanix::server {
namespace {

// Each step brings the schema from version (index) to version (index + 1).
// "%PK%" is the auto-numbered key of the driver at hand.
const std::vector<std::vector<const char*>>& Migrations() {
  static const std::vector<std::vector<const char*>> steps = {
      {
          "CREATE TABLE teachers (id %PK%, account TEXT NOT NULL, account_key TEXT NOT NULL "
          "UNIQUE, name TEXT NOT NULL, email TEXT NOT NULL, mobile TEXT NOT NULL, telephone "
          "TEXT NOT NULL, qq TEXT NOT NULL, login_hash TEXT NOT NULL, operation_hash TEXT NOT "
          "NULL, digest_hash TEXT NOT NULL, created_at TEXT NOT NULL)",
          "CREATE TABLE classes (id %PK%, teacher_id BIGINT NOT NULL REFERENCES teachers(id), "
          "name TEXT NOT NULL, ord INTEGER NOT NULL, UNIQUE (teacher_id, name))",
          "CREATE TABLE students (id %PK%, class_id BIGINT NOT NULL REFERENCES classes(id), "
          "name TEXT NOT NULL, ord INTEGER NOT NULL, grp INTEGER NOT NULL, number INTEGER NOT "
          "NULL, score_count BIGINT NOT NULL, score_sum DOUBLE PRECISION NOT NULL, "
          "UNIQUE (class_id, name))",
          "CREATE TABLE topics (id %PK%, teacher_id BIGINT NOT NULL REFERENCES teachers(id), "
          "name TEXT NOT NULL, ord INTEGER NOT NULL, UNIQUE (teacher_id, name))",
          "CREATE TABLE criteria (id %PK%, topic_id BIGINT NOT NULL REFERENCES topics(id), "
          "label TEXT NOT NULL, score TEXT NOT NULL, ord INTEGER NOT NULL)",
          "CREATE INDEX criteria_topic ON criteria (topic_id, ord)",
          "CREATE TABLE scores (id %PK%, teacher_id BIGINT NOT NULL REFERENCES teachers(id), "
          "student_id BIGINT NOT NULL REFERENCES students(id), value DOUBLE PRECISION NOT "
          "NULL, scored_at TEXT NOT NULL, topic TEXT NOT NULL, note TEXT NOT NULL)",
          "CREATE INDEX scores_student ON scores (student_id, scored_at, id)",
          "CREATE INDEX scores_teacher ON scores (teacher_id, id)",
          "CREATE TABLE reset_codes (teacher_id BIGINT PRIMARY KEY REFERENCES teachers(id), "
          "code_hash TEXT NOT NULL, expires_at BIGINT NOT NULL, tries INTEGER NOT NULL)",
      },
      // SQLite hands a deleted row's ID to the next new row unless the key is
      // AUTOINCREMENT, and the program resends deletions by ID: every table
      // with a key is rebuilt with one, keeping each row and its ID. The
      // sequences of PostgreSQL never go back, so there is nothing to do there.
      {
          "sqlite:CREATE TABLE teachers_v2 (id %PK%, account TEXT NOT NULL, account_key TEXT "
          "NOT NULL UNIQUE, name TEXT NOT NULL, email TEXT NOT NULL, mobile TEXT NOT NULL, "
          "telephone TEXT NOT NULL, qq TEXT NOT NULL, login_hash TEXT NOT NULL, operation_hash "
          "TEXT NOT NULL, digest_hash TEXT NOT NULL, created_at TEXT NOT NULL)",
          "sqlite:INSERT INTO teachers_v2 SELECT id, account, account_key, name, email, mobile, "
          "telephone, qq, login_hash, operation_hash, digest_hash, created_at FROM teachers",
          "sqlite:CREATE TABLE classes_v2 (id %PK%, teacher_id BIGINT NOT NULL REFERENCES "
          "teachers(id), name TEXT NOT NULL, ord INTEGER NOT NULL, UNIQUE (teacher_id, name))",
          "sqlite:INSERT INTO classes_v2 SELECT id, teacher_id, name, ord FROM classes",
          "sqlite:CREATE TABLE students_v2 (id %PK%, class_id BIGINT NOT NULL REFERENCES "
          "classes(id), name TEXT NOT NULL, ord INTEGER NOT NULL, grp INTEGER NOT NULL, number "
          "INTEGER NOT NULL, score_count BIGINT NOT NULL, score_sum DOUBLE PRECISION NOT NULL, "
          "UNIQUE (class_id, name))",
          "sqlite:INSERT INTO students_v2 SELECT id, class_id, name, ord, grp, number, "
          "score_count, score_sum FROM students",
          "sqlite:CREATE TABLE topics_v2 (id %PK%, teacher_id BIGINT NOT NULL REFERENCES "
          "teachers(id), name TEXT NOT NULL, ord INTEGER NOT NULL, UNIQUE (teacher_id, name))",
          "sqlite:INSERT INTO topics_v2 SELECT id, teacher_id, name, ord FROM topics",
          "sqlite:CREATE TABLE criteria_v2 (id %PK%, topic_id BIGINT NOT NULL REFERENCES "
          "topics(id), label TEXT NOT NULL, score TEXT NOT NULL, ord INTEGER NOT NULL)",
          "sqlite:INSERT INTO criteria_v2 SELECT id, topic_id, label, score, ord FROM criteria",
          "sqlite:CREATE TABLE scores_v2 (id %PK%, teacher_id BIGINT NOT NULL REFERENCES "
          "teachers(id), student_id BIGINT NOT NULL REFERENCES students(id), value DOUBLE "
          "PRECISION NOT NULL, scored_at TEXT NOT NULL, topic TEXT NOT NULL, note TEXT NOT NULL)",
          "sqlite:INSERT INTO scores_v2 SELECT id, teacher_id, student_id, value, scored_at, "
          "topic, note FROM scores",
          "sqlite:DROP TABLE scores",
          "sqlite:DROP TABLE criteria",
          "sqlite:DROP TABLE topics",
          "sqlite:DROP TABLE students",
          "sqlite:DROP TABLE classes",
          "sqlite:DROP TABLE teachers",
          "sqlite:ALTER TABLE teachers_v2 RENAME TO teachers",
          "sqlite:ALTER TABLE classes_v2 RENAME TO classes",
          "sqlite:ALTER TABLE students_v2 RENAME TO students",
          "sqlite:ALTER TABLE topics_v2 RENAME TO topics",
          "sqlite:ALTER TABLE criteria_v2 RENAME TO criteria",
          "sqlite:ALTER TABLE scores_v2 RENAME TO scores",
          "sqlite:CREATE INDEX criteria_topic ON criteria (topic_id, ord)",
          "sqlite:CREATE INDEX scores_student ON scores (student_id, scored_at, id)",
          "sqlite:CREATE INDEX scores_teacher ON scores (teacher_id, id)",
          "sqlite:PRAGMA foreign_key_check",
      },
      // What guards an account's password reset, kept across restarts: wrong
      // codes whatever code was mailed, the wait they earned, and the code
      // mails of the current hour.
      {
          "CREATE TABLE IF NOT EXISTS reset_guards (teacher_id BIGINT PRIMARY KEY REFERENCES "
          "teachers(id), wrong_codes INTEGER NOT NULL, last_wrong_at BIGINT NOT NULL, "
          "locked_until BIGINT NOT NULL, mail_hour_start BIGINT NOT NULL, mails INTEGER NOT NULL)",
      },
      // Counters of each teacher's changes, so that every service process on
      // one database knows when what it keeps of a teacher is out of date.
      {
          "ALTER TABLE teachers ADD COLUMN data_revision BIGINT NOT NULL DEFAULT 0",
          "ALTER TABLE teachers ADD COLUMN secret_revision BIGINT NOT NULL DEFAULT 0",
      },
      // PostgreSQL checks a score's teacher at the commit instead of at each
      // row: checked at once, every line of every upload of a batch locks
      // the teacher's row from a savepoint of its own, and those locks pile
      // up into ever larger shared locks. The reference holds all the same.
      {
          "postgresql:ALTER TABLE scores ALTER CONSTRAINT scores_teacher_id_fkey DEFERRABLE "
          "INITIALLY DEFERRED",
      },
      // The results page averages a class's scores per student and week
      // from the index alone: it holds the value as well.
      {
          "DROP INDEX scores_student",
          "CREATE INDEX scores_student ON scores (student_id, scored_at, value, id)",
      },
      // The scores of a class by time, instead of every student's apart: the
      // lines of one upload (one class, the same minutes) land side by side
      // in a page or two of the index, where by student they landed in a
      // page of each student's, and years of scores made every upload write
      // ever more pages. The class's score list, its results and the check
      // for a resent line read one range of it. A student never changes
      // class, so the class of a score is the class of its student.
      {
          "ALTER TABLE scores ADD COLUMN class_id BIGINT NOT NULL DEFAULT 0",
          "UPDATE scores SET class_id = (SELECT s.class_id FROM students s WHERE s.id = "
          "scores.student_id)",
          "DROP INDEX scores_student",
          "CREATE INDEX scores_class ON scores (class_id, scored_at, student_id, value)",
      },
  };
  return steps;
}

QString ErrorText(const QSqlError& error) {
  return error.text().isEmpty() ? QStringLiteral("unknown database error") : error.text();
}

// After a failed attempt to reach PostgreSQL, requests are refused at once
// for this long before the next one tries again, so an outage neither stalls
// every request for a connection timeout nor hammers the database.
constexpr qint64 kReconnectPauseMs = 500;
// Seconds a connection attempt may take unless the address says otherwise.
constexpr char kDefaultConnectTimeout[] = "5";

qint64 SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The libpq connection under a Qt SQL one, or null. Qt names its type by
// the structure behind libpq's typedef ("pg_conn*").
PGconn* PgConnectionOf(const QSqlDatabase& db) {
  const QVariant handle = db.isValid() && db.driver() ? db.driver()->handle() : QVariant();
  if (!handle.isValid() || (qstrcmp(handle.typeName(), "pg_conn*") != 0 &&
                            qstrcmp(handle.typeName(), "PGconn*") != 0)) {
    return nullptr;
  }
  return *static_cast<PGconn* const*>(handle.constData());
}

// A libpq setting's value quoted for a connection string.
QString QuotedSetting(const QString& value) {
  QString quoted = value;
  quoted.replace(u'\\', QStringLiteral("\\\\"));
  quoted.replace(u'\'', QStringLiteral("\\'"));
  return u'\'' + quoted + u'\'';
}

// Where a PostgreSQL address leads, for messages (never the password).
QString DescribePostgres(const std::vector<std::pair<QString, QString>>& settings) {
  QString host, port, dbname, user;
  for (const auto& [key, value] : settings) {
    if (key == u"host") host = value;
    if (key == u"hostaddr" && host.isEmpty()) host = value;
    if (key == u"port") port = value;
    if (key == u"dbname") dbname = value;
    if (key == u"user") user = value;
  }
  QString where = host.isEmpty() ? QStringLiteral("the local socket") : host;
  if (!port.isEmpty()) where += u':' + port;
  where += u'/' + dbname;
  if (!user.isEmpty()) where = user + u'@' + where;
  return where;
}

constexpr auto kCheckpointInterval = std::chrono::milliseconds(250);
// Length of the log past which it is started over between two batches.
constexpr qint64 kLongLogBytes = 32 << 20;

// Flushes the folder's entry of a file that may just have been created, so
// the file itself survives a power cut.
void SyncFolderOf(const QString& path) {
  const QByteArray folder = QFileInfo(path).absolutePath().toLocal8Bit();
  const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

WalCheckpointer::WalCheckpointer(QString path, qint64 limit_bytes, QObject* owner,
                                 std::function<void()> on_long)
    : path_(std::move(path)),
      limit_bytes_(limit_bytes),
      owner_(owner),
      on_long_(std::move(on_long)),
      thread_([this] { Run(); }) {}

WalCheckpointer::~WalCheckpointer() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void WalCheckpointer::CatchUp(std::function<void()> done, bool to_end) {
  {
    std::lock_guard lock(mutex_);
    catch_up_.push_back(Request{std::move(done), to_end});
  }
  wake_.notify_all();
}

bool WalCheckpointer::Checkpoint(QSqlQuery& query) {
  // PASSIVE: copies what it can without waiting for readers or writers.
  // This connection flushes (synchronous=FULL): the log before it is
  // copied, the database file before the log may start over.
  bool done = false;
  if (query.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)")) && query.next()) {
    // busy, frames in the log, frames copied
    const qint64 frames = query.value(1).toLongLong();
    const qint64 copied = query.value(2).toLongLong();
    const bool long_log = frames * (page_bytes_ + 24) >= limit_bytes_;
    const bool was_long = log_long_.exchange(long_log);
    done = frames <= 0 || copied >= frames;
    if (long_log && !was_long && owner_ && on_long_) {
      QMetaObject::invokeMethod(owner_, on_long_, Qt::QueuedConnection);
    }
  }
  query.finish();
  return done;
}

void WalCheckpointer::Run() {
  const QString name =
      QStringLiteral("zorvanix-checkpoint-") + QUuid::createUuid().toString(QUuid::Id128);
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(path_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (db.open()) {
      QSqlQuery query(db);
      query.exec(QStringLiteral("PRAGMA synchronous=FULL"));
      if (query.exec(QStringLiteral("PRAGMA page_size")) && query.next()) {
        page_bytes_ = std::max<qint64>(512, query.value(0).toLongLong());
      }
      query.finish();
      std::unique_lock lock(mutex_);
      while (!stop_) {
        wake_.wait_for(lock, kCheckpointInterval, [this] { return stop_ || !catch_up_.empty(); });
        if (stop_) break;
        std::vector<Request> waiting = std::move(catch_up_);
        catch_up_.clear();
        lock.unlock();
        bool copied_all = Checkpoint(query);
        const bool to_end = std::any_of(waiting.begin(), waiting.end(),
                                        [](const Request& request) { return request.to_end; });
        if (to_end) {
          // No batch is open now: only the frames of the last commits are
          // left, and a reader that still uses older ones soon ends.
          const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
          while (!copied_all && std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            copied_all = Checkpoint(query);
          }
          if (copied_all) {
            catch_ups_.fetch_add(1);
            log_long_.store(false);
          }
        }
        for (Request& request : waiting) {
          QMetaObject::invokeMethod(owner_, request.done, Qt::QueuedConnection);
        }
        lock.lock();
      }
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
}

WalFlusher::WalFlusher(QString wal_path) : wal_path_(std::move(wal_path)) {
  fd_ = ::open(wal_path_.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  SyncFolderOf(wal_path_);
  thread_ = std::thread([this] { Run(); });
}

WalFlusher::~WalFlusher() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  if (fd_ >= 0) ::close(fd_);
}

bool WalFlusher::SyncFile() {
  std::lock_guard lock(file_mutex_);
  // SQLite keeps the log file while any connection is open; should it have
  // been replaced all the same, the file that is there now is the one to
  // flush.
  struct stat held {}, named {};
  const QByteArray path = wal_path_.toLocal8Bit();
  if (fd_ < 0 || ::fstat(fd_, &held) != 0 || ::stat(path.constData(), &named) != 0 ||
      held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(path.constData(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0) return false;
    SyncFolderOf(wal_path_);
  }
  flushes_.fetch_add(1);
  return ::fdatasync(fd_) == 0;
}

bool WalFlusher::FlushNow() { return SyncFile(); }

void WalFlusher::Enqueue(quint64 needs, std::function<void(bool)> done) {
  bool now = false;
  {
    std::lock_guard lock(mutex_);
    now = needs <= flushed_ && waiting_.empty();
  }
  if (now) {
    done(true);
    return;
  }
  waiting_.push_back(Waiting{needs, std::move(done), false});
}

void WalFlusher::RequestFlush(quint64 committed) {
  {
    std::lock_guard lock(mutex_);
    if (committed <= requested_) return;
    requested_ = committed;
  }
  wake_.notify_one();
}

bool WalFlusher::Busy() {
  std::lock_guard lock(mutex_);
  return requested_ > flushed_;
}

void WalFlusher::FailRange(quint64 after, quint64 upto) {
  for (Waiting& waiting : waiting_) {
    if (waiting.needs > after && waiting.needs <= upto) waiting.lost = true;
  }
}

void WalFlusher::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stop_ || requested_ > flushed_; });
    if (stop_) return;
    // Everything handed over until now has been written by the connection:
    // this one flush makes all of it durable.
    const quint64 target = requested_;
    lock.unlock();
    const bool ok = SyncFile();
    lock.lock();
    if (!ok) {
      // The log may have lost writes the service has already committed; a
      // later flush that succeeds would not bring them back. Like a database
      // server that cannot flush its log, the service stops rather than
      // acknowledge anything more; the restart recovers from what is on the
      // disk.
      std::fprintf(stderr, "cannot flush %s to the disk: %s; stopping\n",
                   wal_path_.toLocal8Bit().constData(), std::strerror(errno));
      std::abort();
    }
    flushed_ = std::max(flushed_, target);
    QMetaObject::invokeMethod(
        &owner_thread_, [this, target] { Deliver(target); }, Qt::QueuedConnection);
  }
}

void WalFlusher::Deliver(quint64 flushed) {
  // Answers are released in the order they were queued.
  std::vector<Waiting> ready;
  auto it = waiting_.begin();
  while (it != waiting_.end() && it->needs <= flushed) {
    ready.push_back(std::move(*it));
    ++it;
  }
  waiting_.erase(waiting_.begin(), it);
  for (Waiting& waiting : ready) waiting.done(!waiting.lost);
  if (after_flush_) after_flush_();
}

Database::Database(QString connection_name, bool postgres)
    : connection_name_(std::move(connection_name)), postgres_(postgres) {}

Database::~Database() {
  if (postgres_ && batch_open_ && !in_transaction_) PgCommitBatch();
  checkpointer_.reset();
  if (flusher_) {
    CommitBatch();
    // The last connection to close copies the log into the database file:
    // with flushing back on, that copy is flushed before the log goes.
    flusher_->FlushNow();
    QSqlQuery(QSqlDatabase::database(connection_name_, false))
        .exec(QStringLiteral("PRAGMA synchronous=FULL"));
  }
  DropStatements();
  {
    QSqlDatabase db = QSqlDatabase::database(connection_name_, false);
    if (db.isOpen()) db.close();
  }
  QSqlDatabase::removeDatabase(connection_name_);
}

bool Database::TakeSqliteHandle(const QSqlDatabase& db, const QString& address, QString* error) {
  // Statements run through SQLite's own interface on Qt's connection.
  const QVariant handle = db.driver()->handle();
  if (qstrcmp(handle.typeName(), "sqlite3*") != 0 ||
      !*static_cast<sqlite3* const*>(handle.constData())) {
    *error = QStringLiteral("cannot open %1: no SQLite connection").arg(address);
    return false;
  }
  sqlite_ = std::make_unique<SqliteStatements>(*static_cast<sqlite3* const*>(handle.constData()));
  return true;
}

std::unique_ptr<Database> Database::OpenReader(const QString& address, QString* error) {
  if (!address.startsWith(u"sqlite:")) return Open(address, SqliteSync::kFull, error);
  // The service process holds the file's lock already; this connection is
  // one more reader of the same process.
  const QString name = QStringLiteral("zorvanix-reader-") + QUuid::createUuid().toString(QUuid::Id128);
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
  db.setDatabaseName(address.sliced(7));
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
  std::unique_ptr<Database> database(new Database(name, false));
  if (!db.open()) {
    *error = QStringLiteral("cannot open %1: %2").arg(address, ErrorText(db.lastError()));
    return nullptr;
  }
  if (!database->TakeSqliteHandle(db, address, error)) return nullptr;
  QSqlQuery query(db);
  for (const char* pragma : {"PRAGMA query_only=ON", "PRAGMA foreign_keys=ON",
                             "PRAGMA temp_store=MEMORY", "PRAGMA cache_size=-16000",
                             "PRAGMA wal_autocheckpoint=0"}) {
    if (!query.exec(QString::fromLatin1(pragma))) {
      *error = QStringLiteral("%1: %2").arg(QString::fromLatin1(pragma),
                                            ErrorText(query.lastError()));
      return nullptr;
    }
  }
  return database;
}

std::unique_ptr<Database> Database::Open(const QString& address, SqliteSync sync, QString* error,
                                         qint64 log_limit_bytes) {
  const QString name = QStringLiteral("zorvanix-") + QUuid::createUuid().toString(QUuid::Id128);
  std::unique_ptr<Database> database;
  if (address.startsWith(u"sqlite:")) {
    auto file_lock = SqliteFileLock::Take(address.sliced(7), error);
    if (!file_lock) return nullptr;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(address.sliced(7));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    database.reset(new Database(name, false));
    database->file_lock_ = std::move(file_lock);
    if (!db.open()) {
      *error = QStringLiteral("cannot open %1: %2").arg(address, ErrorText(db.lastError()));
      return nullptr;
    }
    if (!database->TakeSqliteHandle(db, address, error)) return nullptr;
    if (!database->ApplyPragmas(sync, error)) return nullptr;
    // Once the log starts over, its file is cut back to the limit.
    QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(log_limit_bytes));
    Database* self = database.get();
    database->log_limit_bytes_ = log_limit_bytes;
    database->wal_path_ = address.sliced(7) + QStringLiteral("-wal");
    database->checkpointer_ = std::make_unique<WalCheckpointer>(
        address.sliced(7), log_limit_bytes, &database->owner_, [self] { self->MaybeCatchUpLog(); });
    if (sync == SqliteSync::kFull) {
      database->flusher_ = std::make_unique<WalFlusher>(address.sliced(7) + QStringLiteral("-wal"));
      database->flusher_->AfterFlush([self] {
        self->MaybeCommitBatch();
        self->MaybeCatchUpLog();
      });
    }
  } else if (address.startsWith(u"postgresql:") || address.startsWith(u"postgres:")) {
    std::optional<std::vector<std::pair<QString, QString>>> settings =
        PostgresSettings(address, error);
    if (!settings) return nullptr;
    // Every setting of the address goes to libpq as it stands. What the
    // address leaves out libpq finds itself: the password in PGPASSWORD or
    // ~/.pgpass (PGPASSFILE), the local socket when there is no host, peer
    // or certificate authentication, the PG* environment.
    QStringList options;
    bool has_timeout = false, has_name = false;
    for (const auto& [key, value] : *settings) {
      options << key + u'=' + QuotedSetting(value);
      has_timeout = has_timeout || key == u"connect_timeout";
      has_name = has_name || key == u"application_name";
    }
    // A connection attempt never hangs a request for long, and the
    // database's activity list says who is connected.
    if (!has_timeout && qEnvironmentVariableIsEmpty("PGCONNECT_TIMEOUT")) {
      options << QStringLiteral("connect_timeout=") + QLatin1String(kDefaultConnectTimeout);
    }
    if (!has_name && qEnvironmentVariableIsEmpty("PGAPPNAME")) {
      options << QStringLiteral("application_name='zorvanix-server'");
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    // The driver joins the options with blanks (';' separates them here).
    db.setConnectOptions(options.join(u';'));
    database.reset(new Database(name, true));
    QString failure;
    if (!database->ConnectPostgres(&failure)) {
      *error = QStringLiteral("cannot connect to %1: %2").arg(DescribePostgres(*settings), failure);
      return nullptr;
    }
  } else {
    *error = QStringLiteral("--database must start with sqlite: or postgresql://");
    return nullptr;
  }
  return database;
}

std::optional<std::vector<std::pair<QString, QString>>> Database::PostgresSettings(
    const QString& address, QString* error) {
  char* message = nullptr;
  PQconninfoOption* parsed = PQconninfoParse(address.toUtf8().constData(), &message);
  if (!parsed) {
    QString reason =
        message ? QString::fromUtf8(message).trimmed() : QStringLiteral("out of memory");
    if (message) PQfreemem(message);
    // libpq quotes the address in some messages: keep its password out.
    const QString password = QUrl(address).password();
    if (!password.isEmpty()) reason.replace(password, QStringLiteral("***"));
    *error = QStringLiteral("bad PostgreSQL address: %1").arg(reason);
    return std::nullopt;
  }
  std::vector<std::pair<QString, QString>> settings;
  for (const PQconninfoOption* option = parsed; option->keyword; ++option) {
    if (option->val)
      settings.emplace_back(QString::fromUtf8(option->keyword), QString::fromUtf8(option->val));
  }
  PQconninfoFree(parsed);
  static const QStringList kSslModes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                     QStringLiteral("prefer"),    QStringLiteral("require"),
                                     QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
  for (const auto& [key, value] : settings) {
    if (value.contains(u';')) {
      *error =
          QStringLiteral("bad PostgreSQL address: the %1 setting may not contain ';'").arg(key);
      return std::nullopt;
    }
    if (key == u"sslmode" && !kSslModes.contains(value)) {
      *error = QStringLiteral("bad PostgreSQL address: sslmode=%1 is not one of %2")
                   .arg(value, kSslModes.join(QStringLiteral(", ")));
      return std::nullopt;
    }
  }
  return settings;
}

bool Database::ConnectPostgres(QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_name_, false);
  if (!db.open()) {
    *error = db.lastError().databaseText().trimmed();
    if (error->isEmpty()) *error = ErrorText(db.lastError());
    return false;
  }
  // A commit returns once it is flushed, whatever the server's default.
  QSqlQuery session(db);
  if (!session.exec(QStringLiteral("SET synchronous_commit = on"))) {
    *error =
        QStringLiteral("cannot set synchronous_commit: %1").arg(ErrorText(session.lastError()));
    db.close();
    return false;
  }
  pg_.Reset(PgConnectionOf(db));
  ++connections_;
  return true;
}

bool Database::CheckConnectionLost() {
  if (!postgres_) return false;
  if (!connection_lost_) {
    PGconn* connection = PgConnectionOf(QSqlDatabase::database(connection_name_, false));
    connection_lost_ = !connection || PQstatus(connection) == CONNECTION_BAD;
    if (connection_lost_) std::fprintf(stderr, "the connection to the database was lost\n");
  }
  return connection_lost_;
}

void Database::DropStatements() {
  if (sqlite_) sqlite_->Clear();
  pg_.Reset(nullptr);
}

void Database::EnsureConnected() {
  if (!connection_lost_) return;
  // A lost connection took its open transaction with it; the batch was
  // already counted lost, so nothing depends on the old connection now.
  if (in_transaction_ || batch_open_) {
    throw DatabaseUnavailable("the connection to the database was lost");
  }
  if (last_connect_failure_ms_ >= 0 && SteadyMs() - last_connect_failure_ms_ < kReconnectPauseMs) {
    throw DatabaseUnavailable("the database is out of reach");
  }
  DropStatements();
  QSqlDatabase db = QSqlDatabase::database(connection_name_, false);
  db.close();
  QString failure;
  if (!ConnectPostgres(&failure)) {
    last_connect_failure_ms_ = SteadyMs();
    std::fprintf(stderr, "cannot reconnect to the database: %s\n",
                 failure.toLocal8Bit().constData());
    throw DatabaseUnavailable(("the database is out of reach: " + failure).toStdString());
  }
  connection_lost_ = false;
  last_connect_failure_ms_ = -1;
  std::fprintf(stderr, "reconnected to the database\n");
}

bool Database::PgControl(const char* sql, QString* failure) {
  QString reason;
  // A COMMIT must have committed, not rolled back a failed transaction.
  if (pg_.Simple(sql, &reason, qstrcmp(sql, "COMMIT") == 0 ? "COMMIT" : nullptr)) return true;
  if (failure) *failure = reason;
  std::fprintf(stderr, "%s: %s\n", sql, reason.toLocal8Bit().constData());
  return false;
}

bool Database::ApplyPragmas(SqliteSync sync, QString* error) {
  QSqlQuery query(QSqlDatabase::database(connection_name_));
  // WAL lets a record download read while an upload writes, and a commit is
  // one append to the log.
  //  - full (the default): the connection itself never flushes
  //    (synchronous=OFF); the WalFlusher flushes the log after the commit and
  //    before the answer, one flush for all the commits written meanwhile.
  //    Checkpoints, which copy the log into the database file, run only on
  //    the checkpointer's connection, which flushes (synchronous=FULL).
  //  - normal: a commit reaches the operating system before the reply, so
  //    killing the process loses nothing acknowledged; the log is flushed at
  //    checkpoints only, so a power cut may lose the last moments.
  // Either way this connection never checkpoints (wal_autocheckpoint=0), so
  // no request waits for one.
  // The page cache (16 MB) holds what uploads write in a large school: the
  // last index page of each class's scores and its students' rows. It stays
  // that small on purpose: SQLite walks the whole cache at every commit, and
  // at 64 MiB that walk alone cost a tenth of an upload.
  const QStringList pragmas{
      QStringLiteral("PRAGMA journal_mode=WAL"),
      sync == SqliteSync::kFull ? QStringLiteral("PRAGMA synchronous=OFF")
                                : QStringLiteral("PRAGMA synchronous=NORMAL"),
      QStringLiteral("PRAGMA foreign_keys=ON"),
      QStringLiteral("PRAGMA temp_store=MEMORY"),
      QStringLiteral("PRAGMA cache_size=-16000"),
      QStringLiteral("PRAGMA wal_autocheckpoint=0"),
  };
  for (const QString& pragma : pragmas) {
    if (!query.exec(pragma)) {
      *error = QStringLiteral("%1: %2").arg(pragma, ErrorText(query.lastError()));
      return false;
    }
  }
  query.exec(QStringLiteral("PRAGMA journal_mode"));
  if (!query.next() || query.value(0).toString().compare(u"wal", Qt::CaseInsensitive) != 0) {
    *error = QStringLiteral("the SQLite file cannot use write-ahead logging");
    return false;
  }
  return true;
}

int Database::Statement(const char* sql, const QVariant* args, qsizetype count,
                        std::vector<Row>* rows) {
  if (sqlite_) return sqlite_->Run(sql, args, count, rows);
  EnsureConnected();
  for (int attempt = 0;; ++attempt) {
    QString failure;
    int changed = 0;
    // The request's savepoint (and the release of the one before) travel
    // with its first statement.
    std::vector<const char*> prefix;
    if (savepoint_deferred_) {
      if (release_pending_) prefix.push_back("RELEASE request");
      prefix.push_back("SAVEPOINT request");
    }
    bool prefix_failed = false;
    const bool ran = pg_.Run(sql, args, count, rows, &changed, &failure, prefix, &prefix_failed);
    if (!prefix.empty() && !prefix_failed) {
      savepoint_deferred_ = false;
      release_pending_ = false;
    }
    if (ran) return changed;
    const std::string text =
        QStringLiteral("%1 [%2]").arg(failure, QString::fromUtf8(sql)).toStdString();
    if (prefix_failed) {
      // Without its savepoint the request cannot be undone alone: the batch
      // goes, as when the savepoint is refused in PgBegin.
      std::fprintf(stderr, "SAVEPOINT request: %s\n", failure.toLocal8Bit().constData());
      const bool lost = CheckConnectionLost();
      PgBatchLost();
      if (lost) throw DatabaseUnavailable(text);
      throw DatabaseError(text);
    }
    if (!CheckConnectionLost()) {
      // A failed statement spoils the whole transaction; one outside any
      // request's savepoint takes the batch with it.
      if (batch_open_ && !in_transaction_) PgBatchLost();
      throw DatabaseError(text);
    }
    // The connection was found gone: when no transaction depended on it,
    // one new connection is tried.
    if (attempt > 0 || batch_open_ || in_transaction_) {
      if (batch_open_) PgBatchLost();
      throw DatabaseUnavailable(text);
    }
    EnsureConnected();
  }
}

std::vector<Row> Database::Select(const char* sql, Args args) {
  std::vector<Row> rows;
  Statement(sql, args.begin(), static_cast<qsizetype>(args.size()), &rows);
  return rows;
}

std::vector<Row> Database::Select(const char* sql, const QVariantList& args) {
  std::vector<Row> rows;
  Statement(sql, args.constData(), args.size(), &rows);
  return rows;
}

int Database::Execute(const char* sql, const QVariantList& args) {
  ++written_;
  return Statement(sql, args.constData(), args.size(), nullptr);
}

std::optional<Row> Database::SelectOne(const char* sql, Args args) {
  std::vector<Row> rows = Select(sql, args);
  if (rows.empty()) return std::nullopt;
  return std::move(rows.front());
}

qint64 Database::InsertReturningId(const char* sql, Args args) {
  ++written_;
  std::vector<Row> rows;
  Statement(sql, args.begin(), static_cast<qsizetype>(args.size()), &rows);
  if (rows.empty() || rows.front().isEmpty()) {
    throw DatabaseError(
        QStringLiteral("no row came back [%1]").arg(QString::fromUtf8(sql)).toStdString());
  }
  return rows.front().front().toLongLong();
}

int Database::Execute(const char* sql, Args args) {
  ++written_;
  return Statement(sql, args.begin(), static_cast<qsizetype>(args.size()), nullptr);
}

bool Database::Control(const char* sql) {
  QString failure;
  if (sqlite_->Control(sql, &failure)) return true;
  std::fprintf(stderr, "%s\n", failure.toLocal8Bit().constData());
  return false;
}

void Database::Begin() {
  if (postgres_) {
    PgBegin();
    return;
  }
  if (flusher_) {
    if (!batch_open_) {
      if (!Control("BEGIN")) throw DatabaseError("cannot begin a transaction");
      batch_open_ = true;
      batch_start_ = written_;
    }
    if (!Control("SAVEPOINT request")) throw DatabaseError("cannot begin a transaction");
    in_transaction_ = true;
    return;
  }
  QSqlDatabase db = QSqlDatabase::database(connection_name_, false);
  if (!db.transaction()) {
    throw DatabaseError(("cannot begin a transaction: " + ErrorText(db.lastError())).toStdString());
  }
  in_transaction_ = true;
}

void Database::Commit() {
  if (postgres_) {
    PgCommit();
    return;
  }
  if (flusher_) {
    in_transaction_ = false;
    if (!Control("RELEASE request")) {
      BatchLost();
      throw DatabaseError("cannot commit");
    }
    ++written_;
    if (QThread::currentThread()->loopLevel() == 0) {
      // No event loop (tools writing through the storage code): each
      // request commits as soon as the flusher is free.
      MaybeCommitBatch();
    } else {
      // The requests already read from the connections join this batch
      // before it commits: one commit and one flush for all of them.
      ScheduleCommit();
    }
    return;
  }
  QSqlDatabase db = QSqlDatabase::database(connection_name_, false);
  const bool ok = db.commit();
  if (!ok) {
    const QString reason = ErrorText(db.lastError());
    db.rollback();
    in_transaction_ = false;
    throw DatabaseError(("cannot commit: " + reason).toStdString());
  }
  ++written_;
  in_transaction_ = false;
}

void Database::Rollback() {
  if (!in_transaction_) return;
  in_transaction_ = false;
  if (postgres_) {
    PgRollback();
    return;
  }
  if (flusher_) {
    // Only this request's changes go; the batch's other requests stay. A
    // failure that took the whole transaction with it leaves no savepoint.
    if (!Control("ROLLBACK TO request") || !Control("RELEASE request")) {
      BatchLost();
      return;
    }
    MaybeCommitBatch();
    return;
  }
  QSqlDatabase::database(connection_name_, false).rollback();
}

void Database::MaybeCatchUpLog() {
  // Between two batches only: the log starts over at the first write that
  // begins with every frame copied, so no batch may open (and commit) while
  // the checkpointer copies the last frames. The held writes wait about as
  // long as one flush; reads on the reader connections go on meanwhile.
  if (!checkpointer_) return;
  if (log_phase_ == LogPhase::kIdle) {
    // The file only grows past the limit while the log is longer (it is cut
    // back to the limit when the log starts over): one stat per flush.
    if (!checkpointer_->LogLong() && QFileInfo(wal_path_).size() <= log_limit_bytes_) return;
    // Most of the log is copied while the writes go on ...
    log_phase_ = LogPhase::kCopying;
    checkpointer_->CatchUp(
        [this] {
          log_phase_ = LogPhase::kReady;
          MaybeCatchUpLog();
        },
        false);
    return;
  }
  // ... and the rest, the last commits, with the writes held back.
  if (log_phase_ != LogPhase::kReady || batch_open_ || in_transaction_) return;
  log_phase_ = LogPhase::kHolding;
  writes_held_ = true;
  checkpointer_->CatchUp([this] { ReleaseWrites(); }, true);
}

void Database::WhenWritable(std::function<void()> run) {
  if (!writes_held_) {
    run();
    return;
  }
  held_writes_.push_back(std::move(run));
}

void Database::ReleaseWrites() {
  log_phase_ = LogPhase::kIdle;
  writes_held_ = false;
  std::vector<std::function<void()>> held = std::move(held_writes_);
  held_writes_.clear();
  for (auto& run : held) run();
}

void Database::MaybeCommitBatch() {
  if (batch_open_ && !in_transaction_ && !flusher_->Busy()) CommitBatch();
}

void Database::CommitBatch() {
  if (!batch_open_) return;
  if (!Control("COMMIT")) {
    BatchLost();
    return;
  }
  batch_open_ = false;
  committed_ = written_;
  flusher_->RequestFlush(committed_);
}

void Database::BatchLost() {
  // SQLite may already have rolled the transaction back; make sure.
  Control("ROLLBACK");
  batch_open_ = false;
  flusher_->FailRange(batch_start_, written_);
  committed_ = written_;
  flusher_->RequestFlush(committed_);
  if (on_batch_lost_) on_batch_lost_();
}

void Database::WhenCommittedDurable(std::function<void(bool)> done) {
  if (!flusher_) {
    done(true);
    return;
  }
  const quint64 needs = batch_open_ || in_transaction_ ? committed_ : written_;
  if (!batch_open_ && committed_ < written_) {
    committed_ = written_;
    flusher_->RequestFlush(committed_);
  }
  flusher_->Enqueue(needs, std::move(done));
}

void Database::WhenDurable(std::function<void(bool)> done) {
  if (postgres_) {
    // An answer waits for the batch it was served in: its changes, or the
    // changes of others it may have read, are committed (or lost) with it.
    // Answers leave in the order the requests were served.
    if (!batch_open_ && pg_waiting_.empty()) {
      done(true);
      return;
    }
    pg_waiting_.push_back(PgWaiting{std::move(done), false, !batch_open_});
    if (!batch_open_) PgScheduleDelivery();
    return;
  }
  if (!flusher_) {
    done(true);
    return;
  }
  // Every answer goes through the flusher, so answers leave in the order the
  // requests were served (one connection may carry several at once), and a
  // read that saw a change still waiting for its commit or flush waits with
  // it. A write made outside any transaction has committed by itself.
  if (!batch_open_ && committed_ < written_) {
    committed_ = written_;
    flusher_->RequestFlush(committed_);
  }
  flusher_->Enqueue(written_, std::move(done));
}

// --- PostgreSQL batches ----------------------------------------------------
// While the service serves from its event loop, the requests handled in one
// pass of the loop share one transaction, each in a savepoint of its own:
// a request that fails rolls back to its savepoint and takes nothing else
// with it. The batch commits once the pass is over (the commit waits for
// the server's flush of its log, synchronous_commit=on), and only then are
// its answers released. So one flush of the server's log covers every
// request served meanwhile, and a request is answered only once durable.
// Outside an event loop (start-up, tools) every transaction is a plain one
// that commits at once.

void Database::PgBegin() {
  EnsureConnected();
  if (!batch_open_) {
    QString failure;
    if (!PgControl("BEGIN", &failure)) {
      // Nothing depended on the connection yet: one reconnection is tried.
      if (!CheckConnectionLost()) {
        throw DatabaseError(("cannot begin a transaction: " + failure).toStdString());
      }
      EnsureConnected();
      if (!PgControl("BEGIN", &failure)) {
        CheckConnectionLost();
        throw DatabaseUnavailable(("cannot begin a transaction: " + failure).toStdString());
      }
    }
    batch_open_ = true;
    batch_start_ = written_;
  }
  // Outside an event loop the transaction is the request's own.
  if (QThread::currentThread()->loopLevel() == 0) {
    in_transaction_ = true;
    return;
  }
  // The request's savepoint (and the release of the one before) is sent
  // with its first statement, in the same round trip; a request that runs
  // none needs no savepoint.
  savepoint_deferred_ = true;
  in_transaction_ = true;
}

void Database::PgCommit() {
  // The savepoint is released with the next request's (or by the batch's
  // commit): a request's commit costs no round trip of its own.
  in_transaction_ = false;
  ++written_;
  if (QThread::currentThread()->loopLevel() == 0) {
    if (!PgCommitBatch()) throw DatabaseError("cannot commit");
    return;
  }
  // A request that ran no statement never opened its savepoint; the one
  // before, if still open, stays to be released.
  if (savepoint_deferred_) {
    savepoint_deferred_ = false;
  } else {
    release_pending_ = true;
  }
  ScheduleCommit();
}

void Database::PgRollback() {
  // A lost connection has already taken the batch with it.
  if (connection_lost_ || !batch_open_) return;
  if (savepoint_deferred_) {
    // Nothing ran: nothing to undo.
    savepoint_deferred_ = false;
    ScheduleCommit();
    return;
  }
  if (QThread::currentThread()->loopLevel() == 0) {
    batch_open_ = false;
    release_pending_ = false;
    if (!PgControl("ROLLBACK")) CheckConnectionLost();
    committed_ = written_;
    return;
  }
  if (!PgControl("ROLLBACK TO request") || !PgControl("RELEASE request")) {
    CheckConnectionLost();
    PgBatchLost();
    return;
  }
  ScheduleCommit();
}

void Database::ScheduleCommit() {
  // Once per turn of the event loop: what the turn served commits together.
  if (commit_scheduled_) return;
  commit_scheduled_ = true;
  QMetaObject::invokeMethod(
      &owner_,
      [this] {
        commit_scheduled_ = false;
        if (postgres_) {
          PgCommitBatch();
        } else {
          MaybeCommitBatch();
        }
      },
      Qt::QueuedConnection);
}

bool Database::PgCommitBatch() {
  if (!batch_open_ || in_transaction_) return true;
  QString failure;
  if (!PgControl("COMMIT", &failure)) {
    // Whether a commit whose answer never came was kept is unknown; its
    // requests are answered as failed, and a resent upload finds the lines
    // it may have stored.
    CheckConnectionLost();
    PgBatchLost();
    return false;
  }
  batch_open_ = false;
  release_pending_ = false;
  savepoint_deferred_ = false;
  committed_ = written_;
  for (PgWaiting& waiting : pg_waiting_) waiting.settled = true;
  PgDeliver();
  return true;
}

void Database::PgBatchLost() {
  if (!batch_open_) return;
  batch_open_ = false;
  in_transaction_ = false;
  release_pending_ = false;
  savepoint_deferred_ = false;
  if (!connection_lost_) PgControl("ROLLBACK");
  for (PgWaiting& waiting : pg_waiting_) {
    if (!waiting.settled) waiting.lost = true;
    waiting.settled = true;
  }
  committed_ = written_;
  PgScheduleDelivery();
  if (on_batch_lost_) on_batch_lost_();
}

void Database::PgScheduleDelivery() {
  // Never from inside a request: the answers go out from the event loop.
  QMetaObject::invokeMethod(
      &owner_, [this] { PgDeliver(); }, Qt::QueuedConnection);
}

void Database::PgDeliver() {
  size_t ready = 0;
  while (ready < pg_waiting_.size() && pg_waiting_[ready].settled) ++ready;
  if (ready == 0) return;
  std::vector<PgWaiting> answers(std::make_move_iterator(pg_waiting_.begin()),
                                 std::make_move_iterator(pg_waiting_.begin() + ready));
  pg_waiting_.erase(pg_waiting_.begin(), pg_waiting_.begin() + ready);
  for (PgWaiting& waiting : answers) waiting.done(!waiting.lost);
}

int Database::SchemaVersion() {
  const std::optional<Row> row = SelectOne("SELECT MAX(version) FROM schema_version");
  return row && !row->at(0).isNull() ? row->at(0).toInt() : 0;
}

bool Database::Migrate(QString* error) {
  QSqlDatabase db = QSqlDatabase::database(connection_name_, false);
  QSqlQuery query(db);
  // Service processes starting together on one PostgreSQL database bring
  // the schema up to date one after the other, not over each other.
  constexpr char kMigrationLock[] = "SELECT pg_advisory_lock(7420190401)";
  if (postgres_ && !query.exec(QString::fromLatin1(kMigrationLock))) {
    *error = QStringLiteral("cannot lock the schema: %1").arg(ErrorText(query.lastError()));
    return false;
  }
  const auto unlock = qScopeGuard([&] {
    if (postgres_) QSqlQuery(db).exec(QStringLiteral("SELECT pg_advisory_unlock(7420190401)"));
  });
  if (!query.exec(
          QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)"))) {
    *error = ErrorText(query.lastError());
    return false;
  }
  const QString key = postgres_ ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                                : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
  // Rebuilding a table drops the one its rows refer to; the references are
  // checked as a whole once every table is back, before the step commits.
  if (!postgres_) query.exec(QStringLiteral("PRAGMA foreign_keys=OFF"));
  const auto restore_keys = qScopeGuard([&] {
    if (!postgres_) QSqlQuery(db).exec(QStringLiteral("PRAGMA foreign_keys=ON"));
  });
  // A step that rebuilds an index sorts every score: with ten million of them
  // that sort would take more than a gigabyte of memory (kept by the process
  // afterwards), so during the upgrade it goes to temporary files instead.
  if (!postgres_) query.exec(QStringLiteral("PRAGMA temp_store=FILE"));
  const auto restore_temp_store = qScopeGuard([&] {
    if (!postgres_) QSqlQuery(db).exec(QStringLiteral("PRAGMA temp_store=MEMORY"));
  });
  try {
    const auto& steps = Migrations();
    const int stored = SchemaVersion();
    if (stored > static_cast<int>(steps.size())) {
      // A newer service has changed the tables in ways this one does not
      // know; writing to them could damage what it keeps.
      *error = QStringLiteral(
                   "the database has schema version %1, newer than this zorvanix-server knows "
                   "(%2); run the newer zorvanix-server that upgraded it")
                   .arg(stored)
                   .arg(steps.size());
      return false;
    }
    for (int version = stored; version < static_cast<int>(steps.size()); ++version) {
      Transaction transaction(*this);
      for (const char* statement : steps[version]) {
        QString sql = QString::fromUtf8(statement);
        if (sql.startsWith(u"sqlite:")) {
          if (postgres_) continue;
          sql.remove(0, 7);
        }
        if (sql.startsWith(u"postgresql:")) {
          if (!postgres_) continue;
          sql.remove(0, 11);
        }
        sql.replace(QStringLiteral("%PK%"), key);
        if (!query.exec(sql)) {
          *error = QStringLiteral("schema step %1: %2")
                       .arg(version + 1)
                       .arg(ErrorText(query.lastError()));
          return false;
        }
        if (sql.startsWith(u"PRAGMA foreign_key_check") && query.next()) {
          *error = QStringLiteral("schema step %1: a row of %2 refers to a missing row")
                       .arg(version + 1)
                       .arg(query.value(0).toString());
          return false;
        }
        query.finish();
      }
      Execute("DELETE FROM schema_version");
      Execute("INSERT INTO schema_version (version) VALUES (?)", {version + 1});
      transaction.Commit();
    }
    if (flusher_ && !flusher_->FlushNow()) {
      *error = QStringLiteral("cannot flush the database log to the disk");
      return false;
    }
  } catch (const DatabaseError& failure) {
    *error = QString::fromStdString(failure.what());
    return false;
  }
  return true;
}

}  // namespace zorvanix::server
