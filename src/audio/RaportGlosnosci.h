#pragma once
// The lines of the "Głośność" report: the median loudness of the entries,
// the entries far from it, then every entry with its loudness, true peak
// and the step levelling would give it. The most important lines come
// first, as a screen reader reads them from the top.

#include "audio/Glosnosc.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// An entry further than this from the median is listed first.
inline constexpr double kOdstepOdMedianyLu = 3.0;

// One entry of the report: its measurement, or why there is none.
struct PozycjaGlosnosci {
    QString nazwa; // as the report names it ("3. rozdzial.mp3")
    std::optional<PomiarGlosnosci> pomiar;
    QString blad; // the file could not be measured: why
};

// The median integrated loudness of the entries that have one (silence and
// unmeasured entries do not count); none when no entry has one.
std::optional<double> medianaGlosnosci(const QList<PozycjaGlosnosci>& pozycje);

// The report's lines, the step for the target `celLufs`.
QStringList raportGlosnosci(const QList<PozycjaGlosnosci>& pozycje, double celLufs);
