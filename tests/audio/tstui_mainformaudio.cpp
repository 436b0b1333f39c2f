#include "app/MainForm.h"
#include "audio/MediaPlayer.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Measuring and testing files through the main window's one player.
class TestMainFormAudio : public QObject {
    Q_OBJECT
private slots:
    void measureAndTest() {
        QTemporaryDir dir;
        FakeSeams seams;
        SettingsStore store(dir.filePath(QStringLiteral("conf")));
        TMainForm form(Uslugi(seams, store, dir.path()));

        const QString good = dir.filePath(QStringLiteral("dobry.mp3"));
        Mp3Format fmt;
        fmt.durationMs = 3200;
        makeMp3(good, fmt);
        const QString text = dir.filePath(QStringLiteral("tekst.mp3"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("To nie jest plik MP3, tylko zwykły tekst.\n");
        f.close();

        QVERIFY(form.TestPlikuAudio(good));
        QVERIFY(!form.TestPlikuAudio(text));
        QVERIFY(!form.TestPlikuAudio(dir.filePath(QStringLiteral("brak.mp3"))));
        const auto length = form.DlugoscPlikuAudio(good);
        // The encoder adds its delay and padding, up to about two frames.
        QVERIFY2(length >= 3200 && length <= 3280, qPrintable(QString::number(length)));
        QCOMPARE(form.DlugoscPlikuAudio(text), 0);
        // Measuring leaves nothing open.
        QCOMPARE(kontrolka<TMediaPlayer>(form, "MediaPlayer1")->mode(),
                 TMediaPlayer::Mode::NotOpen);
        QVERIFY(seams.messages.size() == 1); // only the first-run notice
    }
};

QTEST_MAIN(TestMainFormAudio)
#include "tstui_mainformaudio.moc"
