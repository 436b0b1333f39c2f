#include "audio/PamiecPomiarow.h"

#include "audio/StanPliku.h"

#include <QHash>

#include <exception>
#include <mutex>

namespace {

struct Wpis {
    StanPliku stan;
    std::optional<Mp3Info> info;
};

// A program adds at most some thousands of files; past this many the
// memory starts again rather than grow without end.
constexpr qsizetype kMaksWpisow = 100'000;

std::mutex blokada;
QHash<QString, Wpis>& pamiec() {
    static QHash<QString, Wpis> p;
    return p;
}

} // namespace

std::optional<Mp3Info> zmierzPlikMp3(const QString& path) {
    const StanPliku stan = StanPliku::pliku(path);
    const bool jest = stan.rozmiar >= 0;
    if (jest) {
        const std::lock_guard lock(blokada);
        const auto it = pamiec().constFind(path);
        if (it != pamiec().cend() && it->stan == stan)
            return it->info;
    }
    std::optional<Mp3Info> info;
    try {
        info = probeMp3(path);
    } catch (const std::exception&) {
        // Not readable as MPEG audio, whatever the reason: no value.
    }
    // Taken before the reading: a file changed meanwhile has other times
    // and is measured again when asked for next.
    if (jest) {
        const std::lock_guard lock(blokada);
        if (pamiec().size() >= kMaksWpisow)
            pamiec().clear();
        pamiec().insert(path, {stan, info});
    }
    return info;
}
