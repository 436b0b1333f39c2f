#!/usr/bin/env bash
# Adding 1,000 MP3 files of about 1.5 MB (95 s, 128 kbit/s, tagged) in the
# main window, against the bare minimum of the job measured in the same run:
# one pass over the same files that reads them and hops from frame header to
# frame header (ref_frame_headers, a plain C++ program). Each side is a
# fresh process, the files in the page cache; medians of RUNS alternating
# rounds (9 by default). Our figure is the add command itself (from "Dodaj..."
# to the rows in the list) and, beside it, our whole process, which also
# starts Qt and builds the main window. For comparison, one pass of the
# former measurement (every frame handed to libmpg123), which the add used
# to make twice per file: bench_probe --decoder. Beside each wall time, the
# processor time (user + system): of the command itself, and of each whole
# process, which other work on the machine disturbs far less.
# Usage: bench/add.sh    (FILES=n sets the number of files, RUNS=n the rounds)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=$PWD/bench/out/add
files=${FILES:-1000}
runs=${RUNS:-9}
scripts/deps.sh sox lame ffmpeg
[ -x "$build_dir/bench/bench_add_ui" ] && [ -x "$build_dir/bench/ref_frame_headers" ] &&
    [ -x "$build_dir/bench/bench_probe" ] && [ -x "$build_dir/bench/proc_time" ] ||
    BUILD_DIR=$build_dir scripts/build.sh
mkdir -p "$out/mp3" "$out/work"

if [ "$(find "$out/mp3" -name '*.mp3' | wc -l)" -ne "$files" ]; then
    echo "making $files files of about 1.5 MB in $out/mp3 ..."
    rm -f "$out/mp3"/*.mp3
    for k in 0 1 2 3; do
        sox -n -r 44100 -c 2 "$out/src.wav" synth 95 pinknoise tremolo $((3 + k)) 40 vol 0.3
        lame --quiet -b 128 --tt "Rozdział" "$out/src.wav" "$out/src$k.mp3"
    done
    rm -f "$out/src.wav"
    for i in $(seq -w 1 "$files"); do cp "$out/src$((10#$i % 4)).mp3" "$out/mp3/Rozdział $i.mp3"; done
fi
cat "$out/mp3"/*.mp3 >/dev/null # the page cache holds them for both

now_ns() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
rm -f "$out"/*.times
# cpu SIDE COMMAND...: runs a whole process under bench/proc_time and appends
# its processor time (user + system, ms) to SIDE.cpu.
cpu() {
    local side=$1
    shift
    "$build_dir/bench/proc_time" "$out/time" "$@"
    awk '{print $3}' "$out/time" >> "$out/$side.cpu"
}
for r in $(seq "$runs"); do
    for side in $( ((r % 2)) && echo "ours ref decoder" || echo "decoder ref ours"); do
        t0=$(now_ns)
        if [ "$side" = ours ]; then
            LC_ALL=${LC_ALL:-C.UTF-8} SDL_AUDIODRIVER=dummy cpu ours \
                "$build_dir/bench/bench_add_ui" "$out/mp3" "$out/work" > "$out/last" 2> >(grep -v '^Note:' >&2)
            t1=$(now_ns)
            # "add N files: WALL ms, cpu CPU ms"
            awk '{print $4}' "$out/last" >> "$out/command.times"
            awk '{print $(NF-1)}' "$out/last" >> "$out/command.cpu"
        elif [ "$side" = ref ]; then
            cpu ref "$build_dir/bench/ref_frame_headers" "$out/mp3" > "$out/last-ref"
            t1=$(now_ns)
        else
            cpu decoder "$build_dir/bench/bench_probe" --decoder "$out/mp3"/*.mp3 > /dev/null
            t1=$(now_ns)
        fi
        echo "$(( (t1 - t0) / 1000 ))" | awk '{print $1 / 1000}' >> "$out/$side.times"
    done
    # The ratio within the round, where both sides met the same load.
    paste <(tail -1 "$out/command.times") <(tail -1 "$out/ref.times") |
        awk '{print $1 / $2}' >> "$out/ratio.times"
done
command=$(median < "$out/command.times")
ours=$(median < "$out/ours.times")
ref=$(median < "$out/ref.times")
decoder=$(median < "$out/decoder.times")
ratio=$(median < "$out/ratio.times")
ccommand=$(median < "$out/command.cpu")
cours=$(median < "$out/ours.cpu")
cref=$(median < "$out/ref.cpu")
cdecoder=$(median < "$out/decoder.cpu")
echo "== adding $files files of about 1.5 MB, medians of $runs alternating rounds =="
echo "reference: ref_frame_headers, whole process: $ref ms, CPU $cref ms ($(cat "$out/last-ref"))"
awk -v c="$command" -v o="$ours" -v r="$ref" -v d="$decoder" -v q="$ratio" \
    -v cc="$ccommand" -v co="$cours" -v cr="$cref" -v cd="$cdecoder" 'BEGIN {
    printf "\"Dodaj...\" in the main window, the command: %.1f ms, %.2f x the reference " \
        "(median of the per-round ratios: %.2f); CPU %.1f ms, %.2f x the reference\n", \
        c, c / r, q, cc, cc / cr
    printf "the same, whole process (Qt, main window, add): %.1f ms, %.2f x the reference; " \
        "CPU %.1f ms, %.2f x\n", o, o / r, co, co / cr
    printf "one pass of the former measurement through libmpg123, whole process: %.1f ms, " \
        "%.2f x the reference; CPU %.1f ms, %.2f x\n", d, d / r, cd, cd / cr }'
