#include "app/MainForm.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/Lista.h"
#include "support/Okna.h"
#include "widgets/FormBlad.h"
#include "widgets/FormOprogramie.h"
#include "widgets/FormPomoc.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>
#include <QTreeView>

namespace {

const QString kFirstRun = QStringLiteral("To jest pierwsze uruchomienie programu.\r\nDo jego "
                                         "poprawnej pracy konieczne jest dokonanie ustawień "
                                         "konfiguracji.");

void zapiszKlucz(const QString& folder, const QByteArray& body) {
    QDir().mkpath(folder);
    QFile f(folder + QStringLiteral("/SonvCom.reg"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[HKEY_CURRENT_USER\\SonvCom]\n" + body);
}

PozycjaProjektu pozycja(int lp) {
    return {QString::number(lp), QStringLiteral("a%1.mp3").arg(lp), QStringLiteral("0"),
            QStringLiteral("5000"), QStringLiteral("/tmp/")};
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString conf() const { return m_dir.filePath(QStringLiteral("conf")); }

private slots:
    void init() { QDir(conf()).removeRecursively(); }

    void firstRunShowsMessageAndDefaults() {
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        QCOMPARE(seams.texts(), QStringList{kFirstRun});
        QCOMPARE(seams.messages.at(0).caption, QStringLiteral("Uwaga"));
        QVERIFY(form.konfiguracja().Karta.isEmpty());
        QCOMPARE(form.konfiguracja().Magazyn, QDir::homePath());
        QCOMPARE(form.konfiguracja().DomyslnaZakladka, 5000);
        QVERIFY(!QDir(conf()).exists()); // nothing written
        QVERIFY(!form.projekt().ProjektZmieniony());
    }

    void storedSettingsLoseOneTrailingSeparator_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("magazyn");
        QTest::newRow("trailing") << QByteArray("/media/ksiazki/")
                                  << QStringLiteral("/media/ksiazki");
        QTest::newRow("none") << QByteArray("/media/ksiazki") << QStringLiteral("/media/ksiazki");
        QTest::newRow("two") << QByteArray("/media//") << QStringLiteral("/media/");
        QTest::newRow("root") << QByteArray("/") << QString();
        QTest::newRow("empty") << QByteArray("") << QString();
    }
    void storedSettingsLoseOneTrailingSeparator() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, magazyn);
        zapiszKlucz(conf(), "\"Karta\"=\"/media/karta\"\n\"Magazyn\"=\"" + stored +
                                "\"\n\"Zakladka\"=dword:00001b58\n");
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        QVERIFY(seams.messages.isEmpty());
        QCOMPARE(form.konfiguracja().Karta, QStringLiteral("/media/karta"));
        QCOMPARE(form.konfiguracja().Magazyn, magazyn);
        QCOMPARE(form.konfiguracja().DomyslnaZakladka, 7000);
    }

    void brokenSettings_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("zakladka");
        // A key without the length: one clear message, then the default.
        QTest::newRow("no Zakladka")
            << QByteArray("\"Karta\"=\"/k\"\n") << QStringLiteral("Uwaga") << 5000;
        // A mistyped value is an error of the store, in the general error box.
        QTest::newRow("text Zakladka")
            << QByteArray("\"Zakladka\"=\"7000\"\n") << QStringLiteral("SonvekManager") << 5000;
        QTest::newRow("dword Karta")
            << QByteArray("\"Karta\"=dword:00000001\n") << QStringLiteral("SonvekManager") << 5000;
    }
    void brokenSettings() {
        QFETCH(QByteArray, body);
        QFETCH(QString, caption);
        QFETCH(int, zakladka);
        zapiszKlucz(conf(), body);
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        QCOMPARE(seams.messages.size(), 1);
        QCOMPARE(seams.messages.at(0).caption, caption);
        QVERIFY(seams.messages.at(0).text.contains(QStringLiteral("Zakladka")) ||
                seams.messages.at(0).text.contains(QStringLiteral("Karta")));
        QCOMPARE(form.konfiguracja().DomyslnaZakladka, zakladka);
    }

    void menusCarryCaptionsAndShortcuts_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QKeySequence>("shortcut");
        const QKeySequence none;
        auto row = [](const char* item, const char* caption, const QKeySequence& shortcut) {
            QTest::newRow(item) << QString::fromLatin1(item) << QString::fromUtf8(caption)
                                << shortcut;
        };
        row("Nowyprojekt1", "Nowy projekt", QKeySequence(Qt::CTRL | Qt::Key_N));
        row("OtworzProjekt1", "Otwórz projekt", QKeySequence(Qt::CTRL | Qt::Key_O));
        row("Zapiszprojekt1", "Zapisz projekt", QKeySequence(Qt::CTRL | Qt::Key_S));
        row("Zapiszprojektjako1", "Zapisz projekt jako...", none);
        row("Scalajpliki1", "Scalaj pliki...", QKeySequence(Qt::Key_F12));
        row("Plikaudio1", "Plik audio...", QKeySequence(Qt::CTRL | Qt::Key_K));
        row("Plikzakadki1", "Plik zakładki...", QKeySequence(Qt::CTRL | Qt::Key_L));
        row("Wolnemiejscenakarcie1", "Wolne miejsce na karcie", QKeySequence(Qt::Key_F4));
        row("Zamknij1", "Zamknij", none);
        row("Dodaj2", "Dodaj...", QKeySequence(Qt::Key_F5));
        row("Wstaw2", "Wstaw...", QKeySequence(Qt::SHIFT | Qt::Key_F5));
        row("Usu1", "Usuń", QKeySequence(Qt::Key_F8));
        row("PrzesunWGore1", "Przesuń w górę", QKeySequence(Qt::ALT | Qt::Key_Up));
        row("PrzesunWDol1", "Przesuń w dół", QKeySequence(Qt::ALT | Qt::Key_Down));
        row("Podsumowanieksiazki1", "Podsumowanie książki", QKeySequence(Qt::CTRL | Qt::Key_I));
        row("Glosnosc1", "Głośność", QKeySequence(Qt::CTRL | Qt::Key_G));
        row("Ksiazkinakarcie1", "Książki na karcie...",
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F4));
        row("OdtworZzakladke1", "Odtwórz zakładke", none);
        row("Odtwrzplik1", "Odtwórz plik", none);
        row("Stop1", "Stop", none);
        row("Pauza1", "Pauza", QKeySequence(Qt::CTRL | Qt::Key_D));
        row("Ustawienia1", "Ustawienia...", none);
        row("Wstawodcinki1", "Wstaw odcinki", none);
        row("Oprogramie1", "O programie...", none);
        row("Pomoc2", "Pomoc...", QKeySequence(Qt::Key_F1));
        row("Dodaj1", "Dodaj", QKeySequence(Qt::Key_F5));
        row("Usun1", "Usuń", QKeySequence(Qt::Key_F8));
        row("Wstaw1", "Wstaw plik", QKeySequence(Qt::SHIFT | Qt::Key_F5));
        row("UstawZakladke1", "Ustaw zakładkę", QKeySequence(Qt::Key_F2));
        row("OdtowrzZakladke1", "Odtwórz zakładke", none);
        row("OdtworzPlik1", "Odtwórz plik", none);
    }
    void menusCarryCaptionsAndShortcuts() {
        QFETCH(QString, item);
        QFETCH(QString, caption);
        QFETCH(QKeySequence, shortcut);
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        auto* action = form.findChild<QAction*>(item);
        QVERIFY(action);
        QCOMPARE(action->text().remove(QLatin1Char('&')), caption);
        QCOMPARE(action->shortcut(), shortcut);
    }

    void menuBarOrder() {
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        QStringList titles;
        for (QAction* a : form.menuBar()->actions())
            titles.append(a->text().remove(QLatin1Char('&')));
        QCOMPARE(titles, (QStringList{u"Plik"_qs, u"Edycja"_qs, u"Odtwarzacz"_qs, u"Narzędzia"_qs,
                                      u"Pomoc"_qs}));
        // The columns as the user sees them, left to right.
        const QHeaderView* header = lista(form)->header();
        QStringList captions;
        for (int visual = 0; visual < header->count(); ++visual)
            captions.append(lista(form)
                                ->model()
                                ->headerData(header->logicalIndex(visual), Qt::Horizontal)
                                .toString());
        QCOMPARE(captions, (QStringList{u"L.p."_qs, u"nazwa pliku"_qs, u"początek"_qs,
                                        u"długość"_qs, u"sprawdzona"_qs, u"folder"_qs}));
        QCOMPARE(lista(form)->columnWidth(header->logicalIndex(0)), 40);
        QCOMPARE(header->sectionResizeMode(header->logicalIndex(0)), QHeaderView::Fixed);
        QCOMPARE(form.size(), QSize(675, 449));
    }

    void commandsFollowRowsAndSelection() {
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        const QList<QAction*> needRows{
            akcja(form, "Zapiszprojekt1"), akcja(form, "Zapiszprojektjako1"),
            akcja(form, "Scalajpliki1"),   akcja(form, "Usu1"),
            akcja(form, "Stop1"),          kontrolka<QMenu>(form, "Odtwarzacz1")->menuAction()};
        const QList<QAction*> always{akcja(form, "Nowyprojekt1"),
                                     akcja(form, "OtworzProjekt1"),
                                     akcja(form, "Dodaj2"),
                                     akcja(form, "Wstaw2"),
                                     akcja(form, "Plikaudio1"),
                                     akcja(form, "Plikzakadki1"),
                                     akcja(form, "Wolnemiejscenakarcie1"),
                                     akcja(form, "Dodaj1"),
                                     akcja(form, "Usun1"),
                                     akcja(form, "Wstaw1"),
                                     akcja(form, "UstawZakladke1"),
                                     akcja(form, "OdtowrzZakladke1"),
                                     akcja(form, "OdtworzPlik1")};
        auto check = [&](bool rows, bool selected) {
            for (QAction* a : needRows)
                QVERIFY2(a->isEnabled() == rows, qPrintable(a->objectName()));
            for (QAction* a : always)
                QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
            QCOMPARE(akcja(form, "Odtwrzplik1")->isEnabled(), selected);
            QCOMPARE(akcja(form, "OdtworZzakladke1")->isEnabled(), selected);
        };
        check(false, false);
        QVERIFY(!akcja(form, "Pauza1")->isEnabled());

        form.projekt().wstaw(0, {pozycja(1)});
        form.projekt().wstaw(1, {pozycja(2)});
        check(true, false);
        zaznaczWiersz(lista(form), 1);
        check(true, true);
        QCOMPARE(form.zaznaczonyWiersz(), 1);
        zaznaczWiersz(lista(form), 0);
        QCOMPARE(form.zaznaczonyWiersz(), 0); // first selected in list order
        lista(form)->clearSelection();
        check(true, false);

        // "Pauza" keeps its own state under the menu's.
        form.ustawPauze(true);
        QVERIFY(akcja(form, "Pauza1")->isEnabled());
        form.projekt().usun(1);
        form.projekt().usun(0);
        check(false, false);
        QVERIFY(!akcja(form, "Pauza1")->isEnabled());
        form.projekt().wstaw(0, {pozycja(1)});
        QVERIFY(akcja(form, "Pauza1")->isEnabled());
    }

    // The keys reach their commands from the list, which has the focus.
    void shortcutsFromTheList() {
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        form.utworzOkna();
        form.projekt().wstaw(0, {pozycja(1)});
        zaznaczWiersz(lista(form), 0);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        lista(form)->setFocus();
        QTest::keyClick(lista(form), Qt::Key_F5);
        QCOMPARE(seams.openRequests.size(), qsizetype(1)); // "Dodaj plik", once
        QCOMPARE(seams.openRequests.at(0).title, QStringLiteral("Dodaj plik"));
        QTest::keyClick(lista(form), Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(seams.openRequests.size(), qsizetype(2));
        QCOMPARE(seams.openRequests.at(1).title, QStringLiteral("Wstaw plik"));
        QTest::keyClick(lista(form), Qt::Key_F1);
        QCOMPARE(seams.urls.size(), qsizetype(1));
        // Last: the list view must not keep F2 for itself.
        QTest::keyClick(lista(form), Qt::Key_F2);
        QCOMPARE(seams.shown.size(), qsizetype(1)); // the bookmark editor
    }

    void rowsRoundTrip() {
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        const PozycjaProjektu p{u"1"_qs, u"rozdział 1.mp3"_qs, u"abc"_qs, u"-5"_qs, u"/Żółw/"_qs};
        form.projekt().wstaw(0, {p});
        QCOMPARE(form.projekt().wiersz(0), p);
        QCOMPARE(form.projekt().pozycje(), ListaPozycji{p});
        QCOMPARE(p.sciezka(), QStringLiteral("/Żółw/rozdział 1.mp3"));
    }

    void generalErrorBox() {
        FakeSeams seams;
        const Komunikaty komunikaty(seams, nullptr);
        QVERIFY(!komunikaty.guard(
            [] { throw EInOutError(QStringLiteral("Nie można otworzyć pliku")); }));
        QVERIFY(!komunikaty.guard([] { throw std::runtime_error("zwykły błąd."); }));
        QVERIFY(komunikaty.guard([] {}));
        QCOMPARE(seams.texts(), (QStringList{u"Nie można otworzyć pliku."_qs, u"zwykły błąd."_qs}));
        QCOMPARE(seams.messages.at(0).caption, QStringLiteral("SonvekManager"));
        QCOMPARE(seams.messages.at(0).icon, Seams::Icon::Critical);
        QCOMPARE(seams.messages.at(0).buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }

    // The real message box answers Enter, Esc and its close box as the
    // seam was told, and the test stand-in models Esc the same way.
    void realMessageBoxKeys_data() {
        QTest::addColumn<QMessageBox::StandardButtons>("buttons");
        QTest::addColumn<QMessageBox::StandardButton>("defaultButton");
        QTest::addColumn<QMessageBox::StandardButton>("escapeButton");
        QTest::addColumn<int>("key"); // 0: the close box
        QTest::addColumn<QMessageBox::StandardButton>("expected");
        const QMessageBox::StandardButtons tnk =
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        const QMessageBox::StandardButtons tn = QMessageBox::Yes | QMessageBox::No;
        const auto none = QMessageBox::NoButton;
        QTest::newRow("save question, Esc") << tnk << QMessageBox::Yes << QMessageBox::Cancel
                                            << int(Qt::Key_Escape) << QMessageBox::Cancel;
        QTest::newRow("save question, close box")
            << tnk << QMessageBox::Yes << QMessageBox::Cancel << 0 << QMessageBox::Cancel;
        QTest::newRow("save question, Enter") << tnk << QMessageBox::Yes << QMessageBox::Cancel
                                              << int(Qt::Key_Return) << QMessageBox::Yes;
        QTest::newRow("replace question, Esc")
            << tn << QMessageBox::No << QMessageBox::No << int(Qt::Key_Escape) << QMessageBox::No;
        QTest::newRow("replace question, Enter")
            << tn << QMessageBox::No << QMessageBox::No << int(Qt::Key_Return) << QMessageBox::No;
        QTest::newRow("yes/no left to the box, Esc")
            << tn << none << none << int(Qt::Key_Escape) << QMessageBox::No;
        QTest::newRow("OK left to the box, close box")
            << QMessageBox::StandardButtons(QMessageBox::Ok) << none << none << 0
            << QMessageBox::Ok;
    }
    void realMessageBoxKeys() {
        QFETCH(QMessageBox::StandardButtons, buttons);
        QFETCH(QMessageBox::StandardButton, defaultButton);
        QFETCH(QMessageBox::StandardButton, escapeButton);
        QFETCH(int, key);
        QFETCH(QMessageBox::StandardButton, expected);
        QTimer naciskanie;
        connect(&naciskanie, &QTimer::timeout, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            naciskanie.stop();
            if (key)
                QTest::keyClick(box, Qt::Key(key));
            else
                box->close();
        });
        naciskanie.start(10);
        RealSeams seams;
        QCOMPARE(seams.message(nullptr, Seams::Icon::None, u"Uwaga"_qs, u"Pytanie"_qs, buttons,
                               defaultButton, escapeButton),
                 expected);
        if (key != Qt::Key_Return)
            QCOMPARE(FakeSeams::przyciskEsc(buttons, escapeButton), expected);
    }

    void noticeWindowStartsAtHeaderEveryTime() {
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        form.utworzOkna();
        QStringList seen;
        QList<bool> focused;
        seams.onExec = [&](QDialog* d) -> int {
            d->show();
            auto* blad = qobject_cast<TFormBlad*>(d);
            if (!blad)
                return 0;
            focused.append(blad->Memo1->hasFocus());
            seen.append(blad->Memo1->textCursor().block().text());
            seen.append(QString::number(blad->Memo1->textCursor().position()));
            // Move away so the next showing must put the caret back.
            blad->Memo1->moveCursor(QTextCursor::End);
            blad->Button1->click();
            return d->result();
        };
        QStringList lines;
        for (int i = 0; i < 100; ++i)
            lines.append(QStringLiteral("/plik%1.mp3").arg(i));
        form.pokazFormBlad(QStringLiteral("Nagłówek:"), lines);
        form.pokazFormBlad(QStringLiteral("Nagłówek:"), lines);
        QCOMPARE(seen, (QStringList{u"Nagłówek:"_qs, u"0"_qs, u"Nagłówek:"_qs, u"0"_qs}));
        QVERIFY(!kontrolka<TFormBlad>(form, "FormBlad")->isVisible());
        Q_UNUSED(focused); // focus needs an active window, which offscreen tests may not give
        QCOMPARE(kontrolka<TFormBlad>(form, "FormBlad")->windowTitle(), QStringLiteral("Uwaga"));
        QVERIFY(kontrolka<TFormBlad>(form, "FormBlad")->Button1->isDefault());
    }

    void helpPageFromWorkingDirectoryThenProgramFolder() {
        FakeSeams seams;
        SettingsStore store(conf());
        QTemporaryDir work;
        const QString old = QDir::currentPath();
        QDir::setCurrent(work.path());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        akcja(form, "Pomoc2")->trigger();
        QFile page(work.filePath(QStringLiteral("pomoc.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        akcja(form, "Pomoc2")->trigger();
        akcja(form, "StronaWww1")->trigger();
        QDir::setCurrent(old);
        QCOMPARE(seams.urls.size(), 3);
        QCOMPARE(seams.urls.at(0).toLocalFile(), m_dir.filePath(QStringLiteral("pomoc.html")));
        QCOMPARE(seams.urls.at(1).toLocalFile(), work.filePath(QStringLiteral("pomoc.html")));
        QCOMPARE(seams.urls.at(2), QUrl(TMainForm::adresWww()));
        QCOMPARE(akcja(form, "StronaWww1")->text(), TMainForm::adresWww());
    }

    // The help page goes to the desktop's browser; where none can be started
    // it opens in the program's own window.
    void helpOpensWhereverItCan_data() {
        QTest::addColumn<bool>("browser");
        QTest::addColumn<bool>("page");
        QTest::newRow("browser") << true << true;
        QTest::newRow("no browser") << false << true;
        QTest::newRow("no browser, no page") << false << false;
    }
    void helpOpensWhereverItCan() {
        QFETCH(bool, browser);
        QFETCH(bool, page);
        FakeSeams seams;
        seams.noBrowser = !browser;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        const QString path = m_dir.filePath(QStringLiteral("pomoc.html"));
        if (page) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<h1>Pomoc programu</h1>");
        }
        form.otworzPomoc(path);
        QCOMPARE(seams.urls, QList<QUrl>{QUrl::fromLocalFile(path)});
        QCOMPARE(form.findChild<TFormPomoc*>() != nullptr, !browser);
        if (browser)
            return;
        QVERIFY(form.findChild<TFormPomoc*>()->isVisible());
        QVERIFY(!form.findChild<TFormPomoc*>()->isModal());
        const QString text = form.findChild<TFormPomoc*>()->TextPomoc->toPlainText();
        QVERIFY2(text.startsWith(page ? u"Pomoc programu"_qs : u"Nie znaleziono strony pomocy"_qs),
                 qPrintable(text));
        QFile::remove(path);
    }

    // Every link of the shipped help page leads somewhere in it: Tab picks
    // the link, Enter selects the line it leads to.
    void helpPageLinksLeadToTheirPlaces() {
        TFormPomoc pomoc;
        pomoc.pokaz(QFINDTESTDATA("../resources/pomoc.html"));
        QVERIFY(QTest::qWaitForWindowActive(&pomoc));
        TekstPomocy* tekst = pomoc.TextPomoc;
        QVERIFY(!tekst->strona().isEmpty());
        QVERIFY(tekst->hasFocus());
        int links = 0;
        for (;;) {
            tekst->moveCursor(QTextCursor::Start);
            for (int i = 0; i <= links; ++i)
                QTest::keyClick(tekst, Qt::Key_Tab);
            const QString link = tekst->textCursor().selectedText();
            if (link.isEmpty() || !tekst->hasFocus())
                break; // past the last link the focus leaves the text
            QTest::keyClick(tekst, Qt::Key_Return);
            QCOMPARE(tekst->textCursor().selectedText(), link);
            ++links;
        }
        QCOMPARE(links, 5);
        // A link to another page loads it.
        QTemporaryDir pages;
        QFile druga(pages.filePath(QStringLiteral("druga.html")));
        QVERIFY(druga.open(QIODevice::WriteOnly));
        druga.write("<p>Wstęp</p><h2 id=\"c\">Rozdział C</h2>");
        druga.close();
        tekst->wczytaj(pages.filePath(QStringLiteral("pierwsza.html")));
        QVERIFY(tekst->toPlainText().startsWith(u"Nie znaleziono strony pomocy"_qs));
        tekst->przejdz(QUrl::fromLocalFile(druga.fileName()).toString() + u"#c"_qs);
        QCOMPARE(tekst->strona(), QUrl::fromLocalFile(druga.fileName()));
        QCOMPARE(tekst->textCursor().selectedText(), u"Rozdział C"_qs);
    }

    // The desktop's opener is watched to its end: one that fails, or cannot
    // be started, means no browser could show the page.
    void openerFailureIsNoticed_data() {
        QTest::addColumn<QString>("script"); // empty: no such program
        QTest::addColumn<bool>("failed");
        QTest::newRow("opened") << u"exit 0"_qs << false;
        QTest::newRow("nothing to open it with") << u"exit 3"_qs << true;
        QTest::newRow("browser refuses") << u"kill -9 $$"_qs << true;
        QTest::newRow("no opener") << QString() << true;
    }
    void openerFailureIsNoticed() {
        QFETCH(QString, script);
        QFETCH(bool, failed);
        const QString opener = m_dir.filePath(QStringLiteral("opener"));
        QFile::remove(opener);
        if (!script.isEmpty()) {
            QFile file(opener);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n" + script.toUtf8() + "\n");
            file.close();
            QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
        }
        int reported = 0;
        QPointer<QProcess> process =
            otworzPrzez(opener, QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("p.html"))),
                        [&] { ++reported; });
        QTRY_VERIFY(!process); // it has ended and gone
        QCOMPARE(reported, failed ? 1 : 0);
    }

    void aboutBoxNamesProgramVersionLicence() {
        FakeSeams seams;
        SettingsStore store(conf());
        TMainForm form(Uslugi(seams, store, m_dir.path()));
        form.utworzOkna();
        akcja(form, "Oprogramie1")->trigger();
        QCOMPARE(seams.shown, QList<QDialog*>{kontrolka<TFormOprogramie>(form, "FormOprogramie")});
        const QString text =
            kontrolka<TFormOprogramie>(form, "FormOprogramie")->Memo1->toPlainText();
        QVERIFY(text.contains(QStringLiteral("SonvekManager")));
        QVERIFY(text.contains(QStringLiteral(SONVEK_VERSION)));
        QVERIFY(text.contains(QStringLiteral("Licencja")));
        QCOMPARE(kontrolka<TFormOprogramie>(form, "FormOprogramie")->windowTitle(),
                 QStringLiteral("O programie"));
        // Its lines stand in the middle: about as far from the right edge as
        // from the left (the caret's width apart).
        QPlainTextEdit* memo = kontrolka<TFormOprogramie>(form, "FormOprogramie")->Memo1;
        memo->show();
        const QTextBlock nazwa = memo->document()->findBlockByNumber(1);
        QCOMPARE(nazwa.text(), QStringLiteral("SonvekManager"));
        const QRectF linia = nazwa.layout()->lineAt(0).naturalTextRect();
        const qreal szerokosc = memo->viewport()->width() - 2 * memo->document()->documentMargin();
        QVERIFY2(
            qAbs(linia.left() - (szerokosc - linia.right())) < szerokosc / 20,
            qPrintable(
                QStringLiteral("%1 %2 %3").arg(linia.left()).arg(linia.right()).arg(szerokosc)));
    }
};

QTEST_MAIN(TestMainForm)
#include "tstui_mainform.moc"
