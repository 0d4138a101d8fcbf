#include "tests/server/service_http.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QUrl>

#include "core/gbk.h"
#include "core/md5_hex.h"

namespace zorvanix::testing {
namespace {

constexpr int kWaitMs = 10000;

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

QList<HttpResult> TakeReplies(QByteArray* data) {
  QList<HttpResult> replies;
  while (true) {
    const qsizetype end = data->indexOf("\r\n\r\n");
    if (end < 0) return replies;
    HttpResult reply;
    qsizetype length = 0;
    const QList<QByteArray> head = data->first(end).split('\n');
    reply.status = head.value(0).trimmed().split(' ').value(1).toInt();
    for (const QByteArray& line : head.mid(1)) {
      const qsizetype colon = line.indexOf(':');
      const QByteArray name = line.first(std::max<qsizetype>(colon, 0)).trimmed().toLower();
      if (name == "content-type") reply.content_type = line.sliced(colon + 1).trimmed();
      if (name == "content-length") length = line.sliced(colon + 1).trimmed().toLongLong();
    }
    if (data->size() < end + 4 + length) return replies;
    reply.body = data->mid(end + 4, length);
    data->remove(0, end + 4 + length);
    replies.append(reply);
  }
}

QList<HttpResult> ReadReplies(QTcpSocket& socket, int count, int timeout_ms) {
  QByteArray data;
  QList<HttpResult> replies;
  while (replies.size() < count) {
    data += socket.readAll();
    replies += TakeReplies(&data);
    if (replies.size() >= count || !socket.waitForReadyRead(timeout_ms)) break;
  }
  return replies;
}

HttpResult ServiceHttp::Send(const QByteArray& request) const {
  QTcpSocket socket;
  if (!source_.isEmpty()) socket.bind(QHostAddress(source_));
  socket.connectToHost(host_, port_);
  if (!socket.waitForConnected(kWaitMs)) return {};
  socket.write(request);
  if (!socket.waitForBytesWritten(kWaitMs)) return {};
  const QList<HttpResult> replies = ReadReplies(socket, 1, kWaitMs);
  return replies.isEmpty() ? HttpResult() : replies.first();
}

HttpResult ServiceHttp::GetTarget(const QByteArray& target) const {
  return Send("GET " + target + " HTTP/1.1\r\nHost: " + host_.toLatin1() + "\r\n" +
              extra_headers_ + "Connection: close\r\n\r\n");
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
              QByteArray::number(body.size()) + "\r\n" + extra_headers_ +
              "Connection: close\r\n\r\n" + body);
}

HttpResult ServiceHttp::Post(const QString& path, const FormBody& body) const {
  return PostBytes(path, body.Bytes());
}

QByteArray FormPostRequest(const QString& path, const FormBody& body) {
  const QByteArray bytes = body.Bytes();
  return "POST " + path.toLatin1() +
         " HTTP/1.1\r\nHost: x\r\nContent-Type: application/x-www-form-urlencoded\r\n"
         "Content-Length: " +
         QByteArray::number(bytes.size()) + "\r\n\r\n" + bytes;
}

QByteArray OriginalClientBody(const QString& joined_fields) {
  return EncodeGbk(UrlEncodeGb2312(joined_fields));
}

QString Account::Digest() const { return Md5Hex(login); }

FormBody RegistrationForm(const Account& account) {
  FormBody body;
  body.Add(u"username", account.user)
      .Add(u"teachername", account.name)
      .Add(u"password", account.login)
      .Add(u"superpassword", account.operation)
      .Add(u"email", account.email)
      .Add(u"mb", u"")
      .Add(u"tel", u"")
      .Add(u"qq", u"");
  return body;
}

QString ResetWithCode(const ServiceHttp& http, const Account& teacher, const QString& code,
                      QStringView new_login, QStringView new_operation) {
  FormBody body;
  body.Add(u"username", teacher.user)
      .Add(u"checkcode", code)
      .Add(u"newpswd", new_login)
      .Add(u"newsuperpswd", new_operation);
  return http.Post(QStringLiteral("/score/setpassword.php"), body).Text();
}

QString Register(const ServiceHttp& http, const Account& account) {
  return http.Post(QStringLiteral("/score/regteacher.php"), RegistrationForm(account)).Text();
}

HttpResult SignIn(const ServiceHttp& http, QStringView user, QStringView password) {
  FormBody body;
  body.Add(u"username", user).Add(u"password", password);
  return http.Post(QStringLiteral("/score/checkpassword.php"), body);
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

QByteArray KeptReadRequest(const QString& path, const Account& teacher, const QString& class_name) {
  QString target = path + u'?';
  if (!class_name.isEmpty())
    target += QStringLiteral("class=") + EscapeQueryValue(class_name) + u'&';
  target += QStringLiteral("t=") + EscapeQueryValue(teacher.user) + QStringLiteral("&mp=") +
            EscapeQueryValue(teacher.Digest());
  return "GET " + target.toLatin1() + " HTTP/1.1\r\nHost: x\r\n\r\n";
}

QStringList Rows(const QString& text) {
  if (text.isEmpty()) return {};
  return text.split(QStringLiteral("\r\n"));
}

}  // namespace zorvanix::testing
