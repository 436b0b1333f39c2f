#pragma once
// One entry's file read once on its way into a book: the frame walk reads
// the open file and hands every byte on in order, the global gains of its
// audio frames moved by the entry's levelling step on the way. The merge
// writes all of them into the book; the export writes the audio frames.

#include "merge/PomiarMp3.h"

#include <QString>
#include <cstdint>
#include <functional>

struct PrzejscieWpisu {
    PomiarMp3 pomiar;
    std::int64_t bajty = 0; // handed on
    int przyciete = 0;      // gains held at the edge of their range
};

// Reads the file `sciezka` open as `deskryptor` (at its start, `rozmiar`
// bytes long) through `miernik`, which must
// hand the bytes on (przekazuje()): `odbierz` gets them, each frame's gains
// moved by `kroki` steps of 1.5 dB first and then seen by `ramka` when it is
// given. What the walk or `odbierz` throws passes on.
PrzejscieWpisu przejdzWpis(const QString& sciezka, int deskryptor, std::int64_t rozmiar,
                           const MiernikMp3& miernik, int kroki,
                           const std::function<void(const unsigned char*, std::int64_t)>& odbierz,
                           const std::function<void(unsigned char*, int)>& ramka = {});
