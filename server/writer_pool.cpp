#include "server/writer_pool.h"

#include <cstdio>

#include "server/database.h"
#include "server/store.h"

namespace zorvanix::server {

// One writer: a thread with an event loop and, once it has served a job, a
// connection of its own (opened, used and closed on that thread).
class WriterPool::Writer : public QThread {
 public:
  using Finish = std::function<void(Outcome, bool)>;

  Writer(QString address, int number) : address_(std::move(address)) {
    setObjectName(QStringLiteral("writer-%1").arg(number));
    inbox_.moveToThread(this);
  }
  ~Writer() override {
    quit();
    wait();
  }

  // finish runs on this writer's thread.
  void Post(Job job, Finish finish) {
    QMetaObject::invokeMethod(
        &inbox_, [this, job = std::move(job), finish = std::move(finish)] { Execute(job, finish); },
        Qt::QueuedConnection);
  }

 protected:
  void run() override {
    exec();
    // The last batch commits as the connection closes (Database's
    // destructor), on the thread that used it.
    store_.reset();
    db_.reset();
  }

 private:
  void Execute(const Job& job, const Finish& finish) {
    if (!db_) {
      QString error;
      db_ = Database::OpenReader(address_, &error);
      if (db_) {
        store_ = std::make_unique<Store>(*db_);
      } else {
        std::fprintf(stderr, "writer cannot open the database: %s\n",
                     error.toLocal8Bit().constData());
      }
    }
    Outcome outcome;
    outcome.reply = AnswerSafely([&]() -> Reply {
      if (!store_) throw DatabaseUnavailable("the database is out of reach");
      Outcome done = job(*db_, *store_);
      outcome.revision = done.revision;
      return std::move(done.reply);
    });
    if (outcome.reply.status != 200) outcome.revision = 0;
    if (!db_) {
      finish(std::move(outcome), true);
      return;
    }
    // The answer waits for the batch the job was served in to commit.
    db_->WhenDurable([finish, outcome](bool kept) { finish(outcome, kept); });
  }

  QString address_;
  QObject inbox_;  // lives on this writer's thread: the jobs are its events
  std::unique_ptr<Database> db_;
  std::unique_ptr<Store> store_;
};

WriterPool::WriterPool(QString address, int threads) {
  for (int i = 0; i < threads; ++i) {
    writers_.push_back(std::make_unique<Writer>(address, i));
    writers_.back()->start();
  }
}

WriterPool::~WriterPool() { writers_.clear(); }

void WriterPool::Run(qint64 key, Job job, Done done) {
  Writer& writer = *writers_[static_cast<quint64>(key) % writers_.size()];
  writer.Post(std::move(job), [this, done = std::move(done)](Outcome outcome, bool kept) {
    QMetaObject::invokeMethod(
        &owner_, [done, outcome = std::move(outcome), kept] { done(outcome, kept); },
        Qt::QueuedConnection);
  });
}

}  // namespace zorvanix::server
