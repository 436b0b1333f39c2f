// A book merged in parts: where it splits, that each part is exactly the
// merge of its entries alone, and that a failure leaves the folder as it was.
#include "base/Errors.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "project/ProjectFile.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/RunTool.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

PozycjaProjektu pozycja(const QString& sciezka, int poczatekMs = 0) {
    return {QString(), sciezka.section(QLatin1Char('/'), -1), QString::number(poczatekMs),
            QStringLiteral("2000"), sciezka.section(QLatin1Char('/'), 0, -2) + QLatin1Char('/')};
}

// A fake measure for the failures: any bytes, 16 to a millisecond.
PomiarMp3 pomiarTestowy(const QString& sciezka) {
    return {FormatDzwieku{44100, 2}, QFileInfo(sciezka).size() / 16, 0};
}

} // namespace

class TestCzesci : public QObject {
    Q_OBJECT
private slots:
    void splitsBetweenEntries_data() {
        QTest::addColumn<QList<std::int64_t>>("rozmiary");
        QTest::addColumn<std::int64_t>("limit");
        QTest::addColumn<QList<int>>("podzial"); // empty: refused
        QTest::newRow("all in one")
            << QList<std::int64_t>{3, 3, 3} << std::int64_t{9} << QList<int>{3};
        QTest::newRow("a part filled exactly")
            << QList<std::int64_t>{4, 6, 1, 9, 1} << std::int64_t{10} << QList<int>{2, 2, 1};
        QTest::newRow("an entry as large as the limit")
            << QList<std::int64_t>{1, 10, 1} << std::int64_t{10} << QList<int>{1, 1, 1};
        QTest::newRow("the FAT limit") << QList<std::int64_t>{kNajwiekszyPlikFat - 1, 1, 1}
                                       << kNajwiekszyPlikFat << QList<int>{2, 1};
        QTest::newRow("an entry over the limit")
            << QList<std::int64_t>{1, 11, 1} << std::int64_t{10} << QList<int>{};
    }
    void splitsBetweenEntries() {
        QFETCH(QList<std::int64_t>, rozmiary);
        QFETCH(std::int64_t, limit);
        QFETCH(QList<int>, podzial);
        if (podzial.isEmpty()) {
            try {
                podzialNaCzesci(rozmiary, limit);
                QFAIL("no refusal");
            } catch (const SonvekError& e) {
                QVERIFY(errorMessage(e).contains(QStringLiteral("pozycji 2")));
            }
            return;
        }
        QCOMPARE(podzialNaCzesci(rozmiary, limit), podzial);
        QCOMPARE(nazwaCzesci(QStringLiteral("/k/a.b/ksiazka.x.mp3"), 2),
                 QStringLiteral("/k/a.b/ksiazka.x-2.mp3"));
    }

    // Each part's book and index files are byte for byte those of the merge
    // of its entries alone; an earlier single book of the name goes.
    void partsAreEachMergedAlone_data() {
        QTest::addColumn<int>("czestotliwosc");
        QTest::addColumn<int>("kanaly");
        QTest::addColumn<bool>("vbr");
        QTest::addColumn<bool>("szacowany");
        QTest::newRow("CBR mono 44.1 kHz") << 44100 << 1 << false << false;
        QTest::newRow("VBR stereo 22.05 kHz, estimated index") << 22050 << 2 << true << true;
    }
    void partsAreEachMergedAlone() {
        QFETCH(int, czestotliwosc);
        QFETCH(int, kanaly);
        QFETCH(bool, vbr);
        QFETCH(bool, szacowany);
        QTemporaryDir dir;
        const QString zrodla = dir.filePath(QStringLiteral("zrodla"));
        const QString cel = dir.filePath(QStringLiteral("cel"));
        const QString wzor = dir.filePath(QStringLiteral("wzor"));
        for (const QString& f : {zrodla, cel, wzor})
            QVERIFY(QDir().mkpath(f));
        // Parts of twice the largest entry take two entries or three.
        Mp3Format format = formatLame(czestotliwosc, kanaly, 128, vbr);
        format.durationMs = vbr ? 12000 : 6000;
        ListaPozycji pozycje;
        QList<std::int64_t> rozmiary;
        for (int i = 0; i < 5; ++i) {
            format.toneHz = 300 + 50 * i;
            const QString plik = makeMp3(zrodla + QStringLiteral("/%1.mp3").arg(i), format);
            pozycje.append(pozycja(plik, 1000 + 10 * i));
            rozmiary.append(QFileInfo(plik).size());
        }
        const std::int64_t limit = 2 * *std::max_element(rozmiary.cbegin(), rozmiary.cend());
        const QList<int> podzial = podzialNaCzesci(rozmiary, limit);
        QVERIFY(podzial.size() >= 2);
        const QString ksiazka = cel + QStringLiteral("/ksiazka.mp3");
        for (const QString& stary : {QStringLiteral("ksiazka.mp3"), QStringLiteral("ksiazka.dat"),
                                     QStringLiteral("ksiazka.log")})
            QVERIFY(zapiszBajty(cel + QLatin1Char('/') + stary, "stara"));

        ZadanieScalania zadanie(ksiazka, pozycje, miernikMp3());
        zadanie.limitCzesci = limit;
        zadanie.indeksSzacowany = szacowany;
        QStringList log;
        zadanie.dziennik = [&log](const QString& linia) { log.append(linia); };
        QVERIFY2(zadanie.wykonaj(), qPrintable(zadanie.blad()));
        QCOMPARE(zadanie.czesci().size(), podzial.size());
        QCOMPARE(log.last(), QStringLiteral("Scalanie plików zakończone powodzeniem"));

        QStringList spodziewane;
        for (int k = 0, poczatek = 0; k < podzial.size(); poczatek += podzial.at(k++)) {
            const QString nazwa = QStringLiteral("ksiazka-%1").arg(k + 1);
            spodziewane << nazwa + QStringLiteral(".dat") << nazwa + QStringLiteral(".log")
                        << nazwa + QStringLiteral(".mp3");
            QCOMPARE(zadanie.czesci().at(k),
                     cel + QLatin1Char('/') + nazwa + QStringLiteral(".mp3"));
            ZadanieScalania sama(wzor + QLatin1Char('/') + nazwa + QStringLiteral(".mp3"),
                                 pozycje.mid(poczatek, podzial.at(k)), miernikMp3());
            sama.indeksSzacowany = szacowany;
            QVERIFY(sama.wykonaj());
            QVERIFY(QFileInfo(sama.scalony()).size() <= limit);
            for (const QString& koncowka :
                 {QStringLiteral(".mp3"), QStringLiteral(".dat"), QStringLiteral(".log")})
                QVERIFY2(bajtyPliku(cel + QLatin1Char('/') + nazwa + koncowka) ==
                             bajtyPliku(wzor + QLatin1Char('/') + nazwa + koncowka),
                         qPrintable(nazwa + koncowka));
        }
        QCOMPARE(QStringList(zawartoscFolderu(cel).keys()), spodziewane);
    }

    // A merge in parts that fails or is stopped anywhere leaves the folder
    // exactly as it was: no part, no temporary file, the earlier books kept.
    void failureLeavesNothing_data() {
        QTest::addColumn<int>("zepsuty");   // the entry made empty, -1: none
        QTest::addColumn<int>("zbyt_duzy"); // the entry over the limit, -1: none
        QTest::addColumn<int>("przerwij");  // stop after this many parts copied, -1: never
        QTest::addColumn<bool>("odmowa");
        QTest::newRow("an entry over the limit") << -1 << 3 << -1 << true;
        QTest::newRow("an empty entry in the last part") << 4 << -1 << -1 << false;
        QTest::newRow("stopped in the second part") << -1 << -1 << 1 << false;
        QTest::newRow("stopped writing the index files") << -1 << -1 << 3 << false;
    }
    void failureLeavesNothing() {
        QFETCH(int, zepsuty);
        QFETCH(int, zbyt_duzy);
        QFETCH(int, przerwij);
        QFETCH(bool, odmowa);
        QTemporaryDir dir;
        ListaPozycji pozycje;
        for (int i = 0; i < 5; ++i) {
            const QString plik = dir.filePath(QStringLiteral("w%1.mp3").arg(i));
            QVERIFY(zapiszBajty(plik, i == zepsuty
                                          ? QByteArray()
                                          : QByteArray(i == zbyt_duzy ? 900 : 400, char('a' + i))));
            pozycje.append(pozycja(plik));
        }
        for (const QString& stary :
             {QStringLiteral("ksiazka.mp3"), QStringLiteral("ksiazka.dat"),
              QStringLiteral("ksiazka-1.mp3"), QStringLiteral("ksiazka-1.dat")})
            QVERIFY(zapiszBajty(dir.filePath(stary), stary.toUtf8()));
        const auto przed = zawartoscFolderu(dir.path());

        ZadanieScalania zadanie(dir.filePath(QStringLiteral("ksiazka.mp3")), pozycje,
                                pomiarTestowy);
        zadanie.limitCzesci = 800;
        int skopiowane = 0;
        zadanie.dziennik = [&](const QString& linia) {
            skopiowane += linia == QStringLiteral("Sklejanie zakonczone powodzeniem");
        };
        zadanie.przerwac = [&] { return skopiowane == przerwij; };
        QVERIFY(!zadanie.wykonaj());
        QCOMPARE(zadanie.odmowa(), odmowa);
        QCOMPARE(zadanie.przerwane(), przerwij >= 0);
        QCOMPARE(zawartoscFolderu(dir.path()), przed);
        if (zbyt_duzy >= 0)
            QVERIFY(zadanie.blad().contains(QStringLiteral("pozycji %1").arg(zbyt_duzy + 1)));
    }

    // sonvek-merge --czesci[=MB]: the parts it writes, and a size that is
    // no whole positive number of MB is a wrong argument.
    void commandLine_data() {
        QTest::addColumn<QString>("opcja");
        QTest::addColumn<int>("kod");
        QTest::addColumn<int>("czesci");
        QTest::newRow("1 MB") << QStringLiteral("--czesci=1") << 0 << 2;
        QTest::newRow("FAT limit") << QStringLiteral("--czesci") << 0 << 1;
        QTest::newRow("zero") << QStringLiteral("--czesci=0") << 2 << 0;
        QTest::newRow("not a number") << QStringLiteral("--czesci=1,5") << 2 << 0;
    }
    void commandLine() {
        QFETCH(QString, opcja);
        QFETCH(int, kod);
        QFETCH(int, czesci);
        QTemporaryDir dir;
        Mp3Format format = formatLame(44100, 1, 128);
        format.durationMs = 26000;
        const QByteArray mp3 = makeMp3Data(format);
        ListaPozycji pozycje;
        for (int i = 0; i < 3; ++i) {
            const QString plik = dir.filePath(QStringLiteral("%1.mp3").arg(i));
            QVERIFY(zapiszBajty(plik, mp3));
            pozycje.append(pozycja(plik));
        }
        const QString projekt = dir.filePath(QStringLiteral("p.xml"));
        zapiszPlikProjektu(projekt, pozycje);
        const Wynik w = uruchomNarzedzie(QStringLiteral("sonvek-merge"),
                                         {opcja, projekt, dir.filePath(QStringLiteral("k.mp3"))});
        QCOMPARE(w.kod, kod);
        for (int k = 1; k <= 3; ++k)
            QCOMPARE(QFileInfo::exists(dir.filePath(QStringLiteral("k-%1.dat").arg(k))),
                     k <= czesci);
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("k.mp3"))));
    }
};

QTEST_GUILESS_MAIN(TestCzesci)
#include "tst_czesci.moc"
