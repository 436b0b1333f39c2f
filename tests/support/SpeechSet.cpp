#include "support/SpeechSet.h"

#include "support/Speech.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <map>
#include <random>
#include <stdexcept>

namespace {

using Truth = SpeechFile;

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
        const EncodedRecording mp3 = encodeRecording(r, {e.channels, e.vbr, e.kbps});
        const QString name = QStringLiteral("r%1.mp3").arg(i + 1, 3, 10, QLatin1Char('0'));
        writeAll(dir + QLatin1Char('/') + name, mp3.mp3);
        truth.append({dir + QLatin1Char('/') + name, mp3.titleStartMs, mp3.titleEndMs});
        table += QStringLiteral("%1\t%2\t%3\n")
                     .arg(name)
                     .arg(truth.last().startMs)
                     .arg(truth.last().endMs)
                     .toUtf8();
    }
    writeAll(dir + QStringLiteral("/truth.tsv"), table);
    return truth;
}

} // namespace

QList<SpeechFile> speechSet(const QString& dir, int count, unsigned seed) {
    QList<SpeechFile> files = readTruth(dir);
    if (files.size() == count)
        return files;
    std::map<int, Voice> voices;
    for (int wpm : kSpeeds) {
        Voice& v = voices[wpm];
        for (const char* o : kOrdinals)
            v.titles.push_back(
                speak(QStringLiteral("Rozdział %1.").arg(QString::fromUtf8(o)), wpm));
        for (const char* s : kSentences)
            v.body.push_back(speak(QString::fromUtf8(s), wpm));
    }
    return makeFiles(dir, count, seed, voices);
}
