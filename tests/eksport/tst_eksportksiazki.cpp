// The export into a DAISY book and a chaptered MP3, checked by readers that
// share no code with it: ffprobe and ffmpeg (chapters, tags, decoding),
// mutagen (the one tag), xmllint (validity against the DTDs), daisy-player
// (the headings it lists) and LAME's decoder (the entries' exact durations).
// Refusals, a full disk, a stop and a kill leave nothing lost and nothing
// behind, on real bind mounts, links, a tiny tmpfs and FAT through FUSE;
// sonvek-eksport does the same from the command line.

#include "base/Errors.h"
#include "eksport/EksportKsiazki.h"
#include "eksport/UmieszczenieKsiazki.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "project/ProjectFile.h"
#include "support/FolderContents.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"
#include "support/Podpiecie.h"
#include "support/RunTool.h"
#include "support/SystemFat.h"
#include "support/Tmpfs.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct Wpis {
    Mp3Format format;
    QString nazwa;
    QString tytul; // of its ID3v2 tag in front; empty: no tag
    int zakladkaOd = 0, zakladkaDlugosc = 500;
    QByteArray tyl{};     // tags after the audio
    bool okladka = false; // a cover picture in its tag in front
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

const QByteArray kJpeg = "\xFF\xD8\xFF\xE0"_ba + QByteArray(300, 'k');

// ID3v2.4 tags, ID3v1 and APE tags, written here byte by byte so that the
// program's tag library reads what it did not write. `stopka`: the form
// appended after the audio, with its footer.
QByteArray tagId3(const QList<std::pair<QByteArray, QByteArray>>& ramki, bool stopka = false) {
    QByteArray tresc;
    for (const auto& [id, dane] : ramki)
        tresc += id + synchsafe(quint32(dane.size())) + QByteArray(2, '\0') + dane;
    const QByteArray reszta =
        "\x04\x00"_ba + char(stopka ? 0x10 : 0) + synchsafe(quint32(tresc.size()));
    return "ID3"_ba + reszta + tresc + (stopka ? "3DI"_ba + reszta : QByteArray());
}
QByteArray tekst(const QString& t) {
    return '\x03' + t.toUtf8();
}
QByteArray id3v1(const QByteArray& tytul) {
    return "TAG"_ba + tytul.leftJustified(30, '\0') + QByteArray(94, '\0') + '\x0c';
}
QByteArray ape(const QByteArray& tytul) {
    const QByteArray wpis = QByteArray(4, '\0') + QByteArray(4, '\0') + "Title"_ba + '\0' + tytul;
    QByteArray wartosc = wpis;
    qToLittleEndian<quint32>(quint32(tytul.size()), wartosc.data());
    QByteArray stopka = "APETAGEX"_ba + QByteArray(24, '\0');
    qToLittleEndian<quint32>(2000, stopka.data() + 8);
    qToLittleEndian<quint32>(quint32(wartosc.size() + 32), stopka.data() + 12);
    qToLittleEndian<quint32>(1, stopka.data() + 16);
    return wartosc + stopka;
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

struct Klip {
    QString plik;
    double od, doMs;
};

// What a book's ncc.html or SMIL file holds: its metadata, its headings in
// order (class, text) and its audio clips.
struct Dokument {
    QMap<QString, QString> meta;
    QList<std::pair<QString, QString>> naglowki;
    QList<int> poziomy; // of the headings, in order
    QList<Klip> klipy;
};

Dokument czytajDokument(const QString& sciezka) {
    QFile plik(sciezka);
    plik.open(QIODevice::ReadOnly);
    QXmlStreamReader r(&plik);
    Dokument d;
    auto atrybut = [&r](const char* nazwa) {
        return r.attributes().value(QLatin1StringView(nazwa)).toString();
    };
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (r.name() == u"meta")
            d.meta.insert(atrybut("name"), atrybut("content"));
        else if (r.name() == u"audio")
            d.klipy.append({atrybut("src"), ms(atrybut("clip-begin")), ms(atrybut("clip-end"))});
        else if (r.name().size() == 2 && r.name().startsWith(u'h') && r.name().at(1) >= u'1' &&
                 r.name().at(1) <= u'6' && (d.poziomy.append(r.name().at(1).digitValue()), true))
            d.naglowki.append(
                {atrybut("class"), r.readElementText(QXmlStreamReader::IncludeChildElements)});
    }
    return d;
}

// An ncc.html that names this program as its maker: what the export takes
// for a book of its own.
const QByteArray kNaszeNcc =
    "<html><head><meta name=\"ncc:generator\" content=\"SonvekManager 0.9.0\" />"
    "</head></html>";

} // namespace

Q_DECLARE_METATYPE(Wpis)

class TestEksportKsiazki : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    ListaPozycji pozycje;
    QList<QByteArray> dzwieki; // the audio of every entry, without its tags
    QList<double> dlugosci;    // LAME's decode of every entry, in ms

    QString sciezka(const QString& nazwa) const { return dir.filePath(nazwa); }

    void utworz(const QList<Wpis>& wpisy, const QString& folder = QString()) {
        const QString gdzie = folder.isEmpty() ? dir.path() : folder;
        pozycje.clear();
        dzwieki.clear();
        dlugosci.clear();
        for (const Wpis& w : wpisy) {
            const QByteArray dzwiek = makeMp3Data(w.format);
            QList<std::pair<QByteArray, QByteArray>> ramki;
            if (!w.tytul.isEmpty())
                ramki = {{"TIT2", tekst(w.tytul)},
                         {"TALB", tekst(u"Album z tagu"_s)},
                         {"TPE1", tekst(u"Wykonawca z tagu"_s)},
                         {"TRCK", tekst(u"7"_s)}};
            if (w.okladka)
                ramki.append({"APIC", "\x00image/jpeg\x00\x03\x00"_ba + kJpeg});
            const QString plik = gdzie + u'/' + w.nazwa;
            QVERIFY(zapiszBajty(plik,
                                (ramki.isEmpty() ? QByteArray() : tagId3(ramki)) + dzwiek + w.tyl));
            pozycje.append({QString::number(pozycje.size() + 1), w.nazwa,
                            QString::number(w.zakladkaOd), QString::number(w.zakladkaDlugosc),
                            gdzie + u'/'});
            dzwieki.append(dzwiek);
            QVERIFY(zapiszBajty(sciezka(u"dzwiek.bin"_s), dzwiek));
            dlugosci.append(decodeMp3(sciezka(u"dzwiek.bin"_s)).lengthMs);
        }
        QFile::remove(sciezka(u"dzwiek.bin"_s));
    }

    OpisKsiazki opis(const QString& tytul = u"Lalka"_s) const {
        return {tytul,     u"Bolesław Prus"_s, u"Jan Lektor"_s, u"pl"_s,
                u"1890"_s, u"Gebethner"_s,     QString()};
    }

    // Runs an export of the entries; its error, empty when it went through.
    QString eksportuj(const QString& daisy, const QString& mp3, bool zastap, const OpisKsiazki& o,
                      const QString& projekt = QString(), const QString& magazyn = QString()) {
        EksportKsiazki eksport(pozycje, o);
        eksport.folderDaisy = daisy;
        eksport.plikRozdzialow = mp3;
        eksport.zastap = zastap;
        eksport.plikProjektu = projekt;
        eksport.magazyn = magazyn;
        try {
            eksport.wykonaj();
            return QString();
        } catch (const SonvekError& e) {
            return e.text();
        }
    }

private slots:
    void init() {
        QVERIFY(dir.isValid());
        for (const QString& n : wpisyFolderu(dir.path())) {
            const QFileInfo info(sciezka(n));
            info.isDir() && !info.isSymLink() ? void(QDir(sciezka(n)).removeRecursively())
                                              : void(QFile::remove(sciezka(n)));
        }
    }

    void bothForms_data() {
        QTest::addColumn<QList<Wpis>>("wpisy");
        QTest::addColumn<QStringList>("tytuly");
        QTest::addColumn<int>("uwagi");
        QTest::addColumn<bool>("okladka"); // the user gives a cover
        QTest::addColumn<bool>("pelnyOpis");
        QTest::newRow("titles from tags, one hostile to XML")
            << QList<Wpis>{{ton(1000), u"r1.mp3"_s, u"Rozdział 1"_s},
                           {ton(2300), u"r2.mp3"_s, u"A<b> & \"c\"\x01 d"_s, 0, 1500},
                           {ton(700), u"r3.mp3"_s, u"Koniec"_s, 100, 200}}
            << QStringList{u"Rozdział 1"_s, u"A<b> & \"c\" d"_s, u"Koniec"_s} << 0 << true << true;
        // A joined file plays the information frame of every VBR file after
        // the first.
        QTest::newRow("VBR and CBR, titles from file names")
            << QList<Wpis>{{ton(1500, 22050, 2, true), u"Część pierwsza.mp3"_s, {}},
                           {ton(900, 22050, 2), u"druga.MP3"_s, {}},
                           {ton(1100, 22050, 2, true), u"trzecia.mp3"_s, {}}}
            << QStringList{u"Część pierwsza"_s, u"druga"_s, u"trzecia"_s} << 0 << true << true;
        QTest::newRow("bookmarks past the entry's end")
            << QList<Wpis>{{ton(1000), u"a.mp3"_s, {}, 400, 5000},
                           {ton(800), u"b.mp3"_s, {}, 3000, 100}}
            << QStringList{u"a"_s, u"b"_s} << 2 << true << true;
        // Every form of tag around the audio stays out of both books; the
        // first entry's cover goes into the MP3's tag.
        QTest::newRow("tags of every form, the cover of an entry")
            << QList<Wpis>{{ton(900), u"t1.mp3"_s, u"Pierwszy"_s, 0, 300, id3v1("Stary tytul"),
                            true},
                           {ton(900, 44100, 1, true),
                            u"t2.mp3"_s,
                            {},
                            0,
                            300,
                            ape("APE") + id3v1("Drugi")},
                           {ton(900), u"t3.mp3"_s, u"Trzeci"_s, 0, 300,
                            tagId3({{"TIT2", tekst(u"Dopisany"_s)}}, true)}}
            << QStringList{u"Pierwszy"_s, u"APE"_s, u"Trzeci"_s} << 0 << false << true;
        // FFmpeg reads titles of 127 bytes or more in a chapter wrongly and
        // drops that chapter and every later one.
        QTest::newRow("long titles, bookmarks mid-entry, details missing")
            << QList<Wpis>{{ton(1200), u"d1.mp3"_s, u"Wstęp"_s, 300, 200},
                           {ton(1500), u"d2.mp3"_s, u"Rozdział "_s + QString(118, u'd'), 700, 300},
                           {ton(1300), u"d3.mp3"_s, QString(70, u'ż'), 400, 300},
                           {ton(900), u"d4.mp3"_s, u"Koniec"_s, 0, 300}}
            << QStringList{u"Wstęp"_s, u"Rozdział "_s + QString(118, u'd'), QString(70, u'ż'),
                           u"Koniec"_s}
            << 0 << true << false;
    }
    void bothForms() {
        QFETCH(QList<Wpis>, wpisy);
        QFETCH(QStringList, tytuly);
        QFETCH(int, uwagi);
        QFETCH(bool, okladka);
        QFETCH(bool, pelnyOpis);
        utworz(wpisy);
        const QByteArray jpeg = "\xFF\xD8\xFF\xE0"_ba + QByteArray(100, 'j');
        QVERIFY(zapiszBajty(sciezka(u"okladka.jpg"_s), jpeg));
        OpisKsiazki o = opis();
        if (okladka)
            o.okladka = sciezka(u"okladka.jpg"_s);
        if (!pelnyOpis)
            o.autor = o.wydawca = QString();
        EksportKsiazki eksport(pozycje, o);
        eksport.folderDaisy = sciezka(u"daisy"_s);
        eksport.plikRozdzialow = sciezka(u"rozdzialy.mp3"_s);
        QStringList dziennik;
        eksport.dziennik = [&](const QString& l) { dziennik.append(l); };
        eksport.wykonaj();
        QCOMPARE(eksport.uwagi().size(), uwagi);
        QCOMPARE(dziennik.last(), u"Eksport zakończony powodzeniem"_s);

        // The MP3: one tag in front, then the entries' audio and nothing else
        // but an information frame that tells other players' readers the
        // whole file's length: the first entry's own, rewritten at its size,
        // or a new one in front of an entry that has none.
        const QByteArray mp3 = bajtyPliku(eksport.plikRozdzialow);
        const QByteArray razem = dzwieki.join();
        const QByteArray dzwiek = mp3.mid(rozmiarTagu(mp3));
        const qsizetype nowa = dzwiek.size() - razem.size();
        QVERIFY(nowa == 0 || (nowa >= 72 && nowa <= 1441 && dzwiek.mid(nowa) == razem));
        qsizetype rozne = 0;
        for (qsizetype i = 0; i < razem.size(); ++i)
            rozne = dzwiek[i] != razem[i] ? i + 1 : rozne;
        QVERIFY(nowa > 0 || rozne <= 1441);
        if (const auto dekodowana = dlugoscDekodowana(eksport.plikRozdzialow)) {
            const QMap<QString, double> dlugosci = dlugosciCzytnikow(eksport.plikRozdzialow);
            for (auto it = dlugosci.cbegin(); it != dlugosci.cend(); ++it)
                QVERIFY2(std::fabs(it.value() - *dekodowana) <= 0.1,
                         qPrintable(u"%1: %2 s, decoded %3 s"_s.arg(it.key())
                                        .arg(it.value())
                                        .arg(*dekodowana)));
        }
        const QJsonObject tag = mutagenId3(eksport.plikRozdzialow);
        if (tag.isEmpty()) {
            qWarning("mutagen missing: the tag not read by an independent reader");
        } else {
            QCOMPARE(tag[u"wersja"].toArray(), (QJsonArray{2, 4, 0}));
            QVERIFY(!tag[u"ramki"].toArray().contains(u"TRCK"_s));
            QCOMPARE(tag[u"obrazy"].toArray().size(), 1);
            QCOMPARE(tag[u"obrazy"][0][u"rozmiar"].toInt(), okladka ? jpeg.size() : kJpeg.size());
            QCOMPARE(tag[u"rozdzialy"].toArray().size(), tytuly.size());
        }
        QCOMPARE(bledyDekodowania(eksport.plikRozdzialow).trimmed(), QString());

        // Each file on its own (the DAISY book), and the joined audio up to
        // each chapter's end as one stream (the MP3's chapters).
        QList<double> wKsiazce{0};
        QByteArray dotad;
        for (int i = 0; i < dlugosci.size(); ++i) {
            dotad += dzwieki.at(i);
            zapiszBajty(sciezka(u"czesc.bin"_s), dotad);
            wKsiazce.append(decodeMp3(sciezka(u"czesc.bin"_s)).lengthMs);
        }
        QFile::remove(sciezka(u"czesc.bin"_s));
        // A title too long for FFmpeg ends with "…" in the chapter.
        auto tenTytul = [](const QString& odczytany, const QString& tytul) {
            return odczytany == tytul ||
                   (odczytany.endsWith(u'…') && tytul.startsWith(odczytany.chopped(1)) &&
                    odczytany.toUtf8().size() <= 126 && odczytany.size() > 40);
        };
        const QJsonObject probe = ffprobe(eksport.plikRozdzialow);
        if (probe.isEmpty()) {
            qWarning("ffprobe missing: chapters not read by an independent reader");
        } else {
            const QJsonArray rozdzialy = probe[u"chapters"].toArray();
            QCOMPARE(rozdzialy.size(), tytuly.size());
            for (int i = 0; i < tytuly.size(); ++i) {
                const QJsonObject r = rozdzialy.at(i).toObject();
                QVERIFY2(tenTytul(r[u"tags"][u"title"].toString(), tytuly.at(i)),
                         qPrintable(r[u"tags"][u"title"].toString()));
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
            QCOMPARE(tagi[u"artist"].toString(), pelnyOpis ? u"Bolesław Prus"_s : QString());
            QCOMPARE(tagi[u"language"].toString(), u"pol"_s);
        }

        // The DAISY book: the audio byte for byte, and every part of every
        // entry heard once, in order, whatever the bookmarks.
        const QDir daisy(eksport.folderDaisy);
        QStringList pliki{daisy.filePath(u"ncc.html"_s)};
        QList<std::tuple<QString, double, double>> slychac;
        double czas = 0;
        for (int i = 0; i < wpisy.size(); ++i) {
            const QString numer = u"%1"_s.arg(i + 1, 3, 10, QLatin1Char('0'));
            QCOMPARE(bajtyPliku(daisy.filePath(u"a"_s + numer + u".mp3"_s)), dzwieki.at(i));
            const QString smil = daisy.filePath(u"s"_s + numer + u".smil"_s);
            pliki.append(smil);
            const Dokument s = czytajDokument(smil);
            QVERIFY(qAbs(ms(s.meta.value(u"ncc:totalElapsedTime"_s)) - czas) <= 2);
            double wSmilu = 0;
            for (const auto& [plik, od, doMs] : std::as_const(s.klipy)) {
                wSmilu += doMs - od;
                if (!slychac.isEmpty() && std::get<0>(slychac.last()) == plik &&
                    qAbs(std::get<2>(slychac.last()) - od) <= 1)
                    std::get<2>(slychac.last()) = doMs;
                else
                    slychac.append({plik, od, doMs});
            }
            QVERIFY(qAbs(ms(s.meta.value(u"ncc:timeInThisSmil"_s)) - wSmilu) <= 2);
            czas += wSmilu;
            // The chapter's heading starts with its bookmark.
            const double zOd = wpisy.at(i).zakladkaOd;
            if (zOd < dlugosci.at(i))
                QVERIFY2(std::any_of(s.klipy.cbegin(), s.klipy.cend(),
                                     [&](const Klip& k) {
                                         return k.plik == u"a"_s + numer + u".mp3"_s &&
                                                qAbs(k.od - zOd) <= 1;
                                     }),
                         qPrintable(smil));
        }
        QCOMPARE(slychac.size(), wpisy.size());
        for (int i = 0; i < wpisy.size(); ++i) {
            QCOMPARE(std::get<0>(slychac.at(i)), u"a%1.mp3"_s.arg(i + 1, 3, 10, QLatin1Char('0')));
            QVERIFY(std::get<1>(slychac.at(i)) == 0);
            QVERIFY(qAbs(std::get<2>(slychac.at(i)) - dlugosci.at(i)) <= 1);
        }
        QCOMPARE(wpisyFolderu(daisy.path()).size(), 1 + 2 * wpisy.size());
        const Dokument ncc = czytajDokument(daisy.filePath(u"ncc.html"_s));
        QCOMPARE(ncc.naglowki.value(0), (std::pair{u"title"_s, u"Lalka"_s}));
        QCOMPARE(ncc.meta.value(u"dc:creator"_s), pelnyOpis ? u"Bolesław Prus"_s : u"nieznany"_s);
        QCOMPARE(ncc.meta.value(u"dc:publisher"_s), pelnyOpis ? u"Gebethner"_s : u"nieznany"_s);
        QCOMPARE(ncc.naglowki.size(), wpisy.size() + 1);
        const QString bledy = bledyXmllint(pliki);
        if (bledy.isNull())
            qWarning("xmllint or the DTDs missing: validity not checked");
        QVERIFY2(bledy.isEmpty(), qPrintable(bledy));

        // daisy-player lists the title first, then the chapters (its lines
        // end at the terminal's edge, some 80 bytes).
        QStringList oczekiwane{u"1 Lalka"_s};
        for (int i = 0; i < tytuly.size(); ++i)
            oczekiwane.append(u"%1 %2"_s.arg(i + 2).arg(tytuly.at(i)).left(30));
        const QStringList naglowki = naglowkiDaisyPlayer(daisy.path(), oczekiwane);
        if (naglowki.isEmpty())
            qWarning("daisy-player missing: headings not listed by a DAISY player");
        for (const QString& o : std::as_const(oczekiwane))
            QVERIFY2(naglowki.isEmpty() ||
                         std::any_of(naglowki.cbegin(), naglowki.cend(),
                                     [&](const QString& w) { return w.contains(o); }),
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
        QTest::newRow("language no tag") << u"jezyk"_s << u"nie jest kodem języka"_s;
        QTest::newRow("no title") << u"tytul"_s << u"Podaj tytuł"_s;
        QTest::newRow("MP3 of entries of another sample rate")
            << u"format"_s << u"b.mp3 (pozycja 2): częstotliwość: 22050 Hz zamiast"_s;
        // Replacing allowed from here on: the export still never writes
        // over, nor removes, what it reads or keeps, by any name.
        QTest::newRow("MP3 named as an entry") << u"wpis"_s << u"z którego powstaje"_s;
        QTest::newRow("entry inside the DAISY folder") << u"wfolderze"_s << u"jest w nim plik"_s;
        QTest::newRow("MP3 as an entry through a bind mount")
            << u"alias-wpis"_s << u"z którego powstaje"_s;
        QTest::newRow("DAISY folder holding the project, through a bind mount")
            << u"alias-projekt"_s << u"plik projektu"_s;
        QTest::newRow("MP3 as the project through a hard link")
            << u"twardy"_s << u"plik projektu"_s;
        QTest::newRow("DAISY folder is the store") << u"magazyn"_s << u"folder na scalone"_s;
        QTest::newRow("DAISY folder is a link") << u"dowiazanie"_s << u"dowiązanie symboliczne"_s;
        QTest::newRow("MP3 is a link") << u"dowiazanie-mp3"_s << u"dowiązanie symboliczne"_s;
        QTest::newRow("a folder that is no DAISY book")
            << u"obcy"_s << u"nie zostanie zastąpiony"_s;
        QTest::newRow("a book of ours with a file added")
            << u"dodany"_s << u"czego program nie zapisuje"_s;
    }
    void refused() {
        QFETCH(QString, zmiana);
        QFETCH(QString, blad);
        utworz({{ton(500), u"a.mp3"_s, {}}, {ton(500), u"b.mp3"_s, {}}});
        OpisKsiazki o = opis();
        QString daisy = sciezka(u"daisy"_s), mp3 = sciezka(u"k.mp3"_s), magazyn;
        const QString projekt = sciezka(u"projekt/p.xml"_s);
        QDir().mkpath(sciezka(u"projekt"_s));
        zapiszBajty(projekt, "<projekt/>");
        // The alias of the test's folder lies outside it.
        QTemporaryDir inny;
        std::optional<Podpiecie> alias;
        if (zmiana.startsWith(u"alias")) {
            alias.emplace(dir.path(), inny.filePath(u"alias"_s));
            if (!alias->zamontowany)
                QSKIP("a bind mount needs root");
        }
        const QString przezAlias = inny.filePath(u"alias/"_s);
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
        if (zmiana == u"alias-wpis")
            mp3 = przezAlias + u"b.mp3"_s;
        if (zmiana == u"alias-projekt")
            daisy = przezAlias + u"projekt"_s;
        if (zmiana == u"twardy") {
            mp3 = sciezka(u"twardy.mp3"_s);
            QCOMPARE(
                ::link(QFile::encodeName(projekt).constData(), QFile::encodeName(mp3).constData()),
                0);
        }
        if (zmiana == u"magazyn")
            QDir().mkpath(magazyn = daisy);
        if (zmiana.startsWith(u"dowiazanie")) {
            QDir().mkpath(sciezka(u"moje"_s));
            zapiszBajty(sciezka(u"moje/list.txt"_s), "ważne");
            QVERIFY(QFile::link(sciezka(u"moje"_s), daisy));
            if (zmiana == u"dowiazanie-mp3") {
                daisy.clear();
                QVERIFY(QFile::link(sciezka(u"moje/list.txt"_s), mp3));
            }
        }
        if (zmiana == u"obcy") {
            QDir().mkpath(daisy);
            zapiszBajty(daisy + u"/Scalona książka.mp3"_s, "scalona");
        }
        if (zmiana == u"dodany") {
            QDir().mkpath(daisy);
            zapiszBajty(daisy + u"/ncc.html"_s, kNaszeNcc);
            zapiszBajty(daisy + u"/notatki.txt"_s, "moje");
        }
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
        const auto przedDaisy = zawartoscFolderu(daisy);
        const auto przedProjekt = zawartoscFolderu(sciezka(u"projekt"_s));
        const bool zastap = refusedRowReplaces(zmiana);
        const QString e = eksportuj(daisy, mp3, zastap, o, projekt, magazyn);
        QVERIFY2(e.contains(blad), qPrintable(e));
        QCOMPARE(zawartoscFolderu(dir.path()), przed);
        QCOMPARE(zawartoscFolderu(daisy), przedDaisy);
        QCOMPARE(zawartoscFolderu(sciezka(u"projekt"_s)), przedProjekt);
        QCOMPARE(bajtyPliku(sciezka(u"moje/list.txt"_s)),
                 zmiana.startsWith(u"dowiazanie") ? "ważne"_ba : QByteArray());
    }

    // Levels an imported book gave its entries become the headings' levels,
    // none deeper than one below the heading before it; the book stays valid.
    void headingLevels() {
        utworz({{ton(300), u"a.mp3"_s, {}},
                {ton(300), u"b.mp3"_s, {}},
                {ton(300), u"c.mp3"_s, {}},
                {ton(300), u"d.mp3"_s, {}},
                {ton(300), u"e.mp3"_s, u"100%4 %1"_s}});
        const QStringList poziomy{u"2"_s, u"4"_s, u"3"_s, u"x"_s, u"2"_s};
        for (int i = 0; i < poziomy.size(); ++i)
            pozycje[i].Poziom = poziomy.at(i);
        QCOMPARE(eksportuj(sciezka(u"daisy"_s), QString(), false, opis()), QString());
        const Dokument ncc = czytajDokument(sciezka(u"daisy/ncc.html"_s));
        QCOMPARE(ncc.poziomy, (QList<int>{1, 1, 2, 3, 1, 2}));
        QCOMPARE(ncc.naglowki.last().second, u"100%4 %1"_s);
        QCOMPARE(ncc.meta.value(u"ncc:depth"_s), u"3"_s);
        QStringList pliki{sciezka(u"daisy/ncc.html"_s)};
        const QString bledy = bledyXmllint(pliki);
        QVERIFY2(bledy.isNull() || bledy.isEmpty(), qPrintable(bledy));
    }

    // Levelled, both forms carry the frames a levelled merge writes: the
    // chaptered MP3's audio is the merged book's bytes, each DAISY file an
    // entry's part of them, and the loudness moves by the steps taken.
    void levelledLikeTheMerge() {
        utworz({{ton(1500, 44100, 1, true), u"g1.mp3"_s, {}},
                {ton(1200), u"g2.mp3"_s, {}},
                {ton(900), u"g3.mp3"_s, {}}});
        const MiernikGlosnosci cichy = [](const QString&, const std::atomic_bool*) {
            return std::optional(PomiarGlosnosci{-24.0, -20.0, 100, 180});
        };
        ZadanieScalania scalanie(sciezka(u"ksiazka.mp3"_s), pozycje, miernikMp3());
        scalanie.celGlosnosci = -18.0;
        scalanie.miernikGlosnosci = cichy;
        QVERIFY(scalanie.wykonaj());
        EksportKsiazki eksport(pozycje, opis());
        eksport.folderDaisy = sciezka(u"daisy"_s);
        eksport.plikRozdzialow = sciezka(u"rozdzialy.mp3"_s);
        eksport.celGlosnosci = -18.0;
        eksport.miernikGlosnosci = cichy;
        QStringList dziennik;
        eksport.dziennik = [&](const QString& l) { dziennik.append(l); };
        eksport.wykonaj();
        QCOMPARE(dziennik.filter(u"(4 kroki po 1,505 dB)"_s).size(), 3);

        const QByteArray ksiazka = bajtyPliku(scalanie.scalony());
        const QByteArray mp3 = bajtyPliku(eksport.plikRozdzialow);
        QCOMPARE(mp3.mid(rozmiarTagu(mp3)), ksiazka);
        QVERIFY(ksiazka.size() == dzwieki.join().size() && ksiazka != dzwieki.join());
        // The first file keeps its own information frame (at most 1441 bytes).
        QByteArray daisy;
        for (int i = 0; i < dzwieki.size(); ++i)
            daisy += bajtyPliku(sciezka(u"daisy/a%1.mp3"_s.arg(i + 1, 3, 10, QLatin1Char('0'))));
        QCOMPARE(daisy.size(), ksiazka.size());
        QCOMPARE(daisy.mid(1441), ksiazka.mid(1441));
        QCOMPARE(bledyDekodowania(eksport.plikRozdzialow).trimmed(), QString());
        QCOMPARE(eksportuj({}, sciezka(u"zwykly.mp3"_s), false, opis()), QString());
        const auto glosny = ffmpegGlosnosc(eksport.plikRozdzialow);
        const auto zwykly = ffmpegGlosnosc(sciezka(u"zwykly.mp3"_s));
        if (!glosny || !zwykly)
            QSKIP("ffmpeg missing: loudness not measured by an independent reader");
        QVERIFY2(qAbs(glosny->first - zwykly->first - 4 * 1.505) < 0.3,
                 qPrintable(u"%1 %2"_s.arg(glosny->first).arg(zwykly->first)));
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
        QTest::newRow("stopped writing the DAISY book") << 9 << false;
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
        zapiszBajty(cel + u"/daisy/ncc.html"_s, kNaszeNcc);
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
            QVERIFY2(pelny && e.text().contains(u"Nie można zapisać pliku"_s) &&
                         e.text().contains(u"brak miejsca na dysku"_s),
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

    // An export killed anywhere leaves the old book and MP3 or, once both
    // new ones were whole, the new ones, never one of each; what finishes
    // it (the next export of the book, first of all) leaves nothing else.
    void killedExportIsFinished_data() {
        QTest::addColumn<QString>("krok");
        QTest::addColumn<bool>("fat");
        QTest::newRow("while writing") << u"pisanie"_s << false;
        QTest::newRow("plan recorded") << u"plan"_s << false;
        QTest::newRow("book in place") << u"daisy"_s << false;
        QTest::newRow("MP3 in place") << u"mp3"_s << false;
        QTest::newRow("book in place, on FAT") << u"daisy"_s << true;
    }
    void killedExportIsFinished() {
        QFETCH(QString, krok);
        QFETCH(bool, fat);
        utworz({{ton(800), u"a.mp3"_s, {}}, {ton(800), u"b.mp3"_s, {}}});
        const QString cel = sciezka(u"cel"_s);
        QDir().mkpath(cel);
        std::optional<SystemFat> system;
        if (fat && !system.emplace(cel).zamontowany)
            QSKIP(system->powod);
        const QString daisy = cel + u"/daisy"_s, mp3 = cel + u"/k.mp3"_s;
        QCOMPARE(eksportuj(daisy, mp3, false, opis(u"Stara"_s)), QString());
        const pid_t dziecko = ::fork();
        if (dziecko == 0) {
            EksportKsiazki eksport(pozycje, opis(u"Nowa"_s));
            eksport.folderDaisy = daisy;
            eksport.plikRozdzialow = mp3;
            eksport.zastap = true;
            int pytania = 0;
            eksport.przerwac = [&] {
                if (krok == u"pisanie" && ++pytania == 9)
                    ::_exit(9);
                return false;
            };
            eksport.poKroku = [&](const char* k) {
                if (krok == QLatin1StringView(k))
                    ::_exit(9);
            };
            try {
                eksport.wykonaj();
            } catch (...) {
            }
            ::_exit(0);
        }
        int stan = 0;
        QCOMPARE(::waitpid(dziecko, &stan, 0), dziecko);
        QCOMPARE(WEXITSTATUS(stan), 9);
        UmieszczenieKsiazki::dokonczPozostawione(daisy);
        const QByteArray tytul = krok == u"pisanie" ? "Stara" : "Nowa";
        QVERIFY(bajtyPliku(daisy + u"/ncc.html"_s).contains("content=\"" + tytul + '"'));
        QVERIFY(bajtyPliku(mp3).left(200).contains(tytul));
        QCOMPARE(wpisyFolderu(cel), (QStringList{u"daisy"_s, u"k.mp3"_s}));
        QCOMPARE(wpisyFolderu(daisy).size(), 5);
    }

    // FAT, as a card carries it, through FUSE: names in other case lead to
    // the same files, and the file system swaps no folders.
    void onFat() {
        const QString karta = sciezka(u"karta"_s);
        QDir().mkpath(karta);
        SystemFat fat(karta);
        if (!fat.zamontowany)
            QSKIP(fat.powod);
        QDir().mkpath(karta + u"/Proj"_s);
        utworz({{ton(600), u"e1.mp3"_s, {}}, {ton(600), u"e2.mp3"_s, {}}}, karta + u"/Proj"_s);
        const QString projekt = karta + u"/Proj/p.xml"_s;
        zapiszBajty(projekt, "<projekt/>");
        const auto przed = zawartoscFolderu(karta + u"/Proj"_s);
        QVERIFY(eksportuj(karta + u"/PROJ"_s, QString(), true, opis(), projekt)
                    .contains(u"jest w nim plik"_s));
        QVERIFY(eksportuj(QString(), karta + u"/proj/E1.MP3"_s, true, opis(), projekt)
                    .contains(u"z którego powstaje"_s));
        QCOMPARE(zawartoscFolderu(karta + u"/Proj"_s), przed);
        // Made, then replaced by two renames with the old book kept aside
        // until the new one is in.
        const QString daisy = karta + u"/Ksiazka"_s; // fusefat takes ASCII names only
        QCOMPARE(eksportuj(daisy, karta + u"/k.mp3"_s, false, opis(u"Stara"_s)), QString());
        QCOMPARE(eksportuj(daisy, karta + u"/k.mp3"_s, true, opis(u"Nowa"_s)), QString());
        QVERIFY(bajtyPliku(daisy + u"/ncc.html"_s).contains("content=\"Nowa\""));
        QCOMPARE(wpisyFolderu(karta), (QStringList{u"Ksiazka"_s, u"Proj"_s, u"k.mp3"_s}));
    }

    // What a killed export left goes, a lone lock included; what a running
    // one holds stays.
    void leftoversOfKilledExport() {
        utworz({{ton(300), u"a.mp3"_s, {}}});
        QVERIFY(QDir().mkpath(sciezka(u".d.abc.tmp"_s)));
        zapiszBajty(sciezka(u".d.abc.tmp/a001.mp3"_s), "a");
        QVERIFY(QDir().mkpath(sciezka(u".d.def.tmp"_s)));
        zapiszBajty(sciezka(u".d.ghi.lock"_s), "");
        QFile blokada(sciezka(u".d.def.lock"_s));
        QVERIFY(blokada.open(QIODevice::WriteOnly));
        QCOMPARE(::flock(blokada.handle(), LOCK_EX | LOCK_NB), 0);
        QCOMPARE(eksportuj(sciezka(u"d"_s), QString(), false, opis()), QString());
        QCOMPARE(wpisyFolderu(dir.path()).filter(u".d."_s),
                 (QStringList{u".d.def.lock"_s, u".d.def.tmp"_s}));
    }

    // Names at the system's limit, and an entry whose name is blank: the
    // book is made and replaced, every heading says something.
    void namesAtTheEdges_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("wpis");
        QTest::newRow("245-byte folder name") << QString(245, u'k') << u"a.mp3"_s;
        QTest::newRow("folder name of Polish letters at the limit")
            << QString(120, u'ś') << u"a.mp3"_s;
        QTest::newRow("blank entry name") << u"d"_s << u" .mp3"_s;
    }
    void namesAtTheEdges() {
        QFETCH(QString, folder);
        QFETCH(QString, wpis);
        utworz({{ton(400), wpis, {}}});
        const QString daisy = sciezka(folder);
        QCOMPARE(eksportuj(daisy, QString(), false, opis()), QString());
        QCOMPARE(eksportuj(daisy, QString(), true, opis(u"Druga"_s)), QString());
        QCOMPARE(wpisyFolderu(dir.path()), (QStringList{wpis, folder}));
        for (const auto& [klasa, tekst] : czytajDokument(daisy + u"/ncc.html"_s).naglowki)
            QVERIFY2(!tekst.trimmed().isEmpty(), qPrintable(klasa));
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
        // A limit on the size of files: a Polish reason, nothing changed.
        w = uruchomNarzedzie(u"sonvek-eksport"_s, argumenty + QStringList{u"--zastap"_s},
                             u"ulimit -f 4"_s);
        QCOMPARE(w.kod, 1);
        QVERIFY2(w.bledy.contains(u"(ulimit -f: "_s), qPrintable(w.bledy));
        QCOMPARE(zawartoscFolderu(dir.path()), przed);
        QCOMPARE(uruchomNarzedzie(u"sonvek-eksport"_s, argumenty + QStringList{u"--zastap"_s}).kod,
                 0);
        QCOMPARE(uruchomNarzedzie(u"sonvek-eksport"_s, {u"--tytul"_s}).kod, 2);
        // A target loudness that is none is a wrong argument, before any work.
        w = uruchomNarzedzie(u"sonvek-eksport"_s,
                             argumenty + QStringList{u"--wyrownaj-glosnosc=-3"_s});
        QCOMPARE(w.kod, 2);
        QVERIFY2(w.bledy.contains(u"głośność docelowa"_s), qPrintable(w.bledy));
    }

private:
    static bool refusedRowReplaces(const QString& zmiana) {
        return !QStringList{u"brak"_s,     u"wav"_s,   u"okladka"_s, u"duza"_s,
                            u"istnieje"_s, u"jezyk"_s, u"tytul"_s}
                    .contains(zmiana);
    }
};

QTEST_GUILESS_MAIN(TestEksportKsiazki)
#include "tst_eksportksiazki.moc"
