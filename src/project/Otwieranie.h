#pragma once
// What the user points the program at: files and folders named on its
// command line (as a file manager names them), and the MP3 files of a folder
// that "Dodaj folder..." adds.

#include "project/ProjectFile.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <optional>

struct WskazanePliki {
    QString projekt;        // the project file to open; empty when none was named
    QStringList pliki;      // MP3 files, in the order given
    QStringList foldery;    // folders, in the order given
    QStringList nieotwarte; // "path: reason", for the notice window
};

// Sorts what was named: a project file (an XML file whose root element is
// "projekt"; only the first one), MP3 files (by their extension) and
// folders. Anything else is not opened, with the reason why (a FIFO or a
// device is named as such and never opened). A first "--" is left out.
// Every name is looked at on the disk, so a caller that must not wait for a
// stalled mount calls this on a worker thread.
WskazanePliki rozpoznajWskazane(const QStringList& argumenty);

// Whether the file is a project: its first element is "projekt". Empty when
// it is; otherwise why not. The size is checked before anything is read
// (above kMaksRozmiarPlikuProjektu it is no project), and only the first
// kMaksProloguProjektu bytes are read to find the root element, so a huge
// comment, blanks or attribute before it cost no more than that.
inline constexpr qint64 kMaksProloguProjektu = qint64{1} << 20;
QString dlaczegoNieProjekt(const QString& path);

// What "Dodaj folder..." finds in a folder and its subfolders.
struct PlikiFolderu {
    // Every readable MP3 file (by its extension), in number-aware order of
    // their paths below the folder ("Rozdział 2/…" before "Rozdział 10/…", a
    // folder's files and subfolders by name alike). Names that are not
    // UTF-8 are there too, with their bytes kept (nazwaZSystemu).
    QStringList sciezki;
    // What was left out, "path: reason", in the same order: a subfolder that
    // cannot be read, an MP3 file that cannot be opened, a name ending in
    // .mp3 that is no regular file (a FIFO, a device, a link to nothing),
    // a link to a folder (links to folders are not followed, so a loop of
    // links ends). Files of other kinds are not MP3 files and not listed.
    QStringList pominiete;
};
// A folder's MP3 files as "Dodaj folder..." adds them: przejrzyjFolder's
// files with their lengths.
struct ZmierzonePliki {
    QStringList sciezki;                         // in the order they go into the list
    QList<std::optional<std::int64_t>> dlugosci; // in ms; none: no MPEG audio
    QStringList pominiete;                       // "path: reason" (przejrzyjFolder)
};

// The notice after files were added: `pominiete` as przejrzyjFolder lists
// them, `niepoprawne` the paths of files that hold no MPEG audio. Without
// the former, the latter keep the heading the file dialogs' adding always
// had, one bare path a line.
PominietePozycje zawiadomienieODodawaniu(const QStringList& pominiete,
                                         const QStringList& niepoprawne);

// Nothing is opened but folders and the regular MP3 files, each only to
// see that it can be. Empty when `przerwac` is set meanwhile.
PlikiFolderu przejrzyjFolder(const QString& folder, const std::atomic_bool* przerwac = nullptr);
// The same walk for the files whose extension (without the dot, in any
// case) is one of `rozszerzenia`.
PlikiFolderu przejrzyjFolder(const QString& folder, const QStringList& rozszerzenia,
                             const std::atomic_bool* przerwac = nullptr);
// Only the paths of that walk.
QStringList plikiFolderu(const QString& folder, const QStringList& rozszerzenia,
                         const std::atomic_bool* przerwac = nullptr);
