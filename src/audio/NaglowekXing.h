#pragma once
// The encoder's information frame (a Xing or Info tag, often with LAME's
// extension) that opens an MP3 stream and tells other players how many
// frames and bytes follow, where to seek (a table of 100 points) and, in
// LAME's extension, the encoder's delay and padding, ReplayGain values and
// two checksums. A file joined from several MP3 files keeps the header of
// its first part, which then tells of that part alone; rewritten here in
// place, at the same size, it tells of the whole stream, so nothing in the
// file moves.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

// What an information frame says, and where its fields lie in the frame.
struct OpisXing {
    int znacznik = -1; // offset of "Xing" or "Info" in the frame
    std::uint32_t flagi = 0;
    std::uint32_t ramki = 0; // frames after this one; 0 when not given
    std::uint32_t bajty = 0; // bytes from this frame's start to the last frame's end
    int lame = -1;           // offset of LAME's 36-byte extension; -1: none
    int opoznienie = 0;      // encoder delay (samples), from the extension
    int dopelnienie = 0;     // padding at the end (samples), from the extension
};

// The information frame's fields; nullopt for a frame that is none.
std::optional<OpisXing> czytajXing(std::span<const unsigned char> ramka);

// The CRC-16 LAME's extension uses (reflected polynomial 0xA001, start 0),
// over `dane`, continuing `crc`.
std::uint16_t crcLame(std::span<const unsigned char> dane, std::uint16_t crc = 0);

// An empty information frame (an "Info" tag with every field, all zero) of
// the kind of the Layer III frame whose header is `naglowek`, at the
// smallest bit rate that holds it, without a CRC. Put in front of a stream
// that has none, where no byte's place matters (it adds a frame that
// players leave out), it is what przepiszNaglowekMp3 then fills.
// nullopt for a header of another layer or an invalid one.
std::optional<std::vector<unsigned char>>
pustaRamkaInformacyjna(std::span<const unsigned char, 4> naglowek);

// What przepiszNaglowekMp3 did.
struct WynikNaglowka {
    bool przepisany = false; // the stream opens with an information frame, now rewritten
    std::int64_t ramki = 0;  // audio frames after it
    std::int64_t bajty = 0;  // its bytes field
    int srodkowe = 0;        // information frames inside the stream that were tidied
    // Without a header: how far from the stream's length a player gets
    // that takes it from the size and the first frame's bit rate (frames
    // of other rates, tags between them make it miss).
    std::int64_t bladDlugosciMs = 0;
};

// Rewrites the information frame that opens the MP3 stream of the file
// open as `fd` (for reading and writing; `nazwa` names it in errors) so
// that it describes the whole stream after it: the number of frames and of
// bytes, the seek table, "Xing" for a stream whose frames differ in bit
// rate and "Info" otherwise; in LAME's extension the padding of the last
// part (when that part's own header tells it), the music's length and
// checksum, no ReplayGain values when the stream is no longer the first
// part alone, a variable bit rate when the joined parts' rates differ, and
// the extension's own checksum. A leading ID3v2 tag is
// passed over. Frames and tags inside the stream stay as they are; with
// `wyrownany` (the frames' gains were changed) every information frame
// inside the stream loses its ReplayGain values and gets its checksums
// anew for the frames that follow it. A stream that does not open with an
// information frame is left as it is (przepisany false, and
// bladDlugosciMs told). `sprawdz` is
// called now and then and may throw to stop. Throws EInOutError on a read
// or write error; the file's position is left at its end.
WynikNaglowka przepiszNaglowekMp3(int fd, const QString& nazwa, bool wyrownany,
                                  const std::function<void()>& sprawdz = {});
