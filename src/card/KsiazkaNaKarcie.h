#pragma once
// A book on the memory card: its three files (the audio file and its .dat
// and .log index files) copied together, read back from the card itself and
// compared with the store, and checked again at any later time.
//
// The copy writes the three files under temporary names of the program's
// own (".sonvek-PID-KEY-N.tmp") in the card's root, syncs them, reads each one
// back past the system's cache and compares it byte for byte with the
// store's file; only then are the three renamed into place, one right after
// the other, and the root folder synced. A stop, a failure, a card that
// returns other bytes than were written or a killed program leave the old
// book's files as they were; temporary files left by a killed copy are
// removed by the next copy to the card (only those of processes that no
// longer run).
//
// Before the first rename a small marker (".sonvek-zamiana") is written in
// the card root naming the temporary files and their targets by content
// (size and a hash of the first and last blocks: FAT gives new inode
// numbers at every mount) and the process by a key that outlives neither a
// reboot nor a move to another computer; it goes after the folder's sync. A copy killed between two
// renames would leave a new book file beside old index files: the next copy or check of the card
// (and dokonczPrzerwanaKopie) finds the marker and finishes the renames, since the files it names
// were complete and read back equal.
//
// Every name on the card is opened relative to the card root's descriptor
// and never through a symbolic link: a link under one of the book's names is
// reported and nothing is written.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <sys/types.h>

enum class EtapKarty {
    Kopiowanie, // writing the files to the card
    Sprawdzanie // reading them back from the card
};

struct PostepKarty {
    EtapKarty etap = EtapKarty::Kopiowanie;
    int plik = 0;           // index of the file in the book's list
    std::int64_t bajty = 0; // bytes of this file done so far
    std::int64_t razem = 0; // bytes of this file
};

struct ObslugaKopiowania {
    // Called before each file's first chunk and after every chunk, in both
    // stages; false stops the work.
    std::function<bool(const PostepKarty&)> postep;
    // Asked when the card already holds a file of a book's name; false
    // keeps it and nothing is written.
    std::function<bool(const QString& celNaKarcie)> czyZamienic;
    // Test seam: called after every step that changes the card (a chunk
    // written, a file synced, the renames done, the folder synced).
    std::function<void(const char* krok)> poKroku;
    // Test seam: reads from a file on the card (pread by default).
    std::function<ssize_t(int fd, char* bufor, std::size_t ile, off_t pozycja)> odczyt;
};

enum class WynikKopiowania {
    Skopiowano,    // the book is on the card, read back and found equal
    NieZamieniono, // a file of the book's name was there and the user kept it
    Anulowano,     // the user stopped; the card is as it was
    Blad,          // reading, writing or checking failed; the card is as it was
};

struct RaportKopiowania {
    WynikKopiowania wynik = WynikKopiowania::Blad;
    QString blad; // with Blad: what failed, naming the file, in Polish
    // What was found of an earlier copy killed between its renames and done
    // about it, in Polish; empty when there was none.
    QString dokonczenie;
    bool udane() const { return wynik == WynikKopiowania::Skopiowano; }
};

// Copies the book's files (in this order) into the card root `korzen` (with
// its final separator) under their own names, as described above.
RaportKopiowania kopiujKsiazkeNaKarte(const QStringList& pliki, const QString& korzen,
                                      const ObslugaKopiowania& obsluga);

// How a book gets onto the card: kopiujKsiazkeNaKarte unless a test says
// otherwise. Called on the copy's worker thread.
using KopiowanieNaKarte = std::function<RaportKopiowania(
    const QStringList& pliki, const QString& korzen, const ObslugaKopiowania& obsluga)>;

enum class WynikSprawdzenia {
    Zgodna,    // every file on the card equals its store file
    Niezgodna, // a file differs or is missing: `opis` names it and where
    Anulowano,
    Blad, // a file could not be read
};

struct RaportSprawdzenia {
    WynikSprawdzenia wynik = WynikSprawdzenia::Blad;
    QString opis; // what the user is told
};

// Reads the book's files on the card (same names as `pliki` in the store)
// past the system's cache and compares them with the store's. The card is
// only read, except that an earlier copy killed between its renames is
// finished first (and said in `opis`); a book found mixed is never Zgodna.
RaportSprawdzenia sprawdzKsiazkeNaKarcie(const QStringList& pliki, const QString& korzen,
                                         const ObslugaKopiowania& obsluga);

// What a marker of a killed copy's renames (see above) led to.
struct DokonczenieKopii {
    enum class Stan {
        Brak,       // none, or nothing was left to do
        Dokonczono, // the renames were finished: the new book is whole
        Pomieszana, // some of the new files are lost: the book is mixed
        Blad,       // the card could not be read or changed
    };
    Stan stan = Stan::Brak;
    QString tekst; // what the user is told; empty with Brak
};

struct RaportUsuwania {
    bool udane = false;
    QString blad;        // when not udane: what failed, in Polish
    QString dokonczenie; // as in RaportKopiowania
};

// Removes the files `nazwy` (plain names in the card root `korzen`)
// together: a marker naming each by its content is written first, then the
// files go and the marker with them. A removal killed midway is finished by
// the next use of the card (dokonczPrzerwanaKopie, a copy, a check, a
// listing), so a book is whole or gone, never torn. Names not on the card
// are passed over (an incomplete book); a link or anything but a regular
// file stops the removal before anything goes.
RaportUsuwania usunKsiazkeZKarty(const QStringList& nazwy, const QString& korzen,
                                 const ObslugaKopiowania& obsluga = {});

// Finishes the renames of a copy killed between them, or a removal killed
// midway, in the card root `korzen`, if its marker is there. Cheap when
// there is none.
DokonczenieKopii dokonczPrzerwanaKopie(const QString& korzen);

// What the user is told when the book on the card equals the store's.
inline constexpr char16_t ksiazkaZgodna[] = u"Książka na karcie sprawdzona: zgodna z magazynem.";

// The system's reason for a failed operation on the card, in Polish and in
// the words of what happened to the card (full, removed, write-protected).
QString powodBleduKarty(int numerBledu);

// What names a running process across boots and computers: a hash of the
// boot's id, the computer's name, the process id and its start time. Empty
// when no process of that id runs. A marker or temporary file whose key is
// not that of a running process belongs to work that has ended.
QByteArray kluczProcesu(pid_t pid);

// Whether `nazwa` in the card root `korzen` is a symbolic link.
bool dowiazanieNaKarcie(const QString& korzen, const QString& nazwa);

// The message for a name on the card that is a symbolic link.
QString komunikatDowiazania(const QString& sciezka);

// What a copy of the book's files (plain names, in copy order) would meet
// in the card root `korzen`, looked at before anything is written, so that
// every question comes first; the copy itself looks again (on the root's
// descriptor) and refuses the same names.
struct PlanKopii {
    // A name is a symbolic link: what the user is told; nothing is written.
    QString odmowa;
    // The card paths of files the copy would replace, in copy order (a
    // folder of a book's name is the copy's own error).
    QStringList doZamiany;
};
PlanKopii zaplanujKopie(const QString& korzen, const QStringList& nazwy);

// The clusters of `klaster` bytes taken by the program's own temporary files
// that copies which no longer run left in the card root `korzen`: the next
// copy removes them, so they count as free room.
std::uint64_t klastryPozostalosci(const QString& korzen, std::int64_t klaster);
