#pragma once
// The text files of a book (ncc.html, SMIL, OPF, NCX, cue sheets) read
// within bounds and in the character set they declare, and the paths they
// name kept inside the book's folder.

#include <QHash>
#include <QString>
#include <QStringView>
#include <QXmlStreamReader>
#include <cstdint>
#include <optional>

// No text file of a book is larger; a larger one is refused unread.
inline constexpr qint64 kMaksRozmiarTekstu = qint64{64} * 1024 * 1024;

// The file's bytes, at most kMaksRozmiarTekstu of them. Throws EBladZrodla
// naming the file when it is missing, no regular file, unreadable or
// larger.
QByteArray czytajPlikTekstowy(const QString& sciezka);

// The text of a book's XML or XHTML file in the character set it declares:
// the XML declaration's encoding, else a meta element's charset (content
// "text/html; charset=..." or ncc:charset), else UTF-8; text that is no
// valid UTF-8 and declares nothing is read as windows-1250. Throws
// EBladZrodla for a character set the program does not know.
QString tekstWKodowaniu(const QByteArray& dane, const QString& sciezka);

// Bytes of a text with no declaration (a cue sheet): UTF-8 when they are
// valid UTF-8 (a byte-order mark is dropped), else windows-1250.
QString tekstBezDeklaracji(const QByteArray& dane);

// A parser over a book's XML file that throws EBladZrodla ("Plik X nie jest
// poprawnym plikiem XML: ... (wiersz N)") on malformed XML. Entities the
// document does not declare (&nbsp; of XHTML) read as a space.
class CzytnikXml {
public:
    CzytnikXml(const QString& tekst, const QString& sciezka);
    // The next token; throws at an error.
    QXmlStreamReader::TokenType dalej();
    bool koniec() const { return r.atEnd(); }
    QXmlStreamReader r;

private:
    QString m_sciezka;
};

// The folder of a book and the files its documents name.
class FolderKsiazki {
public:
    // `folder`: the folder of the book's main file; nothing outside it is
    // read.
    explicit FolderKsiazki(const QString& folder);

    // The file a reference in the document `zDokumentu` names: a relative
    // URL (percent-escapes decoded, the "#..." part left out) taken from
    // that document's folder. A name found only in another case is taken
    // (books made on systems that ignore case). Throws EBladZrodla naming
    // the document and the reference when it is absolute, leads out of the
    // book's folder (by "..", or by a symbolic link), or names no readable
    // file.
    // With `adres` false the reference is a plain path (a cue sheet's
    // FILE), not a URL.
    QString plik(const QString& odniesienie, const QString& zDokumentu, bool adres = true) const;

    const QString& folder() const { return m_folder; }

private:
    QString m_folder; // canonical
    // Per folder: names in lower case -> the names there.
    mutable QHash<QString, QHash<QString, QString>> m_nazwy;
};

// A SMIL clock value in microseconds: "npt=12.345s", "0:01:02.5" (full or
// partial clock), "12.3", "12.3s", "300ms", "1.5min", "2h". Nothing for
// anything else (or a negative value, or one beyond a year).
std::optional<std::int64_t> czytajCzasSmil(QStringView tekst);

// The native form of a path, for messages.
QString natywnaSciezka(const QString& sciezka);
