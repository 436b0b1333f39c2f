// The books on a card: the listing, the names a card accepts, making room,
// several books copied in one go, and sonvek-karta end to end on FAT.

#include "card/KartaKsiazek.h"
#include "card/NaglowekMp3.h"
#include "support/FakeFreeSpace.h"
#include "support/FileBytes.h"
#include "support/KartaFat.h"
#include "support/Mp3Maker.h"
#include "support/RunTool.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestKartaKsiazek : public QObject {
    Q_OBJECT
    std::optional<QTemporaryDir> dir;
    QString karta, magazyn;

    // A store book: the audio bytes, a .dat of `zakladki` lines, a .log.
    QString ksiazka(const QString& nazwa, const QByteArray& audio, int zakladki = 2) {
        const QString sciezka = magazyn + nazwa;
        QByteArray dat;
        for (int i = 0; i < zakladki; ++i)
            dat += QByteArray::number(i * 100) + "\t100\r\n";
        const QStringList pliki = plikiKsiazki(sciezka);
        if (!zapiszBajty(pliki[0], audio) || !zapiszBajty(pliki[1], dat) ||
            !zapiszBajty(pliki[2], "0000000 0000000"))
            return {};
        return sciezka;
    }
    static KsiazkaNaKarcieOpis naKarcie(const QString& nazwa, std::int64_t klastry) {
        KsiazkaNaKarcieOpis k;
        k.nazwa = k.audio = nazwa;
        k.klastry = klastry;
        k.razem = klastry * 4096;
        return k;
    }

private slots:
    void init() {
        dir.emplace();
        QVERIFY(QDir(dir->path()).mkpath(u"karta"_s) && QDir(dir->path()).mkpath(u"magazyn"_s));
        karta = dir->filePath(u"karta/"_s);
        magazyn = dir->filePath(u"magazyn/"_s);
    }

    // A real FAT card through sonvek-karta: three books copied in one go,
    // then an incomplete book, player.dat and a foreign file beside them;
    // the list is exact, the check finds the books equal, a removal takes
    // one book's files and nothing else.
    void fatCardEndToEnd() {
        KartaFat fat(dir->filePath(u"karta.img"_s), karta.chopped(1), 48);
        if (!fat.powod.isEmpty())
            QSKIP(qPrintable(fat.powod));
        const QStringList ksiazki{
            ksiazka(u"Beta.mp3"_s, makeMp3Data({.durationMs = 3500, .vbr = true, .xing = true}), 3),
            ksiazka(u"alfa.mp3"_s, makeMp3Data({.durationMs = 65500, .bitrateKbps = 32}), 12),
            ksiazka(u"Gamma.asz"_s,
                    makeMp3Data({.durationMs = 2500, .xing = true}) +
                        makeMp3Data({.durationMs = 2500, .xing = true}),
                    1)};
        Wynik w = uruchomNarzedzie(u"sonvek-karta"_s,
                                   QStringList{u"--kopiuj"_s} + ksiazki + QStringList{karta});
        QVERIFY2(w.kod == 0, qPrintable(w.bledy));
        QVERIFY2(w.wyjscie.join(u'\n').contains(u"Skopiowano 3 z 3 książek."_s),
                 qPrintable(w.wyjscie.join(u'\n')));
        QVERIFY(zapiszBajty(karta + u"delta.mp3"_s, makeMp3Data({.durationMs = 1500})));
        QVERIFY(zapiszBajty(karta + u"delta.dat"_s, "0\t10\r\n"));
        QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        QVERIFY(zapiszBajty(karta + u"notatki.txt"_s, "obcy plik"));

        const auto rozmiar = [&](const QString& n) { return QFileInfo(karta + n).size(); };
        const auto pomiar = zmierzKarte(karta, SystemoweWolneMiejsce());
        QVERIFY(pomiar);
        w = uruchomNarzedzie(u"sonvek-karta"_s, {karta});
        QCOMPARE(w.kod, 0);
        QCOMPARE(w.wyjscie,
                 (QStringList{u"alfa.mp3\t%1\t0:01:05\t12\tpełna"_s.arg(rozmiar(u"alfa.mp3"_s)),
                              u"Beta.mp3\t%1\t0:00:03\t3\tpełna"_s.arg(rozmiar(u"Beta.mp3"_s)),
                              u"delta.mp3\t%1\t0:00:01\t1\tniepełna (brak pliku .log)"_s.arg(
                                  rozmiar(u"delta.mp3"_s)),
                              u"Gamma.asz\t%1\t0:00:05\t1\tpełna"_s.arg(rozmiar(u"Gamma.asz"_s)),
                              u"wolne\t%1\t%2"_s.arg(wolneBajty(*pomiar))
                                  .arg(qint64(pomiar->wolumin.wszystkieKlastry) *
                                       pomiar->wolumin.rozmiarKlastra)}));

        w = uruchomNarzedzie(u"sonvek-karta"_s, {u"--sprawdz"_s, magazyn, karta});
        QCOMPARE(w.kod, 1); // delta is incomplete and not in the store
        QCOMPARE(w.wyjscie, (QStringList{u"alfa.mp3\tzgodna"_s, u"Beta.mp3\tzgodna"_s,
                                         u"delta.mp3\tniepełna"_s, u"Gamma.asz\tzgodna"_s}));

        w = uruchomNarzedzie(u"sonvek-karta"_s, {u"--usun"_s, u"gamma.asz"_s, karta});
        QVERIFY2(w.kod == 0, qPrintable(w.bledy));
        w = uruchomNarzedzie(u"sonvek-karta"_s, {u"--usun"_s, u"delta.mp3"_s, karta});
        QVERIFY2(w.kod == 0, qPrintable(w.bledy));
        QCOMPARE(wpisyFolderu(karta),
                 (QStringList{u"Beta.dat"_s, u"Beta.log"_s, u"Beta.mp3"_s, u"alfa.dat"_s,
                              u"alfa.log"_s, u"alfa.mp3"_s, u"notatki.txt"_s, u"player.dat"_s}));
    }

    // The length from the headers against a full decode by LAME's decoder.
    void lengthFromHeaders_data() {
        QTest::addColumn<QByteArray>("mp3");
        QTest::newRow("CBR 64 kbps mono") << makeMp3Data({.durationMs = 8000});
        QTest::newRow("CBR 32 kbps 22.05 kHz stereo") << makeMp3Data(
            {.durationMs = 6000, .sampleRate = 22050, .channels = 2, .bitrateKbps = 32});
        QTest::newRow("VBR with a Xing header")
            << makeMp3Data({.durationMs = 7000, .channels = 2, .vbr = true, .xing = true});
        QTest::newRow("MPEG 2.5, 8 kHz")
            << makeMp3Data({.durationMs = 5000, .sampleRate = 8000, .bitrateKbps = 16});
        QTest::newRow("ID3v2 in front, ID3v1 behind")
            << makeMp3Data({.durationMs = 4000, .id3v2 = true}) + "TAG" + QByteArray(125, 'x');
        QTest::newRow("joined: the first file's Info header")
            << makeMp3Data({.durationMs = 3000, .vbr = true, .xing = true}) +
                   makeMp3Data({.durationMs = 9000, .vbr = true, .xing = true});
    }
    void lengthFromHeaders() {
        QFETCH(QByteArray, mp3);
        const QString plik = magazyn + u"k.mp3"_s;
        QVERIFY(zapiszBajty(plik, mp3));
        const auto dlugosc = dlugoscZNaglowkow(plik);
        QVERIFY(dlugosc);
        const double wzor = decodeMp3(plik).lengthMs;
        QVERIFY2(std::abs(double(*dlugosc) - wzor) <= std::max(100.0, wzor * 0.05),
                 qPrintable(u"%1 ms, decoded %2 ms"_s.arg(*dlugosc).arg(wzor)));
        QVERIFY(zapiszBajty(plik, randomBytes(100000, 7)));
        QVERIFY(!dlugoscZNaglowkow(plik));
    }

    // Names FAT refuses, and names equal to another book's but for case,
    // are caught with a safe name proposed.
    void namesTheCardAccepts_data() {
        QTest::addColumn<QString>("nazwa");
        QTest::addColumn<QString>("problem"); // part of it; empty: the name may be used
        QTest::addColumn<QString>("propozycja");
        QTest::newRow("plain") << u"Lalka.mp3"_s << QString() << u"Lalka.mp3"_s;
        QTest::newRow("the same book, replaced")
            << u"Potop.mp3"_s << QString() << u"Potop (2).mp3"_s;
        QTest::newRow("colon and question mark")
            << u"Tom 1: Kto? .mp3"_s << u"znak :"_s << u"Tom 1_ Kto_.mp3"_s;
        QTest::newRow("trailing dot")
            << u"Lalka..mp3."_s << u"kropką lub spacją"_s << u"Lalka..mp3"_s;
        QTest::newRow("device name")
            << u"con.mp3"_s << u"zastrzeżona nazwa urządzenia"_s << u"con_.mp3"_s;
        QTest::newRow("COM1 with more dots")
            << u"COM1.tom.mp3"_s << u"zastrzeżona"_s << u"COM1_.tom.mp3"_s;
        QTest::newRow("case clash with a book on the card")
            << u"POTOP.mp3"_s << u"tylko wielkością liter"_s << u"POTOP (2).mp3"_s;
        QTest::newRow("another extension shares the index files")
            << u"potop.asz"_s << u"tylko wielkością liter lub rozszerzeniem"_s
            << u"potop (2).asz"_s;
        QTest::newRow("control character") << u"a\tb.mp3"_s << u"sterujący"_s << u"a_b.mp3"_s;
    }
    void namesTheCardAccepts() {
        QFETCH(QString, nazwa);
        QFETCH(QString, problem);
        QFETCH(QString, propozycja);
        ZawartoscKarty karta;
        karta.ksiazki = {naKarcie(u"Potop.mp3"_s, 10)};
        const auto wynik = problemNazwyNaKarcie(nazwa, karta);
        QCOMPARE(bool(wynik), !problem.isEmpty());
        if (wynik)
            QVERIFY2(wynik->contains(problem) && wynik->contains(propozycja), qPrintable(*wynik));
        QCOMPARE(bezpiecznaNazwa(nazwa, {u"Potop.mp3"_s}), propozycja);
        QVERIFY(!powodNiedozwolonejNazwy(propozycja));
    }

    // What is missing, and which books of the card would make room together.
    void makingRoom_data() {
        QTest::addColumn<int>("wolne");     // free clusters of 4096 bytes
        QTest::addColumn<int>("potrzebne"); // clusters the new books need
        QTest::addColumn<QStringList>("doUsuniecia");
        QTest::addColumn<QString>("opis");
        QTest::newRow("fits") << 100 << 100 << QStringList() << QString();
        QTest::newRow("the smallest book that is enough")
            << 100 << 130 << QStringList{u"b.mp3"_s} << u"brakuje 120,0 kB"_s;
        QTest::newRow("two largest, then one not needed left out")
            << 100 << 330 << QStringList{u"d.mp3"_s, u"b.mp3"_s}
            << u"książek d.mp3 (800,0 kB), b.mp3"_s;
        QTest::newRow("the replaced book does not count")
            << 0 << 350 << QStringList() << u"Nie zrobi go nawet"_s;
    }
    void makingRoom() {
        QFETCH(int, wolne);
        QFETCH(int, potrzebne);
        QFETCH(QStringList, doUsuniecia);
        QFETCH(QString, opis);
        ZawartoscKarty karta;
        karta.pomiar.wolumin = {4096, std::uint64_t(wolne)};
        karta.pomiar.playerNaKarcie = true;
        karta.pomiar.klastryPozostalosci = 1; // evens out player.dat
        karta.ksiazki = {naKarcie(u"a.mp3"_s, 20), naKarcie(u"b.mp3"_s, 40),
                         naKarcie(u"c.mp3"_s, 150), naKarcie(u"d.mp3"_s, 200)};
        const auto dopasowanie = jakZmiescic(karta, potrzebne, {u"C.mp3"_s});
        QCOMPARE(bool(dopasowanie), !opis.isEmpty());
        if (!dopasowanie)
            return;
        QStringList nazwy;
        for (const auto& k : dopasowanie->doUsuniecia)
            nazwy.append(k.nazwa);
        QCOMPARE(nazwy, doUsuniecia);
        QVERIFY2(dopasowanie->opis().contains(opis), qPrintable(dopasowanie->opis()));
    }

    // Several books in one go: whatever stops one of them before the copy
    // leaves the card as it was; with room for all, each is copied and
    // read back, and the summary names them.
    void severalBooksInOneGo_data() {
        QTest::addColumn<int>("wolne"); // free clusters of 4096 bytes
        QTest::addColumn<QString>("zmiana");
        QTest::addColumn<QString>("komunikat");
        QTest::newRow("room for all") << 200 << QString() << u"Skopiowano 3 z 3 książek."_s;
        QTest::newRow("room for two of three") << 60 << QString() << u"nie zmieszczą się razem"_s;
        QTest::newRow("a book without its .log")
            << 200 << u"bez log"_s << u"w magazynie nie ma pliku"_s;
        QTest::newRow("a name FAT refuses") << 200 << u"nazwa"_s << u"nie nadaje się na kartę"_s;
        QTest::newRow("two books of one name but for case")
            << 200 << u"dwie"_s << u"miałyby na karcie tę samą nazwę"_s;
        QTest::newRow("one book fails, the others go on")
            << 200 << u"blad b"_s << u"Skopiowano 2 z 3 książek."_s;
    }
    void severalBooksInOneGo() {
        QFETCH(int, wolne);
        QFETCH(QString, zmiana);
        QFETCH(QString, komunikat);
        QStringList ksiazki;
        for (const QString& n : {u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s})
            ksiazki.append(ksiazka(n, QByteArray(90 * 1024, 'a')));
        if (zmiana == u"bez log"_s)
            QVERIFY(QFile::remove(magazyn + u"b.log"_s));
        if (zmiana == u"nazwa"_s)
            ksiazki.append(ksiazka(u"d?.mp3"_s, "d"));
        if (zmiana == u"dwie"_s)
            ksiazki.append(ksiazka(u"A.MP3"_s, "A"));
        QVERIFY(zapiszBajty(karta + u"player.dat"_s, "0000 0000"));
        const FakeWolneMiejsce miejsce(4096, std::uint64_t(wolne));
        // The card returns other bytes of b.mp3 than were written.
        const auto kopiowanie = [&](const QStringList& pliki, const QString& korzen,
                                    const ObslugaKopiowania& obsluga) {
            ObslugaKopiowania klamie = obsluga;
            if (zmiana == u"blad b"_s && pliki.contains(magazyn + u"b.mp3"_s))
                klamie.odczyt = [](int, char*, std::size_t, off_t) -> ssize_t {
                    errno = EIO;
                    return -1;
                };
            return kopiujKsiazkeNaKarte(pliki, korzen, klamie);
        };
        const RaportKopiiWielu raport =
            kopiujKsiazkiNaKarte(ksiazki, karta, miejsce, {}, kopiowanie);
        QVERIFY2(raport.podsumowanie().contains(komunikat), qPrintable(raport.podsumowanie()));
        QCOMPARE(raport.wszystkie(), zmiana.isEmpty() && wolne == 200);
        const qsizetype pliki = raport.wszystkie() ? 10 : zmiana == u"blad b"_s ? 7 : 1;
        QCOMPARE(wpisyFolderu(karta).size(), pliki);
        QVERIFY(wpisyFolderu(karta).contains(u"player.dat"_s));
        QCOMPARE(wpisyFolderu(karta).contains(u"b.mp3"_s), raport.wszystkie());
    }

    void commandLineUsage_data() {
        QTest::addColumn<QStringList>("argumenty");
        QTest::addColumn<int>("kod");
        QTest::addColumn<QString>("tekst");
        QTest::newRow("no card") << QStringList() << 2 << u"Użycie: sonvek-karta"_s;
        QTest::newRow("two modes")
            << QStringList{u"--usun"_s, u"x"_s, u"--kopiuj"_s, u"k"_s} << 2 << u"wykluczają się"_s;
        QTest::newRow("copy without books")
            << QStringList{u"--kopiuj"_s, u"k"_s} << 2 << u"podaj książki"_s;
        QTest::newRow("not a card")
            << QStringList{u"/nie/ma/karty"_s} << 1 << u"Karta nie jest dostępna"_s;
        QTest::newRow("help") << QStringList{u"--help"_s} << 0 << u"--sprawdz MAGAZYN"_s;
    }
    void commandLineUsage() {
        QFETCH(QStringList, argumenty);
        QFETCH(int, kod);
        QFETCH(QString, tekst);
        const Wynik w = uruchomNarzedzie(u"sonvek-karta"_s, argumenty);
        QCOMPARE(w.kod, kod);
        QVERIFY2((w.bledy + w.wyjscie.join(u'\n')).contains(tekst), qPrintable(w.bledy));
    }
};

QTEST_GUILESS_MAIN(TestKartaKsiazek)
#include "tst_kartaksiazek.moc"
