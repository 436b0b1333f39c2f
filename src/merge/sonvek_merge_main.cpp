// sonvek-merge PROJECT.xml MERGED.mp3: the merge of the program's merge
// dialog, without windows. It prints the same log lines, writes the same
// book and index files, and exits with 0 on success; on failure the error
// goes to the standard error output and the exit status is 1 (2 for wrong
// arguments).

#include "app/CommandLine.h"
#include "app/Errors.h"
#include "merge/MergeJob.h"
#include "merge/Miernik.h"
#include "project/Paths.h"
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

// The project's entries as the main window would list them. Entries whose
// file is missing are collected in `brakujace`.
ListaPozycji pozycjeProjektu(const QString& plikProjektu, QStringList& brakujace) {
    const OdczytanyPlikProjektu projekt = wczytajPlikProjektu(plikProjektu);
    if (!projekt.korzenProjekt)
        throw SonvekError(
            QStringLiteral("%1: Nieprawidlowy plik z danymi o projekcie").arg(plikProjektu));
    ListaPozycji pozycje;
    for (const WpisPlikuProjektu& w : projekt.wpisy) {
        const PozycjaProjektu p{QString::number(pozycje.size() + 1), w.plik, w.poczatek, w.dlugosc,
                                w.folder};
        if (w.plik.isEmpty() || !QFileInfo(p.sciezka()).isFile())
            brakujace.append(p.sciezka());
        pozycje.append(p);
    }
    return pozycje;
}

OpisNarzedzia narzedzie() {
    return {QStringLiteral("sonvek-merge"), QStringLiteral("PROJEKT.xml SCALONY.mp3"),
            QStringLiteral(
                "Scala pliki zapisanego projektu w jeden plik MP3 i zapisuje obok niego pliki\n"
                "indeksów .dat i .log, tak jak polecenie \u201eScalaj pliki...\u201d programu.\n"
                "Merges the files of a saved project into one MP3 book with its .dat and .log\n"
                "index files, as the program's merge dialog does.\n\n"
                "Kod wyjścia (exit status): 0 gotowe, 1 scalanie się nie udało, 2 złe argumenty."),
            2};
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const RozbiorArgumentow rozbior =
        rozbierzArgumenty(narzedzie(), QCoreApplication::arguments().mid(1), wyjscie(), bledy());
    if (rozbior.kodWyjscia)
        return *rozbior.kodWyjscia;
    const QString scalony = QFileInfo(rozbior.argumenty.at(1)).absoluteFilePath();
    try {
        QStringList brakujace;
        const ListaPozycji pozycje = pozycjeProjektu(rozbior.argumenty.at(0), brakujace);
        if (!brakujace.isEmpty()) {
            bledy() << "Nie odnaleziono następujących plików w podanych lokalizacjach:\n"
                    << brakujace.join(QLatin1Char('\n')) << '\n';
            return 1;
        }
        ZadanieScalania zadanie(scalony, pozycje, miernikMp3());
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
