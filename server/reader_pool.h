// Threads that answer the service's reads, each through a database
// connection of its own, so a long read or the rendering of a large list
// never holds up the thread that serves every other request.
#pragma once

#include <QObject>
#include <QString>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "server/request.h"
#include "server/store.h"

namespace zorvanix::server {

class ReaderPool {
 public:
  using Job = std::function<Reply(Store&)>;
  using Done = std::function<void(Reply)>;

  // Starts `threads` readers on the database at address (see
  // Database::OpenReader). A reader that cannot connect tries again with its
  // next job, which meanwhile is answered as the database being out of reach.
  ReaderPool(QString address, int threads);
  ~ReaderPool();
  ReaderPool(const ReaderPool&) = delete;
  ReaderPool& operator=(const ReaderPool&) = delete;

  // Runs job on a reader (in the order jobs come, as readers come free);
  // done gets its reply on the thread that created the pool.
  void Run(Job job, Done done);
  // Jobs taken and not yet done.
  int Pending() const { return pending_; }

 private:
  struct Task {
    Job job;
    Done done;
  };
  void Serve();

  QString address_;
  QObject owner_;  // receives the replies on the creating thread
  int pending_ = 0;  // on the creating thread only
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Task> tasks_;  // under mutex_
  bool stop_ = false;       // under mutex_
  std::vector<std::thread> threads_;
};

}  // namespace zorvanix::server
