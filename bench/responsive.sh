#!/usr/bin/env bash
# Responsiveness benchmark: while the merge dialog merges a book of about
# 300 MB (200 files), while "Kopiuj na kartę" copies it into a folder (and
# reads it back) and while "Sprawdź książkę na karcie" checks it there, a
# 10 ms timer on the user-interface thread records the gaps between its ticks.
# Prints each operation's time, the longest gap and the 99th percentile.
# Fixtures go to bench/out/responsive.
#
#   bench/responsive.sh           # this tree
#   bench/responsive.sh main      # also the code of revision "main", built with
#                                 # this tree's benchmark in bench/out/responsive/rev
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=bench/out/responsive
files=${FILES:-200}
mkdir -p "$out"

cmake --build "$build_dir" --target bench_responsive_ui >/dev/null 2>&1 || scripts/build.sh

run() { # label, executable
    echo "== $1 =="
    rm -rf "$out/work/magazyn" "$out/work/karta"
    LC_ALL=${LC_ALL:-C.UTF-8} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} \
        "$2" "$out/work" "$files" 2> >(grep -v '^Note:' >&2)
}

if [ $# -ge 1 ]; then
    rev=$1
    src=$out/rev/src
    rm -rf "$src" && mkdir -p "$src"
    git archive "$rev" | tar -x -C "$src"
    cp bench/bench_responsive_ui.cpp "$src/bench/"
    cmake -S "$src" -B "$out/rev/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$out/rev/build" --target bench_responsive_ui >/dev/null
    run "revision $rev ($(git rev-parse --short "$rev"))" "$out/rev/build/bench/bench_responsive_ui"
fi
run "this tree ($(git rev-parse --short HEAD)$(git diff --quiet HEAD || echo ', changed'))" \
    "$build_dir/bench/bench_responsive_ui"
