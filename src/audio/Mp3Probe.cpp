#include "audio/Mp3Probe.h"

#include "audio/Mp3Stream.h"

namespace {

Mp3Info walk(Mp3Stream& stream, const std::function<void(const Mp3Frame&)>& eachFrame) {
    Mp3Info info;
    std::int64_t ticks = 0;
    Mp3Frame frame;
    while (stream.nextFrame(frame)) {
        if (info.frames == 0) {
            info.sampleRate = frame.sampleRate;
            info.channels = frame.channels;
            info.version = frame.version;
            info.layer = frame.layer;
        } else if (frame.sampleRate != info.sampleRate || frame.channels != info.channels) {
            info.mixedFormat = true;
        }
        ++info.frames;
        ticks += frame.durationTicks;
        if (eachFrame)
            eachFrame(frame);
    }
    info.skippedBytes = stream.skippedBytes();
    info.ticks = ticks;
    info.walkedTicks = stream.walkedTicks();
    info.infoOffset = stream.infoFrame().offset;
    info.infoFrame = stream.infoFrame().bytes;
    info.lengthMs = (ticks + kTicksPerMs / 2) / kTicksPerMs;
    return info;
}

} // namespace

Mp3Info probeMp3(const QString& path, const std::function<void(const Mp3Frame&)>& eachFrame) {
    Mp3Stream stream(path, Mp3Stream::HeadersOnly{});
    return walk(stream, eachFrame);
}

Mp3Info probeMp3(const QString& path, Mp3Pass pass,
                 const std::function<void(const Mp3Frame&)>& eachFrame) {
    Mp3Stream stream(path, std::move(pass));
    Mp3Info info = walk(stream, eachFrame);
    stream.finish();
    return info;
}
