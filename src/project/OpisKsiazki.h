#pragma once
// What a book says of itself when it is exported for other players: its
// title, author, narrator, language, year, publisher and cover picture. Kept
// with the project (as attributes of the project file's root element), so
// that the next export starts from them.

#include <QString>

struct OpisKsiazki {
    QString tytul;
    QString autor;
    QString lektor;
    QString jezyk; // a language tag such as "pl"; empty: not given
    QString rok;
    QString wydawca;
    QString okladka; // path of a JPEG or PNG picture; empty: none

    bool pusty() const { return *this == OpisKsiazki{}; }
    bool operator==(const OpisKsiazki&) const = default;
};
