// The service's command line: where it listens, where it keeps its data, how
// it mails reset codes and how hard it hashes passwords.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <optional>
#include <utility>

namespace zorvanix::server {

enum class PasswordCost { kInteractive, kMinimum };
enum class SqliteSync { kNormal, kFull };
// Whether SMTP over smtp:// switches to TLS first (smtps:// always speaks TLS).
enum class SmtpStartTls { kIfOffered, kRequired, kOff };
// An address and how many of its leading bits a peer must share with it.
using Subnet = std::pair<QHostAddress, int>;

struct ServerConfig {
  QString listen_host = QStringLiteral("127.0.0.1");
  quint16 listen_port = 8808;
  QString database = QStringLiteral("sqlite:./zorvanix.db");
  QString mail_spool = QStringLiteral("./mail-spool");
  QString smtp;  // "smtp://host:port"; empty: mail goes to the spool
  QString mail_from = QStringLiteral("zorvanix@localhost");
  bool vendor = false;
  QString vendor_version = QStringLiteral(ZORVANIX_SERVER_VERSION);
  bool seed_demo = false;
  PasswordCost password_cost = PasswordCost::kInteractive;
  SqliteSync sqlite_sync = SqliteSync::kFull;
  // Threads (each with its own database connection) that answer the reads;
  // 0: every request on the serving thread.
  int readers = 2;
  // PostgreSQL: connections (each on a thread of its own) that store score
  // uploads of different teachers at once; 0: on the serving connection.
  int writers = 3;
  // Length of the SQLite write-ahead log past which it is started over.
  qint64 sqlite_log_limit = 32 << 20;
  qint64 max_body_bytes = 1024 * 1024;
  int max_failures_per_account = 10;
  int max_failures_per_address = 100;
  int failure_window_seconds = 15 * 60;
  bool access_log = true;
  // --- Operations: the school's zone, sign-up, the log file.
  // IANA name of the zone whose wall clock the service time counts in.
  QString time_zone = QStringLiteral("Asia/Shanghai");
  bool sign_up = true;
  int sign_ups_per_address_hour = 50;
  QString log_file;  // empty: standard error
  // --- Edge: the proxies in front of the service, and how mail leaves it.
  // Peers whose X-Forwarded-For is believed (nginx on the same host, say).
  QList<Subnet> trusted_proxies;
  QString smtp_user;      // empty: no AUTH
  QString smtp_password;  // from the settings file or ZORVANIX_SMTP_PASSWORD only
  SmtpStartTls smtp_starttls = SmtpStartTls::kIfOffered;
  QString smtp_ca_file;  // certificates the relay's is checked against; empty: the system's
  int smtp_timeout_seconds = 20;
  QString sendmail;  // the local sendmail program; when set it carries the mail
};

// Parses "ADDRESS[/PREFIX]" (IPv4 or IPv6); a bare address stands for itself.
std::optional<Subnet> ParseSubnet(const QString& text);

// The zone named by config.time_zone (a fixed UTC+8 for Asia/Shanghai when the
// host has no zone data).
QTimeZone ServiceTimeZone(const ServerConfig& config);

// Parses the arguments (argv[0] included). On --help or --version, or on an
// error, *exit_message holds the text to print and the result is empty;
// *exit_code says how to leave.
std::optional<ServerConfig> ParseServerArguments(const QStringList& arguments,
                                                 QString* exit_message, int* exit_code);

// Reads a settings file of "option = value" lines ('#' comments, switches
// as true/false) into the command-line options it stands for. Empty with
// *error set when the file cannot be read or a line is not a setting.
std::optional<QStringList> ReadServerConfigFile(const QString& path, QString* error);

}  // namespace zorvanix::server
