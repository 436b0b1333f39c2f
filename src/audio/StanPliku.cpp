#include "audio/StanPliku.h"

#include "base/Paths.h"

#include <QCryptographicHash>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

StanPliku StanPliku::pliku(const QString& path, bool zeSkrotem) {
    const int fd = ::open(nazwaDlaSystemu(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    StanPliku stan = deskryptora(fd, zeSkrotem);
    ::close(fd);
    return stan;
}

StanPliku StanPliku::deskryptora(int fd, bool zeSkrotem) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    StanPliku stan;
    stan.urzadzenie = std::uint64_t(st.st_dev);
    stan.wezel = std::uint64_t(st.st_ino);
    stan.rozmiar = st.st_size;
    stan.zmianaNs = std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stan.stanNs = std::int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    if (!zeSkrotem)
        return stan;
    constexpr std::int64_t kKoniec = 64 * 1024;
    QCryptographicHash skrot(QCryptographicHash::Sha1);
    QByteArray bufor(qsizetype(kKoniec), Qt::Uninitialized);
    const auto dodaj = [&](std::int64_t od) {
        const ssize_t n =
            ::pread(fd, bufor.data(), size_t(std::min(kKoniec, stan.rozmiar - od)), off_t(od));
        if (n > 0)
            skrot.addData(QByteArrayView(bufor.constData(), n));
    };
    dodaj(0);
    if (stan.rozmiar > kKoniec)
        dodaj(std::max(kKoniec, stan.rozmiar - kKoniec));
    stan.skrot = skrot.result();
    return stan;
}
