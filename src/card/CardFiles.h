#pragma once
// Files on the memory card: its root folder, the player's state file and the
// copy of a book's files into the root; plus the two size measurements the
// card and announcement commands use.

#include <QString>
#include <cstdint>
#include <functional>

// The card root for the setting `Karta` (a mount point): the folder with a
// final separator; empty when no card is chosen.
QString korzenKarty(const QString& karta);

// The player's state file in a card root.
QString sciezkaPlayera(const QString& korzen);

// The state file's whole content: "0000 0000", 9 bytes, no line end.
inline constexpr char zawartoscPlayera[] = "0000 0000";

// Writes the state file into the card root, replacing any existing one
// atomically (temporary file in the root, synced, then renamed). Throws
// EInOutError naming the full path when it cannot be written.
void zapiszPlayerDat(const QString& korzen);

// The size of a file in bytes, measured by opening it for reading only (a
// read-only book is measured too). Throws EInOutError naming the file when
// it cannot be opened.
std::int64_t rozmiarPlikuDoOdczytu(const QString& sciezka);

// The size of whatever the path names, 0 when nothing does (a folder counts 0).
std::int64_t wielkoscPliku(const QString& sciezka);

enum class WynikKopiowania {
    Skopiowano,    // the file is on the card, synced, under its own name
    NieZamieniono, // a file of that name was there and the user kept it
    Anulowano,     // the user stopped the copy; nothing was left behind
    Blad,          // reading or writing failed; nothing was left behind
};

struct RaportKopiowania {
    WynikKopiowania wynik = WynikKopiowania::Blad;
    QString blad; // with Blad: what failed, naming the file
    bool udane() const { return wynik == WynikKopiowania::Skopiowano; }
};

struct ObslugaKopiowania {
    // Called before the first chunk and after each one; false stops the copy.
    std::function<bool(std::int64_t skopiowano, std::int64_t razem)> postep;
    // Asked when the card already holds a file of that name; false keeps it.
    std::function<bool(const QString& celNaKarcie)> czyZamienic;
};

// Copies one file into the card root under its own name. The data goes to a
// temporary file in the root, is synced and then renamed, so the card never
// holds a truncated file under the book's name, and a stopped or failed copy
// leaves nothing behind.
RaportKopiowania kopiujNaKarte(const QString& plik, const QString& korzen,
                               const ObslugaKopiowania& obsluga);

// How one file gets into the card root: kopiujNaKarte, unless a test says
// otherwise. Called on the copy's worker thread.
using KopiowanieNaKarte = std::function<RaportKopiowania(const QString& plik, const QString& korzen,
                                                         const ObslugaKopiowania& obsluga)>;
