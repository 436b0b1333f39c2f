#include "base/FolderTymczasowy.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/Transakcja.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

EInOutError blad(const QString& tekst, const QString& sciezka, int numer) {
    return EInOutError(tekst.arg(QDir::toNativeSeparators(sciezka), opisBleduSystemu(numer)));
}

} // namespace

void FolderTymczasowy::usunPozostalosci(const QString& cel) {
    const QFileInfo info(cel);
    const QDir folder = info.absoluteDir();
    const QRegularExpression wzor(QStringLiteral("^\\.%1\\.([0-9a-z]+)\\.tmp$")
                                      .arg(QRegularExpression::escape(info.fileName())));
    for (const QString& nazwa :
         folder.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = wzor.match(nazwa);
        if (!m.hasMatch())
            continue;
        const QString blokada =
            folder.filePath(QStringLiteral(".%1.%2.lock").arg(info.fileName(), m.captured(1)));
        const int fd = ::open(QFile::encodeName(blokada).constData(),
                              O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd); // a build still running
            continue;
        }
        QDir(folder.filePath(nazwa)).removeRecursively();
        if (fd >= 0) {
            QFile::remove(blokada);
            ::close(fd);
        }
    }
}

FolderTymczasowy::FolderTymczasowy(const QString& cel) : m_cel(QFileInfo(cel).absoluteFilePath()) {
    usunPozostalosci(m_cel);
    const QFileInfo info(m_cel);
    const QString znacznik = QString::number(QRandomGenerator::global()->generate(), 36);
    const QString przedrostek =
        QStringLiteral("%1/.%2.%3").arg(info.absolutePath(), info.fileName(), znacznik);
    // The lock comes first and goes last: a folder without a held lock is
    // what a killed build left.
    m_blokada = przedrostek + QStringLiteral(".lock");
    m_blokadaFd = ::open(QFile::encodeName(m_blokada).constData(),
                         O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_blokadaFd < 0)
        throw blad(QStringLiteral("Nie można utworzyć pliku w folderze %1: %2"),
                   info.absolutePath(), errno);
    ::flock(m_blokadaFd, LOCK_EX | LOCK_NB);
    const QString folder = przedrostek + QStringLiteral(".tmp");
    if (::mkdir(QFile::encodeName(folder).constData(), 0777) != 0) {
        const int e = errno;
        QFile::remove(m_blokada);
        ::close(m_blokadaFd);
        throw blad(QStringLiteral("Nie można utworzyć folderu w %1: %2"), info.absolutePath(), e);
    }
    m_folder = folder;
}

FolderTymczasowy::~FolderTymczasowy() {
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
    if (m_blokadaFd >= 0) {
        QFile::remove(m_blokada);
        ::close(m_blokadaFd);
    }
}

void FolderTymczasowy::umiesc() {
    if (const int e = przemianujBezZastepowania(m_folder, m_cel))
        throw blad(QStringLiteral("Nie można utworzyć folderu %1: %2"), m_cel, e);
    m_folder.clear();
    synchronizujFolder(QFileInfo(m_cel).absolutePath());
}
