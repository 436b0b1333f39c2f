// Bookmark detection from the windows: "Wykryj zakładki" over the list and
// "Wykryj" in the bookmark editor, on recordings of Polish speech made at
// test time. Where a title lies is the core's business (its own tests); here
// the values found must land in the right rows and fields, and nothing else
// may change.
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
#include "widgets/FormBlad.h"
#include "widgets/LiniaKomunikatu.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

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
    void ustawPrzerwe(int ms) {
        Konfiguracja k = form.konfiguracja();
        k.Wykrywanie.Przerwa = ms;
        form.ZapiszKonfiguracje(k);
        form.OdczytajKonfiguracje();
    }
    QString bookmark(int row) const {
        const PozycjaProjektu p = form.projekt().wiersz(row);
        return p.Poczatek + u'/' + p.Dlugosc;
    }
    QString notice() {
        for (QDialog* d : std::as_const(seams.shown))
            if (auto* blad = qobject_cast<TFormBlad*>(d))
                return blad->Memo1->toPlainText();
        return {};
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

    void listCommand_data() {
        QTest::addColumn<QList<int>>("zaznaczone"); // none or one: every row
        QTest::addColumn<int>("przerwa");
        QTest::addColumn<bool>("juzWykryta"); // the title's row holds the values found
        QTest::addColumn<QList<int>>("zmienione");
        QTest::addColumn<QList<int>>("wykaz"); // rows named in the notice
        QTest::newRow("every row") << QList<int>{} << 700 << false << QList<int>{Tytul}
                                   << QList<int>{KrotkaPrzerwa, Zepsuty};
        QTest::newRow("only the selected rows")
            << QList<int>{KrotkaPrzerwa, Zepsuty} << 700 << false << QList<int>{}
            << QList<int>{KrotkaPrzerwa, Zepsuty};
        QTest::newRow("one row selected: every row; values found already: no change")
            << QList<int>{Tytul} << 700 << true << QList<int>{}
            << QList<int>{KrotkaPrzerwa, Zepsuty};
        QTest::newRow("a shorter pause from the settings")
            << QList<int>{KrotkaPrzerwa, Tytul} << 350 << false << QList<int>{Tytul, KrotkaPrzerwa}
            << QList<int>{};
    }
    void listCommand() {
        QFETCH(QList<int>, zaznaczone);
        QFETCH(int, przerwa);
        QFETCH(bool, juzWykryta);
        QFETCH(QList<int>, zmienione);
        QFETCH(QList<int>, wykaz);
        Okno o(dir.path(), {});
        o.ustawPrzerwe(przerwa);
        wypelnij(o);
        if (juzWykryta) {
            const auto t = wykryjTytul(pliki[Tytul], przerwa);
            PozycjaProjektu p = o.form.projekt().wiersz(Tytul);
            p.Poczatek = QString::number(t->poczatekMs);
            p.Dlugosc = QString::number(t->dlugoscMs);
            o.form.projekt().zmien(Tytul, p);
            o.form.projekt().ustawProjektZmieniony(false);
        }
        QStringList przed;
        for (int row = 0; row < pliki.size(); ++row)
            przed.append(o.bookmark(row));
        o.zaznacz(zaznaczone);

        akcja(o.form, "Wykryjzakadki1")->trigger();

        for (int row = 0; row < pliki.size(); ++row) {
            const QString oczekiwana =
                zmienione.contains(row) ? text(wykryjTytul(pliki[row], przerwa)) : przed[row];
            QCOMPARE(o.bookmark(row), oczekiwana);
        }
        QCOMPARE(o.form.projekt().ProjektZmieniony(), !zmienione.isEmpty());
        const QStringList linie = o.notice().split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(linie.size(), wykaz.isEmpty() ? 0 : wykaz.size() + 1);
        for (qsizetype i = 0; i < wykaz.size(); ++i)
            QVERIFY2(linie[i + 1].startsWith(pliki[wykaz[i]]), qPrintable(linie[i + 1]));
        QVERIFY(o.seams.messages.isEmpty());
        QVERIFY(kontrolka<LiniaKomunikatu>(o.form, "StatusBar1")
                    ->text()
                    .startsWith(u"Wykrywanie zakładek zakończone"_s));

        // Whatever it changed, one "Cofnij" takes back.
        if (!zmienione.isEmpty()) {
            akcja(o.form, "Cofnij1")->trigger();
            for (int row = 0; row < pliki.size(); ++row)
                QCOMPARE(o.bookmark(row), przed[row]);
            QVERIFY(!o.form.projekt().ProjektZmieniony());
        }
    }

    // With the setting on, "Dodaj" gives the new rows detected bookmarks
    // (those without a title keep the default and are listed); off, it
    // leaves the default alone.
    void addingDetects_data() {
        QTest::addColumn<bool>("przyDodawaniu");
        QTest::newRow("setting on") << true;
        QTest::newRow("setting off") << false;
    }
    void addingDetects() {
        QFETCH(bool, przyDodawaniu);
        Okno o(dir.path(), {});
        Konfiguracja k = o.form.konfiguracja();
        k.Wykrywanie.WykrywajPrzyDodawaniu = przyDodawaniu;
        o.form.ZapiszKonfiguracje(k);
        o.form.OdczytajKonfiguracje();
        o.seams.openAnswers = {{pliki[Tytul], pliki[KrotkaPrzerwa]}};
        akcja(o.form, "Dodaj2")->trigger();
        QCOMPARE(o.form.projekt().rowCount(), 2);
        // The files are listed by name, as in the fixture.
        QCOMPARE(o.bookmark(Tytul), przyDodawaniu ? text(wykryjTytul(pliki[Tytul])) : u"0/5000"_s);
        QCOMPARE(o.bookmark(KrotkaPrzerwa), u"0/5000"_s);
        QCOMPARE(o.notice().contains(pliki[KrotkaPrzerwa]), przyDodawaniu);
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
