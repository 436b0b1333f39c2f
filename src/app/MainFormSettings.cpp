// Reading and storing the settings, the settings command and its dialogs.

#include "app/MainForm.h"
#include "settings/Konfiguracja.h"
#include "settings/ui/FormUstawienia.h"
#include "settings/ui/FormWybierzFolder.h"
#include "widgets/Seams.h"

void TMainForm::OdczytajKonfiguracje() {
    m_sesja->odczytajKonfiguracje();
}

// The other settings are stored again as they are in force.
void TMainForm::ZapiszKonfiguracje(const QString& karta, const QString& magazyn,
                                   std::int32_t zakladka) {
    Konfiguracja k = m_sesja->konfiguracja();
    k.Karta = karta;
    k.Magazyn = magazyn;
    k.DomyslnaZakladka = zakladka;
    ZapiszKonfiguracje(k);
}

void TMainForm::ZapiszKonfiguracje(const Konfiguracja& k) {
    m_sesja->zapiszKonfiguracje(k);
}

void TMainForm::Ustawienia1Click() {
    if (!m_FormUstawienia)
        return;
    m_FormUstawienia->przygotuj(m_sesja->konfiguracja());
    m_seams.execDialog(m_FormUstawienia);
}

// "Zapisz" of the settings dialog stores the settings and takes them into use.
void TMainForm::utworzFormUstawienia() {
    m_FormUstawienia =
        new TFormUstawienia(this, m_komunikaty, m_uslugi.woluminy, [this](const Konfiguracja& k) {
            ZapiszKonfiguracje(k);
            OdczytajKonfiguracje();
            m_sesja->zapiszStan(); // a first save creates the key: now the rest fits in
        });
}

void TMainForm::utworzFormWybierzFolder() {
    m_FormWybierzFolder =
        new TFormWybierzFolder(this, m_komunikaty, m_uslugi.woluminy, m_FormUstawienia);
    m_FormUstawienia->ustawWyborFolderu(m_FormWybierzFolder);
}
