// What a screen reader finds in every window: a Polish name for every
// control a user can reach, an event for every status line change, and the
// keyboard focus where the user expects it after opening a dialog or
// running a list command.
#include "app/MainForm.h"
#include "project/ModelProjektu.h"
#include "project/ProjectFile.h"
#include "settings/SettingsStore.h"
#include "support/FakeFreeSpace.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"
#include "widgets/FormPomoc.h"
#include "widgets/LiniaKomunikatu.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <memory>
#include <private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

using namespace Qt::StringLiterals;

namespace {

// The events a screen reader was sent: their kind and the name of what
// they are about (the object, or its child such as a list's cell).
QList<std::pair<QAccessible::Event, QString>> zdarzenia;

void zapiszZdarzenie(QAccessibleEvent* event) {
    QAccessibleInterface* iface = event->accessibleInterface();
    zdarzenia.append({event->type(), iface ? iface->text(QAccessible::Name) : QString()});
}

bool wyslano(QAccessible::Event type, const QString& name) {
    return zdarzenia.contains(std::pair(type, name));
}

// Roles of the controls a user works with; their names are what a screen
// reader says for them.
bool wymagaNazwy(QAccessible::Role role) {
    static const QList<QAccessible::Role> kontrolki{
        QAccessible::PushButton,  QAccessible::CheckBox,     QAccessible::RadioButton,
        QAccessible::ComboBox,    QAccessible::EditableText, QAccessible::SpinBox,
        QAccessible::ProgressBar, QAccessible::List,         QAccessible::Tree,
        QAccessible::Table,       QAccessible::MenuItem,     QAccessible::Notification};
    return kontrolki.contains(role);
}

// A name says something: it has letters, is not the control's name in the
// code, and is not one of the toolkit's English captions.
bool mowi(const QString& name, const QObject* object) {
    static const QStringList angielskie{u"Cancel"_s, u"Close"_s, u"Open"_s, u"Save"_s,
                                        u"Yes"_s,    u"No"_s,    u"Apply"_s};
    const bool litery =
        std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.isLetter(); });
    return litery && !angielskie.contains(name) && (!object || name != object->objectName());
}

// A control is named by its own name or by the label that labels it (a drop
// down list on Linux is named by its current entry and told by its label).
bool nazwana(QAccessibleInterface* iface) {
    if (mowi(iface->text(QAccessible::Name), iface->object()))
        return true;
    const auto etykiety = iface->relations(QAccessible::Label);
    return std::any_of(etykiety.cbegin(), etykiety.cend(), [](const auto& relation) {
        return mowi(relation.first->text(QAccessible::Name), nullptr);
    });
}

// Every visible control below `iface` that a screen reader cannot name.
void bezNazwy(QAccessibleInterface* iface, const QString& path, QStringList& braki) {
    if (!iface || iface->state().invisible || iface->role() == QAccessible::ScrollBar)
        return;
    const QString name = iface->text(QAccessible::Name);
    const QString here = path + u'/' + (iface->object() ? iface->object()->objectName() : u"?"_s) +
                         QStringLiteral("[%1]").arg(iface->role(), 0, 16);
    if (wymagaNazwy(iface->role()) && !nazwana(iface))
        braki.append(here + u" \""_s + name + u'"');
    // The items of a list are its content, not controls of their own.
    if (iface->tableInterface() || iface->role() == QAccessible::List ||
        iface->role() == QAccessible::ComboBox)
        return;
    for (int i = 0; i < iface->childCount(); ++i)
        bezNazwy(iface->child(i), here, braki);
}

QStringList bezNazwy(QWidget* window) {
    QStringList braki;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(window);
    if (!iface || iface->text(QAccessible::Name).isEmpty())
        braki.append(window->objectName() + u": the window has no name"_s);
    bezNazwy(iface, QString(), braki);
    return braki;
}

// The name a screen reader reads first for the list's current row.
QString pierwszaKomorka(QTreeView* list) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(list);
    QAccessibleInterface* cell = iface->tableInterface()->cellAt(list->currentIndex().row(), 0);
    return cell ? cell->text(QAccessible::Name) : QString();
}

} // namespace

class TestDostepnosc : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<FakeSeams> seams;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<TMainForm> form;
    FakeWolneMiejsce miejsce{4096, 1'000'000};

    QString plik(const QString& name) const { return dir->filePath(name); }
    void wiersze(const QStringList& names) {
        for (const QString& n : names) {
            const int row = form->projekt().rowCount();
            QVERIFY(zapiszBajty(plik(n), "x"));
            form->projekt().wstaw(row, {{QString(), n, u"0"_s, u"5000"_s, dir->path() + u'/'}});
        }
        form->projekt().ustawProjektZmieniony(false);
    }
    void pokazGlowne() {
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
    // Shows a modal dialog as the user meets it and runs `work` while it is
    // up; then closes it and makes the main window active again, as the
    // window manager does.
    void wDialogu(const std::function<void(QDialog*)>& work) {
        seams->onExec = [work](QDialog* d) {
            d->show();
            d->activateWindow();
            // (A dialog's window counts as active while its owner is.)
            if (QTest::qWaitFor([d] { return QApplication::activeWindow() == d; }))
                work(d);
            d->reject();
            return d->result();
        };
    }

private slots:
    void initTestCase() {
        QAccessible::installUpdateHandler(zapiszZdarzenie);
        // The offscreen platform has no screen reader attached: stand in for one.
        QPlatformAccessibility* platform =
            QGuiApplicationPrivate::platformIntegration()->accessibility();
        if (!platform)
            QSKIP("no accessibility on this platform");
        platform->setActive(true);
    }

    void init() {
        dir = std::make_unique<QTemporaryDir>();
        seams = std::make_unique<FakeSeams>();
        store = std::make_unique<SettingsStore>(dir->filePath(u"conf"_s));
        Uslugi uslugi(*seams, *store, dir->path());
        uslugi.wolneMiejsce = &miejsce;
        // Never the machine's own mounts: one of them may stall.
        uslugi.woluminy = [karta = dir->filePath(u"karta"_s)] {
            return ListaWoluminow{{karta, u"vfat"_s, u"/dev/sdy1"_s, u"KARTA"_s, true, 0}};
        };
        form = std::make_unique<TMainForm>(uslugi);
        form->utworzOkna();
        ustawKonfiguracje(*form, dir->filePath(u"karta"_s), dir->path());
        QVERIFY(QDir(dir->path()).mkpath(u"karta"_s));
        seams->messages.clear(); // the first-run notice
        zdarzenia.clear();
    }
    void cleanup() {
        form->projekt().ustawProjektZmieniony(false);
        form.reset();
        store.reset();
        seams.reset();
        dir.reset();
    }

    void everyControlHasAPolishName_data() {
        QTest::addColumn<QString>("okno");
        for (const char* name :
             {"FormUstawZakladke", "FormUstawienia", "FormWybierzFolder", "FormScalaniePlikow",
              "FormOprogramie", "FormBlad", "FormPomoc", "MainForm"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void everyControlHasAPolishName() {
        QFETCH(QString, okno);
        wiersze({u"rozdział 1.mp3"_s});
        form->fokusNaLiscie(0);
        form->ustawStatus(u"Pauza"_s);
        QVERIFY(zapiszBajty(plik(u"pomoc.html"_s), "<h1>Pomoc</h1><p><a href=\"#a\">A</a></p>"));
        form->pokazPomocWOknie(plik(u"pomoc.html"_s));
        QWidget* window = okno == u"MainForm" ? form.get() : form->findChild<QWidget*>(okno);
        QVERIFY(window);
        window->show();
        const QStringList braki = bezNazwy(window);
        QVERIFY2(braki.isEmpty(), qPrintable(braki.join(u'\n')));
    }

    // The window that shows a copy to the card, met while it copies.
    void cardCopyWindowHasPolishNames() {
        const QString ksiazka = plik(u"ksiazka.mp3"_s);
        QVERIFY(zapiszBajty(ksiazka, QByteArray(5000, 'a')) &&
                zapiszBajty(plik(u"ksiazka.dat"_s), "0\t10") &&
                zapiszBajty(plik(u"ksiazka.log"_s), "0000000 0000000"));
        seams->openAnswers = {{ksiazka}};
        seams->answers = {QMessageBox::No}; // not ejected now
        const QList<QWidget*> known = form->findChildren<QWidget*>();
        QStringList braki{u"no copy window met"_s};
        QTimer::singleShot(0, form.get(), [&] {
            for (QDialog* d : form->findChildren<QDialog*>()) {
                if (!known.contains(d)) {
                    d->show();
                    braki = bezNazwy(d);
                }
            }
        });
        akcja(*form, "Plikaudio1")->trigger();
        QVERIFY2(braki.isEmpty(), qPrintable(braki.join(u'\n')));
        QVERIFY(seams->texts().constLast().startsWith(u"Pliki zostały pomyślnie skopiowane!"_s));
    }

    // Each text set on the status line is announced, the same one again
    // too; a screen reader names the line by its text.
    void statusLineChangesAreAnnounced() {
        for (const QString& text :
             {u"Odtwarzanie:/książki/rozdział 1.mp3"_s, u"Pauza"_s, u"Pauza"_s, QString()}) {
            zdarzenia.clear();
            form->ustawStatus(text);
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(
                kontrolka<LiniaKomunikatu>(*form, "StatusBar1"));
            QCOMPARE(iface->text(QAccessible::Name), text);
            QCOMPARE(iface->role(), QAccessible::Notification);
            // An emptied line has nothing to say.
            QCOMPARE(wyslano(QAccessible::ObjectShow, text), !text.isEmpty());
        }
        // A command's report goes the same way.
        zdarzenia.clear();
        akcja(*form, "Wolnemiejscenakarcie1")->trigger();
        QVERIFY(form->tekstStatusu().startsWith(u"Wolne miejsce na karcie"_s));
        QVERIFY(wyslano(QAccessible::ObjectShow, form->tekstStatusu()));
    }

    void focusWhenADialogOpensAndCloses_data() {
        QTest::addColumn<QString>("polecenie");
        QTest::addColumn<QString>("fokus");
        QTest::newRow("bookmark editor") << u"UstawZakladke1"_s << u"EditPoczatek"_s;
        QTest::newRow("settings") << u"Ustawienia1"_s << u"EditMagazyn"_s;
        QTest::newRow("merge") << u"Scalajpliki1"_s << u"MemoPodsumowanie"_s;
        QTest::newRow("about") << u"Oprogramie1"_s << u"Memo1"_s;
        QTest::newRow("loudness report") << u"Glosnosc1"_s << u"MemoGlosnosc"_s;
        QTest::newRow("folder chooser") << u"FormWybierzFolder"_s << u"DriveComboBox1"_s;
        QTest::newRow("notice") << u"FormBlad"_s << u"Memo1"_s;
    }
    void focusWhenADialogOpensAndCloses() {
        QFETCH(QString, polecenie);
        QFETCH(QString, fokus);
        wiersze({u"a.mp3"_s, u"b.mp3"_s});
        pokazGlowne();
        form->fokusNaLiscie(1);
        QString seen;
        wDialogu([&](QDialog*) {
            seen =
                QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
        });
        seams->saveAnswers = {plik(u"ksiazka.mp3"_s)}; // the merge's book
        if (auto* action = form->findChild<QAction*>(polecenie))
            action->trigger();
        else if (polecenie == u"FormBlad")
            form->pokazFormBlad(u"Nagłówek:"_s, {u"/a.mp3"_s});
        else
            seams->execDialog(form->findChild<QDialog*>(polecenie));
        QCOMPARE(seen, fokus);
        // Back in the main window, on the row the user was on, which a screen
        // reader is told about.
        zdarzenia.clear();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        QTRY_VERIFY(lista(*form)->hasFocus());
        QCOMPARE(lista(*form)->currentIndex().row(), 1);
        QTRY_VERIFY(wyslano(QAccessible::Focus, u"b.mp3"_s));
    }

    // Each cell says which column its number is in; the screen shows the numbers.
    void cellsSayTheirColumn() {
        wiersze({u"02_rozdzial.mp3"_s});
        pokazGlowne();
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(lista(*form));
        QStringList slyszane;
        for (int kolumna = 0; kolumna < form->projekt().columnCount(); ++kolumna) {
            QAccessibleInterface* komorka = iface->tableInterface()->cellAt(0, kolumna);
            QVERIFY(komorka);
            slyszane << komorka->text(QAccessible::Name);
        }
        QCOMPARE(slyszane,
                 (QStringList{u"02_rozdzial.mp3"_s, u"L.p. 1"_s, u"początek 0 ms"_s,
                              u"długość 5000 ms"_s, QString(), u"folder "_s + dir->path() + u'/'}));
        QCOMPARE(form->projekt().index(0, ModelProjektu::KolDlugosc).data().toString(), u"5000"_s);
    }

    // What changes without a word from Qt is said: the card stepped to on
    // the closed list (and kept in its description), the bookmark editor's
    // values when it opens, a stop.
    void changesAreSaid() {
        // The stored card (init) and another one.
        const QString karta = dir->filePath(u"karta"_s);
        const QString druga = dir->filePath(u"karta2"_s);
        Uslugi uslugi(*seams, *store, dir->path());
        uslugi.wolneMiejsce = &miejsce;
        uslugi.woluminy = [karta, druga] {
            return ListaWoluminow{{karta, u"vfat"_s, u"/dev/sdy1"_s, u"KARTA"_s, true, 0},
                                  {druga, u"vfat"_s, u"/dev/sdz1"_s, u"DRUGA"_s, true, 0}};
        };
        form = std::make_unique<TMainForm>(uslugi);
        form->utworzOkna();
        pokazGlowne();
        wDialogu([&](QDialog* d) {
            auto* combo = d->findChild<QComboBox*>(u"DriveComboBox1"_s);
            combo->setFocus();
            QCOMPARE(combo->accessibleDescription(), karta + u" [KARTA]"_s);
            zdarzenia.clear();
            QTest::keyClick(combo, Qt::Key_Down);
            QCOMPARE(combo->accessibleDescription(), druga + u" [DRUGA]"_s);
            QVERIFY(wyslano(QAccessible::ObjectShow, u"Karta: "_s + druga + u" [DRUGA]"_s));
            // A field reached with Tab keeps its text whole and unselected.
            auto* pole = d->findChild<QLineEdit*>(u"EditZakladka"_s);
            d->findChild<QWidget*>(u"ButtonPrzegladajFolder"_s)->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), pole);
            QVERIFY(!pole->hasSelectedText());
            QCOMPARE(pole->cursorPosition(), pole->text().size());
        });
        akcja(*form, "Ustawienia1")->trigger();

        Mp3Format fmt;
        fmt.durationMs = 2000;
        makeMp3(plik(u"a.mp3"_s), fmt);
        form->projekt().wstaw(0, {{QString(), u"a.mp3"_s, u"0"_s, u"5000"_s, dir->path() + u'/'}});
        form->fokusNaLiscie(0);
        wDialogu([&](QDialog* d) {
            QTRY_VERIFY(wyslano(QAccessible::ObjectShow,
                                u"Początek zakładki 0 ms, długość 5000 ms, 0 s z 2 s"_s));
            // Stopped from the dialog's menu (Ctrl+T) or with Shift+Esc.
            for (const QKeyCombination klawisz :
                 {Qt::CTRL | Qt::Key_T, Qt::SHIFT | Qt::Key_Escape}) {
                d->findChild<QAction*>(u"Odtwrzzakadke1"_s)->trigger();
                zdarzenia.clear();
                QTest::keySequence(QApplication::focusWidget(), QKeySequence(klawisz));
                QVERIFY(wyslano(QAccessible::ObjectShow, u"Zatrzymano"_s));
            }
            // QTest's last release still reports the modifier held; a
            // release without it leaves the keyboard as the user's is.
            QTest::keyRelease(d, Qt::Key_Shift, Qt::NoModifier);
        });
        akcja(*form, "UstawZakladke1")->trigger();
    }

    void helpWindowTakesTheFocus() {
        seams->noBrowser = true;
        pokazGlowne();
        akcja(*form, "Pomoc2")->trigger();
        QVERIFY(form->findChild<TFormPomoc*>() && form->findChild<TFormPomoc*>()->isVisible());
        QVERIFY(QTest::qWaitFor(
            [&] { return QApplication::activeWindow() == form->findChild<TFormPomoc*>(); }));
        QCOMPARE(QApplication::focusWidget(), form->findChild<TFormPomoc*>()->TextPomoc);
        QCOMPARE(form->findChild<TFormPomoc*>()->TextPomoc->textCursor().position(), 0);
    }

    // After each command the list has the focus, on the row the user wants
    // next; that row is the selected one, and a screen reader reads its
    // file name first and is told about it.
    void focusAfterListCommands_data() {
        QTest::addColumn<QString>("polecenie");
        QTest::addColumn<int>("zaznaczony"); // before the command
        QTest::addColumn<int>("biezacy");    // after it
        QTest::addColumn<QString>("nazwa");
        QTest::newRow("open project appends") << u"OtworzProjekt1"_s << 0 << 3 << u"p1.mp3"_s;
        QTest::newRow("add") << u"Dodaj2"_s << 0 << 3 << u"n1.mp3"_s;
        QTest::newRow("insert") << u"Wstaw2"_s << 1 << 1 << u"n1.mp3"_s;
        QTest::newRow("delete") << u"Usu1"_s << 1 << 1 << u"c.mp3"_s;
        QTest::newRow("delete the last row") << u"Usu1"_s << 2 << 1 << u"b.mp3"_s;
    }
    void focusAfterListCommands() {
        QFETCH(QString, polecenie);
        QFETCH(int, zaznaczony);
        QFETCH(int, biezacy);
        QFETCH(QString, nazwa);
        wiersze({u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s});
        const QString projekt = plik(u"projekt.xml"_s);
        ListaPozycji wpisy;
        for (const QString& n : {u"p1.mp3"_s, u"p2.mp3"_s}) {
            QVERIFY(zapiszBajty(plik(n), "x"));
            wpisy.append({QString(), n, u"0"_s, u"1000"_s, dir->path() + u'/'});
        }
        zapiszPlikProjektu(projekt, wpisy);
        seams->openAnswers = {{projekt}};
        if (polecenie == u"Dodaj2" || polecenie == u"Wstaw2")
            seams->openAnswers = {{makeMp3(plik(u"n2.mp3"_s), {}), makeMp3(plik(u"n1.mp3"_s), {})}};
        pokazGlowne();
        form->fokusNaLiscie(zaznaczony);
        zdarzenia.clear();
        form->findChild<QAction*>(polecenie)->trigger();
        QVERIFY(seams->messages.isEmpty());
        QTRY_VERIFY(lista(*form)->hasFocus());
        QCOMPARE(lista(*form)->currentIndex().row(), biezacy);
        QCOMPARE(form->zaznaczonyWiersz(), biezacy);
        QCOMPARE(pierwszaKomorka(lista(*form)), nazwa);
        QTRY_VERIFY(wyslano(QAccessible::Focus, nazwa));
    }

    // A key whose command cannot act says why; the focus and the current
    // row stay as they were.
    void keysThatCannotActSayWhy_data() {
        QTest::addColumn<int>("wierszy");
        QTest::addColumn<int>("biezacy");
        QTest::addColumn<QKeySequence>("klawisz");
        QTest::addColumn<QString>("powod");
        const QString pusta = u": lista plików jest pusta. Pliki dodaje klawisz F5."_s;
        QTest::newRow("Ctrl+S, empty list")
            << 0 << -1 << QKeySequence(Qt::CTRL | Qt::Key_S) << u"Zapisz projekt"_s + pusta;
        QTest::newRow("F12, empty list")
            << 0 << -1 << QKeySequence(Qt::Key_F12) << u"Scalaj pliki"_s + pusta;
        QTest::newRow("F2, empty list")
            << 0 << -1 << QKeySequence(Qt::Key_F2) << u"Ustaw zakładkę"_s + pusta;
        QTest::newRow("Alt+Down on the last row")
            << 3 << 2 << QKeySequence(Qt::ALT | Qt::Key_Down)
            << u"Przesuń w dół: zaznaczenie jest już na końcu listy."_s;
        QTest::newRow("Alt+Up on the first row")
            << 3 << 0 << QKeySequence(Qt::ALT | Qt::Key_Up)
            << u"Przesuń w górę: zaznaczenie jest już na początku listy."_s;
        QTest::newRow("Ctrl+Z, nothing done")
            << 3 << 1 << QKeySequence(Qt::CTRL | Qt::Key_Z) << u"Cofnij: nie ma czego cofnąć."_s;
    }
    void keysThatCannotActSayWhy() {
        QFETCH(int, wierszy);
        QFETCH(int, biezacy);
        QFETCH(QKeySequence, klawisz);
        QFETCH(QString, powod);
        wiersze(QStringList{u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s}.mid(0, wierszy));
        pokazGlowne();
        form->fokusNaLiscie(biezacy);
        zdarzenia.clear();
        QTest::keySequence(lista(*form), klawisz);
        QVERIFY2(wyslano(QAccessible::ObjectShow, powod), qPrintable(powod));
        QVERIFY(lista(*form)->hasFocus());
        QCOMPARE(lista(*form)->currentIndex().row(), biezacy);
        QVERIFY(seams->messages.isEmpty());
    }

    // A command's result is said after the focus has gone where it goes:
    // what a screen reader says of the new focus would cut it off.
    void resultsAreSaidAfterTheFocus_data() {
        QTest::addColumn<QString>("polecenie");
        QTest::addColumn<QString>("wynik");
        QTest::newRow("add") << u"Dodaj2"_s << u"Dodano 2 pliki"_s;
        // (After the notice window that lists it, which takes the focus.)
        QTest::newRow("add with a file that is no MP3")
            << u"Dodaj2 zly"_s
            << u"Dodano 2 pliki, pominięto 1 plik, który nie jest plikiem audio"_s;
        QTest::newRow("open") << u"OtworzProjekt1"_s << u"Wczytano projekt p.xml: 2 pozycje"_s;
        QTest::newRow("save") << u"Zapiszprojektjako1"_s << u"Zapisano projekt nowy.xml"_s;
        QTest::newRow("new project")
            << u"Nowyprojekt1"_s << u"Nowy projekt: lista plików jest pusta"_s;
    }
    void resultsAreSaidAfterTheFocus() {
        QFETCH(QString, polecenie);
        QFETCH(QString, wynik);
        wiersze({u"a.mp3"_s});
        const QString projekt = plik(u"p.xml"_s);
        zapiszPlikProjektu(projekt,
                           {{QString(), u"a.mp3"_s, u"0"_s, u"1000"_s, dir->path() + u'/'},
                            {QString(), u"a.mp3"_s, u"0"_s, u"2000"_s, dir->path() + u'/'}});
        QStringList nowe{makeMp3(plik(u"n1.mp3"_s), {}), makeMp3(plik(u"n2.mp3"_s), {})};
        if (polecenie.endsWith(u" zly"_s)) {
            QVERIFY(zapiszBajty(plik(u"zly.mp3"_s), "to nie jest MP3"));
            nowe.append(plik(u"zly.mp3"_s));
        }
        seams->openAnswers = {polecenie == u"OtworzProjekt1" ? QStringList{projekt} : nowe};
        seams->saveAnswers = {plik(u"nowy"_s)};
        pokazGlowne();
        form->fokusNaLiscie(0);
        zdarzenia.clear();
        akcja(*form, qPrintable(polecenie.section(u' ', 0, 0)))->trigger();
        QTRY_VERIFY2(wyslano(QAccessible::ObjectShow, wynik), qPrintable(wynik));
        const auto ostatniFokus = std::find_if(zdarzenia.crbegin(), zdarzenia.crend(), [](auto& z) {
            return z.first == QAccessible::Focus;
        });
        const auto powiedziany = std::find(zdarzenia.crbegin(), zdarzenia.crend(),
                                           std::pair(QAccessible::ObjectShow, wynik));
        if (!polecenie.endsWith(u" zly"_s))
            QVERIFY(ostatniFokus == zdarzenia.crend() || powiedziany < ostatniFokus);
    }
};

QTEST_MAIN(TestDostepnosc)
#include "tstui_dostepnosc.moc"
