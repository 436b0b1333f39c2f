// Bookmark detection over the entry list: every chosen row's bookmark from
// the title spoken at the beginning of its file.

#include "app/MainForm.h"

#include "audio/ui/FormWykrywanie.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"

void TMainForm::Wykryjzakadki1Click() {
    WykryjZakladki();
}

void TMainForm::WykryjZakladki() {
    // One row's bookmark is found with "Wykryj" in its bookmark editor.
    wykryjZakladkiWierszy(wierszeDoPracy());
    fokusNaLiscie();
}

void TMainForm::wykryjZakladkiWierszy(const QList<int>& rows) {
    if (rows.isEmpty())
        return;
    QStringList pliki;
    for (int row : rows)
        pliki.append(m_projekt->wiersz(row).sciezka());
    TFormWykrywanie okno(this);
    const TFormWykrywanie::Wynik wynik = okno.wykryj(
        pliki, m_sesja->konfiguracja().Wykrywanie.Przerwa,
        m_uslugi.wykrywanieTytulow ? m_uslugi.wykrywanieTytulow : WykrywanieTytulow(wykryjTytul));
    if (wynik.przerwano) {
        ustawStatus(QStringLiteral("Wykrywanie zakładek przerwano; zakładki pozostały bez zmian."));
        return;
    }
    // Every bookmark found is one step of the history, so one "Cofnij" takes
    // back the whole detection.
    QList<ZakladkaWiersza> zakladki;
    QStringList nieznalezione;
    for (qsizetype i = 0; i < wynik.pliki.size(); ++i) {
        const TFormWykrywanie::WynikPliku& w = wynik.pliki.at(i);
        if (w.tytul) {
            zakladki.append({rows.at(i), QString::number(w.tytul->poczatekMs),
                             QString::number(w.tytul->dlugoscMs)});
        } else {
            nieznalezione.append(w.blad.isEmpty() ? pliki.at(i)
                                                  : pliki.at(i) + QStringLiteral(" – ") + w.blad);
        }
    }
    const int zmienione = m_historia->zmienZakladki(zakladki, QStringLiteral("wykryj zakładki"));
    ustawStatus(QStringLiteral("Wykrywanie zakładek zakończone: wykryto %1 z %2, zmieniono %3.")
                    .arg(zakladki.size())
                    .arg(rows.size())
                    .arg(zmienione));
    if (!nieznalezione.isEmpty()) {
        pokazFormBlad(QStringLiteral("W następujących plikach nie znaleziono tytułu z przerwą po "
                                     "nim; ich zakładki pozostały bez zmian:"),
                      nieznalezione);
    }
}

// After the rows are in, as one step of its own, so that adding stays as
// quick as measuring the files.
void TMainForm::wykryjZakladkiNowych(int first, int end) {
    if (!m_sesja->konfiguracja().Wykrywanie.WykrywajPrzyDodawaniu)
        return;
    QList<int> rows;
    for (int row = first; row < end; ++row)
        rows.append(row);
    wykryjZakladkiWierszy(rows);
}
