// The statements of one PostgreSQL connection, each prepared on the server
// once per connection (again after a reconnection) and run with its values
// passed as parameters, so the server neither parses nor plans a statement
// text per request.
#pragma once

#include <QHash>
#include <QString>
#include <QVariant>
#include <vector>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace zorvanix::server {

class PgStatements {
 public:
  // A new connection (or none): the statements prepared on the old one are
  // gone with it.
  void Reset(PGconn* connection);
  PGconn* Connection() const { return connection_; }

  // Runs sql ("?" placeholders) with the count values at args (a null text
  // counts as an empty one) and fills rows when given; *changed gets the
  // rows changed. false with *failure set when the statement failed.
  // With a prefix (statements without parameters, such as the request's
  // SAVEPOINT), those go first in the same round trip; when one of them
  // fails the statement is not run and *prefix_failed is set.
  bool Run(const char* sql, const QVariant* args, qsizetype count, std::vector<QVariantList>* rows,
           int* changed, QString* failure, const std::vector<const char*>& prefix = {},
           bool* prefix_failed = nullptr);
  // Statements without parameters, one or several (BEGIN, "RELEASE ...;
  // SAVEPOINT ...", COMMIT), in one round trip. With expected_tag, the last
  // one must also report that command: a COMMIT of a transaction that had
  // failed reports a rollback without an error.
  bool Simple(const char* sql, QString* failure, const char* expected_tag = nullptr);

 private:
  // Sends the prefix and the prepared statement in pipeline mode and reads
  // their results; *result gets the statement's.
  bool RunPipelined(const std::vector<const char*>& prefix, const QByteArray& name, int count,
                    const char* const* values, PGresult** result, QString* failure,
                    bool* prefix_failed);
  PGconn* connection_ = nullptr;
  struct Prepared {
    QByteArray name;
    int parameters = 0;
  };
  QHash<const char*, Prepared> prepared_;
  int next_name_ = 0;
};

// sql with its "?" placeholders numbered as PostgreSQL wants them ($1, $2
// ...), those inside quotes left alone; *count gets their number.
QByteArray NumberedPlaceholders(const char* sql, int* count);

}  // namespace zorvanix::server
