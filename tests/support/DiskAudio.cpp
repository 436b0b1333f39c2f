#include "support/DiskAudio.h"

#include <QFile>
#include <QtGlobal>

void useDiskAudio(const QString& rawPath) {
    QFile::remove(rawPath);
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(rawPath));
    qputenv("SDL_DISKAUDIODELAY", "2"); // ms per 2048 samples
}

qint64 audibleSpan(const QString& rawPath) {
    QFile f(rawPath);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray raw = f.readAll();
    const auto* s = reinterpret_cast<const qint16*>(raw.constData());
    const qint64 frames = raw.size() / 4;
    const auto loud = [s](qint64 i) { return qAbs(s[2 * i]) > 200 || qAbs(s[2 * i + 1]) > 200; };
    qint64 first = 0, last = frames - 1;
    while (first < frames && !loud(first))
        ++first;
    while (last >= first && !loud(last))
        --last;
    return last - first + 1;
}
