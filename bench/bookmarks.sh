#!/usr/bin/env bash
# Finding the spoken title against ffmpeg's silencedetect given its best
# (see bench/bench_bookmarks.cpp): how often the bookmark covers the whole
# title, mean and worst errors, time per file. FILES test files (100 by
# default) and 40 more for choosing ffmpeg's threshold are made once under
# bench/out/bookmarks with espeak-ng and the test MP3 encoder.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
files=${FILES:-100}
scripts/deps.sh ffmpeg
[ -x "$build_dir/bench/bench_bookmarks" ] && [ -x "$build_dir/src/sonvek-zakladki" ] ||
    BUILD_DIR=$build_dir scripts/build.sh
"$build_dir/bench/bench_bookmarks" bench/out/bookmarks "$files" "$(realpath "$build_dir")/src/sonvek-zakladki"
