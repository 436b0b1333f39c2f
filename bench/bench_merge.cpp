// Merge benchmark helper, used by bench/merge.sh.
//
//   bench_merge FOLDER_OF_ENTRIES TARGET_FOLDER
//     merges every *.mp3 of the folder (name order) into one book in the
//     target folder in this process and prints the time of each stage and
//     the peak memory.
//   bench_merge --project FOLDER_OF_ENTRIES PROJECT.xml
//     writes a project file of those entries, for timing sonvek-merge as a
//     whole process beside the reference tools.

#include "base/Paths.h"
#include "merge/MergeJob.h"
#include "merge/Miernik.h"
#include "project/ProjectFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    const bool project = args.size() == 4 && args.at(1) == QStringLiteral("--project");
    if (project)
        args.removeAt(1);
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_merge [--project] FOLDER_OF_ENTRIES "
                             "TARGET_FOLDER|PROJECT.xml\n");
        return 2;
    }
    const QDir wejscie(args.at(1));
    ListaPozycji pozycje;
    std::int64_t bajty = 0;
    for (const QFileInfo& f :
         wejscie.entryInfoList({QStringLiteral("*.mp3")}, QDir::Files, QDir::Name)) {
        pozycje.append({QString::number(pozycje.size() + 1), f.fileName(), QStringLiteral("1000"),
                        QStringLiteral("5000"), f.absolutePath() + separatorFolderow()});
        bajty += f.size();
    }
    if (project) {
        zapiszPlikProjektu(args.at(2), pozycje);
        return 0;
    }
    const QString scalony = QDir(args.at(2)).absoluteFilePath(QStringLiteral("ksiazka.mp3"));
    ZadanieScalania zadanie(scalony, pozycje, miernikMp3());
    QElapsedTimer t;
    t.start();
    const bool etap1 = zadanie.SklejPliki();
    const double ms1 = t.nsecsElapsed() / 1e6;
    t.restart();
    const bool etap2 = etap1 && zadanie.UtworzIndeksy();
    const double ms2 = t.nsecsElapsed() / 1e6;
    if (!etap2) {
        std::fprintf(stderr, "merge failed: %s\n", qPrintable(zadanie.blad()));
        return 1;
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("entries: %lld files, %.1f MB\n", static_cast<long long>(pozycje.size()),
                bajty / 1e6);
    std::printf("SklejPliki (measure each entry, copy it to the book): %.0f ms, %.0f MB/s\n", ms1,
                bajty / 1e3 / ms1);
    std::printf("UtworzIndeksy (fsync the book, write the index files, rename all): %.0f ms\n",
                ms2);
    std::printf("whole merge: %.0f ms\n", ms1 + ms2);
    std::printf("peak memory (ru_maxrss): %.1f MB\n", ru.ru_maxrss / 1024.0);
    return 0;
}
