// sonvek-merge [--indeks-szacowany] [--wyrownaj-glosnosc[=LUFS]] PROJECT.xml
// MERGED.mp3: the merge of the program's merge dialog, without windows. It
// prints the same log lines, writes the same book and index files (with the
// first option the index estimates each bookmark's place from the book's
// average rate instead of placing it on its frames; --dokladny-indeks, the
// default now, is still accepted; with the second the entries' loudness is
// levelled), and exits with 0 on success; on failure the
// error goes to the standard error output and the exit status is 1 (2 for
// wrong arguments). With --czesci[=MB] the book is written as parts of at
// most 4 GiB less one byte (or MB MiB), each with its own index files. The project is checked as
// the main window loads it before a byte is copied. Ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE
// (its output piped into a program that stops reading), it leaves no temporary file.

#include "audio/Glosnosc.h"
#include "base/CommandLine.h"
#include "base/Errors.h"
#include "base/PlikiTymczasowe.h"
#include "base/Text.h"
#include "base/ZapisAtomowy.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "project/ProjectFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream& wyjscie() {
    static QTextStream s(stdout);
    return s;
}
QTextStream& bledy() {
    static QTextStream s(stderr);
    return s;
}

const QString opcjaDokladnyIndeks = QStringLiteral("--dokladny-indeks");
const QString opcjaIndeksSzacowany = QStringLiteral("--indeks-szacowany");
const QString opcjaWyrownaj = QStringLiteral("--wyrownaj-glosnosc");
const QString opcjaCzesci = QStringLiteral("--czesci");

OpisNarzedzia narzedzie() {
    return {
        QStringLiteral("sonvek-merge"),
        QStringLiteral("[--indeks-szacowany] [--wyrownaj-glosnosc[=LUFS]] [--czesci[=MB]] "
                       "PROJEKT.xml SCALONY.mp3"),
        QStringLiteral(
            "Scala pliki zapisanego projektu w jeden plik MP3 i zapisuje obok niego pliki\n"
            "indeksów .dat i .log, tak jak polecenie \u201eScalaj pliki...\u201d programu.\n"
            "Merges the files of a saved project into one MP3 book with its .dat and .log\n"
            "index files, as the program's merge dialog does.\n\n"
            "Kod wyjścia (exit status): 0 gotowe, 1 scalanie się nie udało, 2 złe argumenty."),
        2,
        {{opcjaIndeksSzacowany,
          QStringLiteral(
              "szacuje położenie każdej zakładki w pliku .dat ze średniej prędkości danych\n"
              "całej książki, zamiast umieścić ją na ramkach dźwięku, od których się zaczyna;\n"
              "gdy pliki mają różne prędkości bitowe albo duże znaczniki, zakładka może wypaść\n"
              "o sekundy obok, a dziennik wymienia takie pozycje (estimates every bookmark\n"
              "from the average data rate instead of placing it on its frames)")},
         {opcjaDokladnyIndeks,
          QStringLiteral("umieszcza każdą zakładkę na jej ramkach dźwięku; tak jest domyślnie\n"
                         "(places every bookmark on its frames; the default)")},
         {opcjaWyrownaj,
          QStringLiteral(
              "wyrównuje głośność plików do podanej (od -40 do -5 LUFS, domyślnie -18) bez\n"
              "ponownego kodowania: wzmocnienie ramek każdego pliku zmienia się o całe kroki\n"
              "po 1,5 dB, a szczyt nie przekracza -1 dBTP; rozmiar książki i pliki indeksów\n"
              "są takie same jak bez tej opcji, a dziennik podaje krok każdego pliku (levels\n"
              "the files' loudness by whole 1.5 dB steps of their frames' gain, without\n"
              "re-encoding)"),
          QStringLiteral("LUFS"), true},
         {opcjaCzesci,
          QStringLiteral(
              "zapisuje książkę w częściach SCALONY-1.mp3, SCALONY-2.mp3, ..., każdą z własnymi\n"
              "plikami .dat i .log i nie większą niż 4 GiB bez jednego bajtu (największy plik,\n"
              "jaki przyjmuje karta FAT) albo niż podane MB (MiB); książka dzieli się między\n"
              "plikami pozycji, nigdy wewnątrz pliku; zastępuje książkę SCALONY.mp3 w jednym\n"
              "pliku, jeśli była (writes the book as parts of at most 4 GiB less one byte, or\n"
              "MB MiB, split between the entries' files)"),
          QStringLiteral("MB"), true}}};
}

} // namespace

int main(int argc, char* argv[]) {
    zapisyPonadLimitZwracajaBlad();
    QCoreApplication app(argc, argv);
    // The XML reader's errors in the window's words.
    polskieTekstyQt();
    const RozbiorArgumentow rozbior =
        rozbierzArgumenty(narzedzie(), QCoreApplication::arguments().mid(1), wyjscie(), bledy());
    if (rozbior.kodWyjscia)
        return *rozbior.kodWyjscia;
    // A target that is no loudness is a wrong argument, told before any work.
    std::optional<double> cel;
    if (rozbior.opcje.contains(opcjaWyrownaj)) {
        cel = celZOpcji(rozbior.wartosci.value(opcjaWyrownaj), QStringLiteral("sonvek-merge"),
                        bledy());
        if (!cel)
            return 2;
    }
    std::int64_t limitCzesci = 0;
    if (rozbior.opcje.contains(opcjaCzesci)) {
        const QString tekst = rozbior.wartosci.value(opcjaCzesci);
        const std::optional<std::int32_t> mb = tekst.isEmpty() ? std::nullopt : tryStrToInt(tekst);
        if (!tekst.isEmpty() && (!mb || *mb < 1)) {
            bledy() << "sonvek-merge: wielkość części \u201e" << tekst
                    << "\u201d nie jest dodatnią liczbą MB (pomoc: sonvek-merge --help)"
                    << Qt::endl;
            return 2;
        }
        limitCzesci = mb ? std::int64_t{*mb} << 20 : kNajwiekszyPlikFat;
    }
    usuwajTymczasowePrzySygnale();
    const QString plikProjektu = rozbior.argumenty.at(0);
    const QString scalony = QFileInfo(rozbior.argumenty.at(1)).absoluteFilePath();
    try {
        const std::optional<PozycjePlikuProjektu> wczytane =
            wczytajProjektNarzedzia(plikProjektu, bledy());
        if (!wczytane)
            return 1;
        ZadanieScalania zadanie(scalony, wczytane->pozycje, miernikMp3());
        zadanie.plikProjektu = plikProjektu;
        zadanie.indeksSzacowany = rozbior.opcje.contains(opcjaIndeksSzacowany);
        zadanie.celGlosnosci = cel;
        zadanie.limitCzesci = limitCzesci;
        zadanie.dziennik = [](const QString& linia) {
            if (linia.startsWith(QStringLiteral("Błąd: ")))
                bledy() << linia << Qt::endl;
            else
                wyjscie() << linia << Qt::endl;
        };
        wyjscie() << "Zapisywanie projektu do pliku " << scalony << Qt::endl;
        return zadanie.wykonaj() ? 0 : 1;
    } catch (const std::exception& e) {
        bledy() << "Błąd: " << errorMessage(e) << Qt::endl;
        return 1;
    }
}
