#!/usr/bin/env bash
# Makes a release of Kestrow: Kestrow.exe and Kestrow.com built optimised and
# stripped, a zip for those who copy them and a Windows Installer package for
# those who deploy them, all signed when a certificate is given
# (docs/deploying.md).
#
#   scripts/release.sh [--programs <folder>] [--out <folder>]
#
#   --programs <folder>  package the Kestrow.exe and Kestrow.com of a build
#                        already made (the test command's) instead of building
#   --out <folder>       where the release goes (build/dist)
#
# Environment:
#   KESTROW_VERSION           another version than src/core/common/Version.h's,
#                             as M.mm (1.01): a test package of a higher version
#   KESTROW_SIGN_CERTIFICATE  a PKCS#12 file (.pfx) holding the code-signing
#                             certificate, its chain and its key
#   KESTROW_SIGN_PASSWORD     that file's password
#   KESTROW_SIGN_TIMESTAMP    a timestamping server's address (optional): the
#                             signatures then stay valid after the certificate
#                             expires
source "$(dirname "$0")/lib.sh"
cd "$ROOT"

programs=""
out="$ROOT/build/dist"
while [ $# -gt 0 ]; do
  case "$1" in
    --programs) programs="$(cd "$2" && pwd)"; shift 2 ;;
    --out) mkdir -p "$2"; out="$(cd "$2" && pwd)"; shift 2 ;;
    *) echo "scripts/release.sh [--programs <folder>] [--out <folder>]: not $1" >&2; exit 3 ;;
  esac
done

# The version: Version.h's, unless another is given.
if [ -n "${KESTROW_VERSION:-}" ]; then
  [[ "$KESTROW_VERSION" =~ ^([0-9]+)\.([0-9][0-9])$ ]] ||
    { echo "KESTROW_VERSION is M.mm, such as 1.01, not $KESTROW_VERSION" >&2; exit 3; }
  major=$((10#${BASH_REMATCH[1]})); minor=$((10#${BASH_REMATCH[2]}))
else
  major=$(sed -n 's/^#define KESTROW_VERSION_MAJOR \([0-9]*\)$/\1/p' src/core/common/Version.h)
  minor=$(sed -n 's/^#define KESTROW_VERSION_MINOR \([0-9]*\)$/\1/p' src/core/common/Version.h)
fi
version=$(printf '%d.%02d' "$major" "$minor")
msi_version="$major.$minor.0"

# Signing takes both the certificate and its password, or neither.
signing=""
if [ -n "${KESTROW_SIGN_CERTIFICATE:-}" ] || [ -n "${KESTROW_SIGN_PASSWORD+set}" ]; then
  if [ -z "${KESTROW_SIGN_CERTIFICATE:-}" ] || [ -z "${KESTROW_SIGN_PASSWORD+set}" ]; then
    echo "Signing needs both KESTROW_SIGN_CERTIFICATE (the .pfx file) and KESTROW_SIGN_PASSWORD; nothing was made." >&2
    exit 3
  fi
  [ -f "$KESTROW_SIGN_CERTIFICATE" ] ||
    { echo "The certificate $KESTROW_SIGN_CERTIFICATE does not exist; nothing was made." >&2; exit 3; }
  signing=yes
fi
# Signs a file in place. The password reaches osslsigncode through a pipe,
# never on a command line that every process may read.
sign() {
  local signed="$1.signed"
  osslsigncode sign -pkcs12 "$KESTROW_SIGN_CERTIFICATE" -readpass <(printf '%s' "$KESTROW_SIGN_PASSWORD") \
    -n Kestrow -h sha256 ${KESTROW_SIGN_TIMESTAMP:+-ts "$KESTROW_SIGN_TIMESTAMP"} \
    -in "$1" -out "$signed" >/dev/null
  mv "$signed" "$1"
}

ensure_packages
if [ -z "$programs" ]; then
  # A build of its own for each version, optimised for size (CMakeLists.txt).
  build="$ROOT/build/release-$version"
  log "Building Kestrow $version in $build"
  mkdir -p "$build"
  if ! { cmake -S "$ROOT" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-posix.cmake" \
           -DCMAKE_BUILD_TYPE=MinSizeRel -DKESTROW_VERSION="$version" -DKESTROW_BENCH=OFF &&
         cmake --build "$build" -j"$(nproc)" --target Kestrow KestrowConsole; } >"$build/release-build.log" 2>&1; then
    tail -20 "$build/release-build.log" >&2
    echo "The build failed; nothing was made (the whole build's output: $build/release-build.log)." >&2
    exit 4
  fi
  programs="$build/src/win32"
fi
for program in Kestrow.exe Kestrow.com; do
  [ -f "$programs/$program" ] || { echo "$programs holds no $program" >&2; exit 3; }
done

# The release as the zip holds it: the programs stripped of their symbols,
# then every file packaging/files.txt lists.
stage="$out/Kestrow-$version"
rm -rf "$stage"; mkdir -p "$stage"
for program in Kestrow.exe Kestrow.com; do
  x86_64-w64-mingw32-strip -o "$stage/$program" "$programs/$program"
done
while read -r source target; do
  case "$source" in ''|'#'*) continue ;; esac
  [ -f "$ROOT/$source" ] || { echo "packaging/files.txt names $source, which does not exist" >&2; exit 3; }
  mkdir -p "$(dirname "$stage/$target")"
  cp "$ROOT/$source" "$stage/$target"
done <"$ROOT/packaging/files.txt"
if [ -n "$signing" ]; then
  log "Signing Kestrow.exe and Kestrow.com"
  sign "$stage/Kestrow.exe"
  sign "$stage/Kestrow.com"
fi

zip="$out/Kestrow-$version.zip"
rm -f "$zip"
python3 - "$stage" "$zip" <<'PY'
import sys, zipfile
from pathlib import Path
stage, zip_path = Path(sys.argv[1]), sys.argv[2]
with zipfile.ZipFile(zip_path, "w", zipfile.ZIP_DEFLATED) as z:
    for path in sorted(p for p in stage.rglob("*") if p.is_file()):
        z.write(path, path.relative_to(stage).as_posix())
PY

# The installer, made in a folder of its own where its sources are found by
# their relative names.
msi="$out/Kestrow-$version-x64.msi"
work="$out/.msi-$version"
rm -rf "$work" "$msi"; mkdir -p "$work"
ln -s "$stage" "$work/stage"
cp "$ROOT/resources/Kestrow.ico" "$work/"
python3 "$ROOT/packaging/release_files_wxs.py" "$stage" "$work/ReleaseFiles.wxs"
(cd "$work" && wixl -a x64 -D Version="$msi_version" -D VersionText="$version" \
   -o "$msi" "$ROOT/packaging/Kestrow.wxs" ReleaseFiles.wxs)
# The folder on the system PATH, put there at install and taken off at
# removal: "=-*" sets a system variable and removes it with the product, and
# [~] keeps what PATH held before.
printf 'Environment\tName\tValue\tComponent_\ns72\tl255\tL255\ts72\nEnvironment\tEnvironment\nSystemPath\t=-*Path\t[~];[INSTALLDIR]\tPrograms\n' \
  >"$work/Environment.idt"
msibuild "$msi" -i "$work/Environment.idt" \
  -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
  -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)"
[ -n "$signing" ] && sign "$msi"
rm -rf "$work"

size() { stat -c %s "$1" | sed ':a;s/\B[0-9]\{3\}\>/,&/;ta'; }
echo "Kestrow $version (installer version $msi_version) in $out:"
echo "  Kestrow.exe  $(size "$stage/Kestrow.exe") bytes (built: $(size "$programs/Kestrow.exe"))"
echo "  Kestrow.com  $(size "$stage/Kestrow.com") bytes (built: $(size "$programs/Kestrow.com"))"
echo "  $(basename "$zip")  $(size "$zip") bytes"
echo "  $(basename "$msi")  $(size "$msi") bytes"
if [ -n "$signing" ]; then
  echo "Signed: Kestrow.exe, Kestrow.com and the installer, with $(basename "$KESTROW_SIGN_CERTIFICATE")${KESTROW_SIGN_TIMESTAMP:+, timestamped by $KESTROW_SIGN_TIMESTAMP}."
else
  echo "UNSIGNED: no certificate was given (KESTROW_SIGN_CERTIFICATE, KESTROW_SIGN_PASSWORD), so neither the programs nor the installer are signed; Windows will name no publisher for them."
fi
