#pragma once
// The global gain of MPEG Layer III frames, read and changed in the frame's
// own bytes. Every granule and channel of a frame carries an 8-bit
// global_gain in the side information; the decoder scales that granule's
// samples by 2^(global_gain/4), so adding 1 to every global_gain of a frame
// makes it louder by 1.5 dB without touching the coded audio or the frame's
// length. MPEG-1 frames have two granules, MPEG-2 and MPEG-2.5 one, and the
// side information differs in its field widths; a frame protected by a
// CRC-16 gets its CRC computed anew. Pure functions over bytes: no file, no
// decoder.

#include <cstdint>
#include <span>

// 20·log10(2)/4: the loudness change of one global_gain step, in dB.
inline constexpr double kDecybeleKroku = 1.5051499783199058;

enum class RodzajRamki {
    Inna,         // no Layer III frame, or one too short for its side information
    Informacyjna, // the encoder's information frame (Xing, Info, VBRI): no audio
    Dzwiek,       // a Layer III audio frame
};

// What a frame's side information says about its gains.
struct OpisRamki {
    RodzajRamki rodzaj = RodzajRamki::Inna;
    // The lowest and highest global_gain of the granules that carry sound
    // (part2_3_length above 0 and a gain that can be heard); 255 and 0 for a
    // frame of silence alone.
    int najmniejsze = 255;
    int najwieksze = 0;
};

OpisRamki opiszRamke(std::span<const unsigned char> ramka);

// Adds `kroki` to every global_gain of a Layer III audio frame whose granule
// carries sound (the others mean nothing to a decoder and stay), keeping each
// within 0..255, and computes the frame's CRC anew when it has one (a CRC
// that was wrong stays wrong by the same bits, so the decoder judges the
// frame as before). Any other frame is left as it is. Returns how many
// global_gain fields that can be heard had to be held at 0 or 255.
int zmienWzmocnienie(std::span<unsigned char> ramka, int kroki);

// The CRC-16 of MPEG audio (polynomial 0x8005, start 0xFFFF) over `dane`.
std::uint16_t crcMpeg(std::span<const unsigned char> dane, std::uint16_t crc = 0xFFFF);
