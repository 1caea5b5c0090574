#!/usr/bin/env bash
# The main job: builds the stub and mksfx, makes an installer of sample/, runs it under Wine on a virtual
# screen, answers its dialog, and reports what happened: the texts shown, the exit status, the files written.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/build.sh || exit 1
# shellcheck source=scripts/wine-env.sh
source scripts/wine-env.sh
wine_env_up || { echo "demo: Wine could not be set up"; exit 1; }

demo=$root/build/demo
rm -rf "$demo" && mkdir -p "$demo"
title="Tarnwick Demo"
target='C:\TarnwickDemo'
build/host/mksfx build -o "$demo/setup.exe" --title "$title" --install-title "Install the sample into:" \
  --dir "$target" -C sample . || exit 1

export WINEPREFIX=$demo/prefix
wine_env_prefix_copy "$WINEPREFIX" || exit 1
driver=$root/build/win32/uidriver.exe

finish() {
  wineserver -k 2>/dev/null
  wine_env_down
}
trap finish EXIT

echo "== running $demo/setup.exe under Wine (display $DISPLAY)"
wine "$demo/setup.exe" &
installer=$!

if wine "$driver" wait "$title" 240000 >"$demo/dialog.txt"; then
  echo "== the install dialog shows:"
  sed 's/^/   /' "$demo/dialog.txt"
  import -window root -display "$DISPLAY" "$demo/dialog.png" 2>/dev/null && echo "== screenshot: $demo/dialog.png"
  echo "== pressing OK"
  wine "$driver" press "$title" 1 >/dev/null
  # The dialog closes once extraction has run; if it stays, the installer is still waiting: cancel it.
  if ! wine "$driver" gone "$title" 60000 >/dev/null; then
    echo "== the dialog is still open after OK; pressing Cancel"
    wine "$driver" press "$title" 2 >/dev/null
  fi
else
  echo "== no install dialog appeared; windows on screen:"
  wine "$driver" texts "$title" 2>/dev/null
fi

wait "$installer"
status=$?
echo "== exit status: $status"
drive_c=$WINEPREFIX/drive_c
written=$drive_c/TarnwickDemo
if [ -d "$written" ]; then
  echo "== files written under $target:"
  (cd "$written" && find . -mindepth 1 -printf '   %M %8s %TY-%Tm-%Td %TH:%TM  %P\n' | sort -k6)
else
  echo "== no files written under $target"
fi
