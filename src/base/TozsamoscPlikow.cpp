#include "base/TozsamoscPlikow.h"

#include "base/Paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <sys/vfs.h>
#endif

namespace {

// What a name leads to, as far as telling two names of one file apart
// needs.
struct Stan {
    TozsamoscPliku id;
    bool folder = false;
    qint64 rozmiar = 0;
    qint64 czas = 0; // of the last change of the content, ns
    bool bezWielkosciLiter = false;
    QString kanoniczna; // links and "." and ".." resolved, the case as given
};

#ifdef Q_OS_UNIX
// File systems whose names ignore case, by the type statfs reports: FAT,
// exFAT, NTFS and HFS+ in the kernel, and FUSE and network shares, through
// which the same ones are mounted (fusefat, exfat-fuse, NTFS-3G, SMB).
bool ignorujeWielkoscLiter(const QByteArray& sciezka) {
    struct statfs s {};
    if (::statfs(sciezka.constData(), &s) != 0)
        return false;
    switch (static_cast<unsigned long>(s.f_type)) {
    case 0x4d44:     // FAT
    case 0x2011BAB0: // exFAT
    case 0x5346544e: // NTFS
    case 0x7366746e: // NTFS (ntfs3)
    case 0x482b:     // HFS+
    case 0x65735546: // FUSE
    case 0x517B:     // SMB
    case 0xFF534D42: // CIFS
    case 0xFE534D42: // SMB2
        return true;
    default:
        return false;
    }
}
#endif

} // namespace

struct TozsamoscPlikow::Dane {
    QList<std::optional<Stan>> sciezki;
    QList<bool> dowiazania;
    bool saFoldery = false;
    QHash<QString, std::optional<qsizetype>> znane;
    QHash<quint64, bool> bezWielkosciLiter; // by device

    std::optional<Stan> zbadaj(const QString& sciezka) {
        if (sciezka.isEmpty())
            return std::nullopt;
        Stan s;
#ifdef Q_OS_UNIX
        const QByteArray nazwa = nazwaDlaSystemu(sciezka);
        struct stat st {};
        if (::stat(nazwa.constData(), &st) != 0)
            return std::nullopt;
        s.id = {quint64(st.st_dev), quint64(st.st_ino)};
        s.folder = S_ISDIR(st.st_mode);
        s.rozmiar = st.st_size;
        s.czas = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        auto it = bezWielkosciLiter.constFind(s.id.urzadzenie);
        if (it == bezWielkosciLiter.cend())
            it = bezWielkosciLiter.insert(s.id.urzadzenie, ignorujeWielkoscLiter(nazwa));
        s.bezWielkosciLiter = *it;
#else
        const QFileInfo info(sciezka);
        if (!info.exists())
            return std::nullopt;
        s.folder = info.isDir();
        s.rozmiar = info.size();
        s.bezWielkosciLiter = true;
#endif
        s.kanoniczna = QFileInfo(sciezka).canonicalFilePath();
        return s;
    }

    static bool tenSam(const Stan& a, const Stan& b) {
#ifdef Q_OS_UNIX
        if (a.id == b.id)
            return true;
        // Some file systems that ignore case give each spelling of a name
        // its own inode number (FAT through FUSE): the same entry of the
        // same folder then looks the same in every other respect.
        if (!a.bezWielkosciLiter || !b.bezWielkosciLiter || a.id.urzadzenie != b.id.urzadzenie ||
            a.folder != b.folder || a.rozmiar != b.rozmiar || a.czas != b.czas)
            return false;
#endif
        return a.kanoniczna.compare(b.kanoniczna, Qt::CaseInsensitive) == 0;
    }

    std::optional<qsizetype> ktory(const QString& sciezka) {
        const auto znany = znane.constFind(sciezka);
        if (znany != znane.cend())
            return *znany;
        std::optional<qsizetype> wynik;
        if (const std::optional<Stan> s = zbadaj(sciezka)) {
            for (qsizetype k = 0; k < sciezki.size() && !wynik; ++k) {
                if (sciezki.at(k) && tenSam(*s, *sciezki.at(k)))
                    wynik = k;
            }
            // What lies in a listed folder: its real folder, and so on up.
            const QString rodzic = QFileInfo(s->kanoniczna).path();
            if (!wynik && saFoldery && !s->kanoniczna.isEmpty() && rodzic != s->kanoniczna)
                wynik = ktory(rodzic);
        }
        znane.insert(sciezka, wynik);
        return wynik;
    }
};

std::optional<TozsamoscPliku> tozsamoscPliku(const QString& sciezka) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (sciezka.isEmpty() || ::stat(nazwaDlaSystemu(sciezka).constData(), &st) != 0)
        return std::nullopt;
    return TozsamoscPliku{quint64(st.st_dev), quint64(st.st_ino)};
#else
    const QFileInfo info(sciezka);
    if (sciezka.isEmpty() || !info.exists())
        return std::nullopt;
    return TozsamoscPliku{0, qHash(info.canonicalFilePath())};
#endif
}

TozsamoscPlikow::TozsamoscPlikow(const QStringList& sciezki) : d(std::make_unique<Dane>()) {
    for (const QString& sciezka : sciezki) {
        d->sciezki.append(d->zbadaj(sciezka));
        d->saFoldery = d->saFoldery || (d->sciezki.last() && d->sciezki.last()->folder);
        d->dowiazania.append(!sciezka.isEmpty() && QFileInfo(sciezka).isSymLink());
    }
}

TozsamoscPlikow::~TozsamoscPlikow() = default;

std::optional<qsizetype> TozsamoscPlikow::ktory(const QString& sciezka) const {
    return d->ktory(sciezka);
}

std::optional<Kolizja> TozsamoscPlikow::kolizja(const ChronionePliki& chronione) const {
    if (const auto k = ktory(chronione.projekt))
        return Kolizja{*k, Kolizja::Projekt, -1, chronione.projekt};
    for (qsizetype i = 0; i < chronione.wpisy.size(); ++i) {
        if (const auto k = ktory(chronione.wpisy.at(i)))
            return Kolizja{*k, Kolizja::Wpis, i, chronione.wpisy.at(i)};
    }
    if (const auto k = ktory(chronione.magazyn))
        return Kolizja{*k, Kolizja::Magazyn, -1, chronione.magazyn};
    return std::nullopt;
}

std::optional<qsizetype> TozsamoscPlikow::dowiazanie() const {
    const qsizetype k = d->dowiazania.indexOf(true);
    return k >= 0 ? std::optional<qsizetype>(k) : std::nullopt;
}

QString odmowaDowiazania(const QString& sciezka) {
    return QStringLiteral("Nie można zapisać do %1: to dowiązanie symboliczne (prowadzi do %2), "
                          "a program nie zapisuje przez dowiązania, których sam nie utworzył. "
                          "Podaj miejsce, do którego ono prowadzi")
        .arg(QDir::toNativeSeparators(sciezka),
             QDir::toNativeSeparators(QFileInfo(sciezka).symLinkTarget()));
}
