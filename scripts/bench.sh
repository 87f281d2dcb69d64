#!/usr/bin/env bash
# Runs every benchmark and prints the figures: the core's listing pipeline
# natively (Google Benchmark), then listing, start-up and the batch under
# Wine against their yardsticks.
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
ensure_packages
build_native >/dev/null
log "Listing pipeline in the core (native)"
"$ROOT/build/native/bench/native/kestrow_bench_listing" --benchmark_min_time=0.5
log "Splitting 100,000 paths into shares (native)"
"$ROOT/build/native/bench/native/kestrow_bench_shard" --benchmark_min_time=0.5
log "Resume: the last run out of a log of 100,000 rows (native)"
"$ROOT/build/native/bench/native/kestrow_bench_resume" --benchmark_repetitions=3
log "The report over 4 logs of 100,000 rows (native)"
"$ROOT/build/native/bench/native/kestrow_bench_report" --benchmark_repetitions=3
build_windows >/dev/null
# A tree of 100,000 drafts in 1,000 folders (10 x 100), made natively:
# through Wine it would take many minutes.
tree="$ROOT/build/bench-tree"
if [ "$(find "$tree" -name '*.dft' 2>/dev/null | wc -l)" -ne 100000 ]; then
  log "Making $tree"
  rm -rf "$tree"
  for top in $(seq -w 0 9); do
    for sub in $(seq -w 0 99); do
      mkdir -p "$tree/Project $top/Part $sub"
      (cd "$tree/Project $top/Part $sub" && seq -f 'Drawing %03g.dft' 0 99 | xargs -d '\n' touch)
    done
  done
fi
# Four machines' logs of a night, 100,000 rows each, for /report.
reportLogs="$ROOT/build/bench-report"
if [ ! -s "$reportLogs/ws4.csv" ]; then
  mkdir -p "$reportLogs"
  for i in 1 2 3 4; do "$ROOT/build/native/tools/nightlog/kestrow_nightlog" "$reportLogs/ws$i.csv" "$i" 4 50000 2; done
fi
export KESTROW_REPORT_LOGS="$(winpath "$reportLogs")"
# The same with a dialog row for every draft (33,333 drafts a log: 100,000 rows).
dialogLogs="$ROOT/build/bench-report-dialogs"
if [ ! -s "$dialogLogs/ws4.csv" ]; then
  mkdir -p "$dialogLogs"
  for i in 1 2 3 4; do "$ROOT/build/native/tools/nightlog/kestrow_nightlog" "$dialogLogs/ws$i.csv" "$i" 4 33333 2 dialogs; done
fi
export KESTROW_REPORT_DIALOG_LOGS="$(winpath "$dialogLogs")"
export KESTROW_FORCE_XVFB=1 KESTROW_UNMANAGED=1
trap 'wineserver -k 2>/dev/null || true; stop_display' EXIT
ensure_display
ensure_prefix
log "Under Wine"
cd "$ROOT/build/windows/bench/windows"
wine kestrow_bench.exe "$(winpath "$ROOT/build/windows/src/win32/Kestrow.exe")" \
  "$(winpath "$ROOT/build/windows/bench/windows/kestrow_bench_minimal.exe")" \
  "$(winpath "$ROOT/build/windows/bench/windows/kestrow_bench_minimal_v6.exe")" \
  "$(winpath "$tree")"
log "Nights shared through a database: Kestrow's cost per draft, balance against shares, a dead computer"
bash "$ROOT/scripts/bench-queue.sh"
