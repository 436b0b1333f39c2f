#pragma once
// The mounted volumes that can serve as the memory card: every mount of a
// real file system (removable media, disks, network and user mounts), not
// the kernel's pseudo file systems, run-time tmpfs, overlays or snap images.
// The settings dialog lists them; the chosen mount point becomes `Karta`.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <functional>

struct Wolumin {
    QString punktMontowania; // mount point, escapes decoded, no final '/' (except "/")
    QString typ;             // file system type, e.g. "vfat", "ext4", "fuseblk"
    QString urzadzenie;      // mount source as the kernel reports it, e.g. "/dev/sdb1"
    QString etykieta;        // volume label, empty when it has none

    // "mountpoint [label]", or the mount point alone when there is no label.
    QString opis() const;
    bool operator==(const Wolumin&) const = default;
};

using ListaWoluminow = QList<Wolumin>;

// The volumes of this system, ordered by mount point: /proc/self/mountinfo,
// labels from /dev/disk/by-label, only mount points that are folders.
// An unreadable mount table gives an empty list.
ListaWoluminow listaWoluminow();

// The volumes described by the text of a mountinfo file, filtered and
// ordered as listaWoluminow() does; `etykieta` gives the label of a device
// (empty for none). A mount point mounted over again keeps its last mount.
ListaWoluminow woluminyZMountinfo(const QByteArray& mountinfo,
                                  const std::function<QString(const QString&)>& etykieta);

// Whether a mount of this type at this mount point holds a real file system.
bool prawdziwySystemPlikow(const QString& typ, const QString& punktMontowania);

// Labels by device from a folder of symlinks named after labels (udev's
// /dev/disk/by-label, whose names escape characters as \xHH): the key is the
// canonical path of the link's target.
QHash<QString, QString> etykietyUrzadzen(const QString& folder);
