// Editing the list: undo and redo over every change of it, moving rows up
// and down, drag and drop, and the window title that tells the project's
// name and whether it has unsaved changes.

#include "app/MainForm.h"

#include "app/ListaProjektu.h"
#include "base/Paths.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QUndoStack>

#include <algorithm>

namespace {

// "&Cofnij: usuń pozycję 3"; without a step, only the command.
QString podpis(const QString& polecenie, const QString& krok) {
    return krok.isEmpty() ? polecenie : polecenie + QStringLiteral(": ") + krok;
}

} // namespace

void TMainForm::polaczHistorie() {
    QUndoStack& stos = m_historia->stos();
    auto cofnij = [this](const QString& krok) {
        m_Cofnij1->setText(podpis(QStringLiteral("&Cofnij"), krok));
    };
    auto ponow = [this](const QString& krok) {
        m_Ponow1->setText(podpis(QStringLiteral("&Ponów"), krok));
    };
    connect(&stos, &QUndoStack::undoTextChanged, this, cofnij);
    connect(&stos, &QUndoStack::redoTextChanged, this, ponow);
    connect(&stos, &QUndoStack::canUndoChanged, m_Cofnij1, &QAction::setEnabled);
    connect(&stos, &QUndoStack::canRedoChanged, m_Ponow1, &QAction::setEnabled);
    m_Cofnij1->setEnabled(stos.canUndo());
    m_Ponow1->setEnabled(stos.canRedo());
    connect(m_historia, &HistoriaProjektu::rowsAffected, this,
            [this](const QList<int>& wiersze) { zaznaczWiersze(wiersze); });

    connect(m_projekt, &ModelProjektu::modifiedChanged, this, &QWidget::setWindowModified);
    connect(m_projekt, &ModelProjektu::fileNameChanged, this, &TMainForm::ustawTytul);
    // A drop is handled once the drag has ended: the notice window it may
    // show is modal and the file manager waits for the drop to return.
    connect(
        m_ListView1, &ListaProjektu::rowsDropped, this,
        [this](const QList<int>& wiersze, int cel) { guard([&] { UpuscWiersze(wiersze, cel); }); },
        Qt::QueuedConnection);
    connect(
        m_ListView1, &ListaProjektu::filesDropped, this,
        [this](const QStringList& paths, int cel) { guard([&] { UpuscPliki(paths, cel); }); },
        Qt::QueuedConnection);
}

void TMainForm::ustawTytul() {
    const QString nazwa = m_projekt->NazwaProjektu();
    const QString plik = nazwa.isEmpty() ? QStringLiteral("bez nazwy") : ExNazwaPliku(nazwa);
    setWindowTitle(plik + QStringLiteral("[*] – ") + tytulAplikacji());
    setWindowModified(m_projekt->ProjektZmieniony());
}

void TMainForm::AktywujEdycje() {
    const QList<int> wiersze = zaznaczoneWiersze();
    const int n = m_projekt->rowCount();
    m_PrzesunWGore1->setEnabled(moznaPrzesunac(wiersze, -1, n));
    m_PrzesunWDol1->setEnabled(moznaPrzesunac(wiersze, 1, n));
}

void TMainForm::Cofnij1Click() {
    Cofnij();
}
void TMainForm::Ponow1Click() {
    Ponow();
}
void TMainForm::PrzesunWGore1Click() {
    PrzesunZaznaczone(-1);
}
void TMainForm::PrzesunWDol1Click() {
    PrzesunZaznaczone(1);
}

void TMainForm::Cofnij() {
    przejdzHistorie(true);
}

void TMainForm::Ponow() {
    przejdzHistorie(false);
}

// A screen reader hears which step went back or came again; the rows it
// changed are selected (rowsAffected).
void TMainForm::przejdzHistorie(bool wstecz) {
    QUndoStack& stos = m_historia->stos();
    if (!(wstecz ? stos.canUndo() : stos.canRedo()))
        return;
    const QString krok = wstecz ? stos.undoText() : stos.redoText();
    wstecz ? m_historia->cofnij() : m_historia->ponow();
    oglos((wstecz ? QStringLiteral("Cofnięto: ") : QStringLiteral("Ponowiono: ")) + krok);
}

void TMainForm::PrzesunZaznaczone(int kierunek) {
    const QList<int> wiersze = zaznaczoneWiersze();
    const int biezacy = m_ListView1->currentIndex().row();
    if (!m_historia->przesun(wiersze, kierunek))
        return;
    QList<int> po;
    for (int w : wiersze)
        po.append(w + kierunek);
    zaznaczWiersze(po, wiersze.contains(biezacy) ? biezacy + kierunek : -1);
    AktywujEdycje();
    // The current row keeps the focus, so a screen reader would not say
    // where it went.
    const int nowy = m_ListView1->currentIndex().row();
    if (nowy >= 0) {
        oglos(QStringLiteral("%1: pozycja %2 z %3")
                  .arg(m_projekt->wiersz(nowy).NazwaPliku)
                  .arg(nowy + 1)
                  .arg(m_projekt->rowCount()));
    }
}

void TMainForm::UpuscWiersze(const QList<int>& wiersze, int cel) {
    zaznaczWiersze(m_historia->przenies(wiersze, cel));
    AktywujEdycje();
}

QList<int> TMainForm::wierszeDoPracy() const {
    QList<int> wiersze = zaznaczoneWiersze();
    if (wiersze.size() < 2) {
        wiersze.clear();
        for (int row = 0; row < m_projekt->rowCount(); ++row)
            wiersze.append(row);
    }
    return wiersze;
}
