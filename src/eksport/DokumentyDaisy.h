#pragma once
// The text files of a DAISY 2.02 talking book with audio and headings only
// ("audioNcc"): the navigation control centre ncc.html, an XHTML 1.0 page
// with the book's metadata, its title as the first heading (h1
// class="title") and one heading per chapter (h1, or deeper for an entry
// with a level), and one SMIL 1.0 file per chapter.
// A chapter starts where its entry's bookmark starts: its SMIL plays the
// entry from there to its end, and then the start of the next entry up to
// that entry's bookmark. Every part of every entry is heard once, in the
// entries' order. The audio of the first entry before its bookmark belongs
// to the title.

#include "eksport/Rozdzial.h"
#include "project/OpisKsiazki.h"

#include <QByteArray>
#include <QString>

// What the text files need beside the chapters and the details.
struct MetadaneDaisy {
    QString identyfikator; // dc:identifier
    QString data;          // dc:date, yyyy-mm-dd
    QString generator;     // ncc:generator
};

// The generator a book of this program names: what tells its books from
// others ("SonvekManager 1.0.0").
QString generatorDaisy();

// Whether the start of an ncc.html names this program as the book's
// generator: what tells a book this program made from others.
bool nccNaszejKsiazki(const QByteArray& ncc);

// Whether `nazwa` is one of the file names a book of this program holds:
// ncc.html and the chapters' audio and SMIL files.
bool nazwaPlikuDaisy(const QString& nazwa);

// The names of chapter i's (0-based) audio copy and SMIL file among `liczba`
// chapters: "a001.mp3", "s001.smil", numbered with at least three digits.
QString nazwaDzwiekuDaisy(int i, int liczba);
QString nazwaSmilDaisy(int i, int liczba);

// Where chapter `i` starts in its entry's audio, in ms: at the bookmark,
// or at 0 when the bookmark lies past the end of the audio.
std::int64_t poczatekRozdzialu(const RozdzialKsiazki& r);

// "hh:mm:ss" and "hh:mm:ss.mmm" of whole ms; "12.345s" and "npt=12.345s".
QString czasZegarowy(std::int64_t ms, bool zMilisekundami);
QString czasSmil(std::int64_t ms);

QByteArray dokumentNcc(const OpisKsiazki& opis, const MetadaneDaisy& meta,
                       const ListaRozdzialow& rozdzialy);
QByteArray dokumentSmil(const OpisKsiazki& opis, const MetadaneDaisy& meta,
                        const ListaRozdzialow& rozdzialy, int i);
