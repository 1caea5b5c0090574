#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and the sanitizers and runs each for the given seconds (default 60),
# seeded with archives from jlha and from our own writer. Exits non-zero when a target finds a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSFX_FUZZ=ON >/dev/null
cmake --build build/fuzz -j"$(nproc)" >/dev/null

corpus=build/fuzz/corpus
if [ ! -d "$corpus" ]; then
  mkdir -p "$corpus"
  work=$(mktemp -d)
  cp -r sample "$work/"
  printf 'Install the sample?' > "$work/!"
  printf '$WindowTitle=Fuzz\r\n$Flag=18\r\n' > "$work/\$"
  head -c 70000 /dev/urandom > "$work/random.bin"
  for _ in $(seq 4500); do echo 'a line that repeats'; done > "$work/runs.txt"
  for method in 5 6 7; do
    (cd "$work" && jlha "c2o$method" "seed$method.lzh" '!' '$' sample runs.txt random.bin >/dev/null)
    # The first byte of an input is the settings flags byte.
    { printf '\x00'; cat "$work/seed$method.lzh"; } > "$corpus/jlha-lh$method"
  done
  rm -rf "$work"
fi

status=0
for target in build/fuzz/*_fuzz; do
  echo "fuzzing $(basename "$target") for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -max_len=65536 -timeout=20 -rss_limit_mb=2048 \
      -artifact_prefix=build/fuzz/ "$corpus" 2>build/fuzz/"$(basename "$target")".log; then
    status=1
    tail -n 40 build/fuzz/"$(basename "$target")".log
  fi
  grep -E '^#[0-9]+.*(DONE|pulse)' build/fuzz/"$(basename "$target")".log | tail -n 1 || true
done
exit $status
