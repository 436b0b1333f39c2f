#include "base/BledySystemu.h"

#include <cerrno>

QString powodBleduSystemu(int numer) {
    switch (numer) {
    case ENOENT:
        return QStringLiteral("nie ma takiego pliku ani folderu");
    case EACCES:
    case EPERM:
        return QStringLiteral("brak uprawnień");
    case EROFS:
        return QStringLiteral("nośnik jest tylko do odczytu (zabezpieczony przed zapisem)");
    case ENOSPC:
        return QStringLiteral("zabrakło miejsca na dysku");
    case EDQUOT:
        return QStringLiteral("przekroczono przydział miejsca na dysku");
    case EIO:
        return QStringLiteral("błąd odczytu lub zapisu nośnika");
    case EFBIG:
        return QStringLiteral("plik jest za duży");
    case ENAMETOOLONG:
        return QStringLiteral("nazwa pliku jest za długa");
    case EISDIR:
        return QStringLiteral("to jest folder, nie plik");
    case ENOTDIR:
        return QStringLiteral("część ścieżki nie jest folderem");
    case ELOOP:
        return QStringLiteral("nazwa jest dowiązaniem symbolicznym");
    case EEXIST:
        return QStringLiteral("plik już istnieje");
    case ENOTEMPTY:
        return QStringLiteral("folder nie jest pusty");
    case EBUSY:
        return QStringLiteral("plik lub nośnik jest zajęty");
    case ETXTBSY:
        return QStringLiteral("plik jest używany przez uruchomiony program");
    case EINVAL:
        return QStringLiteral("system plików nie pozwala na tę operację lub nazwę");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("urządzenie nie jest dostępne (mogło zostać odłączone)");
    case ESTALE:
    case ENOTCONN:
        return QStringLiteral("nośnik został odłączony");
    case EXDEV:
        return QStringLiteral("nie można przenieść pliku na inny nośnik");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("otwarto za dużo plików naraz");
    case ENOMEM:
        return QStringLiteral("zabrakło pamięci");
    case EAGAIN:
        return QStringLiteral("zasób chwilowo niedostępny");
    case EINTR:
        return QStringLiteral("operacja została przerwana");
    case ETIMEDOUT:
        return QStringLiteral("nośnik nie odpowiada");
    case EOPNOTSUPP:
        return QStringLiteral("system plików nie obsługuje tej operacji");
    case EILSEQ:
        return QStringLiteral("nazwa zawiera znaki niedozwolone w tym systemie plików");
    case 0:
        return QStringLiteral("nieznany błąd");
    default:
        return QStringLiteral("błąd systemu nr %1").arg(numer);
    }
}
