// The roll-call window's side of the upload panel and its neighbours: group
// statistics, the name search above the search box, picks from the manual
// panel, the group tab's upload, and the start-up checks.
#include <QKeyEvent>
#include <QStyle>
#include <algorithm>
#include <cmath>

#include "rollcall/draw_panel.h"
#include "rollcall/form_layout.h"
#include "rollcall/group_statistics.h"
#include "rollcall/group_stats_panel.h"
#include "rollcall/manual_pick_panel.h"
#include "rollcall/roll_call_window.h"
#include "rollcall/score_upload.h"
#include "rollcall/startup_checks.h"
#include "rollcall/status_panels.h"
#include "rollcall/upload_panel.h"

namespace zorvanix {
namespace {

using namespace layout;

// Wide enough for a name with its count and average.
constexpr int kList2Width = 2700;

}  // namespace

void RollCallWindow::ConnectSubmissionPanels() {
  score_upload_ = new ScoreUpload(context_, *upload_);
  connect(upload_->group_statistics, &QPushButton::clicked, this,
          &RollCallWindow::ShowGroupStatistics);
  connect(stats_->ranking, &QListWidget::itemDoubleClicked, this,
          [this](const QListWidgetItem* item) { stats_->ShowDetail(item->text()); });

  connect(draw_->search_box, &QLineEdit::textChanged, this, &RollCallWindow::SearchNames);
  // Each hit is measured (a class is a few dozen names at most), so a long
  // entry widens the list's range and scrolls sideways.
  draw_->search_hits->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  draw_->search_hits->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  draw_->search_hits->setTextElideMode(Qt::ElideNone);
  draw_->search_box->installEventFilter(this);

  for (QListWidget* list : manual_->pool_lists) {
    connect(list, &QListWidget::itemDoubleClicked, this, &RollCallWindow::PickFromPanelList);
  }
  for (QListWidget* list : manual_->group_lists) {
    connect(list, &QListWidget::itemDoubleClicked, this, &RollCallWindow::PickFromPanelList);
  }
  // One password for both uploads: what is typed on the group tab is the
  // upload panel's too (the tab switch copies it back).
  connect(manual_->group_password, &QLineEdit::textChanged, upload_->operation_password,
          &QLineEdit::setText);
  connect(manual_->upload_groups, &QPushButton::clicked, this, &RollCallWindow::UploadGroups);
}

// --- Group statistics ----------------------------------------------------------

void RollCallWindow::ShowGroupStatistics() {
  stats_->frame->setGeometry(upload_->frame->geometry());
  stats_->frame->show();
  stats_->frame->raise();
  upload_->frame->hide();
  stats_->ShowStatistics(GroupStatistics(upload_->PendingLines(), manual_->GroupLists()));
}

// --- Name search -----------------------------------------------------------------

void RollCallWindow::SearchNames(const QString& text) {
  QListWidget* hits = draw_->search_hits;
  if (text.isEmpty()) {
    hits->hide();
    return;
  }
  hits->clear();
  const auto cache = context_.cache->Index();
  const QStringList entries =
      name_search_.Entries(pools_.Pool(kDrawAll), text, cache, draw_->class_choice->currentText());
  if (entries.isEmpty()) {
    hits->hide();
    return;
  }
  hits->addItems(entries);
  PlaceSearchHits();
  hits->show();
  hits->raise();
}

// The list grows upward from the line just above the search box, as many
// rows high as HitListRows allows for its hits, measured in the rows the
// list really draws; a sideways bar, when an entry is wider than the list,
// comes on top so that it hides no row.
void RollCallWindow::PlaceSearchHits() {
  QListWidget* hits = draw_->search_hits;
  const int count = hits->count();
  const int row = std::max(1, hits->sizeHintForRow(0));
  int widest = 0;
  for (int r = 0; r < count; ++r) {
    widest = std::max(widest, hits->sizeHintForIndex(hits->model()->index(r, 0)).width());
  }
  const int frame = 2 * hits->frameWidth();
  const int bar = hits->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, hits);
  const int width = Px(kList2Width);
  const int rows_height = static_cast<int>(std::lround(HitListRows(count) * row));
  const bool upright_bar = count * row > rows_height;
  const bool sideways_bar = widest > width - frame - (upright_bar ? bar : 0);
  const int bottom = Px(kList2Bottom + kFrame5Offset);
  // Never above the top of the draw panel.
  const int height = std::min(rows_height + frame + (sideways_bar ? bar : 0), bottom);
  hits->setGeometry(Px(kList2Left + kFrame5Offset), bottom - height, width, height);
}

void RollCallWindow::SearchBoxKeyReleased(int key) {
  QListWidget* hits = draw_->search_hits;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Up:
    case Qt::Key_Down:
      SearchNames(draw_->search_box->text());
      if (hits->count() > 0) {
        hits->setFocus();
        hits->setCurrentRow(0);
      }
      break;
    case Qt::Key_Escape:
      hits->hide();
      break;
    default:
      break;
  }
}

// --- Picks from the manual-pick panel -------------------------------------------

// Unlike a search hit, a name picked here stays in its pools.
void RollCallWindow::PickFromPanelList(const QListWidgetItem* item) {
  EndDrawForPick();
  draw_->score_choice->setEnabled(true);
  draw_->criteria->setEnabled(true);
  ClearScoreChoice();
  draw_->name_display->setText(item ? item->text() : QString());
  current_student_ = draw_->name_display->text();
  manual_->hide();
  ShowDrawPanel();
  ShowTopicCriteria();
  // The score is what comes next.
  draw_->score_choice->setFocus();
}

// --- The group upload -------------------------------------------------------------

void RollCallWindow::UploadGroups() {
  const QString password = manual_->group_password->text();
  if (password.isEmpty()) {
    context_.prompter->ShowMessage(QStringLiteral("提示"), QStringLiteral("请输入操作密码！"),
                                   MessageIcon::kWarning);
    return;
  }
  // The window stays live during the wait; a second press sends nothing.
  if (group_upload_waiting_) return;
  group_upload_waiting_ = true;
  const PostResult result = context_.service->UploadGroups(
      class_name_, context_.session->CurrentUser(), password, manual_->GroupLists());
  group_upload_waiting_ = false;
  if (result.IsSuccess()) {
    // The cache is fetched again, so choosing the class later shows the
    // division just uploaded rather than the one of the sign-in.
    if (context_.service->DownloadServerRecord(context_.session->CurrentUser(), *context_.cache)) {
      roster_text_ = context_.cache->ReadTaggedLines(RosterTag(class_name_));
    }
    context_.prompter->ShowMessage(QStringLiteral("完成"), QStringLiteral("上传成功！"),
                                   MessageIcon::kInformation);
  } else if (result.IsRefusal()) {
    context_.prompter->ShowMessage(QStringLiteral("错误"),
                                   result.text + QStringLiteral("\r\n上传错误！"),
                                   MessageIcon::kWarning);
  } else {
    context_.prompter->ShowMessage(QStringLiteral("错误"),
                                   QStringLiteral("网络异常！请检查网络，然后重新上传！"),
                                   MessageIcon::kWarning);
  }
}

// --- Start-up checks ------------------------------------------------------------

// Both run once, a second after start-up; the teacher can work while they
// wait, and neither blocks anything.
// Both requests go out on the first tick, the clock's first, and each is
// answered whenever its reply comes in: the tick itself never waits, so the
// stopwatch, clicks and a rolling draw go on while a slow service keeps them.
void RollCallWindow::RunStartupChecks() {
  if (!context_.config.startup_checks) return;
  CheckClockAgainstServer();
  CheckServerVersion();
}

void RollCallWindow::CheckClockAgainstServer() {
  context_.service->ServerTimeAsync(this, [this](const QString& reply) {
    // Compared with the PC's clock as it stands when the answer is in.
    if (const auto warning = ClockWarning(reply, context_.clock->Now())) {
      context_.prompter->ShowNotice(ClockWarningTitle(), *warning, MessageIcon::kWarning);
    }
  });
}

void RollCallWindow::CheckServerVersion() {
  status_->SetText(2, VersionCheckingText());
  context_.service->VendorVersionAsync(this, [this](const QString& reply) {
    if (const auto text = ServerVersionText(reply)) status_->SetText(2, *text);
  });
}

}  // namespace zorvanix
