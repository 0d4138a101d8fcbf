#include "rollcall/name_search.h"

#include <algorithm>

#include "core/pinyin.h"

namespace zorvanix {
namespace {

constexpr int kHitHeight = 200;
constexpr int kMinHitListHeight = 600;
constexpr int kMaxHitListHeight = 1650;

QString Entry(const QString& name, const TaggedLineIndex* cache, const QString& class_name) {
  if (!cache) return name;
  const auto rows = cache->Find(StudentTag(class_name, name));
  if (rows.empty()) return name;
  const QList<QStringView> fields = rows.front().split(u'\t');
  const auto field = [&](int i) { return i < fields.size() ? fields[i] : QStringView(); };
  return name + QStringLiteral("\t[") + field(5).toString() + QStringLiteral("次,") +
         field(4).toString() + QStringLiteral("分]");
}

}  // namespace

void NameSearch::Prepare(const QStringList& names) {
  // The pool is shared with the window's copy, so an unchanged class is
  // recognised without comparing names.
  if (names == names_ && initials_.size() == names.size()) return;
  names_ = names;
  initials_.clear();
  initials_.reserve(names.size());
  for (const QString& name : names) initials_.append(PinyinInitials(name));
}

QStringList NameSearch::Entries(const QStringList& names, QStringView typed,
                                const TaggedLineIndex* cache, const QString& class_name) {
  QStringList entries;
  if (typed.isEmpty()) return entries;
  Prepare(names);
  const QString capitals = typed.toString().toUpper();
  QStringList full;  // initials as long as the text: newest first
  for (qsizetype i = 0; i < names_.size(); ++i) {
    const QString& name = names_[i];
    if (!name.contains(typed) && !initials_[i].contains(capitals)) continue;
    if (initials_[i].size() == typed.size()) {
      full.append(Entry(name, cache, class_name));
    } else {
      entries.append(Entry(name, cache, class_name));
    }
  }
  std::reverse(full.begin(), full.end());
  return full + entries;
}

int HitListHeight(int count) {
  return std::clamp(count * kHitHeight, kMinHitListHeight, kMaxHitListHeight);
}

}  // namespace zorvanix
