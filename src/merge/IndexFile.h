#pragma once
// The index files written beside a merged book. The player finds every
// bookmark through the .dat file: one line per project entry, the
// bookmark's first 512-byte block in the merged file, a TAB and its length
// in blocks, lines separated by CR LF, no line end after the last. The .log
// file always holds the same 15 bytes.

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// Where a bookmark lies in its entry's own file: the first byte of the
// frame playing at its start and of the frame playing at its end (or where
// the audio ends, when it has ended by then).
struct PolozenieZakladki {
    std::int64_t poczatek = 0;
    std::int64_t koniec = 0;
    bool poczatekZaKoncem = false; // the start lies past the audio
};

// Where the audio frames of one file lie, in time and in bytes. Frames
// that follow one another directly with the same duration make one run,
// and a frame costs two bytes, so the hundreds of thousands of frames of a
// long file need well under a megabyte. Bytes between frames (tags, junk)
// take room in the file but no time.
class MapaRamek {
public:
    MapaRamek() = default;
    // `jednostekNaMs`: how many units of the frames' durations make a ms.
    explicit MapaRamek(std::int64_t jednostekNaMs) : naMs(jednostekNaMs) {}

    // The next frame in file order: its first byte, its length in bytes
    // (at most 65535, which any MPEG audio frame is) and its duration.
    // False, and the map unchanged, for a frame that does not fit: one
    // that begins before the end of the last, or is longer, or lasts no
    // time.
    bool dodaj(std::int64_t polozenie, int bajty, std::int64_t czas);
    bool pusta() const { return odcinki.empty(); }
    // The bookmark from `poczatekMs` for `dlugoscMs` placed on the frames:
    // at the first byte of the frame playing at its start (the first frame
    // for a start before 0) and of the one playing at its end. A start or
    // an end past the audio is placed at the byte after the last frame.
    // `przesuniecie` (in the frames' units) is added to both times: the
    // samples a player that honours the encoder's header leaves out at the
    // start, which the frames still hold.
    PolozenieZakladki zakladka(std::int64_t poczatekMs, std::int64_t dlugoscMs,
                               std::int64_t przesuniecie = 0) const;

private:
    std::optional<std::int64_t> ramkaW(std::int64_t t) const;

    struct Odcinek {
        std::int64_t polozenie = 0; // first byte of its first frame
        std::int64_t czas = 0;      // start of its first frame
        std::int64_t czasRamki = 0; // duration of each of its frames
        std::size_t pierwsza = 0;   // its first frame in dlugosci
    };
    std::int64_t naMs = 1;
    std::vector<Odcinek> odcinki;
    std::vector<std::uint16_t> dlugosci; // of every frame, in order
    std::int64_t koniecDanych = 0, koniecCzasu = 0;
};

// One entry as the index needs it: the bookmark texts as the list shows
// them, the number of bytes its file occupies in the merged file, and its
// path (only for error texts). With `dokladnie` the bookmark's blocks come
// from where its frames lie instead of from the book's average rate.
struct WpisIndeksu {
    QString poczatek; // bookmark start, ms, converted with StrToInt
    QString dlugosc;  // bookmark length, ms, converted with StrToInt
    std::int64_t rozmiar = 0;
    QString plik;
    std::optional<PolozenieZakladki> dokladnie{};
};

// The name of an index file: the merged file's name without its last three
// characters, followed by `koncowka` ("dat" or "log"). book.mp3 gives
// book.dat, book.mpeg gives book.mdat.
QString nazwaIndeksu(const QString& scalony, const QString& koncowka);

// The fixed content of the .log file: "0000000 0000000", no line end.
QByteArray trescLog();

// The content of the .dat file for a merged file of `rozmiarScalonego`
// bytes lasting `czasScalonegoMs` ms. The merged file's average rate R
// (ten-thousandths of a byte per ms) places each bookmark inside its own
// file; the exact offset of that file in the merged file is the sum of the
// sizes of the entries before it. Arithmetic is in extended precision,
// rounded to nearest with ties to even. An entry placed exactly takes its
// bookmark's bytes instead of the rate's estimate: it starts in the block
// that holds the first byte of its first frame (never after it, so the
// player meets that frame's header) and ends with the block that holds
// the byte before its end.
// Throws SonvekError for a duration that is not positive and for a number
// that does not fit the index, EConvertError for a bookmark text that is
// not an integer.
QByteArray trescDat(std::int64_t rozmiarScalonego, std::int64_t czasScalonegoMs,
                    const QList<WpisIndeksu>& wpisy);

// The average rate R of the estimate (ten-thousandths of a byte per ms), and
// the byte of its own file at which the estimate puts a start of
// `poczatekMs`; throws as trescDat.
std::int64_t sredniaPredkosc(std::int64_t rozmiarScalonego, std::int64_t czasScalonegoMs);
std::int64_t bajtSzacowany(std::int64_t predkosc, std::int64_t poczatekMs);
