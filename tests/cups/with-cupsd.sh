#!/usr/bin/env bash
# Runs a command beside a private CUPS scheduler: its own configuration,
# spool and logs in a temporary folder, listening on a free localhost port,
# with two file-backed PDF queues ("waybill", the default, and "other").
# With --all-queues first, also the queues as met in use: "forms" takes
# paper of any size and writes PDF, "epson24" is the stock 24-pin driver
# writing ESC/P to a file, "rejecting" refuses jobs (cupsreject), "stopped"
# holds them (cupsdisable) and "denied" lets nobody print. They cost about a
# second, most of it compiling the stock driver's PPD.
# The scheduler is stopped by the process id started here, also on failure.
# The command sees CUPS_SERVER, HOME, CUPS_TEST_OUT (where the queues'
# output files appear, named after the queue) and CUPS_TEST_DOWN_SERVER (a
# port where nothing listens); the user's own lpoptions and PRINTER/LPDEST
# are out of the way.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
all_queues=""
if [ "${1:-}" = "--all-queues" ]; then all_queues=1; shift; fi

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

free_port() {
  for _ in $(seq 1 50); do
    p=$((20000 + RANDOM % 20000))
    if [ "$p" != "${port:-}" ] && ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then echo "$p"; return; fi
  done
  echo "no free port" >&2; exit 1
}
port="$(free_port)"
down_port="$(free_port)"

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

if [ -n "$all_queues" ]; then
  # lpadmin warns that drivers are deprecated on every queue; its words are
  # kept in the log and shown only when it fails.
  admin() { "$@" 2>>"$root/log/admin_log" || { cat "$root/log/admin_log" >&2; exit 1; }; }
  admin lpadmin -p forms -E -v "file://$root/out/forms.pdf" -P "$here/forms-pdf.ppd"
  admin lpadmin -p epson24 -E -v "file://$root/out/epson24.prn" -m drv:///sample.drv/epson24.ppd
  admin lpadmin -p rejecting -E -v "file://$root/out/rejecting.pdf" -P "$here/waybill-pdf.ppd"
  admin cupsreject rejecting
  admin lpadmin -p stopped -E -v "file://$root/out/stopped.pdf" -P "$here/waybill-pdf.ppd"
  admin cupsdisable stopped
  admin lpadmin -p denied -E -v "file://$root/out/denied.pdf" -P "$here/waybill-pdf.ppd" -u allow:nobody
fi

export HOME="$root/home"
export CUPS_TEST_OUT="$root/out"
export CUPS_TEST_LOG="$root/log/error_log"
export CUPS_TEST_DOWN_SERVER="127.0.0.1:$down_port"
unset PRINTER LPDEST
"$@"
