#include "server/sqlite_statements.h"

#include <sqlite3.h>

#include <QScopeGuard>

#include "server/database.h"

namespace zorvanix::server {

SqliteStatements::~SqliteStatements() { Clear(); }

void SqliteStatements::Clear() {
  for (sqlite3_stmt* statement : std::as_const(statements_)) sqlite3_finalize(statement);
  statements_.clear();
}

void SqliteStatements::Throw(const char* sql) const {
  throw DatabaseError(QStringLiteral("%1 [%2]")
                          .arg(QString::fromUtf8(sqlite3_errmsg(db_)), QString::fromUtf8(sql))
                          .toStdString());
}

sqlite3_stmt* SqliteStatements::Prepared(const char* sql) {
  sqlite3_stmt*& statement = statements_[sql];
  if (!statement) {
    // Kept for the connection's life: SQLite places it accordingly.
    if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
            SQLITE_OK ||
        !statement) {
      sqlite3_finalize(statement);
      statements_.remove(sql);
      Throw(sql);
    }
  }
  return statement;
}

namespace {

QVariant ColumnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return QVariant(static_cast<qlonglong>(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
      return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_NULL:
      return QVariant();
    case SQLITE_BLOB:
      return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                        sqlite3_column_bytes(statement, column));
    default: {
      // The text first, then its length in that form.
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
    }
  }
}

}  // namespace

int SqliteStatements::Run(const char* sql, const QVariant* args, qsizetype count,
                          std::vector<QVariantList>* rows) {
  sqlite3_stmt* statement = Prepared(sql);
  // Reset at once, whatever happens: no statement keeps a read open, which
  // would hold back the checkpoints.
  const auto reset = qScopeGuard([&] {
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
    texts_.clear();
  });
  for (qsizetype i = 0; i < count; ++i) {
    const QVariant& arg = args[i];
    const int index = static_cast<int>(i) + 1;
    int bound = SQLITE_OK;
    switch (arg.typeId()) {
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::LongLong:
      case QMetaType::ULongLong:
      case QMetaType::Long:
      case QMetaType::ULong:
      case QMetaType::Short:
      case QMetaType::UShort:
      case QMetaType::Bool:
        bound = sqlite3_bind_int64(statement, index, arg.toLongLong());
        break;
      case QMetaType::Double:
      case QMetaType::Float:
        bound = sqlite3_bind_double(statement, index, arg.toDouble());
        break;
      case QMetaType::QByteArray: {
        texts_.push_back(arg.toByteArray());
        const QByteArray& bytes = texts_.back();
        bound = sqlite3_bind_blob(statement, index, bytes.constData(),
                                  static_cast<int>(bytes.size()), SQLITE_STATIC);
        break;
      }
      case QMetaType::UnknownType:
        bound = sqlite3_bind_null(statement, index);
        break;
      default: {
        texts_.push_back(arg.toString().toUtf8());
        const QByteArray& text = texts_.back();
        bound = sqlite3_bind_text(statement, index, text.constData(), static_cast<int>(text.size()),
                                  SQLITE_STATIC);
        break;
      }
    }
    if (bound != SQLITE_OK) Throw(sql);
  }
  const int columns = rows ? sqlite3_column_count(statement) : 0;
  while (true) {
    const int step = sqlite3_step(statement);
    if (step == SQLITE_DONE) break;
    if (step != SQLITE_ROW) Throw(sql);
    if (!rows) continue;
    QVariantList row;
    row.reserve(columns);
    for (int c = 0; c < columns; ++c) row.append(ColumnValue(statement, c));
    rows->push_back(std::move(row));
  }
  return sqlite3_changes(db_);
}

bool SqliteStatements::Control(const char* sql, QString* failure) {
  try {
    Run(sql, nullptr, 0, nullptr);
    return true;
  } catch (const DatabaseError& error) {
    if (failure) *failure = QString::fromStdString(error.what());
    return false;
  }
}

}  // namespace zorvanix::server
