// Speed of the exact length measurement against ffprobe counting the
// packets of the same files, in the same run.
//
//   bench_probe SMALL_DIR LARGE_FILE
//
// Prints, for the many small files and for the one large file: our time per
// file and throughput, ffprobe's, and the ratio. Also checks that both
// count the same frames.
#include "audio/Mp3Probe.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <cstdio>
#include <exception>
#include <functional>

namespace {

// Best of `runs` passes, in seconds.
double bestOf(int runs, const std::function<void()>& pass) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        pass();
        best = std::min(best, timer.nsecsElapsed() / 1e9);
    }
    return best;
}

qint64 ffprobePackets(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_packets"),
             QStringLiteral("-show_entries"), QStringLiteral("stream=nb_read_packets"),
             QStringLiteral("-of"), QStringLiteral("csv=p=0"), path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return -1;
    // One line per stream, "count," when the file has more than one section.
    return p.readAllStandardOutput().trimmed().split(',').value(0).toLongLong();
}

void report(const char* set, const QStringList& files, int ourRuns, int refRuns) {
    qint64 bytes = 0;
    for (const QString& f : files)
        bytes += QFileInfo(f).size();
    // One untimed pass each, so that both read from the page cache.
    qint64 lengthMs = 0, mismatches = 0;
    for (const QString& f : files) {
        const Mp3Info info = probeMp3(f);
        lengthMs += info.lengthMs;
        // ffprobe counts the Xing header frame as a packet; allow for it.
        const qint64 packets = ffprobePackets(f);
        if (packets < info.frames || packets > info.frames + 1)
            ++mismatches;
    }
    const double ours = bestOf(ourRuns, [&] {
        for (const QString& f : files)
            probeMp3(f);
    });
    const double ref = bestOf(refRuns, [&] {
        for (const QString& f : files)
            ffprobePackets(f);
    });
    const double mb = bytes / 1e6;
    std::printf("%s: %lld files, %.1f MB, %.1f min of audio, frame counts differing: %lld\n", set,
                qint64(files.size()), mb, lengthMs / 60000.0, mismatches);
    std::printf("  probeMp3: %8.3f ms/file %9.1f MB/s\n", 1000 * ours / files.size(), mb / ours);
    std::printf("  ffprobe:  %8.3f ms/file %9.1f MB/s\n", 1000 * ref / files.size(), mb / ref);
    std::printf("  probeMp3 is %.1fx faster\n", ref / ours);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_probe SMALL_DIR LARGE_FILE\n");
        return 2;
    }
    try {
        const QDir dir(QString::fromLocal8Bit(argv[1]));
        QStringList small;
        for (const QString& name : dir.entryList({QStringLiteral("*.mp3")}, QDir::Files))
            small << dir.filePath(name);
        report("small files", small, 5, 1);
        report("large file", {QString::fromLocal8Bit(argv[2])}, 5, 3);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
