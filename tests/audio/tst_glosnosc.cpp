// Loudness: the global gain rewritten in the frames' bytes (checked by
// decoding the rewritten frames, which must be the original audio scaled by
// exactly 2^(steps/4)), the measurement against ffmpeg's EBU R128 meter, the
// gain step and its limits, the kept measurements, and sonvek-glosnosc.

#include "audio/Glosnosc.h"
#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "audio/WzmocnienieRamek.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"
#include "support/RunTool.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

struct Ramka {
    qsizetype poczatek, dlugosc;
};

QList<Ramka> ramki(const QString& path) {
    QList<Ramka> wynik;
    probeMp3(path, [&](const Mp3Frame& f) { wynik.append({qsizetype(f.offset), f.bytes}); });
    return wynik;
}

std::span<unsigned char> bajty(QByteArray& dane, const Ramka& r) {
    return {reinterpret_cast<unsigned char*>(dane.data()) + r.poczatek, size_t(r.dlugosc)};
}

// The CRC a protected frame carries, checked with the side information's
// length as the header gives it.
bool crcZgodny(std::span<const unsigned char> r) {
    const bool mono = (r[3] >> 6) == 3;
    const bool mpeg1 = ((r[1] >> 3) & 3) == 3;
    const size_t boczne = mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const std::uint16_t crc = crcMpeg(r.subspan(6, boczne), crcMpeg(r.subspan(2, 2)));
    return crc == ((r[4] << 8) | r[5]);
}

std::vector<float> dekoduj(const QString& path, int czestotliwosc) {
    Mp3Stream s(path, czestotliwosc, true);
    std::vector<float> probki;
    Mp3Frame f;
    while (s.nextFrame(f)) {
        const std::span<const float> pcm = s.decodeFrameFloat();
        probki.insert(probki.end(), pcm.begin(), pcm.end());
    }
    return probki;
}

} // namespace

class TestGlosnosc : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

    QString plik(const QString& nazwa) const { return dir.filePath(nazwa); }

private slots:
    void rewrittenGainScalesTheAudio_data() {
        QTest::addColumn<Mp3Format>("fmt");
        QTest::addColumn<int>("kroki");
        QTest::addColumn<int>("pola"); // global_gain fields per frame
        auto f = [](int rate, int channels, int kbps) {
            Mp3Format m;
            m.durationMs = 600;
            m.sampleRate = rate;
            m.channels = channels;
            m.bitrateKbps = kbps;
            return m;
        };
        Mp3Format m = f(44100, 1, 64);
        QTest::newRow("MPEG-1 mono, up 2") << m << 2 << 2;
        m = f(44100, 2, 128);
        m.crc = true;
        QTest::newRow("MPEG-1 joint stereo with CRC, down 3") << m << -3 << 4;
        m = f(48000, 2, 128);
        m.dualChannel = true;
        m.xing = true;
        QTest::newRow("MPEG-1 dual channel, info frame, up 1") << m << 1 << 4;
        m = f(22050, 2, 64);
        m.crc = true;
        QTest::newRow("MPEG-2 stereo with CRC, up 4") << m << 4 << 2;
        m = f(11025, 1, 24);
        QTest::newRow("MPEG-2.5 mono, down 2") << m << -2 << 1;
        m = f(8000, 2, 32);
        m.crc = true;
        m.vbr = true;
        QTest::newRow("MPEG-2.5 stereo VBR with CRC, up 3") << m << 3 << 1 * 2;
    }
    void rewrittenGainScalesTheAudio() {
        QFETCH(Mp3Format, fmt);
        QFETCH(int, kroki);
        QFETCH(int, pola);
        const QString zrodlo = makeMp3(plik(u"zrodlo.mp3"_s), fmt);
        QByteArray dane = bajtyPliku(zrodlo);
        const QByteArray przed = dane;
        const QList<Ramka> audio = ramki(zrodlo);
        QVERIFY(audio.size() > 5);
        if (fmt.xing) { // the information frame before the audio stays as it is
            const Ramka info{0, audio.first().poczatek};
            QCOMPARE(opiszRamke(bajty(dane, info)).rodzaj, RodzajRamki::Informacyjna);
            QCOMPARE(zmienWzmocnienie(bajty(dane, info), kroki), 0);
            QCOMPARE(dane, przed);
        }
        for (const Ramka& r : audio) {
            const OpisRamki opis = opiszRamke(bajty(dane, r));
            QCOMPARE(opis.rodzaj, RodzajRamki::Dzwiek);
            if (fmt.crc)
                QVERIFY(crcZgodny(bajty(dane, r)));
            QCOMPARE(zmienWzmocnienie(bajty(dane, r), kroki), 0);
            const OpisRamki po = opiszRamke(bajty(dane, r));
            const bool cisza = opis.najmniejsze > opis.najwieksze; // no granule with sound
            QCOMPARE(po.najmniejsze, opis.najmniejsze + (cisza ? 0 : kroki));
            QCOMPARE(po.najwieksze, opis.najwieksze + (cisza ? 0 : kroki));
            if (fmt.crc)
                QVERIFY(crcZgodny(bajty(dane, r)));
        }
        // Only global_gain bits (and CRCs) changed: 8 bits per field at most.
        int bity = 0;
        for (qsizetype i = 0; i < dane.size(); ++i)
            bity += std::popcount(unsigned(quint8(dane[i] ^ przed[i])));
        QVERIFY(bity <= audio.size() * (pola * 8 + (fmt.crc ? 16 : 0)));

        const QString wynik = plik(u"wynik.mp3"_s);
        QVERIFY(zapiszBajty(wynik, dane));
        const std::vector<float> a = dekoduj(zrodlo, fmt.sampleRate);
        const std::vector<float> b = dekoduj(wynik, fmt.sampleRate);
        QCOMPARE(b.size(), a.size());
        const double skala = std::pow(2.0, kroki / 4.0);
        double blad = 0, szczyt = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            blad = std::max(blad, std::fabs(b[i] - a[i] * skala));
            szczyt = std::max(szczyt, double(std::fabs(a[i])));
        }
        QVERIFY(szczyt > 0.05);
        QVERIFY2(blad < 1e-4, qPrintable(QString::number(blad)));
    }

    void gainLeavingItsRangeIsHeld() {
        Mp3Format m;
        m.durationMs = 300;
        m.channels = 2;
        m.crc = true;
        QByteArray dane = makeMp3Data(m);
        const QString zrodlo = plik(u"zakres.mp3"_s);
        QVERIFY(zapiszBajty(zrodlo, dane));
        const Ramka r = ramki(zrodlo).at(2);
        // A CRC that was wrong stays wrong by the same bits.
        dane[r.poczatek + 5] = char(dane[r.poczatek + 5] ^ 0x21);
        QCOMPARE(zmienWzmocnienie(bajty(dane, r), 300), 4);
        QCOMPARE(opiszRamke(bajty(dane, r)).najmniejsze, 255);
        dane[r.poczatek + 5] = char(dane[r.poczatek + 5] ^ 0x21);
        QVERIFY(crcZgodny(bajty(dane, r)));
        QCOMPARE(zmienWzmocnienie(bajty(dane, r), -300), 4);
        QCOMPARE(opiszRamke(bajty(dane, r)).najwieksze, 0);
        // Granules at gain 0 cannot be heard: they neither limit a step down
        // nor count as held.
        QCOMPARE(opiszRamke(bajty(dane, r)).najmniejsze, 255);
        QCOMPARE(zmienWzmocnienie(bajty(dane, r), -5), 0);
        // Not a Layer III frame: nothing changes.
        QByteArray inne = randomBytes(500, 7);
        inne[0] = char(0xFF), inne[1] = char(0xFD); // Layer II
        const QByteArray kopia = inne;
        QCOMPARE(zmienWzmocnienie(bajty(inne, {0, inne.size()}), 2), 0);
        QCOMPARE(inne, kopia);
    }

    void step_data() {
        QTest::addColumn<double>("lufs");
        QTest::addColumn<double>("szczyt");
        QTest::addColumn<int>("najmniejsze");
        QTest::addColumn<int>("najwieksze");
        QTest::addColumn<int>("kroki");
        QTest::addColumn<bool>("przezSzczyt");
        QTest::addColumn<bool>("przezZakres");
        QTest::newRow("quiet, room to rise") << -24.0 << -12.0 << 100 << 200 << 4 << false << false;
        QTest::newRow("loud comes down") << -12.0 << -0.5 << 100 << 200 << -4 << false << false;
        QTest::newRow("on target") << -18.4 << -3.0 << 100 << 200 << 0 << false << false;
        QTest::newRow("peak stops the rise") << -26.0 << -4.2 << 100 << 200 << 2 << true << false;
        QTest::newRow("peak already over -1: no rise, no fall")
            << -22.0 << 0.3 << 100 << 200 << 0 << true << false;
        QTest::newRow("gains near 255") << -27.0 << -20.0 << 100 << 253 << 2 << false << true;
        QTest::newRow("gains near 0") << -6.0 << -0.1 << 3 << 200 << -3 << false << true;
    }
    void step() {
        QFETCH(double, lufs);
        QFETCH(double, szczyt);
        QFETCH(int, najmniejsze);
        QFETCH(int, najwieksze);
        QFETCH(int, kroki);
        QFETCH(bool, przezSzczyt);
        QFETCH(bool, przezZakres);
        const KrokGlosnosci k =
            krokGlosnosci({lufs, szczyt, najmniejsze, najwieksze}, kDomyslnyCelLufs);
        QCOMPARE(k.kroki, kroki);
        QCOMPARE(k.przezSzczyt, przezSzczyt);
        QCOMPARE(k.przezZakres, przezZakres);
        QVERIFY(szczyt + k.decybele() <= kNajwyzszySzczytDbtp || k.kroki <= 0);
        QCOMPARE(krokGlosnosci({std::nullopt, -200, 0, 255}, -18).kroki, 0); // silence
        QCOMPARE(tekstDecybeli(2 * kDecybeleKroku), u"+3,0 dB"_s);
        QCOMPARE(tekstDecybeli(-kDecybeleKroku), u"\u22121,5 dB"_s);
    }

    // Mono and stereo, MPEG-1 and MPEG-2, quiet and loud: our loudness and
    // peak against ffmpeg's meter (which trims the encoder's delay, hence a
    // small allowance).
    void measuredAsAnIndependentMeter_data() {
        QTest::addColumn<Mp3Format>("fmt");
        Mp3Format m;
        m.durationMs = 3000;
        QTest::newRow("mono 44.1 kHz") << m;
        m.channels = 2;
        m.level = 0.25;
        m.toneHz = 2000;
        QTest::newRow("quiet stereo") << m;
        m.sampleRate = 22050;
        m.level = 2.4;
        m.toneHz = 300;
        QTest::newRow("loud MPEG-2 stereo") << m;
    }
    void measuredAsAnIndependentMeter() {
        QFETCH(Mp3Format, fmt);
        if (QStandardPaths::findExecutable(u"ffmpeg"_s).isEmpty())
            QSKIP("ffmpeg is not installed");
        const QString path = makeMp3(plik(u"miara.mp3"_s), fmt);
        const std::optional<PomiarGlosnosci> p = zmierzGlosnosc(path);
        const auto ff = ffmpegGlosnosc(path);
        QVERIFY(p && p->glosnoscLufs && ff);
        QVERIFY2(std::fabs(*p->glosnoscLufs - ff->first) < 0.2,
                 qPrintable(u"%1 / %2"_s.arg(*p->glosnoscLufs).arg(ff->first)));
        QVERIFY2(std::fabs(p->szczytDbtp - ff->second) < 0.5,
                 qPrintable(u"%1 / %2"_s.arg(p->szczytDbtp).arg(ff->second)));
        QVERIFY(p->najmniejszeWzmocnienie <= p->najwiekszeWzmocnienie);
        std::atomic_bool stop = true;
        QVERIFY(!zmierzGlosnosc(path, &stop));
    }

    // Granules of silence (no coded sound) keep their gain and do not stand
    // in the way of a step; a short loud sound at the start does not set the
    // speech's level, which ffmpeg's meter gives for the speech alone.
    void silenceAndShortLoudSounds() {
        if (QStandardPaths::findExecutable(u"ffmpeg"_s).isEmpty())
            QSKIP("ffmpeg is not installed");
        constexpr int hz = 44100;
        std::vector<short> mowa(size_t(hz) * 8);
        for (size_t i = 0; i < mowa.size(); ++i) // a quiet voice-like tone, 4 syllables a second
            mowa[i] = short(900 * std::sin(2 * M_PI * 220 * double(i) / hz) *
                            (0.55 + 0.45 * std::sin(2 * M_PI * 4 * double(i) / hz)));
        std::vector<short> ksiazka(size_t(hz), 0);      // a second of digital silence
        for (size_t i = 0; i < size_t(hz) * 3 / 2; ++i) // a loud chime
            ksiazka.push_back(short(26000 * std::sin(2 * M_PI * 880 * double(i) / hz) *
                                    std::exp(-double(i) / hz * 2)));
        ksiazka.insert(ksiazka.end(), mowa.begin(), mowa.end());
        Mp3Format m;
        m.sampleRate = hz;
        const QString sama = plik(u"mowa.mp3"_s), calosc = plik(u"gong.mp3"_s);
        QVERIFY(zapiszBajty(sama, makeMp3Data(m, mowa)));
        QVERIFY(zapiszBajty(calosc, makeMp3Data(m, ksiazka)));

        QByteArray dane = bajtyPliku(calosc);
        const QByteArray przed = dane;
        int cichych = 0;
        for (const Ramka& r : ramki(calosc).mid(2, 30)) { // inside the silence
            const OpisRamki opis = opiszRamke(bajty(dane, r));
            if (opis.najmniejsze == 255 && opis.najwieksze == 0) {
                ++cichych;
                QCOMPARE(zmienWzmocnienie(bajty(dane, r), 40), 0);
            }
        }
        QVERIFY(cichych > 10);
        QCOMPARE(dane, przed);

        const auto p = zmierzGlosnosc(calosc);
        const auto samaMowa = ffmpegGlosnosc(sama);
        QVERIFY(p && p->mowaLufs && p->glosnoscLufs && samaMowa);
        QVERIFY2(std::fabs(*p->mowaLufs - samaMowa->first) < 1.0,
                 qPrintable(u"%1 / %2"_s.arg(*p->mowaLufs).arg(samaMowa->first)));
        QVERIFY(*p->glosnoscLufs > *p->mowaLufs + 3); // the chime rules the integrated loudness
        const KrokGlosnosci k = krokGlosnosci(*p, -18.0);
        QVERIFY(k.przezSzczyt && !k.przezZakres); // the chime's peak holds it, not the silence
    }

    void keptUntilTheFileChanges() {
        Mp3Format m;
        m.durationMs = 300;
        const QString path = makeMp3(plik(u"pamiec.mp3"_s), m);
        PamiecGlosnosci pamiec;
        const PomiarGlosnosci p{-20.0, -6.0, 120, 180};
        QVERIFY(!pamiec.znajdz(path));
        pamiec.zapamietaj(path, StanPliku::pliku(path), p);
        QCOMPARE(pamiec.znajdz(path), p);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(f.fileTime(QFileDevice::FileModificationTime).addSecs(-5),
                              QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(!pamiec.znajdz(path)); // same size, another time
        pamiec.zapamietaj(path, StanPliku::pliku(path), p);
        const QDateTime czas = QFileInfo(path).lastModified();
        QVERIFY(f.open(QIODevice::Append));
        f.write("x");
        QVERIFY(f.setFileTime(czas, QFileDevice::FileModificationTime));
        f.close();
        QVERIFY(!pamiec.znajdz(path)); // another size, the same time
        // The same size and time stamp, another byte in the middle.
        pamiec.zapamietaj(path, StanPliku::pliku(path), p);
        const QDateTime znow = QFileInfo(path).lastModified();
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(f.size() / 2);
        const char bajt = f.peek(1).at(0);
        f.write(QByteArray(1, char(bajt ^ 0x40)));
        QVERIFY(f.flush()); // the write must not land after the time is set back
        QVERIFY(f.setFileTime(znow, QFileDevice::FileModificationTime));
        f.close();
        QCOMPARE(QFileInfo(path).lastModified(), znow);
        QVERIFY(!pamiec.znajdz(path));
    }

    void commandLine() {
        Mp3Format m;
        m.durationMs = 1500;
        m.level = 0.1;
        const QString cichy = makeMp3(plik(u"cichy.mp3"_s), m);
        const QString zepsuty = plik(u"zepsuty.mp3"_s);
        QVERIFY(zapiszBajty(zepsuty, randomBytes(3000, 3)));
        Wynik w = uruchomNarzedzie(u"sonvek-glosnosc"_s, {u"--cel"_s, u"-16"_s, cichy, zepsuty});
        QCOMPARE(w.kod, 1);
        QCOMPARE(w.wyjscie.size(), 2);
        const std::optional<PomiarGlosnosci> p = zmierzGlosnosc(cichy);
        const KrokGlosnosci k = krokGlosnosci(*p, -16);
        QVERIFY(k.kroki > 0);
        QCOMPARE(w.wyjscie.at(0), u"%1\t%2\t+%3\t%4"_s.arg(*p->glosnoscLufs, 0, 'f', 1)
                                      .arg(p->szczytDbtp, 0, 'f', 1)
                                      .arg(k.decybele(), 0, 'f', 1)
                                      .arg(cichy));
        QCOMPARE(w.wyjscie.at(1), u"-\t-\t-\t"_s + zepsuty);
        QVERIFY(w.bledy.startsWith(u"Błąd: "_s));
        w = uruchomNarzedzie(u"sonvek-glosnosc"_s, {u"--cel=głośno"_s, cichy});
        QCOMPARE(w.kod, 2);
        w = uruchomNarzedzie(u"sonvek-glosnosc"_s, {});
        QCOMPARE(w.kod, 2);
    }
};

QTEST_GUILESS_MAIN(TestGlosnosc)
#include "tst_glosnosc.moc"
