// Opens the books the engine saved after editing in LibreOffice (headless,
// as CSV, every sheet) and checks the cells the tests wrote: another
// spreadsheet program must read the written books as our reader does.
// Text must match exactly, numbers where LibreOffice shows them as numbers
// (dates and the like are shown formatted and not compared), empty cells
// must be empty.
//   node check_libreoffice.js <saved folder> <work folder>
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const [dir, work] = process.argv.slice(2);
fs.rmSync(work, { recursive: true, force: true });
fs.mkdirSync(path.join(work, 'in'), { recursive: true });

const unescape = (s) => s.replace(/\\(t|n|\\)/g, (m, c) => (c === 't' ? '\t' : c === 'n' ? '\n' : '\\'));
// book -> { staged name, expected cells }
const books = [];
for (const name of fs.readdirSync(dir).sort()) {
  const ext = name.endsWith('.expect') ? '.expect' : name.endsWith('.edits') ? '.edits' : null;
  if (!ext) continue;
  const book = name.slice(0, -ext.length);
  // Saved in the book's own format whatever the name: the format decides.
  const bytes = fs.readFileSync(path.join(dir, book));
  const staged = 'b' + String(books.length).padStart(3, '0') + (bytes[0] === 0x50 ? '.xlsx' : '.xls');
  fs.writeFileSync(path.join(work, 'in', staged), bytes);
  const cells = fs.readFileSync(path.join(dir, name), 'utf8').split('\n').filter((l) => l).map((l) => {
    const [sheet, ref, type, raw] = l.split('\t');
    return { sheet, ref, type, value: ext === '.expect' ? unescape(raw === undefined ? '' : raw) : raw || '' };
  });
  books.push({ book, staged, cells });
}
if (books.length === 0) { console.log('no saved books found in ' + dir); process.exit(1); }

execFileSync('soffice', ['--headless', '--norestore', '-env:UserInstallation=file://' + path.resolve(work, 'profile'),
  '--convert-to', 'csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,false,false,false,-1',
  '--outdir', path.join(work, 'out'), ...books.map((b) => path.join(work, 'in', b.staged))],
  // Numbers with a decimal point, whatever the locale the tests run in.
  { stdio: 'ignore', timeout: 600000, env: { ...process.env, LC_ALL: 'C.UTF-8', LANG: 'C.UTF-8' } });

function parseCsv(text) {
  const rows = [[]];
  let field = '', quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { field += '"'; ++i; }
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') { rows[rows.length - 1].push(field); field = ''; }
    else if (c === '\n') { rows[rows.length - 1].push(field); field = ''; rows.push([]); }
    else if (c !== '\r') field += c;
  }
  rows[rows.length - 1].push(field);
  return rows;
}
function at(ref) {
  const m = /^([A-Z]+)(\d+)$/.exec(ref);
  let col = 0;
  for (const ch of m[1]) col = col * 26 + (ch.charCodeAt(0) - 64);
  return [Number(m[2]) - 1, col - 1];
}

let failures = 0, cells = 0, compared = 0;
for (const b of books) {
  const sheets = {};
  const fail = (msg) => { ++failures; console.log('FAIL ' + b.book + ': ' + msg); };
  for (const c of b.cells) {
    const base = b.staged.replace(/\.[^.]+$/, '');
    let file = path.join(work, 'out', base + '-' + c.sheet + '.csv');
    if (!fs.existsSync(file)) file = path.join(work, 'out', base + '.csv');
    if (!fs.existsSync(file)) { fail('LibreOffice gave no sheet ' + c.sheet); continue; }
    const rows = sheets[file] || (sheets[file] = parseCsv(fs.readFileSync(file, 'utf8')));
    const [r, k] = at(c.ref);
    const shown = (rows[r] && rows[r][k]) || '';
    ++cells;
    if (c.type === 's') {
      ++compared;
      if (shown !== c.value) fail(c.sheet + '!' + c.ref + ': want ' + JSON.stringify(c.value) + ', LibreOffice shows ' + JSON.stringify(shown));
    } else if (c.type === 'z') {
      ++compared;
      if (shown !== '') fail(c.sheet + '!' + c.ref + ' should be empty, LibreOffice shows ' + JSON.stringify(shown));
    } else if (c.type === 'n' && /^-?\d+(\.\d+)?([eE][-+]?\d+)?$/.test(shown)) {
      ++compared;
      const want = Number(c.value), got = Number(shown);
      if (Math.abs(want - got) > 1e-9 * Math.max(1, Math.abs(want))) fail(c.sheet + '!' + c.ref + ': want ' + want + ', LibreOffice shows ' + shown);
    }
  }
}
console.log(books.length + ' saved books opened in LibreOffice, ' + compared + ' of ' + cells + ' cells compared');
console.log((failures ? 0 : 1) + ' passed, ' + (failures ? 1 : 0) + ' failed');
process.exit(failures ? 1 : 0);
