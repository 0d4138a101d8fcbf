// Small builders and list operations shared by the pages of the management
// window. Every control gets the object name the product documents give it,
// so the pages read like their description and tests find them by name.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <initializer_list>

#include "controls/typed_text.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace zorvanix {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption);
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption);
// A page's status line, in red and wrapping, showing the page's warning until
// the first outcome replaces it.
QLabel* MakeStatusLabel(QWidget* parent, const char* name, const QString& warning);
QLineEdit* MakeLineEdit(QWidget* parent, const char* name);
QLineEdit* MakePasswordEdit(QWidget* parent, const char* name);
QPlainTextEdit* MakeNameBox(QWidget* parent, const char* name);
// A list in which several entries can be selected at once.
QListWidget* MakeList(QWidget* parent, const char* name);
// A chooser showing placeholder (such as "班级") while nothing is chosen.
QComboBox* MakeChooser(QWidget* parent, const char* name, const QString& placeholder);
QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption);

// An edit panel: a frame holding a form of labelled boxes with "修改" and
// "取消" below it; "取消" hides the panel. The panel starts hidden.
struct EditPanel {
  QGroupBox* frame;
  QPushButton* change;
};
struct EditRow {
  QString label;
  QLineEdit* box;
};
EditPanel MakeEditPanel(QWidget* parent, const char* name, const QString& caption,
                        std::initializer_list<EditRow> rows, const char* change_name,
                        const char* cancel_name);

// The chooser emptied, filled with items and showing its placeholder again.
void RefillChooser(QComboBox* chooser, const QStringList& items);
// The chosen item's text, "" while nothing is chosen.
QString ChosenText(const QComboBox* chooser);
// What the chooser shows: the chosen item, else its placeholder.
QString ShownText(const QComboBox* chooser);

// --- Lists --------------------------------------------------------------------

QStringList ListEntries(const QListWidget* list);
void SelectAll(QListWidget* list);
void InvertSelection(QListWidget* list);
// Removes every selected entry, walking from the last entry up, and returns
// their texts in that order (bottom first).
QStringList RemoveSelectedEntries(QListWidget* list);
// Field index (0-based) of a TAB-separated entry; "" when it has fewer fields.
QString EntryField(const QString& entry, int index);

// --- Typed and imported names -----------------------------------------------

struct NameAddition {
  QStringList added;  // in the order they were typed
  int present = 0;    // lines naming an entry that is already listed
};
// The names typed one per line, as they are added to a list holding
// existing: every blank is removed from a name; lines that hold nothing but
// blanks are skipped; a name already listed, or typed twice, is counted as
// present instead of added.
NameAddition NewNames(QStringView typed, const QStringList& existing);

// TypedTextProblem() and GbkProblem() come from controls/typed_text.h.

// The text of a name-list file: UTF-8 when it starts with the UTF-8 byte-order
// mark or is valid UTF-8 throughout, otherwise GBK. Lines end in CR LF, LF or
// CR; the result has one name per line, joined by LF.
QString DecodeNameListFile(QByteArrayView bytes);

}  // namespace zorvanix
