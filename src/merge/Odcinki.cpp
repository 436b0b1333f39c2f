#include "merge/Odcinki.h"

#include "audio/Mp3Probe.h"
#include "base/DataDirs.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/ZapisAtomowy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

constexpr qint64 rozmiarPorcji = 1024 * 1024;

struct Format {
    int czestotliwosc = 0;
    int kanaly = 0;
    bool operator==(const Format&) const = default;
};

std::optional<Format> formatPliku(const QString& sciezka) {
    try {
        const Mp3Info info = probeMp3(sciezka);
        if (info.frames == 0)
            return std::nullopt;
        return Format{info.sampleRate, info.channels};
    } catch (const SonvekError&) {
        return std::nullopt;
    }
}

QString opis(const QString& nazwa, const Format& f) {
    const QString kanaly = f.kanaly == 1   ? QStringLiteral("mono")
                           : f.kanaly == 2 ? QStringLiteral("stereo")
                                           : QStringLiteral("%1 kanały").arg(f.kanaly);
    return QStringLiteral("%1: %2 Hz, %3").arg(nazwa).arg(f.czestotliwosc).arg(kanaly);
}

// Appends the whole of `zrodlo` to `cel`. Throws EInOutError.
void dopisz(QFile& zrodlo, const QString& sciezkaZrodla, ZapisAtomowy& cel) {
    while (!zrodlo.atEnd()) {
        const QByteArray porcja = zrodlo.read(rozmiarPorcji);
        if (porcja.isEmpty())
            throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                                  .arg(sciezkaZrodla, zrodlo.errorString()));
        cel.zapisz(porcja);
    }
}

} // namespace

QString folderZapowiedzi(const QString& folderProgramu) {
    const QString nazwa = QStringLiteral("odcinki");
    QString folder = znajdzDane(folderProgramu, nazwa);
    // Nowhere yet: the folder beside the program, which the error of a
    // missing clip then names.
    if (folder.isEmpty())
        folder = QDir(folderProgramu).filePath(nazwa);
    return QDir::toNativeSeparators(folder) + separatorFolderow();
}

QString nazwaZapowiedzi(int wiersz) {
    const QString prefiks = wiersz < 10 ? QStringLiteral("00") : QStringLiteral("0");
    return prefiks + QString::number(wiersz) + QStringLiteral(".mp3");
}

std::optional<QString> pierwszaRozbieznosc(const QString& folder, const ListaPozycji& lista) {
    // One file may stand in several rows; it is read once.
    QHash<QString, std::optional<Format>> znane;
    for (qsizetype k = 1; k < lista.size(); ++k) {
        const QString nazwa = nazwaZapowiedzi(int(k));
        const std::optional<Format> zapowiedz = formatPliku(folder + nazwa);
        if (!zapowiedz)
            continue;
        const QString sciezka = lista[k].sciezka();
        auto it = znane.find(sciezka);
        if (it == znane.end())
            it = znane.insert(sciezka, formatPliku(sciezka));
        if (it.value() && *it.value() != *zapowiedz)
            return opis(nazwa, *zapowiedz) + QStringLiteral("; ") +
                   opis(lista[k].NazwaPliku, *it.value());
    }
    return std::nullopt;
}

void dolaczZapowiedz(const QString& zapowiedz, const QString& plik) {
    QFile clip(zapowiedz);
    if (!clip.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Nie można otworzyć zapowiedzi %1: %2")
                              .arg(zapowiedz, clip.errorString()));

    // The permission bits are checked here, not left to the system: with
    // administrator rights every file opens for writing, and a rename
    // replaces a read-only file in a writable folder anyway.
    const QFileInfo info(plik);
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)))
        throw EInOutError(
            QStringLiteral("Plik %1 jest tylko do odczytu; zapowiedź nie została dołączona")
                .arg(plik));
    QFile wejscie(plik);
    if (!wejscie.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Nie można otworzyć pliku %1: %2").arg(plik, wejscie.errorString()));

    // The joined file is written beside the old one under a new unique
    // name, keeps the old file's permissions and owner, and replaces it
    // only once it is complete and on the disk.
    ZapisAtomowy wynik(plik);
    dopisz(clip, zapowiedz, wynik);
    dopisz(wejscie, plik, wynik);
    wejscie.close();
    wynik.zatwierdz();
}

void wstawOdcinki(const QString& folder, const ListaPozycji& lista) {
    for (qsizetype k = 1; k < lista.size(); ++k) {
        try {
            dolaczZapowiedz(folder + nazwaZapowiedzi(int(k)), lista[k].sciezka());
        } catch (const SonvekError& e) {
            // Running the command again would give the finished rows a second
            // clip; the user must know which they are.
            QString tekst = errorBoxText(e.text());
            if (k == 2)
                tekst += QStringLiteral("\nZapowiedź została już dołączona do pliku pozycji 2.");
            else if (k > 2)
                tekst += QStringLiteral("\nZapowiedzi zostały już dołączone do plików pozycji "
                                        "2–%1.")
                             .arg(k);
            throw EInOutError(tekst);
        }
    }
}
