#include "audio/WykrywanieTytulu.h"

#include "audio/Mp3Stream.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kOknoMs = ObrazDzwieku::kOknoMs;
constexpr std::int64_t kTykiOkna = kTicksPerMs * kOknoMs;

constexpr int kMaksOkien = kWykrywanieMaksMs / kOknoMs;
constexpr int kKrokOkien = 1000 / kOknoMs;      // the search looks a second further each time
constexpr int kMinOkien = 5000 / kOknoMs;       // a level from less than 5 s is not trusted,
constexpr int kZaPrzerwaOkien = 1000 / kOknoMs; // nor one taken from no audio past the pause
constexpr int kMinMowaOkien = 50 / kOknoMs;     // shorter bursts are clicks or breaths
// Before the title: a burst shorter than a syllable with silence after it,
// or a sound far quieter than the speech that follows, is a noise (a knock,
// a breath, a rustle) and not the title's first word.
constexpr int kSylabaOkien = 120 / kOknoMs;
constexpr int kPoSylabieOkien = 150 / kOknoMs;
constexpr int kMowaPoOkien = 2000 / kOknoMs; // the speech that follows: this far
constexpr float kDalekoCiszej = 0.1f;        // -20 dB
constexpr int kPrzedMowaMs = 100;
constexpr int kPoTytuleMs = 200;
constexpr float kPodPoziomem = 0.031622777f; // -30 dB
constexpr float kNadSzumem = 2.0f;           // +6 dB
constexpr float kNajnizszyProg = 0.001f;     // -60 dBFS
constexpr float kPelnaSkala = 32768.0f;

// Decodes a file's frames into windows, a few at a time, keeping its place
// between calls so that a search can stop as soon as it has its answer.
class Dekoder {
public:
    Dekoder(const QString& path, const std::atomic_bool* przerwij)
        : czestotliwosc_(czestotliwosc(path, przerwij)), stream_(path, czestotliwosc_),
          przerwij_(przerwij) {
        stream_.stopWhen(przerwij);
    }

    // Adds windows to `obraz` until it holds `okien` of them or the file
    // has ended. False when cancelled.
    bool dekodujDo(ObrazDzwieku& obraz, std::size_t okien) {
        Mp3Frame ramka;
        while (obraz.okna.size() < okien && !obraz.doKonca) {
            if (przerwij_ && przerwij_->load(std::memory_order_relaxed))
                return false;
            if (!stream_.nextFrame(ramka)) {
                if (przerwij_ && przerwij_->load(std::memory_order_relaxed))
                    return false;
                zakoncz(obraz);
                break;
            }
            // A frame that does not decode is silence for its duration, as
            // in the player: the time of everything after it stays right.
            const std::span<const std::int16_t> pcm = stream_.decodeFrame();
            std::int64_t t = czas_;
            for (std::size_t i = 0; i + 1 < pcm.size(); i += 2, t += tykiProbki_)
                dodaj(obraz, t, (pcm[i] + pcm[i + 1]) / 2);
            czas_ += ramka.durationTicks;
        }
        return true;
    }

private:
    // Frames are decoded at the first frame's own rate: no resampling, and
    // the player's positions (frame durations) are kept whatever the rate.
    // The walk stops at once when cancelled, also in a long stretch of
    // bytes that are no audio before the first frame.
    static int czestotliwosc(const QString& path, const std::atomic_bool* przerwij) {
        Mp3Stream naglowki(path);
        naglowki.stopWhen(przerwij);
        Mp3Frame ramka;
        // Throws when there is no first frame; false only when cancelled,
        // and then nothing is decoded.
        if (!naglowki.nextFrame(ramka))
            return 44100;
        return ramka.sampleRate;
    }

    void dodaj(ObrazDzwieku& obraz, std::int64_t t, int probka) {
        // A resampled frame may overhang its end by a sample; it then
        // counts in the window being filled.
        while (std::size_t(t / kTykiOkna) > obraz.okna.size())
            zamknijOkno(obraz);
        suma_ += std::int64_t(probka) * probka;
        min_ = std::min(min_, probka);
        max_ = std::max(max_, probka);
        ++probek_;
    }

    void zamknijOkno(ObrazDzwieku& obraz) {
        OknoDzwieku okno;
        if (probek_ > 0) {
            okno.min = float(min_) / kPelnaSkala;
            okno.max = float(max_) / kPelnaSkala;
            okno.rms = float(std::sqrt(double(suma_) / double(probek_))) / kPelnaSkala;
        }
        obraz.okna.push_back(okno);
        suma_ = probek_ = 0;
        min_ = INT16_MAX;
        max_ = INT16_MIN;
    }

    void zakoncz(ObrazDzwieku& obraz) {
        const std::size_t wszystkie = std::size_t((czas_ + kTykiOkna - 1) / kTykiOkna);
        while (obraz.okna.size() < wszystkie || probek_ > 0)
            zamknijOkno(obraz);
        obraz.doKonca = true;
    }

    const int czestotliwosc_;
    Mp3Stream stream_;
    const std::atomic_bool* przerwij_;
    const std::int64_t tykiProbki_ = kTicksPerSecond / czestotliwosc_;
    std::int64_t czas_ = 0; // start of the next frame, in ticks
    std::int64_t suma_ = 0, probek_ = 0;
    int min_ = INT16_MAX, max_ = INT16_MIN;
};

// Whether the run of speech [od, koniec) before any title is a noise
// rather than the title's start (see kSylabaOkien); `n` windows are known
// and `prog` is the speech threshold.
bool zaklocenie(const std::vector<OknoDzwieku>& okna, int od, int koniec, int n, float prog) {
    float glosnosc = 0;
    for (int i = od; i < koniec; ++i)
        glosnosc = std::max(glosnosc, okna[std::size_t(i)].rms);
    float potem = 0;
    int nastepna = -1; // start of the next run of speech
    for (int i = koniec, bieg = 0; i < std::min(n, koniec + kMowaPoOkien); ++i) {
        potem = std::max(potem, okna[std::size_t(i)].rms);
        bieg = okna[std::size_t(i)].rms >= prog ? bieg + 1 : 0;
        if (nastepna < 0 && bieg == kMinMowaOkien)
            nastepna = i + 1 - kMinMowaOkien;
    }
    const bool krotki =
        koniec - od < kSylabaOkien && (nastepna < 0 || nastepna - koniec >= kPoSylabieOkien);
    return krotki || glosnosc < potem * kDalekoCiszej;
}

struct Znalezisko {
    WykrytyTytul tytul;
    int koniecPrzerwyOkno = 0; // how far the pause is known to reach
};

// The title in the first n windows, with the level taken from them alone.
std::optional<Znalezisko> ocen(const std::vector<OknoDzwieku>& okna, int n, int przerwaOkien) {
    std::vector<float> rms(std::size_t(n), 0.0f);
    for (int i = 0; i < n; ++i)
        rms[std::size_t(i)] = okna[std::size_t(i)].rms;
    auto percentyl = [&](int p) {
        const auto at = rms.begin() + (std::max(1, (p * n + 99) / 100) - 1);
        std::nth_element(rms.begin(), at, rms.end());
        return *at;
    };
    // Speech lies above a level 30 dB under the loud parts, and clearly
    // above the background noise, which fills the pauses (the quietest
    // tenth of the windows) of a noisy recording.
    const float poziom = percentyl(95);
    const float szum = percentyl(10);
    const float prog = std::max({poziom * kPodPoziomem, szum * kNadSzumem, kNajnizszyProg});

    int pierwsza = -1, koniec = -1; // first speech, end of the latest run of speech
    auto znaleziony = [&](int przerwa) {
        const int poczatek = std::max(0, pierwsza * kOknoMs - kPrzedMowaMs);
        const int koniecMs = koniec * kOknoMs;
        return Znalezisko{
            {poczatek, koniecMs + std::min(kPoTytuleMs, przerwa * kOknoMs) - poczatek, koniecMs},
            koniec + przerwa};
    };
    for (int i = 0; i < n;) {
        if (okna[std::size_t(i)].rms < prog) {
            ++i;
            continue;
        }
        const int od = i;
        while (i < n && okna[std::size_t(i)].rms >= prog)
            ++i;
        if (i - od < kMinMowaOkien)
            continue;
        if (pierwsza < 0) {
            if (zaklocenie(okna, od, i, n, prog))
                continue;
            pierwsza = od;
        } else if (od - koniec >= przerwaOkien)
            return znaleziony(od - koniec);
        koniec = i;
    }
    if (pierwsza >= 0 && n - koniec >= przerwaOkien)
        return znaleziony(n - koniec);
    return std::nullopt;
}

// Examines a growing part of the beginning, a second more each time;
// `dociagnij(n)` makes the first n windows available when it can (false:
// cancelled).
template <typename Dociagnij>
std::optional<WykrytyTytul> szukaj(const ObrazDzwieku& obraz, int przerwaMs,
                                   Dociagnij&& dociagnij) {
    const int przerwaOkien = std::max(1, (przerwaMs + kOknoMs - 1) / kOknoMs);
    for (int n = kKrokOkien;; n = std::min(n + kKrokOkien, kMaksOkien)) {
        if (!dociagnij(n))
            return std::nullopt;
        const int dostepne = int(std::min<std::size_t>(obraz.okna.size(), std::size_t(n)));
        const bool ostatni = dostepne < n || n == kMaksOkien;
        const std::optional<Znalezisko> z = ocen(obraz.okna, dostepne, przerwaOkien);
        if (z && (ostatni || (n >= kMinOkien && n >= z->koniecPrzerwyOkno + kZaPrzerwaOkien)))
            return z->tytul;
        if (ostatni)
            return std::nullopt;
    }
}

} // namespace

ObrazDzwieku obrazPoczatku(const QString& path, int maksMs, const std::atomic_bool* przerwij) {
    const std::size_t okien = std::size_t(std::max(0, maksMs) / kOknoMs);
    ObrazDzwieku obraz;
    Dekoder(path, przerwij).dekodujDo(obraz, okien);
    if (obraz.okna.size() > okien) {
        obraz.okna.resize(okien);
        obraz.doKonca = false;
    }
    return obraz;
}

std::optional<WykrytyTytul> znajdzTytul(const ObrazDzwieku& obraz, int przerwaMs) {
    return szukaj(obraz, przerwaMs, [](int) { return true; });
}

std::optional<WykrytyTytul> wykryjTytul(const QString& path, int przerwaMs,
                                        const std::atomic_bool* przerwij) {
    ObrazDzwieku obraz;
    Dekoder dekoder(path, przerwij);
    return szukaj(obraz, przerwaMs,
                  [&](int n) { return dekoder.dekodujDo(obraz, std::size_t(n)); });
}
