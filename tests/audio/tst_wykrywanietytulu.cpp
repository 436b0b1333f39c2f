// The spoken title found in recordings of Polish speech made at test time,
// where the title's place is known from how each recording was put
// together; the picture of a file's beginning; sonvek-zakladki end to end.
#include "audio/Mp3Probe.h"
#include "audio/WykrywanieTytulu.h"
#include "base/Errors.h"
#include "support/Mp3Maker.h"
#include "support/RunTool.h"
#include "support/Speech.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

using Format = SpeechEncoding;

Wynik runCli(const QStringList& args) {
    return uruchomNarzedzie(u"sonvek-zakladki"_s, args);
}

QString line(const std::optional<WykrytyTytul>& t, const QString& path) {
    return t ? u"%1\t%2\t%3"_s.arg(t->poczatekMs).arg(t->dlugoscMs).arg(path) : u"-\t-\t"_s + path;
}

// What this process has read so far (any file), as the system counts it.
qint64 bytesRead() {
    QFile io(u"/proc/self/io"_s);
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    return 0;
}

} // namespace

Q_DECLARE_METATYPE(RecordingPlan)
Q_DECLARE_METATYPE(Format)

class TestWykrywanieTytulu : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::vector<short> title;
    std::vector<std::vector<short>> body;

    // Writes the recording as an MP3 file; its title's place, on the
    // decoder's time base, goes to start and end.
    QString record(const QString& name, const RecordingPlan& plan, const Format& f = {},
                   int* start = nullptr, int* end = nullptr) {
        const EncodedRecording r = encodeRecording(makeRecording(plan, title, body), f);
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(r.mp3) < 0)
            return {};
        if (start)
            *start = r.titleStartMs;
        if (end)
            *end = r.titleEndMs;
        return path;
    }

private slots:
    void initTestCase() {
        title = speak(u"Rozdział siódmy."_s);
        for (const QString& s :
             {u"Było ciepłe, pogodne popołudnie i nikt w miasteczku nie spodziewał się burzy."_s,
              u"Ola wzięła koszyk, zamknęła drzwi na klucz i poszła drogą w stronę lasu."_s,
              u"Po godzinie marszu usiadła na pniu, żeby odpocząć."_s})
            body.push_back(speak(s));
    }

    void findsTitle_data() {
        QTest::addColumn<RecordingPlan>("plan");
        QTest::addColumn<Format>("format");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<bool>("found");
        auto plan = [](int rate, int leadIn, int pause) {
            RecordingPlan p;
            p.sampleRate = rate;
            p.leadInMs = leadIn;
            p.pauseMs = pause;
            return p;
        };
        QTest::newRow("22 kHz mono, title at once")
            << plan(22050, 0, 1000) << Format{1, false, 32} << 700 << true;
        RecordingPlan noisy = plan(44100, 1500, 900);
        noisy.noiseDbfs = -55;
        QTest::newRow("44.1 kHz stereo, lead-in, light noise")
            << noisy << Format{2, false, 128} << 700 << true;
        RecordingPlan quiet = plan(44100, 300, 1200);
        quiet.gainDb = -24;
        quiet.noiseDbfs = -75;
        QTest::newRow("quiet VBR with tag and Xing header")
            << quiet << Format{1, true, 0} << 700 << true;
        // Noise at the -60 dBFS floor under quiet speech: without a margin
        // over the noise it flickers above the threshold and fills pauses.
        RecordingPlan hiss = plan(22050, 1000, 1200);
        hiss.gainDb = -22;
        hiss.noiseDbfs = -59;
        QTest::newRow("quiet speech over noise at -60 dBFS") << hiss << Format{} << 700 << true;
        RecordingPlan click = plan(22050, 2000, 1000);
        click.clickAtMs = 800;
        QTest::newRow("a click in the lead-in is no speech") << click << Format{} << 700 << true;
        QTest::newRow("title after 6 s of silence")
            << plan(22050, 6000, 800) << Format{} << 700 << true;
        QTest::newRow("short pause, shorter minimum")
            << plan(22050, 500, 450) << Format{} << 350 << true;
        // The body's pauses are shorter still: nothing qualifies.
        QTest::newRow("short pause, default minimum: no title")
            << plan(22050, 500, 450) << Format{} << 700 << false;
    }
    void findsTitle() {
        QFETCH(RecordingPlan, plan);
        QFETCH(Format, format);
        QFETCH(int, pauseMs);
        QFETCH(bool, found);
        int start = 0, end = 0;
        const QString path = record(u"plik.mp3"_s, plan, format, &start, &end);
        QVERIFY(!path.isEmpty());

        const std::optional<WykrytyTytul> t = wykryjTytul(path, pauseMs);
        QCOMPARE(t.has_value(), found);
        // The editor finds the same in the picture it decodes anyway.
        QCOMPARE(znajdzTytul(obrazPoczatku(path), pauseMs), t);
        if (!t)
            return;
        const QString got = u"start %1 (truth %2), title end %3 (truth %4)"_s.arg(t->poczatekMs)
                                .arg(std::max(0, start - 100))
                                .arg(t->koniecTytuluMs)
                                .arg(end);
        QVERIFY2(std::abs(t->poczatekMs - std::max(0, start - 100)) <= 100, qPrintable(got));
        QVERIFY2(std::abs(t->koniecTytuluMs - end) <= 100, qPrintable(got));
        QCOMPARE(t->poczatekMs + t->dlugoscMs, t->koniecTytuluMs + 200);
    }

    // Sounds before the title, in a picture made up window by window: a
    // title of five syllables from 1500 ms to 2560 ms, a pause, then speech.
    // A knock or a breath before it is no title; speech before it is.
    void soundsBeforeTheTitle_data() {
        QTest::addColumn<QList<QPointF>>("sounds"); // (start ms, length ms) at rms
        QTest::addColumn<QList<double>>("rms");
        QTest::addColumn<int>("startMs");
        QTest::newRow("short loud knock, long silence after")
            << QList<QPointF>{{600, 70}} << QList<double>{0.3} << 1400;
        QTest::newRow("knock smeared by the encoder")
            << QList<QPointF>{{600, 110}} << QList<double>{0.3} << 1400;
        QTest::newRow("short loud knock just before")
            << QList<QPointF>{{1100, 80}} << QList<double>{0.3} << 1400;
        QTest::newRow("long quiet noise")
            << QList<QPointF>{{300, 500}} << QList<double>{0.005} << 1400;
        QTest::newRow("knock, then breath")
            << QList<QPointF>{{200, 60}, {700, 400}} << QList<double>{0.2, 0.006} << 1400;
        QTest::newRow("speech: a consonant just before the vowel")
            << QList<QPointF>{{1410, 60}} << QList<double>{0.05} << 1310;
        QTest::newRow("speech: a softer first word")
            << QList<QPointF>{{1200, 250}} << QList<double>{0.02} << 1100;
    }
    void soundsBeforeTheTitle() {
        QFETCH(QList<QPointF>, sounds);
        QFETCH(QList<double>, rms);
        QFETCH(int, startMs);
        ObrazDzwieku obraz;
        obraz.okna.assign(1200, OknoDzwieku{-0.0002f, 0.0002f, 0.0002f});
        obraz.doKonca = true;
        auto dzwiek = [&](double od, double ms, double poziom) {
            for (int i = int(od) / 10; i < int(od + ms) / 10; ++i)
                obraz.okna[std::size_t(i)] = {-float(poziom), float(poziom), float(poziom)};
        };
        for (int s = 0; s < 5; ++s)
            dzwiek(1500 + s * 220, 180, 0.1);
        for (int s = 0; s < 20; ++s) // syllables, a pause after every fourth
            dzwiek(3600 + s * 270 + (s / 4) * 250, 200, 0.1);
        for (qsizetype i = 0; i < sounds.size(); ++i)
            dzwiek(sounds[i].x(), sounds[i].y(), rms[i]);
        const std::optional<WykrytyTytul> t = znajdzTytul(obraz);
        QVERIFY(t);
        QCOMPARE(t->poczatekMs, startMs);
        QCOMPARE(t->koniecTytuluMs, 2560);
    }

    void pictureOfTheBeginning() {
        RecordingPlan p;
        p.leadInMs = 2000;
        p.clickAtMs = 800;
        const QString path = record(u"obraz.mp3"_s, p);
        const int delayMs = kMp3DelaySamples * 1000 / kSpeechRate;

        const ObrazDzwieku head = obrazPoczatku(path, 1500);
        QCOMPARE(head.okna.size(), 150u);
        QVERIFY(!head.doKonca);
        // Silence but for the click, which the encoder smears a little.
        const auto loudest = std::max_element(
            head.okna.begin(), head.okna.end(),
            [](const OknoDzwieku& a, const OknoDzwieku& b) { return a.rms < b.rms; });
        QCOMPARE(int(loudest - head.okna.begin()) / 2, (810 + delayMs) / 20);
        for (int i = 0; i < 150; ++i)
            if (std::abs(i * 10 + 5 - (810 + delayMs)) > 60)
                QVERIFY2(head.okna[std::size_t(i)].max < 0.001f, qPrintable(QString::number(i)));

        const ObrazDzwieku whole = obrazPoczatku(path);
        QVERIFY(whole.doKonca);
        QVERIFY(std::abs(whole.dlugoscMs() - probeMp3(path).lengthMs) <= ObrazDzwieku::kOknoMs);
        QVERIFY(std::equal(head.okna.begin(), head.okna.end(), whole.okna.begin(),
                           [](const OknoDzwieku& a, const OknoDzwieku& b) {
                               return a.min == b.min && a.max == b.max && a.rms == b.rms;
                           }));
    }

    void cancelsAndRefuses() {
        const QString path = record(u"przerwane.mp3"_s, {});
        const std::atomic_bool cancelled{true};
        QVERIFY(!wykryjTytul(path, kDomyslnaPrzerwaMs, &cancelled));
        QVERIFY(obrazPoczatku(path, kObrazMaksMs, &cancelled).okna.empty());
        // Cancelled, the walk stops inside a long stretch of zeros before
        // any frame, instead of reading on to its end.
        QFile zeros(dir.filePath(u"zera.mp3"_s));
        QVERIFY(zeros.open(QIODevice::WriteOnly) && zeros.resize(qint64{256} << 20));
        zeros.close();
        const qint64 before = bytesRead();
        QVERIFY(!wykryjTytul(zeros.fileName(), kDomyslnaPrzerwaMs, &cancelled));
        QVERIFY(obrazPoczatku(zeros.fileName(), kObrazMaksMs, &cancelled).okna.empty());
        QVERIFY2(bytesRead() - before < qint64{16} << 20, qPrintable(QString::number(bytesRead())));

        const QString text = dir.filePath(u"tekst.mp3"_s);
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(5000, 'x')) == 5000);
        f.close();
        QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, wykryjTytul(text));
        QVERIFY_THROWS_EXCEPTION(EMCIDeviceError, obrazPoczatku(dir.filePath(u"brak.mp3"_s)));
    }

    void cliPrintsOneLinePerFile() {
        RecordingPlan p;
        p.pauseMs = 450;
        const QString shortPause = record(u"krótka przerwa.mp3"_s, p);
        p.pauseMs = 1000;
        const QString longPause = record(u"długa przerwa.mp3"_s, p);
        const QString missing = dir.filePath(u"brak.mp3"_s);

        Wynik r = runCli({longPause, shortPause, missing});
        QCOMPARE(r.wyjscie,
                 QStringList({line(wykryjTytul(longPause), longPause),
                              line(std::nullopt, shortPause), line(std::nullopt, missing)}));
        QVERIFY(!r.wyjscie.first().startsWith(u'-'));
        QCOMPARE(r.kod, 1);
        QVERIFY2(r.bledy.startsWith(u"Błąd: "_s) && r.bledy.count(u'\n') == 1, qPrintable(r.bledy));

        r = runCli({u"--przerwa"_s, u"350"_s, shortPause});
        QCOMPARE(r.wyjscie, QStringList(line(wykryjTytul(shortPause, 350), shortPause)));
        QVERIFY(!r.wyjscie.first().startsWith(u'-'));
        QCOMPARE(r.kod, 0);

        r = runCli({u"--version"_s});
        QCOMPARE(r.kod, 0);
        QVERIFY(r.wyjscie.value(0).startsWith(u"sonvek-zakladki "_s));
        r = runCli({u"--help"_s});
        QCOMPARE(r.kod, 0);
        QVERIFY(r.wyjscie.value(0).startsWith(u"Użycie: sonvek-zakladki"_s));
    }

    void cliRefusesWrongArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no file") << QStringList();
        QTest::newRow("pause without value") << QStringList{u"--przerwa"_s};
        QTest::newRow("pause not a number") << QStringList{u"--przerwa"_s, u"7s"_s, u"a.mp3"_s};
        QTest::newRow("pause too short") << QStringList{u"--przerwa"_s, u"0"_s, u"a.mp3"_s};
        QTest::newRow("unknown option") << QStringList{u"--szybko"_s, u"a.mp3"_s};
    }
    void cliRefusesWrongArguments() {
        QFETCH(QStringList, args);
        const Wynik r = runCli(args);
        QCOMPARE(r.kod, 2);
        QVERIFY(r.wyjscie.isEmpty());
        QVERIFY2(r.bledy.startsWith(u"sonvek-zakladki: "_s) && r.bledy.count(u'\n') == 1,
                 qPrintable(r.bledy));
    }
};

QTEST_GUILESS_MAIN(TestWykrywanieTytulu)
#include "tst_wykrywanietytulu.moc"
