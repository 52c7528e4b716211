#include "tests/workbook/FakeExcel.h"

#include <cwctype>

#include "framework/ComPtr.h"
#include "framework/Unicode.h"

namespace {

constexpr HRESULT kExcelError = static_cast<HRESULT>(0x800A03EC);

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (std::towlower(*a) != std::towlower(*b)) return false;
  return *a == *b;
}

// Fails the way Excel does: DISP_E_EXCEPTION with a filled EXCEPINFO.
HRESULT ExcelFailure(EXCEPINFO* info, const wchar_t* text) {
  if (info) {
    *info = EXCEPINFO();
    info->bstrSource = SysAllocString(L"Fake Excel");
    info->bstrDescription = SysAllocString(text);
    info->scode = kExcelError;
  }
  return DISP_E_EXCEPTION;
}

std::string ArgText(const Variant& v) {
  if (v.Type() == VT_BOOL) return V_BOOL(&v.Get()) ? "true" : "false";
  Variant text;
  if (FAILED(VariantChangeType(text.Out(), const_cast<VARIANT*>(&v.Get()), 0, VT_BSTR))) return "?";
  BSTR b = V_BSTR(&text.Get());
  return WideToAnsi(b, SysStringLen(b));
}

}  // namespace

// Reference counting, name lookup, argument unpacking, logging and the
// failure modes shared by every object of the fake Excel.
class TFakeObject : public IDispatch {
 public:
  TFakeObject(TFakeExcel& excel, std::string name, std::vector<const wchar_t*> members)
      : excel_(excel), name_(std::move(name)), members_(std::move(members)) {
    ++excel_.live_;
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
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs_); }
  ULONG STDMETHODCALLTYPE Release() override {
    long n = --refs_;
    if (n == 0) {
      excel_.log.push_back("~" + name_);
      --excel_.live_;
      delete this;
    }
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (excel_.goneWith != S_OK) return excel_.goneWith;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (count != 1) return DISP_E_UNKNOWNNAME;
    for (size_t i = 0; i < members_.size(); ++i)
      if (SameName(names[0], members_[i])) ids[0] = static_cast<DISPID>(i + 1);
    return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    // No exception may cross a COM method.
    try {
      if (id < 1 || static_cast<size_t>(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
      std::vector<Variant> args;
      for (UINT i = params->cArgs; i-- > 0;) args.push_back(Variant::CopyOf(params->rgvarg[i]));
      const wchar_t* member = members_[static_cast<size_t>(id) - 1];
      std::string entry = name_ + "." + WideToAnsi(member, wcslen(member));
      if (flags & DISPATCH_PROPERTYPUT) {
        entry += "=" + (args.empty() ? std::string() : ArgText(args.back()));
      } else if (!args.empty()) {
        entry += "(";
        for (size_t i = 0; i < args.size(); ++i) entry += (i ? "," : "") + ArgText(args[i]);
        entry += ")";
      }
      excel_.log.push_back(entry);
      if (excel_.goneWith != S_OK) return excel_.goneWith;
      if (excel_.editing) return RPC_E_CALL_REJECTED;
      if (!excel_.failCall.empty() && entry.compare(0, excel_.failCall.size(), excel_.failCall) == 0)
        return excel_.failWith != S_OK ? excel_.failWith : ExcelFailure(info, L"Injected failure");
      Variant answer;
      HRESULT hr = Member(member, flags, args, answer, info);
      if (SUCCEEDED(hr) && result) *result = answer.Detach();
      return hr;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 protected:
  virtual ~TFakeObject() = default;
  virtual HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                         EXCEPINFO* info) = 0;
  // Wraps a new object (one reference) into a dispatch Variant.
  static Variant Hand(TFakeObject* object) {
    TComPtr<IDispatch> holder;
    holder.Attach(object);
    return Variant(holder.Get());
  }

  TFakeExcel& excel_;

 private:
  long refs_ = 1;
  std::string name_;
  std::vector<const wchar_t*> members_;
};

namespace {

bool IsGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) != 0; }

class TFakeRange : public TFakeObject {
 public:
  TFakeRange(TFakeExcel& excel, int row) : TFakeObject(excel, "Range", {L"SpecialCells", L"Row"}), row_(row) {}

 protected:
  HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                 EXCEPINFO* info) override {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (member == L"Row") {
      result = Variant(row_);
      return S_OK;
    }
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    if (args[0].AsInteger() != 11) return ExcelFailure(info, L"No cells were found.");
    result = Hand(new TFakeRange(excel_, excel_.lastRow));
    return S_OK;
  }

 private:
  int row_;
};

std::vector<const wchar_t*> SheetMembers(bool chart) {
  std::vector<const wchar_t*> members{L"Name", L"Index", L"Activate"};
  if (!chart) members.push_back(L"Cells");
  return members;
}

class TFakeSheet : public TFakeObject {
 public:
  TFakeSheet(TFakeExcel& excel, size_t index)
      : TFakeObject(excel, "Sheet" + std::to_string(index + 1), SheetMembers(excel.sheets.at(index).chart)),
        index_(index) {}

 protected:
  HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>&, Variant& result,
                 EXCEPINFO*) override {
    if (member == L"Activate") {
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      excel_.active = index_;
      return S_OK;
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (member == L"Name")
      result = Variant(excel_.sheets.at(index_).name);
    else if (member == L"Index")
      result = Variant(static_cast<int>(index_ + 1));
    else
      result = Hand(new TFakeRange(excel_, 1));  // Cells: the whole sheet, starting in row 1
    return S_OK;
  }

 private:
  size_t index_;
};

class TFakeSheets : public TFakeObject {
 public:
  explicit TFakeSheets(TFakeExcel& excel) : TFakeObject(excel, "Sheets", {L"Count", L"Item"}) {}

 protected:
  HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                 EXCEPINFO* info) override {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (member == L"Count") {
      result = Variant(static_cast<int>(excel_.sheets.size()));
      return S_OK;
    }
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    long i = args[0].AsInteger();
    if (i < 1 || static_cast<size_t>(i) > excel_.sheets.size()) return ExcelFailure(info, L"Subscript out of range");
    result = Hand(new TFakeSheet(excel_, static_cast<size_t>(i - 1)));
    return S_OK;
  }
};

class TFakeApp;

class TFakeBook : public TFakeObject {
 public:
  explicit TFakeBook(TFakeExcel& excel)
      : TFakeObject(excel, "Book", {L"Application", L"WorkSheets", L"ActiveSheet", L"Saved", L"SaveAs"}) {}

 protected:
  HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                 EXCEPINFO* info) override;
};

class TFakeApp : public TFakeObject {
 public:
  explicit TFakeApp(TFakeExcel& excel) : TFakeObject(excel, "App", {L"ActiveWorkbook", L"Quit"}) {}

 protected:
  HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>&, Variant& result,
                 EXCEPINFO*) override {
    if (member == L"Quit") {
      if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
      ++excel_.quits;
      return S_OK;
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    result = Hand(new TFakeBook(excel_));
    return S_OK;
  }
};

HRESULT TFakeBook::Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                          EXCEPINFO* info) {
  if (member == L"Saved" && (flags & DISPATCH_PROPERTYPUT)) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    excel_.saved = V_BOOL(&args[0].ChangeType(VT_BOOL).Get()) != VARIANT_FALSE;
    return S_OK;
  }
  if (member == L"SaveAs") {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    std::string path = ArgText(args[0]);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ExcelFailure(info, L"Cannot access the file.");
    DWORD written = 0;
    BOOL ok = WriteFile(h, excel_.bookBytes.data(), static_cast<DWORD>(excel_.bookBytes.size()), &written, nullptr);
    CloseHandle(h);
    if (!ok) return ExcelFailure(info, L"Cannot write the file.");
    excel_.saved = true;
    return S_OK;
  }
  if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
  if (member == L"Application")
    result = Hand(new TFakeApp(excel_));
  else if (member == L"WorkSheets")
    result = Hand(new TFakeSheets(excel_));
  else if (member == L"ActiveSheet")
    result = Hand(new TFakeSheet(excel_, excel_.active));
  else
    result = Variant(excel_.saved);
  return S_OK;
}

std::vector<std::string> Filter(const std::vector<std::string>& log, bool deaths) {
  std::vector<std::string> out;
  for (const auto& entry : log)
    if ((entry[0] == '~') == deaths) out.push_back(entry);
  return out;
}

}  // namespace

std::vector<std::string> TFakeExcel::Calls() const { return Filter(log, false); }
std::vector<std::string> TFakeExcel::Deaths() const { return Filter(log, true); }

Variant TFakeExcel::Workbook() {
  TComPtr<IDispatch> book;
  book.Attach(new TFakeBook(*this));
  return Variant(book.Get());
}

void TFakeOleContainer::Close() {
  excel_.log.push_back("Ole.Close");
  if (state != osEmpty) state = osLoaded;
}

void TFakeOleContainer::CreateObjectFromFile(const AnsiString& path, bool iconic) {
  excel_.log.push_back("Ole.CreateObjectFromFile(" + path + (iconic ? ",iconic)" : ")"));
  if (failCreate) {
    if (!createReason.empty()) throw EOleContainerError("cannot embed", createReason);
    throw Exception("cannot embed");
  }
  state = osLoaded;
}

void TFakeOleContainer::DoVerb(int verb) {
  excel_.log.push_back("Ole.DoVerb(" + std::to_string(verb) + ")");
  if (failVerb || state == osEmpty) throw Exception("verb failed");
  state = osRunning;
}

Variant TFakeOleContainer::OleObject() const {
  excel_.log.push_back("Ole.OleObject");
  if (state == osEmpty) throw Exception("no object");
  return excel_.Workbook();
}

void TFakeOleContainer::DestroyObject() {
  excel_.log.push_back("Ole.DestroyObject");
  state = osEmpty;
}

void TFakeOleContainer::SetEnabled(bool value) {
  excel_.log.push_back(value ? "Ole.Enabled=1" : "Ole.Enabled=0");
  enabled = value;
}

void TFakeOleContainer::Refresh() {
  excel_.log.push_back("Ole.Refresh");
  ++refreshes;
}
