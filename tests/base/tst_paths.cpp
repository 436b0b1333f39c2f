#include "base/Paths.h"

#include <QTest>

using namespace Qt::StringLiterals;

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

    // A name from the disk comes back as the very same bytes, whatever they
    // are; what the user is shown has U+FFFD for each byte that is not UTF-8.
    void systemNames_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("kept");
        const QString r(QChar::ReplacementCharacter);
        QTest::newRow("UTF-8") << QByteArray("Rozdzia\xc5\x82 \xf0\x9f\x8e\xb5.mp3")
                               << u"Rozdział 🎵.mp3"_qs << false;
        QTest::newRow("Windows-1250")
            << QByteArray("Rozdzia\xb3 1.mp3") << u"Rozdzia"_qs + r + u" 1.mp3"_qs << true;
        QTest::newRow("overlong, surrogate, cut short")
            << QByteArray("a\xc0\xaf b\xed\xa0\x80 c\xc5")
            << u"a"_qs + r + r + u" b"_qs + r + r + r + u" c"_qs + r << true;
        QTest::newRow("after a character beyond BMP")
            << QByteArray("\xf0\x9f\x8e\xb5\x80") << u"🎵"_qs + r << true;
    }
    void systemNames() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QFETCH(bool, kept);
        const QString name = nazwaZSystemu(bytes);
        QCOMPARE(nazwaDlaSystemu(name), bytes);
        QCOMPARE(nazwaDlaSystemu(u"/folder/"_qs + name), "/folder/" + bytes);
        QCOMPARE(maSuroweBajty(name), kept);
        QCOMPARE(nazwaDoPokazania(name), shown);
    }
};

QTEST_APPLESS_MAIN(TestPaths)
#include "tst_paths.moc"
