// Every file the program writes is written whole or not at all: on a full
// disk, with a failing sync and in a shared folder.

#include "base/ZapisAtomowy.h"
#include "card/CardFiles.h"
#include "merge/MergeJob.h"
#include "merge/Odcinki.h"
#include "project/ProjectFile.h"
#include "settings/SettingsStore.h"
#include "support/FolderContents.h"
#include "support/Tmpfs.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <optional>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QString powod(int numer) {
    return QString::fromLocal8Bit(std::strerror(numer));
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

} // namespace

class TestZapisAtomowy : public QObject {
    Q_OBJECT

private slots:
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

        QString plik;
        QByteArray stare;
        qint64 zapas = 0;
        std::function<void()> zapisz;
        if (zapis == u"project") {
            plik = folder + u"/projekt.xml"_s;
            stare = dokumentProjektu(projekt(2));
            zapisz = [&] { zapiszPlikProjektu(plik, projekt(60)); };
        } else if (zapis == u"settings") {
            plik = folder + u"/SonvCom.reg"_s;
            stare = "[HKEY_CURRENT_USER\\SonvCom]\n\"Karta\"=\"/media/KARTA\"\n";
            zapisz = [&] {
                const auto klucz = SettingsStore(folder).openForWriting(u"SonvCom"_s);
                klucz->writeString(u"Magazyn"_s, u"/home/ola/Książki"_s);
                klucz->commit();
            };
        } else if (zapis == u"player.dat") {
            plik = folder + u"/player.dat"_s;
            stare = "1234 5678";
            zapisz = [&] { zapiszPlayerDat(folder + u'/'); };
        } else if (zapis == u"announcement") {
            plik = folder + u"/rozdział.mp3"_s;
            stare = QByteArray(2717, 'e');
            QVERIFY(zapiszBajty(dir.filePath(u"001.mp3"_s), QByteArray(1000, 'c')));
            zapisz = [&] { dolaczZapowiedz(dir.filePath(u"001.mp3"_s), plik); };
        } else {
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
            QVERIFY2(e.text().contains(powod(pelnyDysk ? ENOSPC : EIO)), qPrintable(e.text()));
        }
        QCOMPARE(zawartoscFolderu(folder), przed);
    }

    // A project in a folder where no new file may be made is written in
    // place, and only there; a failure puts the old bytes back.
    void sharedFolderWritesInPlace_data() {
        QTest::addColumn<bool>("istnieje");
        QTest::addColumn<QString>("awaria"); // "", "sync" or "full disk"
        QTest::addColumn<int>("blad");       // 0: saved
        QTest::newRow("existing file") << true << QString() << 0;
        QTest::newRow("no file yet") << false << QString() << EACCES;
        QTest::newRow("failing sync") << true << u"sync"_s << EIO;
        QTest::newRow("full disk") << true << u"full disk"_s << ENOSPC;
    }
    void sharedFolderWritesInPlace() {
        QFETCH(bool, istnieje);
        QFETCH(QString, awaria);
        QFETCH(int, blad);
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
        const QByteArray stare = dokumentProjektu(projekt(1));
        if (istnieje)
            QVERIFY(zapiszBajty(plik, stare));
        if (tmpfs)
            zapelnij(folder, 0);
        const auto przed = zawartoscFolderu(folder);
        const ListaPozycji nowy = projekt(60); // more than one page of the disk
        {
            ZamknietyFolder zamkniety(folder, plik);
            PodmianaSynchronizacji synchronizacja(awaria == u"sync" ? synchronizacjaPlikuZawodzi
                                                                    : nullptr);
            try {
                zapiszPlikProjektu(plik, nowy);
                QCOMPARE(blad, 0);
            } catch (const EInOutError& e) {
                QVERIFY2(blad != 0 && e.text().contains(powod(blad)), qPrintable(e.text()));
            }
        }
        if (blad == 0) {
            QCOMPARE(bajtyPliku(plik), dokumentProjektu(nowy));
            QCOMPARE(wpisyFolderu(folder), QStringList{u"projekt.xml"_s});
        } else {
            QCOMPARE(zawartoscFolderu(folder), przed);
        }
    }
};

QTEST_GUILESS_MAIN(TestZapisAtomowy)
#include "tst_zapisatomowy.moc"
