#include "support/KartaFat.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <unistd.h>

namespace {

bool zamontowanyW(const QString& punkt) {
    QFile plik(QStringLiteral("/proc/self/mountinfo"));
    if (!plik.open(QIODevice::ReadOnly))
        return false;
    const QByteArray szukany = ' ' + QFile::encodeName(punkt) + ' ';
    for (const QByteArray& wiersz : plik.readAll().split('\n')) {
        if (wiersz.contains(szukany) && wiersz.contains(" - fuse"))
            return true;
    }
    return false;
}

} // namespace

KartaFat::KartaFat(const QString& obraz, const QString& punkt, int megabajty)
    : m_obraz(obraz), m_punkt(punkt) {
    const QString mkfs = QStandardPaths::findExecutable(
        QStringLiteral("mkfs.vfat"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (mkfs.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("fusefat")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("fusermount")).isEmpty()) {
        powod = QStringLiteral("mkfs.vfat, fusefat or fusermount is missing");
        return;
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        powod = QStringLiteral("/dev/fuse is missing");
        return;
    }
    QFile plik(obraz);
    if (!plik.open(QIODevice::WriteOnly) || !plik.resize(qint64(megabajty) << 20)) {
        powod = QStringLiteral("cannot make the image");
        return;
    }
    plik.close();
    QProcess format;
    // FAT16: fusefat reports no free space of FAT32 volumes.
    format.start(mkfs, {QStringLiteral("-F"), QStringLiteral("16"), obraz});
    if (!format.waitForFinished(30000) || format.exitCode() != 0) {
        powod = QStringLiteral("mkfs.vfat failed");
        return;
    }
    if (!zamontuj())
        powod = QStringLiteral("fusefat could not mount the image");
}

KartaFat::~KartaFat() {
    odmontuj();
}

bool KartaFat::zamontuj() {
    if (m_proces)
        return true;
    m_proces = std::make_unique<QProcess>();
    m_proces->setStandardOutputFile(QProcess::nullDevice());
    m_proces->setStandardErrorFile(QProcess::nullDevice());
    // In the foreground, so that its end says the image is written.
    m_proces->start(QStringLiteral("fusefat"), {QStringLiteral("-f"), QStringLiteral("-o"),
                                                QStringLiteral("rw+"), m_obraz, m_punkt});
    const bool gotowy =
        m_proces->waitForStarted(10000) &&
        QTest::qWaitFor(
            [this] { return zamontowanyW(m_punkt) || m_proces->state() == QProcess::NotRunning; },
            20000) &&
        zamontowanyW(m_punkt);
    if (!gotowy) {
        m_proces->kill();
        m_proces->waitForFinished(5000);
        m_proces.reset();
    }
    return gotowy;
}

bool KartaFat::odmontuj() {
    if (!m_proces)
        return true;
    QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), m_punkt});
    const bool skonczyl = m_proces->waitForFinished(20000);
    if (!skonczyl) {
        QProcess::execute(QStringLiteral("fusermount"),
                          {QStringLiteral("-u"), QStringLiteral("-z"), m_punkt});
        m_proces->kill();
        m_proces->waitForFinished(5000);
    }
    m_proces.reset();
    return skonczyl;
}
