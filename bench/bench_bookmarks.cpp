// Finding the spoken title: how often the bookmark covers the whole title,
// its mean and worst error against the truth known from how each file was
// made, and the time, beside ffmpeg's silencedetect on the same files in the
// same run, given its best: silences from 50 ms on, the same rule after them
// (the title ends at the first pause of 700 ms, sounds under 50 ms between
// silences do not count, the same margins), and the noise threshold that did
// best on a separate set of files.
//
//   bench_bookmarks DIR FILES SONVEK_ZAKLADKI
//
// Makes DIR/test (FILES files) and DIR/train (40 files) once, each with its
// truth.tsv (support/SpeechSet.h). Ours is timed as one sonvek-zakladki process for all the files,
// ffmpeg as one process per file.
#include "support/SpeechSet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <optional>

namespace {

using Truth = SpeechFile;

struct Bookmark {
    int startMs = 0, endMs = 0; // the bookmark
    int titleEndMs = 0;         // where the method says the title ends
};

// ffmpeg's silences over the first 60 s (from 50 ms on), then our rule.
std::optional<Bookmark> silencedetect(const QString& path, int thresholdDb) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-t"),
             QStringLiteral("60"), QStringLiteral("-i"), path, QStringLiteral("-af"),
             QStringLiteral("silencedetect=noise=%1dB:d=0.05").arg(thresholdDb),
             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return std::nullopt;
    static const QRegularExpression event(QStringLiteral("silence_(start|end): (-?[0-9.]+)"));
    // Silences as [start, end); one still open at the end runs to 60 s.
    QList<std::pair<int, int>> silences;
    for (const auto& m : event.globalMatch(QString::fromUtf8(p.readAllStandardError()))) {
        const int ms = std::max(0, int(m.captured(2).toDouble() * 1000 + 0.5));
        if (m.captured(1) == QStringLiteral("start"))
            silences.append({ms, 60000});
        else if (!silences.isEmpty())
            silences.last().second = ms;
    }
    // Sounds under 50 ms between two silences are no speech.
    for (qsizetype i = 1; i < silences.size();) {
        if (silences[i].first - silences[i - 1].second < 50) {
            silences[i - 1].second = silences[i].second;
            silences.removeAt(i);
        } else {
            ++i;
        }
    }
    int speech = 0;
    qsizetype i = 0;
    if (!silences.isEmpty() && silences[0].first <= 0) {
        speech = silences[0].second;
        i = 1;
    }
    for (; i < silences.size(); ++i) {
        const int pause = silences[i].second - silences[i].first;
        if (silences[i].first > speech && pause >= 700)
            return Bookmark{std::max(0, speech - 100), silences[i].first + std::min(200, pause),
                            silences[i].first};
    }
    return std::nullopt;
}

struct Score {
    double sum = 0;
    int worst = 0, edges = 0, missed = 0, covered = 0, files = 0;
    void add(const std::optional<Bookmark>& b, const Truth& t) {
        ++files;
        if (!b) {
            ++missed;
            return;
        }
        covered += b->startMs <= t.startMs && b->endMs >= t.endMs;
        for (int e : {std::abs(b->startMs - std::max(0, t.startMs - 100)),
                      std::abs(b->titleEndMs - t.endMs)}) {
            sum += e;
            worst = std::max(worst, e);
            ++edges;
        }
    }
    double mean() const { return edges ? sum / edges : 0.0; }
    bool betterThan(const Score& o) const {
        return covered != o.covered ? covered > o.covered : mean() < o.mean();
    }
    void print(const QString& who, double seconds) const {
        std::printf("  %-40s %7.2f ms/file  whole title %3d of %d  error mean %5.1f ms, "
                    "worst %5d ms  no title: %d\n",
                    qPrintable(who), 1000 * seconds / files, covered, files, mean(), worst, missed);
    }
};

// One sonvek-zakladki process for all the files: its bookmarks and its time.
QList<std::optional<Bookmark>> ours(const QString& tool, const QList<Truth>& truth,
                                    double& seconds) {
    QStringList args;
    for (const Truth& t : truth)
        args << t.path;
    QProcess p;
    QElapsedTimer timer;
    timer.start();
    p.start(tool, args);
    if (!p.waitForFinished(600000))
        throw std::runtime_error("sonvek-zakladki did not finish");
    seconds = timer.nsecsElapsed() / 1e9;
    QList<std::optional<Bookmark>> found;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> cols = line.split('\t');
        if (cols.size() < 3)
            continue;
        bool ok1 = false, ok2 = false;
        const int start = cols[0].toInt(&ok1), length = cols[1].toInt(&ok2);
        // The title ends 200 ms before the bookmark (less when the pause is
        // shorter, which a 700 ms pause never is).
        found.append(ok1 && ok2
                         ? std::optional(Bookmark{start, start + length, start + length - 200})
                         : std::nullopt);
    }
    if (found.size() != truth.size())
        throw std::runtime_error("sonvek-zakladki printed an unexpected number of lines");
    return found;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench_bookmarks DIR FILES SONVEK_ZAKLADKI\n");
        return 2;
    }
    try {
        const QString dir = QString::fromLocal8Bit(argv[1]);
        const int count = std::atoi(argv[2]);
        const QString tool = QString::fromLocal8Bit(argv[3]);
        const QString testDir = dir + QStringLiteral("/test"),
                      trainDir = dir + QStringLiteral("/train");
        const QList<Truth> train = speechSet(trainDir, 40, 7000);
        const QList<Truth> test = speechSet(testDir, count, 2024);

        // ffmpeg's threshold: the best on the other set.
        int threshold = 0;
        Score bestTrain;
        for (int db = -25; db >= -65; db -= 5) {
            Score s;
            for (const Truth& t : train)
                s.add(silencedetect(t.path, db), t);
            if (threshold == 0 || s.betterThan(bestTrain)) {
                threshold = db;
                bestTrain = s;
            }
        }
        std::printf("ffmpeg's threshold, chosen on %lld other files: %d dB (whole title %d of "
                    "%lld there)\n",
                    qint64(train.size()), threshold, bestTrain.covered, qint64(train.size()));

        std::printf("== spoken titles in %lld files ==\n", qint64(test.size()));
        double oursTime = 0;
        ours(tool, test, oursTime); // warm: the files in the page cache
        const QList<std::optional<Bookmark>> found = ours(tool, test, oursTime);
        Score oursScore;
        for (qsizetype i = 0; i < test.size(); ++i)
            oursScore.add(found[i], test[i]);
        oursScore.print(QStringLiteral("sonvek-zakladki, one process"), oursTime);

        Score ref;
        QElapsedTimer timer;
        timer.start();
        for (const Truth& t : test)
            ref.add(silencedetect(t.path, threshold), t);
        ref.print(QStringLiteral("ffmpeg silencedetect %1 dB, per file").arg(threshold),
                  timer.nsecsElapsed() / 1e9);
        std::printf("  (whole title: the bookmark starts no later and ends no earlier than the "
                    "title's speech;\n   errors: bookmark start against the title's first speech "
                    "less 100 ms, title end against its last speech)\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
