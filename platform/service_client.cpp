#include "platform/service_client.h"

#include <QRandomGenerator>

#include "core/gbk.h"
#include "core/md5_hex.h"

namespace zorvanix {
namespace {

QString TrimTrailingSlash(QString root) {
  while (root.endsWith(u'/')) root.chop(1);
  return root;
}

// A fresh number in [0, 1) as decimal text: keeps caches from answering.
QString CacheBuster() {
  return QString::number(QRandomGenerator::global()->generateDouble(), 'g', 15);
}

}  // namespace

ServiceClient::ServiceClient(QString service_root, QString vendor_site, const Session& session,
                             HttpExchange& http)
    : service_root_(TrimTrailingSlash(std::move(service_root))),
      vendor_site_(TrimTrailingSlash(std::move(vendor_site))),
      session_(session),
      http_(http) {}

QUrl ServiceClient::ServiceUrl(const QString& path_and_query) const {
  return QUrl(service_root_ + path_and_query, QUrl::TolerantMode);
}

QString ServiceClient::Query(std::initializer_list<std::pair<const char*, QString>> pairs) {
  QString query;
  for (const auto& [key, value] : pairs) {
    query += query.isEmpty() ? u'?' : u'&';
    query += QLatin1String(key) + u'=' + EscapeQueryValue(value);
  }
  return query;
}

FormBody ServiceClient::Credentials(const QString& user, const QString& password) const {
  FormBody body;
  body.Add(u"username", user).Add(u"password", password);
  return body;
}

PostResult ServiceClient::Post(const QString& path, const FormBody& body) {
  return http_.PostToService(ServiceUrl(path), body.Bytes());
}

PostResult ServiceClient::CheckPassword(const QString& user, const QString& password) {
  return Post(QStringLiteral("/score/checkpassword.php"), Credentials(user, password));
}

QString ServiceClient::CheckUserName(const QString& user) {
  return http_.HttpGetText(
      ServiceUrl(QStringLiteral("/score/checkusername.php") + Query({{"u", user}})));
}

void ServiceClient::CheckUserNameAsync(const QString& user, const QObject* receiver,
                                       std::function<void(const QString&)> done) {
  http_.GetTextAsync(ServiceUrl(QStringLiteral("/score/checkusername.php") + Query({{"u", user}})),
                     receiver, std::move(done));
}

PostResult ServiceClient::RegisterTeacher(const Registration& r) {
  if (IsWeakDigestPassword(r.password)) return PostResult{200, WeakDigestPasswordText()};
  FormBody body;
  body.Add(u"username", r.user)
      .Add(u"teachername", r.teacher_name)
      .Add(u"password", r.password)
      .Add(u"superpassword", r.super_password)
      .Add(u"email", r.email)
      .Add(u"mb", r.mobile)
      .Add(u"tel", r.telephone)
      .Add(u"qq", r.qq);
  return Post(QStringLiteral("/score/regteacher.php"), body);
}

QString ServiceClient::RequestPasswordCode(const QString& user, const QString& email) {
  return http_.HttpGetText(ServiceUrl(QStringLiteral("/score/getpswdcode.php") +
                                      Query({{"username", user}, {"email", email}})));
}

PostResult ServiceClient::ResetPassword(const QString& user, const QString& check_code,
                                        const QString& new_login_password,
                                        const QString& new_super_password) {
  if (IsWeakDigestPassword(new_login_password)) return PostResult{200, WeakDigestPasswordText()};
  FormBody body;
  body.Add(u"username", user)
      .Add(u"checkcode", check_code)
      .Add(u"newpswd", new_login_password)
      .Add(u"newsuperpswd", new_super_password);
  return Post(QStringLiteral("/score/setpassword.php"), body);
}

QUrl ServiceClient::RecordUrl(const QString& user) const {
  return ServiceUrl(QStringLiteral("/score/record.php") +
                    Query({{"t", user}, {"mp", session_.PasswordDigest()}}));
}

bool ServiceClient::DownloadServerRecord(const QString& user, CacheFile& cache) {
  QByteArray body;
  return http_.Download(RecordUrl(user), &body) && cache.Replace(body);
}

QString ServiceClient::GetTeacher() {
  return http_.HttpGetText(
      ServiceUrl(QStringLiteral("/score/getteacher.php") +
                 Query({{"t", session_.CurrentUser()}, {"mp", session_.PasswordDigest()}})));
}

QString ServiceClient::GetScores(const QString& class_name) {
  return http_.HttpGetText(ServiceUrl(QStringLiteral("/score/getscore.php") +
                                      Query({{"class", class_name},
                                             {"t", session_.CurrentUser()},
                                             {"mp", session_.PasswordDigest()}})));
}

QString ServiceClient::GetCriteria(const QString& topic) {
  return http_.HttpGetText(ServiceUrl(
      QStringLiteral("/score/getscale.php") +
      Query({{"keti", topic}, {"t", session_.CurrentUser()}, {"mp", session_.PasswordDigest()}})));
}

QUrl ServiceClient::ResultsUrl(int n) const {
  return ServiceUrl(QStringLiteral("/score/") + Query({{"t", session_.CurrentUser()},
                                                       {"n", QString::number(n)},
                                                       {"mp", session_.PasswordDigest()}}));
}

QUrl ServiceClient::ServiceHomeUrl() const { return ServiceUrl(QStringLiteral("/score")); }

QUrl ServiceClient::ServerTimeUrl() const {
  return ServiceUrl(QStringLiteral("/score/servertime.php?t=") + CacheBuster());
}

QUrl ServiceClient::VendorVersionUrl() const {
  return QUrl(vendor_site_ + QStringLiteral("/version.php?s=") + QLatin1String(kProductId) +
              QStringLiteral("&t=") + CacheBuster());
}

QString ServiceClient::ServerTime() { return http_.GetTextKeepingWindowLive(ServerTimeUrl()); }

QString ServiceClient::VendorVersion() {
  return http_.GetTextKeepingWindowLive(VendorVersionUrl());
}

void ServiceClient::ServerTimeAsync(const QObject* receiver,
                                    std::function<void(const QString&)> done) {
  http_.GetTextAsync(ServerTimeUrl(), receiver, std::move(done));
}

void ServiceClient::VendorVersionAsync(const QObject* receiver,
                                       std::function<void(const QString&)> done) {
  http_.GetTextAsync(VendorVersionUrl(), receiver, std::move(done));
}

QUrl ServiceClient::VendorUpdateUrl() const {
  return QUrl(vendor_site_ + QStringLiteral("/update.php?sort=") + QLatin1String(kProductId));
}

QUrl ServiceClient::VendorHomeUrl() const { return QUrl(vendor_site_); }

PostResult ServiceClient::UploadScores(const QString& user, const QString& operation_password,
                                       const QString& topic, const QStringList& score_lines) {
  FormBody body = Credentials(user, operation_password);
  body.Add(u"keti", topic).Add(u"score", score_lines.join(u'|'));
  return Post(QStringLiteral("/score/index.php"), body);
}

QList<qsizetype> ServiceClient::ScoreBatchSizes(const QString& user,
                                                const QString& operation_password,
                                                const QString& topic,
                                                const QStringList& score_lines,
                                                qsizetype max_body_bytes) {
  // Every character is escaped on its own and "|" stays as it is, so a
  // body's size is the size without lines plus each line's and one byte
  // between two lines.
  FormBody empty;
  empty.Add(u"username", user)
      .Add(u"password", operation_password)
      .Add(u"keti", topic)
      .Add(u"score", u"");
  const qsizetype base = empty.Bytes().size();
  QList<qsizetype> sizes;
  qsizetype count = 0, body = base;
  for (const QString& line : score_lines) {
    const qsizetype bytes = EncodeGbk(EscapeFormValue(line)).size();
    const qsizetype grown = body + (count > 0 ? 1 : 0) + bytes;
    if (count > 0 && grown > max_body_bytes) {
      sizes.append(count);
      count = 0;
      body = base;
    }
    body += (count > 0 ? 1 : 0) + bytes;
    ++count;
  }
  if (count > 0) sizes.append(count);
  return sizes;
}

PostResult ServiceClient::UploadGroups(const QString& class_name, const QString& user,
                                       const QString& operation_password,
                                       const std::array<QStringList, 16>& groups) {
  FormBody body;
  body.Add(u"class", class_name).Add(u"username", user).Add(u"password", operation_password);
  for (std::size_t g = 0; g < groups.size(); ++g) {
    body.Add(QStringLiteral("group[%1]").arg(g), groups[g].join(u'|'));
  }
  return Post(QStringLiteral("/score/group.php"), body);
}

PostResult ServiceClient::SetTeacher(const QString& account, const QString& email,
                                     const QString& old_super_password,
                                     const QString& new_login_password,
                                     const QString& new_super_password) {
  if (IsWeakDigestPassword(new_login_password)) return PostResult{200, WeakDigestPasswordText()};
  FormBody body;
  body.Add(u"username", account)
      .Add(u"email", email)
      .Add(u"oldsuperpassword", old_super_password)
      .Add(u"newlogpassword", new_login_password)
      .Add(u"newsuperpassword", new_super_password);
  return Post(QStringLiteral("/score/setteacher.php"), body);
}

PostResult ServiceClient::SetClasses(const QString& user, const QString& password,
                                     const QStringList& classes) {
  FormBody body = Credentials(user, password);
  body.Add(u"class", classes.join(u'|'));
  return Post(QStringLiteral("/score/setclass.php"), body);
}

PostResult ServiceClient::RenameClass(const QString& user, const QString& password,
                                      const QString& old_name, const QString& new_name) {
  FormBody body = Credentials(user, password);
  body.Add(u"oldclassname", old_name).Add(u"newclassname", new_name);
  return Post(QStringLiteral("/score/renameclass.php"), body);
}

PostResult ServiceClient::SetStudents(const QString& user, const QString& password,
                                      const QString& class_name, const QStringList& students) {
  FormBody body = Credentials(user, password);
  body.Add(u"class", class_name).Add(u"student", students.join(u'|'));
  return Post(QStringLiteral("/score/student.php"), body);
}

PostResult ServiceClient::RenameStudent(const QString& user, const QString& password,
                                        const QString& old_name, const QString& new_name,
                                        const QString& class_name) {
  FormBody body = Credentials(user, password);
  body.Add(u"oldstuname", old_name).Add(u"newstuname", new_name).Add(u"class", class_name);
  return Post(QStringLiteral("/score/renamestudent.php"), body);
}

PostResult ServiceClient::SetTopics(const QString& user, const QString& password,
                                    const QStringList& topics) {
  FormBody body = Credentials(user, password);
  body.Add(u"keti", topics.join(u'|'));
  return Post(QStringLiteral("/score/setketi.php"), body);
}

PostResult ServiceClient::RenameTopic(const QString& user, const QString& password,
                                      const QString& old_name, const QString& new_name) {
  FormBody body = Credentials(user, password);
  body.Add(u"oldketi", old_name).Add(u"newketi", new_name);
  return Post(QStringLiteral("/score/renameketi.php"), body);
}

PostResult ServiceClient::NewCriteria(const QString& user, const QString& password,
                                      const QString& topic, const QStringList& texts,
                                      const QStringList& scores) {
  FormBody body = Credentials(user, password);
  body.Add(u"keti", topic).Add(u"newscale", texts.join(u'\t')).Add(u"newscore", scores.join(u'\t'));
  return Post(QStringLiteral("/score/newscale.php"), body);
}

PostResult ServiceClient::EditCriterion(const QString& user, const QString& password,
                                        const QString& class_name, const QString& criterion_id,
                                        const QString& text, const QString& score) {
  FormBody body = Credentials(user, password);
  body.Add(u"class", class_name)
      .Add(u"scaleid", criterion_id)
      .Add(u"scale", text)
      .Add(u"score", score);
  return Post(QStringLiteral("/score/editscale.php"), body);
}

PostResult ServiceClient::DeleteCriteria(const QString& user, const QString& password,
                                         const QString& topic, const QString& delete_ids) {
  FormBody body = Credentials(user, password);
  body.Add(u"keti", topic).Add(u"delid", delete_ids);
  return Post(QStringLiteral("/score/delscale.php"), body);
}

PostResult ServiceClient::EditScore(const QString& user, const QString& password,
                                    const QString& class_name, const QString& score_id,
                                    const QString& score, qint64 time_seconds, const QString& topic,
                                    const QString& note) {
  FormBody body = Credentials(user, password);
  body.Add(u"class", class_name)
      .Add(u"scoreid", score_id)
      .Add(u"score", score)
      .Add(u"time", QString::number(time_seconds))
      .Add(u"keti", topic)
      .Add(u"addtion", note);
  return Post(QStringLiteral("/score/editscore.php"), body);
}

PostResult ServiceClient::DeleteScores(const QString& user, const QString& password,
                                       const QString& class_name, const QString& delete_ids) {
  FormBody body = Credentials(user, password);
  body.Add(u"class", class_name).Add(u"delid", delete_ids);
  return Post(QStringLiteral("/score/delscore.php"), body);
}

}  // namespace zorvanix
