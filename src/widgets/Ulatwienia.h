#pragma once
// Small aids for a screen reader that Qt's own controls lack.

#include <QList>
#include <QString>
#include <functional>
#include <utility>

class QAbstractItemView;
class QAction;
class QComboBox;
class QKeyEvent;
class QObject;
class QPushButton;
class QTextCursor;
class QWidget;

// Installed once for the whole program (later calls do nothing):
// - A line edit reached with Tab keeps its cursor at the end instead of
//   selecting the whole text: a user tabbing through a dialog does not
//   expect to overwrite a field.
// - A line edit reports its text to a screen reader as one run of
//   attributes. Qt 6.4 reports an empty run at every character, and a
//   screen reader that splits a line by its runs (to choose a voice for
//   its language) then drops the line's last character: 1410 was heard as
//   "141", a lone 0 not at all.
// - The read-only texts read item by item (TekstDoCzytania, the help page)
//   give a screen reader a whole paragraph as a line, not the part of it
//   that fits the window's width.
// - A menu item that opens a submenu is said to be one ("…, podmenu"):
//   Qt offers a screen reader no role for it but that of a command.
void wlaczUlatwienia();

// A text kept as it was designed, misspelt ("Odtwórz zakładke",
// "zakonczone"), heard spelled right: each word of `slowa` as written is
// read as its pair, of the same length, so that places in the text stay
// where they are. For a menu item (its action) and a text read item by
// item; set before a screen reader first asks for the object.
void slyszaneJako(QObject* obiekt, const QList<std::pair<QString, QString>>& slowa);

// Up and Down (with Shift, extending the selection) step a whole paragraph
// in a text read item by item: to the start of the next or the previous
// one. True when the key was such a step and `kursor` moved.
bool krokAkapitem(const QKeyEvent* event, QTextCursor& kursor);

// A combo box's choice is said when it changes while the box has the
// focus (Down on a closed list), and kept in its accessible description,
// so that focus and "where am I" say it too: a screen reader ignores a
// combo box's name changes, and Qt 6.4's combo box offers no selection.
// `co` names what is chosen ("Karta"); nothing chosen is "nie wybrano".
void mowWybor(QComboBox* lista, const QString& co);

// The key of a command that cannot act now (its action disabled, so that
// Qt hands the key to the focused control, where Alt+Down would move the
// list's current row) is kept from the control and answered with why,
// said through `okno`'s announcer; the focus stays where it was. `powod`
// gives the reason for one of `okno`'s actions, empty for none to give.
void mowPowodyNieczynnych(QWidget* okno, std::function<QString(const QAction*)> powod);

// A button with the object name `nazwa`, the caption `tekst` (with its
// mnemonic) and the accessible name `opis`, that never acts on Enter.
QPushButton* przycisk(QWidget* rodzic, const char* nazwa, const QString& tekst,
                      const QString& opis);

// A view that gets the focus is announced by itself, without its current
// row. Called once that has been told, this reports the current cell as
// focused too (the current row's cell in `kolumna`; -1: the current
// column), so that a screen reader reads the row the user is on. Does
// nothing unless the view has the focus and a current row.
void zglosBiezacaKomorke(QAbstractItemView* widok, int kolumna = -1);
