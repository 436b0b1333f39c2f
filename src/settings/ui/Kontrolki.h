#pragma once
// Small builders shared by the settings dialogs.

#include <QString>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

// A label for `control` (its buddy, so the mnemonic moves the focus there);
// the control takes the label's text, without the mnemonic mark, as its
// accessible name.
QLabel* etykietaKontrolki(const QString& text, QWidget* control, const char* name);

// A button that never acts on Enter: the settings dialogs have no default
// button, so Enter in a field or in the folder tree does not close them.
QPushButton* przyciskBezDomyslnego(const QString& text, const char* name);

// The dialog's closing buttons in a row on the right.
QHBoxLayout* przyciskiZPrawej(QPushButton* pierwszy, QPushButton* drugi);
