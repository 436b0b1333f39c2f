#include "merge/Miernik.h"

#include "audio/Mp3Probe.h"

MiernikMp3 miernikMp3() {
    return [](const QString& sciezka) {
        const Mp3Info info = probeMp3(sciezka);
        return PomiarMp3{{info.sampleRate, info.channels}, info.lengthMs, info.skippedBytes};
    };
}
