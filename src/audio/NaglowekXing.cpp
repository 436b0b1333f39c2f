#include "audio/NaglowekXing.h"

#include "audio/Mp3Stream.h"
#include "audio/WzmocnienieRamek.h"
#include "base/BledySystemu.h"
#include "base/Errors.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr std::uint32_t kRamki = 1, kBajty = 2, kSpis = 4, kJakosc = 8;
constexpr int kDlugoscLame = 36;
// Offsets inside LAME's extension.
constexpr int kMetodaLame = 9;       // the tag's revision and the bit-rate method, 4 bits each
constexpr int kSzczytLame = 11;      // peak amplitude, 4 bytes
constexpr int kGlosnoscLame = 15;    // radio and audiophile ReplayGain, 2 + 2 bytes
constexpr int kOpoznienieLame = 21;  // delay and padding, 12 bits each
constexpr int kPredkoscLame = 20;    // the constant or least bit rate (kbit/s, 255 at most)
constexpr int kWzmocnienieLame = 25; // the gain an MP3 gain tool applied, 1 byte
constexpr int kDlugoscMuzyki = 28;
constexpr int kCrcMuzyki = 32;
constexpr int kCrcZnacznika = 34;

std::uint32_t czytaj32(const unsigned char* p) {
    return qFromBigEndian<quint32>(p);
}
void zapisz32(unsigned char* p, std::uint32_t v) {
    qToBigEndian<quint32>(v, p);
}
void zapisz16(unsigned char* p, std::uint16_t v) {
    qToBigEndian<quint16>(v, p);
}

const std::array<std::uint16_t, 256>& tablicaCrc() {
    static const std::array<std::uint16_t, 256> tablica = [] {
        std::array<std::uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            std::uint16_t c = std::uint16_t(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? std::uint16_t((c >> 1) ^ 0xA001) : std::uint16_t(c >> 1);
            t[i] = c;
        }
        return t;
    }();
    return tablica;
}

// The CRC of the bytes from one position on, and its value at the end of
// the last whole frame seen: the music a header describes ends there, and
// a tag after it is not part of it.
struct Suma {
    std::int64_t od = -1;     // first byte it covers
    std::int64_t koniec = -1; // the frame end it stops at; -1: not known yet
    std::int64_t pozostalo = 0;
    std::uint16_t crc = 0;
    std::uint16_t naKoncuRamki = 0;
    bool gotowa = false;
};

// An information frame inside the stream, tidied after a change of gains.
struct Srodkowa {
    std::int64_t polozenie = 0;
    std::vector<unsigned char> bajty;
    OpisXing opis;
    Suma suma;
};

// Rewrites the Xing fields and LAME's extension of `r` for a stream of
// `ramki` frames and `bajty` bytes with the seek table `spis`.
void przepiszPola(std::span<unsigned char> r, OpisXing o, std::uint32_t ramki, std::uint32_t bajty,
                  const std::array<unsigned char, 100>* spis, bool zmiennaPredkosc) {
    const int dlugosc = int(r.size());
    const int pelny = o.znacznik + 8 + 4 + 4 + 100 + 4 + (o.lame >= 0 ? kDlugoscLame : 0);
    if (spis && pelny <= dlugosc && (o.flagi & 0xF) != 0xF) {
        // Lay the tag out anew with every field, LAME's extension after them.
        std::uint32_t jakosc = 0;
        int p = o.znacznik + 8;
        p += (o.flagi & kRamki) ? 4 : 0;
        p += (o.flagi & kBajty) ? 4 : 0;
        p += (o.flagi & kSpis) ? 100 : 0;
        if (o.flagi & kJakosc)
            jakosc = czytaj32(r.data() + p);
        std::array<unsigned char, kDlugoscLame> lame{};
        if (o.lame >= 0)
            std::memcpy(lame.data(), r.data() + o.lame, kDlugoscLame);
        const int staryKoniec =
            o.lame >= 0 ? o.lame + kDlugoscLame : p + ((o.flagi & kJakosc) ? 4 : 0);
        std::memset(r.data() + o.znacznik + 4, 0, std::size_t(staryKoniec - o.znacznik - 4));
        o.flagi = (o.flagi & ~0xFu) | 0xF;
        zapisz32(r.data() + o.znacznik + 4, o.flagi);
        zapisz32(r.data() + o.znacznik + 116, jakosc);
        if (o.lame >= 0) {
            o.lame = o.znacznik + 120;
            std::memcpy(r.data() + o.lame, lame.data(), kDlugoscLame);
        }
    }
    // A frame with a CRC whose tag some encoder put inside the side
    // information the CRC covers: the CRC is computed anew, a wrong one
    // staying wrong by the same bits.
    const bool crc = (r[1] & 1) == 0;
    const bool mono = (r[3] >> 6) == 3;
    const std::size_t boczne = ((r[1] >> 3) & 3) == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const auto crcRamki = [&] {
        return crcMpeg(std::span<const unsigned char>(r).subspan(6, boczne),
                       crcMpeg(std::span<const unsigned char>(r).subspan(2, 2)));
    };
    const std::uint16_t staryCrc = crc ? crcRamki() : 0;
    std::memcpy(r.data() + o.znacznik, zmiennaPredkosc ? "Xing" : "Info", 4);
    if (crc)
        zapisz16(r.data() + 4, std::uint16_t(((r[4] << 8) | r[5]) ^ staryCrc ^ crcRamki()));
    int p = o.znacznik + 8;
    if (o.flagi & kRamki) {
        zapisz32(r.data() + p, ramki);
        p += 4;
    }
    if (o.flagi & kBajty) {
        zapisz32(r.data() + p, bajty);
        p += 4;
    }
    if ((o.flagi & kSpis) && spis)
        std::memcpy(r.data() + p, spis->data(), 100);
}

// LAME's extension of `r` after a change: no ReplayGain values (with
// `bezGlosnosci`), the padding, the music's length and checksum, and the
// extension's own checksum over the frame up to it. With
// `najmniejszaPredkosc` (the stream's frames differ in bit rate) an
// extension that says constant or average bit rate says variable instead,
// with that least rate: readers that believe a constant rate take the
// length from the size over it, or give none when the frames disagree.
void przepiszLame(std::span<unsigned char> r, const OpisXing& o, bool bezGlosnosci,
                  std::optional<int> dopelnienie, std::optional<std::uint32_t> dlugoscMuzyki,
                  std::optional<std::uint16_t> crcMuzyki,
                  std::optional<int> najmniejszaPredkosc = std::nullopt) {
    if (o.lame < 0)
        return;
    unsigned char* l = r.data() + o.lame;
    const int metoda = l[kMetodaLame] & 0x0F;
    if (najmniejszaPredkosc && (metoda < 3 || metoda > 6)) {
        // 4: variable bit rate, as LAME's own default writes it.
        l[kMetodaLame] = static_cast<unsigned char>((l[kMetodaLame] & 0xF0) | 4);
        l[kPredkoscLame] = static_cast<unsigned char>(std::clamp(*najmniejszaPredkosc, 1, 255));
    }
    if (bezGlosnosci) {
        std::memset(l + kSzczytLame, 0, 4);
        std::memset(l + kGlosnoscLame, 0, 4);
        l[kWzmocnienieLame] = 0;
    }
    if (dopelnienie) {
        const int d = std::clamp(*dopelnienie, 0, 4095);
        l[kOpoznienieLame + 1] =
            static_cast<unsigned char>((l[kOpoznienieLame + 1] & 0xF0) | (d >> 8));
        l[kOpoznienieLame + 2] = static_cast<unsigned char>(d & 0xFF);
    }
    if (dlugoscMuzyki)
        zapisz32(l + kDlugoscMuzyki, *dlugoscMuzyki);
    if (crcMuzyki)
        zapisz16(l + kCrcMuzyki, *crcMuzyki);
    zapisz16(l + kCrcZnacznika, crcLame(r.first(std::size_t(o.lame + kCrcZnacznika))));
}

void zapiszW(int fd, std::int64_t polozenie, const std::vector<unsigned char>& bajty,
             const QString& nazwa) {
#ifdef Q_OS_UNIX
    std::size_t zapisane = 0;
    while (zapisane < bajty.size()) {
        const ssize_t n = ::pwrite(fd, bajty.data() + zapisane, bajty.size() - zapisane,
                                   off_t(polozenie + std::int64_t(zapisane)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2")
                                  .arg(nativePath(nazwa), opisBleduSystemu(n < 0 ? errno : EIO)));
        zapisane += std::size_t(n);
    }
#else
    Q_UNUSED(fd);
    Q_UNUSED(polozenie);
    Q_UNUSED(bajty);
    Q_UNUSED(nazwa);
#endif
}

// Samples of (time, byte) at the starts of frames, at most about 4096, for
// the seek table: when full, every second one goes and the step doubles.
class Probki {
public:
    void dodaj(std::int64_t czas, std::int64_t polozenie) {
        if (czas < nastepna)
            return;
        probki.push_back({czas, polozenie});
        nastepna = czas + krok;
        if (probki.size() >= 4096) {
            std::size_t j = 0;
            for (std::size_t i = 0; i < probki.size(); i += 2)
                probki[j++] = probki[i];
            probki.resize(j);
            krok *= 2;
            nastepna = probki.back().first + krok;
        }
    }
    std::array<unsigned char, 100> spis(std::int64_t czas, std::int64_t bajty) const {
        std::array<unsigned char, 100> t{};
        std::size_t k = 0;
        for (int i = 0; i < 100; ++i) {
            const std::int64_t chwila = czas * i / 100;
            while (k + 1 < probki.size() && probki[k + 1].first <= chwila)
                ++k;
            const std::int64_t pol = probki.empty() ? 0 : probki[k].second;
            t[std::size_t(i)] = static_cast<unsigned char>(
                std::min<std::int64_t>(255, bajty > 0 ? pol * 256 / bajty : 0));
        }
        return t;
    }

private:
    std::vector<std::pair<std::int64_t, std::int64_t>> probki;
    std::int64_t krok = 1, nastepna = 0;
};

} // namespace

std::uint16_t crcLame(std::span<const unsigned char> dane, std::uint16_t crc) {
    const auto& t = tablicaCrc();
    for (const unsigned char b : dane)
        crc = std::uint16_t((crc >> 8) ^ t[(crc ^ b) & 0xFF]);
    return crc;
}

std::optional<std::vector<unsigned char>>
pustaRamkaInformacyjna(std::span<const unsigned char, 4> h) {
    const int wersja = (h[1] >> 3) & 3;
    const int czestotliwosc = (h[2] >> 2) & 3;
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1 || wersja == 1 ||
        czestotliwosc == 3)
        return std::nullopt;
    static constexpr int kCzestotliwosci[3] = {44100, 48000, 32000};
    static constexpr int kPredkosci[2][14] = {
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}, // MPEG-1
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};    // MPEG-2, 2.5
    const bool mpeg1 = wersja == 3;
    const int hz = kCzestotliwosci[czestotliwosc] >> (mpeg1 ? 0 : wersja == 2 ? 1 : 2);
    const bool mono = (h[3] >> 6) == 3;
    const int boczne = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const int potrzeba = 4 + boczne + 120;  // the tag: name, flags, frames, bytes, table, quality
    const int jednostka = mpeg1 ? 144 : 72; // bytes per kbit/s at 1 kHz
    const std::span<const int, 14> predkosci = kPredkosci[mpeg1 ? 0 : 1];
    for (int indeks = 1; indeks <= 14; ++indeks) {
        const int dlugosc = jednostka * predkosci[std::size_t(indeks - 1)] * 1000 / hz;
        if (dlugosc < potrzeba)
            continue;
        std::vector<unsigned char> r(std::size_t(dlugosc), 0);
        r[0] = 0xFF;
        r[1] = static_cast<unsigned char>(h[1] | 1); // no CRC
        r[2] = static_cast<unsigned char>((indeks << 4) | (czestotliwosc << 2) | (h[2] & 1));
        r[3] = static_cast<unsigned char>(h[3] & 0xCF); // no mode extension
        std::memcpy(r.data() + 4 + boczne, "Info", 4);
        zapisz32(r.data() + 4 + boczne + 4, kRamki | kBajty | kSpis | kJakosc);
        return r;
    }
    return std::nullopt;
}

std::optional<OpisXing> czytajXing(std::span<const unsigned char> r) {
    if (r.size() < 4 || r[0] != 0xFF || (r[1] & 0xE0) != 0xE0 || ((r[1] >> 1) & 3) != 1)
        return std::nullopt;
    const int wersja = (r[1] >> 3) & 3;
    if (wersja == 1)
        return std::nullopt;
    const bool mono = (r[3] >> 6) == 3;
    const int boczne = wersja == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const int n = int(r.size());
    OpisXing o;
    for (const int at : {4 + boczne, 6 + boczne}) {
        if (at + 8 <= n && (std::memcmp(r.data() + at, "Xing", 4) == 0 ||
                            std::memcmp(r.data() + at, "Info", 4) == 0)) {
            o.znacznik = at;
            break;
        }
    }
    if (o.znacznik < 0)
        return std::nullopt;
    o.flagi = czytaj32(r.data() + o.znacznik + 4);
    int p = o.znacznik + 8;
    const auto pole = [&](std::uint32_t flaga, int dlugosc, std::uint32_t* wartosc) {
        if (!(o.flagi & flaga))
            return true;
        if (p + dlugosc > n)
            return false;
        if (wartosc)
            *wartosc = czytaj32(r.data() + p);
        p += dlugosc;
        return true;
    };
    if (!pole(kRamki, 4, &o.ramki) || !pole(kBajty, 4, &o.bajty) || !pole(kSpis, 100, nullptr) ||
        !pole(kJakosc, 4, nullptr))
        return o;
    // LAME's extension begins with the encoder's name ("LAME", "Lavc"...).
    if (p + kDlugoscLame <= n && std::all_of(r.data() + p, r.data() + p + 4, [](unsigned char c) {
            return c >= 0x20 && c < 0x7F;
        })) {
        o.lame = p;
        const unsigned char* d = r.data() + p + kOpoznienieLame;
        o.opoznienie = (d[0] << 4) | (d[1] >> 4);
        o.dopelnienie = ((d[1] & 0x0F) << 8) | d[2];
    }
    return o;
}

WynikNaglowka przepiszNaglowekMp3(int fd, const QString& nazwa, bool wyrownany,
                                  const std::function<void()>& sprawdz) {
    WynikNaglowka wynik;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::fstat(fd, &st) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
        throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                              .arg(nativePath(nazwa), opisBleduSystemu(errno)));
    struct Koniec {
        int fd;
        ~Koniec() { ::lseek(fd, 0, SEEK_END); }
    } naKoniec{fd};

    // The header, once the walk has passed it.
    std::int64_t naglowek = -1;
    bool bezNaglowka = false;
    std::vector<unsigned char> bajtyNaglowka;
    OpisXing opis;
    Suma glowna;
    std::deque<Srodkowa> srodkowe;
    std::deque<std::int64_t> konce; // ends of frames whose bytes have not come yet
    std::int64_t ramki = 0, czas = 0, koniecRamek = 0, poOstatniejSrodkowej = 0, bajtyRamek = 0;
    int predkosc = 0, najmniejsza = 0;
    bool zmiennaPredkosc = false;
    Probki probki;

    std::int64_t pozycja = 0;
    const auto odbierz = [&](const unsigned char* p, std::int64_t n) {
        while (n > 0) {
            const std::int64_t granica = konce.empty() ? pozycja + n : konce.front();
            const std::int64_t m = std::min(n, std::max<std::int64_t>(granica - pozycja, 0));
            const std::span<const unsigned char> kawalek(p, std::size_t(m));
            if (glowna.od >= 0 && pozycja >= glowna.od)
                glowna.crc = crcLame(kawalek, glowna.crc);
            for (Srodkowa& s : srodkowe)
                if (!s.suma.gotowa && pozycja >= s.suma.od)
                    s.suma.crc = crcLame(kawalek, s.suma.crc);
            pozycja += m;
            p += m;
            n -= m;
            while (!konce.empty() && konce.front() <= pozycja) {
                glowna.naKoncuRamki = glowna.crc;
                for (Srodkowa& s : srodkowe) {
                    if (!s.suma.gotowa && s.suma.koniec == konce.front()) {
                        s.suma.gotowa = true;
                        s.suma.naKoncuRamki = s.suma.crc;
                    }
                }
                konce.pop_front();
            }
        }
    };

    Mp3Stream strumien(nazwa, Mp3Pass{fd, std::int64_t(st.st_size), odbierz, {}});
    Mp3Frame ramka;
    for (;;) {
        bool jest = false;
        try {
            jest = strumien.nextFrame(ramka);
        } catch (const EMCIDeviceError&) {
            if (ramki > 0 || naglowek >= 0)
                throw;
            return wynik; // no MPEG audio at all: nothing to describe
        }
        if (!jest)
            break;
        if (naglowek < 0) {
            const Mp3Stream::InfoFrame& info = strumien.infoFrame();
            const auto o = czytajXing(info.bytes);
            if (info.offset < 0 || !o) {
                // No header to write: the walk goes on to tell whether the
                // stream's size and rate still give its length, and to tidy
                // the headers inside.
                bezNaglowka = true;
                naglowek = ramka.offset;
            } else {
                naglowek = info.offset;
                bajtyNaglowka = info.bytes;
                opis = *o;
                glowna.od = naglowek + std::int64_t(bajtyNaglowka.size());
                // Bytes of the header may have come already; those after it not.
                if (glowna.od > pozycja)
                    konce.push_back(glowna.od);
            }
        }
        if (sprawdz && (ramki & 4095) == 0)
            sprawdz();
        const std::int64_t koniec = ramka.offset + ramka.bytes;
        probki.dodaj(czas, ramka.offset - naglowek);
        ++ramki;
        czas += ramka.durationTicks;
        bajtyRamek += ramka.bytes;
        koniecRamek = koniec;
        konce.push_back(koniec);
        ++poOstatniejSrodkowej;
        for (Srodkowa& s : srodkowe) {
            if (s.suma.koniec < 0 && s.suma.pozostalo > 0 && --s.suma.pozostalo == 0)
                s.suma.koniec = koniec;
        }
        const std::optional<OpisXing> wnetrze =
            ramka.data ? czytajXing({ramka.data, std::size_t(ramka.bytes)}) : std::nullopt;
        if (wnetrze) {
            poOstatniejSrodkowej = 0;
            Srodkowa s;
            s.polozenie = ramka.offset;
            s.bajty.assign(ramka.data, ramka.data + ramka.bytes);
            s.opis = *wnetrze;
            s.suma.od = koniec;
            s.suma.pozostalo = wnetrze->ramki;
            srodkowe.push_back(std::move(s));
        } else {
            if (predkosc == 0)
                predkosc = ramka.bitrateKbps;
            else if (ramka.bitrateKbps != predkosc)
                zmiennaPredkosc = true;
            najmniejsza =
                najmniejsza == 0 ? ramka.bitrateKbps : std::min(najmniejsza, ramka.bitrateKbps);
        }
    }
    strumien.finish();
    if (naglowek < 0)
        return wynik;
    if (bezNaglowka && predkosc > 0) {
        // What a player that takes the size over the first frame's rate gets.
        const std::int64_t szacunekMs = (koniecRamek - naglowek) * 8 / predkosc;
        wynik.bladDlugosciMs = std::abs(szacunekMs - czas / (kTicksPerSecond / 1000));
    }

    if (!bezNaglowka) {
        // The padding at the end is the last part's: its own header tells it
        // when it counts exactly the frames that follow it.
        std::optional<int> dopelnienie;
        if (!srodkowe.empty()) {
            const OpisXing& o = srodkowe.back().opis;
            dopelnienie =
                (o.lame >= 0 && std::int64_t(o.ramki) == poOstatniejSrodkowej) ? o.dopelnienie : 0;
        } else if (std::int64_t(opis.ramki) != ramki) {
            dopelnienie = 0;
        }
        const bool inny = !srodkowe.empty() || std::int64_t(opis.ramki) != ramki;
        // The bytes field counts the frames (this one too), as readers check
        // it; the seek table is in the file's bytes, tags inside included. A
        // stream with tags inside is no constant rate: its length is not its
        // size over its rate, so it is told as "Xing".
        const std::int64_t rozpietosc = koniecRamek - naglowek;
        const std::int64_t bajty = std::int64_t(bajtyNaglowka.size()) + bajtyRamek;
        const std::optional<int> najmniejszaPredkosc =
            inny && zmiennaPredkosc ? std::optional<int>(najmniejsza) : std::nullopt;
        zmiennaPredkosc = zmiennaPredkosc || rozpietosc != bajty;
        const auto spis = probki.spis(czas, rozpietosc);
        std::vector<unsigned char> nowy = bajtyNaglowka;
        przepiszPola(nowy, opis, std::uint32_t(ramki), std::uint32_t(bajty), &spis,
                     zmiennaPredkosc);
        const OpisXing nowyOpis = *czytajXing(nowy);
        przepiszLame(nowy, nowyOpis, inny || wyrownany, dopelnienie, std::uint32_t(bajty),
                     glowna.naKoncuRamki, najmniejszaPredkosc);
        zapiszW(fd, naglowek, nowy, nazwa);
        wynik.przepisany = true;
        wynik.ramki = ramki;
        wynik.bajty = bajty;
    }
    if (wyrownany) {
        for (Srodkowa& s : srodkowe) {
            std::optional<std::uint16_t> crc;
            if (s.suma.gotowa)
                crc = s.suma.naKoncuRamki;
            przepiszLame(s.bajty, s.opis, true, std::nullopt, std::nullopt, crc);
            zapiszW(fd, s.polozenie, s.bajty, nazwa);
            ++wynik.srodkowe;
        }
    }
#else
    Q_UNUSED(fd);
    Q_UNUSED(nazwa);
    Q_UNUSED(wyrownany);
    Q_UNUSED(sprawdz);
#endif
    return wynik;
}
