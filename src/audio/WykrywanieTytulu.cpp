#include "audio/WykrywanieTytulu.h"

#include <algorithm>

namespace {

constexpr int kOknoMs = ObrazDzwieku::kOknoMs;

constexpr int kMaksOkien = kWykrywanieMaksMs / kOknoMs;
constexpr int kKrokOkien = 1000 / kOknoMs;      // the search looks a second further each time
constexpr int kMinOkien = 5000 / kOknoMs;       // a level from less than 5 s is not trusted,
constexpr int kZaPrzerwaOkien = 1000 / kOknoMs; // nor one taken from no audio past the pause
constexpr int kPrzedMowaMs = 100;
constexpr int kPoTytuleMs = 200;

struct Znalezisko {
    WykrytyTytul tytul;
    int koniecPrzerwyOkno = 0; // how far the pause is known to reach
};

// The title in the first n windows, with the level taken from them alone.
std::optional<Znalezisko> ocen(const std::vector<OknoDzwieku>& okna, int n, int przerwaOkien) {
    const float prog = progMowy(okna, n);
    int pierwsza = -1, koniec = -1; // first speech, end of the latest run of speech
    auto znaleziony = [&](int przerwa) {
        const int poczatek = std::max(0, pierwsza * kOknoMs - kPrzedMowaMs);
        const int koniecMs = koniec * kOknoMs;
        return Znalezisko{
            {poczatek, koniecMs + std::min(kPoTytuleMs, przerwa * kOknoMs) - poczatek, koniecMs},
            koniec + przerwa};
    };
    for (const BiegMowy& bieg : biegiMowy(okna, n, prog)) {
        // A noise before the title (a knock, a breath) is not its first word.
        if (pierwsza < 0) {
            if (zaklocenie(okna, bieg, n, prog))
                continue;
            pierwsza = bieg.od;
        } else if (bieg.od - koniec >= przerwaOkien)
            return znaleziony(bieg.od - koniec);
        koniec = bieg.koniec;
    }
    if (pierwsza >= 0 && n - koniec >= przerwaOkien)
        return znaleziony(n - koniec);
    return std::nullopt;
}

// Examines a growing part of the beginning, a second more each time;
// `dociagnij(n)` makes the first n windows available when it can (false:
// cancelled).
template <typename Dociagnij>
std::optional<WykrytyTytul> szukaj(const ObrazDzwieku& obraz, int przerwaMs,
                                   Dociagnij&& dociagnij) {
    const int przerwaOkien = std::max(1, (przerwaMs + kOknoMs - 1) / kOknoMs);
    for (int n = kKrokOkien;; n = std::min(n + kKrokOkien, kMaksOkien)) {
        if (!dociagnij(n))
            return std::nullopt;
        const int dostepne = int(std::min<std::size_t>(obraz.okna.size(), std::size_t(n)));
        const bool ostatni = dostepne < n || n == kMaksOkien;
        const std::optional<Znalezisko> z = ocen(obraz.okna, dostepne, przerwaOkien);
        if (z && (ostatni || (n >= kMinOkien && n >= z->koniecPrzerwyOkno + kZaPrzerwaOkien)))
            return z->tytul;
        if (ostatni)
            return std::nullopt;
    }
}

} // namespace

ObrazDzwieku obrazPoczatku(const QString& path, int maksMs, const std::atomic_bool* przerwij) {
    const std::size_t okien = std::size_t(std::max(0, maksMs) / kOknoMs);
    ObrazDzwieku obraz;
    DekoderOkien(path, przerwij).dekodujDo(obraz, okien);
    if (obraz.okna.size() > okien) {
        obraz.okna.resize(okien);
        obraz.doKonca = false;
    }
    return obraz;
}

std::optional<WykrytyTytul> znajdzTytul(const ObrazDzwieku& obraz, int przerwaMs) {
    return szukaj(obraz, przerwaMs, [](int) { return true; });
}

std::optional<WykrytyTytul> wykryjTytul(const QString& path, int przerwaMs,
                                        const std::atomic_bool* przerwij) {
    ObrazDzwieku obraz;
    DekoderOkien dekoder(path, przerwij);
    return szukaj(obraz, przerwaMs,
                  [&](int n) { return dekoder.dekodujDo(obraz, std::size_t(n)); });
}
