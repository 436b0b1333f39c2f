// The card's work as whole processes, for bench/card.sh, exactly as the
// program does it:
//
//   bench_card BOOK CARD_FOLDER          copies one book (its audio file with
//                                        the .dat and .log beside it), reads
//                                        every file back past the system's
//                                        cache and compares it with the store
//   bench_card BOOK... CARD_FOLDER       several books in one go (room checked
//                                        for all first), each as above
//   bench_card --lista CARD_FOLDER       lists the books on the card
//
// The folder stands in for a card whether or not a volume is mounted on it.
// Exits 0 when all went well.

#include "card/KartaKsiazek.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

// The system's figures for any folder, mounted or not.
class FolderJakoKarta final : public ZrodloWolnegoMiejsca {
public:
    std::optional<MiaraWoluminu> zmierz(const QString& folder) const override {
        return system.zmierz(folder);
    }
    bool zamontowany(const QString&) const override { return true; }
    SystemoweWolneMiejsce system;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: bench_card BOOK... CARD_FOLDER | --lista CARD_FOLDER\n");
        return 2;
    }
    const QString karta = QDir(args.last()).absolutePath() + QLatin1Char('/');
    const FolderJakoKarta zrodlo;
    if (args.at(1) == QStringLiteral("--lista")) {
        const ZawartoscKarty zawartosc = przegladajKarte(karta, zrodlo);
        std::printf("%lld books\n", static_cast<long long>(zawartosc.ksiazki.size()));
        return 0;
    }
    QStringList ksiazki;
    for (const QString& ksiazka : args.mid(1, args.size() - 2))
        ksiazki.append(QDir(ksiazka).absolutePath());
    if (ksiazki.size() == 1) {
        ObslugaKopiowania obsluga;
        obsluga.czyZamienic = [](const QString&) { return true; };
        const RaportKopiowania raport =
            kopiujKsiazkeNaKarte(plikiKsiazki(ksiazki.first()), karta, obsluga);
        if (!raport.udane())
            std::fprintf(stderr, "%s\n", qPrintable(raport.blad));
        return raport.udane() ? 0 : 1;
    }
    const RaportKopiiWielu raport = kopiujKsiazkiNaKarte(ksiazki, karta, zrodlo);
    if (!raport.wszystkie())
        std::fprintf(stderr, "%s\n", qPrintable(raport.podsumowanie()));
    return raport.wszystkie() ? 0 : 1;
}
