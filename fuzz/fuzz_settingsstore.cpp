// The settings store on any key file: it refuses or reads; what it reads,
// written again and read back, gives the very same values and the very same
// file. A text stored into it (beside what the file held) is read back
// unchanged, or refused with the file left as it was.

#include "Fuzz.h"
#include "settings/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace {

const QString kKlucz = QStringLiteral("SonvCom");

// One folder per fuzzing process, in memory when the system has /dev/shm;
// removed when the process ends normally (a crash leaves it behind). A
// plain buffer: it must outlive every destructor that runs at exit.
char g_folder[4096];

const QString& folder() {
    static const QString sciezka = [] {
        const std::string wzor =
            (std::filesystem::is_directory("/dev/shm") ? std::string("/dev/shm")
                                                       : QDir::tempPath().toStdString()) +
            "/sonvek-fuzz-XXXXXX";
        wymagaj(wzor.size() < sizeof g_folder, "folder tymczasowy");
        wzor.copy(g_folder, wzor.size());
        wymagaj(::mkdtemp(g_folder) != nullptr, "folder tymczasowy");
        std::atexit([] { std::filesystem::remove_all(g_folder); });
        return QString::fromLocal8Bit(g_folder);
    }();
    return sciezka;
}

QString plikKlucza() {
    return folder() + QLatin1Char('/') + kKlucz + QStringLiteral(".reg");
}

QByteArray bajty() {
    QFile plik(plikKlucza());
    return plik.open(QIODevice::ReadOnly) ? plik.readAll() : QByteArray("<brak pliku>");
}

void zapiszBajty(const QByteArray& dane) {
    QFile plik(plikKlucza());
    wymagaj(plik.open(QIODevice::WriteOnly) && plik.write(dane) == dane.size(), "zapis wejścia");
}

// What the program reads from the key: its three values, or the error each gives.
QString wartosci(const RegistryKey& klucz) {
    QString opis;
    for (const QString& nazwa : {QStringLiteral("Karta"), QStringLiteral("Magazyn")}) {
        try {
            opis += nazwa + QLatin1Char('=') +
                    klucz.readString(nazwa).value_or(QStringLiteral("<brak>"));
        } catch (const ERegistryException&) {
            opis += nazwa + QStringLiteral(": zły typ");
        }
        opis += QLatin1Char('\n');
    }
    try {
        const auto liczba = klucz.readInteger(QStringLiteral("Zakladka"));
        opis += QStringLiteral("Zakladka=") +
                (liczba ? QString::number(*liczba) : QStringLiteral("<brak>"));
    } catch (const ERegistryException&) {
        opis += QStringLiteral("Zakladka: zły typ");
    }
    return opis;
}

std::unique_ptr<RegistryKey> otworz(const SettingsStore& magazyn, const char* co) {
    try {
        auto klucz = magazyn.open(kKlucz, false);
        wymagaj(klucz != nullptr, co);
        return klucz;
    } catch (const ERegistryException& e) {
        wymagaj(false, co, e.text() + u'\n' + QString::fromUtf8(bajty()));
    }
    return nullptr;
}

// Read, rewrite, read again: same values, and the rewrite is a fixed point.
void przepisz(const SettingsStore& magazyn, const QByteArray& wejscie) {
    zapiszBajty(wejscie);
    std::unique_ptr<RegistryKey> klucz;
    try {
        klucz = magazyn.open(kKlucz, false);
    } catch (const ERegistryException&) {
        return; // a file it cannot read is refused with a message
    }
    const QString przed = wartosci(*klucz);
    try {
        klucz->commit();
    } catch (const ERegistryException&) {
        wymagaj(bajty() == wejscie, "odmowa zapisu zostawia plik bez zmian");
        return;
    }
    const QByteArray pierwszy = bajty();
    auto ponownie = otworz(magazyn, "przepisany plik daje się wczytać");
    wymagaj(wartosci(*ponownie) == przed, "wartości po przepisaniu są te same",
            przed + QStringLiteral("\n--\n") + wartosci(*ponownie));
    ponownie->commit();
    wymagaj(bajty() == pierwszy, "drugie przepisanie daje ten sam plik",
            QString::fromUtf8(pierwszy) + QStringLiteral("--\n") + QString::fromUtf8(bajty()));
}

// A text and a number stored beside whatever the file held come back.
void zapiszTekst(const SettingsStore& magazyn, FuzzedDataProvider& dane) {
    const QString tekst = QString::fromStdString(dane.ConsumeRandomLengthString(256));
    const auto liczba = dane.ConsumeIntegral<std::int32_t>();
    zapiszBajty(QByteArray::fromStdString(dane.ConsumeRemainingBytesAsString()));
    std::unique_ptr<RegistryKey> klucz;
    try {
        klucz = magazyn.openForWriting(kKlucz);
    } catch (const ERegistryException&) {
        return;
    }
    const QByteArray przed = bajty();
    try {
        klucz->writeString(QStringLiteral("Magazyn"), tekst);
        klucz->writeInteger(QStringLiteral("Zakladka"), liczba);
        klucz->commit();
    } catch (const ERegistryException&) {
        wymagaj(bajty() == przed, "odmowa zapisu zostawia plik bez zmian");
        return;
    }
    auto ponownie = otworz(magazyn, "zapisany plik daje się wczytać");
    try {
        wymagaj(ponownie->readString(QStringLiteral("Magazyn")) == tekst, "tekst wraca", tekst);
        wymagaj(ponownie->readInteger(QStringLiteral("Zakladka")) == liczba, "liczba wraca", tekst);
    } catch (const ERegistryException& e) {
        wymagaj(false, "zapisane wartości mają swoje typy", e.text());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dane, std::size_t rozmiar) {
    const SettingsStore magazyn(folder());
    FuzzedDataProvider dostawca(dane, rozmiar);
    if (dostawca.ConsumeBool())
        zapiszTekst(magazyn, dostawca);
    else
        przepisz(magazyn, QByteArray::fromStdString(dostawca.ConsumeRemainingBytesAsString()));
    QFile::remove(plikKlucza());
    return 0;
}
