#pragma once
// One chapter of an exported book: one project entry, measured.

#include <QList>
#include <QString>
#include <cstdint>

struct RozdzialKsiazki {
    QString plik;              // the entry's file
    QString tytul;             // its ID3 title, else the file name without ".mp3"
    std::int64_t poczatek = 0; // where it starts in the book, in ticks (Mp3Stream.h)
    std::int64_t dlugosc = 0;  // its exact duration, in ticks
    std::int64_t rozmiar = 0;  // bytes of its file
    // The heading's own audio (the entry's bookmark) in the entry's file, in
    // ms, cut at the end of the audio; zapowiedzOd == zapowiedzDo: none.
    std::int64_t zapowiedzOd = 0;
    std::int64_t zapowiedzDo = 0;
};

using ListaRozdzialow = QList<RozdzialKsiazki>;

// Ticks to whole ms, rounded to nearest.
std::int64_t tikiNaMs(std::int64_t tiki);
