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

namespace {

constexpr char16_t kPierwszyBajt = 0xDC80; // the unit that keeps byte 0x80
constexpr char16_t kOstatniBajt = 0xDCFF;

bool zachowanyBajt(char16_t c) {
    return c >= kPierwszyBajt && c <= kOstatniBajt;
}

// The length of the valid UTF-8 sequence at p (n bytes left) and its code
// point; 0 when the bytes there do not start one (overlong forms, encoded
// surrogates and values past U+10FFFF are not valid).
int sekwencjaUtf8(const unsigned char* p, qsizetype n, char32_t& znak) {
    const unsigned char b = p[0];
    int dlugosc;
    char32_t najmniejszy;
    if (b < 0x80) {
        znak = b;
        return 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
        dlugosc = 2, znak = b & 0x1F, najmniejszy = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        dlugosc = 3, znak = b & 0x0F, najmniejszy = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        dlugosc = 4, znak = b & 0x07, najmniejszy = 0x10000;
    } else {
        return 0;
    }
    if (n < dlugosc)
        return 0;
    for (int i = 1; i < dlugosc; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        znak = (znak << 6) | (p[i] & 0x3F);
    }
    if (znak < najmniejszy || znak > 0x10FFFF || (znak >= 0xD800 && znak <= 0xDFFF))
        return 0;
    return dlugosc;
}

} // namespace

QString nazwaZSystemu(QByteArrayView bajty) {
    const auto* p = reinterpret_cast<const unsigned char*>(bajty.data());
    const qsizetype n = bajty.size();
    QString wynik;
    wynik.reserve(n);
    for (qsizetype i = 0; i < n;) {
        char32_t znak = 0;
        const int dlugosc = sekwencjaUtf8(p + i, n - i, znak);
        if (dlugosc == 0) {
            wynik.append(QChar(char16_t(0xDC00 + p[i])));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(znak)) {
            wynik.append(QChar(QChar::highSurrogate(znak)));
            wynik.append(QChar(QChar::lowSurrogate(znak)));
        } else
            wynik.append(QChar(char16_t(znak)));
        i += dlugosc;
    }
    return wynik;
}

bool maSuroweBajty(QStringView nazwa) {
    for (qsizetype i = 0; i < nazwa.size(); ++i) {
        const QChar c = nazwa[i];
        if (c.isHighSurrogate() && i + 1 < nazwa.size() && nazwa[i + 1].isLowSurrogate())
            ++i;
        else if (zachowanyBajt(c.unicode()))
            return true;
    }
    return false;
}

QByteArray nazwaDlaSystemu(QStringView nazwa) {
    if (!maSuroweBajty(nazwa))
        return nazwa.toUtf8();
    QByteArray wynik;
    wynik.reserve(nazwa.size() * 3);
    qsizetype od = 0; // the start of the plain text not yet written
    for (qsizetype i = 0; i < nazwa.size(); ++i) {
        const QChar c = nazwa[i];
        if (c.isHighSurrogate() && i + 1 < nazwa.size() && nazwa[i + 1].isLowSurrogate()) {
            ++i;
        } else if (zachowanyBajt(c.unicode())) {
            wynik += nazwa.sliced(od, i - od).toUtf8();
            wynik += char(c.unicode() - 0xDC00);
            od = i + 1;
        }
    }
    wynik += nazwa.sliced(od).toUtf8();
    return wynik;
}

QString nazwaDoPokazania(const QString& nazwa) {
    if (!maSuroweBajty(nazwa))
        return nazwa;
    QString wynik = nazwa;
    for (qsizetype i = 0; i < wynik.size(); ++i) {
        const QChar c = wynik[i];
        if (c.isHighSurrogate() && i + 1 < wynik.size() && wynik[i + 1].isLowSurrogate())
            ++i;
        else if (zachowanyBajt(c.unicode()))
            wynik[i] = QChar::ReplacementCharacter;
    }
    return wynik;
}
