// The MP3 frame walk on any bytes: it opens or refuses, then walks frame by
// frame to an end; every frame it gives is one MPEG audio can have, and the
// walk never gives more frames than the bytes can hold. Half of the inputs
// are decoded as well, as playback does.

#include "Fuzz.h"
#include "audio/Mp3Stream.h"
#include "base/Errors.h"

#include <QSet>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// The input as a file without touching the disk.
class PlikWPamieci {
public:
    PlikWPamieci(const std::uint8_t* dane, std::size_t rozmiar) {
        m_fd = ::memfd_create("fuzz.mp3", MFD_CLOEXEC);
        wymagaj(m_fd >= 0, "memfd_create");
        std::size_t zapisane = 0;
        while (zapisane < rozmiar) {
            const ssize_t n = ::write(m_fd, dane + zapisane, rozmiar - zapisane);
            wymagaj(n > 0, "zapis wejścia");
            zapisane += std::size_t(n);
        }
    }
    ~PlikWPamieci() { ::close(m_fd); }
    QString sciezka() const { return QStringLiteral("/proc/self/fd/%1").arg(m_fd); }

private:
    int m_fd = -1;
};

bool mozliwaRamka(const Mp3Frame& r) {
    static const QSet<int> czestotliwosci = {8000,  11025, 12000, 16000, 22050,
                                             24000, 32000, 44100, 48000};
    static const QSet<int> probki = {384, 576, 1152};
    return czestotliwosci.contains(r.sampleRate) && probki.contains(r.samples) &&
           (r.channels == 1 || r.channels == 2) &&
           r.durationTicks == std::int64_t(r.samples) * kTicksPerSecond / r.sampleRate;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dane, std::size_t rozmiar) {
    const bool dekoduj = rozmiar > 0 && (dane[0] & 1) != 0;
    const PlikWPamieci plik(dane, rozmiar);
    // The shortest frame (MPEG 2.5 layer III, 8 kb/s, 8 kHz) has 24 bytes;
    // a free-format or layer I frame can be shorter, but never below its
    // 4-byte header.
    const std::size_t najwiecejRamek = rozmiar / 4;
    try {
        Mp3Stream strumien(plik.sciezka(), dekoduj ? 44100 : 0);
        Mp3Frame ramka;
        std::size_t ramki = 0;
        while (strumien.nextFrame(ramka)) {
            ++ramki;
            wymagaj(mozliwaRamka(ramka), "ramka o możliwych parametrach",
                    QStringLiteral("%1 Hz, %2 próbek, %3 kan., %4 taktów")
                        .arg(ramka.sampleRate)
                        .arg(ramka.samples)
                        .arg(ramka.channels)
                        .arg(ramka.durationTicks));
            wymagaj(ramki <= najwiecejRamek, "nie więcej ramek, niż mieści się w bajtach");
            if (dekoduj) {
                const auto probki = strumien.decodeFrame();
                wymagaj(probki.size() % 2 == 0, "próbki stereo parami");
            }
        }
    } catch (const EMCIDeviceError&) {
        // not an MP3 file, or unreadable: refused with a message
    }
    return 0;
}
