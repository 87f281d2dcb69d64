#!/usr/bin/env bash
# Fuzzes the list helpers for a bounded time: $1 seconds (default 60).
source "$(dirname "$0")/lib.sh"
cd "$ROOT"
seconds="${1:-60}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null
corpus="$ROOT/build/fuzz/corpus"
mkdir -p "$corpus"
"$ROOT/build/fuzz/tests/fuzz/kestrow_fuzz_list" -max_total_time="$seconds" -max_len=256 -print_final_stats=1 \
  -artifact_prefix="$ROOT/build/fuzz/" "$corpus"
