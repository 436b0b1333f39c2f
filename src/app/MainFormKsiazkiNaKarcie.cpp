// "Książki na karcie": the window of the books on the card chosen in the
// settings, with the store to copy and check from; also offered after a
// copy to the card.

#include "app/MainForm.h"
#include "card/ui/FormKarta.h"
#include "sesja/Sesja.h"
#include "widgets/Seams.h"

void TMainForm::Ksiazkinakarcie1Click() {
    if (!m_sesja->kartaDostepna())
        return;
    DostepDoKarty dostep;
    dostep.korzen = m_sesja->korzen();
    dostep.magazyn = m_sesja->konfiguracja().Magazyn;
    dostep.zrodlo = &m_sesja->zrodloMiejsca();
    dostep.kopiowanie = m_uslugi.kopiowanieNaKarte;
    TFormKarta okno(this, m_komunikaty, std::move(dostep));
    m_seams.execDialog(&okno);
    // Books removed or copied there change the free space the status line
    // says: measured again, on a worker as always.
    m_sesja->zmierzKarte();
    fokusNaLiscie();
}
