#include "base/Transakcja.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/PlikiTymczasowe.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

int synchronizujPlik(int fd) {
#ifdef Q_OS_UNIX
    return ::fsync(fd);
#else
    Q_UNUSED(fd);
    return 0;
#endif
}

int synchronizujFolder(int fd, bool calyDysk) {
#ifdef Q_OS_UNIX
    int wynik = 0;
#ifdef Q_OS_LINUX
    if (calyDysk)
        wynik = ::syncfs(fd);
#else
    Q_UNUSED(calyDysk);
#endif
    if (wynik == 0)
        wynik = ::fsync(fd);
    if (wynik == 0 || errno == EINVAL || errno == ENOSYS || errno == EROFS)
        return 0;
    return errno;
#else
    Q_UNUSED(fd);
    Q_UNUSED(calyDysk);
    return 0;
#endif
}

int synchronizujFolder(const QString& folder, bool calyDysk) {
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int wynik = synchronizujFolder(fd, calyDysk);
    ::close(fd);
    return wynik;
#else
    Q_UNUSED(folder);
    Q_UNUSED(calyDysk);
    return 0;
#endif
}

int przemianujBezZastepowania(const QString& z, const QString& na) {
    const QByteArray zBajty = QFile::encodeName(z), naBajty = QFile::encodeName(na);
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, zBajty.constData(), AT_FDCWD, naBajty.constData(),
                    RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    if (QFileInfo::exists(na) || QFileInfo(na).isSymLink())
        return EEXIST;
    return std::rename(zBajty.constData(), naBajty.constData()) == 0 ? 0 : errno;
}

void umiescRazem(const QList<std::pair<QString, QString>>& pary) {
    struct Krok {
        QByteArray tymczasowy, docelowy;
        bool zamiana;
    };
    auto blad = [](const QString& docelowy, const QString& opis) {
        return EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2").arg(docelowy, opis));
    };
    const BezPrzerwania bezPrzerwania;
    QList<Krok> wykonane;
    auto wycofaj = [&wykonane] {
        for (auto it = wykonane.crbegin(); it != wykonane.crend(); ++it) {
#ifdef Q_OS_LINUX
            if (it->zamiana) {
                ::renameat2(AT_FDCWD, it->tymczasowy.constData(), AT_FDCWD,
                            it->docelowy.constData(), RENAME_EXCHANGE);
                continue;
            }
#endif
            std::error_code ec;
            std::filesystem::rename(it->docelowy.constData(), it->tymczasowy.constData(), ec);
        }
    };
    for (const auto& [tymczasowy, docelowy] : pary) {
        Krok krok{QFile::encodeName(tymczasowy), QFile::encodeName(docelowy), false};
        // A swap would put a folder made meanwhile under the temporary name.
        if (QFileInfo(docelowy).isDir()) {
            wycofaj();
            throw blad(docelowy, QStringLiteral("istnieje folder o tej nazwie"));
        }
#ifdef Q_OS_LINUX
        if (::renameat2(AT_FDCWD, krok.tymczasowy.constData(), AT_FDCWD, krok.docelowy.constData(),
                        RENAME_EXCHANGE) == 0) {
            krok.zamiana = true;
            wykonane.append(krok);
            continue;
        }
        // ENOENT: nothing of that name yet. Otherwise the file system cannot
        // swap and the file is simply moved over its target.
#endif
        std::error_code ec;
        std::filesystem::rename(krok.tymczasowy.constData(), krok.docelowy.constData(), ec);
        if (ec) {
            wycofaj();
            throw blad(docelowy, opisBleduSystemu(ec.value()));
        }
        wykonane.append(krok);
    }
}

ssize_t kopiujWJadrze(int we, off_t* od, int wy, std::size_t ile) {
#ifdef Q_OS_LINUX
    return ::copy_file_range(we, od, wy, nullptr, ile, 0);
#else
    Q_UNUSED(we);
    Q_UNUSED(od);
    Q_UNUSED(wy);
    Q_UNUSED(ile);
    errno = ENOSYS;
    return -1;
#endif
}

bool kopiowanieWJadrzeNiemozliwe(int numerBledu) {
    return numerBledu == EXDEV || numerBledu == EINVAL || numerBledu == ENOSYS ||
           numerBledu == EOPNOTSUPP;
}
