#include "audio/Zakladka.h"

#include <QTest>

class TestZakladka : public QObject {
    Q_OBJECT
private slots:
    void czas_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("shown");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("0:00,0");
        QTest::newRow("tenths cut, not rounded") << qint64(83499) << QStringLiteral("1:23,4");
        QTest::newRow("under a minute") << qint64(9950) << QStringLiteral("0:09,9");
        QTest::newRow("seconds padded") << qint64(61000) << QStringLiteral("1:01,0");
        QTest::newRow("hours") << qint64(3723456) << QStringLiteral("1:02:03,4");
        QTest::newRow("negative") << qint64(-1500) << QStringLiteral("-0:01,5");
    }
    void czas() {
        QFETCH(qint64, ms);
        QFETCH(QString, shown);
        QCOMPARE(czasMinuty(ms), shown);
    }

    // The warning names the offending position and the file's length.
    void ostrzezenie_data() {
        QTest::addColumn<qint64>("poczatek");
        QTest::addColumn<qint64>("dlugosc");
        QTest::addColumn<QString>("starts"); // empty: no warning
        QTest::addColumn<QString>("names");
        const QString zaczyna = QStringLiteral("Uwaga: zakładka zaczyna się");
        const QString konczy = QStringLiteral("Uwaga: zakładka kończy się za końcem");
        QTest::newRow("inside") << qint64(0) << qint64(5000) << QString() << QString();
        QTest::newRow("ends exactly at the end")
            << qint64(3000) << qint64(2000) << QString() << QString();
        QTest::newRow("start at the end")
            << qint64(5000) << qint64(0) << zaczyna << QStringLiteral("początek 5000 ms");
        QTest::newRow("start past the end")
            << qint64(7000) << qint64(100) << zaczyna << QStringLiteral("początek 7000 ms");
        QTest::newRow("runs past the end")
            << qint64(4000) << qint64(1001) << konczy << QStringLiteral("koniec 5001 ms");
        QTest::newRow("negative start running past")
            << qint64(-100) << qint64(6000) << konczy << QStringLiteral("koniec 5900 ms");
    }
    void ostrzezenie() {
        QFETCH(qint64, poczatek);
        QFETCH(qint64, dlugosc);
        QFETCH(QString, starts);
        QFETCH(QString, names);
        const QString text = ostrzezenieZakladki(poczatek, dlugosc, 5000);
        QCOMPARE(text.isEmpty(), starts.isEmpty());
        if (!starts.isEmpty()) {
            QVERIFY2(text.startsWith(starts) && text.contains(names) &&
                         text.contains(QStringLiteral("plik trwa 5000 ms (0:05,0)")),
                     qPrintable(text));
        }
    }
};

QTEST_MAIN(TestZakladka)
#include "tst_zakladka.moc"
