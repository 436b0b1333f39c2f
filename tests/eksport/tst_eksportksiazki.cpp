// The export into a DAISY book and a chaptered MP3, checked by readers that
// share no code with it: ffprobe (chapters, tags, audio bytes), xmllint
// (validity against the DTDs), daisy-player (the headings it lists) and
// LAME's decoder (the entries' exact durations). Refusals, a full disk and a
// stop leave nothing behind; sonvek-eksport does the same from the command
// line.

#include "base/Errors.h"
#include "eksport/EksportKsiazki.h"
#include "merge/MergeJob.h"
#include "merge/Miernik.h"
#include "project/ProjectFile.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"
#include "support/RunTool.h"
#include "support/Tmpfs.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <sys/file.h>

using namespace Qt::StringLiterals;

namespace {

struct Wpis {
    Mp3Format format;
    QString nazwa;
    QString tytul; // of its ID3v2 tag; empty: no tag
    int zakladkaOd = 0, zakladkaDlugosc = 500;
};

Mp3Format ton(int ms, int rate = 44100, int channels = 1, bool vbr = false) {
    Mp3Format f;
    f.durationMs = ms;
    f.sampleRate = rate;
    f.channels = channels;
    f.vbr = vbr;
    f.xing = vbr;
    return f;
}

QByteArray synchsafe(quint32 n) {
    const char b[4] = {char((n >> 21) & 0x7f), char((n >> 14) & 0x7f), char((n >> 7) & 0x7f),
                       char(n & 0x7f)};
    return QByteArray(b, 4);
}

// An ID3v2.4 tag with UTF-8 text frames, written here byte by byte so that
// the program's tag library reads what it did not write.
QByteArray tagId3(const QList<std::pair<QByteArray, QString>>& ramki) {
    QByteArray tresc;
    for (const auto& [id, tekst] : ramki) {
        const QByteArray dane = '\x03' + tekst.toUtf8();
        tresc += id + synchsafe(quint32(dane.size())) + QByteArray(2, '\0') + dane;
    }
    return "ID3\x04\x00\x00"_ba + synchsafe(quint32(tresc.size())) + tresc;
}

// The size of the ID3v2 tag at the start of `dane`.
qsizetype rozmiarTagu(const QByteArray& dane) {
    if (!dane.startsWith("ID3"))
        return 0;
    qsizetype n = 0;
    for (int i = 6; i < 10; ++i)
        n = (n << 7) | (dane.at(i) & 0x7f);
    return 10 + n + ((dane.at(5) & 0x10) ? 10 : 0);
}

// "hh:mm:ss.mmm" or "npt=12.345s" in ms.
double ms(const QString& czas) {
    static const QRegularExpression zegar(u"^(\\d+):(\\d\\d):(\\d\\d(\\.\\d+)?)$"_s);
    if (const auto m = zegar.match(czas); m.hasMatch())
        return (m.captured(1).toInt() * 3600 + m.captured(2).toInt() * 60) * 1000.0 +
               m.captured(3).toDouble() * 1000;
    QString s = czas;
    s.remove(u"npt="_s);
    s.chop(1);
    return s.toDouble() * 1000;
}

struct Smil {
    QMap<QString, QString> meta;
    QList<std::pair<double, double>> klipy;
    QString tekst; // the text element's src
};

Smil czytajSmil(const QString& sciezka) {
    QFile plik(sciezka);
    plik.open(QIODevice::ReadOnly);
    QXmlStreamReader r(&plik);
    Smil s;
    while (r.readNextStartElement() || !r.atEnd()) {
        if (!r.isStartElement())
            continue;
        const auto a = r.attributes();
        if (r.name() == u"meta")
            s.meta.insert(a.value(QLatin1StringView("name")).toString(),
                          a.value(QLatin1StringView("content")).toString());
        else if (r.name() == u"audio")
            s.klipy.append({ms(a.value(QLatin1StringView("clip-begin")).toString()),
                            ms(a.value(QLatin1StringView("clip-end")).toString())});
        else if (r.name() == u"text")
            s.tekst = a.value(QLatin1StringView("src")).toString();
    }
    return s;
}

} // namespace

Q_DECLARE_METATYPE(Wpis)

class TestEksportKsiazki : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ListaPozycji pozycje;
    QList<double> dlugosci; // LAME's decode of every entry, in ms

    QString sciezka(const QString& nazwa) const { return dir.filePath(nazwa); }

    void utworz(const QList<Wpis>& wpisy) {
        pozycje.clear();
        dlugosci.clear();
        for (const Wpis& w : wpisy) {
            QByteArray dane = makeMp3Data(w.format);
            if (!w.tytul.isEmpty())
                dane = tagId3({{"TIT2", w.tytul},
                               {"TALB", u"Album z tagu"_s},
                               {"TPE1", u"Wykonawca z tagu"_s}}) +
                       dane;
            QVERIFY(zapiszBajty(sciezka(w.nazwa), dane));
            pozycje.append({QString::number(pozycje.size() + 1), w.nazwa,
                            QString::number(w.zakladkaOd), QString::number(w.zakladkaDlugosc),
                            dir.path() + u'/'});
            dlugosci.append(decodeMp3(sciezka(w.nazwa)).lengthMs);
        }
    }

    OpisKsiazki opis() const {
        return {u"Lalka"_s, u"Bolesław Prus"_s, u"Jan Lektor"_s, u"pl"_s,
                u"1890"_s,  u"Gebethner"_s,     QString()};
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        for (const QString& n : wpisyFolderu(dir.path()))
            QFileInfo(sciezka(n)).isDir() ? void(QDir(sciezka(n)).removeRecursively())
                                          : void(QFile::remove(sciezka(n)));
    }

    void bothForms_data() {
        QTest::addColumn<QList<Wpis>>("wpisy");
        QTest::addColumn<QStringList>("tytuly");
        QTest::addColumn<int>("uwagi");
        QTest::newRow("titles from tags, one hostile to XML")
            << QList<Wpis>{{ton(1000), u"r1.mp3"_s, u"Rozdział 1"_s},
                           {ton(2300), u"r2.mp3"_s, u"A<b> & \"c\"\x01 d"_s, 0, 1500},
                           {ton(700), u"r3.mp3"_s, u"Koniec"_s, 100, 200}}
            << QStringList{u"Rozdział 1"_s, u"A<b> & \"c\" d"_s, u"Koniec"_s} << 0;
        // A joined file plays the information frame of every VBR file after
        // the first.
        QTest::newRow("VBR and CBR, titles from file names")
            << QList<Wpis>{{ton(1500, 22050, 2, true), u"Część pierwsza.mp3"_s, {}},
                           {ton(900, 22050, 2), u"druga.MP3"_s, {}},
                           {ton(1100, 22050, 2, true), u"trzecia.mp3"_s, {}}}
            << QStringList{u"Część pierwsza"_s, u"druga"_s, u"trzecia"_s} << 0;
        QTest::newRow("bookmarks past the entry's end")
            << QList<Wpis>{{ton(1000), u"a.mp3"_s, {}, 400, 5000},
                           {ton(800), u"b.mp3"_s, {}, 3000, 100}}
            << QStringList{u"a"_s, u"b"_s} << 2;
    }
    void bothForms() {
        QFETCH(QList<Wpis>, wpisy);
        QFETCH(QStringList, tytuly);
        QFETCH(int, uwagi);
        utworz(wpisy);
        QByteArray jpeg = "\xFF\xD8\xFF\xE0"_ba + QByteArray(100, 'j');
        QVERIFY(zapiszBajty(sciezka(u"okladka.jpg"_s), jpeg));
        OpisKsiazki o = opis();
        o.okladka = sciezka(u"okladka.jpg"_s);
        EksportKsiazki eksport(pozycje, o);
        eksport.folderDaisy = sciezka(u"daisy"_s);
        eksport.plikRozdzialow = sciezka(u"rozdzialy.mp3"_s);
        QStringList dziennik;
        eksport.dziennik = [&](const QString& l) { dziennik.append(l); };
        eksport.wykonaj();
        QCOMPARE(eksport.uwagi().size(), uwagi);
        QCOMPARE(dziennik.last(), u"Eksport zakończony powodzeniem"_s);

        // The merged book, for its bytes.
        ZadanieScalania scalanie(sciezka(u"scalony.mp3"_s), pozycje, miernikMp3());
        QVERIFY(scalanie.wykonaj());
        const QByteArray mp3 = bajtyPliku(eksport.plikRozdzialow);
        QCOMPARE(mp3.mid(rozmiarTagu(mp3)), bajtyPliku(sciezka(u"scalony.mp3"_s)));

        // Each file on its own (the DAISY book), and the joined files up to
        // each chapter's end as one stream (the MP3's chapters).
        QList<double> poczatki{0}, wKsiazce{0};
        QStringList czesci;
        for (int i = 0; i < dlugosci.size(); ++i) {
            poczatki.append(poczatki.last() + dlugosci.at(i));
            czesci.append(pozycje.at(i).sciezka());
            wKsiazce.append(
                decodeMp3(joinFiles(sciezka(u"czesc%1.bin"_s.arg(i)), czesci)).lengthMs);
        }

        const QJsonObject probe = ffprobe(eksport.plikRozdzialow);
        if (probe.isEmpty()) {
            qWarning("ffprobe missing: chapters not read by an independent reader");
        } else {
            const QJsonArray rozdzialy = probe[u"chapters"].toArray();
            QCOMPARE(rozdzialy.size(), tytuly.size());
            for (int i = 0; i < tytuly.size(); ++i) {
                const QJsonObject r = rozdzialy.at(i).toObject();
                QCOMPARE(r[u"tags"][u"title"].toString(), tytuly.at(i));
                QVERIFY2(qAbs(r[u"start_time"].toString().toDouble() * 1000 - wKsiazce.at(i)) <= 1,
                         qPrintable(r[u"start_time"].toString()));
                QVERIFY2(qAbs(r[u"end_time"].toString().toDouble() * 1000 - wKsiazce.at(i + 1)) <=
                             1,
                         qPrintable(u"%1 %2 %3"_s.arg(i)
                                        .arg(r[u"end_time"].toString())
                                        .arg(wKsiazce.at(i + 1))));
            }
            const QJsonObject tagi = probe[u"format"][u"tags"].toObject();
            QCOMPARE(tagi[u"title"].toString(), u"Lalka"_s);
            QCOMPARE(tagi[u"album"].toString(), u"Lalka"_s);
            QCOMPARE(tagi[u"artist"].toString(), u"Bolesław Prus"_s);
            QCOMPARE(tagi[u"language"].toString(), u"pol"_s);
        }

        // The DAISY book: the audio byte for byte, the times, the heading clips.
        const QDir daisy(eksport.folderDaisy);
        QStringList pliki{daisy.filePath(u"ncc.html"_s)};
        for (int i = 0; i < wpisy.size(); ++i) {
            const QString numer = u"%1"_s.arg(i + 1, 3, 10, QLatin1Char('0'));
            QCOMPARE(bajtyPliku(daisy.filePath(u"a"_s + numer + u".mp3"_s)),
                     bajtyPliku(pozycje.at(i).sciezka()));
            const QString smil = daisy.filePath(u"s"_s + numer + u".smil"_s);
            pliki.append(smil);
            const Smil s = czytajSmil(smil);
            QCOMPARE(s.tekst, u"ncc.html#h%1"_s.arg(i + 1));
            QVERIFY(qAbs(ms(s.meta.value(u"ncc:timeInThisSmil"_s)) - dlugosci.at(i)) <= 1);
            QVERIFY(qAbs(ms(s.meta.value(u"ncc:totalElapsedTime"_s)) - poczatki.at(i)) <= 1);
            double razem = 0;
            for (const auto& [od, doMs] : s.klipy)
                razem += doMs - od;
            QVERIFY2(qAbs(razem - dlugosci.at(i)) <= 1, qPrintable(QString::number(razem)));
            const double zOd = wpisy.at(i).zakladkaOd, zDo = zOd + wpisy.at(i).zakladkaDlugosc;
            if (zOd < dlugosci.at(i)) {
                QVERIFY(qAbs(s.klipy.first().first - zOd) <= 1);
                QVERIFY(qAbs(s.klipy.first().second - std::min(zDo, dlugosci.at(i))) <= 1);
            }
        }
        QCOMPARE(wpisyFolderu(daisy.path()).size(), 1 + 2 * wpisy.size());
        const QString bledy = bledyXmllint(pliki);
        if (bledy.isNull())
            qWarning("xmllint or the DTDs missing: validity not checked");
        QVERIFY2(bledy.isEmpty(), qPrintable(bledy));

        QStringList oczekiwane;
        for (int i = 0; i < tytuly.size(); ++i)
            oczekiwane.append(u"%1 %2"_s.arg(i + 1).arg(tytuly.at(i)));
        const QStringList naglowki = naglowkiDaisyPlayer(daisy.path(), oczekiwane);
        if (naglowki.isEmpty())
            qWarning("daisy-player missing: headings not listed by a DAISY player");
        for (const QString& o : std::as_const(oczekiwane))
            QVERIFY2(naglowki.isEmpty() ||
                         std::any_of(naglowki.cbegin(), naglowki.cend(),
                                     [&](const QString& w) { return w.endsWith(o); }),
                     qPrintable(naglowki.join(u'|')));
        // Nothing else is left in the folder.
        QCOMPARE(wpisyFolderu(dir.path()).filter(u".tmp"_s), QStringList());
    }

    void refused_data() {
        QTest::addColumn<QString>("zmiana");
        QTest::addColumn<QString>("blad");
        QTest::newRow("missing entry") << u"brak"_s << u"Nie ma pliku"_s;
        QTest::newRow("entry that is no MP3") << u"wav"_s << u"nie jest plikiem MP3"_s;
        QTest::newRow("cover that is no picture") << u"okladka"_s << u"nie jest obrazem"_s;
        QTest::newRow("cover over 5 MB") << u"duza"_s << u"za duża"_s;
        QTest::newRow("existing folder, no replacing") << u"istnieje"_s << u"już istnieje"_s;
        QTest::newRow("MP3 named as an entry") << u"wpis"_s << u"z którego powstaje"_s;
        QTest::newRow("entry inside the DAISY folder") << u"wfolderze"_s << u"jest w nim plik"_s;
        QTest::newRow("language no tag") << u"jezyk"_s << u"nie jest kodem języka"_s;
        QTest::newRow("no title") << u"tytul"_s << u"Podaj tytuł"_s;
        QTest::newRow("MP3 of entries of another sample rate")
            << u"format"_s << u"b.mp3 (pozycja 2): częstotliwość: 22050 Hz zamiast"_s;
    }
    void refused() {
        QFETCH(QString, zmiana);
        QFETCH(QString, blad);
        utworz({{ton(500), u"a.mp3"_s, {}}, {ton(500), u"b.mp3"_s, {}}});
        OpisKsiazki o = opis();
        QString daisy = sciezka(u"daisy"_s), mp3 = sciezka(u"k.mp3"_s);
        if (zmiana == u"brak")
            QFile::remove(pozycje.at(1).sciezka());
        if (zmiana == u"wav")
            zapiszBajty(pozycje.at(1).sciezka(), makeWavData(500));
        if (zmiana == u"okladka" || zmiana == u"duza") {
            o.okladka = sciezka(u"o.png"_s);
            zapiszBajty(o.okladka, zmiana == u"duza"
                                       ? "\x89PNG\r\n\x1A\n"_ba + QByteArray(5 * 1024 * 1024, 'p')
                                       : "GIF89a"_ba);
        }
        if (zmiana == u"istnieje")
            QDir().mkpath(daisy + u"/stare"_s);
        if (zmiana == u"wpis")
            mp3 = pozycje.at(0).sciezka();
        if (zmiana == u"wfolderze")
            daisy = dir.path();
        if (zmiana == u"jezyk")
            o.jezyk = u"po polsku"_s;
        if (zmiana == u"tytul")
            o.tytul = u" \x02 "_s;
        if (zmiana == u"format") {
            Mp3Format inny = ton(500);
            inny.sampleRate = 22050;
            zapiszBajty(pozycje.at(1).sciezka(), makeMp3Data(inny));
        }
        const auto przed = zawartoscFolderu(dir.path());
        EksportKsiazki eksport(pozycje, o);
        eksport.folderDaisy = daisy;
        eksport.plikRozdzialow = mp3;
        // Replacing allowed or not, the export never writes over what it reads.
        eksport.zastap = zmiana == u"wfolderze" || zmiana == u"wpis";
        try {
            eksport.wykonaj();
            QFAIL("the export went through");
        } catch (const SonvekError& e) {
            QVERIFY2(e.text().contains(blad), qPrintable(e.text()));
        }
        QCOMPARE(zawartoscFolderu(dir.path()), przed);
    }

    // Entries of other formats: a DAISY book (a file per chapter) is made,
    // with a warning naming each and how it differs.
    void daisyOfMixedFormats() {
        utworz({{ton(500), u"a.mp3"_s, {}},
                {ton(500, 44100, 2), u"b.mp3"_s, {}},
                {ton(500, 22050), u"c.mp3"_s, {}}});
        EksportKsiazki eksport(pozycje, opis());
        eksport.folderDaisy = sciezka(u"daisy"_s);
        eksport.wykonaj();
        QCOMPARE(
            eksport.uwagi().filter(u"Uwaga: plik "_s),
            (QStringList{
                u"Uwaga: plik %1 (pozycja 2): kanały: 2 zamiast 1"_s.arg(pozycje.at(1).sciezka()),
                u"Uwaga: plik %1 (pozycja 3): częstotliwość: 22050 Hz zamiast "
                u"44100 Hz, wersja: MPEG-2 zamiast MPEG-1"_s.arg(pozycje.at(2).sciezka())}));
        QVERIFY(QFileInfo::exists(sciezka(u"daisy/ncc.html"_s)));
    }

    // A stop at any point, or a disk that fills, leaves an earlier export as
    // it was and nothing new; without either the export replaces it whole.
    void stopsAndFailures_data() {
        QTest::addColumn<int>("zatrzymaj"); // after this many questions; -1: never
        QTest::addColumn<bool>("pelny");
        QTest::newRow("stopped at once") << 1 << false;
        QTest::newRow("stopped writing the MP3") << 6 << false;
        QTest::newRow("stopped writing the DAISY book") << 8 << false;
        QTest::newRow("disk full") << -1 << true;
        QTest::newRow("replaced whole") << -1 << false;
    }
    void stopsAndFailures() {
        QFETCH(int, zatrzymaj);
        QFETCH(bool, pelny);
        utworz({{ton(3000, 44100, 2), u"a.mp3"_s, {}}, {ton(3000, 44100, 2), u"b.mp3"_s, {}}});
        const QString cel = sciezka(u"cel"_s);
        QDir().mkpath(cel);
        std::optional<Tmpfs> tmpfs;
        if (pelny && !tmpfs.emplace(cel, "size=64k").zamontowany)
            QSKIP("mounting a tmpfs needs root");
        QDir().mkpath(cel + u"/daisy"_s);
        zapiszBajty(cel + u"/daisy/ncc.html"_s, "stary"_ba);
        zapiszBajty(cel + u"/k.mp3"_s, "stary plik"_ba);
        const auto przed = zawartoscFolderu(cel);
        const auto przedDaisy = zawartoscFolderu(cel + u"/daisy"_s);
        EksportKsiazki eksport(pozycje, opis());
        eksport.folderDaisy = cel + u"/daisy"_s;
        eksport.plikRozdzialow = cel + u"/k.mp3"_s;
        eksport.zastap = true;
        int pytania = 0;
        eksport.przerwac = [&] { return zatrzymaj > 0 && ++pytania >= zatrzymaj; };
        try {
            eksport.wykonaj();
            QVERIFY(zatrzymaj < 0 && !pelny);
        } catch (const EPrzerwanyEksport&) {
            QVERIFY(zatrzymaj > 0);
        } catch (const SonvekError& e) {
            QVERIFY2(pelny && e.text().contains(u"Nie można zapisać pliku"_s),
                     qPrintable(e.text()));
        }
        if (zatrzymaj < 0 && !pelny) {
            QCOMPARE(wpisyFolderu(cel), (QStringList{u"daisy"_s, u"k.mp3"_s}));
            QVERIFY(bajtyPliku(cel + u"/daisy/ncc.html"_s).contains("Daisy 2.02"));
            QCOMPARE(wpisyFolderu(cel + u"/daisy"_s).size(), 5);
        } else {
            QCOMPARE(zawartoscFolderu(cel), przed);
            QCOMPARE(zawartoscFolderu(cel + u"/daisy"_s), przedDaisy);
        }
    }

    // What a killed export left goes; what a running one holds stays.
    void leftoversOfKilledExport() {
        utworz({{ton(300), u"a.mp3"_s, {}}});
        QVERIFY(QDir().mkpath(sciezka(u".d.abc.tmp/x"_s)));
        QVERIFY(QDir().mkpath(sciezka(u".d.def.tmp/y"_s)));
        QFile blokada(sciezka(u".d.def.lock"_s));
        QVERIFY(blokada.open(QIODevice::WriteOnly));
        QCOMPARE(::flock(blokada.handle(), LOCK_EX | LOCK_NB), 0);
        EksportKsiazki eksport(pozycje, opis());
        eksport.folderDaisy = sciezka(u"d"_s);
        eksport.wykonaj();
        QCOMPARE(wpisyFolderu(dir.path()).filter(u".d."_s),
                 (QStringList{u".d.def.lock"_s, u".d.def.tmp"_s}));
    }

    void detailsPrefilled() {
        utworz({{ton(300), u"a.mp3"_s, {}}, {ton(300), u"b.mp3"_s, u"Tytuł"_s}});
        const OpisKsiazki z = uzupelnijOpis({}, pozycje, u"/x/Moja książka.xml"_s);
        QCOMPARE(z.tytul, u"Album z tagu"_s);
        QCOMPARE(z.autor, u"Wykonawca z tagu"_s);
        QCOMPARE(z.jezyk, u"pl"_s);
        OpisKsiazki zapisany;
        zapisany.tytul = u"Zapisany"_s;
        zapisany.jezyk = u"en"_s;
        const OpisKsiazki w = uzupelnijOpis(zapisany, pozycje.mid(0, 1), u"/x/Moja książka.xml"_s);
        QCOMPARE(w.tytul, u"Zapisany"_s);
        QCOMPARE(w.jezyk, u"en"_s);
        QCOMPARE(uzupelnijOpis({}, pozycje.mid(0, 1), u"/x/Moja książka.xml"_s).tytul,
                 u"Moja książka"_s);
    }

    void commandLine() {
        utworz({{ton(600), u"a.mp3"_s, u"Pierwszy"_s}, {ton(400), u"b.mp3"_s, {}}});
        OpisKsiazki zapisany;
        zapisany.autor = u"Autor z projektu"_s;
        zapiszPlikProjektu(sciezka(u"p.xml"_s), pozycje, zapisany);
        const QStringList argumenty{u"--daisy"_s,        sciezka(u"d"_s),        u"--rozdzialy"_s,
                                    sciezka(u"k.mp3"_s), u"--tytul=Z wiersza"_s, u"--lektor"_s,
                                    u"Ktoś"_s,           sciezka(u"p.xml"_s)};
        Wynik w = uruchomNarzedzie(u"sonvek-eksport"_s, argumenty);
        QVERIFY2(w.kod == 0, qPrintable(w.bledy));
        QVERIFY(bajtyPliku(sciezka(u"d/ncc.html"_s)).contains("content=\"Z wiersza\""));
        QVERIFY(bajtyPliku(sciezka(u"d/ncc.html"_s)).contains("content=\"Autor z projektu\""));
        QVERIFY(bajtyPliku(sciezka(u"k.mp3"_s)).size() > 1000);
        // Run again: the targets exist and stay without --zastap.
        const auto przed = zawartoscFolderu(dir.path());
        w = uruchomNarzedzie(u"sonvek-eksport"_s, argumenty);
        QCOMPARE(w.kod, 1);
        QVERIFY2(w.bledy.contains(u"już istnieje"_s), qPrintable(w.bledy));
        QCOMPARE(zawartoscFolderu(dir.path()), przed);
        QCOMPARE(uruchomNarzedzie(u"sonvek-eksport"_s, argumenty + QStringList{u"--zastap"_s}).kod,
                 0);
        QCOMPARE(uruchomNarzedzie(u"sonvek-eksport"_s, {u"--tytul"_s}).kod, 2);
    }
};

QTEST_GUILESS_MAIN(TestEksportKsiazki)
#include "tst_eksportksiazki.moc"
