#!/usr/bin/env bash
# Seeds for fuzz_listing from the test listings: each file once for every
# server family and listing command (the first byte picks them).
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$src/build-fuzz/seeds/listing}
mkdir -p "$out"
for f in "$src"/tests/data/*.txt "$src"/tests/data/listings/*.txt; do
  b=$(basename "$f" .txt)
  for k in 0 1 2 3 4 128 129 130 131 132; do
    { printf "\\$(printf %o $k)"; cat "$f"; } > "$out/$b-$k"
  done
done
