// The main window's loudness commands: measuring the entries' files and the
// "Głośność" report.

#include "app/MainForm.h"

#include "audio/RaportGlosnosci.h"
#include "audio/ui/FormPomiarGlosnosci.h"
#include "project/ModelProjektu.h"
#include "widgets/OknoTekstu.h"
#include "widgets/Seams.h"

PamiecGlosnosci& TMainForm::glosnosci() {
    return m_glosnosci;
}

void TMainForm::Glosnosc1Click() {
    RaportGlosnosci();
    fokusNaLiscie();
}

void TMainForm::RaportGlosnosci() {
    const QList<int> rows = wierszeDoPracy();
    if (rows.isEmpty())
        return;
    QStringList pliki;
    for (int row : rows)
        pliki.append(m_projekt->wiersz(row).sciezka());

    TFormPomiarGlosnosci okno(this);
    const MiernikGlosnosci miernik =
        m_uslugi.miernikGlosnosci ? m_uslugi.miernikGlosnosci : MiernikGlosnosci(zmierzGlosnosc);
    const TFormPomiarGlosnosci::Wynik wynik = okno.zmierz(pliki, m_glosnosci, miernik);
    if (wynik.przerwano) {
        ustawStatus(QStringLiteral("Pomiar głośności przerwano; zmierzone pliki (%1) zapamiętano, "
                                   "następny pomiar zmierzy pozostałe.")
                        .arg(wynik.zmierzone));
        return;
    }

    QList<PozycjaGlosnosci> pozycje;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        PozycjaGlosnosci p;
        p.nazwa = QStringLiteral("%1. %2")
                      .arg(rows.at(i) + 1)
                      .arg(m_projekt->wiersz(rows.at(i)).NazwaPliku);
        p.pomiar = m_glosnosci.znajdz(pliki.at(i));
        if (!p.pomiar) {
            p.blad = wynik.bledy.value(pliki.at(i));
            // Measured, but the file is no longer what was measured.
            if (p.blad.isEmpty())
                p.blad = QStringLiteral("plik zmienił się w czasie pomiaru");
        }
        pozycje.append(p);
    }
    if (!m_FormGlosnosc)
        m_FormGlosnosc =
            new OknoTekstu(this, QStringLiteral("FormGlosnosc"), QStringLiteral("Głośność"),
                           QStringLiteral("MemoGlosnosc"), QStringLiteral("Głośność pozycji"));
    // The step at the target the levelled merge would use.
    const double cel =
        celGlosnosci(m_sesja->konfiguracja().Wykrywanie.CelGlosnosci).value_or(kDomyslnyCelLufs);
    m_FormGlosnosc->pokaz(raportGlosnosci(pozycje, cel));
    m_seams.execDialog(m_FormGlosnosc);
}
