#include "server/names.h"

#include <QRegularExpression>
#include <QSet>

#include "core/cache_file.h"

namespace zorvanix::server {

bool HasControlCharacter(QStringView text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) return true;
  }
  return false;
}

// A field of a tab-separated row: besides TAB and the line ends, no NUL or
// other control character, which would cut or garble the row in the files
// and pages that show it.
bool IsSingleField(QStringView text) { return !HasControlCharacter(text); }

QString NameProblem(QStringView name, NameKind kind) {
  static const QString kWhat[] = {QStringLiteral("班级"), QStringLiteral("学生"),
                                  QStringLiteral("课题"), QStringLiteral("评分标准")};
  const QString& what = kWhat[static_cast<int>(kind)];
  if (!name.contains(u'\t') && !name.contains(u'\r') && !name.contains(u'\n') &&
      HasControlCharacter(name)) {
    return QStringLiteral("%1名称不能包含控制字符").arg(what);
  }
  if (!IsSingleField(name)) {
    return QStringLiteral("%1名称不能包含制表符或换行符").arg(what);
  }
  const qsizetype limit = kind == NameKind::kCriterion ? kMaxCriterionLength : kMaxNameLength;
  if (name.size() > limit) {
    return QStringLiteral("%1名称过长（最多%2个字符）").arg(what).arg(limit);
  }
  if (kind == NameKind::kClass || kind == NameKind::kTopic) {
    if (name.contains(u'|')) return QStringLiteral("%1名称不能包含“|”").arg(what);
  }
  // A class row in the cache file begins with the class name; a name that
  // begins like the class-list or topic tag would be read as such a line.
  if (kind == NameKind::kClass &&
      (name.startsWith(QStringView(kClassListTag)) || name.startsWith(QStringView(kTopicTag)))) {
    return QStringLiteral("班级名称不能以“%1”开头")
        .arg(name.startsWith(QStringView(kTopicTag)) ? QString::fromUtf16(kTopicTag)
                                                     : QString::fromUtf16(kClassListTag));
  }
  if (kind == NameKind::kStudent && name.contains(u'|')) {
    return QStringLiteral("学生姓名不能包含“|”");
  }
  return QString();
}

QStringList SplitList(QStringView joined) {
  QStringList entries;
  QSet<QStringView> seen;  // views into joined, which outlives the loop
  for (const QStringView piece : joined.split(u'|')) {
    if (piece.isEmpty() || seen.contains(piece)) continue;
    seen.insert(piece);
    entries.append(piece.toString());
  }
  return entries;
}

QString AccountKey(QStringView account) { return account.trimmed().toString().toLower(); }

bool IsValidAccount(QStringView account) {
  static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_]{4,32}$"));
  return pattern.match(account.trimmed()).hasMatch();
}

bool IsPlausibleEmail(QStringView email) {
  static const QRegularExpression pattern(QStringLiteral(R"(^[^@\s]+@[^@\s]+\.[^@\s.]+$)"));
  return email.size() <= 254 && pattern.match(email).hasMatch();
}

std::optional<qint64> ParseId(QStringView text) {
  bool ok = false;
  const qint64 id = text.trimmed().toLongLong(&ok);
  if (!ok || id <= 0) return std::nullopt;
  return id;
}

std::optional<QList<qint64>> ParseIdList(QStringView joined, QString* bad_piece) {
  QList<qint64> ids;
  for (const QStringView piece : joined.split(u'|')) {
    if (piece.trimmed().isEmpty()) continue;
    const auto id = ParseId(piece);
    if (!id) {
      *bad_piece = piece.toString();
      return std::nullopt;
    }
    ids.append(*id);
  }
  return ids;
}

}  // namespace zorvanix::server
