#pragma once
// What every fuzz target shares: a failed property is a crash with a message,
// so libFuzzer keeps the input that broke it.

#include <QString>
#include <cstdio>
#include <cstdlib>

inline void wymagaj(bool warunek, const char* co, const QString& szczegoly = QString()) {
    if (warunek)
        return;
    std::fprintf(stderr, "Naruszona własność: %s\n%s\n", co, qUtf8Printable(szczegoly));
    std::abort();
}
