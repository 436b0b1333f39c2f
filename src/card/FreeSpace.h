#pragma once
// The card's free space: one reading of the volume, the report shown in the
// status bar, and the room test that decides whether a book may be copied.
// Everything is 64-bit: cards of many gigabytes and books over 2 GiB count
// right.

#include <QChar>
#include <QString>
#include <cstdint>
#include <optional>

// What the file system says about a volume.
struct MiaraWoluminu {
    std::int64_t rozmiarKlastra = 0;    // bytes per cluster (allocation unit)
    std::uint64_t wolneKlastry = 0;     // clusters an ordinary user may still fill
    bool fat = false;                   // FAT file system: no file of 4 GiB or more
    std::uint64_t wszystkieKlastry = 0; // clusters of the whole volume; 0 when unknown
};

// Where the figures come from; tests hand in their own.
class ZrodloWolnegoMiejsca {
public:
    virtual ~ZrodloWolnegoMiejsca() = default;
    // The figures of the volume holding `folder`; none when the query fails.
    virtual std::optional<MiaraWoluminu> zmierz(const QString& folder) const = 0;
    // Whether a volume is mounted at `folder` itself. An empty mount folder
    // belongs to the disk above it, and that is no card.
    virtual bool zamontowany(const QString& folder) const = 0;
};

// The real query: statvfs (f_frsize, f_bavail); FAT from statfs or, for a
// FAT volume mounted through FUSE, from woluminFat (card/Volumes.h); the
// mount test of punktMontowania, and never the system root's own device.
class SystemoweWolneMiejsce final : public ZrodloWolnegoMiejsca {
public:
    std::optional<MiaraWoluminu> zmierz(const QString& folder) const override;
    bool zamontowany(const QString& folder) const override;
};

// Whether the card root (with its final separator) is a card the program may
// write to: an existing folder with a volume mounted on it, and not one of
// the system's own mounts.
bool kartaDostepna(const QString& korzen, const ZrodloWolnegoMiejsca& zrodlo);

// What the user is told when the card at `korzen` does not answer in time
// (a stalled mount): take it out and put it back, or check it.
QString komunikatBrakuOdpowiedziKarty(const QString& korzen);

// One measurement of the card: its volume's figures and whether the player's
// state file is in its root.
struct PomiarKarty {
    MiaraWoluminu wolumin;
    bool playerNaKarcie = false;
    // Clusters held by temporary files of killed copies, which the next copy
    // removes first (klastryPozostalosci in card/KsiazkaNaKarcie.h).
    std::uint64_t klastryPozostalosci = 0;
};

// Measures the card whose root folder (with its final separator) is `korzen`.
// None when it is no available card (kartaDostepna) or the query fails.
std::optional<PomiarKarty> zmierzKarte(const QString& korzen, const ZrodloWolnegoMiejsca& zrodlo);

// Free bytes as the report counts them: a present player.dat costs one
// cluster. Never negative: a full card with player.dat has 0.
std::int64_t wolneBajty(const PomiarKarty& pomiar);

// "Wolne miejsce na karcie: N kB", N in the general number format with the
// given decimal separator (kilobytes of 1024 bytes, four decimals at most).
QString raportWolnegoMiejsca(const PomiarKarty& pomiar, QChar separatorDziesietny);

// Bytes a book's audio file may have: the free clusters (with those of the
// leftovers the copy removes) less the index files' clusters (at least one
// each; `dat` and `log` are their sizes) and one for a present player.dat,
// in bytes. The old book stays on the card until the new files, written
// beside it under temporary names, are complete, so none of its room
// counts. Negative when fewer clusters are free than that reserve.
std::int64_t miejsceNaKsiazke(const PomiarKarty& pomiar, std::int64_t dat = 0,
                              std::int64_t log = 0);

// Why a book of `rozmiar` bytes with index files of `dat` and `log` bytes
// may not be copied onto the measured card, or none when it may.
std::optional<QString> odmowaKopiowania(const PomiarKarty& pomiar, std::int64_t rozmiar,
                                        std::int64_t dat = 0, std::int64_t log = 0);

// The largest file FAT can hold is one byte below this.
inline constexpr std::int64_t granicaPlikuFat = std::int64_t{4} * 1024 * 1024 * 1024;
