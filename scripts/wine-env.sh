#!/usr/bin/env bash
# Prepares Wine for the end-to-end tests: packages, i386 emulation where the kernel lacks it, an Xvfb screen and a template prefix.
#
# Source it, then call `wine_env_up`; it exports DISPLAY, WINE_TEMPLATE and the WINE* settings, and
# `wine_env_down` stops the Xvfb it started. Run directly (`scripts/wine-env.sh`), it prepares
# everything, prints the settings and stops Xvfb again. Every step is idempotent and quick once done.
#
# Why the i386 part exists: some kernels boot with 32-bit emulation disabled, so Wine's i386 loader
# cannot run natively. There binfmt_misc hands i386 programs to qemu-i386. qemu before 8.1 ignores
# MAP_FIXED_NOREPLACE, which sends Wine's address-space reservation into tens of thousands of failing
# probes (two minutes per process start); qemu 10 starts a Wine process in about two seconds, so a
# registered qemu older than 9 is replaced by a newer one (Debian backports has one for bookworm).

WINE_ENV_CACHE=${WINE_ENV_CACHE:-${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/sfx-e2e}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, no desktop menu entries.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
export WINEARCH=win64

wine_env_log() { echo "wine-env: $*" >&2; }

wine_env_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

wine_env_packages() {
  local wanted=(wine wine64 wine32:i386 xvfb xauth imagemagick) missing=() p
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  dpkg --print-foreign-architectures | grep -qx i386 || wine_env_as_root dpkg --add-architecture i386
  wine_env_log "installing ${missing[*]}"
  wine_env_as_root apt-get update -qq >/dev/null
  DEBIAN_FRONTEND=noninteractive wine_env_as_root apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Major version of a qemu binary, 0 when it does not run.
wine_env_qemu_major() {
  "$1" --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9]*\).*/\1/p' | head -n1 | grep . || echo 0
}

# Prints the path of a qemu-i386 that is 9 or newer, fetching one when the system has none.
wine_env_find_qemu() {
  local candidate cached="$WINE_ENV_CACHE/qemu/qemu-i386"
  for candidate in /usr/bin/qemu-i386-static /usr/bin/qemu-i386 "$cached"; do
    [ -x "$candidate" ] && [ "$(wine_env_qemu_major "$candidate")" -ge 9 ] && { echo "$candidate"; return 0; }
  done
  # The distribution's own qemu-user may be new enough (Debian 13 and later).
  if apt-cache policy qemu-user 2>/dev/null | grep -q 'Candidate: 1:\(9\|[1-9][0-9]\)\.'; then
    DEBIAN_FRONTEND=noninteractive wine_env_as_root apt-get install -y -qq --no-install-recommends qemu-user >/dev/null
    [ "$(wine_env_qemu_major /usr/bin/qemu-i386)" -ge 9 ] && { echo /usr/bin/qemu-i386; return 0; }
  fi
  # Otherwise take the static qemu-i386 out of the backports package, without installing it system-wide.
  local codename work
  codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
  work="$WINE_ENV_CACHE/qemu/fetch"
  rm -rf "$work" && mkdir -p "$work/lists/partial" && chmod -R a+rwx "$work"
  # The backports suite lives beside the distribution's own suite, on the mirror the system already uses.
  local mirror
  mirror=$(apt-get indextargets --format '$(REPO_URI) $(RELEASE)' 2>/dev/null |
    awk -v suite="$codename" '$2 == suite { print $1; exit }')
  [ -n "$mirror" ] || return 1
  echo "deb $mirror ${codename}-backports main" > "$work/sources.list"
  local apt_opts=(-o "Dir::Etc::sourcelist=$work/sources.list" -o "Dir::Etc::sourceparts=-"
                  -o "Dir::State::Lists=$work/lists" -o "APT::Get::List-Cleanup=0")
  wine_env_log "fetching qemu-user from ${codename}-backports"
  apt-get "${apt_opts[@]}" update -qq >/dev/null 2>&1 || return 1
  (cd "$work" && apt-get "${apt_opts[@]}" download "qemu-user/${codename}-backports" >/dev/null 2>&1) || return 1
  dpkg-deb --fsys-tarfile "$work"/qemu-user_*.deb | tar -x -C "$work" ./usr/bin/qemu-i386 || return 1
  install -m 755 "$work/usr/bin/qemu-i386" "$cached"
  rm -rf "$work"
  [ "$(wine_env_qemu_major "$cached")" -ge 9 ] && echo "$cached"
}

wine_env_i386() {
  local misc=/proc/sys/fs/binfmt_misc entry qemu interp
  entry="$misc/qemu-i386"
  if [ ! -e "$misc/register" ]; then
    wine_env_as_root mount -t binfmt_misc binfmt_misc "$misc" || return 1
  fi
  if [ ! -e "$entry" ]; then
    # Wine's i386 loader answers --version before it touches a prefix: a cheap probe of native i386.
    /usr/lib/wine/wine --version >/dev/null 2>&1 && return 0
  else
    interp=$(sed -n 's/^interpreter //p' "$entry")
    grep -qx enabled "$entry" && [ "$(wine_env_qemu_major "$interp")" -ge 9 ] && return 0
  fi
  qemu=$(wine_env_find_qemu) || { wine_env_log "no usable qemu-i386 (9 or newer) found"; return 1; }
  [ -e "$entry" ] && { echo -1 | wine_env_as_root tee "$entry" >/dev/null; }
  wine_env_log "registering $qemu for i386 programs"
  # F opens the interpreter now, so it works inside any mount namespace later.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    | wine_env_as_root tee "$misc/register" >/dev/null
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Starts Xvfb on the first free display from 90 up and exports DISPLAY.
wine_env_xvfb() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    WINE_ENV_XVFB_PID=$!
    local waited=0
    until [ -e "/tmp/.X11-unix/X$n" ]; do
      if ! kill -0 "$WINE_ENV_XVFB_PID" 2>/dev/null; then break; fi
      sleep 0.2; waited=$((waited + 1))
      [ $waited -ge 50 ] && break
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null
  done
  wine_env_log "no free display for Xvfb"
  return 1
}

# Builds the template prefix once per Wine version; scenarios take linked copies of it.
wine_env_template() {
  local version stamp
  version=$(wine --version 2>/dev/null)
  WINE_TEMPLATE="$WINE_ENV_CACHE/prefix"
  stamp="$WINE_TEMPLATE/.sfx-e2e-ready"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$version" ]; then
    export WINE_TEMPLATE
    return 0
  fi
  wine_env_log "creating the template prefix ($version)"
  rm -rf "$WINE_TEMPLATE" && mkdir -p "$WINE_ENV_CACHE"
  (
    export WINEPREFIX="$WINE_TEMPLATE"
    timeout 900 wineboot -i &&
    # Xvfb has no window manager: let Wine draw frames and captions itself, so screenshots show them.
    timeout 300 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null &&
    timeout 300 wineserver -w
  ) || { wine_env_log "template prefix failed"; return 1; }
  echo "$version" > "$stamp"
  export WINE_TEMPLATE
}

# Makes a private prefix at $1 from the template: hard links for the read-only bulk (1.3 GB of DLLs),
# real copies of what Wine may rewrite in place (the registry and the .ini files).
wine_env_prefix_copy() {
  local f
  cp -al "$WINE_TEMPLATE" "$1" || return 1
  for f in "$WINE_TEMPLATE"/*.reg "$WINE_TEMPLATE"/drive_c/windows/*.ini; do
    [ -f "$f" ] && { cp --remove-destination "$f" "$1/${f#"$WINE_TEMPLATE"/}" || return 1; }
  done
  return 0
}

wine_env_up() {
  mkdir -p "$WINE_ENV_CACHE" &&
  wine_env_packages &&
  wine_env_i386 &&
  wine_env_xvfb &&
  wine_env_template
}

wine_env_down() {
  if [ -n "${WINE_ENV_XVFB_PID:-}" ]; then
    kill "$WINE_ENV_XVFB_PID" 2>/dev/null
    wait "$WINE_ENV_XVFB_PID" 2>/dev/null
    WINE_ENV_XVFB_PID=
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  set -u
  wine_env_up || exit 1
  echo "DISPLAY=$DISPLAY WINE_TEMPLATE=$WINE_TEMPLATE"
  wine_env_down
fi
