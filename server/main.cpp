// zorvanix-server: the scoring service the desktop program talks to.
#include <fcntl.h>
#include <signal.h>
#include <sodium.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#ifdef ZORVANIX_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

#include "server/database.h"
#include "server/demo_seed.h"
#include "server/http_front.h"
#include "server/mailer.h"
#include "server/scoring_service.h"
#include "server/server_config.h"

namespace {

int g_signal_pipe[2] = {-1, -1};

void OnSignal(int signal_number) {
  const char byte = static_cast<char>(signal_number);
  [[maybe_unused]] const ssize_t written = write(g_signal_pipe[1], &byte, 1);
}

// Points standard error (the access log and the service's messages) at the
// log file, opened anew: after a rotation the old file may have been renamed.
bool OpenLogFile(const QString& path) {
  if (path.isEmpty()) return true;
  const int fd = open(QFile::encodeName(path).constData(),
                      O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
  if (fd < 0) return false;
  std::fflush(stderr);
  const bool ok = dup2(fd, STDERR_FILENO) >= 0;
  close(fd);
  return ok;
}

// SIGTERM and SIGINT stop the service: no new connections, the requests in
// flight are answered (for at most kDrainMs), then the event loop ends so the
// database closes normally. SIGHUP reopens the log file and never stops it.
constexpr int kDrainMs = 10 * 1000;

bool InstallSignalHandlers(QCoreApplication& app, const std::function<void()>& stop,
                           const std::function<void()>& reopen_log) {
  if (pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  auto* notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &app);
  QObject::connect(notifier, &QSocketNotifier::activated, &app, [stop, reopen_log] {
    char byte;
    bool stopping = false, reopening = false;
    while (read(g_signal_pipe[0], &byte, 1) > 0) {
      if (byte == SIGHUP) {
        reopening = true;
      } else {
        stopping = true;
      }
    }
    if (reopening) reopen_log();
    if (stopping) stop();
  });
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return sigaction(SIGTERM, &action, nullptr) == 0 && sigaction(SIGINT, &action, nullptr) == 0 &&
         sigaction(SIGHUP, &action, nullptr) == 0;
}

// Tells systemd (when it started the service) how the service stands.
void NotifySystemd([[maybe_unused]] const char* state) {
#ifdef ZORVANIX_HAVE_SYSTEMD
  sd_notify(0, state);
#endif
}

// While the database opens and its schema is brought up to date, systemd
// hears every 20 s that the start goes on. Rebuilding the scores of a large
// school at an upgrade takes minutes; killed at the start timeout, the
// service would start over and never finish.
class StartingUp {
 public:
  StartingUp() {
    NotifySystemd("STATUS=opening the database (an upgrade may take minutes)");
    thread_ = std::thread([this] {
      std::unique_lock lock(mutex_);
      do {
        NotifySystemd("EXTEND_TIMEOUT_USEC=60000000");
      } while (!wake_.wait_for(lock, std::chrono::seconds(20), [this] { return done_; }));
    });
  }
  ~StartingUp() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  StartingUp(const StartingUp&) = delete;
  StartingUp& operator=(const StartingUp&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;
};

QHostAddress ListenAddress(const QString& host) {
  if (host == u"localhost") return QHostAddress(QHostAddress::LocalHost);
  if (host == u"*" || host.isEmpty()) return QHostAddress(QHostAddress::Any);
  return QHostAddress(host);
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace zorvanix::server;
  // Without TZ the C library looks at /etc/localtime again on every clock
  // reading; the service reads the clock for every request.
  if (qEnvironmentVariableIsEmpty("TZ")) qputenv("TZ", ":/etc/localtime");
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("zorvanix-server"));
  // The access log is buffered and flushed a few times a second rather than
  // costing a write for every request.
  static char log_buffer[1 << 16];
  std::setvbuf(stderr, log_buffer, _IOFBF, sizeof log_buffer);
  QTimer log_flush;
  QObject::connect(&log_flush, &QTimer::timeout, [] { std::fflush(stderr); });
  log_flush.start(200);

  QString message;
  int exit_code = 0;
  const std::optional<ServerConfig> config =
      ParseServerArguments(QCoreApplication::arguments(), &message, &exit_code);
  if (!config) {
    std::fputs(message.toLocal8Bit().constData(), exit_code == 0 ? stdout : stderr);
    std::fflush(stderr);
    return exit_code;
  }
  if (!OpenLogFile(config->log_file)) {
    std::fprintf(stderr, "zorvanix-server: cannot open the log file %s\n",
                 config->log_file.toLocal8Bit().constData());
    return 1;
  }
  if (sodium_init() < 0) {
    std::fprintf(stderr, "zorvanix-server: cannot initialise libsodium\n");
    return 1;
  }
  const QHostAddress address = ListenAddress(config->listen_host);
  if (address.isNull()) {
    std::fprintf(stderr, "zorvanix-server: bad listen address %s\n",
                 config->listen_host.toLocal8Bit().constData());
    return 2;
  }

  QString error;
  std::unique_ptr<Database> db;
  {
    StartingUp starting;
    db = Database::Open(config->database, config->sqlite_sync, &error, config->sqlite_log_limit);
    if (db && !db->Migrate(&error)) db.reset();
  }
  if (!db) {
    std::fprintf(stderr, "zorvanix-server: %s\n", error.toLocal8Bit().constData());
    return 1;
  }
  Mailer mailer(MailRoute::FromConfig(*config));
  ScoringService service(*config, *db, mailer);
  if (config->seed_demo && !SeedDemo(service.Data(), service.Hasher(), &error)) {
    std::fprintf(stderr, "zorvanix-server: demo data: %s\n", error.toLocal8Bit().constData());
    return 1;
  }

  HttpFront front(
      [&service](const Request& request, HttpFront::Respond respond) {
        service.HandleAsync(request, std::move(respond));
      },
      config->max_body_bytes, config->access_log);
  front.SetTrustedProxies(config->trusted_proxies);
  const quint16 port = front.Listen(address, config->listen_port);
  if (port == 0) {
    std::fprintf(stderr, "zorvanix-server: cannot listen on %s:%u\n",
                 config->listen_host.toLocal8Bit().constData(), config->listen_port);
    return 1;
  }
  bool stopping = false;
  QTimer drain;
  drain.setInterval(20);
  QElapsedTimer draining;
  QObject::connect(&drain, &QTimer::timeout, &app, [&] {
    front.Flush();
    if (service.InFlight() == 0 || draining.elapsed() > kDrainMs) {
      drain.stop();
      front.Flush();
      app.quit();
    }
  });
  const auto stop = [&] {
    if (stopping) return;
    stopping = true;
    NotifySystemd("STOPPING=1");
    front.StopListening();
    draining.start();
    drain.start();
  };
  const auto reopen_log = [&config] {
    if (config->log_file.isEmpty()) return;
    if (!OpenLogFile(config->log_file)) {
      std::fprintf(stderr, "zorvanix-server: cannot reopen the log file %s\n",
                   config->log_file.toLocal8Bit().constData());
    } else {
      std::fprintf(stderr, "zorvanix-server: log file reopened\n");
    }
  };
  if (!InstallSignalHandlers(app, stop, reopen_log)) {
    std::fprintf(stderr, "zorvanix-server: cannot install the signal handlers\n");
    return 1;
  }
  const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                           ? u'[' + address.toString() + u']'
                           : address.toString();
  std::printf("listening on http://%s:%u\n", host.toLatin1().constData(), port);
  std::fflush(stdout);
  NotifySystemd("READY=1");
  const int result = app.exec();
  std::fprintf(stderr, "zorvanix-server: stopped\n");
  std::fflush(stderr);
  return result;
}
