#pragma once
// Measurements of MP3 files kept for their later uses: a file added to the
// list is read once, and its row's length asked for again (the bookmark
// editor) comes from memory while the file stays as it was (StanPliku: the
// same device, inode, size, times and first and last bytes). Any thread may
// ask.

#include "audio/Mp3Probe.h"

#include <optional>

// The file's measurement (probeMp3), from memory when the unchanged file was
// measured before. No value when it cannot be read or holds no MPEG audio.
std::optional<Mp3Info> zmierzPlikMp3(const QString& path);
