#!/usr/bin/env bash
# Project benchmarks: saving and loading a project of 10,000 entries,
# adding 500 MP3 files (each measured) to the list, and reading hostile
# project files of the largest size taken, and in the main window moving a
# row 1,000 times in the 10,000-entry project and undoing those steps
# (time per step, list repainted). The reference for the
# file is xmllint parsing the same document. Fixtures go to bench/out/project.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=bench/out/project
mkdir -p "$out"

scripts/deps.sh libxml2-utils
[ -x "$build_dir/bench/bench_project" ] && [ -x "$build_dir/bench/bench_project_ui" ] &&
    [ -x "$build_dir/bench/bench_project_hostile" ] || scripts/build.sh

ms_now() { date +%s%N; }
best_of_5() { # prints the best wall time of five runs of "$@", in ms
    local best=
    for _ in 1 2 3 4 5; do
        local t0 t1 d
        t0=$(ms_now); "$@" >/dev/null; t1=$(ms_now)
        d=$(( (t1 - t0) / 1000 ))
        if [ -z "$best" ] || [ "$d" -lt "$best" ]; then best=$d; fi
    done
    printf '%d.%03d' $((best / 1000)) $((best % 1000))
}

echo "== project file, 10000 entries =="
"$build_dir/bench/bench_project" "$out" 10000
echo "reference: xmllint --noout on the same file: $(best_of_5 xmllint --noout "$out/projekt.xml") ms"

echo "== hostile project files of 64 MiB (read or refused) =="
"$build_dir/bench/bench_project_hostile" "$out/hostile"

echo "== main window: adding 500 MP3 files of 10 s (warm), opening and saving the project, moving a row and undoing =="
LC_ALL=${LC_ALL:-C.UTF-8} SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy} \
    "$build_dir/bench/bench_project_ui" "$out" 500 10 2> >(grep -v '^Note:' >&2)
