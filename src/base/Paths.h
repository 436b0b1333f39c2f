#pragma once
// Path helpers on the native folder separator ('/' here, '\' on Windows).

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringView>

QChar separatorFolderow();

// The file-name part of a path; a path ending in a separator gives its last
// folder's name; a text without a separator is returned whole.
QString ExNazwaPliku(const QString& path);
// The folder part of a path up to and including its last separator; empty
// when there is none.
QString ExSciezka(const QString& path);
// The part after the first dot, repeatedly: "a.b.xml" gives "xml", a name
// ending in a dot gives "", a name without a dot is returned whole.
QString ExRozszerzenie(const QString& name);

// Names as the file system keeps them: bytes, here UTF-8 by convention, yet
// a name made elsewhere (an archive from a computer that used Windows-1250)
// may hold bytes that are not UTF-8, and Qt's own conversions replace such
// bytes for good. nazwaZSystemu keeps each byte of a name that is not part of
// a valid UTF-8 sequence as the lone surrogate U+DC00 + byte (such a unit
// never stands alone in text), so the QString carries the name whole and
// nazwaDlaSystemu gives back the very bytes. Every call that hands a path
// to the system (open, stat, rename) takes it from nazwaDlaSystemu;
// nazwaDoPokazania is what the user sees and hears of such a name.
QString nazwaZSystemu(QByteArrayView bajty);
QByteArray nazwaDlaSystemu(QStringView nazwa);
// Whether the name holds bytes kept that way.
bool maSuroweBajty(QStringView nazwa);
// The name with every kept byte shown as U+FFFD (the replacement character).
QString nazwaDoPokazania(const QString& nazwa);
