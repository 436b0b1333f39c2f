#pragma once
// A folder shown a second time under another name (a bind mount) for the
// length of a test: the same files behind other paths. Mounting needs root;
// check `zamontowany` and skip otherwise.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <sys/mount.h>

class Podpiecie {
public:
    Podpiecie(const QString& folder, const QString& gdzie) : sciezka(QFile::encodeName(gdzie)) {
        QDir().mkpath(gdzie);
        zamontowany = ::mount(QFile::encodeName(folder).constData(), sciezka.constData(), nullptr,
                              MS_BIND, nullptr) == 0;
    }
    ~Podpiecie() {
        if (zamontowany)
            ::umount2(sciezka.constData(), MNT_DETACH);
    }
    Podpiecie(const Podpiecie&) = delete;
    Podpiecie& operator=(const Podpiecie&) = delete;
    QByteArray sciezka;
    bool zamontowany = false;
};
