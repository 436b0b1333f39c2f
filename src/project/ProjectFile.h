#pragma once
// The project file: a small UTF-8 XML document with the root element
// "projekt" and one element per entry (p1, p2, ...) holding the four
// children plik, poczatek, dlugosc and folder.
//
// Written form (exact, byte for byte):
//   <?xml version="1.0" encoding="UTF-8"?>
//   <projekt>
//     <p1>
//       <plik>rozdzial01.mp3</plik>
//       <poczatek>0</poczatek>
//       <dlugosc>5000</dlugosc>
//       <folder>/nagrania/ksiazka/</folder>
//     </p1>
//   </projekt>
// two spaces of indentation per level, CR LF after every line including the
// last, no byte-order mark. Two kinds of child follow the four only when
// they have something to say, so a reader that knows nothing of them (it
// ignores children it does not know) reads the entry as before:
// <sprawdzona>1</sprawdzona> marks a bookmark the user has accepted; and a
// file name or folder that is not UTF-8 on the disk, which XML cannot carry,
// is written readable in plik or folder (each byte that is not UTF-8 as
// U+FFFD) with its exact bytes in <bajty_pliku> or <bajty_folderu>: the
// text with each such byte, and each "%", as %XX. The book's details (OpisKsiazki), when the
// project has any, are attributes of the root element, written only when
// given: <projekt tytul="Lalka" jezyk="pl">. A reader that knows nothing of
// them ignores them, as it ignores any attribute. An entry with a heading
// level (PozycjaProjektu::Poziom) has a fifth child after folder,
// <poziom>2</poziom>, which a reader that knows nothing of it ignores as it
// ignores any other child. An empty project is the
// declaration followed by "<projekt></projekt>". Texts are written as they
// stand, with &, < and > escaped and CR written as a character reference so
// that it survives reading.
//
// Reading is lenient: whitespace between elements is ignored, entry elements
// may have any names (only their order counts), the four children are found
// by name in any order (the first of each name counts), other children are
// ignored, a byte-order mark is accepted. A child's text is taken exactly as
// it stands, including the text of any elements nested in it. A document
// type declaration is refused, so no entity is ever declared, expanded or
// fetched; so is a file above 64 MiB, nested deeper than 16 elements, with
// more than 500,000 entries, 3,000,000 elements (six an entry: its five and
// room for others) or 50,000 attributes, with an element of more than 64
// attributes (the parser's time grows with the square of an element's
// attributes) or declaring more than 64 namespaces. Within these bounds
// reading takes time in proportion to the file's size. The writer refuses
// a project beyond these bounds before it touches the file, so that every
// project it saves can be read.

#include "base/Errors.h"
#include "base/ZapisAtomowy.h"
#include "project/OpisKsiazki.h"
#include "project/Pozycja.h"

#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdint>
#include <optional>

// A project file that is not well-formed XML, or that the program refuses to
// read (document type declaration, too large, nested too deeply, too many
// elements, attributes or namespaces). The text
// names the file and, for a parser error, the line.
class EBladPlikuProjektu : public SonvekError {
public:
    using SonvekError::SonvekError;
};

// One entry as read from a file: the texts of its four children. A child
// that is missing or has no text gives a null (and empty) QString, so
// isEmpty() tells the reader that the element cannot be converted.
struct WpisPlikuProjektu {
    QString plik;
    QString poczatek;
    QString dlugosc;
    QString folder;
    QString poziom{};     // optional: null when the entry has none
    QString sprawdzona{}; // "1" for an accepted bookmark
    // The exact names, when the file has them (%XX for bytes that are not UTF-8).
    QString bajtyPliku{};
    QString bajtyFolderu{};

    bool operator==(const WpisPlikuProjektu&) const = default;
};
// QStrings: the list may move entries as plain bytes when it grows.
Q_DECLARE_TYPEINFO(WpisPlikuProjektu, Q_RELOCATABLE_TYPE);

// What a project file held when the program last read or wrote it, to
// tell later whether another program has changed it since.
struct OdciskPliku {
    QString sciezka; // canonical; empty: nothing recorded
    ZapisAtomowy::Stan stan;
    QByteArray skrot; // of the content
};

// True when `sciezka` names the file `odcisk` recorded and that file no
// longer holds the content recorded. The same size, time, device and node
// mean no change; otherwise the content's hash decides (a file touched or
// written again with the same bytes has not changed). A file that is gone,
// or a record of another file, is no change.
bool plikZmienionyOdOdcisku(const QString& sciezka, const OdciskPliku& odcisk);

struct OdczytanyPlikProjektu {
    // The root element's local name is exactly "projekt". When it is not,
    // wpisy is empty and the caller reports an invalid project file.
    bool korzenProjekt = false;
    QList<WpisPlikuProjektu> wpisy;
    OdciskPliku odcisk; // of the file read (wczytajPlikProjektu)
    OpisKsiazki opis{}; // from the root's attributes
};

inline constexpr qint64 kMaksRozmiarPlikuProjektu = qint64{64} * 1024 * 1024;
inline constexpr int kMaksGlebokoscPlikuProjektu = 16;
inline constexpr int kMaksAtrybutowPlikuProjektu = 64;
inline constexpr qsizetype kMaksPozycjiPlikuProjektu = 500000;
inline constexpr qsizetype kMaksElementowPlikuProjektu = 6 * kMaksPozycjiPlikuProjektu;

// The whole document for these entries. Entry elements are numbered by
// position (p1 for the first row), which is the rows' Lp. Throws
// EInOutError when a text holds a character that XML 1.0 cannot carry
// (control characters other than tab, line feed and carriage return), and
// as soon as it is clear that the document would exceed `granica` bytes
// (when not negative). Such characters in the book's details are left out
// instead.
QByteArray dokumentProjektu(const ListaPozycji& pozycje, const OpisKsiazki& opis = {},
                            qint64 granica = -1);

// Writes the document atomically: to a temporary file in the same folder,
// renamed over `path` only when complete and synced. On failure `path` is
// left as it was and EInOutError names the file and the reason; so it is
// for a project the reader would refuse (too many entries, too large). In
// a folder where no new file may be created, an existing writable `path` is
// written in place (see OpcjeZapisu). Returns the record of the file written.
OdciskPliku zapiszPlikProjektu(const QString& path, const ListaPozycji& pozycje,
                               const OpisKsiazki& opis = {});

// Parses a document already in memory; `nazwaPliku` is only used in error
// texts. Throws EBladPlikuProjektu.
OdczytanyPlikProjektu czytajDokumentProjektu(const QByteArray& dane, const QString& nazwaPliku);

// Reads and parses a project file. Throws EInOutError when the file cannot
// be opened or read, EBladPlikuProjektu when it is refused.
OdczytanyPlikProjektu wczytajPlikProjektu(const QString& path);

// The entries of a project file as the list takes them, in file order (Lp
// is the position among them): the one loader of project entries, for the
// main window and for sonvek-merge alike. Throws as wczytajPlikProjektu.
// A root element other than "projekt" gives korzenProjekt false and nothing
// else. A relative folder is taken from the project file's folder and the
// entry gets it as an absolute one. An entry whose file is not there is
// left out and its path listed in `brakujace`. An entry without its file name or folder, or, when
// its file is there, without its start or length, stops the reading: `blad` then names the file and
// the entry, and `pozycje` holds the entries before it. An entry whose name
// is taken by something other than a regular file (a folder, a FIFO, a
// device) is left out too and listed in `niezwykle` as "path: what it is".
struct PozycjePlikuProjektu {
    bool korzenProjekt = false;
    ListaPozycji pozycje;
    QStringList brakujace;
    QStringList niezwykle;
    QString blad;
    OdciskPliku odcisk;
    OpisKsiazki opis{};
};
PozycjePlikuProjektu wczytajPozycjeProjektu(const QString& sciezka);

// The project as a command-line tool loads it before it touches anything:
// wczytajPozycjeProjektu, then a root element other than "projekt" throws
// SonvekError ("PATH: Nieprawidlowy plik z danymi o projekcie") and a stopped
// reading throws EConvertError with its text. When files are missing, their
// list goes to `bledy` under the main window's heading (pominietePozycje)
// and the result is empty (the tool then exits with status 1).
// What the notice window lists after a load that left entries out: the
// heading and one line per entry (the missing ones alone keep the old
// heading and bare paths). No lines when nothing was left out.
struct PominietePozycje {
    QString naglowek;
    QStringList wiersze;
};
PominietePozycje pominietePozycje(const PozycjePlikuProjektu& wczytane);

std::optional<PozycjePlikuProjektu> wczytajProjektNarzedzia(const QString& sciezka,
                                                            QTextStream& bledy);

// The entry for a file chosen to be added: its name and folder from the
// path, start 0 and, as the bookmark's length, the file's length in ms or
// the default length when the file is longer.
PozycjaProjektu pozycjaDlaPliku(const QString& path, std::int64_t dlugoscPliku,
                                std::int32_t domyslnaZakladka);

// The order in which files chosen in one dialog become entries: by file name
// (ExNazwaPliku) as porownajNazwy orders them in the collation of `locale`,
// numbers by their value; paths with the very same name keep their given
// order. Every path appears exactly once.
QStringList uporzadkujWybranePliki(const QStringList& paths,
                                   const QLocale& locale = QLocale(QLocale::Polish,
                                                                   QLocale::Poland));
