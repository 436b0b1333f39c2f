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

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
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

// "Nie można zapisać pliku NAZWA: OPIS".
QString bladZapisuPliku(const QString& nazwa, const QString& opis);

// ---- files written beside their target ------------------------------------------------
// A writer that puts several files in place together (umiescRazem) writes
// each beside its target under the hidden name ".NAME.MARK.tmp" (a long
// name shortened to its first 60 bytes and a hash), all with one mark, and
// names them to PlikiTymczasowe.h while they exist.

// Opens a new file beside `docelowy` under an unused hidden name, trying
// the mark `znacznik` first (an empty one is chosen here); never replaces
// an existing file. Returns its name. Throws EInOutError.
QString utworzObok(const QString& docelowy, QFile& plik, QString& znacznik);
// Writes `tresc` whole and synced as a new file beside `docelowy`; returns
// its name. Throws EInOutError, and then nothing is left behind.
QString zapiszObok(const QString& docelowy, const QByteArray& tresc, QString znacznik);
// Removes a file utworzObok made.
void usunTymczasowy(const QString& nazwa);
// Syncs `plik`, named `nazwa` in the error. Throws EInOutError.
void zapiszNaDysk(QFile& plik, const QString& nazwa);

// Appends the rest of `zrodlo` to `cel` and returns how many bytes it was,
// telling `skopiowano` the bytes as they go (at most every 16 MiB). The
// kernel copies where it can, else a 1 MiB buffer. Throws EInOutError.
std::int64_t dopisz(QFile& zrodlo, const QString& nazwaZrodla, QFile& cel, const QString& nazwaCelu,
                    const std::function<void(std::int64_t)>& skopiowano);

// Removes what killed writers of `glowny` and of the files written with it
// (`towarzyszace`) left beside them: the temporary files of `glowny` whose
// lock (flock) no one holds, and those of the others whose mark is not that
// of a writer still running. A name `czytany` says the writer reads is
// never removed, whatever its name.
void usunPozostalosciObok(const QString& glowny, const QStringList& towarzyszace,
                          const std::function<bool(const QString&)>& czytany);
