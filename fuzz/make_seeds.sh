#!/bin/sh
# Writes a seed corpus for fuzz_parser: one file per statement of the given files (statements
# separated by lines holding only ";"), each once per first byte given in MODES (the first byte
# chooses server, dialect, decoding and letter cases; see fuzz_parser.cpp).
#
#   fuzz/make_seeds.sh OUTDIR FILE...
set -eu
[ $# -ge 2 ] || { echo "usage: $0 OUTDIR FILE..." >&2; exit 2; }
out=$1
shift
mkdir -p "$out"
# 0: InterBase, dialect 3; 1: Firebird, dialect 3; 3: Firebird, dialect 1; 113: Firebird,
# dialect 3, lower-case keywords, first-upper functions.
MODES=${MODES:-"0 1 3 113"}
n=0
for f in "$@"; do
  n=$((n + 1))
  awk -v out="$out" -v tag="$n" -v modes="$MODES" '
    function flush(  m, k, file) {
      if (stmt ~ /[^ \t\r\n]/) {
        k = split(modes, m, " ")
        for (i = 1; i <= k; i++) {
          file = sprintf("%s/seed_%s_%04d_%s", out, tag, count, m[i])
          printf "%c%s", m[i] + 0, stmt > file
          close(file)
        }
        count++
      }
      stmt = ""
    }
    /^;\r?$/ { flush(); next }
    { stmt = stmt $0 "\n" }
    END { flush() }
  ' "$f"
done
echo "$(ls "$out" | wc -l) seeds in $out"
