// What the command line names, sorted out without waiting on anything; a
// folder's MP3 files in the order of their paths, with what was left out.

#include "base/Paths.h"
#include "project/Otwieranie.h"
#include "support/FileBytes.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A file of `rozmiar` bytes that starts with `poczatek` and holds nothing
// else (sparse: it takes no room on the disk).
bool rzadkiPlik(const QString& sciezka, const QByteArray& poczatek, qint64 rozmiar) {
    QFile f(sciezka);
    return f.open(QIODevice::WriteOnly) && f.write(poczatek) == poczatek.size() &&
           f.resize(rozmiar);
}

} // namespace

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
        QCOMPARE(::mkfifo(QFile::encodeName(p(u"potok.mp3"_s)).constData(), 0600), 0);
        // What the root element hides behind: 2 GiB of blanks after a
        // comment's start, or a 2 MiB comment in a file of allowed size.
        QVERIFY(rzadkiPlik(p(u"olbrzym.xml"_s), "<?xml version=\"1.0\"?><!--", qint64{2} << 30));
        QVERIFY(zapiszBajty(p(u"dlugi-prolog.xml"_s),
                            "<!--" + QByteArray(2 << 20, 'x') + "--><projekt/>"));
    }

    // Each name with what it is; a leading "--" only ends the options.
    // Nothing waits: the FIFO is named, not opened, and of the large files
    // at most the first MiB is read.
    void sortsWhatIsNamed() {
        const WskazanePliki w = rozpoznajWskazane(
            {u"--"_s, p(u"a.MP3"_s), p(u"inny.xml"_s), p(u"ksiazka.xml"_s), p(u"Rozdział 10"_s),
             p(u"nie ma.mp3"_s), p(u"notatki.txt"_s), p(u"druga.xml"_s), p(u"potok.mp3"_s),
             u"/dev/null"_s, p(u"olbrzym.xml"_s), p(u"dlugi-prolog.xml"_s)});
        QCOMPARE(w.projekt, p(u"ksiazka.xml"_s));
        QCOMPARE(w.pliki, QStringList{p(u"a.MP3"_s)});
        QCOMPARE(w.foldery, QStringList{p(u"Rozdział 10"_s)});
        QCOMPARE(w.nieotwarte,
                 (QStringList{
                     p(u"inny.xml"_s) + u": to nie jest plik projektu"_s,
                     p(u"nie ma.mp3"_s) + u": nie ma takiego pliku ani folderu"_s,
                     p(u"notatki.txt"_s) + u": to nie jest plik MP3, folder ani projekt"_s,
                     p(u"druga.xml"_s) + u": otwierany jest już projekt "_s + p(u"ksiazka.xml"_s),
                     p(u"potok.mp3"_s) + u": to jest potok (FIFO), a nie zwykły plik"_s,
                     u"/dev/null: to jest urządzenie, a nie zwykły plik"_s,
                     p(u"olbrzym.xml"_s) + u": plik jest za duży na plik projektu (ponad 64 MiB)"_s,
                     p(u"dlugi-prolog.xml"_s) +
                         u": element główny nie zaczyna się w pierwszym 1 MiB pliku, więc to nie "
                         "jest plik projektu"_s}));
    }

    // Folder by folder, numbers by their value; a name that is not UTF-8 is
    // there with its bytes. Left out and listed: a link to a folder (so a
    // loop of links ends), a FIFO and a link to nothing named .mp3, and,
    // unless the tests run as root, a file and a folder without access.
    // Other files are no MP3 files and not listed.
    void folderListsWhatItLeavesOut() {
        QTemporaryDir d;
        const QStringList pliki{u"Rozdział 2/02.mp3"_s, u"Rozdział 2/10.mp3"_s,
                                u"Rozdział 10/01.MP3"_s, u"Rozdział 10/a/01.mp3"_s,
                                u"zakończenie.mp3"_s};
        for (const QString& f : pliki) {
            QVERIFY(QDir(d.path()).mkpath(QFileInfo(f).path()));
            QVERIFY(zapiszBajty(d.filePath(f), "x"));
        }
        // "wstęp.mp3" as Windows-1250 writes it.
        const QByteArray cp1250 = QFile::encodeName(d.path()) + "/wst\xeap.mp3";
        const int fd = ::open(cp1250.constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        // Qt cannot see the name, so QTemporaryDir cannot remove it.
        const auto sprzatnij = qScopeGuard([&] { ::unlink(cp1250.constData()); });
        ::close(fd);
        QVERIFY(zapiszBajty(d.filePath(u"Rozdział 2/okładka.jpg"_s), "x"));
        QVERIFY(QFile::link(d.path(), d.filePath(u"Rozdział 2/pętla"_s)));
        QVERIFY(QFile::link(d.filePath(u"nie ma"_s), d.filePath(u"zerwany.mp3"_s)));
        QCOMPARE(::mkfifo(QFile::encodeName(d.filePath(u"potok.mp3"_s)).constData(), 0600), 0);
        QVERIFY(QDir(d.path()).mkpath(u"zamknięty"_s));
        QVERIFY(zapiszBajty(d.filePath(u"zamknięty/x.mp3"_s), "x"));
        QVERIFY(zapiszBajty(d.filePath(u"tajny.mp3"_s), "x"));
        QVERIFY(QFile::setPermissions(d.filePath(u"zamknięty"_s), {}));
        QVERIFY(QFile::setPermissions(d.filePath(u"tajny.mp3"_s), {}));
        const bool root = ::geteuid() == 0; // root reads them all the same

        const PlikiFolderu w = przejrzyjFolder(d.path());
        QFile::setPermissions(d.filePath(u"zamknięty"_s), QFileDevice::ReadOwner |
                                                              QFileDevice::WriteOwner |
                                                              QFileDevice::ExeOwner);
        QStringList oczekiwane;
        for (const QString& f : pliki.mid(0, 4))
            oczekiwane << d.filePath(f);
        if (root)
            oczekiwane << d.filePath(u"tajny.mp3"_s);
        oczekiwane << nazwaZSystemu(cp1250) << d.filePath(u"zakończenie.mp3"_s);
        if (root)
            oczekiwane << d.filePath(u"zamknięty/x.mp3"_s);
        QCOMPARE(w.sciezki, oczekiwane);
        QStringList pominiete{
            d.filePath(u"potok.mp3"_s) + u": to jest potok (FIFO), a nie zwykły plik"_s,
            d.filePath(u"Rozdział 2/pętla"_s) +
                u": to dowiązanie do folderu, a w dowiązania program nie wchodzi"_s};
        if (!root)
            pominiete << d.filePath(u"tajny.mp3"_s) + u": brak dostępu do pliku"_s;
        if (!root)
            pominiete << d.filePath(u"zamknięty"_s) +
                             u": nie można odczytać folderu: brak dostępu"_s;
        pominiete << d.filePath(u"zerwany.mp3"_s) +
                         u": dowiązanie prowadzi do pliku, którego nie ma"_s;
        QCOMPARE(w.pominiete, pominiete);

        const std::atomic_bool stop = true;
        QVERIFY(przejrzyjFolder(d.path(), &stop).sciezki.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestOtwieranie)
#include "tst_otwieranie.moc"
