#!/usr/bin/env bash
# Checks what scripts/release.sh makes, as a department's IT would meet it:
# the zip's files, the signatures, and the installer in a fresh Wine prefix
# (a computer with no Kestrow): installed silently, Kestrow run by name from
# a new console, upgraded by a package of a higher version to one entry, and
# removed leaving nothing of Kestrow behind.
#
#   scripts/check-release.sh           builds the release at Version.h's version
#                                      and at the next, as a release is built
#   scripts/check-release.sh --quick   packages the test command's own build at
#                                      both versions instead (no build; the test
#                                      command runs this)
#
# Its last line is "Release: N passed, M failed".
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
quick=""
[ "${1:-}" = "--quick" ] && quick=yes

work="$ROOT/build/release-check"
rm -rf "$work"; mkdir -p "$work"
passed=0; failed=0
check() {  # $1 = what was checked; the rest, a command that must succeed
  local what="$1"; shift
  if "$@" >"$work/last.log" 2>&1; then
    passed=$((passed + 1)); echo "ok      $what"
  else
    failed=$((failed + 1)); echo "FAILED  $what"; sed 's/^/        /' "$work/last.log" | tail -20
  fi
}

major=$(sed -n 's/^#define KESTROW_VERSION_MAJOR \([0-9]*\)$/\1/p' src/core/common/Version.h)
minor=$(sed -n 's/^#define KESTROW_VERSION_MINOR \([0-9]*\)$/\1/p' src/core/common/Version.h)
old=$(printf '%d.%02d' "$major" "$minor")
new=$(printf '%d.%02d' "$major" $((minor + 1)))
programs=()
[ -n "$quick" ] && programs=(--programs "$ROOT/build/windows/src/win32")

# --- The release as made: unsigned, signed, and a higher version ---------
# Makes a release, or ends the check: nothing after it can be checked.
release() {  # $1 = output folder; then the release script's environment
  local out="$1"; shift
  env "$@" bash "$ROOT/scripts/release.sh" "${programs[@]}" --out "$out" >"$out.log" 2>&1 && return 0
  tail -20 "$out.log"
  echo "FAILED  scripts/release.sh ${programs[*]} --out $out with $*"
  echo "Release: $passed passed, $((failed + 1)) failed"
  exit 1
}
release "$work/unsigned" -u KESTROW_SIGN_CERTIFICATE -u KESTROW_SIGN_PASSWORD KESTROW_VERSION="$old"
cat "$work/unsigned.log"
stage="$work/unsigned/Kestrow-$old"

says_unsigned() { grep -q "^UNSIGNED: " "$work/unsigned.log" && ! osslsigncode verify -in "$stage/Kestrow.exe"; }
check "an unsigned release says so, and its programs carry no signature" says_unsigned

zip_holds_the_release() {
  local expected listed
  expected=$( { printf 'Kestrow.exe\nKestrow.com\n'; sed -e '/^#/d' -e '/^$/d' packaging/files.txt | awk '{print $2}'; } | sort)
  listed=$(python3 -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' \
             "$work/unsigned/Kestrow-$old.zip" | sort)
  diff <(echo "$expected") <(echo "$listed")
}
check "the zip holds the programs and every file packaging/files.txt lists" zip_holds_the_release

stripped() {
  local program
  for program in Kestrow.exe Kestrow.com; do
    ! x86_64-w64-mingw32-objdump -h "$stage/$program" | grep '\.debug_' || { echo "$program has debug sections"; return 1; }
  done
}
check "the programs carry no debug sections" stripped

half_given_is_refused() {
  local rc=0
  env -u KESTROW_SIGN_CERTIFICATE KESTROW_SIGN_PASSWORD=secret bash "$ROOT/scripts/release.sh" "${programs[@]}" \
    --out "$work/half" >"$work/half.log" 2>&1 || rc=$?
  cat "$work/half.log"
  [ "$rc" -eq 3 ] && [ ! -e "$work/half/Kestrow-$old.zip" ] && grep -q "needs both" "$work/half.log"
}
check "a password without a certificate is refused before anything is made" half_given_is_refused

# A throwaway code-signing certificate, its own root.
password="throwaway-$$-$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kestrow release check" \
  -addext "extendedKeyUsage=codeSigning" -keyout "$work/signer.key" -out "$work/signer.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.pem" -out "$work/signer.pfx" \
  -passout "pass:$password"
release "$work/signed" KESTROW_SIGN_CERTIFICATE="$work/signer.pfx" KESTROW_SIGN_PASSWORD="$password" KESTROW_VERSION="$old"
signatures_verify() {
  local file
  for file in "$work/signed/Kestrow-$old/Kestrow.exe" "$work/signed/Kestrow-$old/Kestrow.com" \
              "$work/signed/Kestrow-$old-x64.msi"; do
    osslsigncode verify -CAfile "$work/signer.pem" -in "$file" | grep "Signature verification: ok" ||
      { echo "$(basename "$file") does not verify"; return 1; }
  done
  grep -q "^Signed: " "$work/signed.log" && ! grep -q "$password" "$work/signed.log"
}
check "a release signed with a throwaway certificate verifies with osslsigncode (programs and installer)" signatures_verify

# The Group Policy template and the .reg example name the same values, the
# program reads each, and every text and box the template refers to exists
# (the Group Policy editor refuses a template otherwise).
policy_files_agree() {
  python3 - "$ROOT/packaging/policy" "$ROOT/src/win32/settings" <<'PY'
import re, sys
from pathlib import Path
import xml.etree.ElementTree as ET
policy, settings = Path(sys.argv[1]), Path(sys.argv[2])
ns = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
admx = ET.parse(policy / "Kestrow.admx").getroot()
adml = ET.parse(policy / "en-US" / "Kestrow.adml").getroot()
strings = {s.get("id") for s in adml.iterfind(".//p:string", ns)}
presentations = {p.get("id"): {e.get("refId") for e in p if e.get("refId")} for p in adml.iterfind(".//p:presentation", ns)}
faults, names = [], set()
for pol in admx.iterfind(".//p:policy", ns):
    for attribute in ("displayName", "explainText"):
        ref = re.fullmatch(r"\$\(string\.(.+)\)", pol.get(attribute, ""))
        if not ref or ref.group(1) not in strings:
            faults.append(f"{pol.get('name')}: {attribute} names no string")
    box = re.fullmatch(r"\$\(presentation\.(.+)\)", pol.get("presentation", ""))
    ids = {e.get("id") for e in pol.find("p:elements", ns)}
    if not box or presentations.get(box.group(1)) != ids:
        faults.append(f"{pol.get('name')}: its presentation does not show its elements {ids}")
    names |= {e.get("valueName") for e in pol.find("p:elements", ns)}
example = (policy / "Kestrow-policy.reg").read_text(encoding="utf-16")
in_example = set(re.findall(r'^"([^"]+)"=', example, re.M))
if in_example != names:
    faults.append(f"the .reg example names {sorted(in_example)}, the template {sorted(names)}")
code = "".join(f.read_text(encoding="utf-8") for f in settings.glob("*.cpp"))
faults += [f"the program reads no value {n}" for n in sorted(names) if f'L"{n}"' not in code]
print("\n".join(faults) or f"{len(names)} values: {', '.join(sorted(names))}")
sys.exit(1 if faults else 0)
PY
}
check "the policy template and the .reg example agree with each other and with the program" policy_files_agree

release "$work/newer" -u KESTROW_SIGN_CERTIFICATE -u KESTROW_SIGN_PASSWORD KESTROW_VERSION="$new"
old_msi="$work/unsigned/Kestrow-$old-x64.msi"
new_msi="$work/newer/Kestrow-$new-x64.msi"

# --- The installer on a computer with no Kestrow --------------------------
export WINEPREFIX="$ROOT/build/msi-prefix"
trap 'wineserver -k 2>/dev/null || true; stop_display' EXIT
ensure_display
rm -rf "$WINEPREFIX"; mkdir -p "$WINEPREFIX"
wineboot -i >"$work/wineboot.log" 2>&1 || true
wineserver -w
wineserver -p 60 2>/dev/null || true
drive_c="$WINEPREFIX/drive_c"
installed="$drive_c/Program Files/Kestrow"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# A Wine program's output, read once it has ended: the prefix's services,
# which its first program starts, would hold a pipe open for as long as
# they run.
wine_said() {
  local rc=0
  wine "$@" >"$work/wine.out" 2>&1 || rc=$?
  tr -d '\r' <"$work/wine.out"
  return "$rc"
}
# The DisplayVersion of each installed program called Kestrow, one a line.
kestrow_entries() {
  wine_said reg query "$uninstall_key" /s | awk '
    /^HKEY/ { if (name == "Kestrow") print version; name = ""; version = "" }
    $1 == "DisplayName" { name = $3 }
    $1 == "DisplayVersion" { version = $3 }
    END { if (name == "Kestrow") print version }'
}
system_path() {
  wine_said reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v Path
}
start_menu_entry() { find "$drive_c" -path '*Start Menu/Programs/Kestrow.lnk' | grep .; }
# Kestrow by name from a new console started elsewhere: cmd finds it only
# through PATH. Prints what it wrote.
kestrow_by_name() { wine_said cmd /c "cd /d C:\\ && Kestrow /?"; }

not_found_before() { ! kestrow_by_name | grep "^Usage:"; }
check "before the install no console finds Kestrow" not_found_before

installs_silently() {
  wine_said msiexec /i "$(winpath "$old_msi")" /qn || return 1
  local file
  for file in Kestrow.exe Kestrow.com README.md policy/Kestrow.admx; do
    [ -f "$installed/$file" ] || { echo "no $file under Program Files\\Kestrow"; return 1; }
  done
  start_menu_entry || { echo "no Start menu entry"; return 1; }
  [ "$(kestrow_entries)" = "$major.$minor.0" ] || { echo "installed programs: $(kestrow_entries)"; return 1; }
}
check "msiexec /i /qn installs $old under Program Files with a Start menu entry and one entry" installs_silently

runs_by_name() {
  local said rc=0
  said=$(kestrow_by_name) || rc=$?
  echo "$said" | head -5
  [ "$rc" -eq 0 ] && grep -q "^Usage:" <<<"$said" && system_path | grep -i 'C:\\Program Files\\Kestrow'
}
check "Kestrow runs by name from a new console (its folder is on the system PATH)" runs_by_name

upgrades_to_one_entry() {
  wine_said msiexec /i "$(winpath "$new_msi")" /qn || return 1
  local entries
  entries=$(kestrow_entries)
  [ "$entries" = "$major.$((minor + 1)).0" ] || { echo "installed programs after the upgrade: $entries"; return 1; }
  cmp "$installed/Kestrow.exe" "$work/newer/Kestrow-$new/Kestrow.exe" || return 1
  # Built at each version (not --quick), the program itself says which.
  [ -n "$quick" ] || strings -el "$installed/Kestrow.exe" | grep -x "$new" ||
    { echo "the installed Kestrow.exe does not say $new"; return 1; }
  [ "$(system_path | grep -oi 'C:\\Program Files\\Kestrow' | wc -l)" -eq 1 ] || { system_path; return 1; }
}
check "a package of $new upgrades it: one entry, $new's files, the folder once on PATH" upgrades_to_one_entry

downgrade_refused() {
  local rc=0
  wine_said msiexec /i "$(winpath "$old_msi")" /qn || rc=$?
  echo "msiexec returned $rc; installed: $(kestrow_entries)"
  [ "$rc" -ne 0 ] && [ "$(kestrow_entries)" = "$major.$((minor + 1)).0" ] &&
    cmp "$installed/Kestrow.exe" "$work/newer/Kestrow-$new/Kestrow.exe"
}
check "the package of $old over $new is refused, and $new stays as it was" downgrade_refused

removes_everything() {
  wine_said msiexec /x "$(winpath "$new_msi")" /qn || return 1
  local left
  left=$(find "$drive_c/Program Files" "$drive_c/Program Files (x86)" -iname '*kestrow*' 2>/dev/null)
  [ -z "$left" ] || { echo "left: $left"; return 1; }
  [ -z "$(kestrow_entries)" ] || { echo "still installed: $(kestrow_entries)"; return 1; }
  ! start_menu_entry || { echo "the Start menu entry is left"; return 1; }
  ! system_path | grep -i kestrow || { system_path; return 1; }
  not_found_before
}
check "msiexec /x /qn removes it: no file under Program Files, no entry, no shortcut, nothing on PATH" removes_everything

example_imports() {
  wine_said reg import "$(winpath "$stage/policy/Kestrow-policy.reg")" || return 1
  local values
  values=$(wine_said reg query 'HKLM\Software\Policies\Kestrow')
  echo "$values"
  grep -q 'Sessions    REG_DWORD    0x2' <<<"$values" &&
    grep -q 'Answers    REG_MULTI_SZ    Missing references=OK\\0\*newer version\*=Yes' <<<"$values"
}
check "the .reg example imports with reg import" example_imports

wineserver -k 2>/dev/null || true
echo "Release: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
