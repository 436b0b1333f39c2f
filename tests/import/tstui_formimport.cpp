// "Plik → Importuj książkę..." in the main window: a source chosen through
// the file dialog is read and listed before anything is written, the
// encoding offered only where something is encoded, an existing project
// refused with the window left open, and the new project opened after the
// question about unsaved changes.

#include "app/MainForm.h"
#include "import/ui/FormImport.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestFormImport : public QObject, OknoWFolderze {
    Q_OBJECT

private slots:
    void init() { otworz(); }
    void cleanup() { form.reset(); }

    void importFromWindow_data() {
        QTest::addColumn<QString>("zrodlo");
        QTest::addColumn<QString>("przypadek");
        QTest::addColumn<QStringList>("linie");
        const QStringList mp3{u"Rozdział 1: 01 jeden, długość 0:00:01"_s,
                              u"Rozdział 2: 02 dwa, długość 0:00:01"_s};
        const QStringList cue{u"Rozdział 1: Pierwszy, długość 0:00:01"_s,
                              u"Rozdział 2: Drugi ąę, długość 0:00:02"_s};
        QTest::newRow("folder of MP3, cut") << u"mp3"_s << u"nowy"_s << mp3;
        QTest::newRow("cue sheet with a WAV, encoded") << u"cue"_s << u"nowy"_s << cue;
        QTest::newRow("existing project refused, then another name")
            << u"cue"_s << u"istniejacy"_s << cue;
        QTest::newRow("unsaved changes kept: not opened") << u"mp3"_s << u"anuluj"_s << mp3;
    }
    void importFromWindow() {
        QFETCH(QString, zrodlo);
        QFETCH(QString, przypadek);
        QFETCH(QStringList, linie);
        const QString ksiazka = sciezka(u"książka"_s);
        QVERIFY(QDir().mkpath(ksiazka));
        QStringList wybrane;
        if (zrodlo == u"mp3") {
            Mp3Format f;
            f.durationMs = 1200;
            makeMp3(ksiazka + u"/02 dwa.mp3"_s, f);
            makeMp3(ksiazka + u"/01 jeden.mp3"_s, f);
            wybrane = {ksiazka};
        } else {
            QVERIFY(zapiszBajty(ksiazka + u"/płyta.wav"_s, makeWavData(3000)));
            QVERIFY(zapiszBajty(ksiazka + u"/płyta.cue"_s,
                                QStringEncoder(QStringConverter::Utf8)
                                    .encode(u"TITLE \"Płyta\"\nFILE \"płyta.wav\" WAVE\n"
                                            "  TRACK 01 AUDIO\n    TITLE \"Pierwszy\"\n"
                                            "    INDEX 01 00:00:00\n"
                                            "  TRACK 02 AUDIO\n    TITLE \"Drugi ąę\"\n"
                                            "    INDEX 01 00:01:00\n"_s)));
            wybrane = {ksiazka + u"/płyta.cue"_s};
        }
        // A project of the same name exists: the proposed name avoids it,
        // and the one typed over it is refused.
        const QByteArray stary = "<stary projekt/>";
        // (Beside the book's folder, or beside its cue sheet, named after the disc.)
        const QString istniejacy =
            zrodlo == u"mp3" ? sciezka(u"książka.xml"_s) : ksiazka + u"/Płyta.xml"_s;
        QVERIFY(zapiszBajty(istniejacy, stary));
        if (przypadek == u"anuluj") {
            dodajWiersz(*form, ksiazka + u"/01 jeden.mp3"_s, u"0"_s, u"100"_s);
            form->projekt().ustawProjektZmieniony(true);
            seams.answers = {FakeSeams::Esc};
        }
        seams.openAnswers = {wybrane};
        const QString nowy = sciezka(u"nowy.xml"_s);
        bool pokazane = false;
        seams.onExec = [&](QDialog* d) {
            auto* okno = qobject_cast<TFormImport*>(d);
            if (!okno)
                return int(QDialog::Rejected);
            pokazane = true;
            (zrodlo == u"mp3" ? okno->ButtonFolder : okno->ButtonPliki)->click();
            [&] {
                QTRY_VERIFY_WITH_TIMEOUT(!okno->czyta(), 20000);
                QStringList widziane;
                for (int i = 0; i < okno->ListRozdzialy->count(); ++i)
                    widziane
                        << okno->ListRozdzialy->item(i)->data(Qt::AccessibleTextRole).toString();
                QVERIFY2(widziane.size() == 3 && widziane.mid(1) == linie,
                         qPrintable(widziane.join(u'|')));
                QVERIFY(widziane.first().contains(u"Rozdziałów: 2"_s));
                QCOMPARE(okno->ComboKbps->isEnabled(), zrodlo == u"cue"_s);
                QVERIFY(okno->LabelKodowanie->text().contains(
                    zrodlo == u"cue"_s ? u"domyślnie 64 kb/s mono, 44,1 kHz — dobre dla mowy"_s
                                       : u"bez ponownego kodowania"_s));
                QCOMPARE(QFileInfo(okno->EditProjekt->text()).fileName(),
                         QFileInfo(istniejacy).completeBaseName() + u" (2).xml"_s);
                if (przypadek == u"istniejacy") {
                    okno->EditProjekt->setText(istniejacy);
                    okno->ButtonImportuj->click();
                    QCOMPARE(okno->result(), int(QDialog::Rejected));
                    QVERIFY2(seams.texts().size() == 1 &&
                                 seams.texts().first().contains(u"już istnieje"_s) &&
                                 seams.texts().first().contains(istniejacy),
                             qPrintable(seams.texts().join(u'|')));
                    seams.messages.clear();
                }
                if (zrodlo == u"cue")
                    okno->ComboKanaly->setCurrentIndex(okno->ComboKanaly->findData(2));
                okno->EditProjekt->setText(nowy);
                okno->ButtonImportuj->click();
            }();
            return okno->result();
        };
        akcja(*form, "Importujksiazke1")->trigger();
        QVERIFY(pokazane);
        QVERIFY(!QTest::currentTestFailed());
        QCOMPARE(bajtyPliku(istniejacy), stary);
        // Written whole: the project and its folder of two chapters.
        QVERIFY(QFileInfo(nowy).isFile());
        QCOMPARE(wpisyFolderu(sciezka(u"nowy"_s)).size(), 2);
        // The encoding chosen in the window.
        if (zrodlo == u"cue") {
            QProcess ffprobe;
            ffprobe.start(u"ffprobe"_s,
                          {u"-v"_s, u"error"_s, u"-show_entries"_s, u"stream=channels"_s, u"-of"_s,
                           u"csv=p=0"_s,
                           sciezka(u"nowy/"_s) + wpisyFolderu(sciezka(u"nowy"_s)).first()});
            QVERIFY(ffprobe.waitForFinished());
            QCOMPARE(ffprobe.readAllStandardOutput().trimmed(), "2");
        }
        if (przypadek == u"anuluj") {
            QCOMPARE(seams.texts(), QStringList{u"Czy zapisać zmiany w projekcie?"_s});
            QCOMPARE(form->projekt().rowCount(), 1);
            QVERIFY(form->tekstStatusu().contains(u"nie został otwarty"_s));
        } else {
            QCOMPARE(seams.texts(), QStringList());
            QCOMPARE(form->projekt().rowCount(), 2);
            QCOMPARE(QFileInfo(form->projekt().NazwaProjektu()), QFileInfo(nowy));
        }
    }
};

QTEST_MAIN(TestFormImport)
#include "tstui_formimport.moc"
