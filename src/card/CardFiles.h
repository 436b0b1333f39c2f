#pragma once
// Files on the memory card: its root folder and the player's state file;
// plus the two size measurements the card and announcement commands use.
// A book's files are copied by card/KsiazkaNaKarcie.h.

#include <QString>
#include <cstdint>

// The card root for the setting `Karta` (a mount point): the folder with a
// final separator; empty when no card is chosen.
QString korzenKarty(const QString& karta);

// The player's state file in a card root.
QString sciezkaPlayera(const QString& korzen);

// The state file's whole content: "0000 0000", 9 bytes, no line end.
inline constexpr char zawartoscPlayera[] = "0000 0000";

// Writes the state file into the card root, replacing any existing one
// atomically (temporary file in the root, synced, then renamed). Throws
// EInOutError naming the full path when it cannot be written, and without
// writing anything when the name on the card is a symbolic link.
void zapiszPlayerDat(const QString& korzen);

// The size of a file in bytes, measured by opening it for reading only (a
// read-only book is measured too). Throws EInOutError naming the file when
// it cannot be opened.
std::int64_t rozmiarPlikuDoOdczytu(const QString& sciezka);

// The size of whatever the path names, 0 when nothing does (a folder counts 0).
std::int64_t wielkoscPliku(const QString& sciezka);
