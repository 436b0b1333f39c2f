#include "odcinki/Odcinki.h"

#include "audio/Mp3Probe.h"
#include "base/BledySystemu.h"
#include "base/DataDirs.h"
#include "base/Errors.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "base/Transakcja.h"
#include "base/ZapisAtomowy.h"
#include "base/ZwyklyPlik.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 rozmiarPorcji = 1024 * 1024;

struct Format {
    int czestotliwosc = 0;
    int kanaly = 0;
    bool operator==(const Format&) const = default;
};

std::optional<Format> formatPliku(const QString& sciezka) {
    try {
        const Mp3Info info = probeMp3(sciezka);
        if (info.frames == 0)
            return std::nullopt;
        return Format{info.sampleRate, info.channels};
    } catch (const SonvekError&) {
        return std::nullopt;
    }
}

QString opis(const QString& nazwa, const Format& f) {
    const QString kanaly = f.kanaly == 1   ? QStringLiteral("mono")
                           : f.kanaly == 2 ? QStringLiteral("stereo")
                                           : QStringLiteral("%1 kanały").arg(f.kanaly);
    return QStringLiteral("%1: %2 Hz, %3").arg(nazwa).arg(f.czestotliwosc).arg(kanaly);
}

// Appends the whole of `zrodlo` to `cel`. Throws EInOutError.
void dopisz(QFile& zrodlo, const QString& sciezkaZrodla, ZapisAtomowy& cel) {
    while (!zrodlo.atEnd()) {
        const QByteArray porcja = zrodlo.read(rozmiarPorcji);
        if (porcja.isEmpty())
            throw EInOutError(QStringLiteral("Nie można odczytać pliku %1: %2")
                                  .arg(sciezkaZrodla, zrodlo.errorString()));
        cel.zapisz(porcja);
    }
}

QFile& otworz(QFile& plik, const QString& sciezka) {
    const QString powod = otworzZwyklyPlik(plik, sciezka);
    if (!powod.isEmpty())
        throw EInOutError(QStringLiteral("Nie można otworzyć pliku %1: %2").arg(sciezka, powod));
    return plik;
}

// Writes a copy of `zrodlo` as `cel` through the atomic writer.
void kopiuj(const QString& zrodlo, const QString& cel) {
    QFile wejscie;
    otworz(wejscie, zrodlo);
    ZapisAtomowy zapis(cel);
    dopisz(wejscie, zrodlo, zapis);
    zapis.zatwierdz();
}

// Makes `kopia` hold what `plik` holds now, replacing an earlier `kopia`:
// a second name of the same file where the system allows it, so that no
// bytes are copied (a file is only ever replaced by a rename, which leaves
// this name with the old content), otherwise a copy.
void zachowaj(const QString& plik, const QString& kopia) {
    const QByteArray nazwa = QFile::encodeName(kopia);
    if (::unlink(nazwa.constData()) != 0 && errno != ENOENT)
        throw EInOutError(QStringLiteral("Nie można zastąpić kopii %1: %2")
                              .arg(QDir::toNativeSeparators(kopia), opisBleduSystemu(errno)));
    if (::linkat(AT_FDCWD, QFile::encodeName(plik).constData(), AT_FDCWD, nazwa.constData(),
                 AT_SYMLINK_FOLLOW) != 0) {
        kopiuj(plik, kopia);
        return;
    }
    // The new name survives a crash only once its folder is synced.
    if (const int numer = synchronizujFolder(QFileInfo(kopia).absolutePath()))
        throw EInOutError(QStringLiteral("Nie można zachować oryginału pliku %1: %2")
                              .arg(QDir::toNativeSeparators(plik), opisBleduSystemu(numer)));
}

qint64 rozmiar(const QString& sciezka) {
    return QFileInfo(sciezka).size();
}

// The clips of a folder, to tell a file that already begins with one.
class ZnaneZapowiedzi {
public:
    explicit ZnaneZapowiedzi(const QString& folder) {
        static const QRegularExpression nazwy(QStringLiteral("^0(0[1-9]|[1-9][0-9]+)\\.mp3$"));
        const QFileInfoList pliki = QDir(folder).entryInfoList(QDir::Files);
        for (const QFileInfo& info : pliki) {
            QFile plik;
            if (!nazwy.match(info.fileName()).hasMatch() ||
                !otworzZwyklyPlik(plik, info.filePath()).isEmpty())
                continue;
            const QByteArray poczatek = plik.read(dlugoscPoczatku);
            if (poczatek.isEmpty())
                continue; // an empty clip begins every file
            m_wgPoczatku[poczatek].append({info.fileName(), info.filePath(), plik.size()});
            m_dlugosci.insert(poczatek.size());
        }
    }

    // The name of the clip that `sciezka` begins with; empty when none.
    QString naPoczatku(const QString& sciezka) const {
        QFile plik;
        if (m_wgPoczatku.isEmpty() || !otworzZwyklyPlik(plik, sciezka).isEmpty())
            return {};
        const QByteArray glowa = plik.read(dlugoscPoczatku);
        for (const qsizetype n : m_dlugosci) {
            if (glowa.size() < n)
                continue;
            const auto it = m_wgPoczatku.constFind(glowa.left(n));
            if (it == m_wgPoczatku.cend())
                continue;
            for (const Zapowiedz& z : *it) {
                if (z.rozmiar <= plik.size() && resztaZgodna(plik, n, z))
                    return z.nazwa;
            }
        }
        return {};
    }

private:
    static constexpr qint64 dlugoscPoczatku = 4096;
    struct Zapowiedz {
        QString nazwa;
        QString sciezka;
        qint64 rozmiar;
    };

    // The file's bytes from `od` on agree with the rest of the clip.
    static bool resztaZgodna(QFile& plik, qint64 od, const Zapowiedz& z) {
        QFile clip;
        if (!otworzZwyklyPlik(clip, z.sciezka).isEmpty() || !clip.seek(od) || !plik.seek(od))
            return false;
        for (qint64 zostalo = z.rozmiar - od; zostalo > 0;) {
            const QByteArray a = clip.read(std::min(zostalo, rozmiarPorcji));
            if (a.isEmpty() || plik.read(a.size()) != a)
                return false;
            zostalo -= a.size();
        }
        return true;
    }

    QHash<QByteArray, QList<Zapowiedz>> m_wgPoczatku; // by the first bytes
    QSet<qsizetype> m_dlugosci;                       // the lengths of those
};

const QString formatFolderuKopii = QStringLiteral("yyyy-MM-dd_HH-mm-ss");

// A new folder for one insertion's originals, readable by the user alone.
QString nowyFolderKopii(const QString& oryginaly) {
    if (!QDir().mkpath(oryginaly))
        throw EInOutError(QStringLiteral("Nie można utworzyć folderu %1 na oryginały plików")
                              .arg(QDir::toNativeSeparators(oryginaly)));
    const QString nazwa =
        QDir(oryginaly).filePath(QDateTime::currentDateTime().toString(formatFolderuKopii));
    int numer = 0;
    for (int proba = 1; proba <= 100; ++proba) {
        const QString folder = proba == 1 ? nazwa : nazwa + QStringLiteral("_%1").arg(proba);
        if (::mkdir(QFile::encodeName(folder).constData(), 0700) == 0)
            return folder + QLatin1Char('/');
        numer = errno;
        if (numer != EEXIST)
            break;
    }
    throw EInOutError(QStringLiteral("Nie można utworzyć folderu %1 na oryginały plików: %2")
                          .arg(QDir::toNativeSeparators(nazwa), opisBleduSystemu(numer)));
}

// "spis.txt": which kept file is the original of which entry's file, for a
// user who looks for them after the program has ended.
void zapiszSpis(const WstawioneOdcinki& wynik) {
    QByteArray spis = QStringLiteral("# Oryginały plików sprzed polecenia „Wstaw odcinki”: kopia, "
                                     "tabulator, plik.\n# pozycja-NNN-z-zapowiedzia.mp3 to plik "
                                     "z zapowiedzią, zachowany przy cofnięciu polecenia.\n")
                          .toUtf8();
    for (const ZachowanyPlik& p : wynik.pliki)
        spis += QFileInfo(p.przed).fileName().toUtf8() + '\t' +
                QDir::toNativeSeparators(p.plik).toUtf8() + '\n';
    ZapisAtomowy::zapiszCaly(wynik.folderKopii + QStringLiteral("spis.txt"), spis);
}

} // namespace

QString folderZapowiedzi(const QString& folderProgramu) {
    const QString nazwa = QStringLiteral("odcinki");
    QString folder = znajdzDane(folderProgramu, nazwa);
    // Nowhere yet: the folder beside the program, which the error of a
    // missing clip then names.
    if (folder.isEmpty())
        folder = QDir(folderProgramu).filePath(nazwa);
    return QDir::toNativeSeparators(folder) + separatorFolderow();
}

QString nazwaZapowiedzi(int wiersz) {
    const QString prefiks = wiersz < 10 ? QStringLiteral("00") : QStringLiteral("0");
    return prefiks + QString::number(wiersz) + QStringLiteral(".mp3");
}

std::optional<QString> pierwszaRozbieznosc(const QString& folder, const ListaPozycji& lista) {
    // One file may stand in several rows; it is read once.
    QHash<QString, std::optional<Format>> znane;
    for (qsizetype k = 1; k < lista.size(); ++k) {
        const QString nazwa = nazwaZapowiedzi(int(k));
        const std::optional<Format> zapowiedz = formatPliku(folder + nazwa);
        if (!zapowiedz)
            continue;
        const QString sciezka = lista[k].sciezka();
        auto it = znane.find(sciezka);
        if (it == znane.end())
            it = znane.insert(sciezka, formatPliku(sciezka));
        if (it.value() && *it.value() != *zapowiedz)
            return opis(nazwa, *zapowiedz) + QStringLiteral("; ") +
                   opis(lista[k].NazwaPliku, *it.value());
    }
    return std::nullopt;
}

void dolaczZapowiedz(const QString& zapowiedz, const QString& plik,
                     const std::function<void()>& przedZamiana) {
    QFile clip(zapowiedz);
    if (!clip.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Nie można otworzyć zapowiedzi %1: %2")
                              .arg(zapowiedz, clip.errorString()));

    // The permission bits are checked here, not left to the system: with
    // administrator rights every file opens for writing, and a rename
    // replaces a read-only file in a writable folder anyway.
    const QFileInfo info(plik);
    if (info.exists() && (!info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner)))
        throw EInOutError(
            QStringLiteral("Plik %1 jest tylko do odczytu; zapowiedź nie została dołączona")
                .arg(plik));
    QFile wejscie(plik);
    if (!wejscie.open(QIODevice::ReadOnly))
        throw EInOutError(
            QStringLiteral("Nie można otworzyć pliku %1: %2").arg(plik, wejscie.errorString()));

    // The joined file is written beside the old one under a new unique
    // name, keeps the old file's permissions and owner, and replaces it
    // only once it is complete and on the disk.
    ZapisAtomowy wynik(plik);
    dopisz(clip, zapowiedz, wynik);
    dopisz(wejscie, plik, wynik);
    wejscie.close();
    if (przedZamiana)
        przedZamiana();
    wynik.zatwierdz();
}

QString folderOryginalow() {
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
        QStringLiteral("/sonvekmanager/oryginaly/"));
}

void usunStareOryginaly(const QString& folder, const QDateTime& teraz) {
    static const QRegularExpression nazwy(
        QStringLiteral("^(\\d{4}-\\d\\d-\\d\\d_\\d\\d-\\d\\d-\\d\\d)(_\\d+)?$"));
    const QDateTime granica = teraz.addDays(-dniPrzechowywaniaOryginalow);
    // Links are never followed: only the insertions' own folders go.
    const QStringList podfoldery =
        QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& nazwa : podfoldery) {
        const QRegularExpressionMatch m = nazwy.match(nazwa);
        if (!m.hasMatch())
            continue;
        const QDateTime kiedy = QDateTime::fromString(m.captured(1), formatFolderuKopii);
        if (kiedy.isValid() && kiedy < granica)
            QDir(QDir(folder).filePath(nazwa)).removeRecursively();
    }
}

void wstawOdcinki(const QString& folder, const ListaPozycji& lista, const QString& oryginaly,
                  WstawioneOdcinki& wynik) {
    if (lista.size() < 2)
        return;
    usunStareOryginaly(oryginaly, QDateTime::currentDateTime());
    const ZnaneZapowiedzi znane(folder);
    QSet<QString> przepisane; // the files this insertion has rewritten
    for (qsizetype k = 1; k < lista.size(); ++k) {
        const QString plik = lista[k].sciezka();
        const QString kanoniczna = QFileInfo(plik).canonicalFilePath();
        const QString klucz = kanoniczna.isEmpty() ? plik : kanoniczna;
        bool zachowany = false;
        try {
            // A file that begins with a clip got it from an earlier run (or
            // comes so); a second clip would be joined for good.
            const bool drugiRaz = przepisane.contains(klucz);
            if (!drugiRaz) {
                if (const QString z = znane.naPoczatku(plik); !z.isEmpty()) {
                    wynik.pominiete.append(QStringLiteral("%1 (pozycja %2): %3")
                                               .arg(lista[k].NazwaPliku)
                                               .arg(k + 1)
                                               .arg(z));
                    continue;
                }
            }
            const auto zachowajOryginal = [&] {
                if (wynik.folderKopii.isEmpty())
                    wynik.folderKopii = nowyFolderKopii(oryginaly);
                const QString numer =
                    QStringLiteral("pozycja-%1").arg(k + 1, 3, 10, QLatin1Char('0'));
                const ZachowanyPlik p{plik, wynik.folderKopii + numer + QStringLiteral(".mp3"),
                                      wynik.folderKopii + numer +
                                          QStringLiteral("-z-zapowiedzia.mp3")};
                zachowaj(plik, p.przed);
                wynik.pliki.append(p);
                zachowany = true;
                zapiszSpis(wynik);
            };
            dolaczZapowiedz(folder + nazwaZapowiedzi(int(k)), plik,
                            drugiRaz ? std::function<void()>() : zachowajOryginal);
            przepisane.insert(klucz);
        } catch (const SonvekError& e) {
            // A file that kept its old content needs no original; one
            // replaced before the error (a failed sync afterwards) does.
            if (zachowany && rozmiar(plik) == rozmiar(wynik.pliki.last().przed)) {
                QFile::remove(wynik.pliki.takeLast().przed);
                try {
                    zapiszSpis(wynik);
                } catch (const SonvekError&) {
                    // The list then names one more copy; the error below
                    // is the one that matters.
                }
            }
            // Running the command again would give the finished rows a second
            // clip; the user must know which they are.
            QString tekst = errorBoxText(e.text());
            if (k == 2)
                tekst += QStringLiteral("\nZapowiedź została już dołączona do pliku pozycji 2.");
            else if (k > 2)
                tekst += QStringLiteral("\nZapowiedzi zostały już dołączone do plików pozycji "
                                        "2–%1.")
                             .arg(k);
            throw EInOutError(tekst);
        }
    }
}

void przywrocOdcinki(const QList<ZachowanyPlik>& pliki, bool wstecz) {
    const auto zrodlo = [wstecz](const ZachowanyPlik& p) { return wstecz ? p.przed : p.po; };
    const auto schowek = [wstecz](const ZachowanyPlik& p) { return wstecz ? p.po : p.przed; };
    for (const ZachowanyPlik& p : pliki) {
        if (!QFileInfo::exists(zrodlo(p)))
            throw EInOutError(
                QStringLiteral("Nie ma już kopii %1 pliku %2; żaden plik nie "
                               "został zmieniony")
                    .arg(QDir::toNativeSeparators(zrodlo(p)), QDir::toNativeSeparators(p.plik)));
    }
    qsizetype i = 0;
    try {
        for (; i < pliki.size(); ++i) {
            zachowaj(pliki[i].plik, schowek(pliki[i]));
            kopiuj(zrodlo(pliki[i]), pliki[i].plik);
        }
    } catch (const SonvekError& e) {
        // File i is as it was; those before it get back what they held.
        QStringList zostaly;
        for (qsizetype j = i - 1; j >= 0; --j) {
            try {
                kopiuj(schowek(pliki[j]), pliki[j].plik);
            } catch (const SonvekError&) {
                zostaly.append(QDir::toNativeSeparators(pliki[j].plik));
            }
        }
        QString tekst = errorBoxText(e.text());
        if (zostaly.isEmpty())
            tekst += QStringLiteral("\nŻaden plik nie został zmieniony.");
        else
            tekst += QStringLiteral("\nTych plików nie udało się przywrócić do poprzedniej "
                                    "zawartości: %1.")
                         .arg(zostaly.join(QStringLiteral(", ")));
        throw EInOutError(tekst);
    }
}
