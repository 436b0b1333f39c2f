// sonvek-zakladki [--przerwa MS] FILE.mp3...: where the spoken title of each
// file lies, as the bookmark that would cover it. One line per file: start,
// TAB, length, TAB, the path (ms; "-" for both when no title was found).
// Exit status 0; 1 when a file could not be read (its line has "-" and the
// error goes to the standard error output); 2 for wrong arguments.

#include "audio/WykrywanieTytulu.h"
#include "base/Errors.h"
#include "base/ZapisAtomowy.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

constexpr int kNajkrotszaPrzerwaMs = 10;
const char* const kUzycie = "sonvek-zakladki [--przerwa MS] PLIK.mp3...";

const char* const kPomoc =
    "Dla każdego pliku wypisuje wiersz: początek zakładki, tabulator, długość\n"
    "zakładki, tabulator, ścieżka pliku (czasy w milisekundach). Zakładka obejmuje\n"
    "tytuł wypowiedziany na początku pliku, aż do pierwszej przerwy w mowie. Gdy\n"
    "w pierwszej minucie pliku nie ma takiej przerwy, zamiast liczb stoi „-”.\n"
    "Prints the bookmark over the spoken title at the beginning of each MP3 file.\n"
    "\n"
    "Kod wyjścia: 0 gdy wszystkie pliki dało się odczytać, 1 gdy któregoś nie\n"
    "(błąd na standardowym wyjściu błędów), 2 przy błędnych argumentach.\n"
    "\n"
    "  --przerwa MS   najkrótsza przerwa po tytule w ms (domyślnie 700)\n"
    "  -h, --help     pokazuje tę pomoc\n"
    "  -V, --version  pokazuje wersję programu\n"
    "  --             kończy opcje: dalej są już tylko nazwy plików\n";

int zleArgumenty(QTextStream& bledy, const QString& problem) {
    bledy << "sonvek-zakladki: " << problem << ". Użycie: " << kUzycie
          << " (pomoc: sonvek-zakladki --help)" << Qt::endl;
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    zapisyPonadLimitZwracajaBlad();
    QCoreApplication app(argc, argv);
    QTextStream wyjscie(stdout), bledy(stderr);
    QStringList argumenty = QCoreApplication::arguments().mid(1);
    int przerwaMs = kDomyslnaPrzerwaMs;
    QStringList pliki;
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
        } else if (opcje && a.startsWith(QLatin1Char('-')) && a != QStringLiteral("-")) {
            return zleArgumenty(bledy, QStringLiteral("nieznana opcja „%1”").arg(a));
        } else {
            pliki.append(a);
        }
    }
    if (pliki.isEmpty())
        return zleArgumenty(bledy, QStringLiteral("nie podano żadnego pliku MP3"));

    int kod = 0;
    for (const QString& plik : std::as_const(pliki)) {
        QString wiersz = QStringLiteral("-\t-");
        try {
            if (const std::optional<WykrytyTytul> t = wykryjTytul(plik, przerwaMs))
                wiersz = QStringLiteral("%1\t%2").arg(t->poczatekMs).arg(t->dlugoscMs);
        } catch (const std::exception& e) {
            bledy << "Błąd: " << errorMessage(e) << Qt::endl;
            kod = 1;
        }
        wyjscie << wiersz << '\t' << plik << Qt::endl;
    }
    return kod;
}
