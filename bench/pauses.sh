#!/usr/bin/env bash
# Snapping bookmarks to pauses (see bench/bench_pauses.cpp): how many of 100
# bookmarks set 0.4-1.5 s off the spoken titles start within 150 ms of the
# title after snapping, and the time of one sonvek-zakladki --do-pauz
# process on a 2-hour entry beside ffmpeg seeking to the same place. The
# speech files are shared with bench/bookmarks.sh (bench/out/bookmarks).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
scripts/deps.sh ffmpeg
[ -x "$build_dir/bench/bench_pauses" ] && [ -x "$build_dir/src/sonvek-zakladki" ] ||
    BUILD_DIR=$build_dir scripts/build.sh
"$build_dir/bench/bench_pauses" bench/out/bookmarks "$(realpath "$build_dir")/src/sonvek-zakladki"
