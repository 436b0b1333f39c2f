#pragma once
// Where an MP3 file is cut into chapters without decoding it: at the frame
// boundary nearest to each asked time, so that every frame goes to the
// chapter that holds its middle and the chapters of one file together hold
// each of its frames once. A chapter is then the source's own frame bytes.

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

struct CiecieMp3 {
    struct Punkt {
        std::int64_t bajt = 0; // where the frame at the boundary begins (or the audio ends)
        std::int64_t tiki = 0; // its time (Mp3Stream.h ticks) from the first frame
    };
    std::vector<Punkt> punkty; // for each asked time, in the order asked
    // Bytes between the first and the last frame that are no audio (a tag,
    // damage): they are left out of the chapters.
    std::vector<std::pair<std::int64_t, std::int64_t>> przerwy;
    std::int64_t tiki = 0; // of all frames
    int czestotliwosc = 0; // of the first frame
    int kanaly = 0;

    // The byte ranges of the frames from point `od` to point `do_`.
    std::vector<std::pair<std::int64_t, std::int64_t>> zakresy(const Punkt& od,
                                                               const Punkt& do_) const;
};

// Walks the frames of `sciezka` once (its information frame and tags left
// out). `czasyUs`: times from the start of its audio, ascending; -1 (only
// last) stands for its end. `postep` gets the ticks walked now and then.
// Throws EBladZrodla naming the file when it cannot be read or holds no MP3
// audio; returns early once `stop` is set.
CiecieMp3 zbadajCieciaMp3(const QString& sciezka, const std::vector<std::int64_t>& czasyUs,
                          const std::atomic_bool& stop,
                          const std::function<void(std::int64_t tiki)>& postep);
