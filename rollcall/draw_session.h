// One draw at a time: the pool that rolls (its button reads "暂停"), the
// timer that shows a random name of it every 5 ms, the student the last
// draw or pick left on the name box, and the two counts shown under that
// name. The window decides when a draw starts, stops or gives way to a pick.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "core/cache_file.h"

class QTimer;

namespace zorvanix {

class DrawPanel;
class DrawPools;

class DrawSession : public QObject {
  Q_OBJECT

 public:
  DrawSession(DrawPanel& panel, DrawPools& pools, const CacheFile& cache, QObject* parent);

  // A press on draw button index: starts the pool rolling, or stops it when
  // it is the one that rolls.
  void Press(int index);
  // A running draw ends without a result: its button reads as before and
  // nobody is drawn (the pools are about to change, or a pick comes).
  void Cancel();
  // The same before a pick, and the other draw buttons come back.
  void EndForPick();
  bool Rolling() const { return rolling_pool_.has_value(); }

  // Timer1's step: a random name of the rolling pool on the name box.
  void RollTick();

  // The student drawn or picked last and not yet given a plain score (NewStu).
  const QString& Student() const { return student_; }
  // The name now on the name box is the current student.
  void TakeShownName();
  // A plain score was given: nobody is current until the next draw or pick.
  void ScoreGiven() { student_.clear(); }
  // The name, the two counts and NewStu go (another class, nobody drawn).
  void ForgetStudent();

 signals:
  // A draw begins: the criteria are offered afresh to whoever it draws.
  void Starting();
  // The name box shows another name (each roll step too), with the average
  // and the number of scores shown under it.
  void Shown(const QString& name, const QString& average, const QString& count);

 private:
  void Stop(int index);
  // The average and the number of scores of the name shown.
  void ShowCounts();

  DrawPanel& panel_;
  DrawPools& pools_;
  const CacheFile& cache_;
  QTimer* roll_timer_ = nullptr;  // Timer1
  std::optional<int> rolling_pool_;
  std::shared_ptr<const TaggedLineIndex> rolling_index_;  // the cache as the draw began
  int award_ = 0;            // index in the rolling pool of the name shown
  bool roll_shown_ = false;  // a roll step showed a name since the draw began
  QString student_;
};

}  // namespace zorvanix
