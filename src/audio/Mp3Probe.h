#pragma once
// The exact length and the format of an MP3 file, from a walk over every
// frame (no decoding). Header-based estimates (a Xing header, the bit rate
// times the size) are wrong for files joined from several MP3 files, which
// is what the merge makes.

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

struct Mp3Frame;
struct Mp3Pass;

struct Mp3Info {
    std::int64_t lengthMs = 0; // every frame at its own sample rate, rounded
    std::int64_t frames = 0;
    int sampleRate = 0;       // of the first frame
    int channels = 0;         // of the first frame
    int version = 0;          // of the first frame: 1, 2 or 25 (MPEG-2.5)
    int layer = 0;            // of the first frame
    bool mixedFormat = false; // some frame differs in rate or channel count
    // Bytes of the file that are neither audio frames nor metadata tags.
    std::int64_t skippedBytes = 0;
    // Exact durations in ticks (kTicksPerSecond): of the frames counted in
    // lengthMs, and of every frame the walk found, an encoder's information
    // frame at the start too (what the file adds inside a joined file).
    std::int64_t ticks = 0;
    std::int64_t walkedTicks = 0;
    // The encoder's information frame at the start (Xing, Info): its first
    // byte in the file (-1: none) and its bytes as the walk passed them.
    std::int64_t infoOffset = -1;
    std::vector<unsigned char> infoFrame;
};

// Throws EMCIDeviceError naming the file when it cannot be read or holds no
// MPEG audio. `eachFrame`, when given, sees every audio frame in file order.
Mp3Info probeMp3(const QString& path, const std::function<void(const Mp3Frame&)>& eachFrame = {});

// The same over a file the caller has opened and wants to read once: every
// byte of it reaches pass.receive (see Mp3Pass) by the time this returns.
Mp3Info probeMp3(const QString& path, Mp3Pass pass,
                 const std::function<void(const Mp3Frame&)>& eachFrame = {});
