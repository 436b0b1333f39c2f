// The project commands of the main window on large inputs.
// Usage: bench_project_ui <work folder> [files to add] [seconds per file]
// Times "Dodaj..." with <files> MP3 files chosen at once (each one tested and
// measured through the media player), warm: the same files are added once
// before the timed run. If <work folder>/projekt.xml exists (written by
// bench_project), also times "Otwórz projekt" and "Zapisz projekt" on it,
// with every row in the list view, and then moving a row up 1,000 times and
// undoing those 1,000 steps, each step with the list repainted.

#include "app/MainForm.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

double czasMs(const std::function<void()>& fn) {
    QElapsedTimer t;
    t.start();
    fn();
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_project_ui <work folder> [files] [seconds]\n");
        return 2;
    }
    const QDir work(args.at(1));
    const int count = args.size() > 2 ? args.at(2).toInt() : 500;
    const int seconds = args.size() > 3 ? args.at(3).toInt() : 10;

    const QString folder = work.absoluteFilePath(QStringLiteral("mp3"));
    QDir().mkpath(folder);
    Mp3Format fmt;
    fmt.durationMs = seconds * 1000;
    fmt.bitrateKbps = 64;
    const QByteArray data = makeMp3Data(fmt);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path =
            folder + QStringLiteral("/Rozdział %1.mp3").arg(i + 1, 4, 10, QLatin1Char('0'));
        if (QFileInfo(path).size() != data.size()) {
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
        paths.append(path);
    }
    // The dialog's order does not matter; give them shuffled.
    std::mt19937 rng(1);
    std::shuffle(paths.begin(), paths.end(), rng);

    FakeSeams seams;
    SettingsStore store(work.absoluteFilePath(QStringLiteral("conf")));
    TMainForm form(Uslugi(seams, store, work.absolutePath()));
    form.utworzOkna();

    auto dodaj = [&] {
        form.projekt().ustawProjektZmieniony(false);
        form.NowyProjekt();
        seams.openAnswers = {paths};
        return czasMs([&] { form.WstawDoListy(); });
    };
    dodaj(); // warm: files in the page cache, media player started
    const double add = dodaj();
    if (form.projekt().rowCount() != count) {
        std::fprintf(stderr, "added %d of %d files\n", form.projekt().rowCount(), count);
        return 1;
    }
    std::printf("add %d files of %d s (test + measure each): %8.1f ms  (target < 5000 ms)\n", count,
                seconds, add);

    const QString project = work.absoluteFilePath(QStringLiteral("projekt.xml"));
    if (QFileInfo::exists(project)) {
        form.projekt().ustawProjektZmieniony(false);
        form.NowyProjekt();
        seams.openAnswers = {{project}};
        const double load = czasMs([&] { form.WczytajProjekt(); });
        const int rows = form.projekt().rowCount();
        const QString copy = work.absoluteFilePath(QStringLiteral("projekt-kopia.xml"));
        form.projekt().ustawNazwaProjektu(copy);
        const double save = czasMs([&] { form.ZapiszProjekt(); });
        std::printf("main window, %d rows: open %8.1f ms, save %8.1f ms  (target < 500 ms)\n", rows,
                    load, save);

        // Editing the big project in the shown window, each step with the
        // list repainted: moving a row up one place at a time, then undoing
        // those steps one by one.
        form.show();
        QApplication::processEvents();
        form.zaznaczWiersze({rows / 2});
        const QString nazwa = form.projekt().wiersz(rows / 2).NazwaPliku;
        constexpr int kKroki = 1000;
        auto kroki = [&](const char* co, const std::function<void()>& krok) {
            double suma = 0;
            double najdluzszy = 0;
            for (int i = 0; i < kKroki; ++i) {
                const double t = czasMs([&] {
                    krok();
                    QApplication::processEvents();
                });
                suma += t;
                najdluzszy = std::max(najdluzszy, t);
            }
            std::printf("%d rows, %d steps of %s: %6.3f ms a step, longest %6.3f ms  "
                        "(target < 50 ms)\n",
                        rows, kKroki, co, suma / kKroki, najdluzszy);
        };
        kroki("Przesuń w górę", [&] { form.PrzesunZaznaczone(-1); });
        kroki("Cofnij", [&] { form.Cofnij(); });
        if (form.projekt().wiersz(rows / 2).NazwaPliku != nazwa ||
            form.zaznaczoneWiersze() != QList<int>{rows / 2}) {
            std::fprintf(stderr, "undo did not bring the row back\n");
            return 1;
        }
    }
    return 0;
}
