#!/usr/bin/env bash
# The export of a book (both forms: the DAISY folder and the MP3 with
# chapters) against copying its files, each a whole process timed from start
# to exit, medians of RUNS alternating rounds (3 by default):
#   sonvek-eksport        --daisy and --rozdzialy of a 200-entry, ~300 MB book
#   cp + sync             the files copied into a folder, then synced
#   cp + cat + sync       the same bytes the export writes: the files copied
#                         into a folder and joined into one file, then synced
# Ratios are to cp + sync; peak memory is /usr/bin/time's maximum RSS. The
# book (200 files of about 1.5 MB) is made once under bench/out/eksport.
# Usage: bench/eksport.sh      (RUNS=n sets the rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=$PWD/bench/out/eksport
runs=${RUNS:-3}
scripts/deps.sh ffmpeg time
[ -x "$build_dir/src/sonvek-eksport" ] && [ -x "$build_dir/bench/bench_merge" ] ||
    BUILD_DIR=$build_dir scripts/build.sh
eksport=$PWD/$build_dir/src/sonvek-eksport
in=$out/in work=$out/work target=$out/target
mkdir -p "$in" "$work"

if [ "$(find "$in" -name '*.mp3' | wc -l)" -ne 200 ]; then
    echo "making the book in $in ..."
    for k in 0 1 2 3; do # four 95 s sources at 128 kbit/s
        ffmpeg -v error -y -f lavfi -i "anoisesrc=d=95:c=pink:a=0.2:r=44100:seed=$k" -ac 2 \
            -b:a 128k "$work/src$k.mp3"
    done
    for i in $(seq -w 1 200); do
        ffmpeg -v error -y -i "$work/src$((10#$i % 4)).mp3" -c copy \
            -metadata title="Rozdział $i" -metadata album="Książka" "$in/r$i.mp3"
    done
fi
files=("$in"/*.mp3)
bytes=$(cat "${files[@]}" | wc -c) # also puts them in the page cache
"$build_dir/bench/bench_merge" --project "$in" "$work/projekt.xml"

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }
run() { # NAME COMMAND...: one timed run, "ms kB" appended to $work/NAME.times
    local name=$1 t0 t1
    shift
    sync
    t0=$(date +%s%N)
    /usr/bin/time -f '%M' -o "$work/rss" "$@" >/dev/null
    t1=$(date +%s%N)
    echo "$(( (t1 - t0) / 1000000 )) $(cat "$work/rss")" >> "$work/$name.times"
}

rm -f "$work"/*.times
stages=(eksport cp cpcat)
for r in $(seq "$runs"); do
    for ((s = 0; s < ${#stages[@]}; s++)); do
        st=${stages[$(( (s + r) % ${#stages[@]} ))]}
        rm -rf "$target"
        mkdir -p "$target"
        case $st in
            eksport) run eksport "$eksport" --daisy "$target/daisy" \
                --rozdzialy "$target/ksiazka.mp3" --tytul Książka "$work/projekt.xml" ;;
            cp) run cp bash -c 'cp -r "$1" "$2/kopia" && sync' _ "$in" "$target" ;;
            cpcat) run cpcat bash -c 'cp -r "$1" "$2/kopia" && cat "$1"/*.mp3 > "$2/razem.mp3" &&
                sync' _ "$in" "$target" ;;
        esac
        if [ "$r" -eq 1 ] && [ "$st" = eksport ]; then
            [ "$(find "$target/daisy" -name 'a*.mp3' | wc -l)" -eq 200 ] ||
                { echo "the DAISY book lacks files" >&2; exit 1; }
        fi
    done
done
rm -rf "$target"

mb=$(( bytes / 1000000 ))
ref=$(cut -d' ' -f1 "$work/cp.times" | median)
echo "== ${#files[@]} files, $mb MB, medians of $runs alternating rounds =="
printf '  %-44s %8s %11s %10s\n' "" "ms" "x cp+sync" "peak MB"
line() { # name label
    local ms rss
    ms=$(cut -d' ' -f1 "$work/$1.times" | median)
    rss=$(cut -d' ' -f2 "$work/$1.times" | median)
    awk -v l="$2" -v ms="$ms" -v ref="$ref" -v rss="$rss" 'BEGIN {
        printf "  %-44s %8d %11.2f %10.1f\n", l, ms, ms / (ref > 0 ? ref : 1), rss / 1024 }'
}
line eksport "sonvek-eksport (DAISY + MP3 with chapters)"
line cp "cp + sync (the files once)"
line cpcat "cp + cat + sync (the bytes the export writes)"
