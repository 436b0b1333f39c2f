#include "import/Dzwiek.h"

#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "base/ZwyklyPlik.h"
#include "import/ModulKodekow.h"
#include "import/TekstZrodla.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

#include <chapterframe.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <mutex>
#include <vector>

namespace {

QString tekstTagLib(const TagLib::String& t) {
    return QString::fromStdString(t.to8Bit(true)).simplified();
}

// An MP3 file measured by the program's own frame walk (in the time the
// cuts are made in, every frame counted; a constant bit rate file from its
// first frames) and its ID3 tag read by
// TagLib, chapters (CHAP frames in the order of a CTOC, else of their
// start) included: FFmpeg's probe of an MP3 file costs more than the walk
// and only estimates its length. Nothing when it is no MP3 file.
// A constant bit rate file's length from its first frames and its size,
// without reading it all (the import walks every frame once, when it cuts);
// nothing when its first frames differ (variable bit rate: the walk then
// measures it).
std::optional<std::int64_t> dlugoscCbr(const QString& sciezka, Mp3Frame& pierwsza) {
    Mp3Stream strumien(sciezka, Mp3Stream::HeadersOnly{std::int64_t{16} << 10});
    Mp3Frame f;
    int n = 0, najmniej = INT_MAX, najwiecej = 0;
    while (n < 8 && strumien.nextFrame(f)) {
        if (n == 0)
            pierwsza = f;
        else if (f.sampleRate != pierwsza.sampleRate || f.samples != pierwsza.samples)
            return std::nullopt;
        najmniej = std::min(najmniej, f.bytes);
        najwiecej = std::max(najwiecej, f.bytes);
        ++n;
    }
    if (n < 8 || najwiecej - najmniej > 1)
        return std::nullopt;
    // The standard bit rate nearest to what the frames' length gives.
    static const int kbps[] = {8,  16,  24,  32,  40,  48,  56,  64,  80,
                               96, 112, 128, 144, 160, 192, 224, 256, 320};
    const double bity = najmniej * 8.0 * pierwsza.sampleRate / pierwsza.samples / 1000;
    const int* blizsza = std::min_element(std::begin(kbps), std::end(kbps), [&](int a, int b) {
        return std::abs(a - bity) < std::abs(b - bity);
    });
    const double bajtyRamki = pierwsza.samples / 8.0 * *blizsza * 1000 / pierwsza.sampleRate;
    std::int64_t rozmiar = QFileInfo(sciezka).size() - pierwsza.offset;
    QFile plik(sciezka);
    if (plik.open(QIODevice::ReadOnly) && plik.seek(plik.size() - 128) && plik.read(3) == "TAG")
        rozmiar -= 128;
    const auto ramki = std::int64_t(std::llround(double(rozmiar) / bajtyRamki));
    return ramki * pierwsza.samples * 1000000 / pierwsza.sampleRate;
}

std::optional<PlikDzwieku> zbadajMp3(const QString& sciezka) {
    PlikDzwieku p;
    try {
        Mp3Frame pierwsza;
        if (const auto us = dlugoscCbr(sciezka, pierwsza)) {
            p.dlugoscUs = *us;
            p.czestotliwosc = pierwsza.sampleRate;
            p.kanaly = pierwsza.channels;
        } else {
            const Mp3Info info = probeMp3(sciezka);
            if (info.frames == 0)
                return std::nullopt;
            p.dlugoscUs = info.ticks * 1000 / (kTicksPerSecond / 1000);
            p.czestotliwosc = info.sampleRate;
            p.kanaly = info.channels;
        }
    } catch (const SonvekError&) {
        return std::nullopt;
    }
    p.sciezka = sciezka;
    p.format = p.kodek = QStringLiteral("mp3");
    p.mp3 = true;
    const QByteArray nazwa = QFile::encodeName(sciezka);
    TagLib::MPEG::File plik(nazwa.constData(), false);
    if (const TagLib::Tag* tag = plik.isValid() ? plik.tag() : nullptr) {
        p.tytul = tekstTagLib(tag->title());
        p.album = tekstTagLib(tag->album());
        p.autor = tekstTagLib(tag->artist());
    }
    if (TagLib::ID3v2::Tag* id3 = plik.isValid() ? plik.ID3v2Tag() : nullptr) {
        for (const TagLib::ID3v2::Frame* f : id3->frameList("CHAP")) {
            const auto* c = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(f);
            if (!c)
                continue;
            PlikDzwieku::Rozdzial r;
            r.odUs = std::int64_t(c->startTime()) * 1000;
            r.doUs = std::max(r.odUs, std::int64_t(c->endTime()) * 1000);
            const TagLib::ID3v2::FrameList tytuly = c->embeddedFrameList("TIT2");
            if (!tytuly.isEmpty())
                r.tytul = tekstTagLib(tytuly.front()->toString());
            p.rozdzialy.append(r);
        }
        std::stable_sort(p.rozdzialy.begin(), p.rozdzialy.end(),
                         [](const auto& a, const auto& b) { return a.odUs < b.odUs; });
    }
    return p;
}

} // namespace

namespace {

// What the module is asked only after: a file that is not there or no
// regular file (a pipe, a device) is said so plainly.
QString sprawdzonaNazwa(const QString& sciezka) {
    const QString nazwa = natywnaSciezka(sciezka);
    if (!QFileInfo::exists(sciezka))
        throw EBladZrodla(QStringLiteral("Nie ma pliku %1").arg(nazwa));
    if (const QString powod = powodNiezwyklegoPliku(sciezka); !powod.isEmpty())
        throw EBladZrodla(QStringLiteral("Nie można odczytać pliku %1: %2").arg(nazwa, powod));
    return nazwa;
}

} // namespace

PlikDzwieku zbadajPlikDzwieku(const QString& sciezka) {
    if (sciezka.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive) &&
        powodNiezwyklegoPliku(sciezka).isEmpty()) {
        if (auto p = zbadajMp3(sciezka))
            return *p;
    }
    const QString nazwa = sprawdzonaNazwa(sciezka);
    QString blad;
    PlikDzwieku p = modulKodekow().zbadaj(sciezka, nazwa, blad);
    if (!blad.isEmpty())
        throw EBladZrodla(blad);
    return p;
}

struct DekoderDzwieku::Impl {
    std::unique_ptr<DekoderModulu> dekoder;
};

DekoderDzwieku::DekoderDzwieku(const QString& sciezka, int czestotliwosc, int kanaly)
    : d(new Impl) {
    const QString nazwa = sprawdzonaNazwa(sciezka);
    QString blad;
    d->dekoder = modulKodekow().dekoder(sciezka, nazwa, czestotliwosc, kanaly, blad);
    if (!d->dekoder)
        throw EBladZrodla(blad);
}

DekoderDzwieku::~DekoderDzwieku() = default;

std::int64_t DekoderDzwieku::dekoduj(std::int64_t odUs, std::int64_t doUs,
                                     std::int64_t oczekiwaneUs,
                                     const std::function<void(const std::int16_t*, int)>& odbierz,
                                     const std::atomic_bool& stop) {
    QString blad;
    const std::int64_t n = d->dekoder->dekoduj(odUs, doUs, oczekiwaneUs, odbierz, stop, blad);
    if (!blad.isEmpty())
        throw EBladZrodla(blad);
    return n;
}
