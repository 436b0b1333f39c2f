#!/usr/bin/env bash
# Merge benchmark: a generated book of 200 MP3 files, about 300 MB, made once
# under bench/out/merge/book from a synthesized source. Times stage 1 of the
# merge against cat of the same files into the same folder, and the whole
# merge against cat plus ffprobe counting the packets of the result.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=bench/out/merge
book=$out/book
target=$out/target
files=${FILES:-200}
mkdir -p "$book" "$target"
scripts/deps.sh sox lame ffmpeg
[ -x "$build_dir/bench/bench_merge" ] || scripts/build.sh

if [ "$(ls "$book" | wc -l)" -ne "$files" ]; then
    echo "making $files files of about 1.5 MB in $book ..."
    rm -f "$book"/*.mp3
    # Four sources of 95 s at 128 kbit/s, copied with different tags.
    for k in 0 1 2 3; do
        sox -n -r 44100 -c 2 "$out/src$k.wav" synth 95 pinknoise tremolo $((3 + k)) 40 vol 0.3
        lame --quiet -b 128 "$out/src$k.wav" "$out/src$k.mp3"
        rm -f "$out/src$k.wav"
    done
    for i in $(seq -w 1 "$files"); do
        ffmpeg -v error -y -i "$out/src$((10#$i % 4)).mp3" -c copy \
            -metadata title="Rozdział $i" -metadata track="$i" "$book/r$i.mp3"
    done
fi

ms_now() { date +%s%N; }
elapsed() { printf '%d' $(( ($2 - $1) / 1000000 )); }

rm -f "$target"/*
cat "$book"/*.mp3 >/dev/null # same page-cache state for everyone

t0=$(ms_now); cat "$book"/*.mp3 > "$target/cat.mp3"; t1=$(ms_now)
cat_ms=$(elapsed "$t0" "$t1")
t0=$(ms_now)
packets=$(ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of default=nw=1:nk=1 \
    "$target/cat.mp3")
t1=$(ms_now)
ffprobe_ms=$(elapsed "$t0" "$t1")
bytes=$(stat -c %s "$target/cat.mp3")
rm -f "$target/cat.mp3"

echo "== merge of $files files =="
"$build_dir/bench/bench_merge" "$book" "$target"
cmp <(cat "$book"/*.mp3) "$target/ksiazka.mp3" && echo "book identical to cat's output"
echo "reference: cat: $cat_ms ms, $(( bytes / 1000 / (cat_ms > 0 ? cat_ms : 1) )) MB/s"
echo "reference: ffprobe -count_packets: $ffprobe_ms ms ($packets packets)"
echo "reference: cat + ffprobe: $(( cat_ms + ffprobe_ms )) ms"
rm -f "$target"/*
