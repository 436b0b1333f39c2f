// Reading hostile project files of the largest size the reader takes
// (64 MiB): each shape aims at a cost of the XML parser. Prints the wall
// time and the processor time of each read (the latter does not grow when
// other programs load the machine) and whether it was refused.
// Usage: bench_project_hostile <work folder>

#include "project/ProjectFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <ctime>

namespace {

constexpr qsizetype kRozmiar = kMaksRozmiarPlikuProjektu;

// `poczatek`, then `powtorz` repeated while the file stays within 64 MiB,
// then `koniec`.
QByteArray wypelnij(const QByteArray& poczatek, const QByteArray& powtorz,
                    const QByteArray& koniec) {
    const qsizetype razy = (kRozmiar - poczatek.size() - koniec.size()) / powtorz.size();
    return poczatek + powtorz.repeated(razy) + koniec;
}

QByteArray atrybuty(int n) {
    QByteArray t;
    for (int i = 0; i < n; ++i)
        t += " a" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + '"';
    return t;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().size() < 2) {
        std::fprintf(stderr, "usage: bench_project_hostile <work folder>\n");
        return 2;
    }
    const QString work = app.arguments().at(1);
    QDir().mkpath(work);

    // Namespaces declared 64 to an element, 16 deep, and a prefix from the
    // bottom of that stack on every element below.
    QByteArray glebokie = "<projekt xmlns:n0=\"urn:0\"";
    for (int d = 1; d < 15; ++d) {
        glebokie += "><e" + QByteArray::number(d);
        for (int i = 0; i < 64; ++i)
            glebokie += " xmlns:m" + QByteArray::number(d * 64 + i) + "=\"urn:x\"";
    }
    glebokie += '>';
    QByteArray zamkniecie;
    for (int d = 14; d >= 1; --d)
        zamkniecie += "</e" + QByteArray::number(d) + '>';
    zamkniecie += "</projekt>";

    const QByteArray wpis = "<p><plik>rozdział 1.mp3</plik><poczatek>0</poczatek>"
                            "<dlugosc>5000</dlugosc><folder>/nagrania/książka/</folder></p>\n";
    const struct {
        const char* nazwa;
        QByteArray dane;
    } ksztalty[] = {
        {"entries", wypelnij("<projekt>\n", wpis, "</projekt>")},
        {"one element, attributes without end", wypelnij("<projekt", " a=\"1\"", "/>")},
        {"64 attributes on every element",
         wypelnij("<projekt>", "<p" + atrybuty(64) + "/>", "</projekt>")},
        {"namespaces 16 deep, prefixed elements", wypelnij(glebokie, "<n0:p/>", zamkniecie)},
        {"one long text", wypelnij("<projekt><p><plik>", "ż", "</plik></p></projekt>")},
        {"character references",
         wypelnij("<projekt><p><plik>", "&#x17C;&amp;", "</plik></p></projekt>")},
        {"comments", wypelnij("<projekt>", "<!-- = > -->", "</projekt>")},
        {"empty elements", wypelnij("<projekt>", "<a/>", "</projekt>")},
    };
    for (const auto& k : ksztalty) {
        const QString path = QDir(work).filePath(QStringLiteral("wrogi.xml"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(k.dane) != k.dane.size())
            return 1;
        f.close();
        QElapsedTimer t;
        t.start();
        const std::clock_t cpu = std::clock();
        QString wynik;
        try {
            wynik = QStringLiteral("%1 entries").arg(wczytajPlikProjektu(path).wpisy.size());
        } catch (const std::exception& e) {
            wynik = QStringLiteral("refused: ") + QString::fromUtf8(e.what()).left(70);
        }
        const double cpuMs = double(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC;
        std::printf("%-40s %5.1f MiB  wall %7.1f ms  cpu %7.1f ms  %s\n", k.nazwa,
                    k.dane.size() / 1048576.0, t.nsecsElapsed() / 1e6, cpuMs, qPrintable(wynik));
    }
    return 0;
}
