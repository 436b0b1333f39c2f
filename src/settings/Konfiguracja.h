#pragma once
// The program's three settings, kept in the key "SonvCom" of the settings
// store: the card (the mount point of the player's card), the store folder
// for merged books and the default bookmark length in ms.

#include <QString>
#include <cstdint>
#include <optional>

class SettingsStore;

struct Konfiguracja {
    QString Karta;   // empty until the settings are stored
    QString Magazyn; // without a final separator
    std::int32_t DomyslnaZakladka = 5000;
};

// Reads the settings into `k` one value after another: a mistyped value
// throws ERegistryException and leaves it and the values after it as they
// were. Returns the notice the user is to see: on the first run (no key
// yet: the home folder as the store, no card, 5000 ms) and for a key
// without the bookmark length (5000 ms then).
std::optional<QString> odczytajKonfiguracje(const SettingsStore& store, Konfiguracja& k);

// Stores the three values in one write: all of them or none.
void zapiszKonfiguracje(SettingsStore& store, const Konfiguracja& k);
