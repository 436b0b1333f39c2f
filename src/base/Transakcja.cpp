#include "base/Transakcja.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/PlikiTymczasowe.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
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

QString bladZapisuPliku(const QString& nazwa, const QString& opis) {
    return QStringLiteral("Nie można zapisać pliku %1: %2").arg(nazwa, opis);
}

namespace {

// The part of a temporary file's name that tells which file it is for: the
// file's name, and for a long name (over 100 bytes) its first 60 bytes and a
// hash of the whole, so that the temporary name stays well within the
// system's 255 bytes.
QString nazwaDlaTymczasowej(const QString& nazwa) {
    const QByteArray bajty = nazwa.toUtf8();
    if (bajty.size() <= 100)
        return nazwa;
    QString poczatek;
    qsizetype dlugosc = 0;
    for (const QChar* z = nazwa.constBegin(); z != nazwa.constEnd();) {
        const qsizetype n = (z->isHighSurrogate() && z + 1 != nazwa.constEnd()) ? 2 : 1;
        const QString znak(z, n);
        dlugosc += znak.toUtf8().size();
        if (dlugosc > 60)
            break;
        poczatek += znak;
        z += n;
    }
    const QByteArray skrot = QCryptographicHash::hash(bajty, QCryptographicHash::Sha1).toHex();
    return poczatek + QLatin1Char('~') + QString::fromLatin1(skrot.left(12));
}

// The hidden name of a temporary file beside `docelowy`, with a mark that
// the files of one merge share. Leftovers of a killed merge are found by
// this form (see usunPozostalosci).
QString nazwaTymczasowa(const QFileInfo& docelowy, const QString& znacznik) {
    return QStringLiteral("%1/.%2.%3.tmp")
        .arg(docelowy.absolutePath(), nazwaDlaTymczasowej(docelowy.fileName()), znacznik);
}

constexpr qint64 porcja = qint64{16} << 20; // bytes per progress step of dopisz

QString losowyZnacznik() {
    return QString::number(QRandomGenerator::global()->generate(), 36);
}

} // namespace

// Opens a new file next to `docelowy` under an unused hidden name, trying
// the mark `znacznik` first (an empty one is chosen here). The name never
// replaces an existing file (not even one named like a temporary file),
// and the file gets the permissions a newly created file gets.
QString utworzObok(const QString& docelowy, QFile& plik, QString& znacznik) {
    const QFileInfo info(docelowy);
    if (znacznik.isEmpty())
        znacznik = losowyZnacznik();
    for (int proba = 0; proba < 100; ++proba) {
        const QString nazwa = nazwaTymczasowa(info, proba == 0 ? znacznik : losowyZnacznik());
        plik.setFileName(nazwa);
        if (plik.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            zapamietajTymczasowy(nazwa);
            return nazwa;
        }
        if (!QFileInfo::exists(nazwa))
            break;
    }
    throw EInOutError(
        QStringLiteral("Nie można utworzyć pliku %1: %2").arg(docelowy, plik.errorString()));
}

void usunTymczasowy(const QString& nazwa) {
    QFile::remove(nazwa);
    zapomnijTymczasowy(nazwa);
}

// Pushes what was written to `plik` to the disk, so that a book put in
// place survives a crash right after.
void zapiszNaDysk(QFile& plik, const QString& nazwa) {
#ifdef Q_OS_UNIX
    if (synchronizujPlik(plik.handle()) != 0)
        throw EInOutError(bladZapisuPliku(nazwa, opisBleduSystemu(errno)));
#else
    if (!plik.flush())
        throw EInOutError(bladZapisuPliku(nazwa, plik.errorString()));
#endif
}

// Appends the rest of `zrodlo` to `cel` and returns how many bytes it was.
// The kernel copies between the files where it can; otherwise a 1 MiB
// buffer does, so memory stays small whatever the size of the book.
std::int64_t dopisz(QFile& zrodlo, const QString& nazwaZrodla, QFile& cel, const QString& nazwaCelu,
                    const std::function<void(std::int64_t)>& skopiowano) {
    std::int64_t razem = 0;
#ifdef Q_OS_UNIX
    const int we = zrodlo.handle();
    const int wy = cel.handle();
#ifdef Q_OS_LINUX
    for (;;) {
        const ssize_t n = kopiujWJadrze(we, nullptr, wy, static_cast<size_t>(porcja));
        if (n > 0) {
            razem += n;
            skopiowano(n);
            continue;
        }
        if (n == 0)
            return razem;
        const int e = errno;
        if (e == EINTR)
            continue;
        // File systems or kernels that cannot copy between these two files:
        // the buffer goes on from the descriptors' current positions.
        if (kopiowanieWJadrzeNiemozliwe(e))
            break;
        if (e == ENOSPC || e == EDQUOT || e == EFBIG || e == EROFS)
            throw EInOutError(bladZapisuPliku(nazwaCelu, opisBleduSystemu(e)));
        throw EInOutError(QStringLiteral("Nie można skopiować pliku %1 do pliku %2: %3")
                              .arg(nazwaZrodla, nazwaCelu, opisBleduSystemu(e)));
    }
#endif
    QByteArray bufor(qsizetype{1} << 20, Qt::Uninitialized);
    std::int64_t odOstatniego = 0;
    for (;;) {
        const ssize_t n = ::read(we, bufor.data(), static_cast<size_t>(bufor.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                                  .arg(nazwaZrodla, opisBleduSystemu(errno)));
        }
        if (n == 0)
            break;
        for (ssize_t zapisane = 0; zapisane < n;) {
            const ssize_t k =
                ::write(wy, bufor.constData() + zapisane, static_cast<size_t>(n - zapisane));
            if (k < 0 && errno == EINTR)
                continue;
            if (k <= 0)
                throw EInOutError(
                    bladZapisuPliku(nazwaCelu, opisBleduSystemu(k < 0 ? errno : ENOSPC)));
            zapisane += k;
        }
        razem += n;
        odOstatniego += n;
        if (odOstatniego >= porcja) {
            skopiowano(odOstatniego);
            odOstatniego = 0;
        }
    }
    if (odOstatniego > 0)
        skopiowano(odOstatniego);
#else
    QByteArray bufor(qsizetype{1} << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = zrodlo.read(bufor.data(), bufor.size());
        if (n < 0)
            throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                                  .arg(nazwaZrodla, zrodlo.errorString()));
        if (n == 0)
            break;
        if (cel.write(bufor.constData(), n) != n)
            throw EInOutError(bladZapisuPliku(nazwaCelu, cel.errorString()));
        razem += n;
        skopiowano(n);
    }
#endif
    return razem;
}

// Writes `tresc` as a new temporary file beside `docelowy`; returns its name.
QString zapiszObok(const QString& docelowy, const QByteArray& tresc, QString znacznik) {
    QFile plik;
    const QString nazwa = utworzObok(docelowy, plik, znacznik);
    if (plik.write(tresc) != tresc.size()) {
        const QString opis = plik.errorString();
        plik.close();
        usunTymczasowy(nazwa);
        throw EInOutError(bladZapisuPliku(docelowy, opis));
    }
    try {
        zapiszNaDysk(plik, docelowy);
    } catch (...) {
        plik.close();
        usunTymczasowy(nazwa);
        throw;
    }
    plik.close();
    return nazwa;
}

void usunPozostalosciObok(const QString& glowny, const QStringList& towarzyszace,
                          const std::function<bool(const QString&)>& czytany) {
#ifdef Q_OS_UNIX
    const QFileInfo ksiazka(glowny);
    const QDir folder = ksiazka.absoluteDir();
    auto wzor = [](const QString& nazwa) {
        return QRegularExpression(QStringLiteral("^\\.%1\\.([0-9a-z]+)\\.tmp$")
                                      .arg(QRegularExpression::escape(nazwaDlaTymczasowej(nazwa))));
    };
    const QRegularExpression wzorKsiazki = wzor(ksiazka.fileName());
    QList<QRegularExpression> wzorIndeksu;
    for (const QString& nazwa : towarzyszace)
        wzorIndeksu.append(wzor(QFileInfo(nazwa).fileName()));
    const QStringList nazwy = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    QSet<QString> trwajace;
    for (const QString& nazwa : nazwy) {
        const QRegularExpressionMatch m = wzorKsiazki.match(nazwa);
        if (!m.hasMatch() || czytany(folder.filePath(nazwa)))
            continue;
        const QByteArray sciezka = QFile::encodeName(folder.filePath(nazwa));
        const int fd = ::open(sciezka.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(sciezka.constData());
        else if (errno == EWOULDBLOCK)
            trwajace.insert(m.captured(1));
        ::close(fd);
    }
    for (const QString& nazwa : nazwy) {
        for (const QRegularExpression& w : wzorIndeksu) {
            const QRegularExpressionMatch m = w.match(nazwa);
            if (m.hasMatch() && !trwajace.contains(m.captured(1)) &&
                !czytany(folder.filePath(nazwa)))
                QFile::remove(folder.filePath(nazwa));
        }
    }
#else
    Q_UNUSED(glowny);
    Q_UNUSED(towarzyszace);
    Q_UNUSED(czytany);
#endif
}
