#include "merge/CzesciKsiazki.h"

#include "base/Errors.h"

#include <QFileInfo>

QString nazwaCzesci(const QString& scalony, int numer) {
    const QFileInfo info(scalony);
    const QString przyrostek = info.suffix();
    QString nazwa = info.fileName();
    if (!przyrostek.isEmpty())
        nazwa.chop(przyrostek.size() + 1);
    nazwa += QLatin1Char('-') + QString::number(numer);
    if (!przyrostek.isEmpty())
        nazwa += QLatin1Char('.') + przyrostek;
    const QString folder = scalony.left(scalony.size() - info.fileName().size());
    return folder + nazwa;
}

QList<int> podzialNaCzesci(const QList<std::int64_t>& rozmiary, std::int64_t limit) {
    QList<int> podzial;
    std::int64_t wCzesci = 0;
    for (qsizetype i = 0; i < rozmiary.size(); ++i) {
        const std::int64_t rozmiar = rozmiary.at(i);
        if (rozmiar > limit)
            throw SonvekError(
                QStringLiteral("Nie można zapisać książki w częściach: plik pozycji %1 sam ma %2 "
                               "bajtów, więcej niż największa część (%3 bajtów), a książka "
                               "dzieli się na części tylko między plikami pozycji")
                    .arg(i + 1)
                    .arg(rozmiar)
                    .arg(limit));
        if (podzial.isEmpty() || wCzesci + rozmiar > limit) {
            podzial.append(0);
            wCzesci = 0;
        }
        ++podzial.last();
        wCzesci += rozmiar;
    }
    return podzial;
}
