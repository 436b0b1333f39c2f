#!/usr/bin/env bash
# The merge against tools that do the same job, each a whole process timed
# from start to exit, medians of RUNS alternating rounds (5 by default):
#   sonvek-merge                 the program's merge: book, index files, fsync
#   sonvek-merge --dokladny-indeks   the same with every bookmark on its frames
#   cat + fsync                  the durable copy: cat into one file, then
#                                fsync it and its folder (sync FILE FOLDER)
#   cat                          the page-cache limit: the same copy, no fsync
#   ffmpeg -f concat -c copy     another joining tool (it does not fsync)
# and, in the same run, the disk's own write speed (dd oflag=direct), and
# the processor time of the plain merge, the exact index and the merge with
# the dialog's cancel check, in one process (bench_merge --cpu).
# Ratios are to cat + fsync; peak memory is the maximum RSS (bench/proc_time).
# Beside the wall time, the processor time of each whole process (user +
# system, children included), which other work on the machine disturbs far
# less than the wall time.
#
# Sets (made once under bench/out/merge):
#   book   200 files of about 1.5 MB, about 300 MB
#   small  5,000 files of about 16 KB
#   large  20 files of about 100 MB, about 2 GB (slow: 2 GB per tool and round)
# Usage: bench/merge.sh [book] [small] [large]    (default: book small)
#        RUNS=n sets the rounds; SETS_ONLY=1 only makes the sets (as
#        bench/levelling.sh uses the book).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=$PWD/bench/out/merge
runs=${RUNS:-5}
sets=("$@")
[ ${#sets[@]} -gt 0 ] || sets=(book small)
scripts/deps.sh sox lame ffmpeg
[ -x "$build_dir/bench/bench_merge" ] && [ -x "$build_dir/src/sonvek-merge" ] &&
    [ -x "$build_dir/bench/proc_time" ] ||
    BUILD_DIR=$build_dir scripts/build.sh
merge=$(realpath "$build_dir")/src/sonvek-merge
proc_time=$(realpath "$build_dir")/bench/proc_time
mkdir -p "$out"

source_mp3() { # k seconds: a 128 kbit/s stereo source, made once
    local f=$out/src$1-$2.mp3
    if [ ! -s "$f" ]; then
        sox -n -r 44100 -c 2 "$out/src.wav" synth "$2" pinknoise tremolo $((3 + $1)) 40 vol 0.3
        lame --quiet -b 128 "$out/src.wav" "$f"
        rm -f "$out/src.wav"
    fi
    echo "$f"
}

make_set() { # name: fills $out/name/in once
    local dir=$out/$1/in n i
    case $1 in
        book) n=200 ;;
        small) n=5000 ;;
        large) n=20 ;;
        *) echo "unknown set $1" >&2; exit 2 ;;
    esac
    mkdir -p "$dir"
    [ "$(find "$dir" -name '*.mp3' | wc -l)" -eq "$n" ] && return
    echo "making the set '$1' in $dir ..."
    rm -f "$dir"/*.mp3
    for i in $(seq -w 1 "$n"); do
        local k=$((10#$i % 4))
        case $1 in
            book) # four 95 s sources, copied with different tags
                ffmpeg -v error -y -i "$(source_mp3 $k 95)" -c copy \
                    -metadata title="Rozdział $i" -metadata track="$i" "$dir/r$i.mp3" ;;
            small) cp "$(source_mp3 $k 1)" "$dir/r$i.mp3" ;;
            large) # 66 joined 95 s parts
                local src; src=$(source_mp3 $k 95)
                for _ in $(seq 66); do cat "$src"; done > "$dir/r$i.mp3" ;;
        esac
    done
}

median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }

# run NAME COMMAND...: one timed run; appends "ms kB cpu-ms" to $work/NAME.times.
run() {
    local name=$1
    shift
    sync # what an earlier run left dirty is written before the clock starts
    "$proc_time" "$work/last" "$@" >/dev/null
    awk '{printf "%d %d %d\n", $1, $2, $3}' "$work/last" >> "$work/$name.times"
}

bench_set() {
    local set=$1
    make_set "$set"
    local dir=$out/$set/in
    work=$out/$set/work
    local target=$out/$set/target
    rm -rf "$work" "$target"
    mkdir -p "$work" "$target"
    local files=("$dir"/*.mp3)
    local bytes; bytes=$(cat "${files[@]}" | wc -c) # also puts them in the page cache
    "$build_dir/bench/bench_merge" --project "$dir" "$work/projekt.xml"
    for f in "${files[@]}"; do printf "file '%s'\n" "$f"; done > "$work/concat.txt"
    local mib=$(( bytes / 1048576 + 1 ))
    [ "$mib" -ge 64 ] || mib=64

    local stages=(merge exact catfsync cat ffmpeg dd)
    for r in $(seq "$runs"); do
        # A different stage goes first in each round.
        for ((s = 0; s < ${#stages[@]}; s++)); do
            local st=${stages[$(( (s + r) % ${#stages[@]} ))]}
            rm -f "$target"/*
            case $st in
                merge) run merge "$merge" "$work/projekt.xml" "$target/ksiazka.mp3" ;;
                exact) run exact "$merge" --dokladny-indeks "$work/projekt.xml" "$target/ksiazka.mp3" ;;
                catfsync) run catfsync bash -c 'cat "${@:2}" > "$1" && sync "$1" "${1%/*}"' _ \
                    "$target/cat.mp3" "${files[@]}" ;;
                cat) run cat bash -c 'cat "${@:2}" > "$1"' _ "$target/cat.mp3" "${files[@]}" ;;
                ffmpeg) run ffmpeg ffmpeg -v error -y -f concat -safe 0 -i "$work/concat.txt" \
                    -c copy "$target/ffmpeg.mp3" ;;
                dd) run dd dd if=/dev/zero of="$target/dd.bin" bs=1M count="$mib" oflag=direct \
                    conv=fsync status=none ;;
            esac
            if [ "$r" -eq 1 ] && [ "$st" = merge ]; then
                cmp -s <(cat "${files[@]}") "$target/ksiazka.mp3" ||
                    { echo "the merged book differs from cat's output" >&2; exit 1; }
            fi
        done
    done
    rm -f "$target"/*

    local mb=$(( bytes / 1000000 ))
    local ref cpuref
    ref=$(cut -d' ' -f1 "$work/catfsync.times" | median)
    cpuref=$(cut -d' ' -f3 "$work/catfsync.times" | median)
    echo "== $set: ${#files[@]} files, $mb MB, medians of $runs alternating rounds =="
    printf '  %-44s %8s %9s %9s %10s %8s %9s\n' "" "ms" "MB/s" "x cat+fsync" "peak MB" \
        "CPU ms" "x CPU"
    line() { # name label
        local ms rss cpu
        ms=$(cut -d' ' -f1 "$work/$1.times" | median)
        rss=$(cut -d' ' -f2 "$work/$1.times" | median)
        cpu=$(cut -d' ' -f3 "$work/$1.times" | median)
        awk -v l="$2" -v ms="$ms" -v mb="$mb" -v ref="$ref" -v rss="$rss" -v cpu="$cpu" \
            -v cpuref="$cpuref" 'BEGIN {
            printf "  %-44s %8d %9.0f %9.2f %10.1f %8d %9.2f\n", l, ms,
                mb * 1000 / (ms > 0 ? ms : 1), ms / (ref > 0 ? ref : 1), rss / 1024, cpu,
                cpu / (cpuref > 0 ? cpuref : 1) }'
    }
    line merge "sonvek-merge (book + index files, fsync)"
    line exact "sonvek-merge --dokladny-indeks"
    line catfsync "cat + fsync (durable copy)"
    line cat "cat (page-cache limit, no fsync)"
    line ffmpeg "ffmpeg -f concat -c copy (no fsync)"
    local ddms; ddms=$(cut -d' ' -f1 "$work/dd.times" | median)
    awk -v ms="$ddms" -v mib="$mib" 'BEGIN {
        printf "  disk write speed: dd oflag=direct of %d MiB: %d ms, %.0f MB/s\n", mib, ms,
            mib * 1.048576 * 1000 / (ms > 0 ? ms : 1) }'
    # The exact index and the dialog's cancel check against the plain merge.
    "$build_dir/bench/bench_merge" --cpu "$dir" "$target" "$runs" | sed 's/^/  /'
    rm -f "$target"/*
}

for set in "${sets[@]}"; do
    if [ -n "${SETS_ONLY:-}" ]; then make_set "$set"; else bench_set "$set"; fi
done
