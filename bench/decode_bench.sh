#!/usr/bin/env bash
# Decode throughput of our core against lhasa and 7-Zip on the same jlha archives; prints figures, never fails.
# Usage: bench/decode_bench.sh [runs]   (best of runs, default 3; corpora and archives are kept in build/bench)
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/bench
runs=${1:-3}
corpus_bytes=$((40 * 1024 * 1024))
mkdir -p "$work/corpus"

# Our core in two builds: -O2, and -Os as the stub is built.
build_core() {  # name, optimisation flag
  local dir=$work/$1
  cmake -S "$root" -B "$dir" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="$2 -DNDEBUG" >/dev/null &&
    cmake --build "$dir" -j2 --target sfxcore >/dev/null &&
    g++ -std=c++20 "$2" -I"$root/src" "$root/bench/decode_bench.cpp" \
      "$dir/libsfxcore.a" -o "$dir/decode_bench"
}
build_core core-O2 -O2 || { echo "decode_bench: the -O2 build failed"; exit 0; }
build_core core-Os -Os || { echo "decode_bench: the -Os build failed"; exit 0; }

if [ ! -s "$work/corpus/text.txt" ]; then
  # Licences, some man pages, then the plain-text files of the documentation.
  { cat /usr/share/common-licenses/* 2>/dev/null
    find /usr/share/man -type f -name '*.gz' | sort | head -n 3000 | xargs -r zcat 2>/dev/null
    find /usr/share/doc -type f ! -name '*.gz' -size -4M | sort | while IFS= read -r f; do
      if grep -Iq . "$f"; then cat "$f" || break; fi; done
  } | head -c "$corpus_bytes" >"$work/corpus/text.txt"
fi
if [ ! -s "$work/corpus/binary.bin" ]; then
  find /usr/bin /usr/lib -type f -size +16k -size -8M 2>/dev/null | sort | while IFS= read -r f; do
    if [ "$(head -c 4 "$f" 2>/dev/null | od -An -tx1 | tr -d ' ')" = 7f454c46 ]; then cat "$f" || break; fi; done |
    head -c "$corpus_bytes" >"$work/corpus/binary.bin"
fi
if [ ! -s "$work/corpus/random.bin" ]; then
  { head -c $((corpus_bytes - 4 * 1024 * 1024)) /dev/urandom; head -c $((4 * 1024 * 1024)) /dev/zero; } >"$work/corpus/random.bin"
fi

for corpus in text.txt binary.bin random.bin; do
  for digit in 5 7; do
    archive=$work/${corpus%%.*}-lh$digit.lzh
    [ -s "$archive" ] || (cd "$work/corpus" && jlha c2o$digit "$archive" "$corpus" >/dev/null 2>&1) ||
      echo "decode_bench: jlha failed on $corpus"
  done
done

# Best wall time of $runs runs of a command whose output goes to /dev/null, in seconds.
best_time() {
  local best="" start end t
  for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed"; return; }
    end=$(date +%s%N)
    t=$((end - start))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  awk -v ns="$best" 'BEGIN { printf "%.4f", ns / 1e9 }'
}

rate() { awk -v b="$1" -v s="$2" 'BEGIN { if (s == "failed" || s <= 0) print "-"; else printf "%.1f", b / s / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b <= 0) print "-"; else printf "%.2f", a / b }'; }

printf '%-16s %9s %9s %9s %11s %9s %9s %10s %10s\n' archive packed-MB ours-O2 ours-Os O2-no-sink lhasa 7zz O2/7zz O2/lhasa
for corpus in text binary random; do
  for digit in 5 7; do
    archive=$work/$corpus-lh$digit.lzh
    [ -s "$archive" ] || continue
    size=$(stat -c %s "$work/corpus/$(ls "$work/corpus" | grep "^$corpus\.")")
    packed=$(awk -v b="$(stat -c %s "$archive")" 'BEGIN { printf "%.1f", b / 1e6 }')
    o2=$(rate "$size" "$(best_time "$work/core-O2/decode_bench" "$archive" /dev/null)")
    os=$(rate "$size" "$(best_time "$work/core-Os/decode_bench" "$archive" /dev/null)")
    bare=$(rate "$size" "$(best_time "$work/core-O2/decode_bench" "$archive" -)")
    lh=$(rate "$size" "$(best_time lhasa pq "$archive")")
    sz=$(rate "$size" "$(best_time 7zz e -so "$archive")")
    printf '%-16s %9s %9s %9s %11s %9s %9s %10s %10s\n' "$corpus-lh$digit" "$packed" "$o2" "$os" "$bare" "$lh" "$sz" \
      "$(ratio "$o2" "$sz")" "$(ratio "$o2" "$lh")"
  done
done
echo "(MB/s of uncompressed output, best of $runs; each tool decodes, checks the crc and writes to /dev/null;"
echo " O2-no-sink: our decoder alone, its output dropped unwritten and unchecked)"
exit 0
