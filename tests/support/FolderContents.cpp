#include "support/FolderContents.h"

QMap<QString, QByteArray> zawartoscFolderu(const QString& folder) {
    QMap<QString, QByteArray> wynik;
    const QDir dir(folder);
    for (const QString& nazwa : wpisyFolderu(folder))
        wynik.insert(nazwa, bajtyPliku(dir.filePath(nazwa)));
    return wynik;
}
