#include "server/reader_pool.h"

#include <QSqlDatabase>
#include <cstdio>
#include <memory>

#include "server/database.h"

namespace zorvanix::server {

ReaderPool::ReaderPool(QString address, int threads) : address_(std::move(address)) {
  for (int i = 0; i < threads; ++i) threads_.emplace_back([this] { Serve(); });
}

ReaderPool::~ReaderPool() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void ReaderPool::Run(Job job, Done done) {
  ++pending_;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(Task{std::move(job), std::move(done)});
  }
  wake_.notify_one();
}

void ReaderPool::Serve() {
  std::unique_ptr<Database> db;
  std::unique_ptr<Store> store;
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
    if (stop_) break;
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    if (!db) {
      QString error;
      db = Database::OpenReader(address_, &error);
      if (db) {
        store = std::make_unique<Store>(*db);
      } else {
        std::fprintf(stderr, "reader cannot open the database: %s\n",
                     error.toLocal8Bit().constData());
      }
    }
    Reply reply = AnswerSafely([&]() -> Reply {
      if (!store) throw DatabaseUnavailable("the database is out of reach");
      // One snapshot for all the statements of a read: a record download
      // never shows a class list and students from different moments.
      Transaction snapshot(*db);
      Reply answer = task.job(*store);
      snapshot.Commit();
      return answer;
    });
    QMetaObject::invokeMethod(
        &owner_,
        [this, done = std::move(task.done), reply = std::move(reply)]() mutable {
          --pending_;
          done(std::move(reply));
        },
        Qt::QueuedConnection);
    lock.lock();
  }
  lock.unlock();
  store.reset();
  db.reset();
}

}  // namespace zorvanix::server
