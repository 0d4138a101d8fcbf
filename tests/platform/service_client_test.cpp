// The exchange against the real scoring service: form values with the
// characters that used to split a body, GBK replies, query values in
// addresses, and the cache download that replaces the file only on success.
#include "platform/service_client.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "core/cache_file.h"
#include "core/form_encoding.h"
#include "core/md5_hex.h"
#include "tests/server/cutting_proxy.h"
#include "tests/support/server_process.h"

using namespace zorvanix;
using namespace std::chrono_literals;

namespace {

const QString kUser = QStringLiteral("teacher_amp");
const QString kPassword = QStringLiteral("p&w=1%+# 张");
const QString kOperation = QStringLiteral("op&=%2B");

QByteArray ContentOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The body of one score upload, as the service receives it.
qsizetype UploadBodySize(const QStringList& lines) {
  FormBody body;
  body.Add(u"username", kUser)
      .Add(u"password", kOperation)
      .Add(u"keti", QStringLiteral("朗读&背诵"))
      .Add(u"score", lines.join(u'|'));
  return body.Bytes().size();
}

}  // namespace

class ServiceClientTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QString error;
    QVERIFY2(server_.Start(&error), qPrintable(error));
    client_ =
        std::make_unique<ServiceClient>(server_.Root() + u'/', server_.Root(), session_, http_);
    ServiceClient::Registration registration;
    registration.user = kUser;
    registration.teacher_name = QStringLiteral("王老师");
    registration.password = kPassword;
    registration.super_password = kOperation;
    registration.email = QStringLiteral("amp@example.com");
    const PostResult result = client_->RegisterTeacher(registration);
    QVERIFY2(result.IsSuccess(), qPrintable(result.text));
    session_.SignInOnline(kUser, kPassword);
  }

  void PasswordsWithFormCharactersSurviveTheTrip() {
    QVERIFY(client_->CheckPassword(kUser, kPassword).IsSuccess());
    // A body cut at "&" or "=" would have sent a prefix of the password.
    const PostResult prefix = client_->CheckPassword(kUser, QStringLiteral("p"));
    QCOMPARE(prefix.status, 200);
    QVERIFY(prefix.IsRefusal() && !prefix.text.isEmpty());
    QVERIFY(client_->SetClasses(kUser, kOperation, {QStringLiteral("一班")}).IsSuccess());
  }

  // A login password whose read digest is easy to hit is refused with the
  // reason before anything is sent, at sign-up, reset and change alike; the
  // same characters with enough letters or digits added pass.
  void WeakDigestLoginPasswordsAreRefused() {
    ServiceClient::Registration weak;
    weak.user = QStringLiteral("weak_digest");
    weak.teacher_name = QStringLiteral("周老师");
    weak.password = QStringLiteral("登录7");
    weak.super_password = QStringLiteral("op");
    weak.email = QStringLiteral("zhou@example.com");
    const PostResult refused = client_->RegisterTeacher(weak);
    QVERIFY(refused.IsRefusal());
    QCOMPARE(refused.text, WeakDigestPasswordText());
    QVERIFY(client_->CheckUserName(weak.user).contains(u"√"));
    QCOMPARE(client_->ResetPassword(kUser, QStringLiteral("123456"), QStringLiteral("密码"), {}).text,
             WeakDigestPasswordText());
    QCOMPARE(client_->SetTeacher(kUser, QStringLiteral("amp@example.com"), kOperation,
                                 QStringLiteral("新密码1"), {})
                 .text,
             WeakDigestPasswordText());
    QVERIFY(client_->CheckPassword(kUser, kPassword).IsSuccess());
    weak.password = QStringLiteral("登录abcdefgh");
    QVERIFY(client_->RegisterTeacher(weak).IsSuccess());
  }

  void RepliesAreDecodedFromGbk() {
    QCOMPARE(client_->CheckUserName(kUser), QStringLiteral("该用户名已被注册"));
    QCOMPARE(client_->CheckUserName(QStringLiteral("free_name")), QStringLiteral("√"));
    QCOMPARE(client_->GetTeacher(), QStringLiteral("王老师\r\nteacher_amp\r\namp@example.com"));
  }

  void QueryValuesWithFormCharactersReachTheService() {
    const QString topic = QStringLiteral("课题&=1 #2");
    QVERIFY(client_->SetTopics(kUser, kOperation, {topic}).IsSuccess());
    const PostResult added =
        client_->NewCriteria(kUser, kOperation, topic, {QStringLiteral("守时"), {}, {}, {}, {}},
                             {QStringLiteral("2"), {}, {}, {}, {}});
    QVERIFY2(added.IsSuccess(), qPrintable(added.text));
    QVERIFY(client_->GetCriteria(topic).contains(QStringLiteral("\t守时\t2")));
    QCOMPARE(client_->GetCriteria(QStringLiteral("课题")), QString());
  }

  void RecordDownloadReplacesTheCacheOnlyOnSuccess() {
    QTemporaryDir dir;
    CacheFile cache(dir.filePath(QStringLiteral("ServerRec.dmd")));
    QVERIFY(client_
                ->SetClasses(kUser, kOperation,
                             {QStringLiteral("一班"), QStringLiteral("10"), QStringLiteral("1")})
                .IsSuccess());
    QVERIFY(client_->DownloadServerRecord(kUser, cache));
    QCOMPARE(cache.ClassNames(),
             QStringList({QStringLiteral("一班"), QStringLiteral("10"), QStringLiteral("1")}));

    // The next download is seen by the very next look-up.
    QVERIFY(client_->SetClasses(kUser, kOperation, {QStringLiteral("二班")}).IsSuccess());
    QVERIFY(client_->DownloadServerRecord(kUser, cache));
    QCOMPARE(cache.ClassNames(),
             QStringList{QStringLiteral("二班")});
    const QByteArray good = ContentOf(cache.Path());

    // Refused (403, wrong digest) and unreachable: the old file stays.
    Session stale;
    stale.SignInOnline(kUser, QStringLiteral("old password"));
    ServiceClient refused(server_.Root(), server_.Root(), stale, http_);
    QVERIFY(!refused.DownloadServerRecord(kUser, cache));
    ServiceClient unreachable(testing::ClosedPortRoot(), server_.Root(), session_, http_);
    QVERIFY(!unreachable.DownloadServerRecord(kUser, cache));
    QCOMPARE(ContentOf(cache.Path()), good);
    QCOMPARE(cache.ClassNames(), QStringList{QStringLiteral("二班")});
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("ServerRec.dmd")});
  }

  // The connection drops after the whole upload reached the service and
  // before its reply came back. The program sends the batch once and tells
  // the teacher the network failed; it never sends it again on its own.
  void AnUploadCutAfterItsBodyIsSentOnceAndReportedAsANetworkFailure() {
    const QString class_name = QStringLiteral("三班");
    QVERIFY(client_->SetClasses(kUser, kOperation, {class_name}).IsSuccess());
    QVERIFY(client_->SetStudents(kUser, kOperation, class_name, {QStringLiteral("赵六")})
                .IsSuccess());
    const QStringList batch{QStringList{class_name, QStringLiteral("赵六"), QStringLiteral("5分"),
                                        QStringLiteral("2024-03-02 09:00:00"), QString()}
                                .join(u'\t')};
    {
      testing::CuttingProxy proxy(static_cast<quint16>(QUrl(server_.Root()).port()));
      ServiceClient cut(QStringLiteral("http://127.0.0.1:%1").arg(proxy.Port()), server_.Root(),
                        session_, http_);
      const PostResult result = cut.UploadScores(kUser, kOperation, QStringLiteral("朗读"), batch);
      QVERIFY(result.IsNetworkFailure() && !result.IsRefusal());
      QCOMPARE(result.status, 0);
      QCOMPARE(proxy.Cut(), 1);
      // The next exchange through the same client opens a fresh connection
      // and is sent once as well.
      QVERIFY(cut.CheckPassword(kUser, kPassword).IsNetworkFailure());
      QCOMPARE(proxy.Cut(), 2);
    }
    const QStringList scores = client_->GetScores(class_name).split(QStringLiteral("\r\n"));
    QCOMPARE(scores.filter(QStringLiteral("赵六")).size(), 1);
    // Past the proxy the same client's posts are answered as ever.
    QVERIFY(client_->CheckPassword(kUser, kPassword).IsSuccess());
  }

  // Consecutive parts, each as large as the limit allows and no larger; a
  // line over the limit alone goes by itself.
  void ScoreBatchesFitTheLimit() {
    QStringList lines;
    for (int i = 0; i < 200; ++i) {
      QString line = QStringLiteral("一班\t学生%1\t%2分\t2026-12-07 09:30:00\t").arg(i).arg(i % 6);
      if (i % 7 == 0) line += QStringLiteral("a&b=c%d+#€");
      if (i == 120) line += QString(900, QChar(u'读'));  // 5400 bytes: over the limit
      lines.append(line);
    }
    const qsizetype limit = 4096;
    const QList<qsizetype> sizes = ServiceClient::ScoreBatchSizes(
        kUser, kOperation, QStringLiteral("朗读&背诵"), lines, limit);
    QVERIFY(sizes.size() > 3);
    qsizetype from = 0;
    for (const qsizetype count : sizes) {
      QVERIFY(count > 0);
      const QStringList part = lines.mid(from, count);
      if (count > 1 || UploadBodySize(part) <= limit) {
        QVERIFY2(UploadBodySize(part) <= limit, qPrintable(QString::number(from)));
      } else {
        QCOMPARE(from, 120);
      }
      if (from + count < lines.size() && UploadBodySize(part) <= limit) {
        QVERIFY(UploadBodySize(lines.mid(from, count + 1)) > limit);
      }
      from += count;
    }
    QCOMPARE(from, lines.size());
    QVERIFY(ServiceClient::ScoreBatchSizes(kUser, kOperation, QString(), {}, limit).isEmpty());
  }

  void NetworkFailureIsNotARefusal() {
    ServiceClient unreachable(testing::ClosedPortRoot(), testing::ClosedPortRoot(), session_,
                              http_);
    const PostResult result = unreachable.CheckPassword(kUser, kPassword);
    QVERIFY(result.IsNetworkFailure() && !result.IsRefusal());
    QCOMPARE(unreachable.CheckUserName(kUser), QString());
  }

 private:
  testing::ServerProcess server_;
  Session session_;
  HttpExchange http_{10s};
  std::unique_ptr<ServiceClient> client_;
};

QTEST_GUILESS_MAIN(ServiceClientTest)
#include "service_client_test.moc"
