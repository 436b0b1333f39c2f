// The import of books made here by other tools (ffmpeg for the audio, the
// DAISY, NCX and cue texts written by hand), judged by readers that share
// no code with the program: ffmpeg and ffprobe (titles, lengths as gapless
// players decode them, decoding errors) and mpg123 (lengths as the
// program's player and the merge play them, every frame).

#include "import/ImportKsiazki.h"
#include "project/ProjectFile.h"
#include "support/FileBytes.h"
#include "support/FolderContents.h"
#include "support/RunTool.h"
#include "support/Tmpfs.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int kRate = 44100;
// Where a sample the encoder took at time t is heard by a decoder that
// plays every frame: LAME's delay and the decoder's (1105 samples).
constexpr double kOpoznienie = 1105.0 / kRate;

bool jest(const char* narzedzie) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(narzedzie)).isEmpty();
}

QByteArray uruchom(const QString& program, const QStringList& argumenty,
                   QByteArray* bledy = nullptr) {
    QProcess p;
    p.start(program, argumenty);
    p.waitForFinished(120000);
    if (bledy)
        *bledy = p.readAllStandardError();
    return p.exitCode() == 0 ? p.readAllStandardOutput() : QByteArray();
}

// A tone of amplitude 0.5 for each announcement and a softer one for the
// text after it: the signal of a chapter that starts at `s` seconds.
QString rozdzial(double s, double przerwa = 0) {
    const double a = s + przerwa;
    return u"0.5*sin(2*PI*%1*t)*between(t,%2,%3)+0.15*sin(2*PI*220*t)*between(t,%4,%5)"_s
        .arg(440 + int(s * 50))
        .arg(a)
        .arg(a + 0.5)
        .arg(a + 0.7)
        .arg(a + 1.8);
}

// Makes an audio file of `sekundy` with chapters starting at `poczatki`
// (the first after a pause of 0.3 s) and ffmpeg's `kodek` arguments.
void zrob(const QString& plik, double sekundy, const QList<double>& poczatki,
          const QStringList& kodek, const QStringList& wejscia = {}) {
    QStringList czesci;
    for (qsizetype i = 0; i < poczatki.size(); ++i)
        czesci << rozdzial(poczatki.at(i), i == 0 ? 0.3 : 0);
    QStringList args{u"-v"_s,
                     u"error"_s,
                     u"-y"_s,
                     u"-f"_s,
                     u"lavfi"_s,
                     u"-i"_s,
                     u"aevalsrc='%1':s=%2:d=%3"_s.arg(czesci.join(u'+')).arg(kRate).arg(sekundy)};
    args << wejscia << kodek << plik;
    QProcess p;
    p.start(u"ffmpeg"_s, args);
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
}

// MP3 frames and nothing else: no tag, no information frame.
const QStringList kMp3{u"-ac"_s, u"1"_s,           u"-c:a"_s, u"libmp3lame"_s,     u"-b:a"_s,
                       u"64k"_s, u"-write_xing"_s, u"0"_s,    u"-id3v2_version"_s, u"0"_s};

// Mono 16-bit samples at 44.1 kHz: gapless (ffmpeg), or every frame
// (mpg123 without gapless, as the program's player).
QByteArray probki(const QString& plik, bool kazdaRamka) {
    if (kazdaRamka)
        return uruchom(u"mpg123"_s, {u"-q"_s, u"--no-gapless"_s, u"-m"_s, u"-r"_s, u"44100"_s,
                                     u"-e"_s, u"s16"_s, u"-s"_s, plik});
    return uruchom(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, plik, u"-ac"_s, u"1"_s, u"-ar"_s,
                                 u"44100"_s, u"-f"_s, u"s16le"_s, u"-"_s});
}

double dlugoscMs(const QString& plik, bool kazdaRamka) {
    return probki(plik, kazdaRamka).size() / 2 * 1000.0 / kRate;
}

// Where the first announcement tone starts, in ms.
double pierwszyTon(const QByteArray& pcm) {
    const auto* s = reinterpret_cast<const qint16*>(pcm.constData());
    for (qsizetype i = 0; i < pcm.size() / 2; ++i)
        if (std::abs(s[i]) > 9000)
            return i * 1000.0 / kRate;
    return -1;
}

// One ffmpeg run over an output: its samples as a gapless player decodes
// them, its title, and whatever ffmpeg found wrong while decoding.
struct Odczyt {
    QByteArray pcm;
    QString tytul;
    QByteArray bledy;
};
Odczyt odczytaj(const QString& plik, const QString& meta) {
    Odczyt o;
    o.pcm = uruchom(u"ffmpeg"_s,
                    {u"-v"_s, u"error"_s, u"-y"_s, u"-i"_s, plik, u"-f"_s, u"ffmetadata"_s, meta,
                     u"-map"_s, u"0:a"_s, u"-ac"_s, u"1"_s, u"-ar"_s, u"44100"_s, u"-f"_s,
                     u"s16le"_s, u"-"_s},
                    &o.bledy);
    for (const QByteArray& l : bajtyPliku(meta).split('\n'))
        if (l.startsWith("title="))
            o.tytul = QString::fromUtf8(l.mid(6));
    return o;
}

// The bytes of an MP3 file after its ID3v2 tag.
QByteArray bezTagu(const QByteArray& d) {
    if (!d.startsWith("ID3"))
        return d;
    qsizetype n = 0;
    for (int i = 6; i < 10; ++i)
        n = (n << 7) | (d.at(i) & 0x7f);
    return d.mid(10 + n + ((d.at(5) & 0x10) ? 10 : 0));
}

// The audio frames of a mono MPEG-1 Layer III file: after its tag, without
// the encoder's Info frame.
QByteArray ramkiDzwieku(const QByteArray& plik) {
    const QByteArray d = bezTagu(plik);
    const QByteArray znak = d.mid(4 + 17, 4);
    if (znak != "Info" && znak != "Xing")
        return d;
    static const int kbps[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    const int b = quint8(d.at(2));
    return d.mid(144000 * kbps[b >> 4] / kRate + ((b >> 1) & 1));
}

struct Rozdzial {
    QString tytul;
    int poziom = 0;
    double dlugoscMs = 0;
    double zapowiedzMs = -1; // the announcement in the entry; -1: none known
    bool kopia = false;      // MP3 frames copied, not encoded
};

QString smil2(const QString& audio, const QList<std::pair<double, double>>& klipy, int od) {
    QString t =
        u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE smil PUBLIC \"-//W3C//DTD SMIL 1.0//EN\" \"http://www.w3.org/TR/REC-smil/SMIL10.dtd\">\n<smil><head><meta name=\"dc:format\" content=\"Daisy 2.02\"/></head><body><seq>\n"_s;
    for (qsizetype i = 0; i < klipy.size(); ++i)
        t +=
            u"<par endsync=\"last\" id=\"p%1\"><text src=\"ncc.html#x\" id=\"t%1\"/><audio src=\"%2\" clip-begin=\"npt=%3s\" clip-end=\"npt=%4s\" id=\"a%1\"/></par>\n"_s
                .arg(od + i)
                .arg(audio)
                .arg(klipy.at(i).first, 0, 'f', 3)
                .arg(klipy.at(i).second, 0, 'f', 3);
    return t + u"</seq></body></smil>\n"_s;
}

void zapiszTekst(const QString& plik, const QString& tekst, const char* kodowanie = "UTF-8") {
    QStringEncoder e(kodowanie);
    QVERIFY(zapiszBajty(plik, e.encode(tekst)));
}

} // namespace

class TestImportKsiazki : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString sciezka(const QString& n) const { return dir.filePath(n); }

    // A DAISY 2.02 book in windows-1250: h1 and h2 headings, two headings in
    // each of two MP3 files, a page number that is no chapter.
    QString daisy2(QList<Rozdzial>& oczekiwane) {
        const QString folder = sciezka(u"daisy2"_s);
        QDir().mkpath(folder);
        zrob(folder + u"/audio1.mp3"_s, 4.3, {0, 2.3}, kMp3);
        zrob(folder + u"/audio2.mp3"_s, 4.0, {0, 2.0}, kMp3);
        const double d = kOpoznienie, l1 = dlugoscMs(folder + u"/audio1.mp3"_s, true) / 1000,
                     l2 = dlugoscMs(folder + u"/audio2.mp3"_s, true) / 1000;
        zapiszTekst(
            folder + u"/s1.smil"_s,
            smil2(u"audio1.mp3"_s,
                  {{0.3 + d, 0.8 + d}, {0.8 + d, 2.3 + d}, {2.3 + d, 2.8 + d}, {2.8 + d, l1}}, 1));
        zapiszTekst(folder + u"/s2.smil"_s,
                    smil2(u"audio2.mp3"_s,
                          {{d, 0.5 + d}, {0.5 + d, 2 + d}, {2 + d, 2.5 + d}, {2.5 + d, l2}}, 1));
        zapiszTekst(folder + u"/ncc.html"_s,
                    u"<?xml version=\"1.0\" encoding=\"windows-1250\"?>\n<!DOCTYPE html PUBLIC "
                    u"\"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
                    u"\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\n"
                    "<html xmlns=\"http://www.w3.org/1999/xhtml\"><head><meta "
                    "http-equiv=\"Content-type\" content=\"text/html; charset=windows-1250\"/>"
                    "<meta name=\"dc:title\" content=\"Książka próbna\"/><meta name=\"dc:creator\" "
                    "content=\"Józef Autor\"/></head><body>\n"
                    "<h1 id=\"h1\"><a href=\"s1.smil#t1\">Część pierwsza</a></h1>\n"
                    "<span class=\"page-normal\" id=\"pg1\"><a href=\"s1.smil#p2\">1</a></span>\n"
                    "<h2 id=\"h2\"><a href=\"s1.smil#p3\">Rozdział 1 &#8212; żółć&nbsp;</a></h2>\n"
                    "<h2 id=\"h3\"><a href=\"s2.smil#p1\">Rozdział 2</a></h2>\n"
                    "<h1 id=\"h4\"><a href=\"s2.smil#a3\">Część druga</a></h1>\n</body></html>\n"_s,
                    "windows-1250");
        oczekiwane = {{u"Część pierwsza"_s, 1, (2.3 + d) * 1000, (0.3 + d) * 1000, true},
                      {u"Rozdział 1 — żółć"_s, 2, (l1 - 2.3 - d + d) * 1000, 0, true},
                      {u"Rozdział 2"_s, 2, 2000, 0, true},
                      {u"Część druga"_s, 1, (l2 - 2 - d) * 1000, 0, true}};
        return folder;
    }

    // A DAISY 3 book: OPF, NCX with nested navPoints, SMIL 2 clock values.
    QString daisy3(QList<Rozdzial>& oczekiwane) {
        const QString folder = sciezka(u"daisy3"_s);
        QDir().mkpath(folder);
        zrob(folder + u"/t.mp3"_s, 6.3, {0, 2.3, 4.3}, kMp3);
        const double d = kOpoznienie, l = dlugoscMs(folder + u"/t.mp3"_s, true) / 1000;
        auto zegar = [](double s) { return u"0:00:%1"_s.arg(s, 6, 'f', 3, u'0'); };
        QString smil =
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<smil xmlns=\"http://www.w3.org/2001/SMIL20/\"><body><seq>"_s;
        const double klipy[] = {0.3 + d, 2.3 + d, 4.3 + d};
        for (int i = 0; i < 3; ++i)
            smil +=
                u"<par id=\"p%1\"><text src=\"b.xml#x%1\"/><audio src=\"t.mp3\" clipBegin=\"%2\" clipEnd=\"%3\"/></par>"_s
                    .arg(i)
                    .arg(zegar(klipy[i]), zegar(klipy[i] + 0.5));
        zapiszTekst(folder + u"/t.smil"_s, smil + u"</seq></body></smil>"_s);
        zapiszTekst(
            folder + u"/book.opf"_s,
            u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><package "
            u"xmlns=\"http://openebook.org/namespaces/oeb-package/1.0/\"><metadata><dc-metadata "
            u"xmlns:dc=\"http://purl.org/dc/elements/1.1/\"><dc:Title>Trzecia</dc:Title></"
            u"dc-metadata></metadata>"
            "<manifest><item id=\"ncx\" href=\"nav.ncx\" media-type=\"application/x-dtbncx+xml\"/><item id=\"s\" href=\"t.smil\" media-type=\"application/smil\"/></manifest><spine><itemref idref=\"s\"/></spine></package>"_s);
        zapiszTekst(folder + u"/nav.ncx"_s,
                    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><ncx "
                    u"xmlns=\"http://www.daisy.org/z3986/2005/ncx/\"><navMap>"
                    "<navPoint id=\"n1\"><navLabel><text>Wstęp</text></navLabel><content "
                    "src=\"t.smil#p0\"/>"
                    "<navPoint id=\"n2\"><navLabel><text>Podrozdział</text></navLabel><content "
                    "src=\"t.smil#p1\"/></navPoint></navPoint>"
                    "<navPoint id=\"n3\"><navLabel><text>Zakończenie</text></navLabel><content "
                    "src=\"t.smil#p2\"/></navPoint>"
                    "</navMap></ncx>"_s);
        oczekiwane = {{u"Wstęp"_s, 1, (2.3 + d) * 1000, (0.3 + d) * 1000, true},
                      {u"Podrozdział"_s, 2, 2000, 0, true},
                      {u"Zakończenie"_s, 1, (l - 4.3 - d) * 1000, 0, true}};
        return folder + u"/book.opf"_s;
    }

    QString metadane(const QList<std::pair<QString, int>>& rozdzialy, int koniecMs) {
        QString t = u";FFMETADATA1\ntitle=Album\nartist=Autor\n"_s;
        for (qsizetype i = 0; i < rozdzialy.size(); ++i)
            t += u"[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n"_s
                     .arg(rozdzialy.at(i).second)
                     .arg(i + 1 < rozdzialy.size() ? rozdzialy.at(i + 1).second : koniecMs)
                     .arg(rozdzialy.at(i).first);
        const QString plik = sciezka(u"meta.txt"_s);
        zapiszTekst(plik, t);
        return plik;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        if (!jest("ffmpeg") || !jest("ffprobe") || !jest("mpg123"))
            QSKIP("ffmpeg, ffprobe and mpg123 make and judge the books; one is missing");
    }

    void books_data() {
        QTest::addColumn<QString>("rodzaj");
        QTest::newRow("DAISY 2.02, windows-1250, headings inside and across MP3 files")
            << u"daisy2"_s;
        QTest::newRow("DAISY 3, nested navPoints") << u"daisy3"_s;
        QTest::newRow("M4B with chapters") << u"m4b"_s;
        QTest::newRow("FLAC and a cue sheet") << u"cue"_s;
        QTest::newRow("MP3 with ID3 chapters") << u"mp3chap"_s;
        QTest::newRow("folder of Opus, FLAC, WAV and MP3") << u"folder"_s;
    }
    void books() {
        QFETCH(QString, rodzaj);
        QList<Rozdzial> oczekiwane;
        QString zrodlo;
        QStringList zrodlowe; // MP3 files whose frames the chapters are, in order
        if (rodzaj == u"daisy2") {
            zrodlo = daisy2(oczekiwane);
            zrodlowe = {zrodlo + u"/audio1.mp3"_s, zrodlo + u"/audio2.mp3"_s};
        } else if (rodzaj == u"daisy3") {
            zrodlo = daisy3(oczekiwane);
            zrodlowe = {sciezka(u"daisy3/t.mp3"_s)};
        } else if (rodzaj == u"m4b") {
            zrodlo = sciezka(u"ksiazka.m4b"_s);
            zrob(zrodlo, 6, {0, 2, 4.5},
                 {u"-map_metadata"_s, u"1"_s, u"-map_chapters"_s, u"1"_s, u"-ac"_s, u"2"_s,
                  u"-c:a"_s, u"aac"_s, u"-b:a"_s, u"96k"_s},
                 {u"-i"_s,
                  metadane({{u"Pierwszy"_s, 0}, {u"Drugi"_s, 2000}, {u"Trzeci"_s, 4500}}, 6000)});
            const double l = dlugoscMs(zrodlo, false);
            oczekiwane = {
                {u"Pierwszy"_s, 0, 2000}, {u"Drugi"_s, 0, 2500}, {u"Trzeci"_s, 0, l - 4500}};
        } else if (rodzaj == u"cue") {
            QDir().mkpath(sciezka(u"cd"_s));
            zrob(sciezka(u"cd/płyta.flac"_s), 5, {0, 2, 3.4933}, {u"-ac"_s, u"2"_s});
            zapiszTekst(sciezka(u"cd/płyta.cue"_s),
                        u"PERFORMER \"Wykonawca\"\r\nTITLE \"Płyta\"\r\nFILE \"płyta.wav\" WAVE\r\n"
                        "  TRACK 01 AUDIO\r\n    TITLE \"Jeden\"\r\n    INDEX 01 00:00:00\r\n"
                        "  TRACK 02 AUDIO\r\n    TITLE \"Dwa ąę\"\r\n    INDEX 00 00:01:70\r\n    "
                        "INDEX 01 00:02:00\r\n"
                        "  TRACK 03 AUDIO\r\n    TITLE \"Trzy\"\r\n    INDEX 01 00:03:37\r\n"_s,
                        "windows-1250");
            zrodlo = sciezka(u"cd/płyta.cue"_s);
            oczekiwane = {
                {u"Jeden"_s, 0, 2000}, {u"Dwa ąę"_s, 0, 1493.3}, {u"Trzy"_s, 0, 5000 - 3493.3}};
        } else if (rodzaj == u"mp3chap") {
            zrodlo = sciezka(u"rozdzialy.mp3"_s);
            zrob(zrodlo, 5, {0, 1.5, 3.2},
                 QStringList{u"-map_metadata"_s, u"1"_s, u"-map_chapters"_s, u"1"_s,
                             u"-id3v2_version"_s, u"3"_s} +
                     kMp3.mid(0, 6), // with LAME's Info frame, which is not copied
                 {u"-i"_s, metadane({{u"Raz"_s, 0}, {u"Dwa"_s, 1500}, {u"Trzy"_s, 3200}}, 5000)});
            const double l = dlugoscMs(zrodlo, true);
            oczekiwane = {{u"Raz"_s, 0, 1500, -1, true},
                          {u"Dwa"_s, 0, 1700, -1, true},
                          {u"Trzy"_s, 0, l - 3200, -1, true}};
            zrodlowe = {zrodlo};
        } else {
            const QString f = sciezka(u"pliki"_s);
            QDir().mkpath(f);
            zrob(f + u"/1 jeden.opus"_s, 1.5, {0}, {u"-c:a"_s, u"libopus"_s});
            zrob(f + u"/2 dwa.flac"_s, 1.2, {0}, {});
            zrob(f + u"/10 dziesięć.wav"_s, 1.0, {0}, {});
            zrob(f + u"/3 trzy.mp3"_s, 1.3, {0}, kMp3);
            zrodlo = f;
            oczekiwane = {{u"1 jeden"_s, 0, 1500},
                          {u"2 dwa"_s, 0, 1200},
                          {u"3 trzy"_s, 0, dlugoscMs(f + u"/3 trzy.mp3"_s, true), -1, true},
                          {u"10 dziesięć"_s, 0, 1000}};
            zrodlowe = {f + u"/3 trzy.mp3"_s};
        }
        if (QTest::currentTestFailed())
            return;

        ImportKsiazki import({zrodlo});
        const ZnalezioneRozdzialy& z = import.czytaj();
        QCOMPARE(z.rozdzialy.size(), oczekiwane.size());
        const QString projekt = sciezka(u"wynik-"_s + rodzaj + u".xml"_s);
        import.zapisz(projekt);
        const PozycjePlikuProjektu wczytane = wczytajPozycjeProjektu(projekt);
        QVERIFY(wczytane.brakujace.isEmpty());
        QCOMPARE(wczytane.pozycje.size(), oczekiwane.size());
        QByteArray ramki;
        for (qsizetype i = 0; i < oczekiwane.size(); ++i) {
            const Rozdzial& o = oczekiwane.at(i);
            const PozycjaProjektu& p = wczytane.pozycje.at(i);
            const QString plik = p.sciezka();
            QCOMPARE(QFileInfo(plik).absolutePath(), sciezka(u"wynik-"_s + rodzaj));
            const Odczyt odczyt = odczytaj(plik, sciezka(u"meta-wynik.txt"_s));
            QCOMPARE(odczyt.tytul, o.tytul);
            QVERIFY2(odczyt.bledy.isEmpty(), odczyt.bledy.constData());
            QCOMPARE(p.Poziom, o.poziom ? QString::number(o.poziom) : QString());
            // Copied chapters play as the source's frames play; encoded ones
            // as a gapless player plays them.
            const QByteArray pcm = o.kopia ? probki(plik, true) : odczyt.pcm;
            const double dlugosc = pcm.size() / 2 * 1000.0 / kRate;
            QVERIFY2(
                std::abs(dlugosc - o.dlugoscMs) <= 30,
                qPrintable(u"%1: %2 ms, expected %3"_s.arg(o.tytul).arg(dlugosc).arg(o.dlugoscMs)));
            const int od = p.Poczatek.toInt(), dl = p.Dlugosc.toInt();
            if (o.zapowiedzMs < 0) {
                QCOMPARE(od, 0);
                QVERIFY(std::abs(dl - std::min(5000.0, dlugosc)) <= 30);
            } else {
                QVERIFY2(std::abs(od - o.zapowiedzMs) <= 50, qPrintable(p.Poczatek));
                QVERIFY(std::abs(dl - 500) <= 50);
                if (o.zapowiedzMs > 100)
                    QVERIFY(std::abs(pierwszyTon(pcm) - od) <= 50);
            }
            if (o.kopia)
                ramki += bezTagu(bajtyPliku(plik));
        }
        // The copied chapters are the sources' frames, every one once.
        QByteArray zrodla;
        for (const QString& z : std::as_const(zrodlowe))
            zrodla += ramkiDzwieku(bajtyPliku(z));
        QVERIFY(ramki == zrodla);
    }
    // A hostile or broken source: a message that names the file and the
    // reason, and nothing written.
    void hostile_data() {
        QTest::addColumn<QString>("rodzaj");
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("SMIL path climbing out") << u"dotdot"_s << u"poza folderem książki"_s;
        QTest::newRow("absolute SMIL path") << u"absolute"_s << u"ścieżkę bezwzględną"_s;
        QTest::newRow("link leading out") << u"link"_s << u"dowiązanie prowadzi poza"_s;
        QTest::newRow("missing audio file") << u"missing"_s << u"„brak.mp3”, którego nie ma"_s;
        QTest::newRow("heading to no SMIL element") << u"noid"_s << u"nie ma elementu"_s;
        QTest::newRow("malformed NCC") << u"xml"_s << u"nie jest poprawnym plikiem XML"_s;
        QTest::newRow("cue naming a missing file") << u"cue"_s << u"„nie-ma.flac”"_s;
        QTest::newRow("not audio at all") << u"text"_s << u"nie jest plikiem dźwiękowym"_s;
        QTest::newRow("truncated M4B, index last") << u"m4b-end"_s << u"ksiazka.m4b"_s;
        QTest::newRow("truncated M4B, index first") << u"m4b-first"_s << u"niepełny"_s;
    }
    void hostile() {
        QFETCH(QString, rodzaj);
        QFETCH(QString, komunikat);
        QTemporaryDir d;
        const QString k = d.filePath(u"ksiazka"_s);
        QDir().mkpath(k);
        zrob(d.filePath(u"poza.mp3"_s), 1, {0}, kMp3);
        QString zrodlo = k;
        auto ncc = [&](const QString& src, const QString& id = u"p1"_s) {
            zapiszTekst(k + u"/s.smil"_s, smil2(src, {{0, 0.5}}, 1));
            zapiszTekst(
                k + u"/ncc.html"_s,
                u"<html><body><h1><a href=\"s.smil#%1\">A</a></h1></body></html>"_s.arg(id));
        };
        if (rodzaj == u"dotdot") {
            ncc(u"../poza.mp3"_s);
        } else if (rodzaj == u"absolute") {
            ncc(d.filePath(u"poza.mp3"_s));
        } else if (rodzaj == u"link") {
            QVERIFY(QFile::link(d.filePath(u"poza.mp3"_s), k + u"/a.mp3"_s));
            ncc(u"a.mp3"_s);
        } else if (rodzaj == u"missing") {
            ncc(u"brak.mp3"_s);
        } else if (rodzaj == u"noid") {
            QVERIFY(QFile::copy(d.filePath(u"poza.mp3"_s), k + u"/a.mp3"_s));
            ncc(u"a.mp3"_s, u"zadne"_s);
        } else if (rodzaj == u"xml") {
            zapiszTekst(k + u"/ncc.html"_s,
                        u"<html><body><h1><a href=\"s.smil#p1\">A</h1></body>"_s);
        } else if (rodzaj == u"cue") {
            zapiszTekst(k + u"/a.cue"_s,
                        u"FILE \"nie-ma.flac\" WAVE\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"_s);
        } else if (rodzaj == u"text") {
            zapiszTekst(k + u"/rozdzial.mp3"_s, u"To nie jest dźwięk.\n"_s.repeated(50));
        } else {
            const QString m4b = k + u"/ksiazka.m4b"_s;
            QStringList kodek{u"-c:a"_s, u"aac"_s};
            if (rodzaj == u"m4b-first")
                kodek << u"-movflags"_s << u"+faststart"_s;
            zrob(m4b, 8, {0}, kodek);
            QFile f(m4b);
            QVERIFY(f.resize(f.size() / 2));
            zrodlo = m4b;
        }
        const QMap<QString, QByteArray> przed = zawartoscFolderu(d.path());
        ImportKsiazki import({zrodlo});
        try {
            import.zapisz(d.filePath(u"wynik.xml"_s));
            QFAIL("the import took a hostile source");
        } catch (const SonvekError& e) {
            QVERIFY2(e.text().contains(komunikat), qPrintable(e.text()));
        }
        QCOMPARE(zawartoscFolderu(d.path()), przed);
    }

    // Bounded work: every SMIL file is read once, whatever the headings.
    void manyHeadings() {
        const QString k = sciezka(u"wiele"_s);
        QDir().mkpath(k);
        zrob(k + u"/a.mp3"_s, 1, {0}, kMp3);
        const int n = 20000;
        QString smil, naglowki;
        for (int i = 0; i < n; ++i) {
            smil +=
                u"<par id=\"p%1\"><audio src=\"a.mp3\" clip-begin=\"npt=%2s\" clip-end=\"npt=%3s\"/></par>\n"_s
                    .arg(i)
                    .arg(i * 0.00004, 0, 'f', 5)
                    .arg((i + 1) * 0.00004, 0, 'f', 5);
            naglowki += u"<h%1><a href=\"a.smil#p%2\">R %2</a></h%1>\n"_s.arg(1 + i % 6).arg(i);
        }
        zapiszTekst(k + u"/a.smil"_s, u"<smil><body><seq>"_s + smil + u"</seq></body></smil>"_s);
        zapiszTekst(k + u"/ncc.html"_s, u"<html><body>"_s + naglowki + u"</body></html>"_s);
        ImportKsiazki import({k});
        const ZnalezioneRozdzialy& z = import.czytaj();
        QCOMPARE(z.rozdzialy.size(), n);
        QCOMPARE(z.rozdzialy.last().poziom, 1 + (n - 1) % 6);
        QCOMPARE(linieZnalezionych(z).size(), n + 2);
    }

    // An existing project or folder is never written over; a stop, a full
    // disk or a failure leaves nothing; what a killed import left goes.
    void nothingHalfMade() {
        QTemporaryDir d;
        zrob(d.filePath(u"a.flac"_s), 3, {0}, {});
        const QString projekt = d.filePath(u"wynik.xml"_s);
        // Killed before: a hidden folder without its lock.
        QVERIFY(QDir().mkpath(d.filePath(u".wynik.x1.tmp/czesc"_s)));
        for (const QString& cel : {projekt, d.filePath(u"wynik"_s)}) {
            QVERIFY(zapiszBajty(cel, "moje"));
            const QMap<QString, QByteArray> przed = zawartoscFolderu(d.path());
            ImportKsiazki import({d.filePath(u"a.flac"_s)});
            QVERIFY_THROWS_EXCEPTION(EIstniejacyCel, import.zapisz(projekt));
            QCOMPARE(zawartoscFolderu(d.path()), przed);
            QFile::remove(cel);
        }
        {
            const QMap<QString, QByteArray> przed = zawartoscFolderu(d.path());
            ImportKsiazki import({d.filePath(u"a.flac"_s)});
            import.przerwac = [] { return true;
        };
        QVERIFY_THROWS_EXCEPTION(EPrzerwanyImport, import.zapisz(projekt));
        QVERIFY(!QFileInfo::exists(d.filePath(u"wynik"_s)));
        QVERIFY(!QFileInfo::exists(projekt));
    }
    ImportKsiazki import({d.filePath(u"a.flac"_s)});
    import.zapisz(projekt);
    QCOMPARE(wpisyFolderu(d.path()), (QStringList{u"a.flac"_s, u"wynik"_s, u"wynik.xml"_s}));

    QTemporaryDir pelny;
    Tmpfs tmpfs(pelny.path(), "size=16k");
    if (!tmpfs.zamontowany)
        QSKIP("a full disk needs a tmpfs, which needs root");
    ImportKsiazki naPelny({d.filePath(u"a.flac"_s)});
    QVERIFY_THROWS_EXCEPTION(EInOutError, naPelny.zapisz(pelny.filePath(u"w.xml"_s)));
    QCOMPARE(wpisyFolderu(pelny.path()), QStringList{});
}

    // sonvek-import lists, writes, and refuses to write over a project.
    void commandLine() {
    QTemporaryDir d;
    zrob(d.filePath(u"a.flac"_s), 2, {0}, {});
    const QString a = d.filePath(u"a.flac"_s), p = d.filePath(u"p.xml"_s);
    Wynik w = uruchomNarzedzie(u"sonvek-import"_s, {u"--lista"_s, a});
    QCOMPARE(w.kod, 0);
    QVERIFY(w.wyjscie.contains(u"1. a, 0:00:02"_s));
    QVERIFY(!QFileInfo::exists(p));
    w = uruchomNarzedzie(u"sonvek-import"_s, {u"--kbps"_s, u"32"_s, u"--hz"_s, u"22050"_s, a, p});
    QCOMPARE(w.kod, 0);
    const QString plik = d.filePath(u"p/001 a.mp3"_s);
    const QByteArray info = uruchom(u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_entries"_s,
                                                   u"stream=sample_rate,channels,bit_rate"_s,
                                                   u"-of"_s, u"csv=p=0"_s, plik});
    QCOMPARE(info.trimmed(), QByteArray("22050,1,32000"));
    w = uruchomNarzedzie(u"sonvek-import"_s, {a, p});
    QCOMPARE(w.kod, 1);
    QVERIFY(w.bledy.contains(u"już istnieje"_s));
    QCOMPARE(uruchomNarzedzie(u"sonvek-import"_s, {a}).kod, 2);
    QCOMPARE(
        uruchomNarzedzie(u"sonvek-import"_s, {u"--kbps"_s, u"7"_s, a, d.filePath(u"q.xml"_s)}).kod,
        1);

    // Without the codec module an MP3 book is still cut; anything else is
    // refused with the reason, and nothing is written.
    const QString bezModulu =
        u"SONVEK_MODUL_KODEKOW=/nie/ma/modulu.so; export SONVEK_MODUL_KODEKOW"_s;
    zrob(d.filePath(u"b.mp3"_s), 2, {0}, kMp3);
    QCOMPARE(uruchomNarzedzie(u"sonvek-import"_s, {d.filePath(u"b.mp3"_s), d.filePath(u"m.xml"_s)},
                              bezModulu)
                 .kod,
             0);
    w = uruchomNarzedzie(u"sonvek-import"_s, {a, d.filePath(u"f.xml"_s)}, bezModulu);
    QCOMPARE(w.kod, 1);
    QVERIFY2(w.bledy.contains(u"modułu kodeków"_s), qPrintable(w.bledy));
    QVERIFY(!QFileInfo::exists(d.filePath(u"f.xml"_s)) && !QFileInfo::exists(d.filePath(u"f"_s)));
}
}
;

QTEST_GUILESS_MAIN(TestImportKsiazki)
#include "tst_importksiazki.moc"
