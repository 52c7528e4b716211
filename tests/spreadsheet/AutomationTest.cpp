// The automation objects answer by name, exactly as the conversion and the
// workbook control call them (GetIDsOfNames, then Invoke), and refuse wrong
// calls with Excel's kinds of failure.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framework/Unicode.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Spreadsheet.h"
#include "tests/spreadsheet/DispatchHelpers.h"
#include "tests/support/TestSupport.h"

namespace {

std::string FixturePath(const std::string& name) { return FixtureFile("spreadsheet/" + name); }

TComPtr<IDispatch> Open(const std::string& path) {
  TComPtr<IDispatch> wb;
  AnsiString reason;
  HRESULT hr = SpreadsheetOpenWorkbook(path, wb.Out(), reason);
  EXPECT_EQ(S_OK, hr) << path << ": " << Escaped(reason);
  return wb;
}

TComPtr<IDispatch> Object(IDispatch* from, const wchar_t* name, std::vector<VARIANT> args = {}) {
  TVar v;
  CallResult r = Get(from, name, std::move(args), v);
  EXPECT_EQ(S_OK, r.hr) << WideToAnsi(name);
  EXPECT_EQ(VT_DISPATCH, v.Type()) << WideToAnsi(name);
  return TComPtr<IDispatch>(v.Dispatch());
}

LONG Long(IDispatch* from, const wchar_t* name) {
  TVar v;
  EXPECT_EQ(S_OK, Get(from, name, {}, v).hr) << WideToAnsi(name);
  VARIANT l;
  VariantInit(&l);
  VariantChangeType(&l, const_cast<VARIANT*>(&v.Get()), 0, VT_I4);
  return V_I4(&l);
}

std::wstring Text(IDispatch* from, const wchar_t* name) {
  TVar v;
  EXPECT_EQ(S_OK, Get(from, name, {}, v).hr) << WideToAnsi(name);
  return v.Type() == VT_BSTR ? std::wstring(V_BSTR(&v.Get())) : std::wstring(L"<not text>");
}

class Automation : public testing::Test {
 protected:
  void SetUp() override {
    workbook_ = Open(FixturePath("types.xls"));
    ASSERT_TRUE(workbook_);
  }
  TComPtr<IDispatch> workbook_;
};

TEST_F(Automation, TheWorkbookControlsCallSequence) {
  // Opening: container object ."Application" ."ActiveWorkbook" ...
  TComPtr<IDispatch> app = Object(workbook_.Get(), L"Application");
  TComPtr<IDispatch> active = Object(app.Get(), L"ActiveWorkbook");
  TComPtr<IDispatch> sheets = Object(active.Get(), L"WorkSheets");
  TComPtr<IDispatch> sheet = Object(active.Get(), L"ActiveSheet");
  TVar none;
  EXPECT_EQ(S_OK, Call(active.Get(), L"Saved", DISPATCH_PROPERTYPUT, {Boolean(true)}, nullptr).hr);
  // Sheet list, sheet switch and sheet follow.
  EXPECT_EQ(4, Long(sheets.Get(), L"Count"));
  TComPtr<IDispatch> second = Object(sheets.Get(), L"Item", {I4(2)});
  EXPECT_EQ(std::wstring(L"Данные"), Text(second.Get(), L"Name"));
  EXPECT_EQ(S_OK, Call(second.Get(), L"Activate", DISPATCH_METHOD, {}, nullptr).hr);
  TComPtr<IDispatch> followed = Object(Object(Object(workbook_.Get(), L"Application").Get(), L"ActiveWorkbook").Get(),
                                       L"ActiveSheet");
  EXPECT_EQ(2, Long(followed.Get(), L"Index"));
  // Edit probe and cell access.
  TComPtr<IDispatch> last = Object(Object(followed.Get(), L"Cells").Get(), L"SpecialCells", {I4(11)});
  EXPECT_EQ(5, Long(last.Get(), L"Row"));
  TVar value;
  ASSERT_EQ(S_OK, Get(Object(followed.Get(), L"Cells", {I4(2), I4(2)}).Get(), L"Value", {}, value).hr);
  EXPECT_EQ(std::wstring(L"Строка 2"), V_BSTR(&value.Get()));
  // Save guard: unchanged, so Saved stays as put.
  TVar saved;
  ASSERT_EQ(S_OK, Get(active.Get(), L"Saved", {}, saved).hr);
  EXPECT_EQ(VARIANT_TRUE, V_BOOL(&saved.Get()));
  EXPECT_EQ(S_OK, Call(app.Get(), L"Quit", DISPATCH_METHOD, {}, nullptr).hr);
  TVar gone;
  ASSERT_EQ(S_OK, Get(app.Get(), L"ActiveWorkbook", {}, gone).hr);
  EXPECT_EQ(VT_DISPATCH, gone.Type());
  EXPECT_EQ(nullptr, gone.Dispatch());  // Nothing: no workbook after Quit
}

TEST_F(Automation, NamesIgnoreCase) {
  for (const wchar_t* name : {L"WorkSheets", L"worksheets", L"WORKSHEETS", L"Sheets", L"sHeEtS"}) {
    TVar v;
    EXPECT_EQ(S_OK, Get(workbook_.Get(), name, {}, v).hr) << WideToAnsi(name);
  }
  TComPtr<IDispatch> sheets = Object(workbook_.Get(), L"Worksheets");
  EXPECT_EQ(std::wstring(L"Третий"), Text(Object(sheets.Get(), L"Item", {Str(L"ТРЕТИЙ")}).Get(), L"Name"));
}

struct Failing {
  const char* what;
  const wchar_t* object;  // "book", "sheets", "sheet" or "cell"
  const wchar_t* member;
  WORD flags;
  std::vector<VARIANT> (*args)();
  HRESULT hr;
};

TEST_F(Automation, WrongCallsFailLikeExcel) {
  TComPtr<IDispatch> sheets = Object(workbook_.Get(), L"WorkSheets");
  TComPtr<IDispatch> sheet = Object(sheets.Get(), L"Item", {I4(1)});
  TComPtr<IDispatch> cell = Object(sheet.Get(), L"Cells", {I4(1), I4(1)});
  const WORD get = DISPATCH_PROPERTYGET | DISPATCH_METHOD;
  const Failing cases[] = {
      {"unknown member", L"book", L"Nonsense", get, [] { return std::vector<VARIANT>{}; }, DISP_E_UNKNOWNNAME},
      {"item 0", L"sheets", L"Item", get, [] { return std::vector<VARIANT>{I4(0)}; }, DISP_E_BADINDEX},
      {"item past the end", L"sheets", L"Item", get, [] { return std::vector<VARIANT>{I4(5)}; }, DISP_E_BADINDEX},
      {"item by unknown name", L"sheets", L"Item", get, [] { return std::vector<VARIANT>{Str(L"Нет")}; }, DISP_E_BADINDEX},
      {"item without index", L"sheets", L"Item", get, [] { return std::vector<VARIANT>{}; }, DISP_E_PARAMNOTOPTIONAL},
      {"item with two", L"sheets", L"Item", get, [] { return std::vector<VARIANT>{I4(1), I4(1)}; }, DISP_E_BADPARAMCOUNT},
      {"count with an argument", L"sheets", L"Count", get, [] { return std::vector<VARIANT>{I4(1)}; }, DISP_E_BADPARAMCOUNT},
      {"cells row 0", L"sheet", L"Cells", get, [] { return std::vector<VARIANT>{I4(0), I4(1)}; }, DISP_E_EXCEPTION},
      {"cells column 0", L"sheet", L"Cells", get, [] { return std::vector<VARIANT>{I4(1), I4(0)}; }, DISP_E_EXCEPTION},
      {"cells past row 65536", L"sheet", L"Cells", get, [] { return std::vector<VARIANT>{I4(65537), I4(1)}; }, DISP_E_EXCEPTION},
      {"cells past column IV", L"sheet", L"Cells", get, [] { return std::vector<VARIANT>{I4(1), I4(257)}; }, DISP_E_EXCEPTION},
      {"cells with text row", L"sheet", L"Cells", get, [] { return std::vector<VARIANT>{Str(L"x"), I4(1)}; }, DISP_E_TYPEMISMATCH},
      {"cells with three", L"sheet", L"Cells", get, [] { return std::vector<VARIANT>{I4(1), I4(1), I4(1)}; }, DISP_E_BADPARAMCOUNT},
      {"special cells 2", L"cell", L"SpecialCells", get, [] { return std::vector<VARIANT>{I4(2)}; }, DISP_E_EXCEPTION},
      {"special cells bare", L"cell", L"SpecialCells", get, [] { return std::vector<VARIANT>{}; }, DISP_E_PARAMNOTOPTIONAL},
      {"saved put text", L"book", L"Saved", DISPATCH_PROPERTYPUT, [] { return std::vector<VARIANT>{Str(L"да?")}; }, DISP_E_TYPEMISMATCH},
      {"index put", L"sheet", L"Index", DISPATCH_PROPERTYPUT, [] { return std::vector<VARIANT>{I4(1)}; }, DISP_E_MEMBERNOTFOUND},
      {"save as without name", L"book", L"SaveAs", DISPATCH_METHOD, [] { return std::vector<VARIANT>{}; }, DISP_E_PARAMNOTOPTIONAL},
  };
  for (const auto& c : cases) {
    IDispatch* target = std::wstring(c.object) == L"book" ? workbook_.Get()
                        : std::wstring(c.object) == L"sheets" ? sheets.Get()
                        : std::wstring(c.object) == L"sheet" ? sheet.Get() : cell.Get();
    TVar out;
    CallResult r = Call(target, c.member, c.flags, c.args(), &out);
    EXPECT_EQ(c.hr, r.hr) << c.what << std::hex << ": got 0x" << r.hr;
    if (c.hr == DISP_E_EXCEPTION) {
      EXPECT_FALSE(r.description.empty()) << c.what;
      EXPECT_EQ(static_cast<SCODE>(0x800A03EC), r.scode) << c.what;
    }
  }
  // Invoke with a DISPID nobody gave out.
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(DISP_E_MEMBERNOTFOUND, workbook_->Invoke(9999, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &out, nullptr, nullptr));
}

TEST_F(Automation, CellsTakeLettersAndSheetLimitsFollowTheFormat) {
  TComPtr<IDispatch> sheet = Object(Object(workbook_.Get(), L"WorkSheets").Get(), L"Item", {I4(1)});
  TComPtr<IDispatch> b1 = Object(sheet.Get(), L"Cells", {I4(1), Str(L"b")});
  EXPECT_EQ(2, Long(b1.Get(), L"Column"));
  EXPECT_EQ(std::wstring(L"Шифр расценки ЁЖЩ ёжщ №"), Text(b1.Get(), L"Value"));
  TComPtr<IDispatch> corner = Object(sheet.Get(), L"Cells", {I4(65536), I4(256)});
  EXPECT_EQ(65536, Long(corner.Get(), L"Row"));
  // Cells(n) counts along the rows: 257 is A2 on a 256-column sheet.
  TComPtr<IDispatch> a2 = Object(sheet.Get(), L"Cells", {I4(257)});
  EXPECT_EQ(2, Long(a2.Get(), L"Row"));
  EXPECT_EQ(1, Long(a2.Get(), L"Column"));

  TComPtr<IDispatch> xlsx = Open(FixturePath("types.xlsx"));
  TComPtr<IDispatch> big = Object(Object(Object(xlsx.Get(), L"WorkSheets").Get(), L"Item", {I4(1)}).Get(), L"Cells",
                                  {I4(1048576), I4(16384)});
  EXPECT_EQ(16384, Long(big.Get(), L"Column"));
}

TEST_F(Automation, SavedAndSaveAs) {
  TVar saved;
  for (bool value : {false, true, false}) {
    ASSERT_EQ(S_OK, Call(workbook_.Get(), L"Saved", DISPATCH_PROPERTYPUT, {Boolean(value)}, nullptr).hr);
    ASSERT_EQ(S_OK, Get(workbook_.Get(), L"Saved", {}, saved).hr);
    EXPECT_EQ(value, V_BOOL(&saved.Get()) != VARIANT_FALSE);
  }
  TempDir dir;
  std::string target = dir.File("tmp0001.xls");
  ASSERT_EQ(S_OK, Call(workbook_.Get(), L"SaveAs", DISPATCH_METHOD, {Str(AnsiToWide(target).c_str())}, nullptr).hr);
  EXPECT_EQ(ReadFileBytes(FixturePath("types.xls")), ReadFileBytes(target));
  ASSERT_EQ(S_OK, Get(workbook_.Get(), L"Saved", {}, saved).hr);
  EXPECT_NE(VARIANT_FALSE, V_BOOL(&saved.Get()));
  EXPECT_EQ(std::wstring(L"tmp0001.xls"), Text(workbook_.Get(), L"Name"));
  CallResult bad = Call(workbook_.Get(), L"SaveAs", DISPATCH_METHOD, {Str(L"Q:\\нет\\такой\\папки\\a.xls")}, nullptr);
  EXPECT_EQ(DISP_E_EXCEPTION, bad.hr);
}

TEST_F(Automation, ObjectsOutliveTheWorkbookReference) {
  TComPtr<IDispatch> cell = Object(Object(workbook_.Get(), L"ActiveSheet").Get(), L"Cells", {I4(1), I4(1)});
  workbook_.Release();
  EXPECT_EQ(std::wstring(L"Третий лист"), Text(cell.Get(), L"Value"));
  cell->AddRef();
  EXPECT_EQ(1u, cell->Release());
}

TEST(AutomationSheets, ChartSheetsHaveNoCellsAndStayOutOfWorksheets) {
  TComPtr<IDispatch> wb = Open(CorpusFile("xlsx/cal-any_sheets.xlsx"));
  ASSERT_TRUE(wb);
  EXPECT_EQ(3, Long(Object(wb.Get(), L"Worksheets").Get(), L"Count"));
  TComPtr<IDispatch> all = Object(wb.Get(), L"Sheets");
  EXPECT_EQ(4, Long(all.Get(), L"Count"));
  TComPtr<IDispatch> chart = Object(all.Get(), L"Item", {I4(4)});
  EXPECT_EQ(std::wstring(L"Chart"), Text(chart.Get(), L"Name"));
  EXPECT_EQ(4, Long(chart.Get(), L"Index"));
  TVar cells;
  EXPECT_EQ(DISP_E_UNKNOWNNAME, Get(chart.Get(), L"Cells", {}, cells).hr);
  EXPECT_EQ(S_OK, Call(chart.Get(), L"Activate", DISPATCH_METHOD, {}, nullptr).hr);
  TComPtr<IDispatch> active = Object(wb.Get(), L"ActiveSheet");
  EXPECT_EQ(DISP_E_UNKNOWNNAME, Get(active.Get(), L"Cells", {}, cells).hr);
}

TEST(AutomationOpen, RefusalsCarryAReason) {
  TempDir dir;
  WriteFileBytes(dir.File("note.xls"), "just text");
  const struct {
    std::string path;
    const char* reason;
  } cases[] = {
      {dir.File("missing.xls"), "Не удаётся открыть файл"},
      {dir.File("note.xls"), Spreadsheet::Reason::kUnknownFormat},
      {CorpusFile("bad/cal-issue_385.xls"), Spreadsheet::Reason::kEncrypted},
  };
  for (const auto& c : cases) {
    TComPtr<IDispatch> wb;
    AnsiString reason;
    EXPECT_TRUE(FAILED(SpreadsheetOpenWorkbook(c.path, wb.Out(), reason))) << c.path;
    EXPECT_FALSE(wb) << c.path;
    EXPECT_EQ(0u, reason.find(c.reason)) << c.path << ": " << Escaped(reason);
  }
}

}  // namespace
