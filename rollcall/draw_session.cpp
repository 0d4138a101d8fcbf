#include "rollcall/draw_session.h"

#include <QTimer>
#include <chrono>

#include "core/numbers.h"
#include "rollcall/draw_panel.h"
#include "rollcall/draw_pools.h"

namespace zorvanix {
namespace {

// Seconds since midnight with their fraction, as the draw's seed.
quint64 TimeOfDaySeed() {
  using namespace std::chrono;
  const auto now = system_clock::now().time_since_epoch();
  return static_cast<quint64>(duration_cast<nanoseconds>(now).count() % 86'400'000'000'000LL);
}

}  // namespace

DrawSession::DrawSession(DrawPanel& panel, DrawPools& pools, const CacheFile& cache,
                         QObject* parent)
    : QObject(parent), panel_(panel), pools_(pools), cache_(cache) {
  roll_timer_ = new QTimer(this);
  roll_timer_->setObjectName(QStringLiteral("Timer1"));
  roll_timer_->setInterval(5);
  roll_timer_->setTimerType(Qt::PreciseTimer);
  connect(roll_timer_, &QTimer::timeout, this, &DrawSession::RollTick);
  connect(&panel_, &DrawPanel::NameShown, this, &DrawSession::ShowCounts);
}

void DrawSession::Press(int index) {
  if (rolling_pool_ == index) {
    Stop(index);
    return;
  }
  emit Starting();
  panel_.ShowRolling(index);
  panel_.ClearScore();
  rolling_pool_ = index;
  rolling_index_ = cache_.Index();
  roll_shown_ = false;
  roll_timer_->start();
  panel_.FocusDrawButton(index);
}

// Without this a draw would go on rolling over another class, or with every
// button disabled, with nothing left to stop it.
void DrawSession::Cancel() {
  if (rolling_pool_) panel_.ShowStopped(*rolling_pool_);
  roll_timer_->stop();
  rolling_index_.reset();
  rolling_pool_.reset();
}

void DrawSession::EndForPick() {
  if (!rolling_pool_) return;
  Cancel();
  panel_.ShowDrawButtons(pools_);
}

void DrawSession::RollTick() {
  if (!rolling_pool_) return;
  const QStringList& pool = pools_.Pool(*rolling_pool_);
  const int n = static_cast<int>(pool.size());
  award_ = RollIndex(UniformFromSeed(TimeOfDaySeed()), n);
  panel_.ShowName(n > 0 ? pool[award_] : QString());
  roll_shown_ = n > 0;
}

void DrawSession::Stop(int index) {
  Cancel();
  panel_.ClearScore();
  if (!roll_shown_) {
    // Stopped before any name was shown: no result, nobody leaves a pool,
    // and whatever the box showed before is not taken as drawn.
    ForgetStudent();
    panel_.OpenDrawing(pools_);
    return;
  }
  panel_.EnableScoring(true);
  TakeShownName();
  pools_.RecordDraw(index, award_, student_);
  panel_.OpenDrawing(pools_);
  panel_.FocusDrawButton(index);
}

void DrawSession::TakeShownName() { student_ = panel_.Name(); }

// A student drawn in one class is nobody in another.
void DrawSession::ForgetStudent() {
  student_.clear();
  panel_.ClearName();
}

void DrawSession::ShowCounts() {
  QString average, count;
  // While a draw rolls the cache as it was at the start serves every step, so
  // a step never goes to the file system.
  const auto index = roll_timer_->isActive() && rolling_index_ ? rolling_index_ : cache_.Index();
  if (index) {
    const auto lines = index->Find(StudentTag(panel_.ClassName(), panel_.Name()));
    if (!lines.empty()) {
      const QList<QStringView> fields = lines.front().split(u'\t');
      if (fields.size() > 5 && LeadingNumber(fields[5]) > 0) {
        average = fields[4].toString();
        count = fields[5].toString();
      }
    }
  }
  panel_.ShowCounts(average, count);
  emit Shown(panel_.Name(), average, count);
}

}  // namespace zorvanix
