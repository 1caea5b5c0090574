#!/usr/bin/env bash
# Builds the host tools (mksfx, stub-layout, unit tests) and the Windows stub sfx.exe with its test driver.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
jobs=$(nproc)

cmake -S . -B build/host -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/host -j"$jobs"

cmake -S . -B build/win32 -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DSTUB_LAYOUT_TOOL="$PWD/build/host/stub-layout" >/dev/null
cmake --build build/win32 -j"$jobs"
