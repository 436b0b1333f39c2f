#include "audio/DopasowanieDoPrzerw.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>

namespace {

constexpr int kOknoMs = ObrazDzwieku::kOknoMs;
// The start this far before the speech, the end this far into the pause:
// an onset or a last syllable under the level of the room's noise is not
// cut off, and both stay within 150 ms of where the speech lies.
constexpr int kPrzedMowaMs = 100;
constexpr int kPoMowieMs = 130;
// Decoded beyond what the rule looks at, so that the level is taken from
// several seconds of the recording.
constexpr int kTloMs = 1500;
// Bookmarks longer than this have each end decoded on its own.
constexpr int kJedenZakresMs = 20'000;

bool wZasiegu(int a, int b) {
    return std::abs(a - b) <= kDopasowanieMaksMs;
}

// The candidate nearest to `cel` within reach and after `po`, if any.
std::optional<int> najblizszy(const std::vector<int>& kandydaci, int cel, int po = INT_MIN) {
    std::optional<int> wynik;
    for (const int k : kandydaci) {
        if (k > po && wZasiegu(k, cel) && (!wynik || std::abs(k - cel) < std::abs(*wynik - cel)))
            wynik = k;
    }
    return wynik;
}

ObrazDzwieku zakres(const QString& path, int odMs, int doMs, const std::atomic_bool* przerwij,
                    bool& przerwano) {
    ObrazDzwieku obraz;
    odMs = std::max(0, odMs);
    DekoderOkien dekoder(path, przerwij, odMs);
    const int okien = std::max(0, doMs - odMs / kOknoMs * kOknoMs) / kOknoMs;
    przerwano = !dekoder.dekodujDo(obraz, std::size_t(okien));
    return obraz;
}

} // namespace

ZakladkaDoPrzerw dopasujDoPrzerw(const ObrazDzwieku& obraz, int poczatekMs, int dlugoscMs,
                                 int przerwaMs) {
    ZakladkaDoPrzerw wynik{poczatekMs, dlugoscMs};
    const int n = int(obraz.okna.size());
    const int przerwaOkien = std::max(1, (przerwaMs + kOknoMs - 1) / kOknoMs);
    const float prog = progMowy(obraz.okna, n);
    std::vector<BiegMowy> biegi = biegiMowy(obraz.okna, n, prog);
    // A knock or a breath in a pause does not end it.
    std::erase_if(biegi, [&](const BiegMowy& b) { return zaklocenie(obraz.okna, b, n, prog); });
    const auto ms = [&](int okno) { return (obraz.pierwsze + okno) * kOknoMs; };
    // Where pauses end (speech begins) and begin (speech ends). Before the
    // windows only the file's start is known to be silence, after them only
    // its end.
    std::vector<int> konce, poczatki;
    for (std::size_t i = 0; i < biegi.size(); ++i) {
        const int przed = i > 0 ? biegi[i].od - biegi[i - 1].koniec : biegi[i].od;
        if (przed >= przerwaOkien || (i == 0 && obraz.pierwsze == 0))
            konce.push_back(ms(biegi[i].od));
        const int po =
            i + 1 < biegi.size() ? biegi[i + 1].od - biegi[i].koniec : n - biegi[i].koniec;
        if (po >= przerwaOkien || (i + 1 == biegi.size() && obraz.doKonca))
            poczatki.push_back(ms(biegi[i].koniec));
    }
    // Both ends together where they can: the pair of a pause's end and a
    // later pause's beginning nearest to the bookmark's start and end (a
    // start set late, past a short title, still finds the title's start
    // when the end is near the title's end). Otherwise each on its own.
    const int koniec = poczatekMs + dlugoscMs;
    std::optional<int> doPoczatku, doKonca;
    int najmniej = INT_MAX;
    for (const int k : konce) {
        if (!wZasiegu(k, poczatekMs))
            continue;
        if (const auto p = najblizszy(poczatki, koniec, k)) {
            // The nearest end for this start is the best pair with it.
            const int odleglosc = std::abs(k - poczatekMs) + std::abs(*p - koniec);
            if (odleglosc < najmniej) {
                najmniej = odleglosc;
                doPoczatku = k;
                doKonca = p;
            }
        }
    }
    if (!doPoczatku)
        doPoczatku = najblizszy(konce, poczatekMs);
    if (doPoczatku) {
        wynik.poczatekMs = std::max(0, *doPoczatku - kPrzedMowaMs);
        wynik.poczatekPrzesuniety = true;
    }
    if (!doKonca)
        doKonca = najblizszy(poczatki, koniec, wynik.poczatekMs);
    int nowyKoniec = koniec;
    if (doKonca) {
        nowyKoniec = *doKonca + kPoMowieMs;
        wynik.koniecPrzesuniety = true;
    } else if (koniec <= wynik.poczatekMs) {
        nowyKoniec = wynik.poczatekMs + dlugoscMs;
    }
    if (obraz.doKonca)
        nowyKoniec = std::min(nowyKoniec, ms(n));
    wynik.dlugoscMs = std::max(0, nowyKoniec - wynik.poczatekMs);
    return wynik;
}

ZakladkaDoPrzerw dopasujDoPrzerw(const QString& path, int poczatekMs, int dlugoscMs, int przerwaMs,
                                 const std::atomic_bool* przerwij) {
    const ZakladkaDoPrzerw bez{poczatekMs, dlugoscMs};
    const int koniec = poczatekMs + std::max(0, dlugoscMs);
    // What the rule looks at: a pause ending within reach of the start,
    // whole, and one beginning within reach of the end, whole.
    const int odPoczatku = poczatekMs - kDopasowanieMaksMs - przerwaMs - kTloMs;
    const int doPoczatku = poczatekMs + kDopasowanieMaksMs + kTloMs;
    const int odKonca = koniec - kDopasowanieMaksMs - kTloMs;
    const int doKonca = koniec + kDopasowanieMaksMs + przerwaMs + kTloMs;
    bool przerwano = false;
    if (doKonca - odPoczatku <= kJedenZakresMs + 2 * (kDopasowanieMaksMs + kTloMs) + przerwaMs) {
        const ObrazDzwieku obraz = zakres(path, odPoczatku, doKonca, przerwij, przerwano);
        return przerwano ? bez : dopasujDoPrzerw(obraz, poczatekMs, dlugoscMs, przerwaMs);
    }
    // A long bookmark: each end from the seconds around it.
    const ObrazDzwieku przed = zakres(path, odPoczatku, doPoczatku, przerwij, przerwano);
    if (przerwano)
        return bez;
    ZakladkaDoPrzerw wynik = dopasujDoPrzerw(przed, poczatekMs, dlugoscMs, przerwaMs);
    const ObrazDzwieku po = zakres(path, odKonca, doKonca, przerwij, przerwano);
    if (przerwano)
        return bez;
    const ZakladkaDoPrzerw k =
        dopasujDoPrzerw(po, wynik.poczatekMs, koniec - wynik.poczatekMs, przerwaMs);
    wynik.dlugoscMs = k.dlugoscMs;
    wynik.koniecPrzesuniety = k.koniecPrzesuniety;
    return wynik;
}
