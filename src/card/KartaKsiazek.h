#pragma once
// The books on a memory card, as many as it holds: what the card's root
// folder holds (every book with its size, length, bookmarks and whether its
// three files are there), the names a card accepts, how to make room for a
// book that does not fit, and several books copied in one go with one
// summary. Removing a book is usunKsiazkeZKarty (card/KsiazkaNaKarcie.h).
//
// A book is an audio file (.mp3 or .asz) with its .dat and .log index
// files: the audio file's name with its last three characters replaced.
// FAT compares names without regard to case, and so does the grouping here.
// The player's state file (player.dat), the program's own hidden files and
// every other file are left alone and never listed.

#include "card/FreeSpace.h"
#include "card/KsiazkaNaKarcie.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

struct KsiazkaNaKarcieOpis {
    QString nazwa;            // the audio file's name; without one, the first index file's
    QString audio, dat, log;  // the names on the card; empty where the file is missing
    std::int64_t rozmiar = 0; // bytes of the audio file (0 without one)
    std::int64_t razem = 0;   // bytes of the files that are there
    std::int64_t klastry = 0; // clusters they take, freed by removing the book
    std::optional<std::int64_t> dlugoscMs; // from the audio file's headers
    int zakladki = 0;                      // lines of the .dat file
    bool pelna() const { return !audio.isEmpty() && !dat.isEmpty() && !log.isEmpty(); }
    // What is missing, in Polish ("brak pliku .dat"); empty for a whole book.
    QString brakuje() const;
    // The names on the card, audio first.
    QStringList pliki() const;
};

struct ZawartoscKarty {
    QList<KsiazkaNaKarcieOpis> ksiazki; // in the order a file manager shows names
    PomiarKarty pomiar;
    std::int64_t wolne = 0; // free bytes as the status bar reports them (wolneBajty)
    std::int64_t razem = 0; // bytes of the whole volume
    QString dokonczenie;    // an interrupted copy or removal finished first, in Polish
};

// Reads the card root `korzen` (with its final separator): an interrupted
// copy or removal is finished first. Throws EInOutError when the card is
// not available (kartaDostepna) or its folder cannot be read.
ZawartoscKarty przegladajKarte(const QString& korzen, const ZrodloWolnegoMiejsca& zrodlo);

// "1:02:03": a length in ms as h:mm:ss, rounded down to whole seconds.
QString czasGodzinny(std::int64_t ms);

// ---- names ---------------------------------------------------------------------

// Why FAT would refuse `nazwa` as a file name (a character of : * ? " < > |
// \ /, a control character, a trailing dot or space, a device name such as
// CON, NUL, COM1, more than 255 characters), in Polish; none when it may be.
std::optional<QString> powodNiedozwolonejNazwy(const QString& nazwa);

// A name like `nazwa` that FAT accepts and that differs, ignoring case,
// from every name in `zajete`: refused characters become "_", trailing dots
// and spaces go, a device name gets "_", a clash gets " (2)", " (3)", ...
// The extension stays.
QString bezpiecznaNazwa(const QString& nazwa, const QStringList& zajete);

// What stops the book whose audio file is named `nazwa` from going onto a
// card that holds `karta` as it is: a name FAT refuses, or one that equals
// another book's name on the card ignoring case only (the same name exactly
// is that book, replaced). None when the name may be used; otherwise the
// reason with a safe name proposed, in Polish.
std::optional<QString> problemNazwyNaKarcie(const QString& nazwa, const ZawartoscKarty& karta);

// ---- fitting --------------------------------------------------------------------

struct Dopasowanie {
    std::int64_t brakuje = 0;               // bytes the book is short of
    QList<KsiazkaNaKarcieOpis> doUsuniecia; // books whose removal would make room
    // In Polish: by how much, and which books with their sizes; or that
    // even an empty card would be too small.
    QString opis() const;
};

// Clusters the book of these file sizes takes on a card of `klaster`-byte
// clusters, by the copy's rule: the audio file rounded up, at least one
// cluster for each index file.
std::int64_t klastryKsiazki(std::int64_t klaster, std::int64_t audio, std::int64_t dat,
                            std::int64_t log);

// How books of `potrzebne` clusters together may fit the card: none when
// they do; otherwise what is missing and the fewest books of the card (not
// those in `bezTych`, which the copy replaces) whose removal together frees
// enough, as small as may be.
std::optional<Dopasowanie> jakZmiescic(const ZawartoscKarty& karta, std::int64_t potrzebne,
                                       const QStringList& bezTych = {});

// ---- several books in one go -----------------------------------------------------

struct WynikKsiazki {
    QString nazwa; // the audio file's name
    bool skopiowana = false;
    QString powod; // why not, in Polish
};

struct RaportKopiiWielu {
    QList<WynikKsiazki> ksiazki;
    QString dokonczenie; // an interrupted copy or removal finished first
    // Set when nothing was written: the books do not fit together, a name
    // is refused, a book is incomplete in the store.
    QString odmowa;
    bool wszystkie() const;
    // One summary: what was copied, what not, and why, in Polish.
    QString podsumowanie() const;
};

// Copies the books (each the audio file's path in the store; its .dat and
// .log beside it) to the card root `korzen`. Everything is checked before
// any byte is written: every book whole in the store, every name accepted
// by the card and no two alike, and the room for all of them together by
// the cluster rule of each (FAT's 4 GiB limit too). Then the books are
// copied, read back and renamed as kopiujKsiazkeNaKarte does, all in one
// go; should that fail (the card as it was), each book on its own, one
// after another: a failed book leaves its old files and the next goes on.
// A book already on the card under the same name is replaced when
// `obsluga.czyZamienic` says so (by default it is).
RaportKopiiWielu kopiujKsiazkiNaKarte(const QStringList& ksiazki, const QString& korzen,
                                      const ZrodloWolnegoMiejsca& zrodlo,
                                      const ObslugaKopiowania& obsluga = {},
                                      const KopiowanieNaKarte& kopiowanie = kopiujKsiazkeNaKarte);

// The store's files of the book whose audio file is `audio`: the audio
// file, its .dat and its .log, in copy order.
QStringList plikiKsiazki(const QString& audio);
