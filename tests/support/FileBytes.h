#pragma once
// Small file helpers for tests that look at what landed in a folder.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

// The whole content of a file; empty when it cannot be read.
inline QByteArray bajtyPliku(const QString& sciezka) {
    QFile plik(sciezka);
    return plik.open(QIODevice::ReadOnly) ? plik.readAll() : QByteArray();
}

// Creates or replaces a file with exactly these bytes.
inline bool zapiszBajty(const QString& sciezka, const QByteArray& dane) {
    QFile plik(sciezka);
    return plik.open(QIODevice::WriteOnly) && plik.write(dane) == dane.size();
}

// Every name in a folder, hidden ones included, sorted by name.
inline QStringList wpisyFolderu(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}
