#include "base/Errors.h"
#include "merge/Odcinki.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Tmpfs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>
#include <sys/stat.h>
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
