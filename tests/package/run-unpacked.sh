#!/usr/bin/env bash
# Runs the Debian package's program as installed, without installing it: the
# .deb unpacked into a temporary root, the program started from there with
# nothing of the build around it (no LD_LIBRARY_PATH, a home of its own, no
# display). Its data must be found under the temporary root.
#
# Usage: run-unpacked.sh HORUTEA.deb
#   --version            must print "horutea <the package's version>"
#   --lookup 1000001     must give 千代田区 (skipped while --help does not name --lookup)
#   --batch … --pdf      one CSV row printed to a PDF, the recipient's name
#                        measured on the page (skipped while --help does not
#                        name --batch); the same with the example layout
#                        the package carries
set -euo pipefail
deb="$1"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(mktemp -d)"
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root/tree"
program="$root/tree/usr/bin/horutea"
mkdir -p "$root/home" "$root/runtime"
chmod 700 "$root/runtime"

run() {
  # Half a minute at most: a program that does not know an option opens its
  # window. What it says on stderr is kept for the message of a failure.
  env -u LD_LIBRARY_PATH -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY \
    HOME="$root/home" XDG_RUNTIME_DIR="$root/runtime" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 \
    timeout 30 "$program" "$@" 2>"$root/stderr"
}

version="$(dpkg-deb -f "$deb" Version)"
status=0
said="$(run --version)" || status=$?
if [ "$said" != "horutea $version" ]; then
  [ "$status" -eq 124 ] && echo "run-unpacked.sh: --version did not end within 30 s (a program that does not know it opens its window)" >&2
  echo "run-unpacked.sh: --version said \"$said\", the package is $version; on stderr:" >&2
  cat "$root/stderr" >&2
  exit 1
fi
echo "unpacked program: $said"

help="$(run --help || true)"

if grep -q -- '--lookup' <<<"$help"; then
  found="$(run --lookup 1000001)" || true
  grep -q '千代田区' <<<"$found" || { echo "run-unpacked.sh: --lookup 1000001 gave \"$found\"" >&2; cat "$root/stderr" >&2; exit 1; }
  echo "unpacked program: --lookup 1000001 finds the installed postal data"
else
  echo "unpacked program: --lookup skipped, its --help does not mention it yet"
fi

if grep -q -- '--batch' <<<"$help"; then
  printf 'お届け先郵便番号,お届け先住所1,お届け先氏名\r\n100-0001,東京都千代田区千代田1-1,山田太郎\r\n' > "$root/orders.csv"
  run --batch "$root/orders.csv" --pdf "$root/batch.pdf" || { echo "run-unpacked.sh: --batch failed:" >&2; cat "$root/stderr" >&2; exit 1; }
  # The name's place on the form: 75.0 mm across and 49.0 mm down from the
  # print origin, which with no saved shift lies 16.0 mm left of and 1.5 mm
  # below the paper's corner; each text is raised by 1.5 x 14 tenths of a
  # mm for its 14-point font.
  across_mm="$(awk 'BEGIN { print 75.0 - 16.0 }')"
  down_mm="$(awk 'BEGIN { print 49.0 + 1.5 - 1.5 * 14 / 10 }')"
  "$here/text-place.sh" "$root/batch.pdf" 山田太郎 "$across_mm" "$down_mm" 0.3
  # The example layout the package carries: the name where that layout puts
  # it, 22.0 mm across and 56.0 mm down, in 13 points.
  example="$root/tree/usr/share/doc/horutea/examples/example-small-parcel.json"
  [ -f "$example" ] || { echo "run-unpacked.sh: the package carries no example layout" >&2; exit 1; }
  run --batch "$root/orders.csv" --pdf "$root/layout.pdf" --layout "$example" ||
    { echo "run-unpacked.sh: --batch --layout failed:" >&2; cat "$root/stderr" >&2; exit 1; }
  "$here/text-place.sh" "$root/layout.pdf" 山田太郎 "$(awk 'BEGIN { print 22.0 - 16.0 }')" \
    "$(awk 'BEGIN { print 56.0 + 1.5 - 1.5 * 13 / 10 }')" 0.3
else
  echo "unpacked program: --batch skipped, its --help does not mention it yet"
fi
