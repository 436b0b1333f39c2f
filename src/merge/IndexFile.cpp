#include "merge/IndexFile.h"

#include "base/Errors.h"
#include "base/Text.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace {

// The default rounding mode of the floating-point unit is round to nearest,
// ties to even; the guard makes sure of it for the computation and restores
// whatever the caller had.
class ZaokraglanieDoNajblizszej {
public:
    ZaokraglanieDoNajblizszej() : poprzednie(std::fegetround()) { std::fesetround(FE_TONEAREST); }
    ~ZaokraglanieDoNajblizszej() { std::fesetround(poprzednie); }
    ZaokraglanieDoNajblizszej(const ZaokraglanieDoNajblizszej&) = delete;
    ZaokraglanieDoNajblizszej& operator=(const ZaokraglanieDoNajblizszej&) = delete;

private:
    int poprzednie;
};

// 2^63 and 2^31 are exact in long double; a rounded value v fits the signed
// type of that width when -limit <= v < limit.
constexpr long double granica64 = 9223372036854775808.0L;
constexpr long double granica32 = 2147483648.0L;

// x rounded to nearest (ties to even) as a 64-bit integer; anything that is
// not a finite number inside the range is an error, never wrapped.
std::int64_t najblizsza64(long double x, const WpisIndeksu* wpis, int numer) {
    const long double r = std::nearbyintl(x);
    if (!std::isfinite(r) || r < -granica64 || r >= granica64) {
        if (!wpis)
            throw SonvekError(
                QStringLiteral("Nie można obliczyć indeksów: średnia prędkość danych scalonego "
                               "pliku wykracza poza zakres liczb 64-bitowych"));
        throw SonvekError(QStringLiteral("Nie można obliczyć indeksu pozycji %1 (%2): wynik "
                                         "pośredni wykracza poza zakres liczb 64-bitowych")
                              .arg(numer)
                              .arg(wpis->plik));
    }
    return static_cast<std::int64_t>(r);
}

// x / 10000 rounded to nearest as a number of the .dat file (signed 32-bit).
std::int32_t liczbaIndeksu(std::int64_t x, const WpisIndeksu& wpis, int numer) {
    const long double r = std::nearbyintl(static_cast<long double>(x) / 10000.0L);
    if (r < -granica32 || r >= granica32)
        throw SonvekError(QStringLiteral("Nie można zapisać indeksu pozycji %1 (%2): liczba %3 "
                                         "nie mieści się w zakresie liczb 32-bitowych")
                              .arg(numer)
                              .arg(wpis.plik)
                              .arg(QString::number(r, 'f', 0)));
    return static_cast<std::int32_t>(r);
}

} // namespace

bool MapaRamek::dodaj(std::int64_t polozenie, int bajty, std::int64_t czas) {
    if (bajty <= 0 || bajty > 0xFFFF || czas <= 0 || polozenie < koniecDanych)
        return false;
    if (odcinki.empty() || polozenie != koniecDanych || czas != odcinki.back().czasRamki)
        odcinki.push_back({polozenie, koniecCzasu, czas, dlugosci.size()});
    dlugosci.push_back(static_cast<std::uint16_t>(bajty));
    koniecDanych = polozenie + bajty;
    koniecCzasu += czas;
    return true;
}

std::optional<std::int64_t> MapaRamek::ramkaW(std::int64_t t) const {
    if (odcinki.empty())
        return std::nullopt;
    t = std::max<std::int64_t>(0, t);
    if (t >= koniecCzasu)
        return std::nullopt;
    // The last run that starts no later than t; runs follow one another in
    // time without a gap, so t lies inside it.
    const auto it = std::prev(
        std::upper_bound(odcinki.cbegin(), odcinki.cend(), t,
                         [](std::int64_t czas, const Odcinek& o) { return czas < o.czas; }));
    const auto ramek = static_cast<std::size_t>((t - it->czas) / it->czasRamki);
    std::int64_t polozenie = it->polozenie;
    for (std::size_t k = it->pierwsza; k < it->pierwsza + ramek; ++k)
        polozenie += dlugosci[k];
    return polozenie;
}

PolozenieZakladki MapaRamek::zakladka(std::int64_t poczatekMs, std::int64_t dlugoscMs,
                                      std::int64_t przesuniecie) const {
    const std::int64_t od = std::max<std::int64_t>(0, poczatekMs) * naMs + przesuniecie;
    const std::int64_t dlugosc = std::max<std::int64_t>(0, poczatekMs + dlugoscMs) * naMs -
                                 std::max<std::int64_t>(0, poczatekMs) * naMs;
    const std::optional<std::int64_t> poczatek = ramkaW(od);
    return {poczatek.value_or(koniecDanych), ramkaW(od + dlugosc).value_or(koniecDanych),
            !poczatek.has_value()};
}

QString nazwaIndeksu(const QString& scalony, const QString& koncowka) {
    return scalony.left(std::max<qsizetype>(0, scalony.size() - 3)) + koncowka;
}

QByteArray trescLog() {
    return QByteArrayLiteral("0000000 0000000");
}

std::int64_t sredniaPredkosc(std::int64_t rozmiarScalonego, std::int64_t czasScalonegoMs) {
    if (czasScalonegoMs == 0)
        throw SonvekError(QStringLiteral(
            "Nie można obliczyć indeksów: czas trwania scalonego pliku wynosi 0 ms"));
    if (czasScalonegoMs < 0)
        throw SonvekError(QStringLiteral("Nie można obliczyć indeksów: nieprawidłowy czas "
                                         "trwania scalonego pliku (%1 ms)")
                              .arg(czasScalonegoMs));
    const ZaokraglanieDoNajblizszej zaokraglanie;
    // S / T first, then the product with 10000, as one extended expression.
    return najblizsza64(static_cast<long double>(rozmiarScalonego) /
                            static_cast<long double>(czasScalonegoMs) * 10000.0L,
                        nullptr, 0);
}

std::int64_t bajtSzacowany(std::int64_t predkosc, std::int64_t poczatekMs) {
    const ZaokraglanieDoNajblizszej zaokraglanie;
    return std::int64_t(std::nearbyintl(static_cast<long double>(poczatekMs) *
                                        static_cast<long double>(predkosc) / 10000.0L));
}

QByteArray trescDat(std::int64_t rozmiarScalonego, std::int64_t czasScalonegoMs,
                    const QList<WpisIndeksu>& wpisy) {
    const ZaokraglanieDoNajblizszej zaokraglanie;
    using ld = long double;
    const std::int64_t R = sredniaPredkosc(rozmiarScalonego, czasScalonegoMs);

    QByteArray tekst;
    std::int64_t C = 0; // bytes of the entries before the current one
    for (int i = 0; i < wpisy.size(); ++i) {
        const WpisIndeksu& wpis = wpisy.at(i);
        const int numer = i + 1;
        const std::int32_t A = StrToInt(wpis.poczatek);
        const std::int32_t L = StrToInt(wpis.dlugosc);
        std::int32_t start = 0, dlugosc = 0;
        if (const auto& d = wpis.dokladnie) {
            // Whole blocks around the frames' bytes.
            const std::int64_t od = (C + d->poczatek) / 512;
            const std::int64_t doBloku = (C + std::max(d->koniec, d->poczatek) + 511) / 512;
            start = liczbaIndeksu(od * 10000, wpis, numer);
            dlugosc = liczbaIndeksu((doBloku - od) * 10000, wpis, numer);
        } else {
            // Bytes times 10000 before the division: the rate's estimate.
            const ld bajtyPoczatku = static_cast<ld>(A) * static_cast<ld>(R);
            const ld bajtyDlugosci = static_cast<ld>(L) * static_cast<ld>(R);
            const std::int64_t X = najblizsza64(
                (bajtyPoczatku + static_cast<ld>(C) * 10000.0L) / 512.0L, &wpis, numer);
            const std::int64_t Y = najblizsza64(bajtyDlugosci / 512.0L, &wpis, numer);
            start = liczbaIndeksu(X, wpis, numer);
            dlugosc = liczbaIndeksu(Y, wpis, numer);
        }
        if (!tekst.isEmpty())
            tekst += "\r\n";
        tekst += QByteArray::number(start) + '\t' + QByteArray::number(dlugosc);
        C += wpis.rozmiar;
    }
    return tekst;
}
