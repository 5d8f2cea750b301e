#!/usr/bin/env bash
# Feeds N messages (default 1,000,000) over loopback to ternwick-replay --connect, once as
# Beast binary and once as AVR text, and prints messages per second against the file
# replay of the same messages.
set -euo pipefail
build=${BUILD:-build}
n=${1:-1000000}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
bench=$build/bench/ternwick-bench
replay=$build/bin/ternwick-replay
field() { awk -v k="$1" 'index($0, k ": ") == 1 {print substr($0, length(k) + 3)}' "$2"; }

"$bench" --write-log "$dir/text.log" "$n" text
"$replay" --stats "$dir/text.log" > "$dir/file.stats"
file_rate=$(field "messages per second" "$dir/file.stats")
echo "file replay: $(field "messages evaluated" "$dir/file.stats") messages, $file_rate messages/s"

mkfifo "$dir/port"
for format in beast avr; do
  "$bench" --write-log "$dir/$format.bin" "$n" "$format"
  "$bench" --serve "$dir/$format.bin" > "$dir/port" &
  server=$!
  read -r port < "$dir/port"
  "$replay" --connect "127.0.0.1:$port" --format "$format" --stats > "$dir/net.stats" 2> "$dir/net.err" &
  client=$!
  # The server ends when the command comes back for more: by then it has read it all.
  wait "$server"
  kill -INT "$client"
  wait "$client"
  rate=$(field "messages per second" "$dir/net.stats")
  awk -v f="$format" -v m="$(field "messages evaluated" "$dir/net.stats")" -v r="$rate" -v p="$file_rate" \
    'BEGIN {printf "%s over loopback: %s messages, %s messages/s, file/network = %.2f\n", f, m, r, p / r}'
done
