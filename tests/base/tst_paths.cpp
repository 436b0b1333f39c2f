#include "base/Paths.h"

#include <QTest>

class TestPaths : public QObject {
    Q_OBJECT
private slots:
    void split_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");
        QTest::newRow("file") << QStringLiteral("/a/b.mp3") << QStringLiteral("b.mp3")
                              << QStringLiteral("/a/");
        QTest::newRow("folder") << QStringLiteral("/a/b/") << QStringLiteral("b")
                                << QStringLiteral("/a/b/");
        QTest::newRow("bare") << QStringLiteral("b.mp3") << QStringLiteral("b.mp3") << QString();
        QTest::newRow("empty") << QString() << QString() << QString();
        QTest::newRow("root") << QStringLiteral("/") << QString() << QStringLiteral("/");
        QTest::newRow("polish") << QStringLiteral("/nagrania/Żółw/rozdział 1.mp3")
                                << QStringLiteral("rozdział 1.mp3")
                                << QStringLiteral("/nagrania/Żółw/");
    }
    void split() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, folder);
        QCOMPARE(ExNazwaPliku(path), name);
        QCOMPARE(ExSciezka(path), folder);
    }
    void extension_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::newRow("xml") << QStringLiteral("a.b.xml") << QStringLiteral("xml");
        QTest::newRow("upper") << QStringLiteral("Projekt.XML") << QStringLiteral("XML");
        QTest::newRow("trailing dot") << QStringLiteral("proj.") << QString();
        QTest::newRow("none") << QStringLiteral("proj") << QStringLiteral("proj");
    }
    void extension() {
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QCOMPARE(ExRozszerzenie(name), ext);
    }
};

QTEST_APPLESS_MAIN(TestPaths)
#include "tst_paths.moc"
