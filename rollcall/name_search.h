// Finding a student of the chosen class by part of the name or by the pinyin
// initials of the name, as the teacher types into the search box. A plain
// class with no widgets; the roll-call window shows the hits in List2.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

#include "core/cache_file.h"

namespace zorvanix {

class NameSearch {
 public:
  // The hit-list entries for the typed text, in the order List2 shows them:
  // names whose initials are as long as the typed text come first (the one
  // found last on top), then the other hits in class order. A name is a hit
  // when it contains the text (case-sensitive) or its initials contain the
  // text in capitals. Each entry is the name, a TAB and
  // "[" + times scored + "次," + average + "分]" from the student's row;
  // a name without a row in the cache is listed by itself.
  //
  // names is the class's "所有" pool; its initials are worked out once per
  // class, and each entry once per class and cache file, not per keystroke.
  QStringList Entries(const QStringList& names, QStringView typed,
                      std::shared_ptr<const TaggedLineIndex> cache, const QString& class_name);

 private:
  void Prepare(const QStringList& names, std::shared_ptr<const TaggedLineIndex> cache,
               const QString& class_name);
  const QString& EntryAt(qsizetype i);

  QStringList names_;
  QStringList initials_;
  std::shared_ptr<const TaggedLineIndex> cache_;
  QString class_name_;
  std::vector<QString> entries_;  // filled on a name's first hit
};

// Height in twips of a hit list of count entries: 200 each, between 600
// and 1650.
int HitListHeight(int count);
// The same measured in hits, for rows of any height: 3 rows at least, 8.25
// at most. The list is as many real rows high (plus its frame).
double HitListRows(int count);

}  // namespace zorvanix
