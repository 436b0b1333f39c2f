#pragma once
// The loudness of an MP3 file and the gain step that would bring it to a
// target: integrated loudness (EBU R128, LUFS) and true peak (dBTP) of the
// decoded audio (the loudness measured with libebur128, the peak by four
// times oversampling here), and the range of the frames'
// global gains, which limits how far they can be moved (WzmocnienieRamek.h).
//
// Plain QtCore: the measurement may run on a worker thread, one call per
// file at a time; a caller cancels through the flag it passes.

#include "audio/StanPliku.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

inline constexpr double kDomyslnyCelLufs = -18.0;
inline constexpr double kNajwyzszySzczytDbtp = -1.0; // levelling never lifts a peak above it

struct PomiarGlosnosci {
    // Integrated loudness (EBU R128); nullopt for a file with nothing
    // above the gate (silence), which levelling leaves as it is.
    std::optional<double> glosnoscLufs;
    double szczytDbtp = -200.0;
    // The lowest and highest global_gain of the audio frames (0..255),
    // of the granules that carry sound.
    int najmniejszeWzmocnienie = 255;
    int najwiekszeWzmocnienie = 0;
    // The loudness of the speech: the integrated loudness of the blocks
    // that are not far louder than the file's typical block (see
    // zmierzGlosnosc); what levelling brings to the target. nullopt: as
    // glosnoscLufs.
    std::optional<double> mowaLufs{};
    bool operator==(const PomiarGlosnosci&) const = default;
};

// Decodes the whole file. The speech level leaves out the 400 ms blocks
// more than 10 LU above the median block (a chime, a jingle, a bang: a short
// loud sound that would otherwise set the level of a whole chapter) and
// gates the rest as EBU R128 does (-70 LUFS, then 10 LU below their mean).
// When *przerwij becomes true it stops and returns nullopt. Throws EMCIDeviceError when the file
// cannot be read or holds no MPEG audio.
std::optional<PomiarGlosnosci> zmierzGlosnosc(const QString& path,
                                              const std::atomic_bool* przerwij = nullptr);

// How a window measures one file (zmierzGlosnosc, or a stand-in in tests);
// it runs on a worker thread.
using MiernikGlosnosci = std::function<std::optional<PomiarGlosnosci>(
    const QString& path, const std::atomic_bool* przerwij)>;

// What a measuring of several files did.
struct WynikPomiaruGlosnosci {
    int zmierzone = 0;             // files measured now
    QHash<QString, QString> bledy; // by path: why the file could not be measured
    bool przerwano = false;        // the user stopped the work
};

// The whole number of 1.5 dB steps for one file.
struct KrokGlosnosci {
    int kroki = 0;
    int chciane = 0;                // the steps that would come nearest to the target
    bool przezSzczyt = false;       // fewer because the true peak would exceed -1 dBTP
    bool przezZakres = false;       // fewer because a global_gain would leave 0..255
    std::optional<double> poziom{}; // the level it starts from (the speech's); none: silence
    double decybele() const;
};

// Brings the loudness as near to celLufs as whole steps allow; a step up
// never lifts the true peak above -1 dBTP, and no step moves a global_gain
// out of 0..255. Silence gets no step.
KrokGlosnosci krokGlosnosci(const PomiarGlosnosci& pomiar, double celLufs);

// A target loudness as a user writes it ("-16", "-16,5", "−16.5"), from
// -40 to -5 LUFS; nullopt otherwise.
std::optional<double> celGlosnosci(const QString& tekst);
// The target of a tool's "--wyrownaj-glosnosc[=LUFS]": the default when the
// value is left out; none, after one line on `bledy` naming `narzedzie`,
// when the value is no loudness (a wrong argument).
std::optional<double> celZOpcji(const QString& tekst, const QString& narzedzie, QTextStream& bledy);

// "+3,0 dB", "−1,5 dB", "0,0 dB": a step as the log and the report show it.
QString tekstDecybeli(double db);
// "−18,2" with the minus sign, one decimal and a decimal comma; "–" for none.
QString tekstPoziomu(std::optional<double> wartosc);

// Measurements kept while the program runs, by file path. Safe to use from
// several threads at once (measuring workers store, the window reads).
class PamiecGlosnosci {
public:
    // The file's measurement unless the file has changed since.
    // With `stan`, the file's state as it was measured goes there.
    std::optional<PomiarGlosnosci> znajdz(const QString& path, StanPliku* stan = nullptr) const;
    // `stan`: the file as it was before it was measured.
    void zapamietaj(const QString& path, const StanPliku& stan, const PomiarGlosnosci& pomiar);
    // The measurements of `pliki` that still count, by path; every file
    // without one goes to `nieznane`, each once, in the order of `pliki`.
    // With `stany`, each known file's state as it was measured goes there.
    QHash<QString, PomiarGlosnosci> znane(const QStringList& pliki, QStringList& nieznane,
                                          QHash<QString, StanPliku>* stany = nullptr) const;
    // Measures the file with `miernik` and keeps the result with the file
    // as it was before the measurement, so that a change meanwhile makes it
    // stale. nullopt when stopped through `przerwij`; what `miernik` throws
    // passes on.
    // With `stan`, the file's state the measurement is kept with goes there.
    std::optional<PomiarGlosnosci> zmierz(const QString& path, const MiernikGlosnosci& miernik,
                                          const std::atomic_bool* przerwij,
                                          StanPliku* stan = nullptr);

private:
    struct Wpis {
        StanPliku stan;
        PomiarGlosnosci pomiar;
    };
    mutable std::mutex m_mutex;
    QHash<QString, Wpis> m_wpisy;
};
