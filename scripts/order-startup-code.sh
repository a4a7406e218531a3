#!/usr/bin/env bash
# Writes app/startup-symbols.txt: the program's own functions that the
# window's start and its first print run, in the order callgrind first
# records them (near enough the order they first run). The
# linker lays them out together (see CMakeLists.txt), so the system maps
# little of the program's code beyond them. Run it again after changing
# what the window does at start or at its first print; a function missing
# from the list still works, it is only laid out with the rest.
# Needs valgrind (callgrind records which functions ran).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
command -v valgrind >/dev/null || { echo "order-startup-code.sh: valgrind is needed (apt-get install valgrind)" >&2; exit 1; }
cmake -S "$here" -B "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DHORUTEA_BENCH=ON >/dev/null
cmake --build "$here/build-bench" --parallel "$(nproc)" --target bench_app >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The start and first print as the benchmark plays them, in a home of its own.
HOME="$work" QT_QPA_PLATFORM=offscreen valgrind --tool=callgrind --demangle=no --compress-strings=no \
  --callgrind-out-file="$work/profile" "$here/build-bench/bench/bench_app" memory >/dev/null 2>"$work/log" ||
  { cat "$work/log" >&2; exit 1; }

# Functions whose code is in the program itself, once each, as first seen;
# a name's "'2" suffix is callgrind's mark for a recursion level.
awk '
  /^ob=/ { own = ($0 ~ /\/bench_app$/) }
  /^fn=/ && own {
    name = substr($0, 4); sub(/\047[0-9]+$/, "", name)
    if (name !~ /^(0x|\()/ && !seen[name]++) print name
  }' "$work/profile" >"$here/app/startup-symbols.txt"
echo "$(wc -l <"$here/app/startup-symbols.txt") functions in app/startup-symbols.txt"
