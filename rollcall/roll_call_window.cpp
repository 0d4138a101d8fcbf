#include "rollcall/roll_call_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTimer>

#include "core/cache_file.h"
#include "rollcall/draw_panel.h"
#include "rollcall/form_layout.h"
#include "rollcall/group_stats_panel.h"
#include "rollcall/group_upload.h"
#include "rollcall/lesson_keys.h"
#include "rollcall/manual_pick_panel.h"
#include "rollcall/name_search_box.h"
#include "rollcall/projector_view.h"
#include "rollcall/score_upload.h"
#include "rollcall/startup_checks.h"
#include "rollcall/status_panels.h"
#include "rollcall/student_scoring.h"
#include "rollcall/topic_criteria.h"
#include "rollcall/upload_panel.h"

namespace zorvanix {
namespace {

using namespace layout;

// Hidden side panels are shown in the draw panel's place.
void PlaceSidePanel(QWidget* panel) {
  panel->setGeometry(PxRect(kSidePanelLeft, kSidePanelTop, kWindowWidth - 2 * kSidePanelLeft,
                            kWindowHeight - 2 * kSidePanelTop));
}

}  // namespace

RollCallWindow::RollCallWindow(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Zorvanix"));
  // Above every normal window, so it stays in reach during the lesson.
  setWindowFlag(Qt::WindowStaysOnTopHint);

  draw_ = new DrawPanel(this);
  upload_ = new UploadPanel(this);
  stats_ = new GroupStatsPanel(this);
  manual_ = new ManualPickPanel(this);
  for (QWidget* panel : upload_->Frames() + stats_->Frames() + QList<QWidget*>{manual_}) {
    PlaceSidePanel(panel);
  }
  status_ = new StatusPanels(this);
  score_upload_ = new ScoreUpload(context_, *upload_);
  new GroupUpload(context_, *manual_, class_name_);
  drawing_ = new DrawSession(*draw_, pools_, *context_.cache, this);
  scoring_ = new StudentScoring(context_, *draw_, *drawing_, *upload_, class_name_, this);
  connect(drawing_, &DrawSession::Starting, scoring_, &StudentScoring::ShowTopicCriteria);
  new LessonKeys(context_, *this, *draw_, *score_upload_, *scoring_);
  // F11 and "投影": the name full screen, following every roll step.
  projector_ = new ProjectorView(*this);
  connect(drawing_, &DrawSession::Shown, projector_, &ProjectorView::ShowStudent);
  connect(draw_, &DrawPanel::ProjectorPressed, projector_, &ProjectorView::Toggle);

  second_timer_ = new QTimer(this);
  second_timer_->setObjectName(QStringLiteral("Timer2"));
  second_timer_->setInterval(1000);
  connect(second_timer_, &QTimer::timeout, this, &RollCallWindow::SecondTick);

  setFixedSize(Px(kWindowWidth), Px(kWindowHeight));
  ConnectDrawPanel();
  ConnectSidePanels();
  ShowTopicCriteria();
  status_->setGeometry(0, Px(kWindowHeight - kStatusBarHeight), Px(kWindowWidth),
                       Px(kStatusBarHeight));
  status_->SetUpRollCall(width(), ProgramVersionText(), context_.config.vendor_site);
  second_timer_->start();
}

RollCallWindow::~RollCallWindow() = default;

void RollCallWindow::ConnectDrawPanel() {
  connect(draw_, &DrawPanel::DrawPressed, this, &RollCallWindow::DrawPressed);
  connect(draw_, &DrawPanel::ClassChosen, this, &RollCallWindow::ChooseClass);
  connect(draw_, &DrawPanel::TopicChosen, this, &RollCallWindow::TopicChosen);
  connect(draw_, &DrawPanel::TopicTyped, this, &RollCallWindow::TopicTyped);
  connect(&draw_->Search(), &NameSearchBox::SearchWanted, this, &RollCallWindow::SearchNames);
  connect(&draw_->Search(), &NameSearchBox::HitChosen, this, &RollCallWindow::PickSearchHit);
  connect(draw_, &DrawPanel::UserPressed, this, [this] {
    hide();
    emit LoginRequested();
  });
  connect(draw_, &DrawPanel::ManagePressed, this, [this] { emit ManagementRequested(); });
  connect(draw_, &DrawPanel::UploadPressed, this, &RollCallWindow::OpenUploadPanel);
  connect(draw_, &DrawPanel::FoldWanted, this, &RollCallWindow::Fold);
  connect(draw_, &DrawPanel::UnfoldWanted, this, &RollCallWindow::Unfold);
  connect(draw_, &DrawPanel::StopwatchToggled, this, [this] { stopwatch_.Toggle(); });
}

void RollCallWindow::ConnectSidePanels() {
  connect(upload_, &UploadPanel::BackPressed, this, &RollCallWindow::ShowDrawPanel);
  connect(upload_, &UploadPanel::GroupStatisticsPressed, this,
          &RollCallWindow::ShowGroupStatistics);
  connect(upload_->operation_password, &QLineEdit::textChanged, this,
          [this](const QString& typed) { context_.session->SetOperationPassword(typed); });
  connect(stats_, &GroupStatsPanel::BackPressed, upload_, &UploadPanel::Reopen);
  connect(manual_, &ManualPickPanel::TabChosen, this, &RollCallWindow::ShowManualTab);
  connect(manual_, &ManualPickPanel::BackPressed, this, &RollCallWindow::ShowDrawPanel);
  connect(manual_, &ManualPickPanel::NamePicked, this, &RollCallWindow::PickFromPanelList);
  // One password for both uploads: what is typed on the group tab is the
  // upload panel's too (the tab switch copies it back).
  connect(manual_, &ManualPickPanel::PasswordTyped, upload_, &UploadPanel::SetPassword);
  connect(status_, &StatusPanels::UpdateWanted, this,
          [this] { context_.shell->OpenUrl(context_.service->VendorUpdateUrl()); });
  connect(status_, &StatusPanels::StopwatchToggled, this, [this] { stopwatch_.Toggle(); });
  connect(status_, &StatusPanels::VendorSiteWanted, this,
          [this] { context_.shell->OpenUrl(context_.service->VendorHomeUrl()); });
}

// --- Other windows ------------------------------------------------------------

void RollCallWindow::RefreshMainWindowFromCache(CacheRefresh mode) {
  const QString user = context_.session->CurrentUser();
  setWindowTitle(QStringLiteral("Zorvanix [") + user + u']');
  CacheFile& cache = *context_.cache;
  if (mode == CacheRefresh::kOnline) context_.service->DownloadServerRecord(user, cache);

  draw_->SetClasses(cache.ClassNames());
  const TopicChoices topics = ReadTopicChoices(cache);
  draw_->SetTopics(topics.names, topics.shown);
  TopicTyped(topics.shown);

  drawing_->Cancel();
  drawing_->ForgetStudent();
  pools_.Clear();
  draw_->CloseDrawButtons();
}

void RollCallWindow::ShowTopicCriteria() { scoring_->ShowTopicCriteria(); }

void RollCallWindow::EnableManageButton() { draw_->SetManageEnabled(true); }

QString RollCallWindow::OperationPassword() const { return context_.session->OperationPassword(); }

QStringList RollCallWindow::PendingScores() const { return upload_->Scores().Lines(); }

// --- Class, pools and drawing ------------------------------------------------

void RollCallWindow::ChooseClass() {
  drawing_->Cancel();
  drawing_->ForgetStudent();
  class_name_ = draw_->ClassName();
  pools_.Build(StudentRowsFromText(context_.cache->ReadTaggedLines(RosterTag(class_name_))));
  manual_->FillGroups(pools_);
  draw_->SetManualPickEnabled(true);
  draw_->OpenDrawing(pools_);
  draw_->Search().Clear();
}

void RollCallWindow::DrawPressed(int index) {
  if (index == kManualPickButton) {
    OpenManualPick();
  } else {
    drawing_->Press(index);
  }
}

void RollCallWindow::PickSearchHit(const QString& name) {
  drawing_->EndForPick();
  draw_->EnableScoring(true);
  draw_->ClearScore();
  if (!name.isEmpty()) draw_->ShowName(name);
  drawing_->TakeShownName();
  pools_.RecordPickByName(drawing_->Student());
  ShowTopicCriteria();
  draw_->Search().Clear();
  draw_->FocusScore();
}

// Unlike a search hit, a name picked here stays in its pools.
void RollCallWindow::PickFromPanelList(const QString& name) {
  drawing_->EndForPick();
  draw_->EnableScoring(true);
  draw_->ClearScore();
  draw_->ShowName(name);
  drawing_->TakeShownName();
  manual_->hide();
  ShowDrawPanel();
  ShowTopicCriteria();
  // The score is what comes next.
  draw_->FocusScore();
}

void RollCallWindow::TopicChosen() {
  upload_->SetTopic(draw_->Topic());
  ShowTopicCriteria();
}

void RollCallWindow::TopicTyped(const QString& text) {
  upload_->SetTopic(text);
  if (!text.trimmed().isEmpty()) {
    ShowTopicCriteria();
  } else {
    scoring_->ClearCriteria();
  }
}

void RollCallWindow::SearchNames(const QString& text) {
  const auto cache = context_.cache->Index();
  draw_->Search().ShowHits(
      name_search_.Entries(pools_.Pool(kDrawAll), text, cache, draw_->ClassName()));
}

QString RollCallWindow::DailyLogPath() const { return scoring_->DailyLogPath(); }

// --- Panels ----------------------------------------------------------------------

void RollCallWindow::ShowDrawPanel() {
  draw_->show();
  SetStatusBarShown(true);
}

void RollCallWindow::OpenUploadPanel() {
  upload_->Open(score_upload_->UploadAllowed());
  draw_->hide();
  SetStatusBarShown(false);
}

void RollCallWindow::OpenManualPick() {
  manual_->show();
  draw_->hide();
  SetStatusBarShown(false);
  ShowManualTab();
}

// The tab switch of the manual-pick panel. A draw still rolling ends here,
// without a result, as a pick from the panel would end it.
void RollCallWindow::ShowManualTab() {
  drawing_->EndForPick();
  manual_->ShowTab(pools_.TabContents(manual_->CurrentTab()));
  manual_->SetPassword(upload_->Password());
}

void RollCallWindow::ShowGroupStatistics() {
  upload_->Close();
  stats_->Open(upload_->Geometry(),
               GroupStatistics(upload_->Scores().Lines(), manual_->Division().Groups()));
}

void RollCallWindow::SetStatusBarShown(bool shown) {
  status_bar_wanted_ = shown;
  status_->setVisible(shown && !folded_);
}

void RollCallWindow::Fold() {
  folded_ = true;
  setFixedSize(Px(kFoldedWidth), Px(kFoldedHeight));
  draw_->SetFolded(true);
  status_->hide();
}

void RollCallWindow::Unfold() {
  folded_ = false;
  setFixedSize(Px(kWindowWidth), Px(kWindowHeight));
  draw_->SetFolded(false);
  status_->setVisible(status_bar_wanted_);
  ShowTopicCriteria();
}

// --- The once-a-second tick and closing ---------------------------------------

// The clock check and the version check go out once, on the first second.
void RollCallWindow::SecondTick() {
  const bool first = stopwatch_.Tick();
  if (stopwatch_.Running()) status_->ShowStopwatch(stopwatch_.HoursMinutesSeconds());
  draw_->SetStopwatchText(stopwatch_.MinutesSeconds());
  if (first) RunStartupChecks(context_, this, *status_);
}

void RollCallWindow::closeEvent(QCloseEvent* event) {
  if (!ending_ && !score_upload_->MayLeavePending()) {
    event->ignore();
    return;
  }
  ending_ = true;
  drawing_->Cancel();
  second_timer_->stop();
  HideOtherWindows();
  event->accept();
  emit ProgramEnding();
}

// Closing this window ends the program: the other windows go without running
// their own close handling (which would bring this window back).
void RollCallWindow::HideOtherWindows() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window != this && window->isVisible()) window->hide();
  }
}

}  // namespace zorvanix
