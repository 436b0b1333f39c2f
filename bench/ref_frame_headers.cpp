// The reference for adding files: the bare minimum of finding every frame.
// Reads each file in 1 MiB blocks and hops from frame header to frame
// header, after an ID3v2 tag at the start; no other tags, no junk, no
// checks. Plain C++ and POSIX, so that the process itself costs next to
// nothing. Prints the frames found, so the work cannot be left out.
//
//   ref_frame_headers FOLDER      every *.mp3 in it

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Length in bytes of the MPEG audio frame whose header is at p, 0 when p
// holds no header.
int frameLength(const unsigned char* p) {
    static const int rates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int freqs[3] = {44100, 48000, 32000};
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (p[1] >> 3) & 3, layer = 4 - ((p[1] >> 1) & 3);
    const int rate = p[2] >> 4, freq = (p[2] >> 2) & 3, pad = (p[2] >> 1) & 1;
    if (version == 1 || layer == 4 || rate == 0 || rate == 15 || freq == 3)
        return 0;
    const int lsf = version != 3;
    const int hz = freqs[freq] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int bps = rates[lsf][layer - 1][rate] * 1000;
    if (layer == 1)
        return (12 * bps / hz + pad) * 4;
    return (layer == 3 && lsf ? 72 : 144) * bps / hz + pad;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ref_frame_headers FOLDER\n");
        return 2;
    }
    std::vector<std::string> files;
    if (DIR* d = opendir(argv[1])) {
        while (dirent* e = readdir(d)) {
            const size_t n = std::strlen(e->d_name);
            if (n > 4 && std::strcmp(e->d_name + n - 4, ".mp3") == 0)
                files.push_back(std::string(argv[1]) + "/" + e->d_name);
        }
        closedir(d);
    }
    constexpr size_t kBlock = 1 << 20;
    std::vector<unsigned char> buf(kBlock + 4);
    long long frames = 0;
    for (const std::string& f : files) {
        const int fd = open(f.c_str(), O_RDONLY);
        if (fd < 0)
            continue;
        long long pos = 0;   // file position of buf[0]
        long long next = -1; // where the next header is expected
        size_t have = 0;
        for (;;) {
            const ssize_t got = read(fd, buf.data() + have, kBlock - have);
            if (got <= 0)
                break;
            have += size_t(got);
            size_t i = 0;
            if (next < 0) { // the start: past an ID3v2 tag
                next = 0;
                if (have >= 10 && std::memcmp(buf.data(), "ID3", 3) == 0)
                    next = 10 + ((buf[6] << 21) | (buf[7] << 14) | (buf[8] << 7) | buf[9]);
            }
            while (next >= pos && next + 4 <= pos + (long long)have) {
                i = size_t(next - pos);
                const int len = frameLength(buf.data() + i);
                if (len == 0) {
                    next = -2; // no more frames
                    break;
                }
                ++frames;
                next += len;
            }
            if (next == -2)
                break;
            // Keep the bytes of a header cut by the end of the block.
            const long long keepFrom =
                std::max<long long>(pos, std::min(next, pos + (long long)have));
            const size_t keep = size_t(pos + (long long)have - keepFrom);
            std::memmove(buf.data(), buf.data() + (have - keep), keep);
            pos = keepFrom;
            have = keep;
        }
        close(fd);
    }
    std::printf("%zu files, %lld frames\n", files.size(), frames);
    return 0;
}
