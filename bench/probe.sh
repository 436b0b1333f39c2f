#!/usr/bin/env bash
# The exact length measurement against ffprobe counting packets (an exact
# count too), whole processes on both sides, medians of RUNS alternating
# rounds (3 by default), fixtures made once under bench/out/probe:
#   200 small files: ten encodings (5-60 s; 44.1, 22.05 and 16 kHz; CBR and
#   VBR; with ID3v2 tags and Xing headers), twenty copies of each; timed as
#   one process per file and as one process for all (ffprobe: the concat
#   demuxer over the list).
#   A book of about 300 MB: 200 tagged 95 s parts joined, as a merge makes it.
# Ours is bench_probe (probeMp3, the walk by frame headers); beside it the
# same process handing every frame to libmpg123, as the measurement did
# before. Frame counts are checked against ffprobe's (which counts a file's
# Xing header frame as a packet).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
runs=${RUNS:-3}
scripts/deps.sh sox lame ffmpeg
[ -x "$build_dir/bench/bench_probe" ] || BUILD_DIR=$build_dir scripts/build.sh
bench=$(realpath "$build_dir")/bench/bench_probe
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
if [ ! -s "$out/book.mp3" ]; then
    encode 95 44100 2 -b 128 "$out/part-book.mp3"
    for _ in $(seq 200); do cat "$out/part-book.mp3"; done > "$out/book.mp3"
fi
rm -f "$out/src.wav"
small=("$out"/small/*.mp3)
for f in "${small[@]}"; do printf "file '%s'\n" "$PWD/$f"; done > "$out/concat.txt"
cat "${small[@]}" "$out/book.mp3" >/dev/null

packets() { # ffprobe's packet count of one input (extra ffprobe options first)
    ffprobe -v error "$@" -count_packets -show_entries stream=nb_read_packets -of csv=p=0 |
        head -1 | tr -d ,
}

# The frame counts first: ours against ffprobe's, file by file.
differing=0
while read -r frames _ path; do
    p=$(packets "$path")
    [ "$p" -eq "$frames" ] || [ "$p" -eq $((frames + 1)) ] || differing=$((differing + 1))
done < <("$bench" "${small[@]}" "$out/book.mp3")
book_frames=$("$bench" "$out/book.mp3" | cut -d' ' -f1)

now_ns() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
timed() { # name command...: appends the wall time in ms to $out/name.times
    local name=$1 t0 t1
    shift
    t0=$(now_ns)
    "$@" >/dev/null
    t1=$(now_ns)
    awk -v d=$((t1 - t0)) 'BEGIN {print d / 1e6}' >> "$out/$name.times"
}
per_file() { local f; for f in "${small[@]}"; do "$@" "$f"; done; }
ffprobe_each() { local f; for f in "${small[@]}"; do packets "$f"; done; }

rm -f "$out"/*.times
stages=(ours_each ours_all dec_each dec_all ff_each ff_all ours_book dec_book ff_book)
for r in $(seq "$runs"); do
    for ((s = 0; s < ${#stages[@]}; s++)); do
        st=${stages[$(( (s + r) % ${#stages[@]} ))]}
        case $st in
            ours_each) timed "$st" per_file "$bench" ;;
            ours_all) timed "$st" "$bench" "${small[@]}" ;;
            dec_each) timed "$st" per_file "$bench" --decoder ;;
            dec_all) timed "$st" "$bench" --decoder "${small[@]}" ;;
            ff_each) timed "$st" ffprobe_each ;;
            ff_all) timed "$st" packets -f concat -safe 0 -i "$out/concat.txt" ;;
            ours_book) timed "$st" "$bench" "$out/book.mp3" ;;
            dec_book) timed "$st" "$bench" --decoder "$out/book.mp3" ;;
            ff_book) timed "$st" packets -i "$out/book.mp3" ;;
        esac
    done
done

m() { median < "$out/$1.times"; }
small_mb=$(cat "${small[@]}" | wc -c | awk '{print $1 / 1e6}')
book_mb=$(stat -c %s "$out/book.mp3" | awk '{print $1 / 1e6}')
echo "frame counts differing from ffprobe's: $differing of $(( ${#small[@]} + 1 )) files"
row() { # label ms megabytes files
    awk -v l="$1" -v ms="$2" -v mb="$3" -v n="$4" 'BEGIN {
        printf "  %-46s %9.1f ms %8.2f ms/file %8.0f MB/s\n", l, ms, ms / n, mb * 1000 / ms }'
}
echo "== 200 small files, $small_mb MB, medians of $runs alternating rounds =="
row "bench_probe, one process per file" "$(m ours_each)" "$small_mb" 200
row "bench_probe, one process for all" "$(m ours_all)" "$small_mb" 200
row "bench_probe --decoder (libmpg123), per file" "$(m dec_each)" "$small_mb" 200
row "bench_probe --decoder (libmpg123), for all" "$(m dec_all)" "$small_mb" 200
row "ffprobe -count_packets, one process per file" "$(m ff_each)" "$small_mb" 200
row "ffprobe -count_packets -f concat, for all" "$(m ff_all)" "$small_mb" 200
echo "== a book of $book_mb MB ($book_frames frames), medians of $runs alternating rounds =="
row "bench_probe" "$(m ours_book)" "$book_mb" 1
row "bench_probe --decoder (libmpg123)" "$(m dec_book)" "$book_mb" 1
row "ffprobe -count_packets" "$(m ff_book)" "$book_mb" 1
