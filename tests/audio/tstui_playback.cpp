// Playback commands of the main window and the bookmark editor, driven as
// the user drives them: keys on the list and in the fields, menu items and
// buttons. Sound goes to SDL's dummy driver, or to a file where a test
// checks what was played.
#include "app/MainForm.h"
#include "audio/MediaPlayer.h"
#include "audio/Mp3Probe.h"
#include "audio/ui/FormUstawZakladke.h"
#include "audio/ui/WykresFali.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/DiskAudio.h"
#include "support/FakeSeams.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kNoDevice = QStringLiteral("No MCI device open.");

// The main window with a fake user behind its dialogs and message boxes.
struct Okno {
    FakeSeams seams;
    SettingsStore store;
    TMainForm form;

    explicit Okno(const QString& dir)
        : store(dir + QStringLiteral("/conf")), form(Uslugi(seams, store, dir)) {
        form.utworzOkna();
        seams.messages.clear(); // the first-run notice
    }

    void dodaj(const QString& path, const QString& poczatek, const QString& dlugosc) {
        dodajWiersz(form, path, poczatek, dlugosc);
    }
    void zaznacz(int row) {
        lista(form)->clearSelection();
        lista(form)->setCurrentIndex(lista(form)->model()->index(row, 0));
    }
    TMediaPlayer& player() { return *kontrolka<TMediaPlayer>(form, "MediaPlayer1"); }
    TFormUstawZakladke& editor() {
        return *kontrolka<TFormUstawZakladke>(form, "FormUstawZakladke");
    }

    // Opens the bookmark editor, lets `work` use it while it is shown, and
    // closes it with Anuluj unless `work` closed it.
    void edytuj(const std::function<void(TFormUstawZakladke&)>& work) {
        seams.onExec = [&](QDialog* d) {
            d->show();
            d->activateWindow();
            if (QTest::qWaitForWindowActive(d))
                work(editor());
            if (d->isVisible())
                QTest::mouseClick(editor().ButtonAnuluj, Qt::LeftButton);
            return d->result();
        };
        akcja(form, "UstawZakladke1")->trigger();
        seams.onExec = nullptr;
    }
};

QString odtwarzanie(const QString& path) {
    return QStringLiteral("Odtwarzanie:") + path;
}

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString tone8s, tone3s, krotki;

    QString raw() const { return dir.filePath(QStringLiteral("out.raw")); }

private slots:
    void initTestCase() {
        Mp3Format fmt;
        fmt.durationMs = 8000;
        tone8s = makeMp3(dir.filePath(QStringLiteral("ton 8 s.mp3")), fmt);
        fmt.durationMs = 3000;
        fmt.toneHz = 660;
        tone3s = makeMp3(dir.filePath(QStringLiteral("ton 3 s.mp3")), fmt);
        fmt.durationMs = 300;
        krotki = makeMp3(dir.filePath(QStringLiteral("krótki.mp3")), fmt);
    }

    void init() { qputenv("SDL_AUDIODRIVER", "dummy"); }

    void spaceOnTheListPlaysTheBookmark() {
        useDiskAudio(raw());
        {
            Okno w(dir.path());
            w.dodaj(tone3s, QStringLiteral("0"), QStringLiteral("1000"));
            w.dodaj(tone8s, QStringLiteral("2000"), QStringLiteral("5000"));
            w.zaznacz(1);
            QSignalSpy finished(&w.player(), &TMediaPlayer::finished);
            QTest::keyClick(lista(w.form), Qt::Key_Space);
            QCOMPARE(w.form.tekstStatusu(), odtwarzanie(tone8s));
            QVERIFY(akcja(w.form, "Pauza1")->isEnabled());
            QCOMPARE(w.player().FileName, tone8s);
            QVERIFY(finished.wait(30000));
            QVERIFY(w.seams.messages.isEmpty());
        }
        // 2000..7000 ms lies inside the tone: exactly its samples were played.
        const qint64 expected = 5000 * TMediaPlayer::kOutputRate / 1000;
        const qint64 written = audibleSpan(raw());
        QVERIFY2(qAbs(written - expected) <= 1152, qPrintable(QString::number(written)));
    }

    void listKeysWithoutSelectionDoNothing() {
        Okno w(dir.path());
        w.dodaj(tone3s, QStringLiteral("0"), QStringLiteral("1000"));
        w.form.ustawStatus(QStringLiteral("Wolne miejsce"));
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return, Qt::Key_Escape})
            QTest::keyClick(lista(w.form), key);
        // The context menu's items are there without a selection and do nothing.
        akcja(w.form, "OdtowrzZakladke1")->trigger();
        akcja(w.form, "OdtworzPlik1")->trigger();
        akcja(w.form, "UstawZakladke1")->trigger();
        QCOMPARE(w.player().mode(), TMediaPlayer::Mode::NotOpen);
        QCOMPARE(w.form.tekstStatusu(), QStringLiteral("Wolne miejsce"));
        QVERIFY(!akcja(w.form, "Pauza1")->isEnabled());
        QVERIFY(w.seams.messages.isEmpty() && w.seams.shown.isEmpty());
    }

    void startingAnotherEntrySwitchesAndEscStops() {
        Okno w(dir.path());
        w.dodaj(tone8s, QStringLiteral("0"), QStringLiteral("8000"));
        w.dodaj(tone3s, QStringLiteral("500"), QStringLiteral("1000"));
        w.zaznacz(0);
        QTest::keyClick(lista(w.form), Qt::Key_Return);
        QCOMPARE(w.form.tekstStatusu(), odtwarzanie(tone8s));
        // The command returned while the sound goes on.
        QCOMPARE(w.player().mode(), TMediaPlayer::Mode::Playing);

        w.zaznacz(1);
        akcja(w.form, "OdtworZzakladke1")->trigger();
        QCOMPARE(w.form.tekstStatusu(), odtwarzanie(tone3s));
        QCOMPARE(w.player().FileName, tone3s);
        QCOMPARE(w.player().mode(), TMediaPlayer::Mode::Playing);

        QTest::keyClick(lista(w.form), Qt::Key_Escape);
        QCOMPARE(w.player().mode(), TMediaPlayer::Mode::NotOpen);
        QCOMPARE(w.form.tekstStatusu(), QString());
        QVERIFY(!akcja(w.form, "Pauza1")->isEnabled());
        QVERIFY(w.seams.messages.isEmpty());
    }

    void pauseAlternatesTheStatusLine() {
        Okno w(dir.path());
        w.dodaj(krotki, QStringLiteral("0"), QStringLiteral("200"));
        w.zaznacz(0);
        QSignalSpy finished(&w.player(), &TMediaPlayer::finished);
        akcja(w.form, "Odtwrzplik1")->trigger();
        akcja(w.form, "Pauza1")->trigger();
        QCOMPARE(w.player().mode(), TMediaPlayer::Mode::Paused);
        QCOMPARE(w.form.tekstStatusu(), QStringLiteral("Pauza"));
        akcja(w.form, "Pauza1")->trigger();
        QCOMPARE(w.form.tekstStatusu(), odtwarzanie(krotki));
        QVERIFY(finished.wait(20000));

        // After the end nothing plays, but the text still alternates.
        akcja(w.form, "Pauza1")->trigger();
        QCOMPARE(w.form.tekstStatusu(), QStringLiteral("Pauza"));
        akcja(w.form, "Pauza1")->trigger();
        QCOMPARE(w.form.tekstStatusu(), odtwarzanie(krotki));
        QVERIFY(akcja(w.form, "Pauza1")->isEnabled());
        QVERIFY(w.seams.messages.isEmpty());
    }

    void measurementInterruptsPlayback() {
        Okno w(dir.path());
        w.dodaj(tone8s, QStringLiteral("0"), QStringLiteral("8000"));
        w.zaznacz(0);
        akcja(w.form, "Odtwrzplik1")->trigger();
        // Adding a file measures it through the same player.
        w.player().FileName = tone3s;
        w.player().Open();
        w.player().Length();
        w.player().Close();
        // Stop changes nothing now: the old path stays on the status line.
        akcja(w.form, "Stop1")->trigger();
        QCOMPARE(w.form.tekstStatusu(), odtwarzanie(tone8s));
        QVERIFY(akcja(w.form, "Pauza1")->isEnabled());
        QVERIFY(w.seams.messages.isEmpty());
        // "Pauza" reports the player's error and leaves the status line.
        akcja(w.form, "Pauza1")->trigger();
        QCOMPARE(w.seams.texts(), QStringList{kNoDevice});
        QCOMPARE(w.seams.messages.at(0).icon, Seams::Icon::Critical);
        QCOMPARE(w.form.tekstStatusu(), odtwarzanie(tone8s));
    }

    void stopWithNothingOpenIsSilent() {
        Okno w(dir.path());
        w.dodaj(tone3s, QStringLiteral("0"), QStringLiteral("1000"));
        w.form.ustawStatus(QStringLiteral("Wolne miejsce"));
        akcja(w.form, "Stop1")->trigger();
        QCOMPARE(w.form.tekstStatusu(), QStringLiteral("Wolne miejsce"));
        QVERIFY(w.seams.messages.isEmpty());
    }

    void failuresLeaveStatusAndPause_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("poczatek");
        QTest::addColumn<QString>("error");
        QTest::newRow("missing file")
            << QStringLiteral("nie ma.mp3") << QStringLiteral("0") << QStringLiteral("nie ma.mp3");
        QTest::newRow("start not an integer")
            << QStringLiteral("ton 3 s.mp3") << QStringLiteral("1,5")
            << QStringLiteral("'1,5' is not a valid integer value.");
    }
    void failuresLeaveStatusAndPause() {
        QFETCH(QString, file);
        QFETCH(QString, poczatek);
        QFETCH(QString, error);
        Okno w(dir.path());
        w.dodaj(dir.filePath(file), poczatek, QStringLiteral("1000"));
        w.form.ustawStatus(QStringLiteral("Wolne miejsce"));
        w.zaznacz(0);
        QTest::keyClick(lista(w.form), Qt::Key_Space);
        QCOMPARE(w.seams.messages.size(), 1);
        QVERIFY2(w.seams.messages.at(0).text.contains(error), qPrintable(w.seams.texts().at(0)));
        QCOMPARE(w.form.tekstStatusu(), QStringLiteral("Wolne miejsce"));
        QVERIFY(!akcja(w.form, "Pauza1")->isEnabled());
        QCOMPARE(w.player().mode(), TMediaPlayer::Mode::NotOpen);
    }

    // ---- bookmark editor ----

    void editorSteps_data() {
        QTest::addColumn<QString>("field"); // "P" start, "D" length
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("control"); // button name, or a key
        QTest::addColumn<QString>("after");
        const auto row = [](const char* name, const char* field, const char* before,
                            const char* control, const char* after) {
            QTest::newRow(name) << QString::fromUtf8(field) << QString::fromUtf8(before)
                                << QString::fromUtf8(control) << QString::fromUtf8(after);
        };
        row("50 - 0,1 s", "P", "50", "ButtonPminus01", "0");
        row("100 - 0,1 s", "P", "100", "ButtonPminus01", "0");
        row("1001 - 1 s", "P", "1001", "ButtonPminus1", "1");
        row("1000 down arrow", "P", "1000", "Down", "0");
        row("0 - 0,1 s", "P", "0", "ButtonPminus01", "0");
        row("start + 0,1 s", "P", "2000", "SpeedButton2", "2100");
        row("start right arrow", "P", "2000", "Right", "2100");
        row("start + 1 s", "P", "2000", "ButtonPplus1", "3000");
        row("negative start - 0,1 s", "P", "-300", "ButtonPminus01", "0");
        row("negative start + 1 s", "P", "-300", "ButtonPplus1", "700");
        row("length - 1 s", "D", "5000", "ButtonDminus1", "4000");
        row("length - 0,1 s", "D", "5000", "ButtonDminus01", "4900");
        row("length + 0,1 s", "D", "5000", "ButtonDplus01", "5100");
        row("length + 1 s", "D", "5000", "ButtonDplus1", "6000");
        row("length up arrow", "D", "5000", "Up", "6000");
        row("length left arrow", "D", "50", "Left", "0");
        row("negative length down arrow", "D", "-7", "Down", "0");
        row("hexadecimal text", "D", "$10", "ButtonDplus01", "116");
        row("no step past the largest integer", "D", "2147483000", "ButtonDplus1", "2147483647");
    }
    void editorSteps() {
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(QString, control);
        QFETCH(QString, after);
        const bool start = field == QLatin1String("P");
        Okno w(dir.path());
        w.dodaj(tone3s, start ? before : QStringLiteral("0"),
                start ? QStringLiteral("1000") : before);
        w.zaznacz(0);
        w.edytuj([&](TFormUstawZakladke& e) {
            QLineEdit* edit = start ? e.EditPoczatek : e.EditDlugosc;
            QLineEdit* other = start ? e.EditDlugosc : e.EditPoczatek;
            const QString otherText = other->text();
            QCOMPARE(edit->text(), before);
            edit->setFocus();
            if (auto* button = e.findChild<QPushButton*>(control)) {
                QTest::mouseClick(button, Qt::LeftButton);
            } else {
                const QMap<QString, Qt::Key> keys{{QStringLiteral("Up"), Qt::Key_Up},
                                                  {QStringLiteral("Down"), Qt::Key_Down},
                                                  {QStringLiteral("Left"), Qt::Key_Left},
                                                  {QStringLiteral("Right"), Qt::Key_Right}};
                QVERIFY(keys.contains(control));
                QTest::keyClick(edit, keys.value(control));
            }
            QCOMPARE(edit->text(), after);
            QCOMPARE(other->text(), otherText);
            QVERIFY(edit->hasFocus()); // a step button does not take the focus
            // A screen reader reads the new value from the field.
            QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(edit);
            QVERIFY(a11y && a11y->textInterface());
            QCOMPARE(a11y->textInterface()->text(0, a11y->textInterface()->characterCount()),
                     after);
        });
        // Anuluj dropped the change.
        QCOMPARE(w.form.projekt().wiersz(0).Poczatek, start ? before : QStringLiteral("0"));
        QVERIFY(!w.form.projekt().ProjektZmieniony());
        QVERIFY(w.seams.messages.isEmpty());
    }

    void editorOkWritesOnlyWhatChanged() {
        Okno w(dir.path());
        // A start text that is not in shortest form survives an OK that did not change it.
        w.dodaj(tone3s, QStringLiteral(" 0100"), QStringLiteral("5000"));
        w.zaznacz(0);
        const auto pressOk = [](TFormUstawZakladke& e) {
            QTest::keyClick(e.EditDlugosc, Qt::Key_Return); // plain Enter is OK
        };
        w.edytuj(pressOk);
        QVERIFY(!w.form.projekt().ProjektZmieniony());
        w.edytuj([&](TFormUstawZakladke& e) {
            QTest::mouseClick(e.ButtonDplus1, Qt::LeftButton);
            QTest::mouseClick(e.ButtonDminus1, Qt::LeftButton);
            pressOk(e);
        });
        QVERIFY(!w.form.projekt().ProjektZmieniony()); // back to the same text
        QCOMPARE(w.form.projekt().wiersz(0).Dlugosc, QStringLiteral("5000"));

        w.edytuj([&](TFormUstawZakladke& e) {
            e.EditDlugosc->setFocus();
            QTest::keyClick(e.EditDlugosc, Qt::Key_Up);
            QTest::mouseClick(e.ButtonOK, Qt::LeftButton);
            QVERIFY(!e.isVisible());
        });
        QVERIFY(w.form.projekt().ProjektZmieniony());
        QCOMPARE(w.form.projekt().wiersz(0).Dlugosc, QStringLiteral("6000"));
        QCOMPARE(w.form.projekt().wiersz(0).Poczatek, QStringLiteral(" 0100"));

        // Esc is Anuluj: nothing written; the next showing loads the row again.
        w.form.projekt().ustawProjektZmieniony(false);
        w.edytuj([&](TFormUstawZakladke& e) {
            QVERIFY(e.EditPoczatek->hasFocus()); // OK sent the focus to the start field
            QTest::keyClick(e.EditPoczatek, Qt::Key_Down);
            QTest::keyClick(e.EditPoczatek, Qt::Key_Escape);
            QVERIFY(!e.isVisible());
        });
        QCOMPARE(w.form.projekt().wiersz(0).Poczatek, QStringLiteral(" 0100"));
        QVERIFY(!w.form.projekt().ProjektZmieniony());
        QVERIFY(w.seams.messages.isEmpty());
    }

    void editorRaisesConversionErrors() {
        Okno w(dir.path());
        w.dodaj(tone3s, QStringLiteral("12a"), QStringLiteral("1000"));
        w.zaznacz(0);
        w.edytuj([&](TFormUstawZakladke& e) {
            QTest::mouseClick(e.SpeedButton2, Qt::LeftButton);
            e.EditPoczatek->setFocus();
            QTest::keyClick(e.EditPoczatek, Qt::Key_Right);
            QTest::keyClick(e.EditPoczatek, Qt::Key_Space);
            e.Odtwrzzakadke1->trigger();
            QCOMPARE(e.EditPoczatek->text(), QStringLiteral("12a"));
            QTest::mouseClick(e.ButtonDplus01, Qt::LeftButton); // the other field still steps
            QTest::mouseClick(e.ButtonOK, Qt::LeftButton);
        });
        QCOMPARE(w.seams.texts(),
                 QStringList(4, QStringLiteral("'12a' is not a valid integer value.")));
        QCOMPARE(w.player().mode(), TMediaPlayer::Mode::NotOpen);
        QCOMPARE(w.form.projekt().wiersz(0).Poczatek, QStringLiteral("12a"));
        QCOMPARE(w.form.projekt().wiersz(0).Dlugosc, QStringLiteral("1100"));
    }

    void editorPlaysAndStops() {
        Okno w(dir.path());
        w.dodaj(tone8s, QStringLiteral("1000"), QStringLiteral("3000"));
        w.zaznacz(0);
        w.edytuj([&](TFormUstawZakladke& e) {
            QVERIFY(e.Stop->isEnabled()); // enabled from the start
            // "Stop" with nothing open: the player's error, the item stays enabled.
            e.Stop->trigger();
            QCOMPARE(w.seams.texts(), QStringList{kNoDevice});
            QVERIFY(e.Stop->isEnabled());

            e.EditPoczatek->setFocus();
            QTest::keyClick(e.EditPoczatek, Qt::Key_Space);
            QCOMPARE(w.player().mode(), TMediaPlayer::Mode::Playing);
            QCOMPARE(w.form.tekstStatusu(), odtwarzanie(tone8s));
            // Ctrl+T: the player stops, the file stays open, the main window
            // is not told.
            QTest::keyClick(e.EditPoczatek, Qt::Key_T, Qt::ControlModifier);
            QCOMPARE(w.player().mode(), TMediaPlayer::Mode::Stopped);
            QVERIFY(!e.Stop->isEnabled());
            QCOMPARE(w.form.tekstStatusu(), odtwarzanie(tone8s));
            QVERIFY(akcja(w.form, "Pauza1")->isEnabled());

            e.Odtwrzzakadke1->trigger();
            QVERIFY(e.Stop->isEnabled());
            QCOMPARE(w.player().mode(), TMediaPlayer::Mode::Playing);
            e.Stop->trigger();
            QVERIFY(!e.Stop->isEnabled());

            // Shift+Enter plays the whole file, Ctrl+Esc stops everything;
            // neither closes the dialog.
            QTest::keyClick(e.EditDlugosc, Qt::Key_Return, Qt::ShiftModifier);
            QCOMPARE(w.player().mode(), TMediaPlayer::Mode::Playing);
            QTest::keyClick(e.EditDlugosc, Qt::Key_Escape, Qt::ControlModifier);
            QCOMPARE(w.player().mode(), TMediaPlayer::Mode::NotOpen);
            QCOMPARE(w.form.tekstStatusu(), QString());
            QVERIFY(e.isVisible());
            QVERIFY(!e.Stop->isEnabled()); // the keys do not touch the item
        });
        // The item's state carries over to the next showing.
        w.edytuj([&](TFormUstawZakladke& e) { QVERIFY(!e.Stop->isEnabled()); });
        QCOMPARE(w.seams.messages.size(), 1);
    }

    // The editor names the entry's file and its length, and warns (values
    // still accepted) about a bookmark that does not fit the file; after a
    // step a screen reader hears the value, and the warning when it changes.
    void editorShowsTheFileAndWarns_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("poczatek");
        QTest::addColumn<QString>("dlugosc");
        QTest::addColumn<int>("key"); // pressed in the start field
        QTest::addColumn<QString>("warning");
        QTest::addColumn<QString>("heard");
        const auto row = [](const char* name, const char* file, const char* poczatek,
                            const char* dlugosc, Qt::Key key, const char* warning,
                            const char* heard) {
            QTest::newRow(name) << QString::fromUtf8(file) << QString::fromUtf8(poczatek)
                                << QString::fromUtf8(dlugosc) << int(key)
                                << QString::fromUtf8(warning) << QString::fromUtf8(heard);
        };
        const char* past = "Uwaga: zakładka kończy się za końcem pliku";
        const char* starts = "Uwaga: zakładka zaczyna się na końcu pliku";
        const Qt::Key none = Qt::Key_unknown;
        row("inside", "ton 3 s.mp3", "0", "1000", none, "", "");
        row("runs past", "ton 3 s.mp3", "2500", "1000", none, past, "");
        row("starts past", "ton 3 s.mp3", "5000", "0", none, starts, "");
        row("a step takes it past", "ton 3 s.mp3", "1000", "1500", Qt::Key_Up, past,
            "2000. Uwaga: zakładka kończy się za końcem pliku");
        row("a step brings it back", "ton 3 s.mp3", "2500", "1000", Qt::Key_Down, "",
            "1500. Zakładka mieści się w pliku.");
        row("a step at 0", "ton 3 s.mp3", "0", "1000", Qt::Key_Left, "", "0");
        row("file missing", "nie ma.mp3", "9000", "1000", Qt::Key_Up, "", "10000");
    }
    void editorShowsTheFileAndWarns() {
        QFETCH(QString, file);
        QFETCH(QString, poczatek);
        QFETCH(QString, dlugosc);
        QFETCH(int, key);
        QFETCH(QString, warning);
        QFETCH(QString, heard);
        Okno w(dir.path());
        w.dodaj(dir.filePath(file), poczatek, dlugosc);
        w.zaznacz(0);
        w.edytuj([&](TFormUstawZakladke& e) {
            QCOMPARE(e.LabelPlik->text(), u"Nazwa pliku: "_s + file);
            if (QFile::exists(dir.filePath(file))) {
                const qint64 ms = probeMp3(dir.filePath(file)).lengthMs;
                QCOMPARE(e.LabelDlugoscPliku->text(),
                         QStringLiteral("Długość pliku: 0:03,0 (%1 ms)").arg(ms));
            } else {
                QVERIFY(e.LabelDlugoscPliku->text().contains(u"nieznana"_s));
            }
            if (key != Qt::Key_unknown) {
                e.EditPoczatek->setFocus();
                QTest::keyClick(e.EditPoczatek, Qt::Key(key));
                QVERIFY2(kontrolka<LiniaKomunikatu>(w.form, "Ogloszenie")->text().startsWith(heard),
                         qPrintable(kontrolka<LiniaKomunikatu>(w.form, "Ogloszenie")->text()));
            }
            QVERIFY2(warning.isEmpty() ? e.LabelOstrzezenie->text().isEmpty()
                                       : e.LabelOstrzezenie->text().startsWith(warning),
                     qPrintable(e.LabelOstrzezenie->text()));
            QTest::mouseClick(e.ButtonOK, Qt::LeftButton); // accepted all the same
        });
        QVERIFY(w.seams.messages.isEmpty());
        QCOMPARE(w.form.projekt().wiersz(0).Dlugosc, dlugosc);
    }

    // Opened on an entry whose start is no number, the picture shows no
    // range: not the one of the entry opened before.
    void editorPictureFollowsTheEntry() {
        Okno w(dir.path());
        w.dodaj(tone3s, u"500"_s, u"1000"_s);
        w.dodaj(tone8s, u"abc"_s, u"1000"_s);
        QStringList described;
        for (const int row : {0, 1}) {
            w.zaznacz(row);
            w.edytuj([&](TFormUstawZakladke& e) {
                described << e.WykresFali1->accessibleDescription().section(u',', 0, 0);
            });
        }
        QCOMPARE(described, (QStringList{u"Zakładka od 0"_s, u"Zakładka nieokreślona"_s}));
    }

    void editorControlsAreNamedForScreenReaders() {
        Okno w(dir.path());
        TFormUstawZakladke& e = w.editor();
        QCOMPARE(e.windowTitle(), QStringLiteral("Ustaw zakładke"));
        QCOMPARE(e.EditPoczatek->accessibleName(), QStringLiteral("Początek zakładki"));
        QCOMPARE(e.EditDlugosc->accessibleName(), QStringLiteral("Długość zakładki"));
        QCOMPARE(e.ButtonPminus01->accessibleName(), QStringLiteral("Początek minus 0,1 sekundy"));
        QCOMPARE(e.ButtonDplus1->accessibleName(), QStringLiteral("Długość plus 1 sekunda"));
        for (QLineEdit* edit : e.findChildren<QLineEdit*>())
            QVERIFY(edit->isReadOnly());
        for (QPushButton* b : e.findChildren<QPushButton*>()) {
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
            const bool step = b != e.ButtonOK && b != e.ButtonAnuluj && b != e.ButtonWykryj &&
                              b != e.ButtonDopasuj;
            QCOMPARE(b->focusPolicy() == Qt::NoFocus, step);
        }
        QVERIFY(e.ButtonOK->isDefault());
    }
};

QTEST_MAIN(TestPlayback)
#include "tstui_playback.moc"
