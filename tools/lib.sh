# Shared steps of tools/test and tools/run: building both architectures, the
# private Wine prefix, Xvfb and the persistent wineserver. Sourced, not run.

OV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OV_BUILD="${OV_BUILD:-$OV_ROOT/build}"
OV_CARD_LETTERS="e f g h i j k l"
WINE64_BIN=/usr/lib/wine/wine64
# Code page 932 as on a Japanese Windows; the Linux locale need not exist.
WINE64="env LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 $WINE64_BIN"
WINESERVER=/usr/lib/wine/wineserver64

export WINEPREFIX="$OV_BUILD/wineprefix"
# Wine's own error lines only: a program that Wine ends while it starts
# (a failed mapping of its shared page, say) exits with status 1 and, with
# every channel off, says nothing at all.
export WINEDEBUG=-all,err+all
# No debugger on a crash: a crashing test ends at once instead of hanging.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

# OV_JOBS caps the parallel compile and test jobs (several checkouts building at once).
ov_jobs() { echo "${OV_JOBS:-$(nproc 2>/dev/null || echo 2)}"; }

# ov_configure_build ARCH RUN_TESTS
ov_configure_build() {
  local arch=$1 run_tests=$2 dir="$OV_BUILD/$1"
  # ccache, where present, shares compiled objects between builds and checkouts.
  local launcher=()
  command -v ccache >/dev/null 2>&1 &&
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$OV_ROOT" CCACHE_NOHASHDIR=true
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S "$OV_ROOT" -B "$dir" -G Ninja "${launcher[@]}" \
      -DCMAKE_TOOLCHAIN_FILE="$OV_ROOT/cmake/toolchain-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DOV_RUN_TESTS="$run_tests" >"$OV_BUILD/configure-$arch.log" 2>&1 ||
      { cat "$OV_BUILD/configure-$arch.log"; return 1; }
  fi
  cmake --build "$dir" -- -j"$(ov_jobs)" >"$OV_BUILD/build-$arch.log" 2>&1 ||
    { grep -E "error|FAILED" -A3 "$OV_BUILD/build-$arch.log" | head -60; return 1; }
}

# Builds x86_64 (with tests) and i686 (compile only) side by side.
ov_build_both() {
  mkdir -p "$OV_BUILD"
  ov_configure_build x86_64 ON & local p64=$!
  # OV_SKIP_I686=1 leaves the i686 build out (a quicker loop while working).
  local p32=""
  [ "${OV_SKIP_I686:-0}" = 1 ] || { ov_configure_build i686 OFF & p32=$!; }
  local rc=0
  wait $p64 || { echo "x86_64 build failed"; rc=1; }
  [ -z "$p32" ] || wait $p32 || { echo "i686 build failed"; rc=1; }
  return $rc
}

ov_wine() { $WINE64 "$@"; }

# A removable card drive per letter, each a folder of its own.
ov_card_folder() { echo "$OV_BUILD/cards/$1"; }

# Each card's label and serial files (Wine reads the volume's from them); a
# test that clears a whole card may have taken them away.
ov_card_labels() {
  local l folder
  for l in $OV_CARD_LETTERS; do
    folder="$(ov_card_folder "$l")"
    mkdir -p "$folder"
    [ -f "$folder/.windows-label" ] ||
      printf 'OVCARD_%s\n' "$(echo "$l" | tr a-z A-Z)" >"$folder/.windows-label"
    [ -f "$folder/.windows-serial" ] ||
      printf '%08X\n' "$(( 0x5D000000 + $(printf '%d' "'$l") ))" >"$folder/.windows-serial"
  done
}

# wineboot links the profile's Desktop, Documents, Music and the like to the
# Unix home. The shell's folder picker lists the Desktop, so every picker a
# test opened read the home of whoever ran the tests (thousands of entries on a
# CI runner: seconds per picker). The prefix keeps empty folders of its own.
ov_unlink_profile() {
  local link
  for link in "$WINEPREFIX/drive_c/users/$(id -un)"/*; do
    [ -L "$link" ] || continue
    rm -f "$link" && mkdir -p "$link"
  done
}

# Raised whenever the prefix's settings change, so an older prefix is made
# again.
OV_PREFIX_VERSION=3

ov_prepare_prefix() {
  ov_card_labels
  [ "$(cat "$WINEPREFIX/.ov-ready" 2>/dev/null)" = "$OV_PREFIX_VERSION" ] && return 0
  echo "preparing the Wine prefix in $WINEPREFIX"
  "$WINESERVER" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  $WINE64 wineboot -i </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -w
  ov_unlink_profile
  # The profile's temporary folder is not made by wineboot.
  mkdir -p "$WINEPREFIX/drive_c/users/$(id -un)/Temp"
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -f /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  # UTF-16 with a byte-order mark: the Japanese face names stay intact
  # whatever code page regedit would read a REGEDIT4 file in.
  local reg="$OV_BUILD/prefix.reg"
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for f in "MS UI Gothic" "MS Gothic" "MS PGothic" "Meiryo" "Meiryo UI" "ＭＳ Ｐゴシック"; do
      printf '"%s"="IPAPGothic"\r\n' "$f"
    done
    # The fixed-pitch face keeps a fixed-pitch stand-in.
    printf '"%s"="IPAGothic"\r\n' "ＭＳ ゴシック"
    printf '\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Drives]\r\n'
    for l in $OV_CARD_LETTERS; do printf '"%s:"="floppy"\r\n' "$l"; done
    printf '\r\n'
  } | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; } >"$reg"
  $WINE64 regedit /S "$(winepath_of "$reg")" </dev/null >/dev/null 2>&1
  for l in $OV_CARD_LETTERS; do
    ln -sfn "$(ov_card_folder "$l")" "$WINEPREFIX/dosdevices/$l:"
  done
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  echo "$OV_PREFIX_VERSION" >"$WINEPREFIX/.ov-ready"
}

# A small card for the cases of a card that fills up: a 4 MB tmpfs, mounted
# only where this runs as root and may mount, named to the tests (which link
# a card folder to it) as OV_TEST_SMALL_CARD, a Windows path. Elsewhere those
# cases skip with a message. ov_stop_all unmounts it.
OV_SMALL_CARD=""
ov_mount_small_card() {
  local dir="$OV_BUILD/smallcard"
  [ "$(id -u)" = 0 ] || return 0
  mkdir -p "$dir"
  # One left behind by a run that was killed.
  mountpoint -q "$dir" && { umount "$dir" 2>/dev/null || umount -l "$dir" 2>/dev/null || true; }
  if mount -t tmpfs -o size=4m,mode=0777 ovsmallcard "$dir" 2>/dev/null; then
    OV_SMALL_CARD="$dir"
    OV_TEST_SMALL_CARD="$(winepath_of "$dir")"
    export OV_TEST_SMALL_CARD
  else
    echo "no small tmpfs card (mount refused): its cases skip" >&2
  fi
}

ov_unmount_small_card() {
  [ -n "$OV_SMALL_CARD" ] || return 0
  umount "$OV_SMALL_CARD" 2>/dev/null || umount -l "$OV_SMALL_CARD" 2>/dev/null || true
  OV_SMALL_CARD=""
}

# The prefix has no disk checker: ours stands in (tools/chkdsk). Copied at
# every start, so the prefix always holds the one just built.
ov_install_checker() {
  local built="$OV_BUILD/x86_64/tools/chkdsk/chkdsk.exe"
  [ -f "$built" ] && cp -f "$built" "$WINEPREFIX/drive_c/windows/system32/chkdsk.exe"
  return 0
}

# Z: maps the Linux root, so a Linux path is a Windows path behind "Z:".
winepath_of() { echo "Z:$(echo "$1" | tr / '\\')"; }

OV_XVFB_PID=""
# OV_SCREEN sets the display's size and depth (a bench that needs a larger
# window than the tests' screen holds).
ov_start_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${OV_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
    OV_XVFB_PID=$!
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$OV_XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$OV_XVFB_PID" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

# True while this prefix's desktop process (explorer.exe /desktop) runs.
ov_desktop_running() {
  local pid
  for pid in $(pgrep -f 'explorer.exe /desktop' 2>/dev/null); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" && return 0
  done
  return 1
}

ov_start_wine() {
  "$WINESERVER" -k 2>/dev/null || true
  "$WINESERVER" -w 2>/dev/null || true
  "$WINESERVER" -p
  # The desktop process (explorer.exe /desktop) ends a moment after the last
  # program that used it, and the next program with a window starts it again,
  # handing it its own output pipe: ctest then waits for that pipe until the
  # case (or the listing of a program's cases) times out, long after it
  # ended. A program that lives as long as the server, with no pipe of
  # ctest's, starts the desktop first and keeps it; nothing else starts
  # before the desktop runs.
  $WINE64 cmd /c ping -n 1000000 127.0.0.1 </dev/null >/dev/null 2>&1 &
  local waited=0
  until ov_desktop_running; do
    if [ "$waited" -ge 600 ]; then
      echo "the Wine desktop did not start within 60 s; going on" >&2
      break
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  # Background services inherit the first process's pipes: start them here.
  $WINE64 wineboot </dev/null >/dev/null 2>&1 || true
}

# The stand-in service (tools/standin) on free ports of 127.0.0.1; its ports
# are exported as OV_STANDIN_HTTP, OV_STANDIN_HTTPS and OV_STANDIN_UNTRUSTED,
# which Wine passes on to the programs. It also ends when this shell has gone.
OV_STANDIN_PID=""
ov_start_standin() {
  local state="$OV_BUILD/standin"
  local ports="$state/ports.$$"
  mkdir -p "$state"
  rm -f "$ports"
  python3 "$OV_ROOT/tools/standin/standin.py" --state "$state" --ports-file "$ports" \
    --parent-pid $$ </dev/null >"$state/standin.log" 2>&1 &
  OV_STANDIN_PID=$!
  for _ in $(seq 1 300); do
    [ -s "$ports" ] && break
    kill -0 "$OV_STANDIN_PID" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$ports" ]; then
    echo "the stand-in service did not start:" >&2
    cat "$state/standin.log" >&2
    return 1
  fi
  set -a
  source "$ports"
  set +a
  rm -f "$ports"
}

# Makes the stand-in's test CA trusted in the prefix (needs the x86_64 build
# and a running wineserver); adding it again changes nothing.
ov_trust_standin_ca() {
  local der="$OV_BUILD/standin/certs/ca.der"
  $WINE64 "$OV_BUILD/x86_64/tools/standin/OvAddRootCert.exe" "$(winepath_of "$der")" </dev/null
}

ov_stop_standin() {
  if [ -n "$OV_STANDIN_PID" ]; then
    kill "$OV_STANDIN_PID" 2>/dev/null || true
    wait "$OV_STANDIN_PID" 2>/dev/null || true
    OV_STANDIN_PID=""
  fi
}

ov_stop_all() {
  ov_stop_standin
  "$WINESERVER" -k 2>/dev/null || true
  ov_unmount_small_card
  if [ -n "$OV_XVFB_PID" ]; then
    kill "$OV_XVFB_PID" 2>/dev/null || true
    wait "$OV_XVFB_PID" 2>/dev/null || true
    OV_XVFB_PID=""
  fi
}

# One command at a time on the build and its Wine prefix: each command begins
# with `wineserver -k` and rebuilds programs that another may be running.
# Called first thing as `ov_lock_prefix "$0" "$@"`: the script starts again
# under flock(1), which holds the lock beside the prefix while the script
# runs and keeps it from the script's children, so that no Wine server left
# behind holds it. The holder writes its name into the lock file for the
# next one to show.
ov_lock_prefix() {
  local lock="$WINEPREFIX.lock" me="${1#"$OV_ROOT"/}" busy=75 rc=0
  if [ "${OV_PREFIX_LOCK:-}" = "$lock" ]; then
    printf '%s (pid %d) since %s\n%s\n' "$me" "$$" "$(date +%H:%M:%S)" "$OV_PREFIX_TOKEN" >"$lock"
    return 0
  fi
  mkdir -p "$OV_BUILD"
  touch "$lock"
  export OV_PREFIX_LOCK="$lock" OV_PREFIX_TOKEN="$$.$RANDOM"
  flock -n -E $busy -o "$lock" "$@" || rc=$?
  # The script itself may have ended with the same status: then it ran.
  if [ $rc -ne $busy ] || grep -qx "$OV_PREFIX_TOKEN" "$lock"; then exit $rc; fi
  echo "$me: waiting for the Wine prefix ${WINEPREFIX#"$OV_ROOT"/}, held by $(head -1 "$lock" || true); going on when that ends" >&2
  exec flock -o "$lock" "$@"
}
