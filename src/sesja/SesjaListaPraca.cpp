// The list's long work over chosen rows: bookmarks detected and snapped to
// pauses, loudness measured and reported, the book's summary. What each
// changes is one step of the history, so one "Cofnij" takes it back.

#include "audio/DopasowanieDoPrzerw.h"
#include "audio/RaportGlosnosci.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "card/CardFiles.h"
#include "cofanie/HistoriaProjektu.h"
#include "merge/Miernik.h"
#include "project/ModelProjektu.h"
#include "sesja/PracaListy.h"
#include "sesja/Rozmowa.h"
#include "sesja/Sesja.h"
#include "sesja/SesjaLista.h"

#include <memory>

namespace {

QStringList sciezki(const ModelProjektu& projekt, const QList<int>& wiersze) {
    QStringList pliki;
    for (int row : wiersze)
        pliki.append(projekt.wiersz(row).sciezka());
    return pliki;
}

} // namespace

MiernikMp3 SesjaLista::miernik() const {
    return m_uslugi.miernikScalania ? m_uslugi.miernikScalania : miernikMp3();
}

void SesjaLista::wykryjZakladki(const QList<int>& rows) {
    if (rows.isEmpty())
        return;
    const QStringList pliki = sciezki(m_projekt, rows);
    const WynikWykrywania wynik = m_praca.wykryj(
        pliki, m_sesja.konfiguracja().Wykrywanie.Przerwa,
        m_uslugi.wykrywanieTytulow ? m_uslugi.wykrywanieTytulow : WykrywanieTytulow(wykryjTytul),
        QStringLiteral("Wykrywanie zakładek"), QStringLiteral("Wykrywanie zakładki"));
    if (wynik.przerwano) {
        m_rozmowa.ustawStatus(
            QStringLiteral("Wykrywanie zakładek przerwano; zakładki pozostały bez zmian."));
        return;
    }
    QList<ZakladkaWiersza> zakladki;
    QStringList nieznalezione;
    for (qsizetype i = 0; i < wynik.pliki.size(); ++i) {
        const WynikWykrywaniaPliku& w = wynik.pliki.at(i);
        if (w.tytul) {
            zakladki.append({rows.at(i), QString::number(w.tytul->poczatekMs),
                             QString::number(w.tytul->dlugoscMs)});
        } else {
            nieznalezione.append(w.blad.isEmpty() ? pliki.at(i)
                                                  : pliki.at(i) + QStringLiteral(" – ") + w.blad);
        }
    }
    const int zmienione = m_historia.zmienZakladki(zakladki, QStringLiteral("wykryj zakładki"));
    m_rozmowa.ustawStatus(
        QStringLiteral("Wykrywanie zakładek zakończone: wykryto %1 z %2, zmieniono %3.")
            .arg(zakladki.size())
            .arg(rows.size())
            .arg(zmienione));
    if (!nieznalezione.isEmpty()) {
        m_rozmowa.pokazListe(
            QStringLiteral("W następujących plikach nie znaleziono tytułu z przerwą po "
                           "nim; ich zakładki pozostały bez zmian:"),
            nieznalezione);
    }
}

// After the rows are in, as one step of its own, so that adding stays as
// quick as measuring the files.
void SesjaLista::wykryjNowe(int first, int end) {
    if (!m_sesja.konfiguracja().Wykrywanie.WykrywajPrzyDodawaniu)
        return;
    QList<int> rows;
    for (int row = first; row < end; ++row)
        rows.append(row);
    wykryjZakladki(rows);
}

// Each row's bookmark from where it stands now, one file after another on
// a worker, written as one step.
bool SesjaLista::dopasujDoPrzerw(const QList<int>& rows) {
    const QStringList pliki = sciezki(m_projekt, rows);
    QList<std::pair<int, int>> zakladki;
    for (int row : rows) {
        const PozycjaProjektu p = m_projekt.wiersz(row);
        zakladki.append({StrToInt(p.Poczatek), StrToInt(p.Dlugosc)});
    }
    // The worker asks for the files in order, one at a time.
    auto nastepny = std::make_shared<int>(0);
    const WykrywanieTytulow dopasowanie = [zakladki, nastepny](const QString& path, int przerwaMs,
                                                               const std::atomic_bool* przerwij) {
        const auto [poczatek, dlugosc] = zakladki.at((*nastepny)++);
        const ZakladkaDoPrzerw z = ::dopasujDoPrzerw(path, poczatek, dlugosc, przerwaMs, przerwij);
        std::optional<WykrytyTytul> wynik;
        if (z.poczatekPrzesuniety || z.koniecPrzesuniety)
            wynik = WykrytyTytul{z.poczatekMs, z.dlugoscMs, z.poczatekMs + z.dlugoscMs};
        return wynik;
    };
    const WynikWykrywania wynik = m_praca.wykryj(
        pliki, m_sesja.konfiguracja().Wykrywanie.Przerwa, dopasowanie,
        QStringLiteral("Dopasowanie do przerw"), QStringLiteral("Dopasowanie zakładki"));
    if (wynik.przerwano) {
        m_rozmowa.ustawStatus(
            QStringLiteral("Dopasowanie do przerw przerwano; zakładki pozostały bez zmian."));
        return false;
    }
    QList<ZakladkaWiersza> nowe;
    QStringList bledy;
    for (qsizetype i = 0; i < wynik.pliki.size(); ++i) {
        const WynikWykrywaniaPliku& w = wynik.pliki.at(i);
        if (w.tytul)
            nowe.append({rows.at(i), QString::number(w.tytul->poczatekMs),
                         QString::number(w.tytul->dlugoscMs)});
        else if (!w.blad.isEmpty())
            bledy.append(pliki.at(i) + QStringLiteral(" – ") + w.blad);
    }
    const int zmienione = m_historia.zmienZakladki(nowe, QStringLiteral("dopasuj do przerw"));
    m_rozmowa.ustawStatus(
        QStringLiteral("Dopasowanie do przerw zakończone: przesunięto zakładki %1 z %2.")
            .arg(zmienione)
            .arg(rows.size()));
    if (!bledy.isEmpty())
        m_rozmowa.pokazListe(
            QStringLiteral("Tych plików nie można odczytać; ich zakładki pozostały bez zmian:"),
            bledy);
    return true;
}
void SesjaLista::raportGlosnosci(const QList<int>& rows) {
    if (rows.isEmpty())
        return;
    const QStringList pliki = sciezki(m_projekt, rows);
    const MiernikGlosnosci miernik =
        m_uslugi.miernikGlosnosci ? m_uslugi.miernikGlosnosci : MiernikGlosnosci(zmierzGlosnosc);
    const WynikPomiaruGlosnosci wynik = m_praca.zmierzGlosnosc(pliki, m_glosnosci, miernik);
    if (wynik.przerwano) {
        m_rozmowa.ustawStatus(
            QStringLiteral("Pomiar głośności przerwano; zmierzone pliki (%1) zapamiętano, "
                           "następny pomiar zmierzy pozostałe.")
                .arg(wynik.zmierzone));
        return;
    }
    QList<PozycjaGlosnosci> pozycje;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        PozycjaGlosnosci p;
        p.nazwa = QStringLiteral("%1. %2")
                      .arg(rows.at(i) + 1)
                      .arg(m_projekt.wiersz(rows.at(i)).NazwaPliku);
        p.pomiar = m_glosnosci.znajdz(pliki.at(i));
        if (!p.pomiar) {
            p.blad = wynik.bledy.value(pliki.at(i));
            // Measured, but the file is no longer what was measured.
            if (p.blad.isEmpty())
                p.blad = QStringLiteral("plik zmienił się w czasie pomiaru");
        }
        pozycje.append(p);
    }
    // The step at the target the levelled merge would use.
    m_praca.pokazRaportGlosnosci(::raportGlosnosci(pozycje, m_sesja.celLufs()));
}

// The entries' files are examined (the user may stop: then there is no
// summary) and the card measured as a copy does.
std::optional<QStringList> SesjaLista::podsumowanie(std::int64_t* rozmiar) {
    const ListaPozycji pozycje = m_projekt.pozycje();
    const auto pliki = m_praca.zbadaj(pozycje, miernik());
    if (!pliki)
        return std::nullopt;
    if (rozmiar)
        for (const PlikKsiazki& plik : *pliki)
            *rozmiar += plik.rozmiar;
    KartaPodsumowania karta;
    if (m_sesja.konfiguracja().Karta.isEmpty()) {
        karta.brak = QStringLiteral("Nie wybrano karty.");
    } else {
        const QString korzen = korzenKarty(m_sesja.konfiguracja().Karta);
        karta.pomiar = ::zmierzKarte(korzen, m_sesja.zrodloMiejsca());
        if (!karta.pomiar)
            karta.brak = QStringLiteral("Karta nie jest dostępna: %1.").arg(korzen);
    }
    return ::podsumowanieKsiazki(pozycje, *pliki, karta);
}

// The files are measured first (with a progress window the user may stop),
// so that every move is kept inside its file.
std::optional<QList<std::pair<QString, ZakladkaPrzegladu>>>
SesjaLista::wpisyPrzegladu(const QList<int>& rows) {
    ListaPozycji pozycje;
    for (int row : rows)
        pozycje.append(m_projekt.wiersz(row));
    const auto pliki = m_praca.zbadaj(pozycje, miernik());
    if (!pliki)
        return std::nullopt;
    QList<std::pair<QString, ZakladkaPrzegladu>> wpisy;
    for (qsizetype i = 0; i < pozycje.size(); ++i) {
        const PozycjaProjektu& p = pozycje.at(i);
        const PlikKsiazki& plik = pliki->at(i);
        ZakladkaPrzegladu z;
        z.nazwa = nazwaDoPokazania(p.NazwaPliku);
        z.poczatekMs = tryStrToInt(p.Poczatek).value_or(0);
        z.dlugoscMs = tryStrToInt(p.Dlugosc).value_or(0);
        if (plik.mp3)
            z.dlugoscPlikuMs = plik.mp3->dlugoscMs;
        z.sprawdzona = p.Sprawdzona;
        wpisy.append({p.sciezka(), z});
    }
    return wpisy;
}

// Whatever closed the review, what was accepted is kept.
void SesjaLista::zapiszPrzeglad(const QList<int>& rows, const PrzegladZakladek& przeglad) {
    QList<ZakladkaWiersza> zakladki;
    for (const auto& [i, z] : przeglad.zatwierdzone())
        zakladki.append(
            {rows.at(i), QString::number(z.poczatekMs), QString::number(z.dlugoscMs), true});
    m_historia.zmienZakladki(zakladki, QStringLiteral("przegląd zakładek"));
    m_rozmowa.ustawStatus(przeglad.podsumowanie());
}
