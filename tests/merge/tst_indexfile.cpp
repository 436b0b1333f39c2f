#include "base/Errors.h"
#include "merge/IndexFile.h"

#include <QTest>

#include <cfenv>

using Wpisy = QList<WpisIndeksu>;
Q_DECLARE_METATYPE(WpisIndeksu)

namespace {
WpisIndeksu wpis(const char* poczatek, const char* dlugosc, std::int64_t rozmiar,
                 std::optional<PolozenieZakladki> dokladnie = std::nullopt) {
    return {QString::fromLatin1(poczatek), QString::fromLatin1(dlugosc), rozmiar,
            QStringLiteral("/ksiazka/plik.mp3"), dokladnie};
}
} // namespace

class TestIndexFile : public QObject {
    Q_OBJECT
private slots:
    void dat_data() {
        QTest::addColumn<qint64>("rozmiar");
        QTest::addColumn<qint64>("czas");
        QTest::addColumn<Wpisy>("wpisy");
        QTest::addColumn<QByteArray>("tresc");

        // R = 160000; 312.5 rounds to the even 312.
        QTest::newRow("worked example")
            << qint64{1000000} << qint64{62500}
            << Wpisy{wpis("0", "10000", 160000), wpis("2000", "5000", 840000)}
            << QByteArray("0\t312\r\n375\t156");
        QTest::newRow("one entry, no line end")
            << qint64{1000000} << qint64{62500} << Wpisy{wpis("0", "10000", 1000000)}
            << QByteArray("0\t312");
        QTest::newRow("no entries") << qint64{1} << qint64{1} << Wpisy{} << QByteArray();
        // 313.5 rounds up to the even 314; 0.5 rounds down to 0.
        QTest::newRow("ties to even")
            << qint64{1000000} << qint64{62500} << Wpisy{wpis("0", "10032", 0), wpis("0", "16", 0)}
            << QByteArray("0\t314\r\n0\t0");
        // S / T is taken first and then multiplied: 1629 / 800 * 10000 is
        // a hair above 20362.5 in extended precision and gives R = 20363,
        // where 1629 * 10000 / 800 would be the tie 20362.5 -> 20362.
        QTest::newRow("rate in the order written")
            << qint64{1629} << qint64{800} << Wpisy{wpis("0", "5120000", 0)}
            << QByteArray("0\t20363");
        QTest::newRow("offset of each file exact")
            << qint64{2048000} << qint64{1000}
            << Wpisy{wpis("0", "0", 512000), wpis("0", "0", 1024000), wpis("0", "0", 512000)}
            << QByteArray("0\t0\r\n1000\t0\r\n3000\t0");
        QTest::newRow("same file twice counts twice")
            << qint64{1024} << qint64{1} << Wpisy{wpis("0", "0", 512), wpis("0", "0", 512)}
            << QByteArray("0\t0\r\n1\t0");
        QTest::newRow("negative and hex bookmark texts")
            << qint64{1000000} << qint64{62500} << Wpisy{wpis("-2000", "$2710", 160000)}
            << QByteArray("-62\t312"); // -62.5 to even
        QTest::newRow("bookmark beyond its file")
            << qint64{1000000} << qint64{62500} << Wpisy{wpis("100000", "1", 1000)}
            << QByteArray("3125\t0");
        // Placed on frames, in whole blocks around them: bytes 417..10417
        // lie in blocks 0 to 20 (21 blocks); 160256..161536 in 313 to 315.
        // The rate plays no part, the texts are still checked.
        QTest::newRow("placed on frames")
            << qint64{1000000} << qint64{62500}
            << Wpisy{wpis("0", "10000", 160000, PolozenieZakladki{417, 10417}),
                     wpis("2000", "5000", 840000, PolozenieZakladki{256, 1536})}
            << QByteArray("0\t21\r\n313\t3");
        // Sizes beyond 2 GiB: the offset of the second file is 5 GiB.
        QTest::newRow("book over 4 GiB")
            << (qint64{6} << 30) << qint64{6} * 3600 * 1000
            << Wpisy{wpis("0", "0", qint64{5} << 30), wpis("0", "0", qint64{1} << 30)}
            << QByteArray("0\t0\r\n10485760\t0");
    }
    void dat() {
        QFETCH(qint64, rozmiar);
        QFETCH(qint64, czas);
        QFETCH(Wpisy, wpisy);
        QFETCH(QByteArray, tresc);
        QCOMPARE(trescDat(rozmiar, czas, wpisy), tresc);
    }

    // A caller that left another rounding mode set gets the same result
    // and its mode back.
    void roundingModeOfCaller() {
        std::fesetround(FE_UPWARD);
        const QByteArray tresc = trescDat(1000000, 62500, {wpis("0", "10000", 0)});
        const int tryb = std::fegetround();
        std::fesetround(FE_TONEAREST);
        QCOMPARE(tresc, QByteArray("0\t312"));
        QCOMPARE(tryb, FE_UPWARD);
    }

    // Frames after a 100-byte tag, 50 bytes of junk after the third, and
    // frames of another duration from the fifth on; durations in ms.
    void bookmarkOnFrames_data() {
        QTest::addColumn<int>("poczatek");
        QTest::addColumn<int>("dlugosc");
        QTest::addColumn<qint64>("bajtPoczatku");
        QTest::addColumn<qint64>("bajtKonca");
        QTest::addColumn<bool>("zaKoncem");
        QTest::newRow("start of the audio, not of the tag") << 0 << 25 << 100LL << 100LL << false;
        QTest::newRow("before the start, length 0") << -5 << 0 << 100LL << 100LL << false;
        QTest::newRow("frame edges") << 26 << 52 << 500LL << 1368LL << false;
        QTest::newRow("other duration") << 103 << 25 << 1368LL << 1668LL << false;
        QTest::newRow("end past the audio") << 30 << 1000 << 500LL << 1868LL << false;
        QTest::newRow("start at the end") << 152 << 10 << 1868LL << 1868LL << true;
    }
    void bookmarkOnFrames() {
        QFETCH(int, poczatek);
        QFETCH(int, dlugosc);
        QFETCH(qint64, bajtPoczatku);
        QFETCH(qint64, bajtKonca);
        QFETCH(bool, zaKoncem);
        MapaRamek mapa;
        for (const auto& [bajt, dlugoscRamki, czas] : {std::tuple{100, 400, 26},
                                                       {500, 418, 26},
                                                       {918, 400, 26},
                                                       {1368, 100, 26},
                                                       {1468, 200, 24},
                                                       {1668, 200, 24}})
            QVERIFY(mapa.dodaj(bajt, dlugoscRamki, czas));
        QVERIFY(!mapa.dodaj(1800, 100, 24)); // inside the last frame
        QVERIFY(!mapa.dodaj(1868, 70000, 24));
        const PolozenieZakladki z = mapa.zakladka(poczatek, dlugosc);
        QCOMPARE(z.poczatek, bajtPoczatku);
        QCOMPARE(z.koniec, bajtKonca);
        QCOMPARE(z.poczatekZaKoncem, zaKoncem);
    }

    void errors_data() {
        QTest::addColumn<qint64>("rozmiar");
        QTest::addColumn<qint64>("czas");
        QTest::addColumn<Wpisy>("wpisy");
        QTest::addColumn<QString>("tekst");
        QTest::addColumn<bool>("konwersja");
        QTest::newRow("zero duration")
            << qint64{1000} << qint64{0} << Wpisy{wpis("0", "1", 1000)}
            << QStringLiteral(
                   "Nie można obliczyć indeksów: czas trwania scalonego pliku wynosi 0 ms")
            << false;
        QTest::newRow("start not an integer")
            << qint64{1000} << qint64{10} << Wpisy{wpis("0", "1", 10), wpis("1.5", "1", 10)}
            << QStringLiteral("'1.5' is not a valid integer value") << true;
        QTest::newRow("empty length") << qint64{1000} << qint64{10} << Wpisy{wpis("0", "", 10)}
                                      << QStringLiteral("'' is not a valid integer value") << true;
        // 2^31 blocks would wrap to a negative number in 32 bits.
        QTest::newRow("start beyond 32 bits")
            << qint64{512} << qint64{1} << Wpisy{wpis("0", "0", qint64{1} << 40), wpis("0", "0", 0)}
            << QString() << false;
        QTest::newRow("length beyond 32 bits")
            << (qint64{1} << 40) << qint64{1} << Wpisy{wpis("0", "2147483647", 0)} << QString()
            << false;
        QTest::newRow("rate beyond 64 bits") << std::numeric_limits<qint64>::max() << qint64{1}
                                             << Wpisy{wpis("0", "0", 0)} << QString() << false;
    }
    void errors() {
        QFETCH(qint64, rozmiar);
        QFETCH(qint64, czas);
        QFETCH(Wpisy, wpisy);
        QFETCH(QString, tekst);
        QFETCH(bool, konwersja);
        try {
            trescDat(rozmiar, czas, wpisy);
            QFAIL("no error");
        } catch (const EConvertError& e) {
            QVERIFY(konwersja);
            QCOMPARE(e.text(), tekst);
        } catch (const SonvekError& e) {
            QVERIFY(!konwersja);
            if (!tekst.isEmpty())
                QCOMPARE(e.text(), tekst);
        }
    }

    void names_data() {
        QTest::addColumn<QString>("scalony");
        QTest::addColumn<QString>("dat");
        QTest::addColumn<QString>("log");
        QTest::newRow("mp3") << QStringLiteral("/m/Pan Tadeusz.mp3")
                             << QStringLiteral("/m/Pan Tadeusz.dat")
                             << QStringLiteral("/m/Pan Tadeusz.log");
        QTest::newRow("four characters")
            << QStringLiteral("/m/book.mpeg") << QStringLiteral("/m/book.mdat")
            << QStringLiteral("/m/book.mlog");
        QTest::newRow("upper case")
            << QStringLiteral("/m/KSIĄŻKA.MP3") << QStringLiteral("/m/KSIĄŻKA.dat")
            << QStringLiteral("/m/KSIĄŻKA.log");
        QTest::newRow("short") << QStringLiteral("ab") << QStringLiteral("dat")
                               << QStringLiteral("log");
    }
    void names() {
        QFETCH(QString, scalony);
        QFETCH(QString, dat);
        QFETCH(QString, log);
        QCOMPARE(nazwaIndeksu(scalony, QStringLiteral("dat")), dat);
        QCOMPARE(nazwaIndeksu(scalony, QStringLiteral("log")), log);
        QCOMPARE(trescLog(), QByteArray("0000000 0000000"));
    }
};

QTEST_APPLESS_MAIN(TestIndexFile)
#include "tst_indexfile.moc"
