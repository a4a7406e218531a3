#!/usr/bin/env bash
# Builds in Release and prints the benchmark table: start-up, print jobs and
# memory, each against the floor of Qt itself measured in the same run.
# Optional arguments: runs per measurement (at least 10; default 15), then
# one part only: window, batch or books (the server's figures are left out).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup-deps.sh"
cmake -S "$here" -B "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DHORUTEA_BENCH=ON >/dev/null
cmake --build "$here/build-bench" --parallel "$(nproc)" --target bench_driver horutea >/dev/null
"$here/build-bench/bench/bench_driver" "${1:-15}" ${2:+"$2"}
[ -z "${2:-}" ] || exit 0
# Several stations on one server: the same storage figures on a private
# PostgreSQL server over loopback, and two stations printing at once.
cmake --build "$here/build-bench" --parallel "$(nproc)" --target bench_storage bench_stations >/dev/null
"$here/tests/postgres/with-postgres.sh" bash -c '
  "$0/build-bench/bench/bench_storage" 100000 "$HORUTEA_TEST_PG_URL" | grep -v "^  "
  "$0/build-bench/bench/bench_stations" "$HORUTEA_TEST_PG_URL" 1000' "$here"
