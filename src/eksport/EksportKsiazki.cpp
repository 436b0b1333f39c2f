#include "eksport/EksportKsiazki.h"

#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "base/CommandLine.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/ZapisAtomowy.h"
#include "base/ZwyklyPlik.h"
#include "eksport/DokumentyDaisy.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString opisBledu(int numer) {
    return QString::fromLocal8Bit(std::strerror(numer));
}

QString natywna(const QString& sciezka) {
    return QDir::toNativeSeparators(sciezka);
}

EInOutError bladZapisu(const QString& nazwa, int numer) {
    return EInOutError(
        QStringLiteral("Nie można zapisać pliku %1: %2").arg(natywna(nazwa), opisBledu(numer)));
}

// Thrown by the frame walk's callback to stop it.
struct Przerwanie {};

constexpr qint64 kPorcja = qint64{4} << 20; // bytes between progress reports

QString kanoniczna(const QString& sciezka) {
    return QFileInfo(sciezka).canonicalFilePath();
}

// Whether `sciezka` (canonical) lies in the folder `folder` (canonical).
bool wFolderze(const QString& sciezka, const QString& folder) {
    return !sciezka.isEmpty() && !folder.isEmpty() &&
           sciezka.startsWith(folder.endsWith(u'/') ? folder : folder + u'/');
}

int otworzNowy(const QString& sciezka) {
    const QByteArray n = QFile::encodeName(sciezka);
    const int fd = ::open(n.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw bladZapisu(sciezka, errno);
    return fd;
}

void zapiszDoKonca(int fd, const char* dane, qint64 dlugosc, const QString& nazwa) {
    while (dlugosc > 0) {
        const ssize_t n =
            ::write(fd, dane, static_cast<size_t>(std::min<qint64>(dlugosc, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw bladZapisu(nazwa, n < 0 ? errno : ENOSPC);
        dane += n;
        dlugosc -= n;
    }
}

// Files of the DAISY folder reach the disk all at once, with one sync of
// the file system (syncfs) before the folder is put in place: a sync per
// file would cost the disk a flush for each of hundreds of files. Where
// there is no syncfs, each file is synced as it is closed.
#ifdef Q_OS_LINUX
constexpr bool kSynchronizujKazdy = false;
#else
constexpr bool kSynchronizujKazdy = true;
#endif

void zamknijZSynchronizacja(int fd, const QString& nazwa) {
    if (kSynchronizujKazdy && ::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        throw bladZapisu(nazwa, e);
    }
    if (::close(fd) != 0)
        throw bladZapisu(nazwa, errno);
}

void zapiszNowyPlik(const QString& sciezka, const QByteArray& dane) {
    const int fd = otworzNowy(sciezka);
    try {
        zapiszDoKonca(fd, dane.constData(), dane.size(), sciezka);
    } catch (...) {
        ::close(fd);
        throw;
    }
    zamknijZSynchronizacja(fd, sciezka);
}

// Syncs the folder, and with `calosc` the whole file system it is on.
void synchronizujFolder(const QString& folder, bool calosc = false) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw bladZapisu(folder, errno);
    int wynik = 0;
#ifdef Q_OS_LINUX
    if (calosc)
        wynik = ::syncfs(fd);
#else
    Q_UNUSED(calosc);
#endif
    if (wynik == 0)
        wynik = ::fsync(fd);
    const int e = errno;
    ::close(fd);
    if (wynik != 0)
        throw bladZapisu(folder, e);
}

// Renames `z` to `na`, swapping the two when `na` exists and `zamiana`;
// never replaces anything otherwise.
void przemianuj(const QString& z, const QString& na, bool zamiana) {
    const QByteArray a = QFile::encodeName(z), b = QFile::encodeName(na);
#ifdef Q_OS_LINUX
    if (::renameat2(AT_FDCWD, a.constData(), AT_FDCWD, b.constData(),
                    zamiana ? RENAME_EXCHANGE : RENAME_NOREPLACE) == 0)
        return;
    const int e = errno;
    if (e != EINVAL && e != ENOSYS)
        throw EInOutError(
            QStringLiteral("Nie można utworzyć folderu %1: %2").arg(natywna(na), opisBledu(e)));
#endif
    if (zamiana || QFileInfo::exists(na) || std::rename(a.constData(), b.constData()) != 0)
        throw EInOutError(
            QStringLiteral("Nie można utworzyć folderu %1: %2").arg(natywna(na), opisBledu(errno)));
}

} // namespace

OpisKsiazki uzupelnijOpis(OpisKsiazki opis, const ListaPozycji& pozycje,
                          const QString& plikProjektu) {
    QString album, wykonawca;
    for (const PozycjaProjektu& p : pozycje) {
        if (!album.isEmpty() && !wykonawca.isEmpty())
            break;
        if (!zbadajPlik(p.sciezka()).zwykly())
            continue;
        const TagWpisu tag = czytajTagWpisu(p.sciezka());
        if (album.isEmpty())
            album = tag.album;
        if (wykonawca.isEmpty())
            wykonawca = tag.wykonawca;
    }
    if (opis.tytul.isEmpty())
        opis.tytul = !album.isEmpty() ? album : QFileInfo(plikProjektu).completeBaseName();
    if (opis.autor.isEmpty())
        opis.autor = wykonawca;
    if (opis.jezyk.isEmpty())
        opis.jezyk = QStringLiteral("pl");
    return opis;
}

OpisKsiazki sprawdzonyOpis(const OpisKsiazki& wejscie) {
    OpisKsiazki opis;
    auto czysty = [](const QString& t) { return bezZnakowSpozaXml(t).simplified(); };
    opis.tytul = czysty(wejscie.tytul);
    opis.autor = czysty(wejscie.autor);
    opis.lektor = czysty(wejscie.lektor);
    opis.jezyk = czysty(wejscie.jezyk);
    opis.rok = czysty(wejscie.rok);
    opis.wydawca = czysty(wejscie.wydawca);
    opis.okladka = bezZnakowSpozaXml(wejscie.okladka).trimmed();
    if (opis.tytul.isEmpty())
        throw SonvekError(QStringLiteral("Podaj tytuł książki"));
    if (opis.jezyk.isEmpty())
        opis.jezyk = QStringLiteral("pl");
    static const QRegularExpression jezyk(QStringLiteral("^[A-Za-z]{2,3}(-[A-Za-z0-9]{1,8})*$"));
    if (!jezyk.match(opis.jezyk).hasMatch())
        throw SonvekError(QStringLiteral("„%1” nie jest kodem języka; podaj kod taki jak „pl” "
                                         "albo „en-GB”")
                              .arg(opis.jezyk));
    static const QRegularExpression rok(QStringLiteral("^[0-9]{1,4}$"));
    if (!opis.rok.isEmpty() && !rok.match(opis.rok).hasMatch())
        throw SonvekError(
            QStringLiteral("„%1” nie jest rokiem; podaj rok cyframi, np. 2024").arg(opis.rok));
    return opis;
}

Okladka wczytajOkladke(const QString& sciezka) {
    const QString nazwa = natywna(sciezka);
    QFile plik;
    if (const QString powod = otworzZwyklyPlik(plik, sciezka); !powod.isEmpty())
        throw SonvekError(QStringLiteral("Nie można otworzyć okładki %1: %2").arg(nazwa, powod));
    if (plik.size() > kMaksRozmiarOkladki)
        throw SonvekError(QStringLiteral("Okładka %1 jest za duża: ma ponad 5 MB").arg(nazwa));
    Okladka okladka;
    okladka.dane = plik.read(kMaksRozmiarOkladki + 1);
    if (plik.error() != QFileDevice::NoError)
        throw SonvekError(
            QStringLiteral("Nie można odczytać okładki %1: %2").arg(nazwa, plik.errorString()));
    if (okladka.dane.size() > kMaksRozmiarOkladki)
        throw SonvekError(QStringLiteral("Okładka %1 jest za duża: ma ponad 5 MB").arg(nazwa));
    if (okladka.dane.startsWith("\xFF\xD8\xFF"))
        okladka.typ = QStringLiteral("image/jpeg");
    else if (okladka.dane.startsWith("\x89PNG\r\n\x1A\n"))
        okladka.typ = QStringLiteral("image/png");
    else
        throw SonvekError(
            QStringLiteral("Plik %1 nie jest obrazem JPEG ani PNG; okładką może być tylko taki "
                           "obraz")
                .arg(nazwa));
    return okladka;
}

EksportKsiazki::EksportKsiazki(ListaPozycji pozycje, OpisKsiazki opis)
    : m_pozycje(std::move(pozycje)), m_opis(std::move(opis)) {}

EksportKsiazki::~EksportKsiazki() {
    usunTymczasowyFolder();
}

void EksportKsiazki::loguj(const QString& linia) const {
    if (dziennik)
        dziennik(linia);
}

void EksportKsiazki::sprawdzPrzerwanie() const {
    if (przerwac && przerwac())
        throw EPrzerwanyEksport(QStringLiteral("Eksport przerwany"));
}

void EksportKsiazki::dodajPostep(std::int64_t bajty) {
    m_zrobione += bajty;
    if (postep)
        postep(m_zrobione, std::max(m_zrobione, m_wszystkie));
    sprawdzPrzerwanie();
}

void EksportKsiazki::usunTymczasowyFolder() {
    if (!m_tymczasowyFolder.isEmpty())
        QDir(m_tymczasowyFolder).removeRecursively();
    m_tymczasowyFolder.clear();
    if (m_blokadaFd >= 0) {
        QFile::remove(m_blokada);
        ::close(m_blokadaFd);
    }
    m_blokadaFd = -1;
}

// Removes the temporary folders of this DAISY book that a killed export
// left beside it: those whose lock file is gone or held by no one.
void EksportKsiazki::usunPozostalosci() const {
    const QFileInfo cel(folderDaisy);
    const QDir folder = cel.absoluteDir();
    const QRegularExpression wzor(QStringLiteral("^\\.%1\\.([0-9a-z]+)\\.tmp$")
                                      .arg(QRegularExpression::escape(cel.fileName())));
    for (const QString& nazwa :
         folder.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch m = wzor.match(nazwa);
        if (!m.hasMatch())
            continue;
        const QString blokada =
            folder.filePath(QStringLiteral(".%1.%2.lock").arg(cel.fileName(), m.captured(1)));
        const int fd = ::open(QFile::encodeName(blokada).constData(),
                              O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd); // an export still running
            continue;
        }
        QDir(folder.filePath(nazwa)).removeRecursively();
        if (fd >= 0) {
            QFile::remove(blokada);
            ::close(fd);
        }
    }
}

QStringList EksportKsiazki::istniejaceCele() const {
    QStringList cele;
    for (const QString& cel : {folderDaisy, plikRozdzialow}) {
        if (!cel.isEmpty() && QFileInfo::exists(cel))
            cele.append(cel);
    }
    return cele;
}

// Refuses targets that are of the wrong kind, exist without `zastap`, or
// would replace a file the export reads.
void EksportKsiazki::sprawdzCele() const {
    if (folderDaisy.isEmpty() && plikRozdzialow.isEmpty())
        throw SonvekError(QStringLiteral("Wybierz, co wyeksportować: książkę DAISY, plik MP3 z "
                                         "rozdziałami albo jedno i drugie"));
    const QString folder = kanoniczna(folderDaisy);
    QStringList czytane;
    for (const PozycjaProjektu& p : m_pozycje)
        czytane.append(kanoniczna(p.sciezka()));
    czytane.append(kanoniczna(plikProjektu));
    if (!folderDaisy.isEmpty()) {
        const QFileInfo info(folderDaisy);
        if (info.exists() && !info.isDir())
            throw SonvekError(QStringLiteral("Nie można utworzyć folderu %1: istnieje plik o tej "
                                             "nazwie")
                                  .arg(natywna(folderDaisy)));
        if (info.exists() && !zastap)
            throw SonvekError(QStringLiteral("Folder %1 już istnieje").arg(natywna(folderDaisy)));
        if (!info.absoluteDir().exists())
            throw SonvekError(
                QStringLiteral("Folder %1 nie istnieje").arg(natywna(info.absolutePath())));
        for (const QString& c : std::as_const(czytane)) {
            if (wFolderze(c, folder))
                throw SonvekError(QStringLiteral("Nie można zastąpić folderu %1: jest w nim plik "
                                                 "%2, z którego powstaje książka. Wybierz inny "
                                                 "folder")
                                      .arg(natywna(folderDaisy), natywna(c)));
        }
    }
    if (!plikRozdzialow.isEmpty()) {
        const QFileInfo info(plikRozdzialow);
        if (info.isDir())
            throw SonvekError(QStringLiteral("Nie można utworzyć pliku %1: istnieje folder o tej "
                                             "nazwie")
                                  .arg(natywna(plikRozdzialow)));
        if (info.exists() && !zastap)
            throw SonvekError(QStringLiteral("Plik %1 już istnieje").arg(natywna(plikRozdzialow)));
        const QString mp3 = kanoniczna(plikRozdzialow);
        if (!mp3.isEmpty() && czytane.contains(mp3))
            throw SonvekError(QStringLiteral("Nie można zapisać pliku %1: to plik, z którego "
                                             "powstaje książka. Wybierz inną nazwę")
                                  .arg(natywna(plikRozdzialow)));
        const QString w = kanoniczna(info.absolutePath()) + u'/' + info.fileName();
        if (!folderDaisy.isEmpty() &&
            (wFolderze(w, folder) || wFolderze(w, QFileInfo(folderDaisy).absoluteFilePath())))
            throw SonvekError(QStringLiteral("Plik MP3 z rozdziałami nie może leżeć w folderze "
                                             "książki DAISY %1")
                                  .arg(natywna(folderDaisy)));
    }
}

// Walks every entry's frames for its exact duration and reads its title.
void EksportKsiazki::zmierz() {
    m_rozdzialy.clear();
    m_uwagi.clear();
    std::int64_t poczatek = 0, poczatekWKsiazce = 0;
    for (int i = 0; i < m_pozycje.size(); ++i) {
        sprawdzPrzerwanie();
        const PozycjaProjektu& p = m_pozycje.at(i);
        const QString sciezka = p.sciezka();
        const QString nazwa = natywna(sciezka);
        const RodzajPliku rodzaj = zbadajPlik(sciezka);
        if (!rodzaj.istnieje)
            throw SonvekError(QStringLiteral("Nie ma pliku %1 pozycji %2").arg(nazwa).arg(i + 1));
        if (const QString& powod = rodzaj.powod; !powod.isEmpty())
            throw SonvekError(QStringLiteral("Plik %1 pozycji %2 nie nadaje się do eksportu: %3")
                                  .arg(nazwa)
                                  .arg(i + 1)
                                  .arg(powod));
        loguj(QStringLiteral("Mierzenie pliku %1").arg(nazwa));
        RozdzialKsiazki r;
        r.plik = sciezka;
        r.rozmiar = rodzaj.rozmiar;
        std::int64_t ramki = 0;
        Mp3Info info;
        try {
            info = probeMp3(sciezka, [&](const Mp3Frame&) {
                if (++ramki % 4096 == 0 && przerwac && przerwac())
                    throw Przerwanie{};
            });
        } catch (const Przerwanie&) {
            throw EPrzerwanyEksport(QStringLiteral("Eksport przerwany"));
        } catch (const SonvekError& e) {
            throw SonvekError(QStringLiteral("Plik %1 pozycji %2 nie jest plikiem MP3: %3")
                                  .arg(nazwa)
                                  .arg(i + 1)
                                  .arg(e.text()));
        }
        r.dlugosc = info.ticks;
        r.dlugoscWKsiazce = i == 0 ? info.ticks : info.walkedTicks;
        if (r.dlugosc <= 0)
            throw SonvekError(
                QStringLiteral("Plik %1 pozycji %2 nie zawiera dźwięku MP3").arg(nazwa).arg(i + 1));
        r.poczatek = poczatek;
        poczatek += r.dlugosc;
        r.poczatekWKsiazce = poczatekWKsiazce;
        poczatekWKsiazce += r.dlugoscWKsiazce;
        r.tytul = bezZnakowSpozaXml(czytajTagWpisu(sciezka).tytul).simplified();
        if (r.tytul.isEmpty()) {
            r.tytul = nazwaDoPokazania(ExNazwaPliku(sciezka));
            if (r.tytul.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive))
                r.tytul.chop(4);
            r.tytul = bezZnakowSpozaXml(r.tytul).simplified();
        }

        const std::optional<std::int32_t> od = tryStrToInt(p.Poczatek);
        const std::optional<std::int32_t> dlugosc = tryStrToInt(p.Dlugosc);
        if (!od || !dlugosc)
            throw SonvekError(QStringLiteral("Zakładka pozycji %1 (%2) nie jest liczbą: "
                                             "początek „%3”, długość „%4”")
                                  .arg(i + 1)
                                  .arg(nazwa, p.Poczatek, p.Dlugosc));
        const std::int64_t dzwiek = tikiNaMs(r.dlugosc);
        const std::int64_t zOd = std::max<std::int64_t>(0, *od);
        const std::int64_t zDo = zOd + std::max<std::int64_t>(0, *dlugosc);
        r.zapowiedzOd = std::min(zOd, dzwiek);
        r.zapowiedzDo = std::min(zDo, dzwiek);
        QString uwaga;
        if (zOd >= dzwiek)
            uwaga = QStringLiteral("Uwaga: zakładka pozycji %1 (%2) zaczyna się w %3 ms, a dźwięk "
                                   "pliku trwa %4 ms; rozdział w książce DAISY nie ma osobnej "
                                   "zapowiedzi")
                        .arg(i + 1)
                        .arg(nazwa)
                        .arg(zOd)
                        .arg(dzwiek);
        else if (zDo > dzwiek)
            uwaga = QStringLiteral("Uwaga: zakładka pozycji %1 (%2) kończy się w %3 ms, a dźwięk "
                                   "pliku trwa %4 ms; zapowiedź rozdziału w książce DAISY kończy "
                                   "się na końcu pliku")
                        .arg(i + 1)
                        .arg(nazwa)
                        .arg(zDo)
                        .arg(dzwiek);
        if (!uwaga.isEmpty()) {
            m_uwagi.append(uwaga);
            loguj(uwaga);
        }
        m_rozdzialy.append(r);
        dodajPostep(r.rozmiar);
    }
}

void EksportKsiazki::zbudujDaisy(const OpisKsiazki& opis) {
    const QFileInfo cel(folderDaisy);
    usunPozostalosci();
    const QString znacznik = QString::number(QRandomGenerator::global()->generate(), 36);
    const QString przedrostek =
        QStringLiteral("%1/.%2.%3").arg(cel.absolutePath(), cel.fileName(), znacznik);
    // The lock comes first and goes last: a folder without a held lock is
    // what a killed export left.
    m_blokada = przedrostek + QStringLiteral(".lock");
    m_blokadaFd = otworzNowy(m_blokada);
    ::flock(m_blokadaFd, LOCK_EX | LOCK_NB);
    m_tymczasowyFolder = przedrostek + QStringLiteral(".tmp");
    if (!QDir().mkdir(m_tymczasowyFolder)) {
        m_tymczasowyFolder.clear();
        throw EInOutError(
            QStringLiteral("Nie można utworzyć folderu w %1").arg(natywna(cel.absolutePath())));
    }
    loguj(QStringLiteral("Tworzenie książki DAISY w folderze %1").arg(natywna(folderDaisy)));
    const int n = int(m_rozdzialy.size());
    // The identifier stays the same for the same book exported again.
    QCryptographicHash skrot(QCryptographicHash::Sha1);
    skrot.addData(opis.tytul.toUtf8());
    skrot.addData(opis.autor.toUtf8());
    for (const RozdzialKsiazki& r : std::as_const(m_rozdzialy))
        skrot.addData(QByteArray::number(r.dlugosc) + r.tytul.toUtf8());
    MetadaneDaisy meta;
    meta.identyfikator =
        QStringLiteral("sonvek-") + QString::fromLatin1(skrot.result().toHex().left(16));
    meta.data = data.isEmpty() ? QDate::currentDate().toString(Qt::ISODate) : data;
    meta.generator = generator.isEmpty() ? tekstWersji(QStringLiteral("SonvekManager")) : generator;

    QByteArray bufor(qsizetype{1} << 20, Qt::Uninitialized);
    for (int i = 0; i < n; ++i) {
        const RozdzialKsiazki& r = m_rozdzialy.at(i);
        const QString doPliku = m_tymczasowyFolder + u'/' + nazwaDzwiekuDaisy(i, n);
        QFile zrodlo;
        if (const QString powod = otworzZwyklyPlik(zrodlo, r.plik); !powod.isEmpty())
            throw EInOutError(
                QStringLiteral("Nie można otworzyć pliku %1: %2").arg(natywna(r.plik), powod));
        const int wy = otworzNowy(doPliku);
        try {
            const int we = zrodlo.handle();
            std::int64_t razem = 0;
            bool jadro = true;
            for (;;) {
                ssize_t k = -1;
#ifdef Q_OS_LINUX
                if (jadro) {
                    k = ::copy_file_range(we, nullptr, wy, nullptr, static_cast<size_t>(kPorcja),
                                          0);
                    if (k < 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                                  errno == EOPNOTSUPP)) {
                        jadro = false;
                        continue;
                    }
                } else
#endif
                {
                    k = ::read(we, bufor.data(), static_cast<size_t>(bufor.size()));
                    if (k > 0)
                        zapiszDoKonca(wy, bufor.constData(), k, folderDaisy);
                }
                if (k < 0 && errno == EINTR)
                    continue;
                if (k < 0)
                    throw bladZapisu(folderDaisy, errno);
                if (k == 0)
                    break;
                razem += k;
                dodajPostep(k);
            }
            if (razem != r.rozmiar)
                throw EInOutError(
                    QStringLiteral("Plik %1 zmienił się podczas eksportu").arg(natywna(r.plik)));
        } catch (...) {
            ::close(wy);
            throw;
        }
        zamknijZSynchronizacja(wy, folderDaisy);
        zapiszNowyPlik(m_tymczasowyFolder + u'/' + nazwaSmilDaisy(i, n),
                       dokumentSmil(opis, meta, m_rozdzialy, i));
    }
    zapiszNowyPlik(m_tymczasowyFolder + QStringLiteral("/ncc.html"),
                   dokumentNcc(opis, meta, m_rozdzialy));
    synchronizujFolder(m_tymczasowyFolder, !kSynchronizujKazdy);
}

void EksportKsiazki::wykonaj() {
    try {
        const OpisKsiazki opis = sprawdzonyOpis(m_opis);
        if (m_pozycje.isEmpty())
            throw SonvekError(QStringLiteral("Projekt nie ma żadnej pozycji do eksportu"));
        sprawdzCele();
        const Okladka okladka = opis.okladka.isEmpty() ? Okladka{} : wczytajOkladke(opis.okladka);

        std::int64_t bajty = 0;
        for (const PozycjaProjektu& p : std::as_const(m_pozycje))
            bajty += zbadajPlik(p.sciezka()).rozmiar;
        const int postaci = int(!folderDaisy.isEmpty()) + int(!plikRozdzialow.isEmpty());
        m_zrobione = 0;
        m_wszystkie = bajty * (1 + postaci);
        if (postep)
            postep(0, m_wszystkie);
        zmierz();

        std::unique_ptr<ZapisAtomowy> mp3;
        if (!plikRozdzialow.isEmpty()) {
            loguj(QStringLiteral("Tworzenie pliku MP3 z rozdziałami %1")
                      .arg(natywna(plikRozdzialow)));
            mp3 = std::make_unique<ZapisAtomowy>(plikRozdzialow);
            mp3->zapisz(tagRozdzialow(opis, m_rozdzialy, okladka));
            QByteArray bufor(qsizetype{1} << 20, Qt::Uninitialized);
            for (const RozdzialKsiazki& r : std::as_const(m_rozdzialy)) {
                QFile zrodlo;
                if (const QString powod = otworzZwyklyPlik(zrodlo, r.plik); !powod.isEmpty())
                    throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2")
                                          .arg(natywna(r.plik), powod));
                std::int64_t razem = 0;
                for (;;) {
                    const qint64 k = zrodlo.read(bufor.data(), bufor.size());
                    if (k < 0)
                        throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                                              .arg(natywna(r.plik), zrodlo.errorString()));
                    if (k == 0)
                        break;
                    mp3->zapisz(bufor.constData(), k);
                    razem += k;
                    dodajPostep(k);
                }
                if (razem != r.rozmiar)
                    throw EInOutError(QStringLiteral("Plik %1 zmienił się podczas eksportu")
                                          .arg(natywna(r.plik)));
            }
        }
        if (!folderDaisy.isEmpty())
            zbudujDaisy(opis);
        sprawdzPrzerwanie();

        // Both in place together: the folder first, as its swap can be undone.
        const bool byl = !folderDaisy.isEmpty() && QFileInfo::exists(folderDaisy);
        if (!folderDaisy.isEmpty()) {
            przemianuj(m_tymczasowyFolder, folderDaisy, byl);
            if (!byl)
                m_tymczasowyFolder.clear();
        }
        if (mp3) {
            try {
                mp3->zatwierdz();
            } catch (...) {
                if (!folderDaisy.isEmpty()) {
                    if (byl) {
                        przemianuj(m_tymczasowyFolder, folderDaisy, true);
                    } else {
                        m_tymczasowyFolder = QFileInfo(folderDaisy).absoluteFilePath();
                    }
                }
                throw;
            }
        }
        // The temporary name now holds the replaced book.
        usunTymczasowyFolder();
        if (!folderDaisy.isEmpty()) {
            try {
                synchronizujFolder(QFileInfo(folderDaisy).absolutePath());
            } catch (const EInOutError&) {
                // The book is in place; only its rename may not survive a crash.
            }
        }
        loguj(QStringLiteral("Eksport zakończony powodzeniem"));
    } catch (...) {
        usunTymczasowyFolder();
        throw;
    }
}
