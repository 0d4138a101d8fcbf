// PostgreSQL: connections that store score uploads, each on a thread of its
// own. One connection can only run one statement at a time, and while the
// database executes an upload the thread that sent it waits; with several
// connections the uploads of different teachers are stored at once and the
// database's work spreads over the machine's cores.
//
// Each writer serves from an event loop, so the uploads it took in one turn
// share one transaction and one commit (each in a savepoint of its own, as
// on the serving connection). A teacher's uploads always go to the same
// writer, in the order they came: no two connections ever wait for each
// other's locks on a teacher's rows.
#pragma once

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <vector>

#include "server/request.h"

namespace zorvanix::server {

class Database;
class Store;

class WriterPool {
 public:
  // What a job did: its reply and, when it stored something, the teacher's
  // data revision after it (0 when nothing was stored).
  struct Outcome {
    Reply reply;
    qint64 revision = 0;
  };
  // Runs on a writer thread, inside its own transaction (which the job
  // commits, or rolls back by returning or throwing).
  using Job = std::function<Outcome(Database&, Store&)>;
  // Runs on the thread that created the pool once the job's change is
  // durable: kept is false when its batch could not be committed after all,
  // and then nothing of the job stays.
  using Done = std::function<void(const Outcome&, bool kept)>;

  // Starts `threads` writers on the database at address (a PostgreSQL URI).
  // A writer that cannot connect tries again with its next job, which
  // meanwhile is answered as the database being out of reach.
  WriterPool(QString address, int threads);
  ~WriterPool();
  WriterPool(const WriterPool&) = delete;
  WriterPool& operator=(const WriterPool&) = delete;

  // Runs job on the writer of key (a teacher): the jobs of one key run in
  // the order they were given.
  void Run(qint64 key, Job job, Done done);

 private:
  class Writer;
  QObject owner_;  // receives the outcomes on the creating thread
  std::vector<std::unique_ptr<Writer>> writers_;
};

}  // namespace zorvanix::server
