// Every request the desktop program makes of the scoring service, with the
// keys in the order the service expects them. Windows call these methods;
// none of them builds a request by hand.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <array>

#include "core/cache_file.h"
#include "core/form_encoding.h"
#include "core/session.h"
#include "platform/http_exchange.h"

namespace zorvanix {

// The product identifier of the version check.
inline constexpr char kProductId[] = "Pellory";

class ServiceClient {
 public:
  // service_root and vendor_site without a trailing "/", such as
  // "http://127.0.0.1:8808". The session supplies t and mp of every read.
  ServiceClient(QString service_root, QString vendor_site, const Session& session,
                HttpExchange& http);

  const QString& ServiceRoot() const { return service_root_; }
  // A new address, as set on the first run; later requests go there.
  void SetServiceRoot(QString service_root) { service_root_ = std::move(service_root); }
  const QString& VendorSite() const { return vendor_site_; }
  HttpExchange& Http() { return http_; }

  // --- Sign-in, sign-up, password reset ------------------------------------
  PostResult CheckPassword(const QString& user, const QString& password);
  // Returns the service's reply verbatim; "√" means the name is free.
  QString CheckUserName(const QString& user);
  // The same check without waiting: done gets the reply verbatim when it
  // arrives (empty when nothing arrived), unless receiver is gone by then.
  void CheckUserNameAsync(const QString& user, const QObject* receiver,
                          std::function<void(const QString&)> done);
  struct Registration {
    QString user, teacher_name, password, super_password, email, mobile, telephone, qq;
  };
  PostResult RegisterTeacher(const Registration& registration);
  // "success" when a code was mailed, "failure" for an unknown account/address.
  QString RequestPasswordCode(const QString& user, const QString& email);
  // Empty new passwords leave that password as it is.
  PostResult ResetPassword(const QString& user, const QString& check_code,
                           const QString& new_login_password, const QString& new_super_password);

  // --- Reads identified by t and mp ---------------------------------------
  QUrl RecordUrl(const QString& user) const;
  // Downloads the cache file for user and replaces cache with it; false
  // leaves the old file.
  bool DownloadServerRecord(const QString& user, CacheFile& cache);
  QString GetTeacher();
  QString GetScores(const QString& class_name);
  QString GetCriteria(const QString& topic);
  // The results page of the last n uploaded scores, opened in the browser.
  QUrl ResultsUrl(int n) const;
  QUrl ServiceHomeUrl() const;  // ServiceRoot + "/score"

  // --- Start-up checks --------------------------------------------------------
  // The service's time and the vendor's version reply, waited for with the
  // window live.
  QString ServerTime();
  QString VendorVersion();
  // The same without waiting: done gets the reply (empty when nothing
  // arrived) on the window thread once it is in, unless receiver is gone.
  void ServerTimeAsync(const QObject* receiver, std::function<void(const QString&)> done);
  void VendorVersionAsync(const QObject* receiver, std::function<void(const QString&)> done);
  QUrl VendorUpdateUrl() const;
  QUrl VendorHomeUrl() const;

  // --- Uploads ------------------------------------------------------------
  PostResult UploadScores(const QString& user, const QString& operation_password,
                          const QString& topic, const QStringList& score_lines);
  // How many of score_lines each consecutive upload takes so that its body
  // stays within max_body_bytes; a line too long to fit even alone goes by
  // itself. The counts add up to the number of lines.
  static QList<qsizetype> ScoreBatchSizes(const QString& user, const QString& operation_password,
                                          const QString& topic, const QStringList& score_lines,
                                          qsizetype max_body_bytes);
  PostResult UploadGroups(const QString& class_name, const QString& user,
                          const QString& operation_password,
                          const std::array<QStringList, 16>& groups);

  // --- Changes of the management window ------------------------------------
  PostResult SetTeacher(const QString& account, const QString& email,
                        const QString& old_super_password, const QString& new_login_password,
                        const QString& new_super_password);
  PostResult SetClasses(const QString& user, const QString& password, const QStringList& classes);
  PostResult RenameClass(const QString& user, const QString& password, const QString& old_name,
                         const QString& new_name);
  PostResult SetStudents(const QString& user, const QString& password, const QString& class_name,
                         const QStringList& students);
  PostResult RenameStudent(const QString& user, const QString& password, const QString& old_name,
                           const QString& new_name, const QString& class_name);
  PostResult SetTopics(const QString& user, const QString& password, const QStringList& topics);
  PostResult RenameTopic(const QString& user, const QString& password, const QString& old_name,
                         const QString& new_name);
  // Five criterion texts and five normalised scores, TAB-joined as sent.
  PostResult NewCriteria(const QString& user, const QString& password, const QString& topic,
                         const QStringList& texts, const QStringList& scores);
  PostResult EditCriterion(const QString& user, const QString& password, const QString& class_name,
                           const QString& criterion_id, const QString& text, const QString& score);
  // delete_ids is "|" + ID for each criterion, as the page collects them.
  PostResult DeleteCriteria(const QString& user, const QString& password, const QString& topic,
                            const QString& delete_ids);
  PostResult EditScore(const QString& user, const QString& password, const QString& class_name,
                       const QString& score_id, const QString& score, qint64 time_seconds,
                       const QString& topic, const QString& note);
  PostResult DeleteScores(const QString& user, const QString& password, const QString& class_name,
                          const QString& delete_ids);

  // Any change: the path below ServiceRoot and a body that begins with the
  // user name and operation password.
  PostResult Post(const QString& path, const FormBody& body);

 private:
  QUrl ServiceUrl(const QString& path_and_query) const;
  QUrl ServerTimeUrl() const;
  QUrl VendorVersionUrl() const;
  // "?key=value&..." with every value escaped for an address.
  static QString Query(std::initializer_list<std::pair<const char*, QString>> pairs);
  FormBody Credentials(const QString& user, const QString& password) const;

  QString service_root_;
  QString vendor_site_;
  const Session& session_;
  HttpExchange& http_;
};

}  // namespace zorvanix
