#include "app/MainForm.h"
#include "card/ui/FormKopiowanie.h"
#include "settings/SettingsStore.h"
#include "support/FakeFreeSpace.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Okna.h"
#include "support/Tmpfs.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString nieWybrano = u"Nie wybrano karty. Wybierz ją w oknie Ustawienia."_s;
const QString skopiowane =
    u"Pliki zostały pomyślnie skopiowane! Książka na karcie sprawdzona: "
    "zgodna z magazynem.\n\nCzy wysunąć kartę teraz? Przycisk \u201eOtwórz\u201d "
    "pokazuje książki na karcie."_s;
const QString przerwane = u"Kopiowanie przerwane. Pliki na karcie pozostały bez zmian."_s;
const QString brakIndeksow = u"Brak pliku z indeksami, wybrany plik audio nie będzie skopiowany!"_s;
const QString brakMiejsca = u"Brak wystarczającego miejsca na skopiowanie wybranego pliku!"_s;
const QString pytaniePlayer =
    u"Plik zakładki już istnieje na karcie!\r\nCzy zamienić istniejący plik?"_s;
const QString utworzonyPlayer = u"Plik zakładki został pomyślnie utworzony!"_s;

// Records, besides the messages, how many came while a copy's progress
// window existed: none may, or it would cover them.
class OdpowiedziBezOkna : public FakeSeams {
public:
    QWidget* glowne = nullptr;
    int podOknem = 0;
    QMessageBox::StandardButton message(QWidget* owner, Icon icon, const QString& caption,
                                        const QString& text, QMessageBox::StandardButtons buttons,
                                        QMessageBox::StandardButton domyslny,
                                        QMessageBox::StandardButton esc) override {
        if (glowne && glowne->findChild<TFormKopiowanie*>())
            ++podOknem;
        return FakeSeams::message(owner, icon, caption, text, buttons, domyslny, esc);
    }
};

} // namespace

class TestMainFormCard : public QObject {
    Q_OBJECT

    std::optional<QTemporaryDir> dir;
    QString karta; // card root with its final '/'
    QString magazyn;
    OdpowiedziBezOkna seams;
    FakeWolneMiejsce miejsce{4096, 1'000'000};
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<TMainForm> form;
    // How the window copies a file to the card; a test may wrap it.
    KopiowanieNaKarte kopiowanie = kopiujKsiazkeNaKarte;
    // What the eject command is told and the cards it was asked to eject.
    WynikWysuniecia wysuniecie{true, u"Kartę można wyjąć."_s};
    QStringList wysuniete;

    // The main window with the card and store folders set; `zrodlo` gives
    // the free-space figures (the system's when null).
    void utworz(const ZrodloWolnegoMiejsca* zrodlo) {
        Uslugi uslugi(seams, *store, dir->path());
        uslugi.wolneMiejsce = zrodlo;
        uslugi.kopiowanieNaKarte = [this](const QStringList& p, const QString& korzen,
                                          const ObslugaKopiowania& obsluga) {
            return kopiowanie(p, korzen, obsluga);
        };
        uslugi.wysuwanieKarty = [this](const QString& korzen) {
            wysuniete.append(korzen);
            return wysuniecie;
        };
        form = std::make_unique<TMainForm>(uslugi);
        seams.glowne = form.get();
        ustawKonfiguracje(*form, dir->filePath(u"karta"_s), dir->filePath(u"magazyn"_s));
        seams.messages.clear(); // the first-run notice
    }

    // A book in the store folder: audio file with the given extension and
    // its two index files (each one left out on request).
    QString ksiazka(const QString& rozszerzenie = u"mp3"_s, qsizetype rozmiar = 5000,
                    bool dat = true, bool log = true) {
        const QString sciezka = magazyn + u"ksiazka."_s + rozszerzenie;
        const bool ok =
            zapiszBajty(sciezka, QByteArray(rozmiar, 'a')) &&
            (!dat || zapiszBajty(magazyn + u"ksiazka.dat"_s, QByteArray("0\t10\r\n10\t9"))) &&
            (!log || zapiszBajty(magazyn + u"ksiazka.log"_s, QByteArray("0000000 0000000")));
        if (!ok)
            QTest::qFail("cannot write the book", __FILE__, __LINE__);
        return sciezka;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland)); }

    void init() {
        dir.emplace();
        QVERIFY(dir->isValid());
        QVERIFY(QDir(dir->path()).mkpath(u"karta"_s));
        QVERIFY(QDir(dir->path()).mkpath(u"magazyn"_s));
        karta = dir->filePath(u"karta/"_s);
        magazyn = dir->filePath(u"magazyn/"_s);
        seams = OdpowiedziBezOkna();
        miejsce = FakeWolneMiejsce(4096, 1'000'000);
        store = std::make_unique<SettingsStore>(dir->filePath(u"conf"_s));
        kopiowanie = kopiujKsiazkeNaKarte;
        wysuniete.clear();
        wysuniecie = {true, u"Kartę można wyjąć."_s};
        utworz(&miejsce);
    }
    void cleanup() {
        QCOMPARE(seams.podOknem, 0);
        QVERIFY(!form->findChild<TFormKopiowanie*>());
        form.reset();
        store.reset();
    }

    void noCardChosen_data() {
        QTest::addColumn<QString>("polecenie");
        QTest::newRow("F4") << u"Wolnemiejscenakarcie1"_s;
        QTest::newRow("Ctrl+K") << u"Plikaudio1"_s;
        QTest::newRow("Ctrl+L") << u"Plikzakadki1"_s;
    }
    void noCardChosen() {
        QFETCH(QString, polecenie);
        ustawKonfiguracje(*form, QString(), magazyn);
        form->ustawStatus(u"Stop"_s);
        form->findChild<QAction*>(polecenie)->trigger();
        QCOMPARE(seams.texts(), QStringList{nieWybrano});
        QCOMPARE(seams.messages.first().caption, u"Uwaga"_s);
        QVERIFY(seams.openRequests.isEmpty());
        QCOMPARE(miejsce.zapytania, 0);
        QCOMPARE(form->tekstStatusu(), u"Stop"_s);
        QCOMPARE(wpisyFolderu(karta), QStringList());
    }

    // Nothing of the card's is written unless a volume is mounted at its root.
    void cardNotThere_data() {
        QTest::addColumn<QString>("polecenie");
        QTest::addColumn<QString>("jak");
        for (const auto& [polecenie, nazwa] :
             {std::pair{u"Wolnemiejscenakarcie1"_s, "F4"}, std::pair{u"Plikaudio1"_s, "Ctrl+K"},
              std::pair{u"Plikzakadki1"_s, "Ctrl+L"}}) {
            for (const char* jak : {"pulled", "nothing mounted", "query fails"}) {
                if (polecenie != u"Plikzakadki1"_s || qstrcmp(jak, "query fails") != 0)
                    QTest::addRow("%s, %s", nazwa, jak) << polecenie << QString::fromLatin1(jak);
            }
        }
        QTest::newRow("Ctrl+K, pulled while choosing") << u"Plikaudio1"_s << u"while choosing"_s;
    }
    void cardNotThere() {
        QFETCH(QString, polecenie);
        QFETCH(QString, jak);
        if (jak == u"pulled"_s)
            QVERIFY(QDir(karta).removeRecursively());
        else if (jak == u"nothing mounted"_s)
            miejsce.zamontowana = false;
        else if (jak == u"query fails"_s)
            miejsce.miara.reset();
        else
            seams.whileOpening = [this] { miejsce.zamontowana = false; };
        seams.openAnswers = {{ksiazka()}};
        form->findChild<QAction*>(polecenie)->trigger();
        QCOMPARE(seams.texts(), QStringList{u"Karta nie jest dostępna: "_s + karta});
        QCOMPARE(seams.openRequests.size(), jak == u"while choosing"_s ? 1 : 0);
        QCOMPARE(wpisyFolderu(karta), QStringList());
        if (jak != u"while choosing"_s)
            QVERIFY(form->tekstStatusu().isEmpty());
    }

    // With the system's own figures: a plain folder is no card, a tmpfs
    // mounted on it is.
    void realMountCheck() {
        utworz(nullptr);
        const QString niedostepna = u"Karta nie jest dostępna: "_s + karta;
        akcja(*form, "Wolnemiejscenakarcie1")->trigger();
        akcja(*form, "Plikzakadki1")->trigger();
        QCOMPARE(seams.texts(), (QStringList{niedostepna, niedostepna}));
        QCOMPARE(wpisyFolderu(karta), QStringList());
        if (::geteuid() != 0)
            QSKIP("mounting a tmpfs card needs root");
        Tmpfs tmpfs(dir->filePath(u"karta"_s), "size=64k");
        if (!tmpfs.zamontowany)
            QSKIP("this system does not allow mounting a tmpfs");
        seams.messages.clear();
        akcja(*form, "Wolnemiejscenakarcie1")->trigger();
        akcja(*form, "Plikzakadki1")->trigger();
        QCOMPARE(seams.texts(), QStringList{utworzonyPlayer});
        QCOMPARE(form->tekstStatusu(), u"Wolne miejsce na karcie: 64 kB"_s);
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
        akcja(*form, "Wolnemiejscenakarcie1")->trigger();
        QVERIFY(seams.messages.isEmpty());
        QCOMPARE(form->tekstStatusu(), raport);
        QCOMPARE(miejsce.ostatniFolder, karta);
        QCOMPARE(form->pomiarKarty().wolumin.rozmiarKlastra, klaster);
        QCOMPARE(form->pomiarKarty().wolumin.wolneKlastry, wolne);
        QCOMPARE(form->pomiarKarty().playerNaKarcie, player ? 1 : 0);
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
        akcja(*form, "Wolnemiejscenakarcie1")->trigger();
        QCOMPARE(seams.texts().size(), 1);
        QVERIFY2(seams.texts().first().contains(u"zamianę dokończono"_s),
                 qPrintable(seams.texts().first()));
        QCOMPARE(wpisyFolderu(karta), QStringList{u"ksiazka.mp3"_s});
        QCOMPARE(bajtyPliku(karta + u"ksiazka.mp3"_s), QByteArray("nowa"));
    }

    void copiesBookAndIndexFiles_data() {
        QTest::addColumn<QString>("rozszerzenie");
        QTest::newRow("mp3") << u"mp3"_s;
        QTest::newRow("asz") << u"asz"_s;
    }
    void copiesBookAndIndexFiles() {
        QFETCH(QString, rozszerzenie);
        const QString plik = ksiazka(rozszerzenie);
        // A read-only book is copied as well.
        QVERIFY(QFile::setPermissions(plik, QFile::ReadOwner | QFile::ReadGroup));
        seams.openAnswers = {{plik}};
        seams.answers = {QMessageBox::No};
        akcja(*form, "Plikaudio1")->trigger();

        QCOMPARE(seams.openRequests.size(), 1);
        const Seams::FileDialog& dialog = seams.openRequests.first();
        QCOMPARE(dialog.title, u"Wybierz plik audio do skopiowania"_s);
        QCOMPARE(dialog.folder, form->konfiguracja().Magazyn);
        QCOMPARE(dialog.filter, u"mp3, asz (*.mp3 *.asz)"_s);
        QVERIFY(dialog.fileName.isEmpty());
        QVERIFY(!dialog.multiple);
        QVERIFY(!dialog.mustExist);

        QCOMPARE(seams.texts(), QStringList{skopiowane});
        const QString audio = u"ksiazka."_s + rozszerzenie;
        QStringList oczekiwane{u"ksiazka.dat"_s, u"ksiazka.log"_s, audio};
        oczekiwane.sort();
        QCOMPARE(wpisyFolderu(karta), oczekiwane);
        QCOMPARE(bajtyPliku(karta + audio), bajtyPliku(plik));
        QCOMPARE(bajtyPliku(karta + u"ksiazka.dat"_s), bajtyPliku(magazyn + u"ksiazka.dat"_s));
        QCOMPARE(bajtyPliku(karta + u"ksiazka.log"_s), bajtyPliku(magazyn + u"ksiazka.log"_s));
        QCOMPARE(miejsce.zapytania, 2); // before choosing, and after copying
        QVERIFY(form->tekstStatusu().startsWith(u"Wolne miejsce na karcie: "_s));
        // The eject offer (with the card window beside it: Open) has No for its
        // safe answer, by Enter and by Esc alike.
        QCOMPARE(seams.messages.last().buttons,
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Open);
        QCOMPARE(seams.messages.last().defaultButton, QMessageBox::No);
        QCOMPARE(seams.messages.last().escapeButton, QMessageBox::No);
        QVERIFY(wysuniete.isEmpty());
    }

    // Every replace question comes, in copy order, before anything is copied;
    // a "Nie" ends the copy there and leaves the card as it was.
    void replaceQuestions_data() {
        QTest::addColumn<QList<QMessageBox::StandardButton>>("odpowiedzi");
        QTest::addColumn<QString>("koniec");
        const auto tak = QMessageBox::Yes;
        const auto nie = QMessageBox::No;
        QTest::newRow("all replaced") << QList{tak, tak, tak} << skopiowane;
        QTest::newRow("book kept")
            << QList{nie}
            << u"Nie skopiowano żadnego pliku: plik ksiazka.mp3 na karcie nie został zamieniony, "
               "więc karta pozostała bez zmian."_s;
        QTest::newRow(".dat kept")
            << QList{tak, nie}
            << u"Nie skopiowano żadnego pliku: plik ksiazka.dat na karcie nie został zamieniony, "
               "więc karta pozostała bez zmian."_s;
    }
    void replaceQuestions() {
        QFETCH(QList<QMessageBox::StandardButton>, odpowiedzi);
        QFETCH(QString, koniec);
        const QString plik = ksiazka();
        const QStringList nazwy{u"ksiazka.mp3"_s, u"ksiazka.dat"_s, u"ksiazka.log"_s};
        for (const auto& nazwa : nazwy)
            QVERIFY(zapiszBajty(karta + nazwa, "stare"));
        seams.openAnswers = {{plik}};
        seams.answers = odpowiedzi;
        seams.answers.append(QMessageBox::No); // the eject offer, if it comes
        akcja(*form, "Plikaudio1")->trigger();
        QStringList pytania;
        for (qsizetype i = 0; i < odpowiedzi.size(); ++i)
            pytania << u"Plik %1 już istnieje na karcie. Czy zamienić?"_s.arg(nazwy.at(i));
        QCOMPARE(seams.texts(), pytania << koniec);
        QCOMPARE(seams.messages.first().buttons, QMessageBox::Yes | QMessageBox::No);
        const bool zamienione = koniec == skopiowane;
        for (const auto& nazwa : nazwy)
            QCOMPARE(bajtyPliku(karta + nazwa),
                     zamienione ? bajtyPliku(magazyn + nazwa) : QByteArray("stare"));
        QCOMPARE(miejsce.zapytania, zamienione ? 2 : 1);
    }

    void refusals_data() {
        QTest::addColumn<QString>("wybor"); // relative to the store folder
        QTest::addColumn<bool>("dat");
        QTest::addColumn<bool>("log");
        QTest::addColumn<QStringList>("komunikaty");
        QTest::newRow("dialog cancelled") << QString() << true << true << QStringList();
        QTest::newRow("typed name of no file")
            << u"inna.mp3"_s << true << true << QStringList{u"Brak pliku audio o podanej nazwie"_s};
        QTest::newRow("a folder") << u"."_s << true << true
                                  << QStringList{u"Brak pliku audio o podanej nazwie"_s};
        QTest::newRow("no .dat") << u"ksiazka.mp3"_s << false << true << QStringList{brakIndeksow};
        QTest::newRow("no .log") << u"ksiazka.mp3"_s << true << false << QStringList{brakIndeksow};
    }
    void refusals() {
        QFETCH(QString, wybor);
        QFETCH(bool, dat);
        QFETCH(bool, log);
        QFETCH(QStringList, komunikaty);
        ksiazka(u"mp3"_s, 100, dat, log);
        if (!wybor.isEmpty())
            seams.openAnswers = {{magazyn + wybor}};
        akcja(*form, "Plikaudio1")->trigger();
        QCOMPARE(seams.texts(), komunikaty);
        QCOMPARE(wpisyFolderu(karta), QStringList());
        QCOMPARE(miejsce.zapytania, 1); // no second measurement
    }

    // 4 free clusters of 4096 and a 4097-byte book: room for it only
    // while player.dat is not on the card.
    void roomTest_data() {
        QTest::addColumn<bool>("player");
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("no player.dat") << false << skopiowane;
        QTest::newRow("player.dat") << true << brakMiejsca;
    }
    void roomTest() {
        QFETCH(bool, player);
        QFETCH(QString, komunikat);
        const QString plik = ksiazka(u"mp3"_s, 4097);
        if (player)
            QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        miejsce = FakeWolneMiejsce(4096, 4);
        seams.openAnswers = {{plik}};
        seams.answers = {QMessageBox::No};
        akcja(*form, "Plikaudio1")->trigger();
        QCOMPARE(seams.texts(), QStringList{komunikat});
        QCOMPARE(QFileInfo::exists(karta + u"ksiazka.mp3"_s), !player);
    }

    // The progress window, held open while the copy waits at a chunk of file
    // `przy` in a stage: named for a screen reader, naming the file and the
    // stage. Its "Anuluj", Esc or its close box stop the copy there, and the
    // card's old book stays as it was.
    void stoppedCopy_data() {
        QTest::addColumn<int>("przy");
        QTest::addColumn<bool>("odczyt");
        QTest::addColumn<QString>("jak");
        QTest::newRow("Anuluj, book") << 0 << false << u"Anuluj"_s;
        QTest::newRow("Esc, book") << 0 << false << u"Esc"_s;
        QTest::newRow("close box, .dat") << 1 << false << u"zamknij"_s;
        QTest::newRow("Anuluj, reading back .log") << 2 << true << u"Anuluj"_s;
    }
    void stoppedCopy() {
        QFETCH(int, przy);
        QFETCH(bool, odczyt);
        QFETCH(QString, jak);
        const QString plik = ksiazka(u"mp3"_s, 3 * 1024 * 1024);
        const QStringList nazwy{u"ksiazka.mp3"_s, u"ksiazka.dat"_s, u"ksiazka.log"_s};
        for (const auto& nazwa : nazwy)
            QVERIFY(zapiszBajty(karta + nazwa, "stare"));
        QSemaphore naBramce, dalej;
        kopiowanie = [&](const QStringList& p, const QString& korzen,
                         const ObslugaKopiowania& obsluga) {
            ObslugaKopiowania wstrzymana = obsluga;
            wstrzymana.postep = [&](const PostepKarty& postep) {
                if (postep.plik == przy && postep.bajty == 0 &&
                    (postep.etap == EtapKarty::Sprawdzanie) == odczyt && obsluga.postep(postep)) {
                    naBramce.release();
                    dalej.acquire();
                }
                return obsluga.postep(postep);
            };
            return kopiujKsiazkeNaKarte(p, korzen, wstrzymana);
        };
        bool sprawdzone = false;
        QTimer::singleShot(0, form.get(), [&] {
            const auto zwolnij = qScopeGuard([&] { dalej.release(); });
            QVERIFY(naBramce.tryAcquire(1, 30000));
            auto* okno = form->findChild<TFormKopiowanie*>();
            QVERIFY(okno);
            QTRY_VERIFY(okno->isVisible());
            QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget*>(okno));
            QCOMPARE(okno->accessibleName(), u"Kopiowanie na kartę"_s);
            QCOMPARE(okno->ProgressBar1->accessibleName(), u"Postęp kopiowania"_s);
            QCOMPARE(okno->ButtonAnuluj->accessibleName(), u"Anuluj"_s);
            const QString etap = odczyt ? u"Sprawdzanie pliku %1 na karcie (%2 z 3)"_s
                                        : u"Kopiowanie pliku %1 (%2 z 3)"_s;
            QTRY_VERIFY(okno->LabelPlik->text().startsWith(etap.arg(nazwy.at(przy)).arg(przy + 1)));
            if (jak == u"Anuluj"_s)
                QTest::mouseClick(okno->ButtonAnuluj, Qt::LeftButton);
            else if (jak == u"Esc"_s)
                QTest::keyClick(okno, Qt::Key_Escape);
            else
                okno->close();
            QVERIFY(okno->isVisible()); // until the worker has stopped
            sprawdzone = true;
        });
        seams.openAnswers = {{plik}};
        seams.answers = {QMessageBox::Yes, QMessageBox::Yes, QMessageBox::Yes};
        akcja(*form, "Plikaudio1")->trigger();
        QVERIFY(sprawdzone);
        QCOMPARE(seams.texts().constLast(), przerwane);
        QCOMPARE(wpisyFolderu(karta), (QStringList{nazwy[1], nazwy[2], nazwy[0]}));
        for (const auto& nazwa : nazwy)
            QCOMPARE(bajtyPliku(karta + nazwa), QByteArray("stare"));
        QCOMPARE(miejsce.zapytania, 2);
    }

    // A name on the card that cannot take the book: said, nothing written,
    // no replace question (a dangling link has no file to replace).
    void cardNameRefused_data() {
        QTest::addColumn<QString>("jak");
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("folder")
            << u"folder"_s
            << u"Błąd podczas kopiowania plików! Na karcie jest folder o nazwie %1ksiazka.dat."_s;
        QTest::newRow("link off the card")
            << u"link"_s << u"Na karcie %1ksiazka.dat jest dowiązaniem symbolicznym."_s;
        QTest::newRow("dangling link")
            << u"zerwany"_s << u"Na karcie %1ksiazka.dat jest dowiązaniem symbolicznym."_s;
    }
    void cardNameRefused() {
        QFETCH(QString, jak);
        QFETCH(QString, komunikat);
        const QString plik = ksiazka();
        const QString poza = dir->filePath(u"poza.dat"_s);
        if (jak == u"folder"_s)
            QVERIFY(QDir(karta).mkdir(u"ksiazka.dat"_s));
        else
            QVERIFY(QFile::link(poza, karta + u"ksiazka.dat"_s));
        if (jak == u"link"_s)
            QVERIFY(zapiszBajty(poza, "poza karta"));
        seams.openAnswers = {{plik}};
        akcja(*form, "Plikaudio1")->trigger();
        QCOMPARE(seams.messages.size(), 1);
        QVERIFY2(seams.texts().first().startsWith(komunikat.arg(karta)),
                 qPrintable(seams.texts().first()));
        QCOMPARE(QDir(karta).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                       QDir::NoDotAndDotDot),
                 QStringList{u"ksiazka.dat"_s});
        QCOMPARE(bajtyPliku(poza), jak == u"link"_s ? QByteArray("poza karta") : QByteArray());
    }

    // "Sprawdź książkę na karcie" compares the card's copy with the store's.
    void checkCommand_data() {
        QTest::addColumn<QString>("karta"); // what the card holds
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("equal") << u"kopia"_s
                               << u"Książka na karcie sprawdzona: zgodna z magazynem."_s;
        QTest::newRow("damaged")
            << u"uszkodzona"_s
            << u"Karta zawiera uszkodzoną kopię książki: plik %1ksiazka.mp3 różni się od pliku w "
               "magazynie od bajtu 4000. Nie należy używać tej karty."_s;
        QTest::newRow("missing") << u"brak"_s << u"Na karcie nie ma pliku %1ksiazka.mp3."_s;
    }
    void checkCommand() {
        QFETCH(QString, karta);
        QFETCH(QString, komunikat);
        const QString plik = ksiazka();
        if (karta != u"brak"_s) {
            for (const char* n : {"ksiazka.mp3", "ksiazka.dat", "ksiazka.log"})
                QVERIFY(QFile::copy(magazyn + QLatin1String(n), this->karta + QLatin1String(n)));
        }
        if (karta == u"uszkodzona"_s) {
            QByteArray dane = bajtyPliku(plik);
            dane[4000] = 'X';
            QVERIFY(zapiszBajty(this->karta + u"ksiazka.mp3"_s, dane));
        }
        seams.openAnswers = {{plik}};
        akcja(*form, "SprawdzKsiazke1")->trigger();
        QCOMPARE(seams.openRequests.size(), 1);
        QCOMPARE(seams.texts(), QStringList{komunikat.arg(this->karta)});
    }

    // "Wysuń kartę" says what the eject found; the status line keeps
    // "Kartę można wyjąć." only when it is true. After a good copy the
    // eject is offered, and Yes ejects.
    void ejectCommand_data() {
        QTest::addColumn<bool>("moznaWyjac");
        QTest::addColumn<bool>("poKopiowaniu");
        QTest::newRow("ejected") << true << false;
        QTest::newRow("busy") << false << false;
        QTest::newRow("after a copy, Yes") << true << true;
    }
    void ejectCommand() {
        QFETCH(bool, moznaWyjac);
        QFETCH(bool, poKopiowaniu);
        if (!moznaWyjac)
            wysuniecie = {false, u"Nie można wysunąć karty, bo jest używana."_s};
        form->ustawStatus(u"Wolne miejsce na karcie: 1 kB"_s);
        if (poKopiowaniu) {
            seams.openAnswers = {{ksiazka()}};
            seams.answers = {QMessageBox::Yes};
            akcja(*form, "Plikaudio1")->trigger();
        } else {
            akcja(*form, "WysunKarte1")->trigger();
        }
        QCOMPARE(wysuniete, QStringList{karta});
        QCOMPARE(seams.texts().constLast(), wysuniecie.tekst);
        QCOMPARE(form->tekstStatusu(),
                 moznaWyjac ? u"Kartę można wyjąć."_s : u"Wolne miejsce na karcie: 1 kB"_s);
    }

    void unreadableBookIsAnError() {
        if (::geteuid() == 0)
            QSKIP("root reads any file");
        const QString plik = ksiazka();
        QVERIFY(QFile::setPermissions(plik, QFileDevice::Permissions()));
        seams.openAnswers = {{plik}};
        akcja(*form, "Plikaudio1")->trigger();
        QCOMPARE(seams.messages.size(), 1);
        QCOMPARE(seams.messages.first().caption, u"SonvekManager"_s);
        QVERIFY(seams.messages.first().text.contains(plik));
        QCOMPARE(wpisyFolderu(karta), QStringList());
    }

    void playerDatCreated() {
        akcja(*form, "Plikzakadki1")->trigger();
        QCOMPARE(seams.texts(), QStringList{utworzonyPlayer});
        QCOMPARE(bajtyPliku(karta + u"player.dat"_s), QByteArray("0000 0000"));
    }

    // A dangling player.dat link gets no replace question and no file off the card.
    void playerDatLinkRefused() {
        const QString poza = dir->filePath(u"poza.dat"_s);
        QVERIFY(QFile::link(poza, karta + u"player.dat"_s));
        akcja(*form, "Plikzakadki1")->trigger();
        QCOMPARE(seams.texts(),
                 QStringList{u"Na karcie %1player.dat jest dowiązaniem symbolicznym. Program nie "
                             "zapisuje przez dowiązania, więc na karcie nic nie zostało zapisane. "
                             "Usuń to dowiązanie z karty i spróbuj ponownie."_s.arg(karta)});
        QVERIFY(!QFileInfo::exists(poza));
    }

    void playerDatReplaceQuestion_data() {
        QTest::addColumn<bool>("tak");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void playerDatReplaceQuestion() {
        QFETCH(bool, tak);
        const QString sciezka = karta + u"player.dat"_s;
        QVERIFY(zapiszBajty(sciezka, "0042 1234 stan odtwarzacza"));
        const QDateTime dawno = QDateTime::currentDateTime().addDays(-30);
        {
            QFile plik(sciezka);
            QVERIFY(plik.open(QIODevice::ReadWrite));
            QVERIFY(plik.setFileTime(dawno, QFileDevice::FileModificationTime));
            QVERIFY(plik.setFileTime(dawno, QFileDevice::FileAccessTime));
        }
        seams.answers = {tak ? QMessageBox::Yes : QMessageBox::No};
        akcja(*form, "Plikzakadki1")->trigger();

        const QStringList komunikaty =
            tak ? QStringList{pytaniePlayer, utworzonyPlayer} : QStringList{pytaniePlayer};
        QCOMPARE(seams.texts(), komunikaty);
        QCOMPARE(seams.messages.first().buttons, QMessageBox::Yes | QMessageBox::No);
        if (!tak) { // before reading it, which may touch its access time
            const QFileInfo info(sciezka);
            QCOMPARE(info.lastModified().toSecsSinceEpoch(), dawno.toSecsSinceEpoch());
            QCOMPARE(info.lastRead().toSecsSinceEpoch(), dawno.toSecsSinceEpoch());
        }
        QCOMPARE(bajtyPliku(sciezka),
                 tak ? QByteArray("0000 0000") : QByteArray("0042 1234 stan odtwarzacza"));
        QCOMPARE(wpisyFolderu(karta), QStringList{u"player.dat"_s});
        QCOMPARE(miejsce.zapytania, 0); // the report is not refreshed
    }
};

QTEST_MAIN(TestMainFormCard)
#include "tstui_mainformcard.moc"
