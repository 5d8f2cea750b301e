#!/bin/sh
# Redraws the map pictures named in data/setup.txt (data/maps/*.png) from Natural Earth
# outlines: the npm package "world-atlas" ships them as TopoJSON, "topojson-client"'s
# topo2geo turns them into GeoJSON, and ternwick-mapgen draws one picture per catalogue map.
# Outlines at 1:50m serve most maps; the world map uses 1:110m, and maps narrower than 20
# degrees (the Cebu map shows 100 pixels per degree) use 1:10m, where 1:50m turns the
# smaller islands into blobs.
# The packages are fetched into a temporary folder outside the repository.
#
# usage: tools/maps/make-maps.sh
#   BUILD                build folder for ternwick-mapgen (default: build-maps in the repository)
#   WORLD_ATLAS_VERSION  default 2.0.2;  TOPOJSON_CLIENT_VERSION  default 3.1.0
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
build=${BUILD:-$repo/build-maps}
atlas=${WORLD_ATLAS_VERSION:-2.0.2}
client=${TOPOJSON_CLIENT_VERSION:-3.1.0}

for tool in node npm cmake ninja; do
    command -v "$tool" >/dev/null || { echo "make-maps: $tool is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/tw-maps.XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "make-maps: fetching world-atlas@$atlas and topojson-client@$client"
(cd "$work" && npm install --silent --no-audit --no-fund --no-save --ignore-scripts \
    "world-atlas@$atlas" "topojson-client@$client" >/dev/null) ||
    { echo "make-maps: npm could not fetch the packages" >&2; exit 1; }

topo2geo="$work/node_modules/topojson-client/bin/topo2geo"
for res in 10m 50m 110m; do
    src="$work/node_modules/world-atlas/countries-$res.json"
    [ -f "$src" ] || { echo "make-maps: $src is missing from world-atlas" >&2; exit 1; }
    node "$topo2geo" -i "$src" "countries=$work/countries-$res.geojson" "land=$work/land-$res.geojson"
done

# A fresh build folder is made without tests and benchmarks; an existing one keeps its settings.
if [ -f "$build/CMakeCache.txt" ]; then
    cmake -S "$repo" -B "$build" >/dev/null
else
    cmake -S "$repo" -B "$build" -G Ninja -DTERNWICK_TESTS=OFF -DTERNWICK_BENCH=OFF >/dev/null
fi
ninja -C "$build" ternwick-mapgen >/dev/null

QT_QPA_PLATFORM=offscreen "$build/bin/ternwick-mapgen" --setup "$repo/data/setup.txt" \
    --land "$work/land-50m.geojson" --countries "$work/countries-50m.geojson" \
    --coarse-land "$work/land-110m.geojson" --coarse-countries "$work/countries-110m.geojson" \
    --fine-land "$work/land-10m.geojson" --fine-countries "$work/countries-10m.geojson"
ls -l "$repo"/data/maps/*.png
