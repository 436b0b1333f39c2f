#include "base/ZwyklyPlik.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/Paths.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
QString powodRodzaju(mode_t tryb) {
    if (S_ISREG(tryb))
        return QString();
    if (S_ISDIR(tryb))
        return QStringLiteral("to jest folder, nie plik");
    if (S_ISFIFO(tryb))
        return QStringLiteral("to jest potok (FIFO), a nie zwykły plik");
    if (S_ISCHR(tryb) || S_ISBLK(tryb))
        return QStringLiteral("to jest urządzenie, a nie zwykły plik");
    if (S_ISSOCK(tryb))
        return QStringLiteral("to jest gniazdo, a nie zwykły plik");
    return QStringLiteral("to nie jest zwykły plik");
}

QString powodBledu(int numer) {
    switch (numer) {
    case ENOENT:
        return QStringLiteral("plik nie istnieje");
    case EACCES:
    case EPERM:
        return QStringLiteral("brak dostępu do pliku");
    case EISDIR:
        return QStringLiteral("to jest folder, nie plik");
    default:
        return opisBleduSystemu(numer);
    }
}
#endif

} // namespace

RodzajPliku zbadajPlik(const QString& sciezka) {
    RodzajPliku wynik;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (sciezka.isEmpty() || ::stat(nazwaDlaSystemu(sciezka).constData(), &st) != 0)
        return wynik;
    wynik.istnieje = true;
    wynik.folder = S_ISDIR(st.st_mode);
    wynik.rozmiar = st.st_size;
    wynik.powod = powodRodzaju(st.st_mode);
#else
    const QFileInfo info(sciezka);
    if (sciezka.isEmpty() || !info.exists())
        return wynik;
    wynik.istnieje = true;
    wynik.folder = info.isDir();
    wynik.rozmiar = info.size();
    if (!info.isFile())
        wynik.powod = info.isDir() ? QStringLiteral("to jest folder, nie plik")
                                   : QStringLiteral("to nie jest zwykły plik");
#endif
    return wynik;
}

QString powodNiezwyklegoPliku(const QString& sciezka) {
    return zbadajPlik(sciezka).powod;
}

#ifdef Q_OS_UNIX
QString otworzZwyklyDeskryptor(const QString& sciezka, int& fd, std::int64_t& rozmiar,
                               bool bezCzasuDostepu) {
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer; the
    // check after the open sees what was really opened, whatever took the
    // name meanwhile.
    fd = ::open(nazwaDlaSystemu(sciezka).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return powodBledu(errno);
    struct stat st {};
    QString powod;
    if (::fstat(fd, &st) != 0)
        powod = powodBledu(errno);
    else
        powod = powodRodzaju(st.st_mode);
    if (powod.isEmpty()) {
        // Reads wait for the disk again. F_SETFL sets only the flags it can
        // change (O_APPEND, O_NONBLOCK, O_DIRECT, O_NOATIME, O_ASYNC), none
        // of which this open set but O_NONBLOCK; O_NOATIME is allowed to
        // the file's owner (and to root) and otherwise refused.
        static const uid_t uzytkownik = ::geteuid();
        const bool bezCzasu = bezCzasuDostepu && (st.st_uid == uzytkownik || uzytkownik == 0);
        if (::fcntl(fd, F_SETFL, bezCzasu ? O_NOATIME : 0) != 0 &&
            (!bezCzasu || ::fcntl(fd, F_SETFL, 0) != 0))
            powod = powodBledu(errno);
    }
    if (!powod.isEmpty()) {
        ::close(fd);
        fd = -1;
        return powod;
    }
    rozmiar = st.st_size;
    return QString();
}
#endif

QString otworzZwyklyPlik(QFile& plik, const QString& sciezka) {
#ifdef Q_OS_UNIX
    int fd = -1;
    std::int64_t rozmiar = 0;
    if (QString powod = otworzZwyklyDeskryptor(sciezka, fd, rozmiar); !powod.isEmpty())
        return powod;
    plik.setFileName(sciezka);
    if (!plik.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return plik.errorString();
    }
    return QString();
#else
    if (const QString powod = powodNiezwyklegoPliku(sciezka); !powod.isEmpty())
        return powod;
    plik.setFileName(sciezka);
    if (!plik.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (!QFileInfo::exists(sciezka))
            return QStringLiteral("plik nie istnieje");
        return plik.errorString();
    }
    return QString();
#endif
}

OtwartyZwyklyPlik::OtwartyZwyklyPlik(const QString& sciezka) {
#ifdef Q_OS_UNIX
    const QString powod = otworzZwyklyDeskryptor(sciezka, m_fd, m_rozmiar, true);
#else
    const QString powod = otworzZwyklyPlik(m_plik, sciezka);
    m_fd = m_plik.handle();
    m_rozmiar = m_plik.size();
#endif
    if (!powod.isEmpty())
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2").arg(sciezka, powod));
}

OtwartyZwyklyPlik::~OtwartyZwyklyPlik() {
#ifdef Q_OS_UNIX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}
