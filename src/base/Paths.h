#pragma once
// Path helpers on the native folder separator ('/' here, '\' on Windows).

#include <QChar>
#include <QString>

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
