#include "server/request.h"

#include <cstdio>

#include "core/form_encoding.h"
#include "core/gbk.h"
#include "server/database.h"
#include "server/metrics.h"

namespace zorvanix::server {
namespace {

// The value of the first pair named key; null when there is none.
const QString* Find(const FormPairs& pairs, QStringView key) {
  for (const auto& [name, value] : pairs) {
    if (name == key) return &value;
  }
  return nullptr;
}

// Judged by the key as the service decodes it, so an escaped letter
// ("pass%77ord") or a stray byte ("password%81") cannot slip a secret past the
// mask: every character that is not an ASCII letter is left out first, which
// at worst masks a harmless value.
bool IsSecretKey(QByteArrayView encoded_key) {
  static const QLatin1StringView kSecrets[] = {
      QLatin1StringView("mp"),           QLatin1StringView("password"),
      QLatin1StringView("superpassword"), QLatin1StringView("checkcode"),
      QLatin1StringView("newpswd"),       QLatin1StringView("newsuperpswd"),
      QLatin1StringView("oldsuperpassword"), QLatin1StringView("newlogpassword"),
      QLatin1StringView("newsuperpassword"),
      // Not secrets, but personal data the log has no need of.
      QLatin1StringView("email")};
  const FormPairs decoded = DecodeForm(encoded_key.toByteArray() + "=");
  const QString name = decoded.isEmpty() ? QString() : decoded.first().first;
  QString letters;
  for (const QChar c : name) {
    if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')) letters += c;
  }
  for (const QLatin1StringView secret : kSecrets) {
    if (letters.compare(secret, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

// IPv4 peers of a dual-stack socket arrive as ::ffff:a.b.c.d.
QHostAddress Plain(const QHostAddress& address) {
  if (address.protocol() == QAbstractSocket::IPv6Protocol) {
    bool is_v4 = false;
    const quint32 v4 = address.toIPv4Address(&is_v4);
    if (is_v4) return QHostAddress(v4);
  }
  return address;
}

bool Trusted(const QHostAddress& address, const QList<Subnet>& trusted) {
  for (const Subnet& subnet : trusted) {
    if (address.isInSubnet(subnet)) return true;
  }
  return false;
}

// One hop of X-Forwarded-For: "a.b.c.d", "a.b.c.d:port", "v6", "[v6]" or
// "[v6]:port"; null when it is none of these.
QHostAddress ForwardedHop(QByteArray hop) {
  hop = hop.trimmed();
  if (hop.startsWith('[')) {
    const qsizetype end = hop.indexOf(']');
    if (end < 0) return {};
    hop = hop.mid(1, end - 1);
  } else if (hop.count(':') == 1) {
    hop.truncate(hop.indexOf(':'));
  }
  QHostAddress address;
  if (hop.isEmpty() || !address.setAddress(QString::fromLatin1(hop))) return {};
  return Plain(address);
}

}  // namespace

QHostAddress ClientAddress(const QHostAddress& peer, const QList<QByteArray>& forwarded_for,
                           const QList<Subnet>& trusted) {
  QHostAddress client = Plain(peer);
  if (!Trusted(client, trusted)) return client;
  QList<QByteArray> hops;
  for (const QByteArray& header : forwarded_for) hops += header.split(',');
  for (qsizetype i = hops.size() - 1; i >= 0; --i) {
    if (hops[i].trimmed().isEmpty()) continue;
    const QHostAddress hop = ForwardedHop(hops[i]);
    if (hop.isNull()) break;
    client = hop;
    if (!Trusted(hop, trusted)) break;
  }
  return client;
}

QString Request::Param(QStringView key) const {
  if (const QString* value = Find(form, key)) return *value;
  if (const QString* value = Find(query, key)) return *value;
  return QString();
}

bool Request::Has(QStringView key) const { return Find(form, key) || Find(query, key); }

FormPairs DecodeQuery(const QByteArray& encoded_query) { return DecodeForm(encoded_query); }

QByteArray MaskedQuery(const QByteArray& encoded_query) {
  QByteArray out;
  for (const QByteArray& piece : encoded_query.split('&')) {
    if (!out.isEmpty()) out += '&';
    const qsizetype eq = piece.indexOf('=');
    if (eq >= 0 && IsSecretKey(QByteArrayView(piece).first(eq))) {
      out += piece.first(eq + 1) + "***";
    } else {
      out += piece;
    }
  }
  return out;
}

Reply AnswerSafely(const std::function<Reply()>& produce) {
  try {
    return produce();
  } catch (const DatabaseUnavailable& error) {
    // Nothing of the request stays; the next request reconnects.
    ServiceMetrics().CountDatabaseError();
    std::fprintf(stderr, "database unavailable: %s\n", error.what());
    std::fflush(stderr);
    return Reply::Text(u"数据库暂时无法访问，请稍后再试", 503);
  } catch (const DatabaseError& error) {
    ServiceMetrics().CountDatabaseError();
    std::fprintf(stderr, "database error: %s\n", error.what());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "internal error: %s\n", error.what());
  }
  std::fflush(stderr);
  return Reply::Text(u"服务器内部错误，请稍后再试", 500);
}

Reply Reply::Text(QStringView text, int status) {
  return Reply{status, QByteArrayLiteral("text/plain; charset=GBK"), EncodeGbk(text), {}};
}

Reply Reply::Html(const QString& html, int status) {
  return Reply{status, QByteArrayLiteral("text/html; charset=UTF-8"), html.toUtf8(), {}};
}

Reply Reply::GbkBytes(QByteArray bytes, int status) {
  return Reply{status, QByteArrayLiteral("text/plain; charset=GBK"), std::move(bytes), {}};
}

}  // namespace zorvanix::server
