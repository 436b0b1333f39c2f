// Merge benchmark helper, used by bench/merge.sh.
//
//   bench_merge FOLDER_OF_ENTRIES TARGET_FOLDER
//     merges every *.mp3 of the folder (name order) into one book in the
//     target folder in this process and prints the time of each stage and
//     the peak memory.
//   bench_merge --project FOLDER_OF_ENTRIES PROJECT.xml
//     writes a project file of those entries, for timing sonvek-merge as a
//     whole process beside the reference tools.
//   bench_merge --cpu FOLDER_OF_ENTRIES TARGET_FOLDER [ROUNDS]
//     the processor time of the merge in this process in three kinds,
//     alternating for ROUNDS rounds (7 by default): plain, with the exact
//     index, and plain with a cancel check and a progress receiver as the
//     merge dialog has them; prints the medians and the ratios to plain.
//   bench_merge --wyrownanie FOLDER_OF_ENTRIES TARGET_FOLDER [ROUNDS]
//     measures the entries' loudness once, then times the plain merge and
//     the merge levelled to -18 LUFS with those measurements passed in,
//     alternating for ROUNDS rounds; prints the medians (wall and processor
//     time) and the ratio of levelled to plain.

#include "audio/Glosnosc.h"
#include "base/Paths.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "project/ProjectFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>
#include <vector>

namespace {

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The processor time of each kind of merge, alternating; 0 on success.
int porownajCpu(const ListaPozycji& pozycje, const QString& scalony, int rundy) {
    const char* nazwy[] = {"plain", "exact index (--dokladny-indeks)",
                           "cancel check and progress (the dialog)"};
    std::vector<double> czasy[3];
    volatile bool przerwij = false;
    std::int64_t ostatni = 0;
    for (int r = 0; r < rundy; ++r) {
        for (int k = 0; k < 3; ++k) {
            const int rodzaj = (k + r) % 3;
            ZadanieScalania zadanie(scalony, pozycje, miernikMp3());
            zadanie.indeksSzacowany = rodzaj != 1;
            if (rodzaj == 2) {
                zadanie.przerwac = [&] { return przerwij; };
                zadanie.postep = [&](std::int64_t zrobione, std::int64_t) { ostatni = zrobione; };
            }
            const double c0 = cpuMs();
            if (!zadanie.wykonaj()) {
                std::fprintf(stderr, "merge failed: %s\n", qPrintable(zadanie.blad()));
                return 1;
            }
            czasy[rodzaj].push_back(cpuMs() - c0);
        }
    }
    const double plain = median(czasy[0]);
    std::printf("processor time in one process, medians of %d alternating rounds:\n", rundy);
    for (int k = 0; k < 3; ++k)
        std::printf("  %-40s %8.1f ms %6.3f x plain\n", nazwy[k], median(czasy[k]),
                    median(czasy[k]) / plain);
    return ostatni > 0 ? 0 : 1;
}

// The levelled merge against the plain one, measurements known; 0 on success.
int porownajWyrownanie(const ListaPozycji& pozycje, const QString& scalony, int rundy) {
    PamiecGlosnosci pamiec;
    QElapsedTimer t;
    t.start();
    for (const PozycjaProjektu& p : pozycje) {
        const StanPliku stan = StanPliku::pliku(p.sciezka());
        if (const auto pomiar = zmierzGlosnosc(p.sciezka()))
            pamiec.zapamietaj(p.sciezka(), stan, *pomiar);
    }
    std::printf("loudness of %lld entries measured beforehand: %.0f ms\n",
                static_cast<long long>(pozycje.size()), t.nsecsElapsed() / 1e6);
    std::vector<double> sciana[2], procesor[2];
    for (int r = 0; r < rundy; ++r) {
        for (int k = 0; k < 2; ++k) {
            const int rodzaj = (k + r) % 2;
            ZadanieScalania zadanie(scalony, pozycje, miernikMp3());
            if (rodzaj == 1) {
                zadanie.celGlosnosci = kDomyslnyCelLufs;
                zadanie.pamiecGlosnosci = &pamiec;
            }
            const double c0 = cpuMs();
            t.restart();
            if (!zadanie.wykonaj()) {
                std::fprintf(stderr, "merge failed: %s\n", qPrintable(zadanie.blad()));
                return 1;
            }
            sciana[rodzaj].push_back(t.nsecsElapsed() / 1e6);
            procesor[rodzaj].push_back(cpuMs() - c0);
        }
    }
    const char* nazwy[] = {"plain merge", "levelled merge (measurements known)"};
    std::printf("in one process, medians of %d alternating rounds:\n", rundy);
    std::printf("  %-40s %9s %9s\n", "", "wall ms", "CPU ms");
    for (int k = 0; k < 2; ++k)
        std::printf("  %-40s %9.0f %9.0f\n", nazwy[k], median(sciana[k]), median(procesor[k]));
    std::printf("  levelled / plain: %.2f x wall, %.2f x CPU (target: at most 1.5 x)\n",
                median(sciana[1]) / median(sciana[0]), median(procesor[1]) / median(procesor[0]));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    const bool project = args.size() == 4 && args.at(1) == QStringLiteral("--project");
    const bool cpu = args.size() >= 4 && args.at(1) == QStringLiteral("--cpu");
    const bool wyrownanie = args.size() >= 4 && args.at(1) == QStringLiteral("--wyrownanie");
    if (project || cpu || wyrownanie)
        args.removeAt(1);
    const int rundy = (cpu || wyrownanie) && args.size() == 4 ? args.takeLast().toInt() : 7;
    if (args.size() != 3 || rundy < 1) {
        std::fprintf(stderr, "usage: bench_merge [--project|--cpu|--wyrownanie] FOLDER_OF_ENTRIES "
                             "TARGET_FOLDER|PROJECT.xml [ROUNDS]\n");
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
    if (cpu)
        return porownajCpu(pozycje, scalony, rundy);
    if (wyrownanie)
        return porownajWyrownanie(pozycje, scalony, rundy);
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
