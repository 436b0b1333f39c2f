#pragma once
// Text rules shared by every subsystem: the strict integer parse, the
// general error text, the general number format.

#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// Strict signed 32-bit parse: leading blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$", "x" or "0x" (x in either case).
// Anything else, including empty text, trailing characters or a value out of
// range, gives no value.
std::optional<std::int32_t> tryStrToInt(const QString& text);

// As tryStrToInt, but a text that does not convert throws EConvertError
// "'<text>' is not a valid integer value".
std::int32_t StrToInt(const QString& text);

// The text the general error box shows: a full stop is appended when the
// last character sorts after "." (code above 0x2E).
QString errorBoxText(const QString& text);

// A number in the general format: no thousands separator, no trailing zeros,
// no decimal separator for a whole number; the decimal separator of the
// given locale. `tenThousandths` is the value times 10000 (four implied
// decimals).
QString formatGeneral(std::int64_t tenThousandths, QChar decimalSeparator);

// Compares two names as a file manager orders them: in the collation of
// `locale` (Polish unless told otherwise), case-insensitively, and with a run
// of digits compared by its value, so that "Rozdział 2" comes before
// "Rozdział 10". Names the collation holds equal are ordered by their code
// points. Negative, zero (only for the very same text) or positive.
int porownajNazwy(const QString& a, const QString& b,
                  const QLocale& locale = QLocale(QLocale::Polish, QLocale::Poland));

// A count with the Polish noun form it takes: 1 plik, 2 pliki, 5 plików,
// 22 pliki, 112 plików. `jeden`, `kilka` and `wiele` are the forms for 1,
// for 2 to 4 and for 5 (and for 0).
QString liczebnik(std::int64_t n, const QString& jeden, const QString& kilka, const QString& wiele);

// Makes Qt's own texts Polish for the whole program: the standard buttons
// and file dialogs, the XML reader's errors. A window and a command-line
// tool so say the same. Once, after the application object is made; without
// Qt's translations installed the texts stay English.
void polskieTekstyQt();

// Whether XML 1.0 can carry the character: tab, line feed, carriage return
// and the code points from U+0020 up, less the surrogates, U+FFFE and U+FFFF.
bool znakDozwolonyWXml(char32_t c);

// The text without the characters XML 1.0 cannot carry (control characters,
// lone surrogates): a title written into an XML file or a tag.
QString bezZnakowSpozaXml(const QString& text);
