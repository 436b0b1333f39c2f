#!/usr/bin/env bash
# The levelled merge against the plain merge of the same book in the same
# run: the 200-file, about 300 MB book of bench/merge.sh (made there once).
#   1. In one process (bench_merge --wyrownanie): the loudness measured once
#      beforehand, then plain and levelled merges alternating, with the
#      measurements passed in; medians of wall and processor time and their
#      ratio (target: the levelled merge at most 1.5 x the plain one).
#   2. Whole processes (bench/proc_time), alternating: sonvek-merge and
#      sonvek-merge --wyrownaj-glosnosc, which measures every file itself;
#      medians of wall time and of peak memory (target: under 64 MB).
# The machine's load average is printed with the figures: other work on it
# moves wall times far more than processor times.
# Usage: bench/levelling.sh    RUNS=n sets the rounds (5 by default).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
runs=${RUNS:-5}
SETS_ONLY=1 BUILD_DIR=$build_dir bench/merge.sh book
[ -x "$build_dir/bench/bench_merge" ] && [ -x "$build_dir/src/sonvek-merge" ] &&
    [ -x "$build_dir/bench/proc_time" ] ||
    BUILD_DIR=$build_dir scripts/build.sh
dir=$PWD/bench/out/merge/book/in
work=$PWD/bench/out/levelling
merge=$(realpath "$build_dir")/src/sonvek-merge
proc_time=$(realpath "$build_dir")/bench/proc_time
rm -rf "$work"
mkdir -p "$work/target"
files=("$dir"/*.mp3)
bytes=$(cat "${files[@]}" | wc -c) # also puts them in the page cache
echo "== levelling: ${#files[@]} files, $((bytes / 1000000)) MB, load average: $(cut -d' ' -f1-3 /proc/loadavg) =="

"$build_dir/bench/bench_merge" --wyrownanie "$dir" "$work/target" "$runs"
rm -f "$work/target"/*

"$build_dir/bench/bench_merge" --project "$dir" "$work/projekt.xml"
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : int((v[NR/2]+v[NR/2+1])/2)}'; }
run() { # name command...: appends "ms kB cpu-ms" to $work/name.times
    local name=$1
    shift
    sync
    "$proc_time" "$work/last" "$@" >/dev/null
    awk '{printf "%d %d %d\n", $1, $2, $3}' "$work/last" >> "$work/$name.times"
    rm -f "$work/target"/*
}
for r in $(seq "$runs"); do
    if [ $((r % 2)) -eq 1 ]; then order=(plain level); else order=(level plain); fi
    for st in "${order[@]}"; do
        case $st in
            plain) run plain "$merge" "$work/projekt.xml" "$work/target/ksiazka.mp3" ;;
            level) run level "$merge" --wyrownaj-glosnosc "$work/projekt.xml" "$work/target/ksiazka.mp3" ;;
        esac
    done
done
echo "whole processes, medians of $runs alternating rounds:"
printf '  %-52s %9s %9s %9s\n' "" "wall ms" "CPU ms" "peak MB"
for st in plain level; do
    case $st in
        plain) label="sonvek-merge" ;;
        level) label="sonvek-merge --wyrownaj-glosnosc (measures too)" ;;
    esac
    ms=$(cut -d' ' -f1 "$work/$st.times" | median)
    rss=$(cut -d' ' -f2 "$work/$st.times" | median)
    cpu=$(cut -d' ' -f3 "$work/$st.times" | median)
    awk -v l="$label" -v ms="$ms" -v cpu="$cpu" -v rss="$rss" \
        'BEGIN { printf "  %-52s %9d %9d %9.1f\n", l, ms, cpu, rss / 1024 }'
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
