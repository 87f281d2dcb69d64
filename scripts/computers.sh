# Computers for the shared nights' tests and benchmarks: each a Kestrow in a
# Wine prefix of its own (a hard-linked copy of the project's: its own
# wineserver, registry and data folder) started in a UTS namespace of its
# own under its own host name, which Windows takes for the computer's name.
# Processes of one prefix share one wineserver and so one computer name (the
# first process's host name): measured, so every computer gets a prefix.
# Source after lib.sh; WORK names the folder that holds the computers.

# A computer: a prefix of its own, hard-linked from the project's (what Wine
# rewrites, it writes afresh; the registry and the server's files are copied).
make_computer() {
  local prefix="$WORK/computers/$1"
  cp -al "$WINEPREFIX" "$prefix"
  local file
  for file in system.reg user.reg userdef.reg wineserver .update-timestamp; do
    [ -e "$WINEPREFIX/$file" ] && { rm -f "$prefix/$file"; cp -p "$WINEPREFIX/$file" "$prefix/$file"; }
  done
}
UNSHARE=(unshare -u)
[ "$(id -u)" -eq 0 ] || UNSHARE=(unshare -U -r -u)
# Runs Kestrow on computer $1 with the rest as its arguments: its output in
# $WORK/<computer>.out (appended), its exit code returned.
on() {
  local computer=$1; shift
  "${UNSHARE[@]}" bash -c 'hostname "$0" && WINEPREFIX="$1" exec wine "$2" "${@:3}"' \
    "$computer" "$WORK/computers/$computer" "$KESTROW" "$@" >>"$WORK/$computer.out" 2>&1
}
# The same in the background; its process id in BG_PID.
on_bg() {
  local computer=$1; shift
  "${UNSHARE[@]}" bash -c 'hostname "$0" && WINEPREFIX="$1" exec wine "$2" "${@:3}"' \
    "$computer" "$WORK/computers/$computer" "$KESTROW" "$@" >>"$WORK/$computer.out" 2>&1 &
  BG_PID=$!
}
# A power cut: Kestrow, its CAD sessions and everything else of that computer.
kill_computer() {
  disown "$1" 2>/dev/null  # its end is no news
  kill -KILL "$1" 2>/dev/null
  WINEPREFIX="$WORK/computers/$2" wineserver -k 9 2>/dev/null
}

