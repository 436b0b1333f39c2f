#pragma once
// The length of an MP3 file from its headers alone, for listing the books
// on a card fast (a few small reads a book, whatever its size): the first
// frame's Xing, Info or VBRI header gives the number of frames; without one
// the audio bytes are divided by the bytes a millisecond takes in the frames
// of the first 64 KiB (exact for constant bit rate). A book merged from several files may carry its
// first file's Info header: when that header's byte count is not the file's, the length is scaled
// by the audio bytes. An estimate, not the exact length of a walk over every frame
// (audio/Mp3Probe.h).

#include <QString>
#include <cstdint>
#include <optional>

// The length in ms of the MP3 file `sciezka`; none when it cannot be read
// or holds no MPEG audio frame near its start.
std::optional<std::int64_t> dlugoscZNaglowkow(const QString& sciezka);

// The same over an open file of `rozmiar` bytes (read with pread only).
std::optional<std::int64_t> dlugoscZNaglowkow(int fd, std::int64_t rozmiar);
