#include "import/TekstZrodla.h"

#include "base/ZwyklyPlik.h"
#include "import/Rozdzialy.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QUrl>

QString natywnaSciezka(const QString& sciezka) {
    return QDir::toNativeSeparators(sciezka);
}

QByteArray czytajPlikTekstowy(const QString& sciezka) {
    const QString nazwa = natywnaSciezka(sciezka);
    QFile plik;
    if (const QString powod = otworzZwyklyPlik(plik, sciezka); !powod.isEmpty())
        throw EBladZrodla(QStringLiteral("Nie można otworzyć pliku %1: %2").arg(nazwa, powod));
    auto zaDuzy = [&] {
        return EBladZrodla(QStringLiteral("Plik %1 jest za duży (ponad %2 MiB); takich plików "
                                          "książki program nie czyta")
                               .arg(nazwa)
                               .arg(kMaksRozmiarTekstu >> 20));
    };
    if (plik.size() > kMaksRozmiarTekstu)
        throw zaDuzy();
    const QByteArray dane = plik.read(kMaksRozmiarTekstu + 1);
    if (plik.error() != QFileDevice::NoError)
        throw EBladZrodla(
            QStringLiteral("Nie można odczytać pliku %1: %2").arg(nazwa, plik.errorString()));
    if (dane.size() > kMaksRozmiarTekstu)
        throw zaDuzy();
    return dane;
}

namespace {

bool poprawneUtf8(const QByteArray& dane) {
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString tekst = d.decode(dane);
    return !d.hasError() && !tekst.contains(QChar::ReplacementCharacter);
}

// The character set the document declares, from its first bytes.
QString zadeklarowaneKodowanie(const QByteArray& dane) {
    const QByteArray poczatek = dane.left(8192);
    static const QRegularExpression deklaracja(
        QStringLiteral("^\\s*<\\?xml[^>]*encoding\\s*=\\s*[\"']([A-Za-z0-9._:-]+)[\"']"));
    const QString ascii = QString::fromLatin1(poczatek);
    if (const auto m = deklaracja.match(ascii); m.hasMatch())
        return m.captured(1);
    static const QRegularExpression meta(
        QStringLiteral("<meta[^>]*(?:charset\\s*=\\s*|name\\s*=\\s*[\"']ncc:charset[\"'][^>]*"
                       "content\\s*=\\s*[\"'])([A-Za-z0-9._:-]+)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = meta.match(ascii); m.hasMatch())
        return m.captured(1);
    return {};
}

QString dekoduj(const QByteArray& dane, const QString& kodowanie) {
    const QByteArray nazwa = kodowanie.toLatin1();
    QStringDecoder d(nazwa.constData(), QStringDecoder::Flag::Stateless);
    if (!d.isValid())
        return QString();
    QString tekst = d.decode(dane);
    if (tekst.startsWith(QChar(0xFEFF)))
        tekst.remove(0, 1);
    return tekst;
}

} // namespace

QString tekstBezDeklaracji(const QByteArray& dane) {
    return dekoduj(dane,
                   poprawneUtf8(dane) ? QStringLiteral("UTF-8") : QStringLiteral("windows-1250"));
}

QString tekstWKodowaniu(const QByteArray& dane, const QString& sciezka) {
    if (dane.startsWith("\xFF\xFE") || dane.startsWith("\xFE\xFF"))
        return dekoduj(dane, QStringLiteral("UTF-16"));
    const QString kodowanie = zadeklarowaneKodowanie(dane);
    if (kodowanie.isEmpty())
        return tekstBezDeklaracji(dane);
    const QString tekst = dekoduj(dane, kodowanie);
    if (tekst.isNull() && !dane.isEmpty())
        throw EBladZrodla(QStringLiteral("Plik %1 jest zapisany w kodowaniu „%2”, którego program "
                                         "nie zna")
                              .arg(natywnaSciezka(sciezka), kodowanie));
    return tekst;
}

CzytnikXml::CzytnikXml(const QString& tekst, const QString& sciezka)
    : r(tekst), m_sciezka(sciezka) {}

QXmlStreamReader::TokenType CzytnikXml::dalej() {
    const QXmlStreamReader::TokenType t = r.readNext();
    if (t == QXmlStreamReader::Invalid) {
        QString powod = r.errorString();
        if (powod.endsWith(u'.'))
            powod.chop(1);
        throw EBladZrodla(QStringLiteral("Plik %1 nie jest poprawnym plikiem XML: %2 (wiersz %3)")
                              .arg(natywnaSciezka(m_sciezka), powod)
                              .arg(r.lineNumber()));
    }
    return t;
}

FolderKsiazki::FolderKsiazki(const QString& folder)
    : m_folder(QFileInfo(folder).canonicalFilePath()) {}

QString FolderKsiazki::plik(const QString& odniesienie, const QString& zDokumentu,
                            bool adres) const {
    auto odmowa = [&](const QString& powod) {
        return EBladZrodla(QStringLiteral("Plik %1 wskazuje plik „%2”, %3")
                               .arg(natywnaSciezka(zDokumentu), odniesienie, powod));
    };
    QString sciezka = odniesienie.trimmed();
    if (adres)
        sciezka = QUrl::fromPercentEncoding(sciezka.section(u'#', 0, 0).toUtf8());
    sciezka.replace(u'\\', u'/');
    if (sciezka.isEmpty())
        throw odmowa(QStringLiteral("który nie ma nazwy"));
    if (QDir::isAbsolutePath(sciezka) || sciezka.contains(u':'))
        throw odmowa(QStringLiteral("podając ścieżkę bezwzględną; książka może wskazywać tylko "
                                    "pliki w swoim folderze"));
    const QString korzen = m_folder.endsWith(u'/') ? m_folder : m_folder + u'/';
    auto wKsiazce = [&](const QString& p) { return p.startsWith(korzen); };
    // The path as named ("..", before any link is followed), then where
    // its links lead.
    const QString folderDokumentu =
        QFileInfo(QFileInfo(zDokumentu).absolutePath()).canonicalFilePath();
    QString pelna = QDir::cleanPath(folderDokumentu + u'/' + sciezka);
    if (!wKsiazce(pelna))
        throw odmowa(
            QStringLiteral("który leży poza folderem książki %1").arg(natywnaSciezka(m_folder)));
    QFileInfo info(pelna);
    if (!info.exists()) {
        // The same name in another case.
        const QString folder = info.absolutePath();
        auto it = m_nazwy.find(folder);
        if (it == m_nazwy.end()) {
            QHash<QString, QString> nazwy;
            for (const QString& n : QDir(folder).entryList(QDir::Files | QDir::Hidden))
                nazwy.insert(n.toLower(), n);
            it = m_nazwy.insert(folder, nazwy);
        }
        const QString inna = it->value(info.fileName().toLower());
        if (inna.isEmpty())
            throw odmowa(QStringLiteral("którego nie ma"));
        pelna = folder + u'/' + inna;
        info = QFileInfo(pelna);
    }
    const QString kanoniczna = info.canonicalFilePath();
    if (!wKsiazce(kanoniczna))
        throw odmowa(QStringLiteral("a to dowiązanie prowadzi poza folder książki %1")
                         .arg(natywnaSciezka(m_folder)));
    if (const QString powod = powodNiezwyklegoPliku(kanoniczna); !powod.isEmpty())
        throw odmowa(powod);
    if (!info.isReadable())
        throw odmowa(QStringLiteral("którego nie można odczytać"));
    return kanoniczna;
}

std::optional<std::int64_t> czytajCzasSmil(QStringView tekst) {
    QStringView t = tekst.trimmed();
    if (t.startsWith(u"npt="))
        t = t.mid(4);
    if (t.isEmpty())
        return std::nullopt;
    constexpr double kMaks = 366.0 * 24 * 3600; // seconds
    auto wynik = [&](double sekundy) -> std::optional<std::int64_t> {
        if (!(sekundy >= 0) || sekundy > kMaks)
            return std::nullopt;
        return std::int64_t(sekundy * 1e6 + 0.5);
    };
    auto liczba = [](QStringView s, bool& ok) {
        // Digits and at most one dot; QString::toDouble would take more.
        ok = !s.isEmpty() && s.count(u'.') <= 1 && s != u".";
        for (QChar c : s)
            ok = ok && (c.isDigit() || c == u'.');
        return ok ? s.toDouble(&ok) : 0.0;
    };
    bool ok = false;
    if (t.contains(u':')) {
        const QList<QStringView> czesci = t.split(u':');
        if (czesci.size() > 3)
            return std::nullopt;
        double s = 0;
        for (qsizetype i = 0; i < czesci.size(); ++i) {
            const double v = liczba(czesci.at(i), ok);
            if (!ok || (i > 0 && v >= 60))
                return std::nullopt;
            if (i + 1 < czesci.size() && czesci.at(i).contains(u'.'))
                return std::nullopt;
            s = s * 60 + v;
        }
        return wynik(s);
    }
    struct Jednostka {
        const char16_t* nazwa;
        double sekund;
    };
    static constexpr Jednostka jednostki[] = {
        {u"ms", 0.001}, {u"min", 60}, {u"h", 3600}, {u"s", 1}};
    for (const Jednostka& j : jednostki) {
        if (t.endsWith(QStringView(j.nazwa))) {
            const double v =
                liczba(t.chopped(qsizetype(std::char_traits<char16_t>::length(j.nazwa))), ok);
            return ok ? wynik(v * j.sekund) : std::nullopt;
        }
    }
    const double v = liczba(t, ok);
    return ok ? wynik(v) : std::nullopt;
}
