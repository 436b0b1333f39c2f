// The media player through its operations: call orders and their errors,
// and what actually reaches the sound output (SDL's "disk" driver writes
// the samples to a file instead of a sound card).
#include "audio/MediaPlayer.h"
#include "base/Errors.h"
#include "support/DiskAudio.h"
#include "support/Mp3Maker.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

namespace {

constexpr double kOutPerMs = TMediaPlayer::kOutputRate / 1000.0;
constexpr int kFrameSamples = 1152; // one MPEG-1 frame; lower rates are shorter

Mp3Format tone(int ms, int rate = 44100, int channels = 1) {
    Mp3Format s;
    s.durationMs = ms;
    s.sampleRate = rate;
    s.channels = channels;
    s.bitrateKbps = rate >= 32000 ? 96 : 64;
    return s;
}

} // namespace

class TestMediaPlayer : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString tone2s, tone24k, mixed;

    QString rawOutput() const { return dir.filePath(QStringLiteral("out.raw")); }

    void useDiskOutput() { useDiskAudio(rawOutput()); }

private slots:
    void initTestCase() {
        tone2s = makeMp3(dir.filePath(QStringLiteral("ton.mp3")), tone(2000));
        tone24k = makeMp3(dir.filePath(QStringLiteral("ton24.mp3")), tone(1500, 24000, 2));
        // Two rates and channel counts in one file, as a merge of
        // announcement and book can give.
        Mp3Format announce = tone(1000, 24000, 1);
        Mp3Format book = tone(1200, 44100, 2);
        announce.id3v2 = book.id3v2 = true;
        mixed = joinFiles(dir.filePath(QStringLiteral("mieszany.mp3")),
                          {makeMp3(dir.filePath(QStringLiteral("a.mp3")), announce),
                           makeMp3(dir.filePath(QStringLiteral("b.mp3")), book)});
        QFile junky(dir.filePath(QStringLiteral("śmieci.mp3")));
        QVERIFY(junky.open(QIODevice::WriteOnly));
        junky.write(makeMp3Data(tone(1000)) + randomBytes(4096, 1) + makeMp3Data(tone(1000)));
    }

    void init() { qputenv("SDL_AUDIODRIVER", "dummy"); }

    void nothingOpenIsAnError_data() {
        QTest::addColumn<std::function<void(TMediaPlayer&)>>("operation");
        QTest::newRow("Length") << std::function([](TMediaPlayer& p) { p.Length(); });
        QTest::newRow("Play") << std::function([](TMediaPlayer& p) { p.Play(); });
        QTest::newRow("Pause") << std::function([](TMediaPlayer& p) { p.Pause(); });
        QTest::newRow("Stop") << std::function([](TMediaPlayer& p) { p.Stop(); });
    }
    void nothingOpenIsAnError() {
        QFETCH(std::function<void(TMediaPlayer&)>, operation);
        TMediaPlayer never, closed;
        closed.FileName = tone2s;
        closed.Open();
        closed.Close();
        closed.Close(); // closing twice is harmless
        for (TMediaPlayer* p : {&never, &closed}) {
            try {
                operation(*p);
                QFAIL("no error");
            } catch (const EMCIDeviceError& e) {
                QCOMPARE(e.text(), QStringLiteral("No MCI device open"));
            }
            QCOMPARE(p->mode(), TMediaPlayer::Mode::NotOpen);
        }
    }

    void openMeasuresAndClosesWhatWasOpen() {
        TMediaPlayer player;
        QSignalSpy finished(&player, &TMediaPlayer::finished);
        player.FileName = tone2s;
        player.Open();
        const qint64 first = player.Length();
        QVERIFY(first >= 2000 && first < 2000 + 3 * 27);
        player.Play();
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Playing);

        // A measurement in the middle of a playback ends it.
        player.FileName = tone24k;
        player.Open();
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);
        QVERIFY(player.Length() >= 1500 && player.Length() < first);
        QCOMPARE(player.FileName, tone24k);

        // A file that does not open leaves nothing open.
        player.FileName = dir.filePath(QStringLiteral("nie ma.mp3"));
        QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Open());
        QCOMPARE(player.mode(), TMediaPlayer::Mode::NotOpen);
        QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, player.Length());
        QCOMPARE(finished.count(), 0);
    }

    void playsTheRequestedRange_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("start"); // -1: not set
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("expectedMs");
        QTest::newRow("whole file") << QStringLiteral("ton.mp3") << -1 << -1 << 2000;
        QTest::newRow("range") << QStringLiteral("ton.mp3") << 300 << 1500 << 1200;
        QTest::newRow("from a start to the end") << QStringLiteral("ton.mp3") << 1200 << -1 << 800;
        QTest::newRow("24 kHz stereo, resampled")
            << QStringLiteral("ton24.mp3") << 250 << 1250 << 1000;
        // The range crosses from the 24 kHz mono part into the 44.1 kHz
        // stereo part; the gap between the parts belongs to the file.
        QTest::newRow("across a change of rate")
            << QStringLiteral("mieszany.mp3") << 600 << 1800 << 1200;
        QTest::newRow("past bytes that are no audio")
            << QStringLiteral("śmieci.mp3") << 800 << 1800 << 1000;
        QTest::newRow("end beyond the file") << QStringLiteral("ton.mp3") << 1500 << 9000 << 500;
        QTest::newRow("start beyond the file") << QStringLiteral("ton.mp3") << 5000 << 6000 << 0;
        QTest::newRow("end before start") << QStringLiteral("ton.mp3") << 1500 << 1000 << 0;
        QTest::newRow("empty range") << QStringLiteral("ton.mp3") << 700 << 700 << 0;
    }
    void playsTheRequestedRange() {
        QFETCH(QString, file);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, expectedMs);
        useDiskOutput();
        {
            TMediaPlayer player;
            QSignalSpy finished(&player, &TMediaPlayer::finished);
            player.FileName = dir.filePath(file);
            player.Open();
            if (start >= 0)
                player.StartPos = start;
            if (end >= 0)
                player.EndPos = end;
            player.Play();
            QVERIFY(!player.StartPos && !player.EndPos); // for one Play only
            QVERIFY(finished.wait(20000));
            QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);
        }
        const qint64 written = audibleSpan(rawOutput());
        const qint64 expected = qRound64(expectedMs * kOutPerMs);
        QVERIFY2(qAbs(written - expected) <= (expected ? kFrameSamples : 0),
                 qPrintable(
                     QStringLiteral("%1 samples written, %2 expected").arg(written).arg(expected)));
    }

    void pausesResumesAndStops() {
        useDiskOutput();
        TMediaPlayer player;
        QSignalSpy finished(&player, &TMediaPlayer::finished);
        player.FileName = tone2s;
        player.Open();
        player.Pause(); // not playing: nothing happens
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);

        player.StartPos = 100;
        player.EndPos = 400;
        player.Play();
        player.Pause();
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Paused);
        QVERIFY(!finished.wait(500)); // a paused range does not run out
        // The position lies in the range while it plays, also paused.
        const std::optional<qint64> pozycja = player.Position();
        QVERIFY(pozycja && *pozycja >= 100 && *pozycja <= 400);
        player.Pause();
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Playing);
        QVERIFY(finished.wait(20000));
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);
        QVERIFY(!player.Position());
        player.Pause(); // after the end: nothing
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);
        QCOMPARE(player.Length() > 0, true); // the file stays open after its end

        player.Play();
        player.Stop();
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);
        player.Stop(); // stopping a stopped player is harmless
        QVERIFY(!finished.wait(200));
        QCOMPARE(finished.count(), 1);

        // Closing or destroying a playing player ends its threads cleanly.
        player.Play();
        player.Close();
        QCOMPARE(player.mode(), TMediaPlayer::Mode::NotOpen);
        auto other = std::make_unique<TMediaPlayer>();
        other->FileName = tone2s;
        other->Open();
        other->Play();
        other->Pause();
        other.reset();
    }

    void noSoundOutputIsAnError() {
        qputenv("SDL_AUDIODRIVER", "nonexistent");
        TMediaPlayer player;
        player.FileName = tone2s;
        player.Open(); // measuring needs no sound output
        try {
            player.Play();
            QFAIL("played without a sound output");
        } catch (const EMCIDeviceError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("wyjścia dźwięku")) &&
                         e.text().contains(tone2s),
                     qPrintable(e.text()));
        }
        QCOMPARE(player.mode(), TMediaPlayer::Mode::Stopped);
        QCOMPARE(player.Length() > 0, true);
    }
};

QTEST_GUILESS_MAIN(TestMediaPlayer)
#include "tst_mediaplayer.moc"
