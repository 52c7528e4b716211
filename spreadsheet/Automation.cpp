// The automation objects of the built-in engine: Application, Workbook, the
// sheets collections, Worksheet/Chart and Range, each a plain IDispatch whose
// members are looked up by name without regard to case, as Excel's are.
// Every Invoke catches all exceptions: none crosses into the caller.
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <cwctype>
#include <memory>
#include <new>

#include "framework/ComPtr.h"
#include "framework/Unicode.h"
#include "spreadsheet/Book.h"
#include "spreadsheet/Edits.h"
#include "spreadsheet/Readers.h"
#include "spreadsheet/Save.h"
#include "spreadsheet/Writers.h"
#include "spreadsheet/Spreadsheet.h"

namespace Spreadsheet {
namespace {

// {6B0E5C1A-3F52-4E8B-9A61-2C7D4E0F9B31}: asks one of our objects for its book.
const GUID kIidBookAccess = {0x6b0e5c1a, 0x3f52, 0x4e8b, {0x9a, 0x61, 0x2c, 0x7d, 0x4e, 0x0f, 0x9b, 0x31}};

// Excel's "application-defined or object-defined error" (1004).
constexpr SCODE kExcelError1004 = static_cast<SCODE>(0x800A03EC);

enum MemberId : DISPID {
  kApplication = 1,
  kParent,
  kActiveWorkbook,
  kActiveSheet,
  kQuit,
  kName,
  kVisible,
  kDisplayAlerts,
  kWorksheets,
  kSheets,
  kSaved,
  kSaveAs,
  kFullName,
  kCount,
  kItem,
  kIndex,
  kActivate,
  kSelect,
  kCells,
  kValue,
  kValue2,
  kRow,
  kColumn,
  kSpecialCells,
};

struct Member {
  const wchar_t* name;
  DISPID id;
};

// Member and sheet names compare without regard to case, Cyrillic included.
bool SameName(const wchar_t* a, const wchar_t* b) {
  return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

// The positional arguments of one call, in source order, by-reference values
// looked through.
class Args {
 public:
  explicit Args(DISPPARAMS* p) : p_(p) {}
  UINT Count() const {
    if (!p_) return 0;
    // A trailing run of missing optional arguments counts as absent.
    UINT n = p_->cArgs - p_->cNamedArgs;
    while (n > 0 && IsMissing(At(n - 1))) --n;
    return n;
  }
  const VARIANT* At(UINT i) const {
    const VARIANT* v = &p_->rgvarg[p_->cArgs - 1 - i];
    // One level only, as VariantCopyInd: a reference to a reference (or to
    // itself) stays one, and no conversion takes it.
    if (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    return v;
  }
  static bool IsMissing(const VARIANT* v) {
    return V_VT(v) == VT_EMPTY || (V_VT(v) == VT_ERROR && V_ERROR(v) == DISP_E_PARAMNOTFOUND);
  }
  // The value of a property put (the named DISPID_PROPERTYPUT argument).
  const VARIANT* PutValue() const {
    if (!p_ || p_->cArgs == 0) return nullptr;
    for (UINT i = 0; i < p_->cNamedArgs; ++i)
      if (p_->rgdispidNamedArgs[i] == DISPID_PROPERTYPUT) return &p_->rgvarg[i];
    return nullptr;
  }

 private:
  DISPPARAMS* p_;
};

// A failure reported the way Excel reports one: DISP_E_EXCEPTION with text.
struct Raise {
  SCODE scode;
  AnsiString text;
};

HRESULT Fill(EXCEPINFO* info, const Raise& r) {
  if (info) {
    *info = EXCEPINFO();
    info->bstrSource = SysAllocString(L"XLS2ZALBIRO");
    info->bstrDescription = SysAllocString(AnsiToWide(r.text).c_str());
    info->scode = r.scode;
  }
  return DISP_E_EXCEPTION;
}

// A plain failed HRESULT (no exception text), with the argument it concerns.
struct Refuse {
  HRESULT hr;
  UINT argument = 0;
};

LONG ToLong(const Args& a, UINT i) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(a.At(i)), 0, VT_I4))) throw Refuse{DISP_E_TYPEMISMATCH, i};
  return V_I4(&v);
}

bool ToBool(const VARIANT* in) {
  VARIANT v;
  VariantInit(&v);
  if (!in || FAILED(VariantChangeType(&v, const_cast<VARIANT*>(in), 0, VT_BOOL))) throw Refuse{DISP_E_TYPEMISMATCH};
  return V_BOOL(&v) != VARIANT_FALSE;
}

std::wstring ToText(const Args& a, UINT i) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED(VariantChangeType(&v, const_cast<VARIANT*>(a.At(i)), 0, VT_BSTR))) throw Refuse{DISP_E_TYPEMISMATCH, i};
  std::wstring s(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  VariantClear(&v);
  return s;
}

class Object : public IDispatch {
 public:
  explicit Object(std::shared_ptr<Book> book) : book_(std::move(book)) {}
  virtual ~Object() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidBookAccess) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    ids[0] = DISPID_UNKNOWN;
    if (names[0]) {
      for (const Member* m = Members(); m->name; ++m)
        if (SameName(names[0], m->name)) ids[0] = m->id;
    }
    if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {  // named arguments are not supported
      ids[i] = DISPID_UNKNOWN;
      hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT* argErr) override {
    try {
      bool known = false;
      for (const Member* m = Members(); m->name; ++m) known = known || m->id == id || (id == DISPID_VALUE && m->id == DefaultMember());
      if (!known) return DISP_E_MEMBERNOTFOUND;
      if (id == DISPID_VALUE) id = DefaultMember();
      // Counts and arrays that disagree are refused before anything is read.
      if (params && (params->cNamedArgs > params->cArgs || (params->cArgs > 0 && !params->rgvarg) ||
                     (params->cNamedArgs > 0 && !params->rgdispidNamedArgs)))
        return E_INVALIDARG;
      if (params && params->cNamedArgs > 0 && !(flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)))
        return DISP_E_NONAMEDARGS;
      VARIANT out;
      VariantInit(&out);
      Args args(params);
      HRESULT hr = Call(id, flags, args, out);
      if (SUCCEEDED(hr) && result) *result = out;
      else VariantClear(&out);
      return hr;
    } catch (const Raise& r) {
      return Fill(info, r);
    } catch (const Refuse& r) {
      // The position of the argument at fault, where there is one.
      if (argErr && params && r.argument < params->cArgs - params->cNamedArgs) *argErr = params->cArgs - 1 - r.argument;
      return r.hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

  const std::shared_ptr<Book>& GetBook() const { return book_; }

 protected:
  virtual const Member* Members() const = 0;
  virtual DISPID DefaultMember() const { return DISPID_UNKNOWN; }
  virtual HRESULT Call(DISPID id, WORD flags, const Args& args, VARIANT& out) = 0;

  // A property read: get (or method-style get) with at most maxArgs arguments.
  static void Get(WORD flags, const Args& args, UINT maxArgs = 0) {
    if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) throw Refuse{DISP_E_MEMBERNOTFOUND};
    if (args.Count() > maxArgs) throw Refuse{DISP_E_BADPARAMCOUNT};
  }
  static void Method(WORD flags, const Args& args, UINT maxArgs = 0) { Get(flags, args, maxArgs); }
  static void Object_(VARIANT& out, IDispatch* object) {
    V_VT(&out) = VT_DISPATCH;
    V_DISPATCH(&out) = object;
  }
  static void Text(VARIANT& out, const std::wstring& s) {
    V_VT(&out) = VT_BSTR;
    V_BSTR(&out) = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    if (!V_BSTR(&out)) throw std::bad_alloc();
  }
  static void Long(VARIANT& out, LONG n) {
    V_VT(&out) = VT_I4;
    V_I4(&out) = n;
  }
  static void Bool(VARIANT& out, bool b) {
    V_VT(&out) = VT_BOOL;
    V_BOOL(&out) = b ? VARIANT_TRUE : VARIANT_FALSE;
  }

  std::shared_ptr<Book> book_;

 private:
  LONG refs_ = 1;
};

IDispatch* NewApplication(const std::shared_ptr<Book>& book);
IDispatch* NewWorkbook(const std::shared_ptr<Book>& book);
IDispatch* NewSheets(const std::shared_ptr<Book>& book, bool worksheetsOnly);
IDispatch* NewSheet(const std::shared_ptr<Book>& book, size_t index);

class RangeObject : public Object {
 public:
  RangeObject(std::shared_ptr<Book> book, size_t sheet, uint32_t row1, uint32_t col1, uint32_t row2, uint32_t col2)
      : Object(std::move(book)), sheet_(sheet), row1_(row1), col1_(col1), row2_(row2), col2_(col2) {}

 protected:
  const Member* Members() const override {
    static const Member m[] = {{L"Application", kApplication}, {L"Parent", kParent}, {L"Value", kValue},
                               {L"Value2", kValue2}, {L"Row", kRow}, {L"Column", kColumn},
                               {L"SpecialCells", kSpecialCells}, {L"Cells", kCells}, {L"Item", kItem},
                               {L"Count", kCount}, {nullptr, 0}};
    return m;
  }
  DISPID DefaultMember() const override { return kValue; }

  HRESULT Call(DISPID id, WORD flags, const Args& args, VARIANT& out) override {
    const Workbook& wb = book_->model;
    switch (id) {
      case kApplication:
        Get(flags, args);
        Object_(out, NewApplication(book_));
        return S_OK;
      case kParent:
        Get(flags, args);
        Object_(out, NewSheet(book_, sheet_));
        return S_OK;
      case kValue:
      case kValue2:
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
          PutValue(args);
          return S_OK;
        }
        Get(flags, args, 1);
        if (row1_ != row2_ || col1_ != col2_)
          throw Raise{kExcelError1004, "Значение диапазона из нескольких ячеек не поддерживается."};
        CellValue(wb, out, id == kValue);
        return S_OK;
      case kRow:
        Get(flags, args);
        Long(out, static_cast<LONG>(row1_));
        return S_OK;
      case kColumn:
        Get(flags, args);
        Long(out, static_cast<LONG>(col1_));
        return S_OK;
      case kCount:
        Get(flags, args);
        {
          double n = double(row2_ - row1_ + 1) * double(col2_ - col1_ + 1);
          if (n > 2147483647.0) throw Raise{kExcelError1004, "Переполнение."};
          Long(out, static_cast<LONG>(n));
        }
        return S_OK;
      case kSpecialCells: {
        Method(flags, args, 2);
        if (args.Count() < 1) throw Refuse{DISP_E_PARAMNOTOPTIONAL};
        LONG type = ToLong(args, 0);
        // Excel takes no calls while a cell is being edited.
        if (book_->editing) throw Refuse{RPC_E_CALL_REJECTED};
        if (type != 11) throw Raise{kExcelError1004, "Такие ячейки не найдены."};
        const Sheet& s = wb.sheets[sheet_];
        Object_(out, new RangeObject(book_, sheet_, s.LastRow(), s.LastCol(), s.LastRow(), s.LastCol()));
        return S_OK;
      }
      case kCells:
      case kItem:
        Get(flags, args, 2);
        CellsOf(book_, sheet_, row1_, col1_, row2_, col2_, id == kItem, args, out);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 public:
  // Range.Cells / Range.Item: the whole range without arguments, else one cell
  // counted from the range's top-left corner (by row and column, or by index
  // running along the rows).
  static void CellsOf(const std::shared_ptr<Book>& book, size_t sheet, uint32_t row1, uint32_t col1, uint32_t row2,
                      uint32_t col2, bool item, const Args& args, VARIANT& out) {
    const Workbook& wb = book->model;
    if (args.Count() == 0) {
      if (item) throw Refuse{DISP_E_PARAMNOTOPTIONAL};
      Object_(out, new RangeObject(book, sheet, row1, col1, row2, col2));
      return;
    }
    uint32_t width = col2 - col1 + 1;
    double row, col;
    if (args.Count() == 1 || Args::IsMissing(args.At(1))) {
      LONG n = ToLong(args, 0);
      if (n < 1) throw Raise{kExcelError1004, "Ошибка, определяемая приложением или объектом."};
      row = row1 + double((static_cast<uint32_t>(n) - 1) / width);
      col = col1 + double((static_cast<uint32_t>(n) - 1) % width);
    } else {
      row = row1 + double(ToLong(args, 0)) - 1;
      col = col1 + double(ColumnArg(args, 1)) - 1;
    }
    if (row < row1 || col < col1 || row > wb.MaxRows() || col > wb.MaxCols())
      throw Raise{kExcelError1004, "Ошибка, определяемая приложением или объектом."};
    Object_(out, new RangeObject(book, sheet, static_cast<uint32_t>(row), static_cast<uint32_t>(col),
                                 static_cast<uint32_t>(row), static_cast<uint32_t>(col)));
  }

  // A column given as a number or as letters ("A", "iv").
  static LONG ColumnArg(const Args& args, UINT i) {
    const VARIANT* v = args.At(i);
    if (V_VT(v) == VT_BSTR) {
      std::wstring s(V_BSTR(v), SysStringLen(V_BSTR(v)));
      bool letters = !s.empty();
      LONG n = 0;
      for (wchar_t c : s) {
        if (!std::iswalpha(c) || c > 127) letters = false;
        else if (n < 100000) n = n * 26 + (std::towupper(c) - L'A' + 1);
      }
      if (letters) return n;
    }
    return ToLong(args, i);
  }

 private:
  // Range.Value = v on one cell: text reads as if typed, as Excel reads it.
  void PutValue(const Args& args) {
    const VARIANT* v = args.PutValue();
    if (!v) throw Refuse{DISP_E_PARAMNOTOPTIONAL};
    if (row1_ != row2_ || col1_ != col2_)
      throw Raise{kExcelError1004, "Запись значения в диапазон из нескольких ячеек не поддерживается."};
    if (!book_->model.sheets[sheet_].HasCells()) throw Raise{kExcelError1004, "На листе нет ячеек."};
    Workbook& wb = book_->model;
    const Cell* old = wb.sheets[sheet_].Find(row1_, col1_);
    Cell c;
    c.row = row1_;
    c.col = static_cast<uint16_t>(col1_);
    c.look = old ? old->look : 0;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    switch (V_VT(v)) {
      case VT_EMPTY:
      case VT_NULL:
        break;
      case VT_BSTR:
        c = TypedCell(wb, old, row1_, col1_, std::wstring(V_BSTR(v), SysStringLen(V_BSTR(v))), UserSeparators());
        break;
      case VT_BOOL:
        c.kind = CellKind::Boolean;
        c.boolean = V_BOOL(v) != VARIANT_FALSE;
        break;
      case VT_ERROR:
        c.kind = CellKind::Error;
        c.error = static_cast<int32_t>(static_cast<uint32_t>(V_ERROR(v)) - 0x800A0000u);
        if (ErrorFromText(ErrorText(c.error)) != c.error) c.error = kErrNA;  // not one of Excel's errors
        break;
      case VT_DATE:
        // Back to Excel's serial: the reverse of OleDateFromSerial. The cell
        // reads as a date where its format is one: formats are not written.
        c.kind = old && old->kind == CellKind::Date ? CellKind::Date : CellKind::Number;
        c.number = wb.date1904 ? V_DATE(v) - 1462 : (V_DATE(v) >= 2 && V_DATE(v) < 61 ? V_DATE(v) - 1 : V_DATE(v));
        break;
      default: {
        VARIANT d;
        VariantInit(&d);
        if (FAILED(VariantChangeType(&d, const_cast<VARIANT*>(v), 0, VT_R8))) throw Refuse{DISP_E_TYPEMISMATCH};
        c.kind = V_VT(v) == VT_CY ? CellKind::Currency : CellKind::Number;
        c.number = V_R8(&d);
      }
    }
    ApplyEdits(*book_, sheet_, {c});
  }

  void CellValue(const Workbook& wb, VARIANT& out, bool typed) const {
    const Cell* c = wb.sheets[sheet_].Find(row1_, col1_);
    if (!c) return;  // VT_EMPTY
    switch (c->kind) {
      case CellKind::Empty:
        return;
      case CellKind::Text: {
        size_t len;
        const wchar_t* p = wb.strings.Data(c->text, len);
        Text(out, std::wstring(p, len));
        return;
      }
      case CellKind::Boolean:
        Bool(out, c->boolean != 0);
        return;
      case CellKind::Error:
        V_VT(&out) = VT_ERROR;
        V_ERROR(&out) = static_cast<SCODE>(0x800A0000u + static_cast<uint32_t>(c->error));
        return;
      case CellKind::Date:
        // Excel gives a plain number for serials outside the dates it can show.
        if (typed && DateOfSerial(c->number, wb.date1904, V_DATE(&out))) {
          V_VT(&out) = VT_DATE;
          return;
        }
        break;
      case CellKind::Currency:
        if (typed && VarCyFromR8(c->number, &V_CY(&out)) == S_OK) {
          V_VT(&out) = VT_CY;
          return;
        }
        break;
      case CellKind::Number:
        break;
    }
    V_VT(&out) = VT_R8;
    V_R8(&out) = c->number;
  }

  size_t sheet_;
  uint32_t row1_, col1_, row2_, col2_;
};

class SheetObject : public Object {
 public:
  SheetObject(std::shared_ptr<Book> book, size_t index) : Object(std::move(book)), index_(index) {}

 protected:
  const Member* Members() const override {
    static const Member withCells[] = {{L"Application", kApplication}, {L"Parent", kParent}, {L"Name", kName},
                                       {L"Index", kIndex}, {L"Activate", kActivate}, {L"Select", kSelect},
                                       {L"Cells", kCells}, {nullptr, 0}};
    // A chart sheet has no cells: "Cells" is an unknown name there, as in Excel.
    static const Member chart[] = {{L"Application", kApplication}, {L"Parent", kParent}, {L"Name", kName},
                                   {L"Index", kIndex}, {L"Activate", kActivate}, {L"Select", kSelect},
                                   {nullptr, 0}};
    return book_->model.sheets[index_].HasCells() ? withCells : chart;
  }

  HRESULT Call(DISPID id, WORD flags, const Args& args, VARIANT& out) override {
    switch (id) {
      case kApplication:
        Get(flags, args);
        Object_(out, NewApplication(book_));
        return S_OK;
      case kParent:
        Get(flags, args);
        Object_(out, NewWorkbook(book_));
        return S_OK;
      case kName:
        if (flags & DISPATCH_PROPERTYPUT) throw Raise{kExcelError1004, "Книга открыта только для просмотра."};
        Get(flags, args);
        Text(out, book_->model.sheets[index_].name);
        return S_OK;
      case kIndex:
        Get(flags, args);
        Long(out, static_cast<LONG>(index_ + 1));
        return S_OK;
      case kActivate:
      case kSelect:
        Method(flags, args, 1);
        book_->Activate(index_);
        return S_OK;
      case kCells:
        Get(flags, args, 2);
        RangeObject::CellsOf(book_, index_, 1, 1, book_->model.MaxRows(), book_->model.MaxCols(), false, args, out);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  size_t index_;
};

class SheetsObject : public Object {
 public:
  SheetsObject(std::shared_ptr<Book> book, bool worksheetsOnly) : Object(std::move(book)), worksheetsOnly_(worksheetsOnly) {}

 protected:
  const Member* Members() const override {
    static const Member m[] = {{L"Application", kApplication}, {L"Parent", kParent}, {L"Count", kCount},
                               {L"Item", kItem}, {nullptr, 0}};
    return m;
  }
  DISPID DefaultMember() const override { return kItem; }

  HRESULT Call(DISPID id, WORD flags, const Args& args, VARIANT& out) override {
    switch (id) {
      case kApplication:
        Get(flags, args);
        Object_(out, NewApplication(book_));
        return S_OK;
      case kParent:
        Get(flags, args);
        Object_(out, NewWorkbook(book_));
        return S_OK;
      case kCount:
        Get(flags, args);
        Long(out, static_cast<LONG>(Members_().size()));
        return S_OK;
      case kItem: {
        Get(flags, args, 1);
        if (args.Count() < 1) throw Refuse{DISP_E_PARAMNOTOPTIONAL};
        std::vector<size_t> list = Members_();
        const VARIANT* v = args.At(0);
        if (V_VT(v) == VT_BSTR) {
          std::wstring name(V_BSTR(v), SysStringLen(V_BSTR(v)));
          for (size_t i : list)
            if (SameName(book_->model.sheets[i].name.c_str(), name.c_str())) {
              Object_(out, NewSheet(book_, i));
              return S_OK;
            }
          throw Refuse{DISP_E_BADINDEX};  // Excel: "Subscript out of range"
        }
        LONG n = ToLong(args, 0);
        if (n < 1 || static_cast<size_t>(n) > list.size()) throw Refuse{DISP_E_BADINDEX};
        Object_(out, NewSheet(book_, list[static_cast<size_t>(n) - 1]));
        return S_OK;
      }
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  // Indexes of the member sheets: Worksheets leaves chart and dialog sheets out.
  std::vector<size_t> Members_() const {
    std::vector<size_t> list;
    for (size_t i = 0; i < book_->model.sheets.size(); ++i)
      if (!worksheetsOnly_ || book_->model.sheets[i].HasCells()) list.push_back(i);
    return list;
  }
  bool worksheetsOnly_;
};

class WorkbookObject : public Object {
 public:
  using Object::Object;

 protected:
  const Member* Members() const override {
    static const Member m[] = {{L"Application", kApplication}, {L"Parent", kParent},   {L"Worksheets", kWorksheets},
                               {L"Sheets", kSheets},           {L"ActiveSheet", kActiveSheet}, {L"Saved", kSaved},
                               {L"SaveAs", kSaveAs},           {L"Name", kName},       {L"FullName", kFullName},
                               {nullptr, 0}};
    return m;
  }

  HRESULT Call(DISPID id, WORD flags, const Args& args, VARIANT& out) override {
    switch (id) {
      case kApplication:
      case kParent:
        Get(flags, args);
        Object_(out, NewApplication(book_));
        return S_OK;
      case kWorksheets:
      case kSheets:
        Get(flags, args, 1);
        if (args.Count() == 1) {  // Worksheets(i) is Worksheets.Item(i)
          TComPtr<IDispatch> sheets;
          sheets.Attach(NewSheets(book_, id == kWorksheets));
          DISPPARAMS p = {const_cast<VARIANT*>(args.At(0)), nullptr, 1, 0};
          EXCEPINFO info = {};
          HRESULT hr = sheets->Invoke(kItem, IID_NULL, 0, DISPATCH_PROPERTYGET, &p, &out, &info, nullptr);
          if (FAILED(hr)) throw Refuse{hr};
          return S_OK;
        }
        Object_(out, NewSheets(book_, id == kWorksheets));
        return S_OK;
      case kActiveSheet:
        Get(flags, args);
        Object_(out, NewSheet(book_, book_->model.activeSheet));
        return S_OK;
      case kSaved:
        if (flags & DISPATCH_PROPERTYPUT) {
          const VARIANT* v = args.PutValue();
          if (!v) throw Refuse{DISP_E_PARAMNOTOPTIONAL};
          book_->saved = ToBool(v);
          return S_OK;
        }
        Get(flags, args);
        Bool(out, book_->saved);
        return S_OK;
      case kSaveAs: {
        Method(flags, args, 12);
        if (args.Count() < 1 || Args::IsMissing(args.At(0))) throw Refuse{DISP_E_PARAMNOTOPTIONAL};
        std::wstring path = ToText(args, 0);
        SaveCopy(path);
        return S_OK;
      }
      case kName:
        Get(flags, args);
        Text(out, book_->name);
        return S_OK;
      case kFullName:
        Get(flags, args);
        Text(out, book_->fullName);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  void SaveCopy(const std::wstring& path) {
    try {
      SaveBook(*book_, path);
    } catch (const WriteError& e) {
      throw Raise{kExcelError1004, e.reason};
    }
  }
};

class ApplicationObject : public Object {
 public:
  using Object::Object;

 protected:
  const Member* Members() const override {
    static const Member m[] = {{L"Application", kApplication}, {L"Parent", kParent},
                               {L"ActiveWorkbook", kActiveWorkbook}, {L"ActiveSheet", kActiveSheet},
                               {L"Quit", kQuit}, {L"Name", kName}, {L"Visible", kVisible},
                               {L"DisplayAlerts", kDisplayAlerts}, {nullptr, 0}};
    return m;
  }

  HRESULT Call(DISPID id, WORD flags, const Args& args, VARIANT& out) override {
    switch (id) {
      case kApplication:
      case kParent:
        Get(flags, args);
        Object_(out, NewApplication(book_));
        return S_OK;
      case kActiveWorkbook:
        Get(flags, args);
        // After Quit: Nothing, as Excel gives with no book open.
        Object_(out, book_->quit ? nullptr : NewWorkbook(book_));
        return S_OK;
      case kActiveSheet:
        Get(flags, args);
        Object_(out, book_->quit ? nullptr : NewSheet(book_, book_->model.activeSheet));
        return S_OK;
      case kQuit:
        Method(flags, args);
        if (!book_->quit) {
          book_->quit = true;
          book_->Changed();
        }
        return S_OK;
      case kName:
        Get(flags, args);
        Text(out, L"XLS2ZALBIRO");
        return S_OK;
      case kVisible:
      case kDisplayAlerts:
        if (flags & DISPATCH_PROPERTYPUT) {
          ToBool(args.PutValue());  // accepted and ignored: the view shows itself
          return S_OK;
        }
        Get(flags, args);
        Bool(out, true);
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }
};

IDispatch* NewApplication(const std::shared_ptr<Book>& book) { return new ApplicationObject(book); }
IDispatch* NewWorkbook(const std::shared_ptr<Book>& book) { return new WorkbookObject(book); }
IDispatch* NewSheets(const std::shared_ptr<Book>& book, bool worksheetsOnly) { return new SheetsObject(book, worksheetsOnly); }
IDispatch* NewSheet(const std::shared_ptr<Book>& book, size_t index) { return new SheetObject(book, index); }

std::wstring FileNameOf(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::shared_ptr<Book> BookOf(IUnknown* object) {
  if (!object) return nullptr;
  IUnknown* p = nullptr;
  if (FAILED(object->QueryInterface(kIidBookAccess, reinterpret_cast<void**>(&p))) || !p) return nullptr;
  std::shared_ptr<Book> book = static_cast<Object*>(static_cast<IDispatch*>(p))->GetBook();
  p->Release();
  return book;
}

}  // namespace Spreadsheet

using namespace Spreadsheet;

HRESULT SpreadsheetOpenWorkbookBytes(const std::string& bytes, const AnsiString& path, IDispatch** workbook,
                                     AnsiString& reason) {
  if (!workbook) return E_POINTER;
  *workbook = nullptr;
  try {
    auto book = std::make_shared<Book>();
    if (!ReadWorkbook(bytes, book->model, reason)) return E_FAIL;
    book->fileBytes = bytes;
    book->fullName = AnsiToWide(path);
    book->name = FileNameOf(book->fullName);
    *workbook = NewWorkbook(book);
    return S_OK;
  } catch (const std::bad_alloc&) {
    reason = Reason::kTooLarge;
  } catch (...) {
    reason = AnsiString(Reason::kDamaged) + ".";
  }
  return E_FAIL;
}

namespace {

// The file's bytes, or only its first `prefix` bytes (however large the file).
HRESULT LoadFile(const AnsiString& path, std::string& bytes, AnsiString& reason, size_t prefix = SIZE_MAX) {
  HANDLE h = CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    reason = "Не удаётся открыть файл " + path + ".";
    return HRESULT_FROM_WIN32(GetLastError());
  }
  LARGE_INTEGER size = {};
  bool ok = GetFileSizeEx(h, &size) != FALSE;
  if (ok && prefix < static_cast<ULONGLONG>(size.QuadPart)) size.QuadPart = static_cast<LONGLONG>(prefix);
  if (ok && size.QuadPart > static_cast<LONGLONG>(kMaxPartBytes)) {
    CloseHandle(h);
    reason = Reason::kTooLarge;
    return E_FAIL;
  }
  try {
    bytes.resize(ok ? static_cast<size_t>(size.QuadPart) : 0);
  } catch (const std::bad_alloc&) {
    CloseHandle(h);
    reason = Reason::kTooLarge;
    return E_OUTOFMEMORY;
  }
  size_t done = 0;
  while (ok && done < bytes.size()) {
    DWORD n = 0;
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
    ok = ReadFile(h, &bytes[done], chunk, &n, nullptr) && n > 0;
    done += n;
  }
  CloseHandle(h);
  if (!ok) {
    reason = "Не удаётся прочитать файл " + path + ".";
    return E_FAIL;
  }
  return S_OK;
}

}  // namespace

HRESULT SpreadsheetOpenWorkbook(const AnsiString& path, IDispatch** workbook, AnsiString& reason) {
  if (!workbook) return E_POINTER;
  *workbook = nullptr;
  std::string bytes;
  HRESULT hr = LoadFile(path, bytes, reason);
  return FAILED(hr) ? hr : SpreadsheetOpenWorkbookBytes(bytes, path, workbook, reason);
}

SpreadsheetFileCheck SpreadsheetCheckFile(const AnsiString& path, AnsiString& reason) {
  // Only a compound file is read whole: nothing else goes to the platform's
  // storage code, and a large package must not be read twice for nothing.
  std::string bytes;
  if (FAILED(LoadFile(path, bytes, reason, 8))) return SpreadsheetFileCheck::kRefused;
  static const char kOleMagic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  if (bytes.compare(0, 8, kOleMagic) != 0) return SpreadsheetFileCheck::kAnyReader;
  if (FAILED(LoadFile(path, bytes, reason))) return SpreadsheetFileCheck::kRefused;
  switch (CheckCompoundFile(bytes, reason)) {
    case CompoundCheck::kSound: return SpreadsheetFileCheck::kAnyReader;
    case CompoundCheck::kTolerated: return SpreadsheetFileCheck::kEngineOnly;
    default: return SpreadsheetFileCheck::kRefused;
  }
}
