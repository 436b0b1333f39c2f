#pragma once
// The command-line tools answer alike: --help prints their help, --version
// their version, and wrong arguments end them with status 2 and one line on
// the standard error output.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// An option and its help line: "--dokladny-indeks", or one that takes a
// value ("--tytul TEKST" or "--tytul=TEKST") when `wartosc` names it.
struct OpcjaNarzedzia {
    QString nazwa;
    QString opis;
    QString wartosc{}; // the value's name in the help ("TEKST"); empty: no value
    // The value may be left out; it is then only ever given after "="
    // ("--wyrownaj-glosnosc" or "--wyrownaj-glosnosc=-16"), and the option
    // counts among `opcje` either way.
    bool wartoscNieobowiazkowa = false;
};

struct OpisNarzedzia {
    QString nazwa;                  // as installed: "sonvek-merge"
    QString argumenty;              // the arguments of the usage line: "PROJEKT.xml SCALONY.mp3"
    QString opis;                   // the help text after the usage line
    qsizetype liczbaArgumentow = 0; // -1: one or more
    QList<OpcjaNarzedzia> opcje{};  // the tool's own options, listed in its help
};

struct RozbiorArgumentow {
    QStringList argumenty;              // the positional arguments, options removed
    std::optional<int> kodWyjscia;      // set when the tool has nothing more to do
    QStringList opcje{};                // the tool's own options given, each once
    QHash<QString, QString> wartosci{}; // the values of options that take one (the last given)
};

// "sonvek-merge (SonvekManager) 1.0.0"; the program itself: "SonvekManager 1.0.0"
QString tekstWersji(const QString& nazwa);

// Reads the arguments that follow the program's name. "-h"/"--help" and
// "-V"/"--version" print to `wyjscie` and give status 0; an unknown option or
// a wrong number of arguments or an option without its value prints one line to `bledy` and gives
// status 2.
// "--" ends the options, so a file whose name starts with "-" can be named.
RozbiorArgumentow rozbierzArgumenty(const OpisNarzedzia& narzedzie, const QStringList& argumenty,
                                    QTextStream& wyjscie, QTextStream& bledy);
