#include "app/MainForm.h"
#include "base/Paths.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Lista.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "widgets/FormBlad.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString kBrakujace = u"Nie odnaleziono następujących plików w podanych lokalizacjach:"_s;
const QString kPytanie = u"Czy zapisać zmiany w projekcie?"_s;
const QString kZlyKorzen = u"Nieprawidlowy plik z danymi o projekcie"_s;

QStringList nazwy(const TMainForm& form) {
    QStringList result;
    for (const PozycjaProjektu& e : form.projekt().pozycje())
        result.append(e.NazwaPliku);
    return result;
}

void zapiszSurowo(const QString& path, const QByteArray& data) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

} // namespace

class TestProject : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeSeams> m_seams;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<TMainForm> m_form;

    QString sciezka(const QString& name) const { return m_dir->filePath(name); }
    // An empty file: enough for loading, which only checks that it exists.
    QString pusty(const QString& name) const {
        const QString path = sciezka(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return path;
    }
    QString mp3(const QString& name, int ms = 1000) const {
        Mp3Format fmt;
        fmt.durationMs = ms;
        return makeMp3(sciezka(name), fmt);
    }
    // Rows whose files exist, appended without the file dialog.
    void wiersze(const QStringList& names) {
        for (const QString& n : names) {
            const QString path = pusty(n);
            const int row = m_form->projekt().rowCount();
            m_form->projekt().wstaw(
                row, {{QString::number(row + 1), n, u"0"_s, u"5000"_s, ExSciezka(path)}});
        }
        m_form->projekt().ustawProjektZmieniony(false);
    }
    const FakeSeams::Message& ostatnia() const { return m_seams->messages.constLast(); }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_seams = std::make_unique<FakeSeams>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(u"conf"_s));
        m_form = std::make_unique<TMainForm>(Uslugi(*m_seams, *m_store, m_dir->path()));
        m_form->utworzOkna();
        m_seams->messages.clear(); // the first-run notice
        m_form->show();
    }
    void cleanup() {
        m_form->projekt().ustawProjektZmieniony(false); // no close question on the way out
        m_form.reset();
        m_store.reset();
        m_seams.reset();
        m_dir.reset();
    }

    void deleteRemovesFirstSelected() {
        wiersze({u"1.mp3"_s, u"2.mp3"_s, u"3.mp3"_s, u"4.mp3"_s});
        akcja(*m_form, "Usu1")->trigger(); // nothing selected: nothing removed
        QCOMPARE(m_form->projekt().rowCount(), 4);
        QVERIFY(!m_form->projekt().ProjektZmieniony());
        zaznaczWiersz(lista(*m_form), 1);
        zaznaczWiersz(lista(*m_form), 3);
        akcja(*m_form, "Usu1")->trigger();
        QCOMPARE(nazwy(*m_form), (QStringList{u"1.mp3"_s, u"3.mp3"_s, u"4.mp3"_s}));
        QVERIFY(m_form->projekt().ProjektZmieniony());
        // The last row gone, the commands that need rows are off.
        lista(*m_form)->clearSelection();
        for (int i = 0; i < 3; ++i) {
            zaznaczWiersz(lista(*m_form), 0);
            akcja(*m_form, "Usu1")->trigger();
        }
        QCOMPARE(m_form->projekt().rowCount(), 0);
        QVERIFY(!akcja(*m_form, "Zapiszprojekt1")->isEnabled());
    }

    // The bookmark covers the default length, or the whole file when it is
    // not longer. The boundary is tested against the measured length, so it
    // does not depend on how exactly the decoder rounds.
    void lengthAgainstDefault_data() {
        QTest::addColumn<int>("durationMs");
        QTest::addColumn<int>("zakladka"); // -1: 5000; 0: the measured length; -2: one less
        QTest::newRow("3200, default 5000") << 3200 << -1;
        QTest::newRow("60000, default 5000") << 60000 << -1;
        QTest::newRow("default equal to the length") << 5000 << 0;
        QTest::newRow("default one less") << 5000 << -2;
    }
    void lengthAgainstDefault() {
        QFETCH(int, durationMs);
        QFETCH(int, zakladka);
        const QString path = mp3(u"plik.mp3"_s, durationMs);
        const std::int64_t d = m_form->DlugoscPlikuAudio(path);
        QVERIFY(d > 0);
        ustawKonfiguracje(*m_form, QString(), QString(),
                          zakladka == -1  ? 5000
                          : zakladka == 0 ? static_cast<std::int32_t>(d)
                                          : static_cast<std::int32_t>(d - 1));
        m_seams->openAnswers = {{path}};
        akcja(*m_form, "Dodaj2")->trigger();
        QCOMPARE(m_form->projekt().rowCount(), 1);
        const PozycjaProjektu e = m_form->projekt().wiersz(0);
        QCOMPARE(e.Poczatek, u"0"_s);
        QCOMPARE(e.Dlugosc, QString::number(std::min<std::int64_t>(
                                d, m_form->konfiguracja().DomyslnaZakladka)));
        if (durationMs == 60000)
            QCOMPARE(e.Dlugosc, u"5000"_s);
        if (durationMs == 3200)
            QVERIFY(qAbs(d - 3200) < 60);
    }

    void saveAndLoadKeepEveryLetter() {
        const QStringList names{u"Rozdział źdźbło ŻÓŁW.mp3"_s, u"日本語 Ελληνικά & <x>.mp3"_s};
        wiersze(names);
        m_form->projekt().zmien(1, [&] {
            PozycjaProjektu e = m_form->projekt().wiersz(1);
            e.Poczatek = u"abc"_s; // numbers are kept as text
            return e;
        }());
        m_form->projekt().ustawProjektZmieniony(true);
        m_seams->saveAnswers = {sciezka(u"Książka"_s)};
        akcja(*m_form, "Zapiszprojekt1")->trigger(); // no name yet: asks for one
        const Seams::FileDialog& d = m_seams->saveRequests.constLast();
        QCOMPARE(d.title, u"Zapisz projekt jako"_s);
        QCOMPARE(d.filter, u"xml (*.xml)"_s);
        QCOMPARE(d.defaultSuffix, u"xml"_s);
        QVERIFY(!d.confirmOverwrite);
        const QString file = sciezka(u"Książka.xml"_s);
        QVERIFY(QFile::exists(file));
        QCOMPARE(m_form->projekt().NazwaProjektu(), file);
        QVERIFY(!m_form->projekt().ProjektZmieniony());
        const ListaPozycji saved = m_form->projekt().pozycje();

        akcja(*m_form, "Nowyprojekt1")->trigger(); // saved: no question
        QVERIFY(m_seams->messages.isEmpty());
        QCOMPARE(m_form->projekt().rowCount(), 0);
        QVERIFY(m_form->projekt().NazwaProjektu().isEmpty());

        m_seams->openAnswers = {{file}};
        akcja(*m_form, "OtworzProjekt1")->trigger();
        QCOMPARE(m_form->projekt().pozycje(), saved);
        QCOMPARE(m_form->projekt().NazwaProjektu(), file);
        QVERIFY(akcja(*m_form, "OtworzProjekt1")->isEnabled() &&
                akcja(*m_form, "Zapiszprojekt1")->isEnabled());
        akcja(*m_form, "OtworzProjekt1")->trigger(); // the dialog offers the project's file
        QCOMPARE(m_seams->openRequests.constLast().fileName, file);
        QVERIFY(!m_form->projekt().ProjektZmieniony());
        QVERIFY(m_seams->messages.isEmpty());
    }

    void missingFilesReported() {
        wiersze({u"1.mp3"_s, u"2 źle.mp3"_s, u"3.mp3"_s});
        const QString file = sciezka(u"p.xml"_s);
        m_seams->saveAnswers = {file};
        akcja(*m_form, "Zapiszprojektjako1")->trigger();
        akcja(*m_form, "Nowyprojekt1")->trigger();
        QVERIFY(QFile::remove(sciezka(u"2 źle.mp3"_s)));
        m_seams->openAnswers = {{file}};
        akcja(*m_form, "OtworzProjekt1")->trigger();
        QCOMPARE(nazwy(*m_form), (QStringList{u"1.mp3"_s, u"3.mp3"_s}));
        QCOMPARE(m_seams->shown, QList<QDialog*>{kontrolka<TFormBlad>(*m_form, "FormBlad")});
        QCOMPARE(kontrolka<TFormBlad>(*m_form, "FormBlad")->Memo1->toPlainText(),
                 kBrakujace + u'\n' + sciezka(u"2 źle.mp3"_s));
    }

    // A file that is not a project changes neither the list nor the current
    // project file name; an entry missing an element stops the loading
    // there, keeping the entries read before it.
    void badProjectFile_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("errorBox");
        QTest::addColumn<QStringList>("appended");
        QTest::newRow("other root") << QByteArray("<project><p1><plik>1.mp3</plik></p1></project>")
                                    << kZlyKorzen << false << QStringList();
        QTest::newRow("not XML") << QByteArray("<projekt>\n<p1>\n</projekt>") << u"wiersz 3"_s
                                 << true << QStringList();
        QTest::newRow("entry without plik")
            << QByteArray("<projekt><p><plik>1.mp3</plik><folder>DIR</folder><poczatek>0"
                          "</poczatek><dlugosc>1</dlugosc></p><p><folder>DIR</folder></p>"
                          "</projekt>")
            << u"wpis 2 nie ma elementu „plik”"_s << true << QStringList{u"1.mp3"_s};
        QTest::newRow("existing file without dlugosc")
            << QByteArray("<projekt><p><plik>1.mp3</plik><folder>DIR</folder><poczatek>0"
                          "</poczatek><dlugosc/></p></projekt>")
            << u"wpis 1 nie ma elementu „dlugosc”"_s << true << QStringList();
        QTest::newRow("entry without folder")
            << QByteArray("<projekt><p><plik>1.mp3</plik></p></projekt>")
            << u"wpis 1 nie ma elementu „folder”"_s << true << QStringList();
    }
    void badProjectFile() {
        QFETCH(QByteArray, data);
        QFETCH(QString, message);
        QFETCH(bool, errorBox);
        QFETCH(QStringList, appended);
        wiersze({u"stary.mp3"_s, u"1.mp3"_s});
        const ListaPozycji before = m_form->projekt().pozycje();
        m_form->projekt().ustawNazwaProjektu(sciezka(u"poprzedni.xml"_s));
        const QString file = sciezka(u"zły.xml"_s);
        zapiszSurowo(file, data.replace("DIR", (m_dir->path() + u"/"_s).toUtf8()));
        m_seams->openAnswers = {{file}};
        akcja(*m_form, "OtworzProjekt1")->trigger();
        QCOMPARE(m_form->projekt().pozycje().mid(0, before.size()), before);
        QCOMPARE(nazwy(*m_form).mid(before.size()), appended);
        QCOMPARE(m_form->projekt().NazwaProjektu(), sciezka(u"poprzedni.xml"_s));
        QCOMPARE(m_seams->messages.size(), 1);
        QVERIFY2(ostatnia().text.contains(message), qPrintable(ostatnia().text));
        QCOMPARE(ostatnia().icon, errorBox ? Seams::Icon::Critical : Seams::Icon::None);
        QCOMPARE(ostatnia().caption, errorBox ? u"SonvekManager"_s : u"Uwaga"_s);
        QVERIFY(m_seams->shown.isEmpty());
    }

    // "Otwórz projekt" appends and marks the project changed (undo clears
    // the mark again); "Ostatnie projekty" and a dropped project open it in
    // place of the list, after the question about unsaved changes.
    void loadAppendsOrOpens_data() {
        QTest::addColumn<QString>("jak");
        QTest::addColumn<bool>("zmieniony");
        QTest::addColumn<QMessageBox::StandardButton>("odpowiedz"); // NoButton: no question
        QTest::addColumn<QStringList>("wiersze");
        QTest::addColumn<bool>("zmienionyPo");
        const QStringList obie{u"a.mp3"_s, u"b.mp3"_s}, b{u"b.mp3"_s}, a{u"a.mp3"_s};
        const auto nic = QMessageBox::NoButton;
        QTest::newRow("Otwórz projekt appends") << u"otworz"_s << false << nic << obie << true;
        QTest::newRow("recent, saved list") << u"ostatni"_s << false << nic << b << false;
        QTest::newRow("recent, changed, No")
            << u"ostatni"_s << true << QMessageBox::No << b << false;
        QTest::newRow("recent, changed, Esc")
            << u"ostatni"_s << true << FakeSeams::Esc << a << true;
        QTest::newRow("recent, changed, Yes saves first")
            << u"ostatni"_s << true << QMessageBox::Yes << b << false;
        QTest::newRow("dropped, changed, No")
            << u"upusc"_s << true << QMessageBox::No << b << false;
        QTest::newRow("dropped, saved list") << u"upusc"_s << false << nic << b << false;
    }
    void loadAppendsOrOpens() {
        QFETCH(QString, jak);
        QFETCH(bool, zmieniony);
        QFETCH(QMessageBox::StandardButton, odpowiedz);
        QFETCH(QStringList, wiersze);
        QFETCH(bool, zmienionyPo);
        const QString projektB = sciezka(u"b.xml"_s), projektA = sciezka(u"a.xml"_s);
        zapiszPlikProjektu(projektB,
                           {{u"1"_s, u"b.mp3"_s, u"0"_s, u"5000"_s, ExSciezka(pusty(u"b.mp3"_s))}});
        m_form->WczytajProjekt(projektB); // now the recent project
        akcja(*m_form, "Nowyprojekt1")->trigger();
        this->wiersze({u"a.mp3"_s});
        m_form->projekt().ustawNazwaProjektu(projektA);
        m_form->projekt().ustawProjektZmieniony(zmieniony);
        if (odpowiedz != QMessageBox::NoButton)
            m_seams->answers = {odpowiedz};
        m_seams->messages.clear();
        if (jak == u"otworz") {
            m_seams->openAnswers = {{projektB}};
            akcja(*m_form, "OtworzProjekt1")->trigger();
        } else if (jak == u"ostatni") {
            akcja(*m_form, "Ostatni1")->trigger();
        } else {
            m_form->UpuscPliki({projektB}, 0);
        }
        QCOMPARE(m_seams->messages.size(), odpowiedz == QMessageBox::NoButton ? 0 : 1);
        if (!m_seams->messages.isEmpty())
            QCOMPARE(ostatnia().text, kPytanie);
        QCOMPARE(nazwy(*m_form), wiersze);
        QCOMPARE(m_form->projekt().ProjektZmieniony(), zmienionyPo);
        QCOMPARE(m_form->projekt().NazwaProjektu(),
                 wiersze == QStringList{u"a.mp3"_s} ? projektA : projektB);
        if (odpowiedz == QMessageBox::Yes)
            QCOMPARE(wczytajPlikProjektu(projektA).wpisy.size(), 1);
        if (jak == u"otworz") {
            akcja(*m_form, "Cofnij1")->trigger();
            QCOMPARE(nazwy(*m_form), QStringList{u"a.mp3"_s});
            QVERIFY(!m_form->projekt().ProjektZmieniony());
        }
    }

    // A failed save reports the error, keeps the project marked as changed
    // and keeps the previous file.
    void failedSaveKeepsChangedMark() {
        wiersze({u"1.mp3"_s});
        m_form->projekt().ustawProjektZmieniony(true);
        const QString folder = sciezka(u"folder.xml"_s);
        QVERIFY(QDir().mkdir(folder));
        m_form->projekt().ustawNazwaProjektu(folder);
        akcja(*m_form, "Zapiszprojekt1")->trigger();
        QVERIFY(m_form->projekt().ProjektZmieniony());
        QCOMPARE(ostatnia().icon, Seams::Icon::Critical);
        QVERIFY2(ostatnia().text.startsWith(u"Nie można zapisać projektu do pliku"_s),
                 qPrintable(ostatnia().text));
        QVERIFY(QFileInfo(folder).isDir());
    }

    // Closing by the close box or by "Zamknij" asks the session's question
    // (its answers are tested there) and keeps the window open unless the
    // project may go.
    void closeQuestion_data() {
        QTest::addColumn<bool>("byZamknij");
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<QString>("saveAs"); // empty: cancelled; "dir": fails
        QTest::addColumn<bool>("closed");
        for (bool z : {false, true}) {
            const char* how = z ? "Zamknij, " : "close box, ";
            QTest::addRow("%sno", how) << z << QMessageBox::No << QString() << true;
            QTest::addRow("%syes, saved", how) << z << QMessageBox::Yes << u"zamkniecie"_s << true;
            QTest::addRow("%sAnuluj", how) << z << QMessageBox::Cancel << QString() << false;
            QTest::addRow("%sEsc", how) << z << FakeSeams::Esc << u"zamkniecie"_s << false;
        }
    }
    void closeQuestion() {
        QFETCH(bool, byZamknij);
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(QString, saveAs);
        QFETCH(bool, closed);
        wiersze({u"1.mp3"_s});
        m_form->projekt().ustawProjektZmieniony(true);
        m_seams->answers = {answer};
        if (saveAs == u"dir") {
            QVERIFY(QDir().mkdir(sciezka(u"dir.xml"_s)));
            m_seams->saveAnswers = {sciezka(saveAs)};
        } else if (!saveAs.isEmpty()) {
            m_seams->saveAnswers = {sciezka(saveAs)};
        }
        if (byZamknij)
            akcja(*m_form, "Zamknij1")->trigger();
        else
            m_form->close();
        const FakeSeams::Message& question = m_seams->messages.at(0);
        QCOMPARE(question.text, kPytanie);
        QCOMPARE(question.caption, u"Uwaga"_s);
        QCOMPARE(question.icon, Seams::Icon::None);
        QCOMPARE(question.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(m_form->isVisible(), !closed);
        QCOMPARE(m_form->projekt().rowCount(), 1);
        QCOMPARE(m_form->projekt().ProjektZmieniony(), !closed || answer == QMessageBox::No);
        QCOMPARE(QFile::exists(sciezka(u"zamkniecie.xml"_s)), closed && saveAs == u"zamkniecie");
    }

    void closeAfterSaveAsksNothing() {
        wiersze({u"1.mp3"_s});
        m_form->projekt().ustawProjektZmieniony(true);
        m_seams->saveAnswers = {sciezka(u"p.xml"_s)};
        akcja(*m_form, "Zapiszprojekt1")->trigger();
        m_seams->messages.clear();
        m_form->close();
        QVERIFY(m_seams->messages.isEmpty());
        QVERIFY(!m_form->isVisible());
    }
};

QTEST_MAIN(TestProject)
#include "tstui_project.moc"
