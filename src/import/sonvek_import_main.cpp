// sonvek-import [options] SOURCE... PROJECT.xml: the import of the program's
// "Importuj książkę..." without windows. Reads DAISY 2.02 and DAISY 3 books,
// cue sheets, audio files with chapters and plain audio files or folders of
// them, and writes a new project with one entry per chapter and the
// chapters' MP3 files in a new folder beside it. --lista prints what was
// found and writes nothing. Exit status 0 on success, 1 on failure (nothing
// written), 2 for wrong arguments. SIGINT, SIGTERM and SIGHUP stop the
// import, which then removes what it wrote.

#include "base/CommandLine.h"
#include "base/Errors.h"
#include "base/Text.h"
#include "base/ZapisAtomowy.h"
#include "import/ImportKsiazki.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>

namespace {

QTextStream& wyjscie() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& bledy() {
    static QTextStream s(stderr);
    return s;
}

std::atomic_bool g_przerwij{false};

extern "C" void naSygnal(int) {
    g_przerwij = true;
}

const QString kKbps = QStringLiteral("--kbps");
const QString kMono = QStringLiteral("--mono");
const QString kStereo = QStringLiteral("--stereo");
const QString kCzestotliwosc = QStringLiteral("--hz");
const QString kLista = QStringLiteral("--lista");

OpisNarzedzia narzedzie() {
    return {QStringLiteral("sonvek-import"),
            QStringLiteral("[opcje] ŹRÓDŁO... PROJEKT.xml"),
            QStringLiteral(
                "Importuje książkę jako nowy projekt, tak jak polecenie \u201eImportuj "
                "książkę...\u201d\n"
                "programu: książkę DAISY 2.02 lub DAISY 3 (folder albo ncc.html, plik OPF),\n"
                "arkusz CUE, plik z rozdziałami (M4B, MP3, Ogg, Matroska) albo pliki dźwiękowe\n"
                "i foldery z nimi. Jeden wpis na rozdział; pliki rozdziałów trafiają do nowego\n"
                "folderu obok projektu, nazwanego jak on. MP3 jest tylko cięte, reszta kodowana\n"
                "do MP3 (domyślnie 64 kb/s mono, 44100 Hz). Istniejący projekt ani folder nie\n"
                "jest nigdy zastępowany.\n"
                "Imports a book as a new project: one entry per chapter, the chapters' MP3\n"
                "files in a new folder beside the project.\n\n"
                "Kod wyjścia (exit status): 0 gotowe, 1 import się nie udał, 2 złe argumenty."),
            -1,
            {{kLista, QStringLiteral("wypisuje, co znaleziono, i niczego nie zapisuje\n"
                                     "(lists the chapters found, writes nothing)")},
             {kKbps, QStringLiteral("przepływność MP3, domyślnie 64 (bit rate)"),
              QStringLiteral("KB/S")},
             {kMono, QStringLiteral("koduje jeden kanał (mono)")},
             {kStereo, QStringLiteral("koduje dwa kanały (stereo)")},
             {kCzestotliwosc,
              QStringLiteral("częstotliwość próbkowania, domyślnie jak MP3 źródła,\n"
                             "inaczej 44100 (sample rate)"),
              QStringLiteral("HZ")}}};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    zapisyPonadLimitZwracajaBlad();
    const RozbiorArgumentow rozbior =
        rozbierzArgumenty(narzedzie(), QCoreApplication::arguments().mid(1), wyjscie(), bledy());
    if (rozbior.kodWyjscia)
        return *rozbior.kodWyjscia;
    const bool lista = rozbior.opcje.contains(kLista);
    QStringList zrodla = rozbior.argumenty;
    auto zle = [](const QString& tekst) {
        bledy() << "sonvek-import: " << tekst
                << "\nUżycie: sonvek-import [opcje] ŹRÓDŁO... "
                   "PROJEKT.xml (--help: pomoc)"
                << Qt::endl;
        return 2;
    };
    if (!lista && zrodla.size() < 2)
        return zle(QStringLiteral("podaj źródło i plik projektu"));
    const QString projekt = lista ? QString() : zrodla.takeLast();
    if (rozbior.opcje.contains(kMono) && rozbior.opcje.contains(kStereo))
        return zle(QStringLiteral("--mono i --stereo wykluczają się"));
    ImportKsiazki import(zrodla);
    for (const auto& [opcja, pole] : {std::pair{kKbps, &FormatKodowania::kbps},
                                      std::pair{kCzestotliwosc, &FormatKodowania::czestotliwosc}}) {
        if (!rozbior.wartosci.contains(opcja))
            continue;
        const auto v = tryStrToInt(rozbior.wartosci.value(opcja));
        if (!v || *v <= 0)
            return zle(QStringLiteral("%1 wymaga liczby dodatniej").arg(opcja));
        import.kodowanie.*pole = *v;
    }
    if (rozbior.opcje.contains(kMono))
        import.kodowanie.kanaly = 1;
    if (rozbior.opcje.contains(kStereo))
        import.kodowanie.kanaly = 2;

    std::signal(SIGINT, naSygnal);
    std::signal(SIGTERM, naSygnal);
#ifdef SIGHUP
    std::signal(SIGHUP, naSygnal);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    import.przerwanie = &g_przerwij;
    import.przerwac = [] { return g_przerwij.load();
};
import.dziennik = [](const QString& linia) { wyjscie() << linia << Qt::endl;
}
;
try {
    if (lista) {
        for (const QString& linia : linieZnalezionych(import.czytaj()))
            wyjscie() << linia << '\n';
        wyjscie().flush();
        return 0;
    }
    import.czytaj();
    for (const QString& linia : linieZnalezionych(import.znalezione()))
        wyjscie() << linia << '\n';
    import.zapisz(projekt);
    return 0;
} catch (const std::exception& e) {
    bledy() << "Błąd: " << errorMessage(e) << Qt::endl;
    return 1;
}
}
