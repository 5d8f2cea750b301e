// Writes the shipped outline files (data/outlines/outlines-<res>.bin) from the Natural Earth
// TopoJSON of the npm package "world-atlas": land to fill, coastlines and country borders to
// stroke, at one level of detail per file. The format is described in tools/README.md.
//
// usage: node make-outlines.js WORLD_ATLAS_DIR TOPOJSON_CLIENT_DIR OUT_DIR
'use strict';
const fs = require('fs');
const path = require('path');

const [atlasDir, clientDir, outDir] = process.argv.slice(2);
if (!outDir) {
    console.error('usage: node make-outlines.js WORLD_ATLAS_DIR TOPOJSON_CLIENT_DIR OUT_DIR');
    process.exit(2);
}
const topojson = require(clientDir);

const kMagic = Buffer.from('TWOL', 'ascii');
const kVersion = 1;
const kUnitsPerDegree = 10000;  // 11 m at the equator, finer than the sources' own grid
const kLand = 1, kCoast = 2, kBorder = 3;

// The TopoJSON is spherical: a ring or line may step from +180 to -180. Longitudes are made
// continuous (they may then pass 180), so the outline can be cut at the meridian afterwards.
function unwrap(points) {
    const out = [];
    let shift = 0;
    for (let i = 0; i < points.length; ++i) {
        const lon = points[i][0], lat = points[i][1];
        if (i > 0) {
            const step = lon + shift - out[i - 1][0];
            if (step > 180) shift -= 360;
            else if (step < -180) shift += 360;
        }
        out.push([lon + shift, lat]);
    }
    return out;
}

// A ring that winds once round a pole (Antarctica) ends 360 degrees from where it began; it
// is closed along that pole so that it encloses the land.
function closeAroundPole(ring) {
    const turn = ring[ring.length - 1][0] - ring[0][0];
    if (Math.abs(turn) < 180) return ring;
    const meanLat = ring.reduce((s, p) => s + p[1], 0) / ring.length;
    const pole = meanLat < 0 ? -90 : 90;
    const last = ring[ring.length - 1];
    return ring.concat([[last[0], pole], [ring[0][0], pole], ring[0]]);
}

// Sutherland-Hodgman against one vertical half-plane (keep lon >= x when keepAbove, else lon <= x).
function clipLon(ring, x, keepAbove) {
    const inside = (p) => (keepAbove ? p[0] >= x : p[0] <= x);
    const out = [];
    for (let i = 0; i < ring.length; ++i) {
        const a = ring[(i + ring.length - 1) % ring.length], b = ring[i];
        const ia = inside(a), ib = inside(b);
        if (ia !== ib) {
            const t = (x - a[0]) / (b[0] - a[0]);
            out.push([x, a[1] + t * (b[1] - a[1])]);
        }
        if (ib) out.push(b);
    }
    return out;
}

function area(ring) {
    let s = 0;
    for (let i = 0; i < ring.length; ++i) {
        const a = ring[i], b = ring[(i + 1) % ring.length];
        s += a[0] * b[1] - b[0] * a[1];
    }
    return s / 2;
}

// Pieces of an unwrapped ring inside each 360-degree window, moved into -180..180.
function cutRing(ring) {
    const pieces = [];
    for (let k = -2; k <= 2; ++k) {
        const s = 360 * k;
        let r = clipLon(ring, -180 + s, true);
        r = clipLon(r, 180 + s, false);
        if (r.length >= 3 && Math.abs(area(r)) > 1e-12) pieces.push(r.map((p) => [p[0] - s, p[1]]));
    }
    return pieces;
}

// An unwrapped line split where it crosses 180 + 360k, each piece moved into -180..180.
function cutLine(line) {
    const pieces = [];
    const windowOf = (lon) => Math.floor((lon + 180) / 360);
    let piece = [line[0]];
    let w = windowOf(line[0][0]);
    for (let i = 1; i < line.length; ++i) {
        const a = line[i - 1], b = line[i];
        let wb = windowOf(b[0]);
        // A point exactly on the boundary stays in the window the line comes from.
        if (wb !== w && b[0] === -180 + 360 * Math.max(w, wb)) wb = w;
        while (wb !== w) {
            const edge = -180 + 360 * (wb > w ? w + 1 : w);
            const t = (edge - a[0]) / (b[0] - a[0]);
            const cut = [edge, a[1] + t * (b[1] - a[1])];
            piece.push(cut);
            pieces.push(piece.map((p) => [p[0] - 360 * w, p[1]]));
            w += wb > w ? 1 : -1;
            piece = [cut];
        }
        piece.push(b);
    }
    pieces.push(piece.map((p) => [p[0] - 360 * w, p[1]]));
    return pieces;
}

function quantise(points, closed) {
    const out = [];
    for (const [lon, lat] of points) {
        const q = [Math.round(Math.max(-180, Math.min(180, lon)) * kUnitsPerDegree),
                   Math.round(Math.max(-90, Math.min(90, lat)) * kUnitsPerDegree)];
        const prev = out[out.length - 1];
        if (!prev || prev[0] !== q[0] || prev[1] !== q[1]) out.push(q);
    }
    if (closed && out.length > 1) {
        const f = out[0], l = out[out.length - 1];
        if (f[0] === l[0] && f[1] === l[1]) out.pop();  // rings are stored open
    }
    return out.length >= (closed ? 3 : 2) ? out : null;
}

function varint(bytes, v) {
    while (v >= 0x80) {
        bytes.push((v & 0x7f) | 0x80);
        v = Math.floor(v / 128);
    }
    bytes.push(v);
}
const zigzag = (v) => (v >= 0 ? 2 * v : -2 * v - 1);

function encodeLayer(kind, runs) {
    const data = [];
    for (const run of runs) {
        varint(data, run.length);
        let px = 0, py = 0;
        for (const [x, y] of run) {
            varint(data, zigzag(x - px));
            varint(data, zigzag(y - py));
            px = x;
            py = y;
        }
    }
    const head = Buffer.alloc(12);
    head.writeUInt32LE(kind, 0);
    head.writeUInt32LE(runs.length, 4);
    head.writeUInt32LE(data.length, 8);
    return Buffer.concat([head, Buffer.from(data)]);
}

const crcTable = new Uint32Array(256).map((_, n) => {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    return c >>> 0;
});
function crc32(buf) {
    let c = 0xffffffff;
    for (const b of buf) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
}

function polygonsOf(geometry) {
    if (geometry.type === 'Polygon') return [geometry.coordinates];
    if (geometry.type === 'MultiPolygon') return geometry.coordinates;
    return [];
}

for (const [res, scale] of [['110m', 110], ['50m', 50], ['10m', 10]]) {
    const file = path.join(atlasDir, `countries-${res}.json`);
    const topo = JSON.parse(fs.readFileSync(file, 'utf8'));
    const land = [], coast = [], border = [];
    const landFeatures = topojson.feature(topo, topo.objects.land);
    for (const f of landFeatures.features || [landFeatures]) {
        for (const poly of polygonsOf(f.geometry)) {
            for (const ring of poly) {
                for (const piece of cutRing(closeAroundPole(unwrap(ring)))) {
                    const q = quantise(piece, true);
                    if (q) land.push(q);
                }
            }
        }
    }
    // Coastlines: every arc of the land outline. Borders: arcs shared by two countries.
    const lines = (mesh, out) => {
        for (const line of mesh.coordinates)
            for (const piece of cutLine(unwrap(line))) {
                const q = quantise(piece, false);
                if (q) out.push(q);
            }
    };
    lines(topojson.mesh(topo, topo.objects.land), coast);
    lines(topojson.mesh(topo, topo.objects.countries, (a, b) => a !== b), border);

    const head = Buffer.alloc(16);
    kMagic.copy(head, 0);
    head.writeUInt16LE(kVersion, 4);
    head.writeUInt16LE(scale, 6);
    head.writeUInt32LE(kUnitsPerDegree, 8);
    head.writeUInt32LE(3, 12);
    const body = Buffer.concat([head, encodeLayer(kLand, land), encodeLayer(kCoast, coast),
                                encodeLayer(kBorder, border)]);
    const tail = Buffer.alloc(4);
    tail.writeUInt32LE(crc32(body), 0);
    const out = path.join(outDir, `outlines-${res}.bin`);
    fs.writeFileSync(out, Buffer.concat([body, tail]));
    const count = (runs) => runs.reduce((s, r) => s + r.length, 0);
    console.log(`${out}: ${body.length + 4} bytes; land ${land.length} rings ${count(land)} points, ` +
                `coastlines ${coast.length} lines ${count(coast)} points, borders ${border.length} lines ${count(border)} points`);
}
