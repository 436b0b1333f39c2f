#pragma once
// A cue sheet read through libcue: each track a chapter, its TITLE the
// chapter's title, its INDEX 01 the chapter's start (75 frames a second),
// its audio running to the next track's start, across the sheet's files
// (WAV, FLAC, MP3 and whatever else the program reads). The first chapter
// starts at the start of the first file, so a hidden first track is not
// lost. Files the sheet names must lie in its folder; a file named with
// another extension than it has (a rip encoded after the sheet was made)
// is found by its name with the extension of an audio file.

#include "import/Rozdzialy.h"

#include <atomic>

ZnalezioneRozdzialy czytajCue(const QString& cue, const std::atomic_bool* stop = nullptr);
