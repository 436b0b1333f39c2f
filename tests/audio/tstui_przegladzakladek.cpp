// The review window's keys: each reaches the review, plays what it should
// and says what the review says; searches run on a worker and come back.

#include "audio/ui/FormPrzegladZakladek.h"
#include "support/FakeSeams.h"
#include "widgets/Komunikaty.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace Qt::StringLiterals;

using Zakres = std::pair<qint64, qint64>;

class TestFormPrzegladZakladek : public QObject {
    Q_OBJECT
    FakeSeams seams;
    QStringList powiedziane;
    QList<std::pair<QString, Zakres>> odtworzone;
    int zatrzymane = 0;

    std::unique_ptr<TFormPrzegladZakladek> okno() {
        UslugiPrzegladu u;
        u.odtworz = [this](const QString& path, std::int64_t od, std::int64_t doMs) {
            odtworzone.append({path, {od, doMs}});
        };
        u.zatrzymaj = [this] { ++zatrzymane; };
        u.oglos = [this](const QString& t) { powiedziane.append(t); };
        u.dopasuj = [](const QString&, int p, int d, int, const std::atomic_bool*) {
            return ZakladkaDoPrzerw{p + 250, d - 100, true, true};
        };
        u.wykryj = [](const QString&, int, const std::atomic_bool*) {
            return std::optional<WykrytyTytul>();
        };
        auto o = std::make_unique<TFormPrzegladZakladek>(nullptr, *komunikaty, u);
        o->przygotuj({{u"/k/01.mp3"_s, {u"01.mp3"_s, 3000, 2000, 60'000, false}},
                      {u"/k/02.mp3"_s, {u"02.mp3"_s, 0, 1000, 60'000, false}}});
        return o;
    }
    std::unique_ptr<Komunikaty> komunikaty;

private slots:
    void init() {
        komunikaty = std::make_unique<Komunikaty>(seams, nullptr);
        powiedziane.clear();
        odtworzone.clear();
        zatrzymane = 0;
    }

    void keys_data() {
        QTest::addColumn<int>("klawisz");
        QTest::addColumn<int>("modyfikatory");
        QTest::addColumn<QString>("powiedziano"); // empty: nothing
        QTest::addColumn<QString>("plik");        // what plays next
        QTest::addColumn<Zakres>("zakres");
        const QString pierwszy = u"/k/01.mp3"_s;
        QTest::newRow("space replays")
            << int(Qt::Key_Space) << 0 << QString() << pierwszy << Zakres{3000, 5000};
        QTest::newRow("shift+space adds two seconds before")
            << int(Qt::Key_Space) << int(Qt::ShiftModifier) << QString() << pierwszy
            << Zakres{1000, 5000};
        QTest::newRow("right moves the start, then plays")
            << int(Qt::Key_Right) << 0 << u"Początek 3,1 s"_s << pierwszy << Zakres{3100, 5100};
        QTest::newRow("ctrl+left by a second")
            << int(Qt::Key_Left) << int(Qt::ControlModifier) << u"Początek 2 s"_s << pierwszy
            << Zakres{2000, 4000};
        QTest::newRow("down shortens")
            << int(Qt::Key_Down) << 0 << u"Długość 1,9 s"_s << pierwszy << Zakres{3000, 4900};
        QTest::newRow("enter accepts and goes on")
            << int(Qt::Key_Return) << 0
            << u"Zatwierdzona. Pozycja 2 z 2: 02.mp3, zakładka od 0 s, długość 1 s, 0 s z 1 min"_s
            << u"/k/02.mp3"_s << Zakres{0, 1000};
        QTest::newRow("page down skips")
            << int(Qt::Key_PageDown) << 0
            << u"Pominięta. Pozycja 2 z 2: 02.mp3, zakładka od 0 s, długość 1 s, 0 s z 1 min"_s
            << u"/k/02.mp3"_s << Zakres{0, 1000};
        QTest::newRow("p snaps on a worker")
            << int(Qt::Key_P) << 0
            << u"Dopasowano do przerw: zakładka od 3,2 s, długość 1,9 s, 3,2 s z 1 min"_s
            << pierwszy << Zakres{3250, 5150};
    }
    void keys() {
        QFETCH(int, klawisz);
        QFETCH(int, modyfikatory);
        QFETCH(QString, powiedziano);
        QFETCH(QString, plik);
        QFETCH(Zakres, zakres);
        const auto o = okno();
        QTest::keyClick(o->EditPrzeglad, Qt::Key(klawisz), Qt::KeyboardModifiers(modyfikatory));
        if (!powiedziano.isEmpty())
            QTRY_COMPARE(powiedziane.value(powiedziane.size() - 1), powiedziano);
        QTRY_VERIFY(!odtworzone.isEmpty());
        QCOMPARE(odtworzone.constLast(), (std::pair{plik, zakres}));
        QCOMPARE(o->EditPrzeglad->text(), o->przeglad().tekstPozycji());
    }

    // T with no title found says so and changes nothing; Esc ends the
    // review and stops the player.
    void detectionAndEnd() {
        const auto o = okno();
        QTest::keyClick(o->EditPrzeglad, Qt::Key_T);
        QTRY_VERIFY(!powiedziane.isEmpty());
        QVERIFY(powiedziane.constLast().startsWith(u"Nie znaleziono tytułu"_s));
        QCOMPARE(o->przeglad().pozycja().poczatekMs, 3000);
        o->show();
        QTest::keyClick(o->EditPrzeglad, Qt::Key_Escape);
        QVERIFY(!o->isVisible());
        QVERIFY(zatrzymane > 0);
        QVERIFY(o->przeglad().zatwierdzone().isEmpty());
        QVERIFY(!o->EditPrzeglad->accessibleName().isEmpty());
        for (QPushButton* b : o->findChildren<QPushButton*>())
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
    }
};

QTEST_MAIN(TestFormPrzegladZakladek)
#include "tstui_przegladzakladek.moc"
