// The entry list's decisions as the session makes them, without a window:
// files and folders added and inserted with what was left out, and what a
// command line names, with the user's answers through FakeRozmowa.

#include "base/Paths.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "project/Otwieranie.h"
#include "project/ProjectFile.h"
#include "sesja/Sesja.h"
#include "sesja/SesjaLista.h"
#include "settings/SettingsStore.h"
#include "support/FakePracaListy.h"
#include "support/FakeRozmowa.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using O = Rozmowa::Odpowiedz;

namespace {

const QString kNiepoprawne = u"Następujące pliki nie są poprawnymi plikami audio i nie zostaną "
                             u"dolączone do projektu:"_s;

} // namespace

class TestSesjaLista : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir;
    FakeRozmowa rozmowa;
    FakePracaListy praca;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<ModelProjektu> projekt;
    std::unique_ptr<HistoriaProjektu> historia;
    std::unique_ptr<Sesja> sesja;
    std::unique_ptr<SesjaLista> lista;

    QString sciezka(const QString& nazwa) const {
        return QDir::toNativeSeparators(dir->filePath(nazwa));
    }
    // A name ending in '!' is a file that holds no audio.
    QString plik(const QString& nazwa) const {
        QDir().mkpath(QFileInfo(sciezka(nazwa)).path());
        if (nazwa.endsWith(u'!')) {
            const QString path = sciezka(nazwa.chopped(1));
            zapiszBajty(path, "to nie jest mp3");
            return path;
        }
        Mp3Format fmt;
        fmt.durationMs = 300;
        return makeMp3(sciezka(nazwa), fmt);
    }
    QStringList nazwy() const {
        QStringList wynik;
        for (const PozycjaProjektu& p : projekt->pozycje())
            wynik << QDir(dir->path()).relativeFilePath(p.sciezka());
        return wynik;
    }
    void wiersze(const QStringList& nazwy) {
        for (const QString& n : nazwy)
            projekt->wstaw(projekt->rowCount(),
                           {{QString(), n, u"0"_s, u"100"_s, ExSciezka(plik(n))}});
        projekt->ustawProjektZmieniony(false);
    }
    QString projektZ(const QString& nazwa, const QString& wpis) {
        const QString path = sciezka(nazwa);
        zapiszPlikProjektu(path, {{QString(), wpis, u"0"_s, u"100"_s, ExSciezka(plik(wpis))}});
        return path;
    }

private slots:
    void init() {
        dir.emplace();
        rozmowa = FakeRozmowa();
        praca = FakePracaListy();
        store = std::make_unique<SettingsStore>(dir->filePath(u"conf"_s));
        projekt = std::make_unique<ModelProjektu>();
        historia = std::make_unique<HistoriaProjektu>(*projekt);
        sesja =
            std::make_unique<Sesja>(rozmowa, rozmowa, *store, *projekt, *historia, UslugiSesji{});
        lista = std::make_unique<SesjaLista>(*sesja, rozmowa, praca, *projekt, *historia,
                                             UslugiListy{});
    }

    // "Dodaj..." appends and "Wstaw..." inserts before the selected row the
    // chosen files in the order of their names, as one step; files that
    // hold no audio are listed and counted in what is said last.
    void addingFiles_data() {
        QTest::addColumn<int>("przed"); // -2: "Dodaj..."
        QTest::addColumn<QStringList>("wybrane");
        QTest::addColumn<QStringList>("po");
        QTest::addColumn<QString>("ogloszenie");
        const QStringList wybrane{u"c.mp3"_s, u"a.mp3"_s, u"B.mp3"_s};
        QTest::newRow("Dodaj, by name")
            << -2 << wybrane
            << QStringList{u"1.mp3"_s, u"2.mp3"_s, u"a.mp3"_s, u"B.mp3"_s, u"c.mp3"_s}
            << u"Dodano 3 pliki"_s;
        QTest::newRow("Wstaw before row 2")
            << 1 << wybrane
            << QStringList{u"1.mp3"_s, u"a.mp3"_s, u"B.mp3"_s, u"c.mp3"_s, u"2.mp3"_s}
            << u"Dodano 3 pliki"_s;
        QTest::newRow("Wstaw, none selected")
            << -1 << QStringList{u"x.mp3"_s} << QStringList{u"1.mp3"_s, u"2.mp3"_s, u"x.mp3"_s}
            << u"Dodano 1 plik"_s;
        QTest::newRow("no audio listed")
            << -2 << QStringList{u"b zły.mp3!"_s, u"dobry.mp3"_s, u"a tekst.mp3!"_s}
            << QStringList{u"1.mp3"_s, u"2.mp3"_s, u"dobry.mp3"_s}
            << u"Dodano 1 plik, pominięto 2 pliki, które nie są plikami audio"_s;
        QTest::newRow("cancelled")
            << -2 << QStringList() << QStringList{u"1.mp3"_s, u"2.mp3"_s} << QString();
    }
    void addingFiles() {
        QFETCH(int, przed);
        QFETCH(QStringList, wybrane);
        QFETCH(QStringList, po);
        QFETCH(QString, ogloszenie);
        wiersze({u"1.mp3"_s, u"2.mp3"_s});
        QStringList sciezki;
        QStringList zle;
        for (const QString& n : wybrane)
            (n.endsWith(u'!') ? zle : sciezki).append(plik(n));
        if (!wybrane.isEmpty())
            rozmowa.wybory = {sciezki + zle};
        przed == -2 ? lista->dodajPliki() : lista->wstawPliki(przed);
        QCOMPARE(rozmowa.dialogi.constLast().tytul,
                 przed == -2 ? u"Dodaj plik"_s : u"Wstaw plik"_s);
        QCOMPARE(rozmowa.dialogi.constLast().filtr, u"mp3 (*.mp3)"_s);
        QVERIFY(rozmowa.dialogi.constLast().wiele);
        QCOMPARE(nazwy(), po);
        QCOMPARE(projekt->ProjektZmieniony(), !wybrane.isEmpty());
        QCOMPARE(praca.sygnaly, wybrane.isEmpty() ? 0 : 3);
        QCOMPARE(rozmowa.ogloszenia,
                 ogloszenie.isEmpty() ? QStringList() : QStringList{ogloszenie});
        std::sort(zle.begin(), zle.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
        QCOMPARE(rozmowa.teksty(),
                 zle.isEmpty() ? QStringList()
                               : QStringList{(QStringList{kNiepoprawne} + zle).join(u'\n')});
        if (!wybrane.isEmpty()) {
            // The focus on the first new row; one "Cofnij" takes them all back.
            QCOMPARE(praca.wiersze, QList<int>{przed < 0 ? 2 : przed});
            historia->cofnij();
            QCOMPARE(nazwy(), (QStringList{u"1.mp3"_s, u"2.mp3"_s}));
        }
    }

    // "Dodaj folder...": every MP3 of the folder in the order of its paths,
    // one step, what was left out listed with the reason and counted; a
    // stop adds nothing, a folder without MP3 files is told.
    void addingFolder_data() {
        QTest::addColumn<QStringList>("pliki");
        QTest::addColumn<bool>("przerwij");
        QTest::addColumn<QStringList>("po");
        QTest::addColumn<QString>("powiedziano");
        QTest::newRow("in path order")
            << QStringList{u"Rozdział 10/01.mp3"_s, u"Rozdział 2/01.mp3"_s, u"Rozdział 2/03.mp3!"_s,
                           u"potok.mp3|"_s}
            << false << QStringList{u"ksiazka/Rozdział 2/01.mp3"_s, u"ksiazka/Rozdział 10/01.mp3"_s}
            << u"Dodano 2 pliki, pominięto 2 pliki lub foldery"_s;
        QTest::newRow("stopped") << QStringList{u"01.mp3"_s} << true << QStringList()
                                 << u"Dodawanie folderu przerwano; lista bez zmian"_s;
        QTest::newRow("no MP3 files") << QStringList{u"opis.txt"_s} << false << QStringList()
                                      << u"W folderze %1 i jego podfolderach nie ma plików MP3."_s;
    }
    void addingFolder() {
        QFETCH(QStringList, pliki);
        QFETCH(bool, przerwij);
        QFETCH(QStringList, po);
        QFETCH(QString, powiedziano);
        const QString folder = sciezka(u"ksiazka"_s);
        for (const QString& n : pliki) {
            if (n.endsWith(u'|')) {
                QCOMPARE(::mkfifo(QFile::encodeName(sciezka(u"ksiazka/"_s + n.chopped(1))), 0600),
                         0);
            } else {
                plik(u"ksiazka/"_s + n);
            }
        }
        praca.przerwij = przerwij;
        rozmowa.wybory = {{folder}};
        lista->dodajFolder();
        QVERIFY(rozmowa.dialogi.constLast().katalog);
        QCOMPARE(sesja->stan().FolderAudio, folder + QDir::separator());
        QCOMPARE(nazwy(), po);
        if (po.isEmpty()) {
            QVERIFY(!projekt->ProjektZmieniony());
            QCOMPARE(przerwij ? rozmowa.status : rozmowa.teksty().value(0),
                     powiedziano.arg(folder));
            return;
        }
        QCOMPARE(rozmowa.teksty(), QStringList{u"Nie dodano następujących plików i folderów:\n"_s +
                                               sciezka(u"ksiazka/potok.mp3"_s) +
                                               u": to jest potok (FIFO), a nie zwykły plik\n"_s +
                                               sciezka(u"ksiazka/Rozdział 2/03.mp3"_s) +
                                               u": to nie jest plik dźwiękowy MP3"_s});
        QCOMPARE(rozmowa.ogloszenia, QStringList{powiedziano});
        historia->cofnij();
        QCOMPARE(projekt->rowCount(), 0);
    }

    // A command line's project opens in place of the list after the
    // unsaved-changes question (Esc keeps the work); its files and folders
    // are appended after it; what cannot be opened is listed.
    void commandLine_data() {
        QTest::addColumn<O>("odpowiedz"); // Ok: nothing changed, no question
        QTest::addColumn<QStringList>("po");
        QTest::newRow("unchanged list") << O::Ok
                                        << QStringList{u"p.mp3"_s, u"a.mp3"_s, u"b.mp3"_s,
                                                       u"folder/2.mp3"_s, u"folder/10.mp3"_s};
        QTest::newRow("changed, Nie") << O::Nie
                                      << QStringList{u"p.mp3"_s, u"a.mp3"_s, u"b.mp3"_s,
                                                     u"folder/2.mp3"_s, u"folder/10.mp3"_s};
        QTest::newRow("changed, Esc") << O::Brak
                                      << QStringList{u"praca.mp3"_s, u"a.mp3"_s, u"b.mp3"_s,
                                                     u"folder/2.mp3"_s, u"folder/10.mp3"_s};
    }
    void commandLine() {
        QFETCH(O, odpowiedz);
        QFETCH(QStringList, po);
        if (odpowiedz != O::Ok) {
            wiersze({u"praca.mp3"_s});
            projekt->ustawProjektZmieniony(true);
            rozmowa.odpowiedzi = {odpowiedz};
        }
        const QString projektPlik = projektZ(u"Pan Tadeusz.xml"_s, u"p.mp3"_s);
        for (const QString& n : {u"b.mp3"_s, u"a.mp3"_s, u"folder/2.mp3"_s, u"folder/10.mp3"_s})
            plik(n);
        QVERIFY(zapiszBajty(sciezka(u"zwykly.xml"_s), "<lista/>"));
        lista->otworzRozpoznane(
            rozpoznajWskazane({projektPlik, sciezka(u"b.mp3"_s), sciezka(u"zwykly.xml"_s),
                               sciezka(u"a.mp3"_s), sciezka(u"folder"_s), sciezka(u"brak"_s)}));
        QCOMPARE(nazwy(), po);
        QCOMPARE(projekt->NazwaProjektu(), odpowiedz == O::Brak ? QString() : projektPlik);
        QStringList teksty{u"Nie otwarto:\n"_s + sciezka(u"zwykly.xml"_s) +
                           u": to nie jest plik projektu\n"_s + sciezka(u"brak"_s) +
                           u": nie ma takiego pliku ani folderu"_s};
        if (odpowiedz != O::Ok) {
            QCOMPARE(rozmowa.wpisy.first().tekst, u"Czy zapisać zmiany w projekcie?"_s);
            QCOMPARE(rozmowa.wpisy.first().domyslna, O::Tak);
            QCOMPARE(rozmowa.wpisy.first().esc, O::Anuluj);
            teksty.prepend(rozmowa.wpisy.first().tekst);
        }
        QCOMPARE(rozmowa.teksty(), teksty);
        QVERIFY(praca.bledy.isEmpty());
    }
};

QTEST_MAIN(TestSesjaLista)
#include "tst_sesjalista.moc"
