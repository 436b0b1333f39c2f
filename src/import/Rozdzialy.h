#pragma once
// What an import found in its sources: the book's chapters, each with its
// title, its heading level, its audio (stretches of one or more files) and
// the stretch that announces it, and what the import knows of every audio
// file it reads. The readers (DAISY, cue sheets, audio files) fill it in;
// the import writes a project from it; the window and sonvek-import show it.

#include "base/Errors.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>

// A source that cannot be imported: a missing or unreadable file, a path
// that leads out of the book's folder, malformed XML, a protected or
// unknown file. The text names the file and the reason, in Polish.
class EBladZrodla : public SonvekError {
public:
    using SonvekError::SonvekError;
};

// The import was stopped; nothing was left behind.
class EPrzerwanyImport : public SonvekError {
public:
    using SonvekError::SonvekError;
};

// A stretch of one audio file, in microseconds from the start of its audio.
struct FragmentDzwieku {
    QString plik;           // absolute path
    std::int64_t odUs = 0;  //
    std::int64_t doUs = -1; // -1: to the end of the file
};

struct RozdzialZrodla {
    QString tytul;
    int poziom = 0; // heading level 1..6; 0 where the source has no headings
    QList<FragmentDzwieku> dzwiek;
    // The announcement (the spoken heading) within the chapter's audio, in
    // microseconds from the chapter's start; equal: none is known.
    std::int64_t zapowiedzOdUs = 0;
    std::int64_t zapowiedzDoUs = 0;
    // The chapter's length as far as the reader can tell (the writer
    // measures MP3 files exactly).
    std::int64_t dlugoscUs = 0;
};

// What the import knows of an audio file before it writes anything.
struct PlikDzwieku {
    QString sciezka;
    QString format;   // the container as libavformat names it: "mp3", "flac", "mov,mp4,..."
    QString kodek;    // the codec's name: "mp3", "aac", "opus", ...
    bool mp3 = false; // MPEG audio layer III, copied frame by frame, never encoded again
    int czestotliwosc = 0;
    int kanaly = 0;
    std::int64_t dlugoscUs = 0;
    // Chapters the file itself carries (MP4, ID3 CHAP, Ogg, Matroska).
    struct Rozdzial {
        QString tytul;
        std::int64_t odUs = 0, doUs = 0;
    };
    QList<Rozdzial> rozdzialy;
    QString tytul, album, autor; // from its tags, where it has them
};

struct ZnalezioneRozdzialy {
    QString rodzaj; // what the sources are, for people: "książka DAISY 2.02"
    QString tytul;  // the book's title and author where the source tells them
    QString autor;
    QList<RozdzialZrodla> rozdzialy;
    QMap<QString, PlikDzwieku> pliki; // every audio file a chapter uses, by path
    QStringList uwagi;                // what a reader noticed and passed over

    std::int64_t dlugoscUs() const {
        std::int64_t razem = 0;
        for (const RozdzialZrodla& r : rozdzialy)
            razem += r.dlugoscUs;
        return razem;
    }
    // Whether chapters have heading levels worth keeping.
    bool maPoziomy() const {
        for (const RozdzialZrodla& r : rozdzialy)
            if (r.poziom > 0)
                return true;
        return false;
    }
};

// What was found, one line for each thing, as the window lists it and
// sonvek-import --lista prints it: the kind and title, the number of
// chapters and their length, then one line per chapter ("3. Rozdział
// drugi (poziom 2), 0:12:04").
QStringList linieZnalezionych(const ZnalezioneRozdzialy& z);

// ---- for the readers ---------------------------------------------------------------------

// Where a chapter starts: in the file `plik` (an index into the files the
// chapters run through) at `us`.
struct PoczatekRozdzialu {
    int plik = 0;
    std::int64_t us = 0;
};

// The audio of chapters that follow one another through files played in
// order: chapter i from its start to the next one's, across files, the last
// to the end of the last file. The first chapter starts at the start of
// the first file whatever its start says, so nothing is lost. `poczatki`
// must rise strictly (see poPoprzednim).
QList<QList<FragmentDzwieku>> odcinkiMiedzy(const QStringList& pliki,
                                            const QList<PoczatekRozdzialu>& poczatki);

// Whether `b` lies after `a` in files played in order.
inline bool poPoprzednim(const PoczatekRozdzialu& a, const PoczatekRozdzialu& b) {
    return b.plik > a.plik || (b.plik == a.plik && b.us > a.us);
}

// The length of the fragments, with the files' lengths for those that run
// to a file's end.
std::int64_t dlugoscFragmentow(const QList<FragmentDzwieku>& dzwiek,
                               const QMap<QString, PlikDzwieku>& pliki);

// Where the point `us` of `plik` lies in a chapter's audio; -1 when the
// chapter does not hold it.
std::int64_t miejsceWRozdziale(const QList<FragmentDzwieku>& dzwiek,
                               const QMap<QString, PlikDzwieku>& pliki, const QString& plik,
                               std::int64_t us);
