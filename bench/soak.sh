#!/usr/bin/env bash
# Soak: ternwick-replay over N messages (default 10,000,000) of a hostile mix (5,000 aircraft
# for a table of 501, noise, damaged records) with the live list and the map drawn, and a
# hostile airline directory (a NUL in a name, a name of 10 MB). Prints peak memory and
# messages per second for a tenth of the run and for all of it: memory must not grow with
# the number of messages.
set -euo pipefail
build=${BUILD:-build}
n=${1:-10000000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$build/bench/ternwick-bench" --write-soak "$dir/soak.log" "$n"
"$build/bench/ternwick-bench" --write-soak "$dir/tenth.log" "$((n / 10))"
{ printf 'LH,DLH,Luft\0hansa,Germany\n'; printf 'XX,XXX,'; head -c 10000000 /dev/zero | tr '\0' 'x'; printf ',Nowhere\n';
  cat "$build/bin/airlinecodes.csv"; } > "$dir/airlines.csv"
echo "soak log: $n messages, $(du -h "$dir/soak.log" | cut -f1)"
for log in tenth soak; do
  echo "== $log"
  "$build/bin/ternwick-replay" --airlines "$dir/airlines.csv" --map 5 --list --png "$dir/map.png" --stats \
    "$dir/$log.log" 2>&1 | grep -E "^(messages evaluated|messages per second|peak memory|messages finding|all-call replies rejected|ternwick-replay)"
done
