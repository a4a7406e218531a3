#!/usr/bin/env bash
# Builds the order-list fuzz target with clang's libFuzzer (AddressSanitizer
# and UndefinedBehaviorSanitizer on) and runs it for the given seconds, 60 by
# default, from the seed files in fuzz/corpus. Prints the executions; fails on
# a crash, a leak, a hang or a broken promise, and leaves the input that did
# it in build-fuzz/run/artifacts.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$here/scripts/setup-deps.sh"
dir="$here/build-fuzz"
cmake -S "$here/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
run="$dir/run"
rm -rf "$run"
mkdir -p "$run/corpus" "$run/artifacts"
status=0
"$dir/fuzz_orders" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$run/artifacts/" "$run/corpus" "$here/fuzz/corpus" >"$run/log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added|stat::peak_rss_mb|Done )' "$run/log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzz_orders failed (exit $status); the end of its log:" >&2
  tail -n 60 "$run/log" >&2
  ls -l "$run/artifacts" >&2
  exit 1
fi
echo "fuzz_orders: no crash in ${seconds} s"
