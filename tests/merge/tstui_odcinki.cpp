#include "app/MainForm.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>
#include <memory>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QString kGotowe = u"Zapowiedzi odcinków zostały dołączone"_s;

// A short tone; each clip and entry has its own pitch, so their bytes differ.
QString mp3(const QString& sciezka, double toneHz, int rate = 44100) {
    Mp3Format fmt;
    fmt.durationMs = 120;
    fmt.sampleRate = rate;
    fmt.toneHz = toneHz;
    return makeMp3(sciezka, fmt);
}

} // namespace

class TestOdcinkiUi : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir;
    QString program, odcinki, ksiazka, oryginaly;
    std::unique_ptr<FakeSeams> seams;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<TMainForm> form;

    QString clip(int k) const { return odcinki + u"%1.mp3"_s.arg(k, 3, 10, QChar(u'0')); }
    QString entry(int i) const { return ksiazka + u"a%1.mp3"_s.arg(i); }

    // Rows 0 .. n-1 name a0.mp3 .. a(n-1).mp3; clips 001 .. 00(n-1) exist.
    void project(int n) {
        for (int i = 0; i < n; ++i) {
            mp3(entry(i), 1000 + 100 * i);
            if (i > 0)
                mp3(clip(i), 300 + 50 * i);
            addRow(entry(i));
        }
    }
    void addRow(const QString& path) {
        const int at = form->projekt().rowCount();
        form->historia().wstaw(at, {{QString::number(at + 1), QFileInfo(path).fileName(), u"1200"_s,
                                     u"5000"_s, QFileInfo(path).path() + u'/'}});
    }
    void run(const char* command = "Wstawodcinki1") {
        seams->messages.clear();
        akcja(*form, command)->trigger();
    }

private slots:
    void init() {
        dir.emplace();
        QVERIFY(dir->isValid());
        program = dir->filePath(u"program"_s);
        odcinki = program + u"/odcinki/"_s;
        ksiazka = dir->filePath(u"książka/"_s);
        oryginaly = dir->filePath(u"oryginały/"_s);
        QVERIFY(QDir().mkpath(odcinki));
        QVERIFY(QDir().mkpath(ksiazka));
        seams = std::make_unique<FakeSeams>();
        store = std::make_unique<SettingsStore>(dir->filePath(u"conf"_s));
        Uslugi uslugi(*seams, *store, program);
        uslugi.folderOryginalow = oryginaly;
        form = std::make_unique<TMainForm>(uslugi);
    }
    void cleanup() {
        form.reset();
        store.reset();
        seams.reset();
    }

    // The insertion is one step of the history, which changes files, not
    // the list: the project's mark stays. A second run finds the clips and
    // changes nothing. Undo and redo each keep what they replace, so an
    // edit made to a file after the insertion comes back with the redo.
    void insertionIsOneStep_data() {
        QTest::addColumn<bool>("saved");
        QTest::newRow("saved project") << true;
        QTest::newRow("unsaved changes") << false;
    }
    void insertionIsOneStep() {
        QFETCH(bool, saved);
        project(3);
        if (saved)
            form->historia().stos().setClean();
        QByteArray a[3], c[3];
        for (int i = 0; i < 3; ++i) {
            a[i] = bajtyPliku(entry(i));
            c[i] = bajtyPliku(clip(i));
        }
        const ListaPozycji rows = form->projekt().pozycje();
        const auto files = [&] {
            return QList<QByteArray>{bajtyPliku(entry(0)), bajtyPliku(entry(1)),
                                     bajtyPliku(entry(2))};
        };

        run();
        QCOMPARE(seams->messages.size(), 1);
        QCOMPARE(seams->messages.at(0).caption, u"Uwaga"_s);
        QCOMPARE(seams->messages.at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(seams->texts().at(0).startsWith(kGotowe));
        QVERIFY(seams->texts().at(0).contains(oryginaly));
        QCOMPARE(files(), (QList<QByteArray>{a[0], c[1] + a[1], c[2] + a[2]}));
        QCOMPARE(form->projekt().ProjektZmieniony(), !saved);
        QCOMPARE(akcja(*form, "Cofnij1")->text(), u"&Cofnij: wstaw odcinki"_s);

        run();
        QCOMPARE(seams->texts(),
                 QStringList{u"Żaden plik nie został zmieniony. Te pliki zaczynają się już "
                             u"zapowiedzią:\na1.mp3 (pozycja 2): 001.mp3\n"
                             u"a2.mp3 (pozycja 3): 002.mp3"_s});
        QCOMPARE(files(), (QList<QByteArray>{a[0], c[1] + a[1], c[2] + a[2]}));

        QVERIFY(zapiszBajty(entry(2), "edited after the insertion"));
        run("Cofnij1");
        QCOMPARE(files(), (QList<QByteArray>{a[0], a[1], a[2]}));
        QCOMPARE(form->projekt().ProjektZmieniony(), !saved);
        run("Ponow1");
        QCOMPARE(files(), (QList<QByteArray>{a[0], c[1] + a[1], "edited after the insertion"}));
        run("Cofnij1");
        QCOMPARE(files(), (QList<QByteArray>{a[0], a[1], a[2]}));
        QCOMPARE(seams->texts(), QStringList());
        QCOMPARE(form->projekt().ProjektZmieniony(), !saved);
        QCOMPARE(form->projekt().pozycje(), rows); // bookmarks too
        QCOMPARE(wpisyFolderu(ksiazka), (QStringList{u"a0.mp3"_s, u"a1.mp3"_s, u"a2.mp3"_s}));
    }

    // Originals removed by hand: the undo says so, changes nothing and
    // stays in the history.
    void undoWithoutOriginals() {
        project(2);
        run();
        const QByteArray joined = bajtyPliku(entry(1));
        QVERIFY(QDir(oryginaly).removeRecursively());
        run("Cofnij1");
        QCOMPARE(seams->messages.size(), 1);
        QCOMPARE(seams->messages.at(0).icon, Seams::Icon::Critical);
        QVERIFY2(seams->texts().at(0).contains(u"Nie ma już kopii"_s),
                 qPrintable(seams->texts().at(0)));
        QCOMPARE(bajtyPliku(entry(1)), joined);
        QCOMPARE(akcja(*form, "Cofnij1")->text(), u"&Cofnij: wstaw odcinki"_s);
    }

    void tooShortProject_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("empty") << 0 << QStringList();
        QTest::newRow("one entry") << 1 << QStringList{kGotowe};
    }
    void tooShortProject() {
        QFETCH(int, rows);
        QFETCH(QStringList, messages);
        project(rows);
        mp3(clip(1), 500);
        const QByteArray a0 = bajtyPliku(entry(0));
        run();
        QCOMPARE(seams->texts(), messages);
        QCOMPARE(bajtyPliku(entry(0)), a0);
        QCOMPARE(wpisyFolderu(ksiazka).size(), rows);
    }

    void sameFileInTwoRowsGetsBothClips() {
        project(2);
        mp3(clip(2), 700);
        addRow(entry(1));
        const QByteArray a1 = bajtyPliku(entry(1));
        run();
        QVERIFY(seams->texts().at(0).startsWith(kGotowe));
        QCOMPARE(bajtyPliku(entry(1)), bajtyPliku(clip(2)) + bajtyPliku(clip(1)) + a1);
        run("Cofnij1");
        QCOMPARE(bajtyPliku(entry(1)), a1);
    }

    // A row that cannot be done ends the command there: the rows before it
    // keep their clips, its own file stays as it was, nothing is left over,
    // and the error names the file.
    void failureStopsAtRow_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("missing clip") << u"clip"_s;
        QTest::newRow("read-only entry") << u"read-only"_s;
        QTest::newRow("missing entry") << u"entry"_s;
    }
    void failureStopsAtRow() {
        QFETCH(QString, fault);
        project(5);
        QString named;
        if (fault == u"clip"_s) {
            QVERIFY(QFile::remove(clip(3)));
            named = clip(3);
        } else if (fault == u"read-only"_s) {
            QVERIFY(::chmod(QFile::encodeName(entry(3)).constData(), 0444) == 0);
            named = entry(3);
        } else {
            QVERIFY(QFile::remove(entry(3)));
            named = entry(3);
        }
        QByteArray before[5], clips[5];
        for (int i = 0; i < 5; ++i) {
            before[i] = bajtyPliku(entry(i));
            clips[i] = bajtyPliku(clip(i));
        }
        const QStringList files = wpisyFolderu(ksiazka), clipFiles = wpisyFolderu(odcinki);

        run();
        QCOMPARE(seams->messages.size(), 1);
        const FakeSeams::Message& m = seams->messages.at(0);
        QCOMPARE(m.caption, u"SonvekManager"_s);
        QCOMPARE(m.icon, Seams::Icon::Critical);
        QVERIFY2(m.text.contains(named), qPrintable(m.text));
        QVERIFY2(m.text.contains(u"pozycji 2–3"_s), qPrintable(m.text));
        QVERIFY2(m.text.contains(u"„Cofnij”"_s), qPrintable(m.text));
        QCOMPARE(bajtyPliku(entry(1)), clips[1] + before[1]);
        QCOMPARE(bajtyPliku(entry(2)), clips[2] + before[2]);
        for (int i : {0, 3, 4})
            QCOMPARE(bajtyPliku(entry(i)), before[i]);
        QCOMPARE(wpisyFolderu(ksiazka), files);
        QCOMPARE(wpisyFolderu(odcinki), clipFiles);
        run("Cofnij1"); // the rows done
        for (int i = 0; i < 5; ++i)
            QCOMPARE(bajtyPliku(entry(i)), before[i]);
    }

    void mismatchQuestion_data() {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("No") << QMessageBox::No;
        QTest::newRow("Yes") << QMessageBox::Yes;
    }
    void mismatchQuestion() {
        QFETCH(QMessageBox::StandardButton, answer);
        project(3);
        mp3(clip(2), 650, 22050);
        const QByteArray a1 = bajtyPliku(entry(1)), a2 = bajtyPliku(entry(2));
        seams->answers = {answer};
        run();
        const QString question = u"Zapowiedzi mają inne parametry dźwięku niż pliki projektu "
                                 u"(002.mp3: 22050 Hz, mono; a2.mp3: 44100 Hz, mono). "
                                 u"Kontynuować?"_s;
        QCOMPARE(seams->messages.at(0).text, question);
        QCOMPARE(seams->messages.at(0).caption, u"Uwaga"_s);
        QCOMPARE(seams->messages.at(0).buttons, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::No) {
            QCOMPARE(seams->texts(), QStringList{question});
            QCOMPARE(bajtyPliku(entry(1)), a1);
            QCOMPARE(bajtyPliku(entry(2)), a2);
        } else {
            QCOMPARE(seams->texts().size(), 2);
            QVERIFY(seams->texts().at(1).startsWith(kGotowe));
            QCOMPARE(bajtyPliku(entry(2)), bajtyPliku(clip(2)) + a2);
        }
    }
};

QTEST_MAIN(TestOdcinkiUi)
#include "tstui_odcinki.moc"
