#include "card/CardFiles.h"
#include "card/FreeSpace.h"
#include "support/FakeFreeSpace.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 GiB = qint64{1} << 30;

PomiarKarty pomiar(std::int64_t klaster, std::uint64_t wolne, bool player, bool fat = false) {
    return PomiarKarty{MiaraWoluminu{klaster, wolne, fat}, player};
}

const QString brakMiejsca = u"Brak wystarczającego miejsca na skopiowanie wybranego pliku!"_s;

} // namespace

class TestFreeSpace : public QObject {
    Q_OBJECT
private slots:
    void report_data() {
        QTest::addColumn<qint64>("klaster");
        QTest::addColumn<quint64>("wolne");
        QTest::addColumn<bool>("player");
        QTest::addColumn<QString>("liczba");
        QTest::newRow("player.dat costs a cluster")
            << qint64(4096) << quint64(1000) << true << u"3996"_s;
        QTest::newRow("Polish decimal comma")
            << qint64(512) << quint64(1001) << false << u"500,5"_s;
        QTest::newRow("full card") << qint64(4096) << quint64(0) << false << u"0"_s;
        QTest::newRow("full card with player.dat does not wrap")
            << qint64(4096) << quint64(0) << true << u"0"_s;
        QTest::newRow("only player.dat's cluster left")
            << qint64(4096) << quint64(1) << true << u"0"_s;
        // 32 bytes = 0.03125 kB and 96 bytes = 0.09375 kB: ties go to even.
        QTest::newRow("tie rounds down to even")
            << qint64(32) << quint64(1) << false << u"0,0312"_s;
        QTest::newRow("tie rounds up to even") << qint64(32) << quint64(3) << false << u"0,0938"_s;
        QTest::newRow("beyond 4 GiB")
            << qint64(32768) << quint64(1'000'000) << false << u"32000000"_s;
        QTest::newRow("beyond 32-bit clusters")
            << qint64(4096) << quint64(5'000'000'000) << true << u"19999999996"_s;
    }
    void report() {
        QFETCH(qint64, klaster);
        QFETCH(quint64, wolne);
        QFETCH(bool, player);
        QFETCH(QString, liczba);
        const QChar przecinek = QLocale(QLocale::Polish).decimalPoint().at(0);
        QCOMPARE(raportWolnegoMiejsca(pomiar(klaster, wolne, player), przecinek),
                 u"Wolne miejsce na karcie: "_s + liczba + u" kB"_s);
    }

    void roomTest_data() {
        QTest::addColumn<qint64>("klaster");
        QTest::addColumn<quint64>("wolne");
        QTest::addColumn<bool>("player");
        QTest::addColumn<bool>("fat");
        QTest::addColumn<qint64>("rozmiar");
        QTest::addColumn<QString>("odmowa");
        const QString fat =
            u"Karta ma system plików FAT, na którym plik nie może mieć 4 GB ani więcej. "
            "Wybrany plik audio nie będzie skopiowany!"_s;
        QTest::newRow("4 free, no player.dat, 4097 bytes")
            << qint64(4096) << quint64(4) << false << false << qint64(4097) << QString();
        QTest::newRow("4 free, player.dat, 4097 bytes")
            << qint64(4096) << quint64(4) << true << false << qint64(4097) << brakMiejsca;
        QTest::newRow("2 free, empty book")
            << qint64(4096) << quint64(2) << false << false << qint64(0) << QString();
        QTest::newRow("2 free, one byte")
            << qint64(4096) << quint64(2) << false << false << qint64(1) << brakMiejsca;
        QTest::newRow("full card with player.dat, empty book")
            << qint64(4096) << quint64(0) << true << false << qint64(0) << brakMiejsca;
        QTest::newRow("exactly the room")
            << qint64(4096) << quint64(10) << true << false << qint64(7 * 4096) << QString();
        QTest::newRow("one byte over the room")
            << qint64(4096) << quint64(10) << true << false << qint64(7 * 4096 + 1) << brakMiejsca;
        QTest::newRow("3 GiB book on a card over 2 GiB")
            << qint64(32768) << quint64(100'000) << false << false << 3 * GiB << QString();
        QTest::newRow("5 GiB book on a card over 4 GiB")
            << qint64(32768) << quint64(200'000) << false << false << 5 * GiB << QString();
        QTest::newRow("5 GiB book, card short of it")
            << qint64(32768) << quint64(163'000) << false << false << 5 * GiB << brakMiejsca;
        QTest::newRow("FAT takes a book just under 4 GiB")
            << qint64(32768) << quint64(200'000) << false << true << 4 * GiB - 1 << QString();
        QTest::newRow("FAT refuses a 4 GiB book")
            << qint64(32768) << quint64(200'000) << false << true << 4 * GiB << fat;
        QTest::newRow("too little room is said first")
            << qint64(32768) << quint64(1000) << false << true << 4 * GiB << brakMiejsca;
    }
    void roomTest() {
        QFETCH(qint64, klaster);
        QFETCH(quint64, wolne);
        QFETCH(bool, player);
        QFETCH(bool, fat);
        QFETCH(qint64, rozmiar);
        QFETCH(QString, odmowa);
        QCOMPARE(odmowaKopiowania(pomiar(klaster, wolne, player, fat), rozmiar).value_or(QString()),
                 odmowa);
    }

    // The old book stays until the new one is complete beside it: the index
    // files take their own clusters, and leftovers of killed copies, which
    // the copy removes first, count as free.
    void roomCountsIndexFilesAndLeftovers_data() {
        QTest::addColumn<qint64>("dat");
        QTest::addColumn<quint64>("pozostalosci");
        QTest::addColumn<qint64>("miejsce");
        QTest::newRow("small index files: one cluster each")
            << qint64(10) << quint64(0) << qint64(8 * 4096);
        QTest::newRow("a .dat of three clusters")
            << qint64(2 * 4096 + 1) << quint64(0) << qint64(6 * 4096);
        QTest::newRow("leftovers count as room") << qint64(10) << quint64(5) << qint64(13 * 4096);
    }
    void roomCountsIndexFilesAndLeftovers() {
        QFETCH(qint64, dat);
        QFETCH(quint64, pozostalosci);
        QFETCH(qint64, miejsce);
        PomiarKarty p = pomiar(4096, 10, false);
        p.klastryPozostalosci = pozostalosci;
        QCOMPARE(miejsceNaKsiazke(p, dat, 100), miejsce);
        QVERIFY(!odmowaKopiowania(p, miejsce, dat, 100));
        QVERIFY(odmowaKopiowania(p, miejsce + 1, dat, 100));
    }

    void fullCardRoomIsNegative() {
        QCOMPARE(miejsceNaKsiazke(pomiar(4096, 0, true)), std::int64_t{-3 * 4096});
        QCOMPARE(miejsceNaKsiazke(pomiar(4096, 1'000'000, false)), std::int64_t{999'998} * 4096);
    }

    void sparseFourGiBBookOnFat() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile ksiazka(dir.filePath(u"gruba.mp3"_s));
        QVERIFY(ksiazka.open(QIODevice::WriteOnly));
        QVERIFY(ksiazka.resize(4 * GiB));
        ksiazka.close();
        QVERIFY(ksiazka.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const std::int64_t rozmiar = rozmiarPlikuDoOdczytu(ksiazka.fileName());
        QCOMPARE(rozmiar, 4 * GiB);
        const auto odmowa = odmowaKopiowania(pomiar(32768, 1'000'000, false, true), rozmiar);
        QVERIFY(odmowa.has_value());
        QVERIFY(odmowa->contains(u"FAT"_s));
        QVERIFY(!odmowaKopiowania(pomiar(32768, 1'000'000, false, false), rozmiar));
    }

    void measuringTheCard() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString korzen = korzenKarty(dir.path());
        FakeWolneMiejsce zrodlo(4096, 1000);

        auto wynik = zmierzKarte(korzen, zrodlo);
        QVERIFY(wynik);
        QCOMPARE(zrodlo.ostatniFolder, korzen);
        QCOMPARE(wynik->wolumin.wolneKlastry, 1000u);
        QVERIFY(!wynik->playerNaKarcie);

        zapiszPlayerDat(korzen);
        wynik = zmierzKarte(korzen, zrodlo);
        QVERIFY(wynik && wynik->playerNaKarcie);

        QVERIFY(!zmierzKarte(korzen + u"brak/"_s, zrodlo));
        QVERIFY(!zmierzKarte(QString(), zrodlo));
        // The system's own mounts are never the card, mounted as they are.
        QVERIFY(!zmierzKarte(u"/"_s, zrodlo));
        QVERIFY(!zmierzKarte(u"/home/"_s, zrodlo));
        // An empty mount folder: the figures would be the disk's above it.
        zrodlo.zamontowana = false;
        QVERIFY(!zmierzKarte(korzen, zrodlo));
        zrodlo.zamontowana = true;
        zrodlo.miara.reset();
        QVERIFY(!zmierzKarte(korzen, zrodlo));
    }

    void systemQuery() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto miara = SystemoweWolneMiejsce().zmierz(dir.path());
        QVERIFY(miara);
        QVERIFY(miara->rozmiarKlastra > 0);
        QVERIFY(!SystemoweWolneMiejsce().zmierz(dir.filePath(u"brak"_s)));
    }
};

QTEST_GUILESS_MAIN(TestFreeSpace)
#include "tst_freespace.moc"
