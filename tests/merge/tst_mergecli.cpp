// sonvek-merge end to end on real MP3 files: the book, the index files and
// the printed log, and the failures with nothing lost.
#include "audio/Mp3Probe.h"
#include "merge/IndexFile.h"
#include "project/ProjectFile.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/RunTool.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

Mp3Spec ton(int ms, int rate = 44100, int channels = 1, bool vbr = false) {
    Mp3Spec s;
    s.durationMs = ms;
    s.sampleRate = rate;
    s.channels = channels;
    s.vbr = vbr;
    s.id3v2 = true;
    s.xing = vbr;
    return s;
}

Wynik uruchom(const QStringList& argumenty) {
    return uruchomNarzedzie(QStringLiteral("sonvek-merge"), argumenty);
}

} // namespace

class TestMergeCli : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString nagrania, magazyn, projekt;
    ListaPozycji pozycje;

    void dodaj(const QString& nazwa, const Mp3Spec& fmt, const char* poczatek = "0",
               const char* dlugosc = "5000") {
        makeMp3(nagrania + nazwa, fmt);
        pozycje.append({QString::number(pozycje.size() + 1), nazwa, QString::fromLatin1(poczatek),
                        QString::fromLatin1(dlugosc), nagrania});
    }
    QStringList logUdany(const QString& scalony, const QString& ostrzezenie = {}) const {
        QStringList log{QStringLiteral("Zapisywanie projektu do pliku ") + scalony};
        for (const PozycjaProjektu& p : pozycje)
            log << QStringLiteral("Trwa dodawanie pliku:: ") + p.sciezka()
                << QStringLiteral("Dodawanie pliku zakończone powodzeniem");
        if (!ostrzezenie.isEmpty())
            log << ostrzezenie;
        return log << QStringLiteral("Sklejanie zakonczone powodzeniem")
                   << QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem")
                   << QStringLiteral("Scalanie plików zakończone powodzeniem");
    }

private slots:
    void init() {
        QDir(tmp.path()).removeRecursively();
        nagrania = tmp.filePath(QStringLiteral("nagrania/"));
        magazyn = tmp.filePath(QStringLiteral("Magazyn"));
        projekt = tmp.filePath(QStringLiteral("projekt.xml"));
        QVERIFY(QDir().mkpath(nagrania));
        QVERIFY(QDir().mkpath(magazyn));
        pozycje.clear();
    }

    // VBR parts with their own Xing headers: the book is measured frame by
    // frame, so its duration is the sum of the parts, not what the first
    // part's header says.
    void mergesProject() {
        dodaj(QStringLiteral("rozdział 1.mp3"), ton(3000, 44100, 2, true), "500", "2000");
        dodaj(QStringLiteral("rozdział 2.mp3"), ton(1500, 44100, 2, true), "0", "1500");
        dodaj(QStringLiteral("rozdział 3.mp3"), ton(2200, 44100, 2, true), "100", "$3E8");
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + QStringLiteral("/Książka.mp3");

        const Wynik w = uruchom({projekt, scalony});
        QCOMPARE(w.bledy, QString());
        QCOMPARE(w.kod, 0);
        QCOMPARE(w.wyjscie, logUdany(scalony));

        QStringList czesci;
        QList<WpisIndeksu> wpisy;
        std::int64_t sumaCzesci = 0;
        for (const PozycjaProjektu& p : std::as_const(pozycje)) {
            czesci << p.sciezka();
            wpisy.append({p.Poczatek, p.Dlugosc, QFileInfo(p.sciezka()).size(), {}});
            sumaCzesci += probeMp3(p.sciezka()).lengthMs;
        }
        const QByteArray ksiazka = bajtyPliku(scalony);
        QCOMPARE(ksiazka, bajtyPliku(joinFiles(tmp.filePath(QStringLiteral("razem.mp3")), czesci)));
        const std::int64_t czas = probeMp3(scalony).lengthMs;
        QVERIFY2(qAbs(czas - sumaCzesci) < 3 * 27, qPrintable(QString::number(czas)));
        QCOMPARE(bajtyPliku(magazyn + QStringLiteral("/Książka.dat")),
                 trescDat(ksiazka.size(), czas, wpisy));
        QCOMPARE(bajtyPliku(magazyn + QStringLiteral("/Książka.log")),
                 QByteArray("0000000 0000000"));
        QCOMPARE(zawartoscFolderu(magazyn).size(), 3);
    }

    // Parts of another sample rate or channel count: a warning naming the
    // first that differs, and the merge goes on.
    void warnsAboutFormat() {
        dodaj(QStringLiteral("a.mp3"), ton(1000, 44100, 1));
        dodaj(QStringLiteral("b.mp3"), ton(1000, 44100, 1));
        dodaj(QStringLiteral("c.mp3"), ton(1000, 22050, 1));
        dodaj(QStringLiteral("d.mp3"), ton(1000, 44100, 2));
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + QStringLiteral("/k.mp3");
        const Wynik w = uruchom({projekt, scalony});
        QCOMPARE(w.kod, 0);
        const QString ostrzezenie = w.wyjscie.value(9);
        QVERIFY2(ostrzezenie.startsWith(QStringLiteral("Uwaga: plik ") + nagrania +
                                        QStringLiteral("c.mp3")),
                 qPrintable(ostrzezenie));
        QCOMPARE(w.wyjscie, logUdany(scalony, ostrzezenie));
    }

    // Failures: non-zero status, the reason on the standard error output,
    // and the earlier book with its index files as they were.
    void failures_data() {
        QTest::addColumn<QString>("przypadek");
        QTest::addColumn<int>("kod");
        QTest::addColumn<QString>("blad");
        QTest::newRow("missing entries") << QStringLiteral("brak") << 1
                                         << QStringLiteral("Nie odnaleziono następujących plików");
        QTest::newRow("not MP3") << QStringLiteral("tekst") << 1 << QStringLiteral("Błąd: Plik ");
        QTest::newRow("bookmark not a number")
            << QStringLiteral("zakladka") << 1
            << QStringLiteral("Błąd: 'abc' is not a valid integer value");
        QTest::newRow("book is an entry")
            << QStringLiteral("wpis") << 1 << QStringLiteral("Błąd: Nie można scalić plików do ");
        QTest::newRow("not a project") << QStringLiteral("korzen") << 1
                                       << QStringLiteral("Nieprawidlowy plik z danymi o projekcie");
        QTest::newRow("no project file")
            << QStringLiteral("bez pliku") << 1 << QStringLiteral("Błąd: ");
        QTest::newRow("wrong arguments")
            << QStringLiteral("argumenty") << 2 << QStringLiteral("Użycie: sonvek-merge");
    }
    void failures() {
        QFETCH(QString, przypadek);
        QFETCH(int, kod);
        QFETCH(QString, blad);
        dodaj(QStringLiteral("a.mp3"), ton(500));
        dodaj(QStringLiteral("b.mp3"), ton(500));
        dodaj(QStringLiteral("c.mp3"), ton(500));
        QString scalony = magazyn + QStringLiteral("/k.mp3");
        QVERIFY(zapiszBajty(scalony, "stara"));
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.dat"), "0\t1"));
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.log"), "0000000 0000000"));
        QStringList argumenty{projekt, scalony};
        if (przypadek == QLatin1String("brak")) {
            QFile::remove(pozycje[0].sciezka());
            QFile::remove(pozycje[2].sciezka());
        }
        if (przypadek == QLatin1String("tekst"))
            QVERIFY(zapiszBajty(pozycje[1].sciezka(), "To nie jest dźwięk."));
        if (przypadek == QLatin1String("zakladka"))
            pozycje[2].Dlugosc = QStringLiteral("abc");
        if (przypadek == QLatin1String("wpis"))
            argumenty[1] = pozycje[1].sciezka();
        zapiszPlikProjektu(projekt, pozycje);
        if (przypadek == QLatin1String("korzen"))
            QVERIFY(zapiszBajty(projekt, "<?xml version=\"1.0\"?><project></project>"));
        if (przypadek == QLatin1String("bez pliku"))
            argumenty[0] = tmp.filePath(QStringLiteral("brak.xml"));
        if (przypadek == QLatin1String("argumenty"))
            argumenty.removeLast();
        const auto przedMagazyn = zawartoscFolderu(magazyn);
        const auto przedNagrania = zawartoscFolderu(nagrania);

        const Wynik w = uruchom(argumenty);
        QCOMPARE(w.kod, kod);
        QVERIFY2(w.bledy.contains(blad), qPrintable(w.bledy));
        QVERIFY(!w.wyjscie.contains(QStringLiteral("Scalanie plików zakończone powodzeniem")));
        QCOMPARE(zawartoscFolderu(magazyn), przedMagazyn);
        QCOMPARE(zawartoscFolderu(nagrania), przedNagrania);
        if (przypadek == QLatin1String("brak")) {
            QVERIFY(w.bledy.contains(pozycje[0].sciezka()));
            QVERIFY(w.bledy.contains(pozycje[2].sciezka()));
            QVERIFY(!w.bledy.contains(pozycje[1].sciezka()));
        }
    }
};

QTEST_GUILESS_MAIN(TestMergeCli)
#include "tst_mergecli.moc"
