#pragma once
// A bookmark moved onto the pauses around it: its start to where the
// nearest pause ends, its end to where the nearest pause begins, so that it
// holds whole words however roughly it was set. Pauses are found as the
// title detection finds them (OknaDzwieku.h) in the few seconds around the
// bookmark, which alone are decoded: a bookmark deep in a long file costs a
// walk over frame headers to it, not a decode.
//
// Plain QtCore and libmpg123; may run on a worker thread.

#include "audio/OknaDzwieku.h"

#include <QString>
#include <atomic>

// How far either end of a bookmark may move.
inline constexpr int kDopasowanieMaksMs = 2000;

struct ZakladkaDoPrzerw {
    int poczatekMs = 0;
    int dlugoscMs = 0;
    bool poczatekPrzesuniety = false; // a pause's end was found within reach
    bool koniecPrzesuniety = false;   // a pause's beginning was found within reach
    bool operator==(const ZakladkaDoPrzerw&) const = default;
};

// The rule, on windows decoded around the bookmark (their level taken from
// them alone). A pause is a stretch of at least przerwaMs without speech (a
// knock or a breath in it, as the title detection tells them, does not
// count); the file's start counts as the end of one and its end as the
// beginning of one. The start moves to the end of a pause, the end to the
// beginning of a later one, each within kDopasowanieMaksMs: the pair whose
// distances to the bookmark's start and end add up least, or, when no
// such pair is in reach, the nearest of each. The start lands 100 ms before
// the speech, the end 130 ms into the pause, so that neither a soft onset
// nor a fading last syllable is cut; the end never past the file's end. Without
// such a pause an end keeps its place (the end then keeps the length when
// the start has moved past it), and a bookmark's end past the file's end,
// when the windows reach it, comes back to it.
ZakladkaDoPrzerw dopasujDoPrzerw(const ObrazDzwieku& obraz, int poczatekMs, int dlugoscMs,
                                 int przerwaMs);

// The same over the file, decoding only the stretches the rule looks at.
// When *przerwij becomes true it stops and returns the bookmark unchanged.
// Throws EMCIDeviceError when the file cannot be read or holds no MPEG
// audio.
ZakladkaDoPrzerw dopasujDoPrzerw(const QString& path, int poczatekMs, int dlugoscMs, int przerwaMs,
                                 const std::atomic_bool* przerwij = nullptr);
