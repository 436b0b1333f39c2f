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
// truth.tsv: a Polish title spoken by espeak-ng at one of three speeds after
// a lead-in, a pause, then spoken sentences, 25 s in all; mono 22.05 kHz and
// stereo 44.1 kHz at several bit rates and VBR, quiet and loud, with and
// without background noise, some with a click, a knock or a breath in the
// lead-in. Ours is timed as one sonvek-zakladki process for all the files,
// ffmpeg as one process per file.
#include "support/Mp3Maker.h"
#include "support/Speech.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <map>
#include <optional>
#include <random>

namespace {

struct Truth {
    QString path;
    int startMs = 0; // first speech of the title, decoder's time base
    int endMs = 0;   // end of the title's speech
};

struct Bookmark {
    int startMs = 0, endMs = 0; // the bookmark
    int titleEndMs = 0;         // where the method says the title ends
};

struct Encoding {
    int rate;
    int channels;
    bool vbr;
    int kbps;
};
const Encoding kEncodings[] = {{22050, 1, false, 32},  {22050, 1, false, 48}, {22050, 1, true, 0},
                               {44100, 2, false, 128}, {44100, 2, false, 64}, {44100, 2, true, 0}};
const int kSpeeds[] = {130, 175, 230}; // words per minute

const char* const kOrdinals[] = {"pierwszy",    "drugi",      "trzeci",        "czwarty",
                                 "piąty",       "szósty",     "siódmy",        "ósmy",
                                 "dziewiąty",   "dziesiąty",  "jedenasty",     "dwunasty",
                                 "trzynasty",   "czternasty", "piętnasty",     "szesnasty",
                                 "siedemnasty", "osiemnasty", "dziewiętnasty", "dwudziesty"};
const char* const kSentences[] = {
    "Było ciepłe, pogodne popołudnie i nikt w miasteczku nie spodziewał się burzy.",
    "Ola wzięła koszyk, zamknęła drzwi na klucz i poszła drogą w stronę lasu.",
    "Po godzinie marszu usiadła na pniu, żeby odpocząć i napić się wody.",
    "Nad polami krążył jastrząb, a w trawie cykały świerszcze.",
    "Wtedy usłyszała za sobą kroki i odwróciła się powoli.",
    "Na ścieżce stał stary leśniczy z psem, który machał ogonem."};

QList<Truth> readTruth(const QString& dir) {
    QList<Truth> truth;
    QFile f(dir + QStringLiteral("/truth.tsv"));
    if (!f.open(QIODevice::ReadOnly))
        return truth;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> cols = line.split('\t');
        if (cols.size() == 3)
            truth.append({dir + QLatin1Char('/') + QString::fromUtf8(cols[0]), cols[1].toInt(),
                          cols[2].toInt()});
    }
    return truth;
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

struct Voice {
    std::vector<std::vector<short>> titles, body;
};

QList<Truth> makeFiles(const QString& dir, int count, unsigned seed,
                       const std::map<int, Voice>& voices) {
    std::printf("making %d files in %s ...\n", count, qPrintable(dir));
    std::fflush(stdout);
    QDir().mkpath(dir);
    std::mt19937 random(seed);
    auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    QList<Truth> truth;
    QByteArray table;
    for (int i = 0; i < count; ++i) {
        const Encoding& e = kEncodings[uniform(0, 5)];
        const Voice& v = voices.at(kSpeeds[uniform(0, 2)]);
        RecordingPlan p;
        p.sampleRate = e.rate;
        p.leadInMs = uniform(0, 2500);
        p.pauseMs = uniform(800, 2500);
        p.bodyPauseMs = uniform(150, 450);
        p.gainDb = -uniform(0, 24);
        const int noise[] = {0, 0, -70, -62, -55};
        p.noiseDbfs = noise[uniform(0, 4)];
        p.seed = seed + unsigned(i);
        if (p.leadInMs > 700) {
            switch (uniform(0, 5)) {
            case 0: // a click
                p.clickAtMs = uniform(100, p.leadInMs - 300);
                break;
            case 1: // a knock: short and loud
                p.burstAtMs = uniform(100, p.leadInMs - 400);
                p.burstMs = uniform(50, 90);
                p.burstDbfs = -uniform(10, 18);
                break;
            case 2: // a breath: long and far quieter than the speech
                p.burstMs = uniform(250, 500);
                p.burstAtMs = uniform(0, p.leadInMs - p.burstMs - 250);
                p.burstDbfs = -uniform(42, 48);
                break;
            default:
                break;
            }
        }
        const Recording r =
            makeRecording(p, v.titles[std::size_t(i) % v.titles.size()], v.body, 25000);
        Mp3Format f;
        f.sampleRate = e.rate;
        f.channels = e.channels;
        f.vbr = e.vbr;
        f.bitrateKbps = e.kbps;
        f.id3v2 = f.xing = e.vbr;
        const QString name = QStringLiteral("r%1.mp3").arg(i + 1, 3, 10, QLatin1Char('0'));
        writeAll(dir + QLatin1Char('/') + name, makeMp3Data(f, r.samples));
        const int delayMs = kMp3DelaySamples * 1000 / e.rate;
        truth.append(
            {dir + QLatin1Char('/') + name, r.titleStartMs + delayMs, r.titleEndMs + delayMs});
        table += QStringLiteral("%1\t%2\t%3\n")
                     .arg(name)
                     .arg(truth.last().startMs)
                     .arg(truth.last().endMs)
                     .toUtf8();
    }
    writeAll(dir + QStringLiteral("/truth.tsv"), table);
    return truth;
}

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
        QList<Truth> test = readTruth(testDir), train = readTruth(trainDir);
        if (test.size() != count || train.size() != 40) {
            std::map<int, Voice> voices;
            for (int wpm : kSpeeds) {
                Voice& v = voices[wpm];
                for (const char* o : kOrdinals)
                    v.titles.push_back(
                        speak(QStringLiteral("Rozdział %1.").arg(QString::fromUtf8(o)), wpm));
                for (const char* s : kSentences)
                    v.body.push_back(speak(QString::fromUtf8(s), wpm));
            }
            if (train.size() != 40)
                train = makeFiles(trainDir, 40, 7000, voices);
            if (test.size() != count)
                test = makeFiles(testDir, count, 2024, voices);
        }

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
