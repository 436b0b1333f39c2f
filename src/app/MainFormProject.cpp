// The project list operations and the project file commands.

#include "app/MainForm.h"

#include "audio/MediaPlayer.h"
#include "audio/PamiecPomiarow.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "project/Otwieranie.h"
#include "project/ProjectFile.h"
#include "widgets/Seams.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

namespace {

// "Dodano 3 pliki", and how many lines the notice window listed as left
// out: files that are no audio, or, when the folder walk left out anything,
// files and folders.
QString tekstDodania(qsizetype dodane, qsizetype pominiete, bool tylkoNiepoprawne) {
    QString tekst = dodane > 0 ? QStringLiteral("Dodano ") +
                                     liczebnik(dodane, QStringLiteral("plik"),
                                               QStringLiteral("pliki"), QStringLiteral("plików"))
                               : QStringLiteral("Nie dodano żadnego pliku");
    if (pominiete == 0)
        return tekst;
    if (!tylkoNiepoprawne)
        return tekst + QStringLiteral(", pominięto ") +
               liczebnik(pominiete, QStringLiteral("plik lub folder"),
                         QStringLiteral("pliki lub foldery"),
                         QStringLiteral("plików lub folderów"));
    if (pominiete == 1)
        return tekst + QStringLiteral(", pominięto 1 plik, który nie jest plikiem audio");
    return tekst + QStringLiteral(", pominięto ") +
           liczebnik(pominiete, QStringLiteral("plik"), QStringLiteral("pliki"),
                     QStringLiteral("plików")) +
           QStringLiteral(", które nie są plikami audio");
}

} // namespace

// ---- the entry list ------------------------------------------------------------------

QStringList TMainForm::wybierzPlikiAudio(const QString& title) {
    Seams::FileDialog dialog;
    dialog.title = title;
    dialog.filter = QStringLiteral("mp3 (*.mp3)");
    dialog.defaultSuffix = QStringLiteral("mp3");
    dialog.multiple = true;
    dialog.mustExist = true;
    dialog.folder = m_sesja->stan().FolderAudio;
    QStringList chosen = m_seams.openFiles(this, dialog);
    for (QString& path : chosen)
        path = QDir::toNativeSeparators(path);
    if (!chosen.isEmpty())
        m_sesja->zapamietajFolderAudio(chosen.first());
    return chosen;
}

void TMainForm::WstawNazwyPlikowDoListBox(const QStringList& paths) {
    m_ListBoxSortuj = uporzadkujWybranePliki(paths);
}

// Tests and measures the chosen files one by one in the order of
// ListBoxSortuj and inserts them from row `at` as one step.
void TMainForm::wstawPliki(const QStringList& chosen, int at) {
    WstawNazwyPlikowDoListBox(chosen);
    // Adding ends a playback, as it always did.
    if (!m_ListBoxSortuj.isEmpty())
        m_MediaPlayer1->Close();
    QList<std::optional<std::int64_t>> dlugosci;
    dlugosci.reserve(m_ListBoxSortuj.size());
    for (const QString& path : std::as_const(m_ListBoxSortuj)) {
        // One reading of each file both tests it and measures it.
        const std::optional<Mp3Info> pomiar = zmierzPlikMp3(path);
        dlugosci.append(pomiar ? std::optional(pomiar->lengthMs) : std::nullopt);
    }
    wstawZmierzone(m_ListBoxSortuj, dlugosci, at);
}

// The focus goes to the first new row; with the setting on, the new rows then
// get detected bookmarks. Files that hold no MPEG audio are left out and
// listed in the notice window at the end.
void TMainForm::wstawZmierzone(const QStringList& pliki,
                               const QList<std::optional<std::int64_t>>& dlugosci, int at,
                               const QStringList& pominiete) {
    QStringList niepoprawne;
    ListaPozycji nowe;
    for (qsizetype i = 0; i < pliki.size(); ++i) {
        if (const std::optional<std::int64_t>& ms = dlugosci.at(i))
            nowe.append(
                pozycjaDlaPliku(pliki.at(i), *ms, m_sesja->konfiguracja().DomyslnaZakladka));
        else
            niepoprawne.append(pliki.at(i));
    }
    m_historia->wstaw(at, nowe);
    fokusNaLiscie(nowe.isEmpty() ? -1 : at);
    wykryjZakladkiNowych(at, at + int(nowe.size()));
    for (int i = 0; i < 3; ++i)
        m_seams.beep();
    const PominietePozycje p = zawiadomienieODodawaniu(pominiete, niepoprawne);
    if (!p.wiersze.isEmpty())
        pokazFormBlad(p.naglowek, p.wiersze);
    // The focus says only the first new row. Said last: a window opening
    // after it would cut it off.
    oglos(tekstDodania(nowe.size(), p.wiersze.size(), pominiete.isEmpty()));
}

void TMainForm::WstawDoListy() {
    const QStringList chosen = wybierzPlikiAudio(QStringLiteral("Dodaj plik"));
    if (!chosen.isEmpty())
        wstawPliki(chosen, m_projekt->rowCount());
}

void TMainForm::WstawPomiedzy() {
    const QStringList chosen = wybierzPlikiAudio(QStringLiteral("Wstaw plik"));
    if (chosen.isEmpty())
        return;
    const int selected = zaznaczonyWiersz();
    wstawPliki(chosen, selected < 0 ? m_projekt->rowCount() : selected);
}

void TMainForm::UsunzListy() {
    const int row = zaznaczonyWiersz();
    if (row < 0)
        return;
    m_historia->usun(row);
    fokusNaLiscie(row); // the row that took its place, or the new last one
}

void TMainForm::Przenumeruj() {
    m_projekt->Przenumeruj();
}

// ---- the project file --------------------------------------------------------------------

void TMainForm::NowyProjekt() {
    if (m_sesja->nowyProjekt())
        m_ListBoxSortuj.clear();
}

void TMainForm::WczytajProjekt() {
    const QString path = m_sesja->wybierzProjekt();
    if (!path.isEmpty())
        WczytajProjekt(path);
}

void TMainForm::WczytajProjekt(const QString& path) {
    wczytajProjekt(path, false);
}

void TMainForm::OtworzProjekt(const QString& path) {
    if (m_sesja->czyPorzucicZmiany())
        wczytajProjekt(path, true);
}

void TMainForm::wczytajProjekt(const QString& path, bool zamiast) {
    // The focus goes to the first loaded row, also when an entry stops the loading.
    // How many rows came is said after the focus has moved (what a screen
    // reader says of the focus would cut it off).
    const int pierwszy = zamiast ? 0 : m_projekt->rowCount();
    bool wczytano = false;
    const auto fokus = qScopeGuard([&] {
        fokusNaLiscie(m_projekt->rowCount() > pierwszy ? pierwszy : -1);
        if (wczytano)
            oglos(QStringLiteral("Wczytano projekt %1: ").arg(QFileInfo(path).fileName()) +
                  liczebnik(m_projekt->rowCount() - pierwszy, QStringLiteral("pozycja"),
                            QStringLiteral("pozycje"), QStringLiteral("pozycji")));
    });
    wczytano = m_sesja->wczytajProjekt(path, zamiast);
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
