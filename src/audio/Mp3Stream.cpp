#include "audio/Mp3Stream.h"

#include "app/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>
#include <mpg123.h>
#include <mutex>

namespace {

// Reads the file in large blocks: libmpg123's own reader asks the system
// for every frame header and frame body separately, which makes a length
// scan many times slower.
class BlockReader {
public:
    bool open(const QString& path) {
        file_.setFileName(path);
        if (!file_.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            return false;
        size_ = file_.size();
        capacity_ = std::clamp<qint64>(size_, 1, kBlock);
        block_ = std::make_unique<char[]>(size_t(capacity_));
        return true;
    }
    qint64 size() const { return size_; }
    bool failed() const { return failed_; }

    ssize_t read(void* target, size_t count) {
        auto* out = static_cast<char*>(target);
        size_t done = 0;
        while (done < count) {
            if (pos_ >= blockPos_ && pos_ < blockPos_ + blockLen_) {
                const qint64 n =
                    std::min<qint64>(qint64(count - done), blockPos_ + blockLen_ - pos_);
                std::memcpy(out + done, block_.get() + (pos_ - blockPos_), size_t(n));
                done += size_t(n);
                pos_ += n;
                continue;
            }
            if (!file_.seek(pos_)) {
                failed_ = true;
                return -1;
            }
            const qint64 got = file_.read(block_.get(), capacity_);
            if (got < 0) {
                failed_ = true;
                return -1;
            }
            if (got == 0)
                break;
            blockPos_ = pos_;
            blockLen_ = got;
        }
        return ssize_t(done);
    }

    off_t seek(off_t offset, int whence) {
        qint64 base = 0;
        if (whence == SEEK_CUR)
            base = pos_;
        else if (whence == SEEK_END)
            base = size_;
        else if (whence != SEEK_SET)
            return -1;
        if (base + offset < 0)
            return -1;
        pos_ = base + offset;
        return off_t(pos_);
    }

private:
    static constexpr qint64 kBlock = 1 << 20;
    QFile file_;
    std::unique_ptr<char[]> block_;
    qint64 capacity_ = 0, size_ = 0, pos_ = 0, blockPos_ = 0, blockLen_ = 0;
    bool failed_ = false;
};

ssize_t readBlock(void* handle, void* target, size_t count) {
    return static_cast<BlockReader*>(handle)->read(target, count);
}

off_t seekBlock(void* handle, off_t offset, int whence) {
    return static_cast<BlockReader*>(handle)->seek(offset, whence);
}

QString openFailure(const QString& path) {
    const QFileInfo info(path);
    QString why;
    if (!info.exists())
        why = QStringLiteral("plik nie istnieje");
    else if (info.isDir())
        why = QStringLiteral("to jest folder, nie plik");
    else
        why = QStringLiteral("brak dostępu do pliku");
    return QStringLiteral("Nie można otworzyć pliku „%1”: %2").arg(nativePath(path), why);
}

} // namespace

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

struct Mp3Stream::Impl {
    BlockReader reader;
    mpg123_handle* mh = nullptr;
    bool decoding = false;
    std::int64_t frames = 0;

    ~Impl() {
        if (mh)
            mpg123_delete(mh); // closes the stream too
    }
};

Mp3Stream::Mp3Stream(const QString& path, int outputRate) : path_(path), d(new Impl) {
    static std::once_flag initOnce;
    std::call_once(initOnce, [] { mpg123_init(); });

    if (!d->reader.open(path))
        throw EMCIDeviceError(openFailure(path));
    if (d->reader.size() == 0)
        throw EMCIDeviceError(QStringLiteral("Plik „%1” jest pusty").arg(nativePath(path)));

    int err = MPG123_OK;
    d->mh = mpg123_new(nullptr, &err);
    if (!d->mh)
        throw EMCIDeviceError(
            QStringLiteral("Nie można otworzyć pliku „%1”: %2")
                .arg(nativePath(path), QString::fromUtf8(mpg123_plain_strerror(err))));
    // No gapless trimming and no trust in the length a header announces: a
    // file made by joining MP3 files carries the header of its first part,
    // and every frame counts.
    long flags = MPG123_QUIET | MPG123_IGNORE_STREAMLENGTH;
    if (outputRate > 0)
        flags |= MPG123_FORCE_STEREO;
    mpg123_param(d->mh, MPG123_FLAGS, flags, 0);
    if (outputRate > 0) {
        mpg123_param(d->mh, MPG123_FORCE_RATE, outputRate, 0);
        mpg123_format_none(d->mh);
        mpg123_format(d->mh, outputRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);
    }
    d->decoding = outputRate > 0;
    if (mpg123_replace_reader_handle(d->mh, readBlock, seekBlock, nullptr) != MPG123_OK ||
        mpg123_open_handle(d->mh, &d->reader) != MPG123_OK)
        throw EMCIDeviceError(openFailure(path));
}

Mp3Stream::~Mp3Stream() = default;

bool Mp3Stream::nextFrame(Mp3Frame& frame) {
    const int r = mpg123_framebyframe_next(d->mh);
    if (d->reader.failed())
        throw EMCIDeviceError(QStringLiteral("Błąd odczytu pliku „%1”").arg(nativePath(path_)));
    if (r != MPG123_OK && r != MPG123_NEW_FORMAT) {
        // The end, or data that is no MPEG audio. Before any frame that
        // means the file is not an MP3 file; after some frames, a damaged
        // tail ends the audio there, as players do.
        if (d->frames == 0)
            throw EMCIDeviceError(
                QStringLiteral("Plik „%1” nie jest plikiem dźwiękowym MP3").arg(nativePath(path_)));
        return false;
    }
    mpg123_frameinfo2 info{};
    mpg123_info2(d->mh, &info);
    frame.sampleRate = int(info.rate);
    frame.channels = info.mode == MPG123_M_MONO ? 1 : 2;
    frame.samples = mpg123_spf(d->mh);
    if (frame.sampleRate <= 0 || frame.samples <= 0 || kTicksPerSecond % frame.sampleRate != 0)
        throw EMCIDeviceError(
            QStringLiteral("Plik „%1” nie jest plikiem dźwiękowym MP3").arg(nativePath(path_)));
    frame.durationTicks = std::int64_t(frame.samples) * (kTicksPerSecond / frame.sampleRate);
    ++d->frames;
    return true;
}

std::span<const std::int16_t> Mp3Stream::decodeFrame() {
    if (!d->decoding)
        return {};
    off_t num = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    if (mpg123_framebyframe_decode(d->mh, &num, &audio, &bytes) != MPG123_OK || !audio)
        return {};
    return {reinterpret_cast<const std::int16_t*>(audio), bytes / sizeof(std::int16_t)};
}
