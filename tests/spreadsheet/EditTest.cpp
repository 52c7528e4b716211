// Editing the open book: typed text read in the user's locale, undo and
// redo, the automation answers that follow the edits, and SaveAs writing the
// edits into a file of the book's own format that reads back with every
// other cell, part and stream as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "framework/Unicode.h"
#include "spreadsheet/Edits.h"
#include "spreadsheet/Layout.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Spreadsheet.h"
#include "spreadsheet/Writers.h"
#include "spreadsheet/XmlPull.h"
#include "spreadsheet/Zip.h"
#include "tests/spreadsheet/CraftedBooks.h"
#include "tests/spreadsheet/DispatchHelpers.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TinyXlsx.h"

using namespace Spreadsheet;

namespace {


std::string ReadAll(const std::string& path) {
  std::ifstream f(AnsiToWide(path).c_str(), std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}
bool Exists(const std::string& path) { return GetFileAttributesW(AnsiToWide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

const Separators kRu{L',', 0xA0};

TEST(TypedText, NumbersInTheUsersLocale) {
  struct Case {
    const wchar_t* text;
    bool number;
    double value;
  } cases[] = {
      {L"12,5", true, 12.5},         {L"-3", true, -3},           {L"+7", true, 7},
      {L" 42 ", true, 42},           {L",5", true, 0.5},          {L"1\xA0" L"234,5", true, 1234.5},
      {L"1 234 567", true, 1234567}, {L"1,5E-3", true, 0.0015},   {L"2e3", true, 2000},
      {L"12.5", false, 0},           {L"1,2,3", false, 0},        {L"12%", false, 0},
      {L"1 23", false, 0},           {L"12 3456", false, 0},      {L"E5", false, 0},
      {L"1E", false, 0},             {L"", false, 0},             {L"-", false, 0},
      {L"ЕНиР 2-1", false, 0},       {L"1e400", false, 0},        {L"0012", true, 12},
  };
  for (const auto& c : cases) {
    double v = -99;
    EXPECT_EQ(c.number, ParseNumber(c.text, kRu, v)) << WideToAnsi(c.text);
    if (c.number) {
      EXPECT_DOUBLE_EQ(c.value, v) << WideToAnsi(c.text);
    }
  }
  double v;
  EXPECT_TRUE(ParseNumber(L"12.5", Separators{L'.', L','}, v));
  EXPECT_DOUBLE_EQ(12.5, v);
  EXPECT_FALSE(ParseNumber(L"12,5", Separators{L'.', L','}, v));  // a group of two digits
}

TEST(TypedText, ApostropheFormulaAndKinds) {
  Workbook wb;
  Cell date;
  date.kind = CellKind::Date;
  date.number = 45000;
  struct Case {
    const wchar_t* text;
    const Cell* old;
    CellKind kind;
    const wchar_t* stored;
    bool formula;
  } cases[] = {
      {L"'0012", nullptr, CellKind::Text, L"0012", false},
      {L"'", nullptr, CellKind::Empty, L"", false},
      {L"=A1*2", nullptr, CellKind::Text, L"=A1*2", true},
      {L"=", nullptr, CellKind::Text, L"=", false},
      {L"", nullptr, CellKind::Empty, L"", false},
      {L"12,5", nullptr, CellKind::Number, L"", false},
      {L"12,5", &date, CellKind::Date, L"", false},  // the date format stays
      {L"текст", &date, CellKind::Text, L"текст", false},
  };
  for (const auto& c : cases) {
    bool formula = !c.formula;
    Cell got = TypedCell(wb, c.old, 3, 4, c.text, kRu, &formula);
    EXPECT_EQ(c.kind, got.kind) << WideToAnsi(c.text);
    EXPECT_EQ(c.formula, formula) << WideToAnsi(c.text);
    EXPECT_EQ(3u, got.row);
    EXPECT_EQ(4u, got.col);
    if (got.kind == CellKind::Text) {
      EXPECT_EQ(std::wstring(c.stored), wb.Text(got)) << WideToAnsi(c.text);
    }
  }
}

TEST(Clipboard, TabSeparatedRowsBothWays) {
  struct Case {
    const wchar_t* text;
    std::vector<std::vector<std::wstring>> rows;
  } cases[] = {
      {L"a\tb\r\nc\td\r\n", {{L"a", L"b"}, {L"c", L"d"}}},
      {L"a\tb", {{L"a", L"b"}}},
      {L"a\n\nb\n", {{L"a"}, {L""}, {L"b"}}},
      {L"\t\r\n", {{L"", L""}}},
      {L"\"x\ty\"\t\"say \"\"hi\"\"\"\r\n", {{L"x\ty", L"say \"hi\""}}},
      {L"\"two\r\nlines\"\tz", {{L"two\r\nlines", L"z"}}},
      {L"\"open", {{L"\"open"}}},
      {L"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.rows, SplitPasted(c.text)) << WideToAnsi(c.text);

  Workbook wb;
  wb.sheets.resize(1);
  Cell t;
  t.row = 1;
  t.col = 1;
  t.kind = CellKind::Text;
  t.text = wb.strings.Add(L"с\tтабом");
  Cell n;
  n.row = 2;
  n.col = 2;
  n.kind = CellKind::Number;
  n.number = 12.5;
  wb.sheets[0].Put(t);
  wb.sheets[0].Put(n);
  wb.sheets[0].Finish();
  std::wstring copied = CopyText(wb, 0, 1, 1, 2, 2, kRu);
  EXPECT_EQ(std::wstring(L"\"с\tтабом\"\t\r\n\t12,5\r\n"), copied);
  EXPECT_EQ((std::vector<std::vector<std::wstring>>{{L"с\tтабом", L""}, {L"", L"12,5"}}), SplitPasted(copied));
}

// A book of one sheet with A1 = 1 and B2 = "b".
std::shared_ptr<Book> SmallBook() {
  auto book = std::make_shared<Book>();
  book->model.sheets.resize(1);
  Cell a;
  a.row = 1;
  a.col = 1;
  a.kind = CellKind::Number;
  a.number = 1;
  Cell b;
  b.row = 2;
  b.col = 2;
  b.kind = CellKind::Text;
  b.text = book->model.strings.Add(L"b");
  book->model.sheets[0].Put(a);
  book->model.sheets[0].Put(b);
  book->model.sheets[0].Finish();
  return book;
}

Cell NumberAt(uint32_t row, uint32_t col, double v) {
  Cell c;
  c.row = row;
  c.col = static_cast<uint16_t>(col);
  c.kind = CellKind::Number;
  c.number = v;
  return c;
}
Cell EmptyAt(uint32_t row, uint32_t col) {
  Cell c;
  c.row = row;
  c.col = static_cast<uint16_t>(col);
  return c;
}

TEST(Edits, UndoRedoAndWhatDiffersFromTheFile) {
  auto book = SmallBook();
  int told = 0;
  book->Listen([&] { ++told; });
  const Sheet& s = book->model.sheets[0];
  EXPECT_FALSE(ApplyEdits(*book, 0, {NumberAt(1, 1, 1)}));  // the same value: no change
  EXPECT_TRUE(book->saved);
  EXPECT_EQ(0, told);

  ASSERT_TRUE(ApplyEdits(*book, 0, {NumberAt(1, 1, 5), NumberAt(9, 3, 7), EmptyAt(2, 2)}));
  EXPECT_FALSE(book->saved);
  EXPECT_EQ(1, told);
  EXPECT_EQ(5, s.Find(1, 1)->number);
  EXPECT_EQ(nullptr, s.Find(2, 2));
  EXPECT_EQ(9u, s.LastRow());  // the used range grows
  EXPECT_EQ((ChangedCells{{0, {{1, 1}, {2, 2}, {9, 3}}}}), ChangedPositions(*book));

  ASSERT_TRUE(ApplyEdits(*book, 0, {NumberAt(1, 1, 1)}));  // back to the file's value
  EXPECT_EQ((ChangedCells{{0, {{2, 2}, {9, 3}}}}), ChangedPositions(*book));
  ASSERT_TRUE(Undo(*book));
  EXPECT_EQ(5, s.Find(1, 1)->number);
  ASSERT_TRUE(Undo(*book));
  EXPECT_EQ(1, s.Find(1, 1)->number);
  EXPECT_EQ(std::wstring(L"b"), book->model.Text(*s.Find(2, 2)));
  EXPECT_EQ(nullptr, s.Find(9, 3));
  EXPECT_TRUE(ChangedPositions(*book).empty());
  EXPECT_FALSE(Undo(*book));
  EXPECT_FALSE(book->saved);  // as in Excel, undoing does not make the book saved

  ASSERT_TRUE(Redo(*book));
  EXPECT_EQ(7, s.Find(9, 3)->number);
  ASSERT_TRUE(Redo(*book));
  EXPECT_FALSE(Redo(*book));
  ASSERT_TRUE(Undo(*book));
  ASSERT_TRUE(ApplyEdits(*book, 0, {NumberAt(3, 3, 3)}));  // a new edit ends the redo history
  EXPECT_FALSE(Redo(*book));
  // Positions outside the sheet are left out.
  EXPECT_FALSE(ApplyEdits(*book, 0, {NumberAt(0, 1, 1), NumberAt(1, 0, 1), NumberAt(1048577, 1, 1)}));
  EXPECT_FALSE(ApplyEdits(*book, 3, {NumberAt(1, 1, 2)}));
}

TComPtr<IDispatch> Open(const std::string& path) {
  TComPtr<IDispatch> wb;
  AnsiString reason;
  EXPECT_EQ(S_OK, SpreadsheetOpenWorkbook(path, wb.Out(), reason)) << path << ": " << Escaped(reason);
  return wb;
}

TComPtr<IDispatch> CellOf(IDispatch* workbook, LONG sheet, LONG row, LONG col) {
  TVar sheets, s, cell;
  EXPECT_EQ(S_OK, Get(workbook, L"Worksheets", {}, sheets).hr);
  EXPECT_EQ(S_OK, Get(sheets.Dispatch(), L"Item", {I4(sheet)}, s).hr);
  EXPECT_EQ(S_OK, Get(s.Dispatch(), L"Cells", {I4(row), I4(col)}, cell).hr);
  return TComPtr<IDispatch>(cell.Dispatch());
}

CallResult SetValue(IDispatch* workbook, LONG sheet, LONG row, LONG col, VARIANT v) {
  return Call(CellOf(workbook, sheet, row, col).Get(), L"Value", DISPATCH_PROPERTYPUT, {v}, nullptr);
}

bool Saved(IDispatch* workbook) {
  TVar v;
  EXPECT_EQ(S_OK, Get(workbook, L"Saved", {}, v).hr);
  return V_BOOL(&v.Get()) != VARIANT_FALSE;
}

CallResult LastRow(IDispatch* workbook, LONG& row) {
  TVar sheet, cells, last, r;
  EXPECT_EQ(S_OK, Get(workbook, L"ActiveSheet", {}, sheet).hr);
  EXPECT_EQ(S_OK, Get(sheet.Dispatch(), L"Cells", {}, cells).hr);
  CallResult result = Get(cells.Dispatch(), L"SpecialCells", {I4(11)}, last);
  if (result.hr == S_OK) {
    EXPECT_EQ(S_OK, Get(last.Dispatch(), L"Row", {}, r).hr);
    row = V_I4(&r.Get());
  }
  return result;
}

TEST(EditAutomation, AnswersFollowTheEdits) {
  TComPtr<IDispatch> wb = Open(FixtureFile("spreadsheet/types.xlsx"));
  ASSERT_TRUE(wb);
  std::shared_ptr<Book> book = BookOf(wb.Get());
  ASSERT_TRUE(book);
  LONG row = 0;
  ASSERT_EQ(S_OK, LastRow(wb.Get(), row).hr);  // the third sheet is active: one cell
  EXPECT_EQ(1, row);
  EXPECT_TRUE(Saved(wb.Get()));

  EXPECT_EQ(S_OK, SetValue(wb.Get(), 3, 7, 2, Str(L"12,5")).hr);
  EXPECT_FALSE(Saved(wb.Get()));
  TVar v;
  ASSERT_EQ(S_OK, Get(CellOf(wb.Get(), 3, 7, 2).Get(), L"Value", {}, v).hr);
  ASSERT_EQ(VT_R8, v.Type());
  EXPECT_EQ(12.5, V_R8(&v.Get()));
  ASSERT_EQ(S_OK, LastRow(wb.Get(), row).hr);
  EXPECT_EQ(7, row);  // typed below the last used row

  // The in-place editor open: the edit probe is refused, as Excel refuses it.
  book->editing = true;
  EXPECT_EQ(RPC_E_CALL_REJECTED, LastRow(wb.Get(), row).hr);
  book->editing = false;
  EXPECT_EQ(S_OK, LastRow(wb.Get(), row).hr);

  struct Put {
    VARIANT value;
    VARTYPE type;
    SCODE error;  // for VT_ERROR: what reads back
  };
  VARIANT div0, foreign, date;
  V_VT(&div0) = VT_ERROR;
  V_ERROR(&div0) = static_cast<SCODE>(0x800A0000u + 2007);
  V_VT(&foreign) = VT_ERROR;
  V_ERROR(&foreign) = E_FAIL;  // no Excel error: #N/A
  V_VT(&date) = VT_DATE;
  V_DATE(&date) = 45000.5;
  Put puts[] = {{Str(L"'7"), VT_BSTR, 0},   {Boolean(true), VT_BOOL, 0},
                {I4(3), VT_R8, 0},          {div0, VT_ERROR, static_cast<SCODE>(0x800A0000u + 2007)},
                {foreign, VT_ERROR, static_cast<SCODE>(0x800A0000u + 2042)}, {date, VT_R8, 0}};
  for (auto& p : puts) {
    EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 40, 1, p.value).hr);
    TVar got;
    ASSERT_EQ(S_OK, Get(CellOf(wb.Get(), 1, 40, 1).Get(), L"Value", {}, got).hr);
    EXPECT_EQ(p.type, got.Type());
    if (p.type == VT_ERROR) {
      EXPECT_EQ(p.error, V_ERROR(&got.Get()));
    }
  }
  // A date into a cell formatted as a date (A5) reads back as that date.
  V_VT(&date) = VT_DATE;
  V_DATE(&date) = 45001.25;
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 5, 1, date).hr);
  TVar got;
  ASSERT_EQ(S_OK, Get(CellOf(wb.Get(), 1, 5, 1).Get(), L"Value", {}, got).hr);
  ASSERT_EQ(VT_DATE, got.Type());
  EXPECT_EQ(45001.25, V_DATE(&got.Get()));
  // A range of several cells takes no value.
  TVar sheet, range;
  ASSERT_EQ(S_OK, Get(wb.Get(), L"ActiveSheet", {}, sheet).hr);
  ASSERT_EQ(S_OK, Get(sheet.Dispatch(), L"Cells", {}, range).hr);
  CallResult several = Call(range.Dispatch(), L"Value", DISPATCH_PROPERTYPUT, {I4(1)}, nullptr);
  EXPECT_EQ(DISP_E_EXCEPTION, several.hr);
  EXPECT_EQ(static_cast<SCODE>(0x800A03EC), several.scode);
}

// A cell's value as text for comparing books: kind and value.
std::string Describe(const Workbook& wb, const Cell& c) {
  std::ostringstream s;
  s << "R" << c.row << "C" << c.col << " kind " << static_cast<int>(c.kind) << " ";
  if (c.kind == CellKind::Text) s << WideToAnsi(wb.Text(c)).c_str();
  else if (c.kind == CellKind::Boolean) s << c.boolean;
  else if (c.kind == CellKind::Error) s << c.error;
  else s << c.number;
  return s.str();
}

void ExpectSameCells(const Workbook& want, const Workbook& got, const std::string& what) {
  ASSERT_EQ(want.sheets.size(), got.sheets.size()) << what;
  for (size_t i = 0; i < want.sheets.size(); ++i) {
    std::vector<std::string> a, b;
    for (const Cell& c : want.sheets[i].Cells()) a.push_back(Describe(want, c));
    for (const Cell& c : got.sheets[i].Cells()) b.push_back(Describe(got, c));
    EXPECT_EQ(a, b) << what << " sheet " << i;
    EXPECT_EQ(want.sheets[i].LastRow(), got.sheets[i].LastRow()) << what << " sheet " << i;
  }
}

// The edits of the round trips, on the first sheet unless said otherwise.
struct EditCase {
  LONG sheet, row, col;
  const wchar_t* typed;
};
// Longer than an .xls LABEL record holds: it goes into the shared strings.
const std::wstring kLongText = L"Длинное описание работ: " + std::wstring(300, L'ж') + L" конец";
const EditCase kEdits[] = {
    {1, 13, 1, kLongText.c_str()},
    {1, 1, 1, L"Новый шифр ЕНиР 1-2"},  // text over text
    {1, 2, 1, L"12,5"},                  // a number over a number
    {1, 2, 2, L""},                      // cleared
    {1, 6, 1, L"7"},                     // over a formula with a number
    {1, 6, 2, L"Итого <&>"},             // over a formula with text
    {1, 3, 1, L"'0012"},                 // text forced over a boolean
    {1, 5, 9, L"42"},                    // a new cell in a row that has cells
    {1, 40, 3, L"ниже последней строки"},  // a new row below the used range
    {1, 12, 2, L"_x0041_ \x1 ok"},       // characters XML cannot carry as they are
    {2, 3, 2, L"второй лист"},
};

void ApplyTypedEdits(IDispatch* wb) {
  for (const auto& e : kEdits) {
    TComPtr<IDispatch> cell = CellOf(wb, e.sheet, e.row, e.col);
    EXPECT_EQ(S_OK, Call(cell.Get(), L"Value", DISPATCH_PROPERTYPUT, {Str(e.typed)}, nullptr).hr);
  }
}

// Writes what the independent reader must find in a saved book: one line per
// cell of the edited sheets, "sheet<TAB>ref<TAB>type<TAB>value" (UTF-8).
void WriteExpectations(const Workbook& wb, const std::string& path) {
  std::string out;
  for (size_t i = 0; i < std::min<size_t>(2, wb.sheets.size()); ++i) {
    for (const Cell& c : wb.sheets[i].Cells()) {
      std::string ref;
      for (uint32_t col = c.col; col > 0; col = (col - 1) / 26) ref.insert(ref.begin(), static_cast<char>('A' + (col - 1) % 26));
      ref += std::to_string(c.row);
      std::string name, value, type;
      for (wchar_t ch : wb.sheets[i].name) AppendUtf8(name, ch);
      char buf[40];
      switch (c.kind) {
        case CellKind::Text:
          type = "s";
          for (wchar_t ch : wb.Text(c)) AppendUtf8(value, ch);
          break;
        case CellKind::Boolean: type = "b"; value = c.boolean ? "1" : "0"; break;
        case CellKind::Error:
          type = "e";
          for (const wchar_t* p = ErrorText(c.error); *p; ++p) value += static_cast<char>(*p);
          break;
        default:
          type = "n";
          std::snprintf(buf, sizeof buf, "%.17g", c.number);
          value = buf;
      }
      std::string escaped;
      for (char ch : value) escaped += ch == '\t' ? std::string("\\t") : ch == '\n' ? std::string("\\n") : ch == '\\' ? std::string("\\\\") : std::string(1, ch);
      out += name + "\t" + ref + "\t" + type + "\t" + escaped + "\n";
    }
  }
  std::ofstream f(AnsiToWide(path).c_str(), std::ios::binary);
  f << out;
}

class RoundTrip : public testing::TestWithParam<const char*> {};

TEST_P(RoundTrip, SavedBookHoldsTheEditsAndEverythingElse) {
  std::string ext = GetParam();
  std::string source = FixtureFile("spreadsheet/types" + ext);
  CreateDirectoryW(AnsiToWide(FixtureFile("saved")).c_str(), nullptr);
  // Saved under an .xls name whatever the format, as the program's write-back does.
  std::string target = FixtureFile("saved/types" + ext + ".tmp0001.xls");
  DeleteFileW(AnsiToWide(target).c_str());
  TComPtr<IDispatch> wb = Open(source);
  ASSERT_TRUE(wb);
  std::shared_ptr<Book> book = BookOf(wb.Get());
  ApplyTypedEdits(wb.Get());
  ASSERT_EQ(std::wstring(L"Новый шифр ЕНиР 1-2"), book->model.Text(*book->model.sheets[0].Find(1, 1)));
  EXPECT_FALSE(Saved(wb.Get()));
  CallResult r = Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr);
  ASSERT_EQ(S_OK, r.hr) << Escaped(WideToAnsi(r.description));
  EXPECT_TRUE(Saved(wb.Get()));
  EXPECT_FALSE(Exists(target + ".x2z~"));

  std::string original = ReadAll(source), saved = ReadAll(target);
  Workbook back;
  AnsiString reason;
  ASSERT_TRUE(ReadWorkbook(saved, back, reason)) << Escaped(reason);
  ExpectSameCells(book->model, back, "saved " + ext);
  WriteExpectations(book->model, target + ".expect");

  if (ext == ".xlsx") {
    // Every part but the two edited sheets: the same compressed bytes.
    ZipArchive a(original), b(saved);
    ASSERT_EQ(a.Entries().size(), b.Entries().size());
    for (size_t i = 0; i < a.Entries().size(); ++i) {
      const auto& x = a.Entries()[i];
      const auto& y = b.Entries()[i];
      EXPECT_EQ(x.name, y.name);
      bool edited = x.name == book->model.sheets[0].part || x.name == book->model.sheets[1].part;
      if (!edited)
        EXPECT_EQ(original.substr(x.dataOffset, x.compressedSize), saved.substr(y.dataOffset, y.compressedSize)) << x.name;
      else
        EXPECT_NE(original.substr(x.dataOffset, x.compressedSize), saved.substr(y.dataOffset, y.compressedSize)) << x.name;
    }
  }

  // A second edit after saving builds on the saved file.
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 3, 1, 1, Str(L"после сохранения")).hr);
  std::string second = FixtureFile("saved/types" + ext + ".second");
  ASSERT_EQ(S_OK, Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(second).c_str())}, nullptr).hr);
  Workbook again;
  ASSERT_TRUE(ReadWorkbook(ReadAll(second), again, reason)) << Escaped(reason);
  ExpectSameCells(book->model, again, "second save " + ext);
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTrip, testing::Values(".xlsx", ".xls"));

// Every stream of a compound file's root storage but the workbook stream: name -> bytes.
std::map<std::wstring, std::string> OtherStreams(const std::string& file) {
  std::map<std::wstring, std::string> out;
  CreateDirectoryW(AnsiToWide(FixtureFile("saved")).c_str(), nullptr);
  std::wstring temp = AnsiToWide(FixtureFile("saved/streams.tmp"));
  std::ofstream(temp.c_str(), std::ios::binary) << file;
  IStorage* stg = nullptr;
  if (SUCCEEDED(StgOpenStorage(temp.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg))) {
    IEnumSTATSTG* items = nullptr;
    STATSTG st;
    if (SUCCEEDED(stg->EnumElements(0, nullptr, 0, &items))) {
      while (items->Next(1, &st, nullptr) == S_OK) {
        std::wstring name = st.pwcsName ? st.pwcsName : L"";
        CoTaskMemFree(st.pwcsName);
        IStream* s = nullptr;
        if (CompareStringOrdinal(name.c_str(), -1, L"Workbook", -1, TRUE) == CSTR_EQUAL || st.type != STGTY_STREAM ||
            FAILED(stg->OpenStream(name.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s)))
          continue;
        char buf[65536];
        ULONG n = 0;
        std::string& bytes = out[name];
        while (SUCCEEDED(s->Read(buf, sizeof buf, &n)) && n > 0) bytes.append(buf, n);
        s->Release();
      }
      items->Release();
    }
    stg->Release();
  }
  DeleteFileW(temp.c_str());
  return out;
}

// The workbook stream of a compound file, through the platform's structured storage.
std::string WorkbookStream(const std::string& file) {
  IStorage* stg = nullptr;
  std::string out;
  CreateDirectoryW(AnsiToWide(FixtureFile("saved")).c_str(), nullptr);
  std::wstring temp = AnsiToWide(FixtureFile("saved/stream.tmp"));
  std::ofstream(temp.c_str(), std::ios::binary) << file;
  if (SUCCEEDED(StgOpenStorage(temp.c_str(), nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg))) {
    IStream* s = nullptr;
    if (SUCCEEDED(stg->OpenStream(L"Workbook", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s))) {
      char buf[65536];
      ULONG n = 0;
      while (SUCCEEDED(s->Read(buf, sizeof buf, &n)) && n > 0) out.append(buf, n);
      s->Release();
    }
    stg->Release();
  }
  DeleteFileW(temp.c_str());
  return out;
}

// The file positions a BIFF8 stream keeps: BOUNDSHEET to a BOF, INDEX to its
// DBCELLs and DEFCOLWIDTH, DBCELL back to a ROW. The first one that points
// elsewhere, or "".
std::string WrongOffset(const std::string& s) {
  auto u16 = [&](size_t o) { return static_cast<uint32_t>(static_cast<uint8_t>(s[o]) | (static_cast<uint8_t>(s[o + 1]) << 8)); };
  auto u32 = [&](size_t o) { return u16(o) | (u16(o + 2) << 16); };
  std::map<size_t, uint32_t> type;  // record offset -> type
  for (size_t o = 0; o + 4 <= s.size() && o + 4 + u16(o + 2) <= s.size(); o += 4 + u16(o + 2)) type[o] = u16(o);
  auto is = [&](size_t o, uint32_t t) { return type.count(o) && type[o] == t; };
  for (const auto& r : type) {
    size_t d = r.first + 4, size = u16(r.first + 2);
    if (r.second == 0x85 && !is(u32(d), 0x0809)) return "BOUNDSHEET at " + std::to_string(r.first);
    if (r.second == 0x020B && size >= 16) {
      if (u32(d + 12) && !is(u32(d + 12), 0x55)) return "INDEX DEFCOLWIDTH at " + std::to_string(r.first);
      for (size_t f = 16; f + 4 <= size; f += 4)
        if (!is(u32(d + f), 0xD7)) return "INDEX DBCELL at " + std::to_string(r.first);
    }
    if (r.second == 0xD7 && size >= 4 && u32(d) && !is(r.first - u32(d), 0x0208)) return "DBCELL at " + std::to_string(r.first);
  }
  return "";
}

TEST(RoundTripXls, OtherStreamsAndSheetsKeepTheirBytes) {
  std::string source = FixtureFile("spreadsheet/types.xls");
  std::string target = FixtureFile("saved/types.xls.streams.xls");
  CreateDirectoryW(AnsiToWide(FixtureFile("saved")).c_str(), nullptr);
  TComPtr<IDispatch> wb = Open(source);
  ASSERT_TRUE(wb);
  std::shared_ptr<Book> book = BookOf(wb.Get());
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 2, 3, 2, Str(L"длиннее прежнего текста в ячейке")).hr);
  ASSERT_EQ(S_OK, Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr).hr);
  // The stream alone: every sheet but the second one keeps its records; the
  // ones after it move by what the second one grew.
  std::string original = ReadAll(source), saved = ReadAll(target);
  // Every other stream as it was.
  std::map<std::wstring, std::string> others = OtherStreams(original);
  EXPECT_FALSE(others.empty());
  EXPECT_TRUE(others == OtherStreams(saved));
  std::string a = WorkbookStream(original), b = WorkbookStream(saved);
  EXPECT_EQ("", WrongOffset(b));
  ASSERT_FALSE(a.empty());
  ASSERT_FALSE(b.empty());
  auto u32 = [](const std::string& s, size_t o) {
    return static_cast<uint32_t>(static_cast<uint8_t>(s[o]) | (static_cast<uint8_t>(s[o + 1]) << 8) |
                                 (static_cast<uint8_t>(s[o + 2]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(s[o + 3])) << 24));
  };
  // Sheet offsets from BOUNDSHEET (type 0x85), in order.
  auto sheets = [&](const std::string& s) {
    std::vector<uint32_t> at;
    for (size_t o = 0; o + 4 <= s.size();) {
      uint32_t type = u32(s, o) & 0xFFFF, size = u32(s, o) >> 16;
      if (type == 0x85) at.push_back(u32(s, o + 4));
      if (type == 0x0A) break;
      o += 4 + size;
    }
    at.push_back(static_cast<uint32_t>(s.size()));
    return at;
  };
  std::vector<uint32_t> sa = sheets(a), sb = sheets(b);
  ASSERT_EQ(5u, sa.size());
  ASSERT_EQ(5u, sb.size());
  EXPECT_EQ(a.substr(0, sa[0]).size(), b.substr(0, sb[0]).size());  // the globals keep their size
  EXPECT_EQ(sa[0], sb[0]);
  EXPECT_EQ(a.substr(sa[0], sa[1] - sa[0]), b.substr(sb[0], sb[1] - sb[0]));  // the first sheet: as it was
  EXPECT_GT(sb[2] - sb[1], sa[2] - sa[1]);                                     // the second grew
  for (size_t i = 2; i + 1 < sa.size(); ++i) EXPECT_EQ(sa[i + 1] - sa[i], sb[i + 1] - sb[i]) << "sheet " << i;
  Workbook back;
  AnsiString reason;
  ASSERT_TRUE(ReadWorkbook(saved, back, reason)) << Escaped(reason);
  ExpectSameCells(book->model, back, "streams");
}

// A compound file whose header departs from the format where our reader
// tolerates it (mini-stream cutoff 0): its edits are saved like any other's.
TEST(RoundTripXls, OddCompoundHeaderIsSavedWhole) {
  TempDir dir;
  std::string bytes;
  for (const crafted::Case& c : crafted::HostileCases())
    if (c.name == "cfb-cutoff-zero") bytes = c.make();
  ASSERT_FALSE(bytes.empty());
  const std::string source = dir.File("odd.xls"), target = dir.File("saved.xls");
  WriteFileBytes(source, bytes);
  TComPtr<IDispatch> wb = Open(source);
  ASSERT_TRUE(wb);
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 1, 1, Str(L"новое")).hr);
  CallResult r = Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr);
  ASSERT_EQ(S_OK, r.hr) << Escaped(WideToAnsi(r.description));
  Workbook back;
  AnsiString reason;
  ASSERT_TRUE(ReadWorkbook(ReadAll(target), back, reason)) << Escaped(reason);
  ExpectSameCells(BookOf(wb.Get())->model, back, "odd header");
  EXPECT_EQ(static_cast<int>(CompoundCheck::kSound), static_cast<int>(CheckCompoundFile(ReadAll(target), reason)))
      << "written with the header the format asks for";
}

TEST(SaveFailure, LeavesNoFileAndTellsWhy) {
  TempDir dir;
  TComPtr<IDispatch> wb = Open(FixtureFile("spreadsheet/types.xls"));
  ASSERT_TRUE(wb);
  std::shared_ptr<Book> book = BookOf(wb.Get());
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 1, 1, Str(L"x")).hr);
  struct Case {
    const char* what;
    std::string target;
  } cases[] = {
      {"a folder that does not exist", dir.File("none\\book.xls")},
      {"a folder in the target's place", dir.File("taken.xls")},
  };
  CreateDirectoryW(AnsiToWide(dir.File("taken.xls")).c_str(), nullptr);
  for (const auto& c : cases) {
    CallResult r = Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(c.target).c_str())}, nullptr);
    EXPECT_EQ(DISP_E_EXCEPTION, r.hr) << c.what;
    EXPECT_NE(std::wstring::npos, r.description.find(L"Не удаётся сохранить файл")) << c.what;
    EXPECT_FALSE(Exists(c.target + ".x2z~")) << c.what;
    EXPECT_FALSE(Saved(wb.Get())) << c.what;
  }
  // Text longer than an Excel cell holds: refused, not cut.
  std::wstring longText(32768, L'ж');
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 1, 2, Str(longText.c_str())).hr);
  std::string target = dir.File("long.xls");
  CallResult r = Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr);
  EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
  EXPECT_NE(std::wstring::npos, r.description.find(L"32 767")) << Escaped(WideToAnsi(r.description));
  EXPECT_FALSE(Exists(target));
  EXPECT_FALSE(Exists(target + ".x2z~"));
}

TEST(SheetXml, RowsAndCellsWithoutReferencesAndPrefixes) {
  Workbook wb;
  wb.sheets.resize(1);
  Sheet& s = wb.sheets[0];
  Cell c = NumberAt(2, 2, 5);
  s.Put(c);
  s.Finish();
  struct Case {
    const char* xml;
    std::vector<std::pair<uint32_t, uint32_t>> at;
    const char* want;
  } cases[] = {
      // Implied row and cell positions: the second row, second cell.
      {"<x:worksheet><x:sheetData><x:row><x:c><x:v>1</x:v></x:c></x:row><x:row spans=\"1:1\"><x:c/><x:c s=\"3\"><x:v>9</x:v></x:c></x:row></x:sheetData></x:worksheet>",
       {{2, 2}},
       "<x:worksheet><x:sheetData><x:row><x:c><x:v>1</x:v></x:c></x:row><x:row><x:c/><x:c r=\"B2\" s=\"3\"><x:v>5</x:v></x:c></x:row></x:sheetData></x:worksheet>"},
      // An empty sheet, and a cleared cell that had no style: nothing is written for it.
      {"<worksheet><dimension ref=\"A1\"/><sheetData/></worksheet>",
       {{1, 1}, {2, 2}},
       "<worksheet><dimension ref=\"A1:B2\"/><sheetData><row r=\"2\"><c r=\"B2\"><v>5</v></c></row></sheetData></worksheet>"},
      // A self-closing row gets the cell; a cleared styled cell keeps its style.
      {"<worksheet><sheetData><row r=\"1\"><c r=\"A1\" s=\"2\" t=\"s\"><v>0</v></c></row><row r=\"2\" ht=\"30\"/></sheetData></worksheet>",
       {{1, 1}, {2, 2}},
       "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" s=\"2\"/></row><row r=\"2\" ht=\"30\"><c r=\"B2\"><v>5</v></c></row></sheetData></worksheet>"},
  };
  for (const auto& k : cases) EXPECT_EQ(std::string(k.want), RewriteSheetXml(k.xml, wb, s, k.at)) << k.xml;
  EXPECT_THROW(RewriteSheetXml("<worksheet/>", wb, s, {{2, 2}}), WriteError);
  EXPECT_THROW(RewriteSheetXml("<worksheet><sheetData><row r=\"2\"><c r=\"B2\">", wb, s, {{2, 2}}), WriteError);
}

}  // namespace

namespace {

struct LayoutCase {
  const char* file;
  double firstWidth;  // characters, as the file stores it
  bool rows;          // the file has row layout (this writer's .xls has no ROW records)
  bool looks;         // the file has fonts and alignments
};

class FileLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(FileLayout, WidthsHiddenMergesAndLooks) {
  const LayoutCase& c = GetParam();
  Workbook wb;
  AnsiString reason;
  ASSERT_TRUE(ReadWorkbook(ReadAll(FixtureFile(std::string("spreadsheet/") + c.file)), wb, reason)) << Escaped(reason);
  const SheetLayout& l = wb.sheets[0].layout;
  ASSERT_EQ(1u, l.colWidths.count(1));
  EXPECT_NEAR(c.firstWidth, l.colWidths.at(1), 0.01);
  EXPECT_EQ(std::set<uint32_t>{2}, l.hiddenCols);
  ASSERT_EQ(1u, l.merges.size());
  EXPECT_EQ(1u, l.merges[0].row1);
  EXPECT_EQ(1u, l.merges[0].col1);
  EXPECT_EQ(1u, l.merges[0].row2);
  EXPECT_EQ(3u, l.merges[0].col2);
  if (c.rows) {
    EXPECT_EQ((std::map<uint32_t, double>{{1, 30.0}}), l.rowHeights);
    EXPECT_EQ(std::set<uint32_t>{3}, l.hiddenRows);
  }
  if (c.looks) {
    EXPECT_EQ(kLookBold | kLookAlignCenter, wb.sheets[0].Find(2, 1)->look);
    EXPECT_EQ(kLookItalic, wb.sheets[0].Find(2, 2)->look);
    EXPECT_EQ(kLookAlignLeft, wb.sheets[0].Find(2, 3)->look);
    EXPECT_EQ(0, wb.sheets[0].Find(1, 1)->look);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, FileLayout,
                         testing::Values(LayoutCase{"layout.xlsx", 30.83203125, true, true},
                                         LayoutCase{"layout.xls", 30.83203125, false, false}));

TEST(BiffLooks, FontsAndFormats) {
  // FONT: height, flags (italic 0x02), colour, weight.
  const uint8_t regular[] = {0xC8, 0, 0, 0, 0xFF, 0x7F, 0x90, 0x01};
  const uint8_t bold[] = {0xC8, 0, 0, 0, 0xFF, 0x7F, 0xBC, 0x02};
  const uint8_t italic[] = {0xC8, 0, 0x02, 0, 0xFF, 0x7F, 0x90, 0x01};
  std::vector<uint8_t> fonts = {LookOfBiffFont(regular, 8), LookOfBiffFont(bold, 8), LookOfBiffFont(italic, 8),
                                LookOfBiffFont(regular, 8)};
  EXPECT_EQ((std::vector<uint8_t>{0, kLookBold, kLookItalic, 0}), fonts);
  fonts.push_back(kLookBold | kLookItalic);  // font number 5: the fifth in the list
  struct Case {
    uint8_t font, alignment;
    uint8_t look;
  } cases[] = {
      {0, 0, 0},         {1, 0, kLookBold},        {2, 1, kLookItalic | kLookAlignLeft},
      {0, 2, kLookAlignCenter}, {0, 3, kLookAlignRight}, {0, 5, 0},  // justify: by the value
      {5, 0, kLookBold | kLookItalic}, {9, 3, kLookAlignRight},    // a font past the list
  };
  for (const auto& k : cases) {
    const uint8_t xf[] = {k.font, 0, 0, 0, 0, 0, k.alignment, 0};
    EXPECT_EQ(k.look, LookOfBiffXf(xf, sizeof xf, fonts)) << int(k.font) << "/" << int(k.alignment);
  }
  EXPECT_EQ(0, LookOfBiffXf(nullptr, 0, fonts));
}

}  // namespace

namespace {

std::string PartText(const std::string& package, const char* name) {
  ZipArchive zip(package);
  const ZipArchive::Entry* e = zip.Find(name);
  return e ? zip.Extract(*e, 1 << 20) : std::string("<none>");
}

// An entry whose attributes another writer put on a line of their own still
// takes the sheet id of the one before it.
TEST(FormulaCells, ChainEntrySplitOverLinesKeepsItsSheet) {
  TempDir dir;
  const std::string fixture = ReadAll(FixtureFile("spreadsheet/formulas.xlsx"));
  ZipArchive zip(fixture);
  std::vector<std::pair<std::string, std::string>> parts;
  for (const ZipArchive::Entry& e : zip.Entries()) {
    std::string text = zip.Extract(e, 1 << 20);
    if (e.name == "xl/calcChain.xml") text.replace(text.find("<c r=\"C1\""), 3, "<c\n");
    parts.push_back({e.name, text});
  }
  const std::string book = dir.File("split.xlsx");
  std::ofstream(AnsiToWide(book).c_str(), std::ios::binary) << tiny_xlsx::Zip(parts);
  TComPtr<IDispatch> wb = Open(book);
  ASSERT_TRUE(wb);
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 1, 2, I4(5)).hr);
  const std::string target = dir.File("saved.xlsx");
  CallResult r = Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr);
  ASSERT_EQ(S_OK, r.hr) << Escaped(WideToAnsi(r.description));
  const std::string chain = PartText(ReadAll(target), "xl/calcChain.xml");
  EXPECT_NE(std::string::npos, chain.find("<c i=\"1\"\nr=\"C1\"/></calcChain>")) << chain;
  EXPECT_EQ(std::string::npos, chain.find("B1")) << chain;
}

// formulas.xlsx: B1 and C1 formulas in the calculation chain; D1:D2 a shared
// formula whose text D1 carries.
TEST(FormulaCells, OverwrittenFormulasLeaveTheCalculationChain) {
  TempDir dir;
  TComPtr<IDispatch> wb = Open(FixtureFile("spreadsheet/formulas.xlsx"));
  ASSERT_TRUE(wb);
  auto save = [&](const char* name) {
    std::string target = dir.File(name);
    CallResult r = Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr);
    EXPECT_EQ(S_OK, r.hr) << Escaped(WideToAnsi(r.description));
    return ReadAll(target);
  };
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 1, 2, I4(5)).hr);
  std::string first = save("first.xlsx");
  EXPECT_NE(std::string::npos, PartText(first, "xl/calcChain.xml").find("<c i=\"1\" r=\"C1\"/></calcChain>"))
      << PartText(first, "xl/calcChain.xml");
  EXPECT_EQ(std::string::npos, PartText(first, "xl/calcChain.xml").find("B1"));
  // The last formula of the chain gone: the chain goes, with what names it.
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 1, 3, Str(L"текст")).hr);
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 2, 4, I4(9)).hr);  // a cell that only uses the shared formula
  std::string second = save("second.xlsx");
  EXPECT_EQ("<none>", PartText(second, "xl/calcChain.xml"));
  EXPECT_EQ(std::string::npos, PartText(second, "xl/_rels/workbook.xml.rels").find("calcChain"));
  EXPECT_EQ(std::string::npos, PartText(second, "[Content_Types].xml").find("calcChain"));
  EXPECT_NE(std::string::npos, PartText(second, "[Content_Types].xml").find("worksheet"));
  Workbook back;
  AnsiString reason;
  ASSERT_TRUE(ReadWorkbook(second, back, reason)) << Escaped(reason);
  EXPECT_EQ(9, back.sheets[0].Find(2, 4)->number);
  EXPECT_EQ(std::wstring(L"текст"), back.Text(*back.sheets[0].Find(1, 3)));
  // For the independent reader: a package with a part dropped.
  CreateDirectoryW(AnsiToWide(FixtureFile("saved")).c_str(), nullptr);
  std::ofstream(AnsiToWide(FixtureFile("saved/formulas.second.xlsx")).c_str(), std::ios::binary) << second;
  WriteExpectations(BookOf(wb.Get())->model, FixtureFile("saved/formulas.second.xlsx.expect"));
  // The cell that carries the shared formula: refused, nothing written.
  EXPECT_EQ(S_OK, SetValue(wb.Get(), 1, 1, 4, I4(1)).hr);
  std::string target = dir.File("third.xlsx");
  CallResult r = Call(wb.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr);
  EXPECT_EQ(DISP_E_EXCEPTION, r.hr);
  EXPECT_NE(std::wstring::npos, r.description.find(L"D1")) << Escaped(WideToAnsi(r.description));
  EXPECT_FALSE(Exists(target));
}

}  // namespace

namespace {

std::vector<std::string> CorpusFiles(const char* folder) {
  const char* src = std::getenv("X2Z_SOURCE_DIR");
  std::string dir = HostPath(std::string(src ? src : "..") + "/../shared/corpus/" + folder + "/");
  std::vector<std::string> files;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(AnsiToWide(dir + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) files.push_back(dir + WideToAnsi(fd.cFileName).c_str());
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return files;
}

// Real books written by other programs: three edits on the first worksheet
// (text over its first cell, its last cell cleared, a number below the used
// range), written back in memory and read again: every cell of every sheet
// as the edited model has it, or a refusal with its reason.
TEST(CorpusWriteBack, EditedBooksReadBackWhole) {
  int written = 0, refused = 0;
  for (const char* folder : {"xls", "xlsx"}) {
    for (const std::string& file : CorpusFiles(folder)) {
      Book book;
      AnsiString reason;
      book.fileBytes = ReadAll(file);
      if (!ReadWorkbook(book.fileBytes, book.model, reason)) continue;
      size_t s = 0;
      while (s < book.model.sheets.size() && !book.model.sheets[s].HasCells()) ++s;
      if (s == book.model.sheets.size()) continue;
      const Sheet& sheet = book.model.sheets[s];
      std::vector<Cell> edits;
      if (sheet.CellCount() > 0) {
        Cell first = sheet.Cells().front();
        first.kind = CellKind::Text;
        // Latin text: the independent reader decodes UTF-16 strings through a
        // book's code page when that is not 1200 (several of these are 1252);
        // Cyrillic is checked on the fixtures above.
        // Longer than an .xls LABEL holds: the shared strings grow.
        first.text = book.model.strings.Add(L"edit #1 ok " + std::wstring(300, L'x'));
        edits.push_back(first);
      }
      if (sheet.CellCount() > 1) edits.push_back(EmptyAt(sheet.Cells().back().row, sheet.Cells().back().col));
      if (sheet.LastRow() < book.model.MaxRows()) edits.push_back(NumberAt(sheet.LastRow() + 1, 1, 42.5));
      ApplyEdits(book, s, edits);
      std::string saved;
      try {
        saved = book.model.format == FileFormat::Xlsx ? WriteXlsxEdits(book.fileBytes, book.model, ChangedPositions(book))
                                                      : WriteXlsEdits(book.fileBytes, book.model, ChangedPositions(book));
      } catch (const WriteError& e) {
        ++refused;
        std::cout << "refused " << file << ": " << Escaped(e.reason) << "\n";
        EXPECT_FALSE(e.reason.empty());
        continue;
      }
      ++written;
      // Sound positions stay sound (an edited sheet's own are laid anew, so some books come out mended).
      if (book.model.format == FileFormat::Xls && WrongOffset(WorkbookStream(book.fileBytes)).empty()) {
        EXPECT_EQ("", WrongOffset(WorkbookStream(saved))) << file;
      }
      if (book.model.format == FileFormat::Xls) {
        EXPECT_TRUE(OtherStreams(book.fileBytes) == OtherStreams(saved)) << file << ": the other streams as they were";
      }
      Workbook back;
      ASSERT_TRUE(ReadWorkbook(saved, back, reason)) << file << ": " << Escaped(reason);
      ExpectSameCells(book.model, back, file);
      // For the independent reader: the book, and the edited cells as "sheet TAB ref TAB type TAB value".
      std::string name = file.substr(file.find_last_of('\\') + 1);
      std::string copy = FixtureFile("saved/corpus-" + name);
      CreateDirectoryW(AnsiToWide(FixtureFile("saved")).c_str(), nullptr);
      std::ofstream(AnsiToWide(copy).c_str(), std::ios::binary) << saved;
      std::string lines, sheetName;
      for (wchar_t ch : sheet.name) AppendUtf8(sheetName, ch);
      for (const Cell& e : edits) {
        std::string ref;
        for (uint32_t col = e.col; col > 0; col = (col - 1) / 26) ref.insert(ref.begin(), static_cast<char>('A' + (col - 1) % 26));
        ref += std::to_string(e.row);
        std::string value;
        if (e.kind == CellKind::Text)
          for (wchar_t ch : book.model.Text(e)) AppendUtf8(value, ch);
        lines += sheetName + "\t" + ref + "\t" + (e.kind == CellKind::Text ? "s" : e.kind == CellKind::Empty ? "z" : "n") +
                 "\t" + (e.kind == CellKind::Number ? "42.5" : value) + "\n";
      }
      std::ofstream(AnsiToWide(copy + ".edits").c_str(), std::ios::binary) << lines;
    }
  }
  std::cout << written << " written back, " << refused << " refused\n";
  EXPECT_GT(written, 60);
}

}  // namespace
