// A cache file the size of a large school: the class line, topics with
// criteria and a roster of student rows, in GBK with CR LF, as the service's
// record download delivers it.
#pragma once

#include <QString>
#include <QStringList>

namespace zorvanix::bench {

struct GeneratedCache {
  QStringList classes;
  // Every student as (class, name), in file order.
  QList<QPair<QString, QString>> students;
};

// Writes classes x students_per_class rows to path; false when it cannot.
bool WriteCacheFile(const QString& path, int classes, int students_per_class,
                    GeneratedCache* generated);

}  // namespace zorvanix::bench
