#include "app/MainForm.h"
#include "settings/SettingsStore.h"
#include "settings/ui/FormUstawienia.h"
#include "settings/ui/FormWybierzFolder.h"
#include "settings/ui/ListaDyskow.h"
#include "support/FakeSeams.h"
#include "support/Okna.h"
#include "support/ZawieszonyFuse.h"
#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

namespace {

const QString kKlucz = QStringLiteral("SonvCom");

QByteArray zawartosc(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<brak>");
}

// The main window with its dialogs, a fake user and a given set of volumes.
struct Okno {
    FakeSeams seams;
    SettingsStore store;
    TMainForm form;
    std::function<void(TFormUstawienia*)> wUstawieniach;
    std::function<void(TFormWybierzFolder*)> wWyborzeFolderu;

    static Uslugi uslugi(FakeSeams& seams, SettingsStore& store, const QString& programDir,
                         std::function<ListaWoluminow()> woluminy) {
        Uslugi u(seams, store, programDir);
        u.woluminy = std::move(woluminy);
        return u;
    }
    Okno(const QString& conf, const QString& programDir, const ListaWoluminow& woluminy)
        : Okno(conf, programDir, [woluminy] { return woluminy; }) {}
    Okno(const QString& conf, const QString& programDir, std::function<ListaWoluminow()> woluminy)
        : store(conf), form(uslugi(seams, store, programDir, std::move(woluminy))) {
        form.utworzOkna();
        // Both dialogs come through the same seam, the chooser from inside
        // the settings dialog.
        seams.onExec = [this](QDialog* d) {
            d->setResult(0);
            d->show();
            if (auto* u = qobject_cast<TFormUstawienia*>(d); u && wUstawieniach)
                wUstawieniach(u);
            if (auto* w = qobject_cast<TFormWybierzFolder*>(d); w && wWyborzeFolderu)
                wWyborzeFolderu(w);
            const int result = d->result();
            d->hide();
            return result;
        };
    }
    QString plikUstawien() const { return store.folder() + QStringLiteral("/SonvCom.reg"); }
    // The settings as the three fields of the main window hold them.
    QStringList pola() const {
        return {form.konfiguracja().Karta, form.konfiguracja().Magazyn,
                QString::number(form.konfiguracja().DomyslnaZakladka)};
    }
};

} // namespace

class TestUstawienia : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_cwd;
    ListaWoluminow m_woluminy;

    QString conf() const { return m_dir.filePath(QStringLiteral("conf")); }
    QString wol(const char* name) const {
        return m_dir.filePath(QStringLiteral("vol/") + QLatin1String(name));
    }
    void zapisz(const QString& karta, const QString& magazyn, int zakladka) {
        SettingsStore store(conf());
        auto key = store.open(kKlucz, true);
        key->writeString(QStringLiteral("Karta"), karta);
        key->writeString(QStringLiteral("Magazyn"), magazyn);
        key->writeInteger(QStringLiteral("Zakladka"), zakladka);
        key->commit();
    }

private slots:
    void initTestCase() {
        m_cwd = QDir::currentPath();
        QVERIFY(QDir().mkpath(wol("a") + QStringLiteral("/ksiazki/nowe")));
        QVERIFY(QDir().mkpath(wol("b") + QStringLiteral("/Książki")));
        QVERIFY(QDir().mkpath(wol("c")));
        QVERIFY(QDir().mkpath(wol("d")));
        // The settings dialog offers the card volumes, removable first; the
        // folder chooser offers all of them in the order given.
        m_woluminy = {{wol("a"), u"vfat"_qs, u"/dev/sdb1"_qs, u"KARTA"_qs},
                      {wol("b"), u"ext4"_qs, u"/dev/sda2"_qs, QString()},
                      {wol("c"), u"ext4"_qs, u"/dev/sda3"_qs, u"Dysk"_qs},
                      {u"/boot"_qs, u"ext4"_qs, u"/dev/sda1"_qs, QString()},
                      {wol("d"), u"vfat"_qs, u"/dev/sdd1"_qs, u"SD"_qs, true, 7'948'206'080}};
    }
    void init() {
        QFile::remove(conf());
        QDir(conf()).removeRecursively();
        // Outside every listed volume unless a test says otherwise.
        QDir::setCurrent(m_dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(m_cwd); }

    void fillsFromStoredSettings_data() {
        QTest::addColumn<QString>("startDir");  // working directory at start-up
        QTest::addColumn<QString>("karta");     // stored
        QTest::addColumn<QString>("wczesniej"); // chosen at an earlier showing
        QTest::addColumn<QString>("wybrany");
        QTest::newRow("card listed") << m_dir.path() << wol("a") << QString() << wol("a");
        QTest::newRow("card listed, other chosen before")
            << m_dir.path() << wol("a") << wol("c") << wol("a");
        QTest::newRow("card absent keeps earlier choice")
            << m_dir.path() << u"/nie/ma"_qs << wol("b") << wol("b");
        QTest::newRow("case must match") << m_dir.path() << wol("A") << wol("c") << wol("c");
        QTest::newRow("whole path must match")
            << m_dir.path() << wol("a") + u"/"_qs << wol("c") << wol("c");
        // Nothing is ever chosen for the user: not the volume the program
        // started in, not an earlier choice while no card is stored.
        QTest::newRow("first showing, card absent")
            << wol("b") + u"/Książki"_qs << u"/nie/ma"_qs << QString() << QString();
        QTest::newRow("first showing, no card stored")
            << wol("b") + u"/Książki"_qs << QString() << QString() << QString();
        QTest::newRow("no card stored, other chosen before")
            << m_dir.path() << QString() << wol("c") << QString();
    }
    void fillsFromStoredSettings() {
        QFETCH(QString, startDir);
        QFETCH(QString, karta);
        QFETCH(QString, wczesniej);
        QFETCH(QString, wybrany);
        zapisz(karta, wol("c") + u"/"_qs, 7000);
        QVERIFY(QDir::setCurrent(startDir));
        Okno o(conf(), m_dir.path(), m_woluminy);
        QVERIFY(o.seams.messages.isEmpty());
        if (!wczesniej.isEmpty()) {
            // An earlier showing: the user picks a drive, edits, and cancels.
            o.wUstawieniach = [&](TFormUstawienia* d) {
                d->DriveComboBox1->setCurrentIndex(d->DriveComboBox1->findData(wczesniej));
                d->EditMagazyn->setText(u"porzucone"_qs);
                d->EditZakladka->setText(u"1"_qs);
                d->ButtonAnuluj->click();
            };
            akcja(o.form, "Ustawienia1")->trigger();
        }
        QString magazyn, zakladka, punkt;
        QStringList opisy;
        QWidget* fokus = nullptr;
        o.wUstawieniach = [&](TFormUstawienia* d) {
            magazyn = d->EditMagazyn->text();
            zakladka = d->EditZakladka->text();
            punkt = d->DriveComboBox1->punktMontowania();
            for (int i = 0; i < d->DriveComboBox1->count(); ++i)
                opisy.append(d->DriveComboBox1->itemText(i));
            fokus = d->focusWidget();
            d->ButtonAnuluj->click();
        };
        akcja(o.form, "Ustawienia1")->trigger();
        QCOMPARE(o.seams.shown.last(), kontrolka<TFormUstawienia>(o.form, "FormUstawienia"));
        QCOMPARE(magazyn, wol("c"));
        QCOMPARE(zakladka, u"7000"_qs);
        QCOMPARE(punkt, wybrany);
        QCOMPARE(opisy, (QStringList{wol("d") + u" [SD, 7,4 GB]"_qs, wol("a") + u" [KARTA]"_qs,
                                     wol("b"), wol("c") + u" [Dysk]"_qs}));
        QCOMPARE(fokus, kontrolka<TFormUstawienia>(o.form, "FormUstawienia")->EditMagazyn);
        QVERIFY(o.seams.messages.isEmpty());
    }

    // A card whose mount stops answering (a real FUSE mount that holds
    // every stat): the dialog opens with the volumes that answered, and the
    // scan, on a worker, gives up on the stalled one after its limit.
    void stalledMountNeverHoldsTheDialog() {
        const QString stoi = m_dir.filePath(u"stoi"_qs);
        QVERIFY(QDir().mkpath(stoi));
        ZawieszonyFuse fuse(stoi);
        if (!fuse.powod.isEmpty())
            QSKIP(qPrintable(fuse.powod));
        fuse.zawies();
        ZrodloWoluminow zrodlo;
        zrodlo.mountinfo = [mountinfo = "40 1 8:17 / " + QFile::encodeName(wol("a")) +
                                        " rw - vfat /dev/sdy1 rw\n41 1 8:33 / " +
                                        QFile::encodeName(stoi) +
                                        " rw - vfat /dev/sdy2 rw\n"] { return mountinfo; };
        zrodlo.etykieta = [](const QString&) { return QString(); };
        zrodlo.sys = [](const QString& plik) {
            return plik.endsWith(u"removable"_qs) ? QByteArray("1") : QByteArray();
        };
        zrodlo.fakty = [](ListaWoluminow woluminy, int) { return woluminy; };
        Okno o(conf(), m_dir.path(), [zrodlo] { return skanujWoluminy(zrodlo, 300); });
        QStringList punkty;
        bool widoczne = false;
        o.wUstawieniach = [&](TFormUstawienia* d) {
            widoczne = d->isVisible();
            for (int i = 0; i < d->DriveComboBox1->count(); ++i)
                punkty.append(d->DriveComboBox1->itemData(i).toString());
            d->ButtonAnuluj->click();
        };
        akcja(o.form, "Ustawienia1")->trigger();
        QVERIFY(widoczne);
        QCOMPARE(punkty, QStringList{wol("a")});
    }

    void savesAndMainWindowRereads_data() {
        QTest::addColumn<QString>("tekst");
        QTest::addColumn<int>("zakladka");
        QTest::addColumn<QByteArray>("plikPrzed"); // empty: first run, no settings yet
        QTest::newRow("leading blank") << u" 7000"_qs << 7000 << QByteArray();
        QTest::newRow("hex dollar") << u"$1F4"_qs << 500 << QByteArray();
        QTest::newRow("negative hex") << u"-0x10"_qs << -16 << QByteArray();
        QTest::newRow("zero") << u"0"_qs << 0 << QByteArray();
        QTest::newRow("over a broken file")
            << u"7000"_qs << 7000 << QByteArray("\"Magazyn\"=\"/home\n\"\n\"Zakladka\"=dword:1\n");
    }
    void savesAndMainWindowRereads() {
        QFETCH(QString, tekst);
        QFETCH(int, zakladka);
        QFETCH(QByteArray, plikPrzed);
        if (!plikPrzed.isEmpty()) {
            QVERIFY(QDir().mkpath(conf()));
            QFile plik(conf() + u"/SonvCom.reg"_qs);
            QVERIFY(plik.open(QIODevice::WriteOnly) && plik.write(plikPrzed) == plikPrzed.size());
        }
        Okno o(conf(), m_dir.path(), m_woluminy);
        o.seams.messages.clear();
        const QString magazyn = wol("b") + u"/Książki/"_qs;
        bool otwarty = true;
        o.wUstawieniach = [&](TFormUstawienia* d) {
            d->DriveComboBox1->setCurrentIndex(d->DriveComboBox1->findData(wol("b")));
            d->EditMagazyn->setText(magazyn);
            d->EditZakladka->setText(tekst);
            d->ButtonZapisz->click();
            otwarty = d->isVisible();
        };
        akcja(o.form, "Ustawienia1")->trigger();
        QVERIFY(!otwarty);
        QVERIFY(o.seams.messages.isEmpty());
        // Stored as typed, with the types of the registry.
        auto key = o.store.open(kKlucz, false);
        QVERIFY(key);
        QCOMPARE(key->readString(u"Karta"_qs), std::optional<QString>(wol("b")));
        QCOMPARE(key->readString(u"Magazyn"_qs), std::optional<QString>(magazyn));
        QCOMPARE(key->readInteger(u"Zakladka"_qs), std::optional<std::int32_t>(zakladka));
        // The main window has read them back.
        QCOMPARE(o.pola(),
                 (QStringList{wol("b"), wol("b") + u"/Książki"_qs, QString::number(zakladka)}));
    }

    // Two copies of the program on the same settings: a save in one writes
    // only what its user changed, so the other's newer values stay.
    void twoWindowsKeepEachOthersChanges_data() {
        QTest::addColumn<QString>("zmiana"); // what the second user changes
        QTest::addColumn<QString>("magazyn");
        QTest::addColumn<int>("zakladka");
        QTest::newRow("nothing changed") << QString() << u"/pierwszy"_qs << 4000;
        QTest::newRow("another value changed") << u"zakladka"_qs << u"/pierwszy"_qs << 7000;
        QTest::newRow("the same value changed") << u"magazyn"_qs << u"/drugi"_qs << 4000;
    }
    void twoWindowsKeepEachOthersChanges() {
        QFETCH(QString, zmiana);
        QFETCH(QString, magazyn);
        QFETCH(int, zakladka);
        zapisz(wol("a"), u"/stary"_qs, 4000);
        Okno pierwsze(conf(), m_dir.path(), m_woluminy);
        Okno drugie(conf(), m_dir.path(), m_woluminy);
        pierwsze.wUstawieniach = [](TFormUstawienia* d) {
            d->EditMagazyn->setText(u"/pierwszy"_qs);
            d->ButtonZapisz->click();
        };
        akcja(pierwsze.form, "Ustawienia1")->trigger();
        drugie.wUstawieniach = [&](TFormUstawienia* d) {
            if (zmiana == u"magazyn")
                d->EditMagazyn->setText(u"/drugi"_qs);
            if (zmiana == u"zakladka")
                d->EditZakladka->setText(u"7000"_qs);
            d->ButtonZapisz->click();
        };
        akcja(drugie.form, "Ustawienia1")->trigger();
        QCOMPARE(drugie.pola(), (QStringList{wol("a"), magazyn, QString::number(zakladka)}));
    }

    void refusedSaveStoresNothing_data() {
        QTest::addColumn<QString>("tekst");
        QTest::addColumn<int>("karta"); // index in the drive list, -1: none chosen
        QTest::addColumn<QString>("magazyn");
        QTest::addColumn<bool>("zepsutyMagazynUstawien");
        QTest::addColumn<QString>("tytul");
        QTest::addColumn<QString>("komunikat");
        const QString blad = TMainForm::tytulAplikacji();
        const QString a = wol("a");
        QTest::newRow("digits then letters")
            << u"12ab"_qs << 0 << a << false << blad << u"'12ab' is not a valid integer value."_qs;
        QTest::newRow("empty") << QString() << 0 << a << false << blad
                               << u"'' is not a valid integer value."_qs;
        QTest::newRow("out of range") << u"2147483648"_qs << 0 << a << false << blad
                                      << u"'2147483648' is not a valid integer value."_qs;
        QTest::newRow("no card chosen")
            << u" 7000"_qs << -1 << a << false << u"Uwaga"_qs << u"Wybierz kartę z listy."_qs;
        QTest::newRow("settings cannot be written")
            << u" 7000"_qs << 0 << a << true << blad << u"Nie można zapisać ustawień"_qs;
        QTest::newRow("folder pasted with a line break")
            << u" 7000"_qs << 0 << a + u"\n"_qs << false << u"Uwaga"_qs
            << u"Folder magazynu zawiera znak sterujący"_qs;
        QTest::newRow("card with a control character") // -2: the volume named with a tab
            << u" 7000"_qs << -2 << a << false << u"Uwaga"_qs
            << u"Ścieżka karty zawiera znak sterujący"_qs;
    }
    void refusedSaveStoresNothing() {
        QFETCH(QString, tekst);
        QFETCH(int, karta);
        QFETCH(QString, magazyn);
        QFETCH(bool, zepsutyMagazynUstawien);
        QFETCH(QString, tytul);
        QFETCH(QString, komunikat);
        if (zepsutyMagazynUstawien) {
            // A file where the settings folder should be: nothing can be written there.
            QFile plik(conf());
            QVERIFY(plik.open(QIODevice::WriteOnly));
            plik.write("x");
        } else {
            zapisz(u"/nie/ma"_qs, wol("c"), 3000);
        }
        ListaWoluminow woluminy = m_woluminy;
        woluminy.append({wol("d\tx"), u"vfat"_qs, u"/dev/sdc1"_qs, QString()});
        Okno o(conf(), m_dir.path(), woluminy);
        o.seams.messages.clear();
        const QByteArray przed = zawartosc(o.plikUstawien());
        const QByteArray folderPrzed = zawartosc(conf());
        const QStringList polaPrzed = o.pola();
        bool otwarty = false;
        QWidget* fokus = nullptr;
        o.wUstawieniach = [&](TFormUstawienia* d) {
            d->DriveComboBox1->setCurrentIndex(
                karta == -2 ? d->DriveComboBox1->findData(wol("d\tx")) : karta);
            d->EditMagazyn->setText(magazyn);
            d->EditZakladka->setText(tekst);
            d->ButtonZapisz->click();
            otwarty = d->isVisible();
            fokus = d->focusWidget();
            d->ButtonAnuluj->click();
        };
        akcja(o.form, "Ustawienia1")->trigger();
        QVERIFY(otwarty);
        QCOMPARE(o.seams.messages.size(), 1);
        QCOMPARE(o.seams.messages.at(0).caption, tytul);
        QVERIFY2(o.seams.messages.at(0).text.startsWith(komunikat),
                 qPrintable(o.seams.messages.at(0).text));
        QCOMPARE(zawartosc(o.plikUstawien()), przed);
        QCOMPARE(zawartosc(conf()), folderPrzed);
        QCOMPARE(o.pola(), polaPrzed);
        // The field to mend has the focus.
        if (karta != 0)
            QCOMPARE(fokus, kontrolka<TFormUstawienia>(o.form, "FormUstawienia")->DriveComboBox1);
        else if (magazyn != wol("a"))
            QCOMPARE(fokus, kontrolka<TFormUstawienia>(o.form, "FormUstawienia")->EditMagazyn);
        else if (!zepsutyMagazynUstawien)
            QCOMPARE(fokus, kontrolka<TFormUstawienia>(o.form, "FormUstawienia")->EditZakladka);
    }

    // The user browses with the keyboard: steps to a drive (taken with
    // Enter, not at once), opens a folder with Enter, highlights the one
    // below it and presses OK, which takes the highlighted folder; every
    // change is said. Then the user cancels the settings dialog.
    void cancelAfterChoosingFolderChangesNothing() {
        zapisz(wol("c"), wol("c"), 3000);
        Okno o(conf(), m_dir.path(), m_woluminy);
        const QByteArray przed = zawartosc(o.plikUstawien());
        const QStringList polaPrzed = o.pola();
        const QString ksiazki = wol("a") + u"/ksiazki"_qs;
        QString wEdycji;
        QWidget* fokus = nullptr;
        bool wyborOtwartyPoEnter = false;
        o.wWyborzeFolderu = [&](TFormWybierzFolder* w) {
            QCOMPARE(w->windowTitle(), u"Folder magazynu"_qs);
            QCOMPARE(w->DriveComboBox1->punktMontowania(), QString()); // cwd on no volume
            const QString cwd = w->folder();
            QLabel* powiedziane = ogloszenie(w);
            QTest::keyClick(w->DriveComboBox1, Qt::Key_Down); // the first drive
            QCOMPARE(w->folder(), cwd);
            QCOMPARE(w->DriveComboBox1->accessibleDescription(), w->DriveComboBox1->currentText());
            QTest::keyClick(w->DriveComboBox1, Qt::Key_Return);
            QCOMPARE(w->folder(), wol("a"));
            QCOMPARE(powiedziane->text(), u"Otwarto dysk "_qs + w->DriveComboBox1->currentText());
            QTreeView* tree = w->DirectoryListBox1;
            // Rows move while the folders are read and sorted.
            const QPersistentModelIndex korzen(tree->currentIndex());
            QCOMPARE(korzen.data().toString(), u"a"_qs);
            QTRY_COMPARE(tree->model()->rowCount(korzen), 1);
            QTest::keyClick(tree, Qt::Key_Down);
            QTest::keyClick(tree, Qt::Key_Return);
            wyborOtwartyPoEnter = w->isVisible();
            QCOMPARE(w->folder(), ksiazki);
            QCOMPARE(QDir::currentPath(), ksiazki);
            QCOMPARE(powiedziane->text(), u"Otwarto folder "_qs + ksiazki);
            QTRY_COMPARE(tree->model()->rowCount(tree->currentIndex()), 1);
            QTest::keyClick(tree, Qt::Key_Down);
            QCOMPARE(tree->currentIndex().data().toString(), u"nowe"_qs);
            w->ButtonOK->click();
        };
        o.wUstawieniach = [&](TFormUstawienia* d) {
            d->ButtonPrzegladajFolder->click();
            wEdycji = d->EditMagazyn->text();
            fokus = d->focusWidget();
            d->ButtonAnuluj->click();
        };
        akcja(o.form, "Ustawienia1")->trigger();
        QCOMPARE(o.seams.shown.size(), 2);
        QVERIFY(wyborOtwartyPoEnter);
        QCOMPARE(wEdycji, ksiazki + u"/nowe"_qs);
        QCOMPARE(fokus, kontrolka<TFormUstawienia>(o.form, "FormUstawienia")->EditMagazyn);
        QCOMPARE(zawartosc(o.plikUstawien()), przed);
        QCOMPARE(o.pola(), polaPrzed);
        QVERIFY(o.seams.messages.isEmpty());
    }

    void chooserOkActsOnlyForStoreFolder_data() {
        QTest::addColumn<QString>("tytul");
        QTest::addColumn<bool>("wpisuje");
        QTest::newRow("store folder") << u"Folder magazynu"_qs << true;
        QTest::newRow("design caption") << u"Wybierz folder"_qs << false;
        QTest::newRow("other case") << u"folder magazynu"_qs << false;
    }
    void chooserOkActsOnlyForStoreFolder() {
        QFETCH(QString, tytul);
        QFETCH(bool, wpisuje);
        Okno o(conf(), m_dir.path(), m_woluminy);
        TFormWybierzFolder* w = kontrolka<TFormWybierzFolder>(o.form, "FormWybierzFolder");
        QLineEdit* edit = kontrolka<TFormUstawienia>(o.form, "FormUstawienia")->EditMagazyn;
        edit->setText(u"przed"_qs);
        const QString folder = wol("b") + u"/Książki"_qs;
        o.wWyborzeFolderu = [&](TFormWybierzFolder* d) {
            d->wybierzDysk(wol("b"));
            d->otworzFolder(folder);
            d->ButtonOK->click();
        };
        w->setWindowTitle(tytul);
        QCOMPARE(o.seams.execDialog(w), int(QDialog::Accepted));
        QCOMPARE(edit->text(), wpisuje ? folder : u"przed"_qs);

        // The next use starts where this one ended; Anuluj changes nothing.
        QString punkt;
        bool biezacy = false;
        o.wWyborzeFolderu = [&](TFormWybierzFolder* d) {
            punkt = d->DriveComboBox1->punktMontowania();
            biezacy = d->DirectoryListBox1->currentIndex() == d->indeksFolderu(folder);
            d->ButtonAnuluj->click();
        };
        edit->setText(u"przed"_qs);
        QCOMPARE(o.seams.execDialog(w), int(QDialog::Rejected));
        QCOMPARE(punkt, wol("b"));
        QCOMPARE(w->folder(), folder);
        QVERIFY(biezacy); // the tree shows the folder as its current row
        QCOMPARE(edit->text(), u"przed"_qs);
    }

    void keyboardAndNames_data() {
        QTest::addColumn<QString>("okno");
        QTest::addColumn<QStringList>("kolejnosc");
        QTest::addColumn<QStringList>("nazwy");
        QTest::newRow("settings")
            << u"FormUstawienia"_qs
            << QStringList{u"EditMagazyn"_qs,          u"ButtonPrzegladajFolder"_qs,
                           u"EditZakladka"_qs,         u"DriveComboBox1"_qs,
                           u"EditPrzerwa"_qs,          u"CheckWykrywaj"_qs,
                           u"CheckIndeksSzacowany"_qs, u"EditCelGlosnosci"_qs,
                           u"ButtonZapisz"_qs,         u"ButtonAnuluj"_qs}
            << QStringList{u"Magazyn plików"_qs,
                           u"Przeglądaj..."_qs,
                           u"Domyślna zakładka"_qs,
                           u"Karta"_qs,
                           u"Minimalna przerwa po tytule (ms)"_qs,
                           u"Wykrywaj zakładki przy dodawaniu"_qs,
                           u"Indeks szacowany"_qs,
                           u"Głośność docelowa (LUFS)"_qs,
                           u"Zapisz"_qs,
                           u"Anuluj"_qs};
        QTest::newRow("chooser") << u"FormWybierzFolder"_qs
                                 << QStringList{u"DriveComboBox1"_qs, u"DirectoryListBox1"_qs,
                                                u"ButtonOK"_qs, u"ButtonAnuluj"_qs}
                                 << QStringList{u"Wybierz dysk"_qs, u"Wybierz folder"_qs, u"OK"_qs,
                                                u"Anuluj"_qs};
    }
    void keyboardAndNames() {
        QFETCH(QString, okno);
        QFETCH(QStringList, kolejnosc);
        QFETCH(QStringList, nazwy);
        zapisz(wol("a"), wol("a"), 5000);
        Okno o(conf(), m_dir.path(), m_woluminy);
        auto* dialog = o.form.findChild<QDialog*>(okno);
        QVERIFY(dialog);
        QStringList odwiedzone, nazwane;
        bool poEnter = false, poEsc = true;
        int wynik = -1;
        o.seams.onExec = [&](QDialog* d) {
            d->show();
            d->activateWindow();
            if (!QTest::qWaitForWindowActive(d))
                return -1;
            // Enter in the first control presses no button.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            poEnter = d->isVisible();
            for (int i = 0; i < kolejnosc.size(); ++i) {
                QWidget* w = QApplication::focusWidget();
                odwiedzone.append(w->objectName());
                // Buttons are named by their text; fields by their labels.
                nazwane.append(
                    w->accessibleName().isEmpty()
                        ? QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name)
                        : w->accessibleName());
                QTest::keyClick(w, Qt::Key_Tab);
            }
            odwiedzone.append(QApplication::focusWidget()->objectName()); // round again
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            poEsc = d->isVisible();
            wynik = d->result();
            return wynik;
        };
        o.seams.execDialog(dialog);
        QCOMPARE(odwiedzone, kolejnosc + QStringList{kolejnosc.first()});
        QCOMPARE(nazwane, nazwy);
        QVERIFY(poEnter);
        QVERIFY(!poEsc);
        QCOMPARE(wynik, int(QDialog::Rejected));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        for (auto* button : dialog->findChildren<QPushButton*>())
            QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    // Bookmark detection's settings beside the older three: an older key
    // gives the defaults without a word, stored values are read (a pause
    // edited out of range is brought into it), the dialog shows them, and a
    // save of the older three keeps them.
    void detectionSettingsRead_data() {
        QTest::addColumn<QByteArray>("wartosci"); // appended to the older key
        QTest::addColumn<int>("przerwa");
        QTest::addColumn<bool>("przyDodawaniu");
        QTest::addColumn<bool>("szacowany");
        QTest::addColumn<QString>("cel"); // as stored, then as the dialog shows it
        QTest::addColumn<QString>("celWPolu");
        QTest::newRow("older key")
            << QByteArray() << 700 << false << false << QString() << u"\u221218,0"_qs;
        // The old "DokladnyIndeks" of 0 was only the old default: not read.
        QTest::newRow("stored") << QByteArray("\"Przerwa\"=dword:000004b0\n"
                                              "\"DokladnyIndeks\"=dword:00000000\n"
                                              "\"IndeksSzacowany\"=dword:00000001\n"
                                              "\"WykrywajPrzyDodawaniu\"=dword:00000001\n"
                                              "\"CelGlosnosci\"=\"-16.5\"\n")
                                << 1200 << true << true << u"-16.5"_qs << u"\u221216,5"_qs;
        QTest::newRow("earlier version's index switch left at its default")
            << QByteArray("\"DokladnyIndeks\"=dword:00000000\n") << 700 << false << false
            << QString() << u"\u221218,0"_qs;
        QTest::newRow("pause and loudness edited out of range")
            << QByteArray("\"Przerwa\"=dword:00000005\n\"CelGlosnosci\"=\"0\"\n") << 100 << false
            << false << u"0"_qs << u"\u221218,0"_qs;
    }
    void detectionSettingsRead() {
        QFETCH(QByteArray, wartosci);
        QFETCH(int, przerwa);
        QFETCH(bool, przyDodawaniu);
        QFETCH(bool, szacowany);
        QFETCH(QString, cel);
        QFETCH(QString, celWPolu);
        zapisz(wol("a"), wol("c"), 3000);
        {
            QFile plik(conf() + u"/SonvCom.reg"_qs);
            QVERIFY(plik.open(QIODevice::Append) && plik.write(wartosci) == wartosci.size());
        }
        Okno o(conf(), m_dir.path(), m_woluminy);
        QVERIFY(o.seams.messages.isEmpty());
        const UstawieniaWykrywania oczekiwane{przerwa, szacowany, przyDodawaniu, cel};
        QCOMPARE(o.form.konfiguracja().Wykrywanie, oczekiwane);
        QStringList pola;
        o.wUstawieniach = [&](TFormUstawienia* d) {
            pola = {d->EditPrzerwa->text(), QString::number(d->CheckWykrywaj->isChecked()),
                    QString::number(d->CheckIndeksSzacowany->isChecked()),
                    d->EditCelGlosnosci->text()};
            d->ButtonAnuluj->click();
        };
        akcja(o.form, "Ustawienia1")->trigger();
        QCOMPARE(pola, (QStringList{QString::number(przerwa), QString::number(przyDodawaniu),
                                    QString::number(szacowany), celWPolu}));
        ustawKonfiguracje(o.form, wol("a"), wol("c"), 6000);
        QCOMPARE(o.form.konfiguracja().Wykrywanie, oczekiwane);
        QCOMPARE(o.form.konfiguracja().DomyslnaZakladka, 6000);
    }

    // "Zapisz" stores the pause and both switches with the other settings;
    // a pause that is no number of ms in the range stores nothing at all.
    void detectionSettingsSave_data() {
        QTest::addColumn<QString>("tekst");
        QTest::addColumn<int>("przerwa"); // -1: refused
        QTest::addColumn<QString>("cel");
        QTest::addColumn<QString>("zapisany"); // empty: refused
        const QString m18 = u"\u221218,0"_qs;
        QTest::newRow("in range") << u" 900"_qs << 900 << m18 << u"-18"_qs;
        QTest::newRow("lowest") << u"100"_qs << 100 << u" -16,54"_qs << u"-16.5"_qs;
        QTest::newRow("not a number") << u"0,7 s"_qs << -1 << m18 << QString();
        QTest::newRow("too short") << u"99"_qs << -1 << m18 << QString();
        QTest::newRow("too long") << u"10001"_qs << -1 << m18 << QString();
        QTest::newRow("loudness too high") << u"700"_qs << 700 << u"-4"_qs << QString();
        QTest::newRow("loudness no number") << u"700"_qs << 700 << u"głośno"_qs << QString();
    }
    void detectionSettingsSave() {
        QFETCH(QString, tekst);
        QFETCH(int, przerwa);
        QFETCH(QString, cel);
        QFETCH(QString, zapisany);
        zapisz(wol("a"), wol("c"), 3000);
        Okno o(conf(), m_dir.path(), m_woluminy);
        const QByteArray przed = zawartosc(o.plikUstawien());
        bool otwarty = false;
        QWidget* fokus = nullptr;
        o.wUstawieniach = [&](TFormUstawienia* d) {
            d->EditPrzerwa->setText(tekst);
            d->CheckWykrywaj->setChecked(true);
            d->CheckIndeksSzacowany->setChecked(true);
            d->EditCelGlosnosci->setText(cel);
            d->ButtonZapisz->click();
            otwarty = d->isVisible();
            fokus = d->focusWidget();
            if (otwarty)
                d->ButtonAnuluj->click();
        };
        akcja(o.form, "Ustawienia1")->trigger();
        if (przerwa < 0 || zapisany.isEmpty()) {
            const auto* d = kontrolka<TFormUstawienia>(o.form, "FormUstawienia");
            QVERIFY(otwarty);
            QCOMPARE(o.seams.messages.size(), 1);
            QCOMPARE(o.seams.messages.at(0).text,
                     przerwa < 0 ? u"Minimalna przerwa po tytule musi być liczbą milisekund od "
                                   u"100 do 10000."_qs
                                 : u"Głośność docelowa musi być liczbą LUFS od \u221240 do "
                                   u"\u22125, na przykład \u221218 albo \u221216,5."_qs);
            QCOMPARE(fokus, przerwa < 0 ? d->EditPrzerwa : d->EditCelGlosnosci);
            QCOMPARE(zawartosc(o.plikUstawien()), przed);
            QCOMPARE(o.form.konfiguracja().Wykrywanie, UstawieniaWykrywania{});
            return;
        }
        QVERIFY(!otwarty);
        QVERIFY(o.seams.messages.isEmpty());
        auto key = o.store.open(kKlucz, false);
        QCOMPARE(key->readInteger(u"Przerwa"_qs), std::optional<std::int32_t>(przerwa));
        QCOMPARE(key->readInteger(u"IndeksSzacowany"_qs), std::optional<std::int32_t>(1));
        QCOMPARE(key->readInteger(u"WykrywajPrzyDodawaniu"_qs), std::optional<std::int32_t>(1));
        QCOMPARE(key->readString(u"CelGlosnosci"_qs), std::optional(zapisany));
        QCOMPARE(o.form.konfiguracja().Wykrywanie,
                 (UstawieniaWykrywania{przerwa, true, true, zapisany}));
    }
};

QTEST_MAIN(TestUstawienia)
#include "tstui_ustawienia.moc"
