#pragma once
// What the merge learns of an entry's file, and the function that measures
// it: the audio layer's frame walk in the program (miernikMp3), a stand-in
// in tests.

#include "merge/IndexFile.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <type_traits>

// What the merge needs to know of an MP3 file's format (of its first
// frame); merge/Formaty.h tells which entries differ and how.
struct FormatDzwieku {
    int czestotliwosc = 0; // sample rate, Hz
    int kanaly = 0;
    int wersja = 0;  // MPEG version: 1, 2 or 25 (2.5); 0: not known
    int warstwa = 0; // layer 1..3; 0: not known
    bool operator==(const FormatDzwieku&) const = default;
};

// What the merge learns of an entry's file from a walk over its frames.
struct PomiarMp3 {
    FormatDzwieku format;            // of the first frame
    std::int64_t dlugoscMs = 0;      // every frame at its own rate
    std::int64_t pominieteBajty = 0; // bytes that are neither frames nor tags
    MapaRamek ramki{};               // where its frames lie; empty when unknown
    // Exact durations, in units of which jednostekNaMs make a millisecond:
    // the file on its own (what dlugoscMs rounds), and the file inside a
    // book after another file, where every frame it holds plays, an
    // encoder's information frame at its start too. No units (0): only
    // dlugoscMs is known, and it serves for both.
    std::int64_t jednostekNaMs = 0;
    std::int64_t czas = 0, czasWKsiazce = 0;
    // What a player that honours the encoder's header (its delay, LAME's
    // extension) leaves out at the start, in the same units: the decoder's
    // delay and the encoder's. 0 for a file without such a header.
    std::int64_t opoznienie = 0;
};

// An entry's file as the merge opened it, to be read once: the measuring
// walk hands every byte on, in order, as it passes them.
struct CzytanieWpisu {
    int deskryptor = -1; // open for reading, at the file's start
    std::int64_t rozmiar = 0;
    // Receives the bytes in large blocks, valid during the call only.
    std::function<void(const unsigned char*, std::int64_t)> odbierz;
    // May change each frame's bytes in place (not their length) before they
    // go on; empty: they pass unchanged.
    std::function<void(unsigned char*, int)> przeksztalcRamke;
};

// Measures one entry's file; throws when it cannot be read or holds no MP3
// audio. A measure made from a function of the path only (a stand-in in
// tests) reads the file itself, and the merge copies it afterwards; one
// that also takes a CzytanieWpisu reads the merge's open file once and
// hands its bytes on.
class MiernikMp3 {
public:
    using Sciezka = std::function<PomiarMp3(const QString&)>;
    using Przekaz = std::function<PomiarMp3(const QString&, const CzytanieWpisu&)>;

    MiernikMp3() = default;
    template <typename F>
    requires std::is_invocable_r_v<PomiarMp3, F, const QString&> MiernikMp3(F f)
        : sciezka_(std::move(f)) {}
    template <typename F>
    requires std::is_invocable_r_v<PomiarMp3, F, const QString&, const CzytanieWpisu&>
    MiernikMp3(F f) : przekaz_(std::move(f)) {}

    explicit operator bool() const { return sciezka_ || przekaz_; }
    bool przekazuje() const { return bool(przekaz_); }

    // Measures the file by its name.
    PomiarMp3 operator()(const QString& sciezka) const;
    // Measures the open file and hands its bytes on; only when przekazuje().
    PomiarMp3 operator()(const QString& sciezka, const CzytanieWpisu& czytanie) const {
        return przekaz_(sciezka, czytanie);
    }

private:
    Sciezka sciezka_;
    Przekaz przekaz_;
};
