// Where the help page and the announcement clips are found: beside the
// program first, then the user's data folder, each system data folder in
// order, and share/ beside the program's bin folder; the help page is taken
// from the working directory before all of them.

#include "base/DataDirs.h"
#include "odcinki/Odcinki.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDataDirs : public QObject {
    Q_OBJECT
    QString oldCwd;

    // The folder that holds the program's data at `place`.
    static QString dataFolder(const QTemporaryDir& tmp, const QString& place) {
        if (place == u"program"_s)
            return tmp.filePath(u"usr/bin"_s);
        if (place == u"work"_s)
            return tmp.filePath(u"work"_s);
        if (place == u"prefix"_s)
            return tmp.filePath(u"usr/share/sonvekmanager"_s);
        if (place == u"default home"_s)
            return tmp.filePath(u"home/.local/share/sonvekmanager"_s);
        return tmp.filePath(place + u"/sonvekmanager"_s);
    }

private slots:
    void initTestCase() { oldCwd = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(oldCwd); }

    void lookupOrder_data() {
        QTest::addColumn<QStringList>("present"); // places holding pomoc.html and odcinki/
        QTest::addColumn<QString>("dataHome");    // $XDG_DATA_HOME ("xdghome" is a folder here)
        QTest::addColumn<QString>("dataDirs");    // $XDG_DATA_DIRS, sys1/sys2 are folders here
        QTest::addColumn<QString>("helpAt");      // place of the help page found, "" none
        QTest::addColumn<QString>("clipsAt");     // place of the clips found, "" none

        const QString abs = u"@/"_s; // stands for the test's folder
        const QString both = abs + u"sys1:"_s + abs + u"sys2"_s;
        QTest::newRow("beside the program first")
            << QStringList{u"program"_s, u"xdghome"_s, u"sys1"_s, u"prefix"_s} << abs + u"xdghome"_s
            << both << u"program"_s << u"program"_s;
        QTest::newRow("working directory first for help")
            << QStringList{u"work"_s, u"program"_s} << abs + u"xdghome"_s << both << u"work"_s
            << u"program"_s;
        QTest::newRow("user's data before the system's")
            << QStringList{u"xdghome"_s, u"sys1"_s, u"prefix"_s} << abs + u"xdghome"_s << both
            << u"xdghome"_s << u"xdghome"_s;
        QTest::newRow("system folders in order")
            << QStringList{u"sys1"_s, u"sys2"_s, u"prefix"_s} << abs + u"xdghome"_s << both
            << u"sys1"_s << u"sys1"_s;
        QTest::newRow("a later system folder")
            << QStringList{u"sys2"_s, u"prefix"_s} << abs + u"xdghome"_s << both << u"sys2"_s
            << u"sys2"_s;
        QTest::newRow("relative entries ignored")
            << QStringList{u"xdghome"_s, u"sys1"_s, u"sys2"_s, u"default home"_s} << u"xdghome"_s
            << u"sys1:"_s + abs + u"sys2"_s << u"default home"_s << u"default home"_s;
        QTest::newRow("share beside bin last")
            << QStringList{u"prefix"_s} << abs + u"xdghome"_s << both << u"prefix"_s << u"prefix"_s;
        QTest::newRow("nowhere") << QStringList{} << abs + u"xdghome"_s << both << QString()
                                 << QString();
    }
    void lookupOrder() {
        QFETCH(QStringList, present);
        QFETCH(QString, dataHome);
        QFETCH(QString, dataDirs);
        QFETCH(QString, helpAt);
        QFETCH(QString, clipsAt);
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        for (const QString& place :
             {u"usr/bin"_s, u"work"_s, u"home"_s, u"xdghome"_s, u"sys1"_s, u"sys2"_s})
            QVERIFY(QDir().mkpath(tmp.filePath(place)));
        for (const QString& place : present) {
            const QString folder = dataFolder(tmp, place);
            QVERIFY(QDir().mkpath(folder + u"/odcinki"_s));
            QFile page(folder + u"/pomoc.html"_s);
            QVERIFY(page.open(QIODevice::WriteOnly));
        }
        const QByteArray root = (tmp.path() + u'/').toUtf8();
        qputenv("HOME", tmp.filePath(u"home"_s).toUtf8());
        qputenv("XDG_DATA_HOME", dataHome.toUtf8().replace("@/", root));
        qputenv("XDG_DATA_DIRS", dataDirs.toUtf8().replace("@/", root));
        // Relative entries would name the test's folders if they were used.
        QDir::setCurrent(tmp.path());
        const QString program = dataFolder(tmp, u"program"_s);
        const QString clips = folderZapowiedzi(program);
        QDir::setCurrent(tmp.filePath(u"work"_s));
        const QString help = sciezkaPomocy(program);

        QCOMPARE(help, helpAt.isEmpty() ? QString() : dataFolder(tmp, helpAt) + u"/pomoc.html"_s);
        // With none anywhere the folder beside the program is named, so a
        // missing clip is reported where the user expects it.
        QCOMPARE(clips,
                 dataFolder(tmp, clipsAt.isEmpty() ? u"program"_s : clipsAt) + u"/odcinki/"_s);
    }
};

QTEST_GUILESS_MAIN(TestDataDirs)
#include "tst_datadirs.moc"
