#pragma once
// Test helper: readers of exported books that share no code with the
// program: ffprobe for the chapters of an MP3 file, xmllint for the validity
// of XML files against their DTDs (from the system's catalog, never fetched),
// and daisy-player, the DAISY player, for the headings it lists.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

// ffmpeg's EBU R128 meter on the file: integrated loudness (LUFS) and true
// peak (dBTP), a mono file measured as dual mono (as it is heard on both
// ears); nullopt when ffmpeg is missing or fails.
std::optional<std::pair<double, double>> ffmpegGlosnosc(const QString& plik);

// `ffprobe -show_chapters -show_format` as JSON; an empty object when
// ffprobe is missing or fails.
QJsonObject ffprobe(const QString& plik);

// What mutagen (the Python tag library) reads of an MP3 file's ID3v2 tag:
// {"wersja": [2, 4, 0], "ramki": ["TIT2", ...], "rozdzialy": [{"id",
// "start", "koniec", "tytul"}], "obrazy": [{"typ", "rozmiar"}]}; an empty
// object when mutagen is missing or finds no tag.
QJsonObject mutagenId3(const QString& plik);

// What ffmpeg's decoder complains of in the whole file, every CRC checked,
// without the addresses that differ from run to run; empty when it decodes
// cleanly.
QString bledyDekodowania(const QString& plik);

// xmllint's complaints about `pliki` (--valid --nonet); empty when they are
// valid. A null text when xmllint or the DTDs are missing.
QString bledyXmllint(const QStringList& pliki);

// The headings daisy-player lists when it opens `folder` (its verbose
// start-up lists every heading as "N title"): the lines seen until all of
// `oczekiwane` appeared or the player ended. Null when daisy-player is
// missing.
QStringList naglowkiDaisyPlayer(const QString& folder, const QStringList& oczekiwane);
