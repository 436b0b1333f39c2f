// What the user points the program at, as the window shows it: the folder
// add's progress window stopped by its key, and the real program started
// with a project and files on its command line. What is added and opened is
// decided beneath the window (tests/sesja/tst_sesjalista.cpp).

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
