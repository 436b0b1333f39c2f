// Editing in the main window as a user does it: the title, the keys that
// move rows and undo, the bookmark editor as a step, dragging and dropping
// on the list, and what the window remembers for the next run.

#include "app/MainForm.h"
#include "audio/ui/FormUstawZakladke.h"
#include "base/Paths.h"
#include "project/ModelProjektu.h"
#include "settings/SettingsStore.h"
#include "support/FakeSeams.h"
#include "support/FileBytes.h"
#include "support/Lista.h"
#include "support/Mp3Maker.h"
#include "support/Okna.h"

#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString nazwy(const TMainForm& form) {
    QStringList wynik;
    for (const PozycjaProjektu& p : form.projekt().pozycje())
        wynik.append(QFileInfo(p.NazwaPliku).completeBaseName());
    return wynik.join(u' ');
}

} // namespace

class TestEdycja : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<FakeSeams> m_seams;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<TMainForm> m_form;

    QString sciezka(const QString& nazwa) const { return m_dir->filePath(nazwa); }
    QString mp3(const QString& nazwa) const {
        Mp3Format fmt;
        fmt.durationMs = 2000;
        return makeMp3(sciezka(nazwa), fmt);
    }
    std::unique_ptr<TMainForm> okno() const {
        auto form = std::make_unique<TMainForm>(Uslugi(*m_seams, *m_store, m_dir->path()));
        form->utworzOkna();
        return form;
    }
    // Rows of the letters, their files there, unchanged.
    void wiersze(const QString& litery) {
        for (QChar c : litery) {
            zapiszBajty(sciezka(QString(c) + u".mp3"_s), "x");
            const int row = m_form->projekt().rowCount();
            m_form->projekt().wstaw(row, {{QString(), QString(c) + u".mp3"_s, u"0"_s, u"5000"_s,
                                           m_dir->path() + u'/'}});
        }
        m_form->projekt().ustawProjektZmieniony(false);
    }
    void zaznacz(const QList<int>& rows, int current) {
        QTreeView* l = lista(*m_form);
        l->clearSelection();
        l->selectionModel()->setCurrentIndex(l->model()->index(current, 0),
                                             QItemSelectionModel::NoUpdate);
        for (int r : rows)
            zaznaczWiersz(l, r);
    }
    QList<int> zaznaczone() const {
        QList<int> rows;
        for (const QModelIndex& i : lista(*m_form)->selectionModel()->selectedRows())
            rows.append(i.row());
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    void klawisz(Qt::Key key, Qt::KeyboardModifiers mods) {
        QTest::keyClick(lista(*m_form), key, mods);
    }
    // A drop on the list at the upper (or lower) half of a row, or below
    // the rows for -1. The drag enters and moves over the list first, as a
    // real one does.
    void upusc(QMimeData* data, int row, bool dolnaPolowa = false) {
        QTreeView* l = lista(*m_form);
        QPoint pos(20, l->viewport()->height() - 2);
        if (row >= 0) {
            const QRect r = l->visualRect(l->model()->index(row, 0));
            pos = QPoint(r.center().x(), dolnaPolowa ? r.bottom() - 1 : r.top() + 1);
        }
        const Qt::DropActions akcje = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(pos, akcje, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(l->viewport(), &enter);
        QDragMoveEvent move(pos, akcje, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(l->viewport(), &move);
        QDropEvent drop(pos, akcje, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(l->viewport(), &drop);
        QVERIFY(drop.isAccepted());
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_seams = std::make_unique<FakeSeams>();
        m_store = std::make_unique<SettingsStore>(m_dir->filePath(u"conf"_s));
        m_form = okno();
        m_seams->messages.clear(); // the first-run notice
        m_form->show();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    }
    void cleanup() {
        m_form->projekt().ustawProjektZmieniony(false); // no close question on the way out
        m_form.reset();
        m_store.reset();
        m_seams.reset();
        m_dir.reset();
    }

    // The title names the project's file and shows the mark while there are
    // unsaved changes; undo back to the saved state clears it.
    void titleTellsNameAndChanges() {
        QCOMPARE(m_form->windowTitle(), u"bez nazwy[*] – SonvekManager"_s);
        QVERIFY(!m_form->isWindowModified());
        m_seams->openAnswers = {{mp3(u"r1.mp3"_s)}};
        akcja(*m_form, "Dodaj2")->trigger();
        QVERIFY(m_form->isWindowModified());
        QCOMPARE(akcja(*m_form, "Cofnij1")->text(), u"&Cofnij: dodaj pozycję 1"_s);
        m_seams->saveAnswers = {sciezka(u"Pan Tadeusz.xml"_s)};
        akcja(*m_form, "Zapiszprojektjako1")->trigger();
        QCOMPARE(m_form->windowTitle(), u"Pan Tadeusz.xml[*] – SonvekManager"_s);
        QVERIFY(!m_form->isWindowModified());
        klawisz(Qt::Key_F8, Qt::NoModifier);
        QVERIFY(m_form->isWindowModified());
        klawisz(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!m_form->isWindowModified());
        QCOMPARE(akcja(*m_form, "Ponow1")->text(), u"&Ponów: usuń pozycję 1"_s);
        QCOMPARE(kontrolka<QLabel>(*m_form, "Ogloszenie")->text(), u"Cofnięto: usuń pozycję 1"_s);
        akcja(*m_form, "Nowyprojekt1")->trigger();
        QCOMPARE(m_form->windowTitle(), u"bez nazwy[*] – SonvekManager"_s);
        QVERIFY(!m_form->isWindowModified());
        // An accidental "Nowy projekt" is not final.
        klawisz(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(nazwy(*m_form), u"r1"_s);
        QCOMPARE(m_form->windowTitle(), u"Pan Tadeusz.xml[*] – SonvekManager"_s);
    }

    // A scattered selection is built as in any list (Ctrl+arrows move the
    // current row alone, Ctrl+Space adds it, nothing plays); Alt+Up and
    // Alt+Down move it one place; it stays selected and current, and the
    // keys of undo and redo take it back and forth. A move that cannot be
    // made is disabled.
    void keysMoveUndoAndRedo_data() {
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<QString>("po");
        QTest::addColumn<QList<int>>("zaznaczonePo");
        QTest::addColumn<QString>("cofnij");
        QTest::newRow("up") << Qt::Key_Up << u"b a d c e"_s << QList<int>{0, 2}
                            << u"&Cofnij: przesuń w górę 2 pozycje"_s;
        QTest::newRow("down") << Qt::Key_Down << u"a c b e d"_s << QList<int>{2, 4}
                              << u"&Cofnij: przesuń w dół 2 pozycje"_s;
    }
    void keysMoveUndoAndRedo() {
        QFETCH(Qt::Key, key);
        QFETCH(QString, po);
        QFETCH(QList<int>, zaznaczonePo);
        QFETCH(QString, cofnij);
        wiersze(u"abcde"_s);
        zaznacz({1}, 1);
        klawisz(Qt::Key_Down, Qt::ControlModifier);
        klawisz(Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(zaznaczone(), QList<int>{1});
        klawisz(Qt::Key_Space, Qt::ControlModifier);
        QCOMPARE(zaznaczone(), (QList<int>{1, 3}));
        QCOMPARE(m_form->tekstStatusu(), QString());
        klawisz(key, Qt::AltModifier);
        QCOMPARE(nazwy(*m_form), po);
        QCOMPARE(zaznaczone(), zaznaczonePo);
        QCOMPARE(lista(*m_form)->currentIndex().row(), zaznaczonePo.last());
        QCOMPARE(lista(*m_form)->currentIndex().data().toString(), u"d.mp3"_s);
        QCOMPARE(kontrolka<QLabel>(*m_form, "Ogloszenie")->text(),
                 u"d.mp3: pozycja %1 z 5"_s.arg(zaznaczonePo.last() + 1));
        QVERIFY(m_form->isWindowModified());
        QCOMPARE(akcja(*m_form, "Cofnij1")->text(), cofnij);
        // At the edge that way is closed, the other stays open.
        QCOMPARE(akcja(*m_form, "PrzesunWGore1")->isEnabled(), key == Qt::Key_Down);
        QCOMPARE(akcja(*m_form, "PrzesunWDol1")->isEnabled(), key == Qt::Key_Up);
        klawisz(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(nazwy(*m_form), u"a b c d e"_s);
        QCOMPARE(zaznaczone(), (QList<int>{1, 3}));
        QVERIFY(!m_form->isWindowModified());
        klawisz(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(nazwy(*m_form), po);
        klawisz(Qt::Key_Z, Qt::ControlModifier);
        klawisz(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(nazwy(*m_form), po);
        QCOMPARE(zaznaczone(), zaznaczonePo);
    }

    // OK in the bookmark editor is a step of its own.
    void bookmarkEditorOkIsAStep() {
        wiersze(u"ab"_s);
        m_form->fokusNaLiscie(1);
        m_seams->onExec = [](QDialog* d) {
            auto* e = static_cast<TFormUstawZakladke*>(d);
            d->show();
            e->ButtonPplus1->click();
            e->ButtonOK->click();
            return d->result();
        };
        akcja(*m_form, "UstawZakladke1")->trigger();
        QCOMPARE(m_form->projekt().wiersz(1).Poczatek, u"1000"_s);
        QCOMPARE(akcja(*m_form, "Cofnij1")->text(), u"&Cofnij: zmień zakładkę pozycji 2"_s);
        akcja(*m_form, "Cofnij1")->trigger();
        QCOMPARE(m_form->projekt().wiersz(1).Poczatek, u"0"_s);
        QVERIFY(!m_form->isWindowModified());
    }

    // Rows dragged within the list land where they are dropped, as one step.
    void draggedRowsMoveAsOneStep() {
        wiersze(u"abcde"_s);
        zaznacz({0, 1}, 0);
        const QModelIndexList rows = lista(*m_form)->selectionModel()->selectedRows();
        upusc(m_form->projekt().mimeData(rows), 3, true);
        QTRY_COMPARE(nazwy(*m_form), u"c d a b e"_s);
        QCOMPARE(zaznaczone(), (QList<int>{2, 3}));
        QCOMPARE(akcja(*m_form, "Cofnij1")->text(), u"&Cofnij: przeciągnij 2 pozycje"_s);
        akcja(*m_form, "Cofnij1")->trigger();
        QCOMPARE(nazwy(*m_form), u"a b c d e"_s);
        QVERIFY(!akcja(*m_form, "Cofnij1")->isEnabled());
    }

    // Files from a file manager go in where they are dropped: before the
    // row under the drop, or after the rows below them. What the list does
    // with them is the session's business.
    void droppedFiles_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("po");
        QTest::newRow("onto the second row") << 1 << u"a x y b"_s;
        QTest::newRow("below the rows") << -1 << u"a b x y"_s;
    }
    void droppedFiles() {
        QFETCH(int, row);
        QFETCH(QString, po);
        wiersze(u"ab"_s);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(mp3(u"y.mp3"_s)), QUrl::fromLocalFile(mp3(u"x.mp3"_s))});
        upusc(&data, row);
        QTRY_COMPARE(m_form->projekt().rowCount(), 4);
        QCOMPARE(nazwy(*m_form), po);
    }

    // Recent projects, the dialogs' folders and the window's size come back
    // in the next run; a project gone since is offered disabled.
    void rememberedForTheNextRun() {
        ustawKonfiguracje(*m_form, u"/media/karta"_s, m_dir->path());
        wiersze(u"a"_s);
        QDir().mkpath(sciezka(u"ksiazki"_s));
        const QString projekt = sciezka(u"ksiazki/B&W.xml"_s);
        m_seams->saveAnswers = {projekt};
        akcja(*m_form, "Zapiszprojektjako1")->trigger();
        m_seams->openAnswers = {{mp3(u"r1.mp3"_s)}};
        akcja(*m_form, "Dodaj2")->trigger();
        m_form->resize(612, 401);
        m_form->projekt().ustawProjektZmieniony(false);
        m_form->close();

        auto drugie = okno();
        QCOMPARE(drugie->size(), QSize(612, 401));
        QAction* pierwszy = akcja(*drugie, "Ostatni1");
        QCOMPARE(pierwszy->text(), u"&1 "_s + QString(projekt).replace(u"&"_s, u"&&"_s));
        QVERIFY(pierwszy->isEnabled());
        QVERIFY(!akcja(*drugie, "Ostatni2")->isVisible());
        pierwszy->trigger();
        QCOMPARE(drugie->projekt().rowCount(), 1);
        akcja(*drugie, "OtworzProjekt1")->trigger();
        QCOMPARE(m_seams->openRequests.constLast().folder, ExSciezka(projekt));
        akcja(*drugie, "Dodaj2")->trigger();
        QCOMPARE(m_seams->openRequests.constLast().folder, m_dir->path() + u'/');

        QFile::remove(projekt);
        emit kontrolka<QMenu>(*drugie, "Ostatnieprojekty1")->aboutToShow();
        QVERIFY(!pierwszy->isEnabled());
        drugie->projekt().ustawProjektZmieniony(false);
    }
};

QTEST_MAIN(TestEdycja)
#include "tstui_edycja.moc"
