#!/usr/bin/env bash
# Shared nights, measured side by side in one run under Wine against the
# servers of databases.sh: Kestrow's own cost of the queue per draft, the
# balance of three computers over 300 drafts (one in ten ten times as long)
# with the queue and with /shard i/3, and a dead computer's draft taken
# again. Run by bench.sh with the display and the prefix ready.
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/databases.sh"
source "$ROOT/scripts/computers.sh"
set +e

WORK="$ROOT/build/queue-bench"
KESTROW="$ROOT/build/windows/src/win32/Kestrow.exe"
BENCH="$ROOT/build/windows/bench/windows/kestrow_bench_queue.exe"
PASSWORD="Kestrow-Bench-pw1"
if [ -z "${KESTROW_PG_PORT:-}" ]; then
  start_databases
  trap 'stop_databases; for p in "$WORK"/computers/*/; do WINEPREFIX="$p" wineserver -k 2>/dev/null; done' EXIT
fi
write_odbcinst
rm -rf "$WORK"; mkdir -p "$WORK/computers"
for computer in WS1 WS2 WS3; do make_computer "$computer"; done

database() {  # $1 = engine, $2 = name: made with Kestrow's tables and rights for kestrow
  if [ "$1" = pg ]; then
    pg_admin postgres -c "DROP DATABASE IF EXISTS $2" -c "CREATE DATABASE $2" >/dev/null
    pg_admin "$2" -c "DO \$\$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kestrow') THEN
                        CREATE ROLE kestrow LOGIN; END IF; END\$\$" -c "ALTER ROLE kestrow PASSWORD '$PASSWORD'" \
                  -f "$ROOT/sql/postgresql/kestrow-tables.sql" -f "$ROOT/sql/postgresql/kestrow-rights.sql" >/dev/null
    echo "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=$KESTROW_PG_PORT;DATABASE=$2;UID=kestrow;PWD=$PASSWORD"
  else
    maria_admin "" -e "DROP DATABASE IF EXISTS $2; CREATE DATABASE $2 CHARACTER SET utf8mb4;
                       CREATE USER IF NOT EXISTS 'kestrow'@'%'; ALTER USER 'kestrow'@'%' IDENTIFIED BY '$PASSWORD';"
    maria_admin "$2" <"$ROOT/sql/mariadb/kestrow-tables.sql"
    sed "s/kestrow\./$2./" "$ROOT/sql/mariadb/kestrow-rights.sql" | maria_admin "$2"
    echo "DRIVER={MariaDB Unicode};SERVER=127.0.0.1;PORT=$KESTROW_MARIA_PORT;DATABASE=$2;UID=kestrow;PWD=$PASSWORD"
  fi
}

log "Kestrow's own cost of the queue per draft: three processes at once over one night of 900 drafts"
for engine in pg maria; do
  conn=$(database "$engine" "bench_cost_$engine")
  echo "$( [ "$engine" = pg ] && echo PostgreSQL 15 || echo MariaDB 10.11 ):"
  at=$(($(date +%s) + 4))  # every process takes drafts from then on, the night listed by the first
  for i in 1 2 3; do
    wine "$BENCH" "$conn" 900 shared "$at" >"$WORK/cost-$engine-$i.txt" 2>&1 &
  done
  wait
  cat "$WORK/cost-$engine-"*.txt
done

# 300 drafts: one in ten takes ten times as long to open.
make_night_drafts() {
  rm -rf "$1"; mkdir -p "$1"
  local i delay
  for i in $(seq -w 1 300); do
    delay=400; [ $((10#$i % 10)) = 7 ] && delay=4000
    printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\nfault delay %s\r\n' "$delay" >"$1/Drawing $i.dft"
  done
}
# The seconds the drafts of the logs given took, summed, and the longest.
work_of() { awk -F, '$2 == "stored" { s += $8; if ($8 > m) m = $8 } END { printf "%.1f %.2f", s, m }' "$@"; }

drafts="$WORK/drafts"
log "Balance: 3 computers over 300 drafts (270 of 0.4 s, 30 of 4 s to open), the queue and then /shard i/3"
conn=$(database pg bench_balance)
# Three computers at once, each noting when it ended: $1 = the kind of run
# (queue or shard), the rest each computer's switches but its /log.
night_of_three() {
  local kind=$1 i; shift
  make_night_drafts "$drafts"
  started=$(date +%s.%N)
  for i in 1 2 3; do
    : >"$WORK/WS$i.out"
    ( on "WS$i" /update "$(winpath "$drafts")" "${@//@i@/$i}" /log "$(winpath "$WORK/$kind-ws$i.csv")"
      date +%s.%N >"$WORK/$kind-end-$i" ) &
  done
  wait
  ends=$(for i in 1 2 3; do awk -v s="$started" '{ printf "%.1f ", $1 - s }' "$WORK/$kind-end-$i"; done)
  span=$(tr ' ' '\n' <<<"$ends" | sort -n | tail -1)
  read -r work longest <<<"$(work_of "$WORK/$kind"-ws*.csv)"
  shares=$(for i in 1 2 3; do grep -c ',stored,' "$WORK/$kind-ws$i.csv"; done | tr '\n' ' ')
  longs=$(for i in 1 2 3; do grep ',stored,' "$WORK/$kind-ws$i.csv" | awk -F, '$8 > 3' | wc -l; done | tr '\n' ' ')
  # From the first run-start row to the last run-end row: without the start of Wine's processes.
  logged=$(cat "$WORK/$kind"-ws*.csv | awk -F, '$2 == "run-start" || $2 == "run-end" { print substr($1, 12, 8) }' | sort |
           awk 'NR == 1 { split($1, a, ":"); f = a[1] * 3600 + a[2] * 60 + a[3] } { split($1, b, ":"); l = b[1] * 3600 + b[2] * 60 + b[3] } END { print l - f }')
  echo "$kind: computers ended after $ends s (span $span s; in the logs, first run-start to last run-end: $logged s);" \
       "work $work s in all (÷3 = $(awk -v w="$work" 'BEGIN { printf "%.1f", w / 3 }') s), longest draft $longest s," \
       "bound 1.1 × work/3 + longest = $(awk -v w="$work" -v l="$longest" 'BEGIN { printf "%.1f", 1.1 * w / 3 + l }') s;" \
       "drafts per computer: $shares(long ones: $longs)"
}
night_of_three queue /queue "$conn"
night_of_three shard /shard "@i@/3"

log "A dead computer: from its death to its draft taken again (lease 10 s), three times"
for round in 1 2 3; do
  conn=$(database pg "bench_dead_$round")
  dead="$WORK/dead-$round"
  rm -rf "$dead"; mkdir -p "$dead"
  # One draft: the other computer has nothing else to do, and takes it as
  # soon as its lease lets it.
  printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\nfault delay 3000\r\n' >"$dead/Drawing 1.dft"
  copies="$WORK/computers/WS1/drive_c/users/$(whoami)/AppData/Local/Kestrow/Copies"
  : >"$WORK/before-copy"
  on_bg WS1 /update "$(winpath "$dead")" /queue "$conn" /lease 10
  victim=$BG_PID
  for _ in $(seq 200); do
    [ -n "$(find "$copies" -name '*.dft' -newer "$WORK/before-copy" 2>/dev/null)" ] && break
    sleep 0.1
  done
  killed=$(date +%s.%N)
  kill_computer "$victim" WS1
  on WS2 /update "$(winpath "$dead")" /queue "$conn" /lease 10
  retaken=$(pg_admin "bench_dead_$round" -At -c "SELECT EXTRACT(EPOCH FROM taken) FROM kestrow_draft WHERE tries = 2")
  echo "round $round: taken again $(awk -v k="$killed" -v r="$retaken" 'BEGIN { printf "%.1f", r - k }') s after its computer died"
done
for p in "$WORK"/computers/*/; do WINEPREFIX="$p" wineserver -k 2>/dev/null; done
exit 0
