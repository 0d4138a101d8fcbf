// Frame8, the group ranking of the pending scores, and Frame1, the detail of
// one group. Built hidden; the upload panel opens them. A double-click on a
// ranking line opens its detail and the detail's button comes back to the
// ranking; the ranking's own button announces that the teacher is done.
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

  // Frame8 at place, on top, with List9: one line per group with points, in
  // group order.
  void Open(const QRect& place, const QList<GroupStanding>& standings);
  QList<QWidget*> Frames() const { return {frame_, detail_}; }

 signals:
  // Command28: Frame8 closed, the upload panel is wanted back.
  void BackPressed();

 private:
  void ShowStatistics(const QList<GroupStanding>& standings);
  // Frame1 in Frame8's place, with the group of one List9 line.
  void ShowDetail(const QString& statistics_line);

  QGroupBox* frame_ = nullptr;           // Frame8
  ExtentListWidget* ranking_ = nullptr;  // List9

  QFrame* detail_ = nullptr;           // Frame1
  QLabel* rank_ = nullptr;             // Label22
  QLabel* score_ = nullptr;            // Label23
  QLineEdit* contributors_ = nullptr;  // Text7
  QLineEdit* members_ = nullptr;       // Text12
};

}  // namespace zorvanix
