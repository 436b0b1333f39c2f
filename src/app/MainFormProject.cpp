// The project file commands, forwarded to the session.

#include "app/MainForm.h"

#include <QCloseEvent>

void TMainForm::NowyProjekt() {
    m_sesja->nowyProjekt();
}

void TMainForm::WczytajProjekt() {
    const QString path = m_sesja->wybierzProjekt();
    if (!path.isEmpty())
        WczytajProjekt(path);
}

void TMainForm::ZapiszProjekt() {
    m_sesja->zapiszProjekt();
}

void TMainForm::ZapiszProjektJako() {
    m_sesja->zapiszProjektJako();
}

void TMainForm::FormClose(QCloseEvent* event) {
    // "Anuluj", or Yes and then a cancelled save dialog: the window stays
    // open with the project. A failed save throws and the shell keeps the
    // window open.
    if (!m_sesja->czyPorzucicZmiany())
        event->ignore();
}
