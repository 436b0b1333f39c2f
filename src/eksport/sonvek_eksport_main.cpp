// sonvek-eksport [options] PROJECT.xml: the export of the program's "Eksportuj
// książkę..." without windows. --daisy FOLDER makes a DAISY 2.02 talking
// book, --rozdzialy FILE.mp3 one MP3 file with chapters; the book's details
// come from the options, else from the project file, else from the entries'
// tags and the project's name. An existing target is replaced only with
// --zastap. With --wyrownaj-glosnosc[=LUFS] the audio of both forms is
// levelled as a levelled merge levels its book. Exit status 0 on success, 1 on failure (nothing
// written), 2 for wrong arguments. SIGINT, SIGTERM and SIGHUP stop the export, which then removes
// what it wrote.

#include "audio/Glosnosc.h"
#include "base/CommandLine.h"
#include "base/Errors.h"
#include "base/ZapisAtomowy.h"
#include "eksport/EksportKsiazki.h"
#include "project/ProjectFile.h"
#include "settings/Konfiguracja.h"
#include "settings/SettingsStore.h"

#include <QCoreApplication>
#include <QFileInfo>
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

volatile std::sig_atomic_t g_przerwij = 0;

extern "C" void naSygnal(int) {
    g_przerwij = 1;
}

const QString kDaisy = QStringLiteral("--daisy");
const QString kRozdzialy = QStringLiteral("--rozdzialy");
const QString kZastap = QStringLiteral("--zastap");
const QString kWyrownaj = QStringLiteral("--wyrownaj-glosnosc");

struct OpcjaOpisu {
    const char* nazwa;
    QString OpisKsiazki::*pole;
    const char* wartosc;
    const char* opis;
};
const OpcjaOpisu kOpcjeOpisu[] = {
    {"--tytul", &OpisKsiazki::tytul, "TEKST", "tytuł książki (the title)"},
    {"--autor", &OpisKsiazki::autor, "TEKST", "autor (the author)"},
    {"--lektor", &OpisKsiazki::lektor, "TEKST", "lektor (the narrator)"},
    {"--jezyk", &OpisKsiazki::jezyk, "KOD", "kod języka, domyślnie pl (language tag)"},
    {"--rok", &OpisKsiazki::rok, "ROK", "rok wydania (the year)"},
    {"--wydawca", &OpisKsiazki::wydawca, "TEKST", "wydawca (the publisher)"},
    {"--okladka", &OpisKsiazki::okladka, "PLIK",
     "okładka: obraz JPEG albo PNG do 5 MB (cover picture)"},
};

OpisNarzedzia narzedzie() {
    OpisNarzedzia o{
        QStringLiteral("sonvek-eksport"),
        QStringLiteral("[--daisy FOLDER] [--rozdzialy PLIK.mp3] [opcje] PROJEKT.xml"),
        QStringLiteral(
            "Eksportuje książkę zapisanego projektu jako książkę DAISY 2.02 (folder z plikiem\n"
            "ncc.html) i jako jeden plik MP3 z rozdziałami, tak jak polecenie \u201eEksportuj\n"
            "książkę...\u201d programu. Jeden rozdział na pozycję projektu.\n"
            "Exports a saved project as a DAISY 2.02 talking book and as one MP3 file with\n"
            "ID3v2 chapters, as the program's export window does.\n\n"
            "Kod wyjścia (exit status): 0 gotowe, 1 eksport się nie udał, 2 złe argumenty."),
        1,
        {{kDaisy, QStringLiteral("tworzy książkę DAISY 2.02 w tym folderze (a DAISY book)"),
          QStringLiteral("FOLDER")},
         {kRozdzialy, QStringLiteral("tworzy plik MP3 z rozdziałami (an MP3 with chapters)"),
          QStringLiteral("PLIK.mp3")}}};
    for (const OpcjaOpisu& opcja : kOpcjeOpisu)
        o.opcje.append({QString::fromLatin1(opcja.nazwa), QString::fromUtf8(opcja.opis),
                        QString::fromLatin1(opcja.wartosc)});
    o.opcje.append(
        {kWyrownaj,
         QStringLiteral("wyrównuje głośność plików do podanej (od -40 do -5 LUFS, domyślnie\n"
                        "-18) bez ponownego kodowania, tak jak scalanie z tą opcją; dziennik\n"
                        "podaje krok każdego pliku (levels the files' loudness as a levelled\n"
                        "merge does)"),
         QStringLiteral("LUFS"), true});
    o.opcje.append({kZastap, QStringLiteral("zastępuje istniejący folder lub plik wyniku\n"
                                            "(replaces an existing target)")});
    return o;
}

// The store folder of the program's settings, which no export may replace;
// empty when there are none.
QString magazyn() {
    try {
        Konfiguracja k;
        odczytajKonfiguracje(SettingsStore(SettingsStore::defaultFolder()), k);
        return k.Magazyn;
    } catch (const SonvekError&) {
    }
    return QString();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const RozbiorArgumentow rozbior =
        rozbierzArgumenty(narzedzie(), QCoreApplication::arguments().mid(1), wyjscie(), bledy());
    if (rozbior.kodWyjscia)
        return *rozbior.kodWyjscia;
    // A target that is no loudness is a wrong argument, told before any work.
    std::optional<double> cel;
    if (rozbior.opcje.contains(kWyrownaj)) {
        cel =
            celZOpcji(rozbior.wartosci.value(kWyrownaj), QStringLiteral("sonvek-eksport"), bledy());
        if (!cel)
            return 2;
    }
    std::signal(SIGINT, naSygnal);
    std::signal(SIGTERM, naSygnal);
#ifdef SIGHUP
    std::signal(SIGHUP, naSygnal);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
    zapisyPonadLimitZwracajaBlad();
    const QString plikProjektu = rozbior.argumenty.at(0);
    try {
        const std::optional<PozycjePlikuProjektu> wczytane =
            wczytajProjektNarzedzia(plikProjektu, bledy());
        if (!wczytane)
            return 1;
        OpisKsiazki opis = uzupelnijOpis(wczytane->opis, wczytane->pozycje, plikProjektu);
        for (const OpcjaOpisu& opcja : kOpcjeOpisu) {
            const QString nazwa = QString::fromLatin1(opcja.nazwa);
            if (rozbior.wartosci.contains(nazwa))
                opis.*opcja.pole = rozbior.wartosci.value(nazwa);
        }
        EksportKsiazki eksport(wczytane->pozycje, opis);
        eksport.plikProjektu = plikProjektu;
        auto bezwzgledna = [](const QString& s) {
            return s.isEmpty() ? s : QFileInfo(s).absoluteFilePath();
        };
        eksport.folderDaisy = bezwzgledna(rozbior.wartosci.value(kDaisy));
        eksport.plikRozdzialow = bezwzgledna(rozbior.wartosci.value(kRozdzialy));
        eksport.zastap = rozbior.opcje.contains(kZastap);
        eksport.celGlosnosci = cel;
        eksport.magazyn = magazyn();
        eksport.dziennik = [](const QString& linia) { wyjscie() << linia << Qt::endl; };
        eksport.przerwac = [] { return g_przerwij != 0; };
        eksport.wykonaj();
        return 0;
    } catch (const std::exception& e) {
        bledy() << "Błąd: " << errorMessage(e) << Qt::endl;
        return 1;
    }
}
