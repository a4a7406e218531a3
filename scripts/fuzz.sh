#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs them for the given seconds in all,
# 60 by default: three quarters for the order-list reader, from the seed files
# in fuzz/corpus, the rest for the layout reader, from fuzz/layout-corpus.
# Prints the executions; fails on a crash, a leak, a hang or a broken promise,
# and leaves the input that did it in build-fuzz/run-TARGET/artifacts.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
"$here/scripts/setup-deps.sh"
dir="$here/build-fuzz"
cmake -S "$here/fuzz" -B "$dir" -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" --parallel "$(nproc)"

fuzz() {
  local target="$1" seeds="$2" time="$3"
  local run="$dir/run-$target"
  rm -rf "$run"
  mkdir -p "$run/corpus" "$run/artifacts"
  local status=0
  "$dir/$target" -max_total_time="$time" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$run/artifacts/" "$run/corpus" "$seeds" >"$run/log" 2>&1 || status=$?
  grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::new_units_added|stat::peak_rss_mb|Done )' "$run/log" || true
  if [ "$status" -ne 0 ]; then
    echo "$target failed (exit $status); the end of its log:" >&2
    tail -n 60 "$run/log" >&2
    ls -l "$run/artifacts" >&2
    exit 1
  fi
  echo "$target: no crash in ${time} s"
}

orders_seconds=$(( seconds * 3 / 4 ))
fuzz fuzz_orders "$here/fuzz/corpus" "$orders_seconds"
fuzz fuzz_layout "$here/fuzz/layout-corpus" $(( seconds - orders_seconds ))
