#include "app/MainForm.h"
#include "card/ui/FormKopiowanie.h"
#include "settings/SettingsStore.h"
#include "support/FakeFreeSpace.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/MagazynKarty.h"
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

using namespace Qt::StringLiterals;

namespace {

const QString nieWybrano = u"Nie wybrano karty. Wybierz ją w oknie Ustawienia."_s;
const QString skopiowane =
    u"Pliki zostały pomyślnie skopiowane! Książka na karcie sprawdzona: "
    "zgodna z magazynem.\n\nCzy wysunąć kartę teraz? Przycisk \u201eOtwórz\u201d "
    "pokazuje książki na karcie."_s;
const QString przerwane = u"Kopiowanie przerwane. Pliki na karcie pozostały bez zmian."_s;

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
        return ksiazkaWMagazynie(magazyn, rozszerzenie, rozmiar, dat, log);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Polish, QLocale::Poland)); }

    void init() {
        dir.emplace();
        QVERIFY(utworzFolderyKarty(*dir, karta, magazyn));
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
        QTest::newRow("Ctrl+Shift+K") << u"SprawdzKsiazke1"_s;
        QTest::newRow("Ctrl+Shift+E") << u"WysunKarte1"_s;
    }
    void noCardChosen() {
        QFETCH(QString, polecenie);
        ustawKonfiguracje(*form, QString(), magazyn);
        form->ustawStatus(u"Stop"_s);
        form->findChild<QAction*>(polecenie)->trigger();
        QCOMPARE(seams.texts(), QStringList{nieWybrano});
        QCOMPARE(seams.messages.first().caption, u"Uwaga"_s);
        QVERIFY(seams.openRequests.isEmpty());
        QCOMPARE(form->tekstStatusu(), u"Stop"_s);
    }

    // The session's dialog and questions as the window shows them: the
    // replace question a plain yes/no box, the eject offer with No on Enter
    // and Esc, none of them under the progress window.
    void copiesBookAndIndexFiles() {
        const QString plik = ksiazka();
        QVERIFY(zapiszBajty(karta + u"ksiazka.log"_s, "stare"));
        seams.openAnswers = {{plik}};
        seams.answers = {QMessageBox::Yes, QMessageBox::No};
        akcja(*form, "Plikaudio1")->trigger();

        QCOMPARE(seams.openRequests.size(), 1);
        QVERIFY(!seams.openRequests.first().multiple);
        QVERIFY(!seams.openRequests.first().mustExist);

        QCOMPARE(
            seams.texts(),
            (QStringList{u"Plik ksiazka.log już istnieje na karcie. Czy zamienić?"_s, skopiowane}));
        QCOMPARE(seams.messages.first().buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(seams.messages.first().defaultButton, QMessageBox::NoButton);
        QCOMPARE(seams.messages.first().escapeButton, QMessageBox::NoButton);
        QCOMPARE(bajtyPliku(karta + u"ksiazka.mp3"_s), bajtyPliku(plik));
        QVERIFY(form->tekstStatusu().startsWith(u"Wolne miejsce na karcie: "_s));
        // The eject offer (with the card window beside it: Open) has No for its
        // safe answer, by Enter and by Esc alike.
        QCOMPARE(seams.messages.last().buttons,
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Open);
        QCOMPARE(seams.messages.last().defaultButton, QMessageBox::No);
        QCOMPARE(seams.messages.last().escapeButton, QMessageBox::No);
        QVERIFY(wysuniete.isEmpty());
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

    // "Sprawdź książkę na karcie" and "Wysuń kartę" reach the session, and
    // their progress windows are gone before the result is told.
    void checkAndEjectCommands() {
        const QString plik = ksiazka();
        for (const char* n : {"ksiazka.mp3", "ksiazka.dat", "ksiazka.log"})
            QVERIFY(QFile::copy(magazyn + QLatin1String(n), karta + QLatin1String(n)));
        seams.openAnswers = {{plik}};
        akcja(*form, "SprawdzKsiazke1")->trigger();
        akcja(*form, "WysunKarte1")->trigger();
        QCOMPARE(seams.openRequests.size(), 1);
        QCOMPARE(seams.texts(), (QStringList{u"Książka na karcie sprawdzona: zgodna z magazynem."_s,
                                             wysuniecie.tekst}));
        QCOMPARE(wysuniete, QStringList{karta});
        QCOMPARE(form->tekstStatusu(), wysuniecie.tekst);
    }
};

QTEST_MAIN(TestMainFormCard)
#include "tstui_mainformcard.moc"
