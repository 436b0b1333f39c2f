#pragma once
// The mounted volumes of the system: every mount of a real file system
// (removable media, disks, network and user mounts), not the kernel's pseudo
// file systems, run-time tmpfs, overlays or snap images. The folder chooser
// lists them all; the settings dialog offers those that may be the memory
// card, and the chosen mount point becomes `Karta`. The card commands work
// only on a folder that really is a mount point (see punktMontowania).

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>

struct Wolumin {
    QString punktMontowania;  // mount point, escapes decoded, no final '/' (except "/")
    QString typ;              // file system type, e.g. "vfat", "ext4", "fuseblk"
    QString urzadzenie;       // mount source as the kernel reports it, e.g. "/dev/sdb1"
    QString etykieta;         // volume label, empty when it has none
    bool wymienny = false;    // a removable medium: USB stick, SD card
    std::int64_t rozmiar = 0; // bytes of the device; 0 when unknown

    // "mountpoint [label, 7,4 GB]"; what is unknown is left out, and with
    // neither label nor size the mount point stands alone.
    QString opis() const;
    bool operator==(const Wolumin&) const = default;
};

using ListaWoluminow = QList<Wolumin>;

// Reads a file of the kernel's /sys tree by its full path; empty when there
// is no such file.
using CzytnikSys = std::function<QByteArray(const QString& sciezka)>;

// What the volume scan reads of the system; tests hand in their own, so no
// test depends on the machine's mounts. Empty members are the system's.
struct ZrodloWoluminow {
    std::function<QByteArray()> mountinfo;            // /proc/self/mountinfo
    std::function<bool(const QString&)> jestFolderem; // stat of a mount point: may stall
    CzytnikSys sys;                                   // /sys
    std::function<QString(const QString&)> etykieta;  // a device's label
    // UDisks2's facts, waiting at most the given ms (zFaktamiUDisks2).
    std::function<ListaWoluminow(ListaWoluminow, int)> fakty;
};

// How long the scan waits for the mount points to answer, in ms.
inline constexpr int limitSkanuWoluminow = 1500;

// The volumes of this system, ordered by mount point: the mount table,
// labels from /dev/disk/by-label, only mount points that are folders; then
// UDisks2's facts where it runs (zFaktamiUDisks2). Network mounts and FUSE
// mounts that are not removable media are left out unasked (mozeZawisnac);
// the rest are examined on worker threads, and what has not answered
// within `limit` ms (a stalled mount) is left out too: the scan never
// waits longer, whatever a mount does. An unreadable mount table gives an
// empty list.
ListaWoluminow skanujWoluminy(const ZrodloWoluminow& zrodlo, int limit = limitSkanuWoluminow);

// The scan of the system's own volumes (skanujWoluminy with the system's
// sources).
ListaWoluminow listaWoluminow();

// Whether a volume is one the scan leaves out unasked: a network file
// system or a FUSE mount that is not removable media (either may stop
// answering for minutes, and neither is a memory card).
bool mozeZawisnac(const Wolumin& wolumin);

// The volumes with what UDisks2 knows of them where it runs on the system
// bus (matched by mount point): its label, the device's size, and the
// drive's removable flags (which only add to what the list says). Without
// an answer within `czas` ms the list stays as it was read.
ListaWoluminow zFaktamiUDisks2(ListaWoluminow woluminy, int czas = 3000);

// The volumes described by the text of a mountinfo file, filtered and
// ordered as listaWoluminow() does; `etykieta` gives the label of a device
// (empty for none). A mount point mounted over again keeps its last mount.
// With `sys`, a block device's removable flag and size come from
// /sys/dev/block/MAJOR:MINOR (a partition's flag from its disk); a mount
// under /media or /run/media is removable whatever the flag says.
ListaWoluminow woluminyZMountinfo(const QByteArray& mountinfo,
                                  const std::function<QString(const QString&)>& etykieta,
                                  const CzytnikSys& sys = {});

// Whether a mount point belongs to the system itself: the root file system,
// whatever is mounted in the system's folders (/boot, /usr, /var, /opt,
// /srv, /run, ...), and the tops of the users' and temporary folders (/home,
// /tmp). None of them is ever a memory card.
bool systemowyPunktMontowania(const QString& punkt);

// Whether the folder lies on the device of the system's root: a bind mount
// of the system disk (mount --bind / /media/x) is that disk, not a card.
// A folder that cannot be examined is none.
bool naUrzadzeniuSystemu(const QString& folder);

// Whether the folder is a mount point of the system root's own device: the
// system disk mounted once more (a bind mount), never a card.
bool drugiePodpiecieSystemu(const QString& folder);

// The volumes that may be the card, from a list as listaWoluminow() gives
// it: no system mounts and no second mount of the system's device
// (`systemowe` tells); removable volumes first, each part in mount point
// order.
ListaWoluminow
woluminyKart(const ListaWoluminow& woluminy,
             const std::function<bool(const QString&)>& systemowe = drugiePodpiecieSystemu);

// Whether a volume holds FAT (whose files stay below 4 GiB), however it is
// mounted: the kernel's vfat or msdos, a FUSE driver for FAT, or a generic
// FUSE block mount (fuseblk) of a device that carries FAT. `typUrzadzenia`
// is the file system the device itself carries (as blkid or udev name it);
// empty when unknown.
bool systemPlikowFat(const QString& typMontowania, const QString& typUrzadzenia);

// Whether the volume that holds `folder` is FAT (systemPlikowFat), with the
// device's own type read from udev's database or blkid where the mount type
// does not tell.
bool woluminFat(const QString& folder);

// Whether `folder` (cleaned, no final '/') is a mount point in this
// mountinfo text.
bool punktMontowaniaWMountinfo(const QByteArray& mountinfo, const QString& folder);

// Whether the folder is a mount point of this system: its device differs
// from its parent's, or the mount table lists it (a bind mount, the root).
// Symbolic links are followed; a missing folder is none.
bool punktMontowania(const QString& folder);

// The size in the drive list's form: one decimal, decimal comma, units of
// 1024 ("7,4 GB", "512,0 MB").
QString opisRozmiaru(std::int64_t bajty);

// Whether a mount of this type at this mount point holds a real file system.
bool prawdziwySystemPlikow(const QString& typ, const QString& punktMontowania);

// Labels by device from a folder of symlinks named after labels (udev's
// /dev/disk/by-label, whose names escape characters as \xHH): the key is the
// canonical path of the link's target.
QHash<QString, QString> etykietyUrzadzen(const QString& folder);
