#include "base/Paths.h"

#include <QDir>

QChar separatorFolderow() {
    return QDir::separator();
}

QString ExNazwaPliku(const QString& path) {
    const QChar sep = separatorFolderow();
    const qsizetype last = path.lastIndexOf(sep);
    if (last < 0)
        return path;
    const QString rest = path.mid(last + 1);
    if (!rest.isEmpty())
        return rest;
    // Ends in a separator: the last part cut off is the text between the
    // last two separators.
    const qsizetype before = path.lastIndexOf(sep, last - 1);
    return path.mid(before + 1, last - before - 1);
}

QString ExSciezka(const QString& path) {
    const qsizetype last = path.lastIndexOf(separatorFolderow());
    return last < 0 ? QString() : path.left(last + 1);
}

QString ExRozszerzenie(const QString& name) {
    QString rest = name;
    qsizetype dot;
    while ((dot = rest.indexOf(QLatin1Char('.'))) >= 0)
        rest = rest.mid(dot + 1);
    return rest;
}
