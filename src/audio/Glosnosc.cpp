#include "audio/Glosnosc.h"

#include "audio/Mp3Stream.h"
#include "audio/WzmocnienieRamek.h"
#include "base/Errors.h"

#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ebur128.h>
#include <memory>
#include <vector>

namespace {

struct UsunStan {
    void operator()(ebur128_state* s) const { ebur128_destroy(&s); }
};

// Frames are decoded at the first frame's own rate and channel count. A
// mono file is measured as dual mono: the player sends its one channel to
// both ears, where it sounds as loud as a stereo file of two equal
// channels, so the two must measure alike for the chapters of a book to be
// levelled alike (as one channel it would read 3 LU quieter).
struct Format {
    int czestotliwosc = 0;
    int kanaly = 0;
};

Format formatPierwszejRamki(const QString& path) {
    Mp3Stream naglowki(path);
    Mp3Frame ramka;
    naglowki.nextFrame(ramka); // throws when there is no first frame
    return {ramka.sampleRate, ramka.channels};
}

double decybele(double liniowo) {
    return liniowo > 0 ? 20.0 * std::log10(liniowo) : -200.0;
}

// The true peak: the highest magnitude of the signal oversampled four
// times, as the EBU R128 meters take it. Each channel passes a 48-tap
// interpolating filter (a Hann-windowed sinc, 12 taps for each of the three
// points between two samples; the samples themselves count as they are).
// A block whose samples, with those before it, are too low for any point
// between them to exceed the peak found so far is not interpolated: the
// filter's gain bounds every point by the block's highest sample times the
// sum of the filter's magnitudes, so skipping it never changes the result,
// and in speech most blocks are far below the loudest syllable.
class SzczytRzeczywisty {
public:
    explicit SzczytRzeczywisty(int kanaly) : m_kanaly(kanaly) {
        for (int faza = 1; faza < 4; ++faza) {
            float suma = 0;
            for (int k = 0; k < kTapow; ++k) {
                const double t = (4 * k + faza - 24) / 4.0; // in input samples
                const double sinc = std::sin(M_PI * t) / (M_PI * t);
                const double okno = 0.5 * (1 + std::cos(M_PI * t / 6.25));
                m_wspolczynniki[faza - 1][k] = float(sinc * okno);
                suma += std::fabs(m_wspolczynniki[faza - 1][k]);
            }
            m_wzmocnienie = std::max(m_wzmocnienie, suma);
        }
        m_bufor.assign(size_t(kanaly), std::vector<float>(kTapow - 1, 0.0f));
        m_poprzedni.assign(size_t(kanaly), 0.0f);
    }

    // `probki`: `n` interleaved samples of `odstep` channels, of which the
    // first m_kanaly are taken.
    void dodaj(const float* probki, size_t n, int odstep) {
        for (int c = 0; c < m_kanaly; ++c) {
            std::vector<float>& x = m_bufor[size_t(c)]; // 11 earlier samples, then the block
            x.resize(kTapow - 1 + n);
            float najwyzszy = 0;
            for (size_t i = 0; i < n; ++i) {
                const float v = probki[i * size_t(odstep) + size_t(c)];
                x[kTapow - 1 + i] = v;
                najwyzszy = std::max(najwyzszy, std::fabs(v));
            }
            m_szczyt = std::max(m_szczyt, najwyzszy);
            const float ograniczenie = std::max(najwyzszy, m_poprzedni[size_t(c)]) * m_wzmocnienie;
            m_poprzedni[size_t(c)] = najwyzszy;
            if (ograniczenie > m_szczyt)
                interpoluj(x, n);
            std::copy(x.end() - (kTapow - 1), x.end(), x.begin());
            x.resize(kTapow - 1);
        }
    }

    double szczyt() const { return m_szczyt; }

private:
    static constexpr int kTapow = 12;

    // Four output points at a time in one vector each (GCC's and Clang's
    // vector types; SSE on every x86-64, NEON on ARM).
    using V4 = float __attribute__((vector_size(16)));

    void interpoluj(const std::vector<float>& x, size_t n) {
        const float* z = x.data() + (kTapow - 1); // z[m - k] for k up to 11 is in x
        const auto& [c1, c2, c3] = m_wspolczynniki;
        V4 najwyzszy{};
        size_t m = 0;
        for (; m + 4 <= n; m += 4) {
            V4 a1{}, a2{}, a3{};
            for (int k = 0; k < kTapow; ++k) {
                V4 v;
                std::memcpy(&v, z + m - size_t(k), sizeof v);
                a1 += c1[size_t(k)] * v;
                a2 += c2[size_t(k)] * v;
                a3 += c3[size_t(k)] * v;
            }
            a1 *= a1;
            a2 *= a2;
            a3 *= a3;
            najwyzszy = najwyzszy > a1 ? najwyzszy : a1;
            najwyzszy = najwyzszy > a2 ? najwyzszy : a2;
            najwyzszy = najwyzszy > a3 ? najwyzszy : a3;
        }
        float kwadrat = std::max({najwyzszy[0], najwyzszy[1], najwyzszy[2], najwyzszy[3]});
        for (; m < n; ++m) {
            for (const auto& c : m_wspolczynniki) {
                float a = 0;
                for (int k = 0; k < kTapow; ++k)
                    a += c[size_t(k)] * z[m - size_t(k)];
                kwadrat = std::max(kwadrat, a * a);
            }
        }
        m_szczyt = std::max(m_szczyt, std::sqrt(kwadrat));
    }

    int m_kanaly;
    std::array<std::array<float, kTapow>, 3> m_wspolczynniki{};
    float m_wzmocnienie = 0;
    float m_szczyt = 0;
    std::vector<std::vector<float>> m_bufor;
    std::vector<float> m_poprzedni;
};

// The loudness of the speech from the 400 ms blocks (their mean squares,
// K-weighted): those more than 10 LU above the median block above -70 LUFS
// are left out, the rest gated as EBU R128 gates them.
std::optional<double> glosnoscMowy(std::vector<double> bloki) {
    const double prog = std::pow(10.0, (-70.0 + 0.691) / 10.0);
    std::erase_if(bloki, [prog](double e) { return e <= prog; });
    if (bloki.empty())
        return std::nullopt;
    std::vector<double> posortowane = bloki;
    const auto srodek = posortowane.begin() + std::ptrdiff_t(posortowane.size() / 2);
    std::nth_element(posortowane.begin(), srodek, posortowane.end());
    const double gora = *srodek * 10.0; // +10 LU
    std::erase_if(bloki, [gora](double e) { return e > gora; });
    double suma = 0;
    for (const double e : bloki)
        suma += e;
    const double bramka = suma / double(bloki.size()) / 10.0; // -10 LU
    double mowa = 0;
    std::size_t n = 0;
    for (const double e : bloki) {
        if (e > bramka) {
            mowa += e;
            ++n;
        }
    }
    if (n == 0)
        return std::nullopt;
    return -0.691 + 10.0 * std::log10(mowa / double(n));
}

} // namespace

std::optional<PomiarGlosnosci> zmierzGlosnosc(const QString& path,
                                              const std::atomic_bool* przerwij) {
    const Format format = formatPierwszejRamki(path);
    Mp3Stream stream(path, format.czestotliwosc, true);
    std::unique_ptr<ebur128_state, UsunStan> stan(ebur128_init(
        unsigned(format.kanaly), unsigned(format.czestotliwosc), EBUR128_MODE_I | EBUR128_MODE_M));
    if (!stan || (format.kanaly == 1 &&
                  ebur128_set_channel(stan.get(), 0, EBUR128_DUAL_MONO) != EBUR128_SUCCESS))
        throw EMCIDeviceError(
            QStringLiteral("Nie można zmierzyć głośności pliku „%1”").arg(nativePath(path)));

    SzczytRzeczywisty szczyt(format.kanaly);
    PomiarGlosnosci pomiar;
    // The gains of every frame the walk finds (the information frame has
    // none and is told apart by its bytes).
    stream.eachFrameBytes([&pomiar](const unsigned char* bajty, int n) {
        const OpisRamki opis = opiszRamke({bajty, size_t(n)});
        if (opis.rodzaj == RodzajRamki::Dzwiek) {
            pomiar.najmniejszeWzmocnienie =
                std::min(pomiar.najmniejszeWzmocnienie, opis.najmniejsze);
            pomiar.najwiekszeWzmocnienie = std::max(pomiar.najwiekszeWzmocnienie, opis.najwieksze);
        }
    });
    // The meter is fed 100 ms at a time; after each step its momentary
    // loudness is the newest of the 400 ms blocks, overlapping by 75 %,
    // that its integrated loudness gates.
    const size_t krok = size_t(format.czestotliwosc / 10);
    std::vector<float> porcja;
    porcja.reserve(krok * size_t(format.kanaly));
    std::vector<double> bloki;
    std::size_t kroki = 0;
    const auto dodaj = [&](const float* probki, size_t n) {
        ebur128_add_frames_float(stan.get(), probki, n);
    };
    const auto oddaj = [&] {
        dodaj(porcja.data(), porcja.size() / size_t(format.kanaly));
        porcja.clear();
        double m = 0;
        if (++kroki >= 4 && ebur128_loudness_momentary(stan.get(), &m) == EBUR128_SUCCESS &&
            std::isfinite(m))
            bloki.push_back(std::pow(10.0, (m + 0.691) / 10.0));
    };
    Mp3Frame ramka;
    while (stream.nextFrame(ramka)) {
        if (przerwij && przerwij->load(std::memory_order_relaxed))
            return std::nullopt;
        // Interleaved stereo; a frame that does not decode adds nothing.
        const std::span<const float> pcm = stream.decodeFrameFloat();
        const size_t probek = pcm.size() / 2;
        if (probek == 0)
            continue;
        szczyt.dodaj(pcm.data(), probek, 2);
        for (size_t i = 0; i < probek; ++i) {
            porcja.push_back(pcm[2 * i]);
            if (format.kanaly == 2)
                porcja.push_back(pcm[2 * i + 1]);
            if (porcja.size() == krok * size_t(format.kanaly))
                oddaj();
        }
    }
    if (!porcja.empty())
        dodaj(porcja.data(), porcja.size() / size_t(format.kanaly));
    double lufs = 0;
    if (ebur128_loudness_global(stan.get(), &lufs) == EBUR128_SUCCESS && std::isfinite(lufs))
        pomiar.glosnoscLufs = lufs;
    if (pomiar.glosnoscLufs)
        pomiar.mowaLufs = glosnoscMowy(std::move(bloki));
    pomiar.szczytDbtp = decybele(szczyt.szczyt());
    return pomiar;
}

double KrokGlosnosci::decybele() const {
    return kroki * kDecybeleKroku;
}

KrokGlosnosci krokGlosnosci(const PomiarGlosnosci& pomiar, double celLufs) {
    KrokGlosnosci krok;
    const std::optional<double> poziom = pomiar.mowaLufs ? pomiar.mowaLufs : pomiar.glosnoscLufs;
    if (!poziom || pomiar.najmniejszeWzmocnienie > pomiar.najwiekszeWzmocnienie)
        return krok;
    krok.poziom = poziom;
    krok.chciane = int(std::lround((celLufs - *poziom) / kDecybeleKroku));
    krok.kroki = krok.chciane;
    if (krok.kroki > 0) {
        // A small tolerance keeps a peak measured at exactly the limit from
        // losing a step to rounding.
        const int doSzczytu = std::max(
            0, int(std::floor((kNajwyzszySzczytDbtp - pomiar.szczytDbtp) / kDecybeleKroku + 1e-9)));
        if (krok.kroki > doSzczytu) {
            krok.kroki = doSzczytu;
            krok.przezSzczyt = true;
        }
        const int doGory = 255 - pomiar.najwiekszeWzmocnienie;
        if (krok.kroki > doGory) {
            krok.kroki = doGory;
            krok.przezZakres = true;
        }
    } else if (krok.kroki < -pomiar.najmniejszeWzmocnienie) {
        krok.kroki = -pomiar.najmniejszeWzmocnienie;
        krok.przezZakres = true;
    }
    return krok;
}

namespace {

QString liczba(double v) {
    // One decimal, a decimal comma and a real minus sign; never "−0,0".
    const double zaokraglone = std::round(v * 10.0) / 10.0;
    QString t = QString::number(std::fabs(zaokraglone), 'f', 1).replace(u'.', u',');
    return zaokraglone < 0 ? QStringLiteral("\u2212") + t : t;
}

} // namespace

std::optional<double> celGlosnosci(const QString& tekst) {
    QString t = tekst.trimmed();
    t.replace(u',', u'.').replace(QChar(0x2212), u'-');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !(v >= -40.0 && v <= -5.0))
        return std::nullopt;
    return v;
}

std::optional<double> celZOpcji(const QString& tekst, const QString& narzedzie,
                                QTextStream& bledy) {
    const std::optional<double> cel = tekst.isEmpty() ? kDomyslnyCelLufs : celGlosnosci(tekst);
    if (!cel)
        bledy << narzedzie << ": głośność docelowa \u201e" << tekst
              << "\u201d nie jest liczbą LUFS od -40 do -5 (pomoc: " << narzedzie << " --help)"
              << Qt::endl;
    return cel;
}

QString tekstDecybeli(double db) {
    const double zaokraglone = std::round(db * 10.0) / 10.0;
    return (zaokraglone > 0 ? QStringLiteral("+") : QString()) + liczba(db) + QStringLiteral(" dB");
}

QString tekstPoziomu(std::optional<double> wartosc) {
    return wartosc ? liczba(*wartosc) : QStringLiteral("\u2013");
}

std::optional<PomiarGlosnosci> PamiecGlosnosci::znajdz(const QString& path, StanPliku* stan) const {
    // The file is looked at outside the lock: it may sit on a slow disk.
    const StanPliku teraz = StanPliku::pliku(path);
    const std::lock_guard lock(m_mutex);
    const auto it = m_wpisy.constFind(path);
    if (it == m_wpisy.cend() || it->stan.rozmiar < 0 || !(it->stan == teraz))
        return std::nullopt;
    if (stan)
        *stan = it->stan;
    return it->pomiar;
}

void PamiecGlosnosci::zapamietaj(const QString& path, const StanPliku& stan,
                                 const PomiarGlosnosci& pomiar) {
    const std::lock_guard lock(m_mutex);
    m_wpisy.insert(path, {stan, pomiar});
}

QHash<QString, PomiarGlosnosci> PamiecGlosnosci::znane(const QStringList& pliki,
                                                       QStringList& nieznane,
                                                       QHash<QString, StanPliku>* stany) const {
    QHash<QString, PomiarGlosnosci> wynik;
    QSet<QString> byly;
    for (const QString& plik : pliki) {
        if (byly.contains(plik))
            continue;
        byly.insert(plik);
        StanPliku stan;
        if (const auto pomiar = znajdz(plik, &stan)) {
            wynik.insert(plik, *pomiar);
            if (stany)
                stany->insert(plik, stan);
        } else {
            nieznane.append(plik);
        }
    }
    return wynik;
}

std::optional<PomiarGlosnosci> PamiecGlosnosci::zmierz(const QString& path,
                                                       const MiernikGlosnosci& miernik,
                                                       const std::atomic_bool* przerwij,
                                                       StanPliku* stanPliku) {
    const StanPliku stan = StanPliku::pliku(path);
    const std::optional<PomiarGlosnosci> pomiar = miernik(path, przerwij);
    if (pomiar)
        zapamietaj(path, stan, *pomiar);
    if (stanPliku)
        *stanPliku = stan;
    return pomiar;
}
