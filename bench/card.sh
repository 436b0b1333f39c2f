#!/usr/bin/env bash
# Card copy benchmark: a book of SIZE_MB (1000 by default) with its index
# files, copied into a folder standing in for the card and read back past
# the system's cache (bench_card, a whole process), against `cp` of the same
# three files into the same folder followed by `sync` of those files. Each
# side runs ROUNDS times (3), alternating; the medians and their ratio are
# printed (target: at most 2.2). Fixtures go to bench/out/card; CARD=folder
# puts the card folder elsewhere (a real card's mount point, for instance).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=bench/out/card
size_mb=${SIZE_MB:-1000}
rounds=${ROUNDS:-3}
card=${CARD:-$out/karta}
mkdir -p "$out/magazyn" "$card"

cmake --build "$build_dir" --target bench_card >/dev/null 2>&1 || scripts/build.sh

book=$out/magazyn/ksiazka.mp3
if [ "$(stat -c %s "$book" 2>/dev/null || echo 0)" -ne $((size_mb * 1000000)) ]; then
    head -c $((size_mb * 1000000)) /dev/urandom > "$book"
    head -c 300000 /dev/urandom > "$out/magazyn/ksiazka.dat"
    head -c 2000 /dev/urandom > "$out/magazyn/ksiazka.log"
fi
# The store is read from the cache on both sides.
cat "$out"/magazyn/ksiazka.* > /dev/null

now() { date +%s.%N; }
clear_card() { rm -f "$card"/ksiazka.* "$card"/.sonvek-*.tmp; sync -f "$card"; }
ours=() refs=()
for i in $(seq "$rounds"); do
    clear_card
    t0=$(now)
    "$build_dir/bench/bench_card" "$book" "$card"
    t1=$(now)
    ours+=("$(awk "BEGIN {printf \"%.2f\", $t1 - $t0}")")
    clear_card
    t0=$(now)
    cp "$out"/magazyn/ksiazka.mp3 "$out"/magazyn/ksiazka.dat "$out"/magazyn/ksiazka.log "$card"/
    sync "$card"/ksiazka.mp3 "$card"/ksiazka.dat "$card"/ksiazka.log
    t1=$(now)
    refs+=("$(awk "BEGIN {printf \"%.2f\", $t1 - $t0}")")
    echo "round $i: copy + read-back ${ours[-1]} s, cp + sync ${refs[-1]} s"
done
clear_card
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
m_ours=$(median "${ours[@]}")
m_refs=$(median "${refs[@]}")
echo "book ${size_mb} MB: copy + read-back ${m_ours} s (median), cp + sync ${m_refs} s (median)," \
     "ratio $(awk "BEGIN {printf \"%.2f\", $m_ours / $m_refs}") (target at most 2.2)"
