#include "rollcall/topic_criteria.h"

#include "core/numbers.h"

namespace zorvanix {
namespace {

const QString kUnitPoints = QStringLiteral("分");

}  // namespace

TopicChoices ReadTopicChoices(const CacheFile& cache) {
  TopicChoices choices;
  const QStringList lines = cache.ReadTaggedLines(kTopicTag).split(QStringLiteral("\r\n"));
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
    TopicLine topic;
    if (!ParseTopicLine(lines[i], &topic)) continue;
    if (i == 0) choices.shown = topic.name;
    choices.names.append(topic.name);
  }
  return choices;
}

QStringList CriteriaEntries(const CacheFile& cache, const QString& topic_name) {
  QStringList entries;
  const auto index = topic_name.isEmpty() ? nullptr : cache.Index();
  if (!index) return entries;
  const auto lines = index->Find(TopicTag(topic_name));
  TopicLine topic;
  if (!lines.empty() && ParseTopicLine(lines.front(), &topic)) {
    for (const Criterion& criterion : topic.criteria) {
      entries.append(u'[' + criterion.score + kUnitPoints + QStringLiteral("]\t") + criterion.text);
    }
  }
  return entries;
}

QString CriterionScore(const QString& entry) {
  QString points = entry.section(u'\t', 0, 0);
  points.remove(u'[');
  return ShortestDecimal(LeadingNumber(points)) + kUnitPoints;
}

QString CriterionText(const QString& entry) { return entry.section(u'\t', 1); }

}  // namespace zorvanix
