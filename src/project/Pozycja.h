#pragma once
// One project entry: a row of the main window's list. All five fields are
// text exactly as the list shows them; the numbers are converted with
// StrToInt by whoever reads them.

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

    // The entry's file: Folder followed directly by NazwaPliku.
    QString sciezka() const { return Folder + NazwaPliku; }
    bool operator==(const PozycjaProjektu&) const = default;
};

using ListaPozycji = QList<PozycjaProjektu>;
