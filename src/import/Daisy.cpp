#include "import/Daisy.h"

#include "import/Dzwiek.h"
#include "import/TekstZrodla.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace {

// A heading as the navigation file gives it.
struct Naglowek {
    QString tytul;
    int poziom = 1;
    QString odniesienie; // "plik.smil#id"
};

struct Klip {
    QString plik;
    std::int64_t od = 0;
    std::int64_t do_ = -1;
};

struct Smil {
    QHash<QString, int> id; // an element's id -> the index of the first clip from it on
    QList<Klip> klipy;
};

void sprawdzStop(const std::atomic_bool* stop) {
    if (stop && stop->load(std::memory_order_relaxed))
        throw EPrzerwanyImport(QStringLiteral("Import przerwany"));
}

QString atrybut(const QXmlStreamAttributes& a, const char* nazwa) {
    return a.value(QLatin1StringView(nazwa)).toString();
}

class Ksiazka {
public:
    Ksiazka(const QString& glowny, const std::atomic_bool* stop)
        : folder(QFileInfo(glowny).absolutePath()), stop(stop) {}

    FolderKsiazki folder;
    const std::atomic_bool* stop;
    QHash<QString, Smil> smile;
    QStringList kolejnosc; // the SMIL files in the book's order

    const Smil& smil(const QString& sciezka) {
        auto it = smile.find(sciezka);
        if (it == smile.end()) {
            it = smile.insert(sciezka, czytajSmil(sciezka));
            kolejnosc.append(sciezka);
        }
        return *it;
    }

    // The book's chapters from its headings, in their order.
    ZnalezioneRozdzialy rozdzialy(const QList<Naglowek>& naglowki, const QString& nawigacja);

private:
    Smil czytajSmil(const QString& sciezka) {
        sprawdzStop(stop);
        CzytnikXml x(tekstWKodowaniu(czytajPlikTekstowy(sciezka), sciezka), sciezka);
        Smil s;
        QHash<QString, QString> pliki; // src -> path
        while (!x.koniec()) {
            if (x.dalej() != QXmlStreamReader::StartElement)
                continue;
            const QXmlStreamAttributes a = x.r.attributes();
            const QString id = atrybut(a, "id");
            if (!id.isEmpty() && !s.id.contains(id))
                s.id.insert(id, int(s.klipy.size()));
            if (x.r.name() != u"audio")
                continue;
            const QString src = atrybut(a, "src");
            auto czas = [&](const char* nazwa, const char* nazwa3,
                            std::int64_t brak) -> std::int64_t {
                QString t = atrybut(a, nazwa);
                if (t.isEmpty())
                    t = atrybut(a, nazwa3);
                if (t.isEmpty())
                    return brak;
                const auto us = czytajCzasSmil(t);
                if (!us)
                    throw EBladZrodla(QStringLiteral("Plik %1 podaje czas „%2”, który nie jest "
                                                     "czasem SMIL (wiersz %3)")
                                          .arg(natywnaSciezka(sciezka), t)
                                          .arg(x.r.lineNumber()));
                return *us;
            };
            Klip k;
            k.od = czas("clip-begin", "clipBegin", 0);
            k.do_ = czas("clip-end", "clipEnd", -1);
            auto p = pliki.find(src);
            if (p == pliki.end())
                p = pliki.insert(src, folder.plik(src, sciezka));
            k.plik = *p;
            s.klipy.append(k);
        }
        return s;
    }
};

ZnalezioneRozdzialy Ksiazka::rozdzialy(const QList<Naglowek>& naglowki, const QString& nawigacja) {
    ZnalezioneRozdzialy z;
    if (naglowki.size() > kMaksRozdzialow)
        throw EBladZrodla(QStringLiteral("Plik %1 ma %2 nagłówków; program importuje książki o "
                                         "najwyżej %3 rozdziałach")
                              .arg(natywnaSciezka(nawigacja))
                              .arg(naglowki.size())
                              .arg(kMaksRozdzialow));
    // Each heading's first clip, as the SMIL file and the clip's index.
    struct Miejsce {
        QString smil;
        int klip = 0;
    };
    QList<Miejsce> miejsca;
    miejsca.reserve(naglowki.size());
    for (const Naglowek& n : naglowki) {
        const QString sciezka = folder.plik(n.odniesienie, nawigacja);
        const QString id = n.odniesienie.section(u'#', 1);
        const Smil& s = smil(sciezka);
        const int klip = id.isEmpty() ? 0 : s.id.value(id, -1);
        if (klip < 0)
            throw EBladZrodla(QStringLiteral("Nagłówek „%1” w pliku %2 wskazuje „%3”, a w pliku "
                                             "%4 nie ma elementu o tym identyfikatorze")
                                  .arg(n.tytul, natywnaSciezka(nawigacja), n.odniesienie,
                                       natywnaSciezka(sciezka)));
        miejsca.append({sciezka, klip});
    }
    // The audio files in the order the SMIL files play them.
    QStringList pliki;
    QHash<QString, int> numerPliku;
    for (const QString& s : std::as_const(kolejnosc)) {
        sprawdzStop(stop);
        for (const Klip& k : smile.value(s).klipy) {
            if (!numerPliku.contains(k.plik)) {
                numerPliku.insert(k.plik, int(pliki.size()));
                pliki.append(k.plik);
            }
        }
    }
    if (pliki.isEmpty())
        throw EBladZrodla(
            QStringLiteral("Książka %1 nie ma dźwięku: jej pliki SMIL nie wskazują żadnego "
                           "pliku dźwiękowego")
                .arg(natywnaSciezka(nawigacja)));
    for (const QString& p : std::as_const(pliki)) {
        sprawdzStop(stop);
        z.pliki.insert(p, zbadajPlikDzwieku(p));
    }

    QList<PoczatekRozdzialu> poczatki;
    QList<int> wybrane; // the headings that become chapters
    QList<Klip> zapowiedzi;
    for (qsizetype i = 0; i < naglowki.size(); ++i) {
        const Smil& s = smile.value(miejsca.at(i).smil);
        const int klip = miejsca.at(i).klip;
        if (klip >= s.klipy.size()) {
            z.uwagi << QStringLiteral("nagłówek „%1” nie ma dźwięku; pominięto go")
                           .arg(naglowki.at(i).tytul);
            continue;
        }
        const Klip& k = s.klipy.at(klip);
        const PoczatekRozdzialu p{numerPliku.value(k.plik), k.od};
        if (!poczatki.isEmpty() && !poPoprzednim(poczatki.last(), p)) {
            z.uwagi << QStringLiteral("nagłówek „%1” zaczyna się tam, gdzie poprzedni, albo "
                                      "przed nim; jego dźwięk należy do poprzedniego rozdziału")
                           .arg(naglowki.at(i).tytul);
            continue;
        }
        poczatki.append(p);
        wybrane.append(int(i));
        zapowiedzi.append(k);
    }
    if (poczatki.isEmpty())
        throw EBladZrodla(QStringLiteral("Książka %1 nie ma nagłówków z dźwiękiem")
                              .arg(natywnaSciezka(nawigacja)));
    const QList<QList<FragmentDzwieku>> odcinki = odcinkiMiedzy(pliki, poczatki);
    for (qsizetype j = 0; j < odcinki.size(); ++j) {
        const Naglowek& n = naglowki.at(wybrane.at(j));
        RozdzialZrodla r;
        r.tytul = n.tytul.isEmpty() ? QStringLiteral("Rozdział %1").arg(j + 1) : n.tytul;
        r.poziom = n.poziom;
        r.dzwiek = odcinki.at(j);
        r.dlugoscUs = dlugoscFragmentow(r.dzwiek, z.pliki);
        const Klip& k = zapowiedzi.at(j);
        const std::int64_t od = miejsceWRozdziale(r.dzwiek, z.pliki, k.plik, k.od);
        if (od >= 0) {
            const std::int64_t koniecKlipu = k.do_ >= 0 ? k.do_ : z.pliki.value(k.plik).dlugoscUs;
            r.zapowiedzOdUs = od;
            r.zapowiedzDoUs =
                std::min(r.dlugoscUs, od + std::max<std::int64_t>(0, koniecKlipu - k.od));
        }
        z.rozdzialy.append(r);
    }
    return z;
}

QString tekstElementu(CzytnikXml& x) {
    QString tekst;
    int glebokosc = 1;
    while (glebokosc > 0 && !x.koniec()) {
        switch (x.dalej()) {
        case QXmlStreamReader::StartElement:
            ++glebokosc;
            break;
        case QXmlStreamReader::EndElement:
            --glebokosc;
            break;
        case QXmlStreamReader::Characters:
            tekst += x.r.text();
            break;
        case QXmlStreamReader::EntityReference:
            tekst += u' ';
            break;
        default:
            break;
        }
    }
    return tekst.simplified();
}

} // namespace

ZnalezioneRozdzialy czytajDaisy2(const QString& ncc, const std::atomic_bool* stop) {
    Ksiazka ksiazka(ncc, stop);
    CzytnikXml x(tekstWKodowaniu(czytajPlikTekstowy(ncc), ncc), ncc);
    QList<Naglowek> naglowki;
    QString tytul, autor;
    // Every SMIL file the NCC points to, headings or not, in its order:
    // the order of the book's audio.
    QStringList smile;
    QSet<QString> znane;
    auto smilZ = [&](const QString& href) {
        const QString s = href.section(u'#', 0, 0);
        if (!s.isEmpty() && !znane.contains(s)) {
            znane.insert(s);
            smile.append(s);
        }
    };
    while (!x.koniec()) {
        if (x.dalej() != QXmlStreamReader::StartElement)
            continue;
        const QStringView nazwa = x.r.name();
        const QXmlStreamAttributes a = x.r.attributes();
        if (nazwa == u"meta") {
            const QString n = atrybut(a, "name").toLower();
            if (n == u"dc:title" && tytul.isEmpty())
                tytul = atrybut(a, "content").simplified();
            else if (n == u"dc:creator" && autor.isEmpty())
                autor = atrybut(a, "content").simplified();
        } else if (nazwa.size() == 2 && (nazwa[0] == u'h' || nazwa[0] == u'H') &&
                   nazwa[1] >= u'1' && nazwa[1] <= u'6') {
            Naglowek n;
            n.poziom = nazwa[1].unicode() - u'0';
            // The heading's text and its first link.
            int glebokosc = 1;
            while (glebokosc > 0 && !x.koniec()) {
                switch (x.dalej()) {
                case QXmlStreamReader::StartElement:
                    ++glebokosc;
                    if (x.r.name() == u"a" && n.odniesienie.isEmpty())
                        n.odniesienie = atrybut(x.r.attributes(), "href");
                    break;
                case QXmlStreamReader::EndElement:
                    --glebokosc;
                    break;
                case QXmlStreamReader::Characters:
                    n.tytul += x.r.text();
                    break;
                case QXmlStreamReader::EntityReference:
                    n.tytul += u' ';
                    break;
                default:
                    break;
                }
            }
            n.tytul = n.tytul.simplified();
            if (n.odniesienie.isEmpty())
                continue; // a heading without audio
            smilZ(n.odniesienie);
            naglowki.append(n);
            if (naglowki.size() > kMaksRozdzialow)
                break;
        } else if (nazwa == u"a") {
            smilZ(atrybut(a, "href"));
        }
    }
    if (naglowki.isEmpty())
        throw EBladZrodla(QStringLiteral("Plik %1 nie ma żadnego nagłówka (h1–h6) z odnośnikiem "
                                         "do pliku SMIL")
                              .arg(natywnaSciezka(ncc)));
    // Every SMIL file, so that audio only spans point to is not lost.
    for (const QString& s : std::as_const(smile))
        ksiazka.smil(ksiazka.folder.plik(s, ncc));
    ZnalezioneRozdzialy z = ksiazka.rozdzialy(naglowki, ncc);
    z.rodzaj = QStringLiteral("Książka DAISY 2.02");
    z.tytul = tytul;
    z.autor = autor;
    return z;
}

ZnalezioneRozdzialy czytajDaisy3(const QString& opf, const std::atomic_bool* stop) {
    Ksiazka ksiazka(opf, stop);
    QString tytul, autor, ncx;
    QHash<QString, QString> pozycje; // manifest id -> href
    QStringList kolejnosc;           // spine
    {
        CzytnikXml x(tekstWKodowaniu(czytajPlikTekstowy(opf), opf), opf);
        while (!x.koniec()) {
            if (x.dalej() != QXmlStreamReader::StartElement)
                continue;
            const QString nazwa = x.r.name().toString().toLower();
            const QXmlStreamAttributes a = x.r.attributes();
            if (nazwa == u"title" && tytul.isEmpty()) {
                tytul = tekstElementu(x);
            } else if (nazwa == u"creator" && autor.isEmpty()) {
                autor = tekstElementu(x);
            } else if (nazwa == u"item") {
                pozycje.insert(atrybut(a, "id"), atrybut(a, "href"));
                if (atrybut(a, "media-type") == u"application/x-dtbncx+xml" && ncx.isEmpty())
                    ncx = atrybut(a, "href");
            } else if (nazwa == u"itemref") {
                kolejnosc.append(atrybut(a, "idref"));
            }
        }
    }
    if (ncx.isEmpty())
        throw EBladZrodla(QStringLiteral("Plik %1 nie wskazuje pliku NCX ze spisem treści "
                                         "książki")
                              .arg(natywnaSciezka(opf)));
    // The SMIL files in the spine's order come first.
    for (const QString& id : std::as_const(kolejnosc)) {
        const QString href = pozycje.value(id);
        if (href.endsWith(QStringLiteral(".smil"), Qt::CaseInsensitive))
            ksiazka.smil(ksiazka.folder.plik(href, opf));
    }
    const QString plikNcx = ksiazka.folder.plik(ncx, opf);
    CzytnikXml x(tekstWKodowaniu(czytajPlikTekstowy(plikNcx), plikNcx), plikNcx);
    QList<Naglowek> naglowki;
    int glebokosc = 0;   // of navPoints
    bool wMapie = false; // inside navMap
    int biezacy = -1;    // the innermost open navPoint
    QList<int> otwarte;  // the open navPoints
    while (!x.koniec()) {
        const auto t = x.dalej();
        if (t == QXmlStreamReader::StartElement) {
            const QStringView nazwa = x.r.name();
            if (nazwa == u"navMap") {
                wMapie = true;
            } else if (wMapie && nazwa == u"navPoint") {
                ++glebokosc;
                Naglowek n;
                n.poziom = std::min(glebokosc, 6);
                naglowki.append(n);
                if (naglowki.size() > kMaksRozdzialow)
                    break;
                biezacy = int(naglowki.size()) - 1;
                otwarte.append(biezacy);
            } else if (biezacy >= 0 && nazwa == u"text" && naglowki[biezacy].tytul.isEmpty()) {
                naglowki[biezacy].tytul = tekstElementu(x);
            } else if (biezacy >= 0 && nazwa == u"content" &&
                       naglowki[biezacy].odniesienie.isEmpty()) {
                naglowki[biezacy].odniesienie = atrybut(x.r.attributes(), "src");
            }
        } else if (t == QXmlStreamReader::EndElement) {
            const QStringView nazwa = x.r.name();
            if (nazwa == u"navMap") {
                wMapie = false;
            } else if (wMapie && nazwa == u"navPoint") {
                --glebokosc;
                if (!otwarte.isEmpty())
                    otwarte.removeLast();
                biezacy = otwarte.isEmpty() ? -1 : otwarte.last();
            }
        }
    }
    // A navPoint without content points nowhere.
    QList<Naglowek> zDzwiekiem;
    for (const Naglowek& n : std::as_const(naglowki))
        if (!n.odniesienie.isEmpty())
            zDzwiekiem.append(n);
    if (zDzwiekiem.isEmpty())
        throw EBladZrodla(QStringLiteral("Plik %1 nie ma żadnego punktu nawigacji (navPoint) z "
                                         "odnośnikiem do pliku SMIL")
                              .arg(natywnaSciezka(plikNcx)));
    ZnalezioneRozdzialy z = ksiazka.rozdzialy(zDzwiekiem, plikNcx);
    z.rodzaj = QStringLiteral("Książka DAISY 3");
    z.tytul = tytul;
    z.autor = autor;
    return z;
}
