// libsonvek-kodeki.so: the import's decoding (FFmpeg's libavformat,
// libavcodec and libswresample) and encoding (LAME), loaded by the program
// only when a source needs them (see ModulKodekow.h).

#include "import/ModulKodekow.h"

#include <QFile>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <mutex>
#include <vector>

#include <lame/lame.h>

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

// What the module cannot do, thrown inside it and handed to the program
// as a text at its entry points.
struct BladKodeka {
    explicit BladKodeka(QString t) : tekst(std::move(t)) {}
    QString tekst;
};

// Opens the file and finds its audio stream; throws BladKodeka.
int otworz(Format& f, const QString& sciezka, const QString& nazwa) {
    // The libraries' own messages would go to the standard error output:
    // what matters is reported with the file's name instead.
    static std::once_flag cicho;
    std::call_once(cicho, [] { av_log_set_level(AV_LOG_QUIET); });
    const QByteArray n = QFile::encodeName(sciezka);
    int kod = avformat_open_input(&f.ctx, n.constData(), nullptr, nullptr);
    if (kod < 0) {
        f.ctx = nullptr;
        throw BladKodeka(
            kod == AVERROR(EACCES) || kod == AVERROR(EIO)
                ? QStringLiteral("Nie można odczytać pliku %1: %2").arg(nazwa, bladAv(kod))
                : QStringLiteral("Plik %1 nie jest plikiem dźwiękowym, który program zna, albo "
                                 "jest uszkodzony (%2)")
                      .arg(nazwa, bladAv(kod)));
    }
    kod = avformat_find_stream_info(f.ctx, nullptr);
    if (kod < 0)
        throw BladKodeka(QStringLiteral("Plik %1 nie jest plikiem dźwiękowym, który program zna, "
                                        "albo jest uszkodzony (%2)")
                             .arg(nazwa, bladAv(kod)));
    const int strumien = av_find_best_stream(f.ctx, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (strumien < 0)
        throw BladKodeka(QStringLiteral("Plik %1 nie zawiera dźwięku").arg(nazwa));
    const AVStream* st = f.ctx->streams[strumien];
    const AVCodecParameters* par = st->codecpar;
    const std::uint32_t tag = par->codec_tag;
    const bool chroniony = tag == MKTAG('d', 'r', 'm', 's') || tag == MKTAG('a', 'a', 'v', 'd') ||
                           tag == MKTAG('e', 'n', 'c', 'a') || tag == MKTAG('d', 'r', 'm', 'i') ||
                           av_stream_get_side_data(st, AV_PKT_DATA_ENCRYPTION_INIT_INFO, nullptr);
    if (chroniony)
        throw BladKodeka(QStringLiteral("Plik %1 jest zabezpieczony przed kopiowaniem (DRM); "
                                        "program nie może go odczytać")
                             .arg(nazwa));
    if (par->codec_id == AV_CODEC_ID_NONE || !avcodec_find_decoder(par->codec_id))
        throw BladKodeka(
            QStringLiteral("Plik %1 zawiera dźwięk w formacie, którego program nie zna")
                .arg(nazwa));
    if (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)
        throw BladKodeka(QStringLiteral("Plik %1 nie podaje formatu swojego dźwięku").arg(nazwa));
    return strumien;
}

std::int64_t naUs(std::int64_t t, AVRational podstawa) {
    return av_rescale_q(t, podstawa, AVRational{1, 1000000});
}

PlikDzwieku zbadajAv(const QString& sciezka, const QString& nazwa) {
    Format f;
    const int strumien = otworz(f, sciezka, nazwa);
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

class DekoderAv final : public DekoderModulu {
public:
    QString sciezka;
    Format f;
    int strumien = -1;
    AVCodecContext* kodek = nullptr;
    AVPacket* pakiet = nullptr;
    AVFrame* ramka = nullptr;
    int czestotliwosc = 0, kanaly = 0;
    std::vector<std::int16_t> wyjscie;

    ~DekoderAv() override {
        av_frame_free(&ramka);
        av_packet_free(&pakiet);
        avcodec_free_context(&kodek);
    }

    QString nazwa;

    BladKodeka blad(const QString& tekst) const { return BladKodeka(tekst.arg(nazwa)); }

    DekoderAv(const QString& sciezka, const QString& nazwa, int czestotliwosc, int kanaly);
    std::int64_t dekoduj(std::int64_t odUs, std::int64_t doUs, std::int64_t oczekiwaneUs,
                         const std::function<void(const std::int16_t*, int)>& odbierz,
                         const std::atomic_bool& stop, QString& blad) override {
        try {
            return dekodujTu(odUs, doUs, oczekiwaneUs, odbierz, stop);
        } catch (const BladKodeka& b) {
            blad = b.tekst;
            return 0;
        }
    }
    std::int64_t dekodujTu(std::int64_t odUs, std::int64_t doUs, std::int64_t oczekiwaneUs,
                           const std::function<void(const std::int16_t*, int)>& odbierz,
                           const std::atomic_bool& stop);
};

DekoderAv::DekoderAv(const QString& sciezka_, const QString& nazwa_, int czestotliwosc_,
                     int kanaly_) {
    DekoderAv* d = this;
    d->nazwa = nazwa_;
    d->sciezka = sciezka_;
    d->czestotliwosc = czestotliwosc_;
    d->kanaly = kanaly_;
    d->strumien = otworz(d->f, sciezka_, nazwa_);
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

struct Przeksztalcenie {
    SwrContext* swr = nullptr;
    ~Przeksztalcenie() { swr_free(&swr); }
};

std::int64_t DekoderAv::dekodujTu(std::int64_t odUs, std::int64_t doUs, std::int64_t oczekiwaneUs,
                                  const std::function<void(const std::int16_t*, int)>& odbierz,
                                  const std::atomic_bool& stop) {
    DekoderAv* d = this;
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

// LAME fills tables shared by every encoder while it sets one up.
std::mutex g_lame;

lame_global_flags* nowyKoder(const FormatKodowania& f) {
    const std::lock_guard blokada(g_lame);
    lame_global_flags* gf = lame_init();
    if (!gf)
        return nullptr;
    lame_set_in_samplerate(gf, f.czestotliwosc);
    lame_set_out_samplerate(gf, f.czestotliwosc);
    lame_set_num_channels(gf, f.kanaly);
    lame_set_mode(gf, f.kanaly == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(gf, vbr_off);
    lame_set_brate(gf, f.kbps);
    // LAME's "good speed, reasonable quality" (-q 5): speech loses nothing
    // audible against the slower settings, and a book encodes in half the
    // time.
    lame_set_quality(gf, 5);
    lame_set_bWriteVbrTag(gf, 1);
    lame_set_errorf(gf, [](const char*, va_list) {});
    lame_set_debugf(gf, [](const char*, va_list) {});
    lame_set_msgf(gf, [](const char*, va_list) {});
    if (lame_init_params(gf) < 0 || lame_get_brate(gf) != f.kbps ||
        lame_get_out_samplerate(gf) != f.czestotliwosc) {
        lame_close(gf);
        return nullptr;
    }
    return gf;
}

class KoderLame final : public KoderModulu {
public:
    explicit KoderLame(lame_global_flags* gf, int kanaly) : gf(gf), kanaly(kanaly) {}
    ~KoderLame() override { lame_close(gf); }

    bool koduj(const std::int16_t* probki, int ramki, QByteArray& wyjscie) override {
        // LAME's own bound on the output of `ramki` samples.
        bufor.resize(std::size_t(ramki) * 5 / 4 + 7200);
        const int n =
            kanaly == 1
                ? lame_encode_buffer(gf, probki, nullptr, ramki, bufor.data(), int(bufor.size()))
                : lame_encode_buffer_interleaved(gf, const_cast<short*>(probki), ramki,
                                                 bufor.data(), int(bufor.size()));
        return dopisz(n, wyjscie);
    }
    bool zakoncz(QByteArray& wyjscie) override {
        bufor.resize(7200);
        return dopisz(lame_encode_flush(gf, bufor.data(), int(bufor.size())), wyjscie);
    }
    QByteArray naglowekInfo() override {
        unsigned char ramka[2880];
        const size_t n = lame_get_lametag_frame(gf, ramka, sizeof ramka);
        if (n > sizeof ramka)
            return {};
        return QByteArray(reinterpret_cast<const char*>(ramka), qsizetype(n));
    }
    int opoznienie() const override { return lame_get_encoder_delay(gf) + 529; }

private:
    bool dopisz(int n, QByteArray& wyjscie) const {
        if (n < 0)
            return false;
        wyjscie.append(reinterpret_cast<const char*>(bufor.data()), n);
        return true;
    }
    lame_global_flags* gf;
    int kanaly;
    std::vector<unsigned char> bufor;
};

class Kodeki final : public ModulKodekow {
public:
    PlikDzwieku zbadaj(const QString& sciezka, const QString& nazwa, QString& blad) override {
        try {
            return zbadajAv(sciezka, nazwa);
        } catch (const BladKodeka& b) {
            blad = b.tekst;
            return {};
        }
    }
    std::unique_ptr<DekoderModulu> dekoder(const QString& sciezka, const QString& nazwa,
                                           int czestotliwosc, int kanaly, QString& blad) override {
        try {
            return std::make_unique<DekoderAv>(sciezka, nazwa, czestotliwosc, kanaly);
        } catch (const BladKodeka& b) {
            blad = b.tekst;
            return {};
        }
    }
    std::unique_ptr<KoderModulu> koder(const FormatKodowania& format) override {
        lame_global_flags* gf = nowyKoder(format);
        if (!gf)
            return {};
        return std::make_unique<KoderLame>(gf, format.kanaly);
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) ModulKodekow* sonvek_modul_kodekow_1() {
    static Kodeki kodeki;
    return &kodeki;
}
