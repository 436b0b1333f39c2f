#include "card/Volumes.h"

#include "card/UDisks2.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The kernel writes space, tab, newline and backslash in mountinfo fields
// as three-digit octal escapes ("\040").
QString bezEscapeOsemkowych(const QByteArray& pole) {
    QByteArray bajty;
    bajty.reserve(pole.size());
    for (qsizetype i = 0; i < pole.size(); ++i) {
        const char c = pole.at(i);
        if (c == '\\' && i + 3 < pole.size()) {
            const char a = pole.at(i + 1), b = pole.at(i + 2), d = pole.at(i + 3);
            const auto osemkowa = [](char x) { return x >= '0' && x <= '7'; };
            if (osemkowa(a) && osemkowa(b) && osemkowa(d)) {
                bajty.append(static_cast<char>(((a - '0') << 6) | ((b - '0') << 3) | (d - '0')));
                i += 3;
                continue;
            }
        }
        bajty.append(c);
    }
    return QString::fromUtf8(bajty);
}

// udev names label links with unsafe characters as "\xHH".
QString bezEscapeSzesnastkowych(const QString& nazwa) {
    const QByteArray pole = QFile::encodeName(nazwa);
    QByteArray bajty;
    bajty.reserve(pole.size());
    for (qsizetype i = 0; i < pole.size(); ++i) {
        if (pole.at(i) == '\\' && i + 3 < pole.size() && pole.at(i + 1) == 'x') {
            bool ok = false;
            const int wartosc = pole.mid(i + 2, 2).toInt(&ok, 16);
            if (ok) {
                bajty.append(static_cast<char>(wartosc));
                i += 3;
                continue;
            }
        }
        bajty.append(pole.at(i));
    }
    return QString::fromUtf8(bajty);
}

bool podFolderem(const QString& sciezka, const QString& folder) {
    return sciezka == folder || sciezka.startsWith(folder + QLatin1Char('/'));
}

// One line of a mountinfo file:
// id parent major:minor root mountpoint options [optional...] - type source super
struct Montowanie {
    QByteArray numerUrzadzenia; // "major:minor"
    QString punkt;
    QString typ;
    QString zrodlo;
};

std::optional<Montowanie> montowanie(const QByteArray& wiersz) {
    const QList<QByteArray> pola = wiersz.split(' ');
    const qsizetype myslnik = pola.indexOf(QByteArrayLiteral("-"), 6);
    if (pola.size() < 7 || myslnik < 0 || myslnik + 2 >= pola.size())
        return std::nullopt;
    Montowanie m{pola.at(2), bezEscapeOsemkowych(pola.at(4)),
                 bezEscapeOsemkowych(pola.at(myslnik + 1)),
                 bezEscapeOsemkowych(pola.at(myslnik + 2))};
    if (m.punkt.isEmpty())
        return std::nullopt;
    return m;
}

QByteArray czytajMountinfo() {
    QFile plik(QStringLiteral("/proc/self/mountinfo"));
    return plik.open(QIODevice::ReadOnly) ? plik.readAll() : QByteArray();
}

// A small file of /sys. Plain POSIX: the path may hold "..", which must be
// taken after the symbolic link before it, as the kernel does.
QByteArray czytajPlikSys(const QString& sciezka) {
    const int fd = ::open(QFile::encodeName(sciezka).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char bufor[64];
    const ssize_t n = ::read(fd, bufor, sizeof bufor);
    ::close(fd);
    return n > 0 ? QByteArray(bufor, n) : QByteArray();
}

// Removable flag and size of the block device "major:minor". A partition
// has no removable flag of its own: its disk, the folder above it, has.
void uzupelnijZSys(Wolumin& w, const QByteArray& numer, const CzytnikSys& sys) {
    if (!sys || numer.startsWith("0:"))
        return; // no block device: tmpfs, network and most FUSE mounts
    const QString folder = QStringLiteral("/sys/dev/block/") + QString::fromLatin1(numer);
    QByteArray wymienny = sys(folder + QStringLiteral("/removable")).trimmed();
    if (wymienny.isEmpty())
        wymienny = sys(folder + QStringLiteral("/../removable")).trimmed();
    w.wymienny = w.wymienny || wymienny == "1";
    bool ok = false;
    const qint64 sektory = sys(folder + QStringLiteral("/size")).trimmed().toLongLong(&ok);
    if (ok && sektory > 0 && sektory <= std::numeric_limits<std::int64_t>::max() / 512)
        w.rozmiar = sektory * 512; // the kernel counts 512-byte sectors
}

} // namespace

QString opisRozmiaru(std::int64_t bajty) {
    static const char* const jednostki[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
    double wartosc = static_cast<double>(bajty);
    int jednostka = 0;
    // 1023.96 GB would show as "1024,0 GB": step up before rounding gets there.
    while (wartosc >= 1023.95 && jednostka < 6) {
        wartosc /= 1024;
        ++jednostka;
    }
    return QString::number(wartosc, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(',')) +
           QLatin1Char(' ') + QLatin1String(jednostki[jednostka]);
}

QString Wolumin::opis() const {
    QStringList szczegoly;
    if (!etykieta.isEmpty())
        szczegoly.append(etykieta);
    if (rozmiar > 0)
        szczegoly.append(opisRozmiaru(rozmiar));
    if (szczegoly.isEmpty())
        return punktMontowania;
    return punktMontowania + QStringLiteral(" [") + szczegoly.join(QStringLiteral(", ")) +
           QLatin1Char(']');
}

bool prawdziwySystemPlikow(const QString& typ, const QString& punktMontowania) {
    // Kernel interfaces, run-time state, layered and image file systems: none
    // of them is a place to put a book on.
    static const QSet<QString> pseudo = {
        u"proc"_s,        u"sysfs"_s,      u"cgroup"_s,        u"cgroup2"_s,
        u"devtmpfs"_s,    u"devpts"_s,     u"overlay"_s,       u"aufs"_s,
        u"squashfs"_s,    u"autofs"_s,     u"mqueue"_s,        u"debugfs"_s,
        u"tracefs"_s,     u"securityfs"_s, u"pstore"_s,        u"bpf"_s,
        u"configfs"_s,    u"fusectl"_s,    u"hugetlbfs"_s,     u"binfmt_misc"_s,
        u"efivarfs"_s,    u"nsfs"_s,       u"rpc_pipefs"_s,    u"selinuxfs"_s,
        u"ramfs"_s,       u"nfsd"_s,       u"ecryptfs"_s,      u"fuse.gvfsd-fuse"_s,
        u"fuse.portal"_s, u"fuse.lxcfs"_s, u"fuse.snapfuse"_s, u"rootfs"_s,
    };
    if (pseudo.contains(typ))
        return false;
    for (const auto& folder : {u"/proc"_s, u"/sys"_s, u"/dev"_s}) {
        if (podFolderem(punktMontowania, folder))
            return false;
    }
    if (typ == u"tmpfs"_s && podFolderem(punktMontowania, u"/run"_s))
        return false;
    return true;
}

ListaWoluminow woluminyZMountinfo(const QByteArray& mountinfo,
                                  const std::function<QString(const QString&)>& etykieta,
                                  const CzytnikSys& sys) {
    // Later mounts on the same point hide the earlier ones.
    QMap<QString, Wolumin> wedlugPunktu;
    for (const QByteArray& wiersz : mountinfo.split('\n')) {
        const auto m = montowanie(wiersz);
        if (!m || !prawdziwySystemPlikow(m->typ, m->punkt))
            continue;
        Wolumin w;
        w.punktMontowania = m->punkt;
        w.typ = m->typ;
        w.urzadzenie = m->zrodlo;
        w.etykieta = etykieta(w.urzadzenie);
        w.wymienny = podFolderem(w.punktMontowania, u"/media"_s) ||
                     podFolderem(w.punktMontowania, u"/run/media"_s);
        // A FUSE block mount (an NTFS or exFAT stick) reports an anonymous
        // device: the flags are those of the device it was given.
        QByteArray numer = m->numerUrzadzenia;
        struct stat zrodlo {};
        if (numer.startsWith("0:") && sys && m->zrodlo.startsWith(u"/dev/"_s) &&
            ::stat(QFile::encodeName(m->zrodlo).constData(), &zrodlo) == 0 &&
            S_ISBLK(zrodlo.st_mode))
            numer = QByteArray::number(major(zrodlo.st_rdev)) + ':' +
                    QByteArray::number(minor(zrodlo.st_rdev));
        uzupelnijZSys(w, numer, sys);
        wedlugPunktu.insert(w.punktMontowania, w);
    }
    return wedlugPunktu.values();
}

bool systemowyPunktMontowania(const QString& punkt) {
    // Only the top of these: below them users mount their own volumes.
    for (const auto& szczyt : {u"/"_s, u"/home"_s, u"/tmp"_s, u"/root"_s}) {
        if (punkt == szczyt)
            return true;
    }
    if (podFolderem(punkt, u"/run/media"_s))
        return false;
    // These and everything below them.
    for (const auto& folder :
         {u"/boot"_s, u"/efi"_s, u"/usr"_s, u"/var"_s, u"/opt"_s, u"/srv"_s, u"/etc"_s, u"/run"_s,
          u"/snap"_s, u"/nix"_s, u"/gnu"_s, u"/proc"_s, u"/sys"_s, u"/dev"_s}) {
        if (podFolderem(punkt, folder))
            return true;
    }
    return false;
}

bool naUrzadzeniuSystemu(const QString& folder) {
    struct stat ten {};
    struct stat korzen {};
    return ::stat(QFile::encodeName(folder).constData(), &ten) == 0 && ::stat("/", &korzen) == 0 &&
           ten.st_dev == korzen.st_dev;
}

bool drugiePodpiecieSystemu(const QString& folder) {
    return naUrzadzeniuSystemu(folder) && punktMontowania(folder);
}

ListaWoluminow woluminyKart(const ListaWoluminow& woluminy,
                            const std::function<bool(const QString&)>& systemowe) {
    ListaWoluminow karty;
    for (const Wolumin& w : woluminy) {
        if (!systemowyPunktMontowania(w.punktMontowania) && !systemowe(w.punktMontowania))
            karty.append(w);
    }
    std::stable_partition(karty.begin(), karty.end(), [](const Wolumin& w) { return w.wymienny; });
    return karty;
}

bool punktMontowaniaWMountinfo(const QByteArray& mountinfo, const QString& folder) {
    for (const QByteArray& wiersz : mountinfo.split('\n')) {
        const auto m = montowanie(wiersz);
        if (m && m->punkt == folder)
            return true;
    }
    return false;
}

bool punktMontowania(const QString& folder) {
    const QString kanoniczny = QFileInfo(folder).canonicalFilePath();
    if (kanoniczny.isEmpty())
        return false;
    struct stat ten {};
    struct stat rodzic {};
    const QByteArray sciezka = QFile::encodeName(kanoniczny);
    if (::stat(sciezka.constData(), &ten) != 0 || !S_ISDIR(ten.st_mode))
        return false;
    if (::stat((sciezka + "/..").constData(), &rodzic) == 0 && rodzic.st_dev != ten.st_dev)
        return true;
    return punktMontowaniaWMountinfo(czytajMountinfo(), kanoniczny);
}

QHash<QString, QString> etykietyUrzadzen(const QString& folder) {
    QHash<QString, QString> etykiety;
    const QDir dir(folder);
    for (const QFileInfo& link :
         dir.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot)) {
        const QString cel = link.canonicalFilePath();
        if (!cel.isEmpty())
            etykiety.insert(cel, bezEscapeSzesnastkowych(link.fileName()));
    }
    return etykiety;
}

bool mozeZawisnac(const Wolumin& wolumin) {
    static const QSet<QString> sieciowe = {
        u"nfs"_s,   u"nfs4"_s,  u"cifs"_s, u"smb3"_s,      u"smbfs"_s,  u"ncpfs"_s,
        u"9p"_s,    u"afs"_s,   u"ceph"_s, u"glusterfs"_s, u"lustre"_s, u"gfs2"_s,
        u"ocfs2"_s, u"davfs"_s, u"coda"_s, u"virtiofs"_s,
    };
    const QString& typ = wolumin.typ;
    if (sieciowe.contains(typ) || typ.startsWith(u"fuse.sshfs"_s) || typ == u"fuse.rclone"_s)
        return true;
    const bool fuse = typ == u"fuse"_s || typ == u"fuseblk"_s || typ.startsWith(u"fuse."_s);
    return fuse && !wolumin.wymienny;
}

namespace {

// The answers of the mount points, filled by worker threads that may
// outlive the scan (a stalled mount keeps its thread until it answers).
struct OdpowiedziPunktow {
    std::mutex mutex;
    std::condition_variable gotowe;
    std::vector<signed char> folder; // -1: no answer yet
    qsizetype czeka = 0;
};

} // namespace

ListaWoluminow skanujWoluminy(const ZrodloWoluminow& zrodlo, int limit) {
    QElapsedTimer czas;
    czas.start();
    const QByteArray mountinfo = zrodlo.mountinfo ? zrodlo.mountinfo() : czytajMountinfo();
    if (mountinfo.isEmpty())
        return {};
    std::function<QString(const QString&)> etykieta = zrodlo.etykieta;
    if (!etykieta) {
        const QHash<QString, QString> etykiety =
            etykietyUrzadzen(QStringLiteral("/dev/disk/by-label"));
        etykieta = [etykiety](const QString& urzadzenie) {
            const QString kanoniczna = QFileInfo(urzadzenie).canonicalFilePath();
            return etykiety.value(kanoniczna.isEmpty() ? urzadzenie : kanoniczna);
        };
    }
    ListaWoluminow woluminy = woluminyZMountinfo(
        mountinfo, etykieta, zrodlo.sys ? zrodlo.sys : CzytnikSys(czytajPlikSys));
    woluminy.removeIf(mozeZawisnac);

    // Files bound over files (a container's /etc/hosts) are no place for a
    // book. Each mount point is asked on a thread of its own.
    auto odpowiedzi = std::make_shared<OdpowiedziPunktow>();
    odpowiedzi->folder.assign(std::size_t(woluminy.size()), -1);
    odpowiedzi->czeka = woluminy.size();
    const std::function<bool(const QString&)> jestFolderem =
        zrodlo.jestFolderem ? zrodlo.jestFolderem
                            : [](const QString& punkt) { return QFileInfo(punkt).isDir(); };
    for (qsizetype i = 0; i < woluminy.size(); ++i) {
        std::thread([odpowiedzi, jestFolderem, i, punkt = woluminy.at(i).punktMontowania] {
            const bool folder = jestFolderem(punkt);
            const std::lock_guard blokada(odpowiedzi->mutex);
            odpowiedzi->folder[std::size_t(i)] = folder ? 1 : 0;
            --odpowiedzi->czeka;
            odpowiedzi->gotowe.notify_all();
        }).detach();
    }
    std::vector<signed char> folder;
    {
        std::unique_lock blokada(odpowiedzi->mutex);
        odpowiedzi->gotowe.wait_for(
            blokada, std::chrono::milliseconds(std::max<qint64>(0, limit - czas.elapsed())),
            [&] { return odpowiedzi->czeka == 0; });
        folder = odpowiedzi->folder;
    }
    ListaWoluminow odpowiedzialy;
    for (qsizetype i = 0; i < woluminy.size(); ++i) {
        if (folder[std::size_t(i)] == 1)
            odpowiedzialy.append(woluminy.at(i));
    }
    const int zostalo = int(std::clamp<qint64>(limit - czas.elapsed(), 100, 3000));
    return zrodlo.fakty ? zrodlo.fakty(odpowiedzialy, zostalo)
                        : zFaktamiUDisks2(odpowiedzialy, zostalo);
}

ListaWoluminow listaWoluminow() {
    return skanujWoluminy(ZrodloWoluminow{});
}

ListaWoluminow zFaktamiUDisks2(ListaWoluminow woluminy, int czas) {
    using namespace udisks2;
    const Odpowiedz odpowiedz = udisks2::obiekty(czas);
    if (!odpowiedz.obiekty)
        return woluminy;
    const Obiekty& obiekty = *odpowiedz.obiekty;
    for (auto it = obiekty.cbegin(); it != obiekty.cend(); ++it) {
        const QVariantMap fs = it->value(QString::fromUtf16(interfejsSystemuPlikow));
        if (!fs.contains(u"MountPoints"_s))
            continue;
        const QVariantMap blok = it->value(QString::fromUtf16(interfejsBloku));
        const QVariantMap naped = obiekty.value(sciezkaObiektu(blok.value(u"Drive"_s)))
                                      .value(QString::fromUtf16(interfejsNapedu));
        const QString etykieta = blok.value(u"IdLabel"_s).toString();
        const std::int64_t rozmiar = blok.value(u"Size"_s).toLongLong();
        const bool wymienny =
            naped.value(u"Removable"_s).toBool() || naped.value(u"MediaRemovable"_s).toBool();
        for (const QString& punkt : punktyMontowania(fs.value(u"MountPoints"_s))) {
            for (Wolumin& w : woluminy) {
                if (w.punktMontowania != punkt)
                    continue;
                if (!etykieta.isEmpty())
                    w.etykieta = etykieta;
                if (rozmiar > 0)
                    w.rozmiar = rozmiar;
                w.wymienny = w.wymienny || wymienny;
            }
        }
    }
    return woluminy;
}

bool systemPlikowFat(const QString& typMontowania, const QString& typUrzadzenia) {
    static const QSet<QString> fat = {u"vfat"_s,  u"msdos"_s, u"fat"_s,  u"umsdos"_s,
                                      u"fat12"_s, u"fat16"_s, u"fat32"_s};
    if (fat.contains(typMontowania) || typMontowania == u"fuse.fusefat"_s ||
        typMontowania == u"fusefat"_s)
        return true;
    const bool fuse = typMontowania == u"fuseblk"_s || typMontowania == u"fuse"_s ||
                      typMontowania.startsWith(u"fuse."_s);
    return fuse && fat.contains(typUrzadzenia.toLower());
}

namespace {

// The file system a block device carries: udev's database first (readable
// by everyone), then blkid. Empty when neither tells.
QString typUrzadzenia(const QString& urzadzenie) {
    struct stat info {};
    if (!urzadzenie.startsWith(u"/dev/"_s) ||
        ::stat(QFile::encodeName(urzadzenie).constData(), &info) != 0 || !S_ISBLK(info.st_mode))
        return {};
    QFile udev(
        QStringLiteral("/run/udev/data/b%1:%2").arg(major(info.st_rdev)).arg(minor(info.st_rdev)));
    if (udev.open(QIODevice::ReadOnly)) {
        for (const QByteArray& wiersz : udev.readAll().split('\n')) {
            if (wiersz.startsWith("E:ID_FS_TYPE="))
                return QString::fromLatin1(wiersz.mid(13)).trimmed();
        }
    }
    QProcess blkid;
    blkid.start(u"blkid"_s, {u"-o"_s, u"value"_s, u"-s"_s, u"TYPE"_s, urzadzenie});
    if (!blkid.waitForFinished(3000)) {
        blkid.kill();
        blkid.waitForFinished(1000);
        return {};
    }
    return QString::fromLatin1(blkid.readAllStandardOutput()).trimmed();
}

} // namespace

bool woluminFat(const QString& folder) {
    const QString kanoniczny = QFileInfo(folder).canonicalFilePath();
    if (kanoniczny.isEmpty())
        return false;
    // The deepest mount holding the folder; a later mount on the same point wins.
    std::optional<Montowanie> najlepsze;
    for (const QByteArray& wiersz : czytajMountinfo().split('\n')) {
        const auto m = montowanie(wiersz);
        if (m && (m->punkt == u"/"_s || podFolderem(kanoniczny, m->punkt)) &&
            (!najlepsze || m->punkt.size() >= najlepsze->punkt.size()))
            najlepsze = m;
    }
    if (!najlepsze)
        return false;
    if (systemPlikowFat(najlepsze->typ, {}))
        return true;
    return systemPlikowFat(najlepsze->typ, typUrzadzenia(najlepsze->zrodlo));
}
