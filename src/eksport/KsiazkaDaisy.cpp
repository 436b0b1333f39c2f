#include "eksport/KsiazkaDaisy.h"

#include "base/BledySystemu.h"
#include "base/Errors.h"
#include "base/Transakcja.h"
#include "base/ZapisAtomowy.h"
#include "eksport/DokumentyDaisy.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

QString natywna(const QString& sciezka) {
    return QDir::toNativeSeparators(sciezka);
}

EInOutError bladZapisu(const QString& nazwa, int numer) {
    return EInOutError(QStringLiteral("Nie można zapisać pliku %1: %2")
                           .arg(natywna(nazwa), opisBleduSystemu(numer)));
}

int otworzNowy(const QString& sciezka) {
    const QByteArray n = QFile::encodeName(sciezka);
    const int fd = ::open(n.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        throw bladZapisu(sciezka, errno);
    return fd;
}

void zapiszDoKonca(int fd, const char* dane, qint64 dlugosc, const QString& nazwa) {
    if (const int numer = zapiszWszystko(fd, dane, dlugosc))
        throw bladZapisu(nazwa, numer);
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
    if (kSynchronizujKazdy && synchronizujPlik(fd) != 0) {
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

} // namespace

KsiazkaDaisy::KsiazkaDaisy(QString folder, QString nazwa, QString data)
    : m_folder(std::move(folder)), m_nazwa(std::move(nazwa)), m_data(std::move(data)) {}

void KsiazkaDaisy::zapisz(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                          const DzwiekRozdzialu& dzwiek) {
    const QString& folder = m_folder;
    const int n = int(rozdzialy.size());
    // The identifier stays the same for the same book exported again.
    QCryptographicHash skrot(QCryptographicHash::Sha1);
    skrot.addData(opis.tytul.toUtf8());
    skrot.addData(opis.autor.toUtf8());
    for (const RozdzialKsiazki& r : std::as_const(rozdzialy))
        skrot.addData(QByteArray::number(r.dlugosc) + r.tytul.toUtf8());
    MetadaneDaisy meta;
    meta.identyfikator =
        QStringLiteral("sonvek-") + QString::fromLatin1(skrot.result().toHex().left(16));
    meta.data = m_data.isEmpty() ? QDate::currentDate().toString(Qt::ISODate) : m_data;
    meta.generator = generatorDaisy();

    for (int i = 0; i < n; ++i) {
        const QString doPliku = folder + u'/' + nazwaDzwiekuDaisy(i, n);
        const int wy = otworzNowy(doPliku);
        try {
            dzwiek(i, [&](const char* dane, qint64 dlugosc) {
                zapiszDoKonca(wy, dane, dlugosc, m_nazwa);
            });
        } catch (...) {
            ::close(wy);
            throw;
        }
        zamknijZSynchronizacja(wy, m_nazwa);
        zapiszNowyPlik(folder + u'/' + nazwaSmilDaisy(i, n),
                       dokumentSmil(opis, meta, rozdzialy, i));
    }
    zapiszNowyPlik(folder + QStringLiteral("/ncc.html"), dokumentNcc(opis, meta, rozdzialy));
    if (const int e = synchronizujFolder(folder, !kSynchronizujKazdy))
        throw bladZapisu(folder, e);
}
