#include "base/Errors.h"
#include "card/CardFiles.h"
#include "card/FreeSpace.h"
#include "support/FileBytes.h"
#include "support/Tmpfs.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Answers the copy's callbacks and records what it was told.
struct Obsluga {
    qint64 przerwijPo = -1; // stop once this many bytes are reported
    bool zamienic = true;
    QList<std::pair<std::int64_t, std::int64_t>> postepy;
    QStringList pytania;

    ObslugaKopiowania callbacks() {
        return {[this](std::int64_t skopiowano, std::int64_t razem) {
                    postepy.append({skopiowano, razem});
                    return przerwijPo < 0 || skopiowano < przerwijPo;
                },
                [this](const QString& cel) {
                    pytania.append(cel);
                    return zamienic;
                }};
    }
};

} // namespace

class TestCardFiles : public QObject {
    Q_OBJECT
private:
    std::optional<QTemporaryDir> dir; // a fresh one for every test
    QString karta;                    // card root with its final '/'
    QString magazyn;

private slots:
    void init() {
        dir.emplace();
        QVERIFY(dir->isValid());
        QVERIFY(QDir(dir->path()).mkpath(u"karta"_s));
        QVERIFY(QDir(dir->path()).mkpath(u"magazyn"_s));
        karta = korzenKarty(dir->filePath(u"karta"_s));
        magazyn = dir->filePath(u"magazyn/"_s);
    }

    void cardRoot_data() {
        QTest::addColumn<QString>("karta");
        QTest::addColumn<QString>("korzen");
        QTest::newRow("no card chosen") << QString() << QString();
        QTest::newRow("mount point") << u"/media/ola/KARTA"_s << u"/media/ola/KARTA/"_s;
        QTest::newRow("already ends in /") << u"/media/k/"_s << u"/media/k/"_s;
        QTest::newRow("root") << u"/"_s << u"/"_s;
    }
    void cardRoot() {
        QFETCH(QString, karta);
        QFETCH(QString, korzen);
        QCOMPARE(korzenKarty(karta), korzen);
    }

    void playerDatIsExactlyNineBytes() {
        zapiszPlayerDat(karta);
        QCOMPARE(bajtyPliku(karta + u"player.dat"_s), QByteArray("0000 0000"));
        // The player wrote its state; writing again gives the initial state.
        QVERIFY(zapiszBajty(karta + u"player.dat"_s, QByteArray("0123 4567 and much more state")));
        zapiszPlayerDat(karta);
        QCOMPARE(bajtyPliku(karta + u"player.dat"_s), QByteArray("0000 0000"));
        QCOMPARE(wpisyFolderu(karta), QStringList{u"player.dat"_s});
    }

    void playerDatErrorNamesThePath() {
        const QString brak = karta + u"nie-ma/"_s;
        try {
            zapiszPlayerDat(brak);
            QFAIL("no error");
        } catch (const EInOutError& e) {
            QVERIFY2(e.text().contains(brak + u"player.dat"_s), qPrintable(e.text()));
        }
    }

    void sizes() {
        const QString ksiazka = magazyn + u"ksiazka.mp3"_s;
        QVERIFY(zapiszBajty(ksiazka, QByteArray(4097, 'x')));
        QVERIFY(QFile::setPermissions(ksiazka, QFile::ReadOwner | QFile::ReadGroup));
        QCOMPARE(rozmiarPlikuDoOdczytu(ksiazka), 4097);
        QCOMPARE(wielkoscPliku(ksiazka), 4097);
        QCOMPARE(wielkoscPliku(magazyn + u"brak.mp3"_s), 0);
        QCOMPARE(wielkoscPliku(karta), 0);
        QVERIFY_THROWS_EXCEPTION(EInOutError, rozmiarPlikuDoOdczytu(magazyn + u"brak.mp3"_s));
    }

    void copiesReadOnlyBookWithProgress() {
        // Several chunks, and a last one that is not full.
        QByteArray dane(3 * 1024 * 1024 + 17, '\0');
        for (qsizetype i = 0; i < dane.size(); ++i)
            dane[i] = static_cast<char>(i * 7 % 251);
        const QString ksiazka = magazyn + u"Książka mówiona.asz"_s;
        QVERIFY(zapiszBajty(ksiazka, dane));
        QVERIFY(QFile::setPermissions(ksiazka, QFile::ReadOwner));

        Obsluga obsluga;
        const RaportKopiowania raport = kopiujNaKarte(ksiazka, karta, obsluga.callbacks());
        QVERIFY2(raport.udane(), qPrintable(raport.blad));
        QCOMPARE(bajtyPliku(karta + u"Książka mówiona.asz"_s), dane);
        QCOMPARE(wpisyFolderu(karta), QStringList{u"Książka mówiona.asz"_s});
        QVERIFY(obsluga.pytania.isEmpty());
        QCOMPARE(obsluga.postepy.first(),
                 std::make_pair(std::int64_t{0}, std::int64_t(dane.size())));
        QCOMPARE(obsluga.postepy.last(),
                 std::make_pair(std::int64_t(dane.size()), std::int64_t(dane.size())));
        for (qsizetype i = 1; i < obsluga.postepy.size(); ++i)
            QVERIFY(obsluga.postepy.at(i).first > obsluga.postepy.at(i - 1).first);
    }

    void cancelLeavesNothing_data() {
        QTest::addColumn<qint64>("przerwijPo");
        QTest::addColumn<bool>("stary");
        QTest::newRow("before the first chunk") << qint64(0) << false;
        QTest::newRow("midway") << qint64(1) << false;
        QTest::newRow("midway over an old copy") << qint64(1) << true;
    }
    void cancelLeavesNothing() {
        QFETCH(qint64, przerwijPo);
        QFETCH(bool, stary);
        const QString ksiazka = magazyn + u"ksiazka.mp3"_s;
        QVERIFY(zapiszBajty(ksiazka, QByteArray(2 * 1024 * 1024 + 5, 'n')));
        if (stary)
            QVERIFY(zapiszBajty(karta + u"ksiazka.mp3"_s, QByteArray("stara")));

        Obsluga obsluga;
        obsluga.przerwijPo = przerwijPo;
        const RaportKopiowania raport = kopiujNaKarte(ksiazka, karta, obsluga.callbacks());
        QCOMPARE(raport.wynik, WynikKopiowania::Anulowano);
        QCOMPARE(wpisyFolderu(karta), stary ? QStringList{u"ksiazka.mp3"_s} : QStringList());
        if (stary)
            QCOMPARE(bajtyPliku(karta + u"ksiazka.mp3"_s), QByteArray("stara"));
    }

    void replaceQuestion_data() {
        QTest::addColumn<bool>("zamienic");
        QTest::newRow("Yes replaces") << true;
        QTest::newRow("No keeps") << false;
    }
    void replaceQuestion() {
        QFETCH(bool, zamienic);
        QVERIFY(zapiszBajty(magazyn + u"ksiazka.dat"_s, QByteArray("0\t10\r\n10\t20")));
        QVERIFY(zapiszBajty(karta + u"ksiazka.dat"_s, QByteArray("stary indeks")));

        Obsluga obsluga;
        obsluga.zamienic = zamienic;
        const RaportKopiowania raport =
            kopiujNaKarte(magazyn + u"ksiazka.dat"_s, karta, obsluga.callbacks());
        QCOMPARE(obsluga.pytania, QStringList{karta + u"ksiazka.dat"_s});
        QCOMPARE(raport.wynik,
                 zamienic ? WynikKopiowania::Skopiowano : WynikKopiowania::NieZamieniono);
        QCOMPARE(bajtyPliku(karta + u"ksiazka.dat"_s),
                 zamienic ? QByteArray("0\t10\r\n10\t20") : QByteArray("stary indeks"));
        QCOMPARE(wpisyFolderu(karta), QStringList{u"ksiazka.dat"_s});
    }

    void failuresNameTheFile() {
        const RaportKopiowania brak =
            kopiujNaKarte(magazyn + u"brak.mp3"_s, karta, Obsluga().callbacks());
        QCOMPARE(brak.wynik, WynikKopiowania::Blad);
        QVERIFY2(brak.blad.contains(magazyn + u"brak.mp3"_s), qPrintable(brak.blad));

        QVERIFY(zapiszBajty(magazyn + u"ksiazka.mp3"_s, QByteArray("abc")));
        const RaportKopiowania bezKarty =
            kopiujNaKarte(magazyn + u"ksiazka.mp3"_s, karta + u"wyjeta/"_s, Obsluga().callbacks());
        QCOMPARE(bezKarty.wynik, WynikKopiowania::Blad);
        QVERIFY2(bezKarty.blad.contains(karta + u"wyjeta/ksiazka.mp3"_s),
                 qPrintable(bezKarty.blad));
    }

    // A real volume that fills up: the report, the room test and a copy
    // that runs out of space midway.
    void fullTmpfsCard() {
        if (::geteuid() != 0)
            QSKIP("mounting a tmpfs card needs root");
        Tmpfs tmpfs(dir->filePath(u"karta"_s), "size=64k,mode=0777");
        if (!tmpfs.zamontowany)
            QSKIP("this system does not allow mounting a tmpfs");
        const SystemoweWolneMiejsce system;
        auto pomiar = zmierzKarte(karta, system);
        QVERIFY(pomiar);
        const std::int64_t klaster = pomiar->wolumin.rozmiarKlastra;
        QCOMPARE(std::int64_t(pomiar->wolumin.wolneKlastry) * klaster, 64 * 1024);
        QCOMPARE(raportWolnegoMiejsca(*pomiar, u','), u"Wolne miejsce na karcie: 64 kB"_s);

        // A book bigger than what is left fails on the card's own limit and
        // leaves nothing behind.
        QVERIFY(zapiszBajty(magazyn + u"duza.mp3"_s, QByteArray(80 * 1024, 'd')));
        const RaportKopiowania przepelniona =
            kopiujNaKarte(magazyn + u"duza.mp3"_s, karta, Obsluga().callbacks());
        QCOMPARE(przepelniona.wynik, WynikKopiowania::Blad);
        QVERIFY2(przepelniona.blad.contains(karta + u"duza.mp3"_s), qPrintable(przepelniona.blad));
        QCOMPARE(wpisyFolderu(karta), QStringList());

        // Fill the card to the last cluster, player.dat included.
        zapiszPlayerDat(karta);
        QFile wypelnienie(karta + u"wypelnienie"_s);
        QVERIFY(wypelnienie.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray klasterDanych(klaster, 'f');
        while (wypelnienie.write(klasterDanych) == klaster) {
        }
        wypelnienie.close();

        pomiar = zmierzKarte(karta, system);
        QVERIFY(pomiar);
        QCOMPARE(pomiar->wolumin.wolneKlastry, 0u);
        QVERIFY(pomiar->playerNaKarcie);
        QCOMPARE(raportWolnegoMiejsca(*pomiar, u','), u"Wolne miejsce na karcie: 0 kB"_s);
        QVERIFY(odmowaKopiowania(*pomiar, 0).has_value());
    }
};

QTEST_GUILESS_MAIN(TestCardFiles)
#include "tst_cardfiles.moc"
