// Frame8, the group ranking of the pending scores, and Frame1, the detail of
// one group. Built hidden; the upload panel opens them.
#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "controls/list_text_width.h"
#include "rollcall/group_statistics.h"

namespace zorvanix {

class GroupStatsPanel : public QObject {
  Q_OBJECT

 public:
  explicit GroupStatsPanel(QWidget* window);

  // List9: one line per group with points, in group order.
  void ShowStatistics(const QList<GroupStanding>& standings);
  // Frame1 in Frame8's place, with the group of one List9 line.
  void ShowDetail(const QString& statistics_line);

  QGroupBox* frame = nullptr;           // Frame8
  ExtentListWidget* ranking = nullptr;  // List9
  QPushButton* back = nullptr;          // Command28

  QFrame* detail = nullptr;            // Frame1
  QLabel* rank = nullptr;              // Label22
  QLabel* score = nullptr;             // Label23
  QLineEdit* contributors = nullptr;   // Text7
  QLineEdit* members = nullptr;        // Text12
  QPushButton* detail_back = nullptr;  // Command2
};

}  // namespace zorvanix
