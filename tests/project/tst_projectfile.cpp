#include "base/Paths.h"
#include "project/ProjectFile.h"
#include "support/Mp3Maker.h"
#include "support/RunTool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// A start tag of element `nazwa` with `n` attributes whose values hold "="
// and ">" (one attribute each all the same).
QByteArray znacznik(const char* nazwa, int n) {
    QByteArray t = QByteArray("<") + nazwa;
    for (int i = 0; i < n; ++i)
        t += " a" + QByteArray::number(i) + "='x=>" + QByteArray::number(i) + "'";
    return t + '>';
}

PozycjaProjektu poz(const QString& lp, const QString& plik, const QString& pocz, const QString& dl,
                    const QString& folder) {
    return PozycjaProjektu{lp, plik, pocz, dl, folder};
}

QByteArray zawartosc(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

bool zapiszBajty(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

void zapiszSurowo(const QString& path, const QByteArray& dane) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(dane), dane.size());
}

WpisPlikuProjektu wpis(const char* plik, const char* pocz, const char* dl, const char* folder) {
    auto s = [](const char* t) { return t ? QString::fromUtf8(t) : QString(); };
    return WpisPlikuProjektu{s(plik), s(pocz), s(dl), s(folder)};
}

} // namespace

class TestProjectFile : public QObject {
    Q_OBJECT
private slots:
    void exactBytes_data() {
        QTest::addColumn<ListaPozycji>("pozycje");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("empty") << ListaPozycji{}
                               << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                             "<projekt></projekt>\r\n");
        QTest::newRow("two entries")
            << ListaPozycji{poz(QStringLiteral("1"), QStringLiteral("rozdzial01.mp3"),
                                QStringLiteral("0"), QStringLiteral("5000"),
                                QStringLiteral("/nagrania/ksiazka/")),
                            poz(QStringLiteral("2"), QStringLiteral("rozdział 2 & <3>.mp3"),
                                QStringLiteral("1200"), QStringLiteral("abc"),
                                QStringLiteral("/nagrania/Żółw/"))}
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                          "<projekt>\r\n"
                          "  <p1>\r\n"
                          "    <plik>rozdzial01.mp3</plik>\r\n"
                          "    <poczatek>0</poczatek>\r\n"
                          "    <dlugosc>5000</dlugosc>\r\n"
                          "    <folder>/nagrania/ksiazka/</folder>\r\n"
                          "  </p1>\r\n"
                          "  <p2>\r\n"
                          "    <plik>rozdzia\xc5\x82 2 &amp; &lt;3&gt;.mp3</plik>\r\n"
                          "    <poczatek>1200</poczatek>\r\n"
                          "    <dlugosc>abc</dlugosc>\r\n"
                          "    <folder>/nagrania/\xc5\xbb\xc3\xb3\xc5\x82w/</folder>\r\n"
                          "  </p2>\r\n"
                          "</projekt>\r\n");
    }
    void exactBytes() {
        QFETCH(ListaPozycji, pozycje);
        QFETCH(QByteArray, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("projekt.xml"));
        zapiszPlikProjektu(path, pozycje);
        QCOMPARE(zawartosc(path), expected);
        const OdczytanyPlikProjektu back = wczytajPlikProjektu(path);
        QVERIFY(back.korzenProjekt);
        QCOMPARE(back.wpisy.size(), pozycje.size());
    }

    // Every text the list can hold comes back unchanged.
    void roundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("polish") << QStringLiteral("Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ.mp3");
        QTest::newRow("other scripts") << QStringLiteral("Ελληνικά 日本語 עברית Кирилица.mp3");
        QTest::newRow("beyond BMP") << QStringLiteral("nuty 🎵 𝄞.mp3");
        QTest::newRow("markup") << QStringLiteral("a&b<c>d]]>e\"f'g&amp;.mp3");
        QTest::newRow("line ends and tab") << QStringLiteral("a\r\nb\rc\nd\te");
        QTest::newRow("spaces kept") << QStringLiteral("  odstępy  ");
        QTest::newRow("backslashes") << QStringLiteral("C:\\Nagrania\\Książka\\");
    }
    void roundTrip() {
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Projekt zażółć.xml"));
        const ListaPozycji in{
            poz(QStringLiteral("1"), text, QStringLiteral("0"), QStringLiteral("5000"), text)};
        const OpisKsiazki opis{text, text, text, text, text, text, text};
        zapiszPlikProjektu(path, in, opis);
        const OdczytanyPlikProjektu back = wczytajPlikProjektu(path);
        QCOMPARE(back.wpisy.size(), 1);
        QCOMPARE(back.wpisy.at(0).plik, text);
        QCOMPARE(back.wpisy.at(0).folder, text);
        QCOMPARE(back.opis, opis);
    }

    // The book's details are attributes of the root, which a reader that
    // knows nothing of them passes over: the entries read the same. These
    // bytes were also read by the loader from before the details existed,
    // with the same entries and no error.
    void bookDetailsBesideEntries() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("projekt.xml"));
        const ListaPozycji in{poz(u"1"_s, u"a.mp3"_s, u"0"_s, u"500"_s, dir.path() + u'/')};
        OpisKsiazki opis;
        opis.tytul = u"Lalka \"1\" <&>"_s;
        opis.jezyk = u"pl"_s;
        opis.wydawca = u"W\x01\tA"_s;
        zapiszPlikProjektu(path, in, opis);
        const QByteArray dane = zawartosc(path);
        const QByteArray korzen = "<projekt tytul=\"Lalka &quot;1&quot; &lt;&amp;>\" jezyk=\"pl\" "
                                  "wydawca=\"W&#9;A\">";
        QVERIFY2(dane.contains("\r\n" + korzen + "\r\n  <p1>"), dane.constData());
        QCOMPARE(QByteArray(dane).replace(korzen, "<projekt>"), dokumentProjektu(in));
        opis.wydawca = u"W\tA"_s;
        QCOMPARE(wczytajPlikProjektu(path).opis, opis);
        QVERIFY(zapiszBajty(dir.filePath(u"a.mp3"_s)));
        const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(path);
        QVERIFY(wczytane.blad.isEmpty());
        QCOMPARE(wczytane.pozycje, in);
    }

    // A heading level is a fifth child, written only when given and read
    // back; without it the document is the one of before levels existed.
    void levelIsAnOptionalChild() {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"projekt.xml"_s);
        ListaPozycji in{poz(u"1"_s, u"a.mp3"_s, u"0"_s, u"500"_s, dir.path() + u'/'),
                        poz(u"2"_s, u"a.mp3"_s, u"10"_s, u"20"_s, dir.path() + u'/')};
        in[0].Poziom = u"2"_s;
        zapiszPlikProjektu(path, in);
        const QByteArray dane = zawartosc(path);
        const QByteArray poziom = "    <poziom>2</poziom>\r\n";
        QCOMPARE(dane.count("<poziom>"), 1);
        QVERIFY(dane.contains("</folder>\r\n" + poziom + "  </p1>"));
        ListaPozycji bez = in;
        bez[0].Poziom.clear();
        QCOMPARE(QByteArray(dane).replace(poziom, ""), dokumentProjektu(bez));
        QVERIFY(zapiszBajty(dir.filePath(u"a.mp3"_s)));
        QCOMPARE(wczytajPozycjeProjektu(path).pozycje, in);
    }

    void lenientReading_data() {
        QTest::addColumn<QByteArray>("dane");
        QTest::addColumn<QList<WpisPlikuProjektu>>("expected");
        const QByteArray decl("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        QTest::newRow("other tool, wpis, reordered, extra children, LF")
            << decl + "\n<projekt>\n\t<wpis>\n\t\t<folder>/a/</folder><uwagi>x</uwagi>\n"
                      "\t\t<dlugosc>10</dlugosc><plik>1.mp3</plik><poczatek>5</poczatek>\n"
                      "\t</wpis>\n<!-- komentarz --><wpis><plik>2.mp3</plik>"
                      "<folder>/b/</folder><poczatek>0</poczatek><dlugosc>7</dlugosc></wpis>"
                      "</projekt>"
            << QList<WpisPlikuProjektu>{wpis("1.mp3", "5", "10", "/a/"),
                                        wpis("2.mp3", "0", "7", "/b/")};
        QTest::newRow("BOM and CRLF, no declaration")
            << QByteArray("\xef\xbb\xbf<projekt>\r\n <x>\r\n  <plik>\xc5\x81\xc3\xb3"
                          "d\xc5\xba.mp3</plik>\r\n </x>\r\n</projekt>\r\n")
            << QList<WpisPlikuProjektu>{wpis("Łódź.mp3", nullptr, nullptr, nullptr)};
        QTest::newRow("missing and empty children are null")
            << decl + "<projekt><p1><plik/><poczatek></poczatek><folder>/a/</folder></p1>"
                      "</projekt>"
            << QList<WpisPlikuProjektu>{wpis(nullptr, nullptr, nullptr, "/a/")};
        QTest::newRow("first of a name counts, nested text and CDATA joined")
            << decl + "<projekt><p><plik>a<b>b</b><![CDATA[<c>]]></plik><plik>z</plik>"
                      "<dlugosc>&#49;&amp;</dlugosc></p></projekt>"
            << QList<WpisPlikuProjektu>{wpis("ab<c>", nullptr, "1&", nullptr)};
        QTest::newRow("empty root") << decl + "<projekt/>" << QList<WpisPlikuProjektu>{};
        // UTF-16 can carry a surrogate without its pair, which is no
        // character: it reads as U+FFFD, so a save writes what was read.
        QTest::newRow("lone surrogates in UTF-16")
            << QByteArray("\xff\xfe<\0p\0r\0o\0j\0e\0k\0t\0>\0<\0p\0>\0<\0p\0l\0i\0k\0>\0"
                          "a\0\x85\xdc\0\xd8<\0/\0p\0l\0i\0k\0>\0<\0/\0p\0>\0"
                          "<\0/\0p\0r\0o\0j\0e\0k\0t\0>\0",
                          86)
            << QList<WpisPlikuProjektu>{wpis("a\uFFFD\uFFFD", nullptr, nullptr, nullptr)};
        QTest::newRow("namespace prefix")
            << decl + "<x:projekt xmlns:x=\"urn:a\"><x:p><x:plik>n</x:plik></x:p></x:projekt>"
            << QList<WpisPlikuProjektu>{wpis("n", nullptr, nullptr, nullptr)};
        // Many "=" in a comment, a CDATA section and text are no attributes.
        const QByteArray rowne(200, '=');
        QTest::newRow("64 attributes, and = elsewhere")
            << decl + "<!--" + rowne + "-->" + znacznik("projekt", 64) + "<?pi " + rowne + "?>" +
                   znacznik("p", 64) + "<plik>" + rowne + "<![CDATA[" + rowne +
                   "]]></plik></p></projekt>"
            << QList<WpisPlikuProjektu>{
                   wpis(rowne.repeated(2).constData(), nullptr, nullptr, nullptr)};
    }
    void lenientReading() {
        QFETCH(QByteArray, dane);
        QFETCH(QList<WpisPlikuProjektu>, expected);
        const OdczytanyPlikProjektu r = czytajDokumentProjektu(dane, QStringLiteral("t.xml"));
        QVERIFY(r.korzenProjekt);
        QCOMPARE(r.wpisy, expected);
        for (const WpisPlikuProjektu& w : r.wpisy) {
            // Missing and empty are alike: null.
            for (const QString* s : {&w.plik, &w.poczatek, &w.dlugosc, &w.folder})
                QCOMPARE(s->isNull(), s->isEmpty());
        }
    }

    void wrongRoot_data() {
        QTest::addColumn<QByteArray>("dane");
        QTest::newRow("project") << QByteArray("<project><p1><plik>a</plik></p1></project>");
        QTest::newRow("upper case") << QByteArray("<Projekt/>");
    }
    void wrongRoot() {
        QFETCH(QByteArray, dane);
        const OdczytanyPlikProjektu r = czytajDokumentProjektu(dane, QStringLiteral("t.xml"));
        QVERIFY(!r.korzenProjekt);
        QVERIFY(r.wpisy.isEmpty());
    }

    void refused_data() {
        QTest::addColumn<QByteArray>("dane");
        QTest::addColumn<QString>("inText");
        QTest::newRow("doctype") << QByteArray("<!DOCTYPE projekt><projekt/>")
                                 << QStringLiteral("DOCTYPE");
        QTest::newRow("entity expansion")
            << QByteArray(
                   "<?xml version=\"1.0\"?>\n<!DOCTYPE projekt [\n"
                   "<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">\n"
                   "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                   "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                   "]>\n<projekt><p><plik>&c;</plik></p></projekt>")
            << QStringLiteral("DOCTYPE");
        QTest::newRow("external entity")
            << QByteArray("<!DOCTYPE projekt [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                          "<projekt><p><plik>&x;</plik></p></projekt>")
            << QStringLiteral("DOCTYPE");
        QTest::newRow("undeclared entity")
            << QByteArray("<projekt><p><plik>&x;</plik></p></projekt>") << QStringLiteral("XML");
        QTest::newRow("not XML, line number")
            << QByteArray("<?xml version=\"1.0\"?>\n<projekt>\n  <p1>\n    <plik>a</plk>\n")
            << QStringLiteral("wiersz 4");
        QTest::newRow("start of the offending line")
            << QByteArray("<projekt>\n<p1><plik>zła linia</plk></p1>\n</projekt>")
            << QStringLiteral("wiersz 2, kolumna 25); początek wiersza: <p1><plik>zła linia</plk>");
        QTest::newRow("plain text") << QByteArray("to nie jest XML") << QStringLiteral("wiersz 1");
        QTest::newRow("empty file") << QByteArray() << QStringLiteral("XML");
        QByteArray deep("<projekt>");
        for (int i = 0; i < 100000; ++i)
            deep += "<a>";
        QTest::newRow("deep nesting") << deep << QStringLiteral("16");
        QTest::newRow("65 attributes") << "<projekt>\n" + znacznik("p", 65) + "</p></projekt>"
                                       << QStringLiteral("więcej niż 64 atrybutach (wiersz 2)");
        // Refused at once: the parser's time grows with the square of an
        // element's attributes.
        QTest::newRow("200000 attributes")
            << znacznik("projekt", 200000) + "</projekt>" << QStringLiteral("64 atrybutach");
        // Each element costs the parser, each declared namespace too.
        QTest::newRow("too many entries") << "<projekt>" + QByteArray("<a/>").repeated(500001)
                                          << QStringLiteral("500000 pozycji");
        QTest::newRow("too many elements") << "<projekt><p>" + QByteArray("<a/>").repeated(3000000)
                                           << QStringLiteral("3000000 elementów");
        QTest::newRow("too many attributes")
            << "<projekt>" + (znacznik("a", 64).chopped(1) + "/>").repeated(782)
            << QStringLiteral("50000 atrybutów");
        QByteArray przestrzenie("<projekt");
        for (int i = 0; i < 65; ++i)
            przestrzenie += (i == 40 ? "><p" : "") + QByteArray(" xmlns:n") +
                            QByteArray::number(i) + "='urn:a'";
        QTest::newRow("65 namespaces")
            << przestrzenie + "/></projekt>" << QStringLiteral("64 przestrzeni nazw");
    }
    void refused() {
        QFETCH(QByteArray, dane);
        QFETCH(QString, inText);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("zły.xml"));
        zapiszSurowo(path, dane);
        try {
            wczytajPlikProjektu(path);
            QFAIL("no error");
        } catch (const EBladPlikuProjektu& e) {
            QVERIFY2(e.text().contains(inText), qPrintable(e.text()));
            QVERIFY2(e.text().contains(QStringLiteral("zły.xml")), qPrintable(e.text()));
        }
    }

    void tooLarge() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("duzy.xml"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(kMaksRozmiarPlikuProjektu + 1)); // sparse, costs no disk
        }
        QVERIFY_THROWS_EXCEPTION(EBladPlikuProjektu, wczytajPlikProjektu(path));
    }

    // Every project the writer saves, the reader takes back whole; one the
    // reader would refuse is not written at all.
    void writerAndReaderAgree_data() {
        QTest::addColumn<int>("wpisy");
        QTest::addColumn<int>("dlugoscNazwy");
        QTest::addColumn<QString>("odmowa"); // empty: saved and read back
        QTest::newRow("100000 entries") << 100000 << 1 << QString();
        QTest::newRow("more entries than are read") << 500001 << 1 << u"500000 pozycjach"_s;
        // Three bytes a character: 300 names of 75000 just pass 64 MiB.
        QTest::newRow("larger than is read") << 300 << 75000 << u"64 MiB"_s;
    }
    void writerAndReaderAgree() {
        QFETCH(int, wpisy);
        QFETCH(int, dlugoscNazwy);
        QFETCH(QString, odmowa);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"duzy.xml"_s);
        const PozycjaProjektu p =
            poz(u"1"_s, QString(dlugoscNazwy, u'€'), u"0"_s, u"5000"_s, u"/k/"_s);
        const ListaPozycji lista(wpisy, p);
        try {
            zapiszPlikProjektu(path, lista);
            QVERIFY2(odmowa.isEmpty(), "saved");
        } catch (const EInOutError& e) {
            QVERIFY2(!odmowa.isEmpty() && e.text().contains(odmowa), qPrintable(e.text()));
            QVERIFY(!QFileInfo::exists(path));
            return;
        }
        QCOMPARE(wczytajPlikProjektu(path).wpisy.size(), qsizetype(wpisy));
    }

    // A folder written relative to the project file is found from the
    // project file's folder, not from where the program runs.
    void relativeFolders_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("znaleziony"); // below the test's folder
        QTest::newRow("beside the project") << u"../nagrania/"_s << u"nagrania/"_s;
        QTest::newRow("below the project") << u"nagrania"_s << u"projekty/nagrania/"_s;
        QTest::newRow("the project's own") << u"."_s << u"projekty/"_s;
        QTest::newRow("absolute stays") << u"@/nagrania/"_s << u"nagrania/"_s;
    }
    void relativeFolders() {
        QFETCH(QString, folder);
        QFETCH(QString, znaleziony);
        QTemporaryDir dir, inny;
        const QString korzen = dir.path() + u'/';
        for (const QString& f : {u"nagrania"_s, u"projekty/nagrania"_s})
            QVERIFY(QDir().mkpath(korzen + f));
        for (const QString& f :
             {u"nagrania/a.mp3"_s, u"projekty/nagrania/a.mp3"_s, u"projekty/a.mp3"_s})
            zapiszSurowo(korzen + f, "mp3");
        const QString projekt = korzen + u"projekty/p.xml"_s;
        folder.replace(u'@', dir.path());
        zapiszPlikProjektu(projekt, {poz(u"1"_s, u"a.mp3"_s, u"0"_s, u"5000"_s, folder)});
        const QString biezacy = QDir::currentPath();
        QVERIFY(QDir::setCurrent(inny.path()));
        const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(projekt);
        QVERIFY(QDir::setCurrent(biezacy));
        QCOMPARE(wczytane.brakujace, QStringList());
        QCOMPARE(wczytane.pozycje.size(), 1);
        QCOMPARE(wczytane.pozycje.at(0).Folder, korzen + znaleziony);
    }

    // An accepted bookmark, and a name and folder that are not UTF-8 on the
    // disk (Windows-1250 "Rozdział 1.mp3" in "Książka"), are written as
    // children that a reader knowing nothing of them passes over (the loader
    // ignores unknown children, lenientReading): without their lines the
    // file is in the old form, and the old loader reads the entry as before
    // (the name shown with U+FFFD, not found, listed). They come back whole,
    // and the merge reads the entry by its real bytes.
    void acceptedMarkAndSystemNames() {
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/Ksi\xb9\xbfka/";
        QCOMPARE(::mkdir(folder.constData(), 0755), 0);
        // Qt cannot see these names, so QTemporaryDir cannot remove them.
        const auto sprzatnij = qScopeGuard([&] {
            ::unlink((folder + "Rozdzia\xb3 1.mp3").constData());
            ::rmdir(folder.constData());
        });
        Mp3Format f;
        f.durationMs = 500;
        const QByteArray mp3 = makeMp3Data(f);
        const int fd = ::open((folder + "Rozdzia\xb3 1.mp3").constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, mp3.constData(), size_t(mp3.size())), ssize_t(mp3.size()));
        ::close(fd);
        PozycjaProjektu p = poz(u"1"_s, nazwaZSystemu("Rozdzia\xb3 1.mp3"), u"0"_s, u"300"_s,
                                nazwaZSystemu(folder));
        p.Sprawdzona = true;
        const QString path = dir.filePath(u"projekt.xml"_s);
        zapiszPlikProjektu(path, {p});

        const QByteArray nowe = "    <sprawdzona>1</sprawdzona>\r\n"
                                "    <bajty_pliku>Rozdzia%B3 1.mp3</bajty_pliku>\r\n"
                                "    <bajty_folderu>" +
                                QFile::encodeName(dir.path()) + "/Ksi%B9%BFka/</bajty_folderu>\r\n";
        QByteArray dane = zawartosc(path);
        QVERIFY2(dane.contains(nowe), dane.constData());
        PozycjaProjektu dawna = poz(u"1"_s, nazwaDoPokazania(p.NazwaPliku), u"0"_s, u"300"_s,
                                    nazwaDoPokazania(p.Folder));
        QCOMPARE(dane.replace(nowe, ""), dokumentProjektu({dawna}));
        QVERIFY(dane.contains("<plik>Rozdzia\xef\xbf\xbd 1.mp3</plik>"));

        const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(path);
        QVERIFY(wczytane.blad.isEmpty());
        QCOMPARE(wczytane.pozycje, ListaPozycji{p});
        const QString ksiazka = dir.filePath(u"ksiazka.mp3"_s);
        const Wynik w = uruchomNarzedzie(u"sonvek-merge"_s, {path, ksiazka});
        QVERIFY2(w.kod == 0, qPrintable(w.bledy));
        QCOMPARE(QFileInfo(ksiazka).size(), qint64(mp3.size()));
    }

    // An entry whose name is taken by something other than a file is left
    // out and named for what it is; a missing one as before.
    void entriesThatAreNoFiles() {
        QTemporaryDir dir;
        const QString folder = dir.path() + u'/';
        QVERIFY(QDir(dir.path()).mkdir(u"folder.mp3"_s));
        QCOMPARE(::mkfifo(QFile::encodeName(folder + u"potok.mp3"_s).constData(), 0600), 0);
        const QString path = dir.filePath(u"p.xml"_s);
        zapiszPlikProjektu(path, {poz(u"1"_s, u"folder.mp3"_s, u"0"_s, u"1"_s, folder),
                                  poz(u"2"_s, u"brak.mp3"_s, u"0"_s, u"1"_s, folder),
                                  poz(u"3"_s, u"potok.mp3"_s, u"0"_s, u"1"_s, folder),
                                  poz(u"4"_s, u"null"_s, u"0"_s, u"1"_s, u"/dev/"_s)});
        const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(path);
        QVERIFY(wczytane.pozycje.isEmpty());
        const PominietePozycje pominiete = pominietePozycje(wczytane);
        QCOMPARE(pominiete.naglowek, u"Nie wczytano następujących pozycji projektu:"_s);
        QCOMPARE(pominiete.wiersze,
                 (QStringList{folder + u"brak.mp3: nie ma takiego pliku"_s,
                              folder + u"folder.mp3: to jest folder, nie plik"_s,
                              folder + u"potok.mp3: to jest potok (FIFO), a nie zwykły plik"_s,
                              u"/dev/null: to jest urządzenie, a nie zwykły plik"_s}));
    }

    void unreadable() {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(EInOutError,
                                 wczytajPlikProjektu(dir.filePath(QStringLiteral("brak.xml"))));
        QVERIFY_THROWS_EXCEPTION(EInOutError, wczytajPlikProjektu(dir.path()));
        const QString potok = dir.filePath(QStringLiteral("potok.xml"));
        QCOMPARE(::mkfifo(QFile::encodeName(potok).constData(), 0600), 0);
        QVERIFY_THROWS_EXCEPTION(EInOutError, wczytajPlikProjektu(potok));
    }

    // A failed save leaves the previous file byte for byte and no stray file.
    void failedSaveKeepsOldFile_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("read-only file") << QStringLiteral("ro-file");
        QTest::newRow("target is a folder") << QStringLiteral("dir");
        QTest::newRow("missing folder") << QStringLiteral("missing");
        QTest::newRow("unwritable character") << QStringLiteral("char");
    }
    void failedSaveKeepsOldFile() {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const QString sub = dir.filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkpath(sub));
        QString target = sub + QStringLiteral("/projekt.xml");
        const QByteArray old("<projekt>stary</projekt>");
        zapiszSurowo(target, old);
        ListaPozycji lista{poz(QStringLiteral("1"), QStringLiteral("a.mp3"), QStringLiteral("0"),
                               QStringLiteral("1"), QStringLiteral("/"))};
        if (how == u"ro-file") {
            QVERIFY(QFile::setPermissions(target, QFile::ReadOwner));
            if (QFile(target).open(QIODevice::Append)) {
                QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
                QSKIP("running with rights that ignore permissions");
            }
        } else if (how == u"dir") {
            target = sub;
        } else if (how == u"missing") {
            target = dir.filePath(QStringLiteral("brak/projekt.xml"));
        } else {
            lista[0].NazwaPliku = QStringLiteral("zły\x01znak");
        }
        const QStringList before = QDir(sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        try {
            zapiszPlikProjektu(target, lista);
            QFAIL("no error");
        } catch (const EInOutError& e) {
            QVERIFY2(e.text().startsWith(QStringLiteral("Nie można zapisać projektu do pliku")),
                     qPrintable(e.text()));
            QVERIFY2(e.text().contains(QDir::toNativeSeparators(target)), qPrintable(e.text()));
        }
        QFile::setPermissions(sub + QStringLiteral("/projekt.xml"),
                              QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(zawartosc(sub + QStringLiteral("/projekt.xml")), old);
        QCOMPARE(QDir(sub).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

    void sortedOrder_data() {
        QTest::addColumn<QStringList>("chosen");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("mixed case")
            << QStringList{u"/k/c.mp3"_s, u"/k/a.mp3"_s, u"/k/B.mp3"_s} << QStringLiteral("C")
            << QStringList{u"/k/a.mp3"_s, u"/k/B.mp3"_s, u"/k/c.mp3"_s};
        QTest::newRow("polish collation")
            << QStringList{u"/k/mama.mp3"_s,   u"/k/Łódź.mp3"_s,  u"/k/lato.mp3"_s,
                           u"/k/źrebię.mp3"_s, u"/k/zebra.mp3"_s, u"/k/ćma.mp3"_s}
            << QStringLiteral("pl_PL")
            << QStringList{u"/k/ćma.mp3"_s,  u"/k/lato.mp3"_s,  u"/k/Łódź.mp3"_s,
                           u"/k/mama.mp3"_s, u"/k/zebra.mp3"_s, u"/k/źrebię.mp3"_s};
        QTest::newRow("names equal but for case, same name twice")
            << QStringList{u"/y/b.mp3"_s, u"/k/a.mp3"_s, u"/k/A.mp3"_s, u"/x/b.mp3"_s}
            << QStringLiteral("en_US")
            << QStringList{u"/k/A.mp3"_s, u"/k/a.mp3"_s, u"/y/b.mp3"_s, u"/x/b.mp3"_s};
        QTest::newRow("numbers by value")
            << QStringList{u"/k/Rozdział 10.mp3"_s, u"/k/Rozdział 2.mp3"_s, u"/k/Rozdział 1.mp3"_s}
            << QStringLiteral("pl_PL")
            << QStringList{u"/k/Rozdział 1.mp3"_s, u"/k/Rozdział 2.mp3"_s, u"/k/Rozdział 10.mp3"_s};
        QTest::newRow("none") << QStringList{} << QStringLiteral("C") << QStringList{};
    }
    void sortedOrder() {
        QFETCH(QStringList, chosen);
        QFETCH(QString, locale);
        QFETCH(QStringList, expected);
        QCOMPARE(uporzadkujWybranePliki(chosen, QLocale(locale)), expected);
    }

    // A chosen file's bookmark covers the default length, or the whole file
    // when it is not longer.
    void entryForChosenFile_data() {
        QTest::addColumn<qint64>("dlugoscPliku");
        QTest::addColumn<QString>("dlugosc");
        QTest::newRow("shorter") << qint64(3200) << u"3200"_s;
        QTest::newRow("as long") << qint64(5000) << u"5000"_s;
        QTest::newRow("longer") << qint64(60000) << u"5000"_s;
        QTest::newRow("unreadable") << qint64(0) << u"0"_s;
    }
    void entryForChosenFile() {
        QFETCH(qint64, dlugoscPliku);
        QFETCH(QString, dlugosc);
        QCOMPARE(pozycjaDlaPliku(u"/nagrania/ż 1.mp3"_s, dlugoscPliku, 5000),
                 (PozycjaProjektu{QString(), u"ż 1.mp3"_s, u"0"_s, dlugosc, u"/nagrania/"_s}));
    }
};

QTEST_GUILESS_MAIN(TestProjectFile)
#include "tst_projectfile.moc"
