#include "server/demo_seed.h"

#include "core/md5_hex.h"
#include "core/service_time.h"
#include "server/names.h"

namespace zorvanix::server {
namespace {

struct DemoStudent {
  const char16_t* name;
  int group;
  std::initializer_list<double> scores;
};

struct DemoClass {
  const char16_t* name;
  std::initializer_list<DemoStudent> students;
};

// Classes "1" and "10" share a prefix; 张三, 张山 and 张少华 share initials.
// The scores spread the students over the count and average bands.
const std::initializer_list<DemoClass> kClasses = {
    {u"1",
     {{u"张三", 0, {5, 5, 4, 5}},
      {u"张山", 0, {3.5}},
      {u"张少华", 1, {2, 1}},
      {u"李四", 1, {}},
      {u"王五", 2, {5, 5, 5, 5, 5, 4}},
      {u"赵六", 2, {0, 1, 2}},
      {u"钱七", 3, {4, 3.5}},
      {u"孙八", 3, {}}}},
    {u"10",
     {{u"周杰", 0, {5, 4}},
      {u"吴敏", 0, {3}},
      {u"郑洁", 1, {}},
      {u"王芳", 1, {5, 5, 5}},
      {u"冯雪", 2, {1}},
      {u"陈晨", 2, {}}}},
    {u"初二(3)班",
     {{u"刘洋", 0, {4}},
      {u"杨帆", 0, {5, 3.5}},
      {u"黄磊", 1, {}},
      {u"何静", 1, {2}},
      {u"林峰", 2, {5}},
      {u"高远", 2, {}}}},
};

struct DemoTopic {
  const char16_t* name;
  std::initializer_list<std::pair<const char16_t*, const char16_t*>> criteria;
};

const std::initializer_list<DemoTopic> kTopics = {
    {u"课堂提问", {{u"回答正确", u"5"}, {u"思路清晰", u"3.5"}, {u"声音洪亮", u"2"}}},
    {u"小组合作", {{u"积极参与", u"4"}, {u"分工明确", u"3"}}},
    {u"随堂练习", {}},
};

const QDateTime kFirstScore(QDate(2024, 9, 2), QTime(8, 0, 0));

}  // namespace

bool SeedDemo(Store& store, const PasswordHasher& hasher, QString* error) {
  const QString account = QString::fromLatin1(kDemoAccount);
  try {
    if (store.FindTeacher(AccountKey(account))) return true;
    NewTeacher teacher{account,
                       QStringLiteral("演示老师"),
                       QStringLiteral("demo@example.com"),
                       {},
                       {},
                       {},
                       hasher.Hash(QString::fromLatin1(kDemoLoginPassword)),
                       hasher.Hash(QString::fromLatin1(kDemoOperationPassword)),
                       hasher.Hash(Md5Hex(QString::fromLatin1(kDemoLoginPassword)))};
    Transaction transaction(store.Db());
    const qint64 teacher_id = store.InsertTeacher(teacher, AccountKey(account));
    int topic_order = 0;
    for (const DemoTopic& topic : kTopics) {
      const qint64 topic_id =
          store.InsertTopic(teacher_id, QString::fromUtf16(topic.name), topic_order++);
      int order = 0;
      for (const auto& [label, score] : topic.criteria) {
        store.InsertCriterion(topic_id, QString::fromUtf16(label), QString::fromUtf16(score),
                              order++);
      }
    }
    int class_order = 0;
    int minute = 0;
    for (const DemoClass& demo_class : kClasses) {
      const qint64 class_id =
          store.InsertClass(teacher_id, QString::fromUtf16(demo_class.name), class_order++);
      int number = 1;
      for (const DemoStudent& student : demo_class.students) {
        const qint64 student_id =
            store.InsertStudent(class_id, QString::fromUtf16(student.name), number - 1, number);
        ++number;
        store.SetStudentGroup(student_id, student.group);
        double sum = 0;
        for (const double value : student.scores) {
          const QString time = FormatScoreTime(kFirstScore.addSecs(60 * minute++));
          store.InsertScore(teacher_id, student_id, value, time, QStringLiteral("课堂提问"),
                            QString());
          sum += value;
        }
        store.AddToCounters(student_id, static_cast<qint64>(student.scores.size()), sum);
      }
    }
    transaction.Commit();
  } catch (const DatabaseError& failure) {
    *error = QString::fromStdString(failure.what());
    return false;
  }
  return true;
}

}  // namespace zorvanix::server
