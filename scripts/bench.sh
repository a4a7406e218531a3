#!/usr/bin/env bash
# Builds in Release and prints the benchmark table: start-up, print jobs and
# memory, each against the floor of Qt itself measured in the same run.
# Optional argument: runs per measurement (at least 10; default 15).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup-deps.sh"
cmake -S "$here" -B "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DHORUTEA_BENCH=ON >/dev/null
cmake --build "$here/build-bench" --parallel "$(nproc)" --target bench_driver horutea >/dev/null
"$here/build-bench/bench/bench_driver" "${1:-15}"
