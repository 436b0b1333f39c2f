#include "merge/ZapisKsiazki.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/Transakcja.h"

#include <cerrno>
#include <cstring>
#include <utility>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

void ZapisKsiazki::zapisz(const unsigned char* dane, std::int64_t n) {
    if (n >= kWprost) {
        wyslij();
        zapiszWprost(dane, n);
        return;
    }
    if (zebrane + n > kZbior)
        wyslij();
    if (zbior.empty())
        zbior.resize(std::size_t(kZbior));
    std::memcpy(zbior.data() + zebrane, dane, std::size_t(n));
    zebrane += n;
}

void ZapisKsiazki::wyslij() {
    if (zebrane == 0)
        return;
    const std::int64_t n = std::exchange(zebrane, 0);
    zapiszWprost(zbior.data(), n);
}

void ZapisKsiazki::zapiszWprost(const unsigned char* dane, std::int64_t n) {
#ifdef Q_OS_UNIX
    for (std::int64_t zapisane = 0; zapisane < n;) {
        const ssize_t k = ::write(fd, dane + zapisane, std::size_t(n - zapisane));
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            throw EInOutError(bladZapisuPliku(nazwa, opisBleduSystemu(k < 0 ? errno : ENOSPC)));
        zapisane += k;
    }
    pozycja += n;
#ifdef Q_OS_LINUX
    if (pozycja - naDysk >= kCoIleNaDysk) {
        ::sync_file_range(fd, naDysk, pozycja - naDysk, SYNC_FILE_RANGE_WRITE);
        naDysk = pozycja;
    }
#endif
#else
    Q_UNUSED(dane);
    Q_UNUSED(n);
#endif
}
