// The memory card's work as the session decides it, without a window: the
// user's answers come through FakeRozmowa.

#include "base/Errors.h"
#include "cofanie/HistoriaProjektu.h"
#include "project/ModelProjektu.h"
#include "sesja/Sesja.h"
#include "settings/SettingsStore.h"
#include "support/FakeFreeSpace.h"
#include "support/FakeRozmowa.h"
#include "support/FileBytes.h"
#include "support/MagazynKarty.h"
#include "support/Tmpfs.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using O = Rozmowa::Odpowiedz;

namespace {

const QString skopiowane = u"Pliki zostały pomyślnie skopiowane! Książka na karcie sprawdzona: "
                           "zgodna z magazynem.\n\nCzy wysunąć kartę teraz?"_s;
const QString brakIndeksow = u"Brak pliku z indeksami, wybrany plik audio nie będzie skopiowany!"_s;
const QString brakPliku = u"Brak pliku audio o podanej nazwie"_s;
const QString pytaniePlayer =
    u"Plik zakładki już istnieje na karcie!\r\nCzy zamienić istniejący plik?"_s;
const QString utworzonyPlayer = u"Plik zakładki został pomyślnie utworzony!"_s;
const QString dowiazanie = u"Na karcie %1 jest dowiązaniem symbolicznym. Program nie zapisuje "
                           "przez dowiązania, więc na karcie nic nie zostało zapisane. Usuń to "
                           "dowiązanie z karty i spróbuj ponownie."_s;
const QString zamienic = u"Plik %1 już istnieje na karcie. Czy zamienić?"_s;
const QString zachowany = u"Nie skopiowano żadnego pliku: plik %1 na karcie nie został "
                          "zamieniony, więc karta pozostała bez zmian."_s;
const QStringList nazwy{u"ksiazka.mp3"_s, u"ksiazka.dat"_s, u"ksiazka.log"_s};

enum class Polecenie { Pomiar, Kopia, Sprawdzenie, Wysuniecie, Player };

} // namespace

class TestSesjaKarta : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir;
    QString karta; // card root with its final '/'
    QString magazyn;
    FakeRozmowa rozmowa;
    FakeWolneMiejsce miejsce{4096, 1'000'000};
    std::unique_ptr<SettingsStore> store;
    ModelProjektu projekt;
    HistoriaProjektu historia{projekt};
    std::unique_ptr<Sesja> sesja;
    WynikWysuniecia wysuniecie{true, u"Kartę można wyjąć."_s};
    QStringList wysuniete;

    // The session with the card and store folders set; `zrodlo` gives the
    // free-space figures (the system's when null).
    void utworz(const ZrodloWolnegoMiejsca* zrodlo, const QString& folderKarty) {
        UslugiSesji uslugi;
        uslugi.wolneMiejsce = zrodlo;
        uslugi.wysuwanieKarty = [this](const QString& korzen) {
            wysuniete.append(korzen);
            return wysuniecie;
        };
        sesja = std::make_unique<Sesja>(rozmowa, rozmowa, *store, projekt, historia, uslugi);
        ustawKarte(folderKarty);
    }
    // The card folder stored and taken into use, as the settings dialog does.
    void ustawKarte(const QString& folderKarty) {
        Konfiguracja k = sesja->konfiguracja();
        k.Karta = folderKarty;
        k.Magazyn = dir->filePath(u"magazyn"_s);
        sesja->zapiszKonfiguracje(k);
        sesja->odczytajKonfiguracje();
        rozmowa.wpisy.clear();
    }

    // A book in the store: the audio file and its two index files (each
    // one left out on request).
    QString ksiazka(const QString& rozszerzenie = u"mp3"_s, qsizetype rozmiar = 5000,
                    bool dat = true, bool log = true) {
        return ksiazkaWMagazynie(magazyn, rozszerzenie, rozmiar, dat, log);
    }

    void wykonaj(Polecenie polecenie) {
        switch (polecenie) {
        case Polecenie::Pomiar:
            sesja->zmierzKarte();
            break;
        case Polecenie::Kopia:
            sesja->kopiujKsiazke();
            break;
        case Polecenie::Sprawdzenie:
            sesja->sprawdzKsiazke();
            break;
        case Polecenie::Wysuniecie:
            sesja->wysunKarte();
            break;
        case Polecenie::Player:
            sesja->utworzPlikZakladki();
            break;
        }
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland)); }

    void init() {
        dir.emplace();
        QVERIFY(utworzFolderyKarty(*dir, karta, magazyn));
        rozmowa = FakeRozmowa();
        miejsce = FakeWolneMiejsce(4096, 1'000'000);
        store = std::make_unique<SettingsStore>(dir->filePath(u"conf"_s));
        wysuniete.clear();
        wysuniecie = {true, u"Kartę można wyjąć."_s};
        utworz(&miejsce, dir->filePath(u"karta"_s));
    }

    // A card not chosen, not there or not answering is said and nothing
    // else happens: no dialog, no status, nothing on the card.
    void cardNotUsable_data() {
        QTest::addColumn<Polecenie>("polecenie");
        QTest::addColumn<QString>("jak");
        QTest::addColumn<QString>("komunikat"); // %1: the card root
        const QString niedostepna = u"Karta nie jest dostępna: %1"_s;
        const QString nieOdpowiada = u"Karta %1 nie odpowiada. Wyjmij ją i włóż ponownie albo "
                                     "sprawdź, czy nie jest uszkodzona."_s;
        const QString nieWybrano = u"Nie wybrano karty. Wybierz ją w oknie Ustawienia."_s;
        for (const auto& [polecenie, nazwa] :
             {std::pair{Polecenie::Pomiar, "measure"}, std::pair{Polecenie::Kopia, "copy"},
              std::pair{Polecenie::Sprawdzenie, "check"}, std::pair{Polecenie::Wysuniecie, "eject"},
              std::pair{Polecenie::Player, "player file"}}) {
            QTest::addRow("%s, not chosen", nazwa) << polecenie << u"not chosen"_s << nieWybrano;
            QTest::addRow("%s, pulled", nazwa) << polecenie << u"pulled"_s << niedostepna;
            QTest::addRow("%s, nothing mounted", nazwa)
                << polecenie << u"nothing mounted"_s << niedostepna;
            QTest::addRow("%s, not answering", nazwa)
                << polecenie << u"not answering"_s << nieOdpowiada;
        }
        QTest::newRow("measure, query fails")
            << Polecenie::Pomiar << u"query fails"_s << niedostepna;
        QTest::newRow("copy, query fails") << Polecenie::Kopia << u"query fails"_s << niedostepna;
        QTest::newRow("copy, pulled while choosing")
            << Polecenie::Kopia << u"while choosing"_s << niedostepna;
    }
    void cardNotUsable() {
        QFETCH(Polecenie, polecenie);
        QFETCH(QString, jak);
        QFETCH(QString, komunikat);
        if (jak == u"not chosen"_s)
            ustawKarte(QString());
        else if (jak == u"pulled"_s)
            QVERIFY(QDir(karta).removeRecursively());
        else if (jak == u"nothing mounted"_s)
            miejsce.zamontowana = false;
        else if (jak == u"query fails"_s)
            miejsce.miara.reset();
        else if (jak == u"not answering"_s)
            rozmowa.bezOdpowiedzi = true;
        else
            rozmowa.podczasWyboru = [this] { miejsce.zamontowana = false; };
        rozmowa.wybory = {{ksiazka()}};
        wykonaj(polecenie);
        QCOMPARE(rozmowa.teksty(),
                 QStringList{komunikat.contains(u"%1"_s) ? komunikat.arg(karta) : komunikat});
        QCOMPARE(rozmowa.dialogi.size(), jak == u"while choosing"_s ? 1 : 0);
        QCOMPARE(wpisyFolderu(karta), QStringList());
        QVERIFY(wysuniete.isEmpty());
        if (jak != u"while choosing"_s)
            QVERIFY(rozmowa.status.isEmpty());
    }

    // With the system's own figures: a plain folder is no card, a tmpfs
    // mounted on it is.
    void realMountCheck() {
        utworz(nullptr, dir->filePath(u"karta"_s));
        const QString niedostepna = u"Karta nie jest dostępna: "_s + karta;
        sesja->zmierzKarte();
        sesja->utworzPlikZakladki();
        QCOMPARE(rozmowa.teksty(), (QStringList{niedostepna, niedostepna}));
        QCOMPARE(wpisyFolderu(karta), QStringList());
        if (::geteuid() != 0)
            QSKIP("mounting a tmpfs card needs root");
        Tmpfs tmpfs(dir->filePath(u"karta"_s), "size=64k");
        if (!tmpfs.zamontowany)
            QSKIP("this system does not allow mounting a tmpfs");
        rozmowa.wpisy.clear();
        sesja->zmierzKarte();
        sesja->utworzPlikZakladki();
        QCOMPARE(rozmowa.teksty(), QStringList{utworzonyPlayer});
        QCOMPARE(rozmowa.status, u"Wolne miejsce na karcie: 64 kB"_s);
        QCOMPARE(bajtyPliku(karta + u"player.dat"_s), QByteArray("0000 0000"));
    }

    void freeSpaceReport_data() {
        QTest::addColumn<qint64>("klaster");
        QTest::addColumn<quint64>("wolne");
        QTest::addColumn<bool>("player");
        QTest::addColumn<QString>("raport");
        QTest::newRow("player.dat costs a cluster")
            << qint64(4096) << quint64(1000) << true << u"Wolne miejsce na karcie: 3996 kB"_s;
        QTest::newRow("Polish decimal comma")
            << qint64(512) << quint64(1001) << false << u"Wolne miejsce na karcie: 500,5 kB"_s;
    }
    void freeSpaceReport() {
        QFETCH(qint64, klaster);
        QFETCH(quint64, wolne);
        QFETCH(bool, player);
        QFETCH(QString, raport);
        if (player)
            QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        miejsce = FakeWolneMiejsce(klaster, wolne);
        QVERIFY(sesja->zmierzKarte());
        QVERIFY(rozmowa.wpisy.isEmpty());
        QCOMPARE(rozmowa.status, raport);
        QCOMPARE(miejsce.ostatniFolder, karta);
        QCOMPARE(sesja->pomiarKarty().wolumin.rozmiarKlastra, klaster);
        QCOMPARE(sesja->pomiarKarty().wolumin.wolneKlastry, wolne);
        QCOMPARE(sesja->pomiarKarty().playerNaKarcie, player ? 1 : 0);
    }

    // A copy killed between its renames is finished as soon as the card is
    // measured, and the user is told.
    void killedRenamesFinishedWhenMeasured() {
        const QString tymczas = u".sonvek-999999999-0.tmp"_s;
        QVERIFY(zapiszBajty(karta + u"ksiazka.mp3"_s, "stara"));
        QVERIFY(zapiszBajty(karta + tymczas, "nowa"));
        struct stat info {};
        QCOMPARE(::stat(QFile::encodeName(karta + tymczas).constData(), &info), 0);
        QVERIFY(zapiszBajty(karta + u".sonvek-zamiana"_s,
                            "sonvek-zamiana 1\npid 999999999\n" + QFile::encodeName(tymczas) +
                                "\tksiazka.mp3\t" + QByteArray::number(quint64(info.st_ino)) +
                                '\n'));
        sesja->zmierzKarte();
        QCOMPARE(rozmowa.teksty().size(), 1);
        QVERIFY2(rozmowa.teksty().first().contains(u"zamianę dokończono"_s),
                 qPrintable(rozmowa.teksty().first()));
        QCOMPARE(wpisyFolderu(karta), QStringList{u"ksiazka.mp3"_s});
        QCOMPARE(bajtyPliku(karta + u"ksiazka.mp3"_s), QByteArray("nowa"));
    }

    // "Plik audio": what the card and the store hold, what the user picks and
    // answers, what is said (%1: the card root) and whether the card's
    // files are the store's afterwards. Every question comes before
    // anything is copied; a "Nie" ends the copy there.
    void copy_data() {
        QTest::addColumn<QString>("naKarcie"); // "", "stare", "player", "folder", "link", "zerwany"
        QTest::addColumn<QString>("wybor");    // relative to the store folder, "" cancels
        QTest::addColumn<bool>("indeksy");     // the book's index files in the store
        QTest::addColumn<QList<O>>("odpowiedzi");
        QTest::addColumn<QStringList>("komunikaty");
        QTest::addColumn<bool>("skopiowana");
        const QString mp3 = u"ksiazka.mp3"_s;
        QTest::newRow("copied, mp3")
            << QString() << mp3 << true << QList{O::Nie} << QStringList{skopiowane} << true;
        QTest::newRow("copied, asz") << QString() << u"ksiazka.asz"_s << true << QList{O::Nie}
                                     << QStringList{skopiowane} << true;
        QTest::newRow("all replaced")
            << u"stare"_s << mp3 << true << QList{O::Tak, O::Tak, O::Tak, O::Nie}
            << QStringList{zamienic.arg(nazwy[0]), zamienic.arg(nazwy[1]), zamienic.arg(nazwy[2]),
                           skopiowane}
            << true;
        QTest::newRow("book kept")
            << u"stare"_s << mp3 << true << QList{O::Nie}
            << QStringList{zamienic.arg(nazwy[0]), zachowany.arg(nazwy[0])} << false;
        QTest::newRow(".dat kept by Esc")
            << u"stare"_s << mp3 << true << QList{O::Tak, O::Brak}
            << QStringList{zamienic.arg(nazwy[0]), zamienic.arg(nazwy[1]), zachowany.arg(nazwy[1])}
            << false;
        QTest::newRow("dialog cancelled")
            << QString() << QString() << true << QList<O>{} << QStringList() << false;
        QTest::newRow("typed name of no file")
            << QString() << u"inna.mp3"_s << true << QList<O>{} << QStringList{brakPliku} << false;
        QTest::newRow("a folder") << QString() << u"."_s << true << QList<O>{}
                                  << QStringList{brakPliku} << false;
        QTest::newRow("no index files")
            << QString() << mp3 << false << QList<O>{} << QStringList{brakIndeksow} << false;
        QTest::newRow("folder of the .dat's name")
            << u"folder"_s << mp3 << true << QList<O>{}
            << QStringList{u"Błąd podczas kopiowania plików! Na karcie jest folder o nazwie "
                           "%1ksiazka.dat."_s}
            << false;
        QTest::newRow("link off the card")
            << u"link"_s << mp3 << true << QList<O>{}
            << QStringList{dowiazanie.arg(u"%1ksiazka.dat"_s)} << false;
        QTest::newRow("dangling link") << u"zerwany"_s << mp3 << true << QList<O>{}
                                       << QStringList{dowiazanie.arg(u"%1ksiazka.dat"_s)} << false;
    }
    void copy() {
        QFETCH(QString, naKarcie);
        QFETCH(QString, wybor);
        QFETCH(bool, indeksy);
        QFETCH(QList<O>, odpowiedzi);
        QFETCH(QStringList, komunikaty);
        QFETCH(bool, skopiowana);
        const QString rozszerzenie = wybor.endsWith(u".asz"_s) ? u"asz"_s : u"mp3"_s;
        const QString plik = ksiazka(rozszerzenie, 5000, indeksy, indeksy);
        // A read-only book is copied as well.
        QVERIFY(QFile::setPermissions(plik, QFile::ReadOwner | QFile::ReadGroup));
        const QString poza = dir->filePath(u"poza.dat"_s);
        if (naKarcie == u"stare"_s) {
            for (const auto& nazwa : nazwy)
                QVERIFY(zapiszBajty(karta + nazwa, "stare"));
        } else if (naKarcie == u"folder"_s) {
            QVERIFY(QDir(karta).mkdir(u"ksiazka.dat"_s));
        } else if (naKarcie == u"link"_s || naKarcie == u"zerwany"_s) {
            QVERIFY(QFile::link(poza, karta + u"ksiazka.dat"_s));
            if (naKarcie == u"link"_s)
                QVERIFY(zapiszBajty(poza, "poza karta"));
        }
        if (!wybor.isEmpty())
            rozmowa.wybory = {{magazyn + wybor}};
        rozmowa.odpowiedzi = odpowiedzi;
        sesja->kopiujKsiazke();

        QCOMPARE(rozmowa.dialogi.size(), 1);
        const Rozmowa::WyborPlikow& dialog = rozmowa.dialogi.first();
        QCOMPARE(dialog.tytul, u"Wybierz plik audio do skopiowania"_s);
        QCOMPARE(dialog.folder, dir->filePath(u"magazyn"_s));
        QCOMPARE(dialog.filtr, u"mp3, asz (*.mp3 *.asz)"_s);
        QVERIFY(!dialog.musiIstniec);
        QStringList oczekiwane;
        for (const QString& k : komunikaty)
            oczekiwane.append(k.contains(u"%1"_s) ? k.arg(karta) : k);
        QCOMPARE(rozmowa.teksty(), oczekiwane);
        for (const auto& w : rozmowa.wpisy) {
            if (w.tekst == skopiowane) { // the eject offer's safe answer is No, by Enter and Esc
                QCOMPARE(w.domyslna, O::Nie);
                QCOMPARE(w.esc, O::Nie);
            }
        }
        const QString audio = u"ksiazka."_s + rozszerzenie;
        QCOMPARE(bajtyPliku(karta + audio), skopiowana               ? bajtyPliku(plik)
                                            : naKarcie == u"stare"_s ? QByteArray("stare")
                                                                     : QByteArray());
        if (skopiowana)
            QCOMPARE(bajtyPliku(karta + u"ksiazka.log"_s), bajtyPliku(magazyn + u"ksiazka.log"_s));
        QCOMPARE(bajtyPliku(poza), naKarcie == u"link"_s ? QByteArray("poza karta") : QByteArray());
        // Measured before choosing, and again after a copy that ran.
        const bool kopiaRuszyla = skopiowana || naKarcie == u"folder"_s;
        QCOMPARE(miejsce.zapytania, kopiaRuszyla ? 2 : 1);
        QCOMPARE(rozmowa.status.startsWith(u"Wolne miejsce na karcie: "_s), true);
        QVERIFY(wysuniete.isEmpty());
    }

    // 4 free clusters of 4096 and a 4097-byte book: room for it only
    // while player.dat is not on the card.
    void roomTest_data() {
        QTest::addColumn<bool>("player");
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("no player.dat") << false << skopiowane;
        QTest::newRow("player.dat")
            << true << u"Brak wystarczającego miejsca na skopiowanie wybranego pliku!"_s;
    }
    void roomTest() {
        QFETCH(bool, player);
        QFETCH(QString, komunikat);
        const QString plik = ksiazka(u"mp3"_s, 4097);
        if (player)
            QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        miejsce = FakeWolneMiejsce(4096, 4);
        rozmowa.wybory = {{plik}};
        rozmowa.odpowiedzi = {O::Nie};
        sesja->kopiujKsiazke();
        QCOMPARE(rozmowa.teksty(), QStringList{komunikat});
        QCOMPARE(QFileInfo::exists(karta + u"ksiazka.mp3"_s), !player);
    }

    // "Otwórz" after a good copy is offered only where a window can show
    // the card's books, and shows them instead of measuring the card.
    void openTheCardsBooksAfterACopy() {
        int pokazane = 0;
        sesja->przyPokazaniuKsiazekNaKarcie([&] { ++pokazane; });
        rozmowa.wybory = {{ksiazka(u"mp3"_s, 4097)}};
        rozmowa.odpowiedzi = {O::Otworz};
        sesja->kopiujKsiazke();
        QCOMPARE(pokazane, 1);
        QCOMPARE(rozmowa.teksty(),
                 QStringList{skopiowane + u" Przycisk „Otwórz” pokazuje książki na karcie."_s});
    }

    void unreadableBookIsAnError() {
        if (::geteuid() == 0)
            QSKIP("root reads any file");
        const QString plik = ksiazka();
        QVERIFY(QFile::setPermissions(plik, QFileDevice::Permissions()));
        rozmowa.wybory = {{plik}};
        QString blad;
        try {
            sesja->kopiujKsiazke();
        } catch (const SonvekError& e) {
            blad = e.text();
        }
        QVERIFY2(blad.contains(plik), qPrintable(blad));
        QVERIFY(rozmowa.wpisy.isEmpty());
        QCOMPARE(wpisyFolderu(karta), QStringList());
    }

    // "Sprawdź książkę na karcie" compares the card's copy with the store's.
    void check_data() {
        QTest::addColumn<QString>("naKarcie");
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("equal") << u"kopia"_s
                               << u"Książka na karcie sprawdzona: zgodna z magazynem."_s;
        QTest::newRow("damaged")
            << u"uszkodzona"_s
            << u"Karta zawiera uszkodzoną kopię książki: plik %1ksiazka.mp3 różni się od pliku w "
               "magazynie od bajtu 4000. Nie należy używać tej karty."_s;
        QTest::newRow("missing") << u"brak"_s << u"Na karcie nie ma pliku %1ksiazka.mp3."_s;
    }
    void check() {
        QFETCH(QString, naKarcie);
        QFETCH(QString, komunikat);
        const QString plik = ksiazka();
        if (naKarcie != u"brak"_s) {
            for (const auto& n : nazwy)
                QVERIFY(QFile::copy(magazyn + n, karta + n));
        }
        if (naKarcie == u"uszkodzona"_s) {
            QByteArray dane = bajtyPliku(plik);
            dane[4000] = 'X';
            QVERIFY(zapiszBajty(karta + u"ksiazka.mp3"_s, dane));
        }
        rozmowa.wybory = {{plik}};
        sesja->sprawdzKsiazke();
        QCOMPARE(rozmowa.dialogi.size(), 1);
        QCOMPARE(rozmowa.dialogi.first().tytul,
                 u"Wybierz książkę z magazynu do sprawdzenia na karcie"_s);
        QCOMPARE(rozmowa.teksty(),
                 QStringList{komunikat.contains(u"%1"_s) ? komunikat.arg(karta) : komunikat});
    }

    // The eject says what it found; the status line keeps "Kartę można
    // wyjąć." only when it is true. After a good copy "Tak" ejects.
    void eject_data() {
        QTest::addColumn<bool>("moznaWyjac");
        QTest::addColumn<bool>("poKopiowaniu");
        QTest::newRow("ejected") << true << false;
        QTest::newRow("busy") << false << false;
        QTest::newRow("after a copy, Yes") << true << true;
    }
    void eject() {
        QFETCH(bool, moznaWyjac);
        QFETCH(bool, poKopiowaniu);
        if (!moznaWyjac)
            wysuniecie = {false, u"Nie można wysunąć karty, bo jest używana."_s};
        rozmowa.status = u"Wolne miejsce na karcie: 1 kB"_s;
        if (poKopiowaniu) {
            rozmowa.wybory = {{ksiazka()}};
            rozmowa.odpowiedzi = {O::Tak};
            sesja->kopiujKsiazke();
        } else {
            sesja->wysunKarte();
        }
        QCOMPARE(wysuniete, QStringList{karta});
        QCOMPARE(rozmowa.teksty().constLast(), wysuniecie.tekst);
        QCOMPARE(rozmowa.status,
                 moznaWyjac ? u"Kartę można wyjąć."_s : u"Wolne miejsce na karcie: 1 kB"_s);
        // An ejected card has no free space to report: measured only before choosing.
        QCOMPARE(miejsce.zapytania, poKopiowaniu ? 1 : 0);
    }

    // "Plik zakładki": written new; one there replaced only after "Tak"
    // (and not even read otherwise); a link refused without a question.
    void playerFile_data() {
        QTest::addColumn<QString>("naKarcie");
        QTest::addColumn<QList<O>>("odpowiedzi");
        QTest::addColumn<QStringList>("komunikaty");
        QTest::addColumn<QByteArray>("potem");
        const QByteArray stary("0042 1234 stan odtwarzacza");
        const QByteArray nowy("0000 0000");
        QTest::newRow("new") << QString() << QList<O>{} << QStringList{utworzonyPlayer} << nowy;
        QTest::newRow("replaced") << u"stary"_s << QList{O::Tak}
                                  << QStringList{pytaniePlayer, utworzonyPlayer} << nowy;
        QTest::newRow("kept") << u"stary"_s << QList{O::Nie} << QStringList{pytaniePlayer} << stary;
        QTest::newRow("kept by Esc")
            << u"stary"_s << QList{O::Brak} << QStringList{pytaniePlayer} << stary;
        QTest::newRow("dangling link")
            << u"link"_s << QList<O>{} << QStringList{dowiazanie.arg(u"%1player.dat"_s)}
            << QByteArray();
    }
    void playerFile() {
        QFETCH(QString, naKarcie);
        QFETCH(QList<O>, odpowiedzi);
        QFETCH(QStringList, komunikaty);
        QFETCH(QByteArray, potem);
        const QString sciezka = karta + u"player.dat"_s;
        const QString poza = dir->filePath(u"poza.dat"_s);
        const QDateTime dawno = QDateTime::currentDateTime().addDays(-30);
        if (naKarcie == u"link"_s) {
            QVERIFY(QFile::link(poza, sciezka));
        } else if (naKarcie == u"stary"_s) {
            QVERIFY(zapiszBajty(sciezka, "0042 1234 stan odtwarzacza"));
            QFile plik(sciezka);
            QVERIFY(plik.open(QIODevice::ReadWrite));
            QVERIFY(plik.setFileTime(dawno, QFileDevice::FileModificationTime));
            QVERIFY(plik.setFileTime(dawno, QFileDevice::FileAccessTime));
        }
        rozmowa.odpowiedzi = odpowiedzi;
        sesja->utworzPlikZakladki();
        for (QString& k : komunikaty)
            k = k.contains(u"%1"_s) ? k.arg(karta) : k;
        QCOMPARE(rozmowa.teksty(), komunikaty);
        if (potem.startsWith("0042")) { // before reading it, which may touch its access time
            const QFileInfo info(sciezka);
            QCOMPARE(info.lastModified().toSecsSinceEpoch(), dawno.toSecsSinceEpoch());
            QCOMPARE(info.lastRead().toSecsSinceEpoch(), dawno.toSecsSinceEpoch());
        }
        QCOMPARE(bajtyPliku(naKarcie == u"link"_s ? poza : sciezka), potem);
        QCOMPARE(miejsce.zapytania, 0); // the report is not refreshed
    }

    // The road of a merged book from the store to the player: copied,
    // checked on the card, the player's file written and the card ejected,
    // every question answered as the user would.
    void roadOfABookToTheCard() {
        const QString plik = ksiazka(u"mp3"_s, 200'000);
        rozmowa.wybory = {{plik}, {plik}};
        rozmowa.odpowiedzi = {O::Nie};
        sesja->kopiujKsiazke();
        QVERIFY(rozmowa.postepy > 0);
        sesja->sprawdzKsiazke();
        sesja->utworzPlikZakladki();
        sesja->wysunKarte();
        QCOMPARE(rozmowa.teksty(),
                 (QStringList{skopiowane, u"Książka na karcie sprawdzona: zgodna z magazynem."_s,
                              utworzonyPlayer, wysuniecie.tekst}));
        QCOMPARE(wpisyFolderu(karta), (QStringList{u"ksiazka.dat"_s, u"ksiazka.log"_s,
                                                   u"ksiazka.mp3"_s, u"player.dat"_s}));
        QCOMPARE(rozmowa.status, wysuniecie.tekst);
    }
};

QTEST_MAIN(TestSesjaKarta)
#include "tst_sesjakarta.moc"
