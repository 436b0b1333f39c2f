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

    // Each row: a name that comes strictly before another.
    void namesInFileManagerOrder_data() {
        QTest::addColumn<QString>("wczesniej");
        QTest::addColumn<QString>("pozniej");
        auto row = [](const char* opis, const char* a, const char* b) {
            QTest::newRow(opis) << QString::fromUtf8(a) << QString::fromUtf8(b);
        };
        row("2 before 10", "Rozdział 2.mp3", "Rozdział 10.mp3");
        row("9 before 10 after a letter", "cz9.mp3", "cz10.mp3");
        row("numbers beyond 64 bits", "Tom 99999999999999999999.mp3",
            "Tom 100000000000000000000.mp3");
        row("the same value, fewer zeros first by code points", "Rozdział 002.mp3",
            "Rozdział 2.mp3");
        row("second number decides", "1-2.mp3", "1-10.mp3");
        row("l before ł", "lato.mp3", "łódź.mp3");
        row("z before ź before ż", "zebra.mp3", "źrebię.mp3");
        row("case does not count before the letters", "a.mp3", "B.mp3");
        row("equal but for case, by code points", "A.mp3", "a.mp3");
    }
    void namesInFileManagerOrder() {
        QFETCH(QString, wczesniej);
        QFETCH(QString, pozniej);
        QVERIFY(porownajNazwy(wczesniej, pozniej) < 0);
        QVERIFY(porownajNazwy(pozniej, wczesniej) > 0);
        QCOMPARE(porownajNazwy(wczesniej, wczesniej), 0);
    }

    // The noun takes the form the count's last digits ask for.
    void countedNouns() {
        const QList<std::pair<int, const char*>> przypadki{
            {0, "0 plików"},   {1, "1 plik"},       {2, "2 pliki"},      {4, "4 pliki"},
            {5, "5 plików"},   {12, "12 plików"},   {14, "14 plików"},   {22, "22 pliki"},
            {25, "25 plików"}, {112, "112 plików"}, {1003, "1003 pliki"}};
        for (const auto& [n, tekst] : przypadki)
            QCOMPARE(liczebnik(n, QStringLiteral("plik"), QStringLiteral("pliki"),
                               QStringLiteral("plików")),
                     QString::fromUtf8(tekst));
    }
};

QTEST_APPLESS_MAIN(TestText)
#include "tst_text.moc"
