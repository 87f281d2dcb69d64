#!/usr/bin/env bash
# Checks what scripts/release.sh makes as a department's IT meets it: the
# zip, the signatures, the policy files, and the installer in a fresh Wine
# prefix (a computer with no Kestrow): installed silently, run by name from
# a new console, upgraded to one entry, removed leaving nothing behind.
#
#   scripts/check-release.sh           builds the release at Version.h's version and the next
#   scripts/check-release.sh --quick   packages the test command's build at both instead
#
# Its last line is "Release: N passed, M failed".
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
quick=""
[ "${1:-}" = "--quick" ] && quick=yes
work="$ROOT/build/release-check"
rm -rf "$work"; mkdir -p "$work"

passed=0; failed=0
# A check is a function each of whose commands must succeed; `fail` says why not.
check() {  # $1 = what is checked, $2 = the function
  local rc=0
  set +e; (set -e; "$2") >"$work/last.log" 2>&1; rc=$?; set -e
  if [ "$rc" -eq 0 ]; then passed=$((passed + 1)); echo "ok      $1"
  else failed=$((failed + 1)); echo "FAILED  $1"; tail -20 "$work/last.log" | sed 's/^/        /'; fi
}
fail() { echo "$*"; exit 1; }
summary() { echo "Release: $passed passed, $failed failed"; [ "$failed" -eq 0 ]; }

major=$(sed -n 's/^#define KESTROW_VERSION_MAJOR \([0-9]*\)$/\1/p' src/core/common/Version.h)
minor=$(sed -n 's/^#define KESTROW_VERSION_MINOR \([0-9]*\)$/\1/p' src/core/common/Version.h)
old=$(printf '%d.%02d' "$major" "$minor")
new=$(printf '%d.%02d' "$major" $((minor + 1)))
programs=()
[ -n "$quick" ] && programs=(--programs "$ROOT/build/windows/src/win32")

# Makes a release (output folder, then the script's environment), or ends
# the check: nothing after it could be checked.
release() {
  local out="$1"; shift
  env "$@" bash scripts/release.sh "${programs[@]}" --out "$out" >"$out.log" 2>&1 && return 0
  tail -20 "$out.log"; echo "FAILED  scripts/release.sh --out $out with $*"; failed=$((failed + 1)); summary
  exit 1
}
unsigned=(-u KESTROW_SIGN_CERTIFICATE -u KESTROW_SIGN_PASSWORD)
release "$work/unsigned" "${unsigned[@]}" KESTROW_VERSION="$old"
cat "$work/unsigned.log"
stage="$work/unsigned/Kestrow-$old"

the_unsigned_release() {
  grep -q "^UNSIGNED: " "$work/unsigned.log"
  ! osslsigncode verify -in "$stage/Kestrow.exe" || fail "Kestrow.exe carries a signature"
  for program in Kestrow.exe Kestrow.com; do
    ! x86_64-w64-mingw32-objdump -h "$stage/$program" | grep '\.debug_' || fail "$program has debug sections"
  done
  diff <( { printf 'Kestrow.exe\nKestrow.com\n'; sed -e '/^#/d' -e '/^$/d' packaging/files.txt | awk '{print $2}'; } | sort) \
       <(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' \
           "$work/unsigned/Kestrow-$old.zip" | sort)
  local rc=0  # a password without its certificate
  env -u KESTROW_SIGN_CERTIFICATE KESTROW_SIGN_PASSWORD=secret bash scripts/release.sh "${programs[@]}" \
    --out "$work/half" >"$work/half.log" 2>&1 || rc=$?
  [ "$rc" -eq 3 ] && [ ! -e "$work/half/Kestrow-$old.zip" ] && grep -q "needs both" "$work/half.log" ||
    fail "a password alone gave exit $rc: $(cat "$work/half.log")"
}
check "unsigned: says so, no signature, no debug sections, the zip holds what files.txt lists; a password alone is refused" \
  the_unsigned_release

# A throwaway code-signing certificate, its own root.
password="throwaway-$$-$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kestrow release check" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/signer.key" -out "$work/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/signer.pfx" -passout "pass:$password"
release "$work/signed" KESTROW_SIGN_CERTIFICATE="$work/signer.pfx" KESTROW_SIGN_PASSWORD="$password" KESTROW_VERSION="$old"
signatures_verify() {
  for file in "Kestrow-$old/Kestrow.exe" "Kestrow-$old/Kestrow.com" "Kestrow-$old-x64.msi"; do
    osslsigncode verify -CAfile "$work/signer.pem" -in "$work/signed/$file" | grep "Signature verification: ok" ||
      fail "$file does not verify"
  done
  grep -q "^Signed: " "$work/signed.log"
  ! grep "$password" "$work/signed.log" || fail "the password was printed"
}
check "signed with a throwaway certificate: programs and installer verify with osslsigncode" signatures_verify

# The Group Policy editor refuses a template whose texts or boxes are missing.
policy_files_agree() {
  python3 - packaging/policy src/win32/settings <<'PY'
import re, sys
from pathlib import Path
from xml.etree import ElementTree
policy, settings = Path(sys.argv[1]), Path(sys.argv[2])
ns = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
adml = ElementTree.parse(policy / "en-US" / "Kestrow.adml")
strings = {s.get("id") for s in adml.iterfind(".//p:string", ns)}
boxes = {b.get("id"): {e.get("refId") for e in b} for b in adml.iterfind(".//p:presentation", ns)}
faults, names = [], set()
for rule in ElementTree.parse(policy / "Kestrow.admx").iterfind(".//p:policy", ns):
    elements = rule.find("p:elements", ns)
    texts = [rule.get("displayName"), rule.get("explainText")]
    if any(t[len("$(string."):-1] not in strings for t in texts):
        faults.append(f"{rule.get('name')} names a text the language file lacks")
    if boxes.get(rule.get("presentation")[len("$(presentation."):-1]) != {e.get("id") for e in elements}:
        faults.append(f"{rule.get('name')}: its presentation does not show its values")
    names |= {e.get("valueName") for e in elements}
example = set(re.findall(r'^"([^"]+)"=', (policy / "Kestrow-policy.reg").read_text(encoding="utf-16"), re.M))
code = "".join(f.read_text(encoding="utf-8") for f in settings.glob("*.cpp"))
faults += [f".reg example {sorted(example)} != template {sorted(names)}"] if example != names else []
faults += [f"the program reads no value {n}" for n in sorted(names) if f'L"{n}"' not in code]
print("\n".join(faults) or ", ".join(sorted(names)))
sys.exit(bool(faults))
PY
}
check "the policy template, its texts and the .reg example name the same values, which the program reads" policy_files_agree

release "$work/newer" "${unsigned[@]}" KESTROW_VERSION="$new"
old_msi=$(winpath "$work/unsigned/Kestrow-$old-x64.msi")
new_msi=$(winpath "$work/newer/Kestrow-$new-x64.msi")

# --- The installer on a computer with no Kestrow ------------------------
export WINEPREFIX="$ROOT/build/msi-prefix"
trap 'wineserver -k 2>/dev/null || true; stop_display' EXIT
ensure_display
rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX"
wineboot -i >"$work/wineboot.log" 2>&1 || true
wineserver -w
wineserver -p 60 2>/dev/null || true
drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/Kestrow"

# A Wine program's output, read once it has ended: the prefix's services,
# which its first program starts, would hold a pipe open while they run.
wine_said() {
  local rc=0
  wine "$@" >"$work/wine.out" 2>&1 || rc=$?
  tr -d '\r' <"$work/wine.out"
  return "$rc"
}
# The DisplayVersion of each installed program named Kestrow, one a line.
kestrow_entries() {
  wine_said reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | awk '
    /^HKEY/ { if (name == "Kestrow") print version; name = ""; version = "" }
    $1 == "DisplayName" { name = $3 }
    $1 == "DisplayVersion" { version = $3 }
    END { if (name == "Kestrow") print version }'
}
folders_on_path() {
  wine_said reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v Path |
    grep -oi 'C:\\Program Files\\Kestrow' | wc -l
}
start_menu_entries() { find "$drive_c" -path '*Start Menu/Programs/Kestrow.lnk' | wc -l; }
# Kestrow by name from a new console elsewhere: cmd finds it only through PATH.
runs_by_name() { wine_said cmd /c "cd /d C:\\ && Kestrow /?" | grep "^Usage:"; }

installs_silently() {
  ! runs_by_name || fail "a console found Kestrow before the install"
  wine_said msiexec /i "$old_msi" /qn
  for file in Kestrow.exe Kestrow.com README.md policy/Kestrow.admx; do
    [ -f "$installed/$file" ] || fail "no $file under Program Files\\Kestrow"
  done
  [ "$(start_menu_entries)" -eq 1 ] || fail "no Start menu entry"
  [ "$(kestrow_entries)" = "$major.$minor.0" ] || fail "installed programs: $(kestrow_entries)"
  [ "$(folders_on_path)" -eq 1 ] || fail "Program Files\\Kestrow is $(folders_on_path) times on PATH"
  runs_by_name || fail "a new console does not find Kestrow"
}
check "msiexec /i /qn installs $old: Program Files, a Start menu entry, one entry, and Kestrow runs by name from a new console" \
  installs_silently

upgrades_to_one_entry() {
  wine_said msiexec /i "$new_msi" /qn
  [ "$(kestrow_entries)" = "$major.$((minor + 1)).0" ] || fail "installed programs after the upgrade: $(kestrow_entries)"
  cmp "$installed/Kestrow.exe" "$work/newer/Kestrow-$new/Kestrow.exe"
  # Built at each version (not --quick), the program itself says which.
  [ -n "$quick" ] || strings -el "$installed/Kestrow.exe" | grep -x "$new" || fail "Kestrow.exe does not say $new"
  [ "$(folders_on_path)" -eq 1 ] || fail "Program Files\\Kestrow is $(folders_on_path) times on PATH"
  local rc=0
  wine_said msiexec /i "$old_msi" /qn || rc=$?
  [ "$rc" -ne 0 ] && [ "$(kestrow_entries)" = "$major.$((minor + 1)).0" ] || fail "$old over $new: exit $rc, $(kestrow_entries)"
  cmp "$installed/Kestrow.exe" "$work/newer/Kestrow-$new/Kestrow.exe"
}
check "$new upgrades it: one entry, $new's files, the folder once on PATH; $old over $new is then refused" upgrades_to_one_entry

removes_everything() {
  wine_said msiexec /x "$new_msi" /qn
  local left
  left=$(find "$drive_c/Program Files" "$drive_c/Program Files (x86)" -iname '*kestrow*')
  [ -z "$left" ] || fail "left: $left"
  [ -z "$(kestrow_entries)" ] || fail "still installed: $(kestrow_entries)"
  [ "$(start_menu_entries)" -eq 0 ] || fail "the Start menu entry is left"
  [ "$(folders_on_path)" -eq 0 ] || fail "Program Files\\Kestrow is still on PATH"
  ! runs_by_name || fail "a new console still finds Kestrow"
}
check "msiexec /x /qn removes it: no file under Program Files, no entry, no shortcut, nothing on PATH" removes_everything

example_imports() {
  wine_said reg import "$(winpath "$stage/policy/Kestrow-policy.reg")"
  wine_said reg query 'HKLM\Software\Policies\Kestrow' >"$work/policy.txt"
  cat "$work/policy.txt"
  grep -q 'Sessions    REG_DWORD    0x2' "$work/policy.txt"
  grep -q 'Answers    REG_MULTI_SZ    Missing references=OK\\0\*newer version\*=Yes' "$work/policy.txt"
}
check "the .reg example imports with reg import" example_imports

wineserver -k 2>/dev/null || true
summary
