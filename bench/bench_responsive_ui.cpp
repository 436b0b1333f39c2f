// How well the window answers during long operations: a 10 ms timer on the
// user-interface thread records the gaps between its ticks while the merge
// dialog merges a book of about 300 MB, while "Kopiuj na kartę" copies that
// book into a folder standing in for the card and reads it back, and while
// "Sprawdź książkę na karcie" checks it there. Prints each operation's
// time beside the longest gap and the 99th percentile of the gaps.
//
//   bench_responsive_ui WORK_FOLDER [FILES]
//
// The book's entries are FILES copies (200 by default) of one 95 s, 128 kbit/s
// stereo MP3 file (about 1.5 MB), made once in WORK_FOLDER/book.

#include "app/MainForm.h"
#include "card/FreeSpace.h"
#include "merge/ui/FormScalaniePlikow.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// The system's free-space figures for a folder that stands in for the card:
// it is no mount point, which the card copy would otherwise refuse.
class KartaWFolderze final : public ZrodloWolnegoMiejsca {
public:
    std::optional<MiaraWoluminu> zmierz(const QString& folder) const override {
        return m_system.zmierz(folder);
    }
    bool zamontowany(const QString&) const override { return true; }

private:
    SystemoweWolneMiejsce m_system;
};

struct Pomiar {
    double czasMs = 0;
    double najdluzszaMs = 0;
    double p99Ms = 0;
    std::size_t tykniecia = 0;
};

// Starts `operacja` from the event loop and runs the loop until `koniec`
// says it is over, ticking every 10 ms meanwhile. `operacja` may itself run
// for long (an operation that holds the thread) or return at once (one
// that works elsewhere and reports back through the loop).
Pomiar mierz(const std::function<void()>& operacja, const std::function<bool()>& koniec) {
    std::vector<double> przerwy;
    QElapsedTimer zegar;
    QElapsedTimer odOstatniego;
    QEventLoop petla;
    QTimer tik;
    tik.setTimerType(Qt::PreciseTimer);
    tik.setInterval(10);
    QObject::connect(&tik, &QTimer::timeout, &petla, [&] {
        przerwy.push_back(odOstatniego.nsecsElapsed() / 1e6);
        odOstatniego.restart();
        if (koniec())
            petla.quit();
    });
    QTimer::singleShot(0, &petla, [&] {
        zegar.start();
        odOstatniego.start();
        tik.start();
        operacja();
    });
    petla.exec();
    Pomiar wynik;
    wynik.czasMs = zegar.nsecsElapsed() / 1e6;
    wynik.tykniecia = przerwy.size();
    std::sort(przerwy.begin(), przerwy.end());
    if (!przerwy.empty()) {
        wynik.najdluzszaMs = przerwy.back();
        const auto ranga = static_cast<std::size_t>(std::ceil(0.99 * double(przerwy.size())));
        wynik.p99Ms = przerwy.at(std::max<std::size_t>(ranga, 1) - 1);
    }
    return wynik;
}

void wypisz(const char* nazwa, const Pomiar& p) {
    std::printf("%-28s %8.0f ms   longest gap %7.1f ms   99th percentile %7.1f ms   (%zu ticks)\n",
                nazwa, p.czasMs, p.najdluzszaMs, p.p99Ms, p.tykniecia);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: bench_responsive_ui WORK_FOLDER [FILES]\n");
        return 2;
    }
    const QDir praca(args.at(1));
    const int liczba = args.size() > 2 ? args.at(2).toInt() : 200;
    const QString ksiazki = praca.absoluteFilePath(QStringLiteral("book"));
    const QString magazyn = praca.absoluteFilePath(QStringLiteral("magazyn"));
    const QString karta = praca.absoluteFilePath(QStringLiteral("karta"));
    for (const QString& f : {ksiazki, magazyn, karta})
        QDir().mkpath(f);

    Mp3Format fmt;
    fmt.durationMs = 95000;
    fmt.channels = 2;
    fmt.bitrateKbps = 128;
    QByteArray dane;
    QStringList pliki;
    for (int i = 0; i < liczba; ++i) {
        const QString p = ksiazki + QStringLiteral("/r%1.mp3").arg(i + 1, 3, 10, QLatin1Char('0'));
        if (dane.isEmpty() && QFileInfo(p).size() == 0)
            dane = makeMp3Data(fmt);
        if (!dane.isEmpty() && QFileInfo(p).size() != dane.size()) {
            QFile f(p);
            if (!f.open(QIODevice::WriteOnly) || f.write(dane) != dane.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(p));
                return 1;
            }
        }
        pliki.append(p);
    }

    FakeSeams seams;
    seams.onExec = [](QDialog* d) {
        d->show();
        return int(QDialog::Accepted);
    };
    SettingsStore store(praca.absoluteFilePath(QStringLiteral("conf")));
    const KartaWFolderze wolneMiejsce;
    Uslugi uslugi(seams, store, praca.absolutePath());
    uslugi.wolneMiejsce = &wolneMiejsce;
    TMainForm form(uslugi);
    form.utworzOkna();
    form.show();
    form.ZapiszKonfiguracje(karta, magazyn, 5000);
    form.OdczytajKonfiguracje();
    std::int64_t bajty = 0;
    for (int i = 0; i < pliki.size(); ++i) {
        const QFileInfo f(pliki.at(i));
        form.projekt().wstaw(i, {{QString::number(i + 1), f.fileName(), QStringLiteral("1000"),
                                  QStringLiteral("5000"), f.absolutePath() + QLatin1Char('/')}});
        bajty += f.size();
    }
    const QString scalony = magazyn + QStringLiteral("/ksiazka.mp3");
    for (const QString& f : QDir(karta).entryList(QDir::Files))
        QFile::remove(karta + QLatin1Char('/') + f);
    // The same page-cache state for every run: the entries read once.
    for (const QString& p : pliki) {
        QFile f(p);
        if (f.open(QIODevice::ReadOnly))
            while (!f.read(1 << 20).isEmpty()) {
            }
    }

    std::printf("book: %d files, %.1f MB\n", liczba, bajty / 1e6);
    TFormScalaniePlikow* dialog = kontrolka<TFormScalaniePlikow>(form, "FormScalaniePlikow");
    seams.saveAnswers = {scalony};
    form.Scalajpliki1Click();
    const Pomiar scalanie =
        mierz([&] { dialog->ButtonRozpocznijClick(); }, [&] { return !dialog->scalanieTrwa(); });
    if (!QFileInfo(scalony).isFile() || QFileInfo(scalony).size() != bajty) {
        std::fprintf(stderr, "the merge failed\n");
        return 1;
    }
    wypisz("merge (dialog):", scalanie);
    dialog->hide();

    seams.messages.clear();
    seams.openAnswers = {{scalony}};
    seams.answers = {QMessageBox::No}; // the card is not ejected afterwards
    bool skopiowano = false;
    const Pomiar kopia = mierz(
        [&] {
            form.Plikaudio1Click();
            skopiowano = true;
        },
        [&] { return skopiowano; });
    const QString koniec = seams.messages.isEmpty() ? QString() : seams.messages.last().text;
    if (QFileInfo(karta + QStringLiteral("/ksiazka.mp3")).size() != bajty) {
        std::fprintf(stderr, "the copy failed: %s\n", qPrintable(koniec));
        return 1;
    }
    wypisz("copy + read-back to card:", kopia);

    seams.messages.clear();
    seams.openAnswers = {{scalony}};
    bool sprawdzono = false;
    const Pomiar sprawdzenie = mierz(
        [&] {
            form.SprawdzKsiazke1Click();
            sprawdzono = true;
        },
        [&] { return sprawdzono; });
    if (seams.messages.isEmpty() ||
        !seams.messages.last().text.contains(QStringLiteral("zgodna"))) {
        std::fprintf(stderr, "the check failed\n");
        return 1;
    }
    wypisz("check the book on the card:", sprawdzenie);
    std::printf("target: longest gap under 100 ms throughout\n");
    return 0;
}
