#include "base/Text.h"

#include "base/Errors.h"

#include <QCollator>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <limits>
#include <optional>

QString errorMessage(const std::exception& e) {
    if (auto* own = dynamic_cast<const SonvekError*>(&e))
        return own->text();
    return QString::fromUtf8(e.what());
}

std::optional<std::int32_t> tryStrToInt(const QString& text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < n && text.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i < n && (text.at(i) == QLatin1Char('x') || text.at(i) == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text.at(i) == QLatin1Char('0') &&
               (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= n)
        return std::nullopt;
    std::int64_t value = 0;
    const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max() ||
        value < std::numeric_limits<std::int32_t>::min())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t StrToInt(const QString& text) {
    if (auto v = tryStrToInt(text))
        return *v;
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

QString errorBoxText(const QString& text) {
    if (!text.isEmpty() && text.back().unicode() > u'.')
        return text + QLatin1Char('.');
    return text;
}

QString formatGeneral(std::int64_t tenThousandths, QChar decimalSeparator) {
    const bool negative = tenThousandths < 0;
    // Work on the magnitude as unsigned so the most negative value is safe.
    const std::uint64_t magnitude =
        negative ? std::uint64_t{0} - static_cast<std::uint64_t>(tenThousandths)
                 : static_cast<std::uint64_t>(tenThousandths);
    QString result = QString::number(magnitude / 10000);
    QString fraction = QStringLiteral("%1").arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (!fraction.isEmpty())
        result += decimalSeparator + fraction;
    if (negative && magnitude != 0)
        result.prepend(QLatin1Char('-'));
    return result;
}

int porownajNazwy(const QString& a, const QString& b, const QLocale& locale) {
    // Making a collator costs far more than a comparison: one a thread,
    // made again only for another locale.
    thread_local std::optional<QCollator> collator;
    if (!collator || collator->locale() != locale) {
        collator.emplace(locale);
        collator->setCaseSensitivity(Qt::CaseInsensitive);
        collator->setNumericMode(true);
    }
    if (const int c = collator->compare(a, b))
        return c;
    return a.compare(b);
}

void polskieTekstyQt() {
    auto* tlumacz = new QTranslator(QCoreApplication::instance());
    if (tlumacz->load(QLocale(QLocale::Polish), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(tlumacz);
}

bool znakDozwolonyWXml(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

QString bezZnakowSpozaXml(const QString& text) {
    QString wynik;
    wynik.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            wynik.append(ch);
            wynik.append(text.at(++i));
        } else if (!ch.isSurrogate() && znakDozwolonyWXml(ch.unicode())) {
            wynik.append(ch);
        }
    }
    return wynik;
}

QString liczebnik(std::int64_t n, const QString& jeden, const QString& kilka,
                  const QString& wiele) {
    const std::int64_t jednosci = n % 10;
    const std::int64_t setki = n % 100;
    const QString& forma = n == 1 ? jeden
                           : jednosci >= 2 && jednosci <= 4 && !(setki >= 12 && setki <= 14)
                               ? kilka
                               : wiele;
    return QString::number(n) + u' ' + forma;
}
