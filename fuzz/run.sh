#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) in build-fuzz/ (or $FUZZ_BUILD_DIR) and runs
# each for SECONDS seconds (default 60), one after another, starting from
# its seed corpus in fuzz/corpus/<name>/. New inputs found on the way go to
# the build folder, never into the committed corpus. A target that crashes
# leaves the input that caused it as build-fuzz/crash-<name>-*; the others
# still run, and the script then fails. Extra libFuzzer options may be given
# in $FUZZ_OPTIONS (e.g. "-fork=1 -ignore_crashes=1" to collect every crash).
# Usage: fuzz/run.sh [SECONDS] [TARGET ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(projectfile settingsstore mp3stream strtoint)

scripts/deps.sh clang libclang-rt-14-dev
build_dir=${FUZZ_BUILD_DIR:-build-fuzz}
CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DSONVEK_BUILD_TESTS=OFF -DSONVEK_FUZZ=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
failed=()
for name in "${targets[@]}"; do
    found="$build_dir/corpus-$name"
    mkdir -p "$found"
    echo "== fuzz_$name: $seconds s"
    # shellcheck disable=SC2086 # FUZZ_OPTIONS is a list of options
    if ! "$build_dir/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
        -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$build_dir/crash-$name-" \
        ${FUZZ_OPTIONS:-} "$found" "fuzz/corpus/$name" 2>"$build_dir/fuzz_$name.log"; then
        tail -n 60 "$build_dir/fuzz_$name.log"
        failed+=("$name")
    fi
    grep -E '^stat::(number_of_executed_units|average_exec_per_sec)|^#[0-9]+ *DONE' \
        "$build_dir/fuzz_$name.log" || true
done
[ ${#failed[@]} -gt 0 ] && echo "Faults found by: ${failed[*]} (inputs: $build_dir/crash-*)"
echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
[ ${#failed[@]} -eq 0 ]
