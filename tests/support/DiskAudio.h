#pragma once
// Sound output into a file for tests: SDL's "disk" driver writes the
// samples that would have been heard (16-bit stereo at the player's rate).

#include <QString>

// Makes the next sound output (a new TMediaPlayer's first Play) write to
// rawPath, about twenty times faster than real time. Removes an old file.
void useDiskAudio(const QString& rawPath);

// Stereo samples from the first to the last audible one in what the disk
// driver wrote: silence before the start and after the end is not counted.
// -1 when the file cannot be read.
qint64 audibleSpan(const QString& rawPath);
