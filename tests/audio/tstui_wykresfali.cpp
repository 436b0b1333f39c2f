// The picture of a file's beginning: its description for screen readers,
// dragging the range's edges with the mouse, and what it draws where.
#include "audio/ui/WykresFali.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// 60 s of windows: quiet, with one loud second at 30 s.
ObrazDzwieku minuta() {
    ObrazDzwieku o;
    o.okna.resize(6000, OknoDzwieku{-0.01f, 0.01f, 0.005f});
    for (std::size_t i = 3000; i < 3100; ++i)
        o.okna[i] = {-0.5f, 0.5f, 0.3f};
    return o;
}

} // namespace

class TestWykresFali : public QObject {
    Q_OBJECT

private slots:
    void describesRange_data() {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("length");
        QTest::addColumn<qint64>("file");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds and minutes")
            << 2000LL << 5300LL << 83400LL << u"Zakładka od 2,0 s do 7,3 s, plik 1:23,4"_s;
        QTest::newRow("rounded to tenths, carried into the minute")
            << 1249LL << 51LL << 59960LL << u"Zakładka od 1,2 s do 1,3 s, plik 1:00,0"_s;
        QTest::newRow("over an hour")
            << 0LL << 75300LL << 3723400LL << u"Zakładka od 0,0 s do 75,3 s, plik 1:02:03,4"_s;
        QTest::newRow("negative start from a project")
            << -500LL << 1000LL << 0LL << u"Zakładka od -0,5 s do 0,5 s"_s;
    }
    void describesRange() {
        QFETCH(qint64, start);
        QFETCH(qint64, length);
        QFETCH(qint64, file);
        QFETCH(QString, text);
        WykresFali w;
        w.ustawObraz(minuta(), file);
        w.ustawZakladke(start, length);
        QCOMPARE(w.accessibleDescription(), text);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&w);
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::Graphic);
        QCOMPARE(a->text(QAccessible::Name), u"Obraz dźwięku"_s);
        QCOMPARE(w.focusPolicy(), Qt::NoFocus);
    }

    // 600 px over 60 s: 100 ms a pixel; the range is 10-20 s (x 100-200).
    void dragsEdges_data() {
        QTest::addColumn<int>("pressX");
        QTest::addColumn<int>("releaseX");
        QTest::addColumn<qint64>("start");
        QTest::addColumn<qint64>("length");
        QTest::newRow("start edge left, end stays") << 102 << 50 << 5000LL << 15000LL;
        QTest::newRow("end edge right") << 197 << 300 << 10000LL << 20000LL;
        QTest::newRow("start edge stops at the end") << 100 << 400 << 20000LL << 0LL;
        QTest::newRow("end edge stops at the start") << 200 << 20 << 10000LL << 0LL;
        QTest::newRow("click moves the nearer edge") << 520 << 520 << 10000LL << 42000LL;
        QTest::newRow("not beyond the picture") << 190 << 900 << 10000LL << 50000LL;
    }
    void dragsEdges() {
        QFETCH(int, pressX);
        QFETCH(int, releaseX);
        QFETCH(qint64, start);
        QFETCH(qint64, length);
        WykresFali w;
        w.resize(600, 80);
        w.ustawObraz(minuta(), 60000);
        w.ustawZakladke(10000, 10000);
        QSignalSpy starts(&w, &WykresFali::poczatekZmieniony);
        QSignalSpy lengths(&w, &WykresFali::dlugoscZmieniona);
        QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(pressX, 40));
        QTest::mouseMove(&w, QPoint((pressX + releaseX) / 2, 40));
        QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(releaseX, 40));
        QCOMPARE(w.poczatek(), start);
        QCOMPARE(w.dlugosc(), length);
        // The editor's fields follow the signals: the last ones carry the result.
        QCOMPARE(starts.isEmpty() ? 10000LL : starts.last().at(0).toLongLong(), start);
        QCOMPARE(lengths.last().at(0).toLongLong(), length);
        QCOMPARE(w.accessibleDescription(), WykresFali::opis(start, length, 60000));
    }

    void drawsRangeEnvelopeAndCursor() {
        WykresFali w;
        w.resize(600, 80);
        w.ustawObraz(minuta(), 60000);
        w.ustawZakladke(10000, 10000);
        w.ustawKursor(45000);
        const QImage img = w.grab().toImage();
        const QColor background = w.palette().color(QPalette::Base);
        QCOMPARE(img.pixelColor(400, 2), background);
        QVERIFY(img.pixelColor(150, 2) != background); // shaded range
        QVERIFY(img.pixelColor(450, 2) != background); // cursor
        // The loud second reaches near the top, scaled to the height; the
        // quiet rest stays near the middle.
        QVERIFY(img.pixelColor(305, 8) != background);
        QCOMPARE(img.pixelColor(400, 20), background);
    }
};

QTEST_MAIN(TestWykresFali)
#include "tstui_wykresfali.moc"
