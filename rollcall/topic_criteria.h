// What the cache says about topics, as the roll-call window shows it: the
// topic choice's names, the criteria of one topic as List1 entries
// ("[2分]\tReads aloud"), and the score one such entry gives.
#pragma once

#include <QString>
#include <QStringList>

#include "core/cache_file.h"

namespace zorvanix {

struct TopicChoices {
  QStringList names;  // every topic line, in file order
  QString shown;      // the first line's topic; "" when that line is no topic
};
TopicChoices ReadTopicChoices(const CacheFile& cache);

// The entries of topic's criteria; none for no topic (the cache is not even
// opened then: at start-up there is nothing to show yet, and the file may be
// large) or a topic the cache does not know.
QStringList CriteriaEntries(const CacheFile& cache, const QString& topic);

// "2分" for the entry "[2分]\tReads aloud".
QString CriterionScore(const QString& entry);
// "Reads aloud" for the same entry.
QString CriterionText(const QString& entry);

}  // namespace zorvanix
