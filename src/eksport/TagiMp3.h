#pragma once
// ID3v2 tags through TagLib: what an entry's own tag says, and the tag of a
// chaptered book (CHAP and CTOC frames beside the book's details).

#include "eksport/Rozdzial.h"
#include "project/OpisKsiazki.h"

#include <QByteArray>
#include <QString>

// The texts of an MP3 file's tag (ID3v2, else ID3v1, else APE) that the
// export uses; empty where the file has none or cannot be read.
struct TagWpisu {
    QString tytul;
    QString album;
    QString wykonawca;
};
TagWpisu czytajTagWpisu(const QString& sciezka);

// A cover picture as the tag carries it.
struct Okladka {
    QByteArray dane;
    QString typ; // "image/jpeg" or "image/png"
};

// The picture of an MP3 file's ID3v2 tag, its front cover first: a JPEG or
// PNG picture of at most `maksimum` bytes; empty when it has none.
Okladka okladkaZTagu(const QString& sciezka, qint64 maksimum);

// A chapter's title as a CHAP frame carries it: cut (with "…") to at most
// 126 bytes of UTF-8. A text frame of 128 bytes or more inside a CHAP frame
// is read wrongly by FFmpeg, which takes the size of a frame inside a CHAP
// frame as a plain number where ID3v2.4 stores it in 7-bit bytes; it then
// drops that chapter and every one after it.
QString tytulRozdzialuId3(const QString& tytul);

// The ISO 639-2 code of a language tag for TLAN ("pl" and "pl-PL" give
// "pol"); "und" for a tag no language is known by.
QString kodJezykaId3(const QString& jezyk);

// The whole ID3v2.4 tag, rendered by TagLib, that goes in front of the
// book's audio: TIT2 and TALB the title, TPE1 the author, TLAN the
// language, TPUB, TDRC and a TXXX "NARRATOR" where given, APIC the cover
// when there is one, one CHAP frame per chapter (start and end in ms, a TIT2
// title, see tytulRozdzialuId3) and a top-level, ordered CTOC frame listing
// them.
QByteArray tagRozdzialow(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                         const Okladka& okladka);
