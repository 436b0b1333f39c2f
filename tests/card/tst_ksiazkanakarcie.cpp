#include "card/FreeSpace.h"
#include "card/KsiazkaNaKarcie.h"
#include "support/FileBytes.h"
#include "support/KartaFat.h"
#include "support/Tmpfs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/mount.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList nazwy{u"ksiazka.mp3"_s, u"ksiazka.dat"_s, u"ksiazka.log"_s};

// Bytes that differ everywhere, so a misplaced chunk shows.
QByteArray dane(qsizetype rozmiar, int ziarno) {
    QByteArray wynik(rozmiar, '\0');
    quint32 x = 2463534242u + quint32(ziarno);
    for (qsizetype i = 0; i < rozmiar; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        wynik[i] = char(x);
    }
    return wynik;
}

// The hidden mode of this test program: copies a book to the card (or
// removes the book of those names from it) and kills itself with SIGKILL
// after step N (counted from 1) that changes the card; with N = 0 it does
// the work and prints the steps' names.
int zrobIZgin(char** argv) {
    const int zgin = std::atoi(argv[4]);
    int krok = 0;
    ObslugaKopiowania obsluga;
    obsluga.poKroku = [&](const char* nazwa) {
        if (++krok == zgin)
            ::raise(SIGKILL);
        if (zgin == 0)
            std::printf("%s\n", nazwa);
    };
    const QStringList pliki{QFile::decodeName(argv[5]), QFile::decodeName(argv[6]),
                            QFile::decodeName(argv[7])};
    const QString karta = QFile::decodeName(argv[3]);
    if (qstrcmp(argv[2], "usun") == 0)
        return usunKsiazkeZKarty(pliki, karta, obsluga).udane ? 0 : 1;
    return kopiujKsiazkeNaKarte(pliki, karta, obsluga).udane() ? 0 : 1;
}

} // namespace

class TestKsiazkaNaKarcie : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir;
    std::optional<Tmpfs> naKarte; // a card in memory where root may mount one: syncs cost nothing
    QString karta, magazyn, obok; // card root with its '/', store, a folder off the card
    QStringList pliki;            // the store's book

    void ksiazkaWMagazynie(qsizetype rozmiar = 9 * 1024 * 1024 + 17) {
        pliki = {magazyn + nazwy[0], magazyn + nazwy[1], magazyn + nazwy[2]};
        QVERIFY(zapiszBajty(pliki[0], dane(rozmiar, 1)));
        QVERIFY(zapiszBajty(pliki[1], dane(900, 2)));
        QVERIFY(zapiszBajty(pliki[2], dane(40, 3)));
    }
    void staraKsiazkaNaKarcie() {
        for (const QString& n : nazwy)
            QVERIFY(zapiszBajty(karta + n, "stara " + n.toUtf8()));
    }
    // The card holds the old book, byte for byte, and nothing else.
    void kartaBezZmian() {
        QCOMPARE(wpisyFolderu(karta), (QStringList{nazwy[1], nazwy[2], nazwy[0]}));
        for (const QString& n : nazwy)
            QCOMPARE(bajtyPliku(karta + n), "stara " + n.toUtf8());
    }
    void kartaZNowa() {
        QCOMPARE(QDir(karta).entryList(QDir::Files | QDir::Hidden, QDir::Name).filter(u"ksiazka"_s),
                 (QStringList{nazwy[1], nazwy[2], nazwy[0]}));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(bajtyPliku(karta + nazwy[i]) == bajtyPliku(pliki[i]), qPrintable(nazwy[i]));
    }

private slots:
    void init() {
        dir.emplace();
        QVERIFY(dir->isValid());
        for (const char* f : {"karta", "magazyn", "obok"})
            QVERIFY(QDir(dir->path()).mkpath(QString::fromLatin1(f)));
        karta = dir->filePath(u"karta/"_s);
        magazyn = dir->filePath(u"magazyn/"_s);
        obok = dir->filePath(u"obok/"_s);
        if (::geteuid() == 0)
            naKarte.emplace(karta, "size=64m");
        ksiazkaWMagazynie();
    }
    void cleanup() {
        naKarte.reset();
        dir.reset();
    }

    // The new book replaces the old one whole; leftovers of copies that no
    // longer run go, those of a running process and other files stay.
    void copiesReadsBackAndReplaces() {
        staraKsiazkaNaKarcie();
        QVERIFY(zapiszBajty(karta + u".sonvek-999999999-0.tmp"_s, QByteArray(5000, 'x')));
        QVERIFY(zapiszBajty(karta + u".sonvek-1-2.tmp"_s, "pid 1 runs"));
        // Pid 1 runs, but not the process that made this one; the parent does.
        QVERIFY(zapiszBajty(karta + u".sonvek-1-0123456789abcdef-0.tmp"_s, "x"));
        const QString rodzica = u".sonvek-%1-%2-1.tmp"_s.arg(::getppid())
                                    .arg(QString::fromLatin1(kluczProcesu(::getppid())));
        QVERIFY(zapiszBajty(karta + rodzica, "running"));
        QVERIFY(zapiszBajty(karta + u".sonvek-notes.tmp"_s, "not ours"));
        QCOMPARE(klastryPozostalosci(karta, 4096), 3u);
        QList<PostepKarty> postepy;
        ObslugaKopiowania obsluga;
        obsluga.postep = [&](const PostepKarty& p) {
            postepy.append(p);
            return true;
        };
        obsluga.czyZamienic = [](const QString&) { return true; };
        const RaportKopiowania raport = kopiujKsiazkeNaKarte(pliki, karta, obsluga);
        QVERIFY2(raport.udane(), qPrintable(raport.blad));
        QVERIFY(QFile::remove(karta + u".sonvek-1-2.tmp"_s));
        QVERIFY(QFile::remove(karta + rodzica));
        QVERIFY(QFile::remove(karta + u".sonvek-notes.tmp"_s));
        kartaZNowa();
        // Every file is written, then every file read back, each to its end.
        QCOMPARE(postepy.first().etap, EtapKarty::Kopiowanie);
        QCOMPARE(postepy.last().etap, EtapKarty::Sprawdzanie);
        QCOMPARE(postepy.last().plik, 2);
        QCOMPARE(postepy.last().bajty, 40);
        for (qsizetype i = 1; i < postepy.size(); ++i) {
            const auto &a = postepy.at(i - 1), &b = postepy.at(i);
            QVERIFY(b.etap > a.etap ||
                    (b.etap == a.etap && (b.plik > a.plik || b.bajty >= a.bajty)));
        }
    }

    // Whatever ends the copy before the renames leaves the old book whole
    // and no temporary file; nothing is ever written through a link.
    void endsEarlyCardUnchanged_data() {
        QTest::addColumn<QString>("jak");
        QTest::addColumn<QString>("komunikat"); // part of the error; empty: no error
        QTest::addColumn<WynikKopiowania>("wynik");
        const auto blad = WynikKopiowania::Blad;
        QTest::newRow("book is a link off the card")
            << u"link"_s << u"ksiazka.mp3 jest dowiązaniem symbolicznym"_s << blad;
        QTest::newRow("dangling .dat link")
            << u"zerwany"_s << u"ksiazka.dat jest dowiązaniem"_s << blad;
        QTest::newRow(".log is a folder") << u"folder"_s << u"Na karcie jest folder"_s << blad;
        QTest::newRow("user keeps the card's file")
            << u"nie"_s << QString() << WynikKopiowania::NieZamieniono;
        QTest::newRow("stopped while writing")
            << u"stop zapis"_s << QString() << WynikKopiowania::Anulowano;
        QTest::newRow("stopped while reading back")
            << u"stop odczyt"_s << QString() << WynikKopiowania::Anulowano;
        QTest::newRow("card lies at byte 0")
            << u"0"_s << u"ksiazka.mp3 różni się od pliku w magazynie od bajtu 0."_s << blad;
        QTest::newRow("card lies past the first chunk")
            << u"4194309"_s << u"od bajtu 4194309."_s << blad;
        QTest::newRow("card lies at the last byte")
            << u"9437200"_s << u"od bajtu 9437200."_s << blad;
        QTest::newRow("card returns less") << u"krotko"_s << u"od bajtu 8388608."_s << blad;
        QTest::newRow("read error")
            << u"EIO"_s << u"z karty: błąd odczytu lub zapisu karty"_s << blad;
        QTest::newRow("book missing from the store")
            << u"brak"_s << u"Nie można otworzyć pliku"_s << blad;
    }
    void endsEarlyCardUnchanged() {
        QFETCH(QString, jak);
        QFETCH(QString, komunikat);
        QFETCH(WynikKopiowania, wynik);
        staraKsiazkaNaKarcie();
        const QString poza = obok + u"x.mp3"_s;
        QVERIFY(zapiszBajty(poza, "poza karta"));
        ObslugaKopiowania obsluga;
        obsluga.czyZamienic = [&](const QString&) { return jak != u"nie"_s; };
        obsluga.postep = [&](const PostepKarty& p) {
            return !(jak == u"stop zapis"_s && p.plik == 1) &&
                   !(jak == u"stop odczyt"_s && p.etap == EtapKarty::Sprawdzanie && p.bajty > 0);
        };
        bool ok = false;
        const qint64 klamstwo = jak.toLongLong(&ok);
        obsluga.odczyt = [&](int fd, char* bufor, std::size_t ile, off_t pozycja) -> ssize_t {
            if (jak == u"EIO"_s) {
                errno = EIO;
                return -1;
            }
            // The card's file ends at 8 MiB, whatever the chunks are.
            if (jak == u"krotko"_s)
                ile = std::size_t(std::clamp<off_t>(8 * 1024 * 1024 - pozycja, 0, off_t(ile)));
            const ssize_t n = ::pread(fd, bufor, ile, pozycja);
            if (ok && n > 0 && klamstwo >= pozycja && klamstwo < pozycja + n)
                bufor[klamstwo - pozycja] ^= 0x20;
            return n;
        };
        QStringList naKarcie{nazwy[1], nazwy[2], nazwy[0]};
        if (jak == u"link"_s) {
            QVERIFY(QFile::remove(karta + nazwy[0]));
            QVERIFY(QFile::link(poza, karta + nazwy[0]));
        } else if (jak == u"zerwany"_s) {
            QVERIFY(QFile::remove(karta + nazwy[1]));
            QVERIFY(QFile::link(obok + u"brak.dat"_s, karta + nazwy[1]));
        } else if (jak == u"folder"_s) {
            QVERIFY(QFile::remove(karta + nazwy[2]));
            QVERIFY(QDir(karta).mkdir(nazwy[2]));
        } else if (jak == u"brak"_s) {
            QVERIFY(QFile::remove(pliki[0]));
        }
        const RaportKopiowania raport = kopiujKsiazkeNaKarte(pliki, karta, obsluga);
        QCOMPARE(raport.wynik, wynik);
        QVERIFY2(komunikat.isEmpty() ? raport.blad.isEmpty() : raport.blad.contains(komunikat),
                 qPrintable(raport.blad));
        QCOMPARE(QDir(karta).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                           QDir::NoDotAndDotDot,
                                       QDir::Name),
                 naKarcie);
        QCOMPARE(bajtyPliku(poza), QByteArray("poza karta"));
        QCOMPARE(wpisyFolderu(obok), QStringList{u"x.mp3"_s});
        if (jak != u"link"_s && jak != u"zerwany"_s && jak != u"folder"_s)
            kartaBezZmian();
    }

    // The check reads the card's files and names the first difference.
    void checkAgainstTheStore() {
        QVERIFY(kopiujKsiazkeNaKarte(pliki, karta, {}).udane());
        RaportSprawdzenia raport = sprawdzKsiazkeNaKarcie(pliki, karta, {});
        QCOMPARE(raport.wynik, WynikSprawdzenia::Zgodna);
        QCOMPARE(raport.opis, u"Książka na karcie sprawdzona: zgodna z magazynem."_s);

        QByteArray indeks = bajtyPliku(karta + nazwy[1]);
        indeks[700] = char(indeks[700] ^ 1);
        QVERIFY(zapiszBajty(karta + nazwy[1], indeks));
        raport = sprawdzKsiazkeNaKarcie(pliki, karta, {});
        QCOMPARE(raport.wynik, WynikSprawdzenia::Niezgodna);
        QVERIFY2(raport.opis.contains(
                     karta + u"ksiazka.dat różni się od pliku w magazynie od bajtu 700."_s),
                 qPrintable(raport.opis));

        QVERIFY(QFile::remove(karta + nazwy[2]));
        QVERIFY(zapiszBajty(karta + nazwy[1], bajtyPliku(pliki[1])));
        raport = sprawdzKsiazkeNaKarcie(pliki, karta, {});
        QCOMPARE(raport.opis, u"Na karcie nie ma pliku %1."_s.arg(karta + nazwy[2]));
    }

    // The steps of a copy (or a removal) that change the card, by name, in order.
    QStringList krokiPracy(const QString& praca = u"kopiuj"_s) {
        staraKsiazkaNaKarcie();
        QProcess zliczanie;
        zliczanie.start(QCoreApplication::applicationFilePath(),
                        QStringList{u"--zrob-i-zgin"_s, praca, karta, u"0"_s} + argumenty(praca));
        if (!zliczanie.waitForFinished(60000))
            return {};
        return QString::fromUtf8(zliczanie.readAllStandardOutput())
            .split(u'\n', Qt::SkipEmptyParts);
    }
    QStringList argumenty(const QString& praca) { return praca == u"usun"_s ? nazwy : pliki; }
    // A fresh card with the old book, and a copy to it (or its removal)
    // killed after step n.
    void zabitaPraca(qsizetype n, const QString& praca = u"kopiuj"_s) {
        for (const QString& f : QDir(karta).entryList(QDir::Files | QDir::Hidden))
            QVERIFY(QFile::remove(karta + f));
        staraKsiazkaNaKarcie();
        QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        QProcess dziecko;
        dziecko.start(QCoreApplication::applicationFilePath(),
                      QStringList{u"--zrob-i-zgin"_s, praca, karta, QString::number(n)} +
                          argumenty(praca));
        QVERIFY(dziecko.waitForFinished(60000));
        QCOMPARE(dziecko.exitStatus(), QProcess::CrashExit);
    }

    // The copy (or the removal) runs in a child process killed after each
    // step that changes the card, on a folder and on a real FAT card taken
    // out and put back after the kill (new inode numbers). Until the marker
    // is written the old book stays whole; after it, whatever touches the
    // card next (a check or a copy, in turn) finishes the work and says so,
    // so the book is never seen mixed: a copy leaves the new book, a removal
    // none. Before the marker, the check says the old book is whole.
    void killedAtEveryStep_data() {
        QTest::addColumn<QString>("praca");
        QTest::addColumn<bool>("fat");
        QTest::newRow("copy") << u"kopiuj"_s << false;
        QTest::newRow("copy, FAT card put back") << u"kopiuj"_s << true;
        QTest::newRow("removal") << u"usun"_s << false;
        QTest::newRow("removal, FAT card put back") << u"usun"_s << true;
    }
    void killedAtEveryStep() {
        QFETCH(QString, praca);
        QFETCH(bool, fat);
        std::optional<KartaFat> kartaFat;
        if (fat) {
            kartaFat.emplace(dir->filePath(u"karta.img"_s), karta.chopped(1));
            if (!kartaFat->powod.isEmpty())
                QSKIP(qPrintable(kartaFat->powod));
        }
        ksiazkaWMagazynie(300 * 1024 + 17); // one chunk, as the larger book is
        const bool usun = praca == u"usun"_s;
        const QStringList kroki = krokiPracy(praca);
        QVERIFY2(kroki.size() >= 6, qPrintable(kroki.join(u',')));
        const qsizetype znacznik = kroki.indexOf(u"znacznik zapisany"_s) + 1;
        QVERIFY(znacznik > 0);
        const QString zmiana = usun ? u"plik usunięty"_s : u"nazwa zamieniona"_s;
        QCOMPARE(kroki.mid(znacznik, 3), QStringList(3, zmiana));
        for (qsizetype n = 1; n <= kroki.size(); ++n) {
            zabitaPraca(n, praca);
            if (kartaFat) {
                QVERIFY(kartaFat->odmontuj());
                QVERIFY(kartaFat->zamontuj());
            }
            // Between the marker and the last change, something was left to finish.
            const bool dokonczyc = n >= znacznik && n < znacznik + 3;
            const QStringList widoczne = QDir(karta).entryList(QDir::Files);
            if (!usun)
                QCOMPARE(widoczne, (QStringList{nazwy[1], nazwy[2], nazwy[0], u"player.dat"_s}));
            if (n < znacznik) {
                for (const QString& nazwa : nazwy)
                    QCOMPARE(bajtyPliku(karta + nazwa), "stara " + nazwa.toUtf8());
            }
            QString powiedziano;
            if (usun && n % 2 == 0) {
                powiedziano = dokonczPrzerwanaKopie(karta).tekst;
                QCOMPARE(wpisyFolderu(karta), QStringList{u"player.dat"_s});
            } else if (n % 2 == 0) {
                const RaportSprawdzenia raport = sprawdzKsiazkeNaKarcie(pliki, karta, {});
                QCOMPARE(raport.wynik,
                         n < znacznik ? WynikSprawdzenia::Niezgodna : WynikSprawdzenia::Zgodna);
                QVERIFY2(raport.opis.contains(u"cała i nieuszkodzona"_s) == (n < znacznik),
                         qPrintable(raport.opis));
                powiedziano = raport.opis;
                if (n >= znacznik)
                    kartaZNowa();
            } else {
                const RaportKopiowania raport = kopiujKsiazkeNaKarte(pliki, karta, {});
                QVERIFY2(raport.udane(), qPrintable(raport.blad));
                powiedziano = raport.dokonczenie;
            }
            QVERIFY2(powiedziano.contains(u"dokończono"_s) == dokonczyc,
                     qPrintable(u"%1: %2"_s.arg(n).arg(powiedziano)));
            QVERIFY(kopiujKsiazkeNaKarte(pliki, karta, {}).udane());
            kartaZNowa();
        }
    }

    // A marker left by a copy killed after its first rename, as another
    // session finds it: a new file lost since (the book is mixed), a copy of
    // a program that still runs (left alone), a process id alive again in
    // another process (another boot or computer) or an older version's
    // marker (both finished), content that is not the program's own.
    void markerOfAnotherSession_data() {
        QTest::addColumn<QString>("jak");
        QTest::addColumn<WynikSprawdzenia>("wynik");
        QTest::addColumn<QString>("komunikat");
        QTest::addColumn<bool>("zostaje"); // the marker stays
        QTest::addColumn<bool>("kopia");   // a copy afterwards succeeds
        const auto niezgodna = WynikSprawdzenia::Niezgodna;
        const auto zgodna = WynikSprawdzenia::Zgodna;
        QTest::newRow("new .dat lost")
            << u"zgubiony"_s << niezgodna << u"jest pomieszana"_s << false << true;
        QTest::newRow("copy still running")
            << u"trwa"_s << niezgodna << u"ksiazka.dat ma na karcie 17 bajtów"_s << true << false;
        QTest::newRow("pid alive again in another process")
            << u"inny proces"_s << zgodna << u"zamianę dokończono"_s << false << true;
        QTest::newRow("older version's marker")
            << u"stary"_s << zgodna << u"zamianę dokończono"_s << false << true;
        QTest::newRow("not ours") << u"obcy"_s << WynikSprawdzenia::Blad << u"nie rozpoznaje"_s
                                  << true << false;
    }
    void markerOfAnotherSession() {
        QFETCH(QString, jak);
        QFETCH(WynikSprawdzenia, wynik);
        QFETCH(QString, komunikat);
        QFETCH(bool, zostaje);
        QFETCH(bool, kopia);
        ksiazkaWMagazynie(300 * 1024 + 17);
        zabitaPraca(krokiPracy().indexOf(u"znacznik zapisany"_s) + 2);
        const QString plikZnacznika = karta + u".sonvek-zamiana"_s;
        QByteArray tresc = bajtyPliku(plikZnacznika);
        QVERIFY(tresc.startsWith("sonvek-zamiana 2\nproces "));
        QList<QByteArray> wiersze = tresc.split('\n');
        const QByteArray rodzic = QByteArray::number(::getppid());
        if (jak == u"zgubiony"_s) {
            // The marker's second line names the .dat's temporary file.
            QVERIFY(QFile::remove(karta + QFile::decodeName(wiersze.at(3).split('\t').at(1))));
            // Even a store that now matches the card does not make it whole.
            QVERIFY(zapiszBajty(pliki[1], "stara " + nazwy[1].toUtf8()));
        } else if (jak == u"stary"_s) {
            tresc = "sonvek-zamiana 1\npid " + rodzic + '\n';
            for (qsizetype i = 2; i + 1 < wiersze.size(); ++i)
                tresc += wiersze.at(i).split('\t').mid(1, 2).join('\t') + "\t12345\n";
        } else {
            wiersze[1] = "proces " + rodzic + ' ' +
                         (jak == u"trwa"_s ? kluczProcesu(::getppid()) : "0123456789abcdef");
            tresc = jak == u"obcy"_s ? QByteArray("cokolwiek\n") : wiersze.join('\n');
        }
        QVERIFY(zapiszBajty(plikZnacznika, tresc));
        const RaportSprawdzenia raport = sprawdzKsiazkeNaKarcie(pliki, karta, {});
        QCOMPARE(raport.wynik, wynik);
        QVERIFY2(raport.opis.contains(komunikat), qPrintable(raport.opis));
        QCOMPARE(QFileInfo::exists(plikZnacznika), zostaje);
        const RaportKopiowania kopiaPotem = kopiujKsiazkeNaKarte(pliki, karta, {});
        QCOMPARE(kopiaPotem.udane(), kopia);
        QVERIFY2(kopia || jak == u"obcy"_s || kopiaPotem.blad.contains(u"jeszcze trwa"_s),
                 qPrintable(kopiaPotem.blad));
    }

    // Real cards as root: one that fills up, one taken out midway, and a
    // FAT loop device whose image is changed under the file system after
    // the sync: only a read that passes the system's cache sees it.
    void realCards_data() {
        QTest::addColumn<QString>("karta");
        QTest::newRow("full") << u"pelna"_s;
        QTest::newRow("taken out") << u"wyjeta"_s;
        QTest::newRow("lying loop device") << u"klamie"_s;
    }
    void realCards() {
        QFETCH(QString, karta);
        if (::geteuid() != 0)
            QSKIP("mounting a card needs root");
        const QString punkt = this->karta.chopped(1);
        std::optional<Tmpfs> tmpfs;
        QString obraz, petla;
        const auto odlacz = qScopeGuard([&] {
            if (!petla.isEmpty()) {
                ::umount2(QFile::encodeName(punkt).constData(), MNT_DETACH);
                QProcess::execute(u"losetup"_s, {u"-d"_s, petla});
            }
        });
        if (karta == u"klamie"_s) {
            // FAT where this kernel has it, ext2 otherwise: the cache is the point.
            QFile systemy(u"/proc/filesystems"_s);
            QVERIFY(systemy.open(QIODevice::ReadOnly));
            const bool fat = systemy.readAll().contains("\tvfat\n");
            const QString mkfs = QStandardPaths::findExecutable(
                fat ? u"mkfs.vfat"_s : u"mkfs.ext2"_s, {u"/usr/sbin"_s, u"/sbin"_s});
            if (mkfs.isEmpty())
                QSKIP("no mkfs for a loop device");
            obraz = dir->filePath(u"karta.img"_s);
            QVERIFY(zapiszBajty(obraz, QByteArray(48 * 1024 * 1024, '\0')));
            QProcess losetup;
            losetup.start(u"losetup"_s, {u"--find"_s, u"--show"_s, obraz});
            QVERIFY(losetup.waitForFinished(20000));
            petla = QString::fromLatin1(losetup.readAllStandardOutput()).trimmed();
            if (petla.isEmpty())
                QSKIP("no loop device");
            QCOMPARE(QProcess::execute(mkfs, fat ? QStringList{petla}
                                                 : QStringList{u"-q"_s, u"-F"_s, petla}),
                     0);
            QCOMPARE(QProcess::execute(u"mount"_s, {petla, punkt}), 0);
            QDir(punkt).rmdir(u"lost+found"_s);
            const auto pomiar = zmierzKarte(this->karta, SystemoweWolneMiejsce());
            QVERIFY(pomiar);
            QCOMPARE(pomiar->wolumin.fat, fat);
        } else {
            tmpfs.emplace(punkt, karta == u"pelna"_s ? "size=4m" : "size=64m");
            if (!tmpfs->zamontowany)
                QSKIP("this system does not allow mounting a tmpfs");
        }
        staraKsiazkaNaKarcie();
        ObslugaKopiowania obsluga;
        obsluga.poKroku = [&](const char* krok) {
            if (karta == u"wyjeta"_s && qstrcmp(krok, "porcja") == 0 && tmpfs->zamontowany) {
                QCOMPARE(::umount2(tmpfs->sciezka.constData(), MNT_DETACH), 0);
                tmpfs->zamontowany = false;
            }
            if (karta == u"klamie"_s && qstrcmp(krok, "plik zsynchronizowany") == 0 &&
                !obraz.isEmpty()) {
                // The book's first bytes in the image, and one of its bytes changed there.
                QFile plik(obraz);
                QVERIFY(plik.open(QIODevice::ReadWrite));
                const qsizetype gdzie = plik.readAll().indexOf(dane(64, 1));
                QVERIFY(gdzie >= 0);
                QVERIFY(plik.seek(gdzie + 1000));
                QVERIFY(plik.putChar('!'));
                obraz.clear();
            }
        };
        const RaportKopiowania raport = kopiujKsiazkeNaKarte(pliki, this->karta, obsluga);
        QCOMPARE(raport.wynik, WynikKopiowania::Blad);
        const QString oczekiwany = karta == u"pelna"_s    ? u"na karcie zabrakło miejsca"_s
                                   : karta == u"wyjeta"_s ? u"Karta została wyjęta"_s
                                                          : u"od bajtu 1000."_s;
        QVERIFY2(raport.blad.contains(oczekiwany), qPrintable(raport.blad));
        if (karta == u"wyjeta"_s)
            QCOMPARE(wpisyFolderu(this->karta), QStringList()); // nothing went under the mount
        else
            kartaBezZmian();
    }
};

int main(int argc, char** argv) {
    if (argc == 8 && qstrcmp(argv[1], "--zrob-i-zgin") == 0)
        return zrobIZgin(argv);
    QCoreApplication app(argc, argv);
    TestKsiazkaNaKarcie test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ksiazkanakarcie.moc"
