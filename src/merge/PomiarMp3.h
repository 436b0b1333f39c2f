#pragma once
// What the merge learns of an entry's file, and the function that measures
// it: the audio layer's frame walk in the program (miernikMp3), a stand-in
// in tests.

#include "merge/IndexFile.h"

#include <QString>
#include <cstdint>
#include <functional>

// What the merge needs to know of an MP3 file.
struct FormatDzwieku {
    int czestotliwosc = 0; // sample rate of the first frame, Hz
    int kanaly = 0;        // channels of the first frame
    bool operator==(const FormatDzwieku&) const = default;
};

// What the merge learns of an entry's file from a walk over its frames.
struct PomiarMp3 {
    FormatDzwieku format;            // of the first frame
    std::int64_t dlugoscMs = 0;      // every frame at its own rate
    std::int64_t pominieteBajty = 0; // bytes that are neither frames nor tags
    MapaRamek ramki{};               // where its frames lie; empty when unknown
    // Exact durations, in units of which jednostekNaMs make a millisecond:
    // the file on its own (what dlugoscMs rounds), and the file inside a
    // book after another file, where every frame it holds plays, an
    // encoder's information frame at its start too. No units (0): only
    // dlugoscMs is known, and it serves for both.
    std::int64_t jednostekNaMs = 0;
    std::int64_t czas = 0, czasWKsiazce = 0;
};

// Measures one entry's file; throws when it cannot be read or holds no MP3
// audio.
using MiernikMp3 = std::function<PomiarMp3(const QString&)>;
