#include "card/KsiazkaNaKarcie.h"

#include "base/Errors.h"
#include "base/ZapisAtomowy.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Large chunks, aligned for reads that pass the system's cache (O_DIRECT).
constexpr std::size_t rozmiarPorcji = std::size_t{16} << 20;
constexpr std::size_t wyrownanie = 4096;

using Bufor = std::unique_ptr<char, decltype(&std::free)>;

Bufor nowyBufor() {
    Bufor bufor(static_cast<char*>(std::aligned_alloc(wyrownanie, rozmiarPorcji)), &std::free);
    if (!bufor)
        throw std::bad_alloc();
    return bufor;
}

// A file descriptor closed when it goes out of scope.
class Deskryptor {
public:
    explicit Deskryptor(int fd = -1) : m_fd(fd) {}
    ~Deskryptor() { zamknij(); }
    Deskryptor(const Deskryptor&) = delete;
    Deskryptor& operator=(const Deskryptor&) = delete;
    int fd() const { return m_fd; }
    // Closes now; the close's own result (a delayed write error) is returned.
    int zamknij() {
        const int wynik = m_fd >= 0 ? ::close(m_fd) : 0;
        m_fd = -1;
        return wynik;
    }

private:
    int m_fd;
};

// What ends the work early: a failure with its message, or the user's stop.
struct Niepowodzenie {
    QString tekst;
};
struct Stop {};

QString nazwaTymczasowa(pid_t pid, int numer) {
    return QStringLiteral(".sonvek-%1-%2.tmp").arg(pid).arg(numer);
}

QByteArray nazwaBajtowo(const QString& nazwa) {
    return QFile::encodeName(nazwa);
}

// The pid of a temporary name of the program's own; none for other names.
std::optional<pid_t> pidPozostalosci(const QString& nazwa) {
    static const QRegularExpression wzor(QStringLiteral("^\\.sonvek-(\\d{1,9})-\\d\\.tmp$"));
    const auto dopasowanie = wzor.match(nazwa);
    if (!dopasowanie.hasMatch())
        return std::nullopt;
    return static_cast<pid_t>(dopasowanie.captured(1).toLong());
}

// Whether a temporary file of process `pid` is a leftover: its process is
// gone, or it is this process, whose copies never overlap.
bool porzucona(pid_t pid) {
    if (pid == ::getpid())
        return true;
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Calls `dla` for each leftover temporary file in the folder of `fd`.
template <typename F> void dlaPozostalosci(int folder, F&& dla) {
    const int kopia = ::dup(folder);
    if (kopia < 0)
        return;
    DIR* katalog = ::fdopendir(kopia);
    if (!katalog) {
        ::close(kopia);
        return;
    }
    QStringList nazwy;
    while (const dirent* wpis = ::readdir(katalog)) {
        const QString nazwa = QFile::decodeName(wpis->d_name);
        if (const auto pid = pidPozostalosci(nazwa); pid && porzucona(*pid))
            nazwy.append(nazwa);
    }
    ::closedir(katalog);
    for (const QString& nazwa : nazwy)
        dla(nazwa);
}

int otworzKorzen(const QString& korzen) {
    return ::open(nazwaBajtowo(korzen).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Whether the card root's descriptor still is the folder at `korzen`: a card
// taken out (or unmounted lazily) leaves the descriptor on a volume no
// longer there.
bool kartaNaMiejscu(int folder, const QString& korzen) {
    struct stat otwarty {};
    struct stat teraz {};
    return ::fstat(folder, &otwarty) == 0 &&
           ::stat(nazwaBajtowo(korzen).constData(), &teraz) == 0 &&
           otwarty.st_dev == teraz.st_dev && otwarty.st_ino == teraz.st_ino;
}

QString kartaWyjeta() {
    return QStringLiteral("Karta została wyjęta lub odłączona podczas kopiowania. Włóż ją "
                          "ponownie i skopiuj książkę jeszcze raz.");
}

ssize_t czytajZPliku(int fd, char* bufor, std::size_t ile, off_t pozycja) {
    return ::pread(fd, bufor, ile, pozycja);
}

// Reads up to `ile` bytes at `pozycja`, fewer only at the end of the file.
ssize_t czytajPelne(const ObslugaKopiowania& obsluga, int fd, char* bufor, std::size_t ile,
                    off_t pozycja) {
    const auto& odczyt = obsluga.odczyt ? obsluga.odczyt : czytajZPliku;
    // A direct read comes short only at the end (another read there would
    // not be aligned).
    const bool bezposrednio = (::fcntl(fd, F_GETFL) & O_DIRECT) != 0;
    std::size_t mam = 0;
    while (mam < ile) {
        const ssize_t n = odczyt(fd, bufor + mam, ile - mam, pozycja + off_t(mam));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        mam += std::size_t(n);
        if (bezposrednio && mam % wyrownanie != 0)
            break;
    }
    return ssize_t(mam);
}

void zglos(const ObslugaKopiowania& obsluga, EtapKarty etap, int plik, std::int64_t bajty,
           std::int64_t razem) {
    if (obsluga.postep && !obsluga.postep({etap, plik, bajty, razem}))
        throw Stop{};
}

void krok(const ObslugaKopiowania& obsluga, const char* nazwa) {
    if (obsluga.poKroku)
        obsluga.poKroku(nazwa);
}

// The first position at which the card's file (read through the seam)
// differs from the store's; none when they are equal. Failures throw.
std::optional<std::int64_t> pierwszaRoznica(int magazyn, const QString& sciezkaMagazynu, int karta,
                                            const QString& sciezkaKarty,
                                            const ObslugaKopiowania& obsluga, int plik,
                                            std::int64_t razem) {
    const Bufor a = nowyBufor();
    const Bufor b = nowyBufor();
    std::int64_t pozycja = 0;
    for (;;) {
        // The store's chunk is read on a second thread while the card's comes.
        ssize_t na = 0;
        int bladMagazynu = 0;
        std::thread magazynWTle([&] {
            na = czytajPelne({}, magazyn, a.get(), rozmiarPorcji, off_t(pozycja));
            bladMagazynu = errno;
        });
        const ssize_t nb = czytajPelne(obsluga, karta, b.get(), rozmiarPorcji, off_t(pozycja));
        const int bladKarty = errno;
        magazynWTle.join();
        if (na < 0)
            throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1: %2")
                                    .arg(sciezkaMagazynu, powodBleduKarty(bladMagazynu))};
        if (nb < 0)
            throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                    .arg(sciezkaKarty, powodBleduKarty(bladKarty))};
        const std::size_t wspolne = std::size_t(std::min(na, nb));
        // memcmp is many times faster; the byte is looked for only when needed.
        if (std::memcmp(a.get(), b.get(), wspolne) != 0)
            return pozycja + (std::mismatch(a.get(), a.get() + wspolne, b.get()).first - a.get());
        if (na != nb)
            return pozycja + std::int64_t(wspolne);
        pozycja += na;
        zglos(obsluga, EtapKarty::Sprawdzanie, plik, std::min(pozycja, razem), razem);
        if (na == 0)
            return std::nullopt;
    }
}

QString opisRoznicy(const QString& sciezkaKarty, std::int64_t pozycja) {
    return QStringLiteral("Karta zawiera uszkodzoną kopię książki: plik %1 różni się od pliku w "
                          "magazynie od bajtu %2. Nie należy używać tej karty.")
        .arg(sciezkaKarty)
        .arg(pozycja);
}

// Opens a store file for reading.
int otworzMagazyn(const QString& sciezka) {
    const int fd = ::open(nazwaBajtowo(sciezka).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw Niepowodzenie{
            QStringLiteral("Nie można otworzyć pliku %1: %2").arg(sciezka, powodBleduKarty(errno))};
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return fd;
}

// Opens a file in the card root for reading, never through a link, so that
// reading asks the card: past the system's cache (O_DIRECT, also the
// fastest way), or where the file system cannot do that with the cached
// pages of the file dropped.
int otworzNaKarcie(int folder, const QByteArray& nazwa) {
    const int flagi = O_RDONLY | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(folder, nazwa.constData(), flagi | O_DIRECT);
    if (fd < 0 && errno == EINVAL) {
        fd = ::openat(folder, nazwa.constData(), flagi);
        if (fd >= 0)
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    }
    return fd;
}

// ---- the marker of the renames ---------------------------------------------
// Before the first rename the copy writes a small marker in the card root,
// whole or not at all, naming each temporary file and the book's name it
// becomes; it is removed after the renames and the folder's sync. A copy
// killed between two renames leaves a new book file beside old index files:
// the marker then says that the temporary files were complete and read back
// equal, so whoever next touches the card finishes the renames.

const char naglowekZnacznika[] = "sonvek-zamiana 1";

QString nazwaZnacznika() {
    return QStringLiteral(".sonvek-zamiana");
}

// A name the marker may name in the card root: a plain name, no path.
bool nazwaWKorzeniu(const QString& nazwa) {
    return !nazwa.isEmpty() && nazwa != u"." && nazwa != u".." && !nazwa.contains(u'/') &&
           !nazwa.contains(QChar(0));
}

// A temporary file and the name it becomes. Its inode tells whether a name
// on the card is that very file, renamed or not.
struct Zamiana {
    QByteArray tymczas, cel;
    ino_t wezel = 0;
};

QByteArray trescZnacznika(const QList<Zamiana>& zamiany) {
    QByteArray tresc =
        QByteArray(naglowekZnacznika) + "\npid " + QByteArray::number(::getpid()) + '\n';
    for (const Zamiana& z : zamiany)
        tresc += z.tymczas + '\t' + z.cel + '\t' + QByteArray::number(quint64(z.wezel)) + '\n';
    return tresc;
}

struct Znacznik {
    pid_t pid = 0;
    QList<Zamiana> zamiany;
};

// Reads the marker; none when the card has none. A marker that is not the
// program's own (a link, something else of that name, other content) throws.
std::optional<Znacznik> czytajZnacznik(int folder, const QString& korzen) {
    const QString sciezka = korzen + nazwaZnacznika();
    const Deskryptor fd(::openat(folder, nazwaBajtowo(nazwaZnacznika()).constData(),
                                 O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (fd.fd() < 0 && errno == ENOENT)
        return std::nullopt;
    if (fd.fd() < 0 && errno == ELOOP)
        throw Niepowodzenie{komunikatDowiazania(sciezka)};
    if (fd.fd() < 0)
        throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                .arg(sciezka, powodBleduKarty(errno))};
    QByteArray tresc(64 * 1024, '\0');
    const ssize_t n = czytajPelne({}, fd.fd(), tresc.data(), std::size_t(tresc.size()), 0);
    if (n < 0)
        throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                .arg(sciezka, powodBleduKarty(errno))};
    tresc.truncate(n);
    const QList<QByteArray> wiersze = tresc.split('\n');
    Znacznik znacznik;
    bool dobry = wiersze.size() >= 3 && wiersze.at(0) == naglowekZnacznika &&
                 wiersze.at(1).startsWith("pid ") && wiersze.last().isEmpty();
    if (dobry)
        znacznik.pid = static_cast<pid_t>(wiersze.at(1).mid(4).toLong(&dobry));
    for (qsizetype i = 2; dobry && i + 1 < wiersze.size(); ++i) {
        const QList<QByteArray> pola = wiersze.at(i).split('\t');
        dobry = pola.size() == 3 && pidPozostalosci(QFile::decodeName(pola.at(0))) &&
                nazwaWKorzeniu(QFile::decodeName(pola.at(1)));
        if (dobry)
            znacznik.zamiany.append(
                {pola.at(0), pola.at(1), static_cast<ino_t>(pola.at(2).toULongLong(&dobry))});
    }
    if (!dobry)
        throw Niepowodzenie{QStringLiteral("Na karcie jest plik %1, którego program nie rozpoznaje "
                                           "jako swojego. Usuń go z karty i skopiuj książkę "
                                           "ponownie.")
                                .arg(sciezka)};
    return znacznik;
}

// Syncs the card root; some file systems cannot sync a folder, which is no
// failure.
void synchronizujFolder(int folder, const QString& korzen) {
    if (::fsync(folder) != 0 && errno != EINVAL && errno != EROFS)
        throw Niepowodzenie{
            QStringLiteral("Nie można zapisać folderu %1: %2").arg(korzen, powodBleduKarty(errno))};
}

void usunZnacznik(int folder, const QString& korzen) {
    if (::unlinkat(folder, nazwaBajtowo(nazwaZnacznika()).constData(), 0) != 0 && errno != ENOENT)
        throw Niepowodzenie{QStringLiteral("Nie można usunąć pliku %1 z karty: %2")
                                .arg(korzen + nazwaZnacznika(), powodBleduKarty(errno))};
    synchronizujFolder(folder, korzen);
}

// Whether `nazwa` in the card root is the regular file of inode `wezel`.
bool tenPlik(int folder, const QByteArray& nazwa, ino_t wezel) {
    struct stat info {};
    return ::fstatat(folder, nazwa.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(info.st_mode) && info.st_ino == wezel;
}

// Finishes the renames of a copy killed between them (see above). Each
// temporary file was either renamed already (the book's name is that
// file), or is still there, or is lost (a failed copy removed it): with
// none lost the renames are finished; with none renamed the old book is
// whole; with both the book is mixed and cannot be mended here.
DokonczenieKopii dokonczZamiane(int folder, const QString& korzen) {
    const auto znacznik = czytajZnacznik(folder, korzen);
    // A copy of another program still running renames its files itself.
    if (!znacznik || !porzucona(znacznik->pid))
        return {};
    QList<Zamiana> czekajace;
    QStringList nazwy, zgubione;
    bool przemianowane = false;
    for (const Zamiana& z : znacznik->zamiany) {
        nazwy.append(korzen + QFile::decodeName(z.cel));
        if (tenPlik(folder, z.tymczas, z.wezel))
            czekajace.append(z);
        else if (tenPlik(folder, z.cel, z.wezel))
            przemianowane = true;
        else
            zgubione.append(nazwy.last());
    }
    DokonczenieKopii wynik;
    if (zgubione.isEmpty() && !czekajace.isEmpty()) {
        for (const Zamiana& z : czekajace)
            if (::renameat(folder, z.tymczas.constData(), folder, z.cel.constData()) != 0)
                throw Niepowodzenie{
                    QStringLiteral("Nie można dokończyć przerwanej zamiany plików "
                                   "książki na karcie (%1: %2). Pliki książki na "
                                   "karcie mogą pochodzić z dwóch różnych kopii.")
                        .arg(korzen + QFile::decodeName(z.cel), powodBleduKarty(errno))};
        synchronizujFolder(folder, korzen);
        wynik = {DokonczenieKopii::Stan::Dokonczono,
                 QStringLiteral("Poprzednie kopiowanie książki na kartę zostało przerwane podczas "
                                "zamiany plików. Pliki były już w całości zapisane i sprawdzone, "
                                "więc zamianę dokończono: na karcie jest cała nowa książka (%1).")
                     .arg(nazwy.join(QStringLiteral(", ")))};
    } else if (!zgubione.isEmpty() && przemianowane) {
        wynik = {DokonczenieKopii::Stan::Pomieszana,
                 QStringLiteral("Poprzednie kopiowanie książki na kartę zostało przerwane podczas "
                                "zamiany plików i nie da się go dokończyć, bo brakuje nowej wersji "
                                "pliku %1: książka na karcie jest pomieszana ze starszą. Skopiuj "
                                "ją ponownie.")
                     .arg(zgubione.join(QStringLiteral(", ")))};
    }
    usunZnacznik(folder, korzen);
    return wynik;
}

// The temporary files of one copy: removed unless they were renamed.
struct Tymczasowe {
    int folder = -1;
    QList<QByteArray> nazwy;
    ~Tymczasowe() {
        for (const QByteArray& nazwa : nazwy)
            ::unlinkat(folder, nazwa.constData(), 0);
    }
};

// Copies up to `ile` bytes of `wejscie` at `pozycja` to the end of
// `wyjscie`: inside the system where it can (copy_file_range, then
// sendfile: no trip through this program's memory, much the fastest), else
// by reading and writing. `jadro` says which way still works; it falls back
// where a file system cannot. 0 only at the end of the input.
ssize_t kopiujPorcje(int wejscie, int wyjscie, off_t pozycja, std::size_t ile, char* bufor,
                     int& jadro) {
    while (jadro > 0) {
        off_t od = pozycja;
        const ssize_t n = jadro == 2 ? ::copy_file_range(wejscie, &od, wyjscie, nullptr, ile, 0)
                                     : ::sendfile(wyjscie, wejscie, &od, ile);
        if (n > 0)
            return n;
        if (n < 0 && errno == EINTR)
            continue;
        // A file system that cannot copy this way says so, or copies nothing.
        if (n == 0 || errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == ETXTBSY || errno == EBADF)
            --jadro;
        else
            return -1;
    }
    const ssize_t n = czytajPelne({}, wejscie, bufor, ile, pozycja);
    if (n <= 0)
        return n;
    if (const int numer = zapiszWszystko(wyjscie, bufor, n)) {
        errno = numer;
        return -1;
    }
    return n;
}

// Copies the store file into a new temporary file on the card; the file is
// synced and its cached pages dropped.
void zapiszTymczasowy(const QString& zrodlo, int folder, const QByteArray& tymczas,
                      const QString& cel, const ObslugaKopiowania& obsluga, int plik, char* bufor) {
    Deskryptor wejscie(otworzMagazyn(zrodlo));
    struct stat info {};
    ::fstat(wejscie.fd(), &info);
    const std::int64_t razem = info.st_size;
    const auto bladZapisu = [&cel](int numer) {
        return Niepowodzenie{
            QStringLiteral("Nie można zapisać pliku %1: %2").arg(cel, powodBleduKarty(numer))};
    };
    Deskryptor wyjscie(::openat(folder, tymczas.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (wyjscie.fd() < 0)
        throw bladZapisu(errno);
    std::int64_t skopiowano = 0;
    int jadro = 2;
    zglos(obsluga, EtapKarty::Kopiowanie, plik, 0, razem);
    for (;;) {
        // Reading the store and writing the card fail alike here; the
        // store was just opened, so the card is what failed.
        const ssize_t n = kopiujPorcje(wejscie.fd(), wyjscie.fd(), off_t(skopiowano), rozmiarPorcji,
                                       bufor, jadro);
        if (n < 0)
            throw bladZapisu(errno);
        if (n == 0)
            break;
        // The card starts writing this chunk while the next one is copied.
        ::sync_file_range(wyjscie.fd(), skopiowano, n, SYNC_FILE_RANGE_WRITE);
        skopiowano += n;
        krok(obsluga, "porcja");
        zglos(obsluga, EtapKarty::Kopiowanie, plik, skopiowano, razem);
    }
    if (::fsync(wyjscie.fd()) != 0)
        throw bladZapisu(errno);
    ::posix_fadvise(wyjscie.fd(), 0, 0, POSIX_FADV_DONTNEED);
    if (wyjscie.zamknij() != 0)
        throw bladZapisu(errno);
    krok(obsluga, "plik zsynchronizowany");
}

// Refuses a book whose name on the card is a link or a folder, and asks
// before replacing a file. False: the user keeps the card's file.
bool celeDozwolone(int folder, const QString& korzen, const QStringList& nazwy,
                   const ObslugaKopiowania& obsluga) {
    for (const QString& nazwa : nazwy) {
        struct stat info {};
        if (::fstatat(folder, nazwaBajtowo(nazwa).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(info.st_mode))
            throw Niepowodzenie{komunikatDowiazania(korzen + nazwa)};
        if (S_ISDIR(info.st_mode))
            throw Niepowodzenie{
                QStringLiteral("Na karcie jest folder o nazwie %1.").arg(korzen + nazwa)};
    }
    for (const QString& nazwa : nazwy) {
        struct stat info {};
        if (::fstatat(folder, nazwaBajtowo(nazwa).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            obsluga.czyZamienic && !obsluga.czyZamienic(korzen + nazwa))
            return false;
    }
    return true;
}

} // namespace

QString powodBleduKarty(int numerBledu) {
    switch (numerBledu) {
    case ENOSPC:
        return QStringLiteral("na karcie zabrakło miejsca");
    case EDQUOT:
        return QStringLiteral("przekroczono przydział miejsca na karcie");
    case EIO:
        return QStringLiteral("błąd odczytu lub zapisu karty (karta mogła zostać wyjęta albo "
                              "jest uszkodzona)");
    case ENODEV:
    case ENXIO:
    case EXDEV:
    case ESTALE:
    case ENOTCONN:
        return QStringLiteral("karta została wyjęta lub odłączona");
    case EROFS:
        return QStringLiteral("karta jest tylko do odczytu (zabezpieczona przed zapisem)");
    case EACCES:
    case EPERM:
        return QStringLiteral("brak uprawnień do zapisu");
    case EFBIG:
        return QStringLiteral("plik jest za duży dla systemu plików karty");
    case ENAMETOOLONG:
        return QStringLiteral("nazwa pliku jest za długa dla systemu plików karty");
    case ELOOP:
        return QStringLiteral("nazwa jest dowiązaniem symbolicznym");
    case ENOENT:
        return QStringLiteral("nie ma takiego pliku ani folderu");
    default:
        return QStringLiteral("błąd systemu nr %1 (%2)")
            .arg(numerBledu)
            .arg(QString::fromLocal8Bit(std::strerror(numerBledu)));
    }
}

bool dowiazanieNaKarcie(const QString& korzen, const QString& nazwa) {
    struct stat info {};
    return ::lstat(nazwaBajtowo(korzen + nazwa).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

QString komunikatDowiazania(const QString& sciezka) {
    return QStringLiteral("Na karcie %1 jest dowiązaniem symbolicznym. Program nie zapisuje przez "
                          "dowiązania, więc na karcie nic nie zostało zapisane. Usuń to "
                          "dowiązanie z karty i spróbuj ponownie.")
        .arg(sciezka);
}

std::uint64_t klastryPozostalosci(const QString& korzen, std::int64_t klaster) {
    const Deskryptor folder(otworzKorzen(korzen));
    if (folder.fd() < 0 || klaster <= 0)
        return 0;
    std::uint64_t klastry = 0;
    dlaPozostalosci(folder.fd(), [&](const QString& nazwa) {
        struct stat info {};
        if (::fstatat(folder.fd(), nazwaBajtowo(nazwa).constData(), &info, AT_SYMLINK_NOFOLLOW) ==
                0 &&
            S_ISREG(info.st_mode))
            klastry +=
                (std::uint64_t(info.st_size) + std::uint64_t(klaster) - 1) / std::uint64_t(klaster);
    });
    return klastry;
}

RaportKopiowania kopiujKsiazkeNaKarte(const QStringList& pliki, const QString& korzen,
                                      const ObslugaKopiowania& obsluga) {
    QString dokonczenie;
    try {
        const Deskryptor folder(otworzKorzen(korzen));
        if (folder.fd() < 0)
            throw Niepowodzenie{QStringLiteral("Karta nie jest dostępna: %1 (%2)")
                                    .arg(korzen, powodBleduKarty(errno))};
        // A copy killed between its renames is finished first, then what
        // earlier killed copies left behind is removed.
        dokonczenie = dokonczZamiane(folder.fd(), korzen).tekst;
        dlaPozostalosci(folder.fd(), [&](const QString& nazwa) {
            ::unlinkat(folder.fd(), nazwaBajtowo(nazwa).constData(), 0);
        });
        QStringList nazwy;
        for (const QString& plik : pliki)
            nazwy.append(QFileInfo(plik).fileName());
        if (!celeDozwolone(folder.fd(), korzen, nazwy, obsluga))
            return {WynikKopiowania::NieZamieniono, {}, dokonczenie};

        const Bufor bufor = nowyBufor();
        Tymczasowe tymczasowe;
        tymczasowe.folder = folder.fd();
        QList<Zamiana> zamiany;
        for (int i = 0; i < pliki.size(); ++i) {
            const QByteArray tymczas = nazwaBajtowo(nazwaTymczasowa(::getpid(), i));
            tymczasowe.nazwy.append(tymczas);
            zapiszTymczasowy(pliki.at(i), folder.fd(), tymczas, korzen + nazwy.at(i), obsluga, i,
                             bufor.get());
        }
        // Each file as the card returns it, before any old file is replaced.
        for (int i = 0; i < pliki.size(); ++i) {
            const QString cel = korzen + nazwy.at(i);
            const Deskryptor fd(otworzNaKarcie(folder.fd(), tymczasowe.nazwy.at(i)));
            if (fd.fd() < 0)
                throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                        .arg(cel, powodBleduKarty(errno))};
            struct stat info {};
            ::fstat(fd.fd(), &info);
            zamiany.append({tymczasowe.nazwy.at(i), nazwaBajtowo(nazwy.at(i)), info.st_ino});
            const Deskryptor magazyn(otworzMagazyn(pliki.at(i)));
            zglos(obsluga, EtapKarty::Sprawdzanie, i, 0, info.st_size);
            const auto pozycja =
                pierwszaRoznica(magazyn.fd(), pliki.at(i), fd.fd(), cel, obsluga, i, info.st_size);
            if (!pozycja)
                continue;
            throw Niepowodzenie{opisRoznicy(cel, *pozycja) +
                                QStringLiteral(" Poprzednie pliki na karcie pozostały bez zmian.")};
        }
        if (!kartaNaMiejscu(folder.fd(), korzen))
            throw Niepowodzenie{kartaWyjeta()};
        // The marker first, then the three renames one right after the other.
        if (struct stat info{}; ::fstatat(folder.fd(), nazwaBajtowo(nazwaZnacznika()).constData(),
                                          &info, AT_SYMLINK_NOFOLLOW) == 0)
            throw Niepowodzenie{QStringLiteral("Inne kopiowanie na tę kartę jeszcze trwa (plik "
                                               "%1). Poczekaj, aż się skończy.")
                                    .arg(korzen + nazwaZnacznika())};
        try {
            ZapisAtomowy::zapiszCaly(korzen + nazwaZnacznika(), trescZnacznika(zamiany));
        } catch (const EInOutError& e) {
            throw Niepowodzenie{errorMessage(e)};
        }
        // From here on the temporary files stay when a rename fails: the
        // marker names them, and the next touch of the card finishes the work.
        tymczasowe.nazwy.clear();
        krok(obsluga, "znacznik zapisany");
        for (int i = 0; i < pliki.size(); ++i) {
            if (::renameat(folder.fd(), zamiany.at(i).tymczas.constData(), folder.fd(),
                           zamiany.at(i).cel.constData()) != 0)
                throw Niepowodzenie{QStringLiteral("Nie można zapisać pliku %1: %2")
                                        .arg(korzen + nazwy.at(i), powodBleduKarty(errno))};
            krok(obsluga, "nazwa zamieniona");
        }
        synchronizujFolder(folder.fd(), korzen);
        krok(obsluga, "folder zsynchronizowany");
        usunZnacznik(folder.fd(), korzen);
        krok(obsluga, "znacznik usunięty");
        if (!kartaNaMiejscu(folder.fd(), korzen))
            throw Niepowodzenie{kartaWyjeta()};
        return {WynikKopiowania::Skopiowano, {}, dokonczenie};
    } catch (const Niepowodzenie& n) {
        return {WynikKopiowania::Blad, n.tekst, dokonczenie};
    } catch (const Stop&) {
        return {WynikKopiowania::Anulowano, {}, dokonczenie};
    }
}

DokonczenieKopii dokonczPrzerwanaKopie(const QString& korzen) {
    try {
        const Deskryptor folder(otworzKorzen(korzen));
        if (folder.fd() < 0)
            return {};
        return dokonczZamiane(folder.fd(), korzen);
    } catch (const Niepowodzenie& n) {
        return {DokonczenieKopii::Stan::Blad, n.tekst};
    }
}

RaportSprawdzenia sprawdzKsiazkeNaKarcie(const QStringList& pliki, const QString& korzen,
                                         const ObslugaKopiowania& obsluga) {
    try {
        const Deskryptor folder(otworzKorzen(korzen));
        if (folder.fd() < 0)
            throw Niepowodzenie{QStringLiteral("Karta nie jest dostępna: %1 (%2)")
                                    .arg(korzen, powodBleduKarty(errno))};
        const DokonczenieKopii dokonczenie = dokonczZamiane(folder.fd(), korzen);
        const auto z = [&dokonczenie](WynikSprawdzenia wynik, const QString& opis) {
            return RaportSprawdzenia{
                wynik, dokonczenie.tekst.isEmpty() ? opis : dokonczenie.tekst + u' ' + opis};
        };
        for (int i = 0; i < pliki.size(); ++i) {
            const QString nazwa = QFileInfo(pliki.at(i)).fileName();
            const QString cel = korzen + nazwa;
            const Deskryptor magazyn(otworzMagazyn(pliki.at(i)));
            const Deskryptor fd(otworzNaKarcie(folder.fd(), nazwaBajtowo(nazwa)));
            if (fd.fd() < 0 && (errno == ENOENT || errno == ELOOP))
                return z(WynikSprawdzenia::Niezgodna,
                         errno == ENOENT ? QStringLiteral("Na karcie nie ma pliku %1.").arg(cel)
                                         : komunikatDowiazania(cel));
            if (fd.fd() < 0)
                throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                        .arg(cel, powodBleduKarty(errno))};
            struct stat info {};
            ::fstat(magazyn.fd(), &info);
            zglos(obsluga, EtapKarty::Sprawdzanie, i, 0, info.st_size);
            if (const auto pozycja = pierwszaRoznica(magazyn.fd(), pliki.at(i), fd.fd(), cel,
                                                     obsluga, i, info.st_size))
                return z(WynikSprawdzenia::Niezgodna, opisRoznicy(cel, *pozycja));
        }
        // A book mixed from two copies is never called whole, even if the
        // store's files happen to match.
        if (dokonczenie.stan == DokonczenieKopii::Stan::Pomieszana)
            return {WynikSprawdzenia::Niezgodna, dokonczenie.tekst};
        return z(WynikSprawdzenia::Zgodna, QString::fromUtf16(ksiazkaZgodna));
    } catch (const Niepowodzenie& n) {
        return {WynikSprawdzenia::Blad, n.tekst};
    } catch (const Stop&) {
        return {WynikSprawdzenia::Anulowano, {}};
    }
}
