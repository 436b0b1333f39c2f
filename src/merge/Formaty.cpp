#include "merge/Formaty.h"

#include <QStringList>

namespace {

QString kanaly(int n) {
    return n == 1   ? QStringLiteral("1 kanał")
           : n == 2 ? QStringLiteral("2 kanały")
                    : QStringLiteral("%1 kanałów").arg(n);
}

QString wersja(int w) {
    return w == 25 ? QStringLiteral("MPEG-2.5") : QStringLiteral("MPEG-%1").arg(w);
}

QString warstwa(int w) {
    static const char* const rzymskie[] = {"", "I", "II", "III"};
    return QStringLiteral("Layer ") + QString::fromLatin1(rzymskie[w >= 1 && w <= 3 ? w : 0]);
}

} // namespace

QString opisFormatu(const FormatDzwieku& f) {
    QString opis;
    if (f.wersja != 0 && f.warstwa != 0)
        opis = wersja(f.wersja) + u' ' + warstwa(f.warstwa) + QStringLiteral(", ");
    return opis + QStringLiteral("%1 Hz, %2").arg(f.czestotliwosc).arg(kanaly(f.kanaly));
}

std::optional<FormatDzwieku> pierwszyFormat(const QList<std::optional<FormatDzwieku>>& formaty) {
    for (const auto& f : formaty)
        if (f)
            return f;
    return std::nullopt;
}

QList<InnyFormat> inneFormaty(const QList<std::optional<FormatDzwieku>>& formaty) {
    QList<InnyFormat> wynik;
    const std::optional<FormatDzwieku> wzor = pierwszyFormat(formaty);
    for (int i = 0; wzor && i < formaty.size(); ++i) {
        const std::optional<FormatDzwieku>& f = formaty.at(i);
        if (!f || *f == *wzor)
            continue;
        QStringList czym;
        if (f->czestotliwosc != wzor->czestotliwosc)
            czym << QStringLiteral("częstotliwość: %1 Hz zamiast %2 Hz")
                        .arg(f->czestotliwosc)
                        .arg(wzor->czestotliwosc);
        if (f->kanaly != wzor->kanaly)
            czym << QStringLiteral("kanały: %1 zamiast %2").arg(f->kanaly).arg(wzor->kanaly);
        if (f->wersja != wzor->wersja && f->wersja && wzor->wersja)
            czym << QStringLiteral("wersja: %1 zamiast %2")
                        .arg(wersja(f->wersja), wersja(wzor->wersja));
        if (f->warstwa != wzor->warstwa && f->warstwa && wzor->warstwa)
            czym << QStringLiteral("warstwa: %1 zamiast %2")
                        .arg(warstwa(f->warstwa), warstwa(wzor->warstwa));
        if (!czym.isEmpty())
            wynik.append({i, czym.join(QStringLiteral(", "))});
    }
    return wynik;
}
