#!/bin/sh
# Writes the shipped outline files data/outlines/outlines-{110m,50m,10m}.bin from Natural Earth:
# the npm package "world-atlas" ships the outlines as TopoJSON, "topojson-client" turns its arcs
# into land rings, coastlines and the borders shared by two countries, and make-outlines.js
# packs them into the compact binary files that the program reads (see tools/README.md).
# The packages are fetched into a temporary folder outside the repository.
#
# usage: tools/maps/make-outlines.sh
#   WORLD_ATLAS_VERSION  default 2.0.2;  TOPOJSON_CLIENT_VERSION  default 3.1.0
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
atlas=${WORLD_ATLAS_VERSION:-2.0.2}
client=${TOPOJSON_CLIENT_VERSION:-3.1.0}

for tool in node npm; do
    command -v "$tool" >/dev/null || { echo "make-outlines: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tw-outlines.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "make-outlines: fetching world-atlas@$atlas and topojson-client@$client"
(cd "$work" && npm install --silent --no-audit --no-fund --no-save --ignore-scripts \
    "world-atlas@$atlas" "topojson-client@$client" >/dev/null) ||
    { echo "make-outlines: npm could not fetch the packages" >&2; exit 1; }

mkdir -p "$repo/data/outlines"
node "$here/make-outlines.js" "$work/node_modules/world-atlas" "$work/node_modules/topojson-client" \
    "$repo/data/outlines"
