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

// The ISO 639-2 code of a language tag for TLAN ("pl" and "pl-PL" give
// "pol"); "und" for a tag no language is known by.
QString kodJezykaId3(const QString& jezyk);

// The whole ID3v2.4 tag, rendered by TagLib, that goes in front of the
// book's audio: TIT2 and TALB the title, TPE1 the author, TLAN the
// language, TPUB, TDRC and a TXXX "NARRATOR" where given, APIC the cover
// when there is one, one CHAP frame per chapter (start and end in ms, a TIT2
// title) and a top-level, ordered CTOC frame listing them.
QByteArray tagRozdzialow(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                         const Okladka& okladka);
