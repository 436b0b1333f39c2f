// Bookmarks by ear: the review of the entries' bookmarks one by one, and
// the selected rows' bookmarks snapped onto the pauses around them. Each
// writes what it changed as one step of the history.

#include "app/MainForm.h"

#include "audio/DopasowanieDoPrzerw.h"
#include "audio/MediaPlayer.h"
#include "audio/ui/FormPrzegladZakladek.h"
#include "audio/ui/FormWykrywanie.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "cofanie/HistoriaProjektu.h"
#include "merge/Miernik.h"
#include "merge/ui/FormPodsumowanie.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

#include <memory>

void TMainForm::Przegladzakladek1Click() {
    PrzejrzyjZakladki();
}

void TMainForm::Dopasujdoprzerw1Click() {
    DopasujZakladkiDoPrzerw();
}

// The files are measured first (with a progress window the user may stop),
// so that every move is kept inside its file.
void TMainForm::PrzejrzyjZakladki() {
    const QList<int> rows = wierszeDoPracy();
    if (rows.isEmpty())
        return;
    ListaPozycji pozycje;
    for (int row : rows)
        pozycje.append(m_projekt->wiersz(row));
    TFormBadanie badanie(this);
    const auto pliki =
        badanie.zbadaj(pozycje, m_uslugi.miernikScalania ? m_uslugi.miernikScalania : miernikMp3());
    if (!pliki)
        return;
    QList<TFormPrzegladZakladek::Wpis> wpisy;
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

    UslugiPrzegladu uslugi;
    uslugi.odtworz = [this](const QString& path, std::int64_t od, std::int64_t doMs) {
        m_MediaPlayer1->FileName = path;
        m_MediaPlayer1->Open();
        m_MediaPlayer1->StartPos = od;
        m_MediaPlayer1->EndPos = doMs;
        m_MediaPlayer1->Play();
        ustawPauze(true);
    };
    uslugi.zatrzymaj = [this] {
        try {
            m_MediaPlayer1->Stop();
        } catch (...) { // nothing open: nothing plays
        }
    };
    uslugi.oglos = [this](const QString& tekst) { oglos(tekst); };
    uslugi.przerwa = [this] { return m_sesja->konfiguracja().Wykrywanie.Przerwa; };
    if (m_uslugi.wykrywanieTytulow)
        uslugi.wykryj = m_uslugi.wykrywanieTytulow;
    TFormPrzegladZakladek okno(this, m_komunikaty, uslugi);
    okno.przygotuj(wpisy);
    m_seams.execDialog(&okno);

    // Whatever closed the window, what was accepted is kept.
    QList<ZakladkaWiersza> zakladki;
    for (const auto& [i, z] : okno.przeglad().zatwierdzone())
        zakladki.append(
            {rows.at(i), QString::number(z.poczatekMs), QString::number(z.dlugoscMs), true});
    m_historia->zmienZakladki(zakladki, QStringLiteral("przegląd zakładek"));
    ustawStatus(okno.przeglad().podsumowanie());
    fokusNaLiscie();
}

// Each selected row's bookmark from where it stands now, one file after
// another on a worker (TFormWykrywanie), written as one step.
void TMainForm::DopasujZakladkiDoPrzerw() {
    const QList<int> rows = zaznaczoneWiersze();
    if (rows.isEmpty()) {
        oglos(powodNieczynnego(m_Dopasujdoprzerw1));
        return;
    }
    QStringList pliki;
    QList<std::pair<int, int>> zakladki;
    for (int row : rows) {
        const PozycjaProjektu p = m_projekt->wiersz(row);
        pliki.append(p.sciezka());
        zakladki.append({StrToInt(p.Poczatek), StrToInt(p.Dlugosc)});
    }
    // The worker asks for the files in order, one at a time.
    auto nastepny = std::make_shared<int>(0);
    const WykrywanieTytulow dopasowanie = [zakladki, nastepny](const QString& path, int przerwaMs,
                                                               const std::atomic_bool* przerwij) {
        const auto [poczatek, dlugosc] = zakladki.at((*nastepny)++);
        const ZakladkaDoPrzerw z = dopasujDoPrzerw(path, poczatek, dlugosc, przerwaMs, przerwij);
        std::optional<WykrytyTytul> wynik;
        if (z.poczatekPrzesuniety || z.koniecPrzesuniety)
            wynik = WykrytyTytul{z.poczatekMs, z.dlugoscMs, z.poczatekMs + z.dlugoscMs};
        return wynik;
    };
    TFormWykrywanie okno(this, QStringLiteral("Dopasowanie do przerw"),
                         QStringLiteral("Dopasowanie zakładki"));
    const TFormWykrywanie::Wynik wynik =
        okno.wykryj(pliki, m_sesja->konfiguracja().Wykrywanie.Przerwa, dopasowanie);
    if (wynik.przerwano) {
        ustawStatus(
            QStringLiteral("Dopasowanie do przerw przerwano; zakładki pozostały bez zmian."));
        return;
    }
    QList<ZakladkaWiersza> nowe;
    QStringList bledy;
    for (qsizetype i = 0; i < wynik.pliki.size(); ++i) {
        const TFormWykrywanie::WynikPliku& w = wynik.pliki.at(i);
        if (w.tytul)
            nowe.append({rows.at(i), QString::number(w.tytul->poczatekMs),
                         QString::number(w.tytul->dlugoscMs)});
        else if (!w.blad.isEmpty())
            bledy.append(pliki.at(i) + QStringLiteral(" – ") + w.blad);
    }
    const int zmienione = m_historia->zmienZakladki(nowe, QStringLiteral("dopasuj do przerw"));
    ustawStatus(QStringLiteral("Dopasowanie do przerw zakończone: przesunięto zakładki %1 z %2.")
                    .arg(zmienione)
                    .arg(rows.size()));
    if (!bledy.isEmpty())
        pokazFormBlad(QStringLiteral("Tych plików nie można odczytać; ich zakładki pozostały bez "
                                     "zmian:"),
                      bledy);
    fokusNaLiscie();
}
