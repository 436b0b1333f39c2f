#include "app/MainForm.h"
#include "base/Paths.h"
#include "merge/IndexFile.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "merge/ui/FormScalaniePlikow.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "settings/SettingsStore.h"
#include "support/Dostepnosc.h"
#include "support/FakeSeams.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Stand-in probe: every file is 44.1 kHz stereo and lasts size / 16 ms.
PomiarMp3 pomiarTestowy(const QString& s) {
    if (QFileInfo(s).size() == 0)
        throw EMCIDeviceError(QStringLiteral("Plik %1 nie zawiera dźwięku MP3").arg(s));
    return {{44100, 2}, QFileInfo(s).size() / 16, 0};
}

QStringList linie(const QPlainTextEdit* memo) {
    return memo->toPlainText().split(QLatin1Char('\n'));
}

// Answers as FakeSeams does, or, when asked to, through a real message box.
class Odpowiedzi : public FakeSeams {
public:
    bool prawdziwe = false;
    QMessageBox::StandardButton message(QWidget* owner, Icon icon, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton domyslny,
                                        QMessageBox::StandardButton esc) override {
        const auto odpowiedz =
            FakeSeams::message(owner, icon, caption, text, buttons, domyslny, esc);
        return prawdziwe ? RealSeams().message(owner, icon, caption, text, buttons, domyslny, esc)
                         : odpowiedz;
    }
};

// What a screen reader is told, in order: the focus and what is said.
QStringList zdarzenia;
void zapiszZdarzenie(QAccessibleEvent* e) {
    if (e->type() == QAccessible::Focus)
        zdarzenia.append(u"fokus "_s + e->object()->objectName());
    else if (e->type() == QAccessible::ObjectShow && qobject_cast<LiniaKomunikatu*>(e->object()))
        zdarzenia.append(static_cast<LiniaKomunikatu*>(e->object())->text());
}

} // namespace

class TestMergeDialog : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString magazyn;
    QStringList pliki;
    std::unique_ptr<Odpowiedzi> seams;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<TMainForm> form;
    TFormScalaniePlikow* dialog = nullptr;
    // How the merge measures the entries (on its worker thread).
    MiernikMp3 miernik;

    // The merge command with the save dialog answered by `nazwa`; the merge
    // dialog stays shown for the test to work.
    void scalaj(const QString& nazwa) {
        seams->saveAnswers.append(nazwa);
        form->Scalajpliki1Click();
        QVERIFY(dialog->isVisible());
    }
    void rozpocznijIZaczekaj() {
        QTest::mouseClick(dialog->ButtonRozpocznij, Qt::LeftButton);
        QVERIFY(dialog->scalanieTrwa());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->scalanieTrwa(), 30000);
    }
    // Holds the worker at entry 2's measurement until the merge is asked to
    // stop or the test lets it go on.
    QSemaphore naBramce, dalej;
    void bramkaPrzyWpisie2() {
        naBramce.tryAcquire(naBramce.available());
        dalej.tryAcquire(dalej.available());
        miernik = [this, pomiar = miernik, drugi = pliki[1]](const QString& s) {
            // Only the merge waits here, not the summary before it.
            const auto* sklej = qobject_cast<const TSklej*>(QThread::currentThread());
            if (s == drugi && sklej) {
                naBramce.release();
                const QDeadlineTimer limit(30000);
                while (!sklej->przerwanieZadane() && !dalej.tryAcquire(1, 5) &&
                       !limit.hasExpired()) {
                }
            }
            return pomiar(s);
        };
    }
    QStringList logUdany(const QString& scalony) const {
        QStringList log{QStringLiteral("Zapisywanie projektu do pliku ") + scalony};
        for (const QString& p : pliki)
            log << QStringLiteral("Trwa dodawanie pliku:: ") + p
                << QStringLiteral("Dodawanie pliku zakończone powodzeniem");
        return log << QStringLiteral("Sklejanie zakonczone powodzeniem")
                   << QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem")
                   << QStringLiteral("Scalanie plików zakończone powodzeniem");
    }
    void sprawdzGotowy(const QString& scalony) {
        QCOMPARE(linie(dialog->Memo1),
                 QStringList{QStringLiteral("Zapisywanie projektu do pliku ") + scalony});
        QVERIFY(dialog->ButtonRozpocznij->isVisible());
        QCOMPARE(dialog->ButtonAnuluj->text(), QStringLiteral("Anuluj"));
    }

private slots:
    void init() {
        QVERIFY(tmp.isValid());
        QDir(tmp.path()).removeRecursively();
        magazyn = tmp.filePath(QStringLiteral("Magazyn"));
        QVERIFY(QDir().mkpath(magazyn));
        QVERIFY(QDir().mkpath(tmp.filePath(QStringLiteral("nagrania"))));
        seams = std::make_unique<Odpowiedzi>();
        store = std::make_unique<SettingsStore>(tmp.filePath(QStringLiteral("conf")));
        miernik = pomiarTestowy;
        Uslugi uslugi(*seams, *store, tmp.path());
        // The levelling test and the comparison with the command line merge
        // as the program does: its own measure, in one pass over real files.
        if (!QByteArrayList{"levelsWhenTicked", "sameBytesAsCommandLine"}.contains(
                QTest::currentTestFunction()))
            uslugi.miernikScalania = [this](const QString& s) { return miernik(s); };
        form = std::make_unique<TMainForm>(uslugi);
        form->utworzOkna();
        ustawKonfiguracje(*form, QString(), magazyn);
        dialog = kontrolka<TFormScalaniePlikow>(*form, "FormScalaniePlikow");
        seams->messages.clear();
        seams->onExec = [](QDialog* d) {
            d->show();
            return int(QDialog::Accepted);
        };
        pliki.clear();
        for (int i = 1; i <= 3; ++i) {
            const QString p = tmp.filePath(QStringLiteral("nagrania/część %1.mp3").arg(i));
            QVERIFY(zapiszBajty(p, QByteArray(20000 * i, char('0' + i))));
            pliki << p;
            form->projekt().wstaw(i - 1, {{QString::number(i), ExNazwaPliku(p), QStringLiteral("0"),
                                           QStringLiteral("5000"), ExSciezka(p)}});
        }
        form->projekt().ustawProjektZmieniony(false);
    }
    void cleanup() {
        if (dialog)
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->scalanieTrwa(), 30000);
        form.reset();
    }

    void saveDialogAndCancel() {
        form->Scalajpliki1Click();
        QVERIFY(seams->shown.isEmpty());
        QCOMPARE(seams->saveRequests.size(), 1);
        const Seams::FileDialog& zapytanie = seams->saveRequests.at(0);
        QCOMPARE(zapytanie.title, QStringLiteral("Scalanie projektu jako"));
        QCOMPARE(zapytanie.filter, QStringLiteral("mp3 (*.mp3)"));
        QCOMPARE(zapytanie.defaultSuffix, QStringLiteral("mp3"));
        QCOMPARE(zapytanie.folder, magazyn);
        QVERIFY(!zapytanie.confirmOverwrite);

        // After a merge has named a book, a cancelled dialog still shows nothing.
        scalaj(magazyn + QStringLiteral("/k.mp3"));
        dialog->hide();
        ustawKonfiguracje(*form, QString(), tmp.path());
        form->Scalajpliki1Click();
        QCOMPARE(seams->shown.size(), 1);
        QCOMPARE(seams->saveRequests.at(2).folder, tmp.path());
        QCOMPARE(seams->saveRequests.at(2).fileName, QStringLiteral("k.mp3"));
    }

    void controls() {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Scalanie plików"));
        QVERIFY(dialog->Memo1->isReadOnly());
        QVERIFY(dialog->ButtonRozpocznij->isDefault());
        QCOMPARE(dialog->ButtonRozpocznij->text(), QStringLiteral("Rozpocznij"));
        for (QWidget* w :
             {static_cast<QWidget*>(dialog->Memo1), static_cast<QWidget*>(dialog->ButtonRozpocznij),
              static_cast<QWidget*>(dialog->ButtonAnuluj),
              static_cast<QWidget*>(dialog->ProgressBar1)})
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        // The book's summary comes first, what is wrong or does not fit at its
        // top; Tab goes on to the log, the levelling switch and the buttons.
        scalaj(magazyn + QStringLiteral("/k.mp3"));
        QApplication::setActiveWindow(dialog);
        QTRY_COMPARE(QApplication::focusWidget(), dialog->MemoPodsumowanie);
        QVERIFY(dialog->MemoPodsumowanie->isVisible());
        QCOMPARE(linie(dialog->MemoPodsumowanie).first(),
                 u"Nie wybrano karty. Nie wiadomo, czy książka zmieści się na karcie."_s);
        QVERIFY(linie(dialog->MemoPodsumowanie)
                    .contains(u"Pozycje: %1, sprawdzone: 0 z %1."_s.arg(pliki.size())));
        QTest::keyClick(dialog->MemoPodsumowanie, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->Memo1);
        QTest::keyClick(dialog->Memo1, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->CheckWyrownaj);
        QTest::keyClick(dialog->CheckWyrownaj, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->ButtonRozpocznij);
        QTest::keyClick(dialog->ButtonRozpocznij, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog->ButtonAnuluj);
    }

    // Ready, then Finished: the whole log in order, three beeps, the start
    // button gone; shown again, the dialog is Ready with a one-line log.
    void completeMerge() {
        const QString scalony = magazyn + QStringLiteral("/Książka.mp3");
        scalaj(scalony);
        sprawdzGotowy(scalony);
        QCOMPARE(dialog->focusWidget(), dialog->MemoPodsumowanie);
        // With a screen reader listening, the end is said once the focus has
        // moved (a screen reader's word on a new focus cuts off what it says).
        QVERIFY(ustawDostepnosc(true));
        zdarzenia.clear();
        QAccessible::installUpdateHandler(zapiszZdarzenie);
        rozpocznijIZaczekaj();
        QAccessible::installUpdateHandler(nullptr);
        ustawDostepnosc(false);
        QCOMPARE(zdarzenia.mid(zdarzenia.size() - 2),
                 (QStringList{u"fokus ButtonAnuluj"_s, u"Scalanie zakończone powodzeniem"_s}));
        QCOMPARE(linie(dialog->Memo1), logUdany(scalony));
        QVERIFY(!dialog->ButtonRozpocznij->isVisible());
        QCOMPARE(dialog->ButtonAnuluj->text(), QStringLiteral("Zamknij"));
        QCOMPARE(dialog->ButtonAnuluj->accessibleName(), QStringLiteral("Zamknij"));
        QCOMPARE(dialog->ProgressBar1->value(), dialog->ProgressBar1->maximum());
        QCOMPARE(seams->beeps, 3);
        // The end is said, and the focus is on the button that closes the window.
        QCOMPARE(dialog->focusWidget(), dialog->ButtonAnuluj);
        QCOMPARE(kontrolka<QLabel>(*dialog, "Ogloszenie")->text(),
                 u"Scalanie zakończone powodzeniem"_s);
        QVERIFY(seams->messages.isEmpty());
        QByteArray razem;
        for (const QString& p : pliki)
            razem += bajtyPliku(p);
        QCOMPARE(bajtyPliku(scalony), razem);
        QCOMPARE(bajtyPliku(magazyn + QStringLiteral("/Książka.log")),
                 QByteArray("0000000 0000000"));
        QCOMPARE(zawartoscFolderu(magazyn).size(), 3);

        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        scalaj(scalony);
        sprawdzGotowy(scalony);
    }

    // The offer of parts for a book of 4 GiB or more goes through the
    // session, which decides on the answer: the box as shown, Esc merging
    // nothing and Tak writing parts, said at the end.
    void partsAskedThroughSession() {
        scalaj(magazyn + u"/K.mp3"_s);
        dialog->ustawRozmiarKsiazki(kNajwiekszyPlikFat + 1);
        seams->messages.clear();
        seams->answers = {FakeSeams::Esc, QMessageBox::Yes};
        QTest::mouseClick(dialog->ButtonRozpocznij, Qt::LeftButton);
        QVERIFY(!dialog->scalanieTrwa());
        QCOMPARE(seams->messages.size(), 1);
        const FakeSeams::Message& m = seams->messages.first();
        QCOMPARE(m.caption, u"Książka w częściach"_s);
        QCOMPARE(m.icon, Seams::Icon::Question);
        QCOMPARE(m.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(m.defaultButton, QMessageBox::Yes);
        QCOMPARE(m.escapeButton, QMessageBox::Cancel);
        QVERIFY(zawartoscFolderu(magazyn).isEmpty());
        rozpocznijIZaczekaj();
        const QStringList zapisane = zawartoscFolderu(magazyn).keys();
        QVERIFY2(zapisane.size() == 3 && zapisane.contains(u"K-1.mp3"_s),
                 qPrintable(zapisane.join(u' ')));
        QCOMPARE(kontrolka<QLabel>(*dialog, "Ogloszenie")->text(),
                 u"Scalanie zakończone powodzeniem. Książka zapisana w 1 części: K-1.mp3"_s);
    }

    // A press while a merge runs does not start a second one.
    void startIgnoredWhileMerging() {
        const QString scalony = magazyn + QStringLiteral("/k.mp3");
        scalaj(scalony);
        QTest::mouseClick(dialog->ButtonRozpocznij, Qt::LeftButton);
        QTest::mouseClick(dialog->ButtonRozpocznij, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->scalanieTrwa(), 30000);
        QCOMPARE(linie(dialog->Memo1), logUdany(scalony));
        QCOMPARE(seams->beeps, 3);
    }

    // While a merge runs the window answers and "Anuluj" reads "Przerwij". It,
    // Esc, and closing the dialog or the main window with "Tak" stop the merge
    // at its next chunk: the log so far and "Scalanie przerwane", the earlier
    // book and its index files as they were, no temporary file. "Nie", and Esc
    // in the question, let the merge finish.
    void stopWhileMerging_data() {
        QTest::addColumn<QString>("jak");
        QTest::addColumn<QList<QMessageBox::StandardButton>>("odpowiedzi");
        QTest::addColumn<bool>("przerwane");
        using B = QList<QMessageBox::StandardButton>;
        QTest::newRow("Przerwij") << u"przycisk"_s << B{} << true;
        QTest::newRow("Esc") << u"Esc"_s << B{} << true;
        QTest::newRow("close, Tak") << u"okno"_s << B{QMessageBox::Yes} << true;
        QTest::newRow("close, Nie") << u"okno"_s << B{QMessageBox::No} << false;
        QTest::newRow("close, Esc in the question") << u"okno, Esc"_s << B{} << false;
        QTest::newRow("main window, Tak") << u"program"_s << B{QMessageBox::Yes} << true;
        QTest::newRow("main window, Nie") << u"program"_s << B{QMessageBox::No} << false;
    }
    void stopWhileMerging() {
        QFETCH(QString, jak);
        QFETCH(QList<QMessageBox::StandardButton>, odpowiedzi);
        QFETCH(bool, przerwane);
        const QString scalony = magazyn + u"/k.mp3"_s;
        QVERIFY(zapiszBajty(scalony, "stara"));
        QVERIFY(zapiszBajty(magazyn + u"/k.dat"_s, "0\t1"));
        QVERIFY(zapiszBajty(magazyn + u"/k.log"_s, "0000000 0000000"));
        const auto przed = zawartoscFolderu(magazyn);
        scalaj(scalony);
        bramkaPrzyWpisie2();
        QTest::mouseClick(dialog->ButtonRozpocznij, Qt::LeftButton);
        QVERIFY(naBramce.tryAcquire(1, 30000));
        QCOMPARE(dialog->ButtonAnuluj->text(), u"Przerwij"_s);
        QCOMPARE(dialog->ButtonAnuluj->accessibleName(), u"Przerwij"_s);
        const QStringList log = logUdany(scalony);
        QTRY_COMPARE(linie(dialog->Memo1), log.mid(0, 4));

        seams->answers = odpowiedzi;
        bool programZamkniety = false;
        if (jak == u"przycisk"_s) {
            QTest::mouseClick(dialog->ButtonAnuluj, Qt::LeftButton);
        } else if (jak == u"Esc"_s) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else if (jak == u"program"_s) {
            programZamkniety = form->close();
        } else {
            seams->prawdziwe = jak.endsWith(u"Esc"_s);
            if (seams->prawdziwe)
                QTimer::singleShot(
                    0, [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
            dialog->close();
        }
        const bool pytanie = jak.startsWith(u"okno"_s) || jak == u"program"_s;
        QCOMPARE(seams->texts(), pytanie ? QStringList{u"Przerwać scalanie?"_s} : QStringList());
        if (!przerwane)
            dalej.release();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->scalanieTrwa(), 30000);
        const QStringList oczekiwany = przerwane ? log.mid(0, 4) << u"Scalanie przerwane"_s : log;
        QTRY_COMPARE(linie(dialog->Memo1), oczekiwany);
        QCOMPARE(zawartoscFolderu(magazyn) == przed, przerwane);
        QCOMPARE(seams->beeps, przerwane ? 0 : 3);
        QCOMPARE(dialog->ButtonAnuluj->text(), przerwane ? u"Anuluj"_s : u"Zamknij"_s);
        QCOMPARE(kontrolka<QLabel>(*dialog, "Ogloszenie")->text(),
                 przerwane ? u"Scalanie przerwane"_s : u"Scalanie zakończone powodzeniem"_s);
        // A stop asked for in closing the dialog closes it once the merge has stopped.
        QCOMPARE(dialog->isVisible(), !(przerwane && jak.startsWith(u"okno"_s)));
        QCOMPARE(programZamkniety, przerwane && jak == u"program"_s);
    }

    // Stopped by an error: the log ends in one "Błąd:" line, the buttons are
    // as in Ready, no beep and no message; the earlier book is kept and no
    // temporary file is left. "Rozpocznij" starts again without emptying
    // the log.
    void stoppedByError_data() {
        QTest::addColumn<bool>("etap2");
        QTest::newRow("stage 1: entry missing") << false;
        QTest::newRow("stage 2: zero duration") << true;
    }
    void stoppedByError() {
        QFETCH(bool, etap2);
        const QString scalony = magazyn + QStringLiteral("/k.mp3");
        QVERIFY(zapiszBajty(scalony, "stara"));
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.dat"), "0\t1"));
        const auto przed = zawartoscFolderu(magazyn);
        if (etap2)
            miernik = [](const QString&) { return PomiarMp3{{44100, 2}, 0, 0}; };
        else
            QFile::remove(pliki[1]);
        scalaj(scalony);
        rozpocznijIZaczekaj();
        const QStringList log = linie(dialog->Memo1);
        QVERIFY(log.last().startsWith(QStringLiteral("Błąd: ")));
        QCOMPARE(log.filter(QStringLiteral("Błąd: ")).size(), 1);
        QCOMPARE(log.contains(QStringLiteral("Sklejanie zakonczone powodzeniem")), etap2);
        QVERIFY(dialog->ButtonRozpocznij->isVisible());
        QCOMPARE(dialog->ButtonAnuluj->text(), QStringLiteral("Anuluj"));
        QVERIFY(kontrolka<QLabel>(*dialog, "Ogloszenie")
                    ->text()
                    .startsWith(u"Scalanie nie powiodło się"_s));
        QCOMPARE(dialog->focusWidget(), dialog->ButtonAnuluj);
        QCOMPARE(seams->beeps, 0);
        QVERIFY(seams->messages.isEmpty());
        QCOMPARE(zawartoscFolderu(magazyn), przed);

        rozpocznijIZaczekaj();
        QCOMPARE(linie(dialog->Memo1).filter(QStringLiteral("Błąd: ")).size(), 2);
        QCOMPARE(linie(dialog->Memo1).first(), log.first());
    }

    // A book named like one of the entries or like the current project's
    // file is refused with a log line and a message; that file is not
    // touched.
    void refusesFileItReads_data() {
        QTest::addColumn<bool>("projekt");
        QTest::newRow("entry") << false;
        QTest::newRow("project file") << true;
    }
    void refusesFileItReads() {
        QFETCH(bool, projekt);
        QString cel = pliki[1];
        if (projekt) {
            cel = magazyn + QStringLiteral("/projekt.mp3");
            zapiszPlikProjektu(cel, form->projekt().pozycje());
            form->projekt().ustawNazwaProjektu(cel);
        }
        const QByteArray przed = bajtyPliku(cel);
        scalaj(cel);
        rozpocznijIZaczekaj();
        const QStringList log = linie(dialog->Memo1);
        QCOMPARE(log.size(), 2);
        QVERIFY(log.at(1).startsWith(QStringLiteral("Błąd: Nie można scalić plików do ") + cel));
        QCOMPARE(seams->messages.size(), 1);
        QCOMPARE(seams->messages.at(0).caption, QStringLiteral("Uwaga"));
        QVERIFY(seams->messages.at(0).text.contains(cel));
        QCOMPARE(bajtyPliku(cel), przed);
        QCOMPARE(zawartoscFolderu(tmp.filePath(QStringLiteral("nagrania"))).size(), 3);
        QCOMPARE(zawartoscFolderu(magazyn).size(), projekt ? 1 : 0);
        QVERIFY(dialog->ButtonRozpocznij->isVisible());
    }

    // The command-line merge of the saved project writes the very bytes the
    // dialog wrote, measured by the real probe; with "Indeks szacowany" set,
    // those of --indeks-szacowany, whose index differs for files of
    // different bit rates.
    void sameBytesAsCommandLine_data() {
        QTest::addColumn<bool>("szacowany");
        QTest::newRow("exact index") << false;
        QTest::newRow("estimated index") << true;
    }
    void sameBytesAsCommandLine() {
        QFETCH(bool, szacowany);
        Konfiguracja k = form->konfiguracja();
        k.Wykrywanie.IndeksSzacowany = szacowany;
        form->ZapiszKonfiguracje(k);
        form->OdczytajKonfiguracje();
        for (int i = 0; i < pliki.size(); ++i) {
            Mp3Format fmt;
            fmt.durationMs = 1200 + 700 * i;
            fmt.vbr = i != 1;
            fmt.xing = fmt.vbr;
            fmt.id3v2 = true;
            makeMp3(pliki[i], fmt);
            PozycjaProjektu p = form->projekt().wiersz(i);
            p.Poczatek = QString::number(300 * i);
            form->projekt().zmien(i, p);
        }
        const QString scalony = magazyn + QStringLiteral("/Książka.mp3");
        scalaj(scalony);
        rozpocznijIZaczekaj();
        QCOMPARE(linie(dialog->Memo1), logUdany(scalony));

        const QString projekt = tmp.filePath(QStringLiteral("projekt.xml"));
        zapiszPlikProjektu(projekt, form->projekt().pozycje());
        const auto cli = [&](const QString& folder, bool flaga) {
            QVERIFY(QDir().mkpath(folder));
            QStringList args{projekt, folder + QStringLiteral("/Książka.mp3")};
            if (flaga)
                args.prepend(QStringLiteral("--indeks-szacowany"));
            QProcess proces;
            proces.start(QCoreApplication::applicationDirPath() +
                             QStringLiteral("/../src/sonvek-merge"),
                         args);
            QVERIFY(proces.waitForFinished(120000));
            QCOMPARE(proces.exitCode(), 0);
        };
        const QString inny = tmp.filePath(QStringLiteral("wiersz poleceń"));
        cli(inny, szacowany);
        QCOMPARE(zawartoscFolderu(inny), zawartoscFolderu(magazyn));
        QVERIFY(!bajtyPliku(inny + QStringLiteral("/Książka.dat")).isEmpty());
        const QString przeciwny = tmp.filePath(QStringLiteral("przeciwny"));
        cli(przeciwny, !szacowany);
        QVERIFY(bajtyPliku(przeciwny + QStringLiteral("/Książka.dat")) !=
                bajtyPliku(inny + QStringLiteral("/Książka.dat")));
    }

    // "Wyrównaj głośność", off until ticked (Alt+W), levels to the target of
    // the settings as sonvek-merge does, says the summary at the end, and
    // keeps the measurements for the window: the next merge measures nothing.
    void levelsWhenTicked() {
        Konfiguracja k = form->konfiguracja();
        k.Wykrywanie.CelGlosnosci = u"-16"_s;
        form->ZapiszKonfiguracje(k);
        form->OdczytajKonfiguracje();
        for (int i = 0; i < pliki.size(); ++i) {
            Mp3Format fmt;
            fmt.durationMs = 1000;
            fmt.level = 0.1 + 0.4 * i;
            makeMp3(pliki[i], fmt);
        }
        const QString scalony = magazyn + QStringLiteral("/Książka.mp3");
        scalaj(scalony);
        QVERIFY(!dialog->CheckWyrownaj->isChecked());
        QVERIFY(dialog->CheckWyrownaj->accessibleDescription().startsWith(
            u"Do \u221216,0 LUFS, bez ponownego kodowania"_s));
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_W, Qt::AltModifier);
        QTRY_VERIFY(dialog->CheckWyrownaj->isChecked()); // a mnemonic clicks as the mouse does
        for (const bool drugi : {false, true}) {
            rozpocznijIZaczekaj();
            const QStringList log = linie(dialog->Memo1);
            QCOMPARE(log.filter(u"Trwa pomiar głośności"_s).size(), drugi ? 0 : 1);
            QCOMPARE(log.filter(QRegularExpression(u"^plik "_s)).size(), pliki.size());
            QVERIFY2(kontrolka<QLabel>(*dialog, "Ogloszenie")
                         ->text()
                         .startsWith(u"Scalanie zakończone powodzeniem. Głośność wyrównana do "
                                     u"\u221216,0 LUFS: zmieniono "_s),
                     qPrintable(kontrolka<QLabel>(*dialog, "Ogloszenie")->text()));
            QVERIFY(form->glosnosci().znajdz(pliki[0]));
            QVERIFY(dialog->CheckWyrownaj->isEnabled());
            QTest::keyClick(dialog, Qt::Key_Escape);
            scalaj(scalony);
        }
        const QString projekt = tmp.filePath(QStringLiteral("projekt.xml"));
        zapiszPlikProjektu(projekt, form->projekt().pozycje());
        const QString inny = tmp.filePath(QStringLiteral("wiersz poleceń"));
        QVERIFY(QDir().mkpath(inny));
        QProcess proces;
        proces.start(
            QCoreApplication::applicationDirPath() + QStringLiteral("/../src/sonvek-merge"),
            {u"--wyrownaj-glosnosc=-16"_s, projekt, inny + QStringLiteral("/Książka.mp3")});
        QVERIFY(proces.waitForFinished(120000));
        QCOMPARE(proces.exitCode(), 0);
        QCOMPARE(zawartoscFolderu(inny), zawartoscFolderu(magazyn));
    }
};

QTEST_MAIN(TestMergeDialog)
#include "tstui_mergedialog.moc"
