// sonvek-zakladki [--przerwa MS] FILE.mp3...: where the spoken title of each
// file lies, as the bookmark that would cover it. One line per file: start,
// TAB, length, TAB, the path (ms; "-" for both when no title was found).
// sonvek-zakladki [--przerwa MS] --do-pauz START LENGTH FILE.mp3: the
// bookmark moved onto the pauses around it, in a line of the same form.
// Exit status 0; 1 when a file could not be read (its line has "-" and the
// error goes to the standard error output); 2 for wrong arguments.

#include "audio/DopasowanieDoPrzerw.h"
#include "audio/WykrywanieTytulu.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/ZapisAtomowy.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

constexpr int kNajkrotszaPrzerwaMs = 10;
const char* const kUzycie = "sonvek-zakladki [--przerwa MS] PLIK.mp3... | "
                            "[--przerwa MS] --do-pauz POCZĄTEK DŁUGOŚĆ PLIK.mp3";

const char* const kPomoc =
    "Dla każdego pliku wypisuje wiersz: początek zakładki, tabulator, długość\n"
    "zakładki, tabulator, ścieżka pliku (czasy w milisekundach). Zakładka obejmuje\n"
    "tytuł wypowiedziany na początku pliku, aż do pierwszej przerwy w mowie. Gdy\n"
    "w pierwszej minucie pliku nie ma takiej przerwy, zamiast liczb stoi „-”.\n"
    "Prints the bookmark over the spoken title at the beginning of each MP3 file.\n"
    "\n"
    "Z --do-pauz przesuwa podaną zakładkę (początek i długość w ms) na przerwy:\n"
    "początek na koniec najbliższej przerwy, koniec na początek najbliższej\n"
    "przerwy, każdy o najwyżej 2 s, nigdy za koniec pliku; wypisuje wiersz jak wyżej.\n"
    "With --do-pauz, moves the given bookmark onto the nearest pauses.\n"
    "\n"
    "Kod wyjścia: 0 gdy wszystkie pliki dało się odczytać, 1 gdy któregoś nie\n"
    "(błąd na standardowym wyjściu błędów), 2 przy błędnych argumentach.\n"
    "\n"
    "  --przerwa MS   najkrótsza przerwa po tytule w ms (domyślnie 700)\n"
    "  --do-pauz POCZĄTEK DŁUGOŚĆ PLIK.mp3\n"
    "                 dopasowuje zakładkę jednego pliku do przerw\n"
    "  -h, --help     pokazuje tę pomoc\n"
    "  -V, --version  pokazuje wersję programu\n"
    "  --             kończy opcje: dalej są już tylko nazwy plików\n";

int zleArgumenty(QTextStream& bledy, const QString& problem) {
    bledy << "sonvek-zakladki: " << problem << ". Użycie: " << kUzycie
          << " (pomoc: sonvek-zakladki --help)" << Qt::endl;
    return 2;
}

// --do-pauz START LENGTH FILE: one bookmark moved onto the pauses.
int doPrzerw(const QStringList& argumenty, int przerwaMs, QTextStream& wyjscie,
             QTextStream& bledy) {
    if (argumenty.size() != 3)
        return zleArgumenty(bledy, QStringLiteral("po --do-pauz trzeba podać początek, długość i "
                                                  "jeden plik MP3"));
    std::int32_t liczby[2] = {};
    for (int i = 0; i < 2; ++i) {
        const std::optional<std::int32_t> v = tryStrToInt(argumenty.at(i));
        if (!v || *v < 0)
            return zleArgumenty(
                bledy,
                QStringLiteral("„%1” nie jest liczbą milisekund (od 0)").arg(argumenty.at(i)));
        liczby[i] = *v;
    }
    const QString& plik = argumenty.at(2);
    try {
        const ZakladkaDoPrzerw z = dopasujDoPrzerw(plik, liczby[0], liczby[1], przerwaMs);
        wyjscie << z.poczatekMs << '\t' << z.dlugoscMs << '\t' << nazwaDoPokazania(plik)
                << Qt::endl;
        return 0;
    } catch (const std::exception& e) {
        bledy << "Błąd: " << nazwaDoPokazania(errorMessage(e)) << Qt::endl;
        wyjscie << "-\t-\t" << nazwaDoPokazania(plik) << Qt::endl;
        return 1;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    zapisyPonadLimitZwracajaBlad();
    QCoreApplication app(argc, argv);
    QTextStream wyjscie(stdout), bledy(stderr);
    // Names as the system gave them, bytes that are not UTF-8 kept.
    QStringList argumenty;
    for (int i = 1; i < argc; ++i)
        argumenty << nazwaZSystemu(argv[i]);
    int przerwaMs = kDomyslnaPrzerwaMs;
    QStringList pliki;
    bool doPauz = false;
    bool opcje = true; // until "--"
    while (!argumenty.isEmpty()) {
        const QString a = argumenty.takeFirst();
        if (opcje && (a == QStringLiteral("-h") || a == QStringLiteral("--help"))) {
            wyjscie << "Użycie: " << kUzycie << "\n\n" << kPomoc << Qt::flush;
            return 0;
        }
        if (opcje && (a == QStringLiteral("-V") || a == QStringLiteral("--version"))) {
            wyjscie << "sonvek-zakladki (SonvekManager) " << SONVEK_VERSION << Qt::endl;
            return 0;
        }
        if (opcje && a == QStringLiteral("--")) {
            opcje = false;
        } else if (opcje && a == QStringLiteral("--przerwa")) {
            if (argumenty.isEmpty())
                return zleArgumenty(bledy, QStringLiteral("po --przerwa brak liczby milisekund"));
            bool ok = false;
            const QString liczba = argumenty.takeFirst();
            przerwaMs = liczba.toInt(&ok);
            if (!ok || przerwaMs < kNajkrotszaPrzerwaMs || przerwaMs > kWykrywanieMaksMs)
                return zleArgumenty(bledy,
                                    QStringLiteral("przerwa „%1” nie jest liczbą milisekund od "
                                                   "%2 do %3")
                                        .arg(liczba)
                                        .arg(kNajkrotszaPrzerwaMs)
                                        .arg(kWykrywanieMaksMs));
        } else if (opcje && a == QStringLiteral("--do-pauz")) {
            doPauz = true;
        } else if (opcje && a.startsWith(QLatin1Char('-')) && a != QStringLiteral("-")) {
            return zleArgumenty(bledy, QStringLiteral("nieznana opcja „%1”").arg(a));
        } else {
            pliki.append(a);
        }
    }
    if (doPauz)
        return doPrzerw(pliki, przerwaMs, wyjscie, bledy);
    if (pliki.isEmpty())
        return zleArgumenty(bledy, QStringLiteral("nie podano żadnego pliku MP3"));

    int kod = 0;
    for (const QString& plik : std::as_const(pliki)) {
        QString wiersz = QStringLiteral("-\t-");
        try {
            if (const std::optional<WykrytyTytul> t = wykryjTytul(plik, przerwaMs))
                wiersz = QStringLiteral("%1\t%2").arg(t->poczatekMs).arg(t->dlugoscMs);
        } catch (const std::exception& e) {
            bledy << "Błąd: " << nazwaDoPokazania(errorMessage(e)) << Qt::endl;
            kod = 1;
        }
        wyjscie << wiersz << '\t' << nazwaDoPokazania(plik) << Qt::endl;
    }
    return kod;
}
