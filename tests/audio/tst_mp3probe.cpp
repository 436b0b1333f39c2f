// Lengths from the frame walk against a full decode with an independent
// decoder, for plain, tagged, joined and mixed-rate files; refusal of files
// that hold no MPEG audio.
#include "app/Errors.h"
#include "audio/Mp3Probe.h"
#include "support/Mp3Maker.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

Mp3Spec fmt(int ms, int rate, int channels, bool vbr, bool tagged, bool xing = true) {
    Mp3Spec s;
    s.durationMs = ms;
    s.sampleRate = rate;
    s.channels = channels;
    s.vbr = vbr;
    s.bitrateKbps = rate >= 32000 ? 96 : 64;
    s.id3v2 = tagged;
    s.xing = tagged && xing;
    return s;
}

// Samples per frame: MPEG-1 rates 1152, the lower rates 576.
double frameMs(const Mp3Spec& s) {
    return (s.sampleRate >= 32000 ? 1152.0 : 576.0) * 1000 / s.sampleRate;
}

} // namespace

class TestMp3Probe : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString file(const QString& name) const { return dir.filePath(name); }

private slots:
    void matchesFullDecode_data() {
        QTest::addColumn<QList<Mp3Spec>>("parts");
        const auto row = [](const char* name, QList<Mp3Spec> parts) {
            QTest::newRow(name) << parts;
        };
        row("cbr 44.1k mono", {fmt(2300, 44100, 1, false, false)});
        row("cbr 22.05k stereo", {fmt(1700, 22050, 2, false, false)});
        row("vbr 16k with tag and Xing header", {fmt(1900, 16000, 1, true, true)});
        row("vbr 48k stereo with tag and Xing header", {fmt(1200, 48000, 2, true, true)});
        // Each part keeps its tag and its Xing header: a header-only estimate
        // sees the first part's header and misses the rest.
        row("three joined vbr parts with tags",
            {fmt(3000, 44100, 2, true, true), fmt(1500, 44100, 2, true, true),
             fmt(2200, 44100, 2, true, true)});
        row("joined 44.1k and 24k",
            {fmt(2000, 44100, 1, false, true, false), fmt(2500, 24000, 1, false, true, false)});
        row("joined rates and channels, vbr",
            {fmt(800, 24000, 2, true, true), fmt(900, 44100, 1, true, true),
             fmt(700, 16000, 1, false, true)});
    }
    void matchesFullDecode() {
        QFETCH(QList<Mp3Spec>, parts);
        QStringList paths;
        std::int64_t sumOfParts = 0;
        for (const Mp3Spec& part : parts) {
            paths << makeMp3(file(QStringLiteral("part%1.mp3").arg(paths.size())), part);
            sumOfParts += probeMp3(paths.last()).lengthMs;
        }
        const QString joined = joinFiles(file(QStringLiteral("joined.mp3")), paths);
        const Mp3Info info = probeMp3(joined);
        const DecodedMp3 decoded = decodeMp3(joined);

        QVERIFY2(qAbs(info.lengthMs - decoded.lengthMs) <= parts.size() * decoded.maxFrameMs,
                 qPrintable(QStringLiteral("probe %1 ms, decode %2 ms")
                                .arg(info.lengthMs)
                                .arg(decoded.lengthMs)));
        // A joined file is its parts (each part rounds to 1 ms); the Xing
        // header of a later part is no header any more but a frame of
        // silence that plays and counts.
        double allowance = parts.size();
        for (qsizetype i = 1; i < parts.size(); ++i)
            allowance += parts[i].xing ? frameMs(parts[i]) : 0;
        QVERIFY2(
            qAbs(info.lengthMs - sumOfParts) <= allowance,
            qPrintable(
                QStringLiteral("joined %1 ms, parts %2 ms").arg(info.lengthMs).arg(sumOfParts)));
        QCOMPARE(info.sampleRate, parts.first().sampleRate);
        QCOMPARE(info.channels, parts.first().channels);
        bool mixed = false;
        for (const Mp3Spec& part : parts)
            mixed |= part.sampleRate != parts.first().sampleRate ||
                     part.channels != parts.first().channels;
        QCOMPARE(info.mixedFormat, mixed);
    }

    void refusesWhatIsNotMpegAudio_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        const QByteArray mp3 = makeMp3Data(fmt(500, 44100, 1, false, false));
        QTest::newRow("text") << QByteArray("To jest zwykły tekst, nie dźwięk.\n").repeated(50)
                              << QStringLiteral("nie jest plikiem dźwiękowym MP3");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("jest pusty");
        QTest::newRow("truncated header")
            << mp3.left(3) << QStringLiteral("nie jest plikiem dźwiękowym MP3");
        QTest::newRow("random bytes") << QByteArray::fromHex("8f13a7c4e20b99d15a3c7e6f0d42b1")
                                      << QStringLiteral("nie jest plikiem dźwiękowym MP3");
        QTest::newRow("only a tag") << makeMp3Data([] {
            Mp3Spec s = fmt(0, 44100, 1, false, true);
            s.xing = false;
            return s;
        }()) << QStringLiteral("nie jest plikiem dźwiękowym MP3");
    }
    void refusesWhatIsNotMpegAudio() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString path = file(QStringLiteral("zły plik.mp3"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        try {
            probeMp3(path);
            QFAIL("no error");
        } catch (const EMCIDeviceError& e) {
            QVERIFY2(e.text().contains(expected) && e.text().contains(path), qPrintable(e.text()));
        }
    }

    void namesAMissingFileOrAFolder() {
        const QString missing = file(QStringLiteral("brak.mp3"));
        QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, probeMp3(missing));
        try {
            probeMp3(dir.path());
        } catch (const EMCIDeviceError& e) {
            QVERIFY2(e.text().contains(dir.path()), qPrintable(e.text()));
            return;
        }
        QFAIL("a folder was measured");
    }
};

QTEST_GUILESS_MAIN(TestMp3Probe)
#include "tst_mp3probe.moc"
