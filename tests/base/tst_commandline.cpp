// The command-line tools' common answers: help and version on the standard
// output with status 0, one line on the standard error output and status 2
// for wrong arguments, and "--" before file names that start with "-".

#include "base/CommandLine.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void arguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status"); // -1: the tool goes on
        QTest::addColumn<QStringList>("positional");
        QTest::addColumn<QString>("out"); // the standard output starts with this
        QTest::addColumn<QString>("err"); // the one error line contains this

        const QString usage = u"Użycie: narzedzie A.xml B.mp3"_s;
        QTest::newRow("two files") << QStringList{u"a.xml"_s, u"b.mp3"_s} << -1
                                   << QStringList{u"a.xml"_s, u"b.mp3"_s} << QString() << QString();
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << QStringList{} << usage
                              << QString();
        QTest::newRow("help after a file")
            << QStringList{u"a.xml"_s, u"-h"_s} << 0 << QStringList{} << usage << QString();
        QTest::newRow("version") << QStringList{u"-V"_s, u"a.xml"_s} << 0 << QStringList{}
                                 << u"narzedzie (SonvekManager) "_s << QString();
        QTest::newRow("unknown option")
            << QStringList{u"a.xml"_s, u"b.mp3"_s, u"--szybko"_s} << 2 << QStringList{} << QString()
            << u"narzedzie: nieznana opcja „--szybko”. "_s + usage;
        QTest::newRow("too few") << QStringList{u"a.xml"_s} << 2 << QStringList{} << QString()
                                 << u"nieprawidłowa liczba argumentów: 1. "_s + usage;
        QTest::newRow("too many") << QStringList{u"a"_s, u"b"_s, u"c"_s} << 2 << QStringList{}
                                  << QString() << u"liczba argumentów: 3"_s;
        QTest::newRow("values given both ways")
            << QStringList{u"--tytul"_s, u"-x-"_s, u"a.xml"_s, u"--tytul=b=c"_s, u"b.mp3"_s} << -1
            << QStringList{u"a.xml"_s, u"b.mp3"_s} << QString() << QString();
        QTest::newRow("value missing")
            << QStringList{u"a.xml"_s, u"b.mp3"_s, u"--tytul"_s} << 2 << QStringList{} << QString()
            << u"opcja „--tytul” wymaga wartości"_s;
        QTest::newRow("dash names after --")
            << QStringList{u"--"_s, u"-a.xml"_s, u"--help"_s} << -1
            << QStringList{u"-a.xml"_s, u"--help"_s} << QString() << QString();
    }
    void arguments() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, positional);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QString outText, errText;
        QTextStream outStream(&outText), errStream(&errText);
        const OpisNarzedzia narzedzie{
            u"narzedzie"_s, u"A.xml B.mp3"_s, u"Opis."_s, 2, {{u"--tytul"_s, u"tytuł"_s, u"T"_s}}};
        const RozbiorArgumentow r = rozbierzArgumenty(narzedzie, args, outStream, errStream);
        if (status < 0 && args.contains(u"--tytul"_s))
            QCOMPARE(r.wartosci.value(u"--tytul"_s), u"b=c"_s);
        QCOMPARE(r.kodWyjscia.value_or(-1), status);
        QCOMPARE(r.argumenty, positional);
        QVERIFY2(outText.startsWith(out) && (out.isEmpty() == outText.isEmpty()),
                 qPrintable(outText));
        QVERIFY2(errText.contains(err) && (err.isEmpty() == errText.isEmpty()),
                 qPrintable(errText));
        if (!err.isEmpty())
            QCOMPARE(errText.count(u'\n'), 1);
    }

    // An option whose value may be left out, and a tool that takes one file or more.
    void optionalValuesAndFileLists() {
        QString outText, errText;
        QTextStream outStream(&outText), errStream(&errText);
        const OpisNarzedzia narzedzie{u"narzedzie"_s,
                                      u"PLIK..."_s,
                                      u"Opis."_s,
                                      -1,
                                      {{u"--cel"_s, u"cel"_s, u"LUFS"_s, true}}};
        RozbiorArgumentow r =
            rozbierzArgumenty(narzedzie, {u"a"_s, u"--cel=-16"_s, u"b"_s}, outStream, errStream);
        QVERIFY(!r.kodWyjscia);
        QCOMPARE(r.argumenty, (QStringList{u"a"_s, u"b"_s}));
        QCOMPARE(r.opcje, QStringList{u"--cel"_s});
        QCOMPARE(r.wartosci.value(u"--cel"_s), u"-16"_s);
        r = rozbierzArgumenty(narzedzie, {u"--cel"_s, u"a"_s}, outStream, errStream);
        QCOMPARE(r.argumenty, QStringList{u"a"_s}); // the file is no value of the option
        QVERIFY(r.opcje.contains(u"--cel"_s) && !r.wartosci.contains(u"--cel"_s));
        r = rozbierzArgumenty(narzedzie, {u"--cel=1"_s}, outStream, errStream);
        QCOMPARE(r.kodWyjscia, 2);
        QVERIFY(errText.contains(u"liczba argumentów: 0"_s));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
