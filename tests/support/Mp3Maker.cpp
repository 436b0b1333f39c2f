#include "support/Mp3Maker.h"

#include <QFile>
#include <QRandomGenerator>
#include <cmath>
#include <functional>
#include <lame/lame.h>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace {

struct LameDeleter {
    void operator()(lame_global_flags* g) const { lame_close(g); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameDeleter>;

void check(bool ok, const char* what) {
    if (!ok)
        throw std::runtime_error(std::string("Mp3Maker: ") + what);
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot create file");
    check(f.write(data) == data.size(), "cannot write file");
}

// Fills left and right with n samples from position `from` on.
using SampleSource = std::function<void(int from, int n, short* left, short* right)>;

QByteArray encode(const Mp3Format& fmt, int total, const SampleSource& source) {
    LamePtr lame(lame_init());
    check(lame != nullptr, "lame_init");
    lame_global_flags* g = lame.get();
    lame_set_in_samplerate(g, fmt.sampleRate);
    lame_set_out_samplerate(g, fmt.sampleRate);
    lame_set_num_channels(g, fmt.channels);
    lame_set_mode(g, fmt.channels == 1 ? MONO : fmt.dualChannel ? DUAL_CHANNEL : JOINT_STEREO);
    lame_set_error_protection(g, fmt.crc ? 1 : 0);
    lame_set_free_format(g, fmt.freeFormat ? 1 : 0);
    lame_set_quality(g, 7); // fast; tests make many files
    if (fmt.vbr) {
        lame_set_VBR(g, vbr_mtrh);
        lame_set_VBR_quality(g, 4);
    } else {
        lame_set_VBR(g, vbr_off);
        lame_set_brate(g, fmt.bitrateKbps);
    }
    lame_set_bWriteVbrTag(g, fmt.xing ? 1 : 0);
    lame_set_write_id3tag_automatic(g, 0);
    if (fmt.id3v2) {
        id3tag_init(g);
        id3tag_v2_only(g);
        id3tag_set_title(g, "Test tone");
        id3tag_set_artist(g, "Mp3Maker");
        id3tag_set_pad(g, 64);
    }
    check(lame_init_params(g) >= 0, "lame_init_params refused the parameters");

    QByteArray out;
    if (fmt.id3v2) {
        std::vector<unsigned char> tag(lame_get_id3v2_tag(g, nullptr, 0));
        check(lame_get_id3v2_tag(g, tag.data(), tag.size()) == tag.size(), "id3v2 tag");
        out.append(reinterpret_cast<const char*>(tag.data()), qsizetype(tag.size()));
    }
    const qsizetype audioStart = out.size();

    constexpr int chunk = 4608;
    std::vector<short> left(chunk), right(chunk);
    std::vector<unsigned char> mp3(chunk * 5 / 4 + 7200);
    for (int done = 0; done < total;) {
        const int n = std::min(chunk, total - done);
        source(done, n, left.data(), right.data());
        const int bytes =
            lame_encode_buffer(g, left.data(), right.data(), n, mp3.data(), int(mp3.size()));
        check(bytes >= 0, "lame_encode_buffer");
        out.append(reinterpret_cast<const char*>(mp3.data()), bytes);
        done += n;
    }
    const int bytes = lame_encode_flush(g, mp3.data(), int(mp3.size()));
    check(bytes >= 0, "lame_encode_flush");
    out.append(reinterpret_cast<const char*>(mp3.data()), bytes);

    if (fmt.xing) {
        // The encoder left an empty first frame for this header.
        unsigned char frame[2880];
        const size_t size = lame_get_lametag_frame(g, frame, sizeof frame);
        check(size > 0 && size <= sizeof frame,
              "no Xing header (the bit rate is too low to hold one)");
        check(audioStart + qsizetype(size) <= out.size(), "lametag beyond the data");
        out.replace(audioStart, qsizetype(size), reinterpret_cast<const char*>(frame),
                    qsizetype(size));
    }
    return out;
}

} // namespace

QByteArray makeMp3Data(const Mp3Format& fmt) {
    const double step = 2 * std::numbers::pi * fmt.toneHz / fmt.sampleRate;
    return encode(fmt, int(qint64(fmt.durationMs) * fmt.sampleRate / 1000),
                  [step, level = fmt.level](int from, int n, short* left, short* right) {
                      for (int i = 0; i < n; ++i) {
                          const double v = std::sin(step * (from + i)) * level;
                          left[i] = short(12000 * v);
                          right[i] = short(9000 * v);
                      }
                  });
}

QByteArray makeMp3Data(const Mp3Format& fmt, std::span<const short> mono) {
    return encode(fmt, int(mono.size()), [mono](int from, int n, short* left, short* right) {
        std::copy_n(mono.begin() + from, n, left);
        std::copy_n(mono.begin() + from, n, right);
    });
}

QString makeMp3(const QString& path, const Mp3Format& fmt) {
    writeFile(path, makeMp3Data(fmt));
    return path;
}

QString joinFiles(const QString& target, const QStringList& parts) {
    QByteArray all;
    for (const QString& part : parts) {
        QFile f(part);
        check(f.open(QIODevice::ReadOnly), "cannot read a part");
        all += f.readAll();
    }
    writeFile(target, all);
    return target;
}

QByteArray randomBytes(qsizetype n, quint32 seed) {
    QRandomGenerator gen(seed);
    QByteArray out(n, Qt::Uninitialized);
    for (char& c : out)
        c = char(gen.bounded(256));
    return out;
}

QByteArray makeWavData(int durationMs, int sampleRate) {
    const quint32 samples = quint32(qint64(durationMs) * sampleRate / 1000);
    QByteArray out;
    auto u32 = [&out](quint32 v) {
        for (int i = 0; i < 4; ++i)
            out += char(v >> (8 * i));
    };
    auto u16 = [&out](quint16 v) { out += char(v & 0xFF), out += char(v >> 8); };
    out += "RIFF";
    u32(36 + samples * 2);
    out += "WAVEfmt ";
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(quint32(sampleRate));
    u32(quint32(sampleRate) * 2);
    u16(2);
    u16(16);
    out += "data";
    u32(samples * 2);
    for (quint32 i = 0; i < samples; ++i)
        u16(quint16(qint16(12000 * std::sin(2 * std::numbers::pi * 440.0 * i / sampleRate))));
    return out;
}

namespace {

// Size of the ID3v2 tag starting at data[at], 0 when there is none.
qsizetype id3v2Size(const QByteArray& data, qsizetype at) {
    if (at + 10 > data.size() || data.mid(at, 3) != "ID3")
        return 0;
    const auto* h = reinterpret_cast<const unsigned char*>(data.constData() + at);
    if (h[3] < 2 || h[3] > 4 || h[4] == 0xff || (h[6] | h[7] | h[8] | h[9]) & 0x80)
        return 0;
    const qsizetype body = (h[6] << 21) | (h[7] << 14) | (h[8] << 7) | h[9];
    return 10 + body + ((h[5] & 0x10) ? 10 : 0);
}

// Decodes one stream without tags; LAME's decoder takes one rate per stream.
void decodeStream(QByteArray data, DecodedMp3& result) {
    std::unique_ptr<hip_global_flags, int (*)(hip_t)> hip(hip_decode_init(), hip_decode_exit);
    check(hip != nullptr, "hip_decode_init");
    std::vector<short> left(1152 * 4), right(1152 * 4);
    auto* bytes = reinterpret_cast<unsigned char*>(data.data());
    const size_t size = size_t(data.size());
    // Each call returns at most one frame: after feeding a piece, keep
    // calling with no new input until the decoder has nothing left.
    for (size_t fed = 0; fed < size;) {
        const size_t piece = std::min<size_t>(1024, size - fed); // larger pieces confuse it
        mp3data_struct info{};
        int n =
            hip_decode1_headers(hip.get(), bytes + fed, piece, left.data(), right.data(), &info);
        fed += piece;
        for (bool fresh = true; n > 0 || fresh; fresh = false) {
            if (n > 0) {
                const double ms = 1000.0 * n / info.samplerate;
                result.lengthMs += ms;
                result.maxFrameMs = std::max(result.maxFrameMs, int(std::ceil(ms)));
                ++result.frames;
            }
            n = hip_decode1_headers(hip.get(), bytes, 0, left.data(), right.data(), &info);
        }
        check(n >= 0, "decoding error");
    }
}

} // namespace

DecodedMp3 decodeMp3(const QString& path) {
    QFile f(path);
    check(f.open(QIODevice::ReadOnly), "cannot read the file to decode");
    const QByteArray data = f.readAll();
    // ID3v2 tags (in front of every joined part) are cut out, and each part
    // between them is decoded on its own.
    DecodedMp3 result;
    qsizetype from = 0;
    for (qsizetype at = data.indexOf("ID3"); at >= 0; at = data.indexOf("ID3", at + 1)) {
        const qsizetype tag = id3v2Size(data, at);
        if (tag == 0)
            continue;
        if (at > from)
            decodeStream(data.mid(from, at - from), result);
        from = at + tag;
        at = from - 1;
    }
    if (from < data.size())
        decodeStream(data.mid(from), result);
    return result;
}
