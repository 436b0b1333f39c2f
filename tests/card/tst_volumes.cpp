#include "card/Volumes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

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
        const ListaWoluminow woluminy = woluminyZMountinfo(mountinfo, etykieta);

        const ListaWoluminow oczekiwane = {
            {u"/"_s, u"ext4"_s, u"/dev/sda2"_s, {}},
            {u"/home"_s, u"btrfs"_s, u"/dev/sda3"_s, {}},
            {u"/media/ola/MY STICK"_s, u"vfat"_s, u"/dev/sdc1"_s, u"Zażółć gęślą"_s},
            {u"/mnt/dysk\\b"_s, u"fuseblk"_s, u"/dev/sdd1"_s, {}},
            // Mounted over: the later mount is the one visible.
            {u"/mnt/xfs"_s, u"ext4"_s, u"/dev/sde2"_s, {}},
            {u"/run/media/ola/KARTA"_s, u"exfat"_s, u"/dev/sdb1"_s, u"KARTA"_s},
            {u"/tmp"_s, u"tmpfs"_s, u"tmpfs"_s, {}},
        };
        QCOMPARE(woluminy, oczekiwane);
        QCOMPARE(woluminy.at(2).opis(), u"/media/ola/MY STICK [Zażółć gęślą]"_s);
        QCOMPARE(woluminy.at(1).opis(), u"/home"_s);
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

    void thisSystem() {
        const ListaWoluminow woluminy = listaWoluminow();
        for (qsizetype i = 0; i < woluminy.size(); ++i) {
            const Wolumin& w = woluminy.at(i);
            QVERIFY2(QFileInfo(w.punktMontowania).isDir(), qPrintable(w.punktMontowania));
            QVERIFY2(!w.punktMontowania.startsWith(u"/proc"_s) &&
                         !w.punktMontowania.startsWith(u"/sys"_s) &&
                         !w.punktMontowania.startsWith(u"/dev"_s),
                     qPrintable(w.punktMontowania));
            if (i > 0)
                QVERIFY(woluminy.at(i - 1).punktMontowania < w.punktMontowania);
        }
    }
};

QTEST_GUILESS_MAIN(TestVolumes)
#include "tst_volumes.moc"
