#!/usr/bin/env bash
# Checks the shape of src/: the core includes no Windows header, every
# include points down, to the same folder or one listed before it below
# (folders on one line are siblings: neither includes the other), and no
# folder holds more than MOST_UNITS units (a unit: a header and its source,
# or either alone), so that a newcomer finds a capability in a folder of its
# own rather than in one that holds everything.
set -euo pipefail
cd "$(dirname "$0")/../src"

CORE_ORDER=("common" "listing" "exports" "server" "batch" "copies" "form unattended" "report schedule" "queue" "check")
WIN32_ORDER=("system resources" "ui" "files automation settings database" "scheduler" "check" "window console" "program")

rank() {  # $1 = folder, rest = the order
  local folder=$1 i=0; shift
  for level in "$@"; do
    for name in $level; do [ "$name" = "$folder" ] && { echo "$i"; return; }; done
    i=$((i + 1))
  done
  echo -1
}

MOST_UNITS=16

faults=0
fault() { echo "$1"; faults=$((faults + 1)); }

check_layer() {  # $1 = core or win32, rest = its order
  local layer=$1; shift
  local order=("$@")
  for dir in "$layer"/*/; do
    local folder; folder=$(basename "$dir")
    local own; own=$(rank "$folder" "${order[@]}")
    [ "$own" -ge 0 ] || { fault "$layer/$folder: a folder the layering does not know"; continue; }
    while IFS=: read -r file _ include; do
      local target=${include#*\"}; target=${target%%\"*}
      case "$target" in */*) ;; *) continue ;; esac
      local to=${target%%/*}
      if [ -d "core/$to" ]; then
        [ "$layer" = win32 ] && continue
        local other; other=$(rank "$to" "${order[@]}")
      elif [ -d "win32/$to" ]; then
        [ "$layer" = core ] && { fault "$file: the core includes the Windows layer ($target)"; continue; }
        local other; other=$(rank "$to" "${order[@]}")
      else
        fault "$file: includes $target, which is in no folder of src"; continue
      fi
      if [ "$to" != "$folder" ] && [ "$other" -ge "$own" ]; then
        fault "$file: includes $target, which is not below $folder"
      fi
    done < <(grep -Hn '^#include "' -r "$dir" || true)
  done
}

check_units() {  # $1 = core or win32
  local dir units
  for dir in "$1"/*/; do
    units=$(find "$dir" -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) -printf '%f\n' |
            sed 's/\.[^.]*$//' | sort -u | wc -l)
    [ "$units" -le "$MOST_UNITS" ] ||
      fault "${dir%/}: $units units, more than the $MOST_UNITS a folder may hold: give a capability a folder of its own"
  done
}

check_layer core "${CORE_ORDER[@]}"
check_layer win32 "${WIN32_ORDER[@]}"
check_units core
check_units win32
# Standard C++ headers have no ".h": anything else in angle brackets is the
# platform's.
while IFS= read -r line; do fault "$line: the core includes a platform header"; done \
  < <(grep -Hn '^#include <[^>]*\.h>' -r core || true)

if [ "$faults" -gt 0 ]; then echo "$faults fault(s) in the shape of src"; exit 1; fi
echo "layering: every include points down, no folder holds more than $MOST_UNITS units"
