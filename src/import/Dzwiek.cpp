#include "import/Dzwiek.h"

#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "base/ZwyklyPlik.h"
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

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/encryption_info.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

QString bladAv(int kod) {
    char tekst[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(kod, tekst, sizeof tekst);
    return QString::fromUtf8(tekst);
}

QString tekstTagu(const AVDictionary* slownik, const char* klucz) {
    const AVDictionaryEntry* e = av_dict_get(slownik, klucz, nullptr, 0);
    return e ? QString::fromUtf8(e->value).simplified() : QString();
}

struct Format {
    AVFormatContext* ctx = nullptr;
    ~Format() { avformat_close_input(&ctx); }
};

// Opens the file and finds its audio stream; throws EBladZrodla.
int otworz(Format& f, const QString& sciezka) {
    // The libraries' own messages would go to the standard error output:
    // what matters is reported with the file's name instead.
    static std::once_flag cicho;
    std::call_once(cicho, [] { av_log_set_level(AV_LOG_QUIET); });
    const QString nazwa = natywnaSciezka(sciezka);
    if (!QFileInfo::exists(sciezka))
        throw EBladZrodla(QStringLiteral("Nie ma pliku %1").arg(nazwa));
    if (const QString powod = powodNiezwyklegoPliku(sciezka); !powod.isEmpty())
        throw EBladZrodla(QStringLiteral("Nie można odczytać pliku %1: %2").arg(nazwa, powod));
    const QByteArray n = QFile::encodeName(sciezka);
    int kod = avformat_open_input(&f.ctx, n.constData(), nullptr, nullptr);
    if (kod < 0) {
        f.ctx = nullptr;
        throw EBladZrodla(
            kod == AVERROR(EACCES) || kod == AVERROR(EIO)
                ? QStringLiteral("Nie można odczytać pliku %1: %2").arg(nazwa, bladAv(kod))
                : QStringLiteral("Plik %1 nie jest plikiem dźwiękowym, który program zna, albo "
                                 "jest uszkodzony (%2)")
                      .arg(nazwa, bladAv(kod)));
    }
    kod = avformat_find_stream_info(f.ctx, nullptr);
    if (kod < 0)
        throw EBladZrodla(QStringLiteral("Plik %1 nie jest plikiem dźwiękowym, który program zna, "
                                         "albo jest uszkodzony (%2)")
                              .arg(nazwa, bladAv(kod)));
    const int strumien = av_find_best_stream(f.ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (strumien < 0)
        throw EBladZrodla(QStringLiteral("Plik %1 nie zawiera dźwięku").arg(nazwa));
    const AVStream* st = f.ctx->streams[strumien];
    const AVCodecParameters* par = st->codecpar;
    const std::uint32_t tag = par->codec_tag;
    const bool chroniony = tag == MKTAG('d', 'r', 'm', 's') || tag == MKTAG('a', 'a', 'v', 'd') ||
                           tag == MKTAG('e', 'n', 'c', 'a') || tag == MKTAG('d', 'r', 'm', 'i') ||
                           av_stream_get_side_data(st, AV_PKT_DATA_ENCRYPTION_INIT_INFO, nullptr);
    if (chroniony)
        throw EBladZrodla(QStringLiteral("Plik %1 jest zabezpieczony przed kopiowaniem (DRM); "
                                         "program nie może go odczytać")
                              .arg(nazwa));
    if (par->codec_id == AV_CODEC_ID_NONE || !avcodec_find_decoder(par->codec_id))
        throw EBladZrodla(
            QStringLiteral("Plik %1 zawiera dźwięk w formacie, którego program nie zna")
                .arg(nazwa));
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        throw EBladZrodla(QStringLiteral("Plik %1 nie podaje formatu swojego dźwięku").arg(nazwa));
    return strumien;
}

std::int64_t naUs(std::int64_t t, AVRational podstawa) {
    return av_rescale_q(t, podstawa, AVRational{1, 1000000});
}

} // namespace

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
    Mp3Stream strumien(sciezka, Mp3Stream::HeadersOnly{});
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

PlikDzwieku zbadajPlikDzwieku(const QString& sciezka) {
    if (sciezka.endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive) &&
        powodNiezwyklegoPliku(sciezka).isEmpty()) {
        if (auto p = zbadajMp3(sciezka))
            return *p;
    }
    Format f;
    const int strumien = otworz(f, sciezka);
    const AVStream* st = f.ctx->streams[strumien];
    PlikDzwieku p;
    p.sciezka = sciezka;
    p.format = QString::fromUtf8(f.ctx->iformat->name);
    p.kodek = QString::fromUtf8(avcodec_get_name(st->codecpar->codec_id));
    p.mp3 = st->codecpar->codec_id == AV_CODEC_ID_MP3 && p.format == u"mp3";
    p.czestotliwosc = st->codecpar->sample_rate;
    p.kanaly = st->codecpar->ch_layout.nb_channels;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
        p.dlugoscUs = naUs(st->duration, st->time_base);
    else if (f.ctx->duration != AV_NOPTS_VALUE && f.ctx->duration > 0)
        p.dlugoscUs = f.ctx->duration;
    p.tytul = tekstTagu(f.ctx->metadata, "title");
    p.album = tekstTagu(f.ctx->metadata, "album");
    p.autor = tekstTagu(f.ctx->metadata, "artist");
    if (p.autor.isEmpty())
        p.autor = tekstTagu(f.ctx->metadata, "album_artist");
    for (unsigned i = 0; i < f.ctx->nb_chapters; ++i) {
        const AVChapter* c = f.ctx->chapters[i];
        PlikDzwieku::Rozdzial r;
        r.tytul = tekstTagu(c->metadata, "title");
        r.odUs = std::max<std::int64_t>(0, naUs(c->start, c->time_base));
        r.doUs = std::max(r.odUs, naUs(c->end, c->time_base));
        p.rozdzialy.append(r);
    }
    std::stable_sort(p.rozdzialy.begin(), p.rozdzialy.end(),
                     [](const auto& a, const auto& b) { return a.odUs < b.odUs; });
    return p;
}

struct DekoderDzwieku::Impl {
    QString sciezka;
    Format f;
    int strumien = -1;
    AVCodecContext* kodek = nullptr;
    AVPacket* pakiet = nullptr;
    AVFrame* ramka = nullptr;
    int czestotliwosc = 0, kanaly = 0;
    std::vector<std::int16_t> wyjscie;

    ~Impl() {
        av_frame_free(&ramka);
        av_packet_free(&pakiet);
        avcodec_free_context(&kodek);
    }

    EBladZrodla blad(const QString& tekst) const {
        return EBladZrodla(tekst.arg(natywnaSciezka(sciezka)));
    }
};

DekoderDzwieku::DekoderDzwieku(const QString& sciezka, int czestotliwosc, int kanaly)
    : d(new Impl) {
    d->sciezka = sciezka;
    d->czestotliwosc = czestotliwosc;
    d->kanaly = kanaly;
    d->strumien = otworz(d->f, sciezka);
    const AVStream* st = d->f.ctx->streams[d->strumien];
    const AVCodec* kodek = avcodec_find_decoder(st->codecpar->codec_id);
    d->kodek = avcodec_alloc_context3(kodek);
    d->pakiet = av_packet_alloc();
    d->ramka = av_frame_alloc();
    if (!d->kodek || !d->pakiet || !d->ramka)
        throw d->blad(QStringLiteral("Za mało pamięci, by odczytać plik %1"));
    avcodec_parameters_to_context(d->kodek, st->codecpar);
    d->kodek->pkt_timebase = st->time_base;
    d->kodek->thread_count = 1; // the import runs a decoder on every core already
    if (const int kod = avcodec_open2(d->kodek, kodek, nullptr); kod < 0)
        throw d->blad(QStringLiteral("Nie można odczytać dźwięku pliku %1: ") + bladAv(kod));
}

DekoderDzwieku::~DekoderDzwieku() = default;

namespace {

struct Przeksztalcenie {
    SwrContext* swr = nullptr;
    ~Przeksztalcenie() { swr_free(&swr); }
};

} // namespace

std::int64_t DekoderDzwieku::dekoduj(std::int64_t odUs, std::int64_t doUs,
                                     std::int64_t oczekiwaneUs,
                                     const std::function<void(const std::int16_t*, int)>& odbierz,
                                     const std::atomic_bool& stop) {
    AVFormatContext* ctx = d->f.ctx;
    const AVStream* st = ctx->streams[d->strumien];
    const int zrodlowa =
        d->kodek->sample_rate > 0 ? d->kodek->sample_rate : st->codecpar->sample_rate;
    const std::int64_t poczatekStrumienia = st->start_time != AV_NOPTS_VALUE ? st->start_time : 0;

    // From where the samples are counted: the first frame's own time after a
    // seek, the file's start otherwise.
    bool poSkoku = false;
    if (odUs > 0) {
        const std::int64_t cel =
            av_rescale_q(odUs, AVRational{1, 1000000}, st->time_base) + poczatekStrumienia;
        if (av_seek_frame(ctx, d->strumien, cel, AVSEEK_FLAG_BACKWARD) >= 0)
            poSkoku = true;
        else
            av_seek_frame(ctx, d->strumien, poczatekStrumienia, AVSEEK_FLAG_BACKWARD);
    } else {
        av_seek_frame(ctx, d->strumien, poczatekStrumienia, AVSEEK_FLAG_BACKWARD);
    }
    avcodec_flush_buffers(d->kodek);

    Przeksztalcenie p;
    AVChannelLayout wy{};
    av_channel_layout_default(&wy, d->kanaly);
    AVChannelLayout we{};
    if (d->kodek->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC ||
        av_channel_layout_copy(&we, &d->kodek->ch_layout) < 0)
        av_channel_layout_default(&we, d->kodek->ch_layout.nb_channels);
    int kod = swr_alloc_set_opts2(&p.swr, &wy, AV_SAMPLE_FMT_S16, d->czestotliwosc, &we,
                                  d->kodek->sample_fmt, zrodlowa, 0, nullptr);
    av_channel_layout_uninit(&we);
    av_channel_layout_uninit(&wy);
    if (kod < 0 || swr_init(p.swr) < 0)
        throw d->blad(QStringLiteral("Nie można przekształcić dźwięku pliku %1"));

    const std::int64_t odProbki = av_rescale(odUs, zrodlowa, 1000000);
    const std::int64_t doProbki = doUs < 0 ? INT64_MAX : av_rescale(doUs, zrodlowa, 1000000);
    std::int64_t pozycja = poSkoku ? -1 : 0; // of the next decoded sample, in source samples
    std::int64_t wydane = 0;
    bool dosc = false;

    auto wydaj = [&](const uint8_t** dane, int ile) {
        const int miejsce = swr_get_out_samples(p.swr, ile);
        if (miejsce <= 0)
            return;
        d->wyjscie.resize(std::size_t(miejsce) * std::size_t(d->kanaly));
        uint8_t* cel = reinterpret_cast<uint8_t*>(d->wyjscie.data());
        const int n = swr_convert(p.swr, &cel, miejsce, dane, ile);
        if (n < 0)
            throw d->blad(QStringLiteral("Nie można przekształcić dźwięku pliku %1"));
        if (n > 0) {
            odbierz(d->wyjscie.data(), n);
            wydane += n;
        }
    };

    auto przyjmij = [&](AVFrame* r) {
        if (pozycja < 0) {
            const std::int64_t pts = r->best_effort_timestamp;
            pozycja = pts == AV_NOPTS_VALUE ? odProbki
                                            : av_rescale_q(pts - poczatekStrumienia, st->time_base,
                                                           AVRational{1, zrodlowa});
        }
        const std::int64_t od = pozycja, ile = r->nb_samples;
        pozycja += ile;
        const std::int64_t a = std::max(od, odProbki), b = std::min(od + ile, doProbki);
        if (od + ile >= doProbki)
            dosc = true;
        if (b <= a)
            return;
        const int pominiete = int(a - od);
        const int bajtyProbki = av_get_bytes_per_sample(AVSampleFormat(r->format));
        const bool planarny = av_sample_fmt_is_planar(AVSampleFormat(r->format));
        const int kanalyWe = r->ch_layout.nb_channels;
        std::vector<const uint8_t*> dane(std::size_t(std::max(kanalyWe, 1)));
        for (int c = 0; c < (planarny ? kanalyWe : 1); ++c)
            dane[std::size_t(c)] = r->extended_data[c] + std::size_t(pominiete) *
                                                             std::size_t(bajtyProbki) *
                                                             std::size_t(planarny ? 1 : kanalyWe);
        wydaj(dane.data(), int(b - a));
    };

    int bledyDanych = 0;
    while (!dosc && !stop.load(std::memory_order_relaxed)) {
        kod = av_read_frame(ctx, d->pakiet);
        if (kod == AVERROR_EOF)
            break;
        if (kod < 0)
            throw d->blad(QStringLiteral("Nie można odczytać pliku %1: ") + bladAv(kod));
        if (d->pakiet->stream_index != d->strumien) {
            av_packet_unref(d->pakiet);
            continue;
        }
        kod = avcodec_send_packet(d->kodek, d->pakiet);
        av_packet_unref(d->pakiet);
        if (kod == AVERROR_INVALIDDATA) {
            // A damaged packet is passed over, as players do; a file of
            // nothing else is no audio.
            if (++bledyDanych > 1000 && wydane == 0)
                throw d->blad(QStringLiteral("Plik %1 jest uszkodzony: nie da się odczytać jego "
                                             "dźwięku"));
            continue;
        }
        if (kod < 0 && kod != AVERROR(EAGAIN))
            throw d->blad(QStringLiteral("Nie można odczytać dźwięku pliku %1: ") + bladAv(kod));
        while (!dosc && avcodec_receive_frame(d->kodek, d->ramka) == 0) {
            przyjmij(d->ramka);
            av_frame_unref(d->ramka);
        }
    }
    if (stop.load(std::memory_order_relaxed))
        return wydane;
    if (!dosc) {
        avcodec_send_packet(d->kodek, nullptr);
        while (!dosc && avcodec_receive_frame(d->kodek, d->ramka) == 0) {
            przyjmij(d->ramka);
            av_frame_unref(d->ramka);
        }
    }
    wydaj(nullptr, 0); // what the resampler still holds
    const std::int64_t dlugoscUs = av_rescale(wydane, 1000000, d->czestotliwosc);
    if (oczekiwaneUs >= 0 && dlugoscUs + 1000000 < oczekiwaneUs)
        throw d->blad(QStringLiteral("Plik %1 jest niepełny albo uszkodzony: jego dźwięk urywa "
                                     "się wcześniej, niż plik zapowiada"));
    return wydane;
}
