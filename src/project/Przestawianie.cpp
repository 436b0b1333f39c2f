#include "project/Przestawianie.h"

#include <algorithm>

namespace {

// A move that changes the order: not onto itself nor right behind itself.
bool zmienia(const Ruch& r) {
    return r.to < r.row || r.to > r.row + r.count;
}

} // namespace

QList<std::pair<int, int>> blokiWierszy(const QList<int>& wiersze) {
    QList<std::pair<int, int>> wynik;
    for (int w : wiersze) {
        if (!wynik.isEmpty() && wynik.last().second + 1 == w)
            wynik.last().second = w;
        else
            wynik.append({w, w});
    }
    return wynik;
}

Ruch odwrotny(const Ruch& ruch) {
    if (ruch.to > ruch.row)
        return {ruch.to - ruch.count, ruch.count, ruch.row};
    return {ruch.to, ruch.count, ruch.row + ruch.count};
}

QList<int> uporzadkujWiersze(QList<int> wiersze, int rowCount) {
    wiersze.removeIf([rowCount](int w) { return w < 0 || w >= rowCount; });
    std::sort(wiersze.begin(), wiersze.end());
    wiersze.erase(std::unique(wiersze.begin(), wiersze.end()), wiersze.end());
    return wiersze;
}

bool moznaPrzesunac(const QList<int>& wiersze, int kierunek, int rowCount) {
    const QList<int> w = uporzadkujWiersze(wiersze, rowCount);
    if (w.isEmpty() || (kierunek != -1 && kierunek != 1))
        return false;
    return kierunek < 0 ? w.first() > 0 : w.last() < rowCount - 1;
}

QList<Ruch> ruchyPrzesuniecia(const QList<int>& wiersze, int kierunek, int rowCount) {
    if (!moznaPrzesunac(wiersze, kierunek, rowCount))
        return {};
    // Each block changes places with the one row next to it; that row lies
    // between this block and the next, so the blocks never meet.
    QList<Ruch> ruchy;
    for (const auto& [pierwszy, ostatni] : blokiWierszy(uporzadkujWiersze(wiersze, rowCount))) {
        if (kierunek < 0)
            ruchy.append({pierwszy - 1, 1, ostatni + 1});
        else
            ruchy.append({ostatni + 1, 1, pierwszy});
    }
    return ruchy;
}

int poczatekPrzeniesionych(const QList<int>& wiersze, int cel) {
    return cel - static_cast<int>(std::count_if(wiersze.begin(), wiersze.end(),
                                                [cel](int w) { return w < cel; }));
}

QList<Ruch> ruchyPrzeniesienia(const QList<int>& wiersze, int cel, int rowCount) {
    const QList<int> w = uporzadkujWiersze(wiersze, rowCount);
    cel = std::clamp(cel, 0, rowCount);
    QList<Ruch> ruchy;
    // The rows below the target go up one after another to just behind the
    // block (rows above them keep their places)...
    int koniec = cel;
    for (int r : w) {
        if (r < cel)
            continue;
        const Ruch ruch{r, 1, koniec++};
        if (zmienia(ruch))
            ruchy.append(ruch);
    }
    // ...then the rows above it go down, the lowest first, to just before it.
    int poczatek = cel;
    for (auto it = w.crbegin(); it != w.crend(); ++it) {
        if (*it >= cel)
            continue;
        const Ruch ruch{*it, 1, poczatek--};
        if (zmienia(ruch))
            ruchy.append(ruch);
    }
    return ruchy;
}
