#include "server/database_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <cerrno>
#include <cstring>

namespace zorvanix::server {

std::unique_ptr<SqliteFileLock> SqliteFileLock::Take(const QString& database_path, QString* error) {
  const QString path = database_path + QStringLiteral(".lock");
  const QByteArray name = QFile::encodeName(path);
  // Close-on-exec: a mail program started by the service must not keep the
  // lock once the service is gone.
  const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0) {
    *error = QStringLiteral("cannot open the lock file %1: %2")
                 .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return nullptr;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int failure = errno;
    char holder[32] = {};
    const ssize_t got = ::pread(fd, holder, sizeof holder - 1, 0);
    ::close(fd);
    if (failure != EWOULDBLOCK) {
      *error = QStringLiteral("cannot lock %1: %2")
                   .arg(path, QString::fromLocal8Bit(std::strerror(failure)));
      return nullptr;
    }
    const QByteArray pid = QByteArray(holder, got > 0 ? static_cast<int>(got) : 0).trimmed();
    *error = QStringLiteral(
                 "the SQLite file %1 is in use by another zorvanix-server process%2; one SQLite "
                 "file serves one process at a time (several processes need PostgreSQL)")
                 .arg(database_path,
                      pid.isEmpty() ? QString()
                                    : QStringLiteral(" (pid %1)").arg(QString::fromLatin1(pid)));
    return nullptr;
  }
  // The holder's pid, for the message another process gives.
  const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.constData(), pid.size(), 0);
  }
  return std::unique_ptr<SqliteFileLock>(new SqliteFileLock(fd));
}

SqliteFileLock::~SqliteFileLock() { ::close(fd_); }

}  // namespace zorvanix::server
