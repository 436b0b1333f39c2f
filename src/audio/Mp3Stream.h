#pragma once
// An MP3 file read frame by frame with libmpg123 through a large read buffer.
// Used by the probe (lengths) and by the player's decoding thread. One
// stream belongs to one thread at a time.
//
// The stream finds the frames itself and hands libmpg123 nothing else, so
// bytes that are not MPEG audio (a stretch of zeros, a damaged part, another
// kind of file glued in) cost only themselves: every real frame after them
// is still found. A frame found after such bytes counts only when a second
// frame of the same kind follows it directly, so a chance sync pattern
// inside the junk is not taken for audio. Metadata tags (ID3v2 anywhere,
// ID3v1 at the end or followed by audio, APE) are passed over and not counted as junk.

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

// Time is counted in ticks of 1/14112000 s: every MPEG sample rate divides
// this number, so the duration of any frame is a whole number of ticks and
// sums over frames of different rates stay exact.
inline constexpr std::int64_t kTicksPerSecond = 14112000;
inline constexpr std::int64_t kTicksPerMs = kTicksPerSecond / 1000;

struct Mp3Frame {
    int sampleRate = 0;
    int channels = 0;
    int version = 0;     // 1 MPEG-1, 2 MPEG-2, 25 MPEG-2.5
    int layer = 0;       // 1, 2 or 3
    int bitrateKbps = 0; // of this frame
    int samples = 0;     // samples per channel in this frame
    std::int64_t durationTicks = 0;
    // Where the frame lies in the file: its first byte and its length,
    // header included. -1 and 0 should the decoder ever report a frame the
    // walk did not hand it.
    std::int64_t offset = -1;
    int bytes = 0;
    // The frame's bytes, valid until the next call; only from a walk
    // without libmpg123.
    const unsigned char* data = nullptr;
};

// A file read once by a caller that wants its bytes as well as its frames
// (the merge, which writes them into the book as they are walked).
struct Mp3Pass {
    // Open for reading, at the file's start, and the file's size; the
    // stream does not close it.
    int fd = -1;
    std::int64_t size = 0;
    // Gets every byte of the file once, in order, in large blocks, after the
    // walk has passed them; the rest when finish() is called. A block is
    // valid during the call only. What it throws comes out of nextFrame or
    // finish.
    std::function<void(const unsigned char*, std::int64_t)> receive;
    // Called with the bytes of each frame the walk finds, before they go to
    // `receive`: it may change them in place, not their
    // length. Empty: the frames pass unchanged, at no cost.
    std::function<void(unsigned char*, int)> eachFrameBytes;
    // How much is read at a time. A block that stays in the processor's
    // cache between the read, the walk and the receiver's write costs the
    // system less than half the time of a block of several MiB.
    std::int64_t blockBytes = std::int64_t{256} << 10;
};

class Mp3Stream {
public:
    // Opens the file. With outputRate > 0, decoded frames come out as
    // 16-bit stereo at that rate whatever the frames' own rate and channel
    // count (libmpg123 resamples). Throws EMCIDeviceError naming the file
    // when it cannot be opened or is not a regular file (open() never waits
    // on a FIFO or a device). With floatSamples the decoded samples are
    // 32-bit floats (full scale 1.0, nothing clipped): see decodeFrameFloat.
    explicit Mp3Stream(const QString& path, int outputRate = 0, bool floatSamples = false);
    // Measures the file `pass` reads, named `path` in errors, by its frame
    // headers alone as HeadersOnly does (no libmpg123).
    Mp3Stream(const QString& path, Mp3Pass pass);
    // Opens the file to walk its frames by their headers alone, without
    // libmpg123: the fast way to a length. nextFrame reports the same frames
    // as with the decoder (which leaves out a Xing or Info header in the
    // first frame, and so does this walk); decodeFrame gives nothing.
    struct HeadersOnly {
        // How much is read at a time: a look at the first frames needs
        // far less than a walk of the whole file.
        std::int64_t blockBytes = std::int64_t{256} << 10;
    };
    Mp3Stream(const QString& path, HeadersOnly);
    ~Mp3Stream();
    Mp3Stream(const Mp3Stream&) = delete;
    Mp3Stream& operator=(const Mp3Stream&) = delete;

    // Finds and reads the next frame without decoding it. False at the end
    // of the audio. Throws EMCIDeviceError when the file cannot be read, and
    // when it holds no frame at all.
    bool nextFrame(Mp3Frame& frame);

    // Decodes the frame nextFrame just read: interleaved 16-bit stereo
    // samples at the output rate (only with outputRate > 0). The span is
    // valid until the next call.
    std::span<const std::int16_t> decodeFrame();
    // The same for a stream opened with floatSamples.
    std::span<const float> decodeFrameFloat();

    // Shows every frame the walk finds (the information frame too) to
    // `hook`, as Mp3Pass::eachFrameBytes does; set it before the first
    // nextFrame. The bytes are only to be read here.
    void eachFrameBytes(std::function<void(const unsigned char*, int)> hook);

    // The encoder's information frame (Xing, Info) the walk passed over at
    // the start of the file: where it lies and its bytes (after a hook's
    // change). None for a file without one, and before the first frame.
    // Only a walk without libmpg123 reports it.
    struct InfoFrame {
        std::int64_t offset = -1;
        std::vector<unsigned char> bytes;
    };
    const InfoFrame& infoFrame() const;

    // Bytes passed over so far that are neither MPEG audio frames nor
    // metadata tags. After the last frame it covers the whole file.
    std::int64_t skippedBytes() const;

    // The duration of every frame the walk has found so far, in ticks: the
    // frames nextFrame reports and those the decoder passes over (an
    // encoder's information frame at the start of the file, which inside a
    // joined file is a frame like any other and plays).
    std::int64_t walkedTicks() const;

    // Only before the first nextFrame of a decoding stream: passes over the
    // frames that end by `ticks` by their headers alone, without decoding
    // them (a position deep in a long file costs a walk, not a decode).
    // Returns where the next frame starts, on the same time base as
    // nextFrame's frames (an information frame at the start does not count):
    // at most `ticks`, less when the file ends first. The first frames
    // decoded after a jump lack the bits earlier frames would have left
    // them, so a caller starts a few frames before what it needs.
    std::int64_t skipTo(std::int64_t ticks);

    // While *stop is true the walk looks no further: nextFrame returns false
    // instead of searching on through bytes that are no audio.
    void stopWhen(const std::atomic_bool* stop);

    // After the last frame: reads the rest of the file, so that an Mp3Pass
    // receiver has had every byte. Throws EMCIDeviceError on a read error.
    void finish();

    const QString& path() const { return path_; }

private:
    void start(int outputRate);
    struct Impl;
    QString path_;
    std::unique_ptr<Impl> d;
};

// Error texts shared by the audio classes.
QString nativePath(const QString& path);
