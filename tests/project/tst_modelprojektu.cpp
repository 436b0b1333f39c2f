// The project model: its rows as the list shows them, numbered by position,
// the changed mark, loading and saving. QAbstractItemModelTester watches
// every model and fails the test on any broken contract of the model.

#include "base/Errors.h"
#include "base/Paths.h"
#include "project/ModelProjektu.h"
#include "support/FileBytes.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using Edycja = std::function<void(ModelProjektu&)>;
Q_DECLARE_METATYPE(Edycja)

namespace {

PozycjaProjektu wpis(const QString& nazwa, const QString& folder = u"/nagrania/"_s) {
    return {QString(), nazwa, u"0"_s, u"5000"_s, folder};
}

QStringList kolumna(const ModelProjektu& model, int kolumna) {
    QStringList wynik;
    for (int r = 0; r < model.rowCount(); ++r)
        wynik.append(model.index(r, kolumna).data().toString());
    return wynik;
}

QStringList kolejne(int n) {
    QStringList wynik;
    for (int i = 1; i <= n; ++i)
        wynik.append(QString::number(i));
    return wynik;
}

} // namespace

class TestModelProjektu : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ModelProjektu> model;
    std::unique_ptr<QAbstractItemModelTester> tester;

    QString plik(const QString& nazwa) const { return dir->filePath(nazwa); }
    // An entry whose file exists.
    PozycjaProjektu istniejacy(const QString& nazwa) const {
        zapiszBajty(plik(nazwa), "x");
        return wpis(nazwa, dir->path() + u'/');
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        model = std::make_unique<ModelProjektu>();
        tester = std::make_unique<QAbstractItemModelTester>(
            model.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    void cleanup() {
        tester.reset();
        model.reset();
    }

    // The list's captions, the file name first; rows are selected, never
    // edited; every text is kept as it stands. An accepted bookmark says so;
    // a name that is not UTF-8 on the disk is shown with U+FFFD and kept.
    void columnsAndTexts() {
        QStringList naglowki;
        for (int c = 0; c < model->columnCount(); ++c)
            naglowki.append(model->headerData(c, Qt::Horizontal).toString());
        QCOMPARE(naglowki, (QStringList{u"nazwa pliku"_s, u"L.p."_s, u"początek"_s, u"długość"_s,
                                        u"sprawdzona"_s, u"folder"_s}));
        const PozycjaProjektu p{u"7"_s, u"rozdział 1.mp3"_s, u"abc"_s, u"-5"_s, u"/Żółw/"_s};
        PozycjaProjektu q{u"8"_s, nazwaZSystemu("Rozdzia\xb3 2.mp3"), u"0"_s, u"1"_s, u"/a/"_s};
        q.Sprawdzona = true;
        model->wstaw(0, {p, q});
        QCOMPARE(model->wiersz(0),
                 (PozycjaProjektu{u"1"_s, p.NazwaPliku, p.Poczatek, p.Dlugosc, p.Folder}));
        QCOMPARE(model->wiersz(1).NazwaPliku, q.NazwaPliku);
        QCOMPARE(kolumna(*model, ModelProjektu::KolPoczatek), (QStringList{u"abc"_s, u"0"_s}));
        QCOMPARE(kolumna(*model, ModelProjektu::KolSprawdzona), (QStringList{QString(), u"tak"_s}));
        QCOMPARE(kolumna(*model, ModelProjektu::KolNazwa),
                 (QStringList{p.NazwaPliku, u"Rozdzia\uFFFD 2.mp3"_s}));
        QCOMPARE(model->index(1, ModelProjektu::KolSprawdzona).data(Qt::AccessibleTextRole),
                 u"sprawdzona"_s);
        // Accepting is an edit like any other.
        model->ustawProjektZmieniony(false);
        q.Sprawdzona = false;
        QVERIFY(model->zmien(1, q));
        QVERIFY(model->ProjektZmieniony());
        const Qt::ItemFlags f = model->flags(model->index(0, ModelProjektu::KolLp));
        QVERIFY(f.testFlag(Qt::ItemIsSelectable) && !f.testFlag(Qt::ItemIsEditable));
    }

    // Edits of the rows a, b, c, d: the names after, the changed mark, and
    // numbers that follow the rows, every moved number reported to the views.
    void edits_data() {
        QTest::addColumn<Edycja>("edycja");
        QTest::addColumn<QString>("po");
        QTest::addColumn<bool>("zmiana");
        const auto row = [](const char* nazwa, Edycja e, const char* po, bool zmiana) {
            QTest::newRow(nazwa) << e << QString::fromLatin1(po) << zmiana;
        };
        row(
            "insert a block at row 3",
            [](auto& m) {
                m.wstaw(2, {wpis(u"x"_s), wpis(u"y"_s)});
            },
            "abxycd", true);
        row(
            "append a block",
            [](auto& m) {
                m.wstaw(4, {wpis(u"x"_s), wpis(u"y"_s)});
            },
            "abcdxy", true);
        row(
            "insert nothing", [](auto& m) { m.wstaw(1, {}); }, "abcd", false);
        row(
            "remove row 2", [](auto& m) { QCOMPARE(m.usun(1).at(0).NazwaPliku, u"b"_s); }, "acd",
            true);
        row(
            "remove the last two", [](auto& m) { m.usun(2, 2); }, "ab", true);
        row(
            "remove past the end", [](auto& m) { QVERIFY(m.usun(3, 2).isEmpty()); }, "abcd", false);
        row(
            "move a row down", [](auto& m) { QVERIFY(m.przenies(0, 1, 3)); }, "bcad", true);
        row(
            "move two rows up", [](auto& m) { QVERIFY(m.przenies(2, 2, 0)); }, "cdab", true);
        row(
            "move to the end", [](auto& m) { QVERIFY(m.przenies(1, 1, 4)); }, "acdb", true);
        row(
            "move into itself", [](auto& m) { QVERIFY(!m.przenies(1, 2, 2)); }, "abcd", false);
        row(
            "change a bookmark",
            [](auto& m) {
                PozycjaProjektu p = m.wiersz(1);
                p.Poczatek = u"100"_s;
                QVERIFY(m.zmien(1, p));
            },
            "abcd", true);
        row(
            "change to the same texts", [](auto& m) { QVERIFY(!m.zmien(1, m.wiersz(1))); }, "abcd",
            false);
        row(
            "renumber", [](auto& m) { m.Przenumeruj(); }, "abcd", false);
    }
    void edits() {
        QFETCH(Edycja, edycja);
        QFETCH(QString, po);
        QFETCH(bool, zmiana);
        model->wstaw(0, {wpis(u"a"_s), wpis(u"b"_s), wpis(u"c"_s), wpis(u"d"_s)});
        model->ustawProjektZmieniony(false);
        QList<QPersistentModelIndex> numery;
        for (int r = 0; r < model->rowCount(); ++r)
            numery.append(model->index(r, ModelProjektu::KolLp));
        QSignalSpy zmienione(model.get(), &ModelProjektu::modifiedChanged);
        QSignalSpy dane(model.get(), &QAbstractItemModel::dataChanged);
        edycja(*model);
        QCOMPARE(kolumna(*model, ModelProjektu::KolNazwa).join(QString()), po);
        QCOMPARE(kolumna(*model, ModelProjektu::KolLp), kolejne(model->rowCount()));
        QCOMPARE(model->ProjektZmieniony(), zmiana);
        QCOMPARE(zmienione.size(), zmiana ? 1 : 0);
        // A row that kept its entry but not its number was reported.
        for (int stary = 0; stary < numery.size(); ++stary) {
            const int r = numery.at(stary).row();
            if (r < 0 || r == stary)
                continue;
            const bool zgloszony = std::any_of(dane.cbegin(), dane.cend(), [&](const auto& s) {
                const auto od = s.at(0).template value<QModelIndex>();
                const auto doo = s.at(1).template value<QModelIndex>();
                return od.row() <= r && r <= doo.row() && od.column() <= ModelProjektu::KolLp &&
                       ModelProjektu::KolLp <= doo.column();
            });
            QVERIFY2(zgloszony, qPrintable(u"row %1"_s.arg(r + 1)));
        }
    }

    // Loading appends (numbers go on), leaves out and lists missing files,
    // and leaves the changed mark as it was; only a whole load names the
    // project's file.
    void loadAppends() {
        const QString projekt = plik(u"p.xml"_s);
        zapiszPlikProjektu(projekt,
                           {istniejacy(u"1.mp3"_s), wpis(u"brak.mp3"_s, dir->path() + u'/'),
                            istniejacy(u"ż 3.mp3"_s)});
        model->wstaw(0, {wpis(u"stary.mp3"_s)});
        for (bool zmieniony : {true, false}) {
            model->ustawProjektZmieniony(zmieniony);
            const PozycjePlikuProjektu wynik = model->wczytaj(projekt);
            QCOMPARE(wynik.brakujace, QStringList{plik(u"brak.mp3"_s)});
            QCOMPARE(model->ProjektZmieniony(), zmieniony);
        }
        QCOMPARE(kolumna(*model, ModelProjektu::KolNazwa),
                 (QStringList{u"stary.mp3"_s, u"1.mp3"_s, u"ż 3.mp3"_s, u"1.mp3"_s, u"ż 3.mp3"_s}));
        QCOMPARE(kolumna(*model, ModelProjektu::KolLp), kolejne(5));
        QCOMPARE(model->NazwaProjektu(), projekt);

        // Not a project: nothing. An entry without its file name: the
        // entries before it stay, the name stays.
        zapiszBajty(plik(u"inny.xml"_s), "<project><p><plik>1.mp3</plik></p></project>");
        QVERIFY(!model->wczytaj(plik(u"inny.xml"_s)).korzenProjekt);
        zapiszBajty(plik(u"zly.xml"_s),
                    "<projekt><p><plik>1.mp3</plik><folder>" + dir->path().toUtf8() +
                        "/</folder><poczatek>0</poczatek><dlugosc>1</dlugosc></p>"
                        "<p><folder>/</folder></p></projekt>");
        QVERIFY_THROWS_EXCEPTION(EConvertError, model->wczytaj(plik(u"zly.xml"_s)));
        QCOMPARE(model->rowCount(), 6);
        QCOMPARE(model->NazwaProjektu(), projekt);
    }

    // Saving writes the rows and makes the project saved under that name; a
    // failed save changes nothing. A new project is empty, unnamed, saved.
    void saveAndNew() {
        model->wstaw(0, {wpis(u"a.mp3"_s), wpis(u"b.mp3"_s)});
        QSignalSpy zmienione(model.get(), &ModelProjektu::modifiedChanged);
        QSignalSpy nazwa(model.get(), &ModelProjektu::fileNameChanged);
        QVERIFY(QDir(dir->path()).mkdir(u"folder.xml"_s));
        QVERIFY_THROWS_EXCEPTION(EInOutError, model->zapisz(plik(u"folder.xml"_s)));
        QVERIFY(model->ProjektZmieniony() && model->NazwaProjektu().isEmpty());
        model->zapisz(plik(u"p.xml"_s));
        QCOMPARE(bajtyPliku(plik(u"p.xml"_s)), dokumentProjektu(model->pozycje()));
        QVERIFY(!model->ProjektZmieniony());
        QCOMPARE(model->NazwaProjektu(), plik(u"p.xml"_s));
        QCOMPARE(zmienione.size(), 1);
        QCOMPARE(nazwa.size(), 1);

        model->ustawProjektZmieniony(true);
        model->nowy();
        QCOMPARE(model->rowCount(), 0);
        QVERIFY(!model->ProjektZmieniony() && model->NazwaProjektu().isEmpty());
        QCOMPARE(nazwa.size(), 2);
    }

    // A drag carries its rows, which only the model they came from takes
    // back; files come as URLs. A drop never changes the model by itself.
    void dragDataNamesItsOwnRows() {
        model->wstaw(0, {wpis(u"a"_s), wpis(u"b"_s), wpis(u"c"_s), wpis(u"d"_s)});
        const std::unique_ptr<QMimeData> data(
            model->mimeData({model->index(3, 0), model->index(1, 2), model->index(1, 0)}));
        QCOMPARE(model->przeciagnieteWiersze(data.get()), (QList<int>{1, 3}));
        ModelProjektu inny;
        inny.wstaw(0, model->pozycje());
        QVERIFY(inny.przeciagnieteWiersze(data.get()).isEmpty());
        QMimeData pliki;
        pliki.setUrls({QUrl::fromLocalFile(u"/n/a.mp3"_s)});
        QVERIFY(model->przeciagnieteWiersze(&pliki).isEmpty());
        QVERIFY(model->canDropMimeData(&pliki, Qt::CopyAction, -1, -1, {}));
        QVERIFY(!model->canDropMimeData(&pliki, Qt::CopyAction, 0, 0, model->index(0, 0)));
        QVERIFY(!model->dropMimeData(data.get(), Qt::MoveAction, 0, 0, {}));
        QCOMPARE(model->rowCount(), 4);
    }
};

QTEST_MAIN(TestModelProjektu)
#include "tst_modelprojektu.moc"
