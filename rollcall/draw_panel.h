// Frame5, the draw panel: the large name over its background box, the
// thirteen draw buttons, the class, topic and score choices, the criteria list
// beside its divider, the name search and the small buttons and labels. The
// panel builds, places and lays out its controls and keeps them to itself:
// what the teacher asks for is announced by signals, and the roll-call
// window tells the panel what to show.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <array>

#include "controls/list_text_width.h"
#include "controls/splitter.h"
#include "rollcall/draw_pools.h"

namespace zorvanix {

class NameSearchBox;

class DrawPanel : public QFrame {
  Q_OBJECT

 public:
  explicit DrawPanel(QWidget* parent = nullptr);

  // Places a child by window coordinates in twips (the panel itself sits
  // 120 twips up and left of the window's corner).
  static void Place(QWidget* child, int left, int top, int width, int height);
  // The child's geometry in window twips.
  static int LeftOf(const QWidget* child);
  static int TopOf(const QWidget* child);
  static int WidthOf(const QWidget* child);
  static int HeightOf(const QWidget* child);

  // --- Class and topic ------------------------------------------------------
  // Combo2 with these classes, none chosen ("班级"), enabled.
  void SetClasses(const QStringList& names);
  QString ClassName() const { return class_choice_->currentText(); }
  // Combo3 with these topics and shown in its box (the first topic, or
  // nothing); announces nothing.
  void SetTopics(const QStringList& names, const QString& shown);
  QString Topic() const { return topic_choice_->currentText(); }

  // --- The name ------------------------------------------------------------------
  // Text2 shows name in the largest font that fits, one line high, centred in
  // its box; NameShown follows.
  void ShowName(const QString& name);
  QString Name() const { return name_display_->text(); }
  // Label4 and Label28: the student's average and count.
  void ShowCounts(const QString& average, const QString& count);
  // No name and no counts; the score and the criteria are closed.
  void ClearName();

  // --- Draw buttons -------------------------------------------------------------
  // Buttons 0..11 as far as their pools have names.
  void ShowDrawButtons(const DrawPools& pools);
  // The same, and the search box opens and takes the focus.
  void OpenDrawing(const DrawPools& pools);
  // Every draw button and the manual-pick button closed.
  void CloseDrawButtons();
  void SetManualPickEnabled(bool enabled);
  // A draw from pool index rolls: its button reads "暂停" and is the only
  // one open.
  void ShowRolling(int index);
  // The draw from pool index stopped: its button reads as before.
  void ShowStopped(int index);
  // The focus goes to the draw button, if it is open.
  void FocusDrawButton(int index);

  // --- Scoring -----------------------------------------------------------------------
  // Combo1 and List1 take a score, or not.
  void EnableScoring(bool enabled);
  // Combo1 empty: choosing any score afterwards, even the one chosen last,
  // counts as a choice.
  void ClearScore();
  void FocusScore();
  // The score of a criterion stands in Combo1, which closes.
  void ShowCriterionScore(const QString& score);
  // List1 with these criteria; the name, the box and the topic make room
  // for it beside the divider, or take the whole width without criteria.
  void ShowCriteria(const QStringList& entries);
  // List1 emptied, laid out as it stands.
  void ClearCriteria();
  QString CriterionText(int row) const;
  // The entry of a criterion given to the current student: "[5分]" becomes
  // "[5分]√".
  void MarkCriterionGiven(int row);

  // --- The keyboard's way to the same controls -------------------------------------
  // What a click on draw button index does, when a teacher could click it now
  // (open and in sight); false otherwise.
  bool PressDrawButton(int index);
  // What choosing the entry score ("5分") of Combo1 does, when Combo1 is open
  // and in sight; false otherwise.
  bool ChooseScore(const QString& score);
  // A criterion given by mistake is offered again: "[5分]√" reads "[5分]".
  void UnmarkCriterion(int row);
  // Tooltips naming the keys that press the draw buttons 0..11 and choose a
  // score.
  void ShowKeyHints(const QString& draw, const QString& score);

  // --- The rest -------------------------------------------------------------------------
  NameSearchBox& Search() const { return *search_; }
  void SetManageEnabled(bool enabled) { manage_button_->setEnabled(enabled); }
  void SetStopwatchText(const QString& text) { stopwatch_label_->setText(text); }
  // Folded, only the unfold picture shows of the name's place.
  void SetFolded(bool folded);

 signals:
  void DrawPressed(int index);  // btnChou 0..12
  void ClassChosen();
  // Combo3 changed: a topic chosen from the list (chosen) or typed.
  void TopicChosen();
  void TopicTyped(const QString& text);
  // A score chosen from Combo1's list or typed there and confirmed with Enter.
  void ScoreChosen(const QString& score);
  void CriterionChosen(int row);  // a double-click on a List1 entry
  // Text2 shows another name (drawn, picked or emptied).
  void NameShown();
  void UserPressed();    // Command1
  void UploadPressed();  // Command11
  void ManagePressed();  // btnManage
  void FoldWanted();     // the mouse passed over Image2
  void UnfoldWanted();   // the mouse passed over Image1
  void StopwatchToggled();  // Label30 double-clicked
  // btnProjector ("投影"): the name full screen, as F11 gives it.
  void ProjectorPressed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildNameDisplay();
  void BuildChoices();
  void BuildButtonsAndLabels();
  void Connect();
  void FitNameFont(int width_twips);
  void CentreNameInBox();
  void LayOutCriteria(bool has_criteria);
  int InnerWidth() const;
  bool BeforeDividerMove(double position) const;
  void DividerMoved();

  QFrame* name_background_ = nullptr;                            // Text13
  QLineEdit* name_display_ = nullptr;                            // Text2
  std::array<QPushButton*, kDrawPoolCount + 1> draw_buttons_{};  // btnChou 0..12
  QComboBox* class_choice_ = nullptr;                            // Combo2
  QComboBox* topic_choice_ = nullptr;                            // Combo3
  QComboBox* score_choice_ = nullptr;                            // Combo1
  ExtentListWidget* criteria_ = nullptr;                         // List1
  Splitter* divider_ = nullptr;                                  // Splitter1
  NameSearchBox* search_ = nullptr;                              // txtManual, List2
  QPushButton* user_button_ = nullptr;                           // Command1
  QPushButton* upload_button_ = nullptr;                         // Command11
  QPushButton* manage_button_ = nullptr;                         // btnManage
  QPushButton* projector_button_ = nullptr;                      // btnProjector
  QLabel* average_label_ = nullptr;                              // Label4
  QLabel* count_label_ = nullptr;                                // Label28
  QLabel* stopwatch_label_ = nullptr;                            // Label30
  QLabel* unfold_picture_ = nullptr;                             // Image1
  QLabel* fold_picture_ = nullptr;                               // Image2
  int name_point_size_ = 0;
};

}  // namespace zorvanix
