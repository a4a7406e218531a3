#!/usr/bin/env bash
# Runs a command beside a private PostgreSQL server: a cluster made by
# initdb in a temporary folder, listening on a free loopback port only, with
# the database "horutea" owned by the role "horutea" (trust over loopback,
# as a test needs no password). The server is stopped at the end, also on
# failure. The command sees HORUTEA_TEST_PG_URL
# (postgresql://horutea@127.0.0.1:PORT/horutea), HORUTEA_TEST_PG_PORT and
# HORUTEA_TEST_PG_CTL (a command that stops or starts the same server:
# "stop" or "start") and HORUTEA_TEST_PG_SIGNAL (a command that sends a
# signal to every process of the server: "STOP", "CONT", "KILL"), for tests
# of a server going away or freezing mid-day.
set -euo pipefail

bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)"
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
  echo "with-postgres: the PostgreSQL server is not installed (Debian package postgresql)" >&2
  exit 1
fi

root="$(mktemp -d /tmp/horutea-pg.XXXXXX)"
chmod 755 "$root"
# The server refuses to run as root: it runs as the postgres user then.
as_server=()
if [ "$(id -u)" -eq 0 ]; then
  as_server=(runuser -u postgres --)
  chown postgres: "$root"
fi

free_port() {
  for _ in $(seq 1 50); do
    p=$((20000 + RANDOM % 20000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return; fi
  done
  echo "no free port" >&2; exit 1
}
port="$(free_port)"

ctl() {
  "${as_server[@]}" "$bindir/pg_ctl" -D "$root/data" -l "$root/server.log" -w -t 30 \
    -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$root -c fsync=off -c full_page_writes=off -c synchronous_commit=off" "$@" >/dev/null
}
# Every process of the server, for a test that freezes it (SIGSTOP) or kills it.
server_processes() {
  local postmaster
  postmaster="$(head -n 1 "$root/data/postmaster.pid" 2>/dev/null)" || return 0
  [ -n "$postmaster" ] && echo "$postmaster" $(pgrep -P "$postmaster")
}
cleanup() {
  # A server a test left frozen would never stop.
  for p in $(server_processes); do kill -CONT "$p" 2>/dev/null || true; done
  ctl stop -m fast 2>/dev/null || true
  rm -rf "$root"
}
trap cleanup EXIT

"${as_server[@]}" "$bindir/initdb" -D "$root/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >/dev/null
ctl start
"${as_server[@]}" "$bindir/psql" -h 127.0.0.1 -p "$port" -U postgres -d postgres -q -v ON_ERROR_STOP=1 \
  -c "CREATE ROLE horutea LOGIN" -c "CREATE DATABASE horutea OWNER horutea" >/dev/null

cat > "$root/ctl.sh" <<CTL
#!/usr/bin/env bash
exec ${as_server[*]} "$bindir/pg_ctl" -D "$root/data" -l "$root/server.log" -w -t 30 -m fast \
  -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$root -c fsync=off -c full_page_writes=off -c synchronous_commit=off" "\$@"
CTL
chmod 755 "$root/ctl.sh"

cat > "$root/signal.sh" <<SIGNAL
#!/usr/bin/env bash
# Sends a signal (STOP, CONT, KILL) to every process of the server.
postmaster="\$(head -n 1 "$root/data/postmaster.pid" 2>/dev/null)" || exit 1
[ -n "\$postmaster" ] || exit 1
kill -"\$1" "\$postmaster" \$(pgrep -P "\$postmaster")
# A killed server's lock files name a process that may linger unreaped
# (a container without init): a later start must not wait for it.
if [ "\$1" = KILL ]; then rm -f "$root/data/postmaster.pid" "$root"/.s.PGSQL.*.lock; fi
SIGNAL
chmod 755 "$root/signal.sh"

export HORUTEA_TEST_PG_URL="postgresql://horutea@127.0.0.1:$port/horutea"
export HORUTEA_TEST_PG_SIGNAL="$root/signal.sh"
export HORUTEA_TEST_PG_PORT="$port"
export HORUTEA_TEST_PG_CTL="$root/ctl.sh"
"$@"
