// The roll-call window (Form1): the small always-on-top strip a teacher uses in
// every lesson. It shows one large student name, the thirteen draw buttons,
// the class, topic and score choices and a status bar; the upload, statistics
// and manual-pick panels take the draw panel's place when opened.
#pragma once

#include <QSet>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

#include "core/cache_file.h"
#include "platform/app_context.h"
#include "rollcall/draw_pools.h"
#include "rollcall/name_search.h"
#include "rollcall/stopwatch.h"

class QListWidgetItem;
class QTimer;

namespace zorvanix {

class DrawPanel;
class UploadPanel;
class GroupStatsPanel;
class ManualPickPanel;
class StatusPanels;
class ScoreUpload;

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
  const QString& CurrentStudent() const { return current_student_; }
  // The pending score lines of List4, in order.
  QStringList PendingScores() const;
  bool IsFolded() const { return folded_; }
  const Stopwatch& Watch() const { return stopwatch_; }
  // The daily log the next score of the current class goes to.
  QString DailyLogPath() const;

  // --- Timer ticks; public so a benchmark can drive them ----------------------
  // Timer1, every 5 ms while a draw rolls: show a random name of the pool.
  void RollTick();
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
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildStatusBar();
  void ConnectDrawPanel();
  void ConnectSidePanels();

  // Drawing and the pools.
  void ChooseClass();
  void DrawButtonClicked(int index);
  void StartDraw(int index);
  void StopDraw(int index);
  void RefreshDrawButtons();
  void CancelRunningDraw();
  void EndDrawForPick();
  void ForgetCurrentStudent();
  void ClearScoreChoice();
  void PickSearchHit();
  void UpdateNameDisplay();
  void FitNameFont(int width_twips);
  void CentreNameInBox();
  void ShowStudentCounts();

  // Topic and criteria layout.
  void TopicChosen();
  void TopicTextChanged(const QString& text);
  void LayOutCriteria(bool has_criteria);
  int InnerWidth() const;
  bool BeforeDividerMove(double position) const;
  void DividerMoved();

  // Scoring.
  void ScoreFromChoice();
  void ScoreFromCriterion();
  void RecordScore(const QString& line, const QDateTime& moment);

  // Panels, folding, stopwatch.
  void ShowDrawPanel();
  void OpenUploadPanel();
  void OpenManualPick();
  void ShowManualTab();
  void Fold();
  void Unfold();
  void SetStatusBarShown(bool shown);
  void ToggleStopwatch();
  void StatusPanelDoubleClicked(int panel);
  // The clock check and the version check, once, on the first second.
  void RunStartupChecks();
  void CheckClockAgainstServer();
  void CheckServerVersion();

  // The upload panel's neighbours: statistics, name search, manual picks and
  // the group tab.
  void ConnectSubmissionPanels();
  void ShowGroupStatistics();
  void SearchNames(const QString& text);
  void PlaceSearchHits();
  // Enter, arrow keys and Escape in the search box.
  void SearchBoxKeyReleased(int key);
  void PickFromPanelList(const QListWidgetItem* item);
  void UploadGroups();
  void HideOtherWindows();

  AppContext& context_;

  DrawPanel* draw_ = nullptr;
  UploadPanel* upload_ = nullptr;
  GroupStatsPanel* stats_ = nullptr;
  ManualPickPanel* manual_ = nullptr;
  StatusPanels* status_ = nullptr;
  ScoreUpload* score_upload_ = nullptr;
  QTimer* roll_timer_ = nullptr;    // Timer1
  QTimer* second_timer_ = nullptr;  // Timer2

  DrawPools pools_;           // lstKind 0..11 and the group lists
  QStringList rolling_pool_;  // lstJiangChi: the pool a running draw shows
  std::shared_ptr<const TaggedLineIndex> rolling_index_;  // the cache as the draw began
  int award_ = 0;            // index in rolling_pool_ of the name shown
  QString class_name_;       // class_num
  QString roster_text_;      // Text6: the class's rows from the cache
  QString paused_caption_;   // tmpcaption
  QString current_student_;  // NewStu
  Stopwatch stopwatch_;
  int name_point_size_ = 0;
  bool folded_ = false;
  bool status_bar_wanted_ = true;
  bool ending_ = false;
  QSet<QString> unwritable_logs_;  // warned about once each
  NameSearch name_search_;
  bool group_upload_waiting_ = false;
  bool draw_running_ = false;  // a draw button reads its pause caption
  bool roll_shown_ = false;    // a roll step showed a name since the draw began
};

}  // namespace zorvanix
