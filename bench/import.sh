#!/usr/bin/env bash
# The import against what the same work costs with other tools, each side a
# whole process (or script) timed from start to exit, medians of RUNS
# alternating rounds (1 by default):
#   DAISY   sonvek-import of a DAISY 2.02 book (MP3 files cut, never encoded:
#           120 files of 5 min at 64 kb/s, 3 headings each) against cp -r +
#           sync of the same MP3 files                        (goal <= 1.2 x)
#   M4B     sonvek-import of a 30 min M4B with 10 chapters (AAC) against
#           ffmpeg -c:a libmp3lame at the same settings (64 kb/s, mono,
#           44.1 kHz), one run per chapter                    (goal <= 0.6 x)
# and the import's peak memory (goal < 64 MB). The books are made once under
# bench/out/import. Usage: bench/import.sh   (RUNS=n sets the rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=$PWD/bench/out/import
runs=${RUNS:-1}
scripts/deps.sh ffmpeg
[ -x "$build_dir/src/sonvek-import" ] && [ -x "$build_dir/bench/proc_time" ] ||
    BUILD_DIR=$build_dir scripts/build.sh
import=$PWD/$build_dir/src/sonvek-import
proc_time=$PWD/$build_dir/bench/proc_time
daisy=$out/daisy m4b=$out/ksiazka.m4b work=$out/work target=$out/target
mkdir -p "$daisy" "$work"

if [ "$(find "$daisy" -name "a*.mp3" | wc -l)" -ne 120 ]; then
    echo "making the DAISY book in $daisy ..."
    ffmpeg -v error -y -f lavfi -i "anoisesrc=d=300:c=pink:a=0.2:r=44100:seed=1" -ac 1 \
        -c:a libmp3lame -b:a 64k "$work/zrodlo.mp3"
    {
        echo '<?xml version="1.0" encoding="utf-8"?>'
        echo '<html xmlns="http://www.w3.org/1999/xhtml"><head><title>Test</title></head><body>'
        for i in $(seq -w 1 120); do
            cp "$work/zrodlo.mp3" "$daisy/a$i.mp3"
            {
                echo '<?xml version="1.0" encoding="utf-8"?><smil><body><seq>'
                for k in 0 1 2; do
                    echo "<par id=\"p$k\"><audio src=\"a$i.mp3\" clip-begin=\"npt=$((k * 100)).000s\" clip-end=\"npt=$((k * 100 + 2)).000s\"/></par>"
                done
                echo '</seq></body></smil>'
            } > "$daisy/s$i.smil"
            for k in 0 1 2; do
                echo "<h$((k == 0 ? 1 : 2))><a href=\"s$i.smil#p$k\">Rozdział $i.$k</a></h$((k == 0 ? 1 : 2))>"
            done
        done
        echo '</body></html>'
    } > "$daisy/ncc.html"
fi
if [ ! -f "$m4b" ]; then
    echo "making $m4b ..."
    {
        echo ';FFMETADATA1'
        for c in $(seq 0 9); do
            printf '[CHAPTER]\nTIMEBASE=1/1000\nSTART=%d\nEND=%d\ntitle=Rozdział %d\n' \
                $((c * 180000)) $(((c + 1) * 180000)) $((c + 1))
        done
    } > "$work/meta.txt"
    ffmpeg -v error -y -f lavfi -i "anoisesrc=d=1800:c=pink:a=0.2:r=44100:seed=2" \
        -i "$work/meta.txt" -map 0 -map_chapters 1 -ac 2 -c:a aac -b:a 96k "$m4b"
fi
bytes=$(cat "$daisy"/*.mp3 | wc -c) # also puts them in the page cache
cat "$m4b" > /dev/null

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }
run() { # NAME COMMAND...: one timed run, "ms kB cpu-ms" appended to $work/NAME.times
    local name=$1
    shift
    sync
    "$proc_time" "$work/one" "$@" > /dev/null
    cat "$work/one" >> "$work/$name.times"
}
ffmpeg_chapters() { # the M4B's chapters one by one, as the import encodes them
    for c in $(seq 0 9); do
        ffmpeg -v error -y -ss $((c * 180)) -t 180 -i "$1" -ac 1 -ar 44100 -c:a libmp3lame \
            -b:a 64k "$2/$c.mp3"
    done
    sync
}

rm -f "$work"/*.times
stages=(daisy cp m4b ffmpeg)
for r in $(seq "$runs"); do
    for ((s = 0; s < ${#stages[@]}; s++)); do
        st=${stages[$(( (s + r) % ${#stages[@]} ))]}
        rm -rf "$target"
        mkdir -p "$target"
        case $st in
            daisy) run daisy "$import" "$daisy" "$target/daisy.xml" ;;
            cp) run cp bash -c 'cp -r "$1" "$2/kopia" && sync' _ "$daisy" "$target" ;;
            m4b) run m4b "$import" --kbps 64 --mono --hz 44100 "$m4b" "$target/m4b.xml" ;;
            ffmpeg) run ffmpeg bash -c "$(declare -f ffmpeg_chapters); ffmpeg_chapters \"\$1\" \"\$2\"" \
                _ "$m4b" "$target" ;;
        esac
    done
done
rm -rf "$target"

echo "== DAISY: 120 files, $((bytes / 1000000)) MB, 360 chapters; M4B: 30 min, 10 chapters;" \
    "medians of $runs rounds, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg) =="
printf '  %-46s %8s %9s %9s %9s\n' "" "ms" "ratio" "cpu ms" "peak MB"
line() { # name label reference
    local ms rss cpu ref
    ms=$(cut -d' ' -f1 "$work/$1.times" | median)
    rss=$(cut -d' ' -f2 "$work/$1.times" | median)
    cpu=$(cut -d' ' -f3 "$work/$1.times" | median)
    ref=$(cut -d' ' -f1 "$work/$3.times" | median)
    awk -v l="$2" -v ms="$ms" -v ref="$ref" -v rss="$rss" -v cpu="$cpu" 'BEGIN {
        printf "  %-46s %8d %9.2f %9d %9.1f\n", l, ms, ms / (ref > 0 ? ref : 1), cpu, rss / 1024 }'
}
line daisy "sonvek-import, DAISY (MP3 cut)" cp
line cp "cp -r + sync (the same MP3 files)" cp
line m4b "sonvek-import, M4B (decode + LAME)" ffmpeg
line ffmpeg "ffmpeg -c:a libmp3lame, chapter by chapter" ffmpeg
