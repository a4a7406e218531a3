#!/usr/bin/env bash
# Checks where a text lands on page 1 of a printed PDF, as a person with a
# ruler would: the top-left corner of its text cell, in millimetres from the
# paper's top-left corner, read with poppler (pdftotext -bbox).
#
# Usage: text-place.sh FILE.pdf TEXT ACROSS_MM DOWN_MM [TOLERANCE_MM]
# Exits 0 when the word TEXT is within the tolerance (default 0.3 mm) of the
# designed place on both axes, 1 when it is farther, 2 when the page has no
# such word or cannot be read. Says what it measured either way.
set -euo pipefail
if [ $# -lt 4 ]; then
  echo "usage: $0 FILE.pdf TEXT ACROSS_MM DOWN_MM [TOLERANCE_MM]" >&2
  exit 2
fi
pdf="$1" text="$2" across_mm="$3" down_mm="$4" tolerance_mm="${5:-0.3}"
words="$(pdftotext -bbox -f 1 -l 1 "$pdf" - 2>/dev/null)" || { echo "$pdf: not a readable PDF" >&2; exit 2; }
# One word per line: <word xMin="…" yMin="…" xMax="…" yMax="…">TEXT</word>,
# in points (1/72 inch) from the page's top-left corner. Of several such
# words the one nearest the designed place counts.
printf '%s\n' "$words" | awk -v text="$text" -v ax="$across_mm" -v dy="$down_mm" -v tol="$tolerance_mm" '
  BEGIN { found = 0; best = -1; mmPerPt = 25.4 / 72 }
  match($0, /<word xMin="[0-9.]+" yMin="[0-9.]+"/) {
    word = $0
    sub(/^.*">/, "", word); sub(/<\/word>.*$/, "", word)
    if (word != text) next
    split(substr($0, RSTART, RLENGTH), part, "\"")
    x = part[2] * mmPerPt; y = part[4] * mmPerPt
    d = (x - ax) ^ 2 + (y - dy) ^ 2
    if (best < 0 || d < best) { best = d; bx = x; by = y }
    found = 1
  }
  END {
    if (!found) { printf "\"%s\" is not on page 1\n", text; exit 2 }
    ex = bx - ax; ey = by - dy
    printf "\"%s\" at %.2f mm across, %.2f mm down; designed %.2f, %.2f (off by %+.2f, %+.2f; allowed %.2f)\n", text, bx, by, ax, dy, ex, ey, tol
    if (ex > tol || -ex > tol || ey > tol || -ey > tol) exit 1
  }'
