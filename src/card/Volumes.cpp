#include "card/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSet>

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

} // namespace

QString Wolumin::opis() const {
    if (etykieta.isEmpty())
        return punktMontowania;
    return punktMontowania + QStringLiteral(" [") + etykieta + QLatin1Char(']');
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
                                  const std::function<QString(const QString&)>& etykieta) {
    // Later mounts on the same point hide the earlier ones.
    QMap<QString, Wolumin> wedlugPunktu;
    for (const QByteArray& wiersz : mountinfo.split('\n')) {
        const QList<QByteArray> pola = wiersz.split(' ');
        // id parent major:minor root mountpoint options [optional...] - type source super
        const qsizetype myslnik = pola.indexOf(QByteArrayLiteral("-"), 6);
        if (pola.size() < 7 || myslnik < 0 || myslnik + 2 >= pola.size())
            continue;
        Wolumin w;
        w.punktMontowania = bezEscapeOsemkowych(pola.at(4));
        w.typ = bezEscapeOsemkowych(pola.at(myslnik + 1));
        w.urzadzenie = bezEscapeOsemkowych(pola.at(myslnik + 2));
        if (w.punktMontowania.isEmpty() || !prawdziwySystemPlikow(w.typ, w.punktMontowania))
            continue;
        w.etykieta = etykieta(w.urzadzenie);
        wedlugPunktu.insert(w.punktMontowania, w);
    }
    return wedlugPunktu.values();
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

ListaWoluminow listaWoluminow() {
    QFile plik(QStringLiteral("/proc/self/mountinfo"));
    if (!plik.open(QIODevice::ReadOnly))
        return {};
    const QHash<QString, QString> etykiety = etykietyUrzadzen(QStringLiteral("/dev/disk/by-label"));
    const auto etykieta = [&etykiety](const QString& urzadzenie) {
        const QString kanoniczna = QFileInfo(urzadzenie).canonicalFilePath();
        return etykiety.value(kanoniczna.isEmpty() ? urzadzenie : kanoniczna);
    };
    ListaWoluminow woluminy = woluminyZMountinfo(plik.readAll(), etykieta);
    // Files bound over files (a container's /etc/hosts) are no place for a book.
    woluminy.removeIf([](const Wolumin& w) { return !QFileInfo(w.punktMontowania).isDir(); });
    return woluminy;
}
