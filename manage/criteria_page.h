// The scoring-criteria page: the criteria of one topic, loaded from the
// service whenever a topic is chosen, and changed one request at a time: up
// to five new criteria, one criterion's text and score, a set of deletions.
#pragma once

#include <QString>
#include <array>
#include <functional>

#include "manage/manage_page.h"
#include "manage/page_services.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace zorvanix {

class CriteriaPage : public ManagePage {
 public:
  // score_page_class: the text the score page's class chooser shows, which
  // the criterion edit sends along.
  CriteriaPage(PageServices& services, std::function<QString()> score_page_class,
               QWidget* parent);
  void Open() override;
  void Clear() override;

  // "|" + ID of every criterion removed by the last delete, bottom first.
  const QString& PendingCriterionDeletions() const { return pending_deletions_; }

 private:
  QGroupBox* BuildEditPanel();
  QGroupBox* BuildNewPanel();

  void LoadChosenTopic();
  void OpenNewPanel();
  void SendNewCriteria();
  void OpenEditPanel(QListWidgetItem* item);
  void SendEdit();
  void DeleteSelected();
  void SendDeletions();

  PageServices& services_;
  std::function<QString()> score_page_class_;
  QString pending_deletions_;

  QComboBox* topic_chooser_;
  QPushButton* new_button_;
  QListWidget* list_;
  QLabel* status_;

  QGroupBox* edit_panel_;
  QLineEdit* edit_topic_;
  QLineEdit* edit_id_;
  QLineEdit* edit_text_;
  QLineEdit* edit_score_;

  QGroupBox* new_panel_;
  QLineEdit* new_topic_;
  QListWidget* existing_;
  std::array<QLineEdit*, 5> new_texts_{};
  std::array<QLineEdit*, 5> new_scores_{};
};

}  // namespace zorvanix
