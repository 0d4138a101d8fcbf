#include "server/record_text.h"

#include <cmath>

#include "core/cache_file.h"
#include "core/gbk.h"
#include "core/numbers.h"

namespace zorvanix::server {

QString AverageText(double sum, qint64 count) {
  if (count <= 0) return QStringLiteral("0");
  const double rounded = std::round(sum / static_cast<double>(count) * 100.0) / 100.0;
  // A sum that drifted to -0.000001 after corrections must not print as "-0".
  return ShortestDecimal(rounded == 0.0 ? 0.0 : rounded);
}

QByteArray RenderRecord(const std::vector<Named>& classes,
                        const std::vector<TopicWithCriteria>& topics,
                        const std::vector<StudentRecordRow>& students) {
  static const QString kLineEnd = QStringLiteral("\r\n");
  QStringList class_names;
  class_names.reserve(static_cast<qsizetype>(classes.size()));
  for (const Named& c : classes) class_names.append(c.name);
  QString text = ClassListLine(class_names) + kLineEnd;
  for (const TopicWithCriteria& topic : topics) {
    TopicLine line{topic.name, {}};
    for (const CriterionRow& criterion : topic.criteria) {
      line.criteria.append(Criterion{criterion.label, criterion.score});
    }
    text += TopicLineText(line) + kLineEnd;
  }
  for (const StudentRecordRow& s : students) {
    const StudentRow row{s.class_name,
                         s.name,
                         QString::number(s.group),
                         QString::number(s.number),
                         AverageText(s.sum, s.count),
                         QString::number(s.count)};
    text += StudentRowText(row) + kLineEnd;
  }
  return EncodeGbk(text);
}

}  // namespace zorvanix::server
