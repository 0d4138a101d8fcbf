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

void NameSearch::Prepare(const QStringList& names, std::shared_ptr<const TaggedLineIndex> cache,
                         const QString& class_name) {
  // The pool is shared with the window's copy, so an unchanged class is
  // recognised without comparing names.
  const bool same_names = names == names_ && initials_.size() == names.size();
  if (same_names && cache == cache_ && class_name == class_name_) return;
  if (!same_names) {
    names_ = names;
    initials_.clear();
    initials_.reserve(names.size());
    for (const QString& name : names) initials_.append(PinyinInitials(name));
  }
  // A new cache file may carry new counts: entries are read again.
  cache_ = std::move(cache);
  class_name_ = class_name;
  entries_.assign(names_.size(), QString());
}

const QString& NameSearch::EntryAt(qsizetype i) {
  QString& entry = entries_[i];
  if (entry.isNull()) entry = Entry(names_[i], cache_.get(), class_name_);
  return entry;
}

QStringList NameSearch::Entries(const QStringList& names, QStringView typed,
                                std::shared_ptr<const TaggedLineIndex> cache,
                                const QString& class_name) {
  QStringList entries;
  if (typed.isEmpty()) return entries;
  Prepare(names, std::move(cache), class_name);
  const QString capitals = typed.toString().toUpper();
  QStringList full;  // initials as long as the text: newest first
  for (qsizetype i = 0; i < names_.size(); ++i) {
    if (!names_[i].contains(typed) && !initials_[i].contains(capitals)) continue;
    (initials_[i].size() == typed.size() ? full : entries).append(EntryAt(i));
  }
  std::reverse(full.begin(), full.end());
  return full + entries;
}

int HitListHeight(int count) {
  return std::clamp(count * kHitHeight, kMinHitListHeight, kMaxHitListHeight);
}

double HitListRows(int count) { return static_cast<double>(HitListHeight(count)) / kHitHeight; }

}  // namespace zorvanix
