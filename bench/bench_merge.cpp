// Merge benchmark: merges every *.mp3 of a folder (name order) into one
// book in another folder and prints the time of each stage, the bytes per
// second of stage 1 and the peak memory. Used by bench/merge.sh, which also
// times the reference tools on the same files.
//
//   bench_merge FOLDER_OF_ENTRIES TARGET_FOLDER

#include "base/Paths.h"
#include "merge/MergeJob.h"
#include "merge/Miernik.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_merge FOLDER_OF_ENTRIES TARGET_FOLDER\n");
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
    std::printf("stage 1 (concatenation): %.0f ms, %.0f MB/s\n", ms1, bajty / 1e3 / ms1);
    std::printf("stage 2 (measure + index files): %.0f ms\n", ms2);
    std::printf("whole merge: %.0f ms\n", ms1 + ms2);
    std::printf("peak memory (ru_maxrss): %.1f MB\n", ru.ru_maxrss / 1024.0);
    return 0;
}
