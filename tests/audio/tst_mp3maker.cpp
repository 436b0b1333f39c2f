// The MP3 maker is the ground the audio tests stand on: check that what it
// writes is what it was asked for.
#include "support/Mp3Maker.h"

#include <QTemporaryDir>
#include <QtTest>

class TestMp3Maker : public QObject {
    Q_OBJECT
private slots:
    void makesDecodableFiles_data() {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("vbr");
        QTest::addColumn<bool>("id3");
        QTest::addColumn<bool>("xing");
        QTest::newRow("44.1k mono cbr") << 44100 << 1 << false << false << false;
        QTest::newRow("24k stereo vbr tagged") << 24000 << 2 << true << true << true;
        QTest::newRow("16k mono cbr xing") << 16000 << 1 << false << false << true;
    }
    void makesDecodableFiles() {
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(bool, vbr);
        QFETCH(bool, id3);
        QFETCH(bool, xing);
        QTemporaryDir dir;
        Mp3Format fmt;
        fmt.durationMs = 1500;
        fmt.sampleRate = rate;
        fmt.channels = channels;
        fmt.vbr = vbr;
        fmt.id3v2 = id3;
        fmt.xing = xing;
        const QByteArray data = makeMp3Data(fmt);
        QCOMPARE(data.startsWith("ID3"), id3);
        QCOMPARE(data.contains(vbr ? "Xing" : "Info"), xing);
        const QString path = makeMp3(dir.filePath(QStringLiteral("a.mp3")), fmt);
        const DecodedMp3 decoded = decodeMp3(path);
        // The encoder adds its delay and pads the last frame: at most a few
        // frames more than asked, never less.
        QVERIFY2(decoded.lengthMs >= 1500 && decoded.lengthMs <= 1500 + 3 * decoded.maxFrameMs,
                 qPrintable(QString::number(decoded.lengthMs)));
    }

    void joinKeepsEveryPart() {
        QTemporaryDir dir;
        Mp3Format a;
        a.durationMs = 700;
        a.id3v2 = true; // LAME's decoder takes one rate per tagged part
        Mp3Format b = a;
        b.sampleRate = 24000;
        const QString pa = makeMp3(dir.filePath(QStringLiteral("a.mp3")), a);
        const QString pb = makeMp3(dir.filePath(QStringLiteral("b.mp3")), b);
        const QString joined = joinFiles(dir.filePath(QStringLiteral("ab.mp3")), {pa, pb});
        QCOMPARE(QFileInfo(joined).size(), QFileInfo(pa).size() + QFileInfo(pb).size());
        const double sum = decodeMp3(pa).lengthMs + decodeMp3(pb).lengthMs;
        QVERIFY(qAbs(decodeMp3(joined).lengthMs - sum) < 1);
    }
};

QTEST_GUILESS_MAIN(TestMp3Maker)
#include "tst_mp3maker.moc"
