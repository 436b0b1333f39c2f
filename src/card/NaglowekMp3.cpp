#include "card/NaglowekMp3.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

struct Ramka {
    int bajty = 0;         // the frame's length, header included
    int probki = 0;        // samples per channel
    int czestotliwosc = 0; // Hz
    int bityNaSekunde = 0; // bit/s
    int pobocze = 0;       // bytes of side information (layer III)
};

// The frame whose header starts at `p` (4 bytes); none for anything else.
std::optional<Ramka> ramka(const unsigned char* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int wersja = (p[1] >> 3) & 3;  // 0: 2.5, 2: 2, 3: 1
    const int warstwa = (p[1] >> 1) & 3; // 1: III, 2: II, 3: I
    const int indeksBitow = p[2] >> 4;
    const int indeksCzestotliwosci = (p[2] >> 2) & 3;
    if (wersja == 1 || warstwa == 0 || indeksBitow == 0 || indeksBitow == 15 ||
        indeksCzestotliwosci == 3)
        return std::nullopt;
    static constexpr int bity[2][3][15] = {
        // MPEG 1: layers I, II, III
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        // MPEG 2 and 2.5
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr int czestotliwosci[3] = {44100, 48000, 32000};
    const bool mpeg1 = wersja == 3;
    const int l = 3 - warstwa; // 0: I, 1: II, 2: III
    Ramka r;
    r.bityNaSekunde = bity[mpeg1 ? 0 : 1][l][indeksBitow] * 1000;
    r.czestotliwosc = czestotliwosci[indeksCzestotliwosci] >> (mpeg1 ? 0 : wersja == 2 ? 1 : 2);
    const int dopelnienie = (p[2] >> 1) & 1;
    if (l == 0) {
        r.probki = 384;
        r.bajty = (12 * r.bityNaSekunde / r.czestotliwosc + dopelnienie) * 4;
    } else {
        r.probki = (l == 2 && !mpeg1) ? 576 : 1152;
        r.bajty = r.probki / 8 * r.bityNaSekunde / r.czestotliwosc + dopelnienie;
    }
    const bool mono = (p[3] >> 6) == 3;
    if (l == 2)
        r.pobocze = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return r;
}

std::uint32_t duze(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

bool czytaj(int fd, std::vector<unsigned char>& bufor, std::int64_t od) {
    std::size_t mam = 0;
    while (mam < bufor.size()) {
        const ssize_t n =
            ::pread(fd, bufor.data() + mam, bufor.size() - mam, off_t(od) + off_t(mam));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        mam += std::size_t(n);
    }
    bufor.resize(mam);
    return true;
}

} // namespace

std::optional<std::int64_t> dlugoscZNaglowkow(int fd, std::int64_t rozmiar) {
    // ID3v2 tags first (more than one may stand in a row).
    std::int64_t poczatek = 0;
    std::vector<unsigned char> bufor;
    for (int i = 0; i < 4; ++i) {
        bufor.assign(10, 0);
        if (!czytaj(fd, bufor, poczatek) || bufor.size() < 10 ||
            std::memcmp(bufor.data(), "ID3", 3) != 0)
            break;
        const std::int64_t dlugosc = (std::int64_t(bufor[6] & 0x7F) << 21) |
                                     (std::int64_t(bufor[7] & 0x7F) << 14) |
                                     (std::int64_t(bufor[8] & 0x7F) << 7) | (bufor[9] & 0x7F);
        poczatek += 10 + dlugosc + ((bufor[5] & 0x10) ? 10 : 0);
    }
    // The first frame that two more frames of its kind follow, within 64
    // KiB: a chance sync pattern in other bytes is not taken for audio.
    bufor.assign(64 * 1024, 0);
    if (!czytaj(fd, bufor, poczatek))
        return std::nullopt;
    const auto dalej = [&bufor](std::size_t od, const Ramka& wzor) {
        std::size_t gdzie = od + std::size_t(wzor.bajty);
        for (int i = 0; i < 2; ++i) {
            if (gdzie + 4 > bufor.size())
                return i > 0 || gdzie == bufor.size(); // the end of what was read
            const auto r = ramka(bufor.data() + gdzie);
            if (!r || r->czestotliwosc != wzor.czestotliwosc || r->probki != wzor.probki)
                return false;
            gdzie += std::size_t(r->bajty);
        }
        return true;
    };
    std::optional<Ramka> pierwsza;
    std::size_t gdzie = 0;
    for (; gdzie + 4 <= bufor.size(); ++gdzie) {
        pierwsza = ramka(bufor.data() + gdzie);
        if (pierwsza && dalej(gdzie, *pierwsza))
            break;
        pierwsza.reset();
    }
    if (!pierwsza)
        return std::nullopt;
    poczatek += std::int64_t(gdzie);
    // The audio ends before an ID3v1 tag.
    std::int64_t koniec = rozmiar;
    if (rozmiar - poczatek >= 128) {
        std::vector<unsigned char> ogon(3);
        if (czytaj(fd, ogon, rozmiar - 128) && ogon.size() == 3 &&
            std::memcmp(ogon.data(), "TAG", 3) == 0)
            koniec -= 128;
    }
    const std::int64_t bajtyAudio = std::max<std::int64_t>(0, koniec - poczatek);
    const unsigned char* f = bufor.data() + gdzie;
    const std::size_t wRamce = bufor.size() - gdzie;
    std::int64_t ramki = -1, bajtyNaglowka = -1;
    const std::size_t xing = 4 + std::size_t(pierwsza->pobocze);
    if (pierwsza->pobocze > 0 && xing + 16 <= wRamce &&
        (std::memcmp(f + xing, "Xing", 4) == 0 || std::memcmp(f + xing, "Info", 4) == 0)) {
        const std::uint32_t flagi = duze(f + xing + 4);
        std::size_t pole = xing + 8;
        if (flagi & 1) {
            ramki = duze(f + pole);
            pole += 4;
        }
        if ((flagi & 2) && pole + 4 <= wRamce)
            bajtyNaglowka = duze(f + pole);
    } else if (36 + 18 <= wRamce && std::memcmp(f + 36, "VBRI", 4) == 0) {
        bajtyNaglowka = duze(f + 36 + 10);
        ramki = duze(f + 36 + 14);
    }
    if (ramki > 0) {
        const std::int64_t ms = ramki * pierwsza->probki * 1000 / pierwsza->czestotliwosc;
        // A header that counts other bytes than the file has belongs to the
        // first of several joined files: scaled to the whole.
        if (bajtyNaglowka > 0 &&
            std::abs(bajtyNaglowka - bajtyAudio) > std::max<std::int64_t>(bajtyAudio / 100, 4096))
            return std::int64_t(double(ms) * double(bajtyAudio) / double(bajtyNaglowka));
        return ms;
    }
    // No header: the bytes a millisecond of the frames read so far take (the
    // first left out: an encoder may give it another rate), over the file.
    std::int64_t bajty = 0;
    double ms = 0;
    for (std::size_t p = gdzie + std::size_t(pierwsza->bajty); p + 4 <= bufor.size();) {
        const auto r = ramka(bufor.data() + p);
        if (!r || p + std::size_t(r->bajty) > bufor.size())
            break;
        bajty += r->bajty;
        ms += 1000.0 * r->probki / r->czestotliwosc;
        p += std::size_t(r->bajty);
    }
    if (bajty <= 0 || ms <= 0)
        return bajtyAudio * 8000 / pierwsza->bityNaSekunde;
    return std::int64_t(double(bajtyAudio) * ms / double(bajty));
}

std::optional<std::int64_t> dlugoscZNaglowkow(const QString& sciezka) {
    const int fd = ::open(QFile::encodeName(sciezka).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::optional<std::int64_t> wynik;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
        wynik = dlugoscZNaglowkow(fd, info.st_size);
    ::close(fd);
    return wynik;
}
