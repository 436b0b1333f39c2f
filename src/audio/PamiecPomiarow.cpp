#include "audio/PamiecPomiarow.h"

#include "base/Paths.h"

#include <QFile>
#include <QHash>

#include <exception>
#include <mutex>
#include <sys/stat.h>

namespace {

struct Stan {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{}, ctime{};

    bool operator==(const Stan& o) const {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
               ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

struct Wpis {
    Stan stan;
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
    struct stat st {};
    const bool jest = ::stat(nazwaDlaSystemu(path).constData(), &st) == 0;
    const Stan stan{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
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
