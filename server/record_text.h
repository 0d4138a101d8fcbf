// The record download: the teacher's whole data as the cache file the
// program keeps ("Class_Is_Ready" line, "[keti]" lines, six-field student
// rows, CR LF, GBK).
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "server/store.h"

namespace zorvanix::server {

// sum / count rounded to two decimals in its shortest form; "0" when the
// student was never scored.
QString AverageText(double sum, qint64 count);

QByteArray RenderRecord(const std::vector<Named>& classes,
                        const std::vector<TopicWithCriteria>& topics,
                        const std::vector<StudentRecordRow>& students);

}  // namespace zorvanix::server
