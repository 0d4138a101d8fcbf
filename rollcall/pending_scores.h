// The pending score lines: every score given in this session that has not yet
// reached the scoring service or a score file, in the order given, each with
// a number of its own (two equal lines stay two lines) and whether the
// teacher selected it. A plain class with no widgets; the upload panel shows
// it in List4, and the upload, the export, the group ranking and the close
// question read it.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

namespace zorvanix {

class PendingScores {
 public:
  // Some lines, in list order, with their numbers: the batch an upload or an
  // export sends.
  struct Batch {
    QList<quint64> ids;
    QStringList lines;
  };

  // A line joins at the end, not selected; returns its number. Numbers are
  // never given twice, not even after the line left.
  quint64 Add(const QString& line);
  // Many lines at once (an import), in their order.
  void AddMany(const QStringList& lines);
  // The lines with these numbers leave; numbers no longer pending are passed
  // over. The others keep their order and their selection. Returns how many
  // lines left.
  qsizetype Remove(const QList<quint64>& ids);
  // The line numbered id becomes text, in its place and selected. It takes a
  // new number: a batch under way that held the old line does not take the
  // edited one with it. Returns the new number, 0 when id is no longer
  // pending.
  quint64 Replace(quint64 id, const QString& text);

  qsizetype Count() const { return static_cast<qsizetype>(entries_.size()); }
  bool IsEmpty() const { return entries_.empty(); }
  const QString& Line(qsizetype row) const { return entries_.at(row).line; }
  // The number of the line at row, 0 outside the list; the row of a number,
  // -1 when that line is no longer pending.
  quint64 Id(qsizetype row) const;
  qsizetype RowOf(quint64 id) const;
  QStringList Lines() const;

  bool IsSelected(qsizetype row) const;
  void SetSelected(qsizetype row, bool selected);
  void SelectAll();
  // The selected lines in list order.
  Batch Selected() const;

 private:
  struct Entry {
    quint64 id = 0;
    QString line;
    bool selected = false;
  };
  std::vector<Entry> entries_;
  quint64 next_id_ = 1;
};

}  // namespace zorvanix
