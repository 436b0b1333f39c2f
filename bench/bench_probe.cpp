// The exact length measurement as a whole process, for bench/probe.sh,
// which times it beside ffprobe counting packets of the same files.
//
//   bench_probe [--decoder] FILE...
//
// Measures each file with probeMp3 (the walk by frame headers), or with
// --decoder by handing every frame to libmpg123 as the program did before,
// and prints one line per file: frames, length in ms, path.
#include "audio/Mp3Probe.h"
#include "audio/Mp3Stream.h"
#include "base/Errors.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

Mp3Info throughDecoder(const QString& path) {
    Mp3Stream stream(path);
    Mp3Info info;
    std::int64_t ticks = 0;
    Mp3Frame frame;
    while (stream.nextFrame(frame)) {
        ++info.frames;
        ticks += frame.durationTicks;
    }
    info.lengthMs = (ticks + kTicksPerMs / 2) / kTicksPerMs;
    return info;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool decoder = !args.isEmpty() && args.first() == QStringLiteral("--decoder");
    if (decoder)
        args.removeFirst();
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: bench_probe [--decoder] FILE...\n");
        return 2;
    }
    int failed = 0;
    for (const QString& path : std::as_const(args)) {
        try {
            const Mp3Info info = decoder ? throughDecoder(path) : probeMp3(path);
            std::printf("%lld %lld %s\n", static_cast<long long>(info.frames),
                        static_cast<long long>(info.lengthMs), qPrintable(path));
        } catch (const EMCIDeviceError& e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
            ++failed;
        }
    }
    return failed ? 1 : 0;
}
