#pragma once
// DAISY talking books read into chapters. DAISY 2.02: every heading h1-h6 of
// ncc.html in its order (page numbers and other spans are not chapters);
// DAISY 3: the navPoints of the NCX that the OPF package names, nested
// levels kept. A heading's SMIL reference leads to its first audio clip,
// the spoken heading, which becomes the entry's bookmark; its chapter runs
// from that clip to the next heading's first clip, across audio files in
// the book's order when needed. The first chapter starts at the start of
// the book's first audio file and the last runs to the end of its last, so
// no audio is lost.
//
// Every file the book names must lie in the book's folder, exist and be
// readable (see FolderKsiazki); malformed XML, an unknown character set or
// a heading whose reference leads nowhere is an error that names the file.
// The work grows in proportion to the book's size: each SMIL file is read
// once, whatever the number of headings that point into it.

#include "import/Rozdzialy.h"

#include <atomic>

// The most chapters an import takes (the project file takes more entries,
// but no book has this many headings).
inline constexpr qsizetype kMaksRozdzialow = 100000;

// `ncc`: the book's ncc.html (any case of the name).
ZnalezioneRozdzialy czytajDaisy2(const QString& ncc, const std::atomic_bool* stop = nullptr);

// `opf`: the book's OPF package file.
ZnalezioneRozdzialy czytajDaisy3(const QString& opf, const std::atomic_bool* stop = nullptr);
