#!/usr/bin/env bash
# The three speed ratios, each measured within this one run, in messages per CPU-second:
#   1. ternwick-replay against the minimal framer + hex + CRC-24 loop (the floor) on the
#      real recording repeated to 4 million messages;
#   2. ternwick-replay against dump1090-mutability fed the same bytes over loopback
#      (skipped with a note when it is not installed);
#   3. ternwick-replay --list --png against the plain replay on a log of mostly positions.
# CPU time rather than wall time: the machine may be shared, and the peer idles while it
# waits for its socket.
set -euo pipefail
build=${BUILD:-build}
corpus=${CORPUS:-../shared/corpus/real.avr}
target=${MESSAGES:-4000000}
dir=$(mktemp -d)
peer_pid=
cleanup() {
  [ -n "$peer_pid" ] && kill "$peer_pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
bench=$build/bench/ternwick-bench
replay=$build/bin/ternwick-replay

# The recording is only read here and repeated into the temporary folder, never kept.
log=$dir/traffic.avr
if [ -r "$corpus" ]; then
  lines=$(grep -c ';' "$corpus")
  times=$(( (target + lines - 1) / lines ))
  for _ in $(seq "$times"); do cat "$corpus"; done > "$log"
  echo "traffic: $corpus ($lines messages) repeated $times times"
else
  "$bench" --write-log "$log" "$target"
  echo "traffic: $corpus not found; generated traffic instead (all-call replies, positions, velocities)"
fi

# CPU seconds (user + system) of one command, its output to $dir/out.
cpu() {
  local TIMEFORMAT='%U %S'
  { time "$@" > "$dir/out" 2>/dev/null; } 2> "$dir/time"
  awk '{printf "%.3f", $1 + $2}' "$dir/time"
}
field() { awk -v k="$1" 'index($0, k ": ") == 1 {print substr($0, length(k) + 3)}' "$dir/out"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

ternwick_cpu=$(cpu "$replay" --stats "$log")
ternwick_msgs=$(field "messages evaluated")
ternwick_rate=$(awk -v n="$ternwick_msgs" -v s="$ternwick_cpu" 'BEGIN {printf "%.0f", n / s}')
echo "ternwick-replay: $ternwick_msgs messages in $ternwick_cpu CPU s, $ternwick_rate messages/CPU-s"

"$bench" --floor "$log" > "$dir/out"
floor_msgs=$(field "messages")
floor_cpu=$(field "cpu seconds")
floor_rate=$(awk -v n="$floor_msgs" -v s="$floor_cpu" 'BEGIN {printf "%.0f", n / s}')
echo "minimal loop: $floor_msgs messages in $floor_cpu CPU s, $floor_rate messages/CPU-s"

peer_line="dump1090-mutability is not installed (apt-get install dump1090-mutability): no peer ratio"
if command -v dump1090-mutability > /dev/null; then
  # Its raw input port on loopback; a port in use is tried again with another.
  for attempt in 1 2 3 4 5; do
    port=$(( 20000 + RANDOM % 30000 ))
    dump1090-mutability --net-only --net-bind-address 127.0.0.1 --net-ri-port "$port" --net-ro-port 0 \
      --net-sbs-port 0 --net-bi-port 0 --net-bo-port 0 --net-buffer 4 --quiet --stats > "$dir/peer" 2>&1 &
    peer_pid=$!
    for _ in $(seq 50); do
      sleep 0.1
      (exec 3<> "/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    done
    if kill -0 "$peer_pid" 2>/dev/null; then break; fi
    wait "$peer_pid" || true
    peer_pid=
  done
  if [ -n "$peer_pid" ]; then
    ticks() { awk '{print $14 + $15}' "/proc/$peer_pid/stat"; }
    start=$(ticks)
    cat "$log" > "/dev/tcp/127.0.0.1/$port"
    # It has read everything once its CPU time stops growing.
    last=-1
    now=$(ticks)
    while [ "$now" != "$last" ]; do
      last=$now
      sleep 1
      now=$(ticks)
    done
    kill -TERM "$peer_pid"
    wait "$peer_pid" || true
    peer_pid=
    peer_cpu=$(awk -v a="$start" -v b="$last" -v hz="$(getconf CLK_TCK)" 'BEGIN {printf "%.3f", (b - a) / hz}')
    peer_msgs=$(awk '/Mode S messages received/ {print $1; exit}' "$dir/peer")
    peer_rate=$(awk -v n="$peer_msgs" -v s="$peer_cpu" 'BEGIN {printf "%.0f", n / s}')
    echo "dump1090-mutability over loopback: $peer_msgs messages in $peer_cpu CPU s, $peer_rate messages/CPU-s"
    peer_line="ternwick / dump1090-mutability: $(ratio "$ternwick_rate" "$peer_rate")   (goal: at least 4)"
  else
    peer_line="dump1090-mutability did not start on a loopback port: no peer ratio"
  fi
fi

# Drawing: the generated position traffic flies over Cebu, the first shipped map.
"$bench" --write-log "$dir/positions.log" "${DRAW_MESSAGES:-2000000}" positions
plain_cpu=$(cpu "$replay" "$dir/positions.log")
draw_cpu=$(cpu "$replay" --list --png "$dir/map.png" --map 1 "$dir/positions.log")
echo "positions log: plain replay $plain_cpu CPU s, --list --png $draw_cpu CPU s"

echo "== ratios (messages per CPU-second, this run)"
echo "ternwick / minimal loop: $(ratio "$ternwick_rate" "$floor_rate")   (goal: at least 0.5)"
echo "$peer_line"
echo "--list --png / plain replay, CPU time: $(ratio "$draw_cpu" "$plain_cpu")   (goal: at most 2)"
