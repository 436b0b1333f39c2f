// Bookmarks snapped to the pauses around them in recordings of Polish speech
// made at test time, whose pauses are known from how each was put together;
// windows decoded from the middle of a file sound as in a decode from its
// start; sonvek-zakladki --do-pauz end to end.
#include "audio/DopasowanieDoPrzerw.h"
#include "audio/Mp3Probe.h"
#include "audio/WykrywanieTytulu.h"
#include "support/RunTool.h"
#include "support/Speech.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

using Format = SpeechEncoding;

RecordingPlan plan(int rate, int leadIn, int pause) {
    RecordingPlan p;
    p.sampleRate = rate;
    p.leadInMs = leadIn;
    p.pauseMs = pause;
    return p;
}

} // namespace

Q_DECLARE_METATYPE(RecordingPlan)
Q_DECLARE_METATYPE(Format)

class TestDopasowanieDoPrzerw : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    std::vector<short> title;
    std::vector<std::vector<short>> body;

    // The recording as an MP3 file; where its title lies on the decoder's
    // time base goes to start and end.
    QString record(const QString& name, const RecordingPlan& plan, const Format& f, int& start,
                   int& end, int minimumMs = 0) {
        const EncodedRecording r = encodeRecording(makeRecording(plan, title, body, minimumMs), f);
        const QString path = dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(r.mp3) < 0)
            return {};
        start = r.titleStartMs;
        end = r.titleEndMs;
        return path;
    }

private slots:
    void initTestCase() {
        title = speak(u"Rozdział trzydziesty drugi."_s);
        for (const QString& s :
             {u"Deszcz padał od rana, a w kuchni pachniało świeżym chlebem."_s,
              u"Janek długo nie mógł zasnąć i liczył krople spływające po szybie."_s})
            body.push_back(speak(s));
    }

    // A bookmark set roughly around the title ends up over it, each end
    // within 150 ms of the title's; a start with no pause's end within 2 s
    // keeps its place.
    void snapsOntoTheTitle_data() {
        QTest::addColumn<RecordingPlan>("recording");
        QTest::addColumn<Format>("format");
        QTest::addColumn<int>("startOff"); // the bookmark's start against the title's
        QTest::addColumn<int>("endOff");   // its end against the title's end
        QTest::addColumn<bool>("moved");   // whether the start is within reach
        QTest::newRow("22 kHz mono, late start, short end")
            << plan(22050, 3000, 1000) << Format{} << 1200 << -800 << true;
        RecordingPlan noisy = plan(44100, 2500, 900);
        noisy.noiseDbfs = -55;
        QTest::newRow("44.1 kHz stereo VBR in light noise, early start, long end")
            << noisy << Format{2, true, 0} << -1500 << 1500 << true;
        RecordingPlan quiet = plan(22050, 4000, 1200);
        quiet.gainDb = -22;
        quiet.noiseDbfs = -59;
        QTest::newRow("quiet speech over noise") << quiet << Format{} << 700 << 300 << true;
        QTest::newRow("the file's start ends a pause")
            << plan(22050, 200, 1000) << Format{} << 400 << -500 << true;
        QTest::newRow("deep in a long file")
            << plan(44100, 40000, 800) << Format{2, false, 64} << -900 << 900 << true;
        QTest::newRow("start out of reach stays")
            << plan(22050, 6000, 1000) << Format{} << -2600 << 0 << false;
    }
    void snapsOntoTheTitle() {
        QFETCH(RecordingPlan, recording);
        QFETCH(Format, format);
        QFETCH(int, startOff);
        QFETCH(int, endOff);
        QFETCH(bool, moved);
        int start = 0, end = 0;
        const QString path = record(u"plik.mp3"_s, recording, format, start, end);
        QVERIFY(!path.isEmpty());
        const int poczatek = std::max(0, start + startOff);
        const ZakladkaDoPrzerw z =
            dopasujDoPrzerw(path, poczatek, end + endOff - poczatek, kDomyslnaPrzerwaMs);
        const QString got = u"start %1 (title %2), end %3 (title %4)"_s.arg(z.poczatekMs)
                                .arg(start)
                                .arg(z.poczatekMs + z.dlugoscMs)
                                .arg(end);
        QCOMPARE(z.poczatekPrzesuniety, moved);
        QVERIFY(z.koniecPrzesuniety);
        QVERIFY2(std::abs(z.poczatekMs - (moved ? start : poczatek)) <= (moved ? 150 : 0),
                 qPrintable(got));
        QVERIFY2(std::abs(z.poczatekMs + z.dlugoscMs - end) <= 150, qPrintable(got));
    }

    // The windows from the middle of a file, reached by frame headers, are
    // those of a decode from its start; an end past the file comes back to
    // it; a stop leaves the bookmark as it was.
    void seekEndAndStop_data() {
        QTest::addColumn<Format>("format");
        QTest::newRow("CBR 22 kHz mono") << Format{};
        QTest::newRow("VBR 44.1 kHz stereo with Xing header") << Format{2, true, 0};
    }
    void seekEndAndStop() {
        QFETCH(Format, format);
        int start = 0, end = 0;
        const QString path =
            record(u"dlugi.mp3"_s, plan(22050, 1000, 1000), format, start, end, 30000);
        ObrazDzwieku calosc, srodek;
        DekoderOkien(path, nullptr).dekodujDo(calosc, 3000);
        DekoderOkien(path, nullptr, 20004).dekodujDo(srodek, 500);
        QCOMPARE(srodek.pierwsze, 2000);
        QVERIFY(srodek.okna.size() >= 500u);
        for (std::size_t i = 0; i < srodek.okna.size(); ++i)
            QVERIFY2(std::abs(srodek.okna[i].rms - calosc.okna[2000 + i].rms) < 1e-4f,
                     qPrintable(QString::number(i)));

        const int dlugosc = int(probeMp3(path).lengthMs);
        const ZakladkaDoPrzerw z = dopasujDoPrzerw(path, start, 10'000'000, kDomyslnaPrzerwaMs);
        QVERIFY(std::abs(z.poczatekMs + z.dlugoscMs - dlugosc) <= ObrazDzwieku::kOknoMs);
        const std::atomic_bool stop = true;
        QCOMPARE(dopasujDoPrzerw(path, start + 700, 500, kDomyslnaPrzerwaMs, &stop),
                 (ZakladkaDoPrzerw{start + 700, 500}));
    }

    void cli_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("snapped") << QStringList{u"--do-pauz"_s, u"@s"_s, u"@l"_s, u"@p"_s} << 0;
        QTest::newRow("shorter pause")
            << QStringList{u"--przerwa"_s, u"500"_s, u"--do-pauz"_s, u"@s"_s, u"@l"_s, u"@p"_s}
            << 0;
        QTest::newRow("no such file")
            << QStringList{u"--do-pauz"_s, u"0"_s, u"10"_s, u"@p.brak"_s} << 1;
        QTest::newRow("a number missing") << QStringList{u"--do-pauz"_s, u"0"_s, u"@p"_s} << 2;
        QTest::newRow("negative start")
            << QStringList{u"--do-pauz"_s, u"-5"_s, u"10"_s, u"@p"_s} << 2;
        QTest::newRow("two files")
            << QStringList{u"--do-pauz"_s, u"0"_s, u"10"_s, u"@p"_s, u"@p"_s} << 2;
    }
    void cli() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        int start = 0, end = 0;
        const QString path =
            record(u"narzedzie.mp3"_s, plan(22050, 2000, 1000), Format{}, start, end);
        const QString s = QString::number(start + 600), l = QString::number(end - start);
        for (QString& a : args)
            a.replace(u"@s"_s, s).replace(u"@l"_s, l).replace(u"@p"_s, path);
        const Wynik r = uruchomNarzedzie(u"sonvek-zakladki"_s, args);
        QCOMPARE(r.kod, code);
        if (code == 2) {
            QVERIFY(r.wyjscie.isEmpty());
            QVERIFY2(r.bledy.startsWith(u"sonvek-zakladki: "_s), qPrintable(r.bledy));
            return;
        }
        const QString plik = args.last();
        if (code == 1) {
            QCOMPARE(r.wyjscie, QStringList{u"-\t-\t"_s + plik});
            QVERIFY(r.bledy.startsWith(u"Błąd: "_s));
            return;
        }
        const int przerwa = args.contains(u"--przerwa"_s) ? 500 : kDomyslnaPrzerwaMs;
        const ZakladkaDoPrzerw z = dopasujDoPrzerw(path, start + 600, end - start, przerwa);
        QCOMPARE(r.wyjscie,
                 QStringList{u"%1\t%2\t%3"_s.arg(z.poczatekMs).arg(z.dlugoscMs).arg(plik)});
        QVERIFY(z.poczatekPrzesuniety);
    }
};

QTEST_GUILESS_MAIN(TestDopasowanieDoPrzerw)
#include "tst_dopasowaniedoprzerw.moc"
