#include "audio/Mp3Probe.h"
#include "base/Errors.h"
#include "merge/IndexFile.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/Podpiecie.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Files of the tests begin with "MP3:<rate>:<channels>;"; the fake probe
// reads the format from there and takes 16 bytes as one millisecond.
QByteArray plikAudio(const QByteArray& wypelnienie, int rozmiar, int czestotliwosc = 44100,
                     int kanaly = 2) {
    QByteArray tresc =
        "MP3:" + QByteArray::number(czestotliwosc) + ':' + QByteArray::number(kanaly) + ';';
    while (tresc.size() < rozmiar)
        tresc += wypelnienie;
    return tresc.left(rozmiar);
}

FormatDzwieku formatTestowy(const QString& sciezka) {
    QFile f(sciezka);
    const QByteArray poczatek = f.open(QIODevice::ReadOnly) ? f.read(32) : QByteArray();
    if (!poczatek.startsWith("MP3:"))
        throw EMCIDeviceError(QStringLiteral("Plik %1 nie zawiera dźwięku MP3").arg(sciezka));
    const QList<QByteArray> pola = poczatek.mid(4, poczatek.indexOf(';') - 4).split(':');
    return {pola.value(0).toInt(), pola.value(1).toInt()};
}

PozycjaProjektu pozycja(const QString& sciezka, const QString& poczatek = QStringLiteral("0"),
                        const QString& dlugosc = QStringLiteral("5000")) {
    return {QString(), sciezka.section(QLatin1Char('/'), -1), poczatek, dlugosc,
            sciezka.section(QLatin1Char('/'), 0, -2) + QLatin1Char('/')};
}

PomiarMp3 pomiarTestowy(const QString& sciezka) {
    return {formatTestowy(sciezka), QFileInfo(sciezka).size() / 16, 0};
}

// A merge with the fake probe that records its log and progress.
struct Scalanie {
    Scalanie(const QString& scalony, const ListaPozycji& pozycje,
             MiernikMp3 miernik = pomiarTestowy)
        : zadanie(scalony, pozycje, std::move(miernik)) {
        zadanie.dziennik = [this](const QString& linia) { log.append(linia); };
        zadanie.postep = [this](std::int64_t zrobione, std::int64_t razem) {
            postep.append({zrobione, razem});
        };
    }
    ZadanieScalania zadanie;
    QStringList log;
    QList<std::pair<std::int64_t, std::int64_t>> postep;
};

QStringList logUdany(const QStringList& sciezki) {
    QStringList log;
    for (const QString& s : sciezki)
        log << QStringLiteral("Trwa dodawanie pliku:: ") + s
            << QStringLiteral("Dodawanie pliku zakończone powodzeniem");
    log << QStringLiteral("Sklejanie zakonczone powodzeniem")
        << QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem")
        << QStringLiteral("Scalanie plików zakończone powodzeniem");
    return log;
}

// A small file system mounted for one test (needs root); unmounted at the end.
class Tmpfs {
public:
    explicit Tmpfs(const QString& gdzie, const QString& opcje) : miejsce(gdzie) {
        QDir().mkpath(gdzie);
        zamontowany =
            ::geteuid() == 0 &&
            QProcess::execute(QStringLiteral("mount"),
                              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                               opcje, QStringLiteral("tmpfs"), gdzie}) == 0;
    }
    ~Tmpfs() {
        if (zamontowany)
            QProcess::execute(QStringLiteral("umount"), {miejsce});
    }
    bool tylkoDoOdczytu() {
        return QProcess::execute(QStringLiteral("mount"),
                                 {QStringLiteral("-o"), QStringLiteral("remount,ro"), miejsce}) ==
               0;
    }
    QString miejsce;
    bool zamontowany = false;
};

// A part of an entry's file: a 44.1 kHz mono MP3 of `ms` at `kbps` (or of
// variable rate, with a Xing frame in front), or with kbps 0 the bytes
// `smieci`, which are no audio.
struct Czesc {
    int kbps = 0;
    int ms = 0;
    bool id3 = false;
    bool vbr = false;
    QByteArray smieci{};
};
struct WpisKsiazki {
    QList<Czesc> czesci;
    int poczatekMs = 0, dlugoscMs = 0;
};
using Ksiazka = QList<WpisKsiazki>;

// A frame of the book as the test's own walk finds it: its bytes, and its
// start in 1/44,100,000 s (a ms is 44100, a frame of 1152 samples 1152000).
struct Ramka {
    qint64 bajt, koniec, czas;
};
constexpr qint64 kNaMs = 44100, kCzasRamki = 1152000;

// The audio frames of an MPEG-1 Layer III mono file at 44.1 kHz, after
// its ID3v2 tag; a Xing or Info frame holds no audio.
QList<Ramka> ramkiMp3(const QByteArray& mp3) {
    static constexpr int kbps[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                     112, 128, 160, 192, 224, 256, 320};
    const auto* b = reinterpret_cast<const uchar*>(mp3.constData());
    qint64 pos = mp3.startsWith("ID3") ? 10 + (b[6] << 21 | b[7] << 14 | b[8] << 7 | b[9]) : 0;
    QList<Ramka> ramki;
    bool pierwsza = true;
    while (pos + 4 <= mp3.size() && b[pos] == 0xFF && (b[pos + 1] & 0xFE) == 0xFA &&
           (b[pos + 2] & 0x0C) == 0) {
        const qint64 dlugosc = 144000 * kbps[b[pos + 2] >> 4] / 44100 + ((b[pos + 2] >> 1) & 1);
        const QByteArray znacznik = mp3.mid(pos + 4 + 17, 4);
        if (!(pierwsza && (znacznik == "Xing" || znacznik == "Info")))
            ramki.append({pos, pos + dlugosc, kCzasRamki * ramki.size()});
        pierwsza = false;
        pos += dlugosc;
    }
    return ramki;
}

} // namespace

Q_DECLARE_METATYPE(Ksiazka)

class TestMergeJob : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString wejscie, wyjscie;
    QStringList pliki;

    // An earlier book of the same name, which a failed merge must keep.
    void wczesniejszaKsiazka(const QString& scalony) {
        QVERIFY(zapiszBajty(scalony, "stara ksiazka"));
        QVERIFY(zapiszBajty(nazwaIndeksu(scalony, QStringLiteral("dat")), "0\t1"));
        QVERIFY(zapiszBajty(nazwaIndeksu(scalony, QStringLiteral("log")), "stary log"));
    }

    void sprawdzNieudane(const Scalanie& s, const QMap<QString, QByteArray>& przed,
                         const QString& folder) {
        QVERIFY(s.zadanie.nieudane());
        QVERIFY(!s.log.isEmpty());
        QCOMPARE(s.log.last(), QStringLiteral("Błąd: ") + s.zadanie.blad());
        QCOMPARE(s.log.filter(QStringLiteral("Błąd: ")).size(), 1);
        QVERIFY(!s.log.contains(QStringLiteral("Scalanie plików zakończone powodzeniem")));
        QCOMPARE(zawartoscFolderu(folder), przed);
        QVERIFY(!s.zadanie.odmowa());
    }

private slots:
    void init() {
        QVERIFY(tmp.isValid());
        wejscie = tmp.filePath(QStringLiteral("wejście"));
        wyjscie = tmp.filePath(QStringLiteral("Magazyn"));
        QDir(tmp.path()).removeRecursively();
        QVERIFY(QDir().mkpath(wejscie));
        QVERIFY(QDir().mkpath(wyjscie));
        pliki = {wejscie + QStringLiteral("/rozdział 1.mp3"), wejscie + QStringLiteral("/r2.mp3"),
                 wejscie + QStringLiteral("/r3.mp3")};
        QVERIFY(zapiszBajty(pliki[0], plikAudio("jeden", 160000)));
        QVERIFY(zapiszBajty(pliki[1], plikAudio("dwa", 300000)));
        QVERIFY(zapiszBajty(pliki[2], plikAudio("trzy", 540000)));
    }

    // The book is the entries' files one after another, the same file twice
    // when listed twice; the index places each bookmark by the sizes of the
    // files before it.
    void completeMerge() {
        const QString scalony = wyjscie + QStringLiteral("/Książka.mp3");
        const ListaPozycji pozycje = {
            pozycja(pliki[0], QStringLiteral("0"), QStringLiteral("10000")),
            pozycja(pliki[1], QStringLiteral("2000"), QStringLiteral("5000")), pozycja(pliki[2]),
            pozycja(pliki[1])};
        Scalanie s(scalony, pozycje);
        QVERIFY(s.zadanie.wykonaj());
        QVERIFY(s.zadanie.zakonczone());

        const QByteArray a = bajtyPliku(pliki[0]), b = bajtyPliku(pliki[1]),
                         c = bajtyPliku(pliki[2]);
        QCOMPARE(bajtyPliku(scalony), a + b + c + b);
        // The book lasts as long as its entries together (16 bytes a ms).
        const std::int64_t razemMs = (a.size() + 2 * b.size() + c.size()) / 16;
        const QByteArray dat =
            trescDat(a.size() + 2 * b.size() + c.size(), razemMs,
                     {{QStringLiteral("0"), QStringLiteral("10000"), a.size(), {}},
                      {QStringLiteral("2000"), QStringLiteral("5000"), b.size(), {}},
                      {QStringLiteral("0"), QStringLiteral("5000"), c.size(), {}},
                      {QStringLiteral("0"), QStringLiteral("5000"), b.size(), {}}});
        QCOMPARE(bajtyPliku(wyjscie + QStringLiteral("/Książka.dat")), dat);
        QVERIFY(dat.startsWith("0\t"));
        QCOMPARE(bajtyPliku(wyjscie + QStringLiteral("/Książka.log")),
                 QByteArray("0000000 0000000"));
        QCOMPARE(zawartoscFolderu(wyjscie).keys(),
                 (QStringList{QStringLiteral("Książka.dat"), QStringLiteral("Książka.log"),
                              QStringLiteral("Książka.mp3")}));
        QCOMPARE(s.log, logUdany({pliki[0], pliki[1], pliki[2], pliki[1]}));

        // Progress rises to the whole size and ends there.
        const std::int64_t razem = a.size() + 2 * b.size() + c.size();
        QVERIFY(!s.postep.isEmpty());
        QCOMPARE(s.postep.last(), std::make_pair(razem, razem));
        for (qsizetype i = 1; i < s.postep.size(); ++i)
            QVERIFY(s.postep[i].first >= s.postep[i - 1].first);
    }

    // The numbers of the worked example come out of a whole merge too: the
    // entries last 10,000 and 52,500 ms.
    void workedExample() {
        QVERIFY(zapiszBajty(pliki[0], plikAudio("a", 160000)));
        QVERIFY(zapiszBajty(pliki[1], plikAudio("b", 840000)));
        const QString scalony = wyjscie + QStringLiteral("/k.mp3");
        Scalanie s(scalony, {pozycja(pliki[0], QStringLiteral("0"), QStringLiteral("10000")),
                             pozycja(pliki[1], QStringLiteral("2000"), QStringLiteral("5000"))});
        QVERIFY(s.zadanie.wykonaj());
        QCOMPARE(bajtyPliku(wyjscie + QStringLiteral("/k.dat")), QByteArray("0\t312\r\n375\t156"));
    }

    // An existing book and index files are replaced without a question, and
    // a four-character extension still loses three characters.
    void replacesEarlierBook_data() {
        QTest::addColumn<QString>("nazwa");
        QTest::addColumn<QString>("dat");
        QTest::addColumn<QString>("log");
        QTest::newRow("mp3") << QStringLiteral("k.mp3") << QStringLiteral("k.dat")
                             << QStringLiteral("k.log");
        QTest::newRow("mpeg") << QStringLiteral("k.mpeg") << QStringLiteral("k.mdat")
                              << QStringLiteral("k.mlog");
        // 246 bytes, near the system's 255: the temporary names stay shorter.
        const QString dluga = QString(120, u'ą') + QStringLiteral("_1.");
        QTest::newRow("name of 246 bytes")
            << dluga + QStringLiteral("mp3") << dluga + QStringLiteral("dat")
            << dluga + QStringLiteral("log");
    }
    void replacesEarlierBook() {
        QFETCH(QString, nazwa);
        QFETCH(QString, dat);
        QFETCH(QString, log);
        const QString scalony = wyjscie + QLatin1Char('/') + nazwa;
        wczesniejszaKsiazka(scalony);
        Scalanie s(scalony, {pozycja(pliki[0])});
        QVERIFY(s.zadanie.wykonaj());
        QCOMPARE(bajtyPliku(scalony), bajtyPliku(pliki[0]));
        QCOMPARE(bajtyPliku(wyjscie + QLatin1Char('/') + log), QByteArray("0000000 0000000"));
        QVERIFY(bajtyPliku(wyjscie + QLatin1Char('/') + dat).startsWith("0\t"));
        QCOMPARE(zawartoscFolderu(wyjscie).size(), 3);
    }

    // Entries of another sample rate or channel count: a warning, then every
    // one that differs named with how, before the end of stage 1; the merge
    // goes on.
    void formatWarning() {
        QVERIFY(zapiszBajty(pliki[1], plikAudio("dwa", 1000, 22050, 2)));
        QVERIFY(zapiszBajty(pliki[2], plikAudio("trzy", 1000, 44100, 1)));
        Scalanie s(wyjscie + QStringLiteral("/k.mp3"),
                   {pozycja(pliki[0]), pozycja(pliki[0]), pozycja(pliki[1]), pozycja(pliki[2])});
        QVERIFY(s.zadanie.wykonaj());
        const qsizetype koniec = s.log.indexOf(QStringLiteral("Sklejanie zakonczone powodzeniem"));
        QCOMPARE(koniec, 11);
        QCOMPARE(s.log.mid(9, 2),
                 (QStringList{u"Uwaga: plik %1 (pozycja 3): częstotliwość: 22050 Hz zamiast "
                              u"44100 Hz"_s.arg(pliki[1]),
                              u"Uwaga: plik %1 (pozycja 4): kanały: 1 zamiast 2"_s.arg(pliki[2])}));
        QCOMPARE(s.log.filter(QStringLiteral("Uwaga")).size(), 3);
    }

    // Bad input ends the merge with one "Błąd:" line, no temporary file
    // left and the earlier book untouched.
    void badInput_data() {
        QTest::addColumn<QString>("zepsuj");
        QTest::addColumn<int>("rozpoczetych"); // "Trwa dodawanie pliku" lines
        QTest::addColumn<int>("dodanych");     // "... zakończone powodzeniem" lines
        QTest::addColumn<QString>("bladZaczynaSie");
        QTest::newRow("missing file")
            << QStringLiteral("brak") << 1 << 1 << QStringLiteral("Nie można otworzyć pliku ");
        QTest::newRow("unreadable file") << QStringLiteral("nieczytelny") << 1 << 1
                                         << QStringLiteral("Nie można otworzyć pliku ");
        QTest::newRow("not MP3") << QStringLiteral("tekst") << 2 << 1 << QStringLiteral("Plik ");
        QTest::newRow("empty file") << QStringLiteral("pusty") << 2 << 1 << QStringLiteral("Plik ");
        QTest::newRow("start not an integer")
            << QStringLiteral("poczatek") << 3 << 3
            << QStringLiteral("'12,5' is not a valid integer value");
        QTest::newRow("length not an integer") << QStringLiteral("dlugosc") << 3 << 3
                                               << QStringLiteral("'' is not a valid integer value");
        QTest::newRow("zero duration")
            << QStringLiteral("zero") << 3 << 3 << QStringLiteral("Nie można obliczyć indeksów");
    }
    void badInput() {
        QFETCH(QString, zepsuj);
        QFETCH(int, rozpoczetych);
        QFETCH(int, dodanych);
        QFETCH(QString, bladZaczynaSie);
        ListaPozycji pozycje = {pozycja(pliki[0]), pozycja(pliki[1]), pozycja(pliki[2])};
        MiernikMp3 miernik = pomiarTestowy;
        if (zepsuj == QLatin1String("brak"))
            QFile::remove(pliki[1]);
        if (zepsuj == QLatin1String("nieczytelny")) {
            if (::geteuid() == 0)
                QSKIP("root reads any file");
            QVERIFY(QFile::setPermissions(pliki[1], QFileDevice::Permissions{}));
        }
        if (zepsuj == QLatin1String("tekst"))
            QVERIFY(zapiszBajty(pliki[1], "To nie jest plik dźwiękowy."));
        if (zepsuj == QLatin1String("pusty"))
            QVERIFY(zapiszBajty(pliki[1], QByteArray()));
        if (zepsuj == QLatin1String("poczatek"))
            pozycje[2].Poczatek = QStringLiteral("12,5");
        if (zepsuj == QLatin1String("dlugosc"))
            pozycje[2].Dlugosc = QString();
        if (zepsuj == QLatin1String("zero"))
            miernik = [](const QString& s) { return PomiarMp3{formatTestowy(s), 0, 0}; };

        const QString scalony = wyjscie + QStringLiteral("/k.mp3");
        wczesniejszaKsiazka(scalony);
        const auto przed = zawartoscFolderu(wyjscie);
        const auto wejsciePrzed = zawartoscFolderu(wejscie);
        Scalanie s(scalony, pozycje, miernik);
        QVERIFY(!s.zadanie.wykonaj());
        sprawdzNieudane(s, przed, wyjscie);
        QCOMPARE(zawartoscFolderu(wejscie), wejsciePrzed);
        QVERIFY2(s.zadanie.blad().startsWith(bladZaczynaSie), qPrintable(s.zadanie.blad()));
        QCOMPARE(s.log.count(QStringLiteral("Dodawanie pliku zakończone powodzeniem")), dodanych);
        QCOMPARE(s.log.filter(QStringLiteral("Trwa dodawanie pliku:: ")).size(), rozpoczetych);
        // A failed merge does not run its second stage.
        QVERIFY(!s.zadanie.UtworzIndeksy());
        QCOMPARE(s.log.filter(QStringLiteral("Błąd: ")).size(), 1);
    }

    // A target that would replace a file the merge reads or the project
    // file, and an entry that is not a regular file, are refused before
    // anything is written.
    void refusedNames_data() {
        QTest::addColumn<QString>("scalony");
        QTest::addColumn<QString>("dodatkowyWpis"); // an entry to add, if any
        QTest::addColumn<QString>("rodzaj");        // of that entry
        QTest::addColumn<QString>("projekt");       // the project file
        const QString plik = QStringLiteral("plik"), nic;
        QTest::newRow("entry itself") << QStringLiteral("{in}/r2.mp3") << nic << nic << nic;
        QTest::newRow("entry by another path")
            << QStringLiteral("{in}/../wejście/./r3.mp3") << nic << nic << nic;
        QTest::newRow("symlink to an entry")
            << QStringLiteral("{out}/dowiązanie.mp3") << nic << nic << nic;
        QTest::newRow("index named like an entry")
            << QStringLiteral("{in}/spis.mp3") << QStringLiteral("{in}/spis.dat") << plik << nic;
        QTest::newRow("index named like the book")
            << QStringLiteral("{out}/k.dat") << nic << nic << nic;
        QTest::newRow("folder") << QStringLiteral("{out}/folder.mp3") << nic << nic << nic;
        QTest::newRow("project file") << QStringLiteral("{out}/projekt.xml") << nic << nic
                                      << QStringLiteral("{out}/projekt.xml");
        QTest::newRow("index named like the project file")
            << QStringLiteral("{out}/k.mp3") << nic << nic << QStringLiteral("{out}/k.log");
        QTest::newRow("entry is a folder")
            << QStringLiteral("{out}/k.mp3") << QStringLiteral("{in}/katalog.mp3")
            << QStringLiteral("folder") << nic;
        QTest::newRow("entry is a FIFO")
            << QStringLiteral("{out}/k.mp3") << QStringLiteral("{in}/potok.mp3")
            << QStringLiteral("fifo") << nic;
        QTest::newRow("entry is a device")
            << QStringLiteral("{out}/k.mp3") << QStringLiteral("/dev/zero") << nic << nic;
        // The same files by other names: a hard link, and the entries'
        // folder mounted a second time.
        QTest::newRow("hard link to an entry")
            << QStringLiteral("{out}/twarde.mp3") << nic << nic << nic;
        QTest::newRow("entry through a bind mount")
            << QStringLiteral("{alias}/r2.mp3") << nic << nic << nic;
        QTest::newRow("index named like an entry, through a bind mount")
            << QStringLiteral("{alias}/spis.mp3") << QStringLiteral("{in}/spis.dat") << plik << nic;
        QTest::newRow("project file through a bind mount")
            << QStringLiteral("{alias}/projekt.xml") << nic << nic
            << QStringLiteral("{in}/projekt.xml");
    }
    void refusedNames() {
        QFETCH(QString, scalony);
        QFETCH(QString, dodatkowyWpis);
        QFETCH(QString, rodzaj);
        QFETCH(QString, projekt);
        const QString alias = tmp.filePath(QStringLiteral("alias"));
        std::optional<Podpiecie> podpiecie;
        if (scalony.startsWith(u"{alias}")) {
            podpiecie.emplace(wejscie, alias);
            if (!podpiecie->zamontowany)
                QSKIP("a bind mount needs root");
        }
        for (QString* s : {&scalony, &dodatkowyWpis, &projekt})
            s->replace(QStringLiteral("{in}"), wejscie)
                .replace(QStringLiteral("{out}"), wyjscie)
                .replace(QStringLiteral("{alias}"), alias);
        QVERIFY(QFile::link(pliki[2], wyjscie + QStringLiteral("/dowiązanie.mp3")));
        QCOMPARE(::link(QFile::encodeName(pliki[2]).constData(),
                        QFile::encodeName(wyjscie + QStringLiteral("/twarde.mp3")).constData()),
                 0);
        QVERIFY(QDir().mkdir(wyjscie + QStringLiteral("/folder.mp3")));
        if (!projekt.isEmpty())
            QVERIFY(zapiszBajty(projekt, "<projekt/>"));
        ListaPozycji pozycje = {pozycja(pliki[0]), pozycja(pliki[1]), pozycja(pliki[2])};
        if (!dodatkowyWpis.isEmpty()) {
            if (rodzaj == u"plik")
                QVERIFY(zapiszBajty(dodatkowyWpis, plikAudio("spis", 100)));
            if (rodzaj == u"folder")
                QVERIFY(QDir().mkdir(dodatkowyWpis));
            if (rodzaj == u"fifo")
                QCOMPARE(::mkfifo(QFile::encodeName(dodatkowyWpis).constData(), 0600), 0);
            pozycje.insert(1, pozycja(dodatkowyWpis));
        }
        const auto przedWe = zawartoscFolderu(wejscie);
        const auto przedWy = zawartoscFolderu(wyjscie);
        Scalanie s(scalony, pozycje);
        s.zadanie.plikProjektu = projekt;
        QVERIFY(!s.zadanie.wykonaj());
        QCOMPARE(s.log.size(), 1);
        QVERIFY2(s.log.first().startsWith(QStringLiteral("Błąd: Nie można")),
                 qPrintable(s.log.first()));
        if (!rodzaj.isEmpty() && rodzaj != u"plik")
            QVERIFY2(s.log.first().contains(dodatkowyWpis), qPrintable(s.log.first()));
        QVERIFY(s.postep.isEmpty());
        QVERIFY(s.zadanie.odmowa());
        QCOMPARE(zawartoscFolderu(wejscie), przedWe);
        QCOMPARE(zawartoscFolderu(wyjscie), przedWy);
    }

    // An entry that changes while the merge reads it (it grows, a byte is
    // changed and its time set back, another file is saved in its place):
    // the merge fails naming it, and the earlier book stays.
    void entryChangedWhileRead_data() {
        QTest::addColumn<QString>("zmiana");
        QTest::newRow("grows") << u"rośnie"_s;
        QTest::newRow("same size, time set back") << u"bajt"_s;
        QTest::newRow("saved anew under its name") << u"nowy"_s;
    }
    void entryChangedWhileRead() {
        QFETCH(QString, zmiana);
        const QString scalony = wyjscie + QStringLiteral("/k.mp3");
        wczesniejszaKsiazka(scalony);
        const auto przed = zawartoscFolderu(wyjscie);
        const QString zmieniany = pliki[1];
        // The stand-in measure runs once the merge has opened the entry.
        Scalanie s(scalony, {pozycja(pliki[0]), pozycja(zmieniany), pozycja(pliki[2])},
                   [&](const QString& sciezka) {
                       if (sciezka == zmieniany) {
                           const QDateTime czas = QFileInfo(sciezka).lastModified();
                           QFile f(sciezka);
                           if (zmiana == u"nowy") {
                               const QString obok = sciezka + u".nowy"_s;
                               zapiszBajty(obok, plikAudio("inny", 300000));
                               QFile::remove(sciezka);
                               QFile::rename(obok, sciezka);
                           } else if (f.open(QIODevice::ReadWrite)) {
                               f.seek(zmiana == u"rośnie" ? f.size() : 1000);
                               f.write("zmiana");
                               if (zmiana == u"bajt")
                                   f.setFileTime(czas, QFileDevice::FileModificationTime);
                           }
                       }
                       return pomiarTestowy(sciezka);
                   });
        QVERIFY(!s.zadanie.wykonaj());
        QVERIFY2(s.zadanie.blad().contains(u"zmienił się podczas scalania"_s) &&
                     s.zadanie.blad().contains(zmieniany),
                 qPrintable(s.zadanie.blad()));
        sprawdzNieudane(s, przed, wyjscie);
    }

    // An entry that holds bytes which are no audio: one warning naming the
    // file and how many bytes were passed over, right after its first line.
    void warnsAboutSkippedBytes_data() {
        QTest::addColumn<int>("bajty");
        QTest::addColumn<QString>("ile");
        QTest::newRow("1") << 1 << QStringLiteral("1 bajt, który nie jest");
        QTest::newRow("3") << 3 << QStringLiteral("3 bajty, które nie są");
        QTest::newRow("14") << 14 << QStringLiteral("14 bajtów, które nie są");
        QTest::newRow("1024") << 1024 << QStringLiteral("1024 bajty, które nie są");
        QTest::newRow("4096") << 4096 << QStringLiteral("4096 bajtów, które nie są");
    }
    void warnsAboutSkippedBytes() {
        QFETCH(int, bajty);
        QFETCH(QString, ile);
        const QString zle = pliki[1];
        Scalanie s(wyjscie + QStringLiteral("/k.mp3"),
                   {pozycja(pliki[0]), pozycja(pliki[1]), pozycja(pliki[2])},
                   [&](const QString& sciezka) {
                       PomiarMp3 p = pomiarTestowy(sciezka);
                       p.pominieteBajty = sciezka == zle ? bajty : 0;
                       return p;
                   });
        QVERIFY(s.zadanie.wykonaj());
        const qsizetype i = s.log.indexOf(QStringLiteral("Trwa dodawanie pliku:: ") + zle);
        QCOMPARE(s.log.value(i + 1),
                 QStringLiteral("Uwaga: w pliku %1 pominięto %2 dźwiękiem MP3").arg(zle, ile));
        QCOMPARE(s.log.filter(QStringLiteral("Uwaga")).size(), 1);
    }

    // Temporary files that a killed merge of this book left are removed by
    // the next merge of it; other hidden files are not, nor are the files of
    // a merge of the book still running (its book file is locked).
    void removesLeftoversOfThisBook() {
        const QStringList pozostalosci = {
            QStringLiteral(".k.mp3.1x9z.tmp"), QStringLiteral(".k.dat.1x9z.tmp"),
            QStringLiteral(".k.log.1x9z.tmp"), QStringLiteral(".k.dat.q7.tmp")};
        QStringList obce = {
            QStringLiteral(".inna.mp3.1x9z.tmp"), QStringLiteral(".k.mp3.tmp"),
            QStringLiteral("k.mp3.1x9z.tmp"),     QStringLiteral(".k.mp3.1x9z.tmp.bak"),
            QStringLiteral(".k.mp3.ABC.tmp"),     QStringLiteral(".k.mp3.trwa.tmp"),
            QStringLiteral(".k.dat.trwa.tmp")};
        for (const QString& n : pozostalosci + obce)
            QVERIFY(zapiszBajty(wyjscie + QLatin1Char('/') + n, "stare"));
        // An entry named like a leftover is read, not removed.
        const QString wpis = wyjscie + QStringLiteral("/.k.mp3.wpis.tmp");
        QVERIFY(zapiszBajty(wpis, plikAudio("wpis", 1000)));
        obce << QFileInfo(wpis).fileName();
        QFile trwajacy(wyjscie + QStringLiteral("/.k.mp3.trwa.tmp"));
        QVERIFY(trwajacy.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(trwajacy.handle(), LOCK_EX | LOCK_NB), 0);

        Scalanie s(wyjscie + QStringLiteral("/k.mp3"), {pozycja(pliki[0]), pozycja(wpis)});
        QVERIFY2(s.zadanie.wykonaj(), qPrintable(s.zadanie.blad()));
        QStringList oczekiwane =
            obce +
            QStringList{QStringLiteral("k.dat"), QStringLiteral("k.log"), QStringLiteral("k.mp3")};
        oczekiwane.sort();
        QCOMPARE(zawartoscFolderu(wyjscie).keys(), oczekiwane);
    }

    // When the book cannot be put in place after its index files were, the
    // index files are swapped back: the earlier book stays whole.
    void commitIsAllOrNothing() {
        const QString scalony = wyjscie + QStringLiteral("/k.mp3");
        wczesniejszaKsiazka(scalony);
        Scalanie s(scalony, {pozycja(pliki[0]), pozycja(pliki[1])});
        QVERIFY(s.zadanie.SklejPliki());
        // Between the stages a folder takes the book's name.
        QVERIFY(QFile::remove(scalony));
        QVERIFY(QDir().mkdir(scalony));
        QVERIFY(zapiszBajty(scalony + QStringLiteral("/w środku"), "x"));
        auto przed = zawartoscFolderu(wyjscie);
        przed.removeIf([](auto it) { return it.key().endsWith(QStringLiteral(".tmp")); });
        QCOMPARE(przed.size(), 3);
        QVERIFY(!s.zadanie.UtworzIndeksy());
        sprawdzNieudane(s, przed, wyjscie);
        QCOMPARE(bajtyPliku(scalony + QStringLiteral("/w środku")), QByteArray("x"));
        QCOMPARE(bajtyPliku(wyjscie + QStringLiteral("/k.dat")), QByteArray("0\t1"));
    }

    // A target folder that takes no files, and one that fills up half way.
    void targetFolder_data() {
        QTest::addColumn<bool>("pelny");
        QTest::newRow("read-only") << false;
        QTest::newRow("full") << true;
    }
    void targetFolder() {
        QFETCH(bool, pelny);
        const QString folder = tmp.filePath(QStringLiteral("karta"));
        Tmpfs tmpfs(folder, QStringLiteral("size=1m"));
        if (!tmpfs.zamontowany) {
            if (pelny)
                QSKIP("a full disk is made with a tmpfs mount, which needs root");
            QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        }
        const QString scalony = folder + QStringLiteral("/k.mp3");
        if (tmpfs.zamontowany)
            wczesniejszaKsiazka(scalony);
        if (tmpfs.zamontowany && !pelny)
            QVERIFY(tmpfs.tylkoDoOdczytu());
        const auto przed = zawartoscFolderu(folder);
        // 2 MB of entries do not fit.
        QVERIFY(zapiszBajty(pliki[2], plikAudio("trzy", 2000000)));
        Scalanie s(scalony, {pozycja(pliki[0]), pozycja(pliki[1]), pozycja(pliki[2])});
        QVERIFY(!s.zadanie.wykonaj());
        sprawdzNieudane(s, przed, folder);
        QVERIFY2(s.zadanie.blad().startsWith(
                     pelny ? QStringLiteral("Nie można zapisać pliku ") + scalony
                           : QStringLiteral("Nie można utworzyć pliku ") + scalony),
                 qPrintable(s.zadanie.blad()));
        if (!tmpfs.zamontowany)
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
    }
    // A merge asked to stop at any of its checks, up to the moment the
    // finished files are put in place, ends "przerwane": its last log line
    // says so, and the target folder is exactly as before (earlier book kept,
    // no temporary file left).
    void stopAtEveryCheck() {
        const QString scalony = wyjscie + QStringLiteral("/k.mp3");
        wczesniejszaKsiazka(scalony);
        const auto przed = zawartoscFolderu(wyjscie);
        const ListaPozycji pozycje{pozycja(pliki[0]), pozycja(pliki[1]), pozycja(pliki[2])};
        int sprawdzenia = 0;
        {
            Scalanie s(scalony, pozycje);
            s.zadanie.przerwac = [&] { return ++sprawdzenia < 0; };
            QVERIFY(s.zadanie.wykonaj());
        }
        wczesniejszaKsiazka(scalony);
        QVERIFY(sprawdzenia >= 6); // each entry, each chunk, and stage 2's steps
        for (int n = 1; n <= sprawdzenia; ++n) {
            Scalanie s(scalony, pozycje);
            int k = 0;
            s.zadanie.przerwac = [&] { return ++k >= n; };
            QVERIFY(!s.zadanie.wykonaj());
            QVERIFY(s.zadanie.przerwane());
            QCOMPARE(s.log.last(), QStringLiteral("Scalanie przerwane"));
            QVERIFY(s.log.filter(QStringLiteral("Błąd")).isEmpty());
            QCOMPARE(zawartoscFolderu(wyjscie), przed);
        }
    }

    // Placed exactly, each bookmark's start and length are the blocks
    // nearest to the bytes where its frames lie in the book, as a walk of
    // the book's frames independent of the program's finds them:
    // tags and junk count in bytes but not in time, a start past an entry's
    // audio is placed at its end with a warning, an end past it at its end.
    // The average rate would miss by seconds where bit rates differ.
    void exactIndex_data() {
        QTest::addColumn<Ksiazka>("ksiazka");
        QTest::addColumn<int>("ostrzezenia");      // bookmarks that start past their audio
        QTest::addColumn<int>("bladDomyslnegoMs"); // the average rate misses by at least
        QTest::newRow("32 kbps then 320 kbps")
            << Ksiazka{{{{32, 20000}}, 12000, 3000}, {{{320, 20000}}, 10000, 3000}} << 0 << 4000;
        QTest::newRow("ID3 tags, junk inside, length 0, VBR")
            << Ksiazka{{{{64, 3000, true},
                         {0, 0, false, false, QByteArray(1000, '\0')},
                         {128, 3000}},
                        4000,
                        1500},
                       {{{128, 2000, true}}, 0, 0},
                       {{{1, 3000, true, true}}, 1000, 1000}}
            << 0 << 0;
        QTest::newRow("past the audio")
            << Ksiazka{{{{128, 2000}}, 5000, 1000}, {{{96, 1000}}, 500, 5000}} << 1 << 0;
        // The first 100 bytes of a 320 kbps frame: a header of the book's own
        // kind that promises more than is there.
        const QByteArray obciety = makeMp3Data({.durationMs = 100, .bitrateKbps = 320}).left(100);
        QTest::newRow("a frame cut short inside")
            << Ksiazka{{{{128, 3000}, {0, 0, false, false, obciety}, {128, 3000}}, 4000, 1500},
                       {{{96, 2000}, {0, 0, false, false, obciety}}, 500, 1000}}
            << 0 << 0;
    }

    // A hook sees the bytes of every frame before they are written and may
    // change them in place: here it sets each header's private bit. The
    // index, which depends on frame sizes only, stays the same.
    void frameHookChangesTheBook() {
        ListaPozycji pozycje;
        QByteArray oczekiwana;
        for (const int kbps : {128, 64}) {
            QByteArray mp3 = makeMp3Data({.durationMs = 2000, .bitrateKbps = kbps, .id3v2 = true});
            const QString sciezka = wejscie + QStringLiteral("/%1.mp3").arg(kbps);
            QVERIFY(zapiszBajty(sciezka, mp3));
            pozycje.append(pozycja(sciezka, QStringLiteral("100"), QStringLiteral("1000")));
            for (const Ramka& r : ramkiMp3(mp3))
                mp3[r.bajt + 2] = char(mp3[r.bajt + 2] | 1);
            oczekiwana += mp3;
        }
        QByteArray dat;
        for (const bool zHakiem : {false, true}) {
            const QString scalony = wyjscie + QStringLiteral("/k.mp3");
            Scalanie s(scalony, pozycje, miernikMp3());
            QList<int> wpisyRamek;
            if (zHakiem)
                s.zadanie.przeksztalcRamke = [&](int wpis, unsigned char* ramka, int) {
                    wpisyRamek.append(wpis);
                    ramka[2] |= 1;
                };
            QVERIFY2(s.zadanie.wykonaj(), qPrintable(s.zadanie.blad()));
            const QByteArray indeks = bajtyPliku(nazwaIndeksu(scalony, QStringLiteral("dat")));
            if (!zHakiem) {
                dat = indeks;
                continue;
            }
            QCOMPARE(bajtyPliku(scalony), oczekiwana);
            QCOMPARE(indeks, dat);
            QCOMPARE(wpisyRamek.count(0) + wpisyRamek.count(1), wpisyRamek.size());
            QVERIFY(wpisyRamek.count(0) > 0 && wpisyRamek.count(1) > 0);
        }
    }

    // The index is computed from the book's duration as the player
    // measures the book: a later entry's information frame plays inside
    // it, an ID3v1 tag inside an entry is no junk, and a frame cut short at
    // an entry's end is junk in the entry and in the book alike.
    void durationIsTheBooks_data() {
        QTest::addColumn<QByteArrayList>("wpisy");
        QTest::addColumn<int>("ostrzezen");
        const auto mp3 = [](int ms, int kbps, bool vbr) {
            return makeMp3Data(
                {.durationMs = ms, .bitrateKbps = kbps, .vbr = vbr, .id3v2 = true, .xing = vbr});
        };
        const QByteArray id3v1 = "TAG" + QByteArray(125, 'x');
        const QByteArray obciety = makeMp3Data({.durationMs = 100, .bitrateKbps = 320}).left(100);
        QTest::newRow("no information frames")
            << QByteArrayList{mp3(3000, 128, false), mp3(2000, 64, false), mp3(2500, 96, false)}
            << 0;
        QTest::newRow("each with an information frame")
            << QByteArrayList{mp3(3000, 0, true), mp3(2000, 0, true), mp3(2500, 0, true)} << 0;
        QTest::newRow("ID3v1 tags, an entry that is itself a book")
            << QByteArrayList{mp3(3000, 0, true) + id3v1,
                              mp3(2000, 64, false) + id3v1 + mp3(1000, 0, true) + id3v1,
                              mp3(2500, 96, false)}
            << 0;
        QTest::newRow("a frame cut short at an entry's end")
            << QByteArrayList{mp3(3000, 128, false) + obciety, mp3(2000, 0, true)} << 1;
    }
    void durationIsTheBooks() {
        QFETCH(QByteArrayList, wpisy);
        QFETCH(int, ostrzezen);
        ListaPozycji pozycje;
        QList<WpisIndeksu> indeks;
        for (const QByteArray& w : std::as_const(wpisy)) {
            const QString sciezka = wejscie + QStringLiteral("/%1.mp3").arg(pozycje.size());
            QVERIFY(zapiszBajty(sciezka, w));
            // A long bookmark: a few ms of the book's duration move its blocks.
            pozycje.append(pozycja(sciezka, QStringLiteral("100"), QStringLiteral("60000")));
            indeks.append({pozycje.last().Poczatek, pozycje.last().Dlugosc, w.size(), sciezka});
        }
        const QString scalony = wyjscie + QStringLiteral("/k.mp3");
        Scalanie s(scalony, pozycje, miernikMp3());
        s.zadanie.indeksSzacowany = true; // the estimate is what takes the duration
        QVERIFY2(s.zadanie.wykonaj(), qPrintable(s.zadanie.blad()));
        QCOMPARE(s.log.filter(QStringLiteral("pominięto")).size(), ostrzezen);
        QCOMPARE(bajtyPliku(nazwaIndeksu(scalony, QStringLiteral("dat"))),
                 trescDat(QFileInfo(scalony).size(), probeMp3(scalony).lengthMs, indeks));
    }
    void exactIndex() {
        QFETCH(Ksiazka, ksiazka);
        QFETCH(int, ostrzezenia);
        QFETCH(int, bladDomyslnegoMs);
        ListaPozycji pozycje;
        QList<Ramka> ramki;         // of the whole book
        QList<qint64> prawda[2];    // the bookmarks' start and end bytes in the book
        QList<qint64> czasZakladki; // when each bookmark starts in the book
        qint64 bajty = 0, czas = 0;
        for (const WpisKsiazki& w : ksiazka) {
            QByteArray plik;
            const qsizetype pierwsza = ramki.size();
            for (const Czesc& c : w.czesci) {
                const QByteArray dane = c.kbps ? makeMp3Data({.durationMs = c.ms,
                                                              .bitrateKbps = c.kbps,
                                                              .vbr = c.vbr,
                                                              .id3v2 = c.id3,
                                                              .xing = false})
                                               : c.smieci;
                for (const Ramka& r : ramkiMp3(c.kbps ? dane : QByteArray())) {
                    ramki.append(
                        {bajty + plik.size() + r.bajt, bajty + plik.size() + r.koniec, czas});
                    czas += kCzasRamki;
                }
                plik += dane;
            }
            const auto wlasne = QList<Ramka>(ramki.begin() + pierwsza, ramki.end());
            auto bajtW = [&](qint64 ms) {
                const qint64 t = wlasne.first().czas + ms * kNaMs;
                for (const Ramka& r : wlasne)
                    if (r.czas <= t && t < r.czas + kCzasRamki)
                        return r.bajt;
                return wlasne.last().koniec;
            };
            prawda[0].append(bajtW(w.poczatekMs));
            prawda[1].append(bajtW(w.poczatekMs + w.dlugoscMs));
            czasZakladki.append(std::min(wlasne.first().czas + w.poczatekMs * kNaMs, czas));
            const QString sciezka = wejscie + QStringLiteral("/%1.mp3").arg(pozycje.size());
            QVERIFY(zapiszBajty(sciezka, plik));
            // The program's walk finds the same bytes.
            const PolozenieZakladki z =
                miernikMp3()(sciezka).ramki.zakladka(w.poczatekMs, w.dlugoscMs);
            QCOMPARE(z.poczatek + bajty, prawda[0].last());
            QCOMPARE(z.koniec + bajty, prawda[1].last());
            pozycje.append(
                pozycja(sciezka, QString::number(w.poczatekMs), QString::number(w.dlugoscMs)));
            bajty += plik.size();
        }
        // How far from the bookmark the player starts at a block: at the
        // first frame from there on (for the average rate's miss).
        auto bladMs = [&](int blok, int i) {
            qint64 t = czas;
            for (const Ramka& r : std::as_const(ramki))
                if (r.bajt >= qint64{blok} * 512) {
                    t = r.czas;
                    break;
                }
            return qAbs(t - czasZakladki[i]) / double(kNaMs);
        };

        QList<int> bloki[2];
        QStringList logSzacowany;
        for (const bool dokladny : {true, false}) {
            const QString scalony =
                wyjscie + (dokladny ? QStringLiteral("/d.mp3") : QStringLiteral("/s.mp3"));
            Scalanie s(scalony, pozycje, miernikMp3());
            s.zadanie.indeksSzacowany = !dokladny;
            QVERIFY2(s.zadanie.wykonaj(), qPrintable(s.zadanie.blad()));
            QCOMPARE(s.log.filter(QStringLiteral("Uwaga: zakładka")).size(),
                     dokladny ? ostrzezenia : 0);
            if (!dokladny)
                logSzacowany = s.log.filter(QStringLiteral("Uwaga: indeks szacowany"));
            for (const QByteArray& wiersz :
                 bajtyPliku(nazwaIndeksu(scalony, QStringLiteral("dat"))).split('\n'))
                for (const QByteArray& liczba : wiersz.trimmed().split('\t'))
                    bloki[dokladny ? 0 : 1].append(liczba.toInt());
        }
        double najgorszyDomyslny = 0;
        for (int i = 0; i < pozycje.size(); ++i) {
            const int start = bloki[0][2 * i], dlugosc = bloki[0][2 * i + 1];
            // The block that holds the start frame's first byte, to the
            // block that holds the byte before the end frame.
            QCOMPARE(start, int(prawda[0][i] / 512));
            QCOMPARE(dlugosc, int((prawda[1][i] + 511) / 512) - start);
            // The estimate names the entries it puts more than a second off.
            const double blad = bladMs(bloki[1][2 * i], i);
            najgorszyDomyslny = std::max(najgorszyDomyslny, blad);
            const qsizetype nazwane =
                logSzacowany.filter(QStringLiteral("pozycji %1 (").arg(i + 1)).size();
            if (blad > 1300 || blad < 700)
                QVERIFY2(nazwane == (blad > 1000 ? 1 : 0),
                         qPrintable(QStringLiteral("%1: %2 ms").arg(i + 1).arg(blad)));
        }
        QVERIFY2(najgorszyDomyslny >= bladDomyslnegoMs,
                 qPrintable(QString::number(najgorszyDomyslny)));
    }
};

QTEST_GUILESS_MAIN(TestMergeJob)
#include "tst_mergejob.moc"
