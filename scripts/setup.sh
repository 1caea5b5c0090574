#!/usr/bin/env bash
# Installs every Debian package the project needs; quiet, idempotent, and quick when all is present.
set -euo pipefail

packages=(
  cmake g++ make libgtest-dev
  clang libclang-rt-14-dev
  g++-mingw-w64-i686
  wine wine64 wine32:i386
  xvfb xauth imagemagick
  jlha-utils lhasa 7zip
  valgrind
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
echo "setup: installing ${missing[*]}" >&2
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
