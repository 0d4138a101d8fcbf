#include "server/pg_statements.h"

#include <libpq-fe.h>

#include <QLocale>
#include <QScopeGuard>

namespace zorvanix::server {
namespace {

// Type numbers of the PostgreSQL catalogue (pg_type.oid) read as numbers.
constexpr Oid kBool = 16, kInt8 = 20, kInt2 = 21, kInt4 = 23, kOid = 26, kFloat4 = 700,
              kFloat8 = 701, kNumeric = 1700;

QVariant FieldValue(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return QVariant();
  const char* text = PQgetvalue(result, row, column);
  switch (PQftype(result, column)) {
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
      return QVariant(QByteArray::fromRawData(text, PQgetlength(result, row, column)).toLongLong());
    case kFloat4:
    case kFloat8:
    case kNumeric:
      return QVariant(QByteArray::fromRawData(text, PQgetlength(result, row, column)).toDouble());
    case kBool:
      return QVariant(text[0] == 't');
    default:
      return QString::fromUtf8(text, PQgetlength(result, row, column));
  }
}

QString ErrorOf(PGconn* connection, const PGresult* result) {
  const char* message = result ? PQresultErrorMessage(result) : "";
  if (!message || !*message) message = PQerrorMessage(connection);
  QString text = QString::fromUtf8(message).trimmed();
  return text.isEmpty() ? QStringLiteral("unknown database error") : text;
}

}  // namespace

QByteArray NumberedPlaceholders(const char* sql, int* count) {
  QByteArray numbered;
  *count = 0;
  char quote = 0;
  for (const char* c = sql; *c; ++c) {
    if (quote) {
      if (*c == quote) quote = 0;
      numbered += *c;
    } else if (*c == '\'' || *c == '"') {
      quote = *c;
      numbered += *c;
    } else if (*c == '?') {
      numbered += '$' + QByteArray::number(++*count);
    } else {
      numbered += *c;
    }
  }
  return numbered;
}

void PgStatements::Reset(PGconn* connection) {
  connection_ = connection;
  prepared_.clear();
}

bool PgStatements::Simple(const char* sql, QString* failure, const char* expected_tag) {
  if (!connection_) {
    if (failure) *failure = QStringLiteral("not connected");
    return false;
  }
  bool ok = true;
  // Several statements give several results; each must have gone well.
  if (!PQsendQuery(connection_, sql)) {
    if (failure) *failure = ErrorOf(connection_, nullptr);
    return false;
  }
  QByteArray last_tag;
  while (PGresult* result = PQgetResult(connection_)) {
    const ExecStatusType status = PQresultStatus(result);
    if (ok && status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      ok = false;
      if (failure) *failure = ErrorOf(connection_, result);
    }
    last_tag = PQcmdStatus(result);
    PQclear(result);
  }
  if (ok && expected_tag && last_tag != expected_tag) {
    ok = false;
    if (failure) {
      *failure = QStringLiteral("%1 answered %2")
                     .arg(QString::fromLatin1(sql), QString::fromLatin1(last_tag));
    }
  }
  return ok;
}

bool PgStatements::RunPipelined(const std::vector<const char*>& prefix, const QByteArray& name,
                                int count, const char* const* values, PGresult** result,
                                QString* failure, bool* prefix_failed) {
  *result = nullptr;
  if (!PQenterPipelineMode(connection_)) {
    *failure = ErrorOf(connection_, nullptr);
    if (prefix_failed) *prefix_failed = true;
    return false;
  }
  bool sent = true;
  for (const char* sql : prefix) {
    sent = sent && PQsendQueryParams(connection_, sql, 0, nullptr, nullptr, nullptr, nullptr, 0);
  }
  sent = sent && PQsendQueryPrepared(connection_, name.constData(), count, values, nullptr,
                                     nullptr, 0) &&
         PQpipelineSync(connection_);
  if (!sent) {
    // Nothing is known to have run; the connection is checked by the caller.
    *failure = ErrorOf(connection_, nullptr);
    if (prefix_failed) *prefix_failed = true;
    while (PGresult* left = PQgetResult(connection_)) PQclear(left);
    PQexitPipelineMode(connection_);
    return false;
  }
  // One result (then a null) per statement sent, then the sync's. After a
  // failure the rest report PGRES_PIPELINE_ABORTED.
  bool ok = true;
  for (size_t i = 0; i <= prefix.size(); ++i) {
    PGresult* got = PQgetResult(connection_);
    if (!got) {
      // The connection broke: no more results will come.
      if (ok) *failure = ErrorOf(connection_, nullptr);
      if (ok && prefix_failed) *prefix_failed = i < prefix.size();
      ok = false;
      break;
    }
    const ExecStatusType status = PQresultStatus(got);
    const bool good = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (ok && !good) {
      *failure = ErrorOf(connection_, got);
      if (prefix_failed) *prefix_failed = i < prefix.size();
      ok = false;
    }
    if (i == prefix.size() && ok) {
      *result = got;
    } else {
      PQclear(got);
    }
    while (PGresult* extra = PQgetResult(connection_)) PQclear(extra);
  }
  if (PQstatus(connection_) == CONNECTION_OK) {
    // The sync's result closes the pipeline.
    while (PGresult* got = PQgetResult(connection_)) {
      const bool synced = PQresultStatus(got) == PGRES_PIPELINE_SYNC;
      PQclear(got);
      if (synced) break;
    }
  }
  if (!PQexitPipelineMode(connection_) && ok) {
    *failure = ErrorOf(connection_, nullptr);
    ok = false;
  }
  if (!ok && *result) {
    PQclear(*result);
    *result = nullptr;
  }
  return ok;
}

bool PgStatements::Run(const char* sql, const QVariant* args, qsizetype count,
                       std::vector<QVariantList>* rows, int* changed, QString* failure,
                       const std::vector<const char*>& prefix, bool* prefix_failed) {
  if (prefix_failed) *prefix_failed = false;
  if (!connection_) {
    *failure = QStringLiteral("not connected");
    if (prefix_failed) *prefix_failed = !prefix.empty();
    return false;
  }
  auto found = prepared_.find(sql);
  if (found == prepared_.end() && !prefix.empty()) {
    // A statement is prepared outside any failed transaction: the prefix
    // runs first, on its own, this once.
    for (const char* control : prefix) {
      if (!Simple(control, failure)) {
        if (prefix_failed) *prefix_failed = true;
        return false;
      }
    }
    return Run(sql, args, count, rows, changed, failure);
  }
  if (found == prepared_.end()) {
    Prepared statement;
    const QByteArray text = NumberedPlaceholders(sql, &statement.parameters);
    statement.name = "zx" + QByteArray::number(++next_name_);
    PGresult* result =
        PQprepare(connection_, statement.name.constData(), text.constData(), 0, nullptr);
    const bool prepared = result && PQresultStatus(result) == PGRES_COMMAND_OK;
    if (!prepared) *failure = ErrorOf(connection_, result);
    PQclear(result);
    if (!prepared) return false;
    found = prepared_.insert(sql, statement);
  }
  if (count != found->parameters) {
    *failure = QStringLiteral("%1 values for %2 parameters").arg(count).arg(found->parameters);
    return false;
  }
  // The values as text, as the server reads them for the parameter's type.
  std::vector<QByteArray> texts(static_cast<size_t>(count));
  std::vector<const char*> values(static_cast<size_t>(count));
  for (qsizetype i = 0; i < count; ++i) {
    const QVariant& arg = args[i];
    QByteArray& text = texts[static_cast<size_t>(i)];
    switch (arg.typeId()) {
      case QMetaType::UnknownType:
        values[static_cast<size_t>(i)] = nullptr;  // SQL NULL
        continue;
      case QMetaType::Bool:
        text = arg.toBool() ? "t" : "f";
        break;
      case QMetaType::Int:
      case QMetaType::UInt:
      case QMetaType::LongLong:
      case QMetaType::Long:
      case QMetaType::Short:
      case QMetaType::UShort:
        text = QByteArray::number(arg.toLongLong());
        break;
      case QMetaType::ULongLong:
      case QMetaType::ULong:
        text = QByteArray::number(arg.toULongLong());
        break;
      case QMetaType::Double:
      case QMetaType::Float:
        // The shortest text that reads back as the same number.
        text = QByteArray::number(arg.toDouble(), 'g', QLocale::FloatingPointShortest);
        break;
      case QMetaType::QByteArray:
        text = arg.toByteArray();
        break;
      default:
        text = arg.toString().toUtf8();
        break;
    }
    values[static_cast<size_t>(i)] = text.constData();  // "" for a null text
  }
  PGresult* result = nullptr;
  if (prefix.empty()) {
    result = PQexecPrepared(connection_, found->name.constData(), static_cast<int>(count),
                            values.data(), nullptr, nullptr, 0);
  } else if (!RunPipelined(prefix, found->name, static_cast<int>(count), values.data(), &result,
                           failure, prefix_failed)) {
    return false;
  }
  const auto clear = qScopeGuard([&] { PQclear(result); });
  const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    *failure = ErrorOf(connection_, result);
    return false;
  }
  const char* tuples = PQcmdTuples(result);
  *changed = tuples && *tuples ? atoi(tuples) : 0;
  if (rows && status == PGRES_TUPLES_OK) {
    const int n = PQntuples(result), columns = PQnfields(result);
    rows->reserve(rows->size() + static_cast<size_t>(n));
    for (int r = 0; r < n; ++r) {
      QVariantList row;
      row.reserve(columns);
      for (int c = 0; c < columns; ++c) row.append(FieldValue(result, r, c));
      rows->push_back(std::move(row));
    }
  }
  return true;
}

}  // namespace zorvanix::server
