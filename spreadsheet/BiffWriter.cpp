// Writing edits back into an .xls. In the workbook stream only the cell
// tables of the edited sheets are rebuilt: their records are split into one
// group per cell (a MULRK into RKs, a FORMULA with the STRING that follows
// it), the edited cells' groups replaced, and the table laid out again in
// row blocks with fresh DBCELLs, INDEX and DIMENSIONS. Every other record is
// copied as it was; the sheet offsets in BOUNDSHEET and the file positions in
// the other sheets' INDEX records move by what the stream grew before them.
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <tuple>

#include "framework/ComPtr.h"
#include "spreadsheet/BiffRecords.h"
#include "spreadsheet/Bytes.h"
#include "spreadsheet/CompoundFile.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Writers.h"

namespace Spreadsheet {
namespace {

const char* const kCannotWrite = "Не удаётся записать книгу";
[[noreturn]] void Fail(const AnsiString& detail) { throw WriteError{AnsiString(kCannotWrite) + ": " + detail + "."}; }



std::string Record(uint16_t type, const std::string& data) {
  std::string r;
  Add16(r, type);
  Add16(r, static_cast<uint32_t>(data.size()));
  return r + data;
}

struct Rec {
  uint16_t type;
  uint16_t size;
  size_t off;  // of the header
  size_t End() const { return off + 4 + size; }
};

bool IsCell(uint16_t t) {
  switch (t) {
    case kRecBlank: case kRecMulBlank: case kRecNumber: case kRecRk: case kRecMulRk:
    case kRecLabel: case kRecLabelSst: case kRecRString: case kRecBoolErr: case kRecFormula:
      return true;
  }
  return false;
}
// Records that belong to the cell before them.
bool FollowsCell(uint16_t t) {
  return t == kRecString || t == kRecShrFmla || t == kRecArray || t == kRecTable || t == kRecContinue;
}

uint8_t BiffErrorCode(int32_t error) {
  switch (error) {
    case kErrNull: return 0x00;
    case kErrDiv0: return 0x07;
    case kErrValue: return 0x0F;
    case kErrRef: return 0x17;
    case kErrName: return 0x1D;
    case kErrNum: return 0x24;
    default: return 0x2A;
  }
}

std::string CellRecord(const Workbook& wb, const Cell* c, uint32_t row, uint32_t col, uint32_t xf) {
  std::string d;
  Add16(d, row);
  Add16(d, col);
  Add16(d, xf);
  if (!c) return Record(kRecBlank, d);
  switch (c->kind) {
    case CellKind::Text: {
      std::wstring text = wb.Text(*c);
      if (text.size() > 255) Fail("текст длиннее 255 знаков");  // long texts go to the shared strings
      bool wide = false;
      for (wchar_t ch : text) wide = wide || ch > 0xFF;
      Add16(d, static_cast<uint32_t>(text.size()));
      d += static_cast<char>(wide ? 1 : 0);
      for (wchar_t ch : text) {
        if (wide) Add16(d, ch);
        else d += static_cast<char>(ch);
      }
      return Record(kRecLabel, d);
    }
    case CellKind::Boolean:
    case CellKind::Error:
      d += static_cast<char>(c->kind == CellKind::Boolean ? (c->boolean ? 1 : 0) : BiffErrorCode(c->error));
      d += static_cast<char>(c->kind == CellKind::Error ? 1 : 0);
      return Record(kRecBoolErr, d);
    case CellKind::Empty:
      return Record(kRecBlank, d);
    default: {
      char bytes[8];
      std::memcpy(bytes, &c->number, 8);
      d.append(bytes, 8);
      return Record(kRecNumber, d);
    }
  }
}

class StreamRewriter {
 public:
  StreamRewriter(const std::string& s, const Workbook& wb, const ChangedCells& changed)
      : s_(s), wb_(wb), changed_(changed) {}

  std::string Run() {
    for (size_t o = 0; o + 4 <= s_.size();) {
      Rec r{static_cast<uint16_t>(U16(s_, o)), static_cast<uint16_t>(U16(s_, o + 2)), o};
      if (r.End() > s_.size()) break;
      byOffset_[o] = recs_.size();
      recs_.push_back(r);
      o = r.End();
    }
    if (recs_.empty() || recs_[0].type != kRecBof || recs_[0].size < 2 || U16(s_, 4) != 0x0600)
      Fail("запись поддерживается только для книг Excel 97–2003");
    // A new cell takes the first cell format with the General number format
    // (Excel's is number 15, but other writers order theirs otherwise).
    for (size_t i = 0, xf = 0; i < recs_.size() && recs_[i].type != kRecEof; ++i) {
      if (recs_[i].type != kRecXf) continue;
      if (recs_[i].size >= 6 && !(U16(s_, recs_[i].off + 8) & 4) && U16(s_, recs_[i].off + 6) == 0) {
        defaultXf_ = static_cast<uint32_t>(xf);
        break;
      }
      ++xf;
    }
    // The sheets' substreams, in the order of the workbook's sheets.
    std::vector<size_t> boundSheets;  // record indexes
    std::map<size_t, size_t> editedStart;  // record index of a BOF -> model sheet
    size_t sheet = 0;
    for (size_t i = 0; i < recs_.size() && recs_[i].type != kRecEof; ++i) {
      if (recs_[i].type != kRecBoundSheet || recs_[i].size < 6) continue;
      boundSheets.push_back(i);
      if (static_cast<uint8_t>(s_[recs_[i].off + 4 + 5]) == 6) continue;  // a module: no sheet in the model
      auto e = changed_.find(sheet);
      if (e != changed_.end() && !e->second.empty()) {
        auto at = byOffset_.find(U32(s_, recs_[i].off + 4));
        if (at == byOffset_.end() || recs_[at->second].type != kRecBof) Fail("не найден лист книги");
        editedStart[at->second] = sheet;
      }
      ++sheet;
    }
    PlanSharedStrings();
    std::string out;
    out.reserve(s_.size() + 4096);
    std::vector<std::pair<size_t, long long>> shifts;  // from this old offset on, positions move by
    long long delta = 0;
    std::map<size_t, size_t> movedTo;  // BOUNDSHEET record index -> its offset in out
    std::vector<size_t> stringStarts;  // of the appended strings, in out
    auto grow = [&](size_t from, size_t bytes) {
      delta += static_cast<long long>(bytes);
      shifts.push_back({from, delta});
    };
    for (size_t i = 0; i < recs_.size();) {
      if (i == globalsEnd_ && !newStrings_.empty() && sst_ == SIZE_MAX) {
        // No table yet: a new one before the globals end.
        std::vector<size_t> starts;
        std::string table = StringRecords(true, starts);
        for (size_t st : starts) stringStarts.push_back(out.size() + st);
        out += table;
        grow(recs_[i].off, table.size());
      }
      auto e = editedStart.find(i);
      if (e != editedStart.end()) {
        size_t end = SubstreamEnd(i);
        sheet_ = e->second;
        std::string sub = RewriteSheet(i, end, out.size(), changed_.at(e->second), wb_.sheets[e->second]);
        delta += static_cast<long long>(sub.size()) - static_cast<long long>(recs_[end].End() - recs_[i].off);
        shifts.push_back({recs_[end].End(), delta});
        out += sub;
        i = end + 1;
        continue;
      }
      const Rec& r = recs_[i];
      size_t at = out.size();
      if (r.type == kRecBoundSheet) movedTo[i] = at;
      out.append(s_, r.off, r.End() - r.off);
      if (i == sst_ && !newStrings_.empty()) {
        Put32(out, at + 4, U32(s_, r.off + 4) + static_cast<uint32_t>(newStrings_.size()));
        Put32(out, at + 8, U32(s_, r.off + 8) + static_cast<uint32_t>(newStrings_.size()));
      }
      if (i == sstEnd_ && !newStrings_.empty()) {
        std::vector<size_t> starts;
        std::string more = StringRecords(false, starts);
        for (size_t st : starts) stringStarts.push_back(out.size() + st);
        out += more;
        grow(r.End(), more.size());
      }
      if (r.type == kRecExtSst && i < globalsEnd_ && r.size >= 2 && !stringStarts.empty()) {
        // One entry for each bucket of dsst strings that begins among the new ones.
        uint32_t dsst = std::max<uint32_t>(1, U16(s_, r.off + 4));
        std::string entries;
        for (size_t k = 0; k < stringStarts.size(); ++k) {
          if ((firstNewString_ + k) % dsst) continue;
          Add32(entries, static_cast<uint32_t>(stringStarts[k]));
          Add16(entries, static_cast<uint32_t>(stringOffsets_[k]));
          Add16(entries, 0);
        }
        if (!entries.empty() && r.size + entries.size() <= 8224) {
          out.insert(at + r.End() - r.off, entries);
          Put16(out, at + 2, static_cast<uint32_t>(r.size + entries.size()));
          grow(r.End(), entries.size());
        }
      }
      if (r.type == kRecIndex && i > 0 && delta != 0 && r.size >= 16) {
        for (size_t f = 12; f + 4 <= r.size; f += 4) {
          if (f == 12 && U32(s_, r.off + 4 + f) == 0) continue;  // no DEFCOLWIDTH
          Put32(out, at + 4 + f, static_cast<uint32_t>(U32(s_, r.off + 4 + f) + delta));
        }
      }
      ++i;
    }
    if (!recs_.empty()) out.append(s_, recs_.back().End(), std::string::npos);  // trailing bytes past the last record
    for (size_t i : boundSheets) {
      uint32_t old = U32(s_, recs_[i].off + 4);
      long long move = 0;
      for (const auto& sh : shifts)
        if (old >= sh.first) move = sh.second;
      Put32(out, movedTo.at(i) + 4, static_cast<uint32_t>(old + move));
    }
    return out;
  }

 private:
  size_t SubstreamEnd(size_t bof) const {
    int depth = 0;
    for (size_t i = bof; i < recs_.size(); ++i) {
      if (recs_[i].type == kRecBof) ++depth;
      else if (recs_[i].type == kRecEof && --depth == 0) return i;
    }
    Fail("лист книги не завершён");
  }

  std::string Bytes(size_t i) const { return s_.substr(recs_[i].off, recs_[i].End() - recs_[i].off); }

  // Text longer than a LABEL holds goes into the shared string table, appended
  // in CONTINUE records after it (or in a table of its own where the book has none).
  void PlanSharedStrings() {
    globalsEnd_ = 0;
    while (globalsEnd_ < recs_.size() && recs_[globalsEnd_].type != kRecEof) ++globalsEnd_;
    for (size_t i = 0; i < globalsEnd_; ++i)
      if (recs_[i].type == kRecSst && sst_ == SIZE_MAX && recs_[i].size >= 8) sst_ = i;
    if (sst_ != SIZE_MAX) {
      sstEnd_ = sst_;
      while (sstEnd_ + 1 < globalsEnd_ && recs_[sstEnd_ + 1].type == kRecContinue) ++sstEnd_;
      firstNewString_ = CountSharedStrings();
    }
    for (const auto& c : changed_) {
      if (c.first >= wb_.sheets.size()) continue;
      for (const auto& pos : c.second) {
        const Cell* cell = wb_.sheets[c.first].Find(pos.first, pos.second);
        if (!cell || cell->kind != CellKind::Text) continue;
        std::wstring text = wb_.Text(*cell);
        if (text.size() <= 255) continue;
        if (text.size() > 32767) Fail("текст ячейки длиннее 32 767 знаков");
        sstIndex_[std::make_tuple(c.first, pos.first - 1, pos.second - 1)] = firstNewString_ + static_cast<uint32_t>(newStrings_.size());
        newStrings_.push_back(std::move(text));
      }
    }
    if (!newStrings_.empty() && globalsEnd_ == recs_.size()) Fail("книга не завершена");
  }

  // How many strings the table holds, counted: some writers' unique count is wrong.
  uint32_t CountSharedStrings() const {
    std::vector<std::pair<size_t, size_t>> segments;  // data of SST (past its counts) and its CONTINUEs
    segments.push_back({recs_[sst_].off + 12, recs_[sst_].End()});
    for (size_t i = sst_ + 1; i <= sstEnd_; ++i) segments.push_back({recs_[i].off + 4, recs_[i].End()});
    size_t seg = 0, at = segments[0].first;
    auto left = [&] { return seg < segments.size() ? segments[seg].second - at : 0; };
    auto next = [&] {
      if (++seg < segments.size()) at = segments[seg].first;
    };
    // Skips n bytes that may run on into the next records.
    auto skip = [&](size_t n) {
      while (n > 0 && seg < segments.size()) {
        size_t k = std::min(n, left());
        at += k;
        n -= k;
        if (left() == 0) next();
      }
      return n == 0;
    };
    auto read = [&](size_t n, uint32_t& v) {
      v = 0;
      for (size_t i = 0; i < n; ++i) {
        while (seg < segments.size() && left() == 0) next();
        if (seg >= segments.size()) return false;
        v |= uint32_t(static_cast<uint8_t>(s_[at++])) << (8 * i);
      }
      return true;
    };
    uint32_t count = 0, cch, flags, runs = 0, ext = 0;
    while (seg < segments.size()) {
      while (seg < segments.size() && left() == 0) next();
      if (seg >= segments.size() || !read(2, cch) || !read(1, flags)) break;
      runs = ext = 0;
      if ((flags & 8) && !read(2, runs)) break;
      if ((flags & 4) && !read(4, ext)) break;
      // The characters: a string cut by a record goes on after a byte that tells their width.
      size_t width = (flags & 1) ? 2 : 1;
      for (uint32_t chars = cch; chars > 0;) {
        if (left() == 0) {
          next();
          uint32_t high;
          if (!read(1, high)) return count + 1;
          width = (high & 1) ? 2 : 1;
        }
        size_t k = std::min<size_t>(chars, left() / width);
        if (k == 0) return count + 1;
        at += k * width;
        chars -= static_cast<uint32_t>(k);
      }
      ++count;
      if (!skip(4 * size_t(runs) + ext)) break;
    }
    return count;
  }

  // The new strings as records of at most 8,224 bytes; a string split across
  // records goes on after a byte that says how its characters are stored.
  // starts: where each string begins, from the start of the returned bytes.
  std::string StringRecords(bool table, std::vector<size_t>& starts) {
    std::string out, rec;
    uint16_t type = table ? kRecSst : kRecContinue;
    if (table) {
      Add32(rec, static_cast<uint32_t>(newStrings_.size()));
      Add32(rec, static_cast<uint32_t>(newStrings_.size()));
    }
    auto flush = [&] {
      out += Record(type, rec);
      type = kRecContinue;
      rec.clear();
    };
    stringOffsets_.clear();
    for (const std::wstring& text : newStrings_) {
      bool wide = false;
      for (wchar_t ch : text) wide = wide || ch > 0xFF;
      size_t unit = wide ? 2 : 1;
      if (rec.size() + 3 + unit > 8224) flush();
      starts.push_back(out.size() + 4 + rec.size());
      stringOffsets_.push_back(4 + rec.size());
      Add16(rec, static_cast<uint32_t>(text.size()));
      rec += static_cast<char>(wide ? 1 : 0);
      for (wchar_t ch : text) {
        if (rec.size() + unit > 8224) {
          flush();
          rec += static_cast<char>(wide ? 1 : 0);
        }
        if (wide) Add16(rec, ch);
        else rec += static_cast<char>(ch);
      }
    }
    if (!rec.empty()) flush();
    return out;
  }

  // One sheet's substream (records first..last) laid out from stream offset base.
  std::string RewriteSheet(size_t first, size_t last, size_t base, const std::vector<std::pair<uint32_t, uint32_t>>& edits,
                           const Sheet& sheet) {
    // The cell table: from the first ROW or cell record to the last record that belongs to it.
    size_t tableStart = SIZE_MAX, tableEnd = SIZE_MAX;
    int depth = 0;
    for (size_t i = first; i <= last; ++i) {
      uint16_t t = recs_[i].type;
      if (t == kRecBof) ++depth;
      else if (t == kRecEof) --depth;
      else if (depth == 1 &&
               (t == kRecRow || IsCell(t) || (tableStart != SIZE_MAX && (t == kRecDbCell || FollowsCell(t))))) {
        if (tableStart == SIZE_MAX) tableStart = i;
        tableEnd = i;
      }
    }
    std::map<uint32_t, std::string> rows;  // row -> ROW record
    std::map<std::pair<uint32_t, uint32_t>, std::string> cells;  // (row, col) -> its records
    if (tableStart != SIZE_MAX) {
      std::string* group = nullptr;
      for (size_t i = tableStart; i <= tableEnd; ++i) {
        const Rec& r = recs_[i];
        size_t d = r.off + 4;
        if (r.type == kRecRow && r.size >= 16) {
          rows[U16(s_, d)] = Bytes(i);
          group = &rows[U16(s_, d)];
        } else if (r.type == kRecDbCell) {
          continue;
        } else if ((r.type == kRecMulRk || r.type == kRecMulBlank) && r.size >= 6) {
          uint32_t row = U16(s_, d), col = U16(s_, d + 2);
          size_t step = r.type == kRecMulRk ? 6 : 2;
          for (size_t f = 4; f + step <= r.size - 2u; f += step, ++col) {
            std::string one;
            Add16(one, row);
            Add16(one, col);
            one.append(s_, d + f, step);
            cells[{row, col}] = Record(r.type == kRecMulRk ? kRecRk : kRecBlank, one);
            group = &cells[{row, col}];
          }
        } else if (IsCell(r.type) && r.size >= 6) {
          group = &cells[{U16(s_, d), U16(s_, d + 2)}];
          *group = Bytes(i);
        } else if (group) {
          *group += Bytes(i);  // STRING after its FORMULA, and anything else inside the table
        } else {
          Fail("неизвестная запись в таблице ячеек");
        }
      }
    }
    for (const auto& e : edits) {
      uint32_t row = e.first - 1, col = e.second - 1;
      auto old = cells.find({row, col});
      uint32_t xf = defaultXf_;
      if (old != cells.end()) {
        xf = U16(old->second, 8);
        for (size_t o = 0; o + 4 <= old->second.size(); o += 4 + U16(old->second, o + 2)) {
          uint16_t t = static_cast<uint16_t>(U16(old->second, o));
          if (t == kRecShrFmla || t == kRecArray || t == kRecTable)
            Fail("ячейка " + AnsiString(std::to_string(e.first).c_str()) + " входит в общую формулу или формулу массива");
        }
      }
      const Cell* c = sheet.Find(e.first, e.second);
      if (!c && old == cells.end()) continue;
      auto shared = sstIndex_.find(std::make_tuple(sheet_, row, col));
      if (shared != sstIndex_.end()) {
        std::string d;
        Add16(d, row);
        Add16(d, col);
        Add16(d, xf);
        Add32(d, shared->second);
        cells[{row, col}] = Record(kRecLabelSst, d);
      } else {
        cells[{row, col}] = CellRecord(wb_, c, row, col, xf);
      }
    }
    // Every row with cells gets a ROW record (some writers leave them out),
    // spanning its cells.
    for (const auto& c : cells) {
      uint32_t row = c.first.first, col = c.first.second;
      std::string& rr = rows[row];
      if (rr.empty()) {
        std::string d;
        Add16(d, row);
        Add16(d, col);
        Add16(d, col + 1);
        Add16(d, 0x00FF);  // default height
        Add16(d, 0);
        Add16(d, 0);
        Add16(d, 0x0100);
        Add16(d, 0x000F);
        rr = Record(kRecRow, d);
      }
      if (col < U16(rr, 6)) Put16(rr, 6, col);
      if (col + 1 > U16(rr, 8)) Put16(rr, 8, col + 1);
    }
    // The row blocks: up to 32 rows each, rows 0-31, 32-63 and so on.
    std::vector<std::vector<uint32_t>> blocks;
    for (const auto& r : rows) {
      if (blocks.empty() || blocks.back().front() / 32 != r.first / 32) blocks.emplace_back();
      blocks.back().push_back(r.first);
    }
    // Before the table: everything up to it, INDEX sized for the blocks.
    size_t insertAt = tableStart;
    if (insertAt == SIZE_MAX) {
      for (size_t i = first + 1; i < last && insertAt == SIZE_MAX; ++i)
        if (recs_[i].type == kRecDimensions) insertAt = i + 1;
      for (size_t i = first + 1; i < last && insertAt == SIZE_MAX; ++i)
        if (recs_[i].type == kRecWindow2) insertAt = i;
      if (insertAt == SIZE_MAX) insertAt = last;
      tableEnd = insertAt - 1;
    }
    std::string out;
    size_t indexAt = SIZE_MAX, defColWidthAt = SIZE_MAX;
    uint32_t rowMin = UINT32_MAX, rowMax = 0, colMin = UINT32_MAX, colMax = 0;
    for (const auto& c : cells) {
      rowMin = std::min(rowMin, c.first.first);
      rowMax = std::max(rowMax, c.first.first);
      colMin = std::min(colMin, c.first.second);
      colMax = std::max(colMax, c.first.second);
    }
    auto copy = [&](size_t i) {
      const Rec& r = recs_[i];
      if (r.type == kRecIndex && indexAt == SIZE_MAX) {
        indexAt = out.size();
        std::string d(16 + 4 * blocks.size(), '\0');
        out += Record(kRecIndex, d);
        return;
      }
      if (r.type == kRecDefColWidth) defColWidthAt = out.size();
      size_t at = out.size();
      out += Bytes(i);
      if (r.type == kRecDimensions && r.size >= 14 && !cells.empty()) {
        Put32(out, at + 4, std::min(U32(s_, r.off + 4), rowMin));
        Put32(out, at + 8, std::max(U32(s_, r.off + 8), rowMax + 1));
        Put16(out, at + 12, std::min(U16(s_, r.off + 12), colMin));
        Put16(out, at + 14, std::max(U16(s_, r.off + 14), colMax + 1));
      }
    };
    for (size_t i = first; i < insertAt; ++i) copy(i);
    std::vector<uint32_t> dbCells;
    auto cell = cells.begin();
    for (const auto& block : blocks) {
      size_t blockStart = out.size();
      for (uint32_t row : block) out += rows[row];
      std::vector<size_t> firstCell;
      for (uint32_t row : block) {
        firstCell.push_back(out.size());
        for (; cell != cells.end() && cell->first.first == row; ++cell) out += cell->second;
      }
      std::string d;
      Add32(d, static_cast<uint32_t>(out.size() - blockStart));
      for (size_t k = 0; k < firstCell.size(); ++k) {
        size_t from = k == 0 ? blockStart + 20 : firstCell[k - 1];
        Add16(d, static_cast<uint32_t>(std::min<size_t>(firstCell[k] - from, 0xFFFF)));
      }
      dbCells.push_back(static_cast<uint32_t>(base + out.size()));
      out += Record(kRecDbCell, d);
    }
    for (size_t i = tableEnd + 1; i <= last; ++i) copy(i);
    if (indexAt != SIZE_MAX) {
      size_t d = indexAt + 4;
      Put32(out, d + 4, cells.empty() ? 0 : rowMin);
      Put32(out, d + 8, cells.empty() ? 0 : rowMax + 1);
      Put32(out, d + 12, defColWidthAt == SIZE_MAX ? 0 : static_cast<uint32_t>(base + defColWidthAt));
      for (size_t k = 0; k < dbCells.size(); ++k) Put32(out, d + 16 + 4 * k, dbCells[k]);
    }
    return out;
  }

  const std::string& s_;
  const Workbook& wb_;
  const ChangedCells& changed_;
  std::vector<Rec> recs_;
  std::map<size_t, size_t> byOffset_;
  uint32_t defaultXf_ = 15;
  size_t sheet_ = 0;  // the model sheet being rewritten
  size_t globalsEnd_ = 0, sst_ = SIZE_MAX, sstEnd_ = SIZE_MAX;
  uint32_t firstNewString_ = 0;
  std::vector<std::wstring> newStrings_;
  std::vector<size_t> stringOffsets_;  // of each new string in its record
  std::map<std::tuple<size_t, uint32_t, uint32_t>, uint32_t> sstIndex_;
};

bool SameName(const wchar_t* a, const wchar_t* b) { return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL; }

void Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
    Fail(AnsiString(what) + " (" + code + ")");
  }
}

// Bytes in a movable global block, as structured storage reads and writes them.
TComPtr<ILockBytes> LockBytesWith(const std::string& bytes) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!h) Fail("недостаточно памяти");
  void* p = GlobalLock(h);
  std::memcpy(p, bytes.data(), bytes.size());
  GlobalUnlock(h);
  TComPtr<ILockBytes> lb;
  if (FAILED(CreateILockBytesOnHGlobal(h, TRUE, lb.Out()))) {
    GlobalFree(h);
    Fail("недостаточно памяти");
  }
  return lb;
}

// Wine's structured storage can leave a directory entry it allocated and
// never used full of stale memory; other readers stop at such an entry.
// Entries the directory tree does not reach are written as free ones.
void ClearUnusedDirectoryEntries(std::string& f) {
  if (f.size() < 512) return;
  size_t sector = size_t(1) << U16(f, 30);
  if (sector != 512 && sector != 4096) return;
  std::vector<uint32_t> fat;
  for (size_t i = 0; i < 109 && i < U32(f, 44); ++i) {
    size_t base = 512 + size_t(U32(f, 76 + 4 * i)) * sector;
    for (size_t k = 0; k < sector / 4 && base + 4 * k + 4 <= f.size(); ++k) fat.push_back(U32(f, base + 4 * k));
  }
  std::vector<size_t> entries;  // file offsets of the directory entries
  for (uint32_t id = U32(f, 48), n = 0; id < fat.size() && n < fat.size(); id = fat[id], ++n)
    for (size_t e = 0; e < sector / 128; ++e)
      if (512 + size_t(id) * sector + e * 128 + 128 <= f.size()) entries.push_back(512 + size_t(id) * sector + e * 128);
  std::vector<uint8_t> reached(entries.size(), 0);
  std::vector<uint32_t> pending{0};
  while (!pending.empty()) {
    uint32_t id = pending.back();
    pending.pop_back();
    if (id >= entries.size() || reached[id]) continue;
    reached[id] = 1;
    for (size_t link = 68; link <= 76; link += 4) pending.push_back(U32(f, entries[id] + link));
  }
  for (size_t i = 0; i < entries.size(); ++i) {
    if (reached[i]) continue;
    std::fill(f.begin() + static_cast<std::ptrdiff_t>(entries[i]), f.begin() + static_cast<std::ptrdiff_t>(entries[i] + 128), '\0');
    for (size_t link = 68; link <= 76; link += 4) Put32(f, entries[i] + link, 0xFFFFFFFFu);
  }
}

// The original for the platform's storage code. That code refuses a header
// our reader tolerates (a mini-stream cutoff other than 4,096); such a file
// is handed over rebuilt from its streams, which is all the tools that write
// it put there. One that also holds storages is refused rather than saved
// without them.
TComPtr<IStorage> SourceStorage(const std::string& original) {
  std::unique_ptr<CompoundFile> file;
  try {
    file = std::make_unique<CompoundFile>(original);
  } catch (const ReadError&) {
    Fail("файл OLE повреждён");
  }
  TComPtr<IStorage> storage;
  if (file->HeaderAsRequired()) {
    TComPtr<ILockBytes> bytes = LockBytesWith(original);
    Check(StgOpenStorageOnILockBytes(bytes.Get(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, storage.Out()),
          "файл OLE не открывается");
    return storage;
  }
  TComPtr<ILockBytes> bytes;
  Check(CreateILockBytesOnHGlobal(nullptr, TRUE, bytes.Out()), "недостаточно памяти");
  Check(StgCreateDocfileOnILockBytes(bytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, storage.Out()),
        "файл OLE не создаётся");
  for (const CompoundFile::Stream& item : file->RootItems()) {
    if (item.storage) Fail("в файле OLE с нестандартным заголовком есть вложенные хранилища");
    const std::string data = file->Read(item);
    TComPtr<IStream> out;
    Check(storage->CreateStream(item.name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, out.Out()),
          "поток файла не создаётся");
    ULONG written = 0;
    if (!data.empty()) Check(out->Write(data.data(), static_cast<ULONG>(data.size()), &written), "поток файла не пишется");
    if (written != data.size()) Fail("поток файла не пишется");
  }
  return storage;
}

}  // namespace

std::string RewriteBiffStream(const std::string& stream, const Workbook& wb, const ChangedCells& changed) {
  return StreamRewriter(stream, wb, changed).Run();
}

std::string WriteXlsEdits(const std::string& original, const Workbook& wb, const ChangedCells& changed) {
  static const unsigned char kOleMagic[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  if (original.size() < 8 || std::memcmp(original.data(), kOleMagic, 8) != 0) return RewriteBiffStream(original, wb, changed);
  TComPtr<IStorage> source = SourceStorage(original);
  std::wstring name;
  TComPtr<IEnumSTATSTG> items;
  Check(source->EnumElements(0, nullptr, 0, items.Out()), "файл OLE не читается");
  STATSTG st;
  while (items->Next(1, &st, nullptr) == S_OK) {
    if (st.pwcsName && st.type == STGTY_STREAM && SameName(st.pwcsName, L"Workbook")) name = st.pwcsName;
    CoTaskMemFree(st.pwcsName);
  }
  if (name.empty()) Fail("запись поддерживается только для книг Excel 97–2003");
  std::string stream;
  {
    TComPtr<IStream> in;
    Check(source->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, in.Out()), "поток книги не открывается");
    STATSTG ss = {};
    Check(in->Stat(&ss, STATFLAG_NONAME), "поток книги не читается");
    stream.resize(static_cast<size_t>(ss.cbSize.QuadPart));
    ULONG got = 0;
    if (!stream.empty()) Check(in->Read(&stream[0], static_cast<ULONG>(stream.size()), &got), "поток книги не читается");
    stream.resize(got);
  }
  std::string rewritten = RewriteBiffStream(stream, wb, changed);

  TComPtr<ILockBytes> targetBytes;
  Check(CreateILockBytesOnHGlobal(nullptr, TRUE, targetBytes.Out()), "недостаточно памяти");
  TComPtr<IStorage> target;
  Check(StgCreateDocfileOnILockBytes(targetBytes.Get(), STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0,
                                     target.Out()),
        "файл OLE не создаётся");
  // Every other stream and storage as it was, the workbook stream new.
  std::vector<wchar_t> excluded(name.begin(), name.end());
  excluded.push_back(0);
  LPOLESTR snb[2] = {excluded.data(), nullptr};
  Check(source->CopyTo(0, nullptr, snb, target.Get()), "потоки файла не копируются");
  STATSTG rootStat = {};
  if (SUCCEEDED(source->Stat(&rootStat, STATFLAG_NONAME))) target->SetClass(rootStat.clsid);
  {
    TComPtr<IStream> out;
    Check(target->CreateStream(name.c_str(), STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, out.Out()),
          "поток книги не создаётся");
    ULONG written = 0;
    Check(out->Write(rewritten.data(), static_cast<ULONG>(rewritten.size()), &written), "поток книги не пишется");
    if (written != rewritten.size()) Fail("поток книги не пишется");
  }
  Check(target->Commit(STGC_DEFAULT), "файл OLE не сохраняется");
  target.Release();
  STATSTG lbStat = {};
  Check(targetBytes->Stat(&lbStat, STATFLAG_NONAME), "файл OLE не сохраняется");
  std::string result(static_cast<size_t>(lbStat.cbSize.QuadPart), '\0');
  ULARGE_INTEGER zero = {};
  ULONG got = 0;
  if (!result.empty()) Check(targetBytes->ReadAt(zero, &result[0], static_cast<ULONG>(result.size()), &got), "файл OLE не сохраняется");
  result.resize(got);
  ClearUnusedDirectoryEntries(result);
  return result;
}

}  // namespace Spreadsheet
