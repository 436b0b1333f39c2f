// The layout of a joined book: each entry's bytes and time in the book, the
// first file counted as on its own and every later one with all its frames,
// durations summed exactly and rounded once.

#include "merge/UkladKsiazki.h"

#include <QTest>

namespace {
// An entry's walk: units per ms (0: none), its time on its own and inside a
// book, and its ms.
struct Przejscie {
    std::int64_t jednostek, czas, wKsiazce, ms, bajty;
};
PomiarMp3 pomiar(const Przejscie& p) {
    PomiarMp3 m;
    m.jednostekNaMs = p.jednostek;
    m.czas = p.czas;
    m.czasWKsiazce = p.wKsiazce;
    m.dlugoscMs = p.ms;
    return m;
}
} // namespace

using namespace Qt::StringLiterals;

using Przejscia = QList<Przejscie>;
using Liczby = QList<qint64>;
Q_DECLARE_METATYPE(Przejscia)

class TestUkladKsiazki : public QObject {
    Q_OBJECT
private slots:
    void czasIBajty_data() {
        QTest::addColumn<Przejscia>("wpisy");
        QTest::addColumn<Liczby>("czasOd"); // each entry's start in the book
        QTest::addColumn<qint64>("ms");     // the book's duration

        // The first file's information frame is the book's header; a later
        // one's plays (26 ms of 1152 samples at 44.1 kHz = 1152 units here).
        QTest::newRow("first as on its own, later with every frame")
            << Przejscia{{44, 44000, 45152, 1000, 100},
                         {44, 44000, 45152, 1000, 200},
                         {44, 22000, 23152, 500, 300}}
            << Liczby{0, 44000, 89152} << qint64{(44000 + 45152 + 23152 + 22) / 44};
        // Three thirds of a ms each: rounded once, not three times to 0.
        QTest::newRow("rounded once")
            << Przejscia{{3, 1, 1, 0, 1}, {3, 1, 1, 0, 1}, {3, 1, 1, 0, 1}} << Liczby{0, 1, 2}
            << qint64{1};
        // A walk that told no units, or other ones, counts its whole ms.
        QTest::newRow("no units or other units in ms")
            << Przejscia{{44, 440, 440, 10, 1}, {0, 0, 0, 7, 1}, {10, 50, 60, 5, 1}}
            << Liczby{0, 0, 7} << qint64{10 + 7 + 5};
    }
    void czasIBajty() {
        QFETCH(Przejscia, wpisy);
        QFETCH(Liczby, czasOd);
        QFETCH(qint64, ms);
        UkladKsiazki uklad;
        std::int64_t bajty = 0;
        for (const Przejscie& p : std::as_const(wpisy))
            uklad.dodaj(pomiar(p), p.bajty);
        for (qsizetype i = 0; i < wpisy.size(); ++i) {
            const UkladKsiazki::Wpis& w = uklad.wpisy().at(i);
            QCOMPARE(w.czasOd, czasOd.at(i));
            QCOMPARE(w.bajtOd, bajty);
            bajty += wpisy.at(i).bajty;
        }
        QCOMPARE(uklad.rozmiar(), bajty);
        QCOMPARE(uklad.czasMs(), ms);
    }

    // The index rows keep each entry's bytes and its placed bookmark, which
    // the estimate leaves out.
    void indeks() {
        UkladKsiazki uklad;
        const PolozenieZakladki z{10, 20, false};
        uklad.dodaj(pomiar({44, 44, 44, 1, 100}), 100, z);
        uklad.dodaj(pomiar({44, 44, 44, 1, 50}), 50);
        const ListaPozycji pozycje{{u"1"_s, u"a.mp3"_s, u"5"_s, u"6"_s, u"/k/"_s},
                                   {u"2"_s, u"b.mp3"_s, u"0"_s, u"0"_s, u"/k/"_s}};
        for (const bool szacowany : {false, true}) {
            const QList<WpisIndeksu> w = uklad.indeks(pozycje, szacowany);
            QCOMPARE(w.size(), 2);
            QCOMPARE(w.at(0).rozmiar, 100);
            QCOMPARE(w.at(1).plik, u"/k/b.mp3"_s);
            QCOMPARE(w.at(0).dokladnie.has_value(), !szacowany);
            QVERIFY(!w.at(1).dokladnie);
        }
    }
};

QTEST_GUILESS_MAIN(TestUkladKsiazki)
#include "tst_ukladksiazki.moc"
