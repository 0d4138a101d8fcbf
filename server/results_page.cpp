#include "server/results_page.h"

#include <cmath>

#include "core/numbers.h"
#include "server/record_text.h"

namespace zorvanix::server {
namespace {

QString Escape(QStringView text) { return text.toString().toHtmlEscaped(); }

QString Page(QStringView title, const QString& body) {
  return QStringLiteral(
             "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"UTF-8\">"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
             "<title>%1</title><style>"
             "body{font-family:sans-serif;margin:2em;color:#222}"
             "table{border-collapse:collapse;margin:1em 0}"
             "th,td{border:1px solid #ccc;padding:.3em .6em;text-align:left}"
             "th{background:#f0f0f0}td.num{text-align:right}"
             "</style></head><body>\n<h1>%1</h1>\n%2</body></html>\n")
      .arg(Escape(title), body);
}

QString Cell(QStringView text, bool number = false) {
  return (number ? QStringLiteral("<td class=\"num\">") : QStringLiteral("<td>")) + Escape(text) +
         QStringLiteral("</td>");
}

QString LatestTable(const std::vector<ScoreListRow>& latest) {
  QString html = QStringLiteral(
      "<table><tr><th>时间</th><th>班级</th><th>姓名</th><th>计分</th><th>课题</th>"
      "<th>说明</th></tr>\n");
  for (const ScoreListRow& row : latest) {
    html += QStringLiteral("<tr>") + Cell(row.scored_at) + Cell(row.class_name) +
            Cell(row.student) + Cell(ShortestDecimal(row.value), true) + Cell(row.topic) +
            Cell(row.note) + QStringLiteral("</tr>\n");
  }
  return html + QStringLiteral("</table>\n");
}

QString TotalsTable(const std::vector<StudentTotal>& students) {
  QString html =
      QStringLiteral("<table><tr><th>姓名</th><th>次数</th><th>总分</th><th>平均分</th></tr>\n");
  for (const StudentTotal& s : students) {
    html += QStringLiteral("<tr>") + Cell(s.student) + Cell(QString::number(s.count), true) +
            Cell(ShortestDecimal(std::round(s.sum * 100) / 100), true) +
            Cell(AverageText(s.sum, s.count), true) + QStringLiteral("</tr>\n");
  }
  return html + QStringLiteral("</table>\n");
}

}  // namespace

QString RenderTotalsChart(const std::vector<StudentTotal>& students) {
  constexpr int kRow = 22, kLabel = 110, kWidth = 360, kValue = 60;
  double largest = 0;
  bool negative = false;
  for (const StudentTotal& s : students) {
    largest = std::max(largest, std::abs(s.sum));
    negative = negative || s.sum < 0;
  }
  // With negative totals the zero line sits in the middle.
  const int zero = kLabel + (negative ? kWidth / 2 : 0);
  const double scale = largest > 0 ? (negative ? kWidth / 2 : kWidth) / largest : 0;
  const int height = static_cast<int>(students.size()) * kRow + 4;
  QString svg = QStringLiteral(
                    "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                    "role=\"img\" aria-label=\"总分\" font-size=\"13\">\n")
                    .arg(kLabel + kWidth + kValue)
                    .arg(height);
  for (int i = 0; i < static_cast<int>(students.size()); ++i) {
    const StudentTotal& s = students[static_cast<size_t>(i)];
    const int y = i * kRow + 2;
    const int length = static_cast<int>(std::lround(std::abs(s.sum) * scale));
    const int x = s.sum < 0 ? zero - length : zero;
    svg += QStringLiteral("<text x=\"0\" y=\"%1\">%2</text>").arg(y + 15).arg(Escape(s.student));
    svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"16\" fill=\"%4\"/>")
               .arg(x)
               .arg(y + 2)
               .arg(length)
               .arg(s.sum < 0 ? QStringLiteral("#d9534f") : QStringLiteral("#4a90d9"));
    svg += QStringLiteral("<text x=\"%1\" y=\"%2\">%3</text>\n")
               .arg(kLabel + kWidth + 4)
               .arg(y + 15)
               .arg(ShortestDecimal(std::round(s.sum * 100) / 100));
  }
  return svg + QStringLiteral("</svg>\n");
}

QString RenderResultsPage(const ResultsPageData& data) {
  // Teachers often register as "王老师"; only a bare name gets the title added.
  QString greeting = data.teacher_name.trimmed();
  if (!greeting.endsWith(QStringLiteral("老师"))) greeting += QStringLiteral("老师");
  QString body = QStringLiteral("<p>%1，以下是最近上传的%2条计分。</p>\n")
                     .arg(Escape(greeting))
                     .arg(data.latest.size());
  body += LatestTable(data.latest);
  for (const ClassTotals& c : data.classes) {
    body += QStringLiteral("<h2>%1 学生总分与平均分</h2>\n").arg(Escape(c.name));
    body += RenderTotalsChart(c.students);
    body += TotalsTable(c.students);
  }
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
