#include "merge/Miernik.h"

#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"

MiernikMp3 miernikMp3() {
    return [](const QString& sciezka) {
        PomiarMp3 pomiar;
        MapaRamek ramki(kTicksPerMs);
        bool ramkiPewne = true;
        const Mp3Info info = probeMp3(sciezka, [&](const Mp3Frame& f) {
            ramkiPewne =
                ramkiPewne && f.offset >= 0 && ramki.dodaj(f.offset, f.bytes, f.durationTicks);
        });
        pomiar.format = {info.sampleRate, info.channels};
        pomiar.dlugoscMs = info.lengthMs;
        pomiar.pominieteBajty = info.skippedBytes;
        pomiar.jednostekNaMs = kTicksPerMs;
        pomiar.czas = info.ticks;
        pomiar.czasWKsiazce = info.walkedTicks;
        // A frame the walk could not place leaves no map rather than a wrong one.
        if (ramkiPewne)
            pomiar.ramki = std::move(ramki);
        return pomiar;
    };
}
