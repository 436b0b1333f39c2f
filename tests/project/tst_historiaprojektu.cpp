// The project's history: every step undone and redone gives back exactly
// the rows before and after it, the changed mark follows the saved state,
// and loads and "Nowy projekt" keep the rules of the changed mark.

#include "base/Errors.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "support/FileBytes.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using Krok = std::function<void(HistoriaProjektu&)>;
Q_DECLARE_METATYPE(Krok)

namespace {

PozycjaProjektu wpis(const QString& nazwa, const QString& folder = u"/nagrania/"_s) {
    return {QString(), nazwa, u"0"_s, u"5000"_s, folder};
}

ListaPozycji wpisy(const QString& nazwy, const QString& folder = u"/nagrania/"_s) {
    ListaPozycji wynik;
    for (QChar c : nazwy)
        wynik.append(wpis(QString(c), folder));
    return wynik;
}

QString nazwy(const ModelProjektu& model) {
    QString wynik;
    for (const PozycjaProjektu& p : model.pozycje())
        wynik += p.NazwaPliku;
    return wynik;
}

} // namespace

class TestHistoriaProjektu : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ModelProjektu> model;
    std::unique_ptr<QAbstractItemModelTester> tester;
    std::unique_ptr<HistoriaProjektu> historia;

    // A project file of entries whose files exist (a load leaves out the others).
    QString projekt(const QString& nazwa, const QString& wiersze) const {
        for (QChar c : wiersze) {
            QFile plik(dir->filePath(c));
            plik.open(QIODevice::WriteOnly);
        }
        const QString path = dir->filePath(nazwa);
        zapiszPlikProjektu(path, wpisy(wiersze, dir->path() + u'/'));
        return path;
    }
    QUndoStack& stos() const { return historia->stos(); }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        model = std::make_unique<ModelProjektu>();
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        historia = std::make_unique<HistoriaProjektu>(*model);
        model->wstaw(0, wpisy(u"ABCDEF"_s));
        model->ustawNazwaProjektu(u"/ksiazki/stary.xml"_s);
        model->ustawProjektZmieniony(false);
    }
    void cleanup() {
        historia.reset();
        tester.reset();
        model.reset();
    }

    // One step on the rows A to F of a saved project: its name in "Cofnij",
    // the rows after it, the rows a view is to select after a redo, and the
    // changed mark after the step and after its undo. Undo gives back the
    // exact rows and name, redo the exact rows and name after the step.
    void everyStepUndoesAndRedoesExactly_data() {
        QTest::addColumn<Krok>("krok");
        QTest::addColumn<QString>("opis");
        QTest::addColumn<QString>("po");
        QTest::addColumn<QList<int>>("zaznaczone");
        QTest::addColumn<bool>("zmienionyPo");
        QTest::addColumn<bool>("zmienionyCofniety");
        const auto k = [](Krok f) { return f; };
        QTest::newRow("add two at the end")
            << k([](HistoriaProjektu& h) { h.wstaw(6, wpisy(u"GH"_s)); }) << u"dodaj pozycje 7–8"_s
            << u"ABCDEFGH"_s << QList<int>{6, 7} << true << false;
        QTest::newRow("insert one")
            << k([](HistoriaProjektu& h) { h.wstaw(2, wpisy(u"G"_s)); }) << u"wstaw pozycję 3"_s
            << u"ABGCDEF"_s << QList<int>{2} << true << false;
        QTest::newRow("remove the last")
            << k([](HistoriaProjektu& h) { h.usun(5); }) << u"usuń pozycję 6"_s << u"ABCDE"_s
            << QList<int>{4} << true << false;
        QTest::newRow("scattered rows up") << k([](HistoriaProjektu& h) {
            QVERIFY(h.przesun({4, 1, 3}, -1));
        }) << u"przesuń w górę 3 pozycje"_s << u"BADECF"_s
                                           << QList<int>{0, 2, 3} << true << false;
        QTest::newRow("one row down")
            << k([](HistoriaProjektu& h) { QVERIFY(h.przesun({4}, 1)); })
            << u"przesuń w dół pozycję 5"_s << u"ABCDFE"_s << QList<int>{5} << true << false;
        QTest::newRow("drag scattered to the end") << k([](HistoriaProjektu& h) {
            QCOMPARE(h.przenies({0, 2}, 6), (QList<int>{4, 5}));
        }) << u"przeciągnij 2 pozycje"_s << u"BDEFAC"_s
                                                   << QList<int>{4, 5} << true << false;
        QTest::newRow("drag from both sides into the middle") << k([](HistoriaProjektu& h) {
            QCOMPARE(h.przenies({5, 0}, 3), (QList<int>{2, 3}));
        }) << u"przeciągnij 2 pozycje"_s << u"BCAFDE"_s << QList<int>{2, 3}
                                                              << true << false;
        QTest::newRow("bookmarks of two rows at once") << k([](HistoriaProjektu& h) {
            QVERIFY(h.zmienZakladki({{1, u"100"_s, u"200"_s},
                                     {3, u"0"_s, u"5000"_s}, // unchanged: left out
                                     {4, u"5"_s, u"6"_s}}));
        }) << u"zmień zakładki 2 pozycji"_s << u"ABCDEF"_s
                                                       << QList<int>{1, 4} << true << false;
        // A review: an accepted mark counts even where the bookmark stays.
        QTest::newRow("bookmarks with accepted marks") << k([](HistoriaProjektu& h) {
            QCOMPARE(h.zmienZakladki({{0, u"0"_s, u"5000"_s, true}, {2, u"7"_s, u"8"_s, true}},
                                     u"przegląd zakładek"_s),
                     2);
            QVERIFY(h.model().wiersz(0).Sprawdzona && h.model().wiersz(2).Sprawdzona);
        }) << u"przegląd zakładek"_s << u"ABCDEF"_s << QList<int>{0, 2}
                                                       << true << false;
        QTest::newRow("new project")
            << k([](HistoriaProjektu& h) { h.nowy(); }) << u"nowy projekt"_s << QString()
            << QList<int>{} << false << true;
        QTest::newRow("load appends to a saved project") << k([this](HistoriaProjektu& h) {
            QVERIFY(h.wczytaj(projekt(u"inny.xml"_s, u"XY"_s)).korzenProjekt);
        }) << u"wczytaj projekt inny.xml"_s << u"ABCDEFXY"_s
                                                         << QList<int>{6, 7} << true << false;
    }
    void everyStepUndoesAndRedoesExactly() {
        QFETCH(Krok, krok);
        QFETCH(QString, opis);
        QFETCH(QString, po);
        QFETCH(QList<int>, zaznaczone);
        QFETCH(bool, zmienionyPo);
        QFETCH(bool, zmienionyCofniety);
        const ListaPozycji przed = model->pozycje();
        const QString nazwaPrzed = model->NazwaProjektu();
        QSignalSpy wskazane(historia.get(), &HistoriaProjektu::rowsAffected);

        krok(*historia);
        QCOMPARE(nazwy(*model), po);
        QCOMPARE(stos().undoText(), opis);
        QCOMPARE(model->ProjektZmieniony(), zmienionyPo);
        QCOMPARE(wskazane.count(), 0); // the command that asked places the focus
        const ListaPozycji wykonane = model->pozycje();
        const QString nazwaPo = model->NazwaProjektu();

        for (int i = 0; i < 2; ++i) {
            stos().undo();
            QCOMPARE(model->pozycje(), przed);
            QCOMPARE(model->NazwaProjektu(), nazwaPrzed);
            QCOMPARE(model->ProjektZmieniony(), zmienionyCofniety);
            stos().redo();
            QCOMPARE(model->pozycje(), wykonane);
            QCOMPARE(model->NazwaProjektu(), nazwaPo);
            QCOMPARE(model->ProjektZmieniony(), zmienionyPo);
            QCOMPARE(wskazane.constLast().constFirst().value<QList<int>>(), zaznaczone);
        }
    }

    // Steps that cannot change anything leave no step behind.
    void impossibleStepsAreNoSteps() {
        QVERIFY(!historia->przesun({0, 3}, -1));
        QVERIFY(!historia->przesun({5}, 1));
        QVERIFY(!historia->przesun({}, 1));
        QCOMPARE(historia->przenies({2, 3}, 3), (QList<int>{2, 3})); // already there
        QCOMPARE(historia->przenies({2, 3}, 4), (QList<int>{2, 3}));
        QVERIFY(!historia->zmienZakladki({{0, u"0"_s, u"5000"_s}, {9, u"1"_s, u"1"_s}}));
        historia->wstaw(2, {});
        historia->usun(6);
        QCOMPARE(stos().count(), 0);
        QCOMPARE(nazwy(*model), u"ABCDEF"_s);
        QVERIFY(!model->ProjektZmieniony());
    }

    // The mark is clear exactly at the state last saved, wherever undo and
    // redo go around it.
    void savePointClearsTheMark() {
        historia->usun(0);
        historia->usun(0);
        historia->zapisz(dir->filePath(u"zapis.xml"_s));
        QVERIFY(!model->ProjektZmieniony());
        QCOMPARE(model->NazwaProjektu(), dir->filePath(u"zapis.xml"_s));
        historia->przesun({0}, 1);
        QVERIFY(model->ProjektZmieniony());
        stos().undo();
        QVERIFY(!model->ProjektZmieniony());
        stos().undo();
        QVERIFY(model->ProjektZmieniony());
        QCOMPARE(nazwy(*model), u"BCDEF"_s);
        stos().redo();
        QVERIFY(!model->ProjektZmieniony());
        // A new step from before the save point drops the way back to it.
        stos().undo();
        historia->usun(4);
        QVERIFY(model->ProjektZmieniony());
        QVERIFY(!stos().canRedo());
    }

    // A project opened into an empty, unchanged list starts a new history;
    // into a list holding rows, or with changes not saved, it is a step, and
    // rows appended to others make the project changed.
    void openIntoAnEmptyListStartsANewHistory_data() {
        QTest::addColumn<QString>("wiersze");
        QTest::addColumn<bool>("zmieniony");
        QTest::addColumn<int>("kroki");
        QTest::addColumn<bool>("zmienionyPo");
        QTest::newRow("empty, unchanged") << QString() << false << 0 << false;
        QTest::newRow("empty after removing rows") << QString() << true << 1 << true;
        QTest::newRow("rows, unchanged") << u"A"_s << false << 1 << true;
    }
    void openIntoAnEmptyListStartsANewHistory() {
        QFETCH(QString, wiersze);
        QFETCH(bool, zmieniony);
        QFETCH(int, kroki);
        QFETCH(bool, zmienionyPo);
        historia->nowy();
        stos().clear();
        if (zmieniony)
            historia->wstaw(0, wpisy(u"Q"_s)), historia->usun(0);
        else
            model->wstaw(0, wpisy(wiersze)), model->ustawProjektZmieniony(false);
        const int przed = stos().count();
        QVERIFY(historia->wczytaj(projekt(u"p.xml"_s, u"XY"_s)).korzenProjekt);
        QCOMPARE(stos().count(), kroki ? przed + kroki : 0);
        QCOMPARE(model->ProjektZmieniony(), zmienionyPo);
        QCOMPARE(model->NazwaProjektu(), dir->filePath(u"p.xml"_s));
        if (kroki) { // undo takes the loaded rows and the name away again
            stos().undo();
            QCOMPARE(nazwy(*model), wiersze);
        }
    }

    // An entry that stops a load: what came in before it is one step too.
    void stoppedLoadIsAStep() {
        projekt(u"inny.xml"_s, u"X"_s);
        const QString path = dir->filePath(u"zly.xml"_s);
        zapiszBajty(path, "<?xml version=\"1.0\"?><projekt><p1><plik>X</plik><poczatek>0"
                          "</poczatek><dlugosc>1</dlugosc><folder>" +
                              dir->path().toUtf8() +
                              "/</folder></p1><p2><poczatek>0</poczatek></p2></projekt>");
        QVERIFY_THROWS_EXCEPTION(EConvertError, historia->wczytaj(path));
        QCOMPARE(nazwy(*model), u"ABCDEFX"_s);
        QCOMPARE(stos().count(), 1);
        QVERIFY(model->ProjektZmieniony()); // appended to other rows
        stos().undo();
        QCOMPARE(nazwy(*model), u"ABCDEF"_s);
    }
};

QTEST_GUILESS_MAIN(TestHistoriaProjektu)
#include "tst_historiaprojektu.moc"
