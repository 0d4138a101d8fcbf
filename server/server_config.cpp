#include "server/server_config.h"

#include <QCommandLineParser>
#include <QFile>
#include <algorithm>
#include <initializer_list>
#include <limits>
#include <utility>

namespace zorvanix::server {
namespace {

// The options that take no value.
const QStringList kSwitches = {QStringLiteral("vendor"), QStringLiteral("seed-demo"),
                               QStringLiteral("no-access-log"), QStringLiteral("no-sign-up")};

bool ParseListen(const QString& text, ServerConfig* config) {
  const qsizetype colon = text.lastIndexOf(u':');
  if (colon <= 0) return false;
  bool ok = false;
  const uint port = text.sliced(colon + 1).toUInt(&ok);
  if (!ok || port > 65535) return false;
  QString host = text.first(colon);
  if (host.startsWith(u'[') && host.endsWith(u']')) host = host.sliced(1, host.size() - 2);
  config->listen_host = host;
  config->listen_port = static_cast<quint16>(port);
  return true;
}

// An option that takes one of a few words. Returns the complaint, or an empty
// text when the option is absent or its word was taken.
template <typename T>
QString ReadChoice(const QCommandLineParser& parser, const QCommandLineOption& option,
                   std::initializer_list<std::pair<QLatin1String, T>> choices, T* value) {
  if (!parser.isSet(option)) return QString();
  const QString word = parser.value(option);
  QStringList words;
  for (const auto& [name, choice] : choices) {
    if (word == name) {
      *value = choice;
      return QString();
    }
    words.append(name);
  }
  return QStringLiteral("--%1 is %2, not %3")
      .arg(option.names().constFirst(), words.join(QStringLiteral(" or ")), word);
}

// An option that takes a positive whole number, held to at most cap. Returns
// the complaint, or an empty text when the option is absent or was taken.
template <typename T>
QString ReadPositive(const QCommandLineParser& parser, const QCommandLineOption& option, qint64 cap,
                     T* value) {
  if (!parser.isSet(option)) return QString();
  bool ok = false;
  const qint64 parsed = parser.value(option).toLongLong(&ok);
  if (!ok || parsed <= 0) return QStringLiteral("bad --%1").arg(option.names().constFirst());
  *value = static_cast<T>(std::min(parsed, cap));
  return QString();
}

// The value of --config FILE / --config=FILE on the command line, if any.
QString ConfigFileArgument(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == u"--") break;
    if (a == u"--config" && i + 1 < arguments.size()) return arguments[i + 1];
    if (a.startsWith(u"--config=")) return a.sliced(9);
  }
  return QString();
}

}  // namespace

std::optional<Subnet> ParseSubnet(const QString& text) {
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  if (!trimmed.contains(u'/')) {
    const QHostAddress address(trimmed);
    if (address.isNull()) return std::nullopt;
    return Subnet{address, address.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32};
  }
  const Subnet subnet = QHostAddress::parseSubnet(trimmed);
  if (subnet.first.isNull() || subnet.second < 0) return std::nullopt;
  return subnet;
}

QTimeZone ServiceTimeZone(const ServerConfig& config) {
  QTimeZone zone(config.time_zone.toUtf8());
  if (zone.isValid()) return zone;
  // China has kept UTC+8 without daylight saving since 1991.
  return QTimeZone(8 * 3600);
}

std::optional<QStringList> ReadServerConfigFile(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
    return std::nullopt;
  }
  QStringList options;
  int number = 0;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    ++number;
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';')) continue;
    const qsizetype equals = line.indexOf(u'=');
    const QString key = (equals < 0 ? line : line.first(equals)).trimmed();
    QString value = equals < 0 ? QString() : line.sliced(equals + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"')) {
      value = value.sliced(1, value.size() - 2);
    }
    if (key.isEmpty() || key.startsWith(u'-') || key == u"config" || key == u"help" ||
        key == u"version") {
      *error = QStringLiteral("%1:%2: not a setting: %3").arg(path).arg(number).arg(line);
      return std::nullopt;
    }
    // Switches are written "vendor = true" (or bare); "false" leaves them off.
    if (kSwitches.contains(key)) {
      if (equals < 0 || value == u"true" || value == u"yes" || value == u"on") {
        options.append(QStringLiteral("--") + key);
      } else if (value != u"false" && value != u"no" && value != u"off") {
        *error = QStringLiteral("%1:%2: %3 is true or false").arg(path).arg(number).arg(key);
        return std::nullopt;
      }
      continue;
    }
    if (equals < 0) {
      *error = QStringLiteral("%1:%2: %3 needs a value").arg(path).arg(number).arg(key);
      return std::nullopt;
    }
    options.append(QStringLiteral("--%1=%2").arg(key, value));
  }
  return options;
}

std::optional<ServerConfig> ParseServerArguments(const QStringList& given_arguments,
                                                 QString* exit_message, int* exit_code) {
  ServerConfig config;
  // A settings file named by --config comes first, so that every option on
  // the command line overrides the file's value.
  QStringList arguments = given_arguments;
  if (const QString file = ConfigFileArgument(given_arguments); !file.isEmpty()) {
    QString error;
    const std::optional<QStringList> from_file = ReadServerConfigFile(file, &error);
    if (!from_file) {
      *exit_message = QStringLiteral("zorvanix-server: %1\n").arg(error);
      *exit_code = 2;
      return std::nullopt;
    }
    for (qsizetype i = 0; i < from_file->size(); ++i) arguments.insert(1 + i, from_file->at(i));
  }
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "The Zorvanix scoring service: accounts, classes, students, topics, criteria and scores "
      "of every teacher, served over HTTP below /score/."));
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                QStringLiteral("Show this help and exit."));
  const QCommandLineOption version(QStringLiteral("version"),
                                   QStringLiteral("Show the service version and exit."));
  const QCommandLineOption listen(
      QStringLiteral("listen"),
      QStringLiteral("Address and port to listen on, HOST:PORT (default 127.0.0.1:8808). "
                     "Port 0 picks a free port; the line \"listening on http://HOST:PORT\" on "
                     "standard output says which."),
      QStringLiteral("host:port"));
  const QCommandLineOption database(
      QStringLiteral("database"),
      QStringLiteral("Where the data lives: sqlite:PATH (default sqlite:./zorvanix.db) or a "
                     "PostgreSQL URI, postgresql://USER@HOST:PORT/DBNAME?OPTIONS, with libpq's "
                     "options (sslmode, sslrootcert, connect_timeout, application_name, "
                     "host=/run/postgresql for a local socket ...). Without a password in it, "
                     "libpq takes PGPASSWORD or ~/.pgpass. The schema is created or migrated "
                     "on start."),
      QStringLiteral("url"));
  const QCommandLineOption mail_spool(
      QStringLiteral("mail-spool"),
      QStringLiteral("Folder that receives one RFC 5322 file per outgoing mail (default "
                     "./mail-spool). Used unless --smtp is given."),
      QStringLiteral("dir"));
  const QCommandLineOption smtp(
      QStringLiteral("smtp"),
      QStringLiteral("Send mail through this SMTP relay instead of the spool: smtp://HOST[:PORT] "
                     "(STARTTLS, see --smtp-starttls) or smtps://HOST[:PORT] (TLS); login with "
                     "--smtp-user."),
      QStringLiteral("url"));
  const QCommandLineOption mail_from(
      QStringLiteral("mail-from"),
      QStringLiteral("Sender address of outgoing mail (default zorvanix@localhost)."),
      QStringLiteral("address"));
  const QCommandLineOption vendor(
      QStringLiteral("vendor"),
      QStringLiteral("Also serve the maker's pages: /version.php, /update.php and /."));
  const QCommandLineOption vendor_version(
      QStringLiteral("vendor-version"),
      QStringLiteral("Version announced by /version.php (default: this service's version)."),
      QStringLiteral("text"));
  const QCommandLineOption seed_demo(
      QStringLiteral("seed-demo"),
      QStringLiteral("Create the demo teacher (account demo, login password demo123, operation "
                     "password op123) with classes, students, topics and scores, unless it "
                     "exists."));
  const QCommandLineOption password_cost(
      QStringLiteral("password-cost"),
      QStringLiteral("Argon2id cost of new password hashes: interactive (default) or min "
                     "(for tests and dataset generation only)."),
      QStringLiteral("interactive|min"));
  const QCommandLineOption sqlite_sync(
      QStringLiteral("sqlite-sync"),
      QStringLiteral("SQLite durability: full (default; every change is on the disk before "
                     "it is acknowledged, so it survives a power cut) or normal (acknowledged "
                     "changes survive a crash of the service, but a power cut may lose the last "
                     "moments)."),
      QStringLiteral("normal|full"));
  const QCommandLineOption readers(
      QStringLiteral("readers"),
      QStringLiteral("Threads that answer reads (record downloads, score lists, the results "
                     "page ...), each with its own database connection, so a long read never "
                     "holds up other requests (default 2; 0 answers everything on the one "
                     "serving thread)."),
      QStringLiteral("count"));
  const QCommandLineOption writers(
      QStringLiteral("writers"),
      QStringLiteral("PostgreSQL: connections, each on a thread of its own, that store the score "
                     "uploads of different teachers at once (default 3; 0 stores them on the "
                     "serving connection). SQLite has one writer whatever this says."),
      QStringLiteral("count"));
  const QCommandLineOption sqlite_log_limit(
      QStringLiteral("sqlite-log-limit"),
      QStringLiteral("Length in bytes past which the SQLite write-ahead log is copied into the "
                     "database file and started over (default 33554432)."),
      QStringLiteral("bytes"));
  const QCommandLineOption max_body(
      QStringLiteral("max-body"),
      QStringLiteral("Largest request body accepted, in bytes (default 1048576); larger "
                     "requests are answered 413."),
      QStringLiteral("bytes"));
  const QCommandLineOption account_failures(
      QStringLiteral("max-failures-account"),
      QStringLiteral("Wrong passwords accepted per account within the failure window before "
                     "its password checks are refused (default 10)."),
      QStringLiteral("count"));
  const QCommandLineOption address_failures(
      QStringLiteral("max-failures-address"),
      QStringLiteral("Wrong passwords accepted per client address within the failure window "
                     "(default 100)."),
      QStringLiteral("count"));
  const QCommandLineOption failure_window(
      QStringLiteral("failure-window"),
      QStringLiteral("Length of the failure window in seconds (default 900)."),
      QStringLiteral("seconds"));
  const QCommandLineOption no_access_log(
      QStringLiteral("no-access-log"),
      QStringLiteral("Do not write the access log (one line per request on standard error)."));
  // --- Operations (kept together).
  const QCommandLineOption time_zone(
      QStringLiteral("time-zone"),
      QStringLiteral("Zone of the school's clock, an IANA name such as Asia/Shanghai (the "
                     "default, whatever the host's zone) or UTC+08:00. Service time is seconds "
                     "since 1970-1-1 08:00:00 on that clock."),
      QStringLiteral("zone"));
  const QCommandLineOption no_sign_up(
      QStringLiteral("no-sign-up"),
      QStringLiteral("Close sign-up: new accounts are refused (existing ones work as before)."));
  const QCommandLineOption sign_ups_per_hour(
      QStringLiteral("max-sign-ups-address"),
      QStringLiteral("Sign-ups accepted from one client address in an hour (default 50)."),
      QStringLiteral("count"));
  const QCommandLineOption log_file(
      QStringLiteral("log-file"),
      QStringLiteral("Append the access log and messages to this file instead of standard "
                     "error; SIGHUP reopens it (for log rotation)."),
      QStringLiteral("file"));
  const QCommandLineOption config_file(
      QStringLiteral("config"),
      QStringLiteral("Read settings from this file first: one \"option = value\" per line, "
                     "named like the long options here (switches take true or false), '#' "
                     "starts a comment. Options on the command line override the file. Keeps "
                     "the database password out of the process list."),
      QStringLiteral("file"));
  // --- Edge: proxies and mail (kept together).
  const QCommandLineOption trusted_proxy(
      QStringLiteral("trusted-proxy"),
      QStringLiteral("A reverse proxy in front of the service, ADDRESS or ADDRESS/PREFIX (IPv4 or "
                     "IPv6; repeat for several). Only from these peers is X-Forwarded-For "
                     "believed: the client is its right-most address that is not itself a "
                     "trusted proxy, and the limits per address count that client."),
      QStringLiteral("address[/prefix]"));
  const QCommandLineOption smtp_user(
      QStringLiteral("smtp-user"),
      QStringLiteral("Log in to the SMTP relay (AUTH) as this user; the password is "
                     "smtp-password in the --config file or ZORVANIX_SMTP_PASSWORD, never the "
                     "command line."),
      QStringLiteral("name"));
  const QCommandLineOption smtp_password(
      QStringLiteral("smtp-password"),
      QStringLiteral("Only in the --config file: the password of --smtp-user."),
      QStringLiteral("password"));
  const QCommandLineOption smtp_starttls(
      QStringLiteral("smtp-starttls"),
      QStringLiteral("For smtp:// relays: if-offered (default; required as soon as --smtp-user "
                     "is set, so a password never travels in clear), required or off. "
                     "smtps:// relays speak TLS from the first byte."),
      QStringLiteral("if-offered|required|off"));
  const QCommandLineOption smtp_ca_file(
      QStringLiteral("smtp-ca-file"),
      QStringLiteral("Check the relay's TLS certificate against these PEM certificates instead "
                     "of the system's (a school's own relay)."),
      QStringLiteral("file"));
  const QCommandLineOption smtp_timeout(
      QStringLiteral("smtp-timeout"),
      QStringLiteral("Seconds a mail may take to reach the relay or sendmail, connection "
                     "included (default 20); past it the code request is refused."),
      QStringLiteral("seconds"));
  const QCommandLineOption sendmail(
      QStringLiteral("sendmail"),
      QStringLiteral("Hand mail to this local sendmail program (such as /usr/sbin/sendmail) "
                     "instead of SMTP or the spool."),
      QStringLiteral("program"));
  for (const auto* option :
       {&config_file, &help, &version, &listen, &database, &mail_spool, &smtp, &mail_from, &vendor,
        &vendor_version, &seed_demo, &password_cost, &sqlite_sync, &max_body, &account_failures,
        &address_failures, &failure_window, &no_access_log, &time_zone, &no_sign_up,
        &sign_ups_per_hour, &log_file, &readers, &writers, &sqlite_log_limit}) {
    parser.addOption(*option);
  }
  for (const auto* option : {&trusted_proxy, &smtp_user, &smtp_password, &smtp_starttls,
                             &smtp_ca_file, &smtp_timeout, &sendmail}) {
    parser.addOption(*option);
  }

  auto fail = [&](const QString& message) -> std::optional<ServerConfig> {
    *exit_message = QStringLiteral("zorvanix-server: %1\nTry --help.\n").arg(message);
    *exit_code = 2;
    return std::nullopt;
  };
  if (!parser.parse(arguments)) return fail(parser.errorText());
  if (!parser.positionalArguments().isEmpty()) {
    return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));
  }
  if (parser.isSet(help)) {
    *exit_message = parser.helpText();
    *exit_code = 0;
    return std::nullopt;
  }
  if (parser.isSet(version)) {
    *exit_message =
        QStringLiteral("zorvanix-server %1\n").arg(QStringLiteral(ZORVANIX_SERVER_VERSION));
    *exit_code = 0;
    return std::nullopt;
  }
  if (parser.isSet(listen) && !ParseListen(parser.value(listen), &config)) {
    return fail(QStringLiteral("--listen wants HOST:PORT, not %1").arg(parser.value(listen)));
  }
  if (parser.isSet(database)) config.database = parser.value(database);
  if (parser.isSet(mail_spool)) config.mail_spool = parser.value(mail_spool);
  if (parser.isSet(smtp)) config.smtp = parser.value(smtp);
  if (parser.isSet(mail_from)) config.mail_from = parser.value(mail_from);
  config.vendor = parser.isSet(vendor);
  if (parser.isSet(vendor_version)) config.vendor_version = parser.value(vendor_version);
  config.seed_demo = parser.isSet(seed_demo);
  config.access_log = !parser.isSet(no_access_log);
  config.sign_up = !parser.isSet(no_sign_up);
  if (parser.isSet(log_file)) config.log_file = parser.value(log_file);
  if (parser.isSet(time_zone)) {
    config.time_zone = parser.value(time_zone);
    if (!QTimeZone(config.time_zone.toUtf8()).isValid() &&
        config.time_zone != u"Asia/Shanghai") {
      return fail(QStringLiteral("--time-zone: unknown zone %1").arg(config.time_zone));
    }
  }
  // Counts and seconds are held to what an int carries.
  constexpr qint64 kIntCap = 1 << 30;
  const QString complaints[] = {
      ReadChoice(parser, password_cost,
                 {{QLatin1String("interactive"), PasswordCost::kInteractive},
                  {QLatin1String("min"), PasswordCost::kMinimum}},
                 &config.password_cost),
      ReadChoice(parser, sqlite_sync,
                 {{QLatin1String("normal"), SqliteSync::kNormal},
                  {QLatin1String("full"), SqliteSync::kFull}},
                 &config.sqlite_sync),
      ReadPositive(parser, max_body, std::numeric_limits<qint64>::max(), &config.max_body_bytes),
      ReadPositive(parser, account_failures, kIntCap, &config.max_failures_per_account),
      ReadPositive(parser, address_failures, kIntCap, &config.max_failures_per_address),
      ReadPositive(parser, failure_window, kIntCap, &config.failure_window_seconds),
      ReadPositive(parser, sign_ups_per_hour, kIntCap, &config.sign_ups_per_address_hour),
      ReadPositive(parser, sqlite_log_limit, qint64{1} << 40, &config.sqlite_log_limit),
  };
  for (const QString& complaint : complaints) {
    if (!complaint.isEmpty()) return fail(complaint);
  }
  if (parser.isSet(readers)) {
    bool ok = false;
    config.readers = parser.value(readers).toInt(&ok);
    if (!ok || config.readers < 0 || config.readers > 64) {
      return fail(QStringLiteral("--readers wants a count from 0 to 64"));
    }
  }
  if (parser.isSet(writers)) {
    bool ok = false;
    config.writers = parser.value(writers).toInt(&ok);
    if (!ok || config.writers < 0 || config.writers > 64) {
      return fail(QStringLiteral("--writers wants a count from 0 to 64"));
    }
  }
  // --- Edge: proxies and mail.
  for (const QString& text : parser.values(trusted_proxy)) {
    const std::optional<Subnet> subnet = ParseSubnet(text);
    if (!subnet) {
      return fail(QStringLiteral("--trusted-proxy wants ADDRESS[/PREFIX], not %1").arg(text));
    }
    config.trusted_proxies.append(*subnet);
  }
  for (const QString& a : given_arguments.mid(1)) {
    if (a == u"--") break;
    if (a == u"--smtp-password" || a.startsWith(u"--smtp-password=")) {
      return fail(QStringLiteral(
          "smtp-password belongs in the --config file (or ZORVANIX_SMTP_PASSWORD): on the "
          "command line every user of the machine can read it"));
    }
  }
  if (parser.isSet(smtp_user)) config.smtp_user = parser.value(smtp_user);
  config.smtp_password = parser.isSet(smtp_password)
                             ? parser.value(smtp_password)
                             : qEnvironmentVariable("ZORVANIX_SMTP_PASSWORD");
  if (parser.isSet(smtp_ca_file)) config.smtp_ca_file = parser.value(smtp_ca_file);
  if (parser.isSet(sendmail)) config.sendmail = parser.value(sendmail);
  const QString edge_complaints[] = {
      ReadChoice(parser, smtp_starttls,
                 {{QLatin1String("if-offered"), SmtpStartTls::kIfOffered},
                  {QLatin1String("required"), SmtpStartTls::kRequired},
                  {QLatin1String("off"), SmtpStartTls::kOff}},
                 &config.smtp_starttls),
      ReadPositive(parser, smtp_timeout, 3600, &config.smtp_timeout_seconds),
  };
  for (const QString& complaint : edge_complaints) {
    if (!complaint.isEmpty()) return fail(complaint);
  }
  if (!config.smtp.isEmpty() && !config.smtp.startsWith(u"smtp://") &&
      !config.smtp.startsWith(u"smtps://")) {
    return fail(QStringLiteral("--smtp wants smtp://HOST[:PORT] or smtps://HOST[:PORT], not %1")
                    .arg(config.smtp));
  }
  if (!config.smtp_user.isEmpty() && config.smtp_starttls == SmtpStartTls::kOff &&
      config.smtp.startsWith(u"smtp://")) {
    return fail(QStringLiteral("--smtp-user with --smtp-starttls off would send the password "
                               "in clear; use required or an smtps:// relay"));
  }
  return config;
}

}  // namespace zorvanix::server
