#include "card/CardFiles.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/ZapisAtomowy.h"
#include "base/ZwyklyPlik.h"
#include "card/KsiazkaNaKarcie.h"

#include <QFile>
#include <QFileInfo>
#include <unistd.h>

QString korzenKarty(const QString& karta) {
    if (karta.isEmpty() || karta.endsWith(separatorFolderow()))
        return karta;
    return karta + separatorFolderow();
}

QString sciezkaPlayera(const QString& korzen) {
    return korzen + QStringLiteral("player.dat");
}

void zapiszPlayerDat(const QString& korzen) {
    // The writer follows a link to its target; on the card that target may
    // be anywhere, so a link is refused.
    if (dowiazanieNaKarcie(korzen, QStringLiteral("player.dat")))
        throw EInOutError(komunikatDowiazania(sciezkaPlayera(korzen)));
    OpcjeZapisu opcje;
    opcje.komunikat = QStringLiteral("Nie można utworzyć pliku %1: %2");
    ZapisAtomowy::zapiszCaly(sciezkaPlayera(korzen),
                             QByteArray(zawartoscPlayera, sizeof(zawartoscPlayera) - 1), opcje);
}

std::int64_t rozmiarPlikuDoOdczytu(const QString& sciezka) {
    int fd = -1;
    std::int64_t rozmiar = 0;
    if (const QString powod = otworzZwyklyDeskryptor(sciezka, fd, rozmiar); !powod.isEmpty())
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2").arg(sciezka, powod));
    ::close(fd);
    return rozmiar;
}

std::int64_t wielkoscPliku(const QString& sciezka) {
    const QFileInfo info(sciezka);
    if (!info.exists() || info.isDir())
        return 0;
    return info.size();
}
