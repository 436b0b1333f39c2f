#pragma once
// One chapter of an exported book: one project entry, measured.

#include <QList>
#include <QString>
#include <cstdint>
#include <utility>

struct RozdzialKsiazki {
    QString plik;  // the entry's file
    QString tytul; // its ID3 title, else the file name without ".mp3"
    // Its heading's level in the DAISY book, 1 to 6: the entry's own level
    // (an imported book's nesting), never more than one below the heading
    // before it, since a DAISY reader cannot skip a level.
    int poziom = 1;
    // Its exact duration on its own and the sum of those before it, in ticks
    // (Mp3Stream.h): the times of the DAISY book, which plays each file on
    // its own.
    std::int64_t poczatek = 0;
    std::int64_t dlugosc = 0;
    // The same inside the joined book, where every frame of a file after the
    // first plays, an encoder's information frame at its start too: the
    // chapters of the MP3 file.
    std::int64_t poczatekWKsiazce = 0;
    std::int64_t dlugoscWKsiazce = 0;
    std::int64_t rozmiar = 0;    // bytes of its file
    std::int64_t czasZmiany = 0; // of its file's content when measured, ns
    // Where its audio lies in its file, as [from, to) byte ranges in file
    // order: its frames, the encoder's information frame first among them,
    // without the tags (ID3v2 in front or appended, ID3v1, APE) and
    // without anything else that is not audio. What the export copies.
    QList<std::pair<std::int64_t, std::int64_t>> dzwiek;
    std::int64_t bajtyDzwieku = 0; // the ranges' bytes added up
    // The heading's own audio (the entry's bookmark) in the entry's file, in
    // ms, cut at the end of the audio; zapowiedzOd == zapowiedzDo: none.
    std::int64_t zapowiedzOd = 0;
    std::int64_t zapowiedzDo = 0;
};

using ListaRozdzialow = QList<RozdzialKsiazki>;

// Ticks to whole ms, rounded to nearest.
std::int64_t tikiNaMs(std::int64_t tiki);
