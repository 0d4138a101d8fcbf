// Frame5, the draw panel: the large name over its background box, the
// thirteen draw buttons, the class, topic and score choices, the criteria list
// beside its divider, the name search and the small buttons and labels. The
// panel only builds and places the controls; the roll-call window gives them
// their behaviour.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <array>

#include "controls/list_text_width.h"
#include "controls/splitter.h"
#include "rollcall/draw_pools.h"

namespace zorvanix {

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

  QFrame* name_background = nullptr;                            // Text13
  QLineEdit* name_display = nullptr;                            // Text2
  std::array<QPushButton*, kDrawPoolCount + 1> draw_buttons{};  // btnChou 0..12
  QComboBox* class_choice = nullptr;                            // Combo2
  QComboBox* topic_choice = nullptr;                            // Combo3
  QComboBox* score_choice = nullptr;                            // Combo1
  ExtentListWidget* criteria = nullptr;                         // List1
  Splitter* divider = nullptr;                                  // Splitter1
  QListWidget* search_hits = nullptr;                           // List2
  QLineEdit* search_box = nullptr;                              // txtManual
  QPushButton* user_button = nullptr;                           // Command1
  QPushButton* upload_button = nullptr;                         // Command11
  QPushButton* manage_button = nullptr;                         // btnManage
  QLabel* average_label = nullptr;                              // Label4
  QLabel* count_label = nullptr;                                // Label28
  QLabel* stopwatch_label = nullptr;                            // Label30
  QLabel* unfold_picture = nullptr;                             // Image1
  QLabel* fold_picture = nullptr;                               // Image2

 private:
  void BuildNameDisplay();
  void BuildChoices();
  void BuildButtonsAndLabels();
};

}  // namespace zorvanix
