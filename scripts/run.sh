#!/usr/bin/env bash
# Builds Kestrow and starts it under Wine, with the stand-in automation
# server and a demo folder of sample drafts on the Wine desktop.
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
ensure_packages
build_windows
trap stop_display EXIT
ensure_display
ensure_prefix
demo="$WINEPREFIX/drive_c/users/$(whoami)/Desktop/Kestrow demo drafts"
[ -d "$(dirname "$demo")" ] || demo="$WINEPREFIX/drive_c/Kestrow demo drafts"
make_demo_folder "$demo"
log "Demo drafts: $demo"
log "Starting Kestrow on display $DISPLAY (close its window to end)"
wine "$ROOT/build/windows/src/win32/Kestrow.exe"
