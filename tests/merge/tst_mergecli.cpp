// sonvek-merge end to end on real MP3 files: the book, the index files and
// the printed log, entries with bytes that are no audio, the failures and
// the signals that end it, with nothing lost.
#include "audio/Mp3Probe.h"
#include "base/Text.h"
#include "merge/IndexFile.h"
#include "merge/Miernik.h"
#include "project/ProjectFile.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"
#include "support/Podpiecie.h"
#include "support/RunTool.h"
#include "support/Speech.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <csignal>
#include <numeric>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace Qt::StringLiterals;

namespace {

Mp3Format ton(int ms, int rate = 44100, int channels = 1, bool vbr = false) {
    Mp3Format s;
    s.durationMs = ms;
    s.sampleRate = rate;
    s.channels = channels;
    s.vbr = vbr;
    s.id3v2 = true;
    s.xing = vbr;
    return s;
}

QString programScalania() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../src/sonvek-merge");
}

Wynik uruchom(const QStringList& argumenty) {
    return uruchomNarzedzie(QStringLiteral("sonvek-merge"), argumenty);
}

// sonvek-merge allowed to write files of 4 KB at most (ulimit -f). The
// program itself ignores SIGXFSZ, so a longer write fails with EFBIG.
Wynik uruchomZLimitem(const QStringList& argumenty) {
    return uruchomNarzedzie(QStringLiteral("sonvek-merge"), argumenty,
                            QStringLiteral("ulimit -f 8"));
}

// The numbers of a .dat file, in order.
QList<int> liczby(const QByteArray& dat) {
    QList<int> wynik;
    for (const QByteArray& wiersz : dat.split('\n'))
        for (const QByteArray& pole : wiersz.trimmed().split('\t'))
            wynik.append(pole.toInt());
    return wynik;
}

// An entry for the books judged by other tools: a voice-like tone, 400 ms of
// silence, then at `znakMs` a short high tone (the mark a bookmark points
// at), a pause and the voice again. `glosnosc` scales the voice.
struct WpisOceniany {
    Mp3Format format;
    int ms = 3000, znakMs = 1500;
    double glosnosc = 0.1;
    int tagKb = 0; // a large ID3v2 tag in front (a cover's room)
    // Quiet speech from the mark on after a short loud chime, instead of the
    // tone: the chapter's level is its speech's.
    bool mowa = false;
};

QByteArray wpisOceniany(const WpisOceniany& w) {
    const int hz = w.format.sampleRate;
    std::vector<short> p(size_t(qint64(hz) * w.ms / 1000));
    const size_t znak = size_t(qint64(hz) * w.znakMs / 1000);
    for (size_t i = 0; i < p.size(); ++i) {
        const double t = double(i) / hz;
        if (i + size_t(hz) * 2 / 5 >= znak && i < znak + size_t(hz) * 3 / 5 &&
            !(i >= znak && i < znak + size_t(hz) * 3 / 20))
            continue; // silence around the mark
        const double a = i >= znak && i < znak + size_t(hz) * 3 / 20
                             ? 0.2 * std::sin(2 * M_PI * 3000 * t)
                             : w.glosnosc * std::sin(2 * M_PI * 230 * t) *
                                   (0.6 + 0.4 * std::sin(2 * M_PI * 4 * t));
        p[i] = short(32767 * a);
    }
    if (w.mowa) {
        static const std::vector<short> mowa = speak(
            u"Rozdział drugi. Pan Tomasz wyszedł z domu wcześnie rano i szedł powoli przez park, "
            u"patrząc na drzewa."_s);
        Q_ASSERT(hz == kSpeechRate);
        p.assign(znak + mowa.size(), 0);
        for (size_t i = 0; i < size_t(hz) * 3 / 5; ++i)
            p[i] = short(32767 * 0.11 * std::sin(2 * M_PI * 1000 * double(i) / hz));
        for (size_t i = 0; i < mowa.size(); ++i)
            p[znak + i] = short(mowa[i] / 10);
    }
    QByteArray tag;
    if (w.tagKb > 0) {
        const int n = w.tagKb * 1024;
        tag = QByteArray("ID3\x03\x00\x00", 6);
        for (const int b : {21, 14, 7, 0})
            tag.append(char((n >> b) & 0x7F));
        tag.append(QByteArray(n, '\0'));
    }
    return tag + makeMp3Data(w.format, p);
}

} // namespace

using WpisyOceniane = QList<WpisOceniany>;
Q_DECLARE_METATYPE(WpisOceniany)

class TestMergeCli : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString nagrania, magazyn, projekt;
    ListaPozycji pozycje;

    void dodaj(const QString& nazwa, const Mp3Format& fmt, const char* poczatek = "0",
               const char* dlugosc = "5000") {
        makeMp3(nagrania + nazwa, fmt);
        pozycje.append({QString::number(pozycje.size() + 1), nazwa, QString::fromLatin1(poczatek),
                        QString::fromLatin1(dlugosc), nagrania});
    }
    QStringList logUdany(const QString& scalony, const QString& ostrzezenie = {}) const {
        QStringList log{QStringLiteral("Zapisywanie projektu do pliku ") + scalony};
        for (const PozycjaProjektu& p : pozycje)
            log << QStringLiteral("Trwa dodawanie pliku:: ") + p.sciezka()
                << QStringLiteral("Dodawanie pliku zakończone powodzeniem");
        if (!ostrzezenie.isEmpty())
            log << ostrzezenie;
        return log << QStringLiteral("Sklejanie zakonczone powodzeniem")
                   << QStringLiteral("Tworzenie plików z indeksami zakończone powodzeniem")
                   << QStringLiteral("Scalanie plików zakończone powodzeniem");
    }

private slots:
    void init() {
        QDir(tmp.path()).removeRecursively();
        nagrania = tmp.filePath(QStringLiteral("nagrania/"));
        magazyn = tmp.filePath(QStringLiteral("Magazyn"));
        projekt = tmp.filePath(QStringLiteral("projekt.xml"));
        QVERIFY(QDir().mkpath(nagrania));
        QVERIFY(QDir().mkpath(magazyn));
        pozycje.clear();
    }

    // VBR parts with their own Xing headers: the book is measured frame by
    // frame, so its duration is the sum of the parts, not what the first
    // part's header says. Each bookmark is placed on the frames of its part
    // (as --dokladny-indeks asks too); with --indeks-szacowany it is
    // estimated from the average rate.
    void mergesProject_data() {
        QTest::addColumn<QStringList>("opcje");
        QTest::newRow("exact index") << QStringList();
        QTest::newRow("exact index asked for") << QStringList{QStringLiteral("--dokladny-indeks")};
        QTest::newRow("average rate") << QStringList{QStringLiteral("--indeks-szacowany")};
    }
    void mergesProject() {
        QFETCH(QStringList, opcje);
        dodaj(QStringLiteral("rozdział 1.mp3"), ton(3000, 44100, 2, true), "500", "2000");
        dodaj(QStringLiteral("rozdział 2.mp3"), ton(1500, 44100, 2, true), "0", "1500");
        dodaj(QStringLiteral("rozdział 3.mp3"), ton(2200, 44100, 2, true), "100", "$3E8");
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + QStringLiteral("/Książka.mp3");

        const Wynik w = uruchom(opcje + QStringList{projekt, scalony});
        QCOMPARE(w.bledy, QString());
        QCOMPARE(w.kod, 0);
        QCOMPARE(w.wyjscie, logUdany(scalony));

        QStringList czesci;
        QList<WpisIndeksu> wpisy;
        std::int64_t sumaCzesci = 0;
        for (const PozycjaProjektu& p : std::as_const(pozycje)) {
            czesci << p.sciezka();
            wpisy.append({p.Poczatek, p.Dlugosc, QFileInfo(p.sciezka()).size(), {}});
            sumaCzesci += probeMp3(p.sciezka()).lengthMs;
            if (!opcje.contains(u"--indeks-szacowany"_s)) {
                const PomiarMp3 pomiar = miernikMp3()(p.sciezka());
                wpisy.last().dokladnie = pomiar.ramki.zakladka(
                    StrToInt(p.Poczatek), StrToInt(p.Dlugosc), pomiar.opoznienie);
            }
        }
        // The parts byte for byte, but for the first part's header, which
        // now tells of the whole book.
        const QByteArray ksiazka = bajtyPliku(scalony);
        const QByteArray razem =
            bajtyPliku(joinFiles(tmp.filePath(QStringLiteral("razem.mp3")), czesci));
        QCOMPARE(ksiazka.size(), razem.size());
        QCOMPARE(ksiazka.mid(2000), razem.mid(2000));
        const std::int64_t czas = probeMp3(scalony).lengthMs;
        QVERIFY2(qAbs(czas - sumaCzesci) < 3 * 27, qPrintable(QString::number(czas)));
        QCOMPARE(bajtyPliku(magazyn + QStringLiteral("/Książka.dat")),
                 trescDat(ksiazka.size(), czas, wpisy));
        QCOMPARE(bajtyPliku(magazyn + QStringLiteral("/Książka.log")),
                 QByteArray("0000000 0000000"));
        QCOMPARE(zawartoscFolderu(magazyn).size(), 3);
        for (const QString& opcja : std::as_const(opcje))
            QVERIFY(uruchom({QStringLiteral("--help")}).wyjscie.contains(u"  "_s + opcja));
    }

    // Parts of another sample rate, MPEG version or channel count: every
    // one named with how it differs, and the merge goes on.
    void warnsAboutFormat() {
        dodaj(QStringLiteral("a.mp3"), ton(1000, 44100, 1));
        dodaj(QStringLiteral("b.mp3"), ton(1000, 44100, 1));
        dodaj(QStringLiteral("c.mp3"), ton(1000, 22050, 1));
        dodaj(QStringLiteral("d.mp3"), ton(1000, 44100, 2));
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + QStringLiteral("/k.mp3");
        const Wynik w = uruchom({projekt, scalony});
        QCOMPARE(w.kod, 0);
        const QStringList uwagi = w.wyjscie.mid(9, 3);
        QCOMPARE(
            uwagi,
            (QStringList{u"Uwaga: pliki w innym formacie dźwięku niż pierwszy plik (MPEG-1 "
                         u"Layer III, 44100 Hz, 1 kanał): 2; odtwarzacz może w tych miejscach "
                         u"książki zatrzymać się albo grać za szybko lub za wolno"_s,
                         u"Uwaga: plik %1c.mp3 (pozycja 3): częstotliwość: 22050 Hz zamiast "
                         u"44100 Hz, wersja: MPEG-2 zamiast MPEG-1"_s.arg(nagrania),
                         u"Uwaga: plik %1d.mp3 (pozycja 4): kanały: 2 zamiast 1"_s.arg(nagrania)}));
        QStringList oczekiwany = logUdany(scalony);
        for (int i = 0; i < 3; ++i)
            oczekiwany.insert(9 + i, uwagi.at(i));
        QCOMPARE(w.wyjscie, oczekiwany);
    }

    // Varied books made by the encoder and judged only by other tools, with
    // the default settings: where ffmpeg's decode of the book starts from
    // each bookmark's block (the first frame from there on, as a player
    // jumping there meets it) against where it hears the mark the
    // bookmark points at: never after it, and from the next block on
    // after it (the bookmark within one block); no block start goes back; the book's length as
    // mediainfo, GStreamer, mutagen and ffprobe report it within 0.1 s of
    // the decode; mp3val finds nothing wrong with its header; levelled,
    // every entry within 1 LU of the target (ffmpeg's meter; a chapter of
    // speech after a loud chime from its speech on) unless its log line
    // says its peak held it back.
    void booksAsOtherPlayersHearThem_data() {
        QTest::addColumn<WpisyOceniane>("wpisy");
        QTest::addColumn<double>("cel"); // 0: not levelled
        QTest::newRow("44.1 kHz, 32 to 192 kbit/s and VBR, covers, CRC")
            << WpisyOceniane{{formatLame(44100, 2, 128), 2600, 1400, 0.1, 8},
                             {formatLame(44100, 2, 32), 3000, 2200},
                             {formatLame(44100, 2, 192, false, true), 2400, 900, 0.1, 2},
                             {formatLame(44100, 2, 0, true), 3200, 2500, 0.1, 6}}
            << 0.0;
        QTest::newRow("22.05 kHz, mono and stereo, levelled")
            << WpisyOceniane{{formatLame(22050, 1, 0, true), 3000, 1700, 0.03},
                             {formatLame(22050, 2, 64), 2800, 1200, 0.3},
                             {formatLame(22050, 2, 0, true), 2500, 1100, 0.1, 8},
                             {formatLame(22050, 1, 32, false, true), 3100, 2000, 0.01, 2},
                             {formatLame(22050, 1, 48), 0, 1000, 0, 0, true}}
            << -20.0;
    }
    void booksAsOtherPlayersHearThem() {
        QFETCH(WpisyOceniane, wpisy);
        QFETCH(double, cel);
        if (QStandardPaths::findExecutable(u"ffmpeg"_s).isEmpty() ||
            QStandardPaths::findExecutable(u"ffprobe"_s).isEmpty())
            QSKIP("ffmpeg is not installed");
        QList<qint64> rozmiary;
        qint64 znaczniki = 0, razem = 0;
        for (const WpisOceniany& w : std::as_const(wpisy)) {
            znaczniki += w.tagKb * 1024;
            const QString nazwa = u"w%1.mp3"_s.arg(pozycje.size());
            const QByteArray dane = wpisOceniany(w);
            QVERIFY(zapiszBajty(nagrania + nazwa, dane));
            rozmiary.append(dane.size());
            razem += dane.size();
            // The bookmark where the mark is heard in the file alone, as the
            // user sets it by ear: after the encoder's delay where no header
            // tells a decoder to leave it out.
            const auto sam = poczatekDzwieku(nagrania + nazwa, w.znakMs / 1000.0 - 0.3, 0.6);
            QVERIFY(sam);
            pozycje.append({QString::number(pozycje.size() + 1), nazwa,
                            QString::number(qRound(*sam * 1000)), u"1000"_s, nagrania});
        }
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + u"/k.mp3"_s;
        QStringList opcje{projekt, scalony};
        if (cel != 0)
            opcje.prepend(u"--wyrownaj-glosnosc=%1"_s.arg(cel));
        const Wynik w = uruchom(opcje);
        QCOMPARE(w.kod, 0);

        QList<int> bloki;
        for (const QByteArray& wiersz : bajtyPliku(magazyn + u"/k.dat"_s).split('\n'))
            bloki.append(wiersz.split('\t').value(0).trimmed().toInt());
        qint64 od = 0;
        for (int i = 0; i < wpisy.size(); ++i) {
            if (i > 0)
                QVERIFY(bloki[i] >= bloki[i - 1]);
            const double wpis = *czasOdBajtu(scalony, od);
            const auto slychac =
                poczatekDzwieku(scalony, wpis + pozycje[i].Poczatek.toInt() / 1000.0 - 0.3, 0.6);
            // The block holds the frame that plays the mark: the first frame
            // from it on starts no later, and the first from the next block
            // on, after the mark.
            const auto skok = czasOdBajtu(scalony, qint64(bloki[i]) * 512);
            const auto dalej = czasOdBajtu(scalony, qint64(bloki[i] + 1) * 512);
            QVERIFY(slychac && skok && dalej);
            QVERIFY2(*skok <= *slychac + 0.005 && *dalej > *slychac - 0.005,
                     qPrintable(u"entry %1: heard at %2 s, the block starts at %3 s, the next at "
                                u"%4 s"_s.arg(i + 1)
                                    .arg(*slychac)
                                    .arg(*skok)
                                    .arg(*dalej)));
            od += rozmiary[i];
        }

        // The length is judged against ffmpeg's decode of the book without
        // the tags the test put in front of entries: at each tag inside a
        // stream its decoder drops a frame.
        QByteArray bezZnacznikow = bajtyPliku(scalony);
        for (int i = int(wpisy.size()) - 1; i >= 0; --i)
            if (wpisy[i].tagKb > 0)
                bezZnacznikow.remove(
                    std::accumulate(rozmiary.cbegin(), rozmiary.cbegin() + i, qint64(0)),
                    wpisy[i].tagKb * 1024 + 10);
        QVERIFY(zapiszBajty(tmp.filePath(u"bez.mp3"_s), bezZnacznikow));
        const std::optional<double> dekodowana = dlugoscDekodowana(tmp.filePath(u"bez.mp3"_s));
        QVERIFY(dekodowana);
        // ffprobe takes a file more than a sixteenth larger than its header's
        // byte count (tags inside) for one joined after the header was
        // written, and falls back on the bit rate: the mid-book tags the
        // player's book keeps. Within 0.1 s beyond the two frames' time it
        // leaves in for the delay and padding even of a single file.
        QMap<QString, double> dlugosci = dlugosciCzytnikow(scalony);
        if (znaczniki > (razem - znaczniki) / 16)
            dlugosci.remove(u"ffprobe"_s);
        for (auto it = dlugosci.cbegin(); it != dlugosci.cend(); ++it)
            QVERIFY2(
                std::fabs(it.value() - *dekodowana) <= 0.1,
                qPrintable(
                    u"%1: %2 s, decoded %3 s"_s.arg(it.key()).arg(it.value()).arg(*dekodowana)));
        const QString xing = ostrzezeniaXing(scalony);
        QVERIFY2(xing.isEmpty(), qPrintable(xing));

        if (cel == 0)
            return;
        const QByteArray ksiazka = bajtyPliku(scalony);
        od = 0;
        for (int i = 0; i < wpisy.size(); ++i) {
            const QString czesc = tmp.filePath(u"czesc.mp3"_s);
            QVERIFY(zapiszBajty(czesc, ksiazka.mid(od, rozmiary[i])));
            od += rozmiary[i];
            const auto g = ffmpegGlosnosc(czesc, wpisy[i].mowa ? wpisy[i].znakMs / 1000.0 : 0);
            QVERIFY(g);
            const QString linia = w.wyjscie.filter(u"plik %1"_s.arg(pozycje[i].sciezka())).value(0);
            QVERIFY2(std::fabs(g->first - cel) <= 1.0 || linia.contains(u"szczyt przekroczyłby"_s),
                     qPrintable(u"%1 LUFS: %2"_s.arg(g->first).arg(linia)));
        }
    }

    // Bytes that are no audio inside an entry, between its frames and after
    // them: a warning names the file and the bytes passed over, and the
    // index agrees with one computed from the duration LAME's own decoder
    // gives for the audio parts.
    void junkInsideAnEntry_data() {
        QTest::addColumn<QByteArray>("srodek");
        QTest::addColumn<QByteArray>("koniec");
        QTest::newRow("zeros between, random after")
            << QByteArray(1024, '\0') << randomBytes(4096, 3);
        QTest::newRow("a WAV file between") << makeWavData(400) << QByteArray();
    }
    void junkInsideAnEntry() {
        QFETCH(QByteArray, srodek);
        QFETCH(QByteArray, koniec);
        QStringList czesci;
        for (const int ms : {1500, 1200, 1300, 1000})
            czesci << makeMp3(tmp.filePath(QStringLiteral("część%1.mp3").arg(czesci.size())), [ms] {
                Mp3Format s = ton(ms);
                s.id3v2 = false;
                return s;
            }());
        QVERIFY(zapiszBajty(nagrania + QStringLiteral("a.mp3"), bajtyPliku(czesci[0])));
        QVERIFY(zapiszBajty(nagrania + QStringLiteral("b.mp3"),
                            bajtyPliku(czesci[1]) + srodek + bajtyPliku(czesci[2]) + koniec));
        QVERIFY(zapiszBajty(nagrania + QStringLiteral("c.mp3"), bajtyPliku(czesci[3])));
        const char* zakladki[3][2] = {{"0", "1000"}, {"1500", "800"}, {"200", "500"}};
        for (int i = 0; i < 3; ++i)
            pozycje.append({QString::number(i + 1), QStringLiteral("%1.mp3").arg(QChar(u'a' + i)),
                            QString::fromLatin1(zakladki[i][0]),
                            QString::fromLatin1(zakladki[i][1]), nagrania});
        zapiszPlikProjektu(projekt, pozycje);
        const QString scalony = magazyn + QStringLiteral("/k.mp3");

        const Wynik w = uruchom({u"--indeks-szacowany"_s, projekt, scalony});
        QCOMPARE(w.kod, 0);
        const QString b = pozycje[1].sciezka();
        const qsizetype i = w.wyjscie.indexOf(QStringLiteral("Trwa dodawanie pliku:: ") + b);
        QVERIFY(w.wyjscie.value(i + 1).startsWith(QStringLiteral("Uwaga: w pliku %1 pominięto %2 ")
                                                      .arg(b)
                                                      .arg(srodek.size() + koniec.size())));
        QCOMPARE(w.wyjscie.filter(QStringLiteral("Uwaga: w pliku")).size(), 1);

        double zdekodowane = 0;
        for (const QString& c : std::as_const(czesci))
            zdekodowane += decodeMp3(c).lengthMs;
        QList<WpisIndeksu> wpisy;
        for (const PozycjaProjektu& p : std::as_const(pozycje))
            wpisy.append({p.Poczatek, p.Dlugosc, QFileInfo(p.sciezka()).size(), {}});
        const QByteArray oczekiwane =
            trescDat(QFileInfo(scalony).size(), std::llround(zdekodowane), wpisy);
        const QByteArray zapisane = bajtyPliku(magazyn + QStringLiteral("/k.dat"));
        const QList<int> x = liczby(zapisane), y = liczby(oczekiwane);
        QCOMPARE(x.size(), y.size());
        for (qsizetype k = 0; k < x.size(); ++k)
            QVERIFY2(qAbs(x[k] - y[k]) <= 1, (zapisane + " / " + oczekiwane).constData());
    }

    // Ended by a signal while the book is being written, sonvek-merge
    // leaves no temporary file and the earlier book as it was. Its log goes
    // into a pipe that nobody reads, so the merge is still running (waiting
    // to write) when the signal comes; SIGPIPE comes when the reading end
    // is closed, as when the output is piped into "head -1".
    void signalLeavesNoTemporaryFile_data() {
        QTest::addColumn<int>("sygnal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGPIPE") << SIGPIPE;
    }
    void signalLeavesNoTemporaryFile() {
        QFETCH(int, sygnal);
        dodaj(QStringLiteral("a.mp3"), ton(300));
        for (int i = 0; i < 20000; ++i)
            pozycje.append(pozycje.first());
        zapiszPlikProjektu(projekt, pozycje);
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.mp3"), "stara"));
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.dat"), "0\t1"));
        const auto przed = zawartoscFolderu(magazyn);

        int rura[2];
        QCOMPARE(::pipe(rura), 0);
        posix_spawn_file_actions_t akcje;
        posix_spawn_file_actions_init(&akcje);
        posix_spawn_file_actions_adddup2(&akcje, rura[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&akcje, rura[0]);
        posix_spawn_file_actions_addclose(&akcje, rura[1]);
        const QByteArray program = QFile::encodeName(programScalania());
        const QByteArray a1 = QFile::encodeName(projekt);
        const QByteArray a2 = QFile::encodeName(magazyn + QStringLiteral("/k.mp3"));
        char* argv[] = {const_cast<char*>(program.constData()), const_cast<char*>(a1.constData()),
                        const_cast<char*>(a2.constData()), nullptr};
        pid_t pid = 0;
        const int blad = posix_spawn(&pid, program.constData(), &akcje, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&akcje);
        ::close(rura[1]);
        QCOMPARE(blad, 0);
        auto tymczasowe = [&] {
            return QStringList(zawartoscFolderu(magazyn).keys()).filter(QStringLiteral(".tmp"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(!tymczasowe().isEmpty(), 60000);
        if (sygnal == SIGPIPE)
            ::close(rura[0]);
        else
            ::kill(pid, sygnal);
        int stan = 0;
        QCOMPARE(::waitpid(pid, &stan, 0), pid);
        if (sygnal != SIGPIPE)
            ::close(rura[0]);
        QVERIFY(WIFSIGNALED(stan));
        QCOMPARE(WTERMSIG(stan), sygnal);
        QCOMPARE(tymczasowe(), QStringList());
        QCOMPARE(zawartoscFolderu(magazyn), przed);
    }

    // Failures: non-zero status, the reason on the standard error output,
    // and the earlier book with its index files as they were.
    void failures_data() {
        QTest::addColumn<QString>("przypadek");
        QTest::addColumn<int>("kod");
        QTest::addColumn<QString>("blad");
        QTest::newRow("missing entries") << QStringLiteral("brak") << 1
                                         << QStringLiteral("Nie odnaleziono następujących plików");
        QTest::newRow("not MP3") << QStringLiteral("tekst") << 1 << QStringLiteral("Błąd: Plik ");
        QTest::newRow("WAV file as an entry")
            << QStringLiteral("wav") << 1 << QStringLiteral("nie jest plikiem dźwiękowym MP3");
        QTest::newRow("entry without its length")
            << QStringLiteral("niepelny") << 1
            << QStringLiteral("wpis 2 nie ma elementu „dlugosc” albo jest on pusty");
        QTest::newRow("book is the project file")
            << QStringLiteral("projekt") << 1 << QStringLiteral("to plik projektu");
        QTest::newRow("FIFO entry") << QStringLiteral("fifo") << 1
                                    << QStringLiteral("to jest potok (FIFO), a nie zwykły plik");
        QTest::newRow("bookmark not a number")
            << QStringLiteral("zakladka") << 1
            << QStringLiteral("Błąd: 'abc' is not a valid integer value");
        QTest::newRow("book is an entry")
            << QStringLiteral("wpis") << 1 << QStringLiteral("Błąd: Nie można scalić plików do ");
        QTest::newRow("book is the project file through a bind mount")
            << QStringLiteral("projekt przez alias") << 1 << QStringLiteral("to plik projektu");
        QTest::newRow("file size limit")
            << QStringLiteral("ulimit") << 1
            << QStringLiteral("Błąd: Nie można zapisać pliku %1/k.mp3: plik przekroczyłby ");
        QTest::newRow("not a project") << QStringLiteral("korzen") << 1
                                       << QStringLiteral("Nieprawidlowy plik z danymi o projekcie");
        QTest::newRow("no project file")
            << QStringLiteral("bez pliku") << 1 << QStringLiteral("Błąd: ");
        QTest::newRow("not XML: the reason in Polish, as in the window")
            << QStringLiteral("xml") << 1 << QStringLiteral("Niezgodne tagi początku i końca");
        QTest::newRow("wrong arguments")
            << QStringLiteral("argumenty") << 2 << QStringLiteral("Użycie: sonvek-merge");
        QTest::newRow("levelling target that is no loudness")
            << QStringLiteral("cel") << 2 << QStringLiteral("głośność docelowa \u201e-3\u201d");
    }
    void failures() {
        QFETCH(QString, przypadek);
        QFETCH(int, kod);
        QFETCH(QString, blad);
        dodaj(QStringLiteral("a.mp3"), ton(500));
        dodaj(QStringLiteral("b.mp3"), ton(500));
        dodaj(QStringLiteral("c.mp3"), ton(500));
        blad.replace(QStringLiteral("%1"), magazyn);
        QString scalony = magazyn + QStringLiteral("/k.mp3");
        QVERIFY(zapiszBajty(scalony, "stara"));
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.dat"), "0\t1"));
        QVERIFY(zapiszBajty(magazyn + QStringLiteral("/k.log"), "0000000 0000000"));
        QStringList argumenty{projekt, scalony};
        if (przypadek == QLatin1String("brak")) {
            QFile::remove(pozycje[0].sciezka());
            QFile::remove(pozycje[2].sciezka());
        }
        if (przypadek == QLatin1String("tekst"))
            QVERIFY(zapiszBajty(pozycje[1].sciezka(), "To nie jest dźwięk."));
        if (przypadek == QLatin1String("wav"))
            QVERIFY(zapiszBajty(pozycje[1].sciezka(), makeWavData(500)));
        if (przypadek == QLatin1String("niepelny"))
            pozycje[1].Dlugosc.clear();
        if (przypadek == QLatin1String("projekt"))
            argumenty[1] = projekt;
        if (przypadek == QLatin1String("fifo")) {
            QVERIFY(QFile::remove(pozycje[2].sciezka()));
            QCOMPARE(::mkfifo(QFile::encodeName(pozycje[2].sciezka()).constData(), 0600), 0);
        }
        if (przypadek == QLatin1String("zakladka"))
            pozycje[2].Dlugosc = QStringLiteral("abc");
        if (przypadek == QLatin1String("wpis"))
            argumenty[1] = pozycje[1].sciezka();
        QTemporaryDir alias;
        std::optional<Podpiecie> podpiecie;
        if (przypadek == QLatin1String("projekt przez alias")) {
            podpiecie.emplace(tmp.path(), alias.path());
            if (!podpiecie->zamontowany)
                QSKIP("a bind mount needs root");
            argumenty[1] = alias.filePath(QFileInfo(projekt).fileName());
        }
        zapiszPlikProjektu(projekt, pozycje);
        if (przypadek == QLatin1String("korzen"))
            QVERIFY(zapiszBajty(projekt, "<?xml version=\"1.0\"?><project></project>"));
        if (przypadek == QLatin1String("xml"))
            QVERIFY(zapiszBajty(projekt, "<?xml version=\"1.0\"?><projekt><p1></p2></projekt>"));
        if (przypadek == QLatin1String("bez pliku"))
            argumenty[0] = tmp.filePath(QStringLiteral("brak.xml"));
        if (przypadek == QLatin1String("argumenty"))
            argumenty.removeLast();
        if (przypadek == QLatin1String("cel"))
            argumenty.prepend(QStringLiteral("--wyrownaj-glosnosc=-3"));
        const auto przedMagazyn = zawartoscFolderu(magazyn);
        const auto przedNagrania = zawartoscFolderu(nagrania);
        const QByteArray przedProjekt = bajtyPliku(projekt);

        const Wynik w = przypadek == u"ulimit" ? uruchomZLimitem(argumenty) : uruchom(argumenty);
        QCOMPARE(w.kod, kod);
        QVERIFY2(w.bledy.contains(blad), qPrintable(w.bledy));
        QVERIFY(!w.wyjscie.contains(QStringLiteral("Scalanie plików zakończone powodzeniem")));
        QCOMPARE(zawartoscFolderu(magazyn), przedMagazyn);
        QCOMPARE(zawartoscFolderu(nagrania), przedNagrania);
        QCOMPARE(bajtyPliku(projekt), przedProjekt);
        // Refused before a byte is copied.
        if (przypadek == u"niepelny" || przypadek == u"projekt" || przypadek == u"fifo")
            QCOMPARE(w.wyjscie.filter(QStringLiteral("Trwa dodawanie")), QStringList());
        if (przypadek == QLatin1String("brak")) {
            QVERIFY(w.bledy.contains(pozycje[0].sciezka()));
            QVERIFY(w.bledy.contains(pozycje[2].sciezka()));
            QVERIFY(!w.bledy.contains(pozycje[1].sciezka()));
        }
    }
};

QTEST_GUILESS_MAIN(TestMergeCli)
#include "tst_mergecli.moc"
