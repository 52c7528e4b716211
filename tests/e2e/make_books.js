// Writes the workbooks of the end-to-end tests with the pinned third-party
// writer (npm "xlsx"): a bill of quantities with Cyrillic text over three
// sheets, its third sheet active, as .xls (BIFF8) and .xlsx; and a large bill
// whose conversion runs long enough to be watched and cancelled.
//   node make_books.js <output folder>
// The list files the tests expect from these books are written out in
// EndToEndTest.cpp; change both together.
'use strict';
const fs = require('fs');
const path = require('path');
const XLSX = require('xlsx');
const { setActiveTab } = require('../spreadsheet/book_patches');

const out = process.argv[2];
if (!out) throw new Error('usage: node make_books.js <folder>');
fs.mkdirSync(out, { recursive: true });

const title = [
  ['Объект: Школа №5 в г. Ижевске'],
  ['Заказчик: ООО «Ромашка»'],
];
// Columns: A number, B rate code, C work, D unit, E quantity; row 2 numbers
// the columns 1 to 9.
const head = ['№ п/п', 'Шифр расценки', 'Наименование работ', 'Ед. изм.', 'Объем'];
const numbering = [1, 2, 3, 4, 5, 6, 7, 8, 9];
const statement = [
  head,
  numbering,
  [1, 'ФЕР11-01-011-01', 'Устройство стяжек', '100 м2', 3.4],
  [2, 'ФЕР15-04-005-03', 'Окраска стен', '100 м2', 0.75],
];
const bill = [
  head,
  numbering,
  [1, 'ФЕР01-01-001-01', 'Разработка грунта экскаватором', '1000 м3', 2.5],
  [],
  [2, 'ТЕР06-01-015-07', 'Устройство фундаментов «ленточных»', '100 м3', 12],
  [3, '  ФЕР08-02-001-01 ', 'Кладка стен', 'м3', 0.125],
  [4, 'ФЕРм08-02-409-01', 'Прокладка кабеля', '100 м', 1234567.5],
  [5, 'ФЕР46-03-001-01', 'Пробивка отверстий', 'шт', 1 / 3],
  [null, 'Итого по разделу'],
];

function sheet(rows) {
  const ws = XLSX.utils.aoa_to_sheet(rows);
  ws['!cols'] = [{ wch: 6 }, { wch: 18 }, { wch: 36 }, { wch: 9 }, { wch: 10 }];
  return ws;
}


function write(wb, name, activeTab, bookTypes) {
  for (const bookType of bookTypes) {
    const file = path.join(out, name + (bookType === 'xlsx' ? '.xlsx' : '.xls'));
    let buf = XLSX.write(wb, { bookType, type: 'buffer', compression: true });
    if (activeTab) buf = setActiveTab(buf, bookType, activeTab);
    fs.writeFileSync(file, buf);
  }
}

{
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, sheet(title), 'Титул');
  XLSX.utils.book_append_sheet(wb, sheet(statement), 'Ведомость');
  XLSX.utils.book_append_sheet(wb, sheet(bill), 'Смета №2');
  write(wb, 'smeta', 2, ['biff8', 'xlsx']);
}

{
  const rows = [head, numbering];
  for (let i = 1; i <= 6000; ++i)
    rows.push([i, 'ФЕР01-01-' + String(i).padStart(3, '0') + '-01', 'Работа №' + i, 'м3', i / 4]);
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, sheet(rows), 'Большая смета');
  write(wb, 'large', 0, ['xlsx']);
}
fs.writeFileSync(path.join(out, 'done.stamp'), XLSX.version + '\n');
