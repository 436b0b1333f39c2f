// Reading and storing the settings, the settings command and its dialogs.

#include "app/MainForm.h"
#include "app/Seams.h"
#include "settings/FormUstawienia.h"
#include "settings/FormWybierzFolder.h"
#include "settings/SettingsStore.h"

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

void TMainForm::ZapiszKonfiguracje(const QString& karta, const QString& magazyn,
                                   std::int32_t zakladka) {
    const auto key = m_store.openForWriting(kKlucz);
    key->writeString(QStringLiteral("Karta"), karta);
    key->writeString(QStringLiteral("Magazyn"), magazyn);
    key->writeInteger(QStringLiteral("Zakladka"), zakladka);
    key->commit();
}

void TMainForm::Ustawienia1Click() {
    if (FormUstawienia)
        m_seams.execDialog(FormUstawienia);
}

void TMainForm::utworzFormUstawienia() {
    FormUstawienia = new TFormUstawienia(*this);
}

void TMainForm::utworzFormWybierzFolder() {
    FormWybierzFolder = new TFormWybierzFolder(*this);
}
