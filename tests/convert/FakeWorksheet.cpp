#include "tests/convert/FakeWorksheet.h"

#include <cwctype>

#include "convert/CellText.h"

namespace {

enum : DISPID { kCells = 1, kValue, kSpecialCells, kRow, kColumn };

constexpr HRESULT kExcelError = static_cast<HRESULT>(0x800A03EC);
constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;

long long Key(int row, int column) { return (static_cast<long long>(row) << 16) | column; }

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (std::towlower(*a) != std::towlower(*b)) return false;
  return *a == *b;
}

DISPID Lookup(const wchar_t* name, bool sheet) {
  if (sheet) return SameName(name, L"Cells") ? static_cast<DISPID>(kCells) : DISPID_UNKNOWN;
  static const struct {
    const wchar_t* name;
    DISPID id;
  } members[] = {{L"Value", kValue}, {L"SpecialCells", kSpecialCells}, {L"Row", kRow}, {L"Column", kColumn}};
  for (const auto& m : members)
    if (SameName(name, m.name)) return m.id;
  return DISPID_UNKNOWN;
}

// Fails the way Excel does: DISP_E_EXCEPTION with a filled EXCEPINFO.
HRESULT ExcelException(EXCEPINFO* info, const wchar_t* text) {
  if (info) {
    *info = EXCEPINFO();
    info->bstrSource = SysAllocString(L"Fake Excel");
    info->bstrDescription = SysAllocString(text);
    info->scode = kExcelError;
  }
  return DISP_E_EXCEPTION;
}

// Argument i in natural order, as a 32-bit integer.
HRESULT IntArgument(const DISPPARAMS* params, UINT i, long& out) {
  Variant converted;
  HRESULT hr = VariantChangeType(converted.Out(), &params->rgvarg[params->cArgs - 1 - i], 0, VT_I4);
  if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
  out = V_I4(&converted.Get());
  return S_OK;
}

}  // namespace

// A range of the sheet: one cell, or all cells (Cells without arguments).
class TFakeRange : public IDispatch {
 public:
  TFakeRange(TFakeWorksheet* sheet, int row, int column, bool all)
      : sheet_(sheet), row_(row), column_(column), all_(all) {
    ++sheet_->liveRefs_;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++sheet_->liveRefs_;
    return static_cast<ULONG>(++refs_);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    --sheet_->liveRefs_;
    long n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr;
    if (!sheet_->CountCall(hr)) return hr;
    ++sheet_->lookups_;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    ids[0] = Lookup(names[0], false);
    return ids[0] == DISPID_UNKNOWN || count != 1 ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    // No exception may cross a COM method.
    try {
      return InvokeMember(id, flags, params, result, info);
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  virtual ~TFakeRange() = default;
  HRESULT InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info);

  TComPtr<TFakeWorksheet> sheet_;
  long refs_ = 1;
  int row_;
  int column_;
  bool all_;
};

HRESULT TFakeRange::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info) {
  HRESULT hr;
  if (!sheet_->CountCall(hr)) return hr;
  ++sheet_->invokes_;
  if (sheet_->OnInvoke) {
    static const wchar_t* names[] = {L"", L"Cells", L"Value", L"SpecialCells", L"Row", L"Column"};
    sheet_->OnInvoke(id >= kCells && id <= kColumn ? names[id] : L"?");
  }
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  Variant answer;
  switch (id) {
    case kValue: {
      if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
      if (all_) return ExcelException(info, L"Too many cells");
      if (const Variant* v = sheet_->Find(row_, column_)) answer = *v;
      break;
    }
    case kRow:
    case kColumn:
      if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
      answer = Variant(id == kRow ? row_ : column_);
      break;
    case kSpecialCells: {
      if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      long type = 0;
      if (FAILED(hr = IntArgument(params, 0, type))) return hr;
      if (type != 11) return ExcelException(info, L"No cells were found.");
      int last = sheet_->lastRow_ ? sheet_->lastRow_ : sheet_->maxRow_;
      TComPtr<IDispatch> cell;
      cell.Attach(new TFakeRange(sheet_.Get(), last, sheet_->maxColumn_, false));
      answer = Variant(cell.Get());
      break;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
  if (result) *result = answer.Detach();
  return S_OK;
}

TFakeWorksheet::TFakeWorksheet() = default;

void TFakeWorksheet::SetValue(int row, int column, const Variant& value) {
  cells_[Key(row, column)] = value;
  if (row > maxRow_) maxRow_ = row;
  if (column > maxColumn_) maxColumn_ = column;
}

void TFakeWorksheet::SetError(int row, int column, SCODE code) {
  Variant v;
  VARIANT* p = v.Out();
  V_VT(p) = VT_ERROR;
  V_ERROR(p) = code;
  SetValue(row, column, v);
}

void TFakeWorksheet::SetDate(int row, int column, DATE date) {
  Variant v;
  VARIANT* p = v.Out();
  V_VT(p) = VT_DATE;
  V_DATE(p) = date;
  SetValue(row, column, v);
}

void TFakeWorksheet::SetCurrency(int row, int column, LONGLONG tenThousandths) {
  Variant v;
  VARIANT* p = v.Out();
  V_VT(p) = VT_CY;
  V_CY(p).int64 = tenThousandths;
  SetValue(row, column, v);
}

const Variant* TFakeWorksheet::Find(int row, int column) const {
  auto it = cells_.find(Key(row, column));
  return it == cells_.end() ? nullptr : &it->second;
}

bool TFakeWorksheet::CountCall(HRESULT& hr) {
  long call = lookups_ + invokes_ + 1;
  if (failFromCall_ > 0 && call >= failFromCall_) {
    hr = failWith_;
    return false;
  }
  return true;
}

HRESULT TFakeWorksheet::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG TFakeWorksheet::AddRef() {
  ++liveRefs_;
  return static_cast<ULONG>(++refs_);
}

ULONG TFakeWorksheet::Release() {
  --liveRefs_;
  long n = --refs_;
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

HRESULT TFakeWorksheet::GetTypeInfoCount(UINT* count) {
  *count = 0;
  return S_OK;
}

HRESULT TFakeWorksheet::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }

HRESULT TFakeWorksheet::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  HRESULT hr;
  if (!CountCall(hr)) return hr;
  ++lookups_;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  ids[0] = Lookup(names[0], true);
  return ids[0] == DISPID_UNKNOWN || count != 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT TFakeWorksheet::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                               EXCEPINFO* info, UINT*) {
  // No exception may cross a COM method.
  try {
    return InvokeMember(id, flags, params, result, info);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT TFakeWorksheet::InvokeMember(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* info) {
  HRESULT hr;
  if (!CountCall(hr)) return hr;
  ++invokes_;
  if (OnInvoke) OnInvoke(L"Cells");
  if (id != kCells) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  TComPtr<IDispatch> range;
  if (params->cArgs == 0) {
    range.Attach(new TFakeRange(this, 1, 1, true));
  } else {
    if (params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
    long row = 0, column = 0;
    if (FAILED(hr = IntArgument(params, 0, row)) || FAILED(hr = IntArgument(params, 1, column))) return hr;
    if (row < 1 || row > kMaxRow || column < 1 || column > kMaxColumn)
      return ExcelException(info, L"Application-defined or object-defined error");
    range.Attach(new TFakeRange(this, static_cast<int>(row), static_cast<int>(column), false));
  }
  if (result) {
    V_VT(result) = VT_DISPATCH;
    V_DISPATCH(result) = range.Detach();
  }
  return S_OK;
}

AnsiString TStubHost::CodeColumnText() const { return ColumnDesignation(codeColumn); }
