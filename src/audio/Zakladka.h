#pragma once
// How a bookmark relates to the length of its file, in words for the user.

#include <QString>
#include <cstdint>

// A length in ms as the bookmark editor shows it: "1:23,4" (minutes,
// seconds, tenths), "1:02:03,4" from one hour on. Tenths are cut, not
// rounded, so a shown length never reaches past the real end.
QString czasMinuty(std::int64_t ms);

// Where a bookmark lies against the end of its file.
enum class ZakresZakladki {
    WPliku,           // inside the file (it may end exactly at its end)
    PoczatekZaKoncem, // starts at or after the end
    KoniecZaKoncem,   // starts inside, runs past the end
};
ZakresZakladki zakresZakladki(std::int64_t poczatek, std::int64_t dlugosc,
                              std::int64_t dlugoscPliku);

// Empty while the bookmark lies inside the file; otherwise one sentence
// saying that it starts at or after the end of the file, or that it runs
// past the end. Such a bookmark is still allowed: this only warns.
QString ostrzezenieZakladki(std::int64_t poczatek, std::int64_t dlugosc, std::int64_t dlugoscPliku);
