// sonvek-karta: the books on a memory card from the command line.
//   sonvek-karta KARTA                       lists the books
//   sonvek-karta --usun NAZWA KARTA          removes one book, its three files together
//   sonvek-karta --sprawdz MAGAZYN KARTA     checks every book against the store
//   sonvek-karta --kopiuj KSIAZKA.mp3... KARTA  copies several books in one go
// Exit status 0 when all went well, 1 when something failed (said on the
// standard error output), 2 for wrong usage.

#include "base/CommandLine.h"
#include "base/Errors.h"
#include "base/ZapisAtomowy.h"
#include "card/CardFiles.h"
#include "card/KartaKsiazek.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

const QString kUsun = QStringLiteral("--usun");
const QString kSprawdz = QStringLiteral("--sprawdz");
const QString kKopiuj = QStringLiteral("--kopiuj");

OpisNarzedzia narzedzie() {
    return {
        QStringLiteral("sonvek-karta"),
        QStringLiteral("[--usun NAZWA | --sprawdz MAGAZYN | --kopiuj KSIĄŻKA.mp3...] KARTA"),
        QStringLiteral(
            "Książki na karcie odtwarzacza (KARTA to punkt montowania karty).\n"
            "Lists, removes, checks and copies the books on the player's memory card.\n\n"
            "Bez opcji wypisuje książki z głównego folderu karty, po jednej w wierszu,\n"
            "pola rozdzielone tabulatorem: nazwa pliku audio, rozmiar w bajtach, długość\n"
            "(g:mm:ss, „-” gdy nieznana), liczba zakładek, „pełna” albo „niepełna (brak\n"
            "…)”; na końcu wiersz „wolne”, wolne bajty i wszystkie bajty karty.\n"
            "Plik player.dat i obce pliki są pomijane.\n\n"
            "Kod wyjścia (exit status): 0 gdy wszystko się udało, 1 gdy coś się nie\n"
            "udało (opis na standardowym wyjściu błędów), 2 przy złych argumentach."),
        -1,
        {{kUsun, QStringLiteral("usuwa książkę NAZWA (jak w wykazie) razem z plikami .dat i .log"),
          QStringLiteral("NAZWA")},
         {kSprawdz,
          QStringLiteral("porównuje każdą książkę z karty z książką o tej nazwie w MAGAZYNIE"),
          QStringLiteral("MAGAZYN")},
         {kKopiuj, QStringLiteral("kopiuje książki z magazynu na kartę (z plikami .dat i .log),\n"
                                  "najpierw sprawdzając miejsce na wszystkie razem")}}};
}

int zleArgumenty(QTextStream& bledy, const QString& problem) {
    bledy << "sonvek-karta: " << problem << " (pomoc: sonvek-karta --help)" << Qt::endl;
    return 2;
}

void wypiszWykaz(QTextStream& wyjscie, const ZawartoscKarty& karta) {
    for (const KsiazkaNaKarcieOpis& k : karta.ksiazki) {
        wyjscie << k.nazwa << '\t' << k.rozmiar << '\t'
                << (k.dlugoscMs ? czasGodzinny(*k.dlugoscMs) : QStringLiteral("-")) << '\t'
                << k.zakladki << '\t'
                << (k.pelna() ? QStringLiteral("pełna")
                              : QStringLiteral("niepełna (%1)").arg(k.brakuje()))
                << '\n';
    }
    wyjscie << "wolne\t" << karta.wolne << '\t' << karta.razem << Qt::endl;
}

int usun(const QString& nazwa, const QString& korzen, const SystemoweWolneMiejsce& zrodlo,
         QTextStream& wyjscie, QTextStream& bledy) {
    const ZawartoscKarty karta = przegladajKarte(korzen, zrodlo);
    const KsiazkaNaKarcieOpis* ksiazka = nullptr;
    for (const KsiazkaNaKarcieOpis& k : karta.ksiazki) {
        if (k.nazwa == nazwa || (!ksiazka && k.nazwa.compare(nazwa, Qt::CaseInsensitive) == 0))
            ksiazka = &k;
    }
    if (!ksiazka) {
        bledy << "Na karcie nie ma książki " << nazwa << '.' << Qt::endl;
        return 1;
    }
    const RaportUsuwania raport = usunKsiazkeZKarty(ksiazka->pliki(), korzen);
    if (!raport.udane) {
        bledy << "Nie usunięto książki " << ksiazka->nazwa << ": " << raport.blad << Qt::endl;
        return 1;
    }
    const auto pomiar = zmierzKarte(korzen, zrodlo);
    wyjscie << "Usunięto książkę " << ksiazka->nazwa << " (" << ksiazka->pliki().join(u", ") << ")."
            << Qt::endl;
    if (pomiar)
        wyjscie << "wolne\t" << wolneBajty(*pomiar) << Qt::endl;
    return 0;
}

int sprawdz(const QString& magazyn, const QString& korzen, const SystemoweWolneMiejsce& zrodlo,
            QTextStream& wyjscie, QTextStream& bledy) {
    const ZawartoscKarty karta = przegladajKarte(korzen, zrodlo);
    int kod = 0;
    for (const KsiazkaNaKarcieOpis& k : karta.ksiazki) {
        QString wynik, opis;
        const QStringList pliki = plikiKsiazki(QDir(magazyn).filePath(k.nazwa));
        if (!k.pelna()) {
            wynik = QStringLiteral("niepełna");
            opis =
                QStringLiteral("Książka %1 na karcie jest niepełna: %2.").arg(k.nazwa, k.brakuje());
        } else if (!QFileInfo(pliki.at(0)).isFile() || !QFileInfo(pliki.at(1)).isFile() ||
                   !QFileInfo(pliki.at(2)).isFile()) {
            wynik = QStringLiteral("brak w magazynie");
            opis = QStringLiteral("W magazynie %1 nie ma całej książki %2.").arg(magazyn, k.nazwa);
        } else {
            const RaportSprawdzenia r = sprawdzKsiazkeNaKarcie(pliki, korzen, {});
            wynik = r.wynik == WynikSprawdzenia::Zgodna      ? QStringLiteral("zgodna")
                    : r.wynik == WynikSprawdzenia::Niezgodna ? QStringLiteral("niezgodna")
                                                             : QStringLiteral("błąd");
            if (r.wynik != WynikSprawdzenia::Zgodna)
                opis = k.nazwa + QStringLiteral(": ") + r.opis;
        }
        wyjscie << k.nazwa << '\t' << wynik << Qt::endl;
        if (!opis.isEmpty()) {
            bledy << opis << Qt::endl;
            kod = 1;
        }
    }
    return kod;
}

} // namespace

int main(int argc, char* argv[]) {
    zapisyPonadLimitZwracajaBlad();
    QCoreApplication app(argc, argv);
    QTextStream wyjscie(stdout), bledy(stderr);
    const RozbiorArgumentow rozbior =
        rozbierzArgumenty(narzedzie(), QCoreApplication::arguments().mid(1), wyjscie, bledy);
    if (rozbior.kodWyjscia)
        return *rozbior.kodWyjscia;
    const bool usuwanie = rozbior.wartosci.contains(kUsun);
    const bool sprawdzanie = rozbior.wartosci.contains(kSprawdz);
    const bool kopiowanie = rozbior.opcje.contains(kKopiuj);
    if (int(usuwanie) + int(sprawdzanie) + int(kopiowanie) > 1)
        return zleArgumenty(bledy,
                            QStringLiteral("opcje --usun, --sprawdz i --kopiuj wykluczają się"));
    const QStringList& argumenty = rozbior.argumenty;
    if (kopiowanie ? argumenty.size() < 2 : argumenty.size() != 1)
        return zleArgumenty(bledy, kopiowanie
                                       ? QStringLiteral("podaj książki do skopiowania i kartę")
                                       : QStringLiteral("podaj jedną kartę"));
    const QString korzen =
        korzenKarty(QDir::cleanPath(QFileInfo(argumenty.last()).absoluteFilePath()));
    const SystemoweWolneMiejsce zrodlo;
    try {
        if (usuwanie)
            return usun(rozbior.wartosci.value(kUsun), korzen, zrodlo, wyjscie, bledy);
        if (sprawdzanie)
            return sprawdz(rozbior.wartosci.value(kSprawdz), korzen, zrodlo, wyjscie, bledy);
        if (kopiowanie) {
            const RaportKopiiWielu raport =
                kopiujKsiazkiNaKarte(argumenty.mid(0, argumenty.size() - 1), korzen, zrodlo);
            (raport.wszystkie() ? wyjscie : bledy) << raport.podsumowanie() << Qt::endl;
            return raport.wszystkie() ? 0 : 1;
        }
        const ZawartoscKarty karta = przegladajKarte(korzen, zrodlo);
        if (!karta.dokonczenie.isEmpty())
            bledy << karta.dokonczenie << Qt::endl;
        wypiszWykaz(wyjscie, karta);
        return 0;
    } catch (const std::exception& e) {
        bledy << "Błąd: " << errorMessage(e) << Qt::endl;
        return 1;
    }
}
