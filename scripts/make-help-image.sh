#!/usr/bin/env bash
# Draws resources/help.bmp again with the help page generator, under Wine.
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
ensure_packages
build_windows >/dev/null
trap stop_display EXIT
KESTROW_FORCE_XVFB=1 ensure_display
[ -f "$WINEPREFIX/system.reg" ] || ensure_prefix
wine "$ROOT/build/windows/tools/helpgen/helpgen.exe" "$(winpath "$ROOT/resources/help.bmp")"
log "Wrote resources/help.bmp"
