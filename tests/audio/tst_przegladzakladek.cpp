// The review of bookmarks by ear: moves kept inside the file, the walk
// through the entries, what is accepted and what is said.

#include "audio/PrzegladZakladek.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Zakres = std::pair<std::int64_t, std::int64_t>;

// Three entries: a 12 min 5 s file, a 10 s file, one that cannot be read.
QList<ZakladkaPrzegladu> trzy() {
    return {{u"01.mp3"_s, 1200, 3400, 725'400, false},
            {u"Rozdział drugi"_s, 9000, 500, 10'000, true},
            {u"03.mp3"_s, 0, 1000, std::nullopt, false}};
}

// Runs the keys: "p+100" moves the start, "d-1000" the length, "ok",
// "skip", "back"; returns what the last one said.
QString wykonaj(PrzegladZakladek& p, const QStringList& klawisze) {
    QString tekst;
    for (const QString& k : klawisze) {
        if (k.startsWith(u"p"))
            tekst = p.przesunPoczatek(k.mid(1).toLongLong());
        else if (k.startsWith(u"d"))
            tekst = p.zmienDlugosc(k.mid(1).toLongLong());
        else if (k == u"ok")
            tekst = p.zatwierdz();
        else if (k == u"skip")
            tekst = p.pomin();
        else if (k == u"back")
            tekst = p.wstecz();
    }
    return tekst;
}

} // namespace

class TestPrzegladZakladek : public QObject {
    Q_OBJECT
private slots:
    void arrivalSaysWhereTheBookmarkIs() {
        PrzegladZakladek p(trzy());
        QCOMPARE(p.tekstPozycji(), u"Pozycja 1 z 3: 01.mp3, zakładka od 1,2 s, długość 3,4 s, "
                                   "1,2 s z 12 min 5 s"_s);
        QCOMPARE(p.pomin(), u"Pominięta. Pozycja 2 z 3: Rozdział drugi, zakładka od 9 s, długość "
                            "0,5 s, 9 s z 10 s, sprawdzona"_s);
        QCOMPARE(p.pomin(), u"Pominięta. Pozycja 3 z 3: 03.mp3, zakładka od 0 s, długość 1 s, "
                            "długość pliku nieznana"_s);
        QCOMPARE(p.zakresZPrzedbiegiem(), Zakres(0, 1000));
    }

    // Each row: the keys, then the entry in hand, its start and length, and
    // the last thing said.
    void moves_data() {
        QTest::addColumn<QStringList>("klawisze");
        QTest::addColumn<int>("biezaca");
        QTest::addColumn<qint64>("poczatek");
        QTest::addColumn<qint64>("dlugosc");
        QTest::addColumn<QString>("powiedziano");
        QTest::newRow("steps add up") << QStringList{u"p+100"_s, u"p+1000"_s, u"d-100"_s} << 0
                                      << 2300LL << 3300LL << u"Długość 3,3 s"_s;
        QTest::newRow("start stops at 0") << QStringList{u"p-1000"_s, u"p-1000"_s} << 0 << 0LL
                                          << 3400LL << u"Początek 0 s, początek pliku"_s;
        QTest::newRow("length stops at 0")
            << QStringList{u"d-1000"_s, u"d-1000"_s, u"d-1000"_s, u"d-1000"_s} << 0 << 1200LL << 0LL
            << u"Długość 0 s"_s;
        QTest::newRow("length stops at the file's end")
            << QStringList{u"skip"_s, u"d+1000"_s} << 1 << 9000LL << 1000LL
            << u"Długość 1 s, do końca pliku"_s;
        QTest::newRow("start at the end shortens the length")
            << QStringList{u"skip"_s, u"p+100"_s, u"p+1000"_s} << 1 << 10'000LL << 0LL
            << u"Początek 10 s, koniec pliku, długość 0 s"_s;
        QTest::newRow("unknown length bounds only at 0")
            << QStringList{u"skip"_s, u"skip"_s, u"p+1000000"_s} << 2 << 1'000'000LL << 1000LL
            << u"Początek 16 min 40 s"_s;
        QTest::newRow("page down stays at the last")
            << QStringList{u"skip"_s, u"skip"_s, u"skip"_s} << 2 << 0LL << 1000LL
            << u"To ostatnia pozycja. Enter zatwierdza, Escape kończy przegląd."_s;
        QTest::newRow("page up at the first")
            << QStringList{u"back"_s} << 0 << 1200LL << 3400LL
            << u"To pierwsza pozycja. Pozycja 1 z 3: 01.mp3, zakładka od 1,2 s, długość 3,4 s, "
               "1,2 s z 12 min 5 s"_s;
        QTest::newRow("moves are kept when coming back")
            << QStringList{u"p+100"_s, u"skip"_s, u"back"_s} << 0 << 1300LL << 3400LL
            << u"Pozycja 1 z 3: 01.mp3, zakładka od 1,3 s, długość 3,4 s, 1,3 s z 12 min 5 s"_s;
        QTest::newRow("a skipped change is said to be lost")
            << QStringList{u"p+100"_s, u"skip"_s} << 1 << 9000LL << 500LL
            << u"Pominięta, zmiana zakładki nie zostanie zapisana. Pozycja 2 z 3: Rozdział "
               "drugi, zakładka od 9 s, długość 0,5 s, 9 s z 10 s, sprawdzona"_s;
        QTest::newRow("accepting the last ends the review")
            << QStringList{u"skip"_s, u"skip"_s, u"ok"_s} << 3 << -1LL << -1LL
            << u"Zatwierdzona. Przegląd zakończony. Zatwierdzone: 1 z 3, zmienione zakładki: "
               "0."_s;
    }
    void moves() {
        QFETCH(QStringList, klawisze);
        QFETCH(int, biezaca);
        QFETCH(qint64, poczatek);
        QFETCH(qint64, dlugosc);
        QFETCH(QString, powiedziano);
        PrzegladZakladek p(trzy());
        QCOMPARE(wykonaj(p, klawisze), powiedziano);
        QCOMPARE(p.biezaca(), biezaca);
        if (!p.zakonczony()) {
            QCOMPARE(p.pozycja().poczatekMs, poczatek);
            QCOMPARE(p.pozycja().dlugoscMs, dlugosc);
        }
    }

    // What is written back: each accepted entry with the bookmark it was
    // accepted with, not a later unaccepted move.
    void acceptedBookmarks() {
        PrzegladZakladek p(trzy());
        wykonaj(p, {u"p+100"_s, u"ok"_s, u"skip"_s, u"ok"_s, u"back"_s, u"d+1000"_s});
        const auto lista = p.zatwierdzone();
        QCOMPARE(lista.size(), 2);
        QCOMPARE(lista.at(0).first, 0);
        QCOMPARE(lista.at(0).second.poczatekMs, 1300);
        QCOMPARE(lista.at(0).second.dlugoscMs, 3400);
        QCOMPARE(lista.at(1).first, 2);
        QCOMPARE(lista.at(1).second.dlugoscMs, 1000);
        QCOMPARE(p.pozycja().dlugoscMs, 2000);
        QVERIFY(p.tekstPozycji().endsWith(u", zatwierdzona"_s));
        QCOMPARE(p.podsumowanie(),
                 u"Przegląd zakończony. Zatwierdzone: 2 z 3, zmienione zakładki: 1."_s);
    }

    // A bookmark found by snapping or detection is kept inside the file too.
    void foundBookmarkIsBounded() {
        PrzegladZakladek p(trzy());
        p.pomin();
        QCOMPARE(p.ustaw(9500, 2000, u"Dopasowano do przerw"_s),
                 u"Dopasowano do przerw: zakładka od 9,5 s, długość 0,5 s, 9,5 s z 10 s"_s);
        QCOMPARE(p.zakres(), Zakres(9500, 10'000));
        QCOMPARE(p.zakresZPrzedbiegiem(), Zakres(7500, 10'000));
    }
};

QTEST_GUILESS_MAIN(TestPrzegladZakladek)
#include "tst_przegladzakladek.moc"
