// Finding the spoken title: speed and error against the truth known from how
// each file was made, beside ffmpeg's silencedetect on the same files in the
// same run.
//
//   bench_bookmarks DIR [FILES]
//
// Makes DIR/*.mp3 and DIR/truth.tsv once (FILES files, 200 by default, of
// 2-10 min): a Polish title spoken by espeak-ng after a lead-in of silence,
// a pause, then spoken sentences; four encodings, some files quiet, some
// with light noise or a click in the lead-in. The first 20 s are encoded
// for each file, the rest is one minute of speech per encoding appended
// whole as often as the file's length asks.
#include "audio/WykrywanieTytulu.h"
#include "support/Mp3Maker.h"
#include "support/Speech.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <random>

namespace {

struct Truth {
    QString path;
    int startMs = 0; // first speech of the title, decoder's time base
    int endMs = 0;   // end of the title's speech
};

struct Encoding {
    int rate;
    int channels;
    bool vbr;
    int kbps;
};
const Encoding kEncodings[] = {
    {44100, 2, false, 96}, {22050, 1, false, 48}, {44100, 1, true, 0}, {22050, 1, false, 32}};

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

Mp3Format kodowanie(const Encoding& e) {
    Mp3Format s;
    s.sampleRate = e.rate;
    s.channels = e.channels;
    s.vbr = e.vbr;
    s.bitrateKbps = e.kbps;
    return s;
}

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

QList<Truth> makeFiles(const QString& dir, int count) {
    std::printf("making %d files in %s ...\n", count, qPrintable(dir));
    std::fflush(stdout);
    QDir().mkpath(dir);
    std::vector<std::vector<short>> titles, body;
    for (const char* o : kOrdinals)
        titles.push_back(speak(QStringLiteral("Rozdział %1.").arg(QString::fromUtf8(o))));
    for (const char* s : kSentences)
        body.push_back(speak(QString::fromUtf8(s)));

    // One minute of speech per encoding, appended after each file's head.
    QList<QByteArray> minute;
    for (const Encoding& e : kEncodings) {
        RecordingPlan p;
        p.sampleRate = e.rate;
        p.bodyPauseMs = 400;
        const Recording r = makeRecording(p, body[0], body, 60000);
        minute.append(makeMp3Data(kodowanie(e), r.samples));
    }

    std::mt19937 random(2024);
    auto uniform = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    QList<Truth> truth;
    QByteArray table;
    for (int i = 0; i < count; ++i) {
        const int kind = i % 4;
        const Encoding& e = kEncodings[kind];
        RecordingPlan p;
        p.sampleRate = e.rate;
        p.leadInMs = uniform(0, 2500);
        p.pauseMs = uniform(800, 2500);
        p.bodyPauseMs = uniform(150, 450);
        p.gainDb = -uniform(0, 24);
        p.noiseDbfs = i % 3 == 0 ? -uniform(55, 70) : 0;
        p.clickAtMs = i % 7 == 0 && p.leadInMs > 300 ? p.leadInMs / 3 : -1;
        p.seed = unsigned(i + 1);
        const Recording r = makeRecording(p, titles[std::size_t(i) % titles.size()], body, 20000);
        QByteArray file = makeMp3Data(kodowanie(e), r.samples);
        for (int k = uniform(2, 10) - 1; k > 0; --k) // 20 s + 1..9 min
            file += minute[kind];
        const QString name = QStringLiteral("r%1.mp3").arg(i + 1, 3, 10, QLatin1Char('0'));
        writeAll(dir + QLatin1Char('/') + name, file);
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

// What ffmpeg's silencedetect says over the first 60 s: the end of the
// leading silence (or 0) and the start of the next silence of 0.7 s.
std::optional<std::pair<int, int>> silencedetect(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-hide_banner"), QStringLiteral("-nostats"), QStringLiteral("-t"),
             QStringLiteral("60"), QStringLiteral("-i"), path, QStringLiteral("-af"),
             QStringLiteral("silencedetect=noise=-40dB:d=0.7"), QStringLiteral("-f"),
             QStringLiteral("null"), QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return std::nullopt;
    static const QRegularExpression event(QStringLiteral("silence_(start|end): (-?[0-9.]+)"));
    int speech = 0;
    bool first = true;
    for (const auto& m : event.globalMatch(QString::fromUtf8(p.readAllStandardError()))) {
        const int ms = int(m.captured(2).toDouble() * 1000 + 0.5);
        if (m.captured(1) == QStringLiteral("end") && first)
            speech = ms;
        else if (m.captured(1) == QStringLiteral("start") && ms > speech + 50)
            return std::pair{speech, ms};
        first = false;
    }
    return std::nullopt;
}

struct Errors {
    double sum = 0;
    int worst = 0, edges = 0, missed = 0;
    void add(int start, int end, const Truth& t) {
        for (int e : {std::abs(start - std::max(0, t.startMs - 100)), std::abs(end - t.endMs)}) {
            sum += e;
            worst = std::max(worst, e);
            ++edges;
        }
    }
    void print(const char* who, double seconds, int files) const {
        std::printf("  %-22s %8.2f ms/file   error mean %5.1f ms, worst %5d ms   no title: %d\n",
                    who, 1000 * seconds / files, edges ? sum / edges : 0.0, worst, missed);
    }
};

double timed(const std::function<void()>& pass) {
    QElapsedTimer timer;
    timer.start();
    pass();
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: bench_bookmarks DIR [FILES]\n");
        return 2;
    }
    try {
        const QString dir = QString::fromLocal8Bit(argv[1]);
        const int count = argc == 3 ? std::atoi(argv[2]) : 200;
        QList<Truth> truth = readTruth(dir);
        if (truth.size() != count)
            truth = makeFiles(dir, count);

        qint64 bytes = 0;
        for (const Truth& t : truth)
            bytes += QFile(t.path).size();
        std::printf("%lld files, %.0f MB\n", qint64(truth.size()), bytes / 1e6);

        Errors ours;
        for (const Truth& t : truth) { // also brings the files into the page cache
            if (const auto found = wykryjTytul(t.path))
                ours.add(found->poczatekMs, found->koniecTytuluMs, t);
            else
                ++ours.missed;
        }
        double best = 1e300;
        for (int run = 0; run < 3; ++run)
            best = std::min(best, timed([&] {
                                for (const Truth& t : truth)
                                    wykryjTytul(t.path);
                            }));
        ours.print("wykryjTytul", best, int(truth.size()));

        const double picture = timed([&] {
            for (const Truth& t : truth)
                znajdzTytul(obrazPoczatku(t.path));
        });
        std::printf("  %-22s %8.2f ms/file   (the editor's one decode of 2 min)\n",
                    "obrazPoczatku+znajdz", 1000 * picture / truth.size());

        Errors ref;
        const double refTime = timed([&] {
            for (const Truth& t : truth) {
                if (const auto found = silencedetect(t.path))
                    ref.add(std::max(0, found->first - 100), found->second, t);
                else
                    ++ref.missed;
            }
        });
        ref.print("ffmpeg silencedetect", refTime, int(truth.size()));
        std::printf("  (errors: bookmark start against the title's first speech less 100 ms, "
                    "title end against its last speech)\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
