// The merge and the export: the session decides, the windows show.

#include "app/MainForm.h"
#include "app/RozmowaOkna.h"
#include "merge/Miernik.h"
#include "merge/ui/FormScalaniePlikow.h"

void TMainForm::Scalajpliki1Click() {
    Stop();
    m_wyjscie->scal();
}

void TMainForm::Eksportujksiazke1Click() {
    Stop();
    m_wyjscie->eksportuj();
}

void TMainForm::utworzFormScalaniePlikow() {
    m_FormScalaniePlikow =
        new TFormScalaniePlikow(this, m_komunikaty, *m_rozmowa,
                                m_uslugi.miernikScalania ? m_uslugi.miernikScalania : miernikMp3());
}
