// Snapping bookmarks to pauses.
//
//   bench_pauses DIR SONVEK_ZAKLADKI
//
// Accuracy: on the 100 varied speech files of DIR/test (support/SpeechSet.h,
// shared with bench_bookmarks), each bookmark set 0.4 to 1.5 s off the title
// at either end, the other way at random (seeded); how many snapped starts
// lie within 150 ms of the title's first speech (where the pause before it
// ends), how many ends within 150 ms of its last, and how many bookmarks
// cover the title whole, beside the same counts for the bookmarks as given.
//
// Time: a 2-hour entry (DIR/long/dwie-godziny.mp3, 64 kbit/s 44.1 kHz mono,
// made once from one 60 s recording repeated), snapped near its start, in
// its middle and near its end, each as a whole sonvek-zakladki --do-pauz
// process; beside it, in the same run, ffmpeg seeking to the same place and
// finding the silences of the same 7 s (one whole process each, the
// reference that decodes no more either). Medians of 5 runs, warm cache.
#include "audio/DopasowanieDoPrzerw.h"
#include "audio/WykrywanieTytulu.h"
#include "support/Mp3Maker.h"
#include "support/Speech.h"
#include "support/SpeechSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <random>

namespace {

double medianMs(QList<double> v) {
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

// Wall time of one whole process, in ms; throws when it fails.
double timedMs(const QString& program, const QStringList& args) {
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(600000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error((program + QStringLiteral(" failed: ")).toStdString() +
                                 p.readAllStandardError().toStdString());
    return t.nsecsElapsed() / 1e6;
}

struct Score {
    int starts = 0, ends = 0, covered = 0, files = 0;
    // Signed errors (found less true) of the starts and the ends.
    QList<int> startErrors, endErrors;
    void add(int start, int end, const SpeechFile& t) {
        ++files;
        starts += std::abs(start - t.startMs) <= 150;
        ends += std::abs(end - t.endMs) <= 150;
        covered += start <= t.startMs && end >= t.endMs;
        startErrors << start - t.startMs;
        endErrors << end - t.endMs;
    }
    static QString range(QList<int> e) {
        std::sort(e.begin(), e.end());
        return e.isEmpty() ? QString()
                           : QStringLiteral("%1 / %2 / %3 ms")
                                 .arg(e.first())
                                 .arg(e[e.size() / 2])
                                 .arg(e.last());
    }
    void print(const char* who) const {
        std::printf("  %-22s within 150 ms: start %3d of %d, end %3d; whole title %3d\n"
                    "  %-22s error min / median / max: start %s, end %s\n",
                    who, starts, files, ends, covered, "", qPrintable(range(startErrors)),
                    qPrintable(range(endErrors)));
    }
};

// One 60 s recording repeated to two hours: frames joined as they are.
QString longEntry(const QString& dir) {
    const QString path = dir + QStringLiteral("/dwie-godziny.mp3");
    if (QFile::exists(path))
        return path;
    QDir().mkpath(dir);
    std::vector<std::vector<short>> body;
    for (const char* s : {"Deszcz padał od rana, a w kuchni pachniało świeżym chlebem.",
                          "Janek długo nie mógł zasnąć i liczył krople spływające po szybie."})
        body.push_back(speak(QString::fromUtf8(s)));
    RecordingPlan plan;
    plan.sampleRate = 44100;
    plan.leadInMs = 1000;
    plan.pauseMs = 1200;
    plan.bodyPauseMs = 900; // pauses to snap to all along
    const Recording r = makeRecording(plan, speak(QStringLiteral("Rozdział drugi.")), body, 60000);
    Mp3Format f;
    f.sampleRate = 44100;
    f.channels = 1;
    f.bitrateKbps = 64;
    const QByteArray minute = makeMp3Data(f, r.samples);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path.toStdString());
    for (int i = 0; i < 120; ++i)
        out.write(minute);
    return path;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_pauses DIR SONVEK_ZAKLADKI\n");
        return 2;
    }
    try {
        const QString dir = QString::fromLocal8Bit(argv[1]);
        const QString tool = QString::fromLocal8Bit(argv[2]);

        const QList<SpeechFile> files = speechSet(dir + QStringLiteral("/test"), 100, 2024);
        std::mt19937 random(34);
        auto off = [&] {
            const int ms = std::uniform_int_distribution<int>(400, 1500)(random);
            return std::uniform_int_distribution<int>(0, 1)(random) ? ms : -ms;
        };
        Score snapped, given;
        QStringList misses;
        for (const SpeechFile& t : files) {
            const int start = std::max(0, t.startMs + off()), end = t.endMs + off();
            given.add(start, end, t);
            const ZakladkaDoPrzerw z =
                dopasujDoPrzerw(t.path, start, end - start, kDomyslnaPrzerwaMs);
            snapped.add(z.poczatekMs, z.poczatekMs + z.dlugoscMs, t);
            if (std::abs(z.poczatekMs - t.startMs) > 150)
                misses << QStringLiteral("%1: given %2, snapped %3, title %4")
                              .arg(QDir(dir).relativeFilePath(t.path))
                              .arg(start)
                              .arg(z.poczatekMs)
                              .arg(t.startMs);
        }
        std::printf("== %d bookmarks 0.4-1.5 s off the spoken titles ==\n", snapped.files);
        snapped.print("snapped (in process)");
        given.print("as given");
        for (const QString& m : std::as_const(misses))
            std::printf("    start missed: %s\n", qPrintable(m));

        const QString entry = longEntry(dir + QStringLiteral("/long"));
        const qint64 mb = QFile(entry).size() / 1000000;
        std::printf("== a 2-hour entry (%lld MB), medians of 5 whole processes ==\n", mb);
        // A bookmark a little after the title of the minute in question.
        for (const int minute : {1, 60, 119}) {
            const int start = minute * 60000 + 1600;
            const QString s = QString::number(start);
            QList<double> ours, ffmpeg;
            const QStringList oursArgs{QStringLiteral("--do-pauz"), s, QStringLiteral("2000"),
                                       entry};
            const QStringList ffArgs{QStringLiteral("-hide_banner"),
                                     QStringLiteral("-nostats"),
                                     QStringLiteral("-ss"),
                                     QString::number((start - 3700) / 1000.0),
                                     QStringLiteral("-t"),
                                     QStringLiteral("7"),
                                     QStringLiteral("-i"),
                                     entry,
                                     QStringLiteral("-af"),
                                     QStringLiteral("silencedetect=noise=-45dB:d=0.7"),
                                     QStringLiteral("-f"),
                                     QStringLiteral("null"),
                                     QStringLiteral("-")};
            timedMs(tool, oursArgs); // warm
            for (int i = 0; i < 5; ++i) {
                ours << timedMs(tool, oursArgs);
                ffmpeg << timedMs(QStringLiteral("ffmpeg"), ffArgs);
            }
            std::printf("  at %3d min: sonvek-zakladki --do-pauz %7.1f ms   ffmpeg -ss, 7 s "
                        "silencedetect %7.1f ms\n",
                        minute, medianMs(ours), medianMs(ffmpeg));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
