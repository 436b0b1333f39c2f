// Reading the settings into the main window, and the settings command.

#include "app/MainForm.h"
#include "app/Seams.h"
#include "settings/SettingsStore.h"

#include <QDialog>
#include <QDir>

namespace {
const QString kKlucz = QStringLiteral("SonvCom");
}

void TMainForm::OdczytajKonfiguracje() {
    const auto key = m_store.open(kKlucz, false);
    if (!key) {
        uwaga(QStringLiteral("To jest pierwsze uruchomienie programu.\r\nDo jego poprawnej pracy "
                             "konieczne jest dokonanie ustawień konfiguracji."));
        Magazyn = QDir::homePath();
        DomyslnaZakladka = 5000;
        Karta.clear();
        return;
    }
    Karta = key->readString(QStringLiteral("Karta")).value_or(QString());
    Magazyn = key->readString(QStringLiteral("Magazyn")).value_or(QString());
    if (!Magazyn.isEmpty() && Magazyn.endsWith(separatorFolderow()))
        Magazyn.chop(1);
    if (const auto zakladka = key->readInteger(QStringLiteral("Zakladka"))) {
        DomyslnaZakladka = *zakladka;
    } else {
        // A key without the length (a save that failed half way) keeps the
        // program usable with the usual default.
        DomyslnaZakladka = 5000;
        uwaga(
            QStringLiteral("W ustawieniach brakuje wartości \u201eZakladka\u201d (domyślna długość "
                           "zakładki). Przyjęto 5000 ms; zapisz ustawienia ponownie."));
    }
}

void TMainForm::Ustawienia1Click() {
    if (FormUstawienia)
        m_seams.execDialog(reinterpret_cast<QDialog*>(FormUstawienia));
}

void TMainForm::utworzFormUstawienia() {}
void TMainForm::utworzFormWybierzFolder() {}
