#include "base/BledySystemu.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

// EFBIG: a limit the user's shell set, or the file system's own limit on
// the size of a file (4 GB less a byte on FAT).
QString zaDuzyPlik() {
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return QStringLiteral("plik przekroczyłby największy rozmiar pliku, na jaki system "
                              "pozwala temu programowi (ulimit -f: %1 KiB)")
            .arg(quint64(limit.rlim_cur) / 1024);
#endif
    return QStringLiteral("plik jest za duży dla tego systemu plików (na karcie FAT plik może "
                          "mieć najwyżej 4 GB)");
}

} // namespace

QString opisBleduSystemu(int numer) {
    switch (numer) {
    case ENOENT:
        return QStringLiteral("nie ma takiego pliku ani folderu");
    case EACCES:
    case EPERM:
        return QStringLiteral("brak uprawnień");
    case ENOSPC:
        return QStringLiteral("brak miejsca na dysku");
    case EDQUOT:
        return QStringLiteral("przekroczono przydział miejsca na dysku");
    case EROFS:
        return QStringLiteral("dysk jest tylko do odczytu");
    case EIO:
        return QStringLiteral("błąd odczytu lub zapisu (dysk mógł zostać odłączony albo jest "
                              "uszkodzony)");
    case EFBIG:
        return zaDuzyPlik();
    case ENAMETOOLONG:
        return QStringLiteral("nazwa jest za długa");
    case ELOOP:
        return QStringLiteral("nazwa prowadzi przez za wiele dowiązań symbolicznych");
    case EEXIST:
        return QStringLiteral("istnieje już plik lub folder o tej nazwie");
    case ENOTDIR:
        return QStringLiteral("część ścieżki nie jest folderem");
    case EISDIR:
        return QStringLiteral("to jest folder, nie plik");
    case ENOTEMPTY:
        return QStringLiteral("folder nie jest pusty");
    case EXDEV:
        return QStringLiteral("oba miejsca muszą leżeć na tym samym dysku");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("plik lub folder jest w użyciu");
    case EINVAL:
    case EOPNOTSUPP:
#if EOPNOTSUPP != ENOTSUP
    case ENOTSUP:
#endif
    case ENOSYS:
        return QStringLiteral("system plików nie pozwala na to działanie");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("otwartych jest za wiele plików");
    case ENOMEM:
        return QStringLiteral("brak pamięci");
    case EMLINK:
        return QStringLiteral("w folderze jest za wiele plików");
    case ENODEV:
    case ENXIO:
    case ESTALE:
    case ENOTCONN:
        return QStringLiteral("dysk został odłączony");
    case ETIMEDOUT:
        return QStringLiteral("dysk nie odpowiada");
    case EAGAIN:
        return QStringLiteral("zasób chwilowo niedostępny");
    case EINTR:
        return QStringLiteral("działanie zostało przerwane");
    case EILSEQ:
        return QStringLiteral("nazwa zawiera znaki niedozwolone w tym systemie plików");
    case 0:
        return QStringLiteral("nieznany błąd");
    default:
        return QStringLiteral("błąd systemu nr %1 (%2)")
            .arg(numer)
            .arg(QString::fromLocal8Bit(std::strerror(numer)));
    }
}
