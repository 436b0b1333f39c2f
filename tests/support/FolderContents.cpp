#include "support/FolderContents.h"

#include <QDir>
#include <QFile>

QMap<QString, QByteArray> zawartoscFolderu(const QString& folder) {
    QMap<QString, QByteArray> wynik;
    const QDir dir(folder);
    const auto nazwy = dir.entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs |
                                     QDir::NoDotAndDotDot);
    for (const QString& nazwa : nazwy)
        wynik.insert(nazwa, czytajPlik(dir.filePath(nazwa)));
    return wynik;
}

bool zapiszPlik(const QString& path, const QByteArray& content) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size();
}

QByteArray czytajPlik(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}
