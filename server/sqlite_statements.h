// The statements of one SQLite connection, prepared once and kept for the
// connection's life, run straight through SQLite's own interface: the
// values are bound as they come and the rows read at once, without the
// copies and lookups of a general-purpose SQL layer on every request.
#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace zorvanix::server {

class SqliteStatements {
 public:
  // db: the open connection (owned by the caller, outliving this).
  explicit SqliteStatements(sqlite3* db) : db_(db) {}
  ~SqliteStatements();
  SqliteStatements(const SqliteStatements&) = delete;
  SqliteStatements& operator=(const SqliteStatements&) = delete;

  // Runs sql with the count values at args (a null text counts as an empty
  // one: every text column wants text) and returns its rows, or the number
  // of rows it changed when rows is null. Throws DatabaseError.
  int Run(const char* sql, const QVariant* args, qsizetype count, std::vector<QVariantList>* rows);
  // A statement without values whose failure the caller handles (BEGIN,
  // SAVEPOINT, COMMIT ...): false with *failure set when it fails.
  bool Control(const char* sql, QString* failure);
  // Finalizes every statement (before the connection closes).
  void Clear();

 private:
  sqlite3_stmt* Prepared(const char* sql);
  [[noreturn]] void Throw(const char* sql) const;

  sqlite3* db_;
  // By the address of the statement's text: the texts are literals or
  // built once and kept.
  QHash<const char*, sqlite3_stmt*> statements_;
  // The UTF-8 texts bound to the statement that runs, kept until it is done.
  std::vector<QByteArray> texts_;
};

}  // namespace zorvanix::server
