// The "Głośność" report's lines from given measurements: the median, the
// entries far from it first (the furthest first), the files that could not
// be measured, then every entry with its step.

#include "audio/RaportGlosnosci.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "b.mp3 -25 -3": an entry's name, loudness and peak; "c.mp3 cisza": no
// loudness; "e.mp3 !why": not measured.
PozycjaGlosnosci pozycja(int numer, const QString& opis) {
    const QStringList czesci = opis.split(u' ');
    PozycjaGlosnosci p;
    p.nazwa = u"%1. %2"_s.arg(numer).arg(czesci.at(0));
    if (czesci.at(1).startsWith(u'!')) {
        p.blad = czesci.at(1).mid(1);
        return p;
    }
    PomiarGlosnosci m{std::nullopt, -200.0, 100, 180};
    if (czesci.at(1) != u"cisza") {
        m.glosnoscLufs = czesci.at(1).toDouble();
        m.szczytDbtp = czesci.at(2).toDouble();
    }
    p.pomiar = m;
    return p;
}

} // namespace

class TestRaportGlosnosci : public QObject {
    Q_OBJECT
private slots:
    void lines_data() {
        QTest::addColumn<QStringList>("pozycje");
        QTest::addColumn<QStringList>("linie");
        QTest::newRow("far entries first; silence and failures out of the median")
            << QStringList{u"a.mp3 -18 -10"_s,   u"b.mp3 -25 -3"_s, u"c.mp3 cisza"_s,
                           u"d.mp3 -14.5 -10"_s, u"e.mp3 !brak"_s,  u"f.mp3 -17 -10"_s,
                           u"g.mp3 -21.04 -10"_s}
            << QStringList{u"Mediana głośności: −18,0 LUFS (zmierzono 6 z 7 pozycji)."_s,
                           u"Odbiegają od mediany o więcej niż 3 LU: 2."_s,
                           u"2. b.mp3: −25,0 LUFS, o 7,0 LU ciszej niż mediana"_s,
                           u"4. d.mp3: −14,5 LUFS, o 3,5 LU głośniej niż mediana"_s,
                           u"Nie udało się zmierzyć: 1."_s,
                           u"5. e.mp3: brak"_s,
                           u"Wszystkie pozycje (wyrównanie do −18,0 LUFS):"_s,
                           u"1. a.mp3: −18,0 LUFS, szczyt −10,0 dBTP, wyrównanie 0,0 dB"_s,
                           u"2. b.mp3: −25,0 LUFS, szczyt −3,0 dBTP, wyrównanie +1,5 dB (mniej ze "
                           "względu na szczyt)"_s,
                           u"3. c.mp3: cisza, bez wyrównania"_s,
                           u"4. d.mp3: −14,5 LUFS, szczyt −10,0 dBTP, wyrównanie −3,0 dB"_s,
                           u"5. e.mp3: nie zmierzono"_s,
                           u"6. f.mp3: −17,0 LUFS, szczyt −10,0 dBTP, wyrównanie −1,5 dB"_s,
                           u"7. g.mp3: −21,0 LUFS, szczyt −10,0 dBTP, wyrównanie +3,0 dB"_s};
        QTest::newRow("even count: the mean of the middle two")
            << QStringList{u"a.mp3 -22 -10"_s, u"b.mp3 -14 -10"_s, u"c.mp3 -19 -10"_s,
                           u"d.mp3 -17 -10"_s}
            << QStringList{u"Mediana głośności: −18,0 LUFS (zmierzono 4 z 4 pozycji)."_s,
                           u"Odbiegają od mediany o więcej niż 3 LU: 2."_s,
                           u"1. a.mp3: −22,0 LUFS, o 4,0 LU ciszej niż mediana"_s,
                           u"2. b.mp3: −14,0 LUFS, o 4,0 LU głośniej niż mediana"_s};
        QTest::newRow("no loudness anywhere")
            << QStringList{u"a.mp3 cisza"_s, u"b.mp3 !zepsuty"_s}
            << QStringList{u"Mediana głośności: brak, żadna pozycja nie ma zmierzonej głośności "
                           "(zmierzono 1 z 2 pozycji)."_s,
                           u"Nie udało się zmierzyć: 1."_s,
                           u"2. b.mp3: zepsuty"_s,
                           u"Wszystkie pozycje (wyrównanie do −18,0 LUFS):"_s,
                           u"1. a.mp3: cisza, bez wyrównania"_s,
                           u"2. b.mp3: nie zmierzono"_s};
    }
    void lines() {
        QFETCH(QStringList, pozycje);
        QFETCH(QStringList, linie);
        QList<PozycjaGlosnosci> p;
        for (qsizetype i = 0; i < pozycje.size(); ++i)
            p.append(pozycja(int(i + 1), pozycje.at(i)));
        // A row may give only the report's first lines.
        QCOMPARE(raportGlosnosci(p, kDomyslnyCelLufs).mid(0, linie.size()), linie);
    }
};

QTEST_GUILESS_MAIN(TestRaportGlosnosci)
#include "tst_raportglosnosci.moc"
