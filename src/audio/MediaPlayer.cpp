#include "audio/MediaPlayer.h"

#include "audio/Mp3Stream.h"
#include "base/Errors.h"

#include <SDL.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kChannels = 2;
// Decoded sound waiting for the output: one second.
constexpr size_t kRingSamples = size_t(TMediaPlayer::kOutputRate) * kChannels;
// Frames decoded and thrown away before a range starts, so that the
// decoder's bit reservoir is full when the first frame of the range comes.
constexpr std::int64_t kWarmUpTicks = 300 * kTicksPerMs;
// How long the output waits for a decoder that fell behind.
constexpr std::chrono::milliseconds kUnderrunWait{500};

std::int64_t outputSample(std::int64_t ticks) {
    return ticks * TMediaPlayer::kOutputRate / kTicksPerSecond;
}

} // namespace

// One running Play. The decoding thread fills the ring, SDL's audio thread
// empties it; the user-interface thread starts, pauses and ends it.
struct TMediaPlayer::Playback {
    TMediaPlayer* owner = nullptr;
    quint64 generation = 0;
    SDL_AudioDeviceID device = 0;
    bool paused = false; // user-interface thread only
    std::thread decoder;

    std::mutex mutex;
    std::condition_variable room; // the decoder waits here for room or stop
    std::condition_variable data; // the output waits here for samples, briefly
    std::vector<std::int16_t> ring = std::vector<std::int16_t>(kRingSamples);
    size_t head = 0, count = 0;
    bool decoded = false; // the decoder has put in its last sample
    bool stop = false;
    std::atomic<bool> drained{false};       // the output has taken the last sample
    std::int64_t startMs = 0;               // where the range starts in the file
    std::atomic<std::int64_t> handedOut{0}; // samples given to the output so far

    // Decoding thread: the frames of [startTicks, endTicks) into the ring.
    void decode(std::unique_ptr<Mp3Stream> stream, std::int64_t startTicks, std::int64_t endTicks) {
        try {
            const std::int64_t firstOut = outputSample(startTicks);
            const std::int64_t lastOut = endTicks == std::numeric_limits<std::int64_t>::max()
                                             ? std::numeric_limits<std::int64_t>::max()
                                             : outputSample(endTicks);
            std::int64_t t = 0;
            Mp3Frame frame;
            while (stream->nextFrame(frame)) {
                const std::int64_t t0 = t;
                t += frame.durationTicks;
                if (t0 >= endTicks)
                    break;
                if (t <= startTicks - kWarmUpTicks)
                    continue; // before the range: read, not decoded
                const auto pcm = stream->decodeFrame();
                if (t <= startTicks)
                    continue; // decoded only to fill the bit reservoir
                // The frame's samples sit at output positions from o0 on;
                // keep those inside the range.
                const std::int64_t n = std::int64_t(pcm.size()) / kChannels;
                const std::int64_t o0 = outputSample(t0);
                const std::int64_t from = std::clamp<std::int64_t>(firstOut - o0, 0, n);
                const std::int64_t to = std::clamp<std::int64_t>(lastOut - o0, from, n);
                if (!put(pcm.subspan(size_t(from * kChannels), size_t((to - from) * kChannels))))
                    return;
            }
        } catch (const std::exception&) {
            // A read error ends the sound where it happened; nobody waits
            // for an answer from this thread.
        }
        {
            std::lock_guard lock(mutex);
            decoded = true;
        }
        data.notify_one();
    }

    // Copies samples into the ring, waiting for room; false when stopped.
    bool put(std::span<const std::int16_t> pcm) {
        while (!pcm.empty()) {
            std::unique_lock lock(mutex);
            room.wait(lock, [this] { return stop || count < ring.size(); });
            if (stop)
                return false;
            const size_t tail = (head + count) % ring.size();
            const size_t n = std::min({pcm.size(), ring.size() - count, ring.size() - tail});
            std::memcpy(ring.data() + tail, pcm.data(), n * sizeof(std::int16_t));
            count += n;
            pcm = pcm.subspan(n);
            data.notify_one();
        }
        return true;
    }

    // SDL's audio thread: hands out what the ring holds, silence after it.
    static void SDLCALL fill(void* self, Uint8* stream, int len) {
        auto* p = static_cast<Playback*>(self);
        auto* out = reinterpret_cast<std::int16_t*>(stream);
        const size_t wanted = size_t(len) / sizeof(std::int16_t);
        size_t given = 0;
        bool nowDrained = false;
        {
            std::unique_lock lock(p->mutex);
            while (given < wanted) {
                if (p->count == 0) {
                    if (p->decoded || p->stop)
                        break;
                    // The decoder fell behind (a busy machine): wait a moment
                    // for it instead of filling the gap with silence at once.
                    // A real device glitches either way; a file output keeps
                    // exactly the samples of the range.
                    p->room.notify_one();
                    if (!p->data.wait_for(lock, kUnderrunWait,
                                          [p] { return p->count > 0 || p->decoded || p->stop; }))
                        break;
                    continue;
                }
                const size_t n = std::min({wanted - given, p->count, p->ring.size() - p->head});
                std::memcpy(out + given, p->ring.data() + p->head, n * sizeof(std::int16_t));
                given += n;
                p->head = (p->head + n) % p->ring.size();
                p->count -= n;
            }
            p->handedOut += std::int64_t(given);
            if (p->count == 0 && p->decoded && !p->drained) {
                p->drained = true;
                nowDrained = true;
            }
        }
        p->room.notify_one();
        std::memset(out + given, 0, (wanted - given) * sizeof(std::int16_t));
        if (nowDrained) {
            QMetaObject::invokeMethod(
                p->owner, [owner = p->owner, g = p->generation] { owner->playbackDrained(g); },
                Qt::QueuedConnection);
        }
    }
};

TMediaPlayer::TMediaPlayer(QObject* parent) : QObject(parent) {}

TMediaPlayer::~TMediaPlayer() {
    endPlayback();
    if (audioInitialised_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void TMediaPlayer::requireOpen() const {
    if (!info_)
        throw EMCIDeviceError(QStringLiteral("No MCI device open"));
}

void TMediaPlayer::Open() {
    Close();
    info_ = probeMp3(FileName);
    openPath_ = FileName;
}

void TMediaPlayer::Close() noexcept {
    endPlayback();
    info_.reset();
    openPath_.clear();
}

qint64 TMediaPlayer::Length() const {
    requireOpen();
    return info_->lengthMs;
}

void TMediaPlayer::initAudio() {
    if (audioInitialised_)
        return;
    // The program handles Ctrl+C and termination itself.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        throw EMCIDeviceError(QStringLiteral("Nie można odtworzyć pliku „%1”: brak wyjścia "
                                             "dźwięku (%2)")
                                  .arg(nativePath(openPath_), QString::fromUtf8(SDL_GetError())));
    audioInitialised_ = true;
}

void TMediaPlayer::Play() {
    requireOpen();
    endPlayback();
    const std::int64_t start = std::max<qint64>(StartPos.value_or(0), 0);
    const std::int64_t end = EndPos ? std::max<qint64>(*EndPos, 0) * kTicksPerMs
                                    : std::numeric_limits<std::int64_t>::max();
    StartPos.reset();
    EndPos.reset();

    auto stream = std::make_unique<Mp3Stream>(openPath_, kOutputRate);
    initAudio();
    auto p = std::make_unique<Playback>();
    p->owner = this;
    p->generation = ++generation_;
    p->startMs = start;
    SDL_AudioSpec wanted{};
    wanted.freq = kOutputRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = kChannels;
    wanted.samples = 2048;
    wanted.callback = &Playback::fill;
    wanted.userdata = p.get();
    SDL_AudioSpec obtained{};
    p->device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (p->device == 0)
        throw EMCIDeviceError(QStringLiteral("Nie można odtworzyć pliku „%1”: nie można otworzyć "
                                             "wyjścia dźwięku (%2)")
                                  .arg(nativePath(openPath_), QString::fromUtf8(SDL_GetError())));
    try {
        p->decoder =
            std::thread(&Playback::decode, p.get(), std::move(stream), start * kTicksPerMs, end);
    } catch (...) {
        SDL_CloseAudioDevice(p->device);
        throw;
    }
    SDL_PauseAudioDevice(p->device, 0);
    playback_ = std::move(p);
}

void TMediaPlayer::Pause() {
    requireOpen();
    if (!playback_ || playback_->drained)
        return;
    playback_->paused = !playback_->paused;
    SDL_PauseAudioDevice(playback_->device, playback_->paused ? 1 : 0);
}

void TMediaPlayer::Stop() {
    requireOpen();
    endPlayback();
}

TMediaPlayer::Mode TMediaPlayer::mode() const {
    if (!info_)
        return Mode::NotOpen;
    if (!playback_ || playback_->drained)
        return Mode::Stopped;
    return playback_->paused ? Mode::Paused : Mode::Playing;
}

std::optional<qint64> TMediaPlayer::Position() const {
    if (!playback_ || playback_->drained)
        return std::nullopt;
    const std::int64_t frames = playback_->handedOut / kChannels;
    return playback_->startMs + frames * 1000 / kOutputRate;
}

void TMediaPlayer::endPlayback() noexcept {
    if (!playback_)
        return;
    // Once the device is closed its thread no longer calls fill; then the
    // decoder is told to stop and is waited for.
    SDL_CloseAudioDevice(playback_->device);
    {
        std::lock_guard lock(playback_->mutex);
        playback_->stop = true;
    }
    playback_->room.notify_all();
    playback_->decoder.join();
    playback_.reset();
}

void TMediaPlayer::playbackDrained(quint64 generation) {
    if (!playback_ || playback_->generation != generation)
        return;
    endPlayback();
    emit finished();
}
