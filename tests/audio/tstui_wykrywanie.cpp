// Bookmark detection from the windows: which rows "Wykryj zakładki" works
// on, its progress window's stop, and "Wykryj" in the bookmark editor on
// recordings of Polish speech made at test time. What the command does with
// the titles found is the session's business (its own tests).
#include "app/MainForm.h"
#include "audio/WykrywanieTytulu.h"
#include "audio/ui/FormUstawZakladke.h"
#include "audio/ui/FormWykrywanie.h"
#include "audio/ui/WykresFali.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "support/Speech.h"
#include "widgets/LiniaKomunikatu.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

// The rows every test starts from: a title with a long pause after it, a
// title whose pause is short, and a file that is no audio.
enum Wiersz { Tytul, KrotkaPrzerwa, Zepsuty };

struct Okno {
    FakeSeams seams;
    QTemporaryDir conf; // settings of this window only
    SettingsStore store;
    TMainForm form;

    Okno(const QString& dir, const WykrywanieTytulow& wykrywanie)
        : store(conf.path()), form(uslugi(seams, store, dir, wykrywanie)) {
        form.utworzOkna();
        seams.messages.clear(); // the first-run notice
    }
    static Uslugi uslugi(FakeSeams& seams, SettingsStore& store, const QString& dir,
                         const WykrywanieTytulow& wykrywanie) {
        Uslugi u(seams, store, dir);
        u.wykrywanieTytulow = wykrywanie;
        return u;
    }
    void dodaj(const QString& path, const QString& poczatek, const QString& dlugosc) {
        dodajWiersz(form, path, poczatek, dlugosc);
    }
    void zaznacz(const QList<int>& rows) {
        lista(form)->clearSelection();
        for (int row : rows)
            lista(form)->selectionModel()->select(lista(form)->model()->index(row, 0),
                                                  QItemSelectionModel::Select |
                                                      QItemSelectionModel::Rows);
    }
    QString bookmark(int row) const {
        const PozycjaProjektu p = form.projekt().wiersz(row);
        return p.Poczatek + u'/' + p.Dlugosc;
    }
};

QString text(const std::optional<WykrytyTytul>& t) {
    return t ? u"%1/%2"_s.arg(t->poczatekMs).arg(t->dlugoscMs) : u"-"_s;
}

} // namespace

class TestWykrywanie : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QStringList pliki; // by Wiersz

    void wypelnij(Okno& o) {
        for (const QString& p : std::as_const(pliki))
            o.dodaj(p, u"0"_s, u"5000"_s);
    }

private slots:
    void initTestCase() {
        const std::vector<short> title = speak(u"Rozdział siódmy."_s);
        const std::vector<std::vector<short>> body{
            speak(u"Było ciepłe, pogodne popołudnie i nikt nie spodziewał się burzy."_s)};
        for (const auto& [pauza, nazwa] : {std::pair{1000, "długa"}, std::pair{450, "krótka"}}) {
            RecordingPlan plan;
            plan.leadInMs = 400;
            plan.pauseMs = pauza;
            const Recording r = makeRecording(plan, title, body, 6000);
            Mp3Format kodowanie;
            kodowanie.sampleRate = r.sampleRate;
            pliki.append(dir.filePath(u"%1 przerwa.mp3"_s.arg(QString::fromUtf8(nazwa))));
            QVERIFY(zapiszBajty(pliki.last(), makeMp3Data(kodowanie, r.samples)));
        }
        pliki.append(dir.filePath(u"tekst.mp3"_s));
        QVERIFY(zapiszBajty(pliki.last(), QByteArray(5000, 'x')));
        // Both pauses are told apart at the settings' default.
        QVERIFY(wykryjTytul(pliki[Tytul]));
        QVERIFY(!wykryjTytul(pliki[KrotkaPrzerwa]));
    }

    // "Wykryj zakładki" works on the selected rows, or on every row when
    // at most one is selected; its result is on the status line.
    void listCommandRows_data() {
        QTest::addColumn<QList<int>>("zaznaczone");
        QTest::addColumn<QList<int>>("pytane");
        QTest::newRow("none selected") << QList<int>{} << QList<int>{0, 1, 2};
        QTest::newRow("one selected") << QList<int>{1} << QList<int>{0, 1, 2};
        QTest::newRow("two selected") << QList<int>{2, 0} << QList<int>{0, 2};
    }
    void listCommandRows() {
        QFETCH(QList<int>, zaznaczone);
        QFETCH(QList<int>, pytane);
        std::mutex blokada;
        QStringList pliki;
        Okno o(dir.path(), [&](const QString& path, int, const std::atomic_bool*) {
            const std::lock_guard lock(blokada);
            pliki.append(path);
            return std::optional(WykrytyTytul{100, 2000, 2100});
        });
        wypelnij(o);
        o.zaznacz(zaznaczone);
        akcja(o.form, "Wykryjzakadki1")->trigger();
        QStringList oczekiwane;
        for (int row : pytane)
            oczekiwane.append(this->pliki[row]);
        pliki.sort();
        oczekiwane.sort();
        QCOMPARE(pliki, oczekiwane);
        QVERIFY(kontrolka<LiniaKomunikatu>(o.form, "StatusBar1")
                    ->text()
                    .startsWith(u"Wykrywanie zakładek zakończone"_s));
    }

    // The progress window stops on "Anuluj" and on Esc, and then no row
    // changes, also none whose title was found before the stop.
    void cancelChangesNothing_data() {
        QTest::addColumn<bool>("esc");
        QTest::newRow("Anuluj") << false;
        QTest::newRow("Esc") << true;
    }
    void cancelChangesNothing() {
        QFETCH(bool, esc);
        std::atomic_int wywolania = 0;
        // The first file is found at once; the second waits for the stop.
        Okno o(dir.path(), [&](const QString&, int, const std::atomic_bool* przerwij) {
            if (wywolania++ == 0)
                return std::optional<WykrytyTytul>(WykrytyTytul{100, 2000, 1900});
            while (!*przerwij)
                QThread::yieldCurrentThread();
            return std::optional<WykrytyTytul>();
        });
        wypelnij(o);
        QString nazwa, etykieta;
        QMetaObject::invokeMethod(
            &o.form,
            [&] {
                auto* okno = o.form.findChild<TFormWykrywanie*>(u"FormWykrywanie"_s);
                QVERIFY(okno);
                QTRY_COMPARE(okno->ProgressBar1->value(), 1);
                nazwa = okno->accessibleName();
                if (esc)
                    QTest::keyClick(okno, Qt::Key_Escape);
                else
                    QTest::mouseClick(okno->ButtonAnuluj, Qt::LeftButton);
                etykieta = okno->LabelPlik->text();
            },
            Qt::QueuedConnection);

        akcja(o.form, "Wykryjzakadki1")->trigger();

        QCOMPARE(nazwa, u"Wykrywanie zakładek"_s);
        QCOMPARE(etykieta, u"Przerywanie…"_s);
        QCOMPARE(wywolania.load(), 2);
        for (int row = 0; row < pliki.size(); ++row)
            QCOMPARE(o.bookmark(row), u"0/5000"_s);
        QVERIFY(!o.form.projekt().ProjektZmieniony());
        QVERIFY(o.seams.shown.isEmpty());
        QVERIFY(kontrolka<LiniaKomunikatu>(o.form, "StatusBar1")->text().contains(u"przerwano"_s));
    }

    // "Wykryj" in the editor: what it finds goes into the fields and the
    // picture, OK writes it; where it finds nothing the editor says so and
    // the fields stay.
    void editorDetects_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("title found") << int(Tytul) << u"Wykryto zakładkę: początek "_s;
        QTest::newRow("no pause long enough")
            << int(KrotkaPrzerwa)
            << u"Nie znaleziono tytułu: w pierwszych 60 s pliku nie ma "
               "przerwy co najmniej 700 ms"_s;
        QTest::newRow("no audio") << int(Zepsuty) << u"Nie można wykryć zakładki: "_s;
    }
    void editorDetects() {
        QFETCH(int, row);
        QFETCH(QString, komunikat);
        Okno o(dir.path(), {});
        wypelnij(o);
        o.zaznacz({row});
        const auto t = row == Zepsuty ? std::nullopt : wykryjTytul(pliki[row]);
        const QString oczekiwana = t ? text(t) : u"0/5000"_s;
        QString pola, wykres, powiedziane;
        const auto work = [&](TFormUstawZakladke& e) {
            // Pressed at once: the detection waits for the picture's decode.
            QTest::mouseClick(e.ButtonWykryj, Qt::LeftButton);
            QTRY_VERIFY(e.LabelWykrywanie->text() != u"Wykrywanie zakładki…"_s);
            pola = e.EditPoczatek->text() + u'/' + e.EditDlugosc->text();
            wykres = u"%1/%2"_s.arg(e.WykresFali1->poczatek()).arg(e.WykresFali1->dlugosc());
            powiedziane = kontrolka<LiniaKomunikatu>(o.form, "Ogloszenie")->text();
            QVERIFY2(e.LabelWykrywanie->text().startsWith(komunikat),
                     qPrintable(e.LabelWykrywanie->text()));
            QTest::mouseClick(e.ButtonOK, Qt::LeftButton);
        };
        o.seams.onExec = [&](QDialog* d) {
            d->show();
            work(*static_cast<TFormUstawZakladke*>(d));
            return d->result();
        };
        akcja(o.form, "UstawZakladke1")->trigger();
        QCOMPARE(pola, oczekiwana);
        QCOMPARE(wykres, oczekiwana);
        QVERIFY2(powiedziane.startsWith(komunikat), qPrintable(powiedziane));
        QCOMPARE(o.bookmark(row), oczekiwana);
        QCOMPARE(o.form.projekt().ProjektZmieniony(), t.has_value());
    }
};

QTEST_MAIN(TestWykrywanie)
#include "tstui_wykrywanie.moc"
