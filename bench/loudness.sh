#!/usr/bin/env bash
# Loudness: measuring 20 generated files of 1-4 min (made once under
# bench/out/loudness: pink noise and tones at different levels, mono and
# stereo, 22.05-48 kHz) with sonvek-glosnosc, beside mp3gain's track analysis
# of the same files in the same run (whole processes, best of three).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-build}
out=bench/out/loudness
scripts/deps.sh ffmpeg mp3gain
[ -x "$build_dir/src/sonvek-glosnosc" ] || BUILD_DIR=$build_dir scripts/build.sh
mkdir -p "$out"
for i in $(seq 1 20); do
    f=$out/$(printf '%02d' "$i").mp3
    [ -s "$f" ] && continue
    secs=$((60 + (i * 37) % 180))
    level=$((-30 + (i * 7) % 26))
    rates=(22050 44100 48000); rate=${rates[$((i % 3))]}
    channels=$((1 + i % 2))
    if [ $((i % 2)) -eq 0 ]; then src="anoisesrc=d=$secs:c=pink:a=0.3"; else src="sine=f=$((200 + i * 40)):d=$secs"; fi
    ffmpeg -v error -y -f lavfi -i "$src" -af "volume=${level}dB" -ar "$rate" -ac "$channels" \
        -c:a libmp3lame -b:a 96k "$f"
done
files=("$out"/*.mp3)
best() { # best wall time of three runs, in seconds
    local best=
    for _ in 1 2 3; do
        local s e
        s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N)
        best=$(echo "$s $e ${best:-1e9}" | awk '{ t = $2 - $1; print (t < $3 ? t : $3) }')
    done
    echo "$best"
}
ours=$(best "$build_dir/src/sonvek-glosnosc" "${files[@]}")
ref=$(best mp3gain -q -s s -o "${files[@]}")
audio=$(for f in "${files[@]}"; do ffprobe -v error -show_entries format=duration -of csv=p=0 "$f"; done |
    awk '{ s += $1 } END { print s }')
echo "== loudness of ${#files[@]} files, ${audio%.*} s of audio =="
printf 'sonvek-glosnosc          %6.2f s\n' "$ours"
printf 'mp3gain (track analysis) %6.2f s\n' "$ref"
