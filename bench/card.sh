#!/usr/bin/env bash
# Card copy benchmark: a book of SIZE_MB (1000 by default) with its index
# files, copied into a folder standing in for the card and read back past
# the system's cache (bench_card, a whole process), against `cp` of the same
# three files into the same folder followed by `sync` of those files. Each
# side runs ROUNDS times (3), alternating; the medians and their ratio are
# printed (target: at most 2.2). Then several books in one go and the listing
# of a card of 50 books, each beside its reference (see below). Fixtures go
# to bench/out/card; CARD=folder puts the card folder elsewhere (a real
# card's mount point, for instance).
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

# ---- several books in one go ---------------------------------------------------
# BOOKS books (4) of BOOK_MB (250) each, copied in one go with read-back
# (bench_card with several books), against `cp` of all their files, `sync`,
# and reading the copies back past the cache (`dd iflag=direct`), as the
# program's read-back does (target: at most 1.1).
books=${BOOKS:-4}
book_mb=${BOOK_MB:-250}
many=()
for n in $(seq "$books"); do
    b=$out/magazyn/tom$n.mp3
    if [ "$(stat -c %s "$b" 2>/dev/null || echo 0)" -ne $((book_mb * 1000000)) ]; then
        head -c $((book_mb * 1000000)) /dev/urandom > "$b"
        head -c 100000 /dev/urandom > "${b%mp3}dat"
        head -c 15 /dev/urandom > "${b%mp3}log"
    fi
    many+=("$b")
done
cat "$out"/magazyn/tom* > /dev/null
clear_many() { rm -f "$card"/tom* "$card"/.sonvek-*.tmp; sync -f "$card"; }
ours=() refs=()
for i in $(seq "$rounds"); do
    clear_many
    t0=$(now)
    "$build_dir/bench/bench_card" "${many[@]}" "$card"
    t1=$(now)
    ours+=("$(awk "BEGIN {printf \"%.2f\", $t1 - $t0}")")
    clear_many
    t0=$(now)
    cp "$out"/magazyn/tom* "$card"/
    sync "$card"/tom*
    for f in "$card"/tom*; do dd if="$f" of=/dev/null bs=16M iflag=direct status=none; done
    t1=$(now)
    refs+=("$(awk "BEGIN {printf \"%.2f\", $t1 - $t0}")")
    echo "round $i: $books books in one go ${ours[-1]} s, cp + sync + dd iflag=direct ${refs[-1]} s"
done
clear_many
m_ours=$(median "${ours[@]}")
m_refs=$(median "${refs[@]}")
echo "$books books of ${book_mb} MB: in one go ${m_ours} s (median)," \
     "cp + sync + read back ${m_refs} s (median)," \
     "ratio $(awk "BEGIN {printf \"%.2f\", $m_ours / $m_refs}") (target at most 1.1)"

# ---- listing a card of 50 books -------------------------------------------------
# 50 books of a real MP3 file (10 minutes, 64 kbps) with their index files,
# listed by bench_card --lista (length from the headers, bookmarks from the
# .dat), beside `ls -l` of the same folder (target: under 100 ms).
list_card=$out/karta50
mkdir -p "$list_card"
if [ ! -f "$out/wzor.mp3" ]; then
    ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:duration=600 -ac 1 -b:a 64k \
        "$out/wzor.mp3"
fi
for n in $(seq -w 1 50); do
    [ -f "$list_card/ksiazka$n.mp3" ] && continue
    cp "$out/wzor.mp3" "$list_card/ksiazka$n.mp3"
    for z in $(seq 1 40); do printf '%d\t100\r\n' "$z"; done > "$list_card/ksiazka$n.dat"
    printf '0000000 0000000' > "$list_card/ksiazka$n.log"
done
ours=() refs=()
for i in $(seq "$rounds"); do
    t0=$(now)
    "$build_dir/bench/bench_card" --lista "$list_card" > /dev/null
    t1=$(now)
    ours+=("$(awk "BEGIN {printf \"%.0f\", ($t1 - $t0) * 1000}")")
    t0=$(now)
    ls -l "$list_card" > /dev/null
    t1=$(now)
    refs+=("$(awk "BEGIN {printf \"%.0f\", ($t1 - $t0) * 1000}")")
done
echo "listing 50 books: $(median "${ours[@]}") ms (median), ls -l $(median "${refs[@]}") ms" \
     "(target under 100 ms)"
