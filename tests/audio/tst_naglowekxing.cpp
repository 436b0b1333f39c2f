// The information frame of a joined MP3 file rewritten to describe the
// whole file, judged by other players' readers only: the length mediainfo,
// GStreamer, mutagen and ffprobe report against what ffmpeg decodes, and
// mp3val's check of the header; nothing else in the file moves.
#include "audio/NaglowekXing.h"
#include "support/FileBytes.h"
#include "support/Mp3Maker.h"
#include "support/NiezalezneCzytniki.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

Mp3Format czesc(int ms, int hz, int kanaly, int kbps, bool vbr = false, bool crc = false) {
    Mp3Format f = formatLame(hz, kanaly, kbps, vbr, crc);
    f.durationMs = ms;
    f.toneHz = 300 + ms % 700;
    return f;
}

// An ID3v2.3 tag of `bajty` bytes of padding, as a large cover takes room.
QByteArray tagId3(int bajty) {
    QByteArray t("ID3\x03\x00\x00", 6);
    for (const int przesuniecie : {21, 14, 7, 0})
        t.append(char((bajty >> przesuniecie) & 0x7F));
    return t + QByteArray(bajty, '\0');
}

QByteArray tagId3v1() {
    QByteArray t("TAG");
    t.append(125, ' ');
    return t;
}

} // namespace

using Czesci = QList<Mp3Format>;

class TestNaglowekXing : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

private slots:
    void wholeFileDescribed_data() {
        QTest::addColumn<Czesci>("czesci");
        QTest::addColumn<bool>("znaczniki"); // an ID3v2 tag before parts, ID3v1 after
        QTest::addColumn<bool>("naglowek");  // the first part opens with one
        QTest::newRow("CBR 128 stereo, ID3v2 and ID3v1 inside")
            << Czesci{czesc(2200, 44100, 2, 128), czesc(3100, 44100, 2, 128),
                      czesc(1800, 44100, 2, 128)}
            << true << true;
        QTest::newRow("bit rates 48 to 192 and VBR, mono and stereo, CRC")
            << Czesci{czesc(2600, 44100, 2, 96), czesc(2000, 44100, 2, 192, false, true),
                      czesc(2900, 44100, 2, 0, true), czesc(1500, 44100, 2, 48)}
            << false << true;
        QTest::newRow("22.05 kHz, VBR first")
            << Czesci{czesc(2400, 22050, 2, 0, true), czesc(2000, 22050, 1, 32),
                      czesc(2100, 22050, 2, 64)}
            << false << true;
        Mp3Format bez = czesc(1500, 44100, 2, 128);
        bez.xing = false;
        QTest::newRow("first part without a header")
            << Czesci{bez, czesc(2000, 44100, 2, 128)} << false << false;
    }
    void wholeFileDescribed() {
        QFETCH(Czesci, czesci);
        QFETCH(bool, znaczniki);
        QFETCH(bool, naglowek);
        QByteArray dane;
        for (const Mp3Format& f : std::as_const(czesci)) {
            if (znaczniki)
                dane += tagId3(2000);
            dane += makeMp3Data(f);
            if (znaczniki)
                dane += tagId3v1();
        }
        const QString sciezka =
            tmp.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".mp3"_s);
        QVERIFY(zapiszBajty(sciezka, dane));
        const int fd = ::open(QFile::encodeName(sciezka).constData(), O_RDWR);
        QVERIFY(fd >= 0);
        const WynikNaglowka wynik = przepiszNaglowekMp3(fd, sciezka, false);
        ::close(fd);
        QCOMPARE(wynik.przepisany, naglowek);
        const QByteArray po = bajtyPliku(sciezka);
        QCOMPARE(po.size(), dane.size());
        // Only the first frame after the leading tag changed.
        qsizetype rozne = 0, od = -1;
        for (qsizetype i = 0; i < dane.size(); ++i)
            if (dane[i] != po[i]) {
                od = od < 0 ? i : od;
                rozne = i - od + 1;
            }
        QVERIFY(rozne <= 1441);
        if (!naglowek) {
            QCOMPARE(po, dane);
            return;
        }
        QVERIFY(od >= (znaczniki ? 2010 : 0));

        if (QStandardPaths::findExecutable(u"ffmpeg"_s).isEmpty())
            QSKIP("ffmpeg is not installed");
        const std::optional<double> dekodowana = dlugoscDekodowana(sciezka);
        QVERIFY(dekodowana);
        const QMap<QString, double> dlugosci = dlugosciCzytnikow(sciezka);
        for (auto it = dlugosci.cbegin(); it != dlugosci.cend(); ++it)
            QVERIFY2(
                std::fabs(it.value() - *dekodowana) <= 0.1,
                qPrintable(
                    u"%1: %2 s, decoded %3 s"_s.arg(it.key()).arg(it.value()).arg(*dekodowana)));
        const QString xing = ostrzezeniaXing(sciezka);
        QVERIFY2(xing.isEmpty(), qPrintable(xing));
    }

    // The LAME extension's own checksum, computed as LAME computes it (the
    // encoder's own header agrees), over the frame up to it.
    void extensionChecksumHolds() {
        const QByteArray a = makeMp3Data(czesc(1500, 44100, 2, 128));
        const auto sumaLame = [](const QByteArray& b) {
            const auto* r = reinterpret_cast<const unsigned char*>(b.constData());
            const auto o = czytajXing({r, 200});
            return o && o->lame > 0 &&
                   std::uint16_t((r[o->lame + 34] << 8) | r[o->lame + 35]) ==
                       crcLame({r, std::size_t(o->lame + 34)});
        };
        QVERIFY(sumaLame(a));
        const QString sciezka = tmp.filePath(u"suma.mp3"_s);
        QVERIFY(zapiszBajty(sciezka, a + makeMp3Data(czesc(2000, 44100, 2, 128))));
        const int fd = ::open(QFile::encodeName(sciezka).constData(), O_RDWR);
        QVERIFY(przepiszNaglowekMp3(fd, sciezka, true).przepisany);
        ::close(fd);
        const QByteArray po = bajtyPliku(sciezka);
        QVERIFY(sumaLame(po));
        const auto o = czytajXing({reinterpret_cast<const unsigned char*>(po.constData()), 200});
        // A second part was joined: its ReplayGain no longer tells of it.
        QCOMPARE(QByteArray(po.constData() + o->lame + 11, 8), QByteArray(8, '\0'));
    }
};

QTEST_GUILESS_MAIN(TestNaglowekXing)
#include "tst_naglowekxing.moc"
