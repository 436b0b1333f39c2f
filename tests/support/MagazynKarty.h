#pragma once
// A card folder and a store folder in a test's temporary folder, and a
// book in the store as the merge leaves it: the audio file and its two
// index files.

#include "support/FileBytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// Makes `karta/` and `magazyn/` in `dir`; both paths end in '/'.
inline bool utworzFolderyKarty(const QTemporaryDir& dir, QString& karta, QString& magazyn) {
    karta = dir.filePath(QStringLiteral("karta/"));
    magazyn = dir.filePath(QStringLiteral("magazyn/"));
    return dir.isValid() && QDir().mkpath(karta) && QDir().mkpath(magazyn);
}

// "ksiazka.<rozszerzenie>" of `rozmiar` bytes in `magazyn`, with its index
// files unless left out; the audio file's path.
inline QString ksiazkaWMagazynie(const QString& magazyn, const QString& rozszerzenie,
                                 qsizetype rozmiar, bool dat, bool log) {
    const QString sciezka = magazyn + QStringLiteral("ksiazka.") + rozszerzenie;
    const bool ok =
        zapiszBajty(sciezka, QByteArray(rozmiar, 'a')) &&
        (!dat || zapiszBajty(magazyn + QStringLiteral("ksiazka.dat"), "0\t10\r\n10\t9")) &&
        (!log || zapiszBajty(magazyn + QStringLiteral("ksiazka.log"), "0000000 0000000"));
    if (!ok)
        QTest::qFail("cannot write the book", __FILE__, __LINE__);
    return sciezka;
}
