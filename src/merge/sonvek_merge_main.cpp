// sonvek-merge PROJECT.xml MERGED.mp3: the merge of the program's merge
// dialog, without windows. It prints the same log lines, writes the same
// book and index files, and exits with 0 on success; on failure the error
// goes to the standard error output and the exit status is 1 (2 for wrong
// arguments). The project is checked as the main window loads it before a
// byte is copied. Ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE (its output
// piped into a program that stops reading), it leaves no temporary file.

#include "app/Errors.h"
#include "merge/MergeJob.h"
#include "merge/Miernik.h"
#include "merge/PlikiTymczasowe.h"
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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList argumenty = QCoreApplication::arguments();
    if (argumenty.size() != 3) {
        bledy() << "Użycie: sonvek-merge PROJEKT.xml SCALONY.mp3\n"
                   "Scala pliki projektu w jeden plik MP3 i zapisuje obok niego pliki "
                   "indeksów .dat i .log.\n";
        return 2;
    }
    usuwajTymczasowePrzySygnale();
    const QString plikProjektu = argumenty.at(1);
    const QString scalony = QFileInfo(argumenty.at(2)).absoluteFilePath();
    try {
        const OdczytanyPlikProjektu projekt = wczytajPlikProjektu(plikProjektu);
        if (!projekt.korzenProjekt)
            throw SonvekError(
                QStringLiteral("%1: Nieprawidlowy plik z danymi o projekcie").arg(plikProjektu));
        const PozycjePlikuProjektu wczytane = pozycjePlikuProjektu(projekt, plikProjektu);
        if (!wczytane.blad.isEmpty())
            throw EConvertError(wczytane.blad);
        if (!wczytane.brakujace.isEmpty()) {
            bledy() << "Nie odnaleziono następujących plików w podanych lokalizacjach:\n"
                    << wczytane.brakujace.join(QLatin1Char('\n')) << '\n';
            return 1;
        }
        ZadanieScalania zadanie(scalony, wczytane.pozycje, miernikMp3());
        zadanie.plikProjektu = plikProjektu;
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
