#!/usr/bin/env bash
# Exact length measurement against ffprobe: makes the fixtures under
# bench/out (once), then runs bench_probe, which times both on the same files.
#   200 small files: ten encodings (5-60 s; 44.1, 22.05 and 16 kHz; CBR and
#   VBR; with ID3v2 tags and Xing headers), twenty copies of each.
#   One large file of about 30 MB: ten tagged 3-minute parts joined, as a
#   merged book is.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh sox lame ffmpeg
[ -x build/bench/bench_probe ] || scripts/build.sh
out=bench/out/probe
mkdir -p "$out/small"

encode() { # seconds rate channels lame-options... target
    local secs=$1 rate=$2 ch=$3 target=${*: -1}
    set -- "${@:4:$#-4}"
    sox -n -r "$rate" -c "$ch" -b 16 "$out/src.wav" synth "$secs" pinknoise vol 0.3 \
        synth "$secs" sine amod 3 60
    lame --quiet --add-id3v2 --tt "bench" "$@" "$out/src.wav" "$target"
}

if [ "$(ls "$out/small" | wc -l)" -ne 200 ]; then
    rm -f "$out/small"/*.mp3
    i=0
    for fmt in "5 44100 2 -b 128" "12 44100 1 -b 64" "20 22050 1 -b 32" "30 16000 1 -b 24" \
                "45 44100 2 -V 4" "60 22050 2 -V 6" "8 44100 2 -b 192" "15 16000 1 -V 7" \
                "25 44100 1 -V 5" "40 22050 1 -b 48"; do
        # shellcheck disable=SC2086
        encode $fmt "$out/part$i.mp3"
        for c in $(seq -w 0 19); do cp "$out/part$i.mp3" "$out/small/f${i}_$c.mp3"; done
        i=$((i + 1))
    done
fi
if [ ! -s "$out/large.mp3" ]; then
    encode 180 44100 2 -b 128 "$out/part-large.mp3"
    for _ in $(seq 10); do cat "$out/part-large.mp3"; done > "$out/large.mp3"
fi
rm -f "$out/src.wav"

bench=build/bench/bench_probe
[ -x "$bench" ] || scripts/build.sh
"$bench" "$out/small" "$out/large.mp3"
