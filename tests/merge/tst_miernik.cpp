// The merge's measurement of an entry: the format of its first frame on
// every kind of file the tests can make, the bytes in front of the audio
// counted unless they are a tag, and a refusal of what holds no MPEG audio.
#include "base/Errors.h"
#include "merge/Miernik.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

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
        QTest::addColumn<int>("pominiete");
        const QByteArray nic;
        QTest::newRow("44.1k mono") << 44100 << 1 << false << nic << false << 0;
        QTest::newRow("48k stereo vbr, tag") << 48000 << 2 << true << nic << true << 0;
        QTest::newRow("32k stereo") << 32000 << 2 << false << nic << true << 0;
        QTest::newRow("MPEG-2 22.05k mono vbr") << 22050 << 1 << true << nic << true << 0;
        QTest::newRow("MPEG-2 16k stereo") << 16000 << 2 << false << nic << false << 0;
        QTest::newRow("MPEG-2.5 8k mono") << 8000 << 1 << false << nic << false << 0;
        QTest::newRow("MPEG-2.5 11.025k stereo") << 11025 << 2 << false << nic << true << 0;
        QTest::newRow("tag beyond the first 64 KiB")
            << 44100 << 2 << false << znacznikId3(100000) << false << 0;
        QTest::newRow("junk before the audio")
            << 24000 << 1 << false << QByteArray(3000, '\x5A') << false << 3000;
        QTest::newRow("false sync in junk")
            << 44100 << 1 << false << QByteArray("\xFF\xFB\x90\x00junk", 8) << false << 8;
    }
    void formatOfFirstFrame() {
        QFETCH(int, czestotliwosc);
        QFETCH(int, kanaly);
        QFETCH(bool, vbr);
        QFETCH(QByteArray, przed);
        QFETCH(bool, lameId3);
        QFETCH(int, pominiete);
        const Mp3Format fmt{.durationMs = 700,
                            .sampleRate = czestotliwosc,
                            .channels = kanaly,
                            .bitrateKbps = czestotliwosc >= 32000 ? 96 : 32,
                            .vbr = vbr,
                            .id3v2 = lameId3,
                            .xing = vbr};
        const QString plik = tmp.filePath(QStringLiteral("a.mp3"));
        QVERIFY(zapiszBajty(plik, przed + makeMp3Data(fmt)));
        const PomiarMp3 pomiar = miernikMp3()(plik);
        QCOMPARE(pomiar.format, (FormatDzwieku{czestotliwosc, kanaly,
                                               czestotliwosc >= 32000   ? 1
                                               : czestotliwosc >= 16000 ? 2
                                                                        : 25,
                                               3}));
        QCOMPARE(pomiar.pominieteBajty, std::int64_t(pominiete));
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
        QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, miernikMp3()(plik));
    }
};

QTEST_GUILESS_MAIN(TestMiernik)
#include "tst_miernik.moc"
