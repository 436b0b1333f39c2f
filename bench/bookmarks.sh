#!/usr/bin/env bash
# Finding the spoken title: 200 generated files of 2-10 min under
# bench/out/bookmarks (made once: espeak-ng speech with known silences),
# time per file and the mean and worst error against the known truth, beside
# ffmpeg's silencedetect on the same files in the same run.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
files=${FILES:-200}
scripts/deps.sh ffmpeg
[ -x "$build_dir/bench/bench_bookmarks" ] || BUILD_DIR=$build_dir scripts/build.sh
echo "== spoken titles in $files files =="
"$build_dir/bench/bench_bookmarks" bench/out/bookmarks "$files"
