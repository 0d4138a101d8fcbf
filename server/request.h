// A request as the handlers see it (decoded keys and values) and the reply
// they give back.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringView>
#include <functional>

#include "server/server_config.h"

namespace zorvanix::server {

using FormPairs = QList<QPair<QString, QString>>;

struct Request {
  bool is_post = false;
  QString path;     // decoded, such as "/score/record.php"
  FormPairs query;  // the address's query, form-decoded as GBK
  FormPairs form;   // the body of a POST, form-decoded as GBK
  QString address;  // the client's IP address

  // The value of key: from the body first, then from the query; the first
  // occurrence wins (a value holding "&" sends its tail as a key of its own).
  QString Param(QStringView key) const;
  bool Has(QStringView key) const;
};

// Decodes the query of an address (its FullyEncoded form: ASCII, escapes kept).
FormPairs DecodeQuery(const QByteArray& encoded_query);

// The query with the values of password-like keys (and e-mail addresses)
// replaced by "***", for the access log.
QByteArray MaskedQuery(const QByteArray& encoded_query);

// The address a request counts against. A peer that is not a trusted proxy
// is the client itself, whatever it claims. From a trusted proxy the
// X-Forwarded-For values (every such header, in order) are read from the
// right: each trusted hop is skipped and the first other address is the
// client. A chain of trusted hops only ends at its left-most address; a value
// that is no address stops the walk at the last hop before it.
QHostAddress ClientAddress(const QHostAddress& peer, const QList<QByteArray>& forwarded_for,
                           const QList<Subnet>& trusted);

struct Reply {
  int status = 200;
  QByteArray content_type;
  QByteArray body;
  // Content-Disposition, for a download ("attachment; filename=…").
  QByteArray disposition;
  // The whole HTTP response, made once for a reply that is kept and sent
  // again and again (empty: made when sent). A large kept list then leaves
  // without a copy of its own per request.
  QByteArray response;

  // A GBK text, the way every endpoint below /score/ answers.
  static Reply Text(QStringView text, int status = 200);
  // An HTML page in UTF-8.
  static Reply Html(const QString& html, int status = 200);
  // Bytes already in GBK.
  static Reply GbkBytes(QByteArray bytes, int status = 200);
};

inline constexpr char16_t kSuccess[] = u"Success!";
inline constexpr char16_t kEmptyCriterion[] = u"评分标准的内容不能为空";

// Runs produce and turns a database or other failure into a 500 reply (and a
// line on standard error), so no failure escapes into the event loop.
Reply AnswerSafely(const std::function<Reply()>& produce);

}  // namespace zorvanix::server
