#include "import/CiecieMp3.h"

#include "audio/Mp3Stream.h"
#include "import/Rozdzialy.h"

#include <algorithm>

std::vector<std::pair<std::int64_t, std::int64_t>> CiecieMp3::zakresy(const Punkt& od,
                                                                      const Punkt& do_) const {
    std::vector<std::pair<std::int64_t, std::int64_t>> wynik;
    std::int64_t a = od.bajt;
    auto it = std::lower_bound(przerwy.begin(), przerwy.end(), std::pair{a, std::int64_t{0}});
    for (; it != przerwy.end() && it->first < do_.bajt; ++it) {
        if (it->first > a)
            wynik.emplace_back(a, it->first);
        a = std::max(a, it->second);
    }
    if (do_.bajt > a)
        wynik.emplace_back(a, do_.bajt);
    return wynik;
}

CiecieMp3 zbadajCieciaMp3(const QString& sciezka, const std::vector<std::int64_t>& czasyUs,
                          const std::atomic_bool& stop,
                          const std::function<void(std::int64_t)>& postep) {
    CiecieMp3 c;
    c.punkty.resize(czasyUs.size());
    std::vector<std::int64_t> tiki(czasyUs.size());
    for (std::size_t i = 0; i < czasyUs.size(); ++i)
        tiki[i] = czasyUs[i] < 0 ? INT64_MAX : czasyUs[i] * (kTicksPerSecond / 1000) / 1000;
    std::size_t nastepny = 0;
    std::int64_t koniec = -1, zgloszone = 0;
    try {
        Mp3Stream strumien(sciezka, Mp3Stream::HeadersOnly{});
        strumien.stopWhen(&stop);
        Mp3Frame f;
        while (strumien.nextFrame(f)) {
            if (koniec < 0) {
                c.czestotliwosc = f.sampleRate;
                c.kanaly = f.channels;
            } else if (f.offset > koniec) {
                c.przerwy.emplace_back(koniec, f.offset);
            }
            // A boundary lies before the first frame whose middle is at or
            // after it.
            while (nastepny < tiki.size() && c.tiki + f.durationTicks / 2 >= tiki[nastepny])
                c.punkty[nastepny++] = {f.offset, c.tiki};
            c.tiki += f.durationTicks;
            koniec = f.offset + f.bytes;
            if (postep && c.tiki - zgloszone >= kTicksPerSecond * 10) {
                postep(c.tiki - zgloszone);
                zgloszone = c.tiki;
            }
        }
    } catch (const EMCIDeviceError& e) {
        throw EBladZrodla(e.text());
    }
    while (nastepny < tiki.size())
        c.punkty[nastepny++] = {std::max<std::int64_t>(koniec, 0), c.tiki};
    if (postep && c.tiki > zgloszone)
        postep(c.tiki - zgloszone);
    return c;
}
