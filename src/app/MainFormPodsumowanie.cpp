// The book's summary: in its own window (Narzędzia) and at the top of the
// merge dialog.

#include "app/MainForm.h"
#include "card/CardFiles.h"
#include "merge/Miernik.h"
#include "merge/Podsumowanie.h"
#include "merge/ui/FormPodsumowanie.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

void TMainForm::Podsumowanieksiazki1Click() {
    const auto linie = podsumowanieKsiazki();
    if (!linie)
        return;
    if (!m_FormPodsumowanie)
        m_FormPodsumowanie = new TFormPodsumowanie(this);
    m_FormPodsumowanie->pokaz(*linie);
    m_seams.execDialog(m_FormPodsumowanie);
}

// The entries' files are examined with a progress window (which the user
// may stop: then there is no summary) and the card measured as a copy does.
// `rozmiar`, when given, gets the merged book's size added.
std::optional<QStringList> TMainForm::podsumowanieKsiazki(std::int64_t* rozmiar) {
    const ListaPozycji pozycje = m_projekt->pozycje();
    TFormBadanie okno(this);
    const MiernikMp3 miernik = m_uslugi.miernikScalania ? m_uslugi.miernikScalania : miernikMp3();
    const auto pliki = okno.zbadaj(pozycje, miernik);
    if (!pliki)
        return std::nullopt;
    if (rozmiar)
        for (const PlikKsiazki& plik : *pliki)
            *rozmiar += plik.rozmiar;
    KartaPodsumowania karta;
    if (m_sesja->konfiguracja().Karta.isEmpty()) {
        karta.brak = QStringLiteral("Nie wybrano karty.");
    } else {
        const QString korzen = korzenKarty(m_sesja->konfiguracja().Karta);
        karta.pomiar = ::zmierzKarte(korzen, m_sesja->zrodloMiejsca());
        if (!karta.pomiar)
            karta.brak = QStringLiteral("Karta nie jest dostępna: %1.").arg(korzen);
    }
    return ::podsumowanieKsiazki(pozycje, *pliki, karta);
}
