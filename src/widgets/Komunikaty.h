#pragma once
// What the program tells the user, the same way from every window: the
// general error box, the "Uwaga" message box, and the guard that runs a
// command and shows its error. Every box is owned by the main window.

#include "widgets/Seams.h"

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

class Komunikaty {
public:
    // `wlasciciel` owns the boxes; `seams` shows them.
    Komunikaty(Seams& seams, QWidget* wlasciciel) : m_seams(seams), m_wlasciciel(wlasciciel) {}

    Seams& seams() const { return m_seams; }

    // The application's title: the caption of the general error box.
    static QString tytulAplikacji() { return QStringLiteral("SonvekManager"); }

    // Runs a command; any error it raises is shown in the general error box
    // and the program goes on. Returns false when the command failed.
    bool guard(const std::function<void()>& command) const;
    // The general error box: error icon, OK, the application's title as
    // caption, the text with a full stop when its last character sorts
    // after ".".
    void pokazBlad(const QString& text) const;
    // A message box with the caption "Uwaga"; Enter presses `defaultButton`,
    // Esc and the close box `escapeButton`.
    QMessageBox::StandardButton
    uwaga(const QString& text, QMessageBox::StandardButtons buttons = QMessageBox::Ok,
          QMessageBox::StandardButton defaultButton = QMessageBox::NoButton,
          QMessageBox::StandardButton escapeButton = QMessageBox::NoButton) const;

private:
    Seams& m_seams;
    QWidget* m_wlasciciel;
};
