#include "merge/MergeJob.h"

#include "audio/NaglowekXing.h"
#include "audio/StanPliku.h"
#include "audio/WzmocnienieRamek.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/TozsamoscPlikow.h"
#include "base/ZwyklyPlik.h"
#include "merge/Formaty.h"
#include "merge/IndexFile.h"
#include "merge/PlikiTymczasowe.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

QString opisBledu(int numer) {
    // A limit on the size of files (ulimit -f) is not met at any other time,
    // and the system's text does not say which limit it is.
    if (numer == EFBIG)
        return QStringLiteral("plik przekroczyłby największy rozmiar pliku, na jaki system "
                              "pozwala temu programowi (ulimit -f)");
    return QString::fromLocal8Bit(std::strerror(numer));
}

QString bladZapisu(const QString& nazwa, const QString& opis) {
    return QStringLiteral("Nie można zapisać pliku %1: %2").arg(nazwa, opis);
}

// The part of a temporary file's name that tells which file it is for: the
// file's name, and for a long name (over 100 bytes) its first 60 bytes and a
// hash of the whole, so that the temporary name stays well within the
// system's 255 bytes.
QString nazwaDlaTymczasowej(const QString& nazwa) {
    const QByteArray bajty = nazwa.toUtf8();
    if (bajty.size() <= 100)
        return nazwa;
    QString poczatek;
    qsizetype dlugosc = 0;
    for (const QChar* z = nazwa.constBegin(); z != nazwa.constEnd();) {
        const qsizetype n = (z->isHighSurrogate() && z + 1 != nazwa.constEnd()) ? 2 : 1;
        const QString znak(z, n);
        dlugosc += znak.toUtf8().size();
        if (dlugosc > 60)
            break;
        poczatek += znak;
        z += n;
    }
    const QByteArray skrot = QCryptographicHash::hash(bajty, QCryptographicHash::Sha1).toHex();
    return poczatek + QLatin1Char('~') + QString::fromLatin1(skrot.left(12));
}

// The hidden name of a temporary file beside `docelowy`, with a mark that
// the files of one merge share. Leftovers of a killed merge are found by
// this form (see usunPozostalosci).
QString nazwaTymczasowa(const QFileInfo& docelowy, const QString& znacznik) {
    return QStringLiteral("%1/.%2.%3.tmp")
        .arg(docelowy.absolutePath(), nazwaDlaTymczasowej(docelowy.fileName()), znacznik);
}

QString losowyZnacznik() {
    return QString::number(QRandomGenerator::global()->generate(), 36);
}

// Opens a new file next to `docelowy` under an unused hidden name, trying
// the mark `znacznik` first (an empty one is chosen here). The name never
// replaces an existing file (not even one named like a temporary file),
// and the file gets the permissions a newly created file gets.
QString utworzObok(const QString& docelowy, QFile& plik, QString& znacznik) {
    const QFileInfo info(docelowy);
    if (znacznik.isEmpty())
        znacznik = losowyZnacznik();
    for (int proba = 0; proba < 100; ++proba) {
        const QString nazwa = nazwaTymczasowa(info, proba == 0 ? znacznik : losowyZnacznik());
        plik.setFileName(nazwa);
        if (plik.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            zapamietajTymczasowy(nazwa);
            return nazwa;
        }
        if (!QFileInfo::exists(nazwa))
            break;
    }
    throw EInOutError(
        QStringLiteral("Nie można utworzyć pliku %1: %2").arg(docelowy, plik.errorString()));
}

void usunTymczasowy(const QString& nazwa) {
    QFile::remove(nazwa);
    zapomnijTymczasowy(nazwa);
}

// Pushes what was written to `plik` to the disk, so that a book put in
// place survives a crash right after.
void zapiszNaDysk(QFile& plik, const QString& nazwa) {
#ifdef Q_OS_UNIX
    if (::fsync(plik.handle()) != 0)
        throw EInOutError(bladZapisu(nazwa, opisBledu(errno)));
#else
    if (!plik.flush())
        throw EInOutError(bladZapisu(nazwa, plik.errorString()));
#endif
}

// An entry's file open for the merge by its bare descriptor, closed with
// it: thousands of small entries cost no more system calls than the check
// of what was opened needs (see otworzZwyklyDeskryptor). Reading it leaves
// its access time alone where the system allows.
class OtwartyWpis {
public:
    explicit OtwartyWpis(const QString& sciezka) {
#ifdef Q_OS_UNIX
        const QString powod = otworzZwyklyDeskryptor(sciezka, fd_, rozmiar_, true);
#else
        const QString powod = otworzZwyklyPlik(plik_, sciezka);
        fd_ = plik_.handle();
        rozmiar_ = plik_.size();
#endif
        if (!powod.isEmpty())
            throw EInOutError(
                QStringLiteral("Nie można otworzyć pliku %1: %2").arg(sciezka, powod));
    }
    ~OtwartyWpis() {
#ifdef Q_OS_UNIX
        if (fd_ >= 0)
            ::close(fd_);
#endif
    }
    OtwartyWpis(const OtwartyWpis&) = delete;
    OtwartyWpis& operator=(const OtwartyWpis&) = delete;

    int deskryptor() const {
        return fd_;
    }
    std::int64_t rozmiar() const {
        return rozmiar_;
    }

private:
    int fd_ = -1;
    std::int64_t rozmiar_ = 0;
#ifndef Q_OS_UNIX
    QFile plik_;
#endif
};

// Whether the entry's file stayed the same while it was read: the open
// file as it was before and after, and the file its path names afterwards
// (an editor that saves by renaming puts another one there).
void sprawdzNiezmieniony(const QString& sciezka, const StanPliku& przed, int deskryptor) {
    const StanPliku po = StanPliku::deskryptora(deskryptor, false);
    const StanPliku teraz = StanPliku::pliku(sciezka, false);
    if (!(po == przed) || !(teraz == przed))
        throw SonvekError(QStringLiteral("Plik %1 zmienił się podczas scalania, więc książka nie "
                                         "byłaby jego wierną kopią. Nie zapisano nowej książki; "
                                         "poprzednia (jeśli była) została bez zmian. Zaczekaj, aż "
                                         "plik przestanie się zmieniać, i scal ponownie")
                              .arg(sciezka));
}

// Measuring a file's loudness (decoding it) takes about as long as copying
// a few dozen times its bytes into the book: the progress, and the time
// left that the dialog estimates from it, count each measured byte so.
constexpr std::int64_t kWagaPomiaru = 32;

// Thrown where the merge notices it is to stop.
struct Przerwanie {};

constexpr qint64 porcja = qint64{16} << 20; // bytes per progress step

// Appends the rest of `zrodlo` to `cel` and returns how many bytes it was.
// The kernel copies between the files where it can; otherwise a 1 MiB
// buffer does, so memory stays small whatever the size of the book.
std::int64_t dopisz(QFile& zrodlo, const QString& nazwaZrodla, QFile& cel, const QString& nazwaCelu,
                    const std::function<void(std::int64_t)>& skopiowano) {
    std::int64_t razem = 0;
#ifdef Q_OS_UNIX
    const int we = zrodlo.handle();
    const int wy = cel.handle();
#ifdef Q_OS_LINUX
    for (;;) {
        const ssize_t n =
            ::copy_file_range(we, nullptr, wy, nullptr, static_cast<size_t>(porcja), 0);
        if (n > 0) {
            razem += n;
            skopiowano(n);
            continue;
        }
        if (n == 0)
            return razem;
        const int e = errno;
        if (e == EINTR)
            continue;
        // File systems or kernels that cannot copy between these two files:
        // the buffer goes on from the descriptors' current positions.
        if (e == EXDEV || e == EINVAL || e == ENOSYS || e == EOPNOTSUPP)
            break;
        if (e == ENOSPC || e == EDQUOT || e == EFBIG || e == EROFS)
            throw EInOutError(bladZapisu(nazwaCelu, opisBledu(e)));
        throw EInOutError(QStringLiteral("Nie można skopiować pliku %1 do pliku %2: %3")
                              .arg(nazwaZrodla, nazwaCelu, opisBledu(e)));
    }
#endif
    QByteArray bufor(qsizetype{1} << 20, Qt::Uninitialized);
    std::int64_t odOstatniego = 0;
    for (;;) {
        const ssize_t n = ::read(we, bufor.data(), static_cast<size_t>(bufor.size()));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                                  .arg(nazwaZrodla, opisBledu(errno)));
        }
        if (n == 0)
            break;
        for (ssize_t zapisane = 0; zapisane < n;) {
            const ssize_t k =
                ::write(wy, bufor.constData() + zapisane, static_cast<size_t>(n - zapisane));
            if (k < 0 && errno == EINTR)
                continue;
            if (k <= 0)
                throw EInOutError(bladZapisu(nazwaCelu, opisBledu(k < 0 ? errno : ENOSPC)));
            zapisane += k;
        }
        razem += n;
        odOstatniego += n;
        if (odOstatniego >= porcja) {
            skopiowano(odOstatniego);
            odOstatniego = 0;
        }
    }
    if (odOstatniego > 0)
        skopiowano(odOstatniego);
#else
    QByteArray bufor(qsizetype{1} << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = zrodlo.read(bufor.data(), bufor.size());
        if (n < 0)
            throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                                  .arg(nazwaZrodla, zrodlo.errorString()));
        if (n == 0)
            break;
        if (cel.write(bufor.constData(), n) != n)
            throw EInOutError(bladZapisu(nazwaCelu, cel.errorString()));
        razem += n;
        skopiowano(n);
    }
#endif
    return razem;
}

// Writes `tresc` as a new temporary file beside `docelowy`; returns its name.
QString zapiszObok(const QString& docelowy, const QByteArray& tresc, QString znacznik) {
    QFile plik;
    const QString nazwa = utworzObok(docelowy, plik, znacznik);
    if (plik.write(tresc) != tresc.size()) {
        const QString opis = plik.errorString();
        plik.close();
        usunTymczasowy(nazwa);
        throw EInOutError(bladZapisu(docelowy, opis));
    }
    try {
        zapiszNaDysk(plik, docelowy);
    } catch (...) {
        plik.close();
        usunTymczasowy(nazwa);
        throw;
    }
    plik.close();
    return nazwa;
}

// Puts finished files in place of their targets, all or none: each
// existing target is swapped with its new file, so that a failure half way
// can swap the earlier ones back. Afterwards the temporary names hold the
// replaced contents, which the caller removes. The files `usun` are taken
// away in the same step, moved to hidden names that are returned for the
// caller to remove (and put back if a later step fails).
QStringList podmienRazem(const QList<std::pair<QString, QString>>& pary,
                         const QStringList& usun = {}) {
    struct Krok {
        QByteArray tymczasowy, docelowy;
        bool zamiana;
        bool usuniecie = false;
    };
    const BezPrzerwania bezPrzerwania;
    QList<Krok> wykonane;
    auto wycofaj = [&wykonane] {
        for (auto it = wykonane.crbegin(); it != wykonane.crend(); ++it) {
#ifdef Q_OS_LINUX
            if (it->zamiana) {
                ::renameat2(AT_FDCWD, it->tymczasowy.constData(), AT_FDCWD,
                            it->docelowy.constData(), RENAME_EXCHANGE);
                continue;
            }
#endif
            std::error_code ec;
            if (it->usuniecie)
                std::filesystem::rename(it->tymczasowy.constData(), it->docelowy.constData(), ec);
            else
                std::filesystem::rename(it->docelowy.constData(), it->tymczasowy.constData(), ec);
        }
    };
    for (const auto& [tymczasowy, docelowy] : pary) {
        Krok krok{QFile::encodeName(tymczasowy), QFile::encodeName(docelowy), false};
        // A swap would put a folder made meanwhile under the temporary name.
        if (QFileInfo(docelowy).isDir()) {
            wycofaj();
            throw EInOutError(bladZapisu(docelowy, QStringLiteral("istnieje folder o tej nazwie")));
        }
#ifdef Q_OS_LINUX
        if (::renameat2(AT_FDCWD, krok.tymczasowy.constData(), AT_FDCWD, krok.docelowy.constData(),
                        RENAME_EXCHANGE) == 0) {
            krok.zamiana = true;
            wykonane.append(krok);
            continue;
        }
        // ENOENT: nothing of that name yet. Otherwise the file system cannot
        // swap and the file is simply moved over its target.
#endif
        std::error_code ec;
        std::filesystem::rename(krok.tymczasowy.constData(), krok.docelowy.constData(), ec);
        if (ec) {
            wycofaj();
            throw EInOutError(bladZapisu(docelowy, QString::fromLocal8Bit(ec.message())));
        }
        wykonane.append(krok);
    }
    QStringList ukryte;
    for (const QString& stary : usun) {
        const QString ukryty = nazwaTymczasowa(QFileInfo(stary), losowyZnacznik());
        Krok krok{QFile::encodeName(ukryty), QFile::encodeName(stary), false, true};
#ifdef Q_OS_LINUX
        const bool przeniesiony = ::renameat2(AT_FDCWD, krok.docelowy.constData(), AT_FDCWD,
                                              krok.tymczasowy.constData(), RENAME_NOREPLACE) == 0;
        const QString opis = przeniesiony ? QString() : opisBledu(errno);
#else
        std::error_code ec;
        std::filesystem::rename(krok.docelowy.constData(), krok.tymczasowy.constData(), ec);
        const bool przeniesiony = !ec;
        const QString opis = QString::fromLocal8Bit(ec.message());
#endif
        if (!przeniesiony) {
            wycofaj();
            throw EInOutError(QStringLiteral("Nie można usunąć pliku %1: %2").arg(stary, opis));
        }
        wykonane.append(krok);
        ukryte.append(ukryty);
    }
    return ukryte;
}

using Tozsamosc = std::pair<std::uint64_t, std::uint64_t>;

// The file a name leads to, whatever the name: its device and inode, which
// two names of one file (a hard link, a symbolic link, a bind mount of the
// folder) share, with its size and whether it is a regular file. No
// identity for a name that leads to no file, which cannot be any existing
// file.
struct Plik {
    std::optional<Tozsamosc> tozsamosc;
    std::int64_t rozmiar = 0;
    bool zwykly = true;
};

Plik zbadaj(const QString& sciezka) {
    Plik plik;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (sciezka.isEmpty() || ::stat(nazwaDlaSystemu(sciezka).constData(), &st) != 0)
        return plik;
    plik.tozsamosc = Tozsamosc{std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
    plik.rozmiar = st.st_size;
    plik.zwykly = S_ISREG(st.st_mode);
#else
    const QFileInfo info(sciezka);
    if (sciezka.isEmpty() || !info.exists())
        return plik;
    plik.tozsamosc = Tozsamosc{0, qHash(info.canonicalFilePath())};
    plik.rozmiar = info.size();
    plik.zwykly = info.isFile();
#endif
    return plik;
}

constexpr std::int64_t kCoIleNaDysk = std::int64_t{8} << 20;

// Writes the book front to back from the entries' bytes as their walk
// passes them, and has the system start writing every 8 MiB to the disk,
// so that the final fsync finds little left to do. Small pieces (the
// entries of a book of many short files) are gathered into writes of up to
// 256 KiB: each write costs the system about as much as copying several
// KiB, so one per short file cost more than its bytes. Large blocks go to
// the system as they come. wyslij() writes what is gathered.
class ZapisKsiazki {
public:
    ZapisKsiazki(int deskryptor, QString nazwa) : fd(deskryptor), nazwa(std::move(nazwa)) {}

    void zapisz(const unsigned char* dane, std::int64_t n) {
        if (n >= kWprost) {
            wyslij();
            zapiszWprost(dane, n);
            return;
        }
        if (zebrane + n > kZbior)
            wyslij();
        if (zbior.empty())
            zbior.resize(std::size_t(kZbior));
        std::memcpy(zbior.data() + zebrane, dane, std::size_t(n));
        zebrane += n;
    }
    void wyslij() {
        if (zebrane == 0)
            return;
        const std::int64_t n = std::exchange(zebrane, 0);
        zapiszWprost(zbior.data(), n);
    }

private:
    static constexpr std::int64_t kZbior = std::int64_t{256} << 10;
    static constexpr std::int64_t kWprost = std::int64_t{64} << 10;

    void zapiszWprost(const unsigned char* dane, std::int64_t n) {
#ifdef Q_OS_UNIX
        for (std::int64_t zapisane = 0; zapisane < n;) {
            const ssize_t k = ::write(fd, dane + zapisane, std::size_t(n - zapisane));
            if (k < 0 && errno == EINTR)
                continue;
            if (k <= 0)
                throw EInOutError(bladZapisu(nazwa, opisBledu(k < 0 ? errno : ENOSPC)));
            zapisane += k;
        }
        pozycja += n;
#ifdef Q_OS_LINUX
        if (pozycja - naDysk >= kCoIleNaDysk) {
            ::sync_file_range(fd, naDysk, pozycja - naDysk, SYNC_FILE_RANGE_WRITE);
            naDysk = pozycja;
        }
#endif
#else
        Q_UNUSED(dane);
        Q_UNUSED(n);
#endif
    }

    int fd;
    QString nazwa;
    std::vector<unsigned char> zbior;
    std::int64_t zebrane = 0;
    std::int64_t pozycja = 0, naDysk = 0;
};

QString ostrzezeniePominiete(const QString& sciezka, std::int64_t bajty) {
    const std::int64_t jednosci = bajty % 10, dziesiatki = bajty % 100;
    QString ile;
    if (bajty == 1)
        ile = QStringLiteral("1 bajt, który nie jest");
    else if (jednosci >= 2 && jednosci <= 4 && (dziesiatki < 12 || dziesiatki > 14))
        ile = QStringLiteral("%1 bajty, które nie są").arg(bajty);
    else
        ile = QStringLiteral("%1 bajtów, które nie są").arg(bajty);
    return QStringLiteral("Uwaga: w pliku %1 pominięto %2 dźwiękiem MP3").arg(sciezka, ile);
}

} // namespace

QString nazwaCzesci(const QString& scalony, int numer) {
    const QFileInfo info(scalony);
    const QString przyrostek = info.suffix();
    QString nazwa = info.fileName();
    if (!przyrostek.isEmpty())
        nazwa.chop(przyrostek.size() + 1);
    nazwa += QLatin1Char('-') + QString::number(numer);
    if (!przyrostek.isEmpty())
        nazwa += QLatin1Char('.') + przyrostek;
    const QString folder = scalony.left(scalony.size() - info.fileName().size());
    return folder + nazwa;
}

QList<int> podzialNaCzesci(const QList<std::int64_t>& rozmiary, std::int64_t limit) {
    QList<int> podzial;
    std::int64_t wCzesci = 0;
    for (qsizetype i = 0; i < rozmiary.size(); ++i) {
        const std::int64_t rozmiar = rozmiary.at(i);
        if (rozmiar > limit)
            throw SonvekError(
                QStringLiteral("Nie można zapisać książki w częściach: plik pozycji %1 sam ma %2 "
                               "bajtów, więcej niż największa część (%3 bajtów), a książka "
                               "dzieli się na części tylko między plikami pozycji")
                    .arg(i + 1)
                    .arg(rozmiar)
                    .arg(limit));
        if (podzial.isEmpty() || wCzesci + rozmiar > limit) {
            podzial.append(0);
            wCzesci = 0;
        }
        ++podzial.last();
        wCzesci += rozmiar;
    }
    return podzial;
}

ZadanieScalania::ZadanieScalania(QString scalony, ListaPozycji pozycje, MiernikMp3 miernik)
    : nazwaScalonego(std::move(scalony)), wpisy(std::move(pozycje)), miernik(std::move(miernik)) {}

ZadanieScalania::~ZadanieScalania() {
    usunTymczasowe();
}

QString ZadanieScalania::plikDat() const {
    return nazwaIndeksu(nazwaScalonego, QStringLiteral("dat"));
}

QString ZadanieScalania::plikLog() const {
    return nazwaIndeksu(nazwaScalonego, QStringLiteral("log"));
}

QStringList ZadanieScalania::sciezkiWpisow() const {
    QStringList sciezki;
    sciezki.reserve(wpisy.size());
    for (const PozycjaProjektu& p : wpisy)
        sciezki.append(p.sciezka());
    return sciezki;
}

void ZadanieScalania::loguj(const QString& linia) const {
    if (dziennik)
        dziennik(linia);
}

bool ZadanieScalania::etap(void (ZadanieScalania::*praca)(), Stan przed, Stan po) {
    if (stan != przed)
        return false;
    try {
        (this->*praca)();
        stan = po;
        return true;
    } catch (const Przerwanie&) {
        usunTymczasowe();
        stan = Stan::Przerwane;
        loguj(QStringLiteral("Scalanie przerwane"));
    } catch (const std::exception& e) {
        niepowodzenie(errorMessage(e));
    } catch (...) {
        niepowodzenie(QStringLiteral("Nieznany błąd"));
    }
    return false;
}

bool ZadanieScalania::SklejPliki() {
    return etap(&ZadanieScalania::sklej, Stan::Nowe, Stan::Sklejone);
}

bool ZadanieScalania::UtworzIndeksy() {
    return etap(&ZadanieScalania::utworzIndeksy, Stan::Sklejone, Stan::Gotowe);
}

bool ZadanieScalania::wykonaj() {
    return SklejPliki() && UtworzIndeksy();
}

void ZadanieScalania::sprawdzPrzerwanie() const {
    if (przerwac && przerwac())
        throw Przerwanie{};
}

void ZadanieScalania::niepowodzenie(const QString& tekst) {
    usunTymczasowe();
    stan = Stan::Blad;
    tekstBledu = tekst;
    loguj(QStringLiteral("Błąd: ") + tekst);
}

void ZadanieScalania::usunTymczasowe() {
    zadaniaCzesci.clear(); // each part removes its own
    gotowe.clear();
    for (const QString& nazwa : std::as_const(tymczasowe))
        usunTymczasowy(nazwa);
    tymczasowe.clear();
    tymczasowyScalony.clear();
    plikTymczasowy.reset(); // and with it the lock
}

// Removes what a merge of this book that was killed left in the target
// folder: files named as this program names the temporary files of the
// book and of its two index files. The book's temporary file of a merge
// still running is locked; it stays, and so do the index files with its
// mark. A file the merge reads (an entry, the project) is never removed,
// whatever its name.
void ZadanieScalania::usunPozostalosci() const {
#ifdef Q_OS_UNIX
    const QFileInfo ksiazka(nazwaScalonego);
    const QDir folder = ksiazka.absoluteDir();
    auto wzor = [](const QString& nazwa) {
        return QRegularExpression(QStringLiteral("^\\.%1\\.([0-9a-z]+)\\.tmp$")
                                      .arg(QRegularExpression::escape(nazwaDlaTymczasowej(nazwa))));
    };
    const QRegularExpression wzorKsiazki = wzor(ksiazka.fileName());
    const QRegularExpression wzorIndeksu[] = {wzor(QFileInfo(plikDat()).fileName()),
                                              wzor(QFileInfo(plikLog()).fileName())};
    const QStringList nazwy = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    std::optional<TozsamoscPlikow> czytane;
    auto czytany = [&](const QString& sciezka) {
        if (!czytane)
            czytane.emplace(QStringList{plikProjektu} + sciezkiWpisow());
        return czytane->ktory(sciezka).has_value();
    };
    QSet<QString> trwajace;
    for (const QString& nazwa : nazwy) {
        const QRegularExpressionMatch m = wzorKsiazki.match(nazwa);
        if (!m.hasMatch() || czytany(folder.filePath(nazwa)))
            continue;
        const QByteArray sciezka = QFile::encodeName(folder.filePath(nazwa));
        const int fd = ::open(sciezka.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(sciezka.constData());
        else if (errno == EWOULDBLOCK)
            trwajace.insert(m.captured(1));
        ::close(fd);
    }
    for (const QString& nazwa : nazwy) {
        for (const QRegularExpression& w : wzorIndeksu) {
            const QRegularExpressionMatch m = w.match(nazwa);
            if (m.hasMatch() && !trwajace.contains(m.captured(1)) &&
                !czytany(folder.filePath(nazwa)))
                QFile::remove(folder.filePath(nazwa));
        }
    }
#endif
}

// Refuses names under which the merge would replace a file it reads: the
// book or an index file named like one of the entries' files or like the
// project file, an index file named like the book itself (a book named
// *.dat or *.log), or a folder. Refuses an entry that is not a regular file
// (a folder, a FIFO, a device), which has no contents to copy. Returns the
// entries' files' sizes added up.
std::int64_t ZadanieScalania::sprawdzNazwy() const {
    if (nazwaScalonego.isEmpty())
        throw SonvekError(QStringLiteral("Nie podano nazwy scalonego pliku"));
    const QString dat = plikDat();
    const QString log = plikLog();
    const QString scalonyAbs = QFileInfo(nazwaScalonego).absoluteFilePath();
    for (const QString& indeks : {dat, log}) {
        if (QFileInfo(indeks).absoluteFilePath() == scalonyAbs)
            throw SonvekError(QStringLiteral("Nie można scalić plików do %1: plik indeksu "
                                             "miałby tę samą nazwę. Wybierz nazwę z "
                                             "rozszerzeniem mp3")
                                  .arg(nazwaScalonego));
    }
    const QString nazwyWyjsc[] = {nazwaScalonego, dat, log};
    for (const QString& nazwa : nazwyWyjsc) {
        if (QFileInfo(nazwa).isDir())
            throw EInOutError(QStringLiteral("Nie można utworzyć pliku %1: istnieje folder o tej "
                                             "nazwie")
                                  .arg(nazwa));
    }
    const TozsamoscPlikow wyjscia({nazwaScalonego, dat, log});
    if (const auto k = wyjscia.ktory(plikProjektu))
        throw SonvekError(QStringLiteral("Nie można scalić plików do %1: to plik "
                                         "projektu, który zostałby zastąpiony. Wybierz "
                                         "inną nazwę")
                              .arg(nazwyWyjsc[*k]));
    // Each name is looked up once, however often the list holds it.
    QHash<QString, Plik> zbadane;
    std::int64_t razem = 0;
    for (int i = 0; i < wpisy.size(); ++i) {
        const QString sciezkaWpisu = wpisy.at(i).sciezka();
        auto it = zbadane.constFind(sciezkaWpisu);
        if (it == zbadane.cend())
            it = zbadane.insert(sciezkaWpisu, zbadaj(sciezkaWpisu));
        const Plik& plik = *it;
        if (!plik.zwykly) {
            const QString powod = powodNiezwyklegoPliku(sciezkaWpisu);
            throw SonvekError(QStringLiteral("Nie można scalić plików: plik pozycji %1 projektu "
                                             "(%2) nie nadaje się do scalenia: %3")
                                  .arg(i + 1)
                                  .arg(sciezkaWpisu, powod));
        }
        razem += plik.rozmiar;
        if (const auto k = wyjscia.ktory(sciezkaWpisu))
            throw SonvekError(
                QStringLiteral("Nie można scalić plików do %1: to plik pozycji %2 projektu "
                               "(%3), który zostałby zastąpiony. Wybierz inną nazwę")
                    .arg(nazwyWyjsc[*k])
                    .arg(i + 1)
                    .arg(wpisy.at(i).sciezka()));
    }
    return razem;
}

void ZadanieScalania::sklej() {
    if (limitCzesci > 0) {
        sklejCzesci();
        return;
    }
    odmowiono = true;
    const std::int64_t doSkopiowania = sprawdzNazwy();
    odmowiono = false;
    usunPozostalosci();

    // Levelling: the loudness of entries not measured yet counts in the
    // progress with their files' sizes.
    // Without the window's memory the measurements are kept for this merge
    // alone.
    PamiecGlosnosci wlasnaPamiec;
    PamiecGlosnosci& pamiec = pamiecGlosnosci ? *pamiecGlosnosci : wlasnaPamiec;
    QStringList doZmierzenia;
    QList<std::int64_t> wagiPomiaru;
    QHash<QString, PomiarGlosnosci> glosnosci;
    // Each measured file as it was measured: the step applies to it alone.
    QHash<QString, StanPliku> zmierzone;
    std::int64_t doZrobienia = doSkopiowania;
    if (celGlosnosci) {
        if (!miernik.przekazuje())
            throw SonvekError(QStringLiteral("Wyrównanie głośności wymaga pomiaru ramek, który "
                                             "przekazuje ich bajty do książki"));
        glosnosci = pamiec.znane(sciezkiWpisow(), doZmierzenia, &zmierzone);
        for (const QString& sciezka : std::as_const(doZmierzenia)) {
            wagiPomiaru.append(kWagaPomiaru * std::max<std::int64_t>(0, QFileInfo(sciezka).size()));
            doZrobienia += wagiPomiaru.last();
        }
    }
    tekstWyrownania.clear();

    std::int64_t skopiowane = 0;
    auto zglos = [&](std::int64_t n) {
        sprawdzPrzerwanie();
        skopiowane += n;
        if (postep)
            postep(skopiowane, std::max(doZrobienia, skopiowane));
    };

    plikTymczasowy = std::make_unique<QFile>();
    QFile& scalony = *plikTymczasowy;
    tymczasowyScalony = utworzObok(nazwaScalonego, scalony, znacznik);
    tymczasowe.append(tymczasowyScalony);
#ifdef Q_OS_UNIX
    ::flock(scalony.handle(), LOCK_EX | LOCK_NB);
#endif
    ZapisKsiazki zapis(scalony.handle(), nazwaScalonego);
    rozmiary.clear();
    polozenia.clear();
    dlugosciMs.clear();
    czas = {};
    if (postep)
        postep(0, doZrobienia);

    QList<KrokGlosnosci> kroki;
    if (celGlosnosci) {
        if (!doZmierzenia.isEmpty())
            loguj(QStringLiteral("Trwa pomiar głośności plików (do zmierzenia: %1 z %2)")
                      .arg(doZmierzenia.size())
                      .arg(wpisy.size()));
        const MiernikGlosnosci zmierz =
            miernikGlosnosci ? miernikGlosnosci
                             : [](const QString& sciezka, const std::atomic_bool* przerwij) {
                                   return zmierzGlosnosc(sciezka, przerwij);
                               };
        for (int k = 0; k < doZmierzenia.size(); ++k) {
            sprawdzPrzerwanie();
            StanPliku stan;
            const auto pomiar = pamiec.zmierz(doZmierzenia.at(k), zmierz, przerwanie, &stan);
            if (!pomiar)
                throw Przerwanie{};
            glosnosci.insert(doZmierzenia.at(k), *pomiar);
            zmierzone.insert(doZmierzenia.at(k), stan);
            zglos(wagiPomiaru.at(k));
        }
        for (const PozycjaProjektu& p : std::as_const(wpisy))
            kroki.append(krokGlosnosci(glosnosci.value(p.sciezka()), *celGlosnosci));
    }
    int zmienione = 0, doCelu = 0, przezSzczyt = 0, przezZakres = 0, przyciete = 0, cisza = 0;

    QList<std::optional<FormatDzwieku>> formaty;
    for (int i = 0; i < wpisy.size(); ++i) {
        sprawdzPrzerwanie();
        const QString sciezka = wpisy.at(i).sciezka();
        const OtwartyWpis zrodlo(sciezka);
        const int krok = kroki.isEmpty() ? 0 : kroki.at(i).kroki;
        // The file as it is now: read whole, it must stay so; levelled, it
        // must be the file that was measured.
        const StanPliku przed = StanPliku::deskryptora(zrodlo.deskryptor(), krok != 0);
        if (krok != 0 && !(przed == zmierzone.value(sciezka)))
            throw SonvekError(QStringLiteral("Plik %1 zmienił się od pomiaru głośności. Nie "
                                             "zapisano nowej książki; scal ponownie, a plik "
                                             "zostanie zmierzony jeszcze raz")
                                  .arg(sciezka));
        loguj(QStringLiteral("Trwa dodawanie pliku:: ") + sciezka);
        const std::int64_t rozmiar = zrodlo.rozmiar();
        if (rozmiar == 0)
            throw EInOutError(QStringLiteral("Plik %1 jest pusty").arg(sciezka));
        // The program's measure reads the file once and hands its bytes on
        // into the book; a stand-in only measures, and the file is copied
        // after it.
        const bool wJednymPrzejsciu = miernik.przekazuje();
        std::int64_t bajty = 0;
        PomiarMp3 pomiar;
        int przycieteWpisu = 0;
        if (wJednymPrzejsciu) {
            CzytanieWpisu czytanie{zrodlo.deskryptor(),
                                   rozmiar,
                                   [&](const unsigned char* dane, std::int64_t n) {
                                       zapis.zapisz(dane, n);
                                       bajty += n;
                                       zglos(n);
                                   },
                                   {}};
            if (przeksztalcRamke || krok != 0)
                czytanie.przeksztalcRamke = [this, i, krok, &przycieteWpisu](unsigned char* ramka,
                                                                             int n) {
                    if (krok != 0)
                        przycieteWpisu += zmienWzmocnienie({ramka, std::size_t(n)}, krok);
                    if (przeksztalcRamke)
                        przeksztalcRamke(i, ramka, n);
                };
            pomiar = miernik(sciezka, czytanie);
        } else {
            pomiar = miernik(sciezka);
        }
        if (pomiar.pominieteBajty > 0)
            loguj(ostrzezeniePominiete(sciezka, pomiar.pominieteBajty));
        formaty.append(pomiar.format);
        dodajCzas(pomiar, i == 0);
        polozenia.append(umiescZakladke(i, pomiar));
        dlugosciMs.append(pomiar.dlugoscMs);
        if (!wJednymPrzejsciu) {
            QFile kopia;
            if (!kopia.open(zrodlo.deskryptor(), QIODevice::ReadOnly | QIODevice::Unbuffered,
                            QFileDevice::DontCloseHandle))
                throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2")
                                      .arg(sciezka, kopia.errorString()));
            zapis.wyslij();
            bajty = dopisz(kopia, sciezka, scalony, nazwaScalonego, zglos);
        }
        if (bajty != rozmiar)
            throw SonvekError(QStringLiteral("Plik %1 zmienił się podczas scalania: miał %2 "
                                             "bajtów, a odczytano %3. Nie zapisano nowej książki")
                                  .arg(sciezka)
                                  .arg(rozmiar)
                                  .arg(bajty));
        StanPliku przedBezSkrotu = przed;
        przedBezSkrotu.skrot.clear();
        sprawdzNiezmieniony(sciezka, przedBezSkrotu, zrodlo.deskryptor());
        rozmiary.append(bajty);
        if (!kroki.isEmpty()) {
            const KrokGlosnosci& k = kroki.at(i);
            logujKrok(sciezka, k, przycieteWpisu);
            zmienione += k.kroki != 0;
            cisza += !k.poziom;
            doCelu += k.poziom && std::fabs(*k.poziom + k.decybele() - *celGlosnosci) <= 1.0;
            przezSzczyt += k.przezSzczyt;
            przezZakres += k.przezZakres && !k.przezSzczyt;
            przyciete += przycieteWpisu > 0;
        }
        loguj(QStringLiteral("Dodawanie pliku zakończone powodzeniem"));
    }
    zapis.wyslij();
    logujFormaty(formaty);
    if (celGlosnosci) {
        const qsizetype n = wpisy.size();
        tekstWyrownania = QStringLiteral("Głośność wyrównana do %1 LUFS: zmieniono %2 z %3 %4; "
                                         "w granicach 1 LU od celu: %5")
                              .arg(tekstPoziomu(celGlosnosci))
                              .arg(zmienione)
                              .arg(n)
                              .arg(n == 1 ? QStringLiteral("pliku") : QStringLiteral("plików"))
                              .arg(doCelu);
        if (przezSzczyt > 0)
            tekstWyrownania += QStringLiteral("; mniej niż do celu, by szczyt nie przekroczył "
                                              "\u22121 dBTP: %1")
                                   .arg(przezSzczyt);
        if (przezZakres > 0)
            tekstWyrownania +=
                QStringLiteral("; mniej niż do celu przez zakres wzmocnienia 0..255: %1")
                    .arg(przezZakres);
        if (cisza > 0)
            tekstWyrownania += QStringLiteral("; cisza, bez zmian: %1").arg(cisza);
        if (przyciete > 0)
            tekstWyrownania +=
                QStringLiteral("; z wzmocnieniem ramek przytrzymanym na granicy zakresu: %1")
                    .arg(przyciete);
        loguj(tekstWyrownania);
    }
    opiszCalaKsiazke(scalony.handle(), zmienione > 0);
    loguj(QStringLiteral("Sklejanie zakonczone powodzeniem"));
}

// The book's first frame, entry 1's encoder header, made to describe the
// whole book for players that read it (the Sonvek player reads the index).
void ZadanieScalania::opiszCalaKsiazke(int deskryptor, bool wyrownana) {
    if (!miernik.przekazuje())
        return; // a stand-in measure: the entries need not be MP3 at all
    const WynikNaglowka wynik =
        przepiszNaglowekMp3(deskryptor, nazwaScalonego, wyrownana, [this] { sprawdzPrzerwanie(); });
    if (!wynik.przepisany && wynik.bladDlugosciMs > 1000)
        loguj(QStringLiteral("Uwaga: pierwszy plik (%1) nie zaczyna się ramką informacyjną "
                             "(Xing/Info), więc książka nie ma nagłówka z jej długością; "
                             "odtwarzacz Sonvek korzysta z indeksu, ale inne odtwarzacze mogą "
                             "podawać długość książki błędną o około %2 s i źle przewijać")
                  .arg(wpisy.isEmpty() ? QString() : wpisy.first().sciezka())
                  .arg((wynik.bladDlugosciMs + 500) / 1000));
}

// One line per entry whose format differs from the first file's.
void ZadanieScalania::logujFormaty(const QList<std::optional<FormatDzwieku>>& formaty) const {
    const QList<InnyFormat> inne = inneFormaty(formaty);
    if (inne.isEmpty())
        return;
    loguj(QStringLiteral("Uwaga: pliki w innym formacie dźwięku niż pierwszy plik (%1): %2; "
                         "odtwarzacz może w tych miejscach książki zatrzymać się albo grać za "
                         "szybko lub za wolno")
              .arg(opisFormatu(*pierwszyFormat(formaty)))
              .arg(inne.size()));
    for (const InnyFormat& inny : inne)
        loguj(QStringLiteral("Uwaga: plik %1 (pozycja %2): %3")
                  .arg(wpisy.at(inny.pozycja).sciezka())
                  .arg(inny.pozycja + 1)
                  .arg(inny.roznice));
}

// "plik X: +3,0 dB (2 kroki po 1,5 dB), mowa −21,0 → −18,0 LUFS", and why
// the step is smaller than the target asks (a silent file gets none).
void ZadanieScalania::logujKrok(const QString& sciezka, const KrokGlosnosci& krok,
                                int przyciete) const {
    QString linia = QStringLiteral("plik %1: %2").arg(sciezka, tekstDecybeli(krok.decybele()));
    if (!krok.poziom) {
        loguj(linia + QStringLiteral(" (cisza)"));
        return;
    }
    const int n = std::abs(krok.kroki);
    if (n != 0)
        linia += QStringLiteral(" (%1 %2 po 1,505 dB)")
                     .arg(n)
                     .arg(n == 1 ? QStringLiteral("krok")
                          : (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14))
                              ? QStringLiteral("kroki")
                              : QStringLiteral("kroków"));
    linia += QStringLiteral(", mowa %1 \u2192 %2 LUFS")
                 .arg(tekstPoziomu(krok.poziom), tekstPoziomu(*krok.poziom + krok.decybele()));
    QStringList powody;
    if (krok.przezSzczyt)
        powody << QStringLiteral("szczyt przekroczyłby \u22121 dBTP");
    if (krok.przezZakres)
        powody << QStringLiteral("wzmocnienie ramek wyszłoby poza zakres 0..255");
    if (!powody.isEmpty())
        linia += QStringLiteral(" (zamiast %1: %2)")
                     .arg(tekstDecybeli(krok.chciane * kDecybeleKroku),
                          powody.join(QStringLiteral(", a ")));
    loguj(linia);
    if (przyciete > 0)
        loguj(QStringLiteral("Uwaga: w pliku %1 wzmocnienie %2 pól ramek przytrzymano na granicy "
                             "zakresu 0..255")
                  .arg(sciezka)
                  .arg(przyciete));
}

// The book's duration as the player measures the book itself: the first
// file as on its own, every later one with each frame it holds, its
// encoder's information frame too, which inside the book is a frame of
// silence that plays. Summed exactly and rounded once.
void ZadanieScalania::dodajCzas(const PomiarMp3& pomiar, bool pierwszy) {
    if (pomiar.jednostekNaMs <= 0 ||
        (czas.jednostekNaMs != 0 && czas.jednostekNaMs != pomiar.jednostekNaMs)) {
        czas.milisekundy += pomiar.dlugoscMs;
        return;
    }
    czas.jednostekNaMs = pomiar.jednostekNaMs;
    czas.jednostki += pierwszy ? pomiar.czas : pomiar.czasWKsiazce;
}

std::int64_t ZadanieScalania::CzasKsiazki::ms() const {
    if (jednostekNaMs == 0)
        return milisekundy;
    return milisekundy + (jednostki + jednostekNaMs / 2) / jednostekNaMs;
}

// Where entry i's bookmark lies in its file, from the frames its walk found:
// the frames playing at its start and end as players that honour the
// encoder's header hear them. A bookmark text that is no number gets
// nothing here: the index reports it at its row. A measure that tells no
// frames at all (a stand-in) leaves the entry to the estimate.
std::optional<PolozenieZakladki> ZadanieScalania::umiescZakladke(int i,
                                                                 const PomiarMp3& pomiar) const {
    const PozycjaProjektu& p = wpisy.at(i);
    const std::optional<std::int32_t> poczatek = tryStrToInt(p.Poczatek);
    const std::optional<std::int32_t> dlugosc = tryStrToInt(p.Dlugosc);
    if (!poczatek || !dlugosc)
        return std::nullopt;
    if (pomiar.ramki.pusta()) {
        if (pomiar.jednostekNaMs > 0 && !indeksSzacowany)
            loguj(QStringLiteral("Uwaga: nie udało się ustalić położenia ramek dźwięku pozycji %1 "
                                 "(%2); jej zakładka jest w indeksie szacowana")
                      .arg(i + 1)
                      .arg(p.sciezka()));
        return std::nullopt;
    }
    const PolozenieZakladki z = pomiar.ramki.zakladka(*poczatek, *dlugosc, pomiar.opoznienie);
    if (z.poczatekZaKoncem && !indeksSzacowany)
        loguj(QStringLiteral("Uwaga: zakładka pozycji %1 (%2) zaczyna się w %3 ms, a dźwięk pliku "
                             "trwa %4 ms; w indeksie zaczyna się na końcu pliku")
                  .arg(i + 1)
                  .arg(p.sciezka())
                  .arg(*poczatek)
                  .arg(pomiar.dlugoscMs));
    return z;
}

// Names the entries whose bookmark the estimate puts more than a second
// from where its frames lie, measured at the entry's own rate.
void ZadanieScalania::logujChybioneSzacunki(std::int64_t predkosc) const {
    for (int i = 0; i < wpisy.size(); ++i) {
        const std::optional<PolozenieZakladki>& z = polozenia.at(i);
        const std::optional<std::int32_t> poczatek = tryStrToInt(wpisy.at(i).Poczatek);
        if (!z || !poczatek || dlugosciMs.at(i) <= 0)
            continue;
        const std::int64_t roznica = bajtSzacowany(predkosc, *poczatek) - z->poczatek;
        const double sekundy =
            double(roznica) * double(dlugosciMs.at(i)) / double(rozmiary.at(i)) / 1000.0;
        if (std::fabs(sekundy) > 1.0)
            loguj(QStringLiteral("Uwaga: indeks szacowany umieszcza zakładkę pozycji %1 (%2) "
                                 "%3 s %4, w którym zaczyna się jej dźwięk; dokładny "
                                 "indeks umieściłby ją właściwie")
                      .arg(i + 1)
                      .arg(wpisy.at(i).sciezka())
                      .arg(QString::number(std::fabs(sekundy), 'f', 1).replace(u'.', u','))
                      .arg(sekundy < 0 ? QStringLiteral("przed miejscem")
                                       : QStringLiteral("za miejscem")));
    }
}

void ZadanieScalania::utworzIndeksy() {
    if (limitCzesci > 0) {
        utworzIndeksyCzesci();
        return;
    }
    std::int64_t rozmiar = 0;
    QList<WpisIndeksu> indeks;
    indeks.reserve(wpisy.size());
    for (int i = 0; i < wpisy.size(); ++i) {
        const PozycjaProjektu& p = wpisy.at(i);
        indeks.append({p.Poczatek, p.Dlugosc, rozmiary.at(i), p.sciezka(),
                       indeksSzacowany ? std::nullopt : polozenia.at(i)});
        rozmiar += rozmiary.at(i);
    }
    sprawdzPrzerwanie();
    const QByteArray dat = trescDat(rozmiar, czas.ms(), indeks);
    if (indeksSzacowany)
        logujChybioneSzacunki(sredniaPredkosc(rozmiar, czas.ms()));

    // The book's data reaches the disk before the book is put in place.
    zapiszNaDysk(*plikTymczasowy, nazwaScalonego);
    const QString tymczasowyDat = zapiszObok(plikDat(), dat, znacznik);
    tymczasowe.append(tymczasowyDat);
    const QString tymczasowyLog = zapiszObok(plikLog(), trescLog(), znacznik);
    tymczasowe.append(tymczasowyLog);

    sprawdzPrzerwanie();
    const QList<std::pair<QString, QString>> pary = {{tymczasowyDat, plikDat()},
                                                     {tymczasowyLog, plikLog()},
                                                     {tymczasowyScalony, nazwaScalonego}};
    if (odlozUmieszczenie) {
        gotowe = pary;
        return;
    }
    podmienRazem(pary);
    // The temporary names now hold whatever was replaced.
    usunTymczasowe();
    loguj(QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem"));
    loguj(QStringLiteral("Scalanie plików zakończone powodzeniem"));
}

// A part that failed ends the whole book the same way.
void ZadanieScalania::bladCzesci(const ZadanieScalania& czesc) {
    if (czesc.przerwane())
        throw Przerwanie{};
    odmowiono = czesc.odmowa();
    throw SonvekError(czesc.blad());
}

// Stage 1 of a book in parts: the names of every part checked against
// everything the merge reads before a byte is written, then each part's
// entries merged by a merge of their own, which keeps its files under
// temporary names.
void ZadanieScalania::sklejCzesci() {
    odmowiono = true;
    sprawdzNazwy(); // the single book's names, and every entry a regular file
    QList<std::int64_t> rozmiaryWpisow;
    for (const PozycjaProjektu& p : std::as_const(wpisy))
        rozmiaryWpisow.append(zbadaj(p.sciezka()).rozmiar);
    const QList<int> podzial = podzialNaCzesci(rozmiaryWpisow, limitCzesci);
    nazwyCzesci.clear();
    QStringList wyjscia;
    for (int k = 0; k < podzial.size(); ++k) {
        nazwyCzesci.append(nazwaCzesci(nazwaScalonego, k + 1));
        wyjscia << nazwyCzesci.last() << nazwaIndeksu(nazwyCzesci.last(), QStringLiteral("dat"))
                << nazwaIndeksu(nazwyCzesci.last(), QStringLiteral("log"));
    }
    for (const QString& nazwa : std::as_const(wyjscia))
        if (QFileInfo(nazwa).isDir())
            throw EInOutError(
                QStringLiteral("Nie można utworzyć pliku %1: istnieje folder o tej nazwie")
                    .arg(nazwa));
    {
        const TozsamoscPlikow cele(wyjscia);
        QStringList czytane{plikProjektu};
        czytane += sciezkiWpisow();
        for (const QString& sciezka : std::as_const(czytane))
            if (const auto k = cele.ktory(sciezka))
                throw SonvekError(QStringLiteral("Nie można scalić plików do %1: to plik, który "
                                                 "scalanie czyta (%2), a zostałby zastąpiony. "
                                                 "Wybierz inną nazwę")
                                      .arg(wyjscia.at(*k), sciezka));
    }
    odmowiono = false;
    usunPozostalosci();
    const std::int64_t razem =
        std::accumulate(rozmiaryWpisow.cbegin(), rozmiaryWpisow.cend(), std::int64_t{0});
    QStringList wyrownanie;
    int poczatek = 0;
    std::int64_t przed = 0;
    for (int k = 0; k < podzial.size(); ++k) {
        sprawdzPrzerwanie();
        const int n = podzial.at(k);
        std::int64_t wCzesci = 0;
        for (int i = poczatek; i < poczatek + n; ++i)
            wCzesci += rozmiaryWpisow.at(i);
        loguj(QStringLiteral("Część %1 z %2: %3")
                  .arg(k + 1)
                  .arg(podzial.size())
                  .arg(nazwyCzesci.at(k)));
        auto czesc =
            std::make_unique<ZadanieScalania>(nazwyCzesci.at(k), wpisy.mid(poczatek, n), miernik);
        czesc->odlozUmieszczenie = true;
        czesc->plikProjektu = plikProjektu;
        czesc->indeksSzacowany = indeksSzacowany;
        czesc->celGlosnosci = celGlosnosci;
        czesc->miernikGlosnosci = miernikGlosnosci;
        czesc->pamiecGlosnosci = pamiecGlosnosci;
        czesc->przerwanie = przerwanie;
        czesc->przerwac = przerwac;
        // The parts' own ends are said once, for the whole book.
        czesc->dziennik = [this](const QString& linia) {
            if (!linia.startsWith(QStringLiteral("Błąd: ")) &&
                linia != QStringLiteral("Scalanie przerwane"))
                loguj(linia);
        };
        if (postep) {
            const std::int64_t dalej = razem - przed - wCzesci;
            czesc->postep = [this, przed, dalej](std::int64_t zrobione, std::int64_t wszystkie) {
                postep(przed + zrobione, przed + wszystkie + dalej);
            };
        }
        if (przeksztalcRamke)
            czesc->przeksztalcRamke = [this, poczatek](int wpis, unsigned char* ramka, int bajty) {
                przeksztalcRamke(poczatek + wpis, ramka, bajty);
            };
        ZadanieScalania& zadanie = *czesc;
        zadaniaCzesci.push_back(std::move(czesc));
        if (!zadanie.SklejPliki())
            bladCzesci(zadanie);
        if (!zadanie.podsumowanieGlosnosci().isEmpty())
            wyrownanie.append(
                QStringLiteral("część %1: %2").arg(k + 1).arg(zadanie.podsumowanieGlosnosci()));
        poczatek += n;
        przed += wCzesci;
    }
    tekstWyrownania = wyrownanie.join(QStringLiteral("; "));
}

// Stage 2 of a book in parts: every part's index files, then all the parts
// put in place in one step that also takes away the single book of the
// chosen name, so that what stays is one book or the other, never a mix.
void ZadanieScalania::utworzIndeksyCzesci() {
    QList<std::pair<QString, QString>> pary;
    for (const auto& czesc : zadaniaCzesci) {
        if (!czesc->UtworzIndeksy())
            bladCzesci(*czesc);
        pary += czesc->gotowe;
    }
    sprawdzPrzerwanie();
    QStringList stare;
    for (const QString& nazwa : {nazwaScalonego, plikDat(), plikLog()})
        if (QFileInfo(nazwa).isFile())
            stare.append(nazwa);
    const QStringList ukryte = podmienRazem(pary, stare);
    usunTymczasowe(); // the parts' temporary names now hold what was replaced
    for (const QString& ukryty : ukryte)
        QFile::remove(ukryty);
    if (!stare.isEmpty())
        loguj(QStringLiteral("Książka %1 zapisana wcześniej w jednym pliku została zastąpiona "
                             "częściami")
                  .arg(nazwaScalonego));
    const QString nastepna = nazwaCzesci(nazwaScalonego, int(nazwyCzesci.size()) + 1);
    if (QFileInfo::exists(nastepna))
        loguj(QStringLiteral("Uwaga: plik %1 został z wcześniejszego scalenia w większej liczbie "
                             "części i nie należy do tej książki; usuń go, by odtwarzacz go nie "
                             "czytał")
                  .arg(nastepna));
    loguj(QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem"));
    loguj(QStringLiteral("Scalanie plików zakończone powodzeniem"));
}
