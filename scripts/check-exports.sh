#!/usr/bin/env bash
# The exports as other programs read them: Kestrow.com updates two drafts
# under Wine with /export pdf,dxf,dwg against the stand-in, then Debian's
# own readers open what it made: pdfinfo and pdftotext (poppler-utils) the
# PDFs, ezdxf the DXFs, and each DWG must start with its version mark. Run
# by test.sh, with the display and the prefix ready.
source "$(dirname "$0")/lib.sh"
night="$ROOT/build/export-check"
rm -rf "$night"; mkdir -p "$night/Drafts/Sub dir"
for draft in "$night/Drafts/Bracket.dft" "$night/Drafts/Sub dir/Base plate.dft"; do
  printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\nview Top stale\r\n' >"$draft"
done
rc=0
wine "$ROOT/build/windows/src/win32/Kestrow.com" /update "$(winpath "$night/Drafts")" /subfolders \
  /export pdf,dxf,dwg /exportto "$(winpath "$night/Out")" >"$night/run.txt" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || { echo "exports: Kestrow's exit code $rc, not 0"; cat "$night/run.txt"; exit 1; }
faults=0
fault() { echo "exports: $1"; faults=$((faults + 1)); }
for stem in "Bracket" "Sub dir/Base plate"; do
  pdf="$night/Out/$stem.pdf"
  pages=$(pdfinfo "$pdf" 2>/dev/null | sed -nE 's/^Pages: +([0-9]+)/\1/p')
  [ "$pages" = 1 ] || fault "pdfinfo does not read $pdf as one page: $(pdfinfo "$pdf" 2>&1 | head -3)"
  [ -z "$(pdfinfo "$pdf" 2>&1 >/dev/null)" ] || fault "pdfinfo finds faults in $pdf: $(pdfinfo "$pdf" 2>&1 >/dev/null)"
  pdftotext "$pdf" - 2>/dev/null | grep -q "View Top: current" || fault "$pdf does not name its updated views"
  pdfinfo "$pdf" 2>/dev/null | grep -q "^Title: .*$(basename "$stem").dft" || fault "$pdf does not name its draft"
  /usr/bin/python3 - "$night/Out/$stem.dxf" "$(basename "$stem").dft" <<'PY' || fault "ezdxf does not read $night/Out/$stem.dxf"
import sys, ezdxf
texts = [e.dxf.text for e in ezdxf.readfile(sys.argv[1]).modelspace().query("TEXT")]
sys.exit(0 if any(t.endswith(sys.argv[2]) for t in texts) and "View Front: current" in texts else 1)
PY
  [ "$(head -c 4 "$night/Out/$stem.dwg")" = "AC10" ] || fault "$night/Out/$stem.dwg has no DWG version mark"
done
[ -z "$(find "$night" -name '*.kestrow-*')" ] || fault "a temporary file was left: $(find "$night" -name '*.kestrow-*')"
[ "$faults" -eq 0 ] && echo "exports: 2 PDFs read by pdfinfo (1 page each), 2 DXFs by ezdxf, 2 DWGs marked, made under Wine"
[ "$faults" -eq 0 ]
