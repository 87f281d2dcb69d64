#!/usr/bin/env bash
# Nights shared by several computers through a database, under Wine, against
# the real PostgreSQL and MariaDB servers of databases.sh (no mock): each
# computer is a Kestrow in a Wine prefix of its own (a hard-linked copy of
# the project's, with its own wineserver) started in a UTS namespace of its
# own under its own host name, so that Windows gives each its own computer
# name; all reach the drafts through Z:, as computers reach a share. Run by
# test.sh with the display and the prefix ready (it starts the databases if
# they are not); ends with "queue: N passed, M failed".
source "$(dirname "$0")/lib.sh"
source "$ROOT/scripts/databases.sh"
source "$ROOT/scripts/computers.sh"
set +e

WORK="$ROOT/build/queue-check"
KESTROW="$ROOT/build/windows/src/win32/Kestrow.exe"
PASSWORD="Kestrow-Night-pw1"  # the night's user: it must show nowhere
LEASE=4                        # seconds; a database away is tried for 10 s
PASSED=0
FAILED=0
pass() { PASSED=$((PASSED + 1)); echo "  ok    $1"; }
fail() { FAILED=$((FAILED + 1)); echo "  FAIL  $1"; [ -n "${2:-}" ] && tail -n 12 "$2" | sed 's/^/        /'; }
check() {  # $1 = what, $2 = file to show on failure, rest = the test
  local what=$1 file=$2; shift 2
  if "$@"; then pass "$what"; else fail "$what" "$file"; fi
}
# True when every test given, each one word of shell, holds.
all() { local test; for test in "$@"; do eval "$test" || return 1; done; }

if [ -z "${KESTROW_PG_PORT:-}" ]; then
  start_databases
  trap 'stop_databases; for p in "$WORK"/computers/*/; do WINEPREFIX="$p" wineserver -k 2>/dev/null; done' EXIT
fi
write_odbcinst
rm -rf "$WORK"; mkdir -p "$WORK/computers"

# $1 = folder, $2 = how many drafts, $3 = extra lines of each draft (faults).
make_drafts() {
  rm -rf "$1"; mkdir -p "$1"
  local i
  for i in $(seq -w 1 "$2"); do
    printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\nview Top stale\r\n%b' "${3:-}" >"$1/Draft $i.dft"
  done
}
# How many drafts of folder $1 were stored exactly once, and how many more than once.
stored_once() { grep -l "^stored 1" "$1"/*.dft 2>/dev/null | wc -l; }
stored_twice() { grep -lE "^stored ([2-9]|[0-9]{2})" "$1"/*.dft 2>/dev/null | wc -l; }

# A database $2 on engine $1 ("pg" or "maria") with the user kestrow: with
# Kestrow's tables and rights as the shipped scripts make them ($3 = tables),
# or empty and without the right to make tables ($3 = empty).
make_database() {
  local engine=$1 db=$2 how=$3
  if [ "$engine" = pg ]; then
    pg_admin postgres -c "DROP DATABASE IF EXISTS $db" -c "CREATE DATABASE $db" >/dev/null
    pg_admin "$db" -c "DO \$\$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kestrow') THEN
                         CREATE ROLE kestrow LOGIN; END IF; END\$\$" -c "ALTER ROLE kestrow PASSWORD '$PASSWORD'" \
                   -c "REVOKE CREATE ON SCHEMA public FROM PUBLIC" >/dev/null
    if [ "$how" = tables ]; then
      pg_admin "$db" -f "$ROOT/sql/postgresql/kestrow-tables.sql" >/dev/null
      pg_admin "$db" -f "$ROOT/sql/postgresql/kestrow-rights.sql" >/dev/null
    fi
  else
    maria_admin "" -e "DROP DATABASE IF EXISTS $db; CREATE DATABASE $db CHARACTER SET utf8mb4;
                       CREATE USER IF NOT EXISTS 'kestrow'@'%'; ALTER USER 'kestrow'@'%' IDENTIFIED BY '$PASSWORD';"
    if [ "$how" = tables ]; then
      maria_admin "$db" <"$ROOT/sql/mariadb/kestrow-tables.sql"
      sed "s/kestrow\./$db./" "$ROOT/sql/mariadb/kestrow-rights.sql" | maria_admin "$db"
    else
      # MariaDB lets nobody in to a database without a right on it.
      maria_admin "" -e "GRANT SELECT, INSERT, UPDATE ON $db.* TO 'kestrow'@'%'"
    fi
  fi
}
connection() {  # $1 = engine, $2 = database
  if [ "$1" = pg ]; then
    echo "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=$KESTROW_PG_PORT;DATABASE=$2;UID=kestrow;PWD=$PASSWORD"
  else
    echo "DRIVER={MariaDB Unicode};SERVER=127.0.0.1;PORT=$KESTROW_MARIA_PORT;DATABASE=$2;UID=kestrow;PWD=$PASSWORD"
  fi
}
sql() {  # $1 = engine, $2 = database, $3 = one query: its rows, fields separated by "|"
  if [ "$1" = pg ]; then pg_admin "$2" -At -c "$3"; else maria_admin "$2" -N -B -e "$3" | tr '\t' '|'; fi
}

# Waits (10 s at most) until $3 drafts of database $2 on engine $1 are stored.
wait_stored() {
  local _
  for _ in $(seq 100); do
    [ "$(sql "$1" "$2" "SELECT count(*) FROM kestrow_draft WHERE state = 'stored'")" -ge "$3" ] 2>/dev/null && return
    sleep 0.1
  done
}

for computer in WS1 WS2 WS3; do make_computer "$computer"; done

# Several computers arriving together list the night once and store each
# draft once; the rows of all reach the database, and the password nowhere.
arrive_together() {  # $1 = engine, $2 = how many computers
  local engine=$1 count=$2 db="night_together_$1" drafts="$WORK/together-$1"
  echo "$count computers arrive at one moment ($engine)"
  : >"$WORK/WS1.out"; : >"$WORK/WS2.out"; : >"$WORK/WS3.out"
  make_database "$engine" "$db" tables
  make_drafts "$drafts" 12 'fault delay 300\r\n'
  # Names a statement must carry as they are: a quote, letters beyond
  # Latin, and a path past 260 characters.
  local long; long="$drafts/$(printf 'A folder with a long name %.0s/' 1 2 3 4 5 6 7 8 9)"
  mkdir -p "$long"
  for name in "O'Brien's bracket" "Größe Ω Ж" ; do cp "$drafts/Draft 01.dft" "$drafts/$name.dft"; done
  cp "$drafts/Draft 01.dft" "$long/Deep.dft"
  local conn; conn=$(connection "$engine" "$db")
  local pids=() i rcs=""
  for i in $(seq 1 "$count"); do
    on_bg "WS$i" /update "$(winpath "$drafts")" /subfolders /queue "$conn" /lease "$LEASE" \
      /log "$(winpath "$WORK/ws$i-$engine.csv")"
    pids+=("$BG_PID")
  done
  for i in "${!pids[@]}"; do wait "${pids[$i]}"; rcs+="$? "; done
  check "every computer ended with exit code 0 ($rcs)" "$WORK/WS1.out" [ "$rcs" = "$(printf '0 %.0s' $(seq 1 "$count"))" ]
  check "the night was listed once" "$WORK/WS1.out" [ "$(sql "$engine" "$db" "SELECT count(*) FROM kestrow_night")" = 1 ]
  check "each of the 15 drafts was stored once, the long path's too" "$WORK/WS1.out" \
    all "[ $(stored_once "$drafts") = 14 ]" "[ $(stored_twice "$drafts") = 0 ]" "grep -q '^stored 1' '$long/Deep.dft'"
  check "the database has them stored, by $count computers" "$WORK/WS2.out" \
    [ "$(sql "$engine" "$db" "SELECT count(*), count(DISTINCT computer) FROM kestrow_draft WHERE state = 'stored'")" = "15|$count" ]
  local names; names=$(sql "$engine" "$db" "SELECT name FROM kestrow_draft WHERE name LIKE '%Brien%' OR name LIKE 'Gr%' ORDER BY name")
  check "  ... under their names as they are" "$WORK/WS1.out" [ "$names" = "$(printf "Größe Ω Ж.dft\nO'Brien's bracket.dft")" ]
  local rows; rows=$(sql "$engine" "$db" "SELECT count(*) FROM kestrow_row WHERE result = 'stored'")
  check "every computer's stored rows reached the database ($rows)" "$WORK/WS1.out" [ "$rows" = 15 ]
  check "each computer had a name of its own" "$WORK/WS1.out" \
    [ "$(sql "$engine" "$db" "SELECT count(DISTINCT computer) FROM kestrow_computer")" = "$count" ]
}

# A computer killed with a draft in hand: the draft is taken again once its
# lease lapsed, and stored once; the dead computer's copy is named when it
# comes back.
computer_dies() {
  local engine=$1 db="night_dies_$1" drafts="$WORK/dies-$1"
  echo "a computer dies with a draft in hand ($engine)"
  : >"$WORK/WS1.out"; : >"$WORK/WS2.out"; : >"$WORK/WS3.out"
  make_database "$engine" "$db" tables
  make_drafts "$drafts" 6
  printf 'KESTROW-DRAFT 1\r\nstored 0\r\nview Front stale\r\nfault delay 6000\r\n' >"$drafts/Draft 1.dft"
  local conn; conn=$(connection "$engine" "$db")
  on_bg WS1 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE" /log "$(winpath "$WORK/dies-ws1.csv")"
  local dead=$BG_PID i
  # Mid-draft: taken, its copy kept, and Solid Edge at its open (6 s).
  local copies="$WORK/computers/WS1/drive_c/users/$(whoami)/AppData/Local/Kestrow/Copies"
  : >"$WORK/before-copy"
  for i in $(seq 200); do
    [ -n "$(find "$copies" -name '*.dft' -newer "$WORK/before-copy" 2>/dev/null)" ] && break
    sleep 0.1
  done
  sleep 0.5
  kill_computer "$dead" WS1
  on_bg WS2 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE"
  local two=$BG_PID
  on WS3 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE"
  local rc3=$?
  wait "$two"; local rc2=$?
  check "the two computers left ended with exit code 0 ($rc2 $rc3)" "$WORK/WS2.out" [ "$rc2$rc3" = 00 ]
  check "every draft was stored once, the dead computer's too" "$WORK/WS3.out" \
    [ "$(stored_once "$drafts")" = 6 -a "$(stored_twice "$drafts")" = 0 ]
  check "the dead computer's draft was taken twice, and stored by another" "$WORK/WS3.out" \
    [ "$(sql "$engine" "$db" "SELECT tries, state, computer <> 'WS1' FROM kestrow_draft WHERE number = 1")" \
      = "$( [ "$engine" = pg ] && echo '2|stored|t' || echo '2|stored|1')" ]
  check "the dead computer's log ends with the draft in hand" "$WORK/dies-ws1.csv" \
    grep -q "in-hand,.*Draft 1.dft" "$WORK/dies-ws1.csv"
  : >"$WORK/WS1.out"
  on WS1 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE"
  check "back, the dead computer names the copy it kept and finds the night done (exit $?)" "$WORK/WS1.out" \
    grep -q "nothing is left for this computer" "$WORK/WS1.out"
  check "  ... and its copy of the draft it had in hand" "$WORK/WS1.out" grep -q "Draft 1.dft; its copy from before that run is kept" "$WORK/WS1.out"
  on WS3 /report /queue "$conn" "$(winpath "$drafts")" >/dev/null
  check "/report /queue counts the night once: 6 stored (exit $?)" "$WORK/WS3.out" \
    grep -q "In total: stored 6, failed 0, not reached 0, in hand 0" "$WORK/WS3.out"
}

# The database stopped in the middle of the night and started again: the
# draft in hand is finished, nothing is lost, the night goes on.
database_restarts() {
  local engine=$1 db="night_restart_$1" drafts="$WORK/restart-$1"
  echo "the database stops mid-night and starts again ($engine)"
  make_database "$engine" "$db" tables
  make_drafts "$drafts" 10 'fault delay 400\r\n'
  local conn; conn=$(connection "$engine" "$db")
  : >"$WORK/WS1.out"
  on_bg WS1 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE" /log "$(winpath "$WORK/restart-$engine.csv")"
  local pid=$BG_PID
  wait_stored "$engine" "$db" 2
  if [ "$engine" = pg ]; then stop_postgres; sleep 3; restart_postgres; else stop_mariadb; sleep 3; restart_mariadb; fi
  wait "$pid"; local rc=$?
  check "the computer ended with exit code 0 ($rc)" "$WORK/WS1.out" [ "$rc" = 0 ]
  check "it said the database did not answer, and then that it did" "$WORK/WS1.out" \
    grep -q "answers again" "$WORK/WS1.out"
  check "every draft was stored once" "$WORK/WS1.out" [ "$(stored_once "$drafts")" = 10 -a "$(stored_twice "$drafts")" = 0 ]
  check "the database knows every draft stored and has every row of the log" "$WORK/WS1.out" \
    [ "$(sql "$engine" "$db" "SELECT count(*) FROM kestrow_draft WHERE state = 'stored'")|$(sql "$engine" "$db" "SELECT count(*) FROM kestrow_row")" \
      = "10|$(($(wc -l <"$WORK/restart-$engine.csv") - 1))" ]
}

# A connection cut from the server's side: a fresh one is made at once.
connection_cut() {
  local engine=$1 db="night_cut_$1" drafts="$WORK/cut-$1"
  echo "the server cuts the connection ($engine)"
  make_database "$engine" "$db" tables
  make_drafts "$drafts" 8 'fault delay 400\r\n'
  local conn; conn=$(connection "$engine" "$db")
  : >"$WORK/WS2.out"
  # A log of the first versions' six columns keeps them; the database gets every row.
  printf 'time,result,file,error,source,description\r\n' >"$WORK/cut-$engine.csv"
  on_bg WS2 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE" /log "$(winpath "$WORK/cut-$engine.csv")"
  local pid=$BG_PID
  wait_stored "$engine" "$db" 2
  if [ "$engine" = pg ]; then
    sql pg "$db" "SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE usename = 'kestrow'" >/dev/null
  else
    for i in $(sql maria "$db" "SELECT id FROM information_schema.processlist WHERE user = 'kestrow'"); do
      maria_admin "" -e "KILL CONNECTION $i"
    done
  fi
  wait "$pid"; local rc=$?
  check "the computer ended with exit code 0 ($rc), every draft stored once" "$WORK/WS2.out" \
    [ "$rc" = 0 -a "$(stored_once "$drafts")" = 8 -a "$(stored_twice "$drafts")" = 0 ]
  check "the database knows them stored" "$WORK/WS2.out" \
    [ "$(sql "$engine" "$db" "SELECT count(*) FROM kestrow_draft WHERE state = 'stored'")" = 8 ]
  check "a six-column log keeps its six columns, and the database has the run's rows too" "$WORK/cut-$engine.csv" \
    all "[ $(grep -c ',stored,' "$WORK/cut-$engine.csv") = 8 ]" "! grep -q 'run-start\|in-hand' '$WORK/cut-$engine.csv'" \
        "[ $(awk -F, 'NF != 6' "$WORK/cut-$engine.csv" | wc -l) = 0 ]" \
        "[ $(sql "$engine" "$db" "SELECT count(*) FROM kestrow_row WHERE result IN ('run-start', 'in-hand', 'run-end')") = 10 ]"
}

# The database away for good: the run gives up after its bound with exit 5,
# keeps what the database missed, and its next run sends it.
database_gone() {
  local engine=pg db="night_gone" drafts="$WORK/gone"
  echo "the database goes away for good, and comes back for the next run ($engine)"
  make_database "$engine" "$db" tables
  make_drafts "$drafts" 6 'fault delay 300\r\n'
  local conn; conn=$(connection "$engine" "$db")
  : >"$WORK/WS3.out"
  on_bg WS3 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE" /log "$(winpath "$WORK/gone.csv")"
  local pid=$BG_PID
  wait_stored "$engine" "$db" 1
  stop_postgres
  wait "$pid"; local rc=$?
  check "the computer gave up with exit code 5 ($rc), and said so" "$WORK/WS3.out" \
    all "[ $rc = 5 ]" "grep -q 'did not answer for' '$WORK/WS3.out'"
  check "  ... and kept what the database missed for its next run" "$WORK/WS3.out" \
    grep -q "kept for this night's next run" "$WORK/WS3.out"
  restart_postgres
  on WS3 /update "$(winpath "$drafts")" /queue "$conn" /lease "$LEASE" /log "$(winpath "$WORK/gone.csv")"
  rc=$?
  check "the next run sent it first and finished the night (exit $rc)" "$WORK/WS3.out" \
    all "[ $rc = 0 ]" "grep -q 'an earlier run of this night could not send' '$WORK/WS3.out'"
  check "every draft stored once; the database has every row of both runs" "$WORK/WS3.out" \
    [ "$(stored_once "$drafts")|$(sql "$engine" "$db" "SELECT count(*) FROM kestrow_row")" \
      = "6|$(($(wc -l <"$WORK/gone.csv") - 1))" ]
}

# What cannot work is refused at once, with exit code 3, and touches nothing.
refusals() {
  local engine=$1 drafts="$WORK/refused-$1"
  echo "wrong connections, no tables, missing rights ($engine)"
  make_drafts "$drafts" 2
  local out="$WORK/refused-$engine.out" rc
  : >"$WORK/WS1.out"
  on WS1 /update "$(winpath "$drafts")" /queue "DRIVER={No Such Driver};SERVER=127.0.0.1;PWD=$PASSWORD"; rc=$?
  check "a driver that is not there: exit code 3 ($rc)" "$WORK/WS1.out" [ "$rc" = 3 ]
  make_database "$engine" night_refused tables
  local conn; conn=$(connection "$engine" night_refused)
  on WS1 /update "$(winpath "$drafts")" /queue "${conn/PWD=$PASSWORD/PWD=wrong-$PASSWORD}"; rc=$?
  check "a wrong password: exit code 3 ($rc), said as a refused login" "$WORK/WS1.out" \
    all "[ $rc = 3 ]" "grep -q 'refused the login' '$WORK/WS1.out'"
  make_database "$engine" night_bare empty
  on WS1 /update "$(winpath "$drafts")" /queue "$(connection "$engine" night_bare)"; rc=$?
  check "no tables and no right to make them: exit code 3 ($rc), naming the script to run" "$WORK/WS1.out" \
    all "[ $rc = 3 ]" "grep -q 'kestrow-tables.sql' '$WORK/WS1.out'"
  on WS1 /check /queue "$conn"; rc=$?
  check "/check /queue takes a draft there and undoes it: exit code 0 ($rc)" "$WORK/WS1.out" \
    all "[ $rc = 0 ]" "grep -q '^ok *take a draft' '$WORK/WS1.out'"
  if [ "$engine" = pg ]; then
    pg_admin night_refused -c "REVOKE UPDATE ON kestrow_draft FROM kestrow" >/dev/null
  else
    maria_admin "" -e "REVOKE UPDATE ON night_refused.kestrow_draft FROM 'kestrow'@'%'"
  fi
  on WS1 /update "$(winpath "$drafts")" /queue "$conn"; rc=$?
  check "a right missing: exit code 3 ($rc), naming it" "$WORK/WS1.out" \
    all "[ $rc = 3 ]" "grep -q 'UPDATE on kestrow_draft' '$WORK/WS1.out'"
  check "  ... and no draft was touched" "$WORK/WS1.out" [ "$(stored_once "$drafts")" = 0 ]
  check "  ... nor a night made, /check's included" "$WORK/WS1.out" \
    [ "$(sql "$engine" night_refused "SELECT count(*) FROM kestrow_night")" = 0 ]
  on WS1 /check /queue "$conn"; rc=$?
  check "/check /queue names the right missing: exit code 1 ($rc)" "$WORK/WS1.out" \
    all "[ $rc = 1 ]" "grep -q '^problem *rights .*UPDATE on kestrow_draft' '$WORK/WS1.out'"
}

# A password kept where the driver finds it, not on the command line: a
# data source, or the engine's own password file.
password_kept_out() {
  echo "the password kept out of the command line: a DSN, the engines' password files"
  local drafts="$WORK/together-pg" rc
  cat >>"$ODBCSYSINI/odbc.ini" <<INI
[Kestrow night]
Driver=PostgreSQL Unicode
Servername=127.0.0.1
Port=$KESTROW_PG_PORT
Database=night_together_pg
Username=kestrow
Password=$PASSWORD
INI
  : >"$WORK/WS1.out"
  on WS1 /update "$(winpath "$drafts")" /queue "DSN=Kestrow night" /whatif; rc=$?
  check "DSN=Kestrow night, its password in the data source: exit code 0 ($rc)" "$WORK/WS1.out" \
    all "[ $rc = 0 ]" "grep -q 'this computer would' '$WORK/WS1.out'"
  printf '127.0.0.1:%s:night_together_pg:kestrow:%s\n' "$KESTROW_PG_PORT" "$PASSWORD" >"$WORK/pgpass.conf"
  chmod 600 "$WORK/pgpass.conf"
  PGPASSFILE="$WORK/pgpass.conf" on WS1 /update "$(winpath "$drafts")" /whatif \
    /queue "DRIVER={PostgreSQL Unicode};SERVER=127.0.0.1;PORT=$KESTROW_PG_PORT;DATABASE=night_together_pg;UID=kestrow"
  rc=$?
  check "PostgreSQL's password file: exit code 0 ($rc)" "$WORK/WS1.out" [ "$rc" = 0 ]
  mkdir -p "$WORK/home"
  printf '[client]\npassword=%s\n' "$PASSWORD" >"$WORK/home/.my.cnf"
  HOME="$WORK/home" on WS1 /update "$(winpath "$WORK/together-maria")" /whatif \
    /queue "DRIVER={MariaDB Unicode};SERVER=127.0.0.1;PORT=$KESTROW_MARIA_PORT;DATABASE=night_together_maria;UID=kestrow;USE_MYCNF=1"
  rc=$?
  check "MariaDB's option file with USE_MYCNF=1: exit code 0 ($rc)" "$WORK/WS1.out" [ "$rc" = 0 ]
}

started=$(date +%s)
arrive_together pg 3
arrive_together maria 2
computer_dies pg
computer_dies maria
database_restarts pg
database_restarts maria
connection_cut pg
connection_cut maria
database_gone
refusals pg
refusals maria
password_kept_out
echo "password nowhere"
for db in night_together_pg night_dies_pg night_restart_pg night_gone; do sql pg "$db" "SELECT * FROM kestrow_row"; done \
  >"$WORK/rows.txt"
for db in night_together_maria night_dies_maria night_restart_maria; do sql maria "$db" "SELECT * FROM kestrow_row"; done \
  >>"$WORK/rows.txt"
check "the password is in no output, log, kept file or row of the database" "$WORK/rows.txt" \
  all "[ -s '$WORK/rows.txt' ]" "! grep -rqF '$PASSWORD' '$WORK'/*.out '$WORK'/*.csv '$WORK/rows.txt' '$WORK'/computers/*/drive_c/users '$WORK'/computers/*/*.reg"
for p in "$WORK"/computers/*/; do WINEPREFIX="$p" wineserver -k 2>/dev/null; done
echo "queue: $PASSED passed, $FAILED failed ($(($(date +%s) - started)) s)"
[ "$FAILED" -eq 0 ]
