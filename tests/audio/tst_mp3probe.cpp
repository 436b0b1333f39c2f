// Lengths from the frame walk against a full decode with an independent
// decoder, for plain, tagged, joined and mixed-rate files; every frame found
// across bytes that are no audio, which are counted; refusal of files that
// hold no MPEG audio; the same frames as libmpg123 is handed; measurements
// kept only while the file stays the same.
#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "audio/PamiecPomiarow.h"
#include "base/Errors.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

Mp3Format fmt(int ms, int rate, int channels, bool vbr, bool tagged, bool xing = true) {
    Mp3Format s;
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
double frameMs(const Mp3Format& s) {
    return (s.sampleRate >= 32000 ? 1152.0 : 576.0) * 1000 / s.sampleRate;
}

// The measurement as libmpg123 sees the frames (the walk handing it each
// frame), which the header walk must match to the frame.
struct DecoderWalk {
    Mp3Info info;
    QList<std::pair<std::int64_t, int>> frames; // offset and bytes of each
};
DecoderWalk decoderWalk(const QString& path) {
    Mp3Stream stream(path);
    DecoderWalk w;
    std::int64_t ticks = 0;
    Mp3Frame f;
    while (stream.nextFrame(f)) {
        if (w.info.frames++ == 0) {
            w.info.sampleRate = f.sampleRate;
            w.info.channels = f.channels;
        }
        w.info.mixedFormat |= f.sampleRate != w.info.sampleRate || f.channels != w.info.channels;
        ticks += f.durationTicks;
        w.frames.append({f.offset, f.bytes});
    }
    w.info.skippedBytes = stream.skippedBytes();
    w.info.lengthMs = (ticks + kTicksPerMs / 2) / kTicksPerMs;
    return w;
}

void verifySameAsDecoder(const QString& path) {
    QList<std::pair<std::int64_t, int>> frames;
    const Mp3Info info = probeMp3(path, [&](const Mp3Frame& f) {
        frames.append({f.offset, f.bytes});
    });
    const DecoderWalk old = decoderWalk(path);
    QCOMPARE(info.lengthMs, old.info.lengthMs);
    QCOMPARE(info.frames, old.info.frames);
    QCOMPARE(info.sampleRate, old.info.sampleRate);
    QCOMPARE(info.channels, old.info.channels);
    QCOMPARE(info.mixedFormat, old.info.mixedFormat);
    QCOMPARE(info.skippedBytes, old.info.skippedBytes);
    QCOMPARE(frames, old.frames);
}

} // namespace

class TestMp3Probe : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString file(const QString& name) const { return dir.filePath(name); }

private slots:
    void matchesFullDecode_data() {
        QTest::addColumn<QList<Mp3Format>>("parts");
        const auto row = [](const char* name, QList<Mp3Format> parts) {
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
        // Free format: the frame length is the distance between frames.
        Mp3Format wolny = fmt(1500, 44100, 1, false, true);
        wolny.freeFormat = true;
        wolny.bitrateKbps = 100;
        row("free format with tag and Info header", {wolny});
    }
    void matchesFullDecode() {
        QFETCH(QList<Mp3Format>, parts);
        QStringList paths;
        std::int64_t sumOfParts = 0;
        for (const Mp3Format& part : parts) {
            paths << makeMp3(file(QStringLiteral("part%1.mp3").arg(paths.size())), part);
            sumOfParts += probeMp3(paths.last()).lengthMs;
        }
        const QString joined = joinFiles(file(QStringLiteral("joined.mp3")), paths);
        const Mp3Info info = probeMp3(joined);
        const DecodedMp3 decoded = decodeMp3(joined);
        for (const QString& path : paths + QStringList{joined})
            verifySameAsDecoder(path);

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
        // Inside the joined file every frame of a later part plays, its
        // Xing frame too: what the walk found in that part on its own.
        std::int64_t ticks = 0;
        for (qsizetype i = 0; i < paths.size(); ++i) {
            const Mp3Info part = probeMp3(paths[i]);
            QCOMPARE(part.walkedTicks - part.ticks,
                     parts[i].xing ? (parts[i].sampleRate >= 32000 ? 1152 : 576) *
                                         (kTicksPerSecond / parts[i].sampleRate)
                                   : 0);
            ticks += i == 0 ? part.ticks : part.walkedTicks;
        }
        QCOMPARE(info.ticks, ticks);
        QCOMPARE(info.sampleRate, parts.first().sampleRate);
        QCOMPARE(info.channels, parts.first().channels);
        bool mixed = false;
        for (const Mp3Format& part : parts)
            mixed |= part.sampleRate != parts.first().sampleRate ||
                     part.channels != parts.first().channels;
        QCOMPARE(info.mixedFormat, mixed);
    }

    // Bytes that are no audio between two parts and after the last frame:
    // the walk finds every frame after them and counts them, except tags.
    void junkIsSkippedAndCounted_data() {
        QTest::addColumn<QByteArray>("between");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<std::int64_t>("skipped");
        for (const int n : {1000, 1024, 4096, 100000}) {
            const QByteArray zeros(n, '\0');
            const QByteArray random = randomBytes(n, quint32(n));
            const QByteArray none;
            QTest::addRow("%d zeros between", n) << zeros << none << std::int64_t(n);
            QTest::addRow("%d zeros after", n) << none << zeros << std::int64_t(n);
            QTest::addRow("%d random between", n) << random << none << std::int64_t(n);
            QTest::addRow("%d random after", n) << none << random << std::int64_t(n);
            QTest::addRow("%d random between and after", n)
                << random << random << std::int64_t(2 * n);
        }
        const QByteArray wav = makeWavData(300);
        QTest::newRow("WAV file between") << wav << QByteArray() << std::int64_t(wav.size());
        // ID3v2 and an APE tag with a header between; an APE tag with only a
        // footer and an ID3v1 tag at the end.
        QByteArray id3v2("ID3\x03\x00\x00\x00\x00\x01\x00", 10);
        id3v2 += QByteArray(128, '\0');
        auto ape = [](bool header) {
            QByteArray items("\x05\x00\x00\x00\x00\x00\x00\x00Title\0Rozdz", 19);
            auto part = [&](bool isHeader) {
                QByteArray p("APETAGEX\xD0\x07\x00\x00", 12);
                const quint32 size = quint32(items.size() + 32);
                const quint32 flags = (header ? 1u << 31 : 0) | (isHeader ? 1u << 29 : 0);
                for (quint32 v : {size, 1u, flags})
                    for (int i = 0; i < 4; ++i)
                        p += char(v >> (8 * i));
                return p + QByteArray(8, '\0');
            };
            return (header ? part(true) : QByteArray()) + items + part(false);
        };
        const QByteArray id3v1 = "TAG" + QByteArray(125, ' ');
        QTest::newRow("tags are no junk")
            << id3v2 + ape(true) << ape(false) + id3v1 << std::int64_t(0);
        // A file joined from tagged files carries ID3v1 tags inside.
        QTest::newRow("ID3v1 tag between") << id3v1 << QByteArray() << std::int64_t(0);
        // The first 100 bytes of a 320 kbps frame of the same kind right
        // after a frame: its header promises bytes that belong to the next
        // frames.
        Mp3Format wysoka = fmt(100, 44100, 1, false, false);
        wysoka.bitrateKbps = 320;
        QTest::newRow("frame cut short between")
            << makeMp3Data(wysoka).left(100) << QByteArray() << std::int64_t(100);
    }
    void junkIsSkippedAndCounted() {
        QFETCH(QByteArray, between);
        QFETCH(QByteArray, after);
        QFETCH(std::int64_t, skipped);
        static const QByteArray first = makeMp3Data(fmt(1300, 44100, 1, false, false));
        static const QByteArray second = makeMp3Data(fmt(900, 44100, 1, false, false));
        const QString clean = file(QStringLiteral("czysty.mp3"));
        const QString junky = file(QStringLiteral("śmieci.mp3"));
        QVERIFY(zapiszBajty(clean, first + second));
        QVERIFY(zapiszBajty(junky, first + between + second + after));
        const Mp3Info expected = probeMp3(clean);
        const Mp3Info info = probeMp3(junky);
        QCOMPARE(info.frames, expected.frames);
        QCOMPARE(info.lengthMs, expected.lengthMs);
        QCOMPARE(info.skippedBytes, skipped);
        verifySameAsDecoder(junky);
        QCOMPARE(expected.skippedBytes, std::int64_t(0));

        // Read once through small blocks, so that frames, tags and junk lie
        // across their edges: the same walk, and every byte handed on in
        // order.
        for (const std::int64_t block : {64, 1000, 4096}) {
            QFile f(junky);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QByteArray received;
            const Mp3Info passed =
                probeMp3(junky, Mp3Pass{f.handle(),
                                        f.size(),
                                        [&](const unsigned char* p, std::int64_t n) {
                                            received.append(reinterpret_cast<const char*>(p), n);
                                        },
                                        {},
                                        block});
            QCOMPARE(received, first + between + second + after);
            QCOMPARE(passed.frames, info.frames);
            QCOMPARE(passed.walkedTicks, info.walkedTicks);
            QCOMPARE(passed.skippedBytes, info.skippedBytes);
        }
    }

    // The walk by headers and the walk through libmpg123 see the same frames
    // in files the fixtures above leave out: damage before the first frame,
    // which then is a Xing header, and a frame cut short at the end.
    void sameFramesAsDecoder_data() {
        QTest::addColumn<QByteArray>("content");
        const QByteArray vbr = makeMp3Data(fmt(1500, 44100, 2, true, true));
        const QByteArray vbr22 = makeMp3Data(fmt(1100, 22050, 1, true, true));
        QTest::newRow("random bytes before a Xing header") << randomBytes(3000, 5) + vbr;
        QTest::newRow("zeros between vbr parts") << vbr + QByteArray(777, '\0') + vbr22;
        QTest::newRow("last frame cut short") << vbr.left(vbr.size() - 100);
        QTest::newRow("garbage after a tag") << QByteArray("ID3\x03\x00\x00\x00\x00\x00\x10", 10) +
                                                    QByteArray(16, 'x') + randomBytes(500, 9) +
                                                    vbr22;
    }
    void sameFramesAsDecoder() {
        QFETCH(QByteArray, content);
        const QString path = file(QStringLiteral("ramki.mp3"));
        QVERIFY(zapiszBajty(path, content));
        verifySameAsDecoder(path);
    }

    // A measurement kept for a file is given again only while the file is
    // the same: rewritten or spoilt, it is measured anew.
    void rememberedWhileTheFileStays() {
        const QString path = file(QStringLiteral("pamięć.mp3"));
        const QByteArray first = makeMp3Data(fmt(1300, 44100, 1, false, false));
        const QByteArray second = makeMp3Data(fmt(900, 44100, 1, false, false));
        const QString other = file(QStringLiteral("inny.mp3"));
        QVERIFY(zapiszBajty(path, first) && zapiszBajty(other, second));
        const std::int64_t firstMs = probeMp3(path).lengthMs, secondMs = probeMp3(other).lengthMs;
        QCOMPARE(zmierzPlikMp3(path)->lengthMs, firstMs);
        QCOMPARE(zmierzPlikMp3(path)->lengthMs, firstMs);
        QVERIFY(zapiszBajty(path, second)); // rewritten in place
        QCOMPARE(zmierzPlikMp3(path)->lengthMs, secondMs);
        QVERIFY(zapiszBajty(path, QByteArray(second.size(), 'x'))); // the same size

        QVERIFY(!zmierzPlikMp3(path));
        QVERIFY(!zmierzPlikMp3(file(QStringLiteral("brak.mp3"))));
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
        QTest::newRow("random bytes")
            << randomBytes(100000, 7) << QStringLiteral("nie jest plikiem dźwiękowym MP3");
        QTest::newRow("WAV file") << makeWavData(500)
                                  << QStringLiteral("nie jest plikiem dźwiękowym MP3");
        QTest::newRow("only a tag")
            << QByteArray("ID3\x03\x00\x00\x00\x00\x01\x00", 10) + QByteArray(128, '\0')
            << QStringLiteral("nie jest plikiem dźwiękowym MP3");
    }
    void refusesWhatIsNotMpegAudio() {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString path = file(QStringLiteral("zły plik.mp3"));
        QVERIFY(zapiszBajty(path, content));
        for (const bool decoder : {false, true}) {
            try {
                decoder ? decoderWalk(path).info : probeMp3(path);
                QFAIL("no error");
            } catch (const EMCIDeviceError& e) {
                QVERIFY2(e.text().contains(expected) && e.text().contains(path),
                         qPrintable(e.text()));
            }
        }
    }

    // Nothing that is not a regular file is measured, and a FIFO does not
    // hold the walk in open() waiting for a writer.
    void namesWhatIsNoRegularFile_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << file(QStringLiteral("brak.mp3"))
                                 << QStringLiteral("plik nie istnieje");
        QTest::newRow("folder") << dir.path() << QStringLiteral("folder");
        QTest::newRow("FIFO") << file(QStringLiteral("potok.mp3")) << QStringLiteral("FIFO");
        QTest::newRow("device") << QStringLiteral("/dev/zero") << QStringLiteral("urządzenie");
    }
    void namesWhatIsNoRegularFile() {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        if (reason == u"FIFO" && !QFileInfo::exists(path))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        try {
            probeMp3(path);
            QFAIL("measured");
        } catch (const EMCIDeviceError& e) {
            QVERIFY2(e.text().contains(path) && e.text().contains(reason), qPrintable(e.text()));
        }
    }
};

QTEST_GUILESS_MAIN(TestMp3Probe)
#include "tst_mp3probe.moc"
