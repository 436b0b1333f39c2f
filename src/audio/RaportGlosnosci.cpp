#include "audio/RaportGlosnosci.h"

#include <algorithm>
#include <cmath>
#include <vector>

std::optional<double> medianaGlosnosci(const QList<PozycjaGlosnosci>& pozycje) {
    std::vector<double> wartosci;
    for (const PozycjaGlosnosci& p : pozycje)
        if (p.pomiar && p.pomiar->glosnoscLufs)
            wartosci.push_back(*p.pomiar->glosnoscLufs);
    if (wartosci.empty())
        return std::nullopt;
    std::sort(wartosci.begin(), wartosci.end());
    const size_t n = wartosci.size();
    return n % 2 ? wartosci[n / 2] : (wartosci[n / 2 - 1] + wartosci[n / 2]) / 2.0;
}

namespace {

// Distances are compared as shown, to a tenth: an entry said to be 3,0 LU
// away is not listed as more than 3 LU away.
double dziesiate(double v) {
    return std::round(v * 10.0) / 10.0;
}

QString linijkaPozycji(const PozycjaGlosnosci& p, double celLufs) {
    if (!p.pomiar)
        return QStringLiteral("%1: nie zmierzono").arg(p.nazwa);
    if (!p.pomiar->glosnoscLufs)
        return QStringLiteral("%1: cisza, bez wyrównania").arg(p.nazwa);
    const KrokGlosnosci krok = krokGlosnosci(*p.pomiar, celLufs);
    QString linia = QStringLiteral("%1: %2 LUFS, szczyt %3 dBTP, wyrównanie %4")
                        .arg(p.nazwa, tekstPoziomu(p.pomiar->glosnoscLufs),
                             tekstPoziomu(p.pomiar->szczytDbtp), tekstDecybeli(krok.decybele()));
    if (krok.przezSzczyt)
        linia += QStringLiteral(" (mniej ze względu na szczyt)");
    else if (krok.przezZakres)
        linia += QStringLiteral(" (mniej ze względu na zakres wzmocnienia ramek)");
    return linia;
}

} // namespace

QStringList raportGlosnosci(const QList<PozycjaGlosnosci>& pozycje, double celLufs) {
    const std::optional<double> mediana = medianaGlosnosci(pozycje);
    qsizetype zmierzone = 0;
    struct Daleka {
        double odstep;
        qsizetype i;
    };
    std::vector<Daleka> dalekie;
    QStringList bledy;
    for (qsizetype i = 0; i < pozycje.size(); ++i) {
        const PozycjaGlosnosci& p = pozycje.at(i);
        if (!p.pomiar) {
            bledy << QStringLiteral("%1: %2").arg(p.nazwa, p.blad);
            continue;
        }
        ++zmierzone;
        if (mediana && p.pomiar->glosnoscLufs) {
            const double odstep = dziesiate(*p.pomiar->glosnoscLufs - *mediana);
            if (std::fabs(odstep) > kOdstepOdMedianyLu)
                dalekie.push_back({odstep, i});
        }
    }
    // The furthest first.
    std::stable_sort(dalekie.begin(), dalekie.end(), [](const Daleka& a, const Daleka& b) {
        return std::fabs(a.odstep) > std::fabs(b.odstep);
    });

    QStringList linie;
    if (mediana)
        linie << QStringLiteral("Mediana głośności: %1 LUFS (zmierzono %2 z %3 pozycji).")
                     .arg(tekstPoziomu(mediana))
                     .arg(zmierzone)
                     .arg(pozycje.size());
    else
        linie << QStringLiteral("Mediana głośności: brak, żadna pozycja nie ma zmierzonej "
                                "głośności (zmierzono %1 z %2 pozycji).")
                     .arg(zmierzone)
                     .arg(pozycje.size());
    if (mediana) {
        if (dalekie.empty()) {
            linie << QStringLiteral("Żadna pozycja nie odbiega od mediany o więcej niż 3 LU.");
        } else {
            linie << QStringLiteral("Odbiegają od mediany o więcej niż 3 LU: %1.")
                         .arg(dalekie.size());
            for (const Daleka& d : dalekie) {
                const PozycjaGlosnosci& p = pozycje.at(d.i);
                linie << QStringLiteral("%1: %2 LUFS, o %3 LU %4 niż mediana")
                             .arg(p.nazwa, tekstPoziomu(p.pomiar->glosnoscLufs),
                                  tekstPoziomu(std::fabs(d.odstep)),
                                  d.odstep > 0 ? QStringLiteral("głośniej")
                                               : QStringLiteral("ciszej"));
            }
        }
    }
    if (!bledy.isEmpty())
        linie << QStringLiteral("Nie udało się zmierzyć: %1.").arg(bledy.size()) << bledy;
    linie
        << QStringLiteral("Wszystkie pozycje (wyrównanie do %1 LUFS):").arg(tekstPoziomu(celLufs));
    for (const PozycjaGlosnosci& p : pozycje)
        linie << linijkaPozycji(p, celLufs);
    return linie;
}
