// The roll-call window (Form1): the small always-on-top strip a teacher uses in
// every lesson. It shows one large student name, the thirteen draw buttons,
// the class, topic and score choices and a status bar; the upload, statistics
// and manual-pick panels take the draw panel's place when opened. The panels
// own their controls and announce what the teacher asks for; the draw itself
// (DrawSession), the uploads (ScoreUpload, GroupUpload) and the start-up
// checks live beside the window, which ties them to the pools, the cache and
// the scoring service.
#pragma once

#include <QString>
#include <QWidget>

#include "core/cache_file.h"
#include "platform/app_context.h"
#include "rollcall/draw_pools.h"
#include "rollcall/draw_session.h"
#include "rollcall/name_search.h"
#include "rollcall/stopwatch.h"

class QTimer;

namespace zorvanix {

class DrawPanel;
class UploadPanel;
class GroupStatsPanel;
class ManualPickPanel;
class ProjectorView;
class StatusPanels;
class ScoreUpload;
class StudentScoring;

// How RefreshMainWindowFromCache() finds the cache: downloaded just before
// (the login window did it), to be downloaded first (after a change in the
// management window), or as it is on disk (offline).
enum class CacheRefresh { kDownloaded, kOnline, kOffline };

class RollCallWindow : public QWidget {
  Q_OBJECT

 public:
  explicit RollCallWindow(AppContext& context, QWidget* parent = nullptr);
  ~RollCallWindow() override;

  // --- Used by the other windows -------------------------------------------
  // Caption "Zorvanix [user]"; kOnline downloads a fresh cache first;
  // refills the class and topic choices and forgets the current class.
  void RefreshMainWindowFromCache(CacheRefresh mode);
  // Shows the criteria of the topic in Combo3 in List1 and lays out the
  // right-hand side around the divider.
  void ShowTopicCriteria();
  // btnManage: only an online sign-in enables it.
  void EnableManageButton();
  // The operation password typed last in Text4 of the upload panel, as the
  // session shares it with the management window.
  QString OperationPassword() const;

  // --- State the panels and tests read ---------------------------------------
  const DrawPools& Pools() const { return pools_; }
  // The class chosen last (class_num).
  const QString& ClassName() const { return class_name_; }
  // The student drawn or picked last and not yet given a plain score (NewStu).
  const QString& CurrentStudent() const { return drawing_->Student(); }
  // The pending score lines of List4, in order.
  QStringList PendingScores() const;
  bool IsFolded() const { return folded_; }
  const Stopwatch& Watch() const { return stopwatch_; }
  // The daily log the next score of the current class goes to.
  QString DailyLogPath() const;

  // --- Timer ticks; public so a benchmark can drive them ----------------------
  // Timer1, every 5 ms while a draw rolls: show a random name of the pool.
  void RollTick() { drawing_->RollTick(); }
  // Timer2, every second: the stopwatch, and the start-up checks once.
  void SecondTick();

 signals:
  // The window was closed: the program ends.
  void ProgramEnding();
  // 用户: the window hid itself; the login window is due.
  void LoginRequested();
  // 后台: the management window is due (the window hides behind it).
  void ManagementRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ConnectDrawPanel();
  void ConnectSidePanels();

  // Drawing and the pools.
  void ChooseClass();
  void DrawPressed(int index);
  // A name from the search hits (leaves "未点") or from the manual-pick
  // panel (stays in its pools) is the current student.
  void PickSearchHit(const QString& name);
  void PickFromPanelList(const QString& name);
  void TopicChosen();
  void TopicTyped(const QString& text);
  void SearchNames(const QString& text);

  // Panels, folding, the status bar.
  void ShowDrawPanel();
  void OpenUploadPanel();
  void OpenManualPick();
  void ShowManualTab();
  void ShowGroupStatistics();
  void Fold();
  void Unfold();
  void SetStatusBarShown(bool shown);
  void HideOtherWindows();

  AppContext& context_;

  DrawPanel* draw_ = nullptr;
  UploadPanel* upload_ = nullptr;
  GroupStatsPanel* stats_ = nullptr;
  ManualPickPanel* manual_ = nullptr;
  ProjectorView* projector_ = nullptr;
  StatusPanels* status_ = nullptr;
  ScoreUpload* score_upload_ = nullptr;
  DrawSession* drawing_ = nullptr;
  StudentScoring* scoring_ = nullptr;
  QTimer* second_timer_ = nullptr;  // Timer2

  DrawPools pools_;     // lstKind 0..11 and the group lists
  QString class_name_;  // class_num
  Stopwatch stopwatch_;
  bool folded_ = false;
  bool status_bar_wanted_ = true;
  bool ending_ = false;
  NameSearch name_search_;
};

}  // namespace zorvanix
