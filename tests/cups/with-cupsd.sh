#!/usr/bin/env bash
# Runs a command beside a private CUPS scheduler: its own configuration,
# spool and logs in a temporary folder, listening on a free localhost port,
# with two file-backed PDF queues ("waybill", the default, and "other").
# The scheduler is stopped by the process id started here, also on failure.
# The command sees CUPS_SERVER, HOME and CUPS_TEST_OUT (where the queues'
# PDF files appear); the user's own lpoptions and PRINTER/LPDEST are out of
# the way.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

root="$(mktemp -d /tmp/horutea-cups.XXXXXX)"
chmod 755 "$root"
pid=""
cleanup() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap cleanup EXIT

mkdir -p "$root/etc/ppd" "$root/spool/tmp" "$root/cache" "$root/state" "$root/log" "$root/out" "$root/home"
chmod 777 "$root/out"

port=""
for _ in $(seq 1 50); do
  p=$((20000 + RANDOM % 20000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then port=$p; break; fi
done
[ -n "$port" ] || { echo "no free port" >&2; exit 1; }

cat > "$root/etc/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel warn
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
cat > "$root/etc/cups-files.conf" <<CONF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
AccessLog $root/log/access_log
ErrorLog $root/log/error_log
PageLog $root/log/page_log
FileDevice Yes
CONF
chmod 644 "$root/etc/"*.conf

/usr/sbin/cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf" &
pid=$!

export CUPS_SERVER="127.0.0.1:$port"
for _ in $(seq 1 100); do
  lpstat -r 2>/dev/null | grep -q "is running" && break
  sleep 0.1
done
lpstat -r | grep -q "is running" || { echo "private cupsd did not start" >&2; cat "$root/log/error_log" >&2 || true; exit 1; }

for q in waybill other; do
  lpadmin -p "$q" -E -v "file://$root/out/$q.pdf" -P "$here/waybill-pdf.ppd" -o print-scaling-default=none
done
lpadmin -d waybill

export HOME="$root/home"
export CUPS_TEST_OUT="$root/out"
export CUPS_TEST_LOG="$root/log/error_log"
unset PRINTER LPDEST
"$@"
