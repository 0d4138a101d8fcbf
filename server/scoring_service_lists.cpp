// Classes, students, topics, groups and criteria, and the record download
// that shows them to the program.
#include <QHash>
#include <QSet>

#include "core/numbers.h"
#include "server/names.h"
#include "server/record_text.h"
#include "server/scoring_service.h"

namespace zorvanix::server {
namespace {

constexpr qsizetype kMaxCachedRecords = 1000;
constexpr int kGroupCount = 16;

// Lists are replaced whole, so a body without the list key at all is a
// damaged request, not an order to delete everything.
bool MissingList(const Request& request, QStringView key, Reply* refusal) {
  if (request.Has(key)) return false;
  *refusal = Reply::Text(QStringLiteral("请求缺少参数%1").arg(key));
  return true;
}

// The most entries one list may hold: a class of this many students, this
// many classes or topics of one teacher, is far past any school's.
constexpr qsizetype kMaxStudentsPerClass = 10000;
constexpr qsizetype kMaxClassesOrTopics = 1000;

// The entries of a "|" list, or the refusal for the first bad name or for a
// list longer than its cap.
std::optional<QStringList> ListEntries(const QString& joined, NameKind kind, Reply* refusal) {
  QStringList entries = SplitList(joined);
  const qsizetype cap = kind == NameKind::kStudent ? kMaxStudentsPerClass : kMaxClassesOrTopics;
  if (entries.size() > cap) {
    *refusal = Reply::Text(kind == NameKind::kStudent
                               ? QStringLiteral("每个班级最多%1名学生").arg(cap)
                           : kind == NameKind::kClass ? QStringLiteral("最多%1个班级").arg(cap)
                                                      : QStringLiteral("最多%1个课题").arg(cap));
    return std::nullopt;
  }
  for (const QString& entry : entries) {
    const QString problem = NameProblem(entry, kind);
    if (!problem.isEmpty()) {
      *refusal = Reply::Text(problem);
      return std::nullopt;
    }
  }
  return entries;
}

// Brings a stored list to the wanted names in the wanted order: kept entries
// are renumbered (and keep everything else), new ones inserted, missing ones
// removed.
template <typename Insert, typename Reorder, typename Remove>
void ReplaceList(const std::vector<Named>& stored, const QStringList& wanted, Insert insert,
                 Reorder reorder, Remove remove) {
  QHash<QString, qint64> left;
  for (const Named& entry : stored) left.insert(entry.name, entry.id);
  for (int order = 0; order < wanted.size(); ++order) {
    const auto it = left.find(wanted[order]);
    if (it != left.end()) {
      reorder(*it, order);
      left.erase(it);
    } else {
      insert(wanted[order], order);
    }
  }
  for (const qint64 id : std::as_const(left)) remove(id);
}

// A new name for a rename, or the refusal.
std::optional<QString> NewName(const QString& name, NameKind kind, Reply* refusal) {
  if (name.trimmed().isEmpty()) {
    *refusal = Reply::Text(u"新名称不能为空");
    return std::nullopt;
  }
  const QString problem = NameProblem(name, kind);
  if (!problem.isEmpty()) {
    *refusal = Reply::Text(problem);
    return std::nullopt;
  }
  return name;
}

}  // namespace

Reply ScoringService::Record(Store& store, const Request&, qint64 teacher_id, const QDateTime&) {
  return Reply::GbkBytes(RenderRecord(store.Classes(teacher_id), store.RecordTopics(teacher_id),
                                      store.RecordStudents(teacher_id)));
}

void ScoringService::KeepRecord(qint64 teacher_id, const Reply& record) {
  if (records_.size() >= kMaxCachedRecords) records_.clear();
  records_.insert(teacher_id, record);
}

// --- Classes ------------------------------------------------------------------

Reply ScoringService::SetClasses(const Request& request, qint64 teacher_id) {
  Reply refusal;
  if (MissingList(request, u"class", &refusal)) return refusal;
  const auto names = ListEntries(request.Param(u"class"), NameKind::kClass, &refusal);
  if (!names) return refusal;
  Transaction transaction(db_);
  ReplaceList(
      store_.Classes(teacher_id), *names,
      [&](const QString& name, int order) { store_.InsertClass(teacher_id, name, order); },
      [&](qint64 id, int order) { store_.SetClassOrder(id, order); },
      [&](qint64 id) { store_.DeleteClass(id); });
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

Reply ScoringService::RenameClass(const Request& request, qint64 teacher_id) {
  Reply refusal;
  const QString old_name = request.Param(u"oldclassname");
  const auto new_name = NewName(request.Param(u"newclassname"), NameKind::kClass, &refusal);
  if (!new_name) return refusal;
  const auto id = store_.FindClass(teacher_id, old_name);
  if (!id) return Reply::Text(u"班级不存在");
  if (*new_name == old_name) return Reply::Text(kSuccess);
  if (store_.FindClass(teacher_id, *new_name)) return Reply::Text(u"班级名称已存在");
  Transaction transaction(db_);
  store_.RenameClass(*id, *new_name);
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

// --- Students -----------------------------------------------------------------

Reply ScoringService::SetStudents(const Request& request, qint64 teacher_id) {
  Reply refusal;
  if (MissingList(request, u"student", &refusal)) return refusal;
  const auto class_id = store_.FindClass(teacher_id, request.Param(u"class"));
  if (!class_id) return Reply::Text(u"班级不存在");
  const auto names = ListEntries(request.Param(u"student"), NameKind::kStudent, &refusal);
  if (!names) return refusal;
  Transaction transaction(db_);
  int number = store_.NextStudentNumber(*class_id);
  ReplaceList(
      store_.Students(*class_id), *names,
      [&](const QString& name, int order) {
        store_.InsertStudent(*class_id, name, order, number++);
      },
      [&](qint64 id, int order) { store_.SetStudentOrder(id, order); },
      [&](qint64 id) { store_.DeleteStudent(id); });
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

Reply ScoringService::RenameStudent(const Request& request, qint64 teacher_id) {
  Reply refusal;
  const auto class_id = store_.FindClass(teacher_id, request.Param(u"class"));
  if (!class_id) return Reply::Text(u"班级不存在");
  const QString old_name = request.Param(u"oldstuname");
  const auto new_name = NewName(request.Param(u"newstuname"), NameKind::kStudent, &refusal);
  if (!new_name) return refusal;
  const auto id = store_.FindStudent(*class_id, old_name);
  if (!id) return Reply::Text(u"学生不存在");
  if (*new_name == old_name) return Reply::Text(kSuccess);
  if (store_.FindStudent(*class_id, *new_name)) return Reply::Text(u"该班级已有同名学生");
  Transaction transaction(db_);
  store_.RenameStudent(*id, *new_name);
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

Reply ScoringService::Groups(const Request& request, qint64 teacher_id) {
  const QString class_name = request.Param(u"class");
  const auto class_id = store_.FindClass(teacher_id, class_name);
  if (!class_id) return Reply::Text(u"班级不存在");
  QHash<QString, qint64> students;
  for (const Named& student : store_.Students(*class_id)) students.insert(student.name, student.id);
  QHash<qint64, int> groups;
  for (int group = 0; group < kGroupCount; ++group) {
    for (const QString& name : SplitList(request.Param(QStringLiteral("group[%1]").arg(group)))) {
      const auto it = students.constFind(name);
      if (it == students.constEnd()) {
        return Reply::Text(QStringLiteral("学生“%1”不在班级“%2”中").arg(name, class_name));
      }
      if (groups.contains(*it)) {
        return Reply::Text(QStringLiteral("学生“%1”同时出现在两个小组中").arg(name));
      }
      groups.insert(*it, group);
    }
  }
  Transaction transaction(db_);
  for (auto it = groups.constBegin(); it != groups.constEnd(); ++it) {
    store_.SetStudentGroup(it.key(), it.value());
  }
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

// --- Topics -------------------------------------------------------------------

Reply ScoringService::SetTopics(const Request& request, qint64 teacher_id) {
  Reply refusal;
  if (MissingList(request, u"keti", &refusal)) return refusal;
  const auto names = ListEntries(request.Param(u"keti"), NameKind::kTopic, &refusal);
  if (!names) return refusal;
  Transaction transaction(db_);
  ReplaceList(
      store_.Topics(teacher_id), *names,
      [&](const QString& name, int order) { store_.InsertTopic(teacher_id, name, order); },
      [&](qint64 id, int order) { store_.SetTopicOrder(id, order); },
      [&](qint64 id) { store_.DeleteTopic(id); });
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

Reply ScoringService::RenameTopic(const Request& request, qint64 teacher_id) {
  Reply refusal;
  const QString old_name = request.Param(u"oldketi");
  const auto new_name = NewName(request.Param(u"newketi"), NameKind::kTopic, &refusal);
  if (!new_name) return refusal;
  const auto id = store_.FindTopic(teacher_id, old_name);
  if (!id) return Reply::Text(u"课题不存在");
  if (*new_name == old_name) return Reply::Text(kSuccess);
  if (store_.FindTopic(teacher_id, *new_name)) return Reply::Text(u"课题名称已存在");
  Transaction transaction(db_);
  store_.RenameTopic(*id, *new_name);
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

// --- Criteria -----------------------------------------------------------------

Reply ScoringService::GetCriteria(Store& store, const Request& request, qint64 teacher_id,
                                  const QDateTime&) {
  const auto topic = store.FindTopic(teacher_id, request.Param(u"keti"));
  if (!topic) return Reply::Text(u"");
  QStringList lines;
  for (const CriterionRow& criterion : store.Criteria(*topic)) {
    lines.append(QString::number(criterion.id) + u'\t' + criterion.label + u'\t' + criterion.score);
  }
  return Reply::Text(lines.join(u"\r\n"));
}

Reply ScoringService::NewCriteria(const Request& request, qint64 teacher_id) {
  const auto topic = store_.FindTopic(teacher_id, request.Param(u"keti"));
  if (!topic) return Reply::Text(u"课题不存在");
  const QStringList texts = request.Param(u"newscale").split(u'\t');
  const QStringList scores = request.Param(u"newscore").split(u'\t');
  QList<CriterionRow> rows;
  for (qsizetype i = 0; i < std::max(texts.size(), scores.size()); ++i) {
    const QString text = texts.value(i);
    const QString score = scores.value(i);
    if (text.trimmed().isEmpty() && score.trimmed().isEmpty()) continue;
    // A score with nothing beside it would show as a bare "[0分]".
    if (text.trimmed().isEmpty()) return Reply::Text(kEmptyCriterion);
    const QString problem = NameProblem(text, NameKind::kCriterion);
    if (!problem.isEmpty()) return Reply::Text(problem);
    rows.append(CriterionRow{0, text, NormalizeNumberText(score)});
  }
  if (rows.isEmpty()) return Reply::Text(u"至少填写一个标准或评分！");
  Transaction transaction(db_);
  int order = store_.NextCriterionOrder(*topic);
  for (const CriterionRow& row : rows)
    store_.InsertCriterion(*topic, row.label, row.score, order++);
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

Reply ScoringService::EditCriterion(const Request& request, qint64 teacher_id) {
  const auto id = ParseId(request.Param(u"scaleid"));
  if (!id) return Reply::Text(u"无效的ID");
  // Another teacher's criterion is answered like a missing one.
  if (store_.CriterionTeacher(*id) != teacher_id) return Reply::Text(u"评分标准不存在");
  const QString text = request.Param(u"scale");
  if (text.trimmed().isEmpty()) return Reply::Text(kEmptyCriterion);
  const QString problem = NameProblem(text, NameKind::kCriterion);
  if (!problem.isEmpty()) return Reply::Text(problem);
  Transaction transaction(db_);
  store_.UpdateCriterion(*id, text, NormalizeNumberText(request.Param(u"score")));
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

Reply ScoringService::DeleteCriteria(const Request& request, qint64 teacher_id) {
  QString bad_id;
  const auto ids = ParseIdList(request.Param(u"delid"), &bad_id);
  if (!ids) return Reply::Text(QStringLiteral("无效的ID：%1").arg(bad_id));
  const auto topic = store_.FindTopic(teacher_id, request.Param(u"keti"));
  if (!topic) return Reply::Text(u"课题不存在");
  Transaction transaction(db_);
  // IDs are never given twice, so an ID that is gone was deleted before and
  // the program may send it again; any other ID outside the named topic
  // refuses the whole set.
  QList<qint64> present;
  QStringList strangers;
  for (const qint64 id : *ids) {
    const auto owner = store_.CriterionTopic(id);
    if (!owner) continue;
    if (*owner != *topic) {
      strangers.append(QString::number(id));
    } else {
      present.append(id);
    }
  }
  if (!strangers.isEmpty()) {
    return Reply::Text(QStringLiteral("评分标准%1不属于课题“%2”，未删除任何评分标准")
                           .arg(strangers.join(u'、'), request.Param(u"keti")));
  }
  for (const qint64 id : present) store_.DeleteCriterion(id);
  CommitChange(transaction, teacher_id);
  return Reply::Text(kSuccess);
}

}  // namespace zorvanix::server
