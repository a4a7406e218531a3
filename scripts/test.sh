#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
# With --sanitize: the same in a separate build with AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup-deps.sh"
dir="$here/build"
args=()
if [ "${1:-}" = "--sanitize" ]; then
  dir="$here/build-sanitize"
  args=(-DHORUTEA_SANITIZE=ON)
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
  export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi
"$here/scripts/build.sh" "$dir" "${args[@]}"
cd "$dir"
ctest --output-on-failure --timeout 300
