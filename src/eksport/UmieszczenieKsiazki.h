#pragma once
// A DAISY book's folder on the disk: what a folder about to be replaced
// holds, the removal of what this program wrote there and of nothing else,
// and the putting in place of a new book together with the chaptered MP3
// made with it: both or neither, even when the export is killed.
//
// The new book is written in a hidden folder beside its target, under a
// lock file of the same mark that the export holds while it runs. Once the
// book and the MP3 are whole on the disk, the lock file records the plan:
// the new book's files, whether the target existed, where the MP3 waits.
// From then on the export counts as done: a kill leaves its plan, and the
// next export of the same book carries it out before anything else. A plan
// that was not recorded is undone.
//
// The book goes in file by file, ncc.html last: each old file of the
// target first goes aside into a second hidden folder, then the new one
// takes its name. Only renames of files are used: FAT (in the kernel and
// through FUSE) cannot swap folders, and FAT through FUSE loses what a
// folder holds when the folder itself is renamed. So the old book has a
// name at every moment and can be put back until the MP3 is in place too;
// only then does it go, and with it nothing but the files it was made of.
//
// Temporary names are those of ZapisAtomowy.h (the target's name cut to fit
// the system's limit on a name): ".<name>.<mark>.lock", ".tmp", ".old".

#include <QString>
#include <QStringList>

// What a folder that would be replaced holds.
struct ZawartoscFolderu {
    enum Rodzaj { Brak, Pusty, Ksiazka, Obcy };
    Rodzaj rodzaj = Brak;
    int rozdzialy = 0; // Ksiazka: its chapters
    QString powod;     // Obcy: why it is no book of this program, in Polish
};

// A book of this program is a real folder holding ncc.html that names this
// program as its generator and no file but those its export writes (every
// one a regular file). Reads the folder's list and the start of ncc.html.
ZawartoscFolderu rozpoznajFolder(const QString& folder);

// Removes from `folder` the files this program writes into a book, and the
// folder when that leaves it empty; anything else stays. Nothing for a
// name that is no folder or is a link. True when the folder is gone.
bool usunPlikiKsiazki(const QString& folder);

class UmieszczenieKsiazki {
public:
    // Carries out or undoes what killed exports of the book `cel` left
    // beside it (their lock held by no one). True when a book was put at
    // `cel` so. Throws EInOutError when a step fails.
    static bool dokonczPozostawione(const QString& cel);

    // Takes a new mark beside `cel`: its lock, held while the object lives,
    // and the empty folder the new book is written in. Throws EInOutError.
    explicit UmieszczenieKsiazki(const QString& cel);
    // Before zatwierdz(): removes the new book and the lock, `cel` as it
    // was. After umiesc(), unless zakoncz() was called: wycofaj().
    ~UmieszczenieKsiazki();
    UmieszczenieKsiazki(const UmieszczenieKsiazki&) = delete;
    UmieszczenieKsiazki& operator=(const UmieszczenieKsiazki&) = delete;

    const QString& folderTymczasowy() const { return m_nowy; }

    // The chaptered MP3 written with the book: its temporary file (which
    // its writer puts in place) and its target.
    void dodajMp3(const QString& tymczasowy, const QString& cel);
    // Records the plan, once the book and the MP3 are whole on the disk.
    void zatwierdz();
    // Puts the new book at the target; the old one waits aside.
    void umiesc();
    // After the MP3 is in place: the old book and the lock go.
    void zakoncz();
    // The MP3 could not be put in place: the old book goes back, the new
    // one is removed.
    void wycofaj();

private:
    QString m_cel, m_nowy, m_stary, m_blokada;
    int m_fd = -1;
    QByteArray m_plan; // what the lock file holds
    enum class Stan { Budowa, Zatwierdzony, Umieszczony, Zakonczony } m_stan = Stan::Budowa;
};
