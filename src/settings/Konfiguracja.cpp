#include "settings/Konfiguracja.h"

#include "base/Paths.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <algorithm>

namespace {

// ---- bookmark detection and the index -----------------------------------------
const QString kPrzerwa = QStringLiteral("Przerwa");
const QString kDokladnyIndeks = QStringLiteral("DokladnyIndeks");
const QString kWykrywajPrzyDodawaniu = QStringLiteral("WykrywajPrzyDodawaniu");

// Missing values keep their defaults; a pause edited by hand outside the
// range the settings dialog accepts is brought back into it.
void odczytajUstawieniaWykrywania(const RegistryKey& key, UstawieniaWykrywania& w) {
    w = {};
    if (const auto przerwa = key.readInteger(kPrzerwa))
        w.Przerwa = std::clamp(*przerwa, UstawieniaWykrywania::kMinPrzerwa,
                               UstawieniaWykrywania::kMaksPrzerwa);
    w.DokladnyIndeks = key.readInteger(kDokladnyIndeks).value_or(0) != 0;
    w.WykrywajPrzyDodawaniu = key.readInteger(kWykrywajPrzyDodawaniu).value_or(0) != 0;
}

void zapiszUstawieniaWykrywania(RegistryKey& key, const UstawieniaWykrywania& w) {
    key.writeInteger(kPrzerwa, w.Przerwa);
    key.writeInteger(kDokladnyIndeks, w.DokladnyIndeks ? 1 : 0);
    key.writeInteger(kWykrywajPrzyDodawaniu, w.WykrywajPrzyDodawaniu ? 1 : 0);
}

} // namespace

std::optional<QString> odczytajKonfiguracje(const SettingsStore& store, Konfiguracja& k) {
    const auto key = store.open(kKluczUstawien, false);
    if (!key) {
        k.Magazyn = QDir::homePath();
        k.DomyslnaZakladka = 5000;
        k.Karta.clear();
        k.Wykrywanie = {};
        return QStringLiteral("To jest pierwsze uruchomienie programu.\r\nDo jego poprawnej pracy "
                              "konieczne jest dokonanie ustawień konfiguracji.");
    }
    k.Karta = key->readString(QStringLiteral("Karta")).value_or(QString());
    k.Magazyn = key->readString(QStringLiteral("Magazyn")).value_or(QString());
    if (!k.Magazyn.isEmpty() && k.Magazyn.endsWith(separatorFolderow()))
        k.Magazyn.chop(1);
    const auto zakladka = key->readInteger(QStringLiteral("Zakladka"));
    // A key without the length (a save that failed half way) keeps the
    // program usable with the usual default.
    k.DomyslnaZakladka = zakladka.value_or(5000);
    odczytajUstawieniaWykrywania(*key, k.Wykrywanie);
    if (zakladka)
        return std::nullopt;
    return QStringLiteral("W ustawieniach brakuje wartości \u201eZakladka\u201d (domyślna długość "
                          "zakładki). Przyjęto 5000 ms; zapisz ustawienia ponownie.");
}

void zapiszKonfiguracje(SettingsStore& store, const Konfiguracja& k) {
    const auto key = store.openForWriting(kKluczUstawien);
    key->writeString(QStringLiteral("Karta"), k.Karta);
    key->writeString(QStringLiteral("Magazyn"), k.Magazyn);
    key->writeInteger(QStringLiteral("Zakladka"), k.DomyslnaZakladka);
    zapiszUstawieniaWykrywania(*key, k.Wykrywanie);
    key->commit();
}
