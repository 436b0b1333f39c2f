// sonvek-merge end to end on real MP3 files: the book, the index files and
// the printed log, entries with bytes that are no audio, the failures and
// the signals that end it, with nothing lost.
#include "audio/Mp3Probe.h"
#include "base/Text.h"
#include "merge/IndexFile.h"
#include "merge/Miernik.h"
#include "project/ProjectFile.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/Podpiecie.h"
#include "support/RunTool.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace Qt::StringLiterals;

namespace {

Mp3Format ton(int ms, int rate = 44100, int channels = 1, bool vbr = false) {
    Mp3Format s;
    s.durationMs = ms;
    s.sampleRate = rate;
    s.channels = channels;
    s.vbr = vbr;
    s.id3v2 = true;
    s.xing = vbr;
    return s;
}

QString programScalania() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/sonvek-merge");
}

Wynik uruchom(const QStringList& argumenty) {
    return uruchomNarzedzie(QStringLiteral("sonvek-merge"), argumenty);
}

// sonvek-merge allowed to write files of 4 KB at most (ulimit -f). The
// program itself ignores SIGXFSZ, so a longer write fails with EFBIG.
Wynik uruchomZLimitem(const QStringList& argumenty) {
    return uruchomNarzedzie(QStringLiteral("sonvek-merge"), argumenty,
                            QStringLiteral("ulimit -f 8"));
}

// The numbers of a .dat file, in order.
QList<int> liczby(const QByteArray& dat) {
    QList<int> wynik;
    for (const QByteArray& wiersz : dat.split('\n'))
        for (const QByteArray& pole : wiersz.trimmed().split('\t'))
            wynik.append(pole.toInt());
    return wynik;
}

} // namespace

class TestMergeCli : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString nagrania, magazyn, projekt;
    ListaPozycji pozycje;

    void dodaj(const QString& nazwa, const Mp3Format& fmt, const char* poczatek = "0",
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
    // part's header says. With --dokladny-indeks each bookmark is placed on
    // the frames of its part instead.
    void mergesProject_data() {
        QTest::addColumn<QStringList>("opcje");
        QTest::newRow("average rate") << QStringList();
        QTest::newRow("exact index") << QStringList{QStringLiteral("--dokladny-indeks")};
    }
    void mergesProject() {
        QFETCH(QStringList, opcje);
        dodaj(QStringLiteral("rozdział 1.mp3"), ton(3000, 44100, 2, true), "500", "2000");
        dodaj(QStringLiteral("rozdział 2.mp3"), ton(1500, 44100, 2, true), "0", "1500");
        dodaj(QStringLiteral("rozdział 3.mp3"), ton(2200, 44100, 2, true), "100", "$3E8");
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + QStringLiteral("/Książka.mp3");

        const Wynik w = uruchom(opcje + QStringList{projekt, scalony});
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
            if (!opcje.isEmpty())
                wpisy.last().dokladnie =
                    miernikMp3()(p.sciezka())
                        .ramki.zakladka(StrToInt(p.Poczatek), StrToInt(p.Dlugosc));
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
        for (const QString& opcja : std::as_const(opcje))
            QVERIFY(uruchom({QStringLiteral("--help")}).wyjscie.contains(u"  "_s + opcja));
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

    // Bytes that are no audio inside an entry, between its frames and after
    // them: a warning names the file and the bytes passed over, and the
    // index agrees with one computed from the duration LAME's own decoder
    // gives for the audio parts.
    void junkInsideAnEntry_data() {
        QTest::addColumn<QByteArray>("srodek");
        QTest::addColumn<QByteArray>("koniec");
        QTest::newRow("zeros between, random after")
            << QByteArray(1024, '\0') << randomBytes(4096, 3);
        QTest::newRow("a WAV file between") << makeWavData(400) << QByteArray();
    }
    void junkInsideAnEntry() {
        QFETCH(QByteArray, srodek);
        QFETCH(QByteArray, koniec);
        QStringList czesci;
        for (const int ms : {1500, 1200, 1300, 1000})
            czesci << makeMp3(tmp.filePath(QStringLiteral("część%1.mp3").arg(czesci.size())), [ms] {
                Mp3Format s = ton(ms);
                s.id3v2 = false;
                return s;
            }());
        QVERIFY(zapiszBajty(nagrania + QStringLiteral("a.mp3"), bajtyPliku(czesci[0])));
        QVERIFY(zapiszBajty(nagrania + QStringLiteral("b.mp3"),
                            bajtyPliku(czesci[1]) + srodek + bajtyPliku(czesci[2]) + koniec));
        QVERIFY(zapiszBajty(nagrania + QStringLiteral("c.mp3"), bajtyPliku(czesci[3])));
        const char* zakladki[3][2] = {{"0", "1000"}, {"1500", "800"}, {"200", "500"}};
        for (int i = 0; i < 3; ++i)
            pozycje.append({QString::number(i + 1), QStringLiteral("%1.mp3").arg(QChar(u'a' + i)),
                            QString::fromLatin1(zakladki[i][0]),
                            QString::fromLatin1(zakladki[i][1]), nagrania});
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + QStringLiteral("/k.mp3");

        const Wynik w = uruchom({projekt, scalony});
        QCOMPARE(w.kod, 0);
        const QString b = pozycje[1].sciezka();
        const qsizetype i = w.wyjscie.indexOf(QStringLiteral("Trwa dodawanie pliku:: ") + b);
        QVERIFY(w.wyjscie.value(i + 1).startsWith(QStringLiteral("Uwaga: w pliku %1 pominięto %2 ")
                                                      .arg(b)
                                                      .arg(srodek.size() + koniec.size())));
        QCOMPARE(w.wyjscie.filter(QStringLiteral("Uwaga")).size(), 1);

        double zdekodowane = 0;
        for (const QString& c : std::as_const(czesci))
            zdekodowane += decodeMp3(c).lengthMs;
        QList<WpisIndeksu> wpisy;
        for (const PozycjaProjektu& p : std::as_const(pozycje))
            wpisy.append({p.Poczatek, p.Dlugosc, QFileInfo(p.sciezka()).size(), {}});
        const QByteArray oczekiwane =
            trescDat(QFileInfo(scalony).size(), std::llround(zdekodowane), wpisy);
        const QByteArray zapisane = bajtyPliku(magazyn + QStringLiteral("/k.dat"));
        const QList<int> x = liczby(zapisane), y = liczby(oczekiwane);
        QCOMPARE(x.size(), y.size());
        for (qsizetype k = 0; k < x.size(); ++k)
            QVERIFY2(qAbs(x[k] - y[k]) <= 1, (zapisane + " / " + oczekiwane).constData());
    }

    // Ended by a signal while the book is being written, sonvek-merge
    // leaves no temporary file and the earlier book as it was. Its log goes
    // into a pipe that nobody reads, so the merge is still running (waiting
    // to write) when the signal comes; SIGPIPE comes when the reading end
    // is closed, as when the output is piped into "head -1".
    void signalLeavesNoTemporaryFile_data() {
        QTest::addColumn<int>("sygnal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGPIPE") << SIGPIPE;
    }
    void signalLeavesNoTemporaryFile() {
        QFETCH(int, sygnal);
        dodaj(QStringLiteral("a.mp3"), ton(300));
        for (int i = 0; i < 20000; ++i)
            pozycje.append(pozycje.first());
        zapiszPlikProjektu(projekt, pozycje);
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.mp3"), "stara"));
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.dat"), "0\t1"));
        const auto przed = zawartoscFolderu(magazyn);

        int rura[2];
        QCOMPARE(::pipe(rura), 0);
        posix_spawn_file_actions_t akcje;
        posix_spawn_file_actions_init(&akcje);
        posix_spawn_file_actions_adddup2(&akcje, rura[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&akcje, rura[0]);
        posix_spawn_file_actions_addclose(&akcje, rura[1]);
        const QByteArray program = QFile::encodeName(programScalania());
        const QByteArray a1 = QFile::encodeName(projekt);
        const QByteArray a2 = QFile::encodeName(magazyn + QStringLiteral("/k.mp3"));
        char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(a1.constData()),
                        const_cast<char*>(a2.constData()), nullptr};
        pid_t pid = 0;
        const int blad = posix_spawn(&pid, program.constData(), &akcje, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&akcje);
        ::close(rura[1]);
        QCOMPARE(blad, 0);
        auto tymczasowe = [&] {
            return QStringList(zawartoscFolderu(magazyn).keys()).filter(QStringLiteral(".tmp"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(!tymczasowe().isEmpty(), 60000);
        if (sygnal == SIGPIPE)
            ::close(rura[0]);
        else
            ::kill(pid, sygnal);
        int stan = 0;
        QCOMPARE(::waitpid(pid, &stan, 0), pid);
        if (sygnal != SIGPIPE)
            ::close(rura[0]);
        QVERIFY(WIFSIGNALED(stan));
        QCOMPARE(WTERMSIG(stan), sygnal);
        QCOMPARE(tymczasowe(), QStringList());
        QCOMPARE(zawartoscFolderu(magazyn), przed);
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
        QTest::newRow("WAV file as an entry")
            << QStringLiteral("wav") << 1 << QStringLiteral("nie jest plikiem dźwiękowym MP3");
        QTest::newRow("entry without its length")
            << QStringLiteral("niepelny") << 1
            << QStringLiteral("wpis 2 nie ma elementu „dlugosc” albo jest on pusty");
        QTest::newRow("book is the project file")
            << QStringLiteral("projekt") << 1 << QStringLiteral("to plik projektu");
        QTest::newRow("FIFO entry") << QStringLiteral("fifo") << 1
                                    << QStringLiteral("to jest potok (FIFO), a nie zwykły plik");
        QTest::newRow("bookmark not a number")
            << QStringLiteral("zakladka") << 1
            << QStringLiteral("Błąd: 'abc' is not a valid integer value");
        QTest::newRow("book is an entry")
            << QStringLiteral("wpis") << 1 << QStringLiteral("Błąd: Nie można scalić plików do ");
        QTest::newRow("book is the project file through a bind mount")
            << QStringLiteral("projekt przez alias") << 1 << QStringLiteral("to plik projektu");
        QTest::newRow("file size limit")
            << QStringLiteral("ulimit") << 1
            << QStringLiteral("Błąd: Nie można zapisać pliku %1/k.mp3: plik przekroczyłby ");
        QTest::newRow("not a project") << QStringLiteral("korzen") << 1
                                       << QStringLiteral("Nieprawidlowy plik z danymi o projekcie");
        QTest::newRow("no project file")
            << QStringLiteral("bez pliku") << 1 << QStringLiteral("Błąd: ");
        QTest::newRow("not XML: the reason in Polish, as in the window")
            << QStringLiteral("xml") << 1 << QStringLiteral("Niezgodne tagi początku i końca");
        QTest::newRow("wrong arguments")
            << QStringLiteral("argumenty") << 2 << QStringLiteral("Użycie: sonvek-merge");
        QTest::newRow("levelling target that is no loudness")
            << QStringLiteral("cel") << 2 << QStringLiteral("głośność docelowa \u201e-3\u201d");
    }
    void failures() {
        QFETCH(QString, przypadek);
        QFETCH(int, kod);
        QFETCH(QString, blad);
        dodaj(QStringLiteral("a.mp3"), ton(500));
        dodaj(QStringLiteral("b.mp3"), ton(500));
        dodaj(QStringLiteral("c.mp3"), ton(500));
        blad.replace(QStringLiteral("%1"), magazyn);
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
        if (przypadek == QLatin1String("wav"))
            QVERIFY(zapiszBajty(pozycje[1].sciezka(), makeWavData(500)));
        if (przypadek == QLatin1String("niepelny"))
            pozycje[1].Dlugosc.clear();
        if (przypadek == QLatin1String("projekt"))
            argumenty[1] = projekt;
        if (przypadek == QLatin1String("fifo")) {
            QVERIFY(QFile::remove(pozycje[2].sciezka()));
            QCOMPARE(::mkfifo(QFile::encodeName(pozycje[2].sciezka()).constData(), 0600), 0);
        }
        if (przypadek == QLatin1String("zakladka"))
            pozycje[2].Dlugosc = QStringLiteral("abc");
        if (przypadek == QLatin1String("wpis"))
            argumenty[1] = pozycje[1].sciezka();
        QTemporaryDir alias;
        std::optional<Podpiecie> podpiecie;
        if (przypadek == QLatin1String("projekt przez alias")) {
            podpiecie.emplace(tmp.path(), alias.path());
            if (!podpiecie->zamontowany)
                QSKIP("a bind mount needs root");
            argumenty[1] = alias.filePath(QFileInfo(projekt).fileName());
        }
        zapiszPlikProjektu(projekt, pozycje);
        if (przypadek == QLatin1String("korzen"))
            QVERIFY(zapiszBajty(projekt, "<?xml version=\"1.0\"?><project></project>"));
        if (przypadek == QLatin1String("xml"))
            QVERIFY(zapiszBajty(projekt, "<?xml version=\"1.0\"?><projekt><p1></p2></projekt>"));
        if (przypadek == QLatin1String("bez pliku"))
            argumenty[0] = tmp.filePath(QStringLiteral("brak.xml"));
        if (przypadek == QLatin1String("argumenty"))
            argumenty.removeLast();
        if (przypadek == QLatin1String("cel"))
            argumenty.prepend(QStringLiteral("--wyrownaj-glosnosc=-3"));
        const auto przedMagazyn = zawartoscFolderu(magazyn);
        const auto przedNagrania = zawartoscFolderu(nagrania);
        const QByteArray przedProjekt = bajtyPliku(projekt);

        const Wynik w = przypadek == u"ulimit" ? uruchomZLimitem(argumenty) : uruchom(argumenty);
        QCOMPARE(w.kod, kod);
        QVERIFY2(w.bledy.contains(blad), qPrintable(w.bledy));
        QVERIFY(!w.wyjscie.contains(QStringLiteral("Scalanie plików zakończone powodzeniem")));
        QCOMPARE(zawartoscFolderu(magazyn), przedMagazyn);
        QCOMPARE(zawartoscFolderu(nagrania), przedNagrania);
        QCOMPARE(bajtyPliku(projekt), przedProjekt);
        // Refused before a byte is copied.
        if (przypadek == u"niepelny" || przypadek == u"projekt" || przypadek == u"fifo")
            QCOMPARE(w.wyjscie.filter(QStringLiteral("Trwa dodawanie")), QStringList());
        if (przypadek == QLatin1String("brak")) {
            QVERIFY(w.bledy.contains(pozycje[0].sciezka()));
            QVERIFY(w.bledy.contains(pozycje[2].sciezka()));
            QVERIFY(!w.bledy.contains(pozycje[1].sciezka()));
        }
    }
};

QTEST_GUILESS_MAIN(TestMergeCli)
#include "tst_mergecli.moc"
