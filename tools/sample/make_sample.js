// Writes the sample bill of quantities described in sample.json as an .xlsx.
//   node make_sample.js OUT.xlsx
'use strict';
const fs = require('fs');
const path = require('path');
const XLSX = require('xlsx');

const out = process.argv[2];
if (!out) {
  console.error('usage: node make_sample.js OUT.xlsx');
  process.exit(2);
}
const description = JSON.parse(fs.readFileSync(path.join(__dirname, 'sample.json'), 'utf8'));
const book = XLSX.utils.book_new();
for (const sheet of description.sheets) {
  const ws = XLSX.utils.aoa_to_sheet(sheet.rows);
  ws['!cols'] = [{ wch: 6 }, { wch: 18 }, { wch: 40 }, { wch: 9 }, { wch: 8 }, { wch: 10 }];
  XLSX.utils.book_append_sheet(book, ws, sheet.name);
}
book.Workbook = { Views: [{ activeTab: description.activeSheet || 0 }] };
fs.mkdirSync(path.dirname(path.resolve(out)), { recursive: true });
XLSX.writeFile(book, out, { bookType: 'xlsx' });
console.log(out);
