#include "merge/Miernik.h"

#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "audio/NaglowekXing.h"
#include "base/Errors.h"
#include "base/ZwyklyPlik.h"

#include <QFile>

namespace {

// The walk's frames, lengths and skipped bytes as the merge needs them.
// Without `czytanie` the file is opened by its name.
PomiarMp3 zmierz(const QString& sciezka, const CzytanieWpisu* czytanie) {
    PomiarMp3 pomiar;
    MapaRamek ramki(kTicksPerMs);
    bool ramkiPewne = true;
    const auto kazdaRamka = [&](const Mp3Frame& f) {
        ramkiPewne = ramkiPewne && f.offset >= 0 && ramki.dodaj(f.offset, f.bytes, f.durationTicks);
    };
    const Mp3Info info = czytanie ? probeMp3(sciezka,
                                             Mp3Pass{czytanie->deskryptor, czytanie->rozmiar,
                                                     czytanie->odbierz, czytanie->przeksztalcRamke},
                                             kazdaRamka)
                                  : probeMp3(sciezka, kazdaRamka);
    pomiar.format = {info.sampleRate, info.channels, info.version, info.layer};
    pomiar.dlugoscMs = info.lengthMs;
    pomiar.pominieteBajty = info.skippedBytes;
    pomiar.jednostekNaMs = kTicksPerMs;
    pomiar.czas = info.ticks;
    pomiar.czasWKsiazce = info.walkedTicks;
    // LAME's extension tells the encoder's delay; a decoder adds 529
    // samples of its own, and players that read the header skip both.
    if (const auto xing = czytajXing(info.infoFrame);
        xing && xing->lame >= 0 && info.sampleRate > 0)
        pomiar.opoznienie =
            std::int64_t(xing->opoznienie + 529) * (kTicksPerSecond / info.sampleRate);
    // A frame the walk could not place leaves no map rather than a wrong one.
    if (ramkiPewne)
        pomiar.ramki = std::move(ramki);
    return pomiar;
}

} // namespace

PomiarMp3 MiernikMp3::operator()(const QString& sciezka) const {
    if (sciezka_)
        return sciezka_(sciezka);
    // A measure that reads open files, asked by name: it opens the file.
    QFile plik;
    if (const QString powod = otworzZwyklyPlik(plik, sciezka); !powod.isEmpty())
        throw EMCIDeviceError(
            QStringLiteral("Nie można otworzyć pliku „%1”: %2").arg(nativePath(sciezka), powod));
    return przekaz_(sciezka, {plik.handle(), plik.size(), {}, {}});
}

MiernikMp3 miernikMp3() {
    return MiernikMp3([](const QString& sciezka, const CzytanieWpisu& czytanie) {
        return zmierz(sciezka, &czytanie);
    });
}
