#pragma once
// The steps with which every writer of the program makes a file whole on
// the disk and puts it in place: syncing a file or a folder, a rename that
// never replaces, several files put in place together (all or none), and a
// copy inside the system. The writers (ZapisAtomowy, FolderTymczasowy, the
// merge, the export, the card copy, the import) call only these, so that
// the rules for a crash or a file system that cannot do a step live here.
//
// Functions that return int give 0 on success, else the system's error
// number (opisBleduSystemu names it in Polish).

#include <QList>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <utility>

// Pushes what was written to the file `fd` to the disk. -1 with errno set
// on failure, as the system's call (the signature of
// ZapisAtomowy::Synchronizacja).
int synchronizujPlik(int fd);

// Syncs the open folder `fd` so that the renames in it survive a crash;
// with `calyDysk` the whole file system is synced first, one flush for the
// hundreds of files just written into the folder (where the system has no
// such call, each file must have been synced on its own). A file system
// that cannot sync a folder (FAT through FUSE, a read-only one) is no
// failure.
int synchronizujFolder(int fd, bool calyDysk = false);
// The same for the folder named `folder`; a folder that cannot be opened
// gives the error of opening it.
int synchronizujFolder(const QString& folder, bool calyDysk = false);

// Renames `z` to `na`, which must not exist: EEXIST when it does. Where the
// system cannot refuse in the rename itself, it is checked just before.
int przemianujBezZastepowania(const QString& z, const QString& na);

// Puts finished files (first: the temporary name, second: the target) in
// place of their targets, all or none: each existing target is swapped
// with its new file where the system can swap, so that a failure half way
// swaps the earlier ones back. Afterwards the temporary names hold the
// replaced contents, which the caller removes. A signal that comes
// meanwhile waits until the last rename (see BezPrzerwania). Throws
// EInOutError "Nie można zapisać pliku X: ..." naming the target that
// failed; a target that is a folder is refused.
void umiescRazem(const QList<std::pair<QString, QString>>& pary);

// Copies up to `ile` bytes from `we` (at *od, which moves on, or at its
// own position when `od` is null) to the position of `wy` without the
// bytes passing through the program. -1 with errno set on failure; errno
// for which kopiowanieWJadrzeNiemozliwe() is true means the files need a
// copy through a buffer instead.
ssize_t kopiujWJadrze(int we, off_t* od, int wy, std::size_t ile);
bool kopiowanieWJadrzeNiemozliwe(int numerBledu);
