// The strict integer parse against a plain reference of the same grammar,
// its error text, and the round trip of every value it gives.

#include "Fuzz.h"
#include "base/Errors.h"
#include "base/Text.h"

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

namespace {

// Leading blanks, a sign, "$", "x" or "0x" with hex digits, or decimal
// digits; nothing else; within the signed 32-bit range.
std::optional<std::int32_t> wzorzec(const QString& tekst) {
    for (QChar c : tekst) {
        if (c.unicode() > 0x7F)
            return std::nullopt;
    }
    const std::string s = tekst.toStdString();
    std::size_t i = s.find_first_not_of(' ');
    if (i == std::string::npos)
        return std::nullopt;
    bool ujemna = false;
    if (s[i] == '+' || s[i] == '-')
        ujemna = s[i++] == '-';
    int podstawa = 10;
    if (s.compare(i, 1, "$") == 0 || s.compare(i, 1, "x") == 0 || s.compare(i, 1, "X") == 0) {
        podstawa = 16;
        i += 1;
    } else if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
        podstawa = 16;
        i += 2;
    }
    const std::string cyfry = s.substr(std::min(i, s.size()));
    if (cyfry.empty())
        return std::nullopt;
    for (char c : cyfry) {
        const bool dziesietna = c >= '0' && c <= '9';
        const bool szesnastkowa = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!dziesietna && !(podstawa == 16 && szesnastkowa))
            return std::nullopt;
    }
    std::uint64_t wartosc = 0;
    const auto [koniec, blad] =
        std::from_chars(cyfry.data(), cyfry.data() + cyfry.size(), wartosc, podstawa);
    if (blad != std::errc() || koniec != cyfry.data() + cyfry.size())
        return std::nullopt;
    const std::int64_t granica = ujemna ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    if (wartosc > static_cast<std::uint64_t>(granica))
        return std::nullopt;
    const auto ze_znakiem = static_cast<std::int64_t>(wartosc);
    return static_cast<std::int32_t>(ujemna ? -ze_znakiem : ze_znakiem);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dane, std::size_t rozmiar) {
    const QString tekst =
        QString::fromUtf8(reinterpret_cast<const char*>(dane), static_cast<qsizetype>(rozmiar));
    const std::optional<std::int32_t> wynik = tryStrToInt(tekst);
    wymagaj(wynik == wzorzec(tekst), "tryStrToInt zgodne z gramatyką", tekst);

    try {
        const std::int32_t liczba = StrToInt(tekst);
        wymagaj(wynik && *wynik == liczba, "StrToInt daje to samo co tryStrToInt", tekst);
    } catch (const EConvertError& e) {
        wymagaj(!wynik, "StrToInt odrzuca tylko to, czego nie zamienia tryStrToInt", tekst);
        // Error texts travel as C strings: one holding a NUL ends there.
        const QString tresc = QStringLiteral("'%1' is not a valid integer value").arg(tekst);
        wymagaj(tekst.contains(QChar(0)) ? tresc.startsWith(e.text()) : e.text() == tresc,
                "treść błędu zamiany", e.text());
    }

    if (wynik) {
        // Every value comes back from its decimal and hexadecimal forms.
        const std::int64_t v = *wynik;
        const QString szesnastkowo = (v < 0 ? QStringLiteral("-$") : QStringLiteral("$")) +
                                     QString::number(v < 0 ? -v : v, 16);
        wymagaj(tryStrToInt(QString::number(v)) == wynik, "liczba dziesiętna wraca", tekst);
        wymagaj(tryStrToInt(szesnastkowo) == wynik, "liczba szesnastkowa wraca", szesnastkowo);
    }
    return 0;
}
