#!/usr/bin/env bash
# Runs every test: host unit tests, the same under AddressSanitizer and UndefinedBehaviorSanitizer,
# a short fuzzing run, and the end-to-end scenarios under Wine. Ends with one "N passed, M failed" line.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }
jobs=$(nproc)
passed=0
failed=0

# Adds a runner's counts: "suite passed failed".
tally() {
  echo "== $1: $2 passed, $3 failed"
  passed=$((passed + $2))
  failed=$((failed + $3))
}

# GoogleTest's own summary gives the counts of one unit-test binary.
run_unit_tests() {
  local name=$1 binary=$2 log
  log=$(mktemp)
  "$binary" --gtest_brief=1 >"$log" 2>&1
  local status=$?
  tail -n 30 "$log" | grep -E 'FAILED|Failure|error|PASSED' || true
  local ok bad
  ok=$(grep -oE '\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+$' || echo 0)
  bad=$(grep -oE '\[  FAILED  \] [0-9]+ test' "$log" | grep -oE '[0-9]+' | head -n1 || echo 0)
  [ -z "$ok" ] && ok=0
  [ -z "$bad" ] && bad=0
  [ "$status" -ne 0 ] && [ "$bad" -eq 0 ] && bad=1 && cat "$log"
  tally "$name" "$ok" "$bad"
  rm -f "$log"
}

run_unit_tests "unit tests" build/host/unit_tests

cmake -S . -B build/asan -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Debug -DSFX_SANITIZE=ON >/dev/null &&
  cmake --build build/asan -j"$jobs" --target unit_tests >/dev/null
if [ -x build/asan/unit_tests ]; then
  run_unit_tests "unit tests (ASan+UBSan)" build/asan/unit_tests
else
  tally "sanitizer build" 0 1
fi

if [ -x scripts/fuzz.sh ]; then
  if bash scripts/fuzz.sh 60; then tally "fuzzing" 1 0; else tally "fuzzing" 0 1; fi
fi

if [ -x tests/e2e/run.sh ]; then
  e2e_log=$(mktemp)
  bash tests/e2e/run.sh 2>&1 | tee "$e2e_log"
  counts=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$e2e_log" | tail -n1)
  if [ -n "$counts" ]; then
    tally "end-to-end" "$(echo "$counts" | cut -d' ' -f1)" "$(echo "$counts" | cut -d' ' -f3)"
  else
    tally "end-to-end" 0 1
  fi
  rm -f "$e2e_log"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
