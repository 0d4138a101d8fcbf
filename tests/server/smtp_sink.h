// A mail relay for the tests: accepts SMTP on a loopback port and keeps what
// it was given, so the service's delivery can be checked end to end. It runs
// on a thread of its own, so a test may wait for the service's reply (which
// waits for the relay) without serving the relay itself. It can offer
// STARTTLS or speak TLS from the first byte, ask for AUTH PLAIN / LOGIN, and
// fail on purpose (a 5xx reply at a chosen step, or no word at all).
#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>
#include <memory>

namespace zorvanix::testing {

struct SmtpSinkOptions {
  enum class Tls { kNone, kStartTls, kImplicit };
  Tls tls = Tls::kNone;
  QString certificate_file;  // PEM, for kStartTls and kImplicit
  QString key_file;          // PEM (EC or RSA)
  // Non-empty: MAIL is refused until AUTH with these succeeds.
  QByteArray user;
  QByteArray password;
  QList<QByteArray> mechanisms = {"PLAIN", "LOGIN"};
  // A reply of fail_code instead of the usual one to this step: "MAIL",
  // "RCPT" or "DATA" (after the mail's end).
  QByteArray fail_step;
  int fail_code = 0;
  bool silent = false;  // accepts connections and never says a word
};

// What the relay saw.
struct SmtpSession {
  bool encrypted = false;  // TLS was in place when the mail came
  QByteArray mechanism;    // AUTH mechanism used, empty without
  QByteArray user;         // who logged in
};

class SmtpSink {
 public:
  SmtpSink();
  explicit SmtpSink(SmtpSinkOptions options);
  ~SmtpSink();
  quint16 Port() const { return port_; }
  // The DATA of every delivered mail, in arrival order.
  QList<QByteArray> Mails() const;
  // The envelope recipients, one per RCPT TO.
  QList<QByteArray> Recipients() const;
  // One per delivered mail.
  QList<SmtpSession> Sessions() const;

 private:
  friend class SmtpSinkServer;
  SmtpSinkOptions options_;
  QThread thread_;
  QObject anchor_;  // lives on thread_: what runs there is queued to it
  class SmtpSinkServer* server_ = nullptr;
  quint16 port_ = 0;
  mutable QMutex mutex_;
  QList<QByteArray> mails_;
  QList<QByteArray> recipients_;
  QList<SmtpSession> sessions_;
};

// A self-signed certificate for 127.0.0.1 and localhost, made with the
// openssl program into dir. False (with *error) when openssl is missing.
bool MakeTestCertificate(const QString& dir, QString* certificate, QString* key, QString* error);

}  // namespace zorvanix::testing
