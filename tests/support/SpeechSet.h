#pragma once
// Test helper: a set of varied recordings of Polish speech made once and
// kept in a folder, each an MP3 file with a spoken title ("Rozdział
// siódmy.") after a lead-in, a pause, then sentences, 25 s in all; mono
// 22.05 kHz and stereo 44.1 kHz at several bit rates and VBR, three speaking
// speeds, quiet and loud, with and without background noise, some with a
// click, a knock or a breath in the lead-in. truth.tsv beside them tells
// where each title lies, on the decoder's time base: the truth against which
// benchmarks measure what they find.

#include <QList>
#include <QString>

struct SpeechFile {
    QString path;
    int startMs = 0; // first speech of the title
    int endMs = 0;   // end of the title's speech
};

// The `count` files in `dir`, made (with espeak-ng and the test encoder,
// from `seed`) unless truth.tsv there lists that many already. Throws
// std::runtime_error when they cannot be made.
QList<SpeechFile> speechSet(const QString& dir, int count, unsigned seed);
