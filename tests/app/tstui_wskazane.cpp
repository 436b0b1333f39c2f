// What the user points the program at: a whole folder added from the menu,
// and the program started with a project, files and folders on its command
// line, in the window and as a real process.

#include "app/MainForm.h"
#include "base/Paths.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "widgets/FormBlad.h"
#include "widgets/LiniaKomunikatu.h"

#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestWskazane : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeSeams> m_seams;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<TMainForm> m_form;

    QString sciezka(const QString& name) const {
        return QDir::toNativeSeparators(m_dir->filePath(name));
    }
    QString mp3(const QString& name) const {
        QDir().mkpath(QFileInfo(sciezka(name)).path());
        Mp3Format fmt;
        fmt.durationMs = 300;
        return makeMp3(sciezka(name), fmt);
    }
    // What the command line names, opened as the program opens it: looked
    // at on a worker, then opened by the window.
    void otworzWskazane(const QStringList& argumenty) {
        QSignalSpy otwarte(m_form.get(), &TMainForm::commandLineOpened);
        m_form->otworzWskazane(argumenty);
        QVERIFY(otwarte.wait(10000));
    }
    QStringList nazwy() const {
        QStringList wynik;
        for (const PozycjaProjektu& p : m_form->projekt().pozycje())
            wynik << QDir(m_dir->path()).relativeFilePath(p.sciezka());
        return wynik;
    }
    // The notice windows' texts, shown while the command runs.
    QStringList m_komunikaty;

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_seams = std::make_unique<FakeSeams>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(u"conf"_s));
        m_form = std::make_unique<TMainForm>(Uslugi(*m_seams, *m_store, m_dir->path()));
        m_form->utworzOkna();
        m_seams->messages.clear();
        m_komunikaty.clear();
        m_seams->onExec = [this](QDialog* d) {
            if (auto* blad = qobject_cast<TFormBlad*>(d))
                m_komunikaty << blad->Memo1->toPlainText();
            return int(QDialog::Rejected);
        };
        m_form->show();
    }
    void cleanup() {
        m_form->projekt().ustawProjektZmieniony(false);
        m_form.reset();
        m_store.reset();
        m_seams.reset();
        m_dir.reset();
    }

    // Every MP3 of the folder in the order of its paths, one step of the
    // history, a name that is not UTF-8 too (shown with U+FFFD); what was
    // left out is listed with the reason in one notice, and counted in what
    // is said after it.
    void addFolderIsOneStep() {
        for (const char* f : {"ksiazka/Rozdział 10/01.mp3", "ksiazka/Rozdział 2/01.mp3",
                              "ksiazka/Rozdział 2/02.mp3"})
            mp3(QString::fromUtf8(f));
        QVERIFY(zapiszBajty(sciezka(u"ksiazka/Rozdział 2/03.mp3"_s), "nie dźwięk"));
        // "zakończenie.mp3" as Windows-1250 writes it.
        const QByteArray cp1250 = QFile::encodeName(sciezka(u"ksiazka/zako"_s)) + "\xf1"
                                                                                  "czenie.mp3";
        QCOMPARE(::rename(QFile::encodeName(mp3(u"z.mp3"_s)).constData(), cp1250.constData()), 0);
        // Qt cannot see the name, so QTemporaryDir cannot remove it.
        const auto sprzatnij = qScopeGuard([&] { ::unlink(cp1250.constData()); });
        QCOMPARE(::mkfifo(QFile::encodeName(sciezka(u"ksiazka/potok.mp3"_s)).constData(), 0600), 0);
        m_seams->openAnswers = {{sciezka(u"ksiazka"_s)}};
        akcja(*m_form, "Dodajfolder1")->trigger();
        QVERIFY(m_seams->openRequests.constLast().directory);
        QCOMPARE(nazwy(),
                 (QStringList{u"ksiazka/Rozdział 2/01.mp3"_s, u"ksiazka/Rozdział 2/02.mp3"_s,
                              u"ksiazka/Rozdział 10/01.mp3"_s,
                              QDir(m_dir->path()).relativeFilePath(nazwaZSystemu(cp1250))}));
        QCOMPARE(m_form->projekt().index(3, ModelProjektu::KolNazwa).data().toString(),
                 u"zako\uFFFDczenie.mp3"_s);
        QCOMPARE(m_komunikaty, QStringList{u"Nie dodano następujących plików i folderów:\n"_s +
                                           sciezka(u"ksiazka/potok.mp3"_s) +
                                           u": to jest potok (FIFO), a nie zwykły plik\n"_s +
                                           sciezka(u"ksiazka/Rozdział 2/03.mp3"_s) +
                                           u": to nie jest plik dźwiękowy MP3"_s});
        // What is said after the notice counts what it listed.
        QCOMPARE(ogloszenie(m_form.get())->text(),
                 u"Dodano 4 pliki, pominięto 2 pliki lub foldery"_s);
        QCOMPARE(m_seams->beeps, 3);
        akcja(*m_form, "Cofnij1")->trigger();
        QCOMPARE(m_form->projekt().rowCount(), 0);
    }

    // A stop while the folder is measured adds nothing.
    void stoppedFolderAddsNothing() {
        mp3(u"ksiazka/01.mp3"_s);
        m_seams->openAnswers = {{sciezka(u"ksiazka"_s)}};
        bool pokazane = false;
        // Queued now, so it runs in the progress window's own loop.
        QMetaObject::invokeMethod(
            m_form.get(),
            [&] {
                auto* okno = m_form->findChild<QDialog*>(u"FormDodawanie"_s);
                QVERIFY(okno && okno->isVisible());
                pokazane = true;
                QTest::keyClick(okno, Qt::Key_Escape);
            },
            Qt::QueuedConnection);
        akcja(*m_form, "Dodajfolder1")->trigger();
        QVERIFY(pokazane);
        QCOMPARE(m_form->projekt().rowCount(), 0);
        QVERIFY(!m_form->projekt().ProjektZmieniony());
        QVERIFY(m_komunikaty.isEmpty());
    }

    // A project named while the list has unsaved changes asks first; the
    // default (save) and Esc keep the work, only "Nie" drops it.
    void projectAsksAboutUnsavedChanges_data() {
        QTest::addColumn<QMessageBox::StandardButton>("odpowiedz");
        QTest::addColumn<bool>("otwarty");
        QTest::newRow("Esc") << FakeSeams::Esc << false;
        QTest::newRow("Nie") << QMessageBox::No << true;
    }
    void projectAsksAboutUnsavedChanges() {
        QFETCH(QMessageBox::StandardButton, odpowiedz);
        QFETCH(bool, otwarty);
        const QString projekt = sciezka(u"inny.xml"_s);
        zapiszPlikProjektu(projekt, {{QString(), u"p.mp3"_s, u"0"_s, u"100"_s,
                                      QFileInfo(mp3(u"p.mp3"_s)).path() + QDir::separator()}});
        otworzWskazane({mp3(u"praca.mp3"_s)});
        QVERIFY(m_form->projekt().ProjektZmieniony());
        m_seams->messages.clear();
        m_seams->answers = {odpowiedz};
        otworzWskazane({projekt});
        QCOMPARE(m_seams->messages.size(), 1);
        const FakeSeams::Message& pytanie = m_seams->messages.first();
        QCOMPARE(pytanie.text, u"Czy zapisać zmiany w projekcie?"_s);
        QCOMPARE(pytanie.defaultButton, QMessageBox::Yes);
        QCOMPARE(FakeSeams::przyciskEsc(pytanie.buttons, pytanie.escapeButton),
                 QMessageBox::Cancel);
        QCOMPARE(nazwy(), otwarty ? QStringList{u"p.mp3"_s} : QStringList{u"praca.mp3"_s});
        QCOMPARE(m_form->projekt().ProjektZmieniony(), !otwarty);
    }

    // A project opens in place of the list; files and folders are appended
    // after it; what cannot be opened is listed with the reason.
    void commandLineOpensWhatItNames() {
        const QString projekt = sciezka(u"Pan Tadeusz.xml"_s);
        zapiszPlikProjektu(projekt, {{QString(), u"p.mp3"_s, u"0"_s, u"100"_s,
                                      QFileInfo(mp3(u"p.mp3"_s)).path() + QDir::separator()}});
        mp3(u"b.mp3"_s);
        mp3(u"a.mp3"_s);
        mp3(u"folder/2.mp3"_s);
        mp3(u"folder/10.mp3"_s);
        QVERIFY(zapiszBajty(sciezka(u"zwykly.xml"_s), "<lista/>"));
        otworzWskazane({projekt, sciezka(u"b.mp3"_s), sciezka(u"zwykly.xml"_s), sciezka(u"a.mp3"_s),
                        sciezka(u"folder"_s), sciezka(u"brak"_s)});
        QCOMPARE(nazwy(), (QStringList{u"p.mp3"_s, u"a.mp3"_s, u"b.mp3"_s, u"folder/2.mp3"_s,
                                       u"folder/10.mp3"_s}));
        QCOMPARE(m_form->windowTitle(), u"Pan Tadeusz.xml[*] – SonvekManager"_s);
        QCOMPARE(m_komunikaty, QStringList{u"Nie otwarto:\n"_s + sciezka(u"zwykly.xml"_s) +
                                           u": to nie jest plik projektu\n"_s + sciezka(u"brak"_s) +
                                           u": nie ma takiego pliku ani folderu"_s});
    }

    // The real program, started as a file manager starts it: it opens the
    // project (which then leads its recent projects) and keeps running past
    // what it cannot open.
    void programStartsWithWhatItIsGiven() {
        const QString projekt = sciezka(u"ksiazka.xml"_s);
        zapiszPlikProjektu(projekt, {{QString(), u"p.mp3"_s, u"0"_s, u"100"_s,
                                      QFileInfo(mp3(u"p.mp3"_s)).path() + QDir::separator()}});
        const QString conf = m_dir->filePath(u"konfiguracja"_s);
        QVERIFY(QDir().mkpath(conf + u"/SonvekManager"_s));
        const QString reg = conf + u"/SonvekManager/SonvCom.reg"_s;
        QVERIFY(zapiszBajty(reg, "[HKEY_CURRENT_USER\\SonvCom]\n\"Karta\"=\"\"\n\"Magazyn\"=\"" +
                                     m_dir->path().toUtf8() + "\"\n\"Zakladka\"=dword:00001388\n"));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_CONFIG_HOME"_s, conf);
        program.setProcessEnvironment(env);
        program.start(QCoreApplication::applicationDirPath() + u"/../src/SonvekManager"_s,
                      {projekt, sciezka(u"nie ma.mp3"_s)});
        QVERIFY(program.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(bajtyPliku(reg).contains(projekt.toUtf8()), 20000);
        QCOMPARE(program.state(), QProcess::Running);
        program.kill();
        program.waitForFinished();
    }
};

QTEST_MAIN(TestWskazane)
#include "tstui_wskazane.moc"
