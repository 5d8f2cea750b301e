#!/usr/bin/env bash
# Times ternwick-replay on a generated log of N messages (default 2,000,000) and prints
# messages per second for each mode, plus the ratio to a plain replay.
set -euo pipefail
build=${BUILD:-build}
n=${1:-2000000}
log=$(mktemp --suffix=.log)
trap 'rm -f "$log" "$log.png"' EXIT
"$build/bench/ternwick-bench" --write-log "$log" "$n"
echo "log: $n messages, $(du -h "$log" | cut -f1)"
rate() { "$build/bin/ternwick-replay" --stats "$@" "$log" | awk '/messages per second/ {print $4}'; }
plain=$(rate)
echo "plain replay: $plain messages/s"
# The generated traffic flies over Western Europe (map 3 of the shipped catalogue).
for mode in "--list" "--png $log.png --map 3"; do
  if "$build/bin/ternwick-replay" --help 2>&1 | grep -q -- "${mode%% *}"; then
    r=$(rate $mode)
    awk -v a="$plain" -v b="$r" -v m="$mode" 'BEGIN {printf "%s: %s messages/s, plain/%s = %.2f\n", m, b, m, a / b}'
  fi
done
