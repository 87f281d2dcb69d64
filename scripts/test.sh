#!/usr/bin/env bash
# Builds everything and runs every test: the core's unit tests (also under
# AddressSanitizer and UndefinedBehaviorSanitizer), the fuzzer for a bounded
# time, the tree's shape and the documents' links, the Windows tests under
# Wine on a private Xvfb display, the report's page in a browser, the exports
# in Debian's PDF and DXF readers, the release (scripts/check-release.sh
# --quick), and nights shared by several computers through PostgreSQL and
# MariaDB servers of its own (stopped again at the end, whatever happened).
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/databases.sh"
cd "$ROOT"
ensure_packages

PASSED=0
FAILED=0
RESULTS=()
count_ctest() {  # $1 = stage name, $2 = ctest output file
  local line total failed
  line=$(grep -E "tests passed, [0-9]+ tests? failed out of [0-9]+" "$2" | tail -1 || true)
  if [ -z "$line" ]; then FAILED=$((FAILED + 1)); RESULTS+=("$1: no result"); return; fi
  failed=$(sed -E 's/.*, ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
  PASSED=$((PASSED + total - failed)); FAILED=$((FAILED + failed)); RESULTS+=("$1: $line")
}
count_gtest() {  # $1 = stage name, $2 = gtest output file, $3 = exit code
  local ran failed
  ran=$(grep -E "^\[==========\] [0-9]+ tests? from .* ran" "$2" | tail -1 | sed -E 's/^\[==========\] ([0-9]+) .*/\1/' || true)
  failed=$(grep -E "^\[  FAILED  \] [0-9]+ tests?, listed below" "$2" | sed -E 's/.* ([0-9]+) tests?, .*/\1/' || true)
  if [ -z "$ran" ]; then FAILED=$((FAILED + 1)); RESULTS+=("$1: crashed or did not run (exit $3)"); return; fi
  failed=${failed:-0}
  if [ "$failed" -eq 0 ] && [ "$3" -ne 0 ]; then failed=1; fi
  PASSED=$((PASSED + ran - failed)); FAILED=$((FAILED + failed)); RESULTS+=("$1: $((ran - failed)) of $ran passed")
}

LOGS="$ROOT/build/test-logs"
mkdir -p "$LOGS"

build_native
log "Unit tests"
ctest --preset native >"$LOGS/unit.log" 2>&1 || true
tail -3 "$LOGS/unit.log"
count_ctest "unit tests" "$LOGS/unit.log"

log "Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset native-sanitize >/dev/null
cmake --build --preset native-sanitize -j"$(nproc)" >/dev/null
ctest --preset native-sanitize >"$LOGS/sanitize.log" 2>&1 || true
tail -3 "$LOGS/sanitize.log"
count_ctest "sanitized unit tests" "$LOGS/sanitize.log"

if [ -x "$ROOT/scripts/fuzz.sh" ]; then
  log "Fuzzing the list helpers"
  rc=0
  "$ROOT/scripts/fuzz.sh" "${KESTROW_FUZZ_SECONDS:-60}" >"$LOGS/fuzz.log" 2>&1 || rc=$?
  tail -3 "$LOGS/fuzz.log"
  if [ "$rc" -eq 0 ]; then PASSED=$((PASSED + 1)); RESULTS+=("fuzzer: no failure");
  else FAILED=$((FAILED + 1)); RESULTS+=("fuzzer: FAILED, see $LOGS/fuzz.log"); fi
fi

log "Layering: the core includes no Windows header, every include points down, no folder holds over 16 units"
if bash "$ROOT/scripts/check-layers.sh" >"$LOGS/layers.log" 2>&1; then
  PASSED=$((PASSED + 1)); RESULTS+=("layering: every include points down, no folder over 16 units")
else
  FAILED=$((FAILED + 1)); RESULTS+=("layering: FAILED, see $LOGS/layers.log"); cat "$LOGS/layers.log"
fi

log "Links: every link of the README and the user guide resolves"
if bash "$ROOT/scripts/check-links.sh" >"$LOGS/links.log" 2>&1; then
  PASSED=$((PASSED + 1)); RESULTS+=("$(tail -1 "$LOGS/links.log")")
else
  FAILED=$((FAILED + 1)); RESULTS+=("links: FAILED, see $LOGS/links.log"); cat "$LOGS/links.log"
fi

log "Scripts: an existing Wine prefix is never taken for the project's own"
foreign="$ROOT/build/foreign-prefix"
rm -rf "$foreign"; mkdir -p "$foreign/drive_c/windows"; : >"$foreign/system.reg"
rc=0
said=$(KESTROW_WINEPREFIX="$foreign" bash -c "source '$ROOT/scripts/lib.sh'; ensure_prefix" 2>&1) || rc=$?
if [ "$rc" -ne 0 ] && grep -q "did not create" <<<"$said" && [ ! -e "$foreign/drive_c/windows/kestrow-private-prefix" ]; then
  PASSED=$((PASSED + 1)); RESULTS+=("foreign prefix refused: passed")
else
  FAILED=$((FAILED + 1)); RESULTS+=("foreign prefix refused: FAILED (exit $rc): $said")
fi
rm -rf "$foreign"

build_windows >/dev/null
export KESTROW_FORCE_XVFB=1 KESTROW_UNMANAGED=1
trap 'stop_databases; wineserver -k 2>/dev/null || true; stop_display' EXIT
ensure_display
ensure_prefix
wineserver -p 60 2>/dev/null || true
# A folder of 40,000 drafts for the scale test, made natively: through Wine
# it would take minutes.
scale="$ROOT/build/scale-40000"
if [ "$(find "$scale" -name '*.dft' 2>/dev/null | wc -l)" -ne 40000 ]; then
  rm -rf "$scale"; mkdir -p "$scale"
  (cd "$scale" && seq -f 'Drawing %05g.dft' 0 39999 | xargs -d '\n' touch)
fi
export KESTROW_SCALE_FOLDER="$(winpath "$scale")"
make_tree_fixture "$ROOT/build/tree-fixture"
export KESTROW_TREE_FIXTURE="$(winpath "$ROOT/build/tree-fixture")"
cd "$ROOT/build/windows/tests/windows"

log "Windows tests under Wine at 96 dpi"
set +e
KESTROW_EXPECT_DPI=96 timeout 1800 wine kestrow_windows_tests.exe --gtest_filter='-*AtHighDpi*' 2>&1 | tee "$LOGS/windows.log"
rc=${PIPESTATUS[0]}
set -e
count_gtest "Windows tests" "$LOGS/windows.log" "$rc"

log "Windows tests under Wine at 144 dpi"
set_dpi 144
set +e
KESTROW_EXPECT_DPI=144 timeout 600 wine kestrow_windows_tests.exe --gtest_filter='*AtHighDpi*' 2>&1 | tee "$LOGS/windows-144.log"
rc=${PIPESTATUS[0]}
set -e
set_dpi 96
count_gtest "Windows tests at 144 dpi" "$LOGS/windows-144.log" "$rc"

log "Windows tests with a subfolder that cannot be read"
unreadable="$ROOT/build/unreadable-tree"
make_unreadable_fixture "$unreadable"
set +e
KESTROW_UNREADABLE_TREE="$(winpath "$unreadable")" KESTROW_EXPECT_DPI=96 without_root_file_access \
  "timeout 600 wine kestrow_windows_tests.exe --gtest_filter='*UnreadableSubfolder*'" 2>&1 | tee "$LOGS/windows-unreadable.log"
rc=${PIPESTATUS[0]}
set -e
chmod 755 "$unreadable/Locked"
count_gtest "Windows tests with an unreadable folder" "$LOGS/windows-unreadable.log" "$rc"

log "The report's page in a browser"
if bash "$ROOT/scripts/check-report-page.sh" "$LOGS/report-page.png" >"$LOGS/report-page.log" 2>&1; then
  PASSED=$((PASSED + 1)); RESULTS+=("$(tail -1 "$LOGS/report-page.log")")
else
  FAILED=$((FAILED + 1)); RESULTS+=("report page: FAILED, see $LOGS/report-page.log"); cat "$LOGS/report-page.log"
fi

log "Exports made under Wine, read by Debian's PDF and DXF readers"
if bash "$ROOT/scripts/check-exports.sh" >"$LOGS/exports.log" 2>&1; then
  PASSED=$((PASSED + 1)); RESULTS+=("$(tail -1 "$LOGS/exports.log")")
else
  FAILED=$((FAILED + 1)); RESULTS+=("exports: FAILED, see $LOGS/exports.log"); cat "$LOGS/exports.log"
fi

log "The release: its zip, its signatures, its installer under Wine's msiexec"
if bash "$ROOT/scripts/check-release.sh" --quick >"$LOGS/release.log" 2>&1; then
  PASSED=$((PASSED + 1)); RESULTS+=("$(tail -1 "$LOGS/release.log")")
else
  FAILED=$((FAILED + 1)); RESULTS+=("release: FAILED, see $LOGS/release.log"); cat "$LOGS/release.log"
fi

log "Nights shared by several computers through PostgreSQL and MariaDB"
start_databases
rc=0
bash "$ROOT/scripts/check-queue.sh" >"$LOGS/queue.log" 2>&1 || rc=$?
grep -E "^(  FAIL|queue:)" -A12 "$LOGS/queue.log" | grep -v "^  ok" || true
line=$(grep -E "^queue: [0-9]+ passed, [0-9]+ failed" "$LOGS/queue.log" | tail -1 || true)
if [ -n "$line" ]; then
  PASSED=$((PASSED + $(sed -E 's/^queue: ([0-9]+) passed.*/\1/' <<<"$line")))
  FAILED=$((FAILED + $(sed -E 's/^queue: [0-9]+ passed, ([0-9]+) failed.*/\1/' <<<"$line")))
  RESULTS+=("$line")
else
  FAILED=$((FAILED + 1)); RESULTS+=("queue: did not finish (exit $rc), see $LOGS/queue.log")
fi
stop_databases

cd "$ROOT"
echo
for r in "${RESULTS[@]}"; do echo "  $r"; done
echo "Total: $PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
