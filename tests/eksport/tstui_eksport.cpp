// "Plik → Eksportuj książkę..." in the main window: the details filled in
// and kept with the project, no question before a folder that is never
// replaced, the progress window and the spoken result; the window's
// controls named for a screen reader. The questions before replacing a book
// are the session's, tested with it.

#include "app/MainForm.h"
#include "eksport/ui/FormEksport.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "widgets/Komunikaty.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestEksport : public QObject, OknoWFolderze {
    Q_OBJECT

private slots:
    void init() {
        otworz();
        Mp3Format f;
        f.durationMs = 800;
        for (const QString& n : {u"a.mp3"_s, u"b.mp3"_s}) {
            makeMp3(sciezka(n), f);
            dodajWiersz(*form, sciezka(n), u"0"_s, u"300"_s);
        }
    }
    void cleanup() { form.reset(); }

    void exportFromWindow_data() {
        QTest::addColumn<QString>("przypadek");
        QTest::addColumn<QString>("status");
        QTest::newRow("both forms")
            << u"nowe"_s << u"Książka wyeksportowana: książka DAISY w folderze "_s;
        // Nothing to ask: such a folder is never replaced.
        QTest::newRow("existing folder that is no book")
            << u"obcy"_s << u"Eksport nie udał się; nic nie zapisano."_s;
        QTest::newRow("an entry that is no MP3")
            << u"zly"_s << u"Eksport nie udał się; nic nie zapisano."_s;
    }
    void exportFromWindow() {
        QFETCH(QString, przypadek);
        QFETCH(QString, status);
        const QString daisy = sciezka(u"d"_s), mp3 = sciezka(u"k.mp3"_s);
        if (przypadek == u"obcy")
            QVERIFY(QDir().mkpath(daisy + u"/stare"_s));
        if (przypadek == u"zly")
            QVERIFY(zapiszBajty(sciezka(u"b.mp3"_s), makeWavData(300)));
        const auto przed = zawartoscFolderu(daisy);
        seams.onExec = [&](QDialog* d) {
            auto* okno = qobject_cast<TFormEksport*>(d);
            if (!okno)
                return int(QDialog::Rejected);
            // Filled in: the language by default, the title from the project.
            [&] {
                QCOMPARE(okno->EditJezyk->text(), u"pl"_s);
                QVERIFY(okno->CheckDaisy->isChecked() && okno->CheckRozdzialy->isChecked());
            }();
            okno->EditTytul->setText(u"Tytuł z okna"_s);
            okno->EditLektor->setText(u"Lektor z okna"_s);
            okno->EditDaisy->setText(daisy);
            okno->EditRozdzialy->setText(mp3);
            okno->ButtonEksportuj->click();
            return okno->result();
        };
        akcja(*form, "Eksportujksiazke1")->trigger();
        QVERIFY2(form->tekstStatusu().startsWith(status), qPrintable(form->tekstStatusu()));
        QCOMPARE(form->projekt().opisKsiazki().lektor, u"Lektor z okna"_s);
        QVERIFY(form->projekt().ProjektZmieniony());
        // Saved with the project, and back when it is opened again.
        form->projekt().zapisz(sciezka(u"p.xml"_s));
        form->projekt().nowy();
        QCOMPARE(form->projekt().opisKsiazki(), OpisKsiazki{});
        form->projekt().wczytaj(sciezka(u"p.xml"_s));
        QCOMPARE(form->projekt().opisKsiazki().tytul, u"Tytuł z okna"_s);
        // The refusal says why, and it is the only message: nothing asked.
        if (przypadek == u"obcy")
            QVERIFY2(seams.texts().size() == 1 &&
                         seams.texts().first().contains(u"nie zostanie zastąpiony"_s) &&
                         seams.texts().first().contains(u"„stare”"_s),
                     qPrintable(seams.texts().join(u'|')));
        const bool zrobione = status.startsWith(u"Książka"_s);
        QCOMPARE(bajtyPliku(daisy + u"/ncc.html"_s).contains("Daisy 2.02"), zrobione);
        QCOMPARE(QFile::exists(mp3), zrobione);
        if (!zrobione)
            QCOMPARE(zawartoscFolderu(daisy), przed);
        if (przypadek == u"zly")
            QVERIFY(seams.texts().last().contains(u"nie jest plikiem MP3"_s));
        QCOMPARE(wpisyFolderu(dir->path()).filter(u".tmp"_s), QStringList());
    }

    // The window says what is missing and stays open; every control has a
    // name for a screen reader and a label or text that Alt reaches.
    void windowRefusesAndIsNamed() {
        const Komunikaty komunikaty(seams, form.get());
        TFormEksport okno(form.get(), komunikaty);
        okno.przygotuj({{}, u"/x/d"_s, u"/x/k.mp3"_s});
        okno.show();
        // The levelling is off unless the session brings it, and Tab reaches it.
        QVERIFY(!okno.CheckWyrownaj->isChecked());
        QVERIFY(okno.CheckWyrownaj->focusPolicy() & Qt::TabFocus);
        okno.ButtonEksportuj->click();
        QCOMPARE(seams.texts(), QStringList{u"Podaj tytuł książki."_s});
        okno.EditTytul->setText(u"T"_s);
        okno.CheckDaisy->setChecked(false);
        okno.CheckRozdzialy->setChecked(false);
        okno.ButtonEksportuj->click();
        QVERIFY(seams.texts().last().startsWith(u"Wybierz, co utworzyć"_s));
        QVERIFY(!okno.EditDaisy->isEnabled());
        QVERIFY(okno.isVisible());
        for (QWidget* w : okno.findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractButton*>(w))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
        }
        QCOMPARE(akcja(*form, "Eksportujksiazke1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    }
};

QTEST_MAIN(TestEksport)
#include "tstui_eksport.moc"
