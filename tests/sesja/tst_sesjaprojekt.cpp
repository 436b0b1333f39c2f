// The project file as the session decides it, without a window: open, save,
// the unsaved-changes question and the recent projects, with the user's
// answers through FakeRozmowa.

#include "base/Paths.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "sesja/Sesja.h"
#include "settings/SettingsStore.h"
#include "support/FakeRozmowa.h"
#include "support/FileBytes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <unistd.h>

using namespace Qt::StringLiterals;
using O = Rozmowa::Odpowiedz;

namespace {

const QString kPytanie = u"Czy zapisać zmiany w projekcie?"_s;

} // namespace

class TestSesjaProjekt : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir;
    FakeRozmowa rozmowa;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<ModelProjektu> projekt;
    std::unique_ptr<HistoriaProjektu> historia;
    std::unique_ptr<Sesja> sesja;

    QString sciezka(const QString& nazwa) const { return dir->filePath(nazwa); }
    PozycjaProjektu wpis(const QString& nazwa) const {
        const QString path = sciezka(nazwa);
        QFile(path).open(QIODevice::WriteOnly); // loading only checks that it exists
        return {u"1"_s, nazwa, u"0"_s, u"5000"_s, ExSciezka(path)};
    }
    // A changed project of one row.
    void zmieniony() {
        projekt->wstaw(projekt->rowCount(), {wpis(u"1.mp3"_s)});
        projekt->ustawProjektZmieniony(true);
    }

private slots:
    void init() {
        dir.emplace();
        rozmowa = FakeRozmowa();
        store = std::make_unique<SettingsStore>(sciezka(u"conf"_s));
        projekt = std::make_unique<ModelProjektu>();
        historia = std::make_unique<HistoriaProjektu>(*projekt);
        sesja =
            std::make_unique<Sesja>(rozmowa, rozmowa, *store, *projekt, *historia, UslugiSesji{});
        // What the program remembers is stored once the settings are.
        sesja->zapiszKonfiguracje(Konfiguracja{});
        sesja->odczytajKonfiguracje();
    }

    // "Czy zapisać zmiany w projekcie?" before a changed project is dropped:
    // Enter saves, Esc and "Anuluj" keep it, a cancelled or failed save
    // keeps it too.
    void unsavedChangesQuestion_data() {
        QTest::addColumn<O>("odpowiedz");
        QTest::addColumn<QString>("zapis"); // the save dialog's answer; "dir": fails
        QTest::addColumn<bool>("porzucic");
        QTest::newRow("Nie") << O::Nie << QString() << true;
        QTest::newRow("Tak, saved") << O::Tak << u"p"_s << true;
        QTest::newRow("Tak, save cancelled") << O::Tak << QString() << false;
        QTest::newRow("Tak, save failed") << O::Tak << u"dir"_s << false;
        QTest::newRow("Anuluj") << O::Anuluj << QString() << false;
        QTest::newRow("Esc") << O::Brak << u"p"_s << false;
    }
    void unsavedChangesQuestion() {
        QFETCH(O, odpowiedz);
        QFETCH(QString, zapis);
        QFETCH(bool, porzucic);
        zmieniony();
        rozmowa.odpowiedzi = {odpowiedz};
        if (zapis == u"dir"_s)
            QVERIFY(QDir().mkdir(sciezka(u"dir.xml"_s)));
        if (!zapis.isEmpty())
            rozmowa.zapisy = {sciezka(zapis)};
        bool wynik = false;
        try {
            wynik = sesja->czyPorzucicZmiany();
        } catch (const SonvekError&) {
            QCOMPARE(zapis, u"dir"_s);
        }
        QCOMPARE(wynik, porzucic);
        // The folder of the name asked for is "a file that exists": asked about, and kept.
        const qsizetype pytania = zapis == u"dir"_s ? 2 : 1;
        QCOMPARE(rozmowa.wpisy.size(), pytania);
        const FakeRozmowa::Wpis& pytanie = rozmowa.wpisy.first();
        QCOMPARE(pytanie.tekst, kPytanie);
        QCOMPARE(pytanie.domyslna, O::Tak);
        QCOMPARE(pytanie.esc, O::Anuluj);
        QCOMPARE(projekt->ProjektZmieniony(), !(porzucic && zapis == u"p"_s));
        QCOMPARE(QFile::exists(sciezka(u"p.xml"_s)), porzucic && zapis == u"p"_s);
        // An unchanged project is dropped without a question.
        projekt->ustawProjektZmieniony(false);
        QVERIFY(sesja->czyPorzucicZmiany());
        QCOMPARE(rozmowa.wpisy.size(), pytania);
    }

    // "Nowy projekt" empties the list only when the changes may go.
    void newProject_data() {
        QTest::addColumn<O>("odpowiedz");
        QTest::addColumn<bool>("oprozniony");
        QTest::newRow("Nie") << O::Nie << true;
        QTest::newRow("Esc") << O::Brak << false;
    }
    void newProject() {
        QFETCH(O, odpowiedz);
        QFETCH(bool, oprozniony);
        zmieniony();
        rozmowa.odpowiedzi = {odpowiedz};
        QCOMPARE(sesja->nowyProjekt(), oprozniony);
        QCOMPARE(projekt->rowCount(), oprozniony ? 0 : 1);
        QCOMPARE(projekt->ProjektZmieniony(), !oprozniony);
        QCOMPARE(rozmowa.ogloszenia, oprozniony
                                         ? QStringList{u"Nowy projekt: lista plików jest pusta"_s}
                                         : QStringList());
    }

    void saveAsAppendsXml_data() {
        QTest::addColumn<QString>("wpisana");
        QTest::addColumn<QString>("zapisana");
        QTest::newRow("upper-case extension") << u"Projekt.XML"_s << u"Projekt.XML.xml"_s;
        QTest::newRow("xml") << u"ksiazka.xml"_s << u"ksiazka.xml"_s;
        QTest::newRow("other extension") << u"ksiazka.txt"_s << u"ksiazka.txt.xml"_s;
    }
    void saveAsAppendsXml() {
        QFETCH(QString, wpisana);
        QFETCH(QString, zapisana);
        zmieniony();
        rozmowa.zapisy = {sciezka(wpisana)};
        QVERIFY(sesja->zapiszProjektJako());
        QCOMPARE(projekt->NazwaProjektu(), sciezka(zapisana));
        QVERIFY(QFile::exists(sciezka(zapisana)));
        QCOMPARE(rozmowa.ogloszenia, QStringList{u"Zapisano projekt "_s + zapisana});
        QVERIFY(!sesja->zapiszProjektJako()); // cancelled: nothing changes
        QCOMPARE(rozmowa.dialogi.constLast().nazwaPliku, sciezka(zapisana));
        QCOMPARE(rozmowa.dialogi.constLast().tytul, u"Zapisz projekt jako"_s);
        QCOMPARE(projekt->NazwaProjektu(), sciezka(zapisana));
    }

    // "Zapisz projekt jako" replaces another existing file only after
    // "Tak"; Enter and Esc keep it. The project's own file is saved over
    // without a question.
    void saveAsAsksBeforeReplacing_data() {
        QTest::addColumn<QString>("biezacy");
        QTest::addColumn<O>("odpowiedz"); // Ok: no question expected
        QTest::addColumn<bool>("zamieniony");
        QTest::newRow("no project file, Tak") << QString() << O::Tak << true;
        QTest::newRow("no project file, Esc") << QString() << O::Brak << false;
        QTest::newRow("another project, Nie") << u"inny.xml"_s << O::Nie << false;
        QTest::newRow("its own file") << u"stary.xml"_s << O::Ok << true;
        // Opened under a hard link's name: still its own file.
        QTest::newRow("its own file, other name") << u"alias.xml"_s << O::Ok << true;
    }
    void saveAsAsksBeforeReplacing() {
        QFETCH(QString, biezacy);
        QFETCH(O, odpowiedz);
        QFETCH(bool, zamieniony);
        const QString stary = sciezka(u"stary.xml"_s);
        QVERIFY(zapiszBajty(stary, "<projekt/>"));
        if (biezacy == u"alias.xml")
            QCOMPARE(::link(QFile::encodeName(stary), QFile::encodeName(sciezka(biezacy))), 0);
        if (!biezacy.isEmpty())
            projekt->ustawNazwaProjektu(sciezka(biezacy));
        zmieniony();
        rozmowa.odpowiedzi = {odpowiedz};
        rozmowa.zapisy = {sciezka(u"stary"_s)};
        QCOMPARE(sesja->zapiszProjektJako(), zamieniony);
        if (odpowiedz == O::Ok) {
            QVERIFY(rozmowa.wpisy.isEmpty());
        } else {
            QCOMPARE(rozmowa.wpisy.size(), 1);
            QCOMPARE(rozmowa.wpisy.first().tekst,
                     u"Plik %1 już istnieje. Czy zamienić go?"_s.arg(stary));
            QCOMPARE(rozmowa.wpisy.first().domyslna, O::Nie);
            QCOMPARE(rozmowa.wpisy.first().esc, O::Nie);
        }
        QCOMPARE(bajtyPliku(stary) != "<projekt/>", zamieniony);
        QCOMPARE(projekt->ProjektZmieniony(), !zamieniony);
        QCOMPARE(projekt->NazwaProjektu(), zamieniony          ? stary
                                           : biezacy.isEmpty() ? QString()
                                                               : sciezka(biezacy));
    }

    // Before a save replaces the project's file, the file must still be
    // the one read or written here; when another program changed it, the
    // user is asked, and Esc and the default keep the other version.
    void saveAsksWhenFileChangedElsewhere_data() {
        QTest::addColumn<QString>("zmiana");
        QTest::addColumn<O>("odpowiedz"); // Ok: no question expected
        QTest::addColumn<bool>("zapisany");
        QTest::newRow("unchanged") << QString() << O::Ok << true;
        QTest::newRow("another window saved, same size, Nie") << u"zapis"_s << O::Nie << false;
        QTest::newRow("another window saved, Esc") << u"zapis"_s << O::Brak << false;
        QTest::newRow("another window saved, Tak") << u"zapis"_s << O::Tak << true;
        QTest::newRow("written in place, longer") << u"dopisany"_s << O::Nie << false;
        QTest::newRow("only touched") << u"dotkniety"_s << O::Ok << true;
        QTest::newRow("removed") << u"usuniety"_s << O::Ok << true;
    }
    void saveAsksWhenFileChangedElsewhere() {
        QFETCH(QString, zmiana);
        QFETCH(O, odpowiedz);
        QFETCH(bool, zapisany);
        const QString plik = sciezka(u"p.xml"_s);
        zapiszPlikProjektu(plik, {wpis(u"x.mp3"_s)});
        QVERIFY(sesja->wczytajProjekt(plik, false));
        projekt->wstaw(1, {wpis(u"moj.mp3"_s)});
        if (zmiana == u"zapis") {
            zapiszPlikProjektu(plik, {wpis(u"y.mp3"_s)});
        } else if (zmiana == u"dopisany") {
            QFile f(plik);
            QVERIFY(f.open(QIODevice::Append));
            f.write("\r\n");
        } else if (zmiana == u"dotkniety") {
            QFile f(plik);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                  QFileDevice::FileModificationTime));
        } else if (zmiana == u"usuniety") {
            QVERIFY(QFile::remove(plik));
        }
        const QByteArray przed = bajtyPliku(plik);
        rozmowa.odpowiedzi = {odpowiedz};
        rozmowa.wpisy.clear();
        QCOMPARE(sesja->zapiszProjekt(), zapisany);
        QCOMPARE(rozmowa.wpisy.size(), odpowiedz == O::Ok ? 0 : 1);
        if (!rozmowa.wpisy.isEmpty()) {
            const FakeRozmowa::Wpis& pytanie = rozmowa.wpisy.first();
            QVERIFY(
                pytanie.tekst.startsWith(u"Plik projektu został zmieniony przez inny program"_s));
            QVERIFY(pytanie.tekst.contains(plik));
            QCOMPARE(pytanie.domyslna, O::Nie);
            QCOMPARE(pytanie.esc, O::Nie);
        }
        QCOMPARE(projekt->ProjektZmieniony(), !zapisany);
        if (zapisany)
            QCOMPARE(wczytajPlikProjektu(plik).wpisy.size(), 2);
        else
            QCOMPARE(bajtyPliku(plik), przed);
        // Saved: the next save asks only about a newer change.
        if (zapisany) {
            projekt->ustawProjektZmieniony(true);
            QVERIFY(sesja->zapiszProjekt());
            QCOMPARE(rozmowa.wpisy.size(), odpowiedz == O::Ok ? 0 : 1);
        }
    }

    // A project opened or saved goes first in the recent projects (kept
    // across runs), its folder the project dialogs' folder; a file that is
    // no project is told and remembered nowhere. A cancelled open dialog
    // offers the project's own name and changes nothing.
    void recentProjects() {
        int zmiany = 0;
        sesja->przyZmianieOstatnich([&zmiany] { ++zmiany; });
        zmieniony();
        rozmowa.zapisy = {sciezka(u"a.xml"_s)};
        QVERIFY(sesja->zapiszProjektJako());
        QVERIFY(zapiszBajty(sciezka(u"zly.xml"_s), "<inny/>"));
        QVERIFY(!sesja->wczytajProjekt(sciezka(u"zly.xml"_s), true));
        QCOMPARE(rozmowa.teksty(), QStringList{u"Nieprawidlowy plik z danymi o projekcie"_s});
        zapiszPlikProjektu(sciezka(u"b.xml"_s), {wpis(u"2.mp3"_s)});
        QVERIFY(sesja->wczytajProjekt(sciezka(u"b.xml"_s), true));
        QCOMPARE(zmiany, 2);
        QCOMPARE(sesja->ostatni(1), sciezka(u"b.xml"_s));
        QCOMPARE(sesja->ostatni(2), sciezka(u"a.xml"_s));
        QVERIFY(sesja->ostatni(3).isEmpty());
        QCOMPARE(sesja->wybierzProjekt(), QString());
        QCOMPARE(rozmowa.dialogi.constLast().tytul, u"Otwórz projekt"_s);
        QCOMPARE(rozmowa.dialogi.constLast().nazwaPliku, sciezka(u"b.xml"_s));
        QCOMPARE(rozmowa.dialogi.constLast().folder, ExSciezka(sciezka(u"b.xml"_s)));
        QCOMPARE(rozmowa.dialogi.constLast().filtr, u"xml (*.xml)"_s);

        Sesja nastepna(rozmowa, rozmowa, *store, *projekt, *historia, UslugiSesji{});
        nastepna.odczytajStan();
        QCOMPARE(nastepna.stan().OstatnieProjekty,
                 (QStringList{sciezka(u"b.xml"_s), sciezka(u"a.xml"_s)}));
    }
};

QTEST_MAIN(TestSesjaProjekt)
#include "tst_sesjaprojekt.moc"
