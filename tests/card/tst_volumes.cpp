#include "card/FreeSpace.h"
#include "card/Volumes.h"
#include "support/Tmpfs.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestVolumes : public QObject {
    Q_OBJECT
private slots:
    void mountTable() {
        // A desktop's mount table: what a user can put a book on, and what
        // the kernel, the init system, containers and snaps mount.
        const QByteArray mountinfo =
            "21 26 0:20 / /proc rw,relatime - proc proc rw\n"
            "22 26 0:21 / /sys rw,relatime - sysfs sysfs rw\n"
            "23 26 0:6 / /dev rw,relatime - devtmpfs udev rw,mode=755\n"
            "24 23 0:22 / /dev/shm rw - tmpfs tmpfs rw\n"
            "25 23 0:23 / /dev/mqueue rw - mqueue mqueue rw\n"
            "26 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
            "27 26 0:24 / /run rw - tmpfs tmpfs rw,size=1625632k\n"
            "28 27 0:25 / /run/user/1000 rw - tmpfs tmpfs rw\n"
            "29 28 0:26 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
            "30 22 0:27 / /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n"
            "31 22 0:28 / /sys/kernel/debug rw - debugfs debugfs rw\n"
            "32 21 0:29 / /proc/sys/fs/binfmt_misc rw - autofs systemd-1 rw\n"
            "33 26 7:1 / /snap/core/123 ro shared:5 - squashfs /dev/loop1 ro\n"
            "34 26 0:30 / /var/lib/docker/overlay2/abc/merged rw - overlay overlay rw\n"
            "35 26 8:3 / /home rw shared:7 master:2 - btrfs /dev/sda3 rw\n"
            "36 27 8:17 / /run/media/ola/KARTA rw - exfat /dev/sdb1 rw\n"
            "37 26 8:33 / /media/ola/MY\\040STICK rw - vfat /dev/sdc1 rw\n"
            "38 26 8:49 / /mnt/dysk\\134b rw - fuseblk /dev/sdd1 rw\n"
            "39 26 0:31 / /tmp rw - tmpfs tmpfs rw\n"
            "40 26 8:65 / /mnt/xfs rw - xfs /dev/sde1 rw\n"
            "41 26 8:66 / /mnt/xfs rw - ext4 /dev/sde2 rw\n"
            "43 26 8:4 / /boot rw - ext4 /dev/sda4 rw\n"
            "44 43 8:5 / /boot/efi rw - vfat /dev/sda5 rw\n"
            "45 26 8:6 / /var rw - ext4 /dev/sda6 rw\n"
            "malformed line\n"
            "42 26 8:67 / /mnt/bez-typu rw -\n"
            "\n";
        const auto etykieta = [](const QString& urzadzenie) {
            if (urzadzenie == u"/dev/sdb1"_s)
                return u"KARTA"_s;
            if (urzadzenie == u"/dev/sdc1"_s)
                return u"Zażółć gęślą"_s;
            return QString();
        };
        // sdd is a removable disk (its partition has no flag of its own),
        // sde a fixed one; sda2's size is known, sdc1's is not.
        const QHash<QString, QByteArray> sys = {
            {u"/sys/dev/block/8:49/../removable"_s, "1\n"},
            {u"/sys/dev/block/8:49/size"_s, "15523840\n"},
            {u"/sys/dev/block/8:17/../removable"_s, "0\n"},
            {u"/sys/dev/block/8:17/size"_s, "62521344\n"},
            {u"/sys/dev/block/8:65/removable"_s, "0\n"},
            {u"/sys/dev/block/8:66/../removable"_s, "0\n"},
            {u"/sys/dev/block/8:66/size"_s, "1048576\n"},
            {u"/sys/dev/block/8:2/size"_s, "976773168\n"},
        };
        const ListaWoluminow woluminy = woluminyZMountinfo(
            mountinfo, etykieta, [&sys](const QString& plik) { return sys.value(plik); });

        const auto wolumin = [](const QString& punkt, const QString& typ, const QString& dev,
                                const QString& etykieta, bool wymienny, qint64 rozmiar) {
            return Wolumin{punkt, typ, dev, etykieta, wymienny, rozmiar};
        };
        const ListaWoluminow oczekiwane = {
            wolumin(u"/"_s, u"ext4"_s, u"/dev/sda2"_s, {}, false, 500'107'862'016),
            wolumin(u"/boot"_s, u"ext4"_s, u"/dev/sda4"_s, {}, false, 0),
            wolumin(u"/boot/efi"_s, u"vfat"_s, u"/dev/sda5"_s, {}, false, 0),
            wolumin(u"/home"_s, u"btrfs"_s, u"/dev/sda3"_s, {}, false, 0),
            // A USB stick under /media counts as removable without a flag.
            wolumin(u"/media/ola/MY STICK"_s, u"vfat"_s, u"/dev/sdc1"_s, u"Zażółć gęślą"_s, true,
                    0),
            wolumin(u"/mnt/dysk\\b"_s, u"fuseblk"_s, u"/dev/sdd1"_s, {}, true, 7'948'206'080),
            // Mounted over: the later mount is the one visible.
            wolumin(u"/mnt/xfs"_s, u"ext4"_s, u"/dev/sde2"_s, {}, false, 536'870'912),
            wolumin(u"/run/media/ola/KARTA"_s, u"exfat"_s, u"/dev/sdb1"_s, u"KARTA"_s, true,
                    32'010'928'128),
            wolumin(u"/tmp"_s, u"tmpfs"_s, u"tmpfs"_s, {}, false, 0),
            wolumin(u"/var"_s, u"ext4"_s, u"/dev/sda6"_s, {}, false, 0),
        };
        QCOMPARE(woluminy, oczekiwane);

        // The card list: no system mount, removable volumes first.
        QStringList karty;
        for (const Wolumin& w : woluminyKart(woluminy))
            karty.append(w.opis());
        QCOMPARE(karty, (QStringList{
                            u"/media/ola/MY STICK [Zażółć gęślą]"_s, u"/mnt/dysk\\b [7,4 GB]"_s,
                            u"/run/media/ola/KARTA [KARTA, 29,8 GB]"_s, u"/mnt/xfs [512,0 MB]"_s}));
        QCOMPARE(woluminy.first().opis(), u"/ [465,8 GB]"_s);
        QCOMPARE(woluminy.at(3).opis(), u"/home"_s);

        // Mount points as the card check sees them: decoded, exact.
        for (const auto& punkt : {u"/"_s, u"/mnt/dysk\\b"_s, u"/media/ola/MY STICK"_s})
            QVERIFY2(punktMontowaniaWMountinfo(mountinfo, punkt), qPrintable(punkt));
        for (const auto& punkt : {u"/mnt"_s, u"/media/ola/MY"_s, u"/mnt/dysk\\134b"_s, u""_s})
            QVERIFY2(!punktMontowaniaWMountinfo(mountinfo, punkt), qPrintable(punkt));
    }

    void systemMounts_data() {
        QTest::addColumn<QString>("punkt");
        QTest::addColumn<bool>("systemowy");
        for (const char* p :
             {"/", "/home", "/tmp", "/root", "/boot", "/boot/efi", "/usr/local", "/var/lib/docker",
              "/opt", "/srv/nfs", "/run/lock", "/snap/x", "/dev/shm"})
            QTest::newRow(p) << QString::fromLatin1(p) << true;
        for (const char* p : {"/media/ola/KARTA", "/run/media/ola/KARTA", "/mnt", "/mnt/sd",
                              "/home/ola/karta", "/tmp/karta", "/variant", "/media"})
            QTest::newRow(p) << QString::fromLatin1(p) << false;
    }
    void systemMounts() {
        QFETCH(QString, punkt);
        QFETCH(bool, systemowy);
        QCOMPARE(systemowyPunktMontowania(punkt), systemowy);
    }

    void sizeText_data() {
        QTest::addColumn<qint64>("bajty");
        QTest::addColumn<QString>("tekst");
        QTest::newRow("bytes") << qint64(1023) << u"1023,0 B"_s;
        QTest::newRow("kB") << qint64(1024) << u"1,0 kB"_s;
        QTest::newRow("8 GB card") << qint64(7'948'206'080) << u"7,4 GB"_s;
        QTest::newRow("never 1024,0")
            << qint64(1024) * 1024 * 1024 * 1023 + 1'050'000'000 << u"1,0 TB"_s;
    }
    void sizeText() {
        QFETCH(qint64, bajty);
        QFETCH(QString, tekst);
        QCOMPARE(opisRozmiaru(bajty), tekst);
    }

    // The real test: an empty folder is no mount point, a tmpfs mounted on
    // it is, and the folders inside that tmpfs are none again.
    void mountPointsOfThisSystem() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString karta = dir.filePath(u"karta"_s);
        QVERIFY(QDir().mkpath(karta + u"/w/srodku"_s));
        QVERIFY(punktMontowania(u"/"_s));
        QVERIFY(!punktMontowania(karta));
        QVERIFY(!punktMontowania(dir.filePath(u"brak"_s)));
        if (::geteuid() != 0)
            QSKIP("mounting a tmpfs needs root");
        Tmpfs tmpfs(karta, "size=64k");
        if (!tmpfs.zamontowany)
            QSKIP("this system does not allow mounting a tmpfs");
        QVERIFY(punktMontowania(karta));
        QVERIFY(punktMontowania(karta + u"/"_s));
        QVERIFY(QDir().mkpath(karta + u"/w"_s));
        QVERIFY(!punktMontowania(karta + u"/w"_s));
        // Reached through a symbolic link, it is the same mount point.
        QVERIFY(QFile::link(karta, dir.filePath(u"link"_s)));
        QVERIFY(punktMontowania(dir.filePath(u"link"_s)));
    }

    void fatHoweverMounted_data() {
        QTest::addColumn<QString>("montowanie");
        QTest::addColumn<QString>("urzadzenie");
        QTest::addColumn<bool>("fat");
        QTest::newRow("vfat") << u"vfat"_s << QString() << true;
        QTest::newRow("msdos") << u"msdos"_s << QString() << true;
        QTest::newRow("FUSE FAT driver") << u"fuse.fusefat"_s << QString() << true;
        QTest::newRow("fuseblk of a FAT device") << u"fuseblk"_s << u"vfat"_s << true;
        QTest::newRow("fuseblk of NTFS") << u"fuseblk"_s << u"ntfs"_s << false;
        QTest::newRow("fuseblk, type unknown") << u"fuseblk"_s << QString() << false;
        QTest::newRow("exFAT has no 4 GiB limit") << u"exfat"_s << u"exfat"_s << false;
        QTest::newRow("ext4 on a FAT-typed device is ext4") << u"ext4"_s << u"vfat"_s << false;
    }
    void fatHoweverMounted() {
        QFETCH(QString, montowanie);
        QFETCH(QString, urzadzenie);
        QFETCH(bool, fat);
        QCOMPARE(systemPlikowFat(montowanie, urzadzenie), fat);
    }

    // A bind mount of the system's root is a mount point on the system's
    // own device: neither listed as a card nor accepted as one.
    void bindMountOfTheSystemDisk() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(naUrzadzeniuSystemu(u"/"_s));
        QVERIFY(!drugiePodpiecieSystemu(dir.path())); // a plain folder is no second mount
        if (::geteuid() != 0)
            QSKIP("bind mounts need root");
        const QString punkt = dir.filePath(u"media-x"_s);
        QVERIFY(QDir().mkpath(punkt));
        if (::mount("/", QFile::encodeName(punkt).constData(), nullptr, MS_BIND, nullptr) != 0)
            QSKIP("this system does not allow a bind mount");
        const auto odmontuj =
            qScopeGuard([&] { ::umount2(QFile::encodeName(punkt).constData(), MNT_DETACH); });
        QVERIFY(punktMontowania(punkt));
        QVERIFY(drugiePodpiecieSystemu(punkt));
        QVERIFY(!kartaDostepna(punkt + u"/"_s, SystemoweWolneMiejsce()));
        const Wolumin wolumin{punkt, u"ext4"_s, u"/dev/sda1"_s, {}, true, 0};
        QCOMPARE(woluminyKart({wolumin}), ListaWoluminow{});
        // A volume of its own, at the same place, is a card.
        Tmpfs tmpfs(punkt, "size=64k");
        QVERIFY(tmpfs.zamontowany);
        QVERIFY(kartaDostepna(punkt + u"/"_s, SystemoweWolneMiejsce()));
    }

    void labelsFromLinks() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString root = dir.path();
        QVERIFY(QDir(root).mkpath(u"dev/disk/by-label"_s));
        for (const auto& name : {u"sdb1"_s, u"sdc1"_s}) {
            QFile device(root + u"/dev/"_s + name);
            QVERIFY(device.open(QIODevice::WriteOnly));
        }
        const QString labels = root + u"/dev/disk/by-label/"_s;
        // udev writes unsafe characters of a label as \xHH.
        QVERIFY(QFile::link(u"../../sdb1"_s, labels + u"MOJA\\x20KARTA"_s));
        QVERIFY(QFile::link(u"../../sdc1"_s, labels + u"Książki\\x2f2024"_s));
        QVERIFY(QFile::link(u"../../brak"_s, labels + u"ZERWANY"_s));

        const auto etykiety = etykietyUrzadzen(labels);
        QCOMPARE(etykiety.size(), 2);
        QCOMPARE(etykiety.value(QFileInfo(root + u"/dev/sdb1"_s).canonicalFilePath()),
                 u"MOJA KARTA"_s);
        QCOMPARE(etykiety.value(QFileInfo(root + u"/dev/sdc1"_s).canonicalFilePath()),
                 u"Książki/2024"_s);
    }

    // The scan asks no network or FUSE mount that is not removable media,
    // asks the rest each on its own, and returns within its limit with the
    // mount points that answered: one that stalls is left out, not waited for.
    void scanNeverWaitsOnAStalledMount() {
        const QByteArray mountinfo =
            "26 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
            "40 26 8:17 / /media/ola/KARTA rw - vfat /dev/sdb1 rw\n"
            "41 26 8:33 / /media/ola/STOI rw - vfat /dev/sdc1 rw\n"
            "42 26 0:50 / /mnt/nfs rw - nfs4 serwer:/ksiazki rw\n"
            "43 26 0:51 / /home/ola/zdalny rw - fuse.sshfs ola@serwer: rw\n"
            "44 26 0:52 / /mnt/fuse rw - fuse.rozne cos rw\n"
            "45 26 0:53 / /media/ola/NTFS rw - fuseblk /dev/sdd1 rw\n"
            "46 26 8:65 / /etc/hosts rw - ext4 /dev/sde1 rw\n";
        struct Zawieszenie {
            std::mutex mutex;
            std::condition_variable zwolniono;
            bool zwolnione = false;
            QStringList zapytane;
        };
        auto stan = std::make_shared<Zawieszenie>();
        const auto zwolnij = qScopeGuard([stan] {
            const std::lock_guard blokada(stan->mutex);
            stan->zwolnione = true;
            stan->zwolniono.notify_all();
        });
        ZrodloWoluminow zrodlo;
        zrodlo.mountinfo = [&] { return mountinfo; };
        zrodlo.etykieta = [](const QString&) { return QString(); };
        zrodlo.sys = [](const QString&) { return QByteArray(); };
        zrodlo.jestFolderem = [stan](const QString& punkt) {
            std::unique_lock blokada(stan->mutex);
            stan->zapytane.append(punkt);
            if (punkt.endsWith(u"STOI"_s))
                stan->zwolniono.wait(blokada, [&] { return stan->zwolnione; });
            return punkt != u"/etc/hosts"_s;
        };
        int limitFaktow = -1;
        zrodlo.fakty = [&](ListaWoluminow woluminy, int czas) {
            limitFaktow = czas;
            return woluminy;
        };
        QStringList punkty;
        for (const Wolumin& w : skanujWoluminy(zrodlo, 200))
            punkty.append(w.punktMontowania);
        QCOMPARE(punkty, (QStringList{u"/"_s, u"/media/ola/KARTA"_s, u"/media/ola/NTFS"_s}));
        QVERIFY(limitFaktow >= 100 && limitFaktow <= 3000);
        const std::lock_guard blokada(stan->mutex);
        stan->zapytane.sort();
        QCOMPARE(stan->zapytane, (QStringList{u"/"_s, u"/etc/hosts"_s, u"/media/ola/KARTA"_s,
                                              u"/media/ola/NTFS"_s, u"/media/ola/STOI"_s}));
    }
};

QTEST_GUILESS_MAIN(TestVolumes)
#include "tst_volumes.moc"
