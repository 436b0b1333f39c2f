// The "Karta" window on a card that is a plain folder with stand-in
// free-space figures: the lines a screen reader reads, removing a book
// after the question, checking one against the store, several books copied
// with one summary, and a card that stops answering.

#include "card/Volumes.h"
#include "card/ui/FormKarta.h"
#include "settings/SettingsStore.h"
#include "support/Dostepnosc.h"
#include "support/FakeFreeSpace.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "widgets/Komunikaty.h"
#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QListWidget>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// What a screen reader is told has the focus.
QStringList fokusy;

void zapiszFokus(QAccessibleEvent* event) {
    if (event->type() == QAccessible::Focus && event->accessibleInterface())
        fokusy.append(event->accessibleInterface()->text(QAccessible::Name));
}

} // namespace

class TestFormKarta : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir;
    QString karta, magazyn;
    FakeSeams seams;
    FakeWolneMiejsce miejsce{4096, 100'000};

    // A book in `folder`: an MP3 of `ms`, a .dat of `zakladki` lines and a
    // .log, each only when asked for.
    static void ksiazka(const QString& folder, const QString& nazwa, int ms, int zakladki,
                        bool dat = true, bool log = true, bool audio = true) {
        const QStringList pliki = plikiKsiazki(folder + nazwa);
        QByteArray linie;
        for (int i = 0; i < zakladki; ++i)
            linie += QByteArray::number(i * 100) + "\t100\r\n";
        QVERIFY(!audio || zapiszBajty(pliki[0], makeMp3Data({.durationMs = ms})));
        QVERIFY(!dat || zapiszBajty(pliki[1], linie));
        QVERIFY(!log || zapiszBajty(pliki[2], "0000000 0000000"));
    }

    std::unique_ptr<TFormKarta> otworz(const Komunikaty& komunikaty, DostepDoKarty dostep = {}) {
        dostep.korzen = karta;
        dostep.magazyn = magazyn;
        dostep.zrodlo = &miejsce;
        auto okno = std::make_unique<TFormKarta>(nullptr, komunikaty, std::move(dostep));
        okno->show();
        // Read only once shown, off the opening call.
        if (okno->ListKsiazki->count() != 0)
            qFatal("the card was read before the window was shown");
        // The comparisons that follow fail should it never be read.
        (void)QTest::qWaitFor([&] { return okno->ListKsiazki->count() > 0; });
        return okno;
    }

    // What a screen reader reads for each line of the list.
    static QStringList czytane(QListWidget* lista) {
        QStringList linie;
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(lista);
        for (int i = 0; i < a->childCount(); ++i)
            linie.append(a->child(i)->text(QAccessible::Name));
        return linie;
    }

    static QString rozmiar(const QString& plik) { return opisRozmiaru(QFileInfo(plik).size()); }

private slots:
    // As with a screen reader connected: the list's lines are then told
    // when they change, and not kept as first read.
    void initTestCase() {
        QAccessible::installUpdateHandler(zapiszFokus);
        QVERIFY(ustawDostepnosc(true));
    }

    void init() {
        dir.emplace();
        QVERIFY(QDir(dir->path()).mkpath(u"karta"_s) && QDir(dir->path()).mkpath(u"magazyn"_s));
        karta = dir->filePath(u"karta/"_s);
        magazyn = dir->filePath(u"magazyn/"_s);
        seams = FakeSeams();
        miejsce.miara->wolneKlastry = 100'000;
        miejsce.miara->wszystkieKlastry = 200'000;
    }

    // Whole and incomplete books with their values' names; player.dat and
    // foreign files are not books; the free and total space close the list.
    void listsEveryBookLineByLine() {
        ksiazka(karta, u"alfa.mp3"_s, 65'500, 12);
        ksiazka(karta, u"delta.mp3"_s, 1500, 1, true, false);
        ksiazka(karta, u"sama.mp3"_s, 0, 2, true, true, false);
        QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        QVERIFY(zapiszBajty(karta + u"notatki.txt"_s, "obcy"));
        Komunikaty komunikaty(seams, nullptr);
        const auto okno = otworz(komunikaty);
        QCOMPARE(czytane(okno->ListKsiazki),
                 (QStringList{
                     u"Nazwa: alfa.mp3, rozmiar %1, długość 0:01:05, zakładek 12"_s.arg(
                         rozmiar(karta + u"alfa.mp3"_s)),
                     u"Nazwa: delta.mp3, rozmiar %1, długość 0:00:01, zakładek 1, niepełna, brak "
                     "pliku .log"_s.arg(rozmiar(karta + u"delta.mp3"_s)),
                     u"Nazwa: sama.dat, zakładek 2, niepełna, brak pliku audio"_s,
                     u"Wolne miejsce na karcie: %1 z %2"_s.arg(
                         opisRozmiaru(okno->zawartosc().wolne), opisRozmiaru(200'000LL * 4096))}));
        QVERIFY(seams.messages.isEmpty());
        QVERIFY(okno->ListKsiazki->hasFocus());
        // The line the user is on is told, not only the list.
        QTRY_COMPARE(fokusy.constLast(), czytane(okno->ListKsiazki).constFirst());
        // The free-space line is no book: nothing to remove or check.
        okno->ListKsiazki->setCurrentRow(3);
        QVERIFY(!okno->ButtonUsun->isEnabled() && !okno->ButtonSprawdz->isEnabled());
    }

    // The question names the files, Nie is its default and Esc; only Tak
    // removes, all the book's files together, and the list and the free
    // space said follow.
    void removeAsksFirst_data() {
        QTest::addColumn<int>("wiersz");
        QTest::addColumn<int>("odpowiedz");
        QTest::addColumn<QStringList>("zostaje");
        const QStringList wszystko{u"alfa.dat"_s,  u"alfa.log"_s,  u"alfa.mp3"_s,
                                   u"delta.dat"_s, u"delta.mp3"_s, u"player.dat"_s};
        QTest::newRow("Esc keeps the book") << 0 << int(FakeSeams::Esc) << wszystko;
        QTest::newRow("Nie keeps the book") << 0 << int(QMessageBox::No) << wszystko;
        QTest::newRow("Tak removes the three files")
            << 0 << int(QMessageBox::Yes)
            << QStringList{u"delta.dat"_s, u"delta.mp3"_s, u"player.dat"_s};
        QTest::newRow("Tak removes an incomplete book")
            << 1 << int(QMessageBox::Yes)
            << QStringList{u"alfa.dat"_s, u"alfa.log"_s, u"alfa.mp3"_s, u"player.dat"_s};
    }
    void removeAsksFirst() {
        QFETCH(int, wiersz);
        QFETCH(int, odpowiedz);
        QFETCH(QStringList, zostaje);
        ksiazka(karta, u"alfa.mp3"_s, 1000, 3);
        ksiazka(karta, u"delta.mp3"_s, 1000, 1, true, false);
        QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        Komunikaty komunikaty(seams, nullptr);
        const auto okno = otworz(komunikaty);
        okno->ListKsiazki->setCurrentRow(wiersz);
        seams.answers = {QMessageBox::StandardButton(odpowiedz)};
        QTest::keyClick(okno->ListKsiazki, Qt::Key_Delete);

        QCOMPARE(seams.messages.size(), 1);
        const FakeSeams::Message& pytanie = seams.messages.first();
        QVERIFY2(pytanie.text.startsWith(u"Czy usunąć z karty"_s), qPrintable(pytanie.text));
        QCOMPARE(pytanie.defaultButton, QMessageBox::No);
        QCOMPARE(pytanie.escapeButton, QMessageBox::No);
        QCOMPARE(wpisyFolderu(karta), zostaje);
        const bool usunieta = odpowiedz == QMessageBox::Yes;
        QCOMPARE(okno->ListKsiazki->count(), usunieta ? 2 : 3);
        QCOMPARE(okno->zawartosc().ksiazki.size(), usunieta ? 1 : 2);
        if (usunieta)
            QCOMPARE(ogloszenie(okno.get())->text(),
                     u"Usunięto książkę %1. "_s.arg(wiersz == 0 ? u"alfa.mp3"_s : u"delta.mp3"_s) +
                         TFormKarta::opisMiejsca(okno->zawartosc()));
    }

    // Several store books chosen in one dialog: copied together with one
    // summary at the end, or, without room for all, none at all.
    void copiesSeveralWithOneSummary_data() {
        QTest::addColumn<qint64>("wolneKlastry");
        QTest::addColumn<QString>("podsumowanie");
        QTest::addColumn<QStringList>("naKarcie");
        QTest::newRow("room for both")
            << qint64(100'000)
            << u"Skopiowano 2 z 2 książek.\nSkopiowane i sprawdzone: jeden.mp3, dwa.mp3."_s
            << QStringList{u"dwa.dat"_s,   u"dwa.log"_s,   u"dwa.mp3"_s,
                           u"jeden.dat"_s, u"jeden.log"_s, u"jeden.mp3"_s,
                           u"stara.dat"_s, u"stara.log"_s, u"stara.mp3"_s};
        QTest::newRow("room for one only")
            << qint64(8) << u"Wybrane książki nie zmieszczą się razem na karcie"_s
            << QStringList{u"stara.dat"_s, u"stara.log"_s, u"stara.mp3"_s};
    }
    void copiesSeveralWithOneSummary() {
        QFETCH(qint64, wolneKlastry);
        QFETCH(QString, podsumowanie);
        QFETCH(QStringList, naKarcie);
        ksiazka(magazyn, u"jeden.mp3"_s, 2000, 2);
        ksiazka(magazyn, u"dwa.mp3"_s, 2000, 3);
        ksiazka(karta, u"stara.mp3"_s, 1000, 1);
        miejsce.miara->wolneKlastry = quint64(wolneKlastry);
        Komunikaty komunikaty(seams, nullptr);
        const auto okno = otworz(komunikaty);
        okno->ListKsiazki->setCurrentRow(0);
        seams.openAnswers = {{magazyn + u"jeden.mp3"_s, magazyn + u"dwa.mp3"_s}};
        okno->ButtonKopiuj->click();

        QCOMPARE(seams.openRequests.size(), 1);
        QVERIFY(seams.openRequests.first().multiple);
        QCOMPARE(seams.openRequests.first().folder, magazyn);
        QCOMPARE(seams.messages.size(), 1);
        QVERIFY2(seams.messages.first().text.startsWith(podsumowanie),
                 qPrintable(seams.messages.first().text));
        QCOMPARE(wpisyFolderu(karta), naKarcie);
        QCOMPARE(okno->zawartosc().ksiazki.size(), naKarcie.size() / 3);
        if (naKarcie.size() > 3) // the copied books' lines say they were read back equal
            QVERIFY(czytane(okno->ListKsiazki).first().endsWith(u", zgodna z magazynem"_s));
        // The book chosen before stays chosen.
        QVERIFY(okno->ListKsiazki->currentItem()->text().startsWith(u"Nazwa: stara.mp3"_s));
    }

    // "Sprawdź" compares the chosen book with the store's of the same name
    // and keeps the result on its line.
    void checkSaysWhetherEqual_data() {
        QTest::addColumn<QByteArray>("dat");
        QTest::addColumn<QString>("wynik");
        QTest::newRow("equal") << QByteArray("0\t100\r\n") << u", zgodna z magazynem"_s;
        QTest::newRow("index differs") << QByteArray("5\t100\r\n") << u", niezgodna z magazynem"_s;
    }
    void checkSaysWhetherEqual() {
        QFETCH(QByteArray, dat);
        QFETCH(QString, wynik);
        ksiazka(karta, u"alfa.mp3"_s, 1000, 1);
        QVERIFY(QFile::copy(karta + u"alfa.mp3"_s, magazyn + u"alfa.mp3"_s));
        QVERIFY(QFile::copy(karta + u"alfa.log"_s, magazyn + u"alfa.log"_s));
        QVERIFY(zapiszBajty(magazyn + u"alfa.dat"_s, dat));
        Komunikaty komunikaty(seams, nullptr);
        const auto okno = otworz(komunikaty);
        QVERIFY(!czytane(okno->ListKsiazki).first().endsWith(wynik)); // not on opening
        okno->ListKsiazki->setCurrentRow(0);
        okno->ButtonSprawdz->click();
        QVERIFY2(czytane(okno->ListKsiazki).first().endsWith(wynik),
                 qPrintable(czytane(okno->ListKsiazki).first()));
        QCOMPARE(seams.messages.size(), 1);
    }

    // A removal that does not end within the limit is said to be the card's
    // silence; the window goes on.
    void stalledCardIsSaidToNotAnswer() {
        ksiazka(karta, u"alfa.mp3"_s, 1000, 1);
        auto zwolnij = std::make_shared<QSemaphore>();
        DostepDoKarty dostep;
        dostep.limitMs = 100;
        dostep.usuwanie = [zwolnij](const QStringList&, const QString&, const ObslugaKopiowania&) {
            zwolnij->acquire();
            return RaportUsuwania{};
        };
        Komunikaty komunikaty(seams, nullptr);
        const auto okno = otworz(komunikaty, dostep);
        okno->ListKsiazki->setCurrentRow(0);
        seams.answers = {QMessageBox::Yes};
        okno->ButtonUsun->click();
        zwolnij->release();
        QCOMPARE(seams.texts().last(), komunikatBrakuOdpowiedziKarty(karta));
        QCOMPARE(wpisyFolderu(karta).size(), 3);
    }

    // Narzędzia → "Książki na karcie..." opens the window on the card and
    // the store of the settings.
    void opensFromTheToolsMenu() {
        ksiazka(karta, u"alfa.mp3"_s, 1000, 1);
        SettingsStore store(dir->filePath(u"conf"_s));
        Uslugi uslugi(seams, store, dir->path());
        uslugi.wolneMiejsce = &miejsce;
        TMainForm form(uslugi);
        ustawKonfiguracje(form, karta.chopped(1), magazyn.chopped(1));
        QStringList linie;
        seams.onExec = [&](QDialog* d) {
            if (auto* okno = qobject_cast<TFormKarta*>(d)) {
                okno->show();
                (void)QTest::qWaitFor([&] { return okno->ListKsiazki->count() > 0; });
                linie = QStringList{okno->windowTitle()} + czytane(okno->ListKsiazki);
            }
            return int(QDialog::Rejected);
        };
        akcja(form, "Ksiazkinakarcie1")->trigger();
        QCOMPARE(linie.size(), 3);
        QCOMPARE(linie.first(), u"Książki na karcie "_s + karta);
        QVERIFY(linie.at(1).startsWith(u"Nazwa: alfa.mp3"_s));
    }
};

QTEST_MAIN(TestFormKarta)
#include "tstui_formkarta.moc"
