#include "merge/Miernik.h"

#include "app/Errors.h"
#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"

MiernikMp3 miernikMp3() {
    MiernikMp3 m;
    m.format = [](const QString& sciezka) {
        Mp3Stream strumien(sciezka);
        Mp3Frame ramka;
        if (!strumien.nextFrame(ramka))
            throw EMCIDeviceError(
                QStringLiteral("Plik %1 nie zawiera dźwięku MP3").arg(nativePath(sciezka)));
        return FormatDzwieku{ramka.sampleRate, ramka.channels};
    };
    m.dlugoscMs = [](const QString& sciezka) { return probeMp3(sciezka).lengthMs; };
    return m;
}
