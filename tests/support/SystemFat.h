#pragma once
// A FAT file system over a folder for the length of a test, as a card
// carries it: an image made by mkfs.vfat, mounted through fusefat (the
// kernel here has no vfat; FAT through FUSE also swaps no folders and gives
// each spelling of a name its own inode number). Needs mkfs.vfat, fusefat
// and /dev/fuse: check `zamontowany`, else skip with `powod`.

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <sys/mount.h>

class SystemFat {
public:
    explicit SystemFat(const QString& folder, int megabajty = 16)
        : sciezka(QFile::encodeName(folder)) {
        const QString mkfs = QStandardPaths::findExecutable(
            QStringLiteral("mkfs.vfat"), {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
        const QString fusefat = QStandardPaths::findExecutable(QStringLiteral("fusefat"));
        if (mkfs.isEmpty() || fusefat.isEmpty() ||
            !QFileInfo::exists(QStringLiteral("/dev/fuse"))) {
            powod = "needs mkfs.vfat, fusefat and /dev/fuse";
            return;
        }
        const QString obraz = m_obraz.filePath(QStringLiteral("fat.img"));
        QFile plik(obraz);
        if (!plik.open(QIODevice::WriteOnly) || !plik.resize(qint64(megabajty) << 20)) {
            powod = "cannot make the image";
            return;
        }
        plik.close();
        if (QProcess::execute(mkfs, {QStringLiteral("-F"), QStringLiteral("32"), obraz}) != 0 &&
            QProcess::execute(mkfs, {obraz}) != 0) {
            powod = "mkfs.vfat failed";
            return;
        }
        zamontowany = QProcess::execute(fusefat, {QStringLiteral("-o"), QStringLiteral("rw+"),
                                                  obraz, folder}) == 0;
        if (!zamontowany)
            powod = "fusefat cannot mount here";
    }
    ~SystemFat() {
        if (zamontowany)
            ::umount2(sciezka.constData(), MNT_DETACH);
    }
    SystemFat(const SystemFat&) = delete;
    SystemFat& operator=(const SystemFat&) = delete;

    QByteArray sciezka;
    bool zamontowany = false;
    const char* powod = "";

private:
    QTemporaryDir m_obraz;
};
