#include "base/Errors.h"
#include "base/Text.h"

#include <QTest>

class TestText : public QObject {
    Q_OBJECT
private slots:
    void strToInt_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << QStringLiteral("5000") << true << 5000;
        QTest::newRow("leading blanks") << QStringLiteral("  7000") << true << 7000;
        QTest::newRow("sign") << QStringLiteral("-12") << true << -12;
        QTest::newRow("plus") << QStringLiteral("+12") << true << 12;
        QTest::newRow("dollar hex") << QStringLiteral("$1F4") << true << 500;
        QTest::newRow("x hex") << QStringLiteral("x1f4") << true << 500;
        QTest::newRow("X hex") << QStringLiteral("X10") << true << 16;
        QTest::newRow("0x hex") << QStringLiteral("0x10") << true << 16;
        QTest::newRow("0X hex") << QStringLiteral("0X10") << true << 16;
        QTest::newRow("max") << QStringLiteral("2147483647") << true << 2147483647;
        QTest::newRow("min") << QStringLiteral("-2147483648") << true << int(-2147483647 - 1);
        QTest::newRow("zero") << QStringLiteral("0") << true << 0;
        QTest::newRow("empty") << QString() << false << 0;
        QTest::newRow("blanks only") << QStringLiteral("   ") << false << 0;
        QTest::newRow("trailing letters") << QStringLiteral("12ab") << false << 0;
        QTest::newRow("trailing blank") << QStringLiteral("12 ") << false << 0;
        QTest::newRow("overflow") << QStringLiteral("2147483648") << false << 0;
        QTest::newRow("underflow") << QStringLiteral("-2147483649") << false << 0;
        QTest::newRow("huge") << QStringLiteral("99999999999999999999999") << false << 0;
        QTest::newRow("bare prefix") << QStringLiteral("$") << false << 0;
        QTest::newRow("hex in decimal") << QStringLiteral("1F") << false << 0;
        QTest::newRow("tab") << QStringLiteral("\t5") << false << 0;
        QTest::newRow("arabic digits") << QStringLiteral("\u0661") << false << 0;
    }
    void strToInt() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        const auto parsed = tryStrToInt(text);
        QCOMPARE(parsed.has_value(), ok);
        if (ok) {
            QCOMPARE(*parsed, value);
            QCOMPARE(StrToInt(text), value);
        } else {
            try {
                StrToInt(text);
                QFAIL("no conversion error");
            } catch (const EConvertError& e) {
                QCOMPARE(e.text(), QStringLiteral("'%1' is not a valid integer value").arg(text));
            }
        }
    }

    void errorBoxText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << QStringLiteral("Błąd") << QStringLiteral("Błąd.");
        QTest::newRow("full stop") << QStringLiteral("Koniec.") << QStringLiteral("Koniec.");
        QTest::newRow("quote") << QStringLiteral("'x' is not a valid integer value")
                               << QStringLiteral("'x' is not a valid integer value.");
        QTest::newRow("closing quote") << QStringLiteral("plik 'a'") << QStringLiteral("plik 'a'");
        QTest::newRow("digit") << QStringLiteral("kod 5") << QStringLiteral("kod 5.");
        QTest::newRow("slash") << QStringLiteral("/tmp/") << QStringLiteral("/tmp/.");
        QTest::newRow("comma") << QStringLiteral("a,") << QStringLiteral("a,");
        QTest::newRow("polish letter") << QStringLiteral("zażółć") << QStringLiteral("zażółć.");
        QTest::newRow("empty") << QString() << QString();
    }
    void errorBoxText() {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(::errorBoxText(text), shown);
    }

    void formatGeneral_data() {
        QTest::addColumn<qint64>("tenThousandths");
        QTest::addColumn<QString>("polish");
        QTest::addColumn<QString>("english");
        QTest::newRow("whole") << qint64(39960000) << QStringLiteral("3996")
                               << QStringLiteral("3996");
        QTest::newRow("half") << qint64(5005000) << QStringLiteral("500,5")
                              << QStringLiteral("500.5");
        QTest::newRow("zero") << qint64(0) << QStringLiteral("0") << QStringLiteral("0");
        QTest::newRow("four places")
            << qint64(12345) << QStringLiteral("1,2345") << QStringLiteral("1.2345");
        QTest::newRow("large") << qint64(400000000000000) << QStringLiteral("40000000000")
                               << QStringLiteral("40000000000");
    }
    void formatGeneral() {
        QFETCH(qint64, tenThousandths);
        QFETCH(QString, polish);
        QFETCH(QString, english);
        QCOMPARE(::formatGeneral(tenThousandths, QLatin1Char(',')), polish);
        QCOMPARE(::formatGeneral(tenThousandths, QLatin1Char('.')), english);
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "tst_text.moc"
