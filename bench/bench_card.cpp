// The card copy as one whole process, for bench/card.sh: copies a book (its
// audio file with the .dat and .log beside it) into a folder standing in for
// the card, reads every file back past the system's cache and compares it
// with the store, exactly as "Kopiuj na kartę" does.
//
//   bench_card BOOK CARD_FOLDER
//
// Exits 0 when the book is on the card and equal to the store.

#include "card/KsiazkaNaKarcie.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_card BOOK CARD_FOLDER\n");
        return 2;
    }
    const QString ksiazka = QDir(args.at(1)).absolutePath();
    const QString baza = ksiazka.chopped(3);
    ObslugaKopiowania obsluga;
    obsluga.czyZamienic = [](const QString&) { return true; };
    const RaportKopiowania raport =
        kopiujKsiazkeNaKarte({ksiazka, baza + QStringLiteral("dat"), baza + QStringLiteral("log")},
                             QDir(args.at(2)).absolutePath() + QLatin1Char('/'), obsluga);
    if (!raport.udane()) {
        std::fprintf(stderr, "%s\n", qPrintable(raport.blad));
        return 1;
    }
    return 0;
}
