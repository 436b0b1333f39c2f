#include "card/Wysuwanie.h"

#include "base/Transakcja.h"
#include "card/UDisks2.h"
#include "card/Volumes.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QVariantMap>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace udisks2;

// Unmounting writes out what the system still holds for the card: on a slow
// card that is minutes.
constexpr int czasOdmontowania = 10 * 60 * 1000;
constexpr int czasZapytania = 25 * 1000;

QDBusMessage wywolaj(const QString& obiekt, const QString& interfejs, const QString& metoda,
                     int czas) {
    QDBusMessage wywolanie =
        QDBusMessage::createMethodCall(QString::fromUtf16(usluga), obiekt, interfejs, metoda);
    wywolanie << QVariantMap();
    return QDBusConnection::systemBus().call(wywolanie, QDBus::Block, czas);
}

QString zrobSamemu(const QString& punkt) {
    return QStringLiteral("Odmontuj kartę w menedżerze plików albo poleceniem „umount %1” i "
                          "dopiero wtedy ją wyjmij.")
        .arg(punkt);
}

std::optional<dev_t> urzadzenie(const QString& punkt) {
    struct stat info {};
    if (::stat(QFile::encodeName(punkt).constData(), &info) != 0)
        return std::nullopt;
    return info.st_dev;
}

// Writes out what the system holds for the card's volume.
void zapiszBufory(const QString& punkt) {
    synchronizujFolder(punkt, true);
}

} // namespace

QStringList procesyNaKarcie(const QString& punkt) {
    QStringList procesy;
    const auto naKarcie = [&punkt](const QString& cel) {
        return cel == punkt || cel.startsWith(punkt + QLatin1Char('/'));
    };
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& pid : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool liczba = false;
        pid.toLongLong(&liczba);
        if (!liczba)
            continue;
        const QString folder = proc.filePath(pid);
        bool uzywa = naKarcie(QFileInfo(folder + QStringLiteral("/cwd")).symLinkTarget());
        const QDir fd(folder + QStringLiteral("/fd"));
        const QStringList deskryptory =
            uzywa ? QStringList()
                  : fd.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& numer : deskryptory) {
            if (naKarcie(QFileInfo(fd.filePath(numer)).symLinkTarget())) {
                uzywa = true;
                break;
            }
        }
        if (!uzywa)
            continue;
        QFile comm(folder + QStringLiteral("/comm"));
        const QString nazwa = comm.open(QIODevice::ReadOnly)
                                  ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                  : QString();
        procesy.append(QStringLiteral("%1 (PID %2)").arg(nazwa, pid));
    }
    return procesy;
}

WynikWysuniecia wysunKarte(const QString& korzen) {
    QString punkt = QFileInfo(korzen).canonicalFilePath();
    if (punkt.isEmpty())
        punkt = QDir::cleanPath(korzen);
    zapiszBufory(punkt);
    const auto przed = urzadzenie(punkt);

    const auto bezUslugi = [&punkt](const QString& powod) {
        return WynikWysuniecia{
            false, QStringLiteral("Nie można bezpiecznie wysunąć karty: w systemie nie działa "
                                  "usługa UDisks2 (%1). Dane są już zapisane na karcie. ")
                           .arg(powod) +
                       zrobSamemu(punkt)};
    };
    const Odpowiedz odpowiedz = udisks2::obiekty(czasZapytania);
    if (!odpowiedz.obiekty)
        return bezUslugi(odpowiedz.blad);
    const Obiekty& obiekty = *odpowiedz.obiekty;

    QString systemPlikow;
    for (auto it = obiekty.cbegin(); it != obiekty.cend(); ++it) {
        const QVariantMap fs = it->value(QString::fromUtf16(interfejsSystemuPlikow));
        if (fs.contains(QStringLiteral("MountPoints")) &&
            punktyMontowania(fs.value(QStringLiteral("MountPoints"))).contains(punkt)) {
            systemPlikow = it.key();
            break;
        }
    }
    if (systemPlikow.isEmpty())
        return {false, QStringLiteral("Usługa UDisks2 nie zna urządzenia, na którym jest karta "
                                      "%1, więc nie może jej wysunąć. Dane są już zapisane na "
                                      "karcie. ")
                               .arg(punkt) +
                           zrobSamemu(punkt)};

    const QDBusMessage odmontowanie =
        wywolaj(systemPlikow, QString::fromUtf16(interfejsSystemuPlikow), QStringLiteral("Unmount"),
                czasOdmontowania);
    if (odmontowanie.type() == QDBusMessage::ErrorMessage) {
        const QString powod = odmontowanie.errorMessage();
        if (odmontowanie.errorName() == QLatin1String("org.freedesktop.UDisks2.Error.DeviceBusy")) {
            const QStringList procesy = procesyNaKarcie(punkt);
            const QString kto = procesy.isEmpty()
                                    ? QStringLiteral("UDisks2 podaje: %1").arg(powod)
                                    : QStringLiteral("pliki na karcie ma otwarte: %1 (UDisks2 "
                                                     "podaje: %2)")
                                          .arg(procesy.join(QStringLiteral(", ")), powod);
            return {false, QStringLiteral("Nie można wysunąć karty, bo jest używana; %1. Zamknij "
                                          "pliki z karty w tych programach i spróbuj ponownie. "
                                          "Karty nie wolno jeszcze wyjmować.")
                               .arg(kto)};
        }
        if (bladBrakuUslugi(odmontowanie.errorName()))
            return bezUslugi(powod);
        return {false, QStringLiteral("Nie udało się wysunąć karty: %1. Karty nie wolno jeszcze "
                                      "wyjmować.")
                           .arg(powod.isEmpty() ? odmontowanie.errorName() : powod)};
    }
    // Only what the system shows counts: the folder no longer on the card.
    if (przed && punktMontowania(punkt) && urzadzenie(punkt) == przed)
        return {false, QStringLiteral("UDisks2 zgłosił odmontowanie, ale karta %1 jest nadal "
                                      "zamontowana. Karty nie wolno jeszcze wyjmować.")
                           .arg(punkt)};

    QString tekst = QString::fromUtf16(kartaMoznaWyjac);
    const QString naped = sciezkaObiektu(obiekty.value(systemPlikow)
                                             .value(QString::fromUtf16(interfejsBloku))
                                             .value(QStringLiteral("Drive")));
    const QVariantMap wlasciwosci = obiekty.value(naped).value(QString::fromUtf16(interfejsNapedu));
    if (naped.size() > 1 && wlasciwosci.value(QStringLiteral("CanPowerOff")).toBool()) {
        const QDBusMessage wylaczenie = wywolaj(naped, QString::fromUtf16(interfejsNapedu),
                                                QStringLiteral("PowerOff"), czasZapytania);
        if (wylaczenie.type() == QDBusMessage::ErrorMessage)
            tekst += QStringLiteral(" (Czytnika nie udało się wyłączyć: %1.)")
                         .arg(wylaczenie.errorMessage());
    }
    return {true, tekst};
}
