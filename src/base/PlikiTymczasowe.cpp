#include "base/PlikiTymczasowe.h"

#include <QFile>

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// A merge has three temporary files at a time; a few merges may overlap.
constexpr int kMiejsc = 32;
constexpr int kDlugosc = 4096;

struct Miejsce {
    std::atomic<bool> zajete{false};
    char sciezka[kDlugosc];
};
static_assert(std::atomic<bool>::is_always_lock_free);

Miejsce miejsca[kMiejsc];
std::mutex zmiany; // between the threads that add and remove names

volatile std::sig_atomic_t wstrzymane = 0;
volatile std::sig_atomic_t oczekujacy = 0;

const int sygnaly[] = {SIGINT, SIGTERM, SIGPIPE
#ifdef SIGHUP
                       ,
                       SIGHUP
#endif
};

extern "C" void usunTymczasoweNaSygnal(int numer) {
    if (wstrzymane) {
        oczekujacy = numer;
        return;
    }
#ifdef Q_OS_UNIX
    for (Miejsce& m : miejsca) {
        if (m.zajete.load(std::memory_order_acquire))
            ::unlink(m.sciezka);
    }
#endif
    std::signal(numer, SIG_DFL);
    std::raise(numer);
}

} // namespace

void zapamietajTymczasowy(const QString& sciezka) {
    const QByteArray bajty = QFile::encodeName(sciezka);
    if (bajty.size() >= kDlugosc)
        return; // longer than any path the system takes
    const std::lock_guard lock(zmiany);
    for (Miejsce& m : miejsca) {
        if (!m.zajete.load(std::memory_order_relaxed)) {
            std::memcpy(m.sciezka, bajty.constData(), size_t(bajty.size()) + 1);
            m.zajete.store(true, std::memory_order_release);
            return;
        }
    }
}

void zapomnijTymczasowy(const QString& sciezka) {
    const QByteArray bajty = QFile::encodeName(sciezka);
    const std::lock_guard lock(zmiany);
    for (Miejsce& m : miejsca) {
        if (m.zajete.load(std::memory_order_relaxed) && bajty == m.sciezka) {
            m.zajete.store(false, std::memory_order_release);
            return;
        }
    }
}

void usuwajTymczasowePrzySygnale() {
    for (int numer : sygnaly)
        std::signal(numer, usunTymczasoweNaSygnal);
}

BezPrzerwania::BezPrzerwania() {
    wstrzymane = 1;
}

BezPrzerwania::~BezPrzerwania() {
    wstrzymane = 0;
    if (const int numer = oczekujacy) {
        oczekujacy = 0;
        std::raise(numer);
    }
}
