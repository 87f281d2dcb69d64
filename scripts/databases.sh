# Database servers of the project's own for the shared nights' tests and
# benchmarks: a PostgreSQL and a MariaDB server on free loopback ports, their
# data, sockets and logs under build/databases, run as a user other than root
# (initdb refuses root), reached through unixODBC with a private odbcinst.ini
# (Debian's has CommLog=1: a log file per connection). Source it after
# lib.sh; start_databases exports KESTROW_PG_* and KESTROW_MARIA_*;
# stop_databases ends both servers (call it from a trap).
DB_ROOT="$ROOT/build/databases"
DB_PASSWORD="kestrow-test-password"
DB_ADMIN_PASSWORD="kestrow-admin-password"
PG_BIN="${PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)}"

# The user the servers run as: root may not run them; anyone else runs them
# as themselves.
db_user_for() {  # $1 = postgres or mysql
  if [ "$(id -u)" -eq 0 ]; then echo "$1"; else id -un; fi
}
as_db_user() {  # $1 = user, rest = command
  local user=$1; shift
  if [ "$(id -u)" -eq 0 ] && [ "$user" != root ]; then runuser -u "$user" -- "$@"; else "$@"; fi
}

free_port() {  # $1 = first port to try
  local port=$1
  while ss -ltn 2>/dev/null | awk '{print $4}' | grep -q ":$port\$"; do port=$((port + 1)); done
  echo "$port"
}

write_odbcinst() {
  mkdir -p "$DB_ROOT/odbc"
  local lib=/usr/lib/x86_64-linux-gnu/odbc
  cat >"$DB_ROOT/odbc/odbcinst.ini" <<INI
[PostgreSQL Unicode]
Description=PostgreSQL ODBC driver (Unicode version)
Driver=$lib/psqlodbcw.so
CommLog=0
Debug=0

[MariaDB Unicode]
Description=MariaDB Connector/ODBC (Unicode)
Driver=$lib/libmaodbc.so
INI
  : >"$DB_ROOT/odbc/odbc.ini"
  export ODBCSYSINI="$DB_ROOT/odbc"
  export ODBCINSTINI=odbcinst.ini
}

start_postgres() {
  PG_BIN=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
  local dir="$DB_ROOT/pg" user; user=$(db_user_for postgres)
  if [ -f "$dir/data/postmaster.pid" ]; then as_db_user "$user" "$PG_BIN/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true; fi
  rm -rf "$dir"; mkdir -p "$dir"
  printf '%s\n' "$DB_ADMIN_PASSWORD" >"$dir/pwfile"
  chmod 600 "$dir/pwfile"
  [ "$(id -u)" -eq 0 ] && chown -R "$user" "$dir"
  as_db_user "$user" "$PG_BIN/initdb" -D "$dir/data" -U kestrow_admin --pwfile="$dir/pwfile" -A scram-sha-256 \
    -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1
  KESTROW_PG_PORT=$(free_port 25432)
  export KESTROW_PG_PORT KESTROW_PG_DIR="$dir" KESTROW_PG_USER="$user" PG_BIN
  run_postgres
}

# psql as the administrator: $1 = database, rest = psql's arguments.
pg_admin() {
  local db=$1; shift
  PGPASSWORD="$DB_ADMIN_PASSWORD" "$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$KESTROW_PG_PORT" \
    -U kestrow_admin -d "$db" "$@"
}

start_mariadb() {
  local dir="$DB_ROOT/maria" user; user=$(db_user_for mysql)
  if [ -f "$dir/server.pid" ]; then kill "$(cat "$dir/server.pid")" 2>/dev/null || true; sleep 1; fi
  rm -rf "$dir"; mkdir -p "$dir/data"
  [ "$(id -u)" -eq 0 ] && chown -R "$user" "$dir"
  as_db_user "$user" mariadb-install-db --no-defaults --datadir="$dir/data" --auth-root-authentication-method=normal \
    --skip-test-db >"$dir/install.log" 2>&1
  KESTROW_MARIA_PORT=$(free_port 23306)
  export KESTROW_MARIA_PORT KESTROW_MARIA_DIR="$dir" KESTROW_MARIA_USER="$user"
  run_mariadb
  local _
  for _ in $(seq 150); do
    mariadb --no-defaults -S "$dir/sock" -u root -e 'select 1' >/dev/null 2>&1 && break
    sleep 0.2
  done
  mariadb --no-defaults -S "$dir/sock" -u root -e \
    "CREATE USER 'kestrow_admin'@'%' IDENTIFIED BY '$DB_ADMIN_PASSWORD'; GRANT ALL ON *.* TO 'kestrow_admin'@'%' WITH GRANT OPTION;"
}

# mariadb as the administrator: $1 = database ("" for none), rest = its arguments.
maria_admin() {
  local db=$1; shift
  mariadb --no-defaults -h 127.0.0.1 -P "$KESTROW_MARIA_PORT" -u kestrow_admin -p"$DB_ADMIN_PASSWORD" \
    ${db:+-D "$db"} "$@"
}

stop_postgres() {
  [ -n "${KESTROW_PG_DIR:-}" ] && [ -f "$KESTROW_PG_DIR/data/postmaster.pid" ] &&
    as_db_user "$KESTROW_PG_USER" "$PG_BIN/pg_ctl" -D "$KESTROW_PG_DIR/data" -m fast -w stop >/dev/null 2>&1 || true
}

stop_mariadb() {
  local pid
  [ -n "${KESTROW_MARIA_DIR:-}" ] && [ -f "$KESTROW_MARIA_DIR/server.pid" ] || return 0
  pid=$(cat "$KESTROW_MARIA_DIR/server.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
}

# The servers on their data, ports and sockets: at the start, and again
# after stop_postgres or stop_mariadb. No durability is asked of the disk
# (nothing here outlives the tests); a server's own stop keeps every commit.
run_postgres() {
  as_db_user "$KESTROW_PG_USER" "$PG_BIN/pg_ctl" -D "$KESTROW_PG_DIR/data" -l "$KESTROW_PG_DIR/server.log" -w -t 30 \
    -o "-p $KESTROW_PG_PORT -k $KESTROW_PG_DIR -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
}
run_mariadb() {
  as_db_user "$KESTROW_MARIA_USER" mariadbd --no-defaults --datadir="$KESTROW_MARIA_DIR/data" \
    --port="$KESTROW_MARIA_PORT" --bind-address=127.0.0.1 --socket="$KESTROW_MARIA_DIR/sock" \
    --pid-file="$KESTROW_MARIA_DIR/server.pid" --log-error="$KESTROW_MARIA_DIR/server.log" --skip-log-bin \
    --innodb-flush-log-at-trx-commit=2 --character-set-server=utf8mb4 --collation-server=utf8mb4_bin >/dev/null 2>&1 &
}
restart_postgres() { run_postgres; }
restart_mariadb() {
  run_mariadb
  local _
  for _ in $(seq 150); do maria_admin "" -e 'select 1' >/dev/null 2>&1 && return 0; sleep 0.2; done
}

start_databases() {
  log "Starting a PostgreSQL and a MariaDB server of the tests' own under $DB_ROOT"
  mkdir -p "$DB_ROOT"
  write_odbcinst
  start_postgres
  start_mariadb
}

stop_databases() {
  stop_postgres
  stop_mariadb
}
