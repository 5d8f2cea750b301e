#!/bin/sh
# Remakes data/demo.log (and data/demo-truth.csv): five minutes of generated traffic around
# Cebu, 36 aircraft within 200 km, six of them taxiing at Mactan airport (10.3075 N,
# 123.9794 E), each record stamped with its time ("@" and a 12 MHz counter) so that a replay
# can run at the recorded pace. The same seed always gives the same file.
#
# usage: tools/traffic/make-demo-log.sh
#   BUILD  build folder to make ternwick-traffic in (default: build in the repository)
# Replay it with the Cebu map's surface offset:  build/bin/ternwick-replay --surf-offset 90 --csv data/demo.log
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${BUILD:-$repo/build}

[ -f "$build/CMakeCache.txt" ] || cmake -S "$repo" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target ternwick-traffic >/dev/null

"$build/bin/ternwick-traffic" --centre 10.3075,123.9794 --airport 10.3075,123.9794 \
    --radius 200 --aircraft 36 --ground 6 --duration 300 --seed 7 --stamps yes \
    --out "$repo/data/demo.log" --truth "$repo/data/demo-truth.csv"
