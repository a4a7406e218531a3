#!/usr/bin/env bash
# Rebuilds the postal-code data file into a temporary folder and checks that
# it equals the committed one byte for byte. Needs the npm registry.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
committed="$here/data/postal/jp-postal-codes.bin"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$here/scripts/build-postal-data.sh" "$work/jp-postal-codes.bin"
if cmp "$committed" "$work/jp-postal-codes.bin"; then
  echo "postal-code data reproduced byte for byte"
else
  echo "check-postal-data.sh: rebuilt postal-code data differs from $committed" >&2
  exit 1
fi
