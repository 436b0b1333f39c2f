#pragma once
// The command-line tools answer alike: --help prints their help, --version
// their version, and wrong arguments end them with status 2 and one line on
// the standard error output.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

// An option and its help line: "--dokladny-indeks", or one that may be
// given a value after "=" ("--wyrownaj-glosnosc=-16").
struct OpcjaNarzedzia {
    QString nazwa;
    QString opis;
    bool zWartoscia = false;
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
    QHash<QString, QString> wartosci{}; // values given to options, by option name
};

// "sonvek-merge (SonvekManager) 1.0.0"; the program itself: "SonvekManager 1.0.0"
QString tekstWersji(const QString& nazwa);

// Reads the arguments that follow the program's name. "-h"/"--help" and
// "-V"/"--version" print to `wyjscie` and give status 0; an unknown option or
// a wrong number of arguments prints one line to `bledy` and gives status 2.
// "--" ends the options, so a file whose name starts with "-" can be named.
RozbiorArgumentow rozbierzArgumenty(const OpisNarzedzia& narzedzie, const QStringList& argumenty,
                                    QTextStream& wyjscie, QTextStream& bledy);
