// Writes the fixture workbooks of the spreadsheet tests with the pinned
// third-party writer (npm "xlsx"), each as .xlsx and as .xls (BIFF8).
//   node make_fixtures.js <output folder>
// The values here are the ones SpreadsheetReaderTest.cpp expects.
'use strict';
const fs = require('fs');
const path = require('path');
const XLSX = require('xlsx');
const { patchXlsx, setActiveTab } = require('./book_patches');

const out = process.argv[2];
if (!out) throw new Error('usage: node make_fixtures.js <folder>');
fs.mkdirSync(out, { recursive: true });

const err = { null: 0x00, div0: 0x07, value: 0x0f, ref: 0x17, name: 0x1d, num: 0x24, na: 0x2a };

function typesSheet() {
  const ws = {
    A1: { t: 's', v: 'Привет, мир' },
    B1: { t: 's', v: 'Шифр расценки ЁЖЩ ёжщ №' },
    A2: { t: 'n', v: 3.25 },
    B2: { t: 'n', v: -1234567.125 },
    C2: { t: 'n', v: 1e-7 },
    D2: { t: 'n', v: 0 },
    A3: { t: 'b', v: true },
    B3: { t: 'b', v: false },
    A4: { t: 'e', v: err.null }, B4: { t: 'e', v: err.div0 }, C4: { t: 'e', v: err.value },
    D4: { t: 'e', v: err.ref }, E4: { t: 'e', v: err.name }, F4: { t: 'e', v: err.num }, G4: { t: 'e', v: err.na },
    A5: { t: 'n', v: 45000.5, z: 'dd.mm.yyyy hh:mm' },
    B5: { t: 'n', v: 30, z: 'yyyy-mm-dd' },
    C5: { t: 'n', v: 12.3456, z: '#,##0.00"р."' },
    D5: { t: 'n', v: 7.5, z: '0.00' },
    A6: { t: 'n', v: 6.5, f: 'A2*2' },
    B6: { t: 's', v: 'Итог', f: '"Ит"&"ог"' },
    C6: { t: 'e', v: err.na, f: 'NA()' },
    D6: { t: 'b', v: true, f: 'A2>1' },
    H30: { t: 'z', z: '0.00' },  // a formatted blank: the last used cell
    '!ref': 'A1:H30',
  };
  return ws;
}

function rowsSheet(rows, cols, prefix) {
  const data = [];
  for (let r = 1; r <= rows; ++r) {
    const row = [];
    for (let c = 1; c <= cols; ++c) row.push(c % 2 ? r * 100 + c : prefix + r);
    data.push(row);
  }
  return XLSX.utils.aoa_to_sheet(data);
}

function write(wb, name, activeTab) {
  for (const bookType of ['xlsx', 'biff8']) {
    const file = path.join(out, name + (bookType === 'xlsx' ? '.xlsx' : '.xls'));
    let buf = XLSX.write(wb, { bookType, type: 'buffer', compression: true });
    if (activeTab) buf = setActiveTab(buf, bookType, activeTab);
    if (bookType === 'xlsx') {
      // This writer leaves formatted blanks out of .xlsx (its .xls has them as BLANK).
      buf = patchXlsx(buf, '/xl/worksheets/sheet1.xml', (xml) => xml.replace(/<row r="(\d+)"><\/row>/g,
        (m, r) => '<row r="' + r + '"><c r="H' + r + '" s="4"/></row>'));
    }
    fs.writeFileSync(file, buf);
  }
}


function checkRows(name, ext, rows) {
  const wb = XLSX.readFile(path.join(out, name + ext), { sheetRows: 0 });
  const ref = XLSX.utils.decode_range(wb.Sheets[wb.SheetNames[0]]['!ref']);
  if (ref.e.r + 1 !== rows) throw new Error(name + ext + ': wrote ' + (ref.e.r + 1) + ' rows, not ' + rows);
}

// Three sheets, the third active; Cyrillic names and text.
{
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, typesSheet(), 'Типы');
  XLSX.utils.book_append_sheet(wb, rowsSheet(5, 3, 'Строка '), 'Данные');
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet([['Третий лист']]), 'Третий');
  XLSX.utils.book_append_sheet(wb, {}, 'Пустой');
  write(wb, 'types', 2);
}

// The 1904 date system.
{
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, { A1: { t: 'n', v: 0, z: 'dd.mm.yyyy' }, A2: { t: 'n', v: 1000.25, z: 'dd.mm.yyyy hh:mm' }, '!ref': 'A1:A2' }, 'Даты');
  wb.Workbook = { WBProps: { date1904: true } };
  write(wb, 'date1904', 0);
}

// Layout: widths, a hidden column and row, a row height, a merged title;
// in the .xlsx also fonts and alignments (this writer leaves styles out, so
// they are patched in). Its .xls has no ROW records: no row layout there.
{
  const ws = XLSX.utils.aoa_to_sheet([['Заголовок на три столбца', null, null], ['жирный', 'курсив', 12.5],
    ['скрытая строка'], ['после скрытой']]);
  ws['!cols'] = [{ wch: 30 }, { hidden: true }, { wch: 5 }];
  ws['!rows'] = [{ hpt: 30 }, null, { hidden: true }];
  ws['!merges'] = [{ s: { r: 0, c: 0 }, e: { r: 0, c: 2 } }];
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, ws, 'Вид');
  fs.writeFileSync(path.join(out, 'layout.xls'), XLSX.write(wb, { bookType: 'biff8', type: 'buffer' }));
  let buf = XLSX.write(wb, { bookType: 'xlsx', type: 'buffer', compression: true });
  buf = patchXlsx(buf, '/xl/styles.xml', (xml) => xml
    .replace(/<fonts count="1">(<font>.*?<\/font>)<\/fonts>/, (m, f) => '<fonts count="3">' + f +
      f.replace('<font>', '<font><b/>') + f.replace('<font>', '<font><i val="1"/>') + '</fonts>')
    .replace(/<cellXfs count="1">(<xf [^>]*\/>)<\/cellXfs>/, (m, x) => '<cellXfs count="4">' + x +
      '<xf numFmtId="0" fontId="1" xfId="0"><alignment horizontal="center"/></xf>' +
      '<xf numFmtId="0" fontId="2" xfId="0"/>' +
      '<xf numFmtId="0" fontId="0" xfId="0"><alignment horizontal="left"/></xf></cellXfs>'));
  buf = patchXlsx(buf, '/xl/worksheets/sheet1.xml', (xml) => xml
    .replace('<c r="A2"', '<c r="A2" s="1"').replace('<c r="B2"', '<c r="B2" s="2"').replace('<c r="C2"', '<c r="C2" s="3"'));
  fs.writeFileSync(path.join(out, 'layout.xlsx'), buf);
}

// Formulas with a calculation chain, and a shared formula over D1:D2 (this
// writer makes neither, so both are patched in).
{
  const ws = { A1: { t: 'n', v: 2 }, B1: { t: 'n', v: 4, f: 'A1*2' }, C1: { t: 'n', v: 6, f: 'A1*3' },
    D1: { t: 'n', v: 2 }, D2: { t: 'n', v: 2 }, '!ref': 'A1:D2' };
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, ws, 'Формулы');
  let buf = XLSX.write(wb, { bookType: 'xlsx', type: 'buffer', compression: true });
  buf = patchXlsx(buf, '/xl/worksheets/sheet1.xml', (xml) => xml
    .replace(/<c r="D1"><v>2<\/v><\/c>/, '<c r="D1"><f t="shared" ref="D1:D2" si="0">A1</f><v>2</v></c>')
    .replace(/<c r="D2"><v>2<\/v><\/c>/, '<c r="D2"><f t="shared" si="0"/><v>2</v></c>'));
  buf = patchXlsx(buf, '/[Content_Types].xml', (xml) => xml.replace('</Types>',
    '<Override PartName="/xl/calcChain.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.calcChain+xml"/></Types>'));
  buf = patchXlsx(buf, '/xl/_rels/workbook.xml.rels', (xml) => xml.replace('</Relationships>',
    '<Relationship Id="rIdChain" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain" Target="calcChain.xml"/></Relationships>'));
  const zip = XLSX.CFB.read(buf, { type: 'buffer' });
  XLSX.CFB.utils.cfb_add(zip, '/xl/calcChain.xml', Buffer.from(
    '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<calcChain xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><c r="B1" i="1"/><c r="C1"/></calcChain>'));
  fs.writeFileSync(path.join(out, 'formulas.xlsx'), Buffer.from(XLSX.CFB.write(zip, { fileType: 'zip', type: 'buffer', compression: true })));
}

// Large sheets: an .xls sheet holds at most 65,536 rows.
const large = process.argv.includes('--no-large') ? [] : [['big', 100000, 'xlsx'], ['big', 60000, 'xls'], ['rows10k', 10000, 'both']];
for (const [name, rows, kind] of large) {
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, rowsSheet(rows, 10, 'Текст '), 'Большой');
  for (const bookType of kind === 'both' ? ['xlsx', 'biff8'] : [kind === 'xls' ? 'biff8' : 'xlsx']) {
    const ext = bookType === 'xlsx' ? '.xlsx' : '.xls';
    const file = path.join(out, (name === 'big' ? name + rows : name) + ext);
    fs.writeFileSync(file, XLSX.write(wb, { bookType, type: 'buffer', compression: true }));
    checkRows(name === 'big' ? name + rows : name, ext, rows);
  }
}
fs.writeFileSync(path.join(out, 'done.stamp'), XLSX.version + '\n');
