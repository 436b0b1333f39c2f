// The tool that records announcement clips: its Polish texts and file
// names, and clips that really have the asked-for format.

#include "audio/Mp3Probe.h"
#include "odcinki/Odcinki.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "support/FileBytes.h"

using namespace Qt::StringLiterals;

class TestMakeAnnouncements : public QObject {
    Q_OBJECT
    QString tool;
    QHash<QString, QString> listed; // file name -> spoken text

    struct Result {
        int exitCode = -1;
        QString out;
    };
    Result run(const QStringList& args,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(tool, args);
        if (!p.waitForFinished(120000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput())};
    }

private slots:
    void initTestCase() {
        tool = QFINDTESTDATA("../../tools/make-announcements");
        QVERIFY(!tool.isEmpty());
        const Result r = run({u"--list"_s, u"-n"_s, u"2500"_s});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2500);
        for (const QString& line : lines)
            listed.insert(line.section(u'\t', 0, 0), line.section(u'\t', 1));
    }

    // The names follow the program's own rule; the words are Polish
    // masculine ordinals, with cardinal hundreds and thousands before more.
    void listsNamesAndOrdinals_data() {
        QTest::addColumn<int>("k");
        QTest::addColumn<QString>("text");
        QTest::newRow("1") << 1 << u"Odcinek pierwszy"_s;
        QTest::newRow("10") << 10 << u"Odcinek dziesiąty"_s;
        QTest::newRow("15") << 15 << u"Odcinek piętnasty"_s;
        QTest::newRow("42") << 42 << u"Odcinek czterdziesty drugi"_s;
        QTest::newRow("100") << 100 << u"Odcinek setny"_s;
        QTest::newRow("101") << 101 << u"Odcinek sto pierwszy"_s;
        QTest::newRow("300") << 300 << u"Odcinek trzechsetny"_s;
        QTest::newRow("256") << 256 << u"Odcinek dwieście pięćdziesiąty szósty"_s;
        QTest::newRow("999") << 999 << u"Odcinek dziewięćset dziewięćdziesiąty dziewiąty"_s;
        QTest::newRow("1000") << 1000 << u"Odcinek tysięczny"_s;
        QTest::newRow("2500") << 2500 << u"Odcinek dwa tysiące pięćsetny"_s;
    }
    void listsNamesAndOrdinals() {
        QFETCH(int, k);
        QFETCH(QString, text);
        QCOMPARE(listed.value(nazwaZapowiedzi(k)), text);
    }

    void makesClipsInTheAskedFormat_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::newRow("defaults") << QStringList() << 44100 << 1;
        QTest::newRow("22050 stereo")
            << QStringList{u"-r"_s, u"22050"_s, u"-c"_s, u"2"_s} << 22050 << 2;
    }
    void makesClipsInTheAskedFormat() {
        QFETCH(QStringList, args);
        QFETCH(int, rate);
        QFETCH(int, channels);
        for (const char* program : {"espeak-ng", "lame", "python3"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                QSKIP("espeak-ng, lame or python3 is not installed");
        }
        QTemporaryDir dir;
        const QString out = dir.filePath(u"odcinki"_s);
        const Result r = run(args + QStringList{u"-n"_s, u"2"_s, u"-o"_s, out});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u"001.mp3"_s, u"002.mp3"_s}));
        for (const QString& name : {u"001.mp3"_s, u"002.mp3"_s}) {
            const Mp3Info info = probeMp3(out + u'/' + name);
            QVERIFY(info.lengthMs > 300); // speech, not silence or a stub
            QCOMPARE(info.sampleRate, rate);
            QCOMPARE(info.channels, channels);
            QVERIFY(!info.mixedFormat);
        }
    }

    // Without -o the clips go where the program looks for them.
    void writesWhereTheProgramLooks() {
        for (const char* program : {"espeak-ng", "lame"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
                QSKIP("espeak-ng or lame is not installed");
        }
        QTemporaryDir dir;
        const QByteArray dataHome = dir.filePath(u"dane"_s).toUtf8();
        const QByteArray old = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", dataHome);
        const Result r = run({u"-n"_s, u"1"_s});
        const QString folder = folderZapowiedzi(dir.filePath(u"program"_s));
        qputenv("XDG_DATA_HOME", old);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(folder, dir.filePath(u"dane/sonvekmanager/odcinki/"_s));
        QVERIFY(QFileInfo::exists(folder + nazwaZapowiedzi(1)));
    }

    // A run ended by a signal, even one that cannot be caught, leaves no
    // partial clip and no work folder once the next run has started; what
    // a run still going has made is left alone. The speech and encoder
    // programs are stand-ins: each opens its output, writes half, sends the
    // tool the signal at a chosen call (STOP=program:call:signal) and writes
    // the rest, as a real encoder does while the shell waits for it.
    void interruptedRunsLeaveNothing_data() {
        QTest::addColumn<QString>("stop");
        QTest::newRow("TERM while speaking 1") << u"espeak-ng:1:TERM"_s;
        QTest::newRow("INT while encoding 1") << u"lame:1:INT"_s;
        QTest::newRow("HUP while encoding 3") << u"lame:3:HUP"_s;
        QTest::newRow("KILL while speaking 2") << u"espeak-ng:2:KILL"_s;
        QTest::newRow("KILL while encoding 2") << u"lame:2:KILL"_s;
        QTest::newRow("KILL while encoding 4") << u"lame:4:KILL"_s;
    }
    void interruptedRunsLeaveNothing() {
        QFETCH(QString, stop);
        QTemporaryDir dir;
        const QString bin = dir.filePath(u"bin"_s), tmp = dir.filePath(u"tmp"_s),
                      out = dir.filePath(u"odcinki"_s);
        QVERIFY(QDir().mkpath(bin) && QDir().mkpath(tmp));
        const QByteArray standIn = "#!/bin/bash\n"
                                   "me=${0##*/} n=1\n"
                                   "[[ -f $STUB_DIR/$me.n ]] && n=$(( $(<$STUB_DIR/$me.n) + 1 ))\n"
                                   "echo $n >$STUB_DIR/$me.n\n"
                                   "if [[ $me == lame ]]; then o=${*: -1}; else o=$4; fi\n"
                                   "exec 3>\"$o\"\n"
                                   "printf 'first half ' >&3\n"
                                   "[[ $STOP == $me:$n:* ]] && kill -s \"${STOP##*:}\" $PPID\n"
                                   "printf 'second half' >&3\n";
        for (const QString& name : {u"espeak-ng"_s, u"lame"_s}) {
            QVERIFY(zapiszBajty(bin + u'/' + name, standIn));
            QVERIFY(QFile::setPermissions(bin + u'/' + name, QFile::ReadOwner | QFile::ExeOwner));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"PATH"_s, bin + u':' + env.value(u"PATH"_s));
        env.insert(u"TMPDIR"_s, tmp);
        env.insert(u"STUB_DIR"_s, bin);
        env.insert(u"STOP"_s, stop);
        const QStringList args{u"-n"_s, u"4"_s, u"-o"_s, out};
        const auto clips = [](int n) {
            QStringList names;
            for (int k = 1; k <= n; ++k)
                names << nazwaZapowiedzi(k);
            return names;
        };

        QVERIFY(run(args, env).exitCode != 0);
        const int whole = stop.section(u':', 1, 1).toInt() - 1;
        if (!stop.endsWith(u"KILL"_s)) {
            QCOMPARE(wpisyFolderu(out), clips(whole));
            QCOMPARE(wpisyFolderu(tmp), QStringList());
        }
        for (const QString& name : clips(whole))
            QCOMPARE(bajtyPliku(out + u'/' + name), QByteArray("first half second half"));

        const QString self = QString::number(QCoreApplication::applicationPid());
        const QString livePart = u".004.mp3.%1.part"_s.arg(self);
        const QString liveWork = u"sonvek-zapowiedzi.%1.Ab12Cd"_s.arg(self);
        QVERIFY(zapiszBajty(out + u'/' + livePart, "being written"));
        QVERIFY(QDir().mkpath(tmp + u'/' + liveWork));
        for (const QString& f : {bin + u"/espeak-ng.n"_s, bin + u"/lame.n"_s})
            QFile::remove(f);
        env.remove(u"STOP"_s);
        QCOMPARE(run(args, env).exitCode, 0);
        QStringList left = wpisyFolderu(out), expected = clips(4) << livePart;
        left.sort();
        expected.sort();
        QCOMPARE(left, expected);
        QCOMPARE(wpisyFolderu(tmp), QStringList{liveWork});
    }

    void refusesBadOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("count 0") << QStringList{u"-n"_s, u"0"_s};
        QTest::newRow("count missing") << QStringList{u"-n"_s};
        QTest::newRow("rate not MP3") << QStringList{u"-r"_s, u"44000"_s};
        QTest::newRow("three channels") << QStringList{u"-c"_s, u"3"_s};
    }
    void refusesBadOptions() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const QString out = dir.filePath(u"odcinki"_s);
        const Result r = run(QStringList{u"-o"_s, out} + args);
        QVERIFY(r.exitCode > 0);
        QVERIFY(!QFileInfo::exists(out));
    }
};

QTEST_GUILESS_MAIN(TestMakeAnnouncements)
#include "tst_makeannouncements.moc"
