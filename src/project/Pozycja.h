#pragma once
// One project entry: a row of the main window's list. The five texts are
// kept exactly as they were given; the numbers are converted with StrToInt
// by whoever reads them. A name or folder that is not UTF-8 on the disk
// keeps its bytes (see nazwaZSystemu).

#include <QList>
#include <QString>

struct PozycjaProjektu {
    QString Lp;         // 1-based position of the row
    QString NazwaPliku; // file name with its extension, no folder
    QString Poczatek;   // bookmark start, ms, decimal text
    QString Dlugosc;    // bookmark length, ms, decimal text
    QString Folder;     // folder ending in the native separator
    // The heading level of a chapter that came from a book with nested
    // headings (an imported DAISY book): "1" to "6"; empty when not known.
    // Kept in the project file for the export; no column shows it.
    QString Poziom{};
    // The user has listened to the bookmark and accepted it.
    bool Sprawdzona = false;

    // The entry's file: Folder followed directly by NazwaPliku.
    QString sciezka() const { return Folder + NazwaPliku; }
    bool operator==(const PozycjaProjektu&) const = default;
};

using ListaPozycji = QList<PozycjaProjektu>;
