// Edits of the writer's output that both fixture scripts need: the pinned
// writer cannot make a non-first sheet active by itself.
const XLSX = require('xlsx');

function patchXlsx(buf, part, edit) {
  const zip = XLSX.CFB.read(buf, { type: 'buffer' });
  const entry = XLSX.CFB.find(zip, part);
  entry.content = Buffer.from(edit(Buffer.from(entry.content).toString('utf8')), 'utf8');
  return Buffer.from(XLSX.CFB.write(zip, { fileType: 'zip', type: 'buffer', compression: true }));
}

// The writer always makes the first sheet active; Excel-written books need not.
function setActiveTab(buf, bookType, tab) {
  if (bookType === 'xlsx') {
    return patchXlsx(buf, '/xl/workbook.xml', (xml) =>
      xml.replace('<sheets>', '<bookViews><workbookView activeTab="' + tab + '"/></bookViews><sheets>'));
  }
  // WINDOW1 as this writer emits it; its itabCur field sits 10 bytes in.
  const window1 = Buffer.from([0x3d, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00, 0x00, 0x60, 0x72, 0xc0, 0x44, 0x38, 0x00]);
  const at = buf.indexOf(window1);
  if (at < 0 || buf.indexOf(window1, at + 1) >= 0) throw new Error('WINDOW1 not found once');
  buf.writeUInt16LE(tab, at + 4 + 10);
  return buf;
}

module.exports = { patchXlsx, setActiveTab };
