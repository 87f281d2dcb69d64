#!/usr/bin/env bash
# The report's page in a real browser: Kestrow.com writes it under Wine from
# two machines' logs of a made-up night (one run cut short), headless
# Chromium renders it, and its document must show the totals Kestrow
# printed and the first failed draft. The screenshot is left in $1 for a
# person to look at. Run by test.sh, with the display and the prefix ready.
source "$(dirname "$0")/lib.sh"
shot="${1:-$ROOT/build/test-logs/report-page.png}"
night="$ROOT/build/report-night"
rm -rf "$night"; mkdir -p "$night"
"$ROOT/build/native/tools/nightlog/kestrow_nightlog" "$night/ws1.csv" 1 2 300 2
"$ROOT/build/native/tools/nightlog/kestrow_nightlog" "$night/ws2.csv" 2 2 300 2 cut
cd "$night"
rc=0
wine "$ROOT/build/windows/src/win32/Kestrow.com" /report ws1.csv ws2.csv /html night.html >report.txt 2>&1 || rc=$?
# A night with failures and a run cut short: exit code 1.
[ "$rc" -eq 1 ] || { echo "report: exit code $rc, not 1"; cat report.txt; exit 1; }
stored=$(sed -nE 's/^In total: stored ([0-9,]+), failed ([0-9,]+),.*/\1/p' report.txt | tr -d '\r')
failed=$(sed -nE 's/^In total: stored ([0-9,]+), failed ([0-9,]+),.*/\2/p' report.txt | tr -d '\r')
first=$(grep -A2 '^Failed, by error' report.txt | sed -n '3p' | sed -E 's/^ +//; s/  \(.*//' | tr -d '\r')
# Each call with a new empty profile of its own, inside the folder made here.
profiles=0
browser() {
  profiles=$((profiles + 1))
  timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$night/profile-$profiles" --hide-scrollbars --window-size=1100,1200 "$@" 2>/dev/null
}
browser --dump-dom "file://$night/night.html" >dom.html
browser --screenshot="$shot" "file://$night/night.html" >/dev/null
faults=0
for wanted in "<b>$stored</b><span>stored</span>" "<b>$failed</b><span>failed</span>" "$first" "<svg"; do
  grep -qF -- "$wanted" dom.html || { echo "the rendered page lacks: $wanted"; faults=$((faults + 1)); }
done
[ -n "$stored" ] && [ -n "$first" ] || { echo "the report printed no totals or no failure"; faults=$((faults + 1)); }
[ -s "$shot" ] || { echo "no screenshot"; faults=$((faults + 1)); }
[ "$faults" -eq 0 ] && echo "report page: renders with $stored stored, $failed failed and $first; screenshot $shot"
[ "$faults" -eq 0 ]
