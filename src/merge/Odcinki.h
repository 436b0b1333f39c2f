#pragma once
// Episode announcements: spoken clips from the folder `odcinki` beside the
// program, put in front of the files of a project so that a later merge
// carries them into the book. Row k of the list (counted from 0) receives
// clip k; row 0 receives none.

#include "project/Pozycja.h"

#include <QString>
#include <optional>

// The clip folder, with a final separator: the first folder "odcinki" that
// znajdzDane finds (beside the program, then in the data folders), or the one
// beside the program when there is none.
QString folderZapowiedzi(const QString& folderProgramu);

// The clip's file name for list row `wiersz` (1 and up): "00" and the number
// below 10, "0" and the number from 10 on: 001.mp3 … 009.mp3, 010.mp3 …
// 099.mp3, 0100.mp3 …
QString nazwaZapowiedzi(int wiersz);

// The first row whose clip differs from the row's file in sample rate or
// channel count, described as "001.mp3: 22050 Hz, mono; rozdzial2.mp3:
// 44100 Hz, stereo"; nothing when all agree. A clip or file that cannot be
// read as MP3 is no difference (joining it reports the real problem).
std::optional<QString> pierwszaRozbieznosc(const QString& folder, const ListaPozycji& lista);

// Rewrites `plik` as the bytes of `zapowiedz` followed by its own bytes.
// The joined content goes to a new temporary file of a unique name in the
// file's folder and replaces the file in one rename once it is complete, so
// the file is either whole and old or whole and new. A file without its
// owner's write permission is refused. Throws EInOutError naming the file
// and the reason; no temporary file is left behind.
void dolaczZapowiedz(const QString& zapowiedz, const QString& plik);

// Joins clip k to the file of row k for every row but the first, in list
// order. Stops at the first row that fails with EInOutError naming the file,
// the reason and the rows already done, which keep their clips.
void wstawOdcinki(const QString& folder, const ListaPozycji& lista);
