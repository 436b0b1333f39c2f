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

bool plikProjektu(const QString& path) {
    return ExRozszerzenie(path).compare(QStringLiteral("xml"), Qt::CaseInsensitive) == 0;
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

void TMainForm::UpuscPliki(const QStringList& paths, int cel) {
    QStringList audio;
    QStringList projekty;
    for (const QString& path : paths)
        (plikProjektu(path) ? projekty : audio).append(QDir::toNativeSeparators(path));
    if (!projekty.isEmpty()) {
        // A dropped project is opened, as from "Ostatnie projekty"; a few
        // of them make one list, in the order of their names. The files
        // dropped with them go at the end.
        if (!m_sesja->czyPorzucicZmiany())
            return;
        projekty = uporzadkujWybranePliki(projekty);
        wczytajProjekt(projekty.takeFirst(), true);
        for (const QString& path : std::as_const(projekty))
            WczytajProjekt(path);
        cel = m_projekt->rowCount();
    }
    if (!audio.isEmpty())
        wstawPliki(audio, std::min(cel, m_projekt->rowCount()));
}

// ---- selection ----------------------------------------------------------------------

QList<int> TMainForm::zaznaczoneWiersze() const {
    QList<int> wiersze;
    for (const QModelIndex& index : m_ListView1->selectionModel()->selectedRows())
        wiersze.append(index.row());
    std::sort(wiersze.begin(), wiersze.end());
    return wiersze;
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

void TMainForm::zaznaczWiersze(const QList<int>& wiersze, int biezacy) {
    const int n = m_projekt->rowCount();
    const QList<int> w = uporzadkujWiersze(wiersze, n);
    if (w.isEmpty()) {
        fokusNaLiscie();
        return;
    }
    // Contiguous rows as one range: a selection of thousands stays cheap.
    QItemSelection zaznaczenie;
    const int ostatniaKolumna = m_projekt->columnCount() - 1;
    for (const auto& [pierwszy, ostatni] : blokiWierszy(w))
        zaznaczenie.select(m_projekt->index(pierwszy, 0),
                           m_projekt->index(ostatni, ostatniaKolumna));
    QItemSelectionModel* model = m_ListView1->selectionModel();
    const QModelIndex current =
        m_projekt->index(w.contains(biezacy) ? biezacy : w.first(), ModelProjektu::KolNazwa);
    model->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    model->select(zaznaczenie, QItemSelectionModel::ClearAndSelect);
    m_ListView1->scrollTo(current);
    m_ListView1->setFocus(Qt::OtherFocusReason);
}
