#pragma once
// Episode announcements: spoken clips from the folder `odcinki` beside the
// program, put in front of the files of a project so that a later merge
// carries them into the book. Row k of the list (counted from 0) receives
// clip k; row 0 receives none.

#include "project/Pozycja.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The clip folder, with a final separator: the first folder "odcinki" that
// znajdzDane finds (beside the program, then in the data folders), or the one
// beside the program when there is none.
QString folderZapowiedzi(const QString& folderProgramu);

// The clip's file name for list row `wiersz` (1 and up): "00" and the number
// below 10, "0" and the number from 10 on: 001.mp3 … 009.mp3, 010.mp3 …
// 099.mp3, 0100.mp3 …
QString nazwaZapowiedzi(int wiersz);

// The first row whose clip differs from the row's file in sample rate or
// channel count, described as "001.mp3: 22050 Hz, mono; rozdzial2.mp3:
// 44100 Hz, stereo"; nothing when all agree. A clip or file that cannot be
// read as MP3 is no difference (joining it reports the real problem).
std::optional<QString> pierwszaRozbieznosc(const QString& folder, const ListaPozycji& lista);

// Rewrites `plik` as the bytes of `zapowiedz` followed by its own bytes.
// The joined content goes to a new temporary file of a unique name in the
// file's folder and replaces the file in one rename once it is complete, so
// the file is either whole and old or whole and new. A file without its
// owner's write permission is refused. `przedZamiana`, when given, runs
// once the joined file is complete, just before it replaces the old one;
// what it throws stops the rewrite. Throws EInOutError naming the file and
// the reason; no temporary file is left behind.
void dolaczZapowiedz(const QString& zapowiedz, const QString& plik,
                     const std::function<void()>& przedZamiana = {});

// ---- originals ------------------------------------------------------------
// Before an entry's file gets its clip, its original is kept in a folder of
// the insertion's own under `folderOryginalow()`, named after the date and
// time ("2026-12-09_12-45-00"), as "pozycja-002.mp3" for list row 2
// (counted from 1), listed with its file's path in "spis.txt". Where the file system
// allows it the original is a second name of the same file (no bytes are
// copied), otherwise a copy.

// How long the originals are kept: the next insertion removes the folders
// of insertions made more than this many days before.
inline constexpr int dniPrzechowywaniaOryginalow = 30;

// "sonvekmanager/oryginaly/" in the user's data folder ($XDG_DATA_HOME, by
// default ~/.local/share), with a final separator.
QString folderOryginalow();

// Removes the insertion folders under `folder` named for a time more than
// dniPrzechowywaniaOryginalow days before `teraz`; nothing else is touched.
void usunStareOryginaly(const QString& folder, const QDateTime& teraz);

// An entry's file that the insertion rewrote and its two kept versions.
struct ZachowanyPlik {
    QString plik;  // the entry's file
    QString przed; // its content before the insertion
    QString po;    // its content with the clip, kept while the insertion is undone
};

struct WstawioneOdcinki {
    QString folderKopii;        // this insertion's folder of originals; empty: none made
    QList<ZachowanyPlik> pliki; // the files rewritten, in list order
    // The rows left alone because their files already begin with a clip:
    // "rozdział 2.mp3 (pozycja 3): 002.mp3".
    QStringList pominiete;
};

// Joins clip k to the file of row k for every row but the first, in list
// order, keeping each file's original in a new folder under
// `folderOryginalow` first. A file that already begins with one of the
// folder's clips (001.mp3, 002.mp3, ...) is left alone; a file named in
// several rows gets a clip for each. What was done is added to `wynik` as
// it is done. Stops at the first row that fails with EInOutError naming the
// file, the reason and the rows already done, which keep their clips.
void wstawOdcinki(const QString& folder, const ListaPozycji& lista, const QString& folderOryginalow,
                  WstawioneOdcinki& wynik);

// Takes an insertion back (`wstecz`) or does it again: every file gets its
// kept version back, and its present content is kept in the other place
// first, so that nothing done to the files since is lost. Either every
// file changes or, when one fails, those already done are put back and
// EInOutError names the file and the reason.
void przywrocOdcinki(const QList<ZachowanyPlik>& pliki, bool wstecz);
