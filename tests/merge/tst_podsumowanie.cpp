// The book's summary: what it says, in which order, and the card's room as
// the copy counts it.

#include "merge/Podsumowanie.h"
#include "support/Mp3Maker.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ListaPozycji)
Q_DECLARE_METATYPE(QList<PlikKsiazki>)
Q_DECLARE_METATYPE(KartaPodsumowania)

namespace {

PozycjaProjektu pozycja(const QString& nazwa, const QString& poczatek = u"0"_s,
                        const QString& dlugosc = u"1000"_s) {
    return {QString(), nazwa, poczatek, dlugosc, u"/ksiazka/"_s};
}

PlikKsiazki plik(std::int64_t rozmiar, std::int64_t ms, int hz = 44100, int kanaly = 2) {
    PlikKsiazki p;
    p.jest = true;
    p.rozmiar = rozmiar;
    PomiarMp3 mp3;
    mp3.format = {hz, kanaly};
    mp3.dlugoscMs = ms;
    p.mp3 = mp3;
    return p;
}

KartaPodsumowania karta(std::uint64_t wolneKlastry, bool player, bool fat = false) {
    PomiarKarty pomiar;
    pomiar.wolumin = {4096, wolneKlastry, fat};
    pomiar.playerNaKarcie = player;
    return {pomiar, QString()};
}

} // namespace

class TestPodsumowanie : public QObject {
    Q_OBJECT
private slots:
    void lines_data() {
        QTest::addColumn<ListaPozycji>("pozycje");
        QTest::addColumn<QList<PlikKsiazki>>("pliki");
        QTest::addColumn<KartaPodsumowania>("karta");
        QTest::addColumn<QStringList>("linie");
        ListaPozycji dwie{pozycja(u"01.mp3"_s), pozycja(u"02.mp3"_s)};
        dwie[1].Sprawdzona = true;
        const QList<PlikKsiazki> dobre{plik(1000, 60'000), plik(2000, 3'540'000)};
        const QStringList reszta{u"Nie znaleziono problemów."_s,
                                 u"Pozycje: 2, sprawdzone: 1 z 2."_s, u"Długość: 1:00:00."_s,
                                 u"Rozmiar scalonej książki: 2,9 kB (3000 bajtów)."_s,
                                 u"Format: 44100 Hz, 2 kanały."_s};
        // 100 clusters less two for the index files; the book takes one.
        QTest::newRow("fits")
            << dwie << dobre << karta(100, false)
            << QStringList{u"Książka zmieści się na karcie; zostanie wolne 388,0 kB."_s} + reszta;
        // One cluster for the book, two for the index files, one for player.dat.
        QTest::newRow("player.dat counts")
            << dwie << dobre << karta(4, true)
            << QStringList{u"Książka zmieści się na karcie; zostanie wolne 0,0 kB."_s} + reszta;
        QTest::newRow("without player.dat")
            << dwie << dobre << karta(4, false)
            << QStringList{u"Książka zmieści się na karcie; zostanie wolne 4,0 kB."_s} + reszta;
        QTest::newRow("no room")
            << dwie << dobre << karta(3, true)
            << QStringList{u"Książka nie zmieści się na karcie: brakuje 2,9 kB."_s} + reszta;
        QTest::newRow("no card")
            << dwie << dobre << KartaPodsumowania{std::nullopt, u"Nie wybrano karty."_s}
            << QStringList{u"Nie wybrano karty. Nie wiadomo, czy książka zmieści się na "
                           "karcie."_s} +
                   reszta;
        const std::int64_t gb5 = std::int64_t{5} << 30;
        QTest::newRow("FAT and 4 GB")
            << ListaPozycji{pozycja(u"01.mp3"_s)} << QList<PlikKsiazki>{plik(gb5, 1000)}
            << karta(std::uint64_t{1} << 24, false, true)
            << QStringList{u"Książka nie zmieści się na karcie: Karta ma system plików FAT, na "
                           "którym plik nie może mieć 4 GB ani więcej. Wybrany plik audio nie "
                           "będzie skopiowany!"_s,
                           u"Nie znaleziono problemów."_s,
                           u"Pozycje: 1, sprawdzone: 0 z 1."_s,
                           u"Długość: 0:00:01."_s,
                           u"Rozmiar scalonej książki: 5120,0 MB (5368709120 bajtów)."_s,
                           u"Format: 44100 Hz, 2 kanały."_s};

        // What is wrong comes right after the card, every kind in its turn;
        // what cannot be measured adds nothing to the length.
        PlikKsiazki brak;
        PlikKsiazki zepsuty;
        zepsuty.jest = true;
        zepsuty.rozmiar = 10;
        zepsuty.blad = u"to nie jest plik MP3"_s;
        QTest::newRow("what is wrong")
            << ListaPozycji{pozycja(u"a.mp3"_s, u"0"_s, u"5000"_s), pozycja(u"b.mp3"_s),
                            pozycja(u"c.mp3"_s), pozycja(u"d.mp3"_s, u"2500"_s, u"600"_s),
                            pozycja(u"e.mp3"_s, u"x"_s)}
            << QList<PlikKsiazki>{plik(100, 5000), brak, zepsuty, plik(100, 3000, 22050, 1),
                                  plik(100, 1000, 44100, 1)}
            << karta(100, false)
            << QStringList{u"Książka zmieści się na karcie; zostanie wolne 388,0 kB."_s,
                           u"Problemy: 6."_s,
                           u"Brak pliku: 2. b.mp3 (/ksiazka/b.mp3)"_s,
                           u"Nie można odczytać pliku 3. c.mp3: to nie jest plik MP3"_s,
                           u"Inny format niż pierwszy plik (44100 Hz, 2 kanały): 4. d.mp3: "
                           "częstotliwość: 22050 Hz zamiast 44100 Hz, kanały: 1 zamiast 2"_s,
                           u"Inny format niż pierwszy plik (44100 Hz, 2 kanały): 5. e.mp3: "
                           "kanały: 1 zamiast 2"_s,
                           u"Zakładka wychodzi poza koniec pliku: 4. d.mp3 (początek 2500 ms, "
                           "długość 600 ms, plik ma 3000 ms)"_s,
                           u"Zakładka nie jest liczbą: 5. e.mp3 (początek x, długość 1000)"_s,
                           u"Pozycje: 5, sprawdzone: 0 z 5."_s,
                           u"Długość: 0:00:09."_s,
                           u"Rozmiar scalonej książki: 0,3 kB (310 bajtów)."_s,
                           u"Format: 44100 Hz, 2 kanały."_s};
    }
    void lines() {
        QFETCH(ListaPozycji, pozycje);
        QFETCH(QList<PlikKsiazki>, pliki);
        QFETCH(KartaPodsumowania, karta);
        QFETCH(QStringList, linie);
        QCOMPARE(podsumowanieKsiazki(pozycje, pliki, karta), linie);
    }

    // The files are looked at as they are on the disk; a stop ends early.
    void examinesTheFiles() {
        QTemporaryDir dir;
        Mp3Format fmt;
        fmt.durationMs = 1000;
        const QString jest = makeMp3(dir.filePath(u"jest.mp3"_s), fmt);
        const ListaPozycji pozycje{
            {QString(), u"jest.mp3"_s, u"0"_s, u"1000"_s, dir.path() + u'/'},
            {QString(), u"nie ma.mp3"_s, u"0"_s, u"1000"_s, dir.path() + u'/'}};
        QStringList zmierzone;
        const MiernikMp3 miernik = [&](const QString& path) {
            zmierzone << path;
            return PomiarMp3{{44100, 1}, 1000};
        };
        const QList<PlikKsiazki> pliki = zbadajPliki(pozycje, miernik);
        QCOMPARE(pliki.size(), 2);
        QVERIFY(pliki.at(0).jest && pliki.at(0).mp3);
        QCOMPARE(pliki.at(0).rozmiar, QFileInfo(jest).size());
        QVERIFY(!pliki.at(1).jest);
        QCOMPARE(zmierzone, QStringList{jest});
        const std::atomic_bool stop = true;
        QVERIFY(zbadajPliki(pozycje, miernik, &stop).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestPodsumowanie)
#include "tst_podsumowanie.moc"
