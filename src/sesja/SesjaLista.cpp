// Adding to the entry list: files and folders chosen, dropped or named on
// the command line, and a project file read into the list.

#include "sesja/SesjaLista.h"

#include "audio/PamiecPomiarow.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "project/Otwieranie.h"
#include "sesja/PracaListy.h"
#include "sesja/Rozmowa.h"
#include "sesja/Sesja.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>

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

bool plikProjektu(const QString& path) {
    return ExRozszerzenie(path).compare(QStringLiteral("xml"), Qt::CaseInsensitive) == 0;
}

} // namespace

SesjaLista::SesjaLista(Sesja& sesja, Rozmowa& rozmowa, PracaListy& praca, ModelProjektu& projekt,
                       HistoriaProjektu& historia, UslugiListy uslugi)
    : m_sesja(sesja), m_rozmowa(rozmowa), m_praca(praca), m_projekt(projekt), m_historia(historia),
      m_uslugi(std::move(uslugi)) {}

void SesjaLista::wstawWybrane(const QString& tytul, int przed) {
    Rozmowa::WyborPlikow wybor;
    wybor.tytul = tytul;
    wybor.filtr = QStringLiteral("mp3 (*.mp3)");
    wybor.domyslneRozszerzenie = QStringLiteral("mp3");
    wybor.wiele = true;
    wybor.folder = m_sesja.stan().FolderAudio;
    QStringList wybrane = m_rozmowa.wybierzPliki(wybor);
    if (wybrane.isEmpty())
        return;
    for (QString& path : wybrane)
        path = QDir::toNativeSeparators(path);
    m_sesja.zapamietajFolderAudio(wybrane.first());
    wstawPliki(wybrane, przed < 0 ? m_projekt.rowCount() : przed);
}

// One reading of each file both tests it and measures it.
void SesjaLista::wstawPliki(const QStringList& pliki, int at) {
    const QStringList uporzadkowane = uporzadkujWybranePliki(pliki);
    // Adding ends a playback, as it always did.
    if (!uporzadkowane.isEmpty())
        m_praca.zatrzymajOdtwarzanie();
    QList<std::optional<std::int64_t>> dlugosci;
    dlugosci.reserve(uporzadkowane.size());
    for (const QString& path : uporzadkowane) {
        const std::optional<Mp3Info> pomiar = zmierzPlikMp3(path);
        dlugosci.append(pomiar ? std::optional(pomiar->lengthMs) : std::nullopt);
    }
    wstawZmierzone(uporzadkowane, dlugosci, at);
}

// The focus goes to the first new row; with the setting on, the new rows then
// get detected bookmarks. Files that hold no MPEG audio are left out and
// listed in the notice window at the end.
void SesjaLista::wstawZmierzone(const QStringList& pliki,
                                const QList<std::optional<std::int64_t>>& dlugosci, int at,
                                const QStringList& pominiete) {
    QStringList niepoprawne;
    ListaPozycji nowe;
    for (qsizetype i = 0; i < pliki.size(); ++i) {
        if (const std::optional<std::int64_t>& ms = dlugosci.at(i))
            nowe.append(pozycjaDlaPliku(pliki.at(i), *ms, m_sesja.konfiguracja().DomyslnaZakladka));
        else
            niepoprawne.append(pliki.at(i));
    }
    m_historia.wstaw(at, nowe);
    m_praca.pokazWiersz(nowe.isEmpty() ? -1 : at);
    wykryjNowe(at, at + int(nowe.size()));
    for (int i = 0; i < 3; ++i)
        m_praca.sygnal();
    const PominietePozycje p = zawiadomienieODodawaniu(pominiete, niepoprawne);
    if (!p.wiersze.isEmpty())
        m_rozmowa.pokazListe(p.naglowek, p.wiersze);
    // The focus says only the first new row. Said last: a window opening
    // after it would cut it off.
    m_rozmowa.oglos(tekstDodania(nowe.size(), p.wiersze.size(), pominiete.isEmpty()));
}

void SesjaLista::dodajFolder() {
    Rozmowa::WyborPlikow wybor;
    wybor.tytul = QStringLiteral("Dodaj folder");
    wybor.folder = m_sesja.stan().FolderAudio; // where to start
    wybor.katalog = true;
    const QStringList wybrane = m_rozmowa.wybierzPliki(wybor);
    if (wybrane.isEmpty())
        return;
    const QString folder = QDir::toNativeSeparators(wybrane.first());
    m_sesja.zapamietajFolderAudio(folder + QDir::separator()); // the folder itself, not its parent
    dodajFolder(folder);
}

// Found and measured with a progress window; a stop adds nothing.
void SesjaLista::dodajFolder(const QString& folder) {
    m_praca.zatrzymajOdtwarzanie(); // adding ends a playback, as "Dodaj" does
    const auto pliki = m_praca.zmierzFolder(folder);
    if (!pliki) {
        m_rozmowa.ustawStatus(QStringLiteral("Dodawanie folderu przerwano; lista bez zmian"));
        return;
    }
    if (pliki->sciezki.isEmpty() && pliki->pominiete.isEmpty()) {
        m_rozmowa.powiadom(QStringLiteral("W folderze %1 i jego podfolderach nie ma plików MP3.")
                               .arg(QDir::toNativeSeparators(folder)));
        return;
    }
    wstawZmierzone(pliki->sciezki, pliki->dlugosci, m_projekt.rowCount(), pliki->pominiete);
}

void SesjaLista::upuscPliki(const QStringList& paths, int cel) {
    QStringList audio;
    QStringList projekty;
    for (const QString& path : paths)
        (plikProjektu(path) ? projekty : audio).append(QDir::toNativeSeparators(path));
    if (!projekty.isEmpty()) {
        // A dropped project is opened, as from "Ostatnie projekty"; a few
        // of them make one list, in the order of their names. The files
        // dropped with them go at the end.
        if (!m_sesja.czyPorzucicZmiany())
            return;
        projekty = uporzadkujWybranePliki(projekty);
        wczytajProjekt(projekty.takeFirst(), true);
        for (const QString& path : std::as_const(projekty))
            wczytajProjekt(path, false);
        cel = m_projekt.rowCount();
    }
    if (!audio.isEmpty())
        wstawPliki(audio, std::min(cel, m_projekt.rowCount()));
}

// Each part as its menu command does it; one that fails does not keep the
// others from being opened.
void SesjaLista::otworzRozpoznane(const WskazanePliki& wskazane) {
    if (!wskazane.projekt.isEmpty())
        m_praca.osobno([&] { otworzProjekt(wskazane.projekt); });
    if (!wskazane.pliki.isEmpty())
        m_praca.osobno([&] { wstawPliki(wskazane.pliki, m_projekt.rowCount()); });
    for (const QString& folder : wskazane.foldery)
        m_praca.osobno([&] { dodajFolder(folder); });
    if (!wskazane.nieotwarte.isEmpty())
        m_rozmowa.pokazListe(QStringLiteral("Nie otwarto:"), wskazane.nieotwarte);
}

void SesjaLista::otworzProjekt(const QString& path) {
    if (m_sesja.czyPorzucicZmiany())
        wczytajProjekt(path, true);
}

void SesjaLista::otworzOstatni(int numer) {
    const QString path = m_sesja.ostatni(numer);
    if (!path.isEmpty())
        otworzProjekt(path);
}

void SesjaLista::wczytajProjekt(const QString& path, bool zamiast) {
    // The focus goes to the first loaded row, also when an entry stops the loading.
    // How many rows came is said after the focus has moved (what a screen
    // reader says of the focus would cut it off).
    const int pierwszy = zamiast ? 0 : m_projekt.rowCount();
    bool wczytano = false;
    const auto fokus = qScopeGuard([&] {
        m_praca.pokazWiersz(m_projekt.rowCount() > pierwszy ? pierwszy : -1);
        if (wczytano)
            m_rozmowa.oglos(
                QStringLiteral("Wczytano projekt %1: ").arg(QFileInfo(path).fileName()) +
                liczebnik(m_projekt.rowCount() - pierwszy, QStringLiteral("pozycja"),
                          QStringLiteral("pozycje"), QStringLiteral("pozycji")));
    });
    wczytano = m_sesja.wczytajProjekt(path, zamiast);
}

void SesjaLista::usun(int wiersz) {
    if (wiersz < 0)
        return;
    m_historia.usun(wiersz);
    m_praca.pokazWiersz(wiersz); // the row that took its place, or the new last one
}

void SesjaLista::przenumeruj() {
    m_projekt.Przenumeruj();
}
