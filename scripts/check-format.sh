#!/usr/bin/env bash
# Fails when a C++ file differs from the committed .clang-format; with --fix,
# formats them in place instead.
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
  "$format" -i "${files[@]}"
else
  "$format" --dry-run -Werror "${files[@]}"
fi
