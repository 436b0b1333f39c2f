#pragma once
// The index files written beside a merged book. The player finds every
// bookmark through the .dat file: one line per project entry, the
// bookmark's first 512-byte block in the merged file, a TAB and its length
// in blocks, lines separated by CR LF, no line end after the last. The .log
// file always holds the same 15 bytes.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// One entry as the index needs it: the bookmark texts as the list shows
// them, the number of bytes its file occupies in the merged file, and its
// path (only for error texts).
struct WpisIndeksu {
    QString poczatek; // bookmark start, ms, converted with StrToInt
    QString dlugosc;  // bookmark length, ms, converted with StrToInt
    std::int64_t rozmiar = 0;
    QString plik;
};

// The name of an index file: the merged file's name without its last three
// characters, followed by `koncowka` ("dat" or "log"). book.mp3 gives
// book.dat, book.mpeg gives book.mdat.
QString nazwaIndeksu(const QString& scalony, const QString& koncowka);

// The fixed content of the .log file: "0000000 0000000", no line end.
QByteArray trescLog();

// The content of the .dat file for a merged file of `rozmiarScalonego`
// bytes lasting `czasScalonegoMs` ms. The merged file's average rate R
// (ten-thousandths of a byte per ms) places each bookmark inside its own
// file; the exact offset of that file in the merged file is the sum of the
// sizes of the entries before it. Arithmetic is in extended precision,
// rounded to nearest with ties to even.
// Throws SonvekError for a duration that is not positive and for a number
// that does not fit the index, EConvertError for a bookmark text that is
// not an integer.
QByteArray trescDat(std::int64_t rozmiarScalonego, std::int64_t czasScalonegoMs,
                    const QList<WpisIndeksu>& wpisy);
