#include "support/Speech.h"

#include "support/Mp3Maker.h"

#include <QProcess>
#include <QtEndian>
#include <cmath>
#include <numbers>
#include <random>
#include <stdexcept>

namespace {

constexpr int kTrimLevel = 328; // -40 dBFS

void require(bool ok, const std::string& what) {
    if (!ok)
        throw std::runtime_error("Speech: " + what);
}

// Linear interpolation to `factor` times the rate.
std::vector<short> upsample(const std::vector<short>& in, int factor) {
    if (factor == 1 || in.empty())
        return in;
    std::vector<short> out(in.size() * std::size_t(factor));
    for (std::size_t i = 0; i < in.size(); ++i) {
        const int a = in[i], b = i + 1 < in.size() ? in[i + 1] : in[i];
        for (int k = 0; k < factor; ++k)
            out[i * std::size_t(factor) + std::size_t(k)] = short(a + (b - a) * k / factor);
    }
    return out;
}

int samplesOf(int ms, int rate) {
    return int(std::int64_t(ms) * rate / 1000);
}

} // namespace

std::vector<short> speak(const QString& text, int wordsPerMinute) {
    QStringList args{QStringLiteral("-v"), QStringLiteral("pl"), QStringLiteral("--stdout")};
    if (wordsPerMinute > 0)
        args << QStringLiteral("-s") << QString::number(wordsPerMinute);
    QProcess p;
    p.start(QStringLiteral("espeak-ng"), args << text);
    require(p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0,
            "espeak-ng did not run (scripts/deps.sh installs it)");
    const QByteArray wav = p.readAllStandardOutput();
    // A streamed WAV: the sizes in its header are not filled in, so the
    // samples are everything after the "data" chunk's header.
    const qsizetype data = wav.indexOf("data");
    require(wav.startsWith("RIFF") && data >= 36 && wav.size() > data + 8, "no WAV from espeak-ng");
    require(qFromLittleEndian<quint32>(wav.constData() + 24) == kSpeechRate &&
                qFromLittleEndian<quint16>(wav.constData() + 22) == 1,
            "espeak-ng gave an unexpected format");
    std::vector<short> pcm(std::size_t(wav.size() - data - 8) / 2);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = qFromLittleEndian<qint16>(wav.constData() + data + 8 + 2 * qsizetype(i));
    auto loud = [](short s) { return std::abs(int(s)) >= kTrimLevel; };
    const auto first = std::find_if(pcm.begin(), pcm.end(), loud);
    const auto last = std::find_if(pcm.rbegin(), pcm.rend(), loud).base();
    require(first < last, "espeak-ng spoke nothing");
    return {first, last};
}

Recording makeRecording(const RecordingPlan& plan, const std::vector<short>& title,
                        const std::vector<std::vector<short>>& body, int minimumMs) {
    require(plan.sampleRate % kSpeechRate == 0 && !body.empty(), "bad plan");
    const int factor = plan.sampleRate / kSpeechRate;
    const int rate = plan.sampleRate;
    Recording r;
    r.sampleRate = rate;
    std::vector<double> mix;
    auto silence = [&](int ms) { mix.insert(mix.end(), std::size_t(samplesOf(ms, rate)), 0.0); };
    auto say = [&](const std::vector<short>& speech) {
        for (short s : upsample(speech, factor))
            mix.push_back(s);
    };

    silence(plan.leadInMs);
    r.titleStartMs = plan.leadInMs;
    say(title);
    r.titleEndMs = plan.leadInMs + int(std::int64_t(title.size()) * 1000 / kSpeechRate);
    silence(plan.pauseMs);
    for (std::size_t i = 0; i < body.size() || int(mix.size()) < samplesOf(minimumMs, rate); ++i) {
        if (i > 0)
            silence(plan.bodyPauseMs);
        say(body[i % body.size()]);
    }

    if (plan.clickAtMs >= 0) {
        const int from = samplesOf(plan.clickAtMs, rate);
        for (int i = 0; i < samplesOf(20, rate) && from + i < int(mix.size()); ++i)
            mix[std::size_t(from + i)] += 8000 * std::sin(2 * std::numbers::pi * 1000 * i / rate);
    }
    if (plan.burstAtMs >= 0) {
        std::mt19937 random(plan.seed + 1000);
        std::normal_distribution<double> noise(0, 32768 * std::pow(10.0, plan.burstDbfs / 20));
        const int from = samplesOf(plan.burstAtMs, rate);
        for (int i = 0; i < samplesOf(plan.burstMs, rate) && from + i < int(mix.size()); ++i)
            mix[std::size_t(from + i)] += noise(random);
    }
    const double gain = std::pow(10.0, plan.gainDb / 20);
    for (double& s : mix)
        s *= gain;
    if (plan.noiseDbfs < 0) {
        std::mt19937 random(plan.seed);
        std::normal_distribution<double> noise(0, 32768 * std::pow(10.0, plan.noiseDbfs / 20));
        for (double& s : mix)
            s += noise(random);
    }
    r.samples.reserve(mix.size());
    for (double s : mix)
        r.samples.push_back(short(std::clamp(std::lround(s), -32768L, 32767L)));
    return r;
}

EncodedRecording encodeRecording(const Recording& r, const SpeechEncoding& e) {
    Mp3Format f;
    f.sampleRate = r.sampleRate;
    f.channels = e.channels;
    f.vbr = e.vbr;
    f.bitrateKbps = e.kbps;
    f.id3v2 = f.xing = e.vbr;
    const int delayMs = kMp3DelaySamples * 1000 / r.sampleRate;
    return {makeMp3Data(f, r.samples), r.titleStartMs + delayMs, r.titleEndMs + delayMs};
}
