// Every file the program writes is written whole or not at all: on a full
// disk, with a failing sync and in a shared folder.

#include "base/BledySystemu.h"
#include "base/ZapisAtomowy.h"
#include "card/CardFiles.h"
#include "merge/ZadanieScalania.h"
#include "odcinki/Odcinki.h"
#include "project/ProjectFile.h"
#include "settings/SettingsStore.h"
#include "support/FolderContents.h"
#include "support/Tmpfs.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <optional>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Whether an error's text gives the system's reason: in Polish, or (the
// merge's own writer) as the system says it.
bool maPowod(const QString& tekst, int numer) {
    return tekst.contains(opisBleduSystemu(numer)) ||
           tekst.contains(QString::fromLocal8Bit(std::strerror(numer)));
}

// A sync that fails for files, as a disk that loses the data would.
int synchronizacjaPlikuZawodzi(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

// The file whose sync fails or kills the writer (its inode).
ino_t g_celAwarii = 0;

bool celAwarii(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_ino == g_celAwarii;
}

// A disk that loses the data of that one file.
int synchronizacjaCeluZawodzi(int fd) {
    if (celAwarii(fd)) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

// The writer killed once the new bytes are written and before they are synced.
int synchronizacjaCeluZabija(int fd) {
    if (celAwarii(fd))
        ::raise(SIGKILL);
    return ::fsync(fd);
}

class PodmianaSynchronizacji {
public:
    explicit PodmianaSynchronizacji(ZapisAtomowy::Synchronizacja f)
        : m_stara(ZapisAtomowy::ustawSynchronizacje(f)) {}
    ~PodmianaSynchronizacji() { ZapisAtomowy::ustawSynchronizacje(m_stara); }

private:
    ZapisAtomowy::Synchronizacja m_stara;
};

// Fills the file system of `folder` to the last byte, except `zapas` bytes.
void zapelnij(const QString& folder, qint64 zapas) {
    QVERIFY(zapiszBajty(folder + u"/zapas"_s, QByteArray(zapas, 'z')));
    QFile plik(folder + u"/wypelnienie"_s);
    QVERIFY(plik.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray strona(4096, 'f');
    while (plik.write(strona) == strona.size()) {
    }
    while (plik.write("f", 1) == 1) {
    }
    QVERIFY(QFile::remove(folder + u"/zapas"_s));
}

// A folder in which no new file may be made while `plik` may be written:
// root acts as the user "nobody" for file access, others lose the
// folder's write permission.
class ZamknietyFolder {
public:
    ZamknietyFolder(const QString& folder, const QString& plik) : m_folder(folder) {
        if (::geteuid() == 0) {
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0755) == 0);
            if (QFile::exists(plik))
                QVERIFY(::chown(QFile::encodeName(plik).constData(), 65534, 65534) == 0);
            ::setfsuid(65534);
        } else {
            QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        }
    }
    ~ZamknietyFolder() {
        if (::geteuid() == 0)
            ::setfsuid(0);
        else
            QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString m_folder;
};

ListaPozycji projekt(int wpisy) {
    ListaPozycji lista;
    for (int i = 1; i <= wpisy; ++i)
        lista.append({QString::number(i), u"rozdział %1.mp3"_s.arg(i), u"0"_s, u"5000"_s,
                      u"/nagrania/książka/"_s});
    return lista;
}

// One of the program's writers of a file in `folder`, with an old content
// to start from; `inny` is a folder beside it for what the writer reads.
struct Zapis {
    QString plik;
    QByteArray stare;
    std::function<void()> zapisz;
};
Zapis zapisDla(const QString& zapis, const QString& folder, const QString& inny) {
    Zapis z;
    if (zapis == u"project") {
        z.plik = folder + u"/projekt.xml"_s;
        z.stare = dokumentProjektu(projekt(2));
        z.zapisz = [plik = z.plik] { zapiszPlikProjektu(plik, projekt(60)); };
    } else if (zapis == u"settings") {
        z.plik = folder + u"/SonvCom.reg"_s;
        z.stare = "[HKEY_CURRENT_USER\\SonvCom]\n\"Karta\"=\"/media/KARTA\"\n";
        z.zapisz = [folder] {
            const auto klucz = SettingsStore(folder).openForWriting(u"SonvCom"_s);
            klucz->writeString(u"Magazyn"_s, u"/home/ola/Książki"_s);
            klucz->commit();
        };
    } else if (zapis == u"player.dat") {
        z.plik = folder + u"/player.dat"_s;
        z.stare = "1234 5678";
        z.zapisz = [folder] { zapiszPlayerDat(folder + u'/'); };
    } else if (zapis == u"announcement") {
        z.plik = folder + u"/rozdział.mp3"_s;
        z.stare = QByteArray(2717, 'e');
        const QString klip = inny + u"/001.mp3"_s;
        zapiszBajty(klip, QByteArray(1000, 'c'));
        z.zapisz = [klip, plik = z.plik] { dolaczZapowiedz(klip, plik); };
    }
    return z;
}

} // namespace

class TestZapisAtomowy : public QObject {
    Q_OBJECT

    QTemporaryDir m_dane; // the user's data folder, where in-place copies go

private slots:
    void initTestCase() {
        // Written to as "nobody" too (see ZamknietyFolder).
        QVERIFY(::chmod(QFile::encodeName(m_dane.path()).constData(), 0777) == 0);
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dane.path()));
    }

    // Each file the program writes, on a disk with no room left and with a
    // sync that fails: an error naming the file and the reason, the old
    // file byte for byte, nothing left behind.
    void failedWriteKeepsOldFile_data() {
        QTest::addColumn<QString>("zapis");
        QTest::addColumn<bool>("pelnyDysk"); // otherwise the sync fails
        for (const char* zapis : {"project", "settings", "player.dat", "announcement", "merge"}) {
            QTest::addRow("%s, full disk", zapis) << QString::fromLatin1(zapis) << true;
            // The merge's book and index files sync on their own.
            if (qstrcmp(zapis, "merge") != 0)
                QTest::addRow("%s, failing sync", zapis) << QString::fromLatin1(zapis) << false;
        }
    }
    void failedWriteKeepsOldFile() {
        QFETCH(QString, zapis);
        QFETCH(bool, pelnyDysk);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"cel"_s);
        QVERIFY(QDir().mkpath(folder));
        std::optional<Tmpfs> tmpfs;
        if (pelnyDysk) {
            if (::geteuid() != 0)
                QSKIP("a full disk is a small tmpfs, and mounting one needs root");
            tmpfs.emplace(folder, "size=256k,mode=0777");
            if (!tmpfs->zamontowany)
                QSKIP("this system does not allow mounting a tmpfs");
        }

        Zapis z = zapisDla(zapis, folder, dir.path());
        QString& plik = z.plik;
        QByteArray& stare = z.stare;
        std::function<void()>& zapisz = z.zapisz;
        qint64 zapas = 0;
        if (zapis == u"merge") {
            // Room for the book exactly, none for its index files.
            plik = folder + u"/k.dat"_s;
            stare = "0\t1";
            QVERIFY(zapiszBajty(folder + u"/k.mp3"_s, "stara książka"));
            zapas = 2 * 4096;
            for (const char* nazwa : {"a.mp3", "b.mp3"})
                QVERIFY(zapiszBajty(dir.filePath(QLatin1String(nazwa)), QByteArray(4096, 'a')));
            zapisz = [&] {
                const MiernikMp3 miernik = [](const QString&) {
                    return PomiarMp3{FormatDzwieku{44100, 1}, 1000, 0};
                };
                ListaPozycji wpisy;
                for (const char* nazwa : {"a.mp3", "b.mp3"})
                    wpisy.append(
                        {u"1"_s, QLatin1String(nazwa), u"0"_s, u"100"_s, dir.path() + u'/'});
                ZadanieScalania scalanie(folder + u"/k.mp3"_s, wpisy, miernik);
                if (!scalanie.wykonaj())
                    throw EInOutError(scalanie.blad());
            };
        }
        QVERIFY(zapiszBajty(plik, stare));
        if (pelnyDysk)
            zapelnij(folder, zapas);
        const auto przed = zawartoscFolderu(folder);

        PodmianaSynchronizacji synchronizacja(pelnyDysk ? nullptr : synchronizacjaPlikuZawodzi);
        try {
            zapisz();
            QFAIL("the write was reported as done");
        } catch (const SonvekError& e) {
            QVERIFY2(e.text().contains(plik), qPrintable(e.text()));
            QVERIFY2(maPowod(e.text(), pelnyDysk ? ENOSPC : EIO), qPrintable(e.text()));
        }
        QCOMPARE(zawartoscFolderu(folder), przed);
    }

    // A project in a folder where no new file may be made is written in
    // place, and only there. Its old content is kept in a copy until the
    // new one is on the disk; a failure puts the old bytes back, and when
    // even that fails, or the write is killed, the copy stays and is named.
    void sharedFolderWritesInPlace_data() {
        QTest::addColumn<bool>("istnieje");
        QTest::addColumn<QString>("awaria");
        QTest::addColumn<int>("blad");   // 0: saved
        QTest::addColumn<bool>("kopia"); // the copy of the old content stays
        QTest::newRow("existing file") << true << QString() << 0 << false;
        QTest::newRow("no file yet") << false << QString() << EACCES << false;
        QTest::newRow("every sync fails: no copy, no write") << true << u"sync"_s << EIO << false;
        QTest::newRow("the file's sync fails: old bytes unsure")
            << true << u"file sync"_s << EIO << true;
        QTest::newRow("full disk") << true << u"full disk"_s << ENOSPC << false;
        QTest::newRow("killed while writing") << true << u"killed"_s << 0 << true;
    }
    void sharedFolderWritesInPlace() {
        QFETCH(bool, istnieje);
        QFETCH(QString, awaria);
        QFETCH(int, blad);
        QFETCH(bool, kopia);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString folder = dir.filePath(u"wspolny"_s);
        QVERIFY(QDir().mkpath(folder));
        std::optional<Tmpfs> tmpfs;
        if (awaria == u"full disk") {
            if (::geteuid() != 0)
                QSKIP("a full disk is a small tmpfs, and mounting one needs root");
            tmpfs.emplace(folder, "size=64k,mode=0755");
            if (!tmpfs->zamontowany)
                QSKIP("this system does not allow mounting a tmpfs");
        }
        const QString plik = folder + u"/projekt.xml"_s;
        const QString kopiaPliku = kopiaZapisuNaMiejscu(plik);
        const QByteArray stare = dokumentProjektu(projekt(1));
        if (istnieje)
            QVERIFY(zapiszBajty(plik, stare));
        if (tmpfs)
            zapelnij(folder, 0);
        const auto przed = zawartoscFolderu(folder);
        const ListaPozycji nowy = projekt(60); // more than one page of the disk
        struct stat st {};
        g_celAwarii = ::stat(QFile::encodeName(plik).constData(), &st) == 0 ? st.st_ino : 0;
        {
            ZamknietyFolder zamkniety(folder, plik);
            PodmianaSynchronizacji synchronizacja(awaria == u"sync" ? synchronizacjaPlikuZawodzi
                                                  : awaria == u"file sync"
                                                      ? synchronizacjaCeluZawodzi
                                                      : nullptr);
            if (awaria == u"killed") {
                const pid_t pid = ::fork();
                if (pid == 0) {
                    ZapisAtomowy::ustawSynchronizacje(synchronizacjaCeluZabija);
                    try {
                        zapiszPlikProjektu(plik, nowy);
                    } catch (...) {
                    }
                    ::_exit(0);
                }
                int stan = 0;
                QCOMPARE(::waitpid(pid, &stan, 0), pid);
                QVERIFY(WIFSIGNALED(stan));
                QCOMPARE(bajtyPliku(kopiaPliku), stare);
                // The file may be anything now: it is not taken for a project.
                try {
                    wczytajPlikProjektu(plik);
                    QFAIL("an interrupted project was read");
                } catch (const EBladPlikuProjektu& e) {
                    QVERIFY2(e.text().contains(QDir::toNativeSeparators(kopiaPliku)),
                             qPrintable(e.text()));
                }
            }
            try {
                zapiszPlikProjektu(plik, nowy);
                QCOMPARE(blad, 0);
            } catch (const EInOutError& e) {
                QVERIFY2(blad != 0 && maPowod(e.text(), blad), qPrintable(e.text()));
                if (kopia)
                    QVERIFY(e.text().contains(QDir::toNativeSeparators(kopiaPliku)));
            }
        }
        if (blad == 0) {
            QCOMPARE(bajtyPliku(plik), dokumentProjektu(nowy));
            QCOMPARE(wpisyFolderu(folder), QStringList{u"projekt.xml"_s});
            QVERIFY(!QFileInfo::exists(kopiaPliku));
        } else {
            QCOMPARE(zawartoscFolderu(folder), przed);
            QCOMPARE(bajtyPliku(kopiaPliku), kopia ? stare : QByteArray());
            QFile::remove(kopiaPliku);
        }
    }

    // A write killed before its end leaves its temporary file; the next
    // write of the same file removes it, but not the file of a write still
    // running, nor names that are not its own temporary files.
    void nextWriteRemovesLeftovers_data() {
        QTest::addColumn<QString>("zapis");
        for (const char* zapis : {"project", "settings", "player.dat", "announcement"})
            QTest::newRow(zapis) << QString::fromLatin1(zapis);
    }
    void nextWriteRemovesLeftovers() {
        QFETCH(QString, zapis);
        QTemporaryDir dir;
        const QString folder = dir.filePath(u"cel"_s);
        QVERIFY(QDir().mkpath(folder));
        const Zapis z = zapisDla(zapis, folder, dir.path());
        QVERIFY(zapiszBajty(z.plik, z.stare));
        const pid_t pid = ::fork();
        if (pid == 0) {
            // A name of its own: the child has the parent's random numbers.
            QRandomGenerator::global()->discard(100);
            ZapisAtomowy przerwany(z.plik);
            przerwany.zapisz("połowa");
            ::raise(SIGKILL);
            ::_exit(0);
        }
        int stan = 0;
        QCOMPARE(::waitpid(pid, &stan, 0), pid);
        QVERIFY(WIFSIGNALED(stan));
        const QString nazwa = QFileInfo(z.plik).fileName();
        QCOMPARE(wpisyFolderu(folder).size(), 2);

        QStringList zostaja{nazwa};
        for (const QString& obcy : {u".%1.ABC.tmp"_s, u".%1.abc.part"_s, u"%1.abc.tmp"_s,
                                    u".%1.x.abc.tmp"_s, u".inny%1.abc.tmp"_s}) {
            QVERIFY(zapiszBajty(folder + u'/' + obcy.arg(nazwa), "obcy"));
            zostaja.append(obcy.arg(nazwa));
        }
        const QStringList przedTrwajacym = wpisyFolderu(folder);
        ZapisAtomowy trwajacy(z.plik);
        for (const QString& n : wpisyFolderu(folder)) {
            if (!przedTrwajacym.contains(n))
                zostaja.append(n);
        }
        z.zapisz();
        zostaja.sort();
        QCOMPARE(wpisyFolderu(folder), zostaja);
        QVERIFY(bajtyPliku(z.plik) != z.stare);
    }

    // Under a file-size limit (ulimit -f) the write fails with its reason,
    // in place too, instead of the program being ended by a signal, and
    // nothing is left behind.
    void fileSizeLimitFailsTheWrite_data() {
        QTest::addColumn<bool>("naMiejscu");
        QTest::newRow("new file beside") << false;
        QTest::newRow("in place") << true;
    }
    void fileSizeLimitFailsTheWrite() {
        QFETCH(bool, naMiejscu);
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString folder = dir.filePath(u"cel"_s);
        QVERIFY(QDir().mkpath(folder));
        const QString plik = folder + u"/projekt.xml"_s;
        QVERIFY(zapiszBajty(plik, dokumentProjektu(projekt(1))));
        const auto przed = zawartoscFolderu(folder);
        std::optional<ZamknietyFolder> zamkniety;
        if (naMiejscu)
            zamkniety.emplace(folder, plik);
        const pid_t pid = ::fork();
        if (pid == 0) {
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            zapisyPonadLimitZwracajaBlad();
            int kod = 1; // reported as saved
            try {
                zapiszPlikProjektu(plik, projekt(60));
            } catch (const EInOutError& e) {
                kod = maPowod(e.text(), EFBIG) ? 0 : 2;
            }
            ::_exit(kod);
        }
        int stan = 0;
        QCOMPARE(::waitpid(pid, &stan, 0), pid);
        zamkniety.reset();
        QVERIFY2(WIFEXITED(stan), "ended by a signal");
        QCOMPARE(WEXITSTATUS(stan), 0);
        QCOMPARE(zawartoscFolderu(folder), przed);
        QVERIFY(!QFileInfo::exists(kopiaZapisuNaMiejscu(plik)));
    }
};

QTEST_GUILESS_MAIN(TestZapisAtomowy)
#include "tst_zapisatomowy.moc"
