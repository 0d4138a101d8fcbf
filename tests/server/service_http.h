// Talking to the real service in the service tests: plain HTTP/1.1 over a
// socket, so a test decides every byte that travels (raw GBK in an address,
// a body exactly as the original program escapes it, an oversized body).
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTcpSocket>
#include <QTest>
#include <initializer_list>
#include <utility>

#include "core/form_encoding.h"
#include "tests/support/server_process.h"

namespace zorvanix::testing {

struct HttpResult {
  int status = 0;  // 0: no reply
  QByteArray content_type;
  QByteArray body;
  QString Text() const;  // the body decoded as GBK
};

using Query = std::initializer_list<std::pair<QString, QString>>;

// Takes every complete reply (head and Content-Length body) off the front of data.
QList<HttpResult> TakeReplies(QByteArray* data);
// Reads from socket until count replies have arrived or nothing more comes
// within timeout_ms.
QList<HttpResult> ReadReplies(QTcpSocket& socket, int count, int timeout_ms = 10000);

// Fixture options with extra command-line arguments for the service.
ServerProcess::Options WithArguments(const QStringList& arguments);

// Starts the service of a test program, in initTestCase; the program's
// PostgreSQL variant skips where no test cluster was started. A macro, because
// QSKIP and QVERIFY2 leave the function they stand in.
#define ZV_START_SERVICE(server)                                     \
  do {                                                               \
    if (::zorvanix::testing::ServerProcess::UsesPostgres() &&        \
        !::zorvanix::testing::ServerProcess::PostgresAvailable()) {  \
      QSKIP("no PostgreSQL test cluster (ZORVANIX_TEST_PG_ADMIN)");  \
    }                                                                \
    QString start_error;                                             \
    QVERIFY2((server).Start(&start_error), qPrintable(start_error)); \
  } while (false)

class ServiceHttp {
 public:
  explicit ServiceHttp(QString root);  // "http://127.0.0.1:PORT"

  // A GET whose values are escaped as the service client escapes them.
  HttpResult Get(const QString& path, Query query = {}) const;
  // A GET of this exact request target (raw bytes allowed).
  HttpResult GetTarget(const QByteArray& target) const;
  HttpResult Post(const QString& path, const FormBody& body) const;
  HttpResult PostBytes(const QString& path, const QByteArray& body) const;
  // Any request, sent as it stands; the connection is closed after the reply.
  HttpResult Send(const QByteArray& request) const;
  // Connects from this local address (another loopback address stands for
  // another desk).
  void SetSourceAddress(const QString& address) { source_ = address; }
  // Header lines ("Name: value\r\n") sent with every GET and POST.
  void SetExtraHeaders(const QByteArray& lines) { extra_headers_ = lines; }

 private:
  QString source_;
  QByteArray extra_headers_;
  QString host_;
  quint16 port_ = 0;
};

// A body as the original program builds it: the fields joined unescaped and
// the whole text passed through UrlEncodeGb2312, so TAB, "|", blanks and "&"
// travel literally and only double-byte characters are escaped.
QByteArray OriginalClientBody(const QString& joined_fields);

// The bytes of a form POST of body to path, for requests written to a socket
// back to back (HTTP/1.1, the connection kept open).
QByteArray FormPostRequest(const QString& path, const FormBody& body);

struct Account {
  QString user;
  QString login;      // the login password
  QString operation;  // the operation password
  QString name = QStringLiteral("测试老师");
  QString email = QStringLiteral("teacher@example.com");
  QString Digest() const;  // mp
};

// Sign-up as the program sends it; the reply text.
// The reset form with a mailed code: new passwords, "" for one kept.
QString ResetWithCode(const ServiceHttp& http, const Account& teacher, const QString& code,
                      QStringView new_login, QStringView new_operation);
// The sign-up form of the account, as the program sends it.
FormBody RegistrationForm(const Account& account);
QString Register(const ServiceHttp& http, const Account& account);
// Sign-in with the login password, as the program sends it.
HttpResult SignIn(const ServiceHttp& http, QStringView user, QStringView password);
// A change with username + operation password first, then the fields.
QString Change(const ServiceHttp& http, const QString& path, const Account& account,
               std::initializer_list<std::pair<QString, QString>> fields);
// A read identified by t + mp, with the extra fields in front (as the program orders them).
HttpResult Read(const ServiceHttp& http, const QString& path, const Account& account,
                std::initializer_list<std::pair<QString, QString>> fields = {});
// Uploads score lines under a topic; the reply text.
QString Upload(const ServiceHttp& http, const Account& account, const QString& topic,
               const QStringList& lines);
// "class TAB student TAB score TAB time TAB criterion".
QString ScoreLineText(const QString& class_name, const QString& student, const QString& score,
                      const QString& time, const QString& criterion = QString());
// The bytes of a read of path by account (t + mp, a class first when given),
// for requests written back to back.
QByteArray KeptReadRequest(const QString& path, const Account& account,
                           const QString& class_name = {});
// The rows of a CR LF text (an empty text has none).
QStringList Rows(const QString& text);

}  // namespace zorvanix::testing
