#include "project/ProjectFile.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "base/ZapisAtomowy.h"
#include "base/ZwyklyPlik.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace {

QString nazwaDoKomunikatu(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Appends `text` as element content. `wpis` (1-based) and `element` only
// name the place in the error text.
void dopiszTekst(QString& out, const QString& text, qsizetype wpis, QLatin1StringView element) {
    const QChar* p = text.constData();
    const QChar* const end = p + text.size();
    while (p < end) {
        const QChar ch = *p;
        char32_t c = ch.unicode();
        qsizetype units = 1;
        if (ch.isHighSurrogate() && p + 1 < end && p[1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(ch, p[1]);
            units = 2;
        } else if (ch.isSurrogate()) {
            c = 0xFFFF; // a lone surrogate: not a character at all
        }
        if (!znakDozwolonyWXml(c)) {
            const QString kod =
                QStringLiteral("%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0')).toUpper();
            throw EInOutError(QStringLiteral("wpis %1, element „%2”: znak U+%3 nie może się "
                                             "znaleźć w pliku XML")
                                  .arg(wpis)
                                  .arg(element, kod));
        }
        switch (c) {
        case U'&':
            out += u"&amp;";
            break;
        case U'<':
            out += u"&lt;";
            break;
        case U'>':
            out += u"&gt;";
            break;
        case U'\r':
            // A raw CR would come back as LF: XML normalises line ends.
            out += u"&#13;";
            break;
        default:
            out.append(p, units);
        }
        p += units;
    }
}

// A name with bytes that are not UTF-8 as the file keeps it exactly: each
// such byte, and each "%", as %XX; the rest as it stands.
QString bajtyNazwy(const QString& nazwa) {
    QString wynik;
    const QChar* const z = nazwa.constData();
    for (qsizetype i = 0; i < nazwa.size(); ++i) {
        const char16_t c = z[i].unicode();
        const bool para = i > 0 && z[i - 1].isHighSurrogate();
        if (c == u'%' || (!para && c >= 0xDC80 && c <= 0xDCFF))
            wynik += u'%' + QString::number(c == u'%' ? 0x25 : c - 0xDC00, 16).toUpper();
        else
            wynik += z[i];
    }
    return wynik;
}

// A text as the parser gives it, with every surrogate that has no pair
// (UTF-16 and UTF-32 documents can carry one) as U+FFFD: such a unit is no
// character, and a name the program keeps its raw bytes in must not be
// mistaken for one.
QString bezSamotnychSurogatow(QString tekst) {
    for (qsizetype i = 0; i < tekst.size(); ++i) {
        const QChar c = tekst.at(i);
        if (c.isHighSurrogate() && i + 1 < tekst.size() && tekst.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            tekst[i] = QChar::ReplacementCharacter;
    }
    return tekst;
}

QString nazwaZBajtow(const QString& tekst) {
    return nazwaZSystemu(QByteArray::fromPercentEncoding(tekst.toUtf8()));
}

void dopiszElement(QString& out, QLatin1StringView nazwa, const QString& tekst, qsizetype wpis) {
    out += u"    <";
    out += nazwa;
    out += u'>';
    dopiszTekst(out, tekst, wpis, nazwa);
    out += u"</";
    out += nazwa;
    out += u">\r\n";
}

// The book's details as attributes of the root element, each only when
// given, in a fixed order. Characters XML cannot carry are left out; quotes
// and the white space that attribute values would normalise are written as
// references, so every text reads back as it was.
struct AtrybutOpisu {
    QLatin1StringView nazwa;
    QString OpisKsiazki::*pole;
};
constexpr AtrybutOpisu kAtrybutyOpisu[] = {
    {QLatin1StringView("tytul"), &OpisKsiazki::tytul},
    {QLatin1StringView("autor"), &OpisKsiazki::autor},
    {QLatin1StringView("lektor"), &OpisKsiazki::lektor},
    {QLatin1StringView("jezyk"), &OpisKsiazki::jezyk},
    {QLatin1StringView("rok"), &OpisKsiazki::rok},
    {QLatin1StringView("wydawca"), &OpisKsiazki::wydawca},
    {QLatin1StringView("okladka"), &OpisKsiazki::okladka},
};

void dopiszAtrybuty(QString& out, const OpisKsiazki& opis) {
    for (const AtrybutOpisu& a : kAtrybutyOpisu) {
        const QString tekst = bezZnakowSpozaXml(opis.*a.pole);
        if (tekst.isEmpty())
            continue;
        out += u' ';
        out += a.nazwa;
        out += u"=\"";
        for (const QChar ch : tekst) {
            switch (ch.unicode()) {
            case u'&':
                out += u"&amp;";
                break;
            case u'<':
                out += u"&lt;";
                break;
            case u'"':
                out += u"&quot;";
                break;
            case u'\t':
                out += u"&#9;";
                break;
            case u'\n':
                out += u"&#10;";
                break;
            case u'\r':
                out += u"&#13;";
                break;
            default:
                out += ch;
            }
        }
        out += u'"';
    }
}

// The start of line `line` (1-based) of `dane`, for the parser's message.
QString poczatekWiersza(const QByteArray& dane, qint64 line) {
    qsizetype start = 0;
    for (qint64 i = 1; i < line; ++i) {
        const qsizetype nl = dane.indexOf('\n', start);
        if (nl < 0)
            return QString();
        start = nl + 1;
    }
    qsizetype end = dane.indexOf('\n', start);
    if (end < 0)
        end = dane.size();
    constexpr qsizetype kDlugosc = 60;
    QString text = QString::fromUtf8(dane.mid(start, std::min(end - start, kDlugosc * 4)));
    text = text.trimmed();
    if (text.size() > kDlugosc)
        text = text.left(kDlugosc) + QStringLiteral("…");
    return text;
}

// Attributes in a whole file; a project file has none.
constexpr qsizetype kMaksWszystkichAtrybutow = 50000;

// A file the reader refuses: `co` tells what it has beyond a bound.
EBladPlikuProjektu nieWczytuje(const QString& nazwa, const QString& co) {
    return EBladPlikuProjektu(
        QStringLiteral("Plik „%1” %2; takich plików projektu program nie wczytuje").arg(nazwa, co));
}

// Refuses a start tag with more than kMaksAtrybutowPlikuProjektu
// attributes, and a file with more than a tenth as many attributes as it
// may have elements, before the parser sees them. A linear pass over the
// bytes, a stretch at a time just ahead of the parser (a file the parser
// refuses early is not scanned to its end): comments, CDATA sections,
// processing instructions and declarations are passed over, and in a start
// tag every "=" outside a quoted value is one attribute.
class KontrolaAtrybutow {
public:
    KontrolaAtrybutow(const QByteArray& dane, const QString& nazwa) : dane(dane), nazwa(nazwa) {}

    // Checks on to the first place outside markup at or after `granica`
    // and returns it (the end of the data when there is none).
    qsizetype dalej(qsizetype granica) {
        const char* const p = dane.constData();
        const qsizetype n = dane.size();
        while (i < n && i < granica) {
            const void* lt = std::memchr(p + i, '<', size_t(n - i));
            if (!lt)
                return i = n;
            i = static_cast<const char*>(lt) - p + 1;
            const char c = i < n ? p[i] : '\0';
            if (c == '!') {
                if (n - i >= 3 && p[i + 1] == '-' && p[i + 2] == '-')
                    i = za(i + 3, "-->");
                else if (n - i >= 8 && std::memcmp(p + i, "![CDATA[", 8) == 0)
                    i = za(i + 8, "]]>");
                else
                    i = za(i + 1, ">");
            } else if (c == '?') {
                i = za(i + 1, "?>");
            } else if (c != '/') {
                znacznik(p, n);
            }
        }
        return std::min(i, n);
    }

private:
    // The position after `koniec`, searched from `od`; the end when absent.
    qsizetype za(qsizetype od, const char* koniec) const {
        const qsizetype k = dane.indexOf(koniec, od);
        return k < 0 ? dane.size() : k + qsizetype(std::strlen(koniec));
    }

    // A start tag from `i` (after its "<") to its ">".
    void znacznik(const char* p, qsizetype n) {
        int atrybuty = 0;
        char cudzyslow = 0;
        for (; i < n; ++i) {
            const char z = p[i];
            if (cudzyslow) {
                if (z == cudzyslow)
                    cudzyslow = 0;
            } else if (z == '"' || z == '\'') {
                cudzyslow = z;
            } else if (z == '>') {
                break;
            } else if (z == '=' && ++atrybuty > kMaksAtrybutowPlikuProjektu) {
                const qsizetype wiersz = QByteArrayView(p, i).count('\n') + 1;
                throw nieWczytuje(nazwa, QStringLiteral("ma element o więcej niż %1 atrybutach "
                                                        "(wiersz %2)")
                                             .arg(kMaksAtrybutowPlikuProjektu)
                                             .arg(wiersz));
            }
        }
        wszystkie += atrybuty;
        if (wszystkie > kMaksWszystkichAtrybutow)
            throw nieWczytuje(
                nazwa, QStringLiteral("ma więcej niż %1 atrybutów").arg(kMaksWszystkichAtrybutow));
    }

    const QByteArray& dane;
    const QString& nazwa;
    qsizetype i = 0;
    qsizetype wszystkie = 0;
};

QString zaDuzyDoZapisu() {
    return QStringLiteral("plik miałby ponad %1 MiB, a program wczytuje pliki projektu do %1 MiB")
        .arg(kMaksRozmiarPlikuProjektu / (1024 * 1024));
}

QByteArray skrotTresci(const QByteArray& dane) {
    return QCryptographicHash::hash(dane, QCryptographicHash::Sha256);
}

ZapisAtomowy::Stan stanPliku(const struct stat& st) {
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            quint64(st.st_dev), quint64(st.st_ino)};
}

} // namespace

bool plikZmienionyOdOdcisku(const QString& sciezka, const OdciskPliku& odcisk) {
    if (odcisk.sciezka.isEmpty() || QFileInfo(sciezka).canonicalFilePath() != odcisk.sciezka)
        return false;
    struct stat st {};
    if (::stat(nazwaDlaSystemu(sciezka).constData(), &st) != 0)
        return false;
    const ZapisAtomowy::Stan teraz = stanPliku(st), &byl = odcisk.stan;
    if (teraz.rozmiar == byl.rozmiar && teraz.czasNs == byl.czasNs &&
        teraz.urzadzenie == byl.urzadzenie && teraz.wezel == byl.wezel)
        return false;
    if (teraz.rozmiar != byl.rozmiar)
        return true;
    QFile plik;
    if (!otworzZwyklyPlik(plik, sciezka).isEmpty())
        return true;
    return skrotTresci(plik.read(kMaksRozmiarPlikuProjektu + 1)) != odcisk.skrot;
}

QByteArray dokumentProjektu(const ListaPozycji& pozycje, const OpisKsiazki& opis, qint64 granica) {
    QString out;
    out.reserve(64 + pozycje.size() * 200);
    out += u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<projekt";
    dopiszAtrybuty(out, opis);
    out += u'>';
    if (!pozycje.isEmpty())
        out += u"\r\n";
    for (qsizetype i = 0; i < pozycje.size(); ++i) {
        const PozycjaProjektu& poz = pozycje.at(i);
        const QString numer = QString::number(i + 1);
        out += u"  <p";
        out += numer;
        out += u">\r\n";
        dopiszElement(out, QLatin1StringView("plik"), nazwaDoPokazania(poz.NazwaPliku), i + 1);
        dopiszElement(out, QLatin1StringView("poczatek"), poz.Poczatek, i + 1);
        dopiszElement(out, QLatin1StringView("dlugosc"), poz.Dlugosc, i + 1);
        dopiszElement(out, QLatin1StringView("folder"), nazwaDoPokazania(poz.Folder), i + 1);
        if (!poz.Poziom.isEmpty())
            dopiszElement(out, QLatin1StringView("poziom"), poz.Poziom, i + 1);
        if (poz.Sprawdzona)
            dopiszElement(out, QLatin1StringView("sprawdzona"), QStringLiteral("1"), i + 1);
        if (maSuroweBajty(poz.NazwaPliku))
            dopiszElement(out, QLatin1StringView("bajty_pliku"), bajtyNazwy(poz.NazwaPliku), i + 1);
        if (maSuroweBajty(poz.Folder))
            dopiszElement(out, QLatin1StringView("bajty_folderu"), bajtyNazwy(poz.Folder), i + 1);
        out += u"  </p";
        out += numer;
        out += u">\r\n";
        // A character takes at least as many bytes in UTF-8 as it takes
        // units here: past the bound, the document cannot fit.
        if (granica >= 0 && out.size() > granica)
            throw EInOutError(zaDuzyDoZapisu());
    }
    out += u"</projekt>\r\n";
    return out.toUtf8();
}

OdciskPliku zapiszPlikProjektu(const QString& path, const ListaPozycji& pozycje,
                               const OpisKsiazki& opis) {
    OpcjeZapisu opcje;
    opcje.komunikat = QStringLiteral("Nie można zapisać projektu do pliku „%1”: %2");
    // A project in a shared folder where no new file may be made is still
    // saved, in place.
    opcje.naMiejscuWZamknietymFolderze = true;
    // The document is built before the file is touched, so a text that
    // cannot be written leaves the old file alone.
    // So is a project the reader would refuse.
    auto blad = [&](const QString& powod) {
        return EInOutError(opcje.komunikat.arg(nazwaDoKomunikatu(path), powod));
    };
    if (pozycje.size() > kMaksPozycjiPlikuProjektu)
        throw blad(QStringLiteral("projekt ma %1 pozycji, a program wczytuje projekty o najwyżej "
                                  "%2 pozycjach")
                       .arg(pozycje.size())
                       .arg(kMaksPozycjiPlikuProjektu));
    QByteArray dane;
    try {
        dane = dokumentProjektu(pozycje, opis, kMaksRozmiarPlikuProjektu);
    } catch (const EInOutError& e) {
        throw blad(e.text());
    }
    if (dane.size() > kMaksRozmiarPlikuProjektu)
        throw blad(zaDuzyDoZapisu());
    ZapisAtomowy zapis(path, opcje);
    zapis.zapisz(dane);
    zapis.zatwierdz();
    return {QFileInfo(path).canonicalFilePath(), zapis.zapisany(), skrotTresci(dane)};
}

OdczytanyPlikProjektu czytajDokumentProjektu(const QByteArray& dane, const QString& nazwaPliku) {
    const QString nazwa = nazwaDoKomunikatu(nazwaPliku);
    OdczytanyPlikProjektu wynik;
    // The parser gets the data a stretch at a time, each checked first.
    KontrolaAtrybutow kontrola(dane, nazwa);
    QXmlStreamReader r;
    qsizetype podane = 0;
    auto podaj = [&] {
        constexpr qsizetype kPorcja = 1 << 20;
        const qsizetype koniec = kontrola.dalej(podane + kPorcja);
        r.addData(dane.sliced(podane, koniec - podane));
        podane = koniec;
    };
    podaj();
    int glebokosc = 0;
    qsizetype elementy = 0, przestrzenie = 0;
    // The child being read (depth 3) and its text so far.
    QString* pole = nullptr;
    QString tekst;
    // The children the reader knows, and which of them the current entry
    // has had already.
    static const char16_t* const nazwy[] = {u"plik",          u"poczatek",   u"dlugosc",
                                            u"folder",        u"sprawdzona", u"bajty_pliku",
                                            u"bajty_folderu", u"poziom"};
    constexpr int kDzieci = int(std::size(nazwy));
    bool byly[kDzieci] = {};

    for (;;) {
        if (r.atEnd()) {
            if (r.error() != QXmlStreamReader::PrematureEndOfDocumentError || podane == dane.size())
                break;
            podaj();
            continue;
        }
        switch (r.readNext()) {
        case QXmlStreamReader::DTD:
            throw EBladPlikuProjektu(
                QStringLiteral("Plik „%1” zawiera deklarację typu dokumentu (DOCTYPE); takich "
                               "plików projektu program nie wczytuje")
                    .arg(nazwa));
        case QXmlStreamReader::EntityReference:
            throw EBladPlikuProjektu(
                QStringLiteral("Plik „%1” odwołuje się do encji „%2”, której program nie "
                               "rozwija")
                    .arg(nazwa, r.name().toString()));
        case QXmlStreamReader::StartElement: {
            if (++glebokosc > kMaksGlebokoscPlikuProjektu) {
                throw EBladPlikuProjektu(
                    QStringLiteral("Plik „%1” ma elementy zagnieżdżone głębiej niż %2 poziomów "
                                   "(wiersz %3)")
                        .arg(nazwa)
                        .arg(kMaksGlebokoscPlikuProjektu)
                        .arg(r.lineNumber()));
            }
            // Bounds on the parser's work: every element costs, and every
            // prefixed name is looked up among the namespaces declared.
            if (++elementy > kMaksElementowPlikuProjektu)
                throw nieWczytuje(
                    nazwa,
                    QStringLiteral("ma więcej niż %1 elementów").arg(kMaksElementowPlikuProjektu));
            if (glebokosc == 2 && wynik.korzenProjekt &&
                wynik.wpisy.size() >= kMaksPozycjiPlikuProjektu)
                throw nieWczytuje(
                    nazwa,
                    QStringLiteral("ma więcej niż %1 pozycji").arg(kMaksPozycjiPlikuProjektu));
            przestrzenie += r.namespaceDeclarations().size();
            if (przestrzenie > kMaksAtrybutowPlikuProjektu)
                throw nieWczytuje(nazwa, QStringLiteral("deklaruje więcej niż %1 przestrzeni nazw "
                                                        "(wiersz %2)")
                                             .arg(kMaksAtrybutowPlikuProjektu)
                                             .arg(r.lineNumber()));
            if (glebokosc == 1) {
                wynik.korzenProjekt = r.name() == u"projekt";
                const QXmlStreamAttributes atrybuty = r.attributes();
                for (const AtrybutOpisu& a : kAtrybutyOpisu) {
                    if (wynik.korzenProjekt && atrybuty.hasAttribute(a.nazwa))
                        wynik.opis.*a.pole =
                            bezSamotnychSurogatow(atrybuty.value(a.nazwa).toString());
                }
            } else if (!wynik.korzenProjekt) {
                // Another root: the rest is only checked for being XML.
            } else if (glebokosc == 2) {
                wynik.wpisy.append(WpisPlikuProjektu{});
                std::fill(std::begin(byly), std::end(byly), false);
            } else if (glebokosc == 3) {
                WpisPlikuProjektu& wpis = wynik.wpisy.back();
                QString* const pola[kDzieci] = {
                    &wpis.plik,       &wpis.poczatek,   &wpis.dlugosc,      &wpis.folder,
                    &wpis.sprawdzona, &wpis.bajtyPliku, &wpis.bajtyFolderu, &wpis.poziom};
                for (int k = 0; k < kDzieci; ++k) {
                    if (!byly[k] && r.name() == QStringView(nazwy[k])) {
                        byly[k] = true;
                        pole = pola[k];
                        tekst.clear();
                        break;
                    }
                }
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (pole)
                tekst += r.text();
            break;
        case QXmlStreamReader::EndElement:
            if (pole && glebokosc == 3) {
                // An element without text stays null: the reader cannot
                // convert it.
                if (!tekst.isEmpty())
                    *pole = bezSamotnychSurogatow(tekst);
                pole = nullptr;
            }
            --glebokosc;
            break;
        default:
            break;
        }
    }
    if (r.hasError()) {
        QString powod = r.errorString();
        if (powod.endsWith(QLatin1Char('.')))
            powod.chop(1);
        QString text = QStringLiteral("Plik „%1” nie jest poprawnym plikiem XML: %2 (wiersz %3, "
                                      "kolumna %4)")
                           .arg(nazwa, powod)
                           .arg(r.lineNumber())
                           .arg(r.columnNumber());
        const QString wiersz = poczatekWiersza(dane, r.lineNumber());
        if (!wiersz.isEmpty())
            text += QStringLiteral("; początek wiersza: %1").arg(wiersz);
        throw EBladPlikuProjektu(text);
    }
    if (!wynik.korzenProjekt) {
        wynik.wpisy.clear();
        wynik.opis = {};
    }
    return wynik;
}

OdczytanyPlikProjektu wczytajPlikProjektu(const QString& path) {
    const QString nazwa = nazwaDoKomunikatu(path);
    // A FIFO or a device named as the project is refused, not waited on.
    QFile plik;
    if (const QString powod = otworzZwyklyPlik(plik, path); !powod.isEmpty())
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku „%1”: %2").arg(nazwa, powod));
    auto zaDuzy = [&] {
        return EBladPlikuProjektu(
            QStringLiteral("Plik „%1” jest za duży na plik projektu (ponad %2 MiB)")
                .arg(nazwa)
                .arg(kMaksRozmiarPlikuProjektu / (1024 * 1024)));
    };
    // A save in place that did not end may have left a mixture of old and
    // new entries: the copy it made of the project before is what is whole.
    if (const QString kopia = kopiaZapisuNaMiejscu(path); QFileInfo::exists(kopia)) {
        throw EBladPlikuProjektu(
            QStringLiteral("Zapis projektu do pliku „%1” został przerwany, więc plik może być "
                           "uszkodzony. Projekt sprzed tego zapisu jest zachowany w pliku „%2”: "
                           "otwórz go i zapisz projekt jako „%1”. Jeśli plik „%1” jest w "
                           "porządku, usuń tę kopię")
                .arg(nazwa, QDir::toNativeSeparators(kopia)));
    }
    if (plik.size() > kMaksRozmiarPlikuProjektu)
        throw zaDuzy();
    // What the file is before it is read: a change while it is read shows
    // as a change later.
    struct stat st {};
    const bool opisany = ::fstat(plik.handle(), &st) == 0;
    // Read one byte more than allowed: a file that grows or reports no size
    // (a pipe) is still refused without reading it all.
    const QByteArray dane = plik.read(kMaksRozmiarPlikuProjektu + 1);
    if (dane.size() > kMaksRozmiarPlikuProjektu)
        throw zaDuzy();
    if (plik.error() != QFileDevice::NoError) {
        throw EInOutError(
            QStringLiteral("Nie można odczytać pliku „%1”: %2").arg(nazwa, plik.errorString()));
    }
    OdczytanyPlikProjektu wynik = czytajDokumentProjektu(dane, path);
    if (opisany)
        wynik.odcisk = {QFileInfo(path).canonicalFilePath(), stanPliku(st), skrotTresci(dane)};
    return wynik;
}

PozycjePlikuProjektu wczytajPozycjeProjektu(const QString& sciezka) {
    const OdczytanyPlikProjektu plik = wczytajPlikProjektu(sciezka);
    PozycjePlikuProjektu wynik;
    wynik.korzenProjekt = plik.korzenProjekt;
    wynik.odcisk = plik.odcisk;
    const QDir projekt = QFileInfo(sciezka).absoluteDir();
    wynik.opis = plik.opis;
    for (qsizetype i = 0; i < plik.wpisy.size(); ++i) {
        const WpisPlikuProjektu& w = plik.wpisy.at(i);
        auto brak = [&](const char* element) {
            wynik.blad = QStringLiteral("Nie można wczytać projektu z pliku „%1”: wpis %2 nie ma "
                                        "elementu „%3” albo jest on pusty")
                             .arg(sciezka)
                             .arg(i + 1)
                             .arg(QLatin1StringView(element));
            return wynik;
        };
        if (w.folder.isEmpty())
            return brak("folder");
        if (w.plik.isEmpty())
            return brak("plik");
        // The exact names, when the file keeps them, are the entry's.
        const QString nazwa = w.bajtyPliku.isEmpty() ? w.plik : nazwaZBajtow(w.bajtyPliku);
        QString folder = w.bajtyFolderu.isEmpty() ? w.folder : nazwaZBajtow(w.bajtyFolderu);
        // A folder written relative to the project file is found from
        // there, wherever the program was started.
        if (QDir::isRelativePath(folder))
            folder = QDir::cleanPath(projekt.absoluteFilePath(folder)) + u'/';
        const QString plikWpisu = folder + nazwa;
        // Only looked at, never opened: a FIFO would hold the reader.
        const RodzajPliku rodzaj = zbadajPlik(plikWpisu);
        if (!rodzaj.istnieje) {
            wynik.brakujace.append(plikWpisu);
            continue;
        }
        if (!rodzaj.zwykly()) {
            wynik.niezwykle.append(plikWpisu + QStringLiteral(": ") + rodzaj.powod);
            continue;
        }
        if (w.poczatek.isEmpty())
            return brak("poczatek");
        if (w.dlugosc.isEmpty())
            return brak("dlugosc");
        PozycjaProjektu p{QString::number(wynik.pozycje.size() + 1), nazwa, w.poczatek, w.dlugosc,
                          folder};
        p.Poziom = w.poziom;
        p.Sprawdzona = w.sprawdzona.trimmed() == u"1";
        wynik.pozycje.append(p);
    }
    return wynik;
}

PominietePozycje pominietePozycje(const PozycjePlikuProjektu& wczytane) {
    if (wczytane.niezwykle.isEmpty())
        return {QStringLiteral("Nie odnaleziono następujących plików w podanych lokalizacjach:"),
                wczytane.brakujace};
    PominietePozycje wynik{QStringLiteral("Nie wczytano następujących pozycji projektu:"), {}};
    for (const QString& sciezka : wczytane.brakujace)
        wynik.wiersze << sciezka + QStringLiteral(": nie ma takiego pliku");
    wynik.wiersze << wczytane.niezwykle;
    return wynik;
}

std::optional<PozycjePlikuProjektu> wczytajProjektNarzedzia(const QString& sciezka,
                                                            QTextStream& bledy) {
    PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(sciezka);
    if (!wczytane.korzenProjekt)
        throw SonvekError(
            QStringLiteral("%1: Nieprawidlowy plik z danymi o projekcie").arg(sciezka));
    if (!wczytane.blad.isEmpty())
        throw EConvertError(wczytane.blad);
    if (const PominietePozycje pominiete = pominietePozycje(wczytane);
        !pominiete.wiersze.isEmpty()) {
        bledy << pominiete.naglowek << '\n'
              << nazwaDoPokazania(pominiete.wiersze.join(QLatin1Char('\n'))) << '\n';
        return std::nullopt;
    }
    return wczytane;
}

PozycjaProjektu pozycjaDlaPliku(const QString& path, std::int64_t dlugoscPliku,
                                std::int32_t domyslnaZakladka) {
    return {QString(), ExNazwaPliku(path), QStringLiteral("0"),
            QString::number(std::min<std::int64_t>(dlugoscPliku, domyslnaZakladka)),
            ExSciezka(path)};
}

QStringList uporzadkujWybranePliki(const QStringList& paths, const QLocale& locale) {
    // Paths by exact name, in their given order.
    QHash<QString, QStringList> wgNazwy;
    QStringList nazwy;
    for (const QString& p : paths) {
        const QString n = ExNazwaPliku(p);
        auto it = wgNazwy.find(n);
        if (it == wgNazwy.end()) {
            nazwy.append(n);
            it = wgNazwy.insert(n, {});
        }
        it->append(p);
    }
    std::sort(nazwy.begin(), nazwy.end(),
              [&](const QString& a, const QString& b) { return porownajNazwy(a, b, locale) < 0; });
    QStringList wynik;
    wynik.reserve(paths.size());
    for (const QString& n : std::as_const(nazwy))
        wynik += wgNazwy.value(n);
    return wynik;
}
