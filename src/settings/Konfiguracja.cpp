#include "settings/Konfiguracja.h"

#include "base/Paths.h"
#include "settings/SettingsStore.h"

#include <QDir>

namespace {
const QString kKlucz = QStringLiteral("SonvCom");
}

std::optional<QString> odczytajKonfiguracje(const SettingsStore& store, Konfiguracja& k) {
    const auto key = store.open(kKlucz, false);
    if (!key) {
        k.Magazyn = QDir::homePath();
        k.DomyslnaZakladka = 5000;
        k.Karta.clear();
        return QStringLiteral("To jest pierwsze uruchomienie programu.\r\nDo jego poprawnej pracy "
                              "konieczne jest dokonanie ustawień konfiguracji.");
    }
    k.Karta = key->readString(QStringLiteral("Karta")).value_or(QString());
    k.Magazyn = key->readString(QStringLiteral("Magazyn")).value_or(QString());
    if (!k.Magazyn.isEmpty() && k.Magazyn.endsWith(separatorFolderow()))
        k.Magazyn.chop(1);
    if (const auto zakladka = key->readInteger(QStringLiteral("Zakladka"))) {
        k.DomyslnaZakladka = *zakladka;
        return std::nullopt;
    }
    // A key without the length (a save that failed half way) keeps the
    // program usable with the usual default.
    k.DomyslnaZakladka = 5000;
    return QStringLiteral("W ustawieniach brakuje wartości \u201eZakladka\u201d (domyślna długość "
                          "zakładki). Przyjęto 5000 ms; zapisz ustawienia ponownie.");
}

void zapiszKonfiguracje(SettingsStore& store, const Konfiguracja& k) {
    const auto key = store.openForWriting(kKlucz);
    key->writeString(QStringLiteral("Karta"), k.Karta);
    key->writeString(QStringLiteral("Magazyn"), k.Magazyn);
    key->writeInteger(QStringLiteral("Zakladka"), k.DomyslnaZakladka);
    key->commit();
}
