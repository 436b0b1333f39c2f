#include "eksport/UmieszczenieKsiazki.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/Transakcja.h"
#include "base/ZapisAtomowy.h"
#include "eksport/DokumentyDaisy.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kNaglowekPlanu = "sonvek-eksport-daisy 2\n";
const QString kNcc = QStringLiteral("ncc.html");

QByteArray bajty(const QString& sciezka) {
    return QFile::encodeName(sciezka);
}

EInOutError bladUmieszczenia(const QString& cel, int numer) {
    return EInOutError(QStringLiteral("Nie można umieścić książki DAISY w folderze %1: %2")
                           .arg(QDir::toNativeSeparators(cel), opisBleduSystemu(numer)));
}

// lstat: whether the name exists at all, a link or a folder alike.
bool istnieje(const QString& sciezka) {
    struct stat st {};
    return ::lstat(bajty(sciezka).constData(), &st) == 0;
}

bool zwyklyPlik(const QString& sciezka) {
    struct stat st {};
    return ::lstat(bajty(sciezka).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

void usunZwyklyPlik(const QString& sciezka) {
    if (!sciezka.isEmpty() && zwyklyPlik(sciezka))
        ::unlink(bajty(sciezka).constData());
}

void utworzFolder(const QString& folder, const QString& cel) {
    if (!istnieje(folder) && ::mkdir(bajty(folder).constData(), 0777) != 0)
        throw bladUmieszczenia(cel, errno);
}

// Moves the file `z` to the name `na`, which it replaces.
void przenies(const QString& z, const QString& na, const QString& cel) {
    if (::rename(bajty(z).constData(), bajty(na).constData()) != 0)
        throw bladUmieszczenia(cel, errno);
}

// The files of a book this program writes that `folder` holds.
QStringList plikiKsiazki(const QString& folder) {
    QStringList pliki;
    for (const QString& nazwa : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (nazwaPlikuDaisy(nazwa) && zwyklyPlik(folder + u'/' + nazwa))
            pliki.append(nazwa);
    }
    return pliki;
}

// Whether `folder` is missing or a real folder holding nothing but files
// of a book of this program (a book half put in place included).
bool tylkoPlikiKsiazki(const QString& folder) {
    struct stat st {};
    if (::lstat(bajty(folder).constData(), &st) != 0)
        return true;
    if (!S_ISDIR(st.st_mode))
        return false;
    const QStringList nazwy = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot);
    return nazwy.size() == plikiKsiazki(folder).size();
}

// What a lock file records.
struct Plan {
    QString cel, nowy, stary; // the target, the new book, the old one aside
    QString mp3Tymczasowy, mp3Cel;
    QStringList pliki;   // the new book's files; set: the plan was recorded
    bool istnial = true; // the target existed
    bool wycofany = false;
};

void czytajPlan(const QByteArray& tresc, Plan& plan) {
    if (!tresc.startsWith(kNaglowekPlanu))
        return;
    const QList<QByteArray> linie = tresc.split('\n');
    // A line counts only when whole (ended by its new line).
    QStringList pliki;
    for (qsizetype i = 1; i + 1 < linie.size(); ++i) {
        const QList<QByteArray> pola = linie.at(i).split(' ');
        if (pola.size() == 3 && pola.at(0) == "mp3") {
            plan.mp3Tymczasowy = QFile::decodeName(QByteArray::fromBase64(pola.at(1)));
            plan.mp3Cel = QFile::decodeName(QByteArray::fromBase64(pola.at(2)));
        } else if (pola.size() >= 1 && pola.at(0) == "pliki") {
            for (const QByteArray& p : pola.mid(1))
                if (nazwaPlikuDaisy(QString::fromLatin1(p)))
                    pliki.append(QString::fromLatin1(p));
        } else if (pola.size() == 2 && pola.at(0) == "gotowe") {
            plan.pliki = pliki;
            plan.istnial = pola.at(1) == "1";
        } else if (pola.size() == 1 && pola.at(0) == "wycofaj") {
            plan.wycofany = true;
        }
    }
}

// The new book's files into the target, ncc.html last; each old file of
// the same name goes aside first, and so do old files the new book lacks.
// Carries on where a kill stopped it.
void naprzod(const Plan& p) {
    utworzFolder(p.cel, p.cel);
    utworzFolder(p.stary, p.cel);
    QStringList kolejnosc = p.pliki;
    if (kolejnosc.removeAll(kNcc))
        kolejnosc.append(kNcc);
    for (const QString& f : std::as_const(kolejnosc)) {
        const QString nowy = p.nowy + u'/' + f, cel = p.cel + u'/' + f;
        if (!istnieje(nowy))
            continue;
        if (zwyklyPlik(cel) && !istnieje(p.stary + u'/' + f))
            przenies(cel, p.stary + u'/' + f, p.cel);
        przenies(nowy, cel, p.cel);
    }
    for (const QString& f : plikiKsiazki(p.cel)) {
        if (p.pliki.contains(f))
            continue;
        if (istnieje(p.stary + u'/' + f))
            usunZwyklyPlik(p.cel + u'/' + f);
        else
            przenies(p.cel + u'/' + f, p.stary + u'/' + f, p.cel);
    }
    synchronizujFolder(p.cel);
}

// The old files back from aside; the new ones that took a place of their
// own out; the target gone again when it was made for the new book.
void wstecz(const Plan& p) {
    QStringList przywrocone;
    if (istnieje(p.stary)) {
        const QStringList stare = plikiKsiazki(p.stary);
        if (!stare.isEmpty())
            utworzFolder(p.cel, p.cel);
        for (const QString& f : stare) {
            przenies(p.stary + u'/' + f, p.cel + u'/' + f, p.cel);
            przywrocone.append(f);
        }
    }
    for (const QString& f : p.pliki) {
        if (!przywrocone.contains(f) && !istnieje(p.nowy + u'/' + f))
            usunZwyklyPlik(p.cel + u'/' + f);
    }
    if (!p.istnial && !p.pliki.isEmpty())
        ::rmdir(bajty(p.cel).constData());
    synchronizujFolder(QFileInfo(p.cel).absolutePath());
}

// Whether the recorded plan can be carried out: every file of the new
// book is there, and the target holds nothing but books of this program.
bool wykonalny(const Plan& p) {
    if (p.pliki.isEmpty() || p.wycofany || !tylkoPlikiKsiazki(p.cel))
        return false;
    return std::all_of(p.pliki.cbegin(), p.pliki.cend(), [&](const QString& f) {
        return zwyklyPlik(p.nowy + u'/' + f) || zwyklyPlik(p.cel + u'/' + f);
    });
}

// Brings a plan a killed export left to its end: the new book and MP3
// wholly in place when it was recorded and can be carried out, else the
// old ones. Then removes what is left of the other. True: carried out.
bool dokonczPlan(const Plan& p) {
    const bool naprzodDa = wykonalny(p);
    if (naprzodDa) {
        naprzod(p);
        if (!p.mp3Tymczasowy.isEmpty() && zwyklyPlik(p.mp3Tymczasowy)) {
            if (::rename(bajty(p.mp3Tymczasowy).constData(), bajty(p.mp3Cel).constData()) != 0)
                throw EInOutError(
                    QStringLiteral("Nie można umieścić pliku %1: %2")
                        .arg(QDir::toNativeSeparators(p.mp3Cel), opisBleduSystemu(errno)));
            synchronizujFolder(QFileInfo(p.mp3Cel).absolutePath());
        }
    } else {
        wstecz(p);
        usunZwyklyPlik(p.mp3Tymczasowy);
    }
    usunPlikiKsiazki(p.stary);
    usunPlikiKsiazki(p.nowy);
    return naprzodDa;
}

} // namespace

ZawartoscFolderu rozpoznajFolder(const QString& folder) {
    ZawartoscFolderu z;
    struct stat st {};
    if (::lstat(bajty(folder).constData(), &st) != 0)
        return z;
    z.rodzaj = ZawartoscFolderu::Obcy;
    if (S_ISLNK(st.st_mode)) {
        z.powod = QStringLiteral("to dowiązanie symboliczne");
        return z;
    }
    if (!S_ISDIR(st.st_mode)) {
        z.powod = QStringLiteral("to nie jest folder");
        return z;
    }
    const QStringList nazwy = QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    if (nazwy.isEmpty()) {
        z.rodzaj = ZawartoscFolderu::Pusty;
        return z;
    }
    for (const QString& nazwa : nazwy) {
        if (!nazwaPlikuDaisy(nazwa)) {
            z.powod = QStringLiteral("jest w nim „%1”, czego program nie zapisuje w książce DAISY")
                          .arg(nazwa);
            return z;
        }
        if (!zwyklyPlik(folder + u'/' + nazwa)) {
            z.powod = QStringLiteral("„%1” w nim nie jest zwykłym plikiem").arg(nazwa);
            return z;
        }
    }
    QFile ncc(folder + u'/' + kNcc);
    if (!nazwy.contains(kNcc) || !ncc.open(QIODevice::ReadOnly)) {
        z.powod = QStringLiteral("nie ma w nim pliku ncc.html");
        return z;
    }
    if (!nccNaszejKsiazki(ncc.read(64 * 1024))) {
        z.powod = QStringLiteral("jego plik ncc.html nie pochodzi z programu SonvekManager");
        return z;
    }
    z.rodzaj = ZawartoscFolderu::Ksiazka;
    z.rozdzialy = int(nazwy.filter(QRegularExpression(QStringLiteral("\\.smil$"))).size());
    return z;
}

bool usunPlikiKsiazki(const QString& folder) {
    struct stat st {};
    if (::lstat(bajty(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return !istnieje(folder);
    for (const QString& nazwa : plikiKsiazki(folder))
        usunZwyklyPlik(folder + u'/' + nazwa);
    return ::rmdir(bajty(folder).constData()) == 0;
}

bool UmieszczenieKsiazki::dokonczPozostawione(const QString& cel) {
    const QByteArray poczatek = poczatekNazwyTymczasowej(cel);
    const qsizetype ukosnik = poczatek.lastIndexOf('/');
    const QString folder = QFile::decodeName(poczatek.left(std::max<qsizetype>(ukosnik, 1)));
    const QString przedrostek = QFile::decodeName(poczatek.mid(ukosnik + 1));
    const QRegularExpression wzor(QStringLiteral("^%1([0-9a-z]+)\\.(lock|tmp|old)$")
                                      .arg(QRegularExpression::escape(przedrostek)));
    QStringList znaczniki;
    for (const QString& nazwa : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden |
                                                       QDir::System | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = wzor.match(nazwa);
        if (m.hasMatch() && !znaczniki.contains(m.captured(1)))
            znaczniki.append(m.captured(1));
    }
    bool postawiona = false;
    for (const QString& znacznik : std::as_const(znaczniki)) {
        const QString nazwa = folder + u'/' + przedrostek + znacznik;
        Plan plan;
        plan.cel = QFileInfo(cel).absoluteFilePath();
        plan.nowy = nazwa + QStringLiteral(".tmp");
        plan.stary = nazwa + QStringLiteral(".old");
        // A ".tmp" of another writer (a file) is not this export's.
        struct stat st {};
        if (::lstat(bajty(plan.nowy).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
            continue;
        const QString blokada = nazwa + QStringLiteral(".lock");
        const int fd =
            ::open(bajty(blokada).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd); // an export still running
            continue;
        }
        if (fd >= 0) {
            QByteArray tresc;
            char bufor[65536];
            for (ssize_t n; (n = ::read(fd, bufor, sizeof bufor)) != 0;) {
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    break;
                tresc.append(bufor, n);
            }
            czytajPlan(tresc, plan);
        }
        try {
            postawiona = dokonczPlan(plan) || postawiona;
        } catch (...) {
            if (fd >= 0)
                ::close(fd);
            throw;
        }
        if (fd >= 0) {
            ::unlink(bajty(blokada).constData());
            ::close(fd);
        }
    }
    return postawiona;
}

UmieszczenieKsiazki::UmieszczenieKsiazki(const QString& cel)
    : m_cel(QFileInfo(cel).absoluteFilePath()) {
    const QString poczatek = QFile::decodeName(poczatekNazwyTymczasowej(m_cel));
    int numer = EEXIST;
    for (int proba = 0; proba < 100 && m_fd < 0; ++proba) {
        const QString nazwa =
            poczatek + QString::number(QRandomGenerator::global()->generate(), 36);
        const QByteArray blokada = bajty(nazwa + QStringLiteral(".lock"));
        if (istnieje(nazwa + QStringLiteral(".tmp")) || istnieje(nazwa + QStringLiteral(".old")))
            continue;
        const int fd =
            ::open(blokada.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            numer = errno;
            if (numer != EEXIST)
                break;
            continue;
        }
        if (!zablokujTymczasowy(fd, blokada)) {
            ::close(fd);
            continue;
        }
        m_fd = fd;
        m_blokada = nazwa + QStringLiteral(".lock");
        m_nowy = nazwa + QStringLiteral(".tmp");
        m_stary = nazwa + QStringLiteral(".old");
    }
    if (m_fd < 0)
        throw bladUmieszczenia(m_cel, numer);
    m_plan = kNaglowekPlanu;
    if (zapiszWszystko(m_fd, m_plan.constData(), m_plan.size()) != 0 ||
        ::mkdir(bajty(m_nowy).constData(), 0777) != 0) {
        const int e = errno;
        ::unlink(bajty(m_blokada).constData());
        ::close(m_fd);
        m_fd = -1;
        throw bladUmieszczenia(m_cel, e);
    }
}

UmieszczenieKsiazki::~UmieszczenieKsiazki() {
    if (m_fd < 0)
        return;
    if (m_stan == Stan::Umieszczony) {
        try {
            wycofaj();
        } catch (...) {
            // The plan, marked undone, stays for the next export.
            ::close(m_fd);
        }
        return;
    }
    usunPlikiKsiazki(m_nowy);
    ::unlink(bajty(m_blokada).constData());
    ::close(m_fd);
}

void UmieszczenieKsiazki::dodajMp3(const QString& tymczasowy, const QString& cel) {
    const QByteArray linia = "mp3 " + bajty(tymczasowy).toBase64() + ' ' +
                             bajty(QFileInfo(cel).absoluteFilePath()).toBase64() + '\n';
    if (const int e = zapiszWszystko(m_fd, linia.constData(), linia.size()))
        throw bladUmieszczenia(m_cel, e);
    m_plan += linia;
}

void UmieszczenieKsiazki::zatwierdz() {
    const QByteArray linia = "pliki " + plikiKsiazki(m_nowy).join(u' ').toLatin1() + "\ngotowe " +
                             (istnieje(m_cel) ? "1" : "0") + '\n';
    int e = zapiszWszystko(m_fd, linia.constData(), linia.size());
    if (e == 0 && synchronizujPlik(m_fd) != 0)
        e = errno;
    if (e != 0)
        throw bladUmieszczenia(m_cel, e);
    synchronizujFolder(QFileInfo(m_cel).absolutePath());
    m_plan += linia;
    m_stan = Stan::Zatwierdzony;
}

void UmieszczenieKsiazki::umiesc() {
    Plan plan{m_cel, m_nowy, m_stary, {}, {}, {}, true, false};
    czytajPlan(m_plan, plan);
    m_stan = Stan::Umieszczony;
    naprzod(plan);
}

void UmieszczenieKsiazki::zakoncz() {
    usunPlikiKsiazki(m_stary);
    usunPlikiKsiazki(m_nowy);
    ::unlink(bajty(m_blokada).constData());
    ::close(m_fd);
    m_fd = -1;
    m_stan = Stan::Zakonczony;
}

void UmieszczenieKsiazki::wycofaj() {
    // Recorded first: a kill while the old book goes back leaves a plan
    // that the next export undoes, not carries out.
    const QByteArray linia = "wycofaj\n";
    if (zapiszWszystko(m_fd, linia.constData(), linia.size()) == 0)
        synchronizujPlik(m_fd);
    m_plan += linia;
    Plan plan{m_cel, m_nowy, m_stary, {}, {}, {}, true, false};
    czytajPlan(m_plan, plan);
    plan.mp3Tymczasowy.clear(); // its own writer removes it
    dokonczPlan(plan);
    ::unlink(bajty(m_blokada).constData());
    ::close(m_fd);
    m_fd = -1;
    m_stan = Stan::Zakonczony;
}
