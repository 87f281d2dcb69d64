# Shared helpers of the project's scripts. Source it; it sets ROOT.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${KESTROW_WINEPREFIX:-$ROOT/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEARCH=win64
# No Mono or Gecko installers: the project needs neither, and they cannot be
# fetched here.
export WINEDLLOVERRIDES="mscoree,mshtml="

PACKAGES=(cmake g++ make googletest libgtest-dev libbenchmark-dev clang libclang-rt-dev
          mingw-w64 mingw-w64-tools libwine-dev wine wine64 xvfb imagemagick xdotool libcap2-bin
          chromium poppler-utils python3-ezdxf msitools wixl osslsigncode openssl
          postgresql mariadb-server unixodbc odbc-postgresql odbc-mariadb)

log() { printf '\033[1m== %s\033[0m\n' "$*" >&2; }

# Installs whatever of PACKAGES is missing; does nothing when all are there.
ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "Installing ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Builds the Windows side: everything, or only the targets named.
build_windows() {
  cmake --preset windows >/dev/null
  if [ $# -gt 0 ]; then
    log "Building $*"
    cmake --build --preset windows -j"$(nproc)" --target "$@"
  else
    log "Building Kestrow.exe, the stand-in server and the Windows tests"
    cmake --build --preset windows -j"$(nproc)"
  fi
}

build_native() {
  log "Building the portable core and its unit tests"
  cmake --preset native >/dev/null
  cmake --build --preset native -j"$(nproc)"
}

XVFB_PID=""
# Gives the Windows programs a display: the user's own when there is one,
# otherwise a private Xvfb on the first free display number.
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${KESTROW_FORCE_XVFB:-}" ]; then return 0; fi
  local n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  # Wine processes of this prefix still tied to an earlier display would
  # keep its size and windows; start afresh on the new one.
  wineserver -k 2>/dev/null || true
  Xvfb ":$n" -screen 0 "${KESTROW_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
  echo "Xvfb did not start on :$n" >&2
  return 1
}

stop_display() {
  if [ -n "$XVFB_PID" ]; then
    wineserver -k 2>/dev/null || true
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

# Creates the project's private Wine prefix once, and registers the stand-in
# automation server in it (again, which is harmless, on every call).
ensure_prefix() {
  # The stand-in registers itself only where this marker says that the
  # prefix is the project's own, never in a real Windows installation nor
  # in somebody's existing prefix: only a prefix made here gets it.
  local marker="$WINEPREFIX/drive_c/windows/kestrow-private-prefix"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "Creating the private Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    touch "$marker"
  elif [ ! -f "$marker" ]; then
    echo "$WINEPREFIX is a Wine prefix that these scripts did not create, so the stand-in server is not" \
         "registered there. Point KESTROW_WINEPREFIX at a folder that does not exist yet (the scripts then" \
         "make a prefix of their own in it), or unset it to use build/wineprefix." >&2
    return 1
  fi
  set_dpi "${KESTROW_DPI:-96}"
  # Wine draws the window frames itself, so they look the same with or
  # without a window manager (Xvfb has none).
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
  # Tests and benchmarks run on a private Xvfb with no window manager, for
  # which Wine would wait two seconds each time a window is hidden; there
  # the windows are left unmanaged. (Unmanaged windows never look active,
  # so run.sh keeps the default.)
  local managed=Y
  [ -n "${KESTROW_UNMANAGED:-}" ] && managed=N
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f >/dev/null 2>&1
  # Wine links the prefix's Desktop to the user's home; this prefix keeps a
  # desktop folder of its own, so that nothing is written outside it.
  # The caption buttons' glyphs come from Marlett, which Wine finds only
  # in the prefix's font folder.
  local font
  for font in /usr/share/wine/fonts/marlett.ttf; do
    [ -f "$font" ] && [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/$(basename "$font")" ] &&
      cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  local desktop="$WINEPREFIX/drive_c/users/$(whoami)/Desktop"
  if [ -L "$desktop" ]; then rm -f "$desktop"; mkdir -p "$desktop"; fi
  local server="$ROOT/build/windows/tools/standin/KestrowStandIn.exe"
  local rc=0
  wine "$server" /RegServer >/dev/null 2>&1 || rc=$?
  case "$rc" in
    0) ;;
    3) echo "SolidEdge.Application or one of its interfaces belongs to another server in $WINEPREFIX;" \
            "the stand-in was not registered, and nothing here will run against that server." >&2
       return 1 ;;
    *) echo "Registering the stand-in server in $WINEPREFIX failed ($rc)" >&2
       return 1 ;;
  esac
}

# The system DPI Wine reports, from the prefix's LogPixels value.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}

# A folder of sample drafts for trying Kestrow out: $1 is the folder.
make_demo_folder() {
  local dir="$1"
  mkdir -p "$dir"
  local name
  for name in "Bracket #2" "Base plate" "Shaft" "Housing cover" "Pump assembly"; do
    [ -f "$dir/$name.dft" ] && continue
    printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\nview Top stale\r\nview Right stale\r\n' >"$dir/$name.dft"
  done
  [ -f "$dir/Broken drawing.dft" ] ||
    printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\nfault update\r\n' >"$dir/Broken drawing.dft"
  [ -f "$dir/Readme.txt" ] || cat >"$dir/Readme.txt" <<'TXT'
Sample drafts for trying Kestrow with its stand-in automation server.
Each .dft file is a small text file: after an Update, every "view" line
reads "current" and the "stored" count has gone up by one.
"Broken drawing.dft" fails on purpose, to show the failure box.
TXT
}

# The Windows form of a Linux path, through Wine's Z: drive.
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's#/#\\#g')"; }

# A folder tree for the listing tests, made natively because links cannot
# be made from inside Wine: $1 is the folder, made afresh. It holds a link
# back to its top (a loop) and one to a folder outside it, each with a
# draft that must never be listed; the tests add the rest.
make_tree_fixture() {
  local tree="$1"
  rm -rf "$tree" "$tree-outside"
  mkdir -p "$tree/A" "$tree-outside"
  printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\n' >"$tree-outside/outside.dft"
  ln -s .. "$tree/A/loop"
  ln -s "$tree-outside" "$tree/outside"
}

# A tree with a subfolder that cannot be read ("Locked", mode 000), for the
# tests of a walk that meets one: $1 is the folder, made afresh.
make_unreadable_fixture() {
  local tree="$1" draft
  [ -d "$tree/Locked" ] && chmod 755 "$tree/Locked"
  rm -rf "$tree"
  mkdir -p "$tree/A" "$tree/Locked"
  for draft in "$tree/top.dft" "$tree/A/a.dft" "$tree/Locked/l.dft"; do
    printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\n' >"$draft"
  done
  chmod 000 "$tree/Locked"
}

# Runs a command of Wine programs in this prefix without the powers by which
# root reads and writes every file whatever its mode: the wineserver opens
# the files, so the prefix's wineserver is ended first and the one the
# command starts lacks them too. It is ended again afterwards.
without_root_file_access() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  local rc=0
  if [ "$(id -u)" -eq 0 ]; then
    capsh --drop=cap_dac_override,cap_dac_read_search -- -c "$1" || rc=$?
  else
    bash -c "$1" || rc=$?
  fi
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  return "$rc"
}
