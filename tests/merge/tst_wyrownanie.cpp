// The levelled merge. A mixed book (MPEG-1, MPEG-2 and MPEG-2.5, mono,
// joint stereo and dual channel, CRC, VBR, silence, a quiet entry with loud
// clicks) is checked by readers that share no code with the program:
// ffmpeg's EBU R128 meter and its decoder (with CRC checking) on each
// entry's span of the book and the decoder on the whole book, and mp3gain's track analysis (read
// only) against the steps the program wanted. The index files and the size
// stay those of the unlevelled book. Then what the merge itself decides:
// known measurements are not repeated, a stop or a failure while measuring
// leaves nothing, frames that disagree with a measurement are reported.

#include "audio/Glosnosc.h"
#include "base/Errors.h"
#include "merge/IndexFile.h"
#include "merge/Miernik.h"
#include "merge/ZadanieScalania.h"
#include "project/ProjectFile.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"
#include "support/RunTool.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A 1 kHz tone `db` above the target (at level 1 the tone measures about
// -6.9 LUFS); the offsets keep clear of the points halfway between two steps,
// where a meter's tenth of a dB could tip the rounding either way.
Mp3Format wpis(double db, int rate, int channels, int kbps) {
    Mp3Format f;
    f.durationMs = 1500;
    f.sampleRate = rate;
    f.channels = channels;
    f.bitrateKbps = kbps;
    f.level = std::pow(10.0, (kDomyslnyCelLufs + 6.9 + db) / 20.0);
    f.toneHz = 1000;
    return f;
}

// A quiet tone with a loud click every half second: the peak, not the
// loudness, limits its step.
QByteArray zTrzaskami() {
    std::vector<short> probki(44100 * 2);
    for (size_t i = 0; i < probki.size(); ++i) {
        const double t = double(i) / 44100.0;
        const bool trzask = (i % 22050) < 220;
        probki[i] = short((trzask ? 16000 : 600) * std::sin(2 * M_PI * 1000 * t));
    }
    Mp3Format f;
    f.bitrateKbps = 96;
    return makeMp3Data(f, probki);
}

QString uruchom(const QString& program, const QStringList& argumenty) {
    QProcess p;
    p.start(program, argumenty);
    if (!p.waitForFinished(60000))
        return u"(nie skończył się)"_s;
    return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
}

PozycjaProjektu pozycja(const QString& sciezka) {
    return {QString(), sciezka.section(u'/', -1), u"0"_s, u"1000"_s,
            sciezka.section(u'/', 0, -2) + u'/'};
}

struct Scalanie {
    Scalanie(const QString& scalony, const ListaPozycji& pozycje, std::optional<double> cel)
        : zadanie(scalony, pozycje, miernikMp3()) {
        zadanie.celGlosnosci = cel;
        zadanie.dziennik = [this](const QString& linia) { log.append(linia); };
        zadanie.postep = [this](std::int64_t zrobione, std::int64_t razem) {
            postep = {zrobione, razem};
        };
    }
    ZadanieScalania zadanie;
    QStringList log;
    std::pair<std::int64_t, std::int64_t> postep;
};

} // namespace

Q_DECLARE_METATYPE(PomiarGlosnosci)

class TestWyrownanie : public QObject {
    Q_OBJECT

    QTemporaryDir tmp;
    QString plik(const QString& nazwa) const { return tmp.filePath(nazwa); }

    ListaPozycji zapisz(const QList<std::pair<QString, QByteArray>>& pliki) {
        ListaPozycji pozycje;
        for (const auto& [nazwa, dane] : pliki) {
            if (!zapiszBajty(plik(nazwa), dane))
                return {};
            pozycje.append(pozycja(plik(nazwa)));
        }
        return pozycje;
    }

private slots:
    void independentReadersAgree() {
        const bool zFfmpeg = !QStandardPaths::findExecutable(u"ffmpeg"_s).isEmpty();
        const bool zMp3gain = !QStandardPaths::findExecutable(u"mp3gain"_s).isEmpty();
        if (!zFfmpeg && !zMp3gain)
            QSKIP("neither ffmpeg nor mp3gain is installed");
        Mp3Format crc = wpis(-9.4, 22050, 1, 32);
        crc.crc = true;
        Mp3Format dual = wpis(3.6, 48000, 2, 128);
        dual.dualChannel = true;
        Mp3Format vbr = wpis(-20.8, 32000, 2, 0);
        vbr.vbr = vbr.xing = true;
        Mp3Format crc2 = wpis(-5.2, 16000, 2, 48);
        crc2.crc = true;
        Mp3Format id3 = wpis(10.3, 44100, 1, 64);
        id3.id3v2 = true;
        Mp3Format cisza = wpis(0, 44100, 2, 64);
        cisza.level = 0;
        const QList<std::pair<QString, QByteArray>> pliki{
            {u"01 stereo.mp3"_s, makeMp3Data(wpis(-7.3, 44100, 2, 128))},
            {u"02 mono id3.mp3"_s, makeMp3Data(id3)},
            {u"03 mpeg2 crc.mp3"_s, makeMp3Data(crc)},
            {u"04 mpeg2 stereo.mp3"_s, makeMp3Data(wpis(-15.1, 24000, 2, 48))},
            {u"05 dual.mp3"_s, makeMp3Data(dual)},
            {u"06 mpeg2.5.mp3"_s, makeMp3Data(wpis(-2.9, 11025, 1, 16))},
            {u"07 vbr.mp3"_s, makeMp3Data(vbr)},
            {u"08 trzaski.mp3"_s, zTrzaskami()},
            {u"09 mpeg2 crc stereo.mp3"_s, makeMp3Data(crc2)},
            {u"10 na miejscu.mp3"_s, makeMp3Data(wpis(0.2, 44100, 2, 96))},
            {u"11 cisza.mp3"_s, makeMp3Data(cisza)},
        };
        const ListaPozycji pozycje = zapisz(pliki);
        QCOMPARE(pozycje.size(), pliki.size());

        QByteArray ksiazki[2], dat[2], log[2];
        QStringList dziennik;
        PamiecGlosnosci pamiec;
        for (const bool wyrownaj : {false, true}) {
            Scalanie s(plik(u"k.mp3"_s), pozycje,
                       wyrownaj ? std::optional(kDomyslnyCelLufs) : std::nullopt);
            s.zadanie.pamiecGlosnosci = &pamiec;
            QVERIFY2(s.zadanie.wykonaj(), qPrintable(s.zadanie.blad()));
            ksiazki[wyrownaj] = bajtyPliku(plik(u"k.mp3"_s));
            dat[wyrownaj] = bajtyPliku(plik(u"k.dat"_s));
            log[wyrownaj] = bajtyPliku(plik(u"k.log"_s));
            dziennik = s.log;
        }
        QCOMPARE(ksiazki[1].size(), ksiazki[0].size());
        QVERIFY(ksiazki[1] != ksiazki[0]);
        QCOMPARE(dat[1], dat[0]);
        QCOMPARE(log[1], log[0]);
        const QString podsumowanie =
            dziennik.filter(u"Głośność wyrównana do \u221218,0 LUFS: zmieniono 9 z 11 plików; "_s)
                .value(0);
        QVERIFY2(podsumowanie.contains(u"; mniej niż do celu, by szczyt nie przekroczył "
                                       u"\u22121 dBTP: 1"_s),
                 qPrintable(podsumowanie));

        // Each entry's span of the book, its step as logged and as mp3gain
        // and the program's own measure would want it.
        QList<int> chciane, mp3gain;
        qsizetype od = 0;
        for (int i = 0; i < pliki.size(); ++i) {
            const QString nazwa = pliki[i].first;
            const QString zrodlo = plik(nazwa);
            const auto linie = dziennik.filter(u"plik %1: "_s.arg(zrodlo));
            QCOMPARE(linie.size(), 1);
            const std::optional<PomiarGlosnosci> p = pamiec.znajdz(zrodlo);
            QVERIFY(p);
            const KrokGlosnosci k = krokGlosnosci(*p, kDomyslnyCelLufs);
            QCOMPARE(linie[0].contains(u"szczyt"_s), nazwa.contains(u"trzaski"_s));
            QVERIFY2(linie[0].startsWith(u"plik %1: %2"_s.arg(zrodlo, tekstDecybeli(k.decybele()))),
                     qPrintable(linie[0]));
            const QString fragment = plik(u"fragment.mp3"_s);
            QVERIFY(zapiszBajty(fragment, ksiazki[1].mid(od, pliki[i].second.size())));
            od += pliki[i].second.size();
            if (zFfmpeg)
                QCOMPARE(bledyDekodowania(fragment), QString());
            if (zFfmpeg && p->glosnoscLufs) {
                const auto ff = ffmpegGlosnosc(fragment);
                QVERIFY(ff);
                QVERIFY2(ff->second <= kNajwyzszySzczytDbtp + 0.5, qPrintable(nazwa));
                if (!k.przezSzczyt)
                    QVERIFY2(std::fabs(ff->first - kDomyslnyCelLufs) <= 0.8,
                             qPrintable(u"%1: %2 LUFS"_s.arg(nazwa).arg(ff->first)));
            }
            if (zMp3gain && p->glosnoscLufs) {
                // Track analysis only: -s s neither reads nor writes tags.
                const QStringList wiersze =
                    uruchom(u"mp3gain"_s, {u"-q"_s, u"-s"_s, u"s"_s, u"-o"_s, zrodlo}).split(u'\n');
                QVERIFY(wiersze.size() >= 2);
                chciane.append(k.chciane);
                mp3gain.append(wiersze[1].section(u'\t', 1, 1).toInt());
            }
        }
        if (zFfmpeg) {
            // The whole book: what ffmpeg says of the joins between entries
            // of different formats and tags, and nothing more.
            QString bledy[2];
            for (const int i : {0, 1}) {
                QVERIFY(zapiszBajty(plik(u"k.mp3"_s), ksiazki[i]));
                bledy[i] = bledyDekodowania(plik(u"k.mp3"_s));
            }
            QCOMPARE(bledy[1], bledy[0]);
        }
        if (zMp3gain) {
            // The two measures weigh differently, but entry against entry
            // they should want the same steps, give or take one.
            std::vector<int> roznice;
            for (int i = 0; i < chciane.size(); ++i)
                roznice.push_back(chciane[i] - mp3gain[i]);
            std::vector<int> posortowane = roznice;
            std::nth_element(posortowane.begin(), posortowane.begin() + posortowane.size() / 2,
                             posortowane.end());
            const int mediana = posortowane[posortowane.size() / 2];
            const auto zgodne = std::count_if(roznice.begin(), roznice.end(),
                                              [&](int r) { return std::abs(r - mediana) <= 1; });
            QVERIFY2(zgodne * 10 >= qsizetype(roznice.size()) * 9,
                     qPrintable(u"%1 z %2"_s.arg(zgodne).arg(roznice.size())));
        }
    }

    // Two files, the first listed twice; the stand-in measure answers as
    // the row says. A known first file is measured no more, a stop or a
    // failure while measuring leaves nothing behind, and a measurement the
    // frames do not bear out (gains far below theirs) is reported.
    void measuresWhatIsNotKnown_data() {
        QTest::addColumn<bool>("znany");
        QTest::addColumn<int>("odpowiedz"); // 0 a measurement, 1 stopped, 2 fails
        QTest::addColumn<PomiarGlosnosci>("pomiar");
        QTest::addColumn<int>("pomiarow");
        QTest::addColumn<QString>("wLogu");
        const PomiarGlosnosci zwykly{-21.0, -9.0, 120, 200};
        QTest::newRow("known") << true << 0 << zwykly << 1 << u"plik %1: +3,0 dB"_s;
        QTest::newRow("unknown") << false << 0 << zwykly << 2 << u"plik %1: +3,0 dB"_s;
        QTest::newRow("stopped") << false << 1 << zwykly << 1 << u"Scalanie przerwane"_s;
        QTest::newRow("fails") << false << 2 << zwykly << 1 << u"Błąd: zepsuty"_s;
        QTest::newRow("stale") << false << 0 << PomiarGlosnosci{-300.0, -200.0, 0, 50} << 2
                               << u"Uwaga: w pliku %1 wzmocnienie"_s;
    }
    void measuresWhatIsNotKnown() {
        QFETCH(bool, znany);
        QFETCH(int, odpowiedz);
        QFETCH(PomiarGlosnosci, pomiar);
        QFETCH(int, pomiarow);
        QFETCH(QString, wLogu);
        QDir(tmp.path()).removeRecursively();
        QVERIFY(QDir().mkpath(tmp.path()));
        ListaPozycji pozycje = zapisz({{u"a.mp3"_s, makeMp3Data(wpis(-3, 44100, 2, 64))},
                                       {u"b.mp3"_s, makeMp3Data(wpis(-3, 22050, 1, 32))}});
        pozycje.insert(1, pozycje[0]);
        PamiecGlosnosci pamiec;
        if (znany)
            pamiec.zapamietaj(plik(u"a.mp3"_s), StanPliku::pliku(plik(u"a.mp3"_s)), pomiar);
        Scalanie s(plik(u"k.mp3"_s), pozycje, -18.0);
        s.zadanie.pamiecGlosnosci = &pamiec;
        QStringList zmierzone;
        s.zadanie.miernikGlosnosci = [&](const QString& path, const std::atomic_bool*) {
            zmierzone.append(path);
            if (odpowiedz == 2)
                throw EMCIDeviceError(u"zepsuty"_s);
            return odpowiedz == 1 ? std::nullopt : std::optional(pomiar);
        };
        const bool udane = s.zadanie.wykonaj();
        QCOMPARE(udane, odpowiedz == 0);
        QCOMPARE(zmierzone.size(), pomiarow);
        QVERIFY2(!s.log.filter(wLogu.arg(plik(u"a.mp3"_s))).isEmpty(),
                 qPrintable(s.log.join(u'\n')));
        if (!udane) {
            QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
            return;
        }
        // Every file in the memory; the progress ends full, measuring counted in it.
        QCOMPARE(pamiec.znajdz(plik(u"b.mp3"_s)), pomiar);
        std::int64_t kopia = 0;
        for (const PozycjaProjektu& p : std::as_const(pozycje))
            kopia += QFileInfo(p.sciezka()).size();
        QCOMPARE(s.postep.first, s.postep.second);
        QVERIFY(s.postep.second > kopia);
        QCOMPARE(s.log.filter(QRegularExpression(u"^plik "_s)).size(), 3);
        QCOMPARE(s.log.filter(u"Uwaga: w pliku"_s).size(),
                 pomiar.najwiekszeWzmocnienie < 100 ? 3 : 0);
    }

    // sonvek-merge levels to -18 LUFS when the option has no value (the
    // dialog's test compares it with a target given).
    void commandLine() {
        QDir(tmp.path()).removeRecursively();
        QVERIFY(QDir().mkpath(tmp.path()));
        const QString projekt = plik(u"p.xml"_s);
        zapiszPlikProjektu(projekt, zapisz({{u"a.mp3"_s, makeMp3Data(wpis(-3, 44100, 2, 64))}}));
        const Wynik w = uruchomNarzedzie(u"sonvek-merge"_s,
                                         {u"--wyrownaj-glosnosc"_s, projekt, plik(u"k.mp3"_s)});
        QCOMPARE(w.kod, 0);
        QVERIFY(
            !w.wyjscie.filter(u"Głośność wyrównana do \u221218,0 LUFS: zmieniono 1 z 1 pliku;"_s)
                 .isEmpty());
        QCOMPARE(w.wyjscie.filter(QRegularExpression(u"^plik .*a.mp3: \\+"_s)).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestWyrownanie)
#include "tst_wyrownanie.moc"
