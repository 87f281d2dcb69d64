#!/usr/bin/env bash
# Builds Kestrow and starts it under Wine, with the stand-in automation
# server and a demo folder of sample drafts, C:\Kestrow demo drafts.
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
ensure_packages
# Only what it starts: the window comes before the tests and benchmarks are built.
build_windows Kestrow KestrowConsole KestrowStandIn
trap stop_display EXIT
ensure_display
ensure_prefix
# On the prefix's own desktop, at the top of the folder dialog.
demo="$WINEPREFIX/drive_c/users/$(whoami)/Desktop/Kestrow demo drafts"
make_demo_folder "$demo"
log "Demo drafts: Desktop\\Kestrow demo drafts ($demo)"
log "Starting Kestrow on display $DISPLAY (close its window to end)"
wine "$ROOT/build/windows/src/win32/Kestrow.exe"
