// The merge's look at an entry's first frame agrees with the audio layer's
// decoder on every kind of file the tests can make, and refuses what holds
// no MPEG audio.
#include "app/Errors.h"
#include "audio/Mp3Stream.h"
#include "merge/Miernik.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

FormatDzwieku pierwszaRamka(const QString& sciezka) {
    Mp3Stream s(sciezka);
    Mp3Frame f;
    return s.nextFrame(f) ? FormatDzwieku{f.sampleRate, f.channels} : FormatDzwieku{};
}

// An ID3v2 tag of `rozmiar` bytes of padding (size in 7-bit bytes).
QByteArray znacznikId3(int rozmiar) {
    QByteArray t("ID3\x03\x00\x00", 6);
    for (int shift : {21, 14, 7, 0})
        t += char((rozmiar >> shift) & 0x7F);
    return t + QByteArray(rozmiar, '\0');
}

} // namespace

class TestMiernik : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void formatOfFirstFrame_data() {
        QTest::addColumn<int>("czestotliwosc");
        QTest::addColumn<int>("kanaly");
        QTest::addColumn<bool>("vbr");
        QTest::addColumn<QByteArray>("przed"); // bytes put in front of the audio
        QTest::addColumn<bool>("lameId3");
        const QByteArray nic;
        QTest::newRow("44.1k mono") << 44100 << 1 << false << nic << false;
        QTest::newRow("48k stereo vbr, tag") << 48000 << 2 << true << nic << true;
        QTest::newRow("32k stereo") << 32000 << 2 << false << nic << true;
        QTest::newRow("MPEG-2 22.05k mono vbr") << 22050 << 1 << true << nic << true;
        QTest::newRow("MPEG-2 16k stereo") << 16000 << 2 << false << nic << false;
        QTest::newRow("MPEG-2.5 8k mono") << 8000 << 1 << false << nic << false;
        QTest::newRow("MPEG-2.5 11.025k stereo") << 11025 << 2 << false << nic << true;
        QTest::newRow("tag beyond the first 64 KiB")
            << 44100 << 2 << false << znacznikId3(100000) << false;
        QTest::newRow("junk before the audio")
            << 24000 << 1 << false << QByteArray(3000, '\x5A') << false;
        QTest::newRow("false sync in junk")
            << 44100 << 1 << false << QByteArray("\xFF\xFB\x90\x00junk", 8) << false;
    }
    void formatOfFirstFrame() {
        QFETCH(int, czestotliwosc);
        QFETCH(int, kanaly);
        QFETCH(bool, vbr);
        QFETCH(QByteArray, przed);
        QFETCH(bool, lameId3);
        const Mp3Spec fmt{.durationMs = 700,
                          .sampleRate = czestotliwosc,
                          .channels = kanaly,
                          .bitrateKbps = czestotliwosc >= 32000 ? 96 : 32,
                          .vbr = vbr,
                          .id3v2 = lameId3,
                          .xing = vbr};
        const QString plik = tmp.filePath(QStringLiteral("a.mp3"));
        QVERIFY(zapiszBajty(plik, przed + makeMp3Data(fmt)));
        const FormatDzwieku format = miernikMp3().format(plik);
        QCOMPARE(format.czestotliwosc, czestotliwosc);
        QCOMPARE(format.kanaly, kanaly);
        QCOMPARE(format, pierwszaRamka(plik));
    }

    void noMpegAudio_data() {
        QTest::addColumn<QByteArray>("tresc");
        QTest::newRow("text") << QByteArray("To nie jest plik dźwiękowy.\n");
        QTest::newRow("tag only") << znacznikId3(300);
        QTest::newRow("one lone header") << QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(20, 'x');
    }
    void noMpegAudio() {
        QFETCH(QByteArray, tresc);
        const QString plik = tmp.filePath(QStringLiteral("b.mp3"));
        QVERIFY(zapiszBajty(plik, tresc));
        QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, miernikMp3().format(plik));
    }
};

QTEST_GUILESS_MAIN(TestMiernik)
#include "tst_miernik.moc"
