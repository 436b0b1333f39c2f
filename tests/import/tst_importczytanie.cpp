// The small rules the import's readers stand on: SMIL clock values, the
// chapters' audio across files, the character sets a book declares, the
// encoding chosen for what is not MP3.

#include "import/ImportKsiazki.h"
#include "import/Rozdzialy.h"
#include "import/TekstZrodla.h"

#include <QStringEncoder>
#include <QTest>

using namespace Qt::StringLiterals;

using Odcinki = QList<QList<FragmentDzwieku>>;
bool operator==(const FragmentDzwieku& a, const FragmentDzwieku& b) {
    return a.plik == b.plik && a.odUs == b.odUs && a.doUs == b.doUs;
}

class TestImportCzytanie : public QObject {
    Q_OBJECT
private slots:
    void smilClock_data() {
        QTest::addColumn<QString>("tekst");
        QTest::addColumn<qint64>("us"); // -1: not a clock value
        QTest::newRow("npt seconds") << u"npt=12.345s"_s << qint64(12345000);
        QTest::newRow("full clock") << u"1:02:03.5"_s << qint64(3723500000);
        QTest::newRow("partial clock") << u"02:03.25"_s << qint64(123250000);
        QTest::newRow("bare number") << u" 7 "_s << qint64(7000000);
        QTest::newRow("ms, min, h") << u"250ms"_s << qint64(250000);
        QTest::newRow("minutes") << u"1.5min"_s << qint64(90000000);
        QTest::newRow("hours") << u"2h"_s << qint64(7200000000);
        QTest::newRow("seconds over 59 in a clock") << u"0:61"_s << qint64(-1);
        QTest::newRow("negative") << u"-1s"_s << qint64(-1);
        QTest::newRow("exponent") << u"1e3s"_s << qint64(-1);
        QTest::newRow("beyond a year") << u"9000h"_s << qint64(-1);
        QTest::newRow("empty") << u"npt="_s << qint64(-1);
        QTest::newRow("fraction inside a clock") << u"1.5:00"_s << qint64(-1);
    }
    void smilClock() {
        QFETCH(QString, tekst);
        QFETCH(qint64, us);
        const auto wynik = czytajCzasSmil(tekst);
        QCOMPARE(wynik.value_or(-1), us);
    }

    // Chapters run from their start to the next one's across the files;
    // the first from the start of the first file, the last to the end.
    void chaptersAcrossFiles() {
        const QStringList p{u"a"_s, u"b"_s, u"c"_s};
        const Odcinki o = odcinkiMiedzy(p, {{0, 500}, {1, 0}, {1, 700}, {2, 300}});
        const Odcinki oczekiwane{{{u"a"_s, 0, -1}},
                                 {{u"b"_s, 0, 700}},
                                 {{u"b"_s, 700, -1}, {u"c"_s, 0, 300}},
                                 {{u"c"_s, 300, -1}}};
        QCOMPARE(o, oczekiwane);
        QVERIFY(!poPoprzednim({1, 700}, {1, 700}));
        QVERIFY(!poPoprzednim({1, 700}, {0, 900}));
        QMap<QString, PlikDzwieku> pliki;
        pliki[u"b"_s].dlugoscUs = 1000;
        QCOMPARE(dlugoscFragmentow(o.at(2), pliki), 300 + 300);
        QCOMPARE(miejsceWRozdziale(o.at(2), pliki, u"c"_s, 100), 400);
        QCOMPARE(miejsceWRozdziale(o.at(2), pliki, u"a"_s, 100), -1);
    }

    void declaredCharset_data() {
        QTest::addColumn<QByteArray>("kodowanie");
        QTest::addColumn<QByteArray>("naglowek");
        QTest::newRow("XML declaration")
            << QByteArray("ISO-8859-2")
            << QByteArray("<?xml version='1.0' encoding='ISO-8859-2'?>");
        QTest::newRow("meta http-equiv")
            << QByteArray("windows-1250")
            << QByteArray("<html><head><meta http-equiv=\"Content-type\" "
                          "content=\"text/html; charset=windows-1250\" />");
        QTest::newRow("ncc:charset") << QByteArray("windows-1250")
                                     << QByteArray("<html><head><meta name=\"ncc:charset\" "
                                                   "content=\"windows-1250\" />");
        QTest::newRow("none, UTF-8") << QByteArray("UTF-8") << QByteArray("<html>");
        QTest::newRow("none, not UTF-8") << QByteArray("windows-1250") << QByteArray("<html>");
    }
    void declaredCharset() {
        QFETCH(QByteArray, kodowanie);
        QFETCH(QByteArray, naglowek);
        const QString tytul = u"Zażółć gęślą jaźń"_s;
        QStringEncoder e(kodowanie.constData());
        const QByteArray dane = naglowek + e.encode(tytul) + "</html>";
        QVERIFY(tekstWKodowaniu(dane, u"ncc.html"_s).contains(tytul));
        QVERIFY_THROWS_EXCEPTION(
            EBladZrodla,
            tekstWKodowaniu("<?xml version='1.0' encoding='x-nieznane'?><a/>", u"ncc.html"_s));
    }

    // What the window says is what is chosen: a mixed source follows its
    // first MP3 file, a choice made wins, an all-MP3 source is only cut.
    void encodingSaid_data() {
        QTest::addColumn<QString>("zrodla"); // per file: m (MP3) or f (other), rate, channels
        QTest::addColumn<int>("kanaly");     // asked; 0: the default
        QTest::addColumn<QString>("tekst");
        QTest::newRow("nothing read yet")
            << QString() << 0 << u"domyślnie 64 kb/s mono, 44,1 kHz — dobre dla mowy."_s;
        QTest::newRow("no MP3") << u"f 48000 2"_s << 0
                                << u"domyślnie 64 kb/s mono, 44,1 kHz — dobre dla mowy."_s;
        QTest::newRow("mixed with stereo MP3")
            << u"f 44100 1,m 22050 2,m 44100 1"_s << 0
            << u"domyślnie 64 kb/s stereo, 22,05 kHz — tak jak pliki MP3 źródła"_s;
        QTest::newRow("mono asked")
            << u"m 22050 2,f 44100 2"_s << 1 << u"domyślnie 64 kb/s mono, 22,05 kHz — tak jak"_s;
        QTest::newRow("all MP3") << u"m 22050 2,m 44100 1"_s << 0
                                 << u"Całe źródło jest w MP3: rozdziały zostaną tylko wycięte"_s;
    }
    void encodingSaid() {
        QFETCH(QString, zrodla);
        QFETCH(int, kanaly);
        QFETCH(QString, tekst);
        ZnalezioneRozdzialy z;
        int n = 0;
        for (const QString& opis : zrodla.split(u',', Qt::SkipEmptyParts)) {
            const QStringList pola = opis.split(u' ');
            PlikDzwieku p;
            p.sciezka = u"/k/%1"_s.arg(n++);
            p.mp3 = pola.at(0) == u"m";
            p.czestotliwosc = pola.at(1).toInt();
            p.kanaly = pola.at(2).toInt();
            z.pliki.insert(p.sciezka, p);
        }
        const FormatKodowania prosba{0, kanaly, 64};
        QVERIFY2(opisKodowania(z, prosba).contains(tekst), qPrintable(opisKodowania(z, prosba)));
        if (!tekst.startsWith(u"Całe"_s)) {
            const FormatKodowania f = wybranyFormat(z, prosba);
            QVERIFY(tekst.contains(f.kanaly == 1 ? u" mono,"_s : u" stereo,"_s));
        }
    }
};

QTEST_GUILESS_MAIN(TestImportCzytanie)
#include "tst_importczytanie.moc"
