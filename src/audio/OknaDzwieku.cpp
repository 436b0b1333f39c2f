#include "audio/OknaDzwieku.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kOknoMs = ObrazDzwieku::kOknoMs;
constexpr std::int64_t kTykiOkna = kTicksPerMs * kOknoMs;
constexpr int kMinMowaOkien = kMinMowaMs / kOknoMs;
constexpr int kSylabaOkien = 120 / kOknoMs;
constexpr int kPoSylabieOkien = 150 / kOknoMs;
constexpr int kMowaPoOkien = 2000 / kOknoMs; // the speech that follows: this far
constexpr float kDalekoCiszej = 0.1f;        // -20 dB
// Decoded before the first window and dropped: the bit reservoir of a
// Layer III frame reaches back over at most a few frames.
constexpr std::int64_t kRozbiegTykow = 400 * kTicksPerMs;

constexpr float kPodPoziomem = 0.031622777f; // -30 dB
constexpr float kNadSzumem = 2.0f;           // +6 dB
constexpr float kNajnizszyProg = 0.001f;     // -60 dBFS
constexpr float kPelnaSkala = 32768.0f;

// The walk stops at once when cancelled, also in a long stretch of bytes
// that are no audio before the first frame.
int czestotliwosc(const QString& path, const std::atomic_bool* przerwij) {
    Mp3Stream naglowki(path);
    naglowki.stopWhen(przerwij);
    Mp3Frame ramka;
    // Throws when there is no first frame; false only when cancelled, and
    // then nothing is decoded.
    if (!naglowki.nextFrame(ramka))
        return 44100;
    return ramka.sampleRate;
}

} // namespace

DekoderOkien::DekoderOkien(const QString& path, const std::atomic_bool* przerwij, int odMs)
    : czestotliwosc_(czestotliwosc(path, przerwij)), stream_(path, czestotliwosc_),
      przerwij_(przerwij), tykiProbki_(kTicksPerSecond / czestotliwosc_) {
    stream_.stopWhen(przerwij);
    pierwsze_ = std::max(0, odMs) / kOknoMs;
    if (pierwsze_ > 0)
        czas_ = stream_.skipTo(std::max<std::int64_t>(0, pierwsze_ * kTykiOkna - kRozbiegTykow));
}

bool DekoderOkien::dekodujDo(ObrazDzwieku& obraz, std::size_t okien) {
    obraz.pierwsze = pierwsze_;
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
        // A frame that does not decode is silence for its duration, as in
        // the player: the time of everything after it stays right.
        const std::span<const std::int16_t> pcm = stream_.decodeFrame();
        std::int64_t t = czas_;
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2, t += tykiProbki_)
            dodaj(obraz, t, (pcm[i] + pcm[i + 1]) / 2);
        czas_ += ramka.durationTicks;
    }
    return true;
}

void DekoderOkien::dodaj(ObrazDzwieku& obraz, std::int64_t t, int probka) {
    const std::int64_t okno = t / kTykiOkna - pierwsze_;
    if (okno < 0) // the run-up before the first window
        return;
    // A resampled frame may overhang its end by a sample; it then counts in
    // the window being filled.
    while (std::size_t(okno) > obraz.okna.size())
        zamknijOkno(obraz);
    suma_ += std::int64_t(probka) * probka;
    min_ = std::min(min_, probka);
    max_ = std::max(max_, probka);
    ++probek_;
}

void DekoderOkien::zamknijOkno(ObrazDzwieku& obraz) {
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

void DekoderOkien::zakoncz(ObrazDzwieku& obraz) {
    // A file that ends before the first window: no windows, from its end.
    const std::int64_t koniec = (czas_ + kTykiOkna - 1) / kTykiOkna;
    if (koniec < pierwsze_)
        obraz.pierwsze = pierwsze_ = int(koniec);
    const std::int64_t wszystkie = koniec - pierwsze_;
    while (std::int64_t(obraz.okna.size()) < wszystkie || probek_ > 0)
        zamknijOkno(obraz);
    obraz.doKonca = true;
}

float progMowy(const std::vector<OknoDzwieku>& okna, int n) {
    if (n <= 0)
        return kNajnizszyProg;
    std::vector<float> rms(std::size_t(n), 0.0f);
    for (int i = 0; i < n; ++i)
        rms[std::size_t(i)] = okna[std::size_t(i)].rms;
    auto percentyl = [&](int p) {
        const auto at = rms.begin() + (std::max(1, (p * n + 99) / 100) - 1);
        std::nth_element(rms.begin(), at, rms.end());
        return *at;
    };
    const float poziom = percentyl(95);
    const float szum = percentyl(10);
    return std::max({poziom * kPodPoziomem, szum * kNadSzumem, kNajnizszyProg});
}

std::vector<BiegMowy> biegiMowy(const std::vector<OknoDzwieku>& okna, int n, float prog) {
    std::vector<BiegMowy> biegi;
    for (int i = 0; i < n;) {
        if (okna[std::size_t(i)].rms < prog) {
            ++i;
            continue;
        }
        const int od = i;
        while (i < n && okna[std::size_t(i)].rms >= prog)
            ++i;
        if (i - od >= kMinMowaOkien)
            biegi.push_back({od, i});
    }
    return biegi;
}

bool zaklocenie(const std::vector<OknoDzwieku>& okna, const BiegMowy& bieg, int n, float prog) {
    float glosnosc = 0;
    for (int i = bieg.od; i < bieg.koniec; ++i)
        glosnosc = std::max(glosnosc, okna[std::size_t(i)].rms);
    float potem = 0;
    int nastepna = -1; // start of the next run of speech
    for (int i = bieg.koniec, dlugosc = 0; i < std::min(n, bieg.koniec + kMowaPoOkien); ++i) {
        potem = std::max(potem, okna[std::size_t(i)].rms);
        dlugosc = okna[std::size_t(i)].rms >= prog ? dlugosc + 1 : 0;
        if (nastepna < 0 && dlugosc == kMinMowaOkien)
            nastepna = i + 1 - kMinMowaOkien;
    }
    const bool krotki = bieg.koniec - bieg.od < kSylabaOkien &&
                        (nastepna < 0 || nastepna - bieg.koniec >= kPoSylabieOkien);
    return krotki || glosnosc < potem * kDalekoCiszej;
}
