// What the command line names, sorted out; a folder's MP3 files in the
// order of their paths.

#include "project/Otwieranie.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestOtwieranie : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString p(const QString& name) const { return QDir::toNativeSeparators(m_dir.filePath(name)); }

private slots:
    void initTestCase() {
        QVERIFY(
            zapiszBajty(p(u"ksiazka.xml"_s), "<?xml version=\"1.0\"?>\n<!-- x -->\n<projekt/>"));
        QVERIFY(zapiszBajty(p(u"druga.xml"_s), "<projekt><plik/></projekt>"));
        QVERIFY(zapiszBajty(p(u"inny.xml"_s), "<?xml version=\"1.0\"?><lista/>"));
        QVERIFY(zapiszBajty(p(u"notatki.txt"_s), "projekt"));
        QVERIFY(zapiszBajty(p(u"a.MP3"_s), "x"));
        QVERIFY(QDir(m_dir.path()).mkpath(u"Rozdział 10"_s));
    }

    // A leading "--" only ends the options.
    void sortsWhatIsNamed() {
        const WskazanePliki w = rozpoznajWskazane(
            {u"--"_s, p(u"a.MP3"_s), p(u"inny.xml"_s), p(u"ksiazka.xml"_s), p(u"Rozdział 10"_s),
             p(u"nie ma.mp3"_s), p(u"notatki.txt"_s), p(u"druga.xml"_s)});
        QCOMPARE(w.projekt, p(u"ksiazka.xml"_s));
        QCOMPARE(w.pliki, QStringList{p(u"a.MP3"_s)});
        QCOMPARE(w.foldery, QStringList{p(u"Rozdział 10"_s)});
        QCOMPARE(w.nieotwarte,
                 (QStringList{p(u"inny.xml"_s) + u": to nie jest plik projektu"_s,
                              p(u"nie ma.mp3"_s) + u": nie ma takiego pliku ani folderu"_s,
                              p(u"notatki.txt"_s) + u": to nie jest plik MP3, folder ani projekt"_s,
                              p(u"druga.xml"_s) + u": otwierany jest już projekt "_s +
                                  p(u"ksiazka.xml"_s)}));
    }

    // Folder by folder, numbers by their value; other files left out; a
    // link back to the top does not loop.
    void folderInPathOrder() {
        QTemporaryDir d;
        const QStringList pliki{u"Rozdział 2/02.mp3"_s, u"Rozdział 2/10.mp3"_s,
                                u"Rozdział 10/01.MP3"_s, u"Rozdział 10/a/01.mp3"_s,
                                u"zakończenie.mp3"_s};
        for (const QString& f : pliki) {
            QVERIFY(QDir(d.path()).mkpath(QFileInfo(f).path()));
            QVERIFY(zapiszBajty(d.filePath(f), "x"));
        }
        QVERIFY(zapiszBajty(d.filePath(u"Rozdział 2/okładka.jpg"_s), "x"));
        QVERIFY(QFile::link(d.path(), d.filePath(u"Rozdział 2/pętla"_s)));
        QStringList oczekiwane;
        for (const QString& f : pliki)
            oczekiwane << QDir::toNativeSeparators(d.filePath(f));
        QCOMPARE(plikiMp3Folderu(d.path()), oczekiwane);
        const std::atomic_bool stop = true;
        QVERIFY(plikiMp3Folderu(d.path(), &stop).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestOtwieranie)
#include "tst_otwieranie.moc"
