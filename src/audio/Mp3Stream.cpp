#include "audio/Mp3Stream.h"

#include "base/Errors.h"
#include "base/ZwyklyPlik.h"

#include <QDir>
#include <QFile>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <exception>
#include <functional>
#include <mpg123.h>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// One MPEG audio frame header: what the walk needs of it.
struct FrameHeader {
    int version = 0; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;   // as coded: 3 Layer I, 2 Layer II, 1 Layer III
    int bitRate = 0; // kbit/s
    int sampleRate = 0;
    int length = 0;  // bytes of the whole frame, header included
    int samples = 0; // per channel
    int channels = 0;
    bool free = false; // free format: the length comes from the stream
};

// A free-format stream: its frames' length without the padding slot,
// learnt from the distance between its first two frames, and its kind.
struct FreeFormat {
    int bytes = 0; // 0: not known
    int version = 0, layer = 0, freqIndex = 0;
};
// Layer III at 640 kbit/s and 32 kHz, padded: the longest free frame a
// decoder takes (libmpg123's limit lies just above).
constexpr int kMaxFreeFrame = 2881;
constexpr int kMinFreeFrame = 21;

// The header at p. A free-format header (bit-rate index 0) has a length
// only when `free` knows that stream's frame length; `unknownFree` then
// says that it was one.
std::optional<FrameHeader> frameHeader(const unsigned char* p, const FreeFormat& free = {},
                                       bool* unknownFree = nullptr) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (p[1] >> 3) & 3;
    const int layer = (p[1] >> 1) & 3;
    const int rateIndex = p[2] >> 4;
    const int freqIndex = (p[2] >> 2) & 3;
    const int padding = (p[2] >> 1) & 1;
    // Reserved values.
    if (version == 1 || layer == 0 || rateIndex == 15 || freqIndex == 3)
        return std::nullopt;
    if (rateIndex == 0) {
        if (free.bytes == 0 || free.version != version || free.layer != layer ||
            free.freqIndex != freqIndex) {
            if (unknownFree)
                *unknownFree = true;
            return std::nullopt;
        }
    }
    static constexpr int frequencies[3] = {44100, 48000, 32000};
    static constexpr int rates[5][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 I
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 II
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 III
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2 I
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG-2 II, III
    };
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
    const int sampleRate = frequencies[freqIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int samples = layer == 3 ? 384 : (layer == 1 && !mpeg1) ? 576 : 1152;
    int length;
    int bitRate; // bit/s
    if (rateIndex == 0) {
        length = free.bytes + padding * (layer == 3 ? 4 : 1);
        bitRate = int(std::int64_t(free.bytes) * 8 * sampleRate / samples);
    } else {
        bitRate = rates[table][rateIndex - 1] * 1000;
        if (layer == 3)
            length = (12 * bitRate / sampleRate + padding) * 4;
        else if (layer == 1 && !mpeg1)
            length = 72 * bitRate / sampleRate + padding;
        else
            length = 144 * bitRate / sampleRate + padding;
    }
    return FrameHeader{version, layer,   bitRate / 1000,           sampleRate,
                       length,  samples, (p[3] >> 6) == 3 ? 1 : 2, rateIndex == 0};
}

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate &&
           a.free == b.free;
}

// Reads the file front to back in large blocks and hands out stretches of
// it: libmpg123's own reader asks the system for every frame header and
// frame body separately, which makes a length scan many times slower. The
// walk tells the window how far it has got (release); bytes before that are
// dropped when the window moves on, and go first to the receiver, if there
// is one, so that a caller reads each byte of the file once.
class FileWindow {
public:
    using Receiver = std::function<void(const unsigned char*, std::int64_t)>;

    // Empty on success, otherwise why the file cannot be read.
    QString open(const QString& path, qint64 block = kBlock) {
        const QString why = otworzZwyklyPlik(file_, path);
        if (!why.isEmpty())
            return why;
        fd_ = file_.handle();
        setUp(file_.size(), block);
        return QString();
    }
    // Reads an open descriptor from where it stands (not closed here).
    void adopt(int fd, qint64 size, qint64 block, Receiver receiver) {
        fd_ = fd;
        receiver_ = std::move(receiver);
        setUp(size, block);
    }
    ~FileWindow() {
        if (buffer_.size() <= std::size_t(kSpareBytes))
            spareBuffer() = std::move(buffer_);
    }

    qint64 size() const { return size_; }
    bool failed() const { return failed_; }

    // The walk will not look before `pos` again.
    void release(qint64 pos) { keep_ = std::max(keep_, pos); }

    // The bytes from `pos` on as far as the window holds them: at least
    // `want` unless the file ends sooner. `available` tells how many; null
    // at the end of the file or after a read error.
    const unsigned char* at(qint64 pos, qint64 want, qint64& available) {
        available = 0;
        if (pos < blockPos_) { // released already: never asked for
            failed_ = true;
            return nullptr;
        }
        const qint64 need = std::min(pos + std::max<qint64>(want, 1), size_);
        if (blockPos_ + blockLen_ < need && !advance(pos, need))
            return nullptr;
        available = std::min(blockPos_ + blockLen_, size_) - pos;
        return available > 0 ? buffer_.data() + (pos - blockPos_) : nullptr;
    }
    // The same bytes, to change in place before they go on.
    unsigned char* writable(qint64 pos) { return buffer_.data() + (pos - blockPos_); }

    // Reads the rest of the file and hands every byte not handed on yet to
    // the receiver. Without one there is nothing to do.
    void finish() {
        if (!receiver_)
            return;
        release(size_);
        if (blockPos_ + blockLen_ < size_)
            advance(size_, size_);
        if (!failed_ && blockLen_ > 0)
            handOn(blockPos_ + blockLen_);
    }

private:
    static constexpr qint64 kBlock = qint64{256} << 10;
    static constexpr qint64 kSpareBytes = qint64{16} << 20;

    // A buffer kept for the thread's next file: a merge reads thousands.
    static std::vector<unsigned char>& spareBuffer() {
        thread_local std::vector<unsigned char> spare;
        return spare;
    }

    void setUp(qint64 size, qint64 block) {
        size_ = size;
        block_ = std::max<qint64>(block, 64);
        buffer_ = std::move(spareBuffer());
        const qint64 capacity = std::clamp<qint64>(size_, 64, block_);
        if (buffer_.size() < std::size_t(capacity))
            buffer_.resize(std::size_t(capacity));
    }

    // Drops the window's bytes before `upTo`, handing them on first.
    void handOn(qint64 upTo) {
        const qint64 n = upTo - blockPos_;
        if (n <= 0)
            return;
        if (receiver_)
            receiver_(buffer_.data(), n);
        std::memmove(buffer_.data(), buffer_.data() + n, std::size_t(blockLen_ - n));
        blockPos_ = upTo;
        blockLen_ -= n;
    }

    // Reads on until the window reaches `need`, keeping `pos` and what the
    // walk has not released.
    bool advance(qint64 pos, qint64 need) {
        while (blockPos_ + blockLen_ < need) {
            handOn(std::min({keep_, pos, blockPos_ + blockLen_}));
            if (blockLen_ == qint64(buffer_.size()))
                buffer_.resize(buffer_.size() * 2);
            // A read takes a block, or what is needed when that is more: a
            // walk of a few frames reads little even with a large spare buffer.
            const qint64 room =
                std::min({qint64(buffer_.size()) - blockLen_, size_ - blockPos_ - blockLen_,
                          std::max(block_, need - blockPos_ - blockLen_)});
            const qint64 got = readSome(buffer_.data() + blockLen_, room);
            if (got < 0) {
                failed_ = true;
                return false;
            }
            if (got == 0) { // the file is shorter than it was
                size_ = blockPos_ + blockLen_;
                return false;
            }
            blockLen_ += got;
        }
        return true;
    }

    qint64 readSome(unsigned char* target, qint64 n) {
#ifdef Q_OS_UNIX
        for (;;) {
            const ssize_t got = ::read(fd_, target, std::size_t(n));
            if (got >= 0 || errno != EINTR)
                return got;
        }
#else
        return file_.read(reinterpret_cast<char*>(target), n);
#endif
    }

    QFile file_;
    int fd_ = -1;
    Receiver receiver_;
    std::vector<unsigned char> buffer_;
    // The window holds the file's bytes from blockPos_ on; those before it
    // were handed on.
    qint64 size_ = 0, blockPos_ = 0, blockLen_ = 0, keep_ = 0, block_ = kBlock;
    bool failed_ = false;
};

// A metadata tag starting at some position: its length from there, and for
// a tag whose footer comes first in the scan (APE without a header seen),
// the length of its part before that position.
struct Tag {
    qint64 length = 0;
    qint64 before = 0;
};

QString notMp3(const QString& path) {
    return QStringLiteral("Plik „%1” nie jest plikiem dźwiękowym MP3").arg(nativePath(path));
}

// Whether a frame is the Xing or Info header that an encoder puts first:
// side information all zero (the two bytes after the header may be a
// checksum) and the tag where the side information ends. This is the test
// libmpg123 applies to the first frame it is given; it then drops the frame.
bool isInfoFrame(const unsigned char* p, qint64 available, const FrameHeader& h) {
    if (h.layer != 1)
        return false;
    const bool mono = h.channels == 1;
    const bool mpeg1 = h.version == 3;
    const int sideInfo = mono ? (mpeg1 ? 17 : 9) : (mpeg1 ? 32 : 17);
    const unsigned char* body = p + 4;
    if (h.length - 4 < sideInfo + 8 || available < 4 + sideInfo + 8)
        return false;
    for (int i = 2; i < sideInfo; ++i)
        if (body[i] != 0)
            return false;
    return std::memcmp(body + sideInfo, "Info", 4) == 0 ||
           std::memcmp(body + sideInfo, "Xing", 4) == 0;
}

} // namespace

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

struct Mp3Stream::Impl {
    FileWindow file;
    mpg123_handle* mh = nullptr;
    bool decoding = false;
    std::int64_t frames = 0;
    bool firstChecked = false; // the walk alone: the first frame was tested for an Info header
    InfoFrame info;            // the Info header it found there

    // The walk: where the next frame is looked for, the last frame found,
    // and the bytes passed over that were neither audio nor tags.
    qint64 scanPos = 0;
    qint64 lastFrameEnd = -1;
    FrameHeader lastHeader;
    FreeFormat free;
    qint64 skipped = 0;
    // Every frame the walk found, at its own rate: also those the decoder
    // passes over (an encoder's information frame at the start).
    std::int64_t walkedTicks = 0;
    const std::atomic_bool* stop = nullptr;
    bool stopped = false;
    // The frame libmpg123 is being given: the part not yet handed over.
    qint64 framePos = 0, frameEnd = 0;
    // Bytes handed to libmpg123 so far, and the frames handed that it has
    // not yet reported: where each begins in what it was handed and in the
    // file. Its own count of the bytes it was handed tells which frame it
    // reports, whatever it reads ahead or passes over (an info frame).
    qint64 handed = 0;
    struct Handed {
        qint64 streamPos, filePos;
        int length;
    };
    std::deque<Handed> pending;
    // The header cutShort found after a frame, read once for both.
    struct {
        qint64 pos = -1;
        FrameHeader header;
    } peeked;
    // Changes each frame's bytes before they go on (see Mp3Pass).
    std::function<void(unsigned char*, int)> eachFrameBytes;
    bool floats = false; // decoded samples are 32-bit floats
    // What the receiver or the hook threw inside libmpg123's reader, to be
    // thrown again once libmpg123 has returned.
    std::exception_ptr failure;

    ~Impl() {
        if (!mh)
            return;
        // A measuring handle serves the thread's next file: a fresh one
        // costs more than walking a small file.
        if (!decoding && !spareHandle().mh) {
            mpg123_close(mh);
            spareHandle().mh = mh;
            return;
        }
        mpg123_delete(mh); // closes the stream too
    }

    struct SpareHandle {
        mpg123_handle* mh = nullptr;
        ~SpareHandle() {
            if (mh)
                mpg123_delete(mh);
        }
    };
    static SpareHandle& spareHandle() {
        thread_local SpareHandle spare;
        return spare;
    }

    std::optional<FrameHeader> headerAt(qint64 pos) {
        qint64 n = 0;
        const unsigned char* p = file.at(pos, 4, n);
        if (!p || n < 4)
            return std::nullopt;
        bool unknownFree = false;
        if (auto h = frameHeader(p, free, &unknownFree))
            return h;
        if (unknownFree && learnFreeFormat(pos))
            return frameHeader(p, free);
        return std::nullopt;
    }

    // A free-format header at `pos` whose stream's frame length is not
    // known yet: the length is the distance to the next header of the same
    // kind, taken only when the frame after that one lines up with it too
    // (or the file ends there), so a sync pattern inside the audio data is
    // not taken for a frame.
    bool learnFreeFormat(qint64 pos) {
        qint64 n = 0;
        const unsigned char* p = file.at(pos, kMaxFreeFrame + 4, n);
        if (!p || n < 4)
            return false;
        const unsigned char header[3] = {p[0], p[1], p[2]};
        const int padding = (header[2] >> 1) & 1;
        const int layer = (header[1] >> 1) & 3;
        const int slot = layer == 3 ? 4 : 1;
        auto sameKind = [&](const unsigned char* q) {
            return q[0] == 0xFF && (q[1] & 0xFE) == (header[1] & 0xFE) && (q[2] >> 4) == 0 &&
                   ((q[2] >> 2) & 3) == ((header[2] >> 2) & 3);
        };
        for (qint64 d = kMinFreeFrame; d + 4 <= n && d <= kMaxFreeFrame; ++d) {
            const unsigned char* q = p + d;
            if (!sameKind(q))
                continue;
            const int bytes = int(d) - padding * slot;
            if (bytes < kMinFreeFrame || (layer == 3 && bytes % 4 != 0))
                continue;
            // The frame after: where its own padding puts it.
            const qint64 after = pos + d + bytes + ((q[2] >> 1) & 1) * slot;
            qint64 m = 0;
            const unsigned char* r = file.at(after, 4, m);
            if (after == file.size() || (r && m >= 4 && sameKind(r))) {
                free = {bytes, (header[1] >> 3) & 3, layer, (header[2] >> 2) & 3};
                return true;
            }
            // Reading on may have moved the window's bytes.
            p = file.at(pos, kMaxFreeFrame + 4, n);
            if (!p)
                return false;
        }
        return false;
    }

    // `inner`: asked for what follows an ID3v1 tag, which is not looked
    // past again.
    Tag tagAt(qint64 pos, bool inner = false) {
        qint64 n = 0;
        const unsigned char* t = file.at(pos, 32, n);
        if (!t)
            return {};
        const qint64 rest = file.size() - pos;
        if (n >= 10 && std::memcmp(t, "ID3", 3) == 0 && t[3] >= 2 && t[3] <= 4 && t[4] != 0xFF &&
            !((t[6] | t[7] | t[8] | t[9]) & 0x80)) {
            const qint64 body = (t[6] << 21) | (t[7] << 14) | (t[8] << 7) | t[9];
            return {std::min(10 + body + ((t[5] & 0x10) ? 10 : 0), rest), 0};
        }
        // An ID3v1 tag ends a file; inside one (a file joined from tagged
        // files) it is taken when a frame or another tag follows it.
        if (rest >= 128 && n >= 3 && std::memcmp(t, "TAG", 3) == 0 &&
            (rest == 128 || (!inner && (headerAt(pos + 128) || tagAt(pos + 128, true).length > 0))))
            return {128, 0};
        if (n >= 32 && std::memcmp(t, "APETAGEX", 8) == 0) {
            const qint64 size = qFromLittleEndian<quint32>(t + 12); // items and footer
            const quint32 flags = qFromLittleEndian<quint32>(t + 20);
            if (flags & (1u << 29)) // this is the header: the whole tag follows
                return {std::min(32 + size, rest), 0};
            return {32, std::max<qint64>(0, size - 32 + ((flags & (1u << 31)) ? 32 : 0))};
        }
        return {};
    }

    // A frame found after something else is taken only when what follows
    // it is a frame of the same stream, a tag, or the end of the file.
    bool confirmed(qint64 pos, const FrameHeader& h) {
        const qint64 next = pos + h.length;
        if (next == file.size())
            return true;
        if (const auto following = headerAt(next))
            return sameStream(h, *following);
        return tagAt(next).length > 0;
    }

    // A frame that directly follows the last one is cut short when what
    // follows it is neither a frame, a tag nor the end, and a tag or a
    // confirmed frame begins inside it: its header starts a truncated
    // frame, and the audio goes on within its bytes. A whole frame followed
    // by bytes that are no audio stays a frame.
    bool cutShort(qint64 pos, const FrameHeader& h) {
        const qint64 next = pos + h.length;
        if (next == file.size())
            return false;
        if (const auto following = headerAt(next)) {
            peeked = {next, *following}; // the next call starts there
            return false;
        }
        if (tagAt(next).length > 0)
            return false;
        for (qint64 q = pos + 1; q < next; ++q) {
            qint64 n = 0;
            const unsigned char* b = file.at(q, 1, n);
            if (!b)
                return false;
            if (b[0] == 0xFF) {
                const auto inside = headerAt(q);
                if (inside && q + inside->length <= file.size() && confirmed(q, *inside))
                    return true;
            } else if ((b[0] == 'I' || b[0] == 'T' || b[0] == 'A') && tagAt(q).length > 0) {
                return true;
            }
        }
        return false;
    }

    bool stopAsked() {
        if (stop && stop->load(std::memory_order_relaxed))
            stopped = true;
        return stopped;
    }

    bool take(qint64 pos, const FrameHeader& h) {
        if (eachFrameBytes) {
            qint64 n = 0;
            if (file.at(pos, h.length, n) && n >= h.length)
                eachFrameBytes(file.writable(pos), h.length);
        }
        // Only libmpg123 reports frames back; a walk by the headers alone
        // (a frame scan of a whole book) has no use for the list.
        if (mh)
            pending.push_back({handed, pos, h.length});
        walkedTicks += std::int64_t(h.samples) * (kTicksPerSecond / h.sampleRate);
        framePos = pos;
        frameEnd = scanPos = lastFrameEnd = pos + h.length;
        lastHeader = h;
        return true;
    }

    // Moves to the next frame from scanPos; false when the file has none.
    bool findFrame() {
        const qint64 size = file.size();
        qint64 pos = scanPos;
        file.release(pos);
        if (pos == lastFrameEnd) {
            const auto h = peeked.pos == pos ? std::optional(peeked.header) : headerAt(pos);
            if (h && sameStream(*h, lastHeader) && pos + h->length <= size && !cutShort(pos, *h))
                return take(pos, *h);
        }
        const qint64 gapStart = pos;
        qint64 tags = 0; // bytes of the gap that belong to tags
        while (pos < size) {
            if (stopAsked())
                return false;
            file.release(pos);
            qint64 n = 0;
            const unsigned char* b = file.at(pos, 1, n);
            if (!b)
                break;
            qint64 i = 0;
            while (i < n && b[i] != 0xFF && b[i] != 'I' && b[i] != 'T' && b[i] != 'A')
                ++i;
            pos += i;
            if (i == n)
                continue;
            if (b[i] == 0xFF) {
                auto h = headerAt(pos);
                // A free-format stream of another frame length (a file
                // joined from two) is learnt anew.
                if (h && h->free && !(pos + h->length <= size && confirmed(pos, *h)) &&
                    learnFreeFormat(pos))
                    h = headerAt(pos);
                if (h && pos + h->length <= size && confirmed(pos, *h)) {
                    skipped += pos - gapStart - tags;
                    return take(pos, *h);
                }
            } else if (const Tag tag = tagAt(pos); tag.length > 0) {
                tags += std::min(tag.before, pos - gapStart - tags) + tag.length;
                pos += tag.length;
                continue;
            }
            ++pos;
        }
        skipped += std::max<qint64>(0, std::min(pos, size) - gapStart - tags);
        scanPos = size;
        return false;
    }

    // nextFrame without libmpg123: the frame's own header tells all.
    bool nextHeader(Mp3Frame& frame, const QString& path) {
        for (;;) {
            const bool found = findFrame();
            pending.clear();
            if (file.failed())
                throw EMCIDeviceError(
                    QStringLiteral("Błąd odczytu pliku „%1”").arg(nativePath(path)));
            if (!found) {
                if (frames == 0 && !stopped)
                    throw EMCIDeviceError(notMp3(path));
                return false;
            }
            if (!firstChecked) {
                firstChecked = true;
                qint64 n = 0;
                const unsigned char* p = file.at(framePos, 64, n);
                if (!p)
                    throw EMCIDeviceError(
                        QStringLiteral("Błąd odczytu pliku „%1”").arg(nativePath(path)));
                if (isInfoFrame(p, n, lastHeader)) {
                    info.offset = framePos;
                    info.bytes.clear();
                    qint64 m = 0;
                    if (const unsigned char* whole = file.at(framePos, lastHeader.length, m))
                        info.bytes.assign(whole, whole + std::min<qint64>(m, lastHeader.length));
                    continue;
                }
            }
            const FrameHeader& h = lastHeader;
            frame.sampleRate = h.sampleRate;
            frame.channels = h.channels;
            frame.version = h.version == 3 ? 1 : h.version == 2 ? 2 : 25;
            frame.layer = 4 - h.layer;
            frame.bitrateKbps = h.bitRate;
            frame.samples = h.samples;
            frame.durationTicks = std::int64_t(frame.samples) * (kTicksPerSecond / h.sampleRate);
            frame.offset = framePos;
            frame.bytes = h.length;
            qint64 n = 0;
            const unsigned char* bytes = file.at(framePos, h.length, n);
            frame.data = n >= h.length ? bytes : nullptr;
            framePos = frameEnd;
            ++frames;
            return true;
        }
    }

    // libmpg123's reader: the frames one after another, nothing between them.
    // Nothing is thrown through libmpg123.
    ssize_t read(void* target, size_t count) {
        try {
            return readFrames(target, count);
        } catch (...) {
            failure = std::current_exception();
            return -1;
        }
    }
    ssize_t readFrames(void* target, size_t count) {
        auto* out = static_cast<unsigned char*>(target);
        size_t done = 0;
        while (done < count) {
            if (framePos == frameEnd && !findFrame())
                break;
            qint64 n = 0;
            const unsigned char* p = file.at(framePos, 1, n);
            if (!p)
                break;
            const size_t part = size_t(std::min({qint64(count - done), frameEnd - framePos, n}));
            std::memcpy(out + done, p, part);
            done += part;
            framePos += qint64(part);
            handed += qint64(part);
        }
        return file.failed() ? -1 : ssize_t(done);
    }
};

Mp3Stream::Mp3Stream(const QString& path, int outputRate, bool floatSamples)
    : path_(path), d(new Impl) {
    d->floats = floatSamples;
    if (const QString why = d->file.open(path); !why.isEmpty())
        throw EMCIDeviceError(
            QStringLiteral("Nie można otworzyć pliku „%1”: %2").arg(nativePath(path), why));
    start(outputRate);
}

Mp3Stream::Mp3Stream(const QString& path, Mp3Pass pass) : path_(path), d(new Impl) {
    d->file.adopt(pass.fd, pass.size, pass.blockBytes, std::move(pass.receive));
    d->eachFrameBytes = std::move(pass.eachFrameBytes);
    // The frames by their headers alone, as HeadersOnly: the same frames
    // libmpg123 would report, without copying each one into it.
    if (d->file.size() == 0)
        throw EMCIDeviceError(QStringLiteral("Plik „%1” jest pusty").arg(nativePath(path)));
}

Mp3Stream::Mp3Stream(const QString& path, HeadersOnly walk) : path_(path), d(new Impl) {
    if (const QString why = d->file.open(path, walk.blockBytes); !why.isEmpty())
        throw EMCIDeviceError(
            QStringLiteral("Nie można otworzyć pliku „%1”: %2").arg(nativePath(path), why));
    if (d->file.size() == 0)
        throw EMCIDeviceError(QStringLiteral("Plik „%1” jest pusty").arg(nativePath(path)));
}

void Mp3Stream::start(int outputRate) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });

    auto cannotOpen = [&](const QString& why) {
        return EMCIDeviceError(
            QStringLiteral("Nie można otworzyć pliku „%1”: %2").arg(nativePath(path_), why));
    };
    if (d->file.size() == 0)
        throw EMCIDeviceError(QStringLiteral("Plik „%1” jest pusty").arg(nativePath(path_)));

    d->decoding = outputRate > 0;
    if (!d->decoding)
        d->mh = std::exchange(Impl::spareHandle().mh, nullptr);
    if (!d->mh) {
        int err = MPG123_OK;
        d->mh = mpg123_new(nullptr, &err);
        if (!d->mh)
            throw cannotOpen(QString::fromUtf8(mpg123_plain_strerror(err)));
        // No gapless trimming and no trust in the length a header announces:
        // a file made by joining MP3 files carries the header of its first
        // part, and every frame counts.
        long flags = MPG123_QUIET | MPG123_IGNORE_STREAMLENGTH | MPG123_SEEKBUFFER;
        if (outputRate > 0)
            flags |= MPG123_FORCE_STEREO;
        mpg123_param(d->mh, MPG123_FLAGS, flags, 0);
        // It only ever sees whole frames; should it still stumble, it goes on.
        mpg123_param(d->mh, MPG123_RESYNC_LIMIT, -1, 0);
        if (outputRate > 0) {
            mpg123_param(d->mh, MPG123_FORCE_RATE, outputRate, 0);
            mpg123_format_none(d->mh);
            mpg123_format(d->mh, outputRate, MPG123_STEREO,
                          d->floats ? MPG123_ENC_FLOAT_32 : MPG123_ENC_SIGNED_16);
        }
        // The frames are a stream without seeking: libmpg123 reads them in
        // order.
        auto readFrames = [](void* impl, void* target, size_t count) {
            return static_cast<Impl*>(impl)->read(target, count);
        };
        auto noSeek = [](void*, off_t, int) { return off_t{-1}; };
        if (mpg123_replace_reader_handle(d->mh, readFrames, noSeek, nullptr) != MPG123_OK)
            throw cannotOpen(QString::fromUtf8(mpg123_strerror(d->mh)));
    }
    if (mpg123_open_handle(d->mh, d.get()) != MPG123_OK)
        throw cannotOpen(QString::fromUtf8(mpg123_strerror(d->mh)));
}

Mp3Stream::~Mp3Stream() = default;

bool Mp3Stream::nextFrame(Mp3Frame& frame) {
    if (!d->mh)
        return d->nextHeader(frame, path_);
    const int r = mpg123_framebyframe_next(d->mh);
    if (d->failure)
        std::rethrow_exception(std::exchange(d->failure, nullptr));
    if (d->file.failed())
        throw EMCIDeviceError(QStringLiteral("Błąd odczytu pliku „%1”").arg(nativePath(path_)));
    if (r != MPG123_OK && r != MPG123_NEW_FORMAT) {
        if (d->stopped)
            return false;
        // The end of the frames. Before any frame that means the file holds
        // no MPEG audio.
        if (d->frames == 0)
            throw EMCIDeviceError(notMp3(path_));
        return false;
    }
    mpg123_frameinfo2 info{};
    mpg123_info2(d->mh, &info);
    frame.sampleRate = int(info.rate);
    frame.channels = info.mode == MPG123_M_MONO ? 1 : 2;
    frame.version = info.version == MPG123_1_0 ? 1 : info.version == MPG123_2_0 ? 2 : 25;
    frame.layer = info.layer;
    frame.bitrateKbps = info.bitrate;
    frame.samples = mpg123_spf(d->mh);
    if (frame.sampleRate <= 0 || frame.samples <= 0 || kTicksPerSecond % frame.sampleRate != 0)
        throw EMCIDeviceError(notMp3(path_));
    frame.durationTicks = std::int64_t(frame.samples) * (kTicksPerSecond / frame.sampleRate);
    // Frames before the reported one were passed over; a few handed after
    // it may wait for the next report.
    const qint64 at = mpg123_framepos(d->mh);
    if (at < 0)
        d->pending.clear();
    while (!d->pending.empty() && d->pending.front().streamPos < at)
        d->pending.pop_front();
    frame.offset = -1;
    frame.bytes = 0;
    frame.data = nullptr;
    if (!d->pending.empty() && d->pending.front().streamPos == at) {
        frame.offset = d->pending.front().filePos;
        frame.bytes = d->pending.front().length;
        d->pending.pop_front();
    }
    ++d->frames;
    return true;
}

namespace {

template <typename Sample> std::span<const Sample> decoded(mpg123_handle* mh) {
    off_t num = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    if (mpg123_framebyframe_decode(mh, &num, &audio, &bytes) != MPG123_OK || !audio)
        return {};
    return {reinterpret_cast<const Sample*>(audio), bytes / sizeof(Sample)};
}

} // namespace

std::span<const std::int16_t> Mp3Stream::decodeFrame() {
    if (!d->decoding || d->floats)
        return {};
    return decoded<std::int16_t>(d->mh);
}

std::span<const float> Mp3Stream::decodeFrameFloat() {
    if (!d->decoding || !d->floats)
        return {};
    return decoded<float>(d->mh);
}

void Mp3Stream::eachFrameBytes(std::function<void(const unsigned char*, int)> hook) {
    d->eachFrameBytes = [hook = std::move(hook)](unsigned char* bytes, int n) { hook(bytes, n); };
}

const Mp3Stream::InfoFrame& Mp3Stream::infoFrame() const {
    return d->info;
}

std::int64_t Mp3Stream::skippedBytes() const {
    return d->skipped;
}

std::int64_t Mp3Stream::walkedTicks() const {
    return d->walkedTicks;
}

std::int64_t Mp3Stream::skipTo(std::int64_t ticks) {
    std::int64_t t = 0;
    Mp3Frame frame;
    while (t < ticks && d->nextHeader(frame, path_)) {
        if (t + frame.durationTicks > ticks) {
            // This frame is the first to decode: handed to the decoder whole.
            d->framePos = frame.offset;
            d->pending.push_back({d->handed, frame.offset, frame.bytes});
            return t;
        }
        t += frame.durationTicks;
    }
    return t;
}

void Mp3Stream::stopWhen(const std::atomic_bool* stop) {
    d->stop = stop;
}

void Mp3Stream::finish() {
    d->file.finish();
    if (d->file.failed())
        throw EMCIDeviceError(QStringLiteral("Błąd odczytu pliku „%1”").arg(nativePath(path_)));
}
