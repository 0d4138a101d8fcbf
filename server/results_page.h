// The HTML pages of the service: the results page teachers open after an
// upload, the service's home page and the maker's pages.
#pragma once

#include <QString>
#include <QStringView>
#include <vector>

#include "server/results_report.h"
#include "server/store.h"

namespace zorvanix::server {

struct ResultsPageData {
  QString teacher_name;
  std::vector<ScoreListRow> latest;  // newest first
  std::vector<ClassSummary> classes;  // each class of those scores once
  ResultsRange range = ResultsRange::kAll;
  // "t=…&n=…&mp=…" as the address carried them, for the page's own links.
  QString query;
  std::array<QDate, kTrendWeeks> week_starts{};
};

// The n scores just uploaded, then per class the students by average with
// their counts and weekly trend, and the totals of the class's groups.
QString RenderResultsPage(const ResultsPageData& data);
QString RenderMessagePage(QStringView title, QStringView message);
QString RenderServiceHome();
QString RenderVendorHome(const QString& version);
QString RenderUpdatePage(const QString& version);

}  // namespace zorvanix::server
