// The entry list's decisions as the session makes them, without a window:
// files and folders added and inserted with what was left out, and what a
// command line names, with the user's answers through FakeRozmowa.

#include "base/Errors.h"
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
#include <QUndoStack>
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
    QStringList zakladki() const {
        QStringList wynik;
        for (const PozycjaProjektu& p : projekt->pozycje())
            wynik << p.Poczatek + u'/' + p.Dlugosc;
        return wynik;
    }
    void ustaw(const Konfiguracja& k) {
        sesja->zapiszKonfiguracje(k);
        sesja->odczytajKonfiguracje();
    }
    void nowaLista(UslugiListy uslugi) {
        lista = std::make_unique<SesjaLista>(*sesja, rozmowa, praca, *projekt, *historia,
                                             std::move(uslugi));
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

    // "Wykryj zakładki" over the rows the window gives: titles found become
    // the bookmarks as one step, at the pause of the settings; rows without
    // a title or with an unreadable file keep theirs and are listed; a stop
    // changes nothing.
    void detection_data() {
        QTest::addColumn<QList<int>>("rows");
        QTest::addColumn<bool>("przerwij");
        QTest::addColumn<QStringList>("po");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("wykaz");
        const QString zakonczone =
            u"Wykrywanie zakładek zakończone: wykryto %1 z %2, zmieniono %3."_s;
        QTest::newRow("every row")
            << QList<int>{0, 1, 2, 3} << false
            << QStringList{u"100/2000"_s, u"0/100"_s, u"0/100"_s, u"0/100"_s}
            << zakonczone.arg(2).arg(4).arg(1) << QStringList{u"k.mp3"_s, u"z.mp3 – uszkodzony"_s};
        QTest::newRow("found already: no change")
            << QList<int>{3} << false << QStringList{u"0/100"_s, u"0/100"_s, u"0/100"_s, u"0/100"_s}
            << zakonczone.arg(1).arg(1).arg(0) << QStringList();
        QTest::newRow("stopped")
            << QList<int>{0, 1} << true
            << QStringList{u"0/100"_s, u"0/100"_s, u"0/100"_s, u"0/100"_s}
            << u"Wykrywanie zakładek przerwano; zakładki pozostały bez zmian."_s << QStringList();
    }
    void detection() {
        QFETCH(QList<int>, rows);
        QFETCH(bool, przerwij);
        QFETCH(QStringList, po);
        QFETCH(QString, status);
        QFETCH(QStringList, wykaz);
        QList<int> przerwy;
        UslugiListy uslugi;
        uslugi.wykrywanieTytulow = [&](const QString& path, int przerwaMs,
                                       const std::atomic_bool*) {
            przerwy.append(przerwaMs);
            const QString nazwa = QFileInfo(path).fileName();
            if (nazwa == u"z.mp3")
                throw SonvekError(u"uszkodzony"_s);
            if (nazwa == u"t.mp3")
                return std::optional(WykrytyTytul{100, 2000, 2100});
            if (nazwa == u"u.mp3")
                return std::optional(WykrytyTytul{0, 100, 100});
            return std::optional<WykrytyTytul>();
        };
        nowaLista(std::move(uslugi));
        wiersze({u"t.mp3"_s, u"k.mp3"_s, u"z.mp3"_s, u"u.mp3"_s});
        Konfiguracja k = sesja->konfiguracja();
        k.Wykrywanie.Przerwa = 350;
        ustaw(k);
        praca.przerwij = przerwij;

        lista->wykryjZakladki(rows);

        QCOMPARE(zakladki(), po);
        QCOMPARE(rozmowa.status, status);
        QVERIFY(std::all_of(przerwy.begin(), przerwy.end(), [](int p) { return p == 350; }));
        for (QString& w : wykaz)
            w.prepend(dir->path() + u'/');
        if (!wykaz.isEmpty())
            wykaz.prepend(u"W następujących plikach nie znaleziono tytułu z przerwą po nim; ich "
                          u"zakładki pozostały bez zmian:"_s);
        QCOMPARE(rozmowa.teksty(),
                 wykaz.isEmpty() ? QStringList() : QStringList{wykaz.join(u'\n')});
        QCOMPARE(projekt->ProjektZmieniony(), po.first() != u"0/100");
        if (projekt->ProjektZmieniony()) {
            historia->cofnij(); // one step
            QCOMPARE(zakladki().first(), u"0/100"_s);
            QVERIFY(!projekt->ProjektZmieniony());
        }

        // With the setting on, the files added get detected bookmarks too.
        k.Wykrywanie.WykrywajPrzyDodawaniu = true;
        ustaw(k);
        praca.przerwij = false;
        lista->wstawPliki({plik(u"t.mp3"_s)}, 0);
        QCOMPARE(zakladki().first(), u"100/2000"_s);
    }

    // "Głośność": only files without a current measurement are measured (a
    // missing one is tried again each time), and the report gives the
    // median, the rows far from it with their names and numbers, what could
    // not be measured and the step of each row at the target of the settings.
    void loudnessReport() {
        QHash<QString, double> lufs{{u"a.mp3"_s, -18.0}, {u"b.mp3"_s, -25.0}, {u"c.mp3"_s, -17.0}};
        QStringList zmierzone;
        UslugiListy uslugi;
        uslugi.miernikGlosnosci = [&](const QString& path, const std::atomic_bool* przerwij) {
            const QString nazwa = QFileInfo(path).fileName();
            zmierzone.append(nazwa);
            if (!lufs.contains(nazwa))
                return zmierzGlosnosc(path, przerwij);
            return std::optional(PomiarGlosnosci{lufs.value(nazwa), -10.0, 100, 180});
        };
        nowaLista(std::move(uslugi));
        wiersze({u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s});
        projekt->wstaw(3, {{QString(), u"brak.mp3"_s, u"0"_s, u"100"_s, dir->path() + u'/'}});
        Konfiguracja k = sesja->konfiguracja();
        k.Wykrywanie.CelGlosnosci = u"-16"_s;
        ustaw(k);

        lista->raportGlosnosci({0, 1, 2, 3});
        zmierzone.sort();
        QCOMPARE(zmierzone, (QStringList{u"a.mp3"_s, u"b.mp3"_s, u"brak.mp3"_s, u"c.mp3"_s}));
        QCOMPARE(praca.raport.mid(0, 4),
                 (QStringList{u"Mediana głośności: −18,0 LUFS (zmierzono 3 z 4 pozycji)."_s,
                              u"Odbiegają od mediany o więcej niż 3 LU: 1."_s,
                              u"2. b.mp3: −25,0 LUFS, o 7,0 LU ciszej niż mediana"_s,
                              u"Nie udało się zmierzyć: 1."_s}));
        QVERIFY2(praca.raport.at(4).startsWith(u"4. brak.mp3: Nie można otworzyć pliku"_s),
                 qPrintable(praca.raport.at(4)));
        QCOMPARE(praca.raport.mid(5, 2),
                 (QStringList{u"Wszystkie pozycje (wyrównanie do −16,0 LUFS):"_s,
                              u"1. a.mp3: −18,0 LUFS, szczyt −10,0 dBTP, wyrównanie +1,5 dB"_s}));
        QVERIFY(rozmowa.wpisy.isEmpty());

        zmierzone.clear();
        lista->raportGlosnosci({0, 2});
        QCOMPARE(zmierzone, QStringList());
        QCOMPARE(praca.raport.first(),
                 u"Mediana głośności: −17,5 LUFS (zmierzono 2 z 2 pozycji)."_s);
        lista->raportGlosnosci({3});
        QCOMPARE(zmierzone, QStringList{u"brak.mp3"_s});
    }

    // Files dropped on the list: MP3 files go in before the row given,
    // sorted and measured as "Wstaw..." puts them (the bad ones listed), as
    // one step; a project is opened in place of the list and the MP3 files
    // dropped with it follow it.
    void droppedFiles_data() {
        QTest::addColumn<int>("cel");
        QTest::addColumn<bool>("zProjektem");
        QTest::addColumn<QStringList>("po");
        QTest::newRow("onto the second row")
            << 1 << false << QStringList{u"a.mp3"_s, u"x.mp3"_s, u"y.mp3"_s, u"b.mp3"_s};
        QTest::newRow("with a project")
            << 1 << true << QStringList{u"p.mp3"_s, u"x.mp3"_s, u"y.mp3"_s};
    }
    void droppedFiles() {
        QFETCH(int, cel);
        QFETCH(bool, zProjektem);
        QFETCH(QStringList, po);
        wiersze({u"a.mp3"_s, u"b.mp3"_s});
        QStringList upuszczone{plik(u"y.mp3"_s), plik(u"zly.mp3!"_s), plik(u"x.mp3"_s)};
        if (zProjektem)
            upuszczone.append(projektZ(u"projekt.xml"_s, u"p.mp3"_s));
        lista->upuscPliki(upuszczone, cel);
        QCOMPARE(nazwy(), po);
        QCOMPARE(rozmowa.teksty(), QStringList{kNiepoprawne + u'\n' + sciezka(u"zly.mp3"_s)});
        // The files are one step; an opened project starts the history anew.
        historia->cofnij();
        const QStringList przed =
            zProjektem ? QStringList{u"p.mp3"_s} : QStringList{u"a.mp3"_s, u"b.mp3"_s};
        QCOMPARE(nazwy(), przed);
        QVERIFY(!historia->stos().canUndo());
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
