#include "import/KoderMp3.h"

#include "base/Errors.h"
#include "import/ModulKodekow.h"

#include <algorithm>

struct KoderMp3::Impl {
    std::unique_ptr<KoderModulu> koder;
};

namespace {

SonvekError bladLame() {
    return SonvekError(QStringLiteral("Kodowanie MP3 nie powiodło się (błąd kodera LAME)"));
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
    if (!modulKodekow().koder(f))
        return QStringLiteral("przepływność %1 kb/s nie pasuje do częstotliwości %2 Hz")
            .arg(f.kbps)
            .arg(f.czestotliwosc);
    return {};
}

KoderMp3::KoderMp3(const FormatKodowania& f) : d(new Impl) {
    if (const QString powod = sprawdz(f); !powod.isEmpty())
        throw SonvekError(QStringLiteral("Nie można kodować dźwięku: ") + powod);
    d->koder = modulKodekow().koder(f);
}

KoderMp3::~KoderMp3() = default;

QByteArray KoderMp3::koduj(const std::int16_t* probki, int ramki) {
    QByteArray wynik;
    if (!d->koder->koduj(probki, ramki, wynik))
        throw bladLame();
    return wynik;
}

QByteArray KoderMp3::zakoncz() {
    QByteArray wynik;
    if (!d->koder->zakoncz(wynik))
        throw bladLame();
    return wynik;
}

QByteArray KoderMp3::naglowekInfo() {
    return d->koder->naglowekInfo();
}

int KoderMp3::opoznienie() const {
    return d->koder->opoznienie();
}
