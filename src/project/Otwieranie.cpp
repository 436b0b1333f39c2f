#include "project/Otwieranie.h"

#include "base/BledySystemu.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/ZwyklyPlik.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Whether the program may read the file, or list and enter the folder.
bool czytelny(const QString& sciezka, bool folder) {
#ifdef Q_OS_UNIX
    return ::access(nazwaDlaSystemu(sciezka).constData(), folder ? R_OK | X_OK : R_OK) == 0;
#else
    return folder ? QDir(sciezka).isReadable() : QFileInfo(sciezka).isReadable();
#endif
}

// Paths below one folder compared folder by folder, each name in the
// number-aware order of the file lists.
bool przedSciezka(const QStringList& a, const QStringList& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (const int c = porownajNazwy(a.at(i), b.at(i)); c != 0)
            return c < 0;
    }
    return a.size() < b.size();
}

} // namespace

QString dlaczegoNieProjekt(const QString& path) {
    const QString nieProjekt = QStringLiteral("to nie jest plik projektu");
    QFile plik;
    if (const QString powod = otworzZwyklyPlik(plik, path); !powod.isEmpty())
        return powod;
    if (plik.size() > kMaksRozmiarPlikuProjektu)
        return QStringLiteral("plik jest za duży na plik projektu (ponad %1 MiB)")
            .arg(kMaksRozmiarPlikuProjektu / (1024 * 1024));
    QXmlStreamReader xml;
    qint64 przeczytane = 0;
    for (;;) {
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                return xml.name() == u"projekt" ? QString() : nieProjekt;
            case QXmlStreamReader::DTD:
                return QStringLiteral("plik zawiera deklarację typu dokumentu (DOCTYPE); takich "
                                      "plików projektu program nie wczytuje");
            default:
                break;
            }
        }
        if (xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return nieProjekt;
        if (przeczytane >= kMaksProloguProjektu)
            return QStringLiteral("element główny nie zaczyna się w pierwszym 1 MiB pliku, więc "
                                  "to nie jest plik projektu");
        const QByteArray porcja =
            plik.read(std::min<qint64>(64 * 1024, kMaksProloguProjektu - przeczytane));
        if (porcja.isEmpty())
            return plik.error() == QFileDevice::NoError ? nieProjekt : plik.errorString();
        przeczytane += porcja.size();
        xml.addData(porcja);
    }
}

WskazanePliki rozpoznajWskazane(const QStringList& argumenty) {
    WskazanePliki wynik;
    const auto nie = [&](const QString& path, const QString& powod) {
        wynik.nieotwarte << path + QStringLiteral(": ") + powod;
    };
    // A "--" first ends the options: what follows is a name even when it
    // starts with "-".
    const QStringList nazwy = argumenty.value(0) == u"--" ? argumenty.mid(1) : argumenty;
    for (const QString& argument : nazwy) {
        const QString path =
            QDir::toNativeSeparators(QDir::cleanPath(QDir::current().absoluteFilePath(argument)));
        const RodzajPliku rodzaj = zbadajPlik(path);
        const QString rozszerzenie = QFileInfo(path).suffix();
        if (!rodzaj.istnieje) {
            nie(path, QStringLiteral("nie ma takiego pliku ani folderu"));
        } else if (rodzaj.folder) {
            if (czytelny(path, true))
                wynik.foldery << path;
            else
                nie(path, QStringLiteral("nie można odczytać folderu"));
        } else if (!rodzaj.zwykly()) {
            nie(path, rodzaj.powod);
        } else if (!czytelny(path, false)) {
            nie(path, QStringLiteral("nie można odczytać pliku"));
        } else if (rozszerzenie.compare(u"mp3", Qt::CaseInsensitive) == 0) {
            wynik.pliki << path;
        } else if (const QString powod = dlaczegoNieProjekt(path); !powod.isEmpty()) {
            nie(path, rozszerzenie.compare(u"xml", Qt::CaseInsensitive) == 0
                          ? powod
                          : QStringLiteral("to nie jest plik MP3, folder ani projekt"));
        } else if (!wynik.projekt.isEmpty()) {
            nie(path, QStringLiteral("otwierany jest już projekt ") + wynik.projekt);
        } else {
            wynik.projekt = path;
        }
    }
    return wynik;
}

namespace {

// One thing the walk found below the folder: its path there, name by name,
// and why it was left out (empty: an MP3 file to add).
struct Znalezione {
    QStringList czesci;
    QString powod;
};

// Whether the name ends in a dot and one of the extensions (any case).
bool maRozszerzenie(QByteArrayView nazwa, const QStringList& rozszerzenia) {
    const qsizetype kropka = nazwa.lastIndexOf('.');
    return kropka > 0 &&
           rozszerzenia.contains(QString::fromUtf8(nazwa.sliced(kropka + 1)), Qt::CaseInsensitive);
}

#ifdef Q_OS_UNIX
QString powodBledu(int numer) {
    return numer == EACCES || numer == EPERM ? QStringLiteral("brak dostępu")
                                             : opisBleduSystemu(numer);
}

class Przegladanie {
public:
    Przegladanie(const QStringList& rozszerzenia, const std::atomic_bool* przerwac)
        : rozszerzenia(rozszerzenia), przerwac(przerwac) {}

    QList<Znalezione> znalezione;

    // False when stopped.
    bool folder(const QByteArray& sciezka, const QStringList& czesci) {
        DIR* katalog = ::opendir(sciezka.constData());
        if (!katalog) {
            znalezione.append(
                {czesci, QStringLiteral("nie można odczytać folderu: ") + powodBledu(errno)});
            return true;
        }
        QString bladZawartosci; // entries that could not be looked at, said once
        while (const dirent* wpis = ::readdir(katalog)) {
            if (przerwac && *przerwac) {
                ::closedir(katalog);
                return false;
            }
            const QByteArrayView nazwa(wpis->d_name);
            if (nazwa == "." || nazwa == "..")
                continue;
            const QByteArray pelna = sciezka + '/' + nazwa.toByteArray();
            const QStringList tu = czesci + QStringList{nazwaZSystemu(nazwa)};
            struct stat st {};
            if (::lstat(pelna.constData(), &st) != 0) {
                if (bladZawartosci.isEmpty())
                    bladZawartosci = powodBledu(errno);
                continue;
            }
            if (S_ISLNK(st.st_mode)) {
                if (::stat(pelna.constData(), &st) != 0) {
                    if (maRozszerzenie(nazwa, rozszerzenia))
                        znalezione.append(
                            {tu, QStringLiteral("dowiązanie prowadzi do pliku, którego nie ma")});
                    continue;
                }
                if (S_ISDIR(st.st_mode)) {
                    znalezione.append({tu, QStringLiteral("to dowiązanie do folderu, a w "
                                                          "dowiązania program nie wchodzi")});
                    continue;
                }
            }
            if (S_ISDIR(st.st_mode)) {
                if (!folder(pelna, tu)) {
                    ::closedir(katalog);
                    return false;
                }
            } else if (maRozszerzenie(nazwa, rozszerzenia)) {
                int fd = -1;
                std::int64_t rozmiar = 0;
                // Opened to see that it can be (a FIFO is told by its kind
                // first and never waited on).
                QString powod = otworzZwyklyDeskryptor(nazwaZSystemu(pelna), fd, rozmiar);
                if (fd >= 0)
                    ::close(fd);
                znalezione.append({tu, powod});
            }
        }
        ::closedir(katalog);
        if (!bladZawartosci.isEmpty())
            znalezione.append({czesci, QStringLiteral("nie można odczytać zawartości folderu: ") +
                                           bladZawartosci});
        return true;
    }

private:
    const QStringList& rozszerzenia;
    const std::atomic_bool* przerwac;
};
#endif

} // namespace

PominietePozycje zawiadomienieODodawaniu(const QStringList& pominiete,
                                         const QStringList& niepoprawne) {
    if (pominiete.isEmpty())
        return {QStringLiteral("Następujące pliki nie są poprawnymi plikami audio i nie zostaną "
                               "dolączone do projektu:"),
                niepoprawne};
    PominietePozycje wynik{QStringLiteral("Nie dodano następujących plików i folderów:"),
                           pominiete};
    for (const QString& sciezka : niepoprawne)
        wynik.wiersze << sciezka + QStringLiteral(": to nie jest plik dźwiękowy MP3");
    return wynik;
}

PlikiFolderu przejrzyjFolder(const QString& folder, const std::atomic_bool* przerwac) {
    return przejrzyjFolder(folder, {QStringLiteral("mp3")}, przerwac);
}

QStringList plikiFolderu(const QString& folder, const QStringList& rozszerzenia,
                         const std::atomic_bool* przerwac) {
    return przejrzyjFolder(folder, rozszerzenia, przerwac).sciezki;
}

PlikiFolderu przejrzyjFolder(const QString& folder, const QStringList& rozszerzenia,
                             const std::atomic_bool* przerwac) {
    QString korzen = QDir::fromNativeSeparators(folder);
    while (korzen.size() > 1 && korzen.endsWith(u'/'))
        korzen.chop(1);
    QList<Znalezione> znalezione;
#ifdef Q_OS_UNIX
    Przegladanie p(rozszerzenia, przerwac);
    if (!p.folder(nazwaDlaSystemu(korzen), {}))
        return {};
    znalezione = std::move(p.znalezione);
#else
    const QDir dir(korzen);
    QDirIterator it(korzen, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (przerwac && *przerwac)
            return {};
        const QFileInfo info = it.nextFileInfo();
        if (rozszerzenia.contains(info.suffix(), Qt::CaseInsensitive))
            znalezione.append({dir.relativeFilePath(info.filePath()).split(u'/'),
                               info.isReadable() ? QString() : QStringLiteral("brak dostępu")});
    }
#endif
    std::stable_sort(
        znalezione.begin(), znalezione.end(),
        [](const Znalezione& a, const Znalezione& b) { return przedSciezka(a.czesci, b.czesci); });
    PlikiFolderu wynik;
    const QString przed = korzen.endsWith(u'/') ? korzen : korzen + u'/';
    for (const Znalezione& z : std::as_const(znalezione)) {
        const QString sciezka =
            QDir::toNativeSeparators(z.czesci.isEmpty() ? korzen : przed + z.czesci.join(u'/'));
        if (z.powod.isEmpty())
            wynik.sciezki << sciezka;
        else
            wynik.pominiete << nazwaDoPokazania(sciezka) + QStringLiteral(": ") + z.powod;
    }
    return wynik;
}
