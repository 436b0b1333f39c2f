#pragma once
// LAME (libmp3lame) as the import uses it: constant bit rate, one sample
// rate and channel count, an Info/LAME header whose encoder delay and
// padding let gapless players play the chapter's exact samples.

#include <QByteArray>
#include <cstdint>
#include <memory>

struct FormatKodowania {
    int czestotliwosc = 44100; // an MPEG rate: 8000 .. 48000
    int kanaly = 1;            // 1 or 2
    int kbps = 64;             // constant bit rate
    bool operator==(const FormatKodowania&) const = default;
};

class KoderMp3 {
public:
    // Throws SonvekError when LAME refuses the format (a bit rate the sample
    // rate does not allow).
    explicit KoderMp3(const FormatKodowania& format);
    ~KoderMp3();
    KoderMp3(const KoderMp3&) = delete;
    KoderMp3& operator=(const KoderMp3&) = delete;

    // Encodes `ramki` samples per channel (interleaved 16-bit) and returns
    // the MP3 bytes ready so far. The first bytes are the place of the
    // Info frame, to be written over with naglowekInfo() at the end.
    QByteArray koduj(const std::int16_t* probki, int ramki);
    // The rest, after the last samples.
    QByteArray zakoncz();
    // The Info/LAME frame for the start of the stream, after zakoncz().
    QByteArray naglowekInfo();
    // Samples by which a decoder that plays every frame (the program's
    // player, the merge) hears the input later: LAME's delay and the
    // decoder's own 529.
    int opoznienie() const;

    // Whether LAME takes this format; the reason in Polish when it does not.
    static QString sprawdz(const FormatKodowania& format);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
