#pragma once
// A small tmpfs mounted over a folder for the length of a test, to make a
// full disk. Mounting needs root; check `zamontowany` and skip otherwise.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <sys/mount.h>

class Tmpfs {
public:
    Tmpfs(const QString& folder, const char* opcje) : sciezka(QFile::encodeName(folder)) {
        zamontowany = ::mount("tmpfs", sciezka.constData(), "tmpfs", 0, opcje) == 0;
    }
    ~Tmpfs() {
        if (zamontowany)
            ::umount2(sciezka.constData(), MNT_DETACH);
    }
    Tmpfs(const Tmpfs&) = delete;
    Tmpfs& operator=(const Tmpfs&) = delete;
    QByteArray sciezka;
    bool zamontowany = false;
};
