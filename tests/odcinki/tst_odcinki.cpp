#include "base/Errors.h"
#include "base/ZapisAtomowy.h"
#include "odcinki/Odcinki.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Tmpfs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

Mp3Format format(int rate, int channels) {
    Mp3Format fmt;
    fmt.durationMs = 150;
    fmt.sampleRate = rate;
    fmt.channels = channels;
    return fmt;
}

// Entries a0 .. a2 ("E0" ..) in `folder`, clips 001, 002 ("C1", "C2").
ListaPozycji projekt(const QString& folder, const QString& odcinki) {
    ListaPozycji lista;
    for (int i = 0; i < 3; ++i) {
        const QString nazwa = u"a%1.mp3"_s.arg(i);
        zapiszBajty(folder + nazwa, "E" + QByteArray::number(i));
        if (i > 0)
            zapiszBajty(odcinki + nazwaZapowiedzi(i), "C" + QByteArray::number(i));
        lista.append({QString::number(i + 1), nazwa, u"0"_s, u"0"_s, folder});
    }
    return lista;
}

QByteArrayList tresci(const ListaPozycji& lista) {
    QByteArrayList wynik;
    for (const PozycjaProjektu& p : lista)
        wynik.append(bajtyPliku(p.sciezka()));
    return wynik;
}

int g_doZabicia = 0; // the sync call at which the child process dies
int zabijPrzySynchronizacji(int fd) {
    if (--g_doZabicia == 0)
        ::raise(SIGKILL);
    return ::fsync(fd);
}

} // namespace

class TestOdcinki : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir; // a fresh one for every test
    QString path(const QString& name) const { return dir->filePath(name); }

private slots:
    void init() {
        dir.emplace();
        QVERIFY(dir->isValid());
    }

    void clipNames_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::newRow("1") << 1 << u"001.mp3"_s;
        QTest::newRow("9") << 9 << u"009.mp3"_s;
        QTest::newRow("10") << 10 << u"010.mp3"_s;
        QTest::newRow("99") << 99 << u"099.mp3"_s;
        QTest::newRow("100") << 100 << u"0100.mp3"_s;
        QTest::newRow("999") << 999 << u"0999.mp3"_s;
    }
    void clipNames() {
        QFETCH(int, row);
        QFETCH(QString, name);
        QCOMPARE(nazwaZapowiedzi(row), name);
    }

    // A file the user marked read-only is refused even where the system
    // would let it be replaced (a writable folder, administrator rights);
    // a rewritten file keeps its permissions.
    void permissions_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("0644") << 0644 << true;
        QTest::newRow("0444") << 0444 << false;
        QTest::newRow("0464 group may write") << 0464 << false;
    }
    void permissions() {
        QFETCH(int, mode);
        QFETCH(bool, rewritten);
        const QString clip = path(u"001.mp3"_s);
        const QString entry = path(u"rozdział 1.mp3"_s);
        QVERIFY(zapiszBajty(clip, "CLIP"));
        QVERIFY(zapiszBajty(entry, "ENTRY"));
        QVERIFY(::chmod(QFile::encodeName(entry).constData(), mode_t(mode)) == 0);
        const auto before = QFile::permissions(entry);
        const QStringList files = wpisyFolderu(dir->path());
        try {
            dolaczZapowiedz(clip, entry);
            QVERIFY(rewritten);
            QCOMPARE(bajtyPliku(entry), QByteArray("CLIPENTRY"));
        } catch (const EInOutError& e) {
            QVERIFY2(!rewritten, qPrintable(e.text()));
            QVERIFY(e.text().contains(entry));
            QVERIFY(e.text().contains(u"tylko do odczytu"_s));
            QCOMPARE(bajtyPliku(entry), QByteArray("ENTRY"));
        }
        QCOMPARE(QFile::permissions(entry), before);
        QCOMPARE(wpisyFolderu(dir->path()), files);
    }

    // Joined content written first under a fixed temporary name would empty
    // an entry of that name before it is read.
    void entryNamedLikeTemporaryFile() {
        const QString clip = path(u"001.mp3"_s);
        const QString entry = path(u"tmp12345678.mp3"_s);
        QVERIFY(zapiszBajty(clip, "CLIP"));
        QVERIFY(zapiszBajty(entry, "ENTRY"));
        dolaczZapowiedz(clip, entry);
        QCOMPARE(bajtyPliku(entry), QByteArray("CLIPENTRY"));
        QCOMPARE(wpisyFolderu(dir->path()), (QStringList{u"001.mp3"_s, u"tmp12345678.mp3"_s}));
    }

    void fullDiskLeavesEntryWhole() {
        if (::geteuid() != 0)
            QSKIP("mounting a small tmpfs needs root");
        const QString folder = path(u"maly"_s);
        QVERIFY(QDir().mkpath(folder));
        Tmpfs tmpfs(folder, "size=64k,mode=0777");
        if (!tmpfs.zamontowany)
            QSKIP("this system does not allow mounting a tmpfs");
        const QString clip = path(u"001.mp3"_s);
        const QString entry = folder + u"/rozdział.mp3"_s;
        QVERIFY(zapiszBajty(clip, QByteArray(40 * 1024, 'c')));
        QVERIFY(zapiszBajty(entry, QByteArray(30 * 1024, 'e')));
        try {
            dolaczZapowiedz(clip, entry);
            QFAIL("a joined file larger than the disk was reported as written");
        } catch (const EInOutError& e) {
            QVERIFY2(e.text().contains(entry), qPrintable(e.text()));
        }
        QCOMPARE(bajtyPliku(entry), QByteArray(30 * 1024, 'e'));
        QCOMPARE(wpisyFolderu(folder), QStringList{u"rozdział.mp3"_s});
    }

    // An original on the same file system is kept as a second name of the
    // same file, no bytes copied; on another one, as a copy. Either way
    // undo puts it back and redo the joined file.
    void keepsOriginals_data() {
        QTest::addColumn<bool>("otherDisk");
        QTest::newRow("same file system") << false;
        QTest::newRow("other file system") << true;
    }
    void keepsOriginals() {
        QFETCH(bool, otherDisk);
        const QString ksiazka = path(u"książka/"_s), odcinki = path(u"odcinki/"_s),
                      oryginaly = path(u"oryginały/"_s);
        QVERIFY(QDir().mkpath(ksiazka) && QDir().mkpath(odcinki));
        std::optional<Tmpfs> tmpfs;
        if (otherDisk) {
            if (::geteuid() != 0)
                QSKIP("mounting a tmpfs needs root");
            tmpfs.emplace(ksiazka, "size=1m,mode=0777");
            if (!tmpfs->zamontowany)
                QSKIP("this system does not allow mounting a tmpfs");
        }
        const ListaPozycji lista = projekt(ksiazka, odcinki);
        struct stat przed {};
        QVERIFY(::stat(QFile::encodeName(lista[1].sciezka()).constData(), &przed) == 0);

        WstawioneOdcinki wynik;
        wstawOdcinki(odcinki, lista, oryginaly, wynik);
        QCOMPARE(tresci(lista), (QByteArrayList{"E0", "C1E1", "C2E2"}));
        QCOMPARE(wynik.pliki.size(), 2);
        QVERIFY(wynik.folderKopii.startsWith(oryginaly));
        const QString kopia = wynik.pliki[0].przed;
        QCOMPARE(bajtyPliku(kopia), QByteArray("E1"));
        struct stat po {};
        QVERIFY(::stat(QFile::encodeName(kopia).constData(), &po) == 0);
        QCOMPARE(po.st_ino == przed.st_ino && po.st_dev == przed.st_dev, !otherDisk);
        QVERIFY(bajtyPliku(wynik.folderKopii + u"spis.txt"_s)
                    .contains("pozycja-002.mp3\t" + lista[1].sciezka().toUtf8()));

        przywrocOdcinki(wynik.pliki, true);
        QCOMPARE(tresci(lista), (QByteArrayList{"E0", "E1", "E2"}));
        przywrocOdcinki(wynik.pliki, false);
        QCOMPARE(tresci(lista), (QByteArrayList{"E0", "C1E1", "C2E2"}));
        QCOMPARE(wpisyFolderu(ksiazka), (QStringList{u"a0.mp3"_s, u"a1.mp3"_s, u"a2.mp3"_s}));
    }

    // Only the insertions' own folders older than the time kept go.
    void removesOldOriginals() {
        const QString oryginaly = path(u"oryginały/"_s);
        const QDateTime teraz(QDate(2026, 12, 9), QTime(12, 0));
        const QStringList stare{u"2026-11-08_11-59-59"_s, u"2026-01-01_00-00-00_2"_s};
        const QStringList zostaja{u"2026-11-09_12-00-01"_s, u"2026-12-09_11-00-00"_s,
                                  u"moje kopie"_s, u"2020-01-01"_s};
        for (const QString& nazwa : stare + zostaja) {
            QVERIFY(QDir().mkpath(oryginaly + nazwa));
            QVERIFY(zapiszBajty(oryginaly + nazwa + u"/002.mp3"_s, "E"));
        }
        QVERIFY(QDir().mkpath(path(u"gdzie indziej"_s)));
        QVERIFY(QFile::link(path(u"gdzie indziej"_s), oryginaly + u"2000-01-01_00-00-00"_s));
        usunStareOryginaly(oryginaly, teraz);
        QStringList wynik = zostaja + QStringList{u"2000-01-01_00-00-00"_s};
        wynik.sort();
        QCOMPARE(wpisyFolderu(oryginaly), wynik);
        QVERIFY(QFileInfo::exists(path(u"gdzie indziej"_s)));
    }

    // An insertion killed at any point is finished by the next run: every
    // file gets exactly one clip, every original is kept, and nothing the
    // writer left stays in the entries' folder.
    void interruptedInsertionIsFinishedByTheNextRun_data() {
        QTest::addColumn<int>("killAtSync");
        for (int n = 1; n <= 8; ++n)
            QTest::addRow("sync %d", n) << n;
    }
    void interruptedInsertionIsFinishedByTheNextRun() {
        QFETCH(int, killAtSync);
        const QString ksiazka = path(u"książka/"_s), odcinki = path(u"odcinki/"_s),
                      oryginaly = path(u"oryginały/"_s);
        QVERIFY(QDir().mkpath(ksiazka) && QDir().mkpath(odcinki));
        const ListaPozycji lista = projekt(ksiazka, odcinki);

        const pid_t dziecko = ::fork();
        QVERIFY(dziecko >= 0);
        if (dziecko == 0) {
            g_doZabicia = killAtSync;
            ZapisAtomowy::ustawSynchronizacje(&zabijPrzySynchronizacji);
            WstawioneOdcinki wynik;
            try {
                wstawOdcinki(odcinki, lista, oryginaly, wynik);
            } catch (...) {
            }
            ::_exit(0);
        }
        int stan = 0;
        QCOMPARE(::waitpid(dziecko, &stan, 0), dziecko);
        QVERIFY(WIFSIGNALED(stan));

        WstawioneOdcinki wynik;
        wstawOdcinki(odcinki, lista, oryginaly, wynik);
        QCOMPARE(tresci(lista), (QByteArrayList{"E0", "C1E1", "C2E2"}));
        QCOMPARE(wpisyFolderu(ksiazka), (QStringList{u"a0.mp3"_s, u"a1.mp3"_s, u"a2.mp3"_s}));
        QByteArrayList kopie;
        for (const QString& run : QDir(oryginaly).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            for (const QString& f : QDir(oryginaly + run).entryList({u"pozycja-*.mp3"_s}))
                kopie.append(bajtyPliku(oryginaly + run + u'/' + f));
        QVERIFY2(kopie.contains("E1") && kopie.contains("E2"), kopie.join(' ').constData());
    }

    // Row 0 never gets a clip; row 1 agrees; row 2 is the one that varies.
    void parameterMismatch_data() {
        QTest::addColumn<QString>("clip"); // "" missing, "x" not MP3, else "rate/channels"
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("expected"); // empty: no mismatch
        QTest::newRow("same") << u"44100/1"_s << u"44100/1"_s << QString();
        QTest::newRow("rate") << u"22050/1"_s << u"44100/1"_s
                              << u"002.mp3: 22050 Hz, mono; rozdział 2.mp3: 44100 Hz, mono"_s;
        QTest::newRow("channels") << u"44100/1"_s << u"44100/2"_s
                                  << u"002.mp3: 44100 Hz, mono; rozdział 2.mp3: 44100 Hz, stereo"_s;
        QTest::newRow("both") << u"22050/2"_s << u"48000/1"_s
                              << u"002.mp3: 22050 Hz, stereo; rozdział 2.mp3: 48000 Hz, mono"_s;
        QTest::newRow("clip missing") << QString() << u"44100/2"_s << QString();
        QTest::newRow("clip not MP3") << u"x"_s << u"44100/2"_s << QString();
        QTest::newRow("entry missing") << u"22050/1"_s << QString() << QString();
    }
    void parameterMismatch() {
        QFETCH(QString, clip);
        QFETCH(QString, entry);
        QFETCH(QString, expected);
        const QString folder = path(u"odcinki/"_s);
        QVERIFY(QDir().mkpath(folder));
        const auto make = [](const QString& file, const QString& what) {
            if (what == u"x"_s)
                QVERIFY(zapiszBajty(file, "plain text, no audio"));
            else if (!what.isEmpty())
                makeMp3(file,
                        format(what.section(u'/', 0, 0).toInt(), what.section(u'/', 1, 1).toInt()));
        };
        make(path(u"rozdział 0.mp3"_s), u"22050/2"_s);
        make(path(u"rozdział 1.mp3"_s), u"44100/1"_s);
        make(folder + u"001.mp3"_s, u"44100/1"_s);
        make(path(u"rozdział 2.mp3"_s), entry);
        make(folder + u"002.mp3"_s, clip);
        ListaPozycji lista;
        for (int i = 0; i < 3; ++i)
            lista.append({QString::number(i + 1), u"rozdział %1.mp3"_s.arg(i), u"0"_s, u"0"_s,
                          dir->path() + u'/'});
        QCOMPARE(pierwszaRozbieznosc(folder, lista).value_or(QString()), expected);
    }
};

QTEST_GUILESS_MAIN(TestOdcinki)
#include "tst_odcinki.moc"
