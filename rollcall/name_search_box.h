// txtManual and List2: the search box of the draw panel and the list of hits
// that grows upward from it. The box asks for the hits of what is typed
// (SearchWanted, answered with ShowHits); Enter or an arrow key goes into
// the hits, Escape closes them, and Enter or a double-click on a hit picks
// that student (HitChosen).
#pragma once

#include <QLineEdit>
#include <QListWidget>
#include <QObject>

namespace zorvanix {

class NameSearchBox : public QObject {
  Q_OBJECT

 public:
  // Both controls are children of panel; the box is placed by the panel.
  explicit NameSearchBox(QWidget* panel);

  QLineEdit* Box() const { return box_; }
  void SetEnabled(bool enabled) { box_->setEnabled(enabled); }
  void Focus() { box_->setFocus(); }
  // Empties the box (and so closes the hits).
  void Clear() { box_->clear(); }
  // The hits for the text typed last, placed above the box; none closes the
  // list.
  void ShowHits(const QStringList& entries);

 signals:
  void SearchWanted(const QString& text);
  // The name of the hit picked (the entry up to its TAB); empty when the
  // list had no current entry.
  void HitChosen(const QString& name);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TextChanged(const QString& text);
  void BoxKeyReleased(int key);
  void PlaceHits();
  void Pick();

  QLineEdit* box_ = nullptr;     // txtManual
  QListWidget* hits_ = nullptr;  // List2
};

}  // namespace zorvanix
