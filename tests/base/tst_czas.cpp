#include "base/Czas.h"

#include <QTest>

class TestCzas : public QObject {
    Q_OBJECT
private slots:
    void lengths_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("godzinowy");
        QTest::addColumn<QString>("trwanie");
        QTest::addColumn<QString>("pozostaly");
        auto row = [](const char* name, qint64 ms, const char* g, const char* t, const char* p) {
            QTest::newRow(name) << ms << QString::fromUtf8(g) << QString::fromUtf8(t)
                                << QString::fromUtf8(p);
        };
        row("nothing", 0, "0:00:00", "0:00", "mniej niż minuta");
        row("negative", -5000, "0:00:00", "0:00", "mniej niż minuta");
        row("milliseconds dropped", 59'999, "0:00:59", "0:59", "około 1 min");
        row("half a minute rounds up", 90'000, "0:01:30", "1:30", "około 2 min");
        row("just under an hour", 3'599'000, "0:59:59", "59:59", "około 1 h");
        row("hours and minutes", 3'900'000, "1:05:00", "1:05:00", "około 1 h 5 min");
        row("past a day", 100'000'000, "27:46:40", "27:46:40", "około 27 h 47 min");
    }
    void lengths() {
        QFETCH(qint64, ms);
        QFETCH(QString, godzinowy);
        QFETCH(QString, trwanie);
        QFETCH(QString, pozostaly);
        QCOMPARE(czasGodzinowy(ms), godzinowy);
        QCOMPARE(czasTrwania(ms), trwanie);
        QCOMPARE(czasPozostaly(ms), pozostaly);
    }

    // What a screen reader says: tenths below a minute; from a minute on
    // tenths only when exact, so a move by 0.1 s is still heard.
    void spoken_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<bool>("dokladnie");
        QTest::addColumn<QString>("tekst");
        QTest::newRow("zero") << 0LL << true << u"0 s"_qs;
        QTest::newRow("tenths") << 3400LL << true << u"3,4 s"_qs;
        QTest::newRow("hundredths cut") << 29'640LL << true << u"29,6 s"_qs;
        QTest::newRow("under a tenth") << 40LL << true << u"0 s"_qs;
        QTest::newRow("short length keeps tenths") << 42'560LL << false << u"42,5 s"_qs;
        QTest::newRow("minutes, no zero seconds") << 120'000LL << true << u"2 min"_qs;
        QTest::newRow("long length, whole seconds") << 725'400LL << false << u"12 min 5 s"_qs;
        QTest::newRow("long moment, tenths") << 725'400LL << true << u"12 min 5,4 s"_qs;
        QTest::newRow("a tenth past the minute") << 60'100LL << true << u"1 min 0,1 s"_qs;
        QTest::newRow("hours") << 3'723'500LL << true << u"1 h 2 min 3,5 s"_qs;
        QTest::newRow("negative") << -5LL << true << u"0 s"_qs;
    }
    void spoken() {
        QFETCH(qint64, ms);
        QFETCH(bool, dokladnie);
        QFETCH(QString, tekst);
        QCOMPARE(czasMowiony(ms, dokladnie), tekst);
    }

    // The estimate waits for some work and some time, then follows the pace.
    void progressSaysWhatIsLeft_data() {
        QTest::addColumn<qint64>("zrobione");
        QTest::addColumn<qint64>("razem");
        QTest::addColumn<qint64>("uplynelo");
        QTest::addColumn<QString>("stan");
        QTest::newRow("start") << 0LL << 1000LL << 0LL << u"0%"_qs;
        QTest::newRow("too early") << 450LL << 1000LL << 1000LL << u"45%"_qs;
        QTest::newRow("too little done") << 4LL << 1000LL << 60'000LL << u"0%"_qs;
        QTest::newRow("at its pace")
            << 450LL << 1000LL << 98'000LL << u"45%, zostało około 2 min"_qs;
        QTest::newRow("large books")
            << 3'000'000'000LL << 6'000'000'000LL << 600'000LL << u"50%, zostało około 10 min"_qs;
        QTest::newRow("done") << 1000LL << 1000LL << 98'000LL << u"100%"_qs;
        QTest::newRow("nothing to do") << 0LL << 0LL << 5000LL << u"0%"_qs;
    }
    void progressSaysWhatIsLeft() {
        QFETCH(qint64, zrobione);
        QFETCH(qint64, razem);
        QFETCH(qint64, uplynelo);
        QFETCH(QString, stan);
        QCOMPARE(stanPostepu(zrobione, razem, uplynelo), stan);
    }
};

QTEST_APPLESS_MAIN(TestCzas)
#include "tst_czas.moc"
