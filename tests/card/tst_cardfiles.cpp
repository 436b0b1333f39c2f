#include "base/Errors.h"
#include "card/CardFiles.h"
#include "card/FreeSpace.h"
#include "card/KsiazkaNaKarcie.h"
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

    // player.dat under a link is not written, wherever the link points.
    void playerDatNeverThroughALink_data() {
        QTest::addColumn<bool>("zerwany");
        QTest::newRow("link to a file off the card") << false;
        QTest::newRow("dangling link") << true;
    }
    void playerDatNeverThroughALink() {
        QFETCH(bool, zerwany);
        const QString poza = magazyn + u"x.dat"_s;
        if (!zerwany)
            QVERIFY(zapiszBajty(poza, "poza karta"));
        QVERIFY(QFile::link(poza, karta + u"player.dat"_s));
        try {
            zapiszPlayerDat(karta);
            QFAIL("no error");
        } catch (const EInOutError& e) {
            QVERIFY2(e.text().contains(karta + u"player.dat jest dowiązaniem symbolicznym"_s),
                     qPrintable(e.text()));
        }
        QCOMPARE(QFileInfo::exists(poza), !zerwany);
        if (!zerwany)
            QCOMPARE(bajtyPliku(poza), QByteArray("poza karta"));
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
            kopiujKsiazkeNaKarte({magazyn + u"duza.mp3"_s}, karta, {});
        QCOMPARE(przepelniona.wynik, WynikKopiowania::Blad);
        QCOMPARE(przepelniona.blad, u"Nie można zapisać pliku %1: na karcie zabrakło miejsca"_s.arg(
                                        karta + u"duza.mp3"_s));
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
