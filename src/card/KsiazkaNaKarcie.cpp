#include "card/KsiazkaNaKarcie.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/Transakcja.h"
#include "base/ZapisAtomowy.h"

#include <QCryptographicHash>
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

QByteArray nazwaBajtowo(const QString& nazwa) {
    return QFile::encodeName(nazwa);
}

QString nazwaTymczasowa(int numer) {
    return QStringLiteral(".sonvek-%1-%2-%3.tmp")
        .arg(::getpid())
        .arg(QString::fromLatin1(kluczProcesu(::getpid())))
        .arg(numer);
}

// A temporary name of the program's own: the process that made it and its
// key (empty in the names of older versions, which carried none).
struct Wlasciciel {
    pid_t pid = 0;
    QByteArray klucz;
};

std::optional<Wlasciciel> wlascicielPozostalosci(const QString& nazwa) {
    static const QRegularExpression wzor(
        QStringLiteral("^\\.sonvek-(\\d{1,9})(?:-([0-9a-f]{16}))?-\\d\\.tmp$"));
    const auto dopasowanie = wzor.match(nazwa);
    if (!dopasowanie.hasMatch())
        return std::nullopt;
    return Wlasciciel{static_cast<pid_t>(dopasowanie.captured(1).toLong()),
                      dopasowanie.captured(2).toLatin1()};
}

// Whether the work of `kto` has ended: its process no longer runs (another
// boot, another computer, or its pid now names another process), or it is
// this process, whose copies never overlap.
bool porzucona(const Wlasciciel& kto) {
    if (kto.pid == ::getpid() && (kto.klucz.isEmpty() || kto.klucz == kluczProcesu(kto.pid)))
        return true;
    if (kto.klucz.isEmpty())
        return ::kill(kto.pid, 0) != 0 && errno == ESRCH;
    return kto.klucz != kluczProcesu(kto.pid);
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
        if (const auto kto = wlascicielPozostalosci(nazwa); kto && porzucona(*kto))
            nazwy.append(nazwa);
    }
    ::closedir(katalog);
    for (const QString& nazwa : nazwy)
        dla(nazwa);
}

int otworzKorzen(const QString& korzen) {
    return ::open(nazwaBajtowo(korzen).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The card root for work on it; a card that is not there throws.
int otworzKorzenKarty(const QString& korzen) {
    const int fd = otworzKorzen(korzen);
    if (fd < 0)
        throw Niepowodzenie{
            QStringLiteral("Karta nie jest dostępna: %1 (%2)").arg(korzen, powodBleduKarty(errno))};
    return fd;
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
    // Two buffers for every comparison of this thread: fresh ones for each
    // file would cost their pages anew each time.
    thread_local const Bufor buforA = nowyBufor();
    thread_local const Bufor buforB = nowyBufor();
    char* const a = buforA.get();
    char* const b = buforB.get();
    std::int64_t pozycja = 0;
    for (;;) {
        // The store's chunk is read on a second thread while the card's comes.
        ssize_t na = 0;
        int bladMagazynu = 0;
        std::thread magazynWTle([&] {
            na = czytajPelne({}, magazyn, a, rozmiarPorcji, off_t(pozycja));
            bladMagazynu = errno;
        });
        const ssize_t nb = czytajPelne(obsluga, karta, b, rozmiarPorcji, off_t(pozycja));
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
        if (std::memcmp(a, b, wspolne) != 0)
            return pozycja + (std::mismatch(a, a + wspolne, b).first - a);
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

// Why the card's file differs from the store's, in the words of what the
// card most likely holds. Leftovers of a copy that was killed say that the
// copy ended before its renames, so the book on the card is the earlier one,
// untouched; a file of another size is another version of the book; only a
// file of the same size with other bytes is a damaged copy.
QString opisNiezgodnosci(int folder, const QString& sciezkaKarty, std::int64_t pozycja,
                         std::int64_t naKarcie, std::int64_t wMagazynie) {
    // Temporary files a running copy's marker names are no leftovers.
    struct stat znacznik {};
    bool przerwana = false;
    if (::fstatat(folder, ".sonvek-zamiana", &znacznik, AT_SYMLINK_NOFOLLOW) != 0)
        dlaPozostalosci(folder, [&przerwana](const QString&) { przerwana = true; });
    if (przerwana)
        return QStringLiteral("Ostatnie kopiowanie na kartę zostało przerwane przed zamianą "
                              "plików, więc na karcie jest nadal poprzednia wersja książki, cała "
                              "i nieuszkodzona. Różni się ona od książki w magazynie (plik %1 od "
                              "bajtu %2). Skopiuj książkę ponownie, aby ją zastąpić.")
            .arg(sciezkaKarty)
            .arg(pozycja);
    if (naKarcie != wMagazynie)
        return QStringLiteral("Na karcie jest inna wersja książki niż w magazynie: plik %1 ma na "
                              "karcie %2 bajtów, a w magazynie %3 (różnią się od bajtu %4). "
                              "Skopiuj książkę ponownie, jeśli na karcie ma być wersja z "
                              "magazynu.")
            .arg(sciezkaKarty)
            .arg(naKarcie)
            .arg(wMagazynie)
            .arg(pozycja);
    return opisRoznicy(sciezkaKarty, pozycja);
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
// equal, so whoever next touches the card finishes the renames. A removal
// works alike: the marker names the files to go, and whoever comes next
// removes those still there.
//
// Files are named by their name and content (size and a hash of the first
// and last blocks): FAT gives every file a new inode number at each mount.
// The process is named by its key (kluczProcesu), so a marker of a process
// that died, on this boot or another, or on another computer, is never
// taken for work still going on.

const char naglowekZnacznika[] = "sonvek-zamiana 2";
const char naglowekZnacznikaV1[] = "sonvek-zamiana 1";

QString nazwaZnacznika() {
    return QStringLiteral(".sonvek-zamiana");
}

// A name the marker may name in the card root: a plain name, no path.
bool nazwaWKorzeniu(const QString& nazwa) {
    return !nazwa.isEmpty() && nazwa != u"." && nazwa != u".." && !nazwa.contains(u'/') &&
           !nazwa.contains(QChar(0));
}

// The content of a file as the marker names it.
struct Podpis {
    std::int64_t rozmiar = -1;
    QByteArray skrot; // hex SHA-256 of the first and last blocks
    bool operator==(const Podpis&) const = default;
};

constexpr std::size_t blokPodpisu = 64 * 1024;

// The file `nazwa` in the card root as a signature; none when there is no
// regular file of that name (or it cannot be read).
std::optional<Podpis> podpisPliku(int folder, const QByteArray& nazwa) {
    const Deskryptor fd(
        ::openat(folder, nazwa.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.fd() < 0 || ::fstat(fd.fd(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    QCryptographicHash skrot(QCryptographicHash::Sha256);
    QByteArray bufor(qsizetype(blokPodpisu), '\0');
    const auto czytaj = [&](off_t od) {
        const ssize_t n = czytajPelne({}, fd.fd(), bufor.data(), blokPodpisu, od);
        if (n < 0)
            return false;
        skrot.addData(QByteArrayView(bufor.constData(), n));
        return true;
    };
    const std::int64_t rozmiar = info.st_size;
    if (!czytaj(0) ||
        (rozmiar > std::int64_t(blokPodpisu) &&
         !czytaj(off_t(std::max<std::int64_t>(blokPodpisu, rozmiar - std::int64_t(blokPodpisu))))))
        return std::nullopt;
    return Podpis{rozmiar, skrot.result().toHex()};
}

// One line of the marker: a temporary file and the name it becomes, or
// (with an empty `tymczas`) a book's file to be removed.
struct Zamiana {
    QByteArray tymczas, cel;
    Podpis podpis;
    bool usun() const { return tymczas.isEmpty(); }
};

QByteArray trescZnacznika(const QList<Zamiana>& zamiany) {
    QByteArray tresc = QByteArray(naglowekZnacznika) + "\nproces " +
                       QByteArray::number(::getpid()) + ' ' + kluczProcesu(::getpid()) + '\n';
    for (const Zamiana& z : zamiany)
        tresc += (z.usun() ? QByteArray("usun") : QByteArray("zamien")) + '\t' + z.tymczas + '\t' +
                 z.cel + '\t' + QByteArray::number(z.podpis.rozmiar) + '\t' + z.podpis.skrot + '\n';
    return tresc;
}

struct Znacznik {
    Wlasciciel proces;
    bool stary = false; // written by an older version, which named inodes
    QList<Zamiana> zamiany;
};

std::optional<Znacznik> rozbierzZnacznik(const QByteArray& tresc) {
    const QList<QByteArray> wiersze = tresc.split('\n');
    if (wiersze.size() < 3 || !wiersze.last().isEmpty())
        return std::nullopt;
    Znacznik znacznik;
    bool dobry = true;
    const auto nazwa = [](const QByteArray& pole) {
        return nazwaWKorzeniu(QFile::decodeName(pole));
    };
    if (wiersze.at(0) == naglowekZnacznikaV1 && wiersze.at(1).startsWith("pid ")) {
        znacznik.stary = true;
        znacznik.proces.pid = static_cast<pid_t>(wiersze.at(1).mid(4).toLong(&dobry));
        for (qsizetype i = 2; dobry && i + 1 < wiersze.size(); ++i) {
            const QList<QByteArray> pola = wiersze.at(i).split('\t');
            dobry = pola.size() == 3 && wlascicielPozostalosci(QFile::decodeName(pola.at(0))) &&
                    nazwa(pola.at(1));
            if (dobry)
                znacznik.zamiany.append({pola.at(0), pola.at(1), {}});
        }
        return dobry ? std::optional(znacznik) : std::nullopt;
    }
    const QList<QByteArray> proces = wiersze.at(1).split(' ');
    if (wiersze.at(0) != naglowekZnacznika || proces.size() != 3 || proces.at(0) != "proces")
        return std::nullopt;
    znacznik.proces = {static_cast<pid_t>(proces.at(1).toLong(&dobry)), proces.at(2)};
    for (qsizetype i = 2; dobry && i + 1 < wiersze.size(); ++i) {
        const QList<QByteArray> pola = wiersze.at(i).split('\t');
        dobry = pola.size() == 5 && (pola.at(0) == "zamien" || pola.at(0) == "usun");
        if (!dobry)
            break;
        Zamiana z{pola.at(1), pola.at(2), {pola.at(3).toLongLong(&dobry), pola.at(4)}};
        dobry = dobry && nazwa(z.cel) && (pola.at(0) == "usun") == z.tymczas.isEmpty() &&
                (z.usun() || wlascicielPozostalosci(QFile::decodeName(z.tymczas)));
        znacznik.zamiany.append(z);
    }
    return dobry ? std::optional(znacznik) : std::nullopt;
}

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
    auto znacznik = rozbierzZnacznik(tresc);
    if (!znacznik)
        throw Niepowodzenie{QStringLiteral("Na karcie jest plik %1, którego program nie rozpoznaje "
                                           "jako swojego. Usuń go z karty i skopiuj książkę "
                                           "ponownie.")
                                .arg(sciezka)};
    return znacznik;
}

// Syncs the card root; some file systems cannot sync a folder, which is no
// failure.
void synchronizujFolder(int folder, const QString& korzen) {
    if (const int numer = ::synchronizujFolder(folder))
        throw Niepowodzenie{
            QStringLiteral("Nie można zapisać folderu %1: %2").arg(korzen, powodBleduKarty(numer))};
}

void usunZnacznik(int folder, const QString& korzen) {
    if (::unlinkat(folder, nazwaBajtowo(nazwaZnacznika()).constData(), 0) != 0 && errno != ENOENT)
        throw Niepowodzenie{QStringLiteral("Nie można usunąć pliku %1 z karty: %2")
                                .arg(korzen + nazwaZnacznika(), powodBleduKarty(errno))};
    synchronizujFolder(folder, korzen);
}

// Writes the marker, refusing when another copy or removal still works on
// the card.
void zapiszZnacznik(int folder, const QString& korzen, const QList<Zamiana>& zamiany) {
    if (struct stat info{}; ::fstatat(folder, nazwaBajtowo(nazwaZnacznika()).constData(), &info,
                                      AT_SYMLINK_NOFOLLOW) == 0)
        throw Niepowodzenie{QStringLiteral("Inne kopiowanie lub usuwanie na tej karcie jeszcze "
                                           "trwa (plik %1). Poczekaj, aż się skończy.")
                                .arg(korzen + nazwaZnacznika())};
    try {
        ZapisAtomowy::zapiszCaly(korzen + nazwaZnacznika(), trescZnacznika(zamiany));
    } catch (const EInOutError& e) {
        throw Niepowodzenie{errorMessage(e)};
    }
}

// Whether `nazwa` in the card root is the file the marker names: by its
// content, or for an older marker (which named inodes, not stable on FAT)
// by its mere presence, the temporary names being the program's own.
bool tenPlik(int folder, const QByteArray& nazwa, const Zamiana& z, bool stary) {
    if (stary) {
        struct stat info {};
        return ::fstatat(folder, nazwa.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
               S_ISREG(info.st_mode);
    }
    return podpisPliku(folder, nazwa) == z.podpis;
}

// Finishes the removal a marker names: every file still there with the
// content it had goes (a file that has since changed stays).
DokonczenieKopii dokonczUsuwanie(int folder, const QString& korzen, const Znacznik& znacznik) {
    QStringList usuniete;
    for (const Zamiana& z : znacznik.zamiany) {
        if (!tenPlik(folder, z.cel, z, false))
            continue;
        if (::unlinkat(folder, z.cel.constData(), 0) != 0)
            throw Niepowodzenie{
                QStringLiteral("Nie można dokończyć przerwanego usuwania książki "
                               "z karty (%1: %2).")
                    .arg(korzen + QFile::decodeName(z.cel), powodBleduKarty(errno))};
        usuniete.append(korzen + QFile::decodeName(z.cel));
    }
    synchronizujFolder(folder, korzen);
    usunZnacznik(folder, korzen);
    if (usuniete.isEmpty())
        return {};
    return {DokonczenieKopii::Stan::Dokonczono,
            QStringLiteral("Poprzednie usuwanie książki z karty zostało przerwane, więc je "
                           "dokończono: usunięto %1.")
                .arg(usuniete.join(QStringLiteral(", ")))};
}

// Finishes the renames of a copy killed between them (see above). Each
// temporary file was either renamed already (the book's name is that
// file), or is still there, or is lost (a failed copy removed it): with
// none lost the renames are finished; with none renamed the old book is
// whole; with both the book is mixed and cannot be mended here.
DokonczenieKopii dokonczZamiane(int folder, const QString& korzen) {
    const auto znacznik = czytajZnacznik(folder, korzen);
    // A copy of another program still running renames its files itself.
    if (!znacznik || (!znacznik->stary && !porzucona(znacznik->proces)))
        return {};
    if (!znacznik->zamiany.isEmpty() && znacznik->zamiany.first().usun())
        return dokonczUsuwanie(folder, korzen, *znacznik);
    QList<Zamiana> czekajace;
    QStringList nazwy, zgubione;
    bool przemianowane = false;
    for (const Zamiana& z : znacznik->zamiany) {
        nazwy.append(korzen + QFile::decodeName(z.cel));
        if (tenPlik(folder, z.tymczas, z, znacznik->stary))
            czekajace.append(z);
        else if (znacznik->stary || tenPlik(folder, z.cel, z, false))
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
        const ssize_t n = jadro == 2 ? kopiujWJadrze(wejscie, &od, wyjscie, ile)
                                     : ::sendfile(wyjscie, wejscie, &od, ile);
        if (n > 0)
            return n;
        if (n < 0 && errno == EINTR)
            continue;
        // A file system that cannot copy this way says so, or copies nothing.
        if (n == 0 || kopiowanieWJadrzeNiemozliwe(errno) || errno == ETXTBSY || errno == EBADF)
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
    if (synchronizujPlik(wyjscie.fd()) != 0)
        throw bladZapisu(errno);
    ::posix_fadvise(wyjscie.fd(), 0, 0, POSIX_FADV_DONTNEED);
    if (wyjscie.zamknij() != 0)
        throw bladZapisu(errno);
    krok(obsluga, "plik zsynchronizowany");
}

// What a book's name meets in the card root `folder`.
enum class Cel { Brak, Plik, Dowiazanie, Folder };

Cel celNaKarcie(int folder, const QString& nazwa) {
    struct stat info {};
    if (::fstatat(folder, nazwaBajtowo(nazwa).constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return Cel::Brak;
    if (S_ISLNK(info.st_mode))
        return Cel::Dowiazanie;
    return S_ISDIR(info.st_mode) ? Cel::Folder : Cel::Plik;
}

// Refuses a book whose name on the card is a link or a folder, and asks
// before replacing a file. False: the user keeps the card's file.
bool celeDozwolone(int folder, const QString& korzen, const QStringList& nazwy,
                   const ObslugaKopiowania& obsluga) {
    for (const QString& nazwa : nazwy) {
        const Cel cel = celNaKarcie(folder, nazwa);
        if (cel == Cel::Dowiazanie)
            throw Niepowodzenie{komunikatDowiazania(korzen + nazwa)};
        if (cel == Cel::Folder)
            throw Niepowodzenie{
                QStringLiteral("Na karcie jest folder o nazwie %1.").arg(korzen + nazwa)};
    }
    for (const QString& nazwa : nazwy) {
        if (celNaKarcie(folder, nazwa) == Cel::Plik && obsluga.czyZamienic &&
            !obsluga.czyZamienic(korzen + nazwa))
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
        return opisBleduSystemu(numerBledu);
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

PlanKopii zaplanujKopie(const QString& korzen, const QStringList& nazwy) {
    const Deskryptor folder(otworzKorzen(korzen));
    PlanKopii plan;
    if (folder.fd() < 0)
        return plan;
    for (const QString& nazwa : nazwy) {
        if (celNaKarcie(folder.fd(), nazwa) == Cel::Dowiazanie) {
            plan.odmowa = komunikatDowiazania(korzen + nazwa);
            return plan;
        }
    }
    for (const QString& nazwa : nazwy) {
        if (celNaKarcie(folder.fd(), nazwa) == Cel::Plik)
            plan.doZamiany.append(korzen + nazwa);
    }
    return plan;
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
        const Deskryptor folder(otworzKorzenKarty(korzen));
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
            const QByteArray tymczas = nazwaBajtowo(nazwaTymczasowa(i));
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
            const Deskryptor magazyn(otworzMagazyn(pliki.at(i)));
            zglos(obsluga, EtapKarty::Sprawdzanie, i, 0, info.st_size);
            const auto pozycja =
                pierwszaRoznica(magazyn.fd(), pliki.at(i), fd.fd(), cel, obsluga, i, info.st_size);
            if (!pozycja)
                continue;
            throw Niepowodzenie{opisRoznicy(cel, *pozycja) +
                                QStringLiteral(" Poprzednie pliki na karcie pozostały bez zmian.")};
        }
        // Each file as the marker names it: read back equal, so the store's
        // content; the card is read again only for the blocks of the hash.
        for (int i = 0; i < pliki.size(); ++i) {
            const auto podpis = podpisPliku(folder.fd(), tymczasowe.nazwy.at(i));
            if (!podpis)
                throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                        .arg(korzen + nazwy.at(i), powodBleduKarty(errno))};
            zamiany.append({tymczasowe.nazwy.at(i), nazwaBajtowo(nazwy.at(i)), *podpis});
        }
        if (!kartaNaMiejscu(folder.fd(), korzen))
            throw Niepowodzenie{kartaWyjeta()};
        // The marker first, then the three renames one right after the other.
        zapiszZnacznik(folder.fd(), korzen, zamiany);
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
        const Deskryptor folder(otworzKorzenKarty(korzen));
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
                                                     obsluga, i, info.st_size)) {
                struct stat naKarcie {};
                ::fstat(fd.fd(), &naKarcie);
                return z(
                    WynikSprawdzenia::Niezgodna,
                    opisNiezgodnosci(folder.fd(), cel, *pozycja, naKarcie.st_size, info.st_size));
            }
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

QByteArray kluczProcesu(pid_t pid) {
    // The start time in the kernel's ticks since boot: the 22nd field of
    // /proc/PID/stat, the 20th after the command's closing parenthesis.
    const auto start = [](pid_t ktory) -> QByteArray {
        QFile plik(QStringLiteral("/proc/%1/stat").arg(ktory));
        if (!plik.open(QIODevice::ReadOnly))
            return {};
        const QByteArray tresc = plik.readAll();
        const QList<QByteArray> pola = tresc.mid(tresc.lastIndexOf(')') + 2).split(' ');
        return pola.size() > 19 ? pola.at(19) : QByteArray();
    };
    const auto rozruch = [] {
        QFile plik(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return plik.open(QIODevice::ReadOnly) ? plik.readAll().trimmed() : QByteArray();
    };
    static const QByteArray tenRozruch = rozruch();
    static const QByteArray tenKomputer = [] {
        char nazwa[256] = {};
        ::gethostname(nazwa, sizeof nazwa - 1);
        return QByteArray(nazwa);
    }();
    QByteArray poczatek = start(pid);
    if (poczatek.isEmpty() && (pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH)))
        return {};
    const QByteArray opis =
        tenRozruch + '\n' + tenKomputer + '\n' + QByteArray::number(pid) + '\n' + poczatek;
    return QCryptographicHash::hash(opis, QCryptographicHash::Sha256).toHex().left(16);
}

RaportUsuwania usunKsiazkeZKarty(const QStringList& nazwy, const QString& korzen,
                                 const ObslugaKopiowania& obsluga) {
    QString dokonczenie;
    try {
        const Deskryptor folder(otworzKorzenKarty(korzen));
        dokonczenie = dokonczZamiane(folder.fd(), korzen).tekst;
        QList<Zamiana> usuwane;
        for (const QString& nazwa : nazwy) {
            const QString sciezka = korzen + nazwa;
            if (!nazwaWKorzeniu(nazwa))
                throw Niepowodzenie{
                    QStringLiteral("%1 nie jest nazwą pliku w folderze karty.").arg(nazwa)};
            struct stat info {};
            if (::fstatat(folder.fd(), nazwaBajtowo(nazwa).constData(), &info,
                          AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno == ENOENT)
                    continue; // already gone: an incomplete book
                throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                        .arg(sciezka, powodBleduKarty(errno))};
            }
            if (S_ISLNK(info.st_mode))
                throw Niepowodzenie{komunikatDowiazania(sciezka)};
            if (!S_ISREG(info.st_mode))
                throw Niepowodzenie{
                    QStringLiteral("Na karcie %1 nie jest zwykłym plikiem, więc nie zostanie "
                                   "usunięty.")
                        .arg(sciezka)};
            const auto podpis = podpisPliku(folder.fd(), nazwaBajtowo(nazwa));
            if (!podpis)
                throw Niepowodzenie{QStringLiteral("Nie można odczytać pliku %1 z karty: %2")
                                        .arg(sciezka, powodBleduKarty(errno))};
            usuwane.append({{}, nazwaBajtowo(nazwa), *podpis});
        }
        if (usuwane.isEmpty())
            throw Niepowodzenie{QStringLiteral("Na karcie nie ma plików tej książki.")};
        // The marker first: from then on the removal is decided, and the
        // next use of the card finishes it.
        zapiszZnacznik(folder.fd(), korzen, usuwane);
        krok(obsluga, "znacznik zapisany");
        for (const Zamiana& z : usuwane) {
            if (::unlinkat(folder.fd(), z.cel.constData(), 0) != 0 && errno != ENOENT)
                throw Niepowodzenie{
                    QStringLiteral("Nie można usunąć pliku %1 z karty: %2")
                        .arg(korzen + QFile::decodeName(z.cel), powodBleduKarty(errno))};
            krok(obsluga, "plik usunięty");
        }
        synchronizujFolder(folder.fd(), korzen);
        krok(obsluga, "folder zsynchronizowany");
        usunZnacznik(folder.fd(), korzen);
        krok(obsluga, "znacznik usunięty");
        return {true, {}, dokonczenie};
    } catch (const Niepowodzenie& n) {
        return {false, n.tekst, dokonczenie};
    }
}
