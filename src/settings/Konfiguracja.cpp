#include "settings/Konfiguracja.h"

#include "base/Paths.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <algorithm>

namespace {

// ---- bookmark detection and the index -----------------------------------------
const QString kPrzerwa = QStringLiteral("Przerwa");
const QString kIndeksSzacowany = QStringLiteral("IndeksSzacowany");
const QString kWykrywajPrzyDodawaniu = QStringLiteral("WykrywajPrzyDodawaniu");
const QString kCelGlosnosci = QStringLiteral("CelGlosnosci");

// Missing values keep their defaults; a pause edited by hand outside the
// range the settings dialog accepts is brought back into it.
void odczytajUstawieniaWykrywania(const RegistryKey& key, UstawieniaWykrywania& w) {
    w = {};
    if (const auto przerwa = key.readInteger(kPrzerwa))
        w.Przerwa = std::clamp(*przerwa, UstawieniaWykrywania::kMinPrzerwa,
                               UstawieniaWykrywania::kMaksPrzerwa);
    w.IndeksSzacowany = key.readInteger(kIndeksSzacowany).value_or(0) != 0;
    w.WykrywajPrzyDodawaniu = key.readInteger(kWykrywajPrzyDodawaniu).value_or(0) != 0;
    w.CelGlosnosci = key.readString(kCelGlosnosci).value_or(QString());
}

// Whether the key holds the value, of whatever type.
bool ma(const RegistryKey& key, const QString& wartosc) {
    return std::any_of(key.values().cbegin(), key.values().cend(), [&](const auto& para) {
        return para.first.compare(wartosc, Qt::CaseInsensitive) == 0;
    });
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

void zapiszKonfiguracje(SettingsStore& store, const Konfiguracja& k,
                        const std::optional<Konfiguracja>& wczytana) {
    const auto key = store.openForWriting(kKluczUstawien);
    const Konfiguracja przed = wczytana.value_or(Konfiguracja{});
    auto zapisac = [&](const QString& wartosc, bool zmieniona) {
        return !wczytana || zmieniona || !ma(*key, wartosc);
    };
    if (zapisac(QStringLiteral("Karta"), k.Karta != przed.Karta))
        key->writeString(QStringLiteral("Karta"), k.Karta);
    if (zapisac(QStringLiteral("Magazyn"), k.Magazyn != przed.Magazyn))
        key->writeString(QStringLiteral("Magazyn"), k.Magazyn);
    if (zapisac(QStringLiteral("Zakladka"), k.DomyslnaZakladka != przed.DomyslnaZakladka))
        key->writeInteger(QStringLiteral("Zakladka"), k.DomyslnaZakladka);
    const UstawieniaWykrywania &w = k.Wykrywanie, &v = przed.Wykrywanie;
    if (zapisac(kPrzerwa, w.Przerwa != v.Przerwa))
        key->writeInteger(kPrzerwa, w.Przerwa);
    if (zapisac(kIndeksSzacowany, w.IndeksSzacowany != v.IndeksSzacowany))
        key->writeInteger(kIndeksSzacowany, w.IndeksSzacowany ? 1 : 0);
    if (zapisac(kWykrywajPrzyDodawaniu, w.WykrywajPrzyDodawaniu != v.WykrywajPrzyDodawaniu))
        key->writeInteger(kWykrywajPrzyDodawaniu, w.WykrywajPrzyDodawaniu ? 1 : 0);
    if (zapisac(kCelGlosnosci, w.CelGlosnosci != v.CelGlosnosci))
        key->writeString(kCelGlosnosci, w.CelGlosnosci);
    key->commit();
}
