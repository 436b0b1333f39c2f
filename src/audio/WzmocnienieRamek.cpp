#include "audio/WzmocnienieRamek.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// Where the global_gain fields of a Layer III frame lie.
struct Uklad {
    int poczatekBocznych = 4;    // the side information's first byte
    int dlugoscBocznych = 0;     // its length in bytes
    int pierwszeWzmocnienie = 0; // bit of the first global_gain within it
    int odstep = 0;              // bits from one granule/channel to the next
    int pol = 0;                 // granules × channels
    bool crc = false;
};

std::optional<Uklad> uklad(std::span<const unsigned char> r) {
    if (r.size() < 4 || r[0] != 0xFF || (r[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int wersja = (r[1] >> 3) & 3;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int warstwa = (r[1] >> 1) & 3; // 1 Layer III
    if (wersja == 1 || warstwa != 1 || (r[2] >> 4) == 15 || ((r[2] >> 2) & 3) == 3)
        return std::nullopt;
    Uklad u;
    u.crc = (r[1] & 1) == 0;
    u.poczatekBocznych = u.crc ? 6 : 4;
    const bool mono = (r[3] >> 6) == 3;
    const int kanaly = mono ? 1 : 2;
    if (wersja == 3) {
        // main_data_begin 9, private bits 5 or 3, scfsi 4 per channel; then
        // per granule and channel part2_3_length 12, big_values 9,
        // global_gain 8 and 30 more bits.
        u.dlugoscBocznych = mono ? 17 : 32;
        u.pierwszeWzmocnienie = 9 + (mono ? 5 : 3) + 4 * kanaly + 12 + 9;
        u.odstep = 59;
        u.pol = 2 * kanaly;
    } else {
        // main_data_begin 8, private bits 1 or 2; one granule whose
        // scalefac_compress has 9 bits and which has no preflag.
        u.dlugoscBocznych = mono ? 9 : 17;
        u.pierwszeWzmocnienie = 8 + (mono ? 1 : 2) + 12 + 9;
        u.odstep = 63;
        u.pol = kanaly;
    }
    if (r.size() < size_t(u.poczatekBocznych + u.dlugoscBocznych))
        return std::nullopt;
    return u;
}

bool informacyjna(std::span<const unsigned char> r, const Uklad& u) {
    auto znacznik = [&](size_t at, const char* tekst) {
        return at + 4 <= r.size() && std::memcmp(r.data() + at, tekst, 4) == 0;
    };
    // Writers place the Xing/Info tag right after the side information,
    // some counting the CRC and some not; VBRI always 32 bytes after the
    // header.
    for (const size_t at : {size_t(4 + u.dlugoscBocznych), size_t(6 + u.dlugoscBocznych)})
        if (znacznik(at, "Xing") || znacznik(at, "Info"))
            return true;
    return znacznik(36, "VBRI");
}

int czytaj8(const unsigned char* p, int bit) {
    const int v = (p[bit / 8] << 8) | p[bit / 8 + 1];
    return (v >> (8 - bit % 8)) & 0xFF;
}

// part2_3_length, the 12 bits in front of big_values and global_gain: 0
// for a granule and channel without any coded sound, whose global_gain the
// decoder never uses.
bool maDzwiek(const unsigned char* p, int bitWzmocnienia) {
    const int bit = bitWzmocnienia - 21;
    const int v = (p[bit / 8] << 16) | (p[bit / 8 + 1] << 8) | p[bit / 8 + 2];
    return ((v >> (12 - bit % 8)) & 0xFFF) != 0;
}

// Below this global_gain a granule cannot be heard: even all 576 lines at the
// largest quantised value (8206^(4/3), about 2^17.3) summed by the synthesis
// (at most about 2^9.2) stay under half a 16-bit step, since the scale is
// 2^((global_gain - 210) / 4). Encoders write such granules at the ends of
// files; they neither limit a step down nor count as held when one takes
// them below 0.
constexpr int kNieslyszalneWzmocnienie = 40;

void zapisz8(unsigned char* p, int bit, int wartosc) {
    const int przesuniecie = 8 - bit % 8;
    const int maska = 0xFF << przesuniecie;
    int v = (p[bit / 8] << 8) | p[bit / 8 + 1];
    v = (v & ~maska) | ((wartosc << przesuniecie) & maska);
    p[bit / 8] = static_cast<unsigned char>(v >> 8);
    p[bit / 8 + 1] = static_cast<unsigned char>(v);
}

std::uint16_t crcRamki(std::span<const unsigned char> r, const Uklad& u) {
    return crcMpeg(r.subspan(u.poczatekBocznych, size_t(u.dlugoscBocznych)),
                   crcMpeg(r.subspan(2, 2)));
}

} // namespace

std::uint16_t crcMpeg(std::span<const unsigned char> dane, std::uint16_t crc) {
    for (const unsigned char bajt : dane) {
        crc ^= std::uint16_t(bajt << 8);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? std::uint16_t((crc << 1) ^ 0x8005) : std::uint16_t(crc << 1);
    }
    return crc;
}

OpisRamki opiszRamke(std::span<const unsigned char> ramka) {
    const std::optional<Uklad> u = uklad(ramka);
    if (!u)
        return {};
    if (informacyjna(ramka, *u))
        return {RodzajRamki::Informacyjna};
    OpisRamki opis{RodzajRamki::Dzwiek};
    const unsigned char* boczne = ramka.data() + u->poczatekBocznych;
    for (int i = 0; i < u->pol; ++i) {
        const int bit = u->pierwszeWzmocnienie + i * u->odstep;
        if (!maDzwiek(boczne, bit))
            continue;
        const int g = czytaj8(boczne, bit);
        if (g < kNieslyszalneWzmocnienie)
            continue;
        opis.najmniejsze = std::min(opis.najmniejsze, g);
        opis.najwieksze = std::max(opis.najwieksze, g);
    }
    return opis;
}

int zmienWzmocnienie(std::span<unsigned char> ramka, int kroki) {
    const std::optional<Uklad> u = uklad(ramka);
    if (!u || kroki == 0 || informacyjna(ramka, *u))
        return 0;
    const std::uint16_t staryCrc = u->crc ? crcRamki(ramka, *u) : 0;
    unsigned char* boczne = ramka.data() + u->poczatekBocznych;
    int przyciete = 0;
    for (int i = 0; i < u->pol; ++i) {
        const int bit = u->pierwszeWzmocnienie + i * u->odstep;
        if (!maDzwiek(boczne, bit))
            continue;
        const int stare = czytaj8(boczne, bit);
        const int g = stare + kroki;
        if (g > 255 || (g < 0 && stare >= kNieslyszalneWzmocnienie))
            ++przyciete;
        zapisz8(boczne, bit, std::clamp(g, 0, 255));
    }
    if (u->crc) {
        const std::uint16_t zapisany = std::uint16_t((ramka[4] << 8) | ramka[5]);
        const std::uint16_t nowy = zapisany ^ staryCrc ^ crcRamki(ramka, *u);
        ramka[4] = static_cast<unsigned char>(nowy >> 8);
        ramka[5] = static_cast<unsigned char>(nowy);
    }
    return przyciete;
}
