// Reads the books the engine saved after editing with the fixtures' writer
// package (an independent reader) and checks every cell the engine says the
// edited sheets hold: "<book>.expect" lists them, one "sheet TAB ref TAB
// type TAB value" a line. Cells the list does not name must not be there.
//   node check_saved.js <folder>
'use strict';
const fs = require('fs');
const path = require('path');
const XLSX = require('xlsx');

const dir = process.argv[2];
let failures = 0, books = 0, cells = 0;
const unescape = (s) => s.replace(/\\(t|n|\\)/g, (m, c) => (c === 't' ? '\t' : c === 'n' ? '\n' : '\\'));
for (const name of fs.readdirSync(dir).filter((n) => n.endsWith('.expect')).sort()) {
  const bookPath = path.join(dir, name.slice(0, -'.expect'.length));
  const wb = XLSX.readFile(bookPath);
  ++books;
  const seen = {};
  const fail = (msg) => {
    ++failures;
    console.log('FAIL ' + path.basename(bookPath) + ': ' + msg);
  };
  for (const line of fs.readFileSync(path.join(dir, name), 'utf8').split('\n').filter((l) => l)) {
    const [sheet, ref, type, raw] = line.split('\t');
    const value = unescape(raw === undefined ? '' : raw);
    const ws = wb.Sheets[sheet];
    if (!ws) { fail('no sheet ' + sheet); continue; }
    (seen[sheet] = seen[sheet] || new Set()).add(ref);
    const cell = ws[ref];
    ++cells;
    if (!cell) { fail(sheet + '!' + ref + ' missing, want ' + value); continue; }
    let ok;
    if (type === 's') ok = cell.t === 's' && cell.v === value;
    else if (type === 'b') ok = cell.t === 'b' && cell.v === (value === '1');
    else if (type === 'e') ok = cell.t === 'e' && cell.w === value;
    else ok = cell.t === 'n' && Math.abs(cell.v - Number(value)) <= 1e-12 * Math.max(1, Math.abs(cell.v));
    if (!ok) fail(sheet + '!' + ref + ': want ' + type + ' ' + JSON.stringify(value) + ', got ' + cell.t + ' ' + JSON.stringify(cell.v));
  }
  for (const sheet of Object.keys(seen)) {
    const ws = wb.Sheets[sheet];
    for (const ref of Object.keys(ws).filter((k) => k[0] !== '!'))
      if (ws[ref].t !== 'z' && !seen[sheet].has(ref)) fail(sheet + '!' + ref + ' should be empty, holds ' + JSON.stringify(ws[ref].v));
  }
}
// Books of other programs written back after a few edits: the reader must
// open them and find the edited cells ("z": the cell is empty).
for (const name of fs.readdirSync(dir).filter((n) => n.endsWith('.edits')).sort()) {
  const bookPath = path.join(dir, name.slice(0, -'.edits'.length));
  ++books;
  let wb;
  try {
    wb = XLSX.readFile(bookPath);
  } catch (e) {
    ++failures;
    console.log('FAIL ' + path.basename(bookPath) + ': not read: ' + e.message);
    continue;
  }
  for (const line of fs.readFileSync(path.join(dir, name), 'utf8').split('\n').filter((l) => l)) {
    const [sheet, ref, type, value] = line.split('\t');
    const ws = wb.Sheets[sheet];
    const cell = ws && ws[ref];
    ++cells;
    let ok;
    if (type === 'z') ok = !cell || cell.t === 'z' || cell.v === undefined || cell.v === '';
    else if (type === 's') ok = !!cell && cell.t === 's' && cell.v === value;
    else ok = !!cell && cell.t === 'n' && cell.v === Number(value);
    if (!ok) {
      ++failures;
      console.log('FAIL ' + path.basename(bookPath) + ': ' + sheet + '!' + ref + ' want ' + type + ' ' + JSON.stringify(value) +
        ', got ' + (cell ? cell.t + ' ' + JSON.stringify(cell.v) : 'nothing'));
    }
  }
}
console.log(books + ' saved books, ' + cells + ' cells checked');
if (books === 0) { console.log('no saved books found in ' + dir); process.exit(1); }
console.log((failures ? 0 : 1) + ' passed, ' + (failures ? 1 : 0) + ' failed');
process.exit(failures ? 1 : 0);
