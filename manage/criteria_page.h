// The scoring-criteria page: the criteria of one topic, loaded from the
// service whenever a topic is chosen, and changed one request at a time: up
// to five new criteria, one criterion's text and score, a set of deletions.
#pragma once

#include <QString>
#include <array>
#include <functional>

#include "manage/record_list_page.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace zorvanix {

class CriteriaPage : public RecordListPage {
 public:
  // score_page_class: the text the score page's class chooser shows, which
  // the criterion edit sends along.
  CriteriaPage(PageServices& services, std::function<QString()> score_page_class, QWidget* parent);
  void Open() override;
  void Clear() override;

 protected:
  QStringList ChooserItems() const override { return services_.CachedTopicNames(); }
  QString FetchEntries(const QString& topic) override;
  PostResult PostDeletions(const QString& topic, const QString& ids) override;
  void AfterLoad() override;
  // The roll-call window's criteria follow every delete.
  void AfterDelete() override { services_.ShowTopicCriteria(); }
  void OpenEditPanel(const QString& entry) override;

 private:
  QGroupBox* BuildEditPanel();
  QGroupBox* BuildNewPanel();
  void OpenNewPanel();
  void SendNewCriteria();
  void SendEdit();
  void ClearNewRows();

  std::function<QString()> score_page_class_;
  QPushButton* new_button_;

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
