// Adding files in the main window, used by bench/add.sh: every *.mp3 of a
// folder chosen at once in "Dodaj..." (each one tested and measured), once,
// in a fresh process, so that nothing is remembered from an earlier add.
// Prints the wall time of the command and the processor time (user +
// system, all threads) it took.
//
//   bench_add_ui FOLDER WORK_FOLDER

#include "app/MainForm.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

namespace {

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_add_ui FOLDER WORK_FOLDER\n");
        return 2;
    }
    const QDir folder(args.at(1));
    QStringList paths;
    for (const QString& name : folder.entryList({QStringLiteral("*.mp3")}, QDir::Files))
        paths.append(folder.absoluteFilePath(name));

    FakeSeams seams;
    SettingsStore store(QDir(args.at(2)).absoluteFilePath(QStringLiteral("conf")));
    TMainForm form(Uslugi(seams, store, args.at(2)));
    form.utworzOkna();
    seams.openAnswers = {paths};
    QElapsedTimer t;
    const double cpu0 = cpuMs();
    t.start();
    form.WstawDoListy();
    const double ms = t.nsecsElapsed() / 1e6;
    const double cpu = cpuMs() - cpu0;
    if (form.projekt().rowCount() != paths.size()) {
        std::fprintf(stderr, "added %d of %lld files\n", form.projekt().rowCount(),
                     static_cast<long long>(paths.size()));
        return 1;
    }
    std::printf("add %lld files: %.1f ms, cpu %.1f ms\n", static_cast<long long>(paths.size()), ms,
                cpu);
    return 0;
}
