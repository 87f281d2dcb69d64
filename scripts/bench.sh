#!/usr/bin/env bash
# Runs every benchmark and prints the figures: the core's listing pipeline
# natively (Google Benchmark), then Browse, start-up and the batch under
# Wine against their yardsticks.
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
ensure_packages
build_native >/dev/null
log "Listing pipeline in the core (native)"
"$ROOT/build/native/bench/native/kestrow_bench_listing" --benchmark_min_time=0.5
build_windows >/dev/null
export KESTROW_FORCE_XVFB=1 KESTROW_UNMANAGED=1
trap 'wineserver -k 2>/dev/null || true; stop_display' EXIT
ensure_display
ensure_prefix
log "Under Wine"
cd "$ROOT/build/windows/bench/windows"
wine kestrow_bench.exe "$(winpath "$ROOT/build/windows/src/win32/Kestrow.exe")" \
  "$(winpath "$ROOT/build/windows/bench/windows/kestrow_bench_minimal.exe")" \
  "$(winpath "$ROOT/build/windows/bench/windows/kestrow_bench_minimal_v6.exe")"
