// What a screen reader is given where Qt's own controls fall short: a
// field's text as one run (read whole), a report's paragraph as one line,
// a submenu said as one, a misspelt designed text heard right, the
// announcer standing outside its window, and a key of a command that
// cannot act answered with why.

#include "support/Dostepnosc.h"
#include "widgets/FormPomoc.h"
#include "widgets/LiniaKomunikatu.h"
#include "widgets/OknoTekstu.h"
#include "widgets/Ulatwienia.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QStringList powiedziane;
QList<QAccessibleInterface*> pokazane; // what a screen reader reads them from
QList<QObject*> zmienioneTeksty;       // sources of text insertions and removals

void sluchaj(QAccessibleEvent* event) {
    if (event->type() == QAccessible::TextInserted || event->type() == QAccessible::TextRemoved ||
        event->type() == QAccessible::TextUpdated)
        zmienioneTeksty.append(event->object());
    if (event->type() != QAccessible::ObjectShow)
        return;
    if (auto* linia = qobject_cast<LiniaKomunikatu*>(event->object())) {
        powiedziane.append(linia->text());
        pokazane.append(event->accessibleInterface());
    }
}

QAccessibleTextInterface* tekstu(QObject* o) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(o);
    return iface ? iface->textInterface() : nullptr;
}

// The line a screen reader reads at `offset`, with its bounds.
QString linia(QObject* o, int offset, int* start = nullptr, int* end = nullptr) {
    int s = -1, e = -1;
    const QString t = tekstu(o)->textAtOffset(offset, QAccessible::LineBoundary, &s, &e);
    if (start)
        *start = s;
    if (end)
        *end = e;
    return t;
}

} // namespace

class TestUlatwienia : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        wlaczUlatwienia();
        QVERIFY(ustawDostepnosc(true));
        QAccessible::installUpdateHandler(sluchaj);
    }
    void cleanupTestCase() {
        QAccessible::installUpdateHandler(nullptr);
        ustawDostepnosc(false);
    }
    void init() {
        powiedziane.clear();
        pokazane.clear();
    }

    // A screen reader splits a line by its attribute runs; an empty run at
    // each character (Qt's own) cost the last character, or a lone digit.
    void fieldTextIsOneRun_data() {
        QTest::addColumn<QString>("tekst");
        QTest::addColumn<bool>("tylkoDoOdczytu");
        QTest::newRow("bookmark length") << u"1410"_s << true;
        QTest::newRow("a lone zero") << u"0"_s << true;
        QTest::newRow("language") << u"pl"_s << false;
        QTest::newRow("a folder") << u"/media/karta/książki/"_s << false;
    }
    void fieldTextIsOneRun() {
        QFETCH(QString, tekst);
        QFETCH(bool, tylkoDoOdczytu);
        QLineEdit pole(tekst);
        pole.setReadOnly(tylkoDoOdczytu);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&pole);
        QCOMPARE(iface->role(), QAccessible::EditableText);
        QCOMPARE(iface->state().readOnly, tylkoDoOdczytu);
        QCOMPARE(iface->text(QAccessible::Value), tekst);
        const int n = int(tekst.size());
        for (int offset = 0; offset < n; ++offset) {
            int start = -1, end = -1;
            tekstu(&pole)->attributes(offset, &start, &end);
            QCOMPARE(std::pair(start, end), std::pair(0, n));
            QCOMPARE(linia(&pole, offset), tekst);
        }
        QCOMPARE(tekstu(&pole)->characterCount(), n);
        // A password is not read out.
        pole.setEchoMode(QLineEdit::Password);
        QCOMPARE(iface->text(QAccessible::Value), QString(n, u'*'));
        QCOMPARE(linia(&pole, 0), QString());
    }

    // A report line that the window wraps is one line to a screen reader,
    // and Down and Up step from item to item.
    void reportLineIsReadWhole() {
        QDialog okno;
        QPlainTextEdit* tekst = tekstDoCzytania(&okno, u"Memo"_s, u"Raport"_s);
        const QStringList linie{
            u"Mediana głośności: -18,2 LUFS"_s,
            u"rozdział 3.mp3: -9,1 LUFS, szczyt -0,4 dBTP, wyrównanie 0,0 dB (mniej ze względu "
            "na szczyt, który nie może przekroczyć -1 dBTP)"_s,
            u"rozdział 4.mp3: -18,0 LUFS"_s};
        tekst->setPlainText(linie.join(u'\n'));
        tekst->setFixedWidth(160);
        okno.show();
        QVERIFY(QTest::qWaitForWindowExposed(&okno));
        const int srodek = int(linie[0].size() + 1 + linie[1].size() / 2);
        int start = -1, end = -1;
        QCOMPARE(linia(tekst, srodek, &start, &end).trimmed(), linie[1]);
        QCOMPARE(start, int(linie[0].size()) + 1);
        QCOMPARE(tekstu(tekst)->text(start, start + 9), u"rozdział "_s);
        // A word kept as designed but misspelt is heard spelled right, in place.
        slyszaneJako(tekst, {{u"głośności"_s, u"GŁOŚNOŚCI"_s}});
        QCOMPARE(linia(tekst, 0).trimmed(), u"Mediana GŁOŚNOŚCI: -18,2 LUFS"_s);
        QCOMPARE(tekstu(tekst)->text(8, 17), u"GŁOŚNOŚCI"_s);
        tekst->setFocus();
        tekst->moveCursor(QTextCursor::Start);
        const QList<std::pair<Qt::Key, int>> kroki{
            {Qt::Key_Down, 1}, {Qt::Key_Down, 2}, {Qt::Key_Up, 1}, {Qt::Key_Up, 0}};
        for (const auto& [klawisz, akapit] : kroki) {
            QTest::keyClick(tekst, klawisz);
            QCOMPARE(tekst->textCursor().blockNumber(), akapit);
            QVERIFY(tekst->textCursor().atBlockStart());
        }
    }

    // A help page, the first or one a link leads to, comes as a new
    // document: text changed in the focused text before its window's
    // activation reached a screen reader made it the focus unsaid, and the
    // window was never announced. The window says its page itself once
    // active, and again when brought up again.
    void helpPageComesWithoutTextChanges() {
        QTemporaryDir dir;
        QFile strona(dir.filePath(u"pomoc.html"_s));
        QVERIFY(strona.open(QIODevice::WriteOnly) && strona.write("<h1>Pomoc</h1><p>Akapit</p>"));
        strona.close();
        TFormPomoc pomoc;
        zmienioneTeksty.clear();
        pomoc.setWindowTitle(u"Pomoc programu"_s);
        pomoc.pokaz(strona.fileName());
        QCOMPARE(pomoc.TextPomoc->toPlainText(), u"Pomoc\nAkapit"_s);
        QTRY_COMPARE(powiedziane, QStringList{u"Pomoc programu: Pomoc"_s});
        pomoc.pokaz(strona.fileName());
        QTRY_COMPARE(powiedziane.size(), 2);
        pomoc.TextPomoc->wczytaj(dir.filePath(u"brak.html"_s));
        QVERIFY(pomoc.TextPomoc->toPlainText().startsWith(u"Nie znaleziono strony pomocy"_s));
        QVERIFY(!zmienioneTeksty.contains(pomoc.TextPomoc));
    }

    // An item that opens a submenu says so, a misspelt one is heard right;
    // other items and the menu bar's menus are as Qt makes them.
    void submenuIsSaidToBeOne() {
        QMenuBar pasek;
        QMenu* plik = pasek.addMenu(u"&Plik"_s);
        QAction* zwykla = plik->addAction(u"&Zapisz projekt"_s);
        QAction* odtworz = plik->addAction(u"Odtwórz z&akładke"_s);
        slyszaneJako(odtworz, {{u"zakładke"_s, u"zakładkę"_s}});
        QMenu* karta = plik->addMenu(u"&Kopiuj na kartę"_s);
        karta->addAction(u"Plik &audio..."_s);
        // Items are reached as a screen reader reaches them: through their menu.
        QAccessibleInterface* menuPlik = QAccessible::queryAccessibleInterface(plik);
        QAccessibleInterface* podmenu = menuPlik->child(2);
        QCOMPARE(podmenu->text(QAccessible::Name), u"Kopiuj na kartę, podmenu"_s);
        QCOMPARE(podmenu->role(), QAccessible::MenuItem);
        QVERIFY(podmenu->state().hasPopup);
        QCOMPARE(podmenu->childCount(), 1);
        QCOMPARE(podmenu->child(0)->object(), karta);
        QCOMPARE(podmenu->parent()->object(), plik);
        QCOMPARE(menuPlik->child(0)->object(), zwykla);
        QCOMPARE(menuPlik->child(0)->text(QAccessible::Name), u"Zapisz projekt"_s);
        QAccessibleInterface* slyszana = menuPlik->child(1);
        QCOMPARE(slyszana->text(QAccessible::Name), u"Odtwórz zakładkę"_s);
        QCOMPARE(slyszana->childCount(), 0);
        QVERIFY(!slyszana->state().hasPopup);
        QSignalSpy wybrano(odtworz, &QAction::triggered);
        slyszana->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(wybrano.size(), 1);
        QCOMPARE(QAccessible::queryAccessibleInterface(&pasek)->child(0)->text(QAccessible::Name),
                 u"Plik"_s);
    }

    // What a window says is heard alone: its announcer stands outside it.
    void announcerStandsOutsideItsWindow() {
        QDialog okno;
        okno.setWindowTitle(u"Scalanie plików"_s);
        oglos(&okno, u"Scalanie zakończone powodzeniem"_s);
        oglos(&okno, u"Scalanie zakończone powodzeniem"_s);
        QCOMPARE(powiedziane, QStringList(2, u"Scalanie zakończone powodzeniem"_s));
        LiniaKomunikatu* linia = ogloszenie(&okno);
        QCOMPARE(linia->parent(), &okno);
        QCOMPARE(linia->text(), u"Scalanie zakończone powodzeniem"_s);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(linia);
        QCOMPARE(iface->role(), QAccessible::Notification);
        QCOMPARE(iface->parent()->role(), QAccessible::Application);
        // Each thing said keeps its text while a screen reader is still to
        // read it, though seven more come after it.
        pokazane.clear();
        for (int i = 0; i < 8; ++i)
            oglos(&okno, QString::number(i));
        for (int i = 0; i < 8; ++i)
            QCOMPARE(pokazane.at(i)->text(QAccessible::Name), QString::number(i));
        QCOMPARE(pokazane.constFirst()->parent()->role(), QAccessible::Application);
    }

    // A text said while no window of the program is active (a dialog has
    // closed, its parent is not active yet) waits for one, keeps its order,
    // and waits no longer than the limit.
    void announcerWaitsForAnActiveWindow() {
        const auto przywroc =
            qScopeGuard([s = LiniaKomunikatu::slyszalne, l = LiniaKomunikatu::limitCzekaniaMs] {
                LiniaKomunikatu::slyszalne = s;
                LiniaKomunikatu::limitCzekaniaMs = l;
            });
        bool aktywne = false;
        LiniaKomunikatu::slyszalne = [&] { return aktywne; };
        QWidget okno;
        oglos(&okno, u"Książka wyeksportowana"_s);
        oglos(&okno, u"drugie"_s);
        QCOMPARE(ogloszenie(&okno)->text(), u"drugie"_s);
        emit qApp->focusWindowChanged(nullptr); // still no active window
        QCoreApplication::processEvents();
        QVERIFY(powiedziane.isEmpty());
        aktywne = true;
        emit qApp->focusWindowChanged(nullptr);
        QTRY_COMPARE(powiedziane, (QStringList{u"Książka wyeksportowana"_s, u"drugie"_s}));
        aktywne = false;
        oglos(&okno, u"trzecie"_s);
        aktywne = true;
        oglos(&okno, u"czwarte"_s);
        QCOMPARE(powiedziane.mid(2), (QStringList{u"trzecie"_s, u"czwarte"_s}));
        aktywne = false;
        LiniaKomunikatu::limitCzekaniaMs = 0;
        oglos(&okno, u"piąte"_s);
        QTRY_COMPARE(powiedziane.size(), 5);
    }

    // After a window's activation its focus and states wait: a result said
    // in the program's turn goes first, everything else keeps its order, and
    // what waits for a window that is gone is dropped.
    void activationWaitsForTheResult() {
        const auto przywroc =
            qScopeGuard([d = PierwszenstwoOgloszen::dalej, l = PierwszenstwoOgloszen::limitMs] {
                PierwszenstwoOgloszen::wypusc();
                PierwszenstwoOgloszen::dalej = d;
                PierwszenstwoOgloszen::limitMs = l;
            });
        QStringList wyslane;
        PierwszenstwoOgloszen::dalej = [&](QAccessibleEvent* e) {
            wyslane << e->object()->objectName() + u':' + QString::number(e->type());
        };
        QWidget okno;
        okno.setObjectName(u"okno"_s);
        auto* lista = new QListWidget(&okno);
        lista->setObjectName(u"lista"_s);
        auto* znikajace = new QWidget(&okno);
        znikajace->setObjectName(u"znikajace"_s);
        const auto przyjmij = [](QObject* o, QAccessible::Event typ) {
            QAccessibleEvent e(o, typ);
            PierwszenstwoOgloszen::przyjmij(&e);
        };
        const QString fokus = u":"_s + QString::number(QAccessible::Focus);
        const QString pokaz = u":"_s + QString::number(QAccessible::ObjectShow);

        PierwszenstwoOgloszen::wstrzymaj();
        przyjmij(lista, QAccessible::Focus);
        przyjmij(znikajace, QAccessible::Focus);
        przyjmij(lista, QAccessible::ObjectShow); // not held
        delete znikajace;
        QCOMPARE(wyslane, QStringList{u"lista"_s + pokaz});
        PierwszenstwoOgloszen::wypusc();
        QCOMPARE(wyslane, (QStringList{u"lista"_s + pokaz, u"lista"_s + fokus}));

        // A result said while the focus waits lets it go in the next turn;
        // without one the wait ends at the limit.
        wyslane.clear();
        PierwszenstwoOgloszen::limitMs = 60000;
        PierwszenstwoOgloszen::wstrzymaj();
        przyjmij(&okno, QAccessible::Focus);
        oglos(&okno, u"Dodano 3 pliki"_s);
        QVERIFY(wyslane.isEmpty());
        QTRY_COMPARE(wyslane, QStringList{u"okno"_s + fokus});
        QCOMPARE(powiedziane.constLast(), u"Dodano 3 pliki"_s);
        PierwszenstwoOgloszen::limitMs = 0;
        PierwszenstwoOgloszen::wstrzymaj();
        przyjmij(&okno, QAccessible::Focus);
        QTRY_VERIFY(!PierwszenstwoOgloszen::wstrzymane());
        QCOMPARE(wyslane.size(), 2);

        // Without an activation a focus change waits only for the turn's
        // end: what the command says in that turn goes before it.
        PierwszenstwoOgloszen::limitMs = 60000;
        przyjmij(lista, QAccessible::Focus);
        przyjmij(lista, QAccessible::ObjectShow);
        QCOMPARE(wyslane.constLast(), u"lista"_s + pokaz);
        QTRY_COMPARE(wyslane.constLast(), u"lista"_s + fokus);
    }

    // The key of a command that cannot act says why and leaves the focus
    // and the list as they were; an active command's key is its own.
    void keyOfACommandThatCannotActSaysWhy() {
        QDialog okno;
        auto* lista = new QListWidget(&okno);
        lista->addItems({u"a"_s, u"b"_s});
        auto* dol = new QAction(u"Przesuń w dó&ł"_s, &okno);
        dol->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Down));
        okno.addAction(dol);
        auto* zapisz = new QAction(u"&Zapisz"_s, &okno);
        zapisz->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
        okno.addAction(zapisz);
        int zapisano = 0;
        connect(zapisz, &QAction::triggered, [&] { ++zapisano; });
        mowPowodyNieczynnych(&okno, [](const QAction* a) {
            return QString(a->text()).remove(u'&') + u": jest już na końcu listy."_s;
        });
        (new QVBoxLayout(&okno))->addWidget(lista);
        okno.show();
        QApplication::setActiveWindow(&okno);
        QVERIFY(QTest::qWaitForWindowActive(&okno));
        lista->setFocus();
        lista->setCurrentRow(0);

        dol->setEnabled(false);
        QTest::keyClick(lista, Qt::Key_Down, Qt::AltModifier);
        QCOMPARE(powiedziane, QStringList{u"Przesuń w dół: jest już na końcu listy."_s});
        QCOMPARE(lista->currentRow(), 0);
        QVERIFY(lista->hasFocus());
        // An active command's key is not answered.
        QTest::keyClick(lista, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(zapisano, 1);
        QCOMPARE(powiedziane.size(), 1);
    }
};

QTEST_MAIN(TestUlatwienia)
#include "tstui_ulatwienia.moc"
