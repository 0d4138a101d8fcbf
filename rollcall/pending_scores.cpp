#include "rollcall/pending_scores.h"

#include <QSet>
#include <algorithm>

namespace zorvanix {

quint64 PendingScores::Add(const QString& line) {
  entries_.push_back({next_id_, line, false});
  return next_id_++;
}

void PendingScores::AddMany(const QStringList& lines) {
  entries_.reserve(entries_.size() + static_cast<size_t>(lines.size()));
  for (const QString& line : lines) Add(line);
}

qsizetype PendingScores::Remove(const QList<quint64>& ids) {
  if (ids.isEmpty()) return 0;
  const QSet<quint64> gone(ids.begin(), ids.end());
  const auto kept_end = std::stable_partition(
      entries_.begin(), entries_.end(), [&](const Entry& entry) { return !gone.contains(entry.id); });
  const auto removed = static_cast<qsizetype>(entries_.end() - kept_end);
  entries_.erase(kept_end, entries_.end());
  return removed;
}

quint64 PendingScores::Replace(quint64 id, const QString& text) {
  const qsizetype row = RowOf(id);
  if (row < 0) return 0;
  Entry& entry = entries_[static_cast<size_t>(row)];
  entry.id = next_id_++;
  entry.line = text;
  entry.selected = true;
  return entry.id;
}

quint64 PendingScores::Id(qsizetype row) const {
  if (row < 0 || row >= Count()) return 0;
  return entries_[static_cast<size_t>(row)].id;
}

qsizetype PendingScores::RowOf(quint64 id) const {
  for (size_t row = 0; row < entries_.size(); ++row) {
    if (entries_[row].id == id) return static_cast<qsizetype>(row);
  }
  return -1;
}

QStringList PendingScores::Lines() const {
  QStringList lines;
  lines.reserve(Count());
  for (const Entry& entry : entries_) lines.append(entry.line);
  return lines;
}

bool PendingScores::IsSelected(qsizetype row) const {
  return row >= 0 && row < Count() && entries_[static_cast<size_t>(row)].selected;
}

void PendingScores::SetSelected(qsizetype row, bool selected) {
  if (row >= 0 && row < Count()) entries_[static_cast<size_t>(row)].selected = selected;
}

void PendingScores::SelectAll() {
  for (Entry& entry : entries_) entry.selected = true;
}

PendingScores::Batch PendingScores::Selected() const {
  Batch batch;
  for (const Entry& entry : entries_) {
    if (!entry.selected) continue;
    batch.ids.append(entry.id);
    batch.lines.append(entry.line);
  }
  return batch;
}

}  // namespace zorvanix
