// The HTML pages of the service: the results page teachers open after an
// upload, the service's home page and the maker's pages.
#pragma once

#include <QString>
#include <QStringView>
#include <vector>

#include "server/store.h"

namespace zorvanix::server {

struct ClassTotals {
  QString name;
  std::vector<StudentTotal> students;  // in class order
};

struct ResultsPageData {
  QString teacher_name;
  std::vector<ScoreListRow> latest;  // newest first
  std::vector<ClassTotals> classes;  // each class of those scores once
};

QString RenderResultsPage(const ResultsPageData& data);
// A horizontal bar per student: the student's total, negative ones to the left.
QString RenderTotalsChart(const std::vector<StudentTotal>& students);
QString RenderMessagePage(QStringView title, QStringView message);
QString RenderServiceHome();
QString RenderVendorHome(const QString& version);
QString RenderUpdatePage(const QString& version);

}  // namespace zorvanix::server
