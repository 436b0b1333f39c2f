#include "card/CardFiles.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/ZapisAtomowy.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <unistd.h>

namespace {

constexpr qint64 rozmiarPorcji = 1024 * 1024;

QString opisBledu(int numer) {
    return QString::fromLocal8Bit(std::strerror(numer));
}

// Makes the rename that just put a file into `folder` durable. Gives the
// system's reason when that fails.
std::optional<QString> synchronizujFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return opisBledu(errno);
    std::optional<QString> powod;
    // Some file systems cannot sync a folder; that is no failure of the copy.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        powod = opisBledu(errno);
    ::close(fd);
    return powod;
}

// Flushes what is written so far and waits until the device holds it.
std::optional<QString> synchronizuj(QSaveFile& plik) {
    if (!plik.flush())
        return plik.errorString();
    if (::fsync(plik.handle()) != 0)
        return opisBledu(errno);
    return std::nullopt;
}

RaportKopiowania blad(const QString& tekst) {
    return {WynikKopiowania::Blad, tekst};
}

} // namespace

QString korzenKarty(const QString& karta) {
    if (karta.isEmpty() || karta.endsWith(separatorFolderow()))
        return karta;
    return karta + separatorFolderow();
}

QString sciezkaPlayera(const QString& korzen) {
    return korzen + QStringLiteral("player.dat");
}

void zapiszPlayerDat(const QString& korzen) {
    OpcjeZapisu opcje;
    opcje.komunikat = QStringLiteral("Nie można utworzyć pliku %1: %2");
    ZapisAtomowy::zapiszCaly(sciezkaPlayera(korzen),
                             QByteArray(zawartoscPlayera, sizeof(zawartoscPlayera) - 1), opcje);
}

std::int64_t rozmiarPlikuDoOdczytu(const QString& sciezka) {
    QFile plik(sciezka);
    if (!plik.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Nie można otworzyć pliku %1: %2").arg(sciezka, plik.errorString()));
    return plik.size();
}

std::int64_t wielkoscPliku(const QString& sciezka) {
    const QFileInfo info(sciezka);
    if (!info.exists() || info.isDir())
        return 0;
    return info.size();
}

RaportKopiowania kopiujNaKarte(const QString& plik, const QString& korzen,
                               const ObslugaKopiowania& obsluga) {
    const QString cel = korzen + QFileInfo(plik).fileName();
    const auto bladZapisu = [&cel](const QString& powod) {
        return blad(QStringLiteral("Nie można zapisać pliku %1: %2").arg(cel, powod));
    };
    QFile zrodlo(plik);
    if (!zrodlo.open(QIODevice::ReadOnly))
        return blad(
            QStringLiteral("Nie można otworzyć pliku %1: %2").arg(plik, zrodlo.errorString()));

    const QFileInfo celInfo(cel);
    if (celInfo.isDir())
        return blad(QStringLiteral("Na karcie jest folder o nazwie %1.").arg(cel));
    if (celInfo.exists() && !obsluga.czyZamienic(cel))
        return {WynikKopiowania::NieZamieniono, {}};

    // Until commit() the data lives in a temporary file beside the target;
    // leaving this function any other way removes it.
    QSaveFile wynik(cel);
    if (!wynik.open(QIODevice::WriteOnly))
        return blad(
            QStringLiteral("Nie można utworzyć pliku %1: %2").arg(cel, wynik.errorString()));

    const std::int64_t razem = zrodlo.size();
    std::int64_t skopiowano = 0;
    if (!obsluga.postep(skopiowano, razem)) {
        wynik.cancelWriting();
        return {WynikKopiowania::Anulowano, {}};
    }
    QByteArray porcja;
    while (!zrodlo.atEnd()) {
        porcja = zrodlo.read(rozmiarPorcji);
        if (porcja.isEmpty() && zrodlo.error() != QFileDevice::NoError)
            return blad(
                QStringLiteral("Nie można odczytać pliku %1: %2").arg(plik, zrodlo.errorString()));
        if (wynik.write(porcja) != porcja.size())
            return bladZapisu(wynik.errorString());
        skopiowano += porcja.size();
        if (!obsluga.postep(skopiowano, razem)) {
            wynik.cancelWriting();
            return {WynikKopiowania::Anulowano, {}};
        }
    }
    if (auto powod = synchronizuj(wynik))
        return bladZapisu(*powod);
    if (!wynik.commit())
        return bladZapisu(wynik.errorString());
    if (auto powod = synchronizujFolder(korzen))
        return bladZapisu(*powod);
    return {WynikKopiowania::Skopiowano, {}};
}
