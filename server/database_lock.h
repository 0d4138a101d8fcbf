// One service process per SQLite file: what a process keeps in memory (the
// rendered record downloads, the remembered password checks) is right only
// while nobody else writes the file.
#pragma once

#include <QString>
#include <memory>

namespace zorvanix::server {

class SqliteFileLock {
 public:
  // Locks "PATH.lock" beside the database file for as long as the object
  // lives; nullptr, with *error saying who holds it, when another process
  // does. The system drops the lock when its process ends, however it ends,
  // so a service killed outright never blocks its restart.
  static std::unique_ptr<SqliteFileLock> Take(const QString& database_path, QString* error);
  ~SqliteFileLock();
  SqliteFileLock(const SqliteFileLock&) = delete;
  SqliteFileLock& operator=(const SqliteFileLock&) = delete;

 private:
  explicit SqliteFileLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace zorvanix::server
