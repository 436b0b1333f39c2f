#include "import/KoderMp3.h"

#include "base/Errors.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>
#include <mutex>
#include <vector>

struct KoderMp3::Impl {
    lame_global_flags* gf = nullptr;
    int kanaly = 1;
    std::vector<unsigned char> bufor;
    ~Impl() {
        if (gf)
            lame_close(gf);
    }
};

namespace {

// LAME fills tables shared by every encoder while it sets one up.
std::mutex g_lame;

lame_global_flags* nowyKoder(const FormatKodowania& f) {
    const std::lock_guard blokada(g_lame);
    lame_global_flags* gf = lame_init();
    if (!gf)
        return nullptr;
    lame_set_in_samplerate(gf, f.czestotliwosc);
    lame_set_out_samplerate(gf, f.czestotliwosc);
    lame_set_num_channels(gf, f.kanaly);
    lame_set_mode(gf, f.kanaly == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, f.kbps);
    // LAME's "good speed, reasonable quality" (-q 5): speech loses nothing
    // audible against the slower settings, and a book encodes in half the
    // time.
    lame_set_quality(gf, 5);
    lame_set_bWriteVbrTag(gf, 1);
    lame_set_errorf(gf, [](const char*, va_list) {});
    lame_set_debugf(gf, [](const char*, va_list) {});
    lame_set_msgf(gf, [](const char*, va_list) {});
    if (lame_init_params(gf) < 0 || lame_get_brate(gf) != f.kbps ||
        lame_get_out_samplerate(gf) != f.czestotliwosc) {
        lame_close(gf);
        return nullptr;
    }
    return gf;
}

} // namespace

QString KoderMp3::sprawdz(const FormatKodowania& f) {
    static const int czestotliwosci[] = {8000,  11025, 12000, 16000, 22050,
                                         24000, 32000, 44100, 48000};
    if (std::find(std::begin(czestotliwosci), std::end(czestotliwosci), f.czestotliwosc) ==
        std::end(czestotliwosci))
        return QStringLiteral("częstotliwość %1 Hz nie jest częstotliwością MP3 (8000, 11025, "
                              "12000, 16000, 22050, 24000, 32000, 44100 albo 48000)")
            .arg(f.czestotliwosc);
    if (f.kanaly != 1 && f.kanaly != 2)
        return QStringLiteral("plik MP3 ma jeden albo dwa kanały");
    lame_global_flags* gf = nowyKoder(f);
    if (!gf)
        return QStringLiteral("przepływność %1 kb/s nie pasuje do częstotliwości %2 Hz")
            .arg(f.kbps)
            .arg(f.czestotliwosc);
    lame_close(gf);
    return {};
}

KoderMp3::KoderMp3(const FormatKodowania& f) : d(new Impl) {
    if (const QString powod = sprawdz(f); !powod.isEmpty())
        throw SonvekError(QStringLiteral("Nie można kodować dźwięku: ") + powod);
    d->gf = nowyKoder(f);
    d->kanaly = f.kanaly;
}

KoderMp3::~KoderMp3() = default;

QByteArray KoderMp3::koduj(const std::int16_t* probki, int ramki) {
    // LAME's own bound on the output of `ramki` samples.
    d->bufor.resize(std::size_t(ramki) * 5 / 4 + 7200);
    const int n = d->kanaly == 1
                      ? lame_encode_buffer(d->gf, probki, nullptr, ramki, d->bufor.data(),
                                           int(d->bufor.size()))
                      : lame_encode_buffer_interleaved(d->gf, const_cast<short*>(probki), ramki,
                                                       d->bufor.data(), int(d->bufor.size()));
    if (n < 0)
        throw SonvekError(QStringLiteral("Kodowanie MP3 nie powiodło się (błąd LAME %1)").arg(n));
    return QByteArray(reinterpret_cast<const char*>(d->bufor.data()), n);
}

QByteArray KoderMp3::zakoncz() {
    d->bufor.resize(7200);
    const int n = lame_encode_flush(d->gf, d->bufor.data(), int(d->bufor.size()));
    if (n < 0)
        throw SonvekError(QStringLiteral("Kodowanie MP3 nie powiodło się (błąd LAME %1)").arg(n));
    return QByteArray(reinterpret_cast<const char*>(d->bufor.data()), n);
}

QByteArray KoderMp3::naglowekInfo() {
    unsigned char ramka[2880];
    const size_t n = lame_get_lametag_frame(d->gf, ramka, sizeof ramka);
    if (n > sizeof ramka)
        return {};
    return QByteArray(reinterpret_cast<const char*>(ramka), qsizetype(n));
}

int KoderMp3::opoznienie() const {
    return lame_get_encoder_delay(d->gf) + 529;
}
