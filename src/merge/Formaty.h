#pragma once
// Which entries of a book differ in format from its first file, and how:
// the sample rate, the channels, the MPEG version and the layer. A player
// reading a book as one stream keeps the first file's format, so a part of
// another one plays too fast, too slow or not at all. The merge's log, the
// book's summary and the export all name them from here.

#include "merge/PomiarMp3.h"

#include <QList>
#include <QString>
#include <optional>

// "MPEG-1 Layer III, 44100 Hz, 2 kanały".
QString opisFormatu(const FormatDzwieku& f);

struct InnyFormat {
    int pozycja = 0; // the entry, counted from 0
    QString roznice; // "22050 Hz zamiast 44100 Hz, 1 kanał zamiast 2"
};

// Every entry whose format differs from the first known one (entries of an
// unknown format, nullopt, are passed over), in order.
QList<InnyFormat> inneFormaty(const QList<std::optional<FormatDzwieku>>& formaty);

// The first known format; nullopt when none is known.
std::optional<FormatDzwieku> pierwszyFormat(const QList<std::optional<FormatDzwieku>>& formaty);
