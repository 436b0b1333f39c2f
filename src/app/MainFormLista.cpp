// The list's commands, forwarded to the session with the rows they work
// on; the files named on the command line; the summary window.

#include "app/MainForm.h"

#include "merge/ui/FormPodsumowanie.h"
#include "project/Otwieranie.h"
#include "widgets/Seams.h"

#include <QCoreApplication>
#include <QPointer>

#include <thread>

void TMainForm::Dodajfolder1Click() {
    m_lista->dodajFolder();
}

void TMainForm::Dodaj2Click() {
    WstawDoListy();
}

void TMainForm::Wstaw2Click() {
    m_lista->wstawPliki(zaznaczonyWiersz());
}

void TMainForm::Usu1Click() {
    m_lista->usun(zaznaczonyWiersz());
    Przenumeruj();
}

// One row's bookmark is found with "Wykryj" in its bookmark editor.
void TMainForm::Wykryjzakadki1Click() {
    m_lista->wykryjZakladki(wierszeDoPracy());
    fokusNaLiscie();
}

void TMainForm::Dopasujdoprzerw1Click() {
    const QList<int> rows = zaznaczoneWiersze();
    if (rows.isEmpty()) {
        oglos(powodNieczynnego(m_Dopasujdoprzerw1));
        return;
    }
    if (m_lista->dopasujDoPrzerw(rows))
        fokusNaLiscie();
}

void TMainForm::Glosnosc1Click() {
    RaportGlosnosci();
    fokusNaLiscie();
}

void TMainForm::Podsumowanieksiazki1Click() {
    const auto linie = m_lista->podsumowanie();
    if (!linie)
        return;
    if (!m_FormPodsumowanie)
        m_FormPodsumowanie = new TFormPodsumowanie(this);
    m_FormPodsumowanie->pokaz(*linie);
    m_seams.execDialog(m_FormPodsumowanie);
}

void TMainForm::otworzWskazane(const QStringList& argumenty) {
    // The worker never touches the window: the answer comes back as an
    // event, and a window gone meanwhile gets none. A worker held by a
    // stalled mount is left to it and ends with the program.
    QPointer<TMainForm> okno(this);
    std::thread([okno, argumenty] {
        WskazanePliki wskazane = rozpoznajWskazane(argumenty);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [okno, wskazane = std::move(wskazane)] {
                if (okno) {
                    okno->m_lista->otworzRozpoznane(wskazane);
                    emit okno->commandLineOpened();
                }
            },
            Qt::QueuedConnection);
    }).detach();
}
