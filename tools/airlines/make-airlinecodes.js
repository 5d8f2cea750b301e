// Turns the OpenFlights airline database (airlines.dat) into the airline directory the
// program reads: IATA designator, ICAO designator, name, country; one row per line, no header.
//
// usage: node make-airlinecodes.js AIRLINES_DAT OUTPUT_CSV
//
// Rows are kept only when the ICAO designator is three upper-case letters (that is all a
// callsign lookup can match). Active airlines come first, so that where a designator has
// been used by several airlines over the years, the first-row-wins lookup names the one
// flying today. Then come inactive airlines whose designator no earlier row carries (those
// with an IATA code before those without), and last the inactive rows that repeat an
// earlier designator; within each group rows are sorted by ICAO designator, then by the
// database's own id. The program reads the first 5428 rows only.
'use strict';

const fs = require('fs');

const kRowsRead = 5428;

// Minimal RFC 4180 reader: commas separate fields, a double-quoted field may hold commas
// and doubled quotes, records end at LF or CR LF.
function parseCsv(text) {
  const records = [];
  let field = '', record = [], i = 0, quoted = false;
  while (i < text.length) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { field += '"'; i += 2; continue; }
      if (c === '"') { quoted = false; i++; continue; }
      field += c; i++; continue;
    }
    if (c === '"' && field === '') { quoted = true; i++; continue; }
    if (c === ',') { record.push(field); field = ''; i++; continue; }
    if (c === '\r' || c === '\n') {
      record.push(field); field = '';
      if (record.length > 1 || record[0] !== '') records.push(record);
      record = [];
      i += (c === '\r' && text[i + 1] === '\n') ? 2 : 1;
      continue;
    }
    field += c; i++;
  }
  if (field !== '' || record.length) { record.push(field); records.push(record); }
  return records;
}

// OpenFlights writes "\N" (and sometimes "-" or "N/A") for an unknown value.
function clean(value) {
  let v = (value === undefined ? '' : String(value))
    // ISO 2022 switches into and out of UTF-8 (ESC % G ... ESC % @) wrap a few names.
    .replace(/\x1b%[G@]/g, '')
    .replace(/[\x00-\x1f\x7f]+/g, ' ')
    .trim();
  if (v === '\\N' || /^-+$/.test(v) || v === 'N/A') return '';
  // Apostrophes come backslash-escaped ("d\\'Haiti"); the directory reader ends a quoted
  // field at the next double quote, so none may remain either.
  return v.replace(/\\+'/g, "'").replace(/\\/g, '').replace(/"/g, "'");
}

// A field holding a comma is quoted (blanks were trimmed, so nothing else needs it).
function field(v) {
  return v.includes(',') ? '"' + v + '"' : v;
}

function main() {
  const [input, output] = process.argv.slice(2);
  if (!input || !output) {
    console.error('usage: node make-airlinecodes.js AIRLINES_DAT OUTPUT_CSV');
    process.exit(2);
  }
  let text;
  try {
    text = fs.readFileSync(input, 'utf8');
  } catch (e) {
    console.error(`make-airlinecodes: cannot read ${input}: ${e.message}`);
    process.exit(1);
  }

  // Columns: id, name, alias, IATA, ICAO, callsign, country, active.
  const rows = [];
  let malformed = 0;
  for (const r of parseCsv(text)) {
    if (r.length < 8) { malformed++; continue; }
    const icao = clean(r[4]);
    if (!/^[A-Z]{3}$/.test(icao)) continue;
    let iata = clean(r[3]).toUpperCase();
    if (!/^[A-Z0-9]{2}$/.test(iata)) iata = '';
    rows.push({
      id: Number(r[0]) || 0,
      iata, icao,
      name: clean(r[1]),
      country: clean(r[6]),
      active: clean(r[7]).toUpperCase() === 'Y',
    });
  }

  const byCode = (a, b) => (a.icao < b.icao ? -1 : a.icao > b.icao ? 1 : a.id - b.id);
  const active = rows.filter(r => r.active).sort(byCode);
  const seen = new Set(active.map(r => r.icao));
  const inactive = rows.filter(r => !r.active).sort(byCode);
  const fresh = [], repeats = [];
  for (const r of inactive) {
    if (seen.has(r.icao)) repeats.push(r);
    else { seen.add(r.icao); fresh.push(r); }
  }
  const ordered = [
    ...active,
    ...fresh.filter(r => r.iata !== ''),
    ...fresh.filter(r => r.iata === ''),
    ...repeats,
  ];

  // The program reads kRowsRead rows and tells of any more: ship no more than it reads.
  const out = ordered.slice(0, kRowsRead).map(r => [r.iata, r.icao, r.name, r.country].map(field).join(',') + '\n').join('');
  try {
    fs.writeFileSync(output, out);
  } catch (e) {
    console.error(`make-airlinecodes: cannot write ${output}: ${e.message}`);
    process.exit(1);
  }
  console.log(`make-airlinecodes: ${Math.min(ordered.length, kRowsRead)} of ${ordered.length} rows (${active.length} active, ` +
              `${fresh.length} more designators, ${repeats.length} repeated designators); ` +
              `${malformed} malformed records skipped`);
  if (ordered.length < kRowsRead) {
    console.error(`make-airlinecodes: only ${ordered.length} rows qualify, the program expects ${kRowsRead}`);
    process.exit(1);
  }
}

main();
