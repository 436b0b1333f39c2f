#pragma once
// Audio files other than the program's own MP3 work, through FFmpeg's
// libraries: what a file holds (libavformat: its format, length and
// chapters) and its samples decoded and converted to one format
// (libavcodec, libswresample) for the encoder.

#include "import/Rozdzialy.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// The file's format, length, tags and chapters. Throws EBladZrodla naming
// the file: missing or unreadable, no audio in it, protected by DRM, cut
// short (an MP4 without its index).
PlikDzwieku zbadajPlikDzwieku(const QString& sciezka);

// Decodes a stretch of a file into interleaved signed 16-bit samples at one
// rate and channel count. One object belongs to one thread.
class DekoderDzwieku {
public:
    // Throws EBladZrodla naming the file.
    DekoderDzwieku(const QString& sciezka, int czestotliwosc, int kanaly);
    ~DekoderDzwieku();
    DekoderDzwieku(const DekoderDzwieku&) = delete;
    DekoderDzwieku& operator=(const DekoderDzwieku&) = delete;

    // Hands the samples of [odUs, doUs) (doUs -1: to the end) to `odbierz`,
    // `ramki` samples per channel at a time, in order; returns how many
    // there were. `oczekiwaneUs`, when not negative, is how long the file
    // said the stretch is: audio that ends more than a second short of it
    // means a file cut short, and throws EBladZrodla. Returns early, with
    // what it had, once `stop` is set.
    std::int64_t dekoduj(std::int64_t odUs, std::int64_t doUs, std::int64_t oczekiwaneUs,
                         const std::function<void(const std::int16_t* probki, int ramki)>& odbierz,
                         const std::atomic_bool& stop);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
