#pragma once
// The system's error numbers in Polish, for the messages users read: the
// system's own texts follow the machine's language and are often English.

#include <QString>

// What went wrong, in a few Polish words that fit after "Nie można zapisać
// pliku X: ". A file-size limit (ulimit -f) is named with its value; an
// error number the program does not expect keeps the system's text after
// its number.
QString opisBleduSystemu(int numer);
