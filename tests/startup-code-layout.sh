#!/usr/bin/env bash
# Checks the program as linked: the functions its window's start and first
# print run (the start-up list) lie together in its code, and the list
# still names functions the program has.
# Usage: startup-code-layout.sh PROGRAM START-UP-LIST
set -euo pipefail
program="$1"
list="$2"

# Addresses and sizes in decimal; an alias (a constructor's two names) is
# one function, counted once by its address. A name that several files
# define for themselves (a file's static initializer, a function in an
# unnamed namespace) is laid out together in every copy, so every copy
# counts.
nm --defined-only -S -t d "$program" | awk -v list="$list" '
  BEGIN {
    while ((getline name < list) > 0)
      if (name != "") { listed[name] = 1; count++ }
  }
  NF == 4 && $3 ~ /^[tTwW]$/ && ($4 in listed) {
    if (!($4 in found)) { found[$4] = 1; present++ }
    address = $1 + 0; size = $2 + 0
    if (address in counted) next
    counted[address] = 1; bytes += size
    if (first == "" || address < first) first = address
    if (address + size > end) end = address + size
  }
  END {
    if (count == 0) { print "the start-up list " list " is empty"; exit 1 }
    if (present < count * 0.8) {
      printf "only %d of the %d functions in %s are in the program: the list is out of date; run scripts/order-startup-code.sh\n", present, count, list
      exit 1
    }
    span = end - first
    # Functions are aligned to 16 bytes; beyond that padding, nothing else
    # may lie between them.
    if (span > bytes + present * 16 + 4096) {
      printf "the %d start-up functions (%d KiB) are spread over %d KiB of code: the linker did not lay them out together (is lld installed? scripts/setup-deps.sh)\n", present, bytes / 1024, span / 1024
      exit 1
    }
    printf "%d of %d start-up functions, %d KiB, lie within %d KiB\n", present, count, bytes / 1024, span / 1024
  }'
