#include "support/ZawieszonyFuse.h"

#ifdef SONVEK_FUSE3
#define FUSE_USE_VERSION 31
#include <fuse.h>
#endif

#include <QFile>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

struct ZawieszonyFuse::Stan {
    std::mutex mutex;
    std::condition_variable zmiana;
    bool zawieszony = false;
    QByteArray punkt;
#ifdef SONVEK_FUSE3
    fuse* system = nullptr;
#endif
    std::thread petla;
};

#ifdef SONVEK_FUSE3
namespace {

ZawieszonyFuse::Stan* stan() {
    return static_cast<ZawieszonyFuse::Stan*>(fuse_get_context()->private_data);
}

int atrybuty(const char* sciezka, struct stat* st, fuse_file_info*) {
    ZawieszonyFuse::Stan* s = stan();
    {
        // Never longer than a minute, so a faulty test cannot hang forever.
        std::unique_lock blokada(s->mutex);
        s->zmiana.wait_for(blokada, std::chrono::minutes(1), [s] { return !s->zawieszony; });
    }
    if (std::strcmp(sciezka, "/") != 0)
        return -ENOENT;
    std::memset(st, 0, sizeof *st);
    st->st_mode = S_IFDIR | 0755;
    st->st_nlink = 2;
    return 0;
}

int wpisy(const char*, void* bufor, fuse_fill_dir_t wypelnij, off_t, fuse_file_info*,
          fuse_readdir_flags) {
    wypelnij(bufor, ".", nullptr, 0, fuse_fill_dir_flags{});
    wypelnij(bufor, "..", nullptr, 0, fuse_fill_dir_flags{});
    return 0;
}

} // namespace
#endif

ZawieszonyFuse::ZawieszonyFuse(const QString& punkt) : d(std::make_unique<Stan>()) {
    d->punkt = QFile::encodeName(punkt);
#ifdef SONVEK_FUSE3
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        powod = QStringLiteral("/dev/fuse is missing");
        return;
    }
    static const fuse_operations operacje = [] {
        fuse_operations o{};
        o.getattr = atrybuty;
        o.readdir = wpisy;
        return o;
    }();
    char nazwa[] = "zawieszony";
    char* argv[] = {nazwa, nullptr};
    fuse_args argumenty = FUSE_ARGS_INIT(1, argv);
    d->system = fuse_new(&argumenty, &operacje, sizeof operacje, d.get());
    if (!d->system || fuse_mount(d->system, d->punkt.constData()) != 0) {
        if (d->system)
            fuse_destroy(d->system);
        d->system = nullptr;
        powod = QStringLiteral("this system does not allow mounting a FUSE file system");
        return;
    }
    d->petla = std::thread([system = d->system] { fuse_loop(system); });
#else
    powod = QStringLiteral("built without libfuse3");
#endif
}

ZawieszonyFuse::~ZawieszonyFuse() {
    zwolnij();
#ifdef SONVEK_FUSE3
    if (d->system) {
        fuse_exit(d->system);
        fuse_unmount(d->system);
        if (d->petla.joinable())
            d->petla.join();
        fuse_destroy(d->system);
    }
#endif
}

void ZawieszonyFuse::zawies() {
    const std::lock_guard blokada(d->mutex);
    d->zawieszony = true;
}

void ZawieszonyFuse::zwolnij() {
    const std::lock_guard blokada(d->mutex);
    d->zawieszony = false;
    d->zmiana.notify_all();
}
