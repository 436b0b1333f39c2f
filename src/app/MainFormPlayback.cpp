// The bookmark editor: the selected entry's bookmark set by ear.

#include "app/MainForm.h"

#include "audio/MediaPlayer.h"
#include "audio/ui/FormUstawZakladke.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "widgets/Seams.h"

void TMainForm::utworzFormUstawZakladke() {
    m_FormUstawZakladke =
        new TFormUstawZakladke(this, m_komunikaty, *m_odtwarzanie, *m_MediaPlayer1);
    m_FormUstawZakladke->ustawPrzerwe(
        [this] { return m_sesja->konfiguracja().Wykrywanie.Przerwa; });
}

// The editor works on a copy of the selected entry; what OK leaves in it
// goes back into the row as a step of the history (one only when a text
// differs).
void TMainForm::UstawZakladke1Click() {
    const int row = zaznaczonyWiersz();
    if (row < 0) {
        oglos(powodNieczynnego(m_UstawZakladke1)); // the key does nothing: say why
        return;
    }
    m_FormUstawZakladke->przygotuj(m_projekt->wiersz(row));
    if (m_seams.execDialog(m_FormUstawZakladke) == QDialog::Accepted) {
        const PozycjaProjektu& p = m_FormUstawZakladke->pozycja();
        m_historia->zmienZakladki({{row, p.Poczatek, p.Dlugosc}});
        oglos(QStringLiteral("Zakładka pliku %1: początek %2 ms, długość %3 ms")
                  .arg(p.NazwaPliku, p.Poczatek, p.Dlugosc));
    }
}
