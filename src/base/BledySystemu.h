#pragma once
// The system's reason for a failed file operation, in Polish: the words a
// user reads after "Nie można zapisać pliku …:". Every message of the
// program that carries an error number goes through this, so no English
// system text reaches the user.

#include <QString>

// The reason for the error number `numer` (errno), in Polish. An unusual
// number is named with its value, never in the system's own words.
QString powodBleduSystemu(int numer);
