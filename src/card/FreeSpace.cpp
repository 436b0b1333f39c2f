#include "card/FreeSpace.h"

#include "base/Text.h"
#include "card/KsiazkaNaKarcie.h"
#include "card/Volumes.h"

#include <QFile>
#include <QFileInfo>
#include <limits>
#include <sys/statfs.h>
#include <sys/statvfs.h>

namespace {

constexpr long fatMagic = 0x4d44; // MSDOS_SUPER_MAGIC

using u128 = unsigned __int128;
using i128 = __int128;

std::int64_t doInt64(i128 wartosc) {
    if (wartosc > std::numeric_limits<std::int64_t>::max())
        return std::numeric_limits<std::int64_t>::max();
    if (wartosc < std::numeric_limits<std::int64_t>::min())
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(wartosc);
}

} // namespace

std::optional<MiaraWoluminu> SystemoweWolneMiejsce::zmierz(const QString& folder) const {
    const QByteArray sciezka = QFile::encodeName(folder);
    struct statvfs vfs {};
    struct statfs fs {};
    if (::statvfs(sciezka.constData(), &vfs) != 0 || ::statfs(sciezka.constData(), &fs) != 0)
        return std::nullopt;
    MiaraWoluminu miara;
    miara.rozmiarKlastra = static_cast<std::int64_t>(vfs.f_frsize);
    miara.wolneKlastry = vfs.f_bavail;
    miara.wszystkieKlastry = vfs.f_blocks;
    miara.fat = fs.f_type == fatMagic || woluminFat(folder);
    return miara;
}

bool SystemoweWolneMiejsce::zamontowany(const QString& folder) const {
    return punktMontowania(folder) && !naUrzadzeniuSystemu(folder);
}

bool kartaDostepna(const QString& korzen, const ZrodloWolnegoMiejsca& zrodlo) {
    if (korzen.isEmpty() || !QFileInfo(korzen).isDir())
        return false;
    const QString kanoniczny = QFileInfo(korzen).canonicalFilePath();
    return !systemowyPunktMontowania(kanoniczny) && zrodlo.zamontowany(korzen);
}

QString komunikatBrakuOdpowiedziKarty(const QString& korzen) {
    return QStringLiteral("Karta %1 nie odpowiada. Wyjmij ją i włóż ponownie albo sprawdź, czy "
                          "nie jest uszkodzona.")
        .arg(korzen);
}

std::optional<PomiarKarty> zmierzKarte(const QString& korzen, const ZrodloWolnegoMiejsca& zrodlo) {
    if (!kartaDostepna(korzen, zrodlo))
        return std::nullopt;
    const auto miara = zrodlo.zmierz(korzen);
    if (!miara)
        return std::nullopt;
    PomiarKarty pomiar;
    pomiar.wolumin = *miara;
    pomiar.playerNaKarcie = QFileInfo::exists(korzen + QStringLiteral("player.dat"));
    pomiar.klastryPozostalosci = klastryPozostalosci(korzen, miara->rozmiarKlastra);
    return pomiar;
}

std::int64_t wolneBajty(const PomiarKarty& pomiar) {
    const std::uint64_t zajete = pomiar.playerNaKarcie ? 1 : 0;
    const std::uint64_t wolne = pomiar.wolumin.wolneKlastry;
    if (wolne <= zajete || pomiar.wolumin.rozmiarKlastra <= 0)
        return 0;
    return doInt64(
        static_cast<i128>(u128{wolne - zajete} * static_cast<u128>(pomiar.wolumin.rozmiarKlastra)));
}

QString raportWolnegoMiejsca(const PomiarKarty& pomiar, QChar separatorDziesietny) {
    // bytes / 1024 with four decimals: bytes * 10000 / 1024 = bytes * 625 / 64,
    // rounded to nearest, ties to even.
    const u128 iloczyn = static_cast<u128>(wolneBajty(pomiar)) * 625;
    u128 iloraz = iloczyn / 64;
    const u128 reszta = iloczyn % 64;
    if (reszta > 32 || (reszta == 32 && (iloraz & 1) != 0))
        ++iloraz;
    return QStringLiteral("Wolne miejsce na karcie: ") +
           formatGeneral(doInt64(static_cast<i128>(iloraz)), separatorDziesietny) +
           QStringLiteral(" kB");
}

std::int64_t miejsceNaKsiazke(const PomiarKarty& pomiar, std::int64_t dat, std::int64_t log) {
    const i128 klaster = pomiar.wolumin.rozmiarKlastra;
    const auto klastryIndeksu = [klaster](std::int64_t bajty) -> i128 {
        if (klaster <= 0 || bajty <= klaster)
            return 1;
        return (i128{bajty} + klaster - 1) / klaster;
    };
    const i128 rezerwa =
        (pomiar.playerNaKarcie ? 1 : 0) + klastryIndeksu(dat) + klastryIndeksu(log);
    const i128 klastry = static_cast<i128>(pomiar.wolumin.wolneKlastry) +
                         static_cast<i128>(pomiar.klastryPozostalosci) - rezerwa;
    return doInt64(klastry * klaster);
}

std::optional<QString> odmowaKopiowania(const PomiarKarty& pomiar, std::int64_t rozmiar,
                                        std::int64_t dat, std::int64_t log) {
    if (rozmiar > miejsceNaKsiazke(pomiar, dat, log))
        return QStringLiteral("Brak wystarczającego miejsca na skopiowanie wybranego pliku!");
    if (pomiar.wolumin.fat && rozmiar >= granicaPlikuFat)
        return QStringLiteral("Karta ma system plików FAT, na którym plik nie może mieć 4 GB "
                              "ani więcej. Wybrany plik audio nie będzie skopiowany!");
    return std::nullopt;
}
