#include "base/Czas.h"

#include <QStringList>
#include <algorithm>

namespace {

// Below these an estimate is mostly noise.
constexpr std::int64_t kMinCzasSzacunku = 2000; // ms
constexpr std::int64_t kMinPromileSzacunku = 5; // 0.5 %

QString dwieCyfry(std::int64_t n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

QString czasGodzinowy(std::int64_t ms) {
    const std::int64_t s = std::max<std::int64_t>(ms, 0) / 1000;
    return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(dwieCyfry(s / 60 % 60), dwieCyfry(s % 60));
}

QString czasTrwania(std::int64_t ms) {
    const std::int64_t s = std::max<std::int64_t>(ms, 0) / 1000;
    if (s >= 3600)
        return czasGodzinowy(ms);
    return QStringLiteral("%1:%2").arg(s / 60).arg(dwieCyfry(s % 60));
}

QString czasPozostaly(std::int64_t ms) {
    const std::int64_t minuty = (std::max<std::int64_t>(ms, 0) + 30'000) / 60'000;
    if (minuty < 1)
        return QStringLiteral("mniej niż minuta");
    if (minuty < 60)
        return QStringLiteral("około %1 min").arg(minuty);
    if (minuty % 60 == 0)
        return QStringLiteral("około %1 h").arg(minuty / 60);
    return QStringLiteral("około %1 h %2 min").arg(minuty / 60).arg(minuty % 60);
}

std::int64_t szacujPozostalo(std::int64_t zrobione, std::int64_t razem, std::int64_t uplynelo) {
    if (razem <= 0 || zrobione <= 0 || uplynelo < kMinCzasSzacunku ||
        zrobione * 1000 < razem * kMinPromileSzacunku)
        return -1;
    if (zrobione >= razem)
        return 0;
    // The rest goes at the pace so far; long double keeps byte counts of
    // large books from overflowing.
    return static_cast<std::int64_t>(static_cast<long double>(uplynelo) * (razem - zrobione) /
                                     zrobione);
}

QString stanPostepu(std::int64_t zrobione, std::int64_t razem, std::int64_t uplynelo) {
    const std::int64_t procent =
        razem > 0 ? std::clamp<std::int64_t>(zrobione * 100 / razem, 0, 100) : 0;
    QString tekst = QStringLiteral("%1%").arg(procent);
    const std::int64_t zostalo = szacujPozostalo(zrobione, razem, uplynelo);
    if (zostalo >= 0 && zrobione < razem)
        tekst += QStringLiteral(", zostało ") + czasPozostaly(zostalo);
    return tekst;
}

QString czasMowiony(std::int64_t ms, bool dokladnie) {
    ms = std::max<std::int64_t>(ms, 0);
    const std::int64_t h = ms / 3'600'000;
    const std::int64_t min = ms / 60'000 % 60;
    const std::int64_t s = ms / 1000 % 60;
    const std::int64_t dziesiate = (dokladnie || ms < 60'000) ? ms % 1000 / 100 : 0;
    QStringList czesci;
    if (h > 0)
        czesci << QStringLiteral("%1 h").arg(h);
    if (min > 0)
        czesci << QStringLiteral("%1 min").arg(min);
    if (czesci.isEmpty() || s > 0 || dziesiate > 0)
        czesci << (dziesiate > 0 ? QStringLiteral("%1,%2 s").arg(s).arg(dziesiate)
                                 : QStringLiteral("%1 s").arg(s));
    return czesci.join(u' ');
}
