#include "support/FolderContents.h"

#include <QFileInfo>

QMap<QString, QByteArray> zawartoscFolderu(const QString& folder) {
    QMap<QString, QByteArray> wynik;
    const QDir dir(folder);
    for (const QString& nazwa : wpisyFolderu(folder)) {
        // A FIFO or a device is not read: it could wait or never end.
        const QString sciezka = dir.filePath(nazwa);
        wynik.insert(nazwa, QFileInfo(sciezka).isFile() ? bajtyPliku(sciezka) : QByteArray());
    }
    return wynik;
}
