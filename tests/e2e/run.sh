#!/usr/bin/env bash
# Runs the end-to-end scenarios: real installers made by mksfx, run under Wine on an Xvfb screen and worked by uidriver.exe.
#
# Usage: tests/e2e/run.sh [SCENARIO...]     (default: every tests/e2e/scenarios/*.sh)
#
# Needs the host build (mksfx) and the cross build (sfx.exe, uidriver.exe):
#   cmake -S . -B build/host && cmake --build build/host -j2
#   cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
#         -DSTUB_LAYOUT_TOOL=$PWD/build/host/stub-layout && cmake --build build/win32
# E2E_HOST_BUILD and E2E_WIN32_BUILD name other build folders. scripts/wine-env.sh prepares Wine,
# Xvfb and a template prefix; each scenario gets a temporary folder with its own linked copy of that
# prefix (so its own wineserver), and everything it started is ended when it finishes.
# Screenshots go to E2E_SHOTS (default build/e2e-shots), never into the repository.
#
# A scenario is a bash file that uses the helpers below; it runs under `set -e`, so any failing
# step (`fail` prints why) ends it as failed. One line per scenario says PASS or FAIL; the last line reads "N passed, M failed",
# and the exit status is non-zero when any failed.
set -u

E2E_ROOT=$(cd "$(dirname "$0")/../.." && pwd)
E2E_HOST_BUILD=${E2E_HOST_BUILD:-$E2E_ROOT/build/host}
E2E_WIN32_BUILD=${E2E_WIN32_BUILD:-$E2E_ROOT/build/win32}
E2E_SHOTS=${E2E_SHOTS:-$E2E_ROOT/build/e2e-shots}
MKSFX="$E2E_HOST_BUILD/mksfx"
STUB="$E2E_WIN32_BUILD/sfx.exe"
UIDRIVER="$E2E_WIN32_BUILD/uidriver.exe"
# Every wait is bounded; these are generous because each Win32 process starts under qemu on some machines.
E2E_WINDOW_MS=${E2E_WINDOW_MS:-60000}
E2E_PROCESS_SECONDS=${E2E_PROCESS_SECONDS:-180}
E2E_END_SECONDS=${E2E_END_SECONDS:-60}

for tool in "$MKSFX" "$STUB" "$UIDRIVER"; do
  [ -f "$tool" ] || { echo "e2e: missing $tool (build it first, see the top of this script)" >&2; exit 2; }
done

# shellcheck source=../../scripts/wine-env.sh
. "$E2E_ROOT/scripts/wine-env.sh"
wine_env_up || { echo "e2e: the Wine environment could not be prepared" >&2; exit 2; }
E2E_TMP=
trap 'wine_env_down; [ -n "$E2E_TMP" ] && rm -rf "$E2E_TMP"' EXIT
# An interrupted run still ends its scenario's Wine processes and its Xvfb.
trap 'exit 130' INT TERM

# ---- helpers for the scenarios (they run inside the scenario's subshell) ----

fail() { echo "    $*" >&2; return 1; }

# make_installer NAME [mksfx options and paths]: writes $E2E_TMP/NAME.exe.
make_installer() {
  local name=$1; shift
  "$MKSFX" build -o "$E2E_TMP/$name.exe" --stub "$STUB" "$@" >/dev/null || fail "mksfx failed for $name"
}

# make_readme_installer NAME [mksfx options]: an installer of one small readme.txt, as make_installer makes it.
make_readme_installer() {
  local name=$1; shift
  mkdir -p "$E2E_TMP/payload"
  echo "payload" > "$E2E_TMP/payload/readme.txt"
  make_installer "$name" "$@" -C "$E2E_TMP/payload" .
}

# The archive starts right after the stub: mksfx appends it to an unchanged-length copy.
archive_offset() { stat -c %s "$STUB"; }

# patch_byte FILE OFFSET: inverts one byte in place.
patch_byte() {
  python3 - "$1" "$2" <<'EOF'
import sys
path, offset = sys.argv[1], int(sys.argv[2])
with open(path, 'r+b') as f:
    f.seek(offset)
    b = f.read(1)
    f.seek(offset)
    f.write(bytes([b[0] ^ 0xFF]))
EOF
}

# find_bytes FILE TEXT FROM: prints the offset of TEXT's first occurrence at or after FROM.
find_bytes() {
  python3 - "$1" "$2" "$3" <<'EOF'
import sys
data = open(sys.argv[1], 'rb').read()
at = data.find(sys.argv[2].encode(), int(sys.argv[3]))
sys.exit(1) if at < 0 else print(at)
EOF
}

# The path as the installer sees its own file: Wine's Z: drive is the Unix root.
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }

# start_installer EXE [args]: runs it in the background; installer_status waits (at most
# E2E_END_SECONDS) for its exit status, 124 when it had to be stopped.
start_installer() {
  timeout "$E2E_PROCESS_SECONDS" wine "$@" >"$E2E_TMP/installer.log" 2>&1 &
  E2E_INSTALLER_PID=$!
}
installer_status() {
  local deadline=$((SECONDS + E2E_END_SECONDS)) status
  while kill -0 "$E2E_INSTALLER_PID" 2>/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.2; done
  if kill -0 "$E2E_INSTALLER_PID" 2>/dev/null; then
    echo "    the installer did not end within $E2E_END_SECONDS s; windows open: $(drive list | tr -d '\r' | tr '\n' ';')" >&2
    screenshot "$E2E_NAME-stuck"
    kill "$E2E_INSTALLER_PID" 2>/dev/null
  fi
  wait "$E2E_INSTALLER_PID"
  status=$?
  E2E_INSTALLER_PID=
  return $status
}

# drive ARGS: runs uidriver.exe with ARGS inside the scenario's prefix.
drive() { timeout "$E2E_PROCESS_SECONDS" wine "$UIDRIVER" "$@" 2>>"$E2E_TMP/driver.log"; }

# control_text CONTROLS ID: the text of control ID in a `drive wait` listing.
# Console output from Win32 ends lines with CR LF.
control_text() { printf '%s\n' "$1" | tr -d '\r' | awk -F'\t' -v id="$2" '$1 == id { sub(/^[^\t]*\t[^\t]*\t/, ""); print; exit }'; }

# expect_equal WHAT GOT WANTED
expect_equal() { [ "$2" = "$3" ] || fail "$1: got [$2], wanted [$3]"; }

# expect_scan_error EXE MESSAGE: the installer shows one error box, "<its path>" MESSAGE, captioned
# TITLE (third argument, default "E2E Test"), and ends with status 0 once the box is answered with OK.
expect_scan_error() {
  local exe=$1 message=$2 title=${3:-E2E Test} controls status=0
  start_installer "$exe"
  controls=$(drive wait "$title" "$E2E_WINDOW_MS") || fail "no message box \"$title\""
  expect_equal "message box text" "$(control_text "$controls" 65535)" "\"$(windows_path "$exe")\" $message"
  screenshot "$(basename "$exe" .exe)"
  drive press "$title" 1
  installer_status || status=$?
  expect_equal "exit status" "$status" 0
  drive gone "$title" 5000 || fail "the box stayed open"
}

screenshot() {
  mkdir -p "$E2E_SHOTS"
  import -window root -display "$DISPLAY" "$E2E_SHOTS/$1.png" 2>/dev/null || fail "screenshot $1 failed"
}

# ---- the run ----

run_scenario() {
  local file=$1 status start
  E2E_NAME=$(basename "$file" .sh)
  start=$SECONDS
  E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/sfx-e2e.XXXXXX")
  (
    export WINEPREFIX="$E2E_TMP/prefix"
    E2E_INSTALLER_PID=
    cleanup() {
      local status=$?
      set +e
      if [ $status -ne 0 ]; then
        # What was on the screen when it failed.
        screenshot "$E2E_NAME-failed"
        local open_windows
        open_windows=$(drive list | tr -d '\r' | tr '\n' ';')
        [ -n "$open_windows" ] && echo "    windows open: $open_windows" >&2
      fi
      [ -n "$E2E_INSTALLER_PID" ] && kill "$E2E_INSTALLER_PID" 2>/dev/null
      timeout 30 wineserver -k 2>/dev/null
      timeout 30 wineserver -w 2>/dev/null
    }
    trap cleanup EXIT
    trap 'exit 130' INT TERM
    wine_env_prefix_copy "$WINEPREFIX" || exit 1
    set -e
    # shellcheck disable=SC1090
    . "$file"
  ) 2>"$E2E_TMP/scenario.log"
  status=$?
  if [ $status -eq 0 ]; then
    echo "PASS $E2E_NAME ($((SECONDS - start)) s)"
    E2E_PASSED=$((E2E_PASSED + 1))
  else
    echo "FAIL $E2E_NAME ($((SECONDS - start)) s)"
    cat "$E2E_TMP/scenario.log"
    sed 's/^/    /' "$E2E_TMP/driver.log" "$E2E_TMP/installer.log" 2>/dev/null | grep -v '^    $' | tail -n 10
    E2E_FAILED=$((E2E_FAILED + 1))
  fi
  rm -rf "$E2E_TMP"
  E2E_TMP=
}

E2E_PASSED=0
E2E_FAILED=0
if [ $# -gt 0 ]; then
  scenarios=()
  for s in "$@"; do scenarios+=("$E2E_ROOT/tests/e2e/scenarios/${s%.sh}.sh"); done
else
  scenarios=("$E2E_ROOT"/tests/e2e/scenarios/*.sh)
fi
for scenario in "${scenarios[@]}"; do
  run_scenario "$scenario"
done
echo "$E2E_PASSED passed, $E2E_FAILED failed"
[ $E2E_FAILED -eq 0 ]
