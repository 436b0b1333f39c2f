#pragma once
// A file's sound as consecutive 10 ms windows of the mono mix, decoded a few
// at a time from any place in the file, and where speech lies in them: what
// the title detection and the snapping of bookmarks to pauses share.
//
// Plain QtCore and libmpg123: a decoder belongs to one thread at a time; a
// caller cancels through the flag it passes.

#include "audio/Mp3Stream.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <vector>

// One 10 ms stretch of the mono mix: its lowest and highest sample and its
// RMS, all relative to full scale (-1..1).
struct OknoDzwieku {
    float min = 0;
    float max = 0;
    float rms = 0;
};

// Consecutive windows on the player's time base (every frame counts,
// nothing trimmed), the first at window number `pierwsze` of the file
// (time pierwsze × 10 ms).
struct ObrazDzwieku {
    static constexpr int kOknoMs = 10;
    std::vector<OknoDzwieku> okna;
    int pierwsze = 0;
    bool doKonca = false; // the file ends within the windows (the last may be short)

    int dlugoscMs() const { return int(okna.size()) * kOknoMs; }
};

// Decodes a file's frames into windows, keeping its place between calls so
// that a search can stop as soon as it has its answer. Frames are decoded at
// the first frame's own rate: no resampling, and the player's positions
// (frame durations) are kept whatever the rate.
class DekoderOkien {
public:
    // Windows from `odMs` (rounded down to a window) on: the frames before
    // are passed over by their headers (Mp3Stream::skipTo), the last few of
    // them decoded and dropped so that the first window sounds as in a
    // decode from the start. Throws EMCIDeviceError when the file cannot be
    // read or holds no MPEG audio.
    DekoderOkien(const QString& path, const std::atomic_bool* przerwij, int odMs = 0);

    // Adds windows to `obraz` (which the first call sets to start where this
    // decoder starts) until it holds `okien` of them or the file has ended.
    // False when cancelled.
    bool dekodujDo(ObrazDzwieku& obraz, std::size_t okien);

private:
    void dodaj(ObrazDzwieku& obraz, std::int64_t t, int probka);
    void zamknijOkno(ObrazDzwieku& obraz);
    void zakoncz(ObrazDzwieku& obraz);

    const int czestotliwosc_;
    Mp3Stream stream_;
    const std::atomic_bool* przerwij_;
    const std::int64_t tykiProbki_;
    int pierwsze_ = 0;      // the first window's number in the file
    std::int64_t czas_ = 0; // start of the next frame, in ticks
    std::int64_t suma_ = 0, probek_ = 0;
    int min_ = INT16_MAX, max_ = INT16_MIN;
};

// Speech in windows [0, n): a window whose RMS lies no more than 30 dB
// under the 95th percentile of the windows' RMS, above -60 dBFS and more
// than 6 dB above the 10th percentile (background noise, which fills the
// pauses of a noisy recording). The threshold:
float progMowy(const std::vector<OknoDzwieku>& okna, int n);

// The runs of speech in windows [0, n), [od, koniec) each; runs shorter
// than 50 ms are clicks or breaths and not listed.
struct BiegMowy {
    int od = 0;
    int koniec = 0;
};
inline constexpr int kMinMowaMs = 50;
std::vector<BiegMowy> biegiMowy(const std::vector<OknoDzwieku>& okna, int n, float prog);

// Whether a run of speech is rather a noise (a knock, a breath, a rustle):
// shorter than a syllable (120 ms) with no speech in the 150 ms after it,
// or with its loudest window more than 20 dB under the loudest of the 2 s
// that follow it. `n` windows are known and `prog` is the speech threshold.
bool zaklocenie(const std::vector<OknoDzwieku>& okna, const BiegMowy& bieg, int n, float prog);
