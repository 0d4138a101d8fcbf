#include "server/results_page.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "core/numbers.h"
#include "server/record_text.h"

namespace zorvanix::server {
namespace {

QString Escape(QStringView text) { return text.toString().toHtmlEscaped(); }

// One style for every page: tables scroll inside their own box, so a phone
// never scrolls the page sideways; charts are SVG with a viewBox and follow
// the width they are given; printing drops the links and shows every column.
constexpr char16_t kStyle[] =
    u"*{box-sizing:border-box}"
    u"body{font-family:\"Noto Sans CJK SC\",\"Microsoft YaHei\",\"PingFang SC\",sans-serif;"
    u"margin:0 auto;padding:1em;max-width:64em;color:#222;line-height:1.5}"
    u"h1{font-size:1.5em;margin:.3em 0}h2{font-size:1.2em;margin:1.6em 0 .4em}"
    u"h3{font-size:1em;margin:1em 0 .3em}h1,h2,h3,p{overflow-wrap:anywhere}"
    u".scroll{overflow-x:auto;max-width:100%;-webkit-overflow-scrolling:touch}"
    u"table{border-collapse:collapse;margin:.4em 0}"
    u"th,td{border:1px solid #ccc;padding:.3em .6em;text-align:left;white-space:nowrap}"
    u"th{background:#f0f0f0}td.num{text-align:right}td.wrap{white-space:normal;min-width:8em}"
    u"table.students{width:100%}td.bar{width:40%;min-width:6em}td.trend{width:7em;min-width:5em}"
    u"svg{display:block}.none{color:#999}.note{color:#666;font-size:.9em}"
    u"nav.range{margin:.8em 0}nav.range a,nav.range strong{display:inline-block;"
    u"padding:.15em .9em;margin:0 .3em .3em 0;border:1px solid #4a90d9;border-radius:1em;"
    u"text-decoration:none;color:#2a6cb0}nav.range strong{background:#4a90d9;color:#fff}"
    u"@media (max-width:600px){body{padding:.6em}th,td{padding:.25em .4em}"
    u"td.bar{min-width:3em}td.trend{min-width:4em}}"
    u"@media print{body{max-width:none;padding:0}nav.range,.download{display:none}"
    u".scroll{overflow:visible}th{background:none}tr{break-inside:avoid}"
    u"a{color:inherit;text-decoration:none}}";

QString Page(QStringView title, const QString& body) {
  return QStringLiteral(
             "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"UTF-8\">"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
             "<title>%1</title><style>%3</style></head><body>\n<h1>%1</h1>\n%2</body></html>\n")
      .arg(Escape(title), body, QString::fromUtf16(kStyle));
}

QString Cell(QStringView text, bool number = false) {
  return (number ? QStringLiteral("<td class=\"num\">") : QStringLiteral("<td>")) + Escape(text) +
         QStringLiteral("</td>");
}

QString Rounded(double value) { return ShortestDecimal(std::round(value * 100) / 100); }

QString LatestTable(const std::vector<ScoreListRow>& latest) {
  QString html = QStringLiteral(
      "<div class=\"scroll\"><table class=\"latest\"><tr><th>时间</th><th>班级</th><th>姓名</th>"
      "<th>计分</th><th>课题</th><th>说明</th></tr>\n");
  for (const ScoreListRow& row : latest) {
    html += QStringLiteral("<tr>") + Cell(row.scored_at) + Cell(row.class_name) +
            Cell(row.student) + Cell(ShortestDecimal(row.value), true) + Cell(row.topic) +
            QStringLiteral("<td class=\"wrap\">") + Escape(row.note) +
            QStringLiteral("</td></tr>\n");
  }
  return html + QStringLiteral("</table></div>\n");
}

QString RangeLinks(const ResultsPageData& data) {
  struct Choice {
    ResultsRange range;
    const char16_t* word;
    const char16_t* label;
  };
  static constexpr Choice kChoices[] = {{ResultsRange::kToday, u"today", u"今天"},
                                        {ResultsRange::kWeek, u"week", u"本周"},
                                        {ResultsRange::kAll, u"all", u"全部"}};
  QString html = QStringLiteral("<nav class=\"range\" aria-label=\"时间范围\">");
  for (const Choice& choice : kChoices) {
    const QString label = QString::fromUtf16(choice.label);
    if (choice.range == data.range) {
      html += QStringLiteral("<strong aria-current=\"page\">%1</strong>").arg(label);
    } else {
      html += QStringLiteral("<a href=\"?%1&amp;r=%2\">%3</a>")
                  .arg(Escape(data.query), QString::fromUtf16(choice.word), label);
    }
  }
  return html + QStringLiteral("</nav>\n");
}

QString RangeText(ResultsRange range) {
  switch (range) {
    case ResultsRange::kToday:
      return QStringLiteral("今天");
    case ResultsRange::kWeek:
      return QStringLiteral("本周");
    case ResultsRange::kAll:
      break;
  }
  return QStringLiteral("全部");
}

QString Number(qint64 value) { return QString::number(value); }

// A bar of the average: from the zero line, which sits in the middle when
// the class has a negative average. Whole units of a 1000-wide box, so a page
// of many students formats no fractions.
QString AverageBar(double average, double largest, bool negative) {
  const int zero = negative ? 500 : 0;
  const int room = negative ? 500 : 1000;
  const int length =
      largest > 0 ? static_cast<int>(std::lround(std::abs(average) / largest * room)) : 0;
  const int x = average < 0 ? zero - length : zero;
  return QStringLiteral(
             "<svg viewBox=\"0 0 1000 100\" width=\"100%\" height=\"12\" "
             "preserveAspectRatio=\"none\" aria-hidden=\"true\"><rect x=\"") +
         Number(x) + QStringLiteral("\" y=\"10\" width=\"") + Number(length) +
         QStringLiteral("\" height=\"80\" fill=\"") +
         (average < 0 ? QStringLiteral("#d9534f") : QStringLiteral("#4a90d9")) +
         QStringLiteral("\"/></svg>");
}

// The weekly averages of the trend weeks as a line, on the class's scale
// (a 700 x 200 box in whole units).
QString TrendLine(const StudentSummary& student, const QStringList& week_labels, double low,
                  double high) {
  constexpr int kWidth = 700, kHeight = 200, kPad = 25;
  QString points;
  QString dots;
  QString titles;
  for (int week = 0; week < kTrendWeeks; ++week) {
    const WeekTotal& total = student.weeks[static_cast<size_t>(week)];
    if (total.count == 0) continue;
    const double average = total.sum / static_cast<double>(total.count);
    const int x = kPad + week * (kWidth - 2 * kPad) / (kTrendWeeks - 1);
    const double share = high > low ? (average - low) / (high - low) : 0.5;
    const int y = kHeight - kPad - static_cast<int>(std::lround(share * (kHeight - 2 * kPad)));
    const QString at = Number(x) + u',' + Number(y);
    if (!points.isEmpty()) points += u' ';
    points += at;
    dots += QStringLiteral("<circle cx=\"") + Number(x) + QStringLiteral("\" cy=\"") + Number(y) +
            QStringLiteral("\" r=\"16\"/>");
    if (!titles.isEmpty()) titles += u'；';
    titles += week_labels[week] + AverageText(total.sum, total.count) + u'（' +
              Number(total.count) + QStringLiteral("次）");
  }
  if (titles.isEmpty()) return QStringLiteral("<span class=\"none\">—</span>");
  return QStringLiteral(
             "<svg viewBox=\"0 0 700 200\" width=\"100%\" role=\"img\" "
             "aria-label=\"近8周平均分\"><title>") +
         titles + QStringLiteral("</title><polyline points=\"") + points +
         QStringLiteral(
             "\" fill=\"none\" stroke=\"#4a90d9\" stroke-width=\"14\"/>"
             "<g fill=\"#2a6cb0\">") +
         dots + QStringLiteral("</g></svg>");
}

double AverageOf(const StudentSummary& s) { return s.sum / static_cast<double>(s.count); }

QString StudentsTable(const ClassSummary& summary, const QStringList& week_labels) {
  // Highest average first; the never scored last, in class order.
  std::vector<const StudentSummary*> order;
  for (const StudentSummary& s : summary.students) order.push_back(&s);
  std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
    if ((a->count > 0) != (b->count > 0)) return a->count > 0;
    if (a->count == 0) return false;
    const double left = AverageOf(*a), right = AverageOf(*b);
    if (left != right) return left > right;
    return a->count > b->count;
  });
  // The trend lines share the class's range of weekly averages, so a
  // student's line is read against the class.
  double largest = 0, low = std::numeric_limits<double>::max(), high = -low;
  bool negative = false;
  for (const StudentSummary* s : order) {
    if (s->count > 0) {
      largest = std::max(largest, std::abs(AverageOf(*s)));
      negative = negative || AverageOf(*s) < 0;
    }
    for (const WeekTotal& week : s->weeks) {
      if (week.count == 0) continue;
      const double average = week.sum / static_cast<double>(week.count);
      low = std::min(low, average);
      high = std::max(high, average);
    }
  }
  QString html;
  html.reserve(1200 * static_cast<qsizetype>(summary.students.size()) + 200);
  html += QStringLiteral(
              "<div class=\"scroll\"><table class=\"students\"><tr><th>名次</th><th>姓名</th>"
              "<th>平均分</th><th>图示</th><th>次数</th><th>近%1周</th></tr>\n")
              .arg(kTrendWeeks);
  int rank = 0;
  double previous = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    const StudentSummary& s = *order[i];
    html += QStringLiteral("<tr class=\"student\">");
    if (s.count > 0) {
      const double average = AverageOf(s);
      if (i == 0 || average != previous) rank = static_cast<int>(i) + 1;
      previous = average;
      html += Cell(QString::number(rank), true) + Cell(s.name) +
              Cell(AverageText(s.sum, s.count), true) + QStringLiteral("<td class=\"bar\">") +
              AverageBar(average, largest, negative) + QStringLiteral("</td>") +
              Cell(QString::number(s.count), true);
    } else {
      html += QStringLiteral("<td></td>") + Cell(s.name) +
              QStringLiteral(
                  "<td class=\"num none\">—</td><td class=\"bar\"></td>"
                  "<td class=\"num\">0</td>");
    }
    html += QStringLiteral("<td class=\"trend\">") + TrendLine(s, week_labels, low, high) +
            QStringLiteral("</td></tr>\n");
  }
  return html + QStringLiteral("</table></div>\n");
}

// The period's scores of each group of the class's current division.
QString GroupsTable(const ClassSummary& summary) {
  struct Group {
    int index = 0;
    int members = 0;
    qint64 count = 0;
    double sum = 0;
  };
  std::map<int, Group> groups;
  for (const StudentSummary& s : summary.students) {
    Group& group = groups[s.group];
    group.index = s.group;
    ++group.members;
    group.count += s.count;
    group.sum += s.sum;
  }
  if (groups.size() < 2) {
    return QStringLiteral("<p class=\"note\">本班尚未分组。</p>\n");
  }
  std::vector<Group> ranked;
  for (const auto& [index, group] : groups) ranked.push_back(group);
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const Group& a, const Group& b) { return a.sum > b.sum; });
  QString html = QStringLiteral(
      "<div class=\"scroll\"><table class=\"groups\"><tr><th>名次</th><th>小组</th><th>人数</th>"
      "<th>次数</th><th>总分</th><th>平均分</th></tr>\n");
  for (size_t i = 0; i < ranked.size(); ++i) {
    const Group& g = ranked[i];
    const int rank =
        1 + static_cast<int>(std::count_if(ranked.begin(), ranked.end(),
                                           [&](const Group& other) { return other.sum > g.sum; }));
    html += QStringLiteral("<tr class=\"group\">") + Cell(QString::number(rank), true) +
            Cell(QStringLiteral("第%1组").arg(g.index + 1)) +
            Cell(QString::number(g.members), true) + Cell(QString::number(g.count), true) +
            Cell(Rounded(g.sum), true) +
            (g.count > 0 ? Cell(AverageText(g.sum, g.count), true)
                         : QStringLiteral("<td class=\"num none\">—</td>")) +
            QStringLiteral("</tr>\n");
  }
  return html + QStringLiteral("</table></div>\n");
}

}  // namespace

QString RenderResultsPage(const ResultsPageData& data) {
  // Teachers often register as "王老师"; only a bare name gets the title added.
  QString greeting = data.teacher_name.trimmed();
  if (!greeting.endsWith(QStringLiteral("老师"))) greeting += QStringLiteral("老师");
  QString body = QStringLiteral("<p>%1，以下是最近上传的%2条计分。</p>\n")
                     .arg(Escape(greeting))
                     .arg(data.latest.size());
  body += LatestTable(data.latest);
  body += QStringLiteral(
              "<p class=\"download\"><a href=\"?%1&amp;csv=1\" download>下载这些计分（CSV）</a>"
              "</p>\n")
              .arg(Escape(data.query));
  if (data.classes.empty()) return Page(u"上传结果", body);
  body += RangeLinks(data);
  const QString range = RangeText(data.range);
  QStringList week_labels;
  for (const QDate& start : data.week_starts) {
    week_labels.append(start.toString(QStringLiteral("M月d日起：")));
  }
  for (const ClassSummary& c : data.classes) {
    body += QStringLiteral("<section class=\"class\"><h2>%1 · 平均分（%2）</h2>\n")
                .arg(Escape(c.name), range);
    body += StudentsTable(c, week_labels);
    body += QStringLiteral("<h3>小组总分（%1）</h3>\n").arg(range);
    body += GroupsTable(c);
    body += QStringLiteral("</section>\n");
  }
  body += QStringLiteral(
              "<p class=\"note\">平均分按所选时间范围计算，“—”表示该范围内没有计分；"
              "走势为近%1周每周的平均分。</p>\n")
              .arg(kTrendWeeks);
  return Page(u"上传结果", body);
}

QString RenderMessagePage(QStringView title, QStringView message) {
  return Page(title, QStringLiteral("<p>%1</p>\n").arg(Escape(message)));
}

QString RenderServiceHome() {
  return Page(u"Zorvanix 计分服务",
              QStringLiteral("<p>这里是 Zorvanix 点名计分程序使用的计分服务。</p>\n"
                             "<p>请在教室电脑上的 Zorvanix 程序中登录，管理班级、学生、课题和计分。"
                             "上传计分后可在程序中打开本服务的结果页面。</p>\n"));
}

QString RenderVendorHome(const QString& version) {
  return Page(u"Zorvanix",
              QStringLiteral("<p>Zorvanix：课堂点名与计分工具。</p>\n<p>当前版本：%1</p>\n"
                             "<p><a href=\"/update.php?sort=Pellory\">下载最新版本</a></p>\n")
                  .arg(Escape(version)));
}

QString RenderUpdatePage(const QString& version) {
  return Page(u"Zorvanix 更新",
              QStringLiteral("<p>最新版本：%1</p>\n"
                             "<p>请联系学校的信息管理员获取新版本的安装包。</p>\n")
                  .arg(Escape(version)));
}

}  // namespace zorvanix::server
