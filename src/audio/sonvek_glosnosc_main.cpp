// sonvek-glosnosc [--cel LUFS] FILE.mp3...: the loudness of each file as the
// merge's levelling sees it. One line per file: integrated loudness (LUFS),
// TAB, true peak (dBTP), TAB, the gain step levelling would give it (dB),
// TAB, the path; numbers with a decimal point, "-" where there is none
// (silence, or a file that could not be read). Exit status 0; 1 when a file
// could not be read (the error goes to the standard error output); 2 for
// wrong arguments.

#include "audio/Glosnosc.h"
#include "base/CommandLine.h"
#include "base/Errors.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

const QString kOpcjaCel = QStringLiteral("--cel");

OpisNarzedzia narzedzie() {
    return {QStringLiteral("sonvek-glosnosc"),
            QStringLiteral("[--cel LUFS] PLIK.mp3..."),
            QStringLiteral(
                "Dla każdego pliku wypisuje wiersz: głośność zintegrowaną (EBU R128, LUFS),\n"
                "tabulator, szczyt rzeczywisty (dBTP), tabulator, zmianę wzmocnienia, którą\n"
                "dostałby przy wyrównaniu głośności (dB, w krokach po 1,5 dB), tabulator,\n"
                "ścieżkę pliku. Gdzie liczby nie ma (cisza, błąd odczytu), stoi „-”.\n"
                "Prints the loudness, true peak and levelling gain step of each MP3 file.\n\n"
                "Kod wyjścia (exit status): 0 gdy wszystkie pliki dało się odczytać, 1 gdy\n"
                "któregoś nie (błąd na standardowym wyjściu błędów), 2 przy złych argumentach."),
            -1,
            {{kOpcjaCel,
              QStringLiteral("docelowa głośność, od -40 do -5 LUFS; domyślnie -18\n"
                             "(the target loudness the step aims at)"),
              QStringLiteral("LUFS")}}};
}

QString liczba(double v) {
    return QString::number(v, 'f', 1);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream wyjscie(stdout), bledy(stderr);
    const OpisNarzedzia opis = narzedzie();
    const RozbiorArgumentow rozbior =
        rozbierzArgumenty(opis, QCoreApplication::arguments().mid(1), wyjscie, bledy);
    if (rozbior.kodWyjscia)
        return *rozbior.kodWyjscia;
    double cel = kDomyslnyCelLufs;
    if (rozbior.wartosci.contains(kOpcjaCel)) {
        const std::optional<double> c = celGlosnosci(rozbior.wartosci.value(kOpcjaCel));
        if (!c) {
            bledy << "sonvek-glosnosc: głośność docelowa „" << rozbior.wartosci.value(kOpcjaCel)
                  << "” nie jest liczbą LUFS od -40 do -5 (pomoc: sonvek-glosnosc --help)"
                  << Qt::endl;
            return 2;
        }
        cel = *c;
    }

    int kod = 0;
    for (const QString& plik : rozbior.argumenty) {
        QString wiersz = QStringLiteral("-\t-\t-");
        try {
            if (const std::optional<PomiarGlosnosci> p = zmierzGlosnosc(plik)) {
                const KrokGlosnosci krok = krokGlosnosci(*p, cel);
                const QString krokDb =
                    (krok.kroki > 0 ? QStringLiteral("+") : QString()) + liczba(krok.decybele());
                wiersz = QStringLiteral("%1\t%2\t%3")
                             .arg(p->glosnoscLufs ? liczba(*p->glosnoscLufs) : QStringLiteral("-"),
                                  liczba(p->szczytDbtp), krokDb);
            }
        } catch (const std::exception& e) {
            bledy << "Błąd: " << errorMessage(e) << Qt::endl;
            kod = 1;
        }
        wyjscie << wiersz << '\t' << plik << Qt::endl;
    }
    return kod;
}
