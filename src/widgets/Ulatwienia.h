#pragma once
// Small aids for a screen reader that Qt's own controls lack.

#include <QString>

class QComboBox;

// A line edit reached with Tab keeps its cursor at the end instead of
// selecting the whole text: a screen reader under Qt 6.4 reads a fully
// selected text without its last letter, and a user tabbing through a
// dialog does not expect to overwrite a field. Installed once for the
// whole program; later calls do nothing.
void bezZaznaczaniaNaFokus();

// A combo box's choice is said when it changes while the box has the
// focus (Down on a closed list), and kept in its accessible description,
// so that focus and "where am I" say it too: a screen reader ignores a
// combo box's name changes, and Qt 6.4's combo box offers no selection.
// `co` names what is chosen ("Karta"); nothing chosen is "nie wybrano".
void mowWybor(QComboBox* lista, const QString& co);
