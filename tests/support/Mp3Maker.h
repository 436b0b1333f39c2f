#pragma once
// Test helper: real MP3 files made with the LAME encoder from a synthesized
// tone, joined files, and a reference decode with LAME's own decoder (a
// decoder independent of the one the program uses).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <span>

struct Mp3Format {
    int durationMs = 1000;
    int sampleRate = 44100; // 8000 .. 48000, one of the MPEG rates
    int channels = 1;       // 1 or 2
    int bitrateKbps = 64;   // constant bit rate; ignored with vbr
    bool vbr = false;
    bool id3v2 = false; // an ID3v2 tag in front of the audio
    bool xing = false;  // a Xing/LAME header frame written over the first frame
    double toneHz = 440.0;
    double level = 1.0;       // the tone's amplitude relative to the usual one
    bool crc = false;         // frames protected by a CRC-16
    bool dualChannel = false; // two channels coded as dual channel, not joint stereo
    bool freeFormat = false;  // bit-rate index 0: the frame length is not in the header
};

// The bytes of an MP3 file with the format `fmt` describes. Throws std::runtime_error
// when the encoder refuses the parameters.
QByteArray makeMp3Data(const Mp3Format& fmt);

// The same with these mono samples (at fmt.sampleRate, on every channel)
// in place of the tone; fmt.durationMs is not used.
QByteArray makeMp3Data(const Mp3Format& fmt, std::span<const short> mono);

// LAME's encoder delay plus libmpg123's decoder delay: a sample at position
// k of the encoded samples is heard at k + kMp3DelaySamples in a decode that
// keeps every sample (as the program's player does).
inline constexpr int kMp3DelaySamples = 576 + 529;

// Writes makeMp3Data(fmt) to path (throws std::runtime_error on failure)
// and returns the path.
QString makeMp3(const QString& path, const Mp3Format& fmt);

// Writes the files' bytes one after another into target (no change to any
// part) and returns the target path.
QString joinFiles(const QString& target, const QStringList& parts);

// Bytes that are no MPEG audio, to put between or after frames: `n` bytes
// from a generator seeded with `seed`, and a whole WAV file (16-bit mono
// PCM of a tone).
QByteArray randomBytes(qsizetype n, quint32 seed);
QByteArray makeWavData(int durationMs, int sampleRate = 44100);

// What a full decode of the file gives: every frame decoded, each frame's
// samples counted at the frame's own rate.
struct DecodedMp3 {
    double lengthMs = 0; // sum over frames of samples / rate
    int frames = 0;      // frames that gave samples
    int maxFrameMs = 0;  // longest single frame, rounded up
};
DecodedMp3 decodeMp3(const QString& path);
