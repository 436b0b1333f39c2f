#pragma once
// What the user points the program at: files and folders named on its
// command line (as a file manager names them), and the MP3 files of a folder
// that "Dodaj folder..." adds.

#include <QString>
#include <QStringList>
#include <atomic>

struct WskazanePliki {
    QString projekt;        // the project file to open; empty when none was named
    QStringList pliki;      // MP3 files, in the order given
    QStringList foldery;    // folders, in the order given
    QStringList nieotwarte; // "path: reason", for the notice window
};

// Sorts what was named: a project file (an XML file whose root element is
// "projekt"; only the first one), MP3 files (by their extension) and
// folders. Anything else is not opened, with the reason why. A first "--"
// is left out.
WskazanePliki rozpoznajWskazane(const QStringList& argumenty);

// Whether the file is a project: its first element is "projekt".
bool jestPlikiemProjektu(const QString& path);

// Every MP3 file (by its extension) in `folder` and its subfolders, in
// number-aware order of their paths below it ("Rozdział 2/…" before
// "Rozdział 10/…", a folder's files and subfolders by name alike). Links to
// folders are not followed, so a loop of links ends. Empty when `przerwac`
// is set meanwhile.
QStringList plikiMp3Folderu(const QString& folder, const std::atomic_bool* przerwac = nullptr);

// The same for the files whose extension (without the dot, in any case) is
// one of `rozszerzenia`.
QStringList plikiFolderu(const QString& folder, const QStringList& rozszerzenia,
                         const std::atomic_bool* przerwac = nullptr);
