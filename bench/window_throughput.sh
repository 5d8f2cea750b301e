#!/usr/bin/env bash
# The window against the headless replay on the same generated log of N messages (default
# 1,000,000), both with the live list and the map drawn: wall time and their ratio, and how
# often the window repainted its map and list meanwhile.
set -euo pipefail
build=${BUILD:-build}
n=${1:-1000000}
log=$(mktemp --suffix=.log)
trap 'rm -f "$log" "$log.png"' EXIT
"$build/bench/ternwick-bench" --write-log "$log" "$n"
# The generated traffic flies over Western Europe (map 3 of the shipped catalogue).
start=$(date +%s.%N)
"$build/bin/ternwick-replay" --list --png "$log.png" --map 3 "$log" > /dev/null
end=$(date +%s.%N)
headless=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}')
echo "headless replay --list --png: $headless s"
out=$("$build/bench/ternwick-window-bench" "$log" 3)
echo "$out"
window=$(echo "$out" | awk '/window replay/ {print $3}')
awk -v w="$window" -v h="$headless" 'BEGIN {printf "window / headless wall time: %.2f\n", w / h}'
