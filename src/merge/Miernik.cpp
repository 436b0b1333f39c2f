#include "merge/Miernik.h"

#include "app/Errors.h"
#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"

#include <QFile>
#include <optional>

namespace {

// One MPEG audio frame header.
struct Naglowek {
    int wersja = 0;  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int warstwa = 0; // 3 Layer I, 2 Layer II, 1 Layer III
    int czestotliwosc = 0;
    int kanaly = 0;
    int dlugosc = 0; // bytes of the whole frame
};

std::optional<Naglowek> naglowek(const unsigned char* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int wersja = (p[1] >> 3) & 3;
    const int warstwa = (p[1] >> 1) & 3;
    const int indeksPredkosci = p[2] >> 4;
    const int indeksCzestotliwosci = (p[2] >> 2) & 3;
    const int wypelnienie = (p[2] >> 1) & 1;
    // Reserved values, and the free bit rate whose frame length the header
    // does not tell.
    if (wersja == 1 || warstwa == 0 || indeksPredkosci == 0 || indeksPredkosci == 15 ||
        indeksCzestotliwosci == 3)
        return std::nullopt;
    static constexpr int czestotliwosci[3] = {44100, 48000, 32000};
    static constexpr int predkosci[5][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 I
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 II
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 III
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2 I
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG-2 II, III
    };
    const bool mpeg1 = wersja == 3;
    const int tabela = mpeg1 ? 3 - warstwa : (warstwa == 3 ? 3 : 4);
    const int predkosc = predkosci[tabela][indeksPredkosci - 1] * 1000;
    const int czestotliwosc = czestotliwosci[indeksCzestotliwosci] >> (mpeg1         ? 0
                                                                       : wersja == 2 ? 1
                                                                                     : 2);
    int dlugosc;
    if (warstwa == 3)
        dlugosc = (12 * predkosc / czestotliwosc + wypelnienie) * 4;
    else if (warstwa == 1 && !mpeg1)
        dlugosc = 72 * predkosc / czestotliwosc + wypelnienie;
    else
        dlugosc = 144 * predkosc / czestotliwosc + wypelnienie;
    return Naglowek{wersja, warstwa, czestotliwosc, (p[3] >> 6) == 3 ? 1 : 2, dlugosc};
}

// The format of the first frame found in the first 64 KiB after any ID3v2
// tags, confirmed by a second frame of the same kind right after it. No
// answer when the beginning of the file does not show that plainly.
std::optional<FormatDzwieku> formatZNaglowka(const QString& sciezka) {
    QFile plik(sciezka);
    if (!plik.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return std::nullopt;
    QByteArray dane = plik.read(64 * 1024);
    qint64 przesuniecie = 0;
    // ID3v2 tags: "ID3", version, flags, a 28-bit size in 7-bit bytes, and
    // a 10-byte footer when flag 0x10 is set.
    while (dane.size() >= 10 && dane.startsWith("ID3")) {
        const auto* t = reinterpret_cast<const unsigned char*>(dane.constData());
        if ((t[6] | t[7] | t[8] | t[9]) & 0x80)
            return std::nullopt;
        przesuniecie +=
            10 + ((t[6] << 21) | (t[7] << 14) | (t[8] << 7) | t[9]) + ((t[5] & 0x10) ? 10 : 0);
        if (!plik.seek(przesuniecie))
            return std::nullopt;
        dane = plik.read(64 * 1024);
    }
    const auto* p = reinterpret_cast<const unsigned char*>(dane.constData());
    const qsizetype n = dane.size();
    for (qsizetype i = 0; i + 4 <= n; ++i) {
        const auto pierwszy = naglowek(p + i);
        if (!pierwszy || i + pierwszy->dlugosc + 4 > n)
            continue;
        const auto drugi = naglowek(p + i + pierwszy->dlugosc);
        if (drugi && drugi->wersja == pierwszy->wersja && drugi->warstwa == pierwszy->warstwa &&
            drugi->czestotliwosc == pierwszy->czestotliwosc)
            return FormatDzwieku{pierwszy->czestotliwosc, pierwszy->kanaly};
    }
    return std::nullopt;
}

} // namespace

MiernikMp3 miernikMp3() {
    MiernikMp3 m;
    // Most files show their format in the first frame headers; anything
    // else goes to the audio layer's decoder, which finds the first frame
    // or says why the file is no MP3 file.
    m.format = [](const QString& sciezka) {
        if (const auto format = formatZNaglowka(sciezka))
            return *format;
        Mp3Stream strumien(sciezka);
        Mp3Frame ramka;
        if (!strumien.nextFrame(ramka))
            throw EMCIDeviceError(QStringLiteral("Plik „%1” nie jest plikiem dźwiękowym MP3")
                                      .arg(nativePath(sciezka)));
        return FormatDzwieku{ramka.sampleRate, ramka.channels};
    };
    m.dlugoscMs = [](const QString& sciezka) { return probeMp3(sciezka).lengthMs; };
    return m;
}
