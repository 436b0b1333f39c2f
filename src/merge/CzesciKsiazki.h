#pragma once
// A book written as parts: how its entries are split between the parts and
// what each part is called.

#include <QList>
#include <QString>
#include <cstdint>

// The largest file a FAT file system holds: 4 GiB less one byte.
inline constexpr std::int64_t kNajwiekszyPlikFat = (std::int64_t{1} << 32) - 1;

// The name of part `numer` (from 1) of the book `scalony`: "ksiazka-2.mp3".
QString nazwaCzesci(const QString& scalony, int numer);

// The entries of sizes `rozmiary` split in list order into as few parts as
// keep each part's bytes at most `limit`: how many entries each part takes.
// Throws SonvekError naming the first entry larger than the limit by itself.
QList<int> podzialNaCzesci(const QList<std::int64_t>& rozmiary, std::int64_t limit);
