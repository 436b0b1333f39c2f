#include "base/ZapisAtomowy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<ZapisAtomowy::Synchronizacja> g_synchronizacja{&::fsync};

int synchronizuj(int fd) {
    return g_synchronizacja.load()(fd);
}

QString opisBledu(int numer) {
    return QString::fromLocal8Bit(std::strerror(numer));
}

// The file a path finally names: symbolic links are followed, so that the
// link stays and its target is rewritten.
QString bezDowiazan(const QString& sciezka) {
    QString wynik = sciezka;
    for (int i = 0; i < 40; ++i) {
        const QFileInfo info(wynik);
        if (!info.isSymLink())
            break;
        wynik = info.symLinkTarget();
    }
    return wynik;
}

// Writes all of `dane` at the descriptor's position; 0 or the error number.
int zapiszWszystko(int fd, const char* dane, qint64 dlugosc) {
    while (dlugosc > 0) {
        const ssize_t n =
            ::write(fd, dane, static_cast<size_t>(std::min<qint64>(dlugosc, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        dane += n;
        dlugosc -= n;
    }
    return 0;
}

} // namespace

ZapisAtomowy::Synchronizacja ZapisAtomowy::ustawSynchronizacje(Synchronizacja funkcja) {
    return g_synchronizacja.exchange(funkcja ? funkcja : &::fsync);
}

ZapisAtomowy::ZapisAtomowy(const QString& sciezka, const OpcjeZapisu& opcje)
    : m_sciezka(QDir::toNativeSeparators(sciezka)), m_komunikat(opcje.komunikat) {
    const QString cel = bezDowiazan(sciezka);
    m_cel = QFile::encodeName(cel);
    struct stat st {};
    const bool istnieje = ::stat(m_cel.constData(), &st) == 0;
    if (istnieje && S_ISDIR(st.st_mode))
        throw blad(EISDIR);
    // A file the user may not write is not replaced, although the folder
    // would allow the rename.
    if (istnieje && ::faccessat(AT_FDCWD, m_cel.constData(), W_OK, AT_EACCESS) != 0)
        throw blad(errno);

    // A hidden name that no other file has: O_EXCL never opens an existing
    // file, whatever it is called. Long names are cut to stay within the
    // system's limit for one name.
    const QFileInfo info(cel);
    m_folder = QFile::encodeName(info.absolutePath());
    const QByteArray poczatek =
        m_folder + "/." + QFile::encodeName(info.fileName()).left(200) + '.';
    int numer = 0;
    for (int proba = 0; proba < 100; ++proba) {
        const QByteArray nazwa =
            poczatek + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        m_fd = ::open(nazwa.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0) {
            m_tymczas = nazwa;
            break;
        }
        numer = errno;
        if (numer != EEXIST)
            break;
    }
    if (m_fd < 0) {
        const bool zamkniety = numer == EACCES || numer == EPERM;
        if (!(opcje.naMiejscuWZamknietymFolderze && zamkniety && istnieje && S_ISREG(st.st_mode)))
            throw blad(numer);
        otworzNaMiejscu();
        return;
    }
    if (istnieje) {
        // Where the system refuses, the new file is simply the writer's own.
        if (::fchown(m_fd, st.st_uid, st.st_gid) != 0) {
        }
        if (::fchmod(m_fd, st.st_mode & 0777) != 0) {
        }
    }
}

void ZapisAtomowy::otworzNaMiejscu() {
    const int fd = ::open(m_cel.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw blad(errno);
    // The old bytes, to be put back when the new ones do not fit.
    QByteArray stare;
    char bufor[65536];
    for (;;) {
        const ssize_t n = ::read(fd, bufor, sizeof bufor);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int numer = errno;
            ::close(fd);
            throw blad(numer);
        }
        if (n == 0)
            break;
        stare.append(bufor, n);
    }
    if (::lseek(fd, 0, SEEK_SET) != 0) {
        const int numer = errno;
        ::close(fd);
        throw blad(numer);
    }
    m_fd = fd;
    m_naMiejscu = true;
    m_staraTresc = std::move(stare);
}

ZapisAtomowy::~ZapisAtomowy() {
    if (m_fd >= 0)
        zamknijBezZmian();
}

void ZapisAtomowy::zamknijBezZmian() {
    if (m_naMiejscu) {
        // Overwriting the old bytes needs no new room on the disk.
        if (::lseek(m_fd, 0, SEEK_SET) == 0 &&
            zapiszWszystko(m_fd, m_staraTresc.constData(), m_staraTresc.size()) == 0 &&
            ::ftruncate(m_fd, m_staraTresc.size()) == 0) {
            synchronizuj(m_fd);
        }
    }
    ::close(m_fd);
    m_fd = -1;
    if (!m_tymczas.isEmpty()) {
        ::unlink(m_tymczas.constData());
        m_tymczas.clear();
    }
}

EInOutError ZapisAtomowy::blad(int numerBledu) const {
    return EInOutError(m_komunikat.arg(m_sciezka, opisBledu(numerBledu)));
}

void ZapisAtomowy::porzuc(int numerBledu) {
    if (m_fd >= 0)
        zamknijBezZmian();
    throw blad(numerBledu);
}

void ZapisAtomowy::zapisz(const char* dane, qint64 dlugosc) {
    if (m_fd < 0)
        throw blad(EBADF);
    if (const int numer = zapiszWszystko(m_fd, dane, dlugosc))
        porzuc(numer);
    m_zapisano += dlugosc;
}

void ZapisAtomowy::zatwierdz() {
    if (m_fd < 0)
        throw blad(EBADF);
    if (m_naMiejscu && ::ftruncate(m_fd, m_zapisano) != 0)
        porzuc(errno);
    if (synchronizuj(m_fd) != 0)
        porzuc(errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        const int numer = errno;
        if (!m_tymczas.isEmpty())
            ::unlink(m_tymczas.constData());
        m_tymczas.clear();
        throw blad(numer);
    }
    if (m_naMiejscu)
        return;
    if (::rename(m_tymczas.constData(), m_cel.constData()) != 0) {
        const int numer = errno;
        ::unlink(m_tymczas.constData());
        m_tymczas.clear();
        throw blad(numer);
    }
    m_tymczas.clear();
    // The rename is durable only once the folder is synced. Some file
    // systems cannot sync a folder; that is no failure of the write.
    const int katalog = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (katalog < 0)
        throw blad(errno);
    const int wynik = synchronizuj(katalog);
    const int numer = errno;
    ::close(katalog);
    if (wynik != 0 && numer != EINVAL && numer != EROFS)
        throw blad(numer);
}

void ZapisAtomowy::zapiszCaly(const QString& sciezka, const QByteArray& dane,
                              const OpcjeZapisu& opcje) {
    ZapisAtomowy zapis(sciezka, opcje);
    zapis.zapisz(dane);
    zapis.zatwierdz();
}
