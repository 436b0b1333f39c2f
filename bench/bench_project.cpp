// Saving and loading a large project file.
// Usage: bench_project <work folder> [entries]
// Makes <entries> small files under <work folder>/pliki (their existence is
// checked when loading, as the program does), then times saving the project
// to <work folder>/projekt.xml and loading it back (parse, existence check of
// every file, number conversion). Prints the first and the best of five runs.

#include "base/Text.h"
#include "project/ProjectFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

struct Czasy {
    double first = 0;
    double best = 1e300;
};

// The first run (the one a user meets) and the best of `runs`.
Czasy czasyMs(int runs, const std::function<void()>& fn) {
    Czasy c;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        const double ms = t.nsecsElapsed() / 1e6;
        if (i == 0)
            c.first = ms;
        c.best = std::min(c.best, ms);
    }
    return c;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_project <work folder> [entries]\n");
        return 2;
    }
    const QString work = args.at(1);
    const int count = args.size() > 2 ? args.at(2).toInt() : 10000;
    const QString folder = QDir(work).absoluteFilePath(QStringLiteral("pliki")) + QLatin1Char('/');
    QDir().mkpath(folder);

    ListaPozycji lista;
    lista.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString name =
            QStringLiteral("rozdział %1 – żółw.mp3").arg(i + 1, 5, 10, QLatin1Char('0'));
        if (!QFileInfo::exists(folder + name)) {
            QFile f(folder + name);
            if (!f.open(QIODevice::WriteOnly)) {
                std::fprintf(stderr, "cannot create %s\n", qPrintable(folder + name));
                return 1;
            }
        }
        lista.append(PozycjaProjektu{QString::number(i + 1), name, QString::number(i * 10),
                                     QStringLiteral("5000"), folder});
    }
    const QString path = QDir(work).absoluteFilePath(QStringLiteral("projekt.xml"));

    const Czasy save = czasyMs(5, [&] { zapiszPlikProjektu(path, lista); });
    qsizetype rows = 0;
    const Czasy load = czasyMs(5, [&] {
        const OdczytanyPlikProjektu doc = wczytajPlikProjektu(path);
        ListaPozycji wczytane;
        wczytane.reserve(doc.wpisy.size());
        for (const WpisPlikuProjektu& w : doc.wpisy) {
            if (!QFileInfo(w.folder + w.plik).isFile())
                continue;
            StrToInt(w.poczatek);
            StrToInt(w.dlugosc);
            wczytane.append(PozycjaProjektu{QString::number(wczytane.size() + 1), w.plik,
                                            w.poczatek, w.dlugosc, w.folder});
        }
        rows = wczytane.size();
    });
    if (rows != count) {
        std::fprintf(stderr, "loaded %lld of %d entries\n", static_cast<long long>(rows), count);
        return 1;
    }
    std::printf("project file: %d entries, %lld bytes\n", count,
                static_cast<long long>(QFileInfo(path).size()));
    std::printf("save (build + atomic write): first %7.1f ms, best %7.1f ms  (target < 500 ms)\n",
                save.first, save.best);
    std::printf("load (parse + file checks):  first %7.1f ms, best %7.1f ms  (target < 500 ms)\n",
                load.first, load.best);
    return 0;
}
