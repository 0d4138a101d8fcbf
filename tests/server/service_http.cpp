#include "tests/server/service_http.h"

#include <QTcpSocket>
#include <QUrl>

#include "core/gbk.h"
#include "core/md5_hex.h"

namespace zorvanix::testing {
namespace {

constexpr int kWaitMs = 10000;

HttpResult ParseReply(const QByteArray& data) {
  HttpResult result;
  const qsizetype end = data.indexOf("\r\n\r\n");
  if (end < 0) return result;
  const QList<QByteArray> head = data.first(end).split('\n');
  const QList<QByteArray> status_line = head.value(0).trimmed().split(' ');
  result.status = status_line.value(1).toInt();
  qsizetype length = -1;
  for (const QByteArray& line : head.mid(1)) {
    const qsizetype colon = line.indexOf(':');
    if (colon < 0) continue;
    const QByteArray name = line.first(colon).trimmed().toLower();
    const QByteArray value = line.sliced(colon + 1).trimmed();
    if (name == "content-type") result.content_type = value;
    if (name == "content-length") length = value.toLongLong();
  }
  result.body = data.sliced(end + 4);
  if (length >= 0) result.body.truncate(length);
  return result;
}

}  // namespace

ServerProcess::Options WithArguments(const QStringList& arguments) {
  ServerProcess::Options options;
  options.extra_arguments = arguments;
  return options;
}

QString HttpResult::Text() const { return DecodeGbk(body); }

ServiceHttp::ServiceHttp(QString root) {
  const QUrl url(root);
  host_ = url.host();
  port_ = static_cast<quint16>(url.port(80));
}

HttpResult ServiceHttp::Send(const QByteArray& request) const {
  QTcpSocket socket;
  socket.connectToHost(host_, port_);
  if (!socket.waitForConnected(kWaitMs)) return {};
  socket.write(request);
  if (!socket.waitForBytesWritten(kWaitMs)) return {};
  QByteArray data;
  // The reply is complete when its Content-Length has arrived or the
  // service closes the connection.
  while (true) {
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end >= 0) {
      const HttpResult partial = ParseReply(data);
      const qsizetype at = data.toLower().indexOf("content-length:");
      if (at >= 0 && at < end) {
        const qsizetype line_end = data.indexOf("\r\n", at);
        const qsizetype length = data.mid(at + 15, line_end - at - 15).trimmed().toLongLong();
        if (data.size() - end - 4 >= length) return partial;
      }
    }
    if (!socket.waitForReadyRead(kWaitMs)) break;
    data += socket.readAll();
  }
  data += socket.readAll();
  return ParseReply(data);
}

HttpResult ServiceHttp::GetTarget(const QByteArray& target) const {
  return Send("GET " + target + " HTTP/1.1\r\nHost: " + host_.toLatin1() +
              "\r\nConnection: close\r\n\r\n");
}

HttpResult ServiceHttp::Get(const QString& path, Query query) const {
  QString target = path;
  QChar separator = u'?';
  for (const auto& [key, value] : query) {
    target += separator + key + u'=' + EscapeQueryValue(value);
    separator = u'&';
  }
  return GetTarget(target.toLatin1());
}

HttpResult ServiceHttp::PostBytes(const QString& path, const QByteArray& body) const {
  return Send("POST " + path.toLatin1() + " HTTP/1.1\r\nHost: " + host_.toLatin1() +
              "\r\nCONTENT-TYPE: application/x-www-form-urlencoded\r\nContent-Length: " +
              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

HttpResult ServiceHttp::Post(const QString& path, const FormBody& body) const {
  return PostBytes(path, body.Bytes());
}

QByteArray OriginalClientBody(const QString& joined_fields) {
  return EncodeGbk(UrlEncodeGb2312(joined_fields));
}

QString Account::Digest() const { return Md5Hex(login); }

QString Register(const ServiceHttp& http, const Account& account) {
  FormBody body;
  body.Add(u"username", account.user)
      .Add(u"teachername", account.name)
      .Add(u"password", account.login)
      .Add(u"superpassword", account.operation)
      .Add(u"email", account.email)
      .Add(u"mb", u"")
      .Add(u"tel", u"")
      .Add(u"qq", u"");
  return http.Post(QStringLiteral("/score/regteacher.php"), body).Text();
}

QString Change(const ServiceHttp& http, const QString& path, const Account& account,
               std::initializer_list<std::pair<QString, QString>> fields) {
  FormBody body;
  body.Add(u"username", account.user).Add(u"password", account.operation);
  for (const auto& [key, value] : fields) body.Add(key, value);
  return http.Post(path, body).Text();
}

HttpResult Read(const ServiceHttp& http, const QString& path, const Account& account,
                std::initializer_list<std::pair<QString, QString>> fields) {
  QString target = path;
  QChar separator = u'?';
  auto add = [&](const QString& key, const QString& value) {
    target += separator + key + u'=' + EscapeQueryValue(value);
    separator = u'&';
  };
  for (const auto& [key, value] : fields) add(key, value);
  add(QStringLiteral("t"), account.user);
  add(QStringLiteral("mp"), account.Digest());
  return http.GetTarget(target.toLatin1());
}

QString Upload(const ServiceHttp& http, const Account& account, const QString& topic,
               const QStringList& lines) {
  return Change(http, QStringLiteral("/score/index.php"), account,
                {{QStringLiteral("keti"), topic}, {QStringLiteral("score"), lines.join(u'|')}});
}

QString ScoreLineText(const QString& class_name, const QString& student, const QString& score,
                      const QString& time, const QString& criterion) {
  return QStringList{class_name, student, score, time, criterion}.join(u'\t');
}

QStringList Rows(const QString& text) {
  if (text.isEmpty()) return {};
  return text.split(QStringLiteral("\r\n"));
}

}  // namespace zorvanix::testing
