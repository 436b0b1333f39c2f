#pragma once
// The text files of a DAISY 2.02 talking book with audio and headings only
// ("audioNcc"): the navigation control centre ncc.html, an XHTML 1.0 page
// with the book's metadata and one h1 per chapter, and one SMIL 1.0 file per
// chapter. A chapter's SMIL plays its heading's own audio (the bookmark)
// first and then the rest of the entry's audio in file order, so every part
// of the entry is heard once and the SMIL lasts as long as the entry.

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

// The names of chapter i's (0-based) audio copy and SMIL file among `liczba`
// chapters: "a001.mp3", "s001.smil", numbered with at least three digits.
QString nazwaDzwiekuDaisy(int i, int liczba);
QString nazwaSmilDaisy(int i, int liczba);

// "hh:mm:ss" and "hh:mm:ss.mmm" of whole ms; "12.345s" and "npt=12.345s".
QString czasZegarowy(std::int64_t ms, bool zMilisekundami);
QString czasSmil(std::int64_t ms);

QByteArray dokumentNcc(const OpisKsiazki& opis, const MetadaneDaisy& meta,
                       const ListaRozdzialow& rozdzialy);
QByteArray dokumentSmil(const OpisKsiazki& opis, const MetadaneDaisy& meta,
                        const ListaRozdzialow& rozdzialy, int i);
