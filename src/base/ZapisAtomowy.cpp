#include "base/ZapisAtomowy.h"

#include "base/BledySystemu.h"
#include "base/DataDirs.h"
#include "base/Paths.h"
#include "base/Transakcja.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<ZapisAtomowy::Synchronizacja> g_synchronizacja{&synchronizujPlik};

int synchronizuj(int fd) {
    return g_synchronizacja.load()(fd);
}

// The file a path finally names: symbolic links are followed, so that the
// link stays and its target is rewritten.
QString bezDowiazan(const QString& sciezka) {
    QString wynik = sciezka;
    for (int i = 0; i < 40; ++i) {
        const QByteArray bajty = nazwaDlaSystemu(wynik);
        struct stat st {};
        if (::lstat(bajty.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            break;
        QByteArray cel(qsizetype(PATH_MAX), Qt::Uninitialized);
        const ssize_t n = ::readlink(bajty.constData(), cel.data(), size_t(cel.size()));
        if (n <= 0 || n >= cel.size())
            break;
        cel.truncate(n);
        // A relative target is relative to the link's folder.
        const QString doCelu = nazwaZSystemu(cel);
        wynik = QDir::isAbsolutePath(doCelu)
                    ? doCelu
                    : QDir::cleanPath(QFileInfo(wynik).absolutePath() + u'/' + doCelu);
    }
    return wynik;
}

bool tenSamPlik(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The mark of a temporary name: digits and small letters only.
bool znacznik(QByteArrayView tekst) {
    return !tekst.isEmpty() && std::all_of(tekst.begin(), tekst.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
    });
}

} // namespace

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

QString kopiaZapisuNaMiejscu(const QString& sciezka) {
    const QFileInfo info(bezDowiazan(sciezka));
    const QByteArray skrot = QCryptographicHash::hash(nazwaDlaSystemu(info.absoluteFilePath()),
                                                      QCryptographicHash::Sha256)
                                 .toHex()
                                 .left(16);
    QString nazwa = info.completeBaseName().left(100) + u'-' + QString::fromLatin1(skrot);
    if (!info.suffix().isEmpty())
        nazwa += u'.' + info.suffix().left(20);
    return folderDanychUzytkownika() + QStringLiteral("/kopie/") + nazwa;
}

QByteArray poczatekNazwyTymczasowej(const QString& cel) {
    const QFileInfo info(cel);
    QByteArray nazwa = nazwaDlaSystemu(info.fileName());
    // Cut to 200 bytes, and never inside a character.
    if (nazwa.size() > 200) {
        qsizetype n = 200;
        while (n > 0 && (static_cast<unsigned char>(nazwa.at(n)) & 0xC0) == 0x80)
            --n;
        nazwa.truncate(n);
    }
    return nazwaDlaSystemu(info.absolutePath()) + "/." + nazwa + '.';
}

bool zablokujTymczasowy(int fd, const QByteArray& nazwa) {
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR)
            return true; // no locks on this file system: nothing tidies there either
    }
    // A tidying that took the file before the lock has removed its name.
    struct stat otwarty {
    }, nazwany{};
    return ::fstat(fd, &otwarty) == 0 && ::lstat(nazwa.constData(), &nazwany) == 0 &&
           tenSamPlik(otwarty, nazwany);
}

QStringList usunPozostawioneTymczasowe(const QString& cel) {
    const QByteArray poczatek = poczatekNazwyTymczasowej(cel);
    const qsizetype ukosnik = poczatek.lastIndexOf('/');
    const QByteArray folder = poczatek.left(std::max<qsizetype>(ukosnik, 1));
    const QByteArrayView przedrostek = QByteArrayView(poczatek).sliced(ukosnik + 1);
    QStringList trwajace;
    DIR* katalog = ::opendir(folder.constData());
    if (!katalog)
        return trwajace;
    QList<QByteArray> nazwy;
    while (const dirent* wpis = ::readdir(katalog)) {
        const QByteArrayView nazwa(wpis->d_name);
        if (nazwa.startsWith(przedrostek) && nazwa.endsWith(".tmp") &&
            znacznik(nazwa.sliced(przedrostek.size(),
                                  std::max<qsizetype>(nazwa.size() - przedrostek.size() - 4, 0))))
            nazwy.append(nazwa.toByteArray());
    }
    ::closedir(katalog);
    for (const QByteArray& nazwa : std::as_const(nazwy)) {
        const QByteArray sciezka = folder + '/' + nazwa;
        const int fd = ::open(sciezka.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat otwarty {
        }, nazwany{};
        if (::fstat(fd, &otwarty) == 0 && S_ISREG(otwarty.st_mode)) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
                // Still the file locked, not one made under the name since.
                if (::lstat(sciezka.constData(), &nazwany) == 0 && tenSamPlik(otwarty, nazwany))
                    ::unlink(sciezka.constData());
            } else if (errno == EWOULDBLOCK) {
                const QByteArray mark = nazwa.sliced(przedrostek.size());
                trwajace.append(QString::fromLatin1(mark.chopped(4)));
            }
        }
        ::close(fd);
    }
    return trwajace;
}

void zapisyPonadLimitZwracajaBlad() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

ZapisAtomowy::Synchronizacja ZapisAtomowy::ustawSynchronizacje(Synchronizacja funkcja) {
    return g_synchronizacja.exchange(funkcja ? funkcja : &synchronizujPlik);
}

ZapisAtomowy::ZapisAtomowy(const QString& sciezka, const OpcjeZapisu& opcje)
    : m_sciezka(QDir::toNativeSeparators(sciezka)), m_komunikat(opcje.komunikat) {
    const QString cel = bezDowiazan(sciezka);
    m_cel = nazwaDlaSystemu(cel);
    struct stat st {};
    const bool istnieje = ::stat(m_cel.constData(), &st) == 0;
    if (istnieje && S_ISDIR(st.st_mode))
        throw blad(EISDIR);
    // A file the user may not write is not replaced, although the folder
    // would allow the rename.
    if (istnieje && ::faccessat(AT_FDCWD, m_cel.constData(), W_OK, AT_EACCESS) != 0)
        throw blad(errno);

    // A hidden name that no other file has: O_EXCL never opens an existing
    // file, whatever it is called. What killed writes of this target left
    // goes first.
    const QFileInfo info(cel);
    m_folder = nazwaDlaSystemu(info.absolutePath());
    usunPozostawioneTymczasowe(cel);
    const QByteArray poczatek = poczatekNazwyTymczasowej(cel);
    int numer = 0;
    for (int proba = 0; proba < 100; ++proba) {
        const QByteArray nazwa =
            poczatek + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        m_fd = ::open(nazwa.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd >= 0 && !zablokujTymczasowy(m_fd, nazwa)) {
            ::close(m_fd);
            m_fd = -1;
            numer = EEXIST;
            continue;
        }
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
    // The old content whole in a file of its own before a byte of it
    // changes: an interrupted write leaves it there. A copy left by an
    // earlier write that did not end well holds the last content known to
    // be whole, and stays as it is.
    const QString kopia = kopiaZapisuNaMiejscu(QFile::decodeName(m_cel));
    if (!QFileInfo::exists(kopia))
        try {
            if (!QDir().mkpath(QFileInfo(kopia).absolutePath()))
                throw EInOutError(
                    QStringLiteral("nie można utworzyć folderu %1")
                        .arg(QDir::toNativeSeparators(QFileInfo(kopia).absolutePath())));
            zapiszCaly(kopia, stare);
        } catch (const SonvekError& e) {
            ::close(fd);
            throw EInOutError(m_komunikat.arg(
                m_sciezka,
                QStringLiteral("nie udało się zachować kopii jego poprzedniej zawartości "
                               "przed zapisem w miejscu (%1)")
                    .arg(e.text())));
        }
    m_fd = fd;
    m_naMiejscu = true;
    m_staraTresc = std::move(stare);
    m_kopia = kopia;
}

ZapisAtomowy::~ZapisAtomowy() {
    if (m_fd >= 0)
        zamknijBezZmian();
}

bool ZapisAtomowy::zamknijBezZmian() {
    bool przywrocone = true;
    if (m_naMiejscu) {
        // Overwriting the old bytes needs no new room on the disk. Only
        // once they are on the disk may their copy go.
        przywrocone = ::lseek(m_fd, 0, SEEK_SET) == 0 &&
                      zapiszWszystko(m_fd, m_staraTresc.constData(), m_staraTresc.size()) == 0 &&
                      ::ftruncate(m_fd, m_staraTresc.size()) == 0 && synchronizuj(m_fd) == 0;
        if (przywrocone)
            QFile::remove(m_kopia);
    }
    ::close(m_fd);
    m_fd = -1;
    if (!m_tymczas.isEmpty()) {
        ::unlink(m_tymczas.constData());
        m_tymczas.clear();
    }
    return przywrocone;
}

EInOutError ZapisAtomowy::blad(int numerBledu) const {
    return EInOutError(m_komunikat.arg(m_sciezka, opisBleduSystemu(numerBledu)));
}

void ZapisAtomowy::porzuc(int numerBledu) {
    if (m_fd >= 0 && !zamknijBezZmian()) {
        throw EInOutError(
            blad(numerBledu).text() +
            QStringLiteral(". Nie udało się przywrócić poprzedniej zawartości pliku %1, więc "
                           "może on być uszkodzony; jego poprzednia zawartość jest zachowana w "
                           "pliku %2")
                .arg(m_sciezka, QDir::toNativeSeparators(m_kopia)));
    }
    throw blad(numerBledu);
}

void ZapisAtomowy::zapisz(const char* dane, qint64 dlugosc) {
    if (m_fd < 0)
        throw blad(EBADF);
    if (const int numer = zapiszWszystko(m_fd, dane, dlugosc))
        porzuc(numer);
    m_zapisano += dlugosc;
}

void ZapisAtomowy::zsynchronizuj() {
    if (m_fd < 0)
        throw blad(EBADF);
    if (synchronizuj(m_fd) != 0)
        porzuc(errno);
}

void ZapisAtomowy::zatwierdz() {
    if (m_fd < 0)
        throw blad(EBADF);
    if (m_naMiejscu && ::ftruncate(m_fd, m_zapisano) != 0)
        porzuc(errno);
    if (synchronizuj(m_fd) != 0)
        porzuc(errno);
    struct stat st {};
    if (::fstat(m_fd, &st) == 0)
        m_zapisany = {qint64(st.st_size),
                      qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                      quint64(st.st_dev), quint64(st.st_ino)};
    if (m_naMiejscu) {
        // The new bytes are on the disk: the copy of the old ones is done with.
        ::close(m_fd);
        m_fd = -1;
        QFile::remove(m_kopia);
        return;
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR) {
        const int numer = errno;
        ::unlink(m_tymczas.constData());
        m_tymczas.clear();
        throw blad(numer);
    }
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
