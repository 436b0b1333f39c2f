#pragma once
// The program's settings, kept in the key "SonvCom" of the settings store:
// the card (the mount point of the player's card), the store folder for
// merged books and the default bookmark length in ms, and how bookmarks
// are placed by themselves and indexed in a merged book, and the loudness a
// levelled book is brought to.

#include <QString>
#include <cstdint>
#include <optional>

class SettingsStore;

// The key of the settings store that holds the settings, and beside them
// what the main window remembers between runs.
inline const QString kKluczUstawien = QStringLiteral("SonvCom");

// Bookmark detection and the merge's index. A key without these values
// (written by an earlier version) gives the defaults, without a word.
struct UstawieniaWykrywania {
    static constexpr std::int32_t kDomyslnaPrzerwa = 700;
    static constexpr std::int32_t kMinPrzerwa = 100;
    static constexpr std::int32_t kMaksPrzerwa = 10'000;

    std::int32_t Przerwa = kDomyslnaPrzerwa; // ms of silence that end a spoken title
    // merge: bookmarks estimated from the book's average rate rather than
    // placed on their frames. Kept as "IndeksSzacowany"; the "DokladnyIndeks"
    // of earlier versions is not read (its 0 was only the old default).
    bool IndeksSzacowany = false;
    bool WykrywajPrzyDodawaniu = false; // new entries get detected bookmarks
    // merge: the loudness a levelled book is brought to, in LUFS as the
    // settings dialog stored it ("-18", "-16.5"); empty or unreadable: the
    // default. Kept as text: its range and reading are the audio layer's
    // (celGlosnosci).
    QString CelGlosnosci;
    bool operator==(const UstawieniaWykrywania&) const = default;
};

struct Konfiguracja {
    QString Karta;   // empty until the settings are stored
    QString Magazyn; // without a final separator
    std::int32_t DomyslnaZakladka = 5000;
    UstawieniaWykrywania Wykrywanie;
};

// Reads the settings into `k` one value after another: a mistyped value
// throws ERegistryException and leaves it and the values after it as they
// were. Returns the notice the user is to see: on the first run (no key
// yet: the home folder as the store, no card, 5000 ms) and for a key
// without the bookmark length (5000 ms then).
std::optional<QString> odczytajKonfiguracje(const SettingsStore& store, Konfiguracja& k);

// Stores the values in one write: all of them or none. Other values of the
// key stay as they are. Given `wczytana`, the settings the user started
// from, only the values that differ from it are written, over the key as it
// is now, so that what another running copy of the program stored meanwhile
// stays unless the user changed that very value; a value the key lacks is
// written anyway.
void zapiszKonfiguracje(SettingsStore& store, const Konfiguracja& k,
                        const std::optional<Konfiguracja>& wczytana = std::nullopt);
