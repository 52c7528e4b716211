#include "tests/support/FakeExcel.h"

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <sstream>
#include <algorithm>

#include "framework/ComPtr.h"
#include "framework/Unicode.h"
#include "tests/support/TestDispatch.h"

namespace {

constexpr HRESULT kExcelError = static_cast<HRESULT>(0x800A03EC);
constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;

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

HRESULT IntArg(const Variant& v, long& out) {
  Variant converted;
  if (FAILED(VariantChangeType(converted.Out(), const_cast<VARIANT*>(&v.Get()), 0, VT_I4)))
    return DISP_E_TYPEMISMATCH;
  out = V_I4(&converted.Get());
  return S_OK;
}

bool IsGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) != 0; }
bool IsMethod(WORD flags) { return (flags & DISPATCH_METHOD) != 0; }

}  // namespace

// Reference counting, name lookup, argument unpacking, logging and the
// failure modes shared by every object of the fake Excel.
class TFakeObject : public TestDispatch {
 public:
  TFakeObject(TFakeExcel& excel, std::string name, std::vector<const wchar_t*> members)
      : excel_(excel), name_(std::move(name)), members_(std::move(members)) {
    ++excel_.live_;
    ++excel_.refs_;
  }

  ULONG STDMETHODCALLTYPE AddRef() override {
    ++excel_.refs_;
    return static_cast<ULONG>(++refs_);
  }
  ULONG STDMETHODCALLTYPE Release() override {
    --excel_.refs_;
    long n = --refs_;
    if (n == 0) {
      excel_.Log("~" + name_);
      --excel_.live_;
      delete this;
    }
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    try {
      if (excel_.BeforeCall) excel_.BeforeCall();
      HRESULT hr;
      if (!excel_.CountCall(hr, false)) return hr;
      if (excel_.goneWith != S_OK) return excel_.goneWith;
      for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
      if (count != 1) return DISP_E_UNKNOWNNAME;
      for (size_t i = 0; i < members_.size(); ++i)
        if (SameName(names[0], members_[i])) ids[0] = static_cast<DISPID>(i + 1);
      return ids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    // No exception may cross a COM method.
    try {
      if (excel_.BeforeCall) excel_.BeforeCall();
      HRESULT hr;
      if (!excel_.CountCall(hr, true)) return hr;
      const bool known = id >= 1 && static_cast<size_t>(id) <= members_.size();
      const wchar_t* member = known ? members_[static_cast<size_t>(id) - 1] : L"?";
      if (excel_.OnInvoke) excel_.OnInvoke(member);
      if (!known) return DISP_E_MEMBERNOTFOUND;
      if (!params || (params->cArgs && !params->rgvarg)) return E_INVALIDARG;
      std::vector<Variant> args;
      for (UINT i = params->cArgs; i-- > 0;) args.push_back(Variant::CopyOf(params->rgvarg[i]));
      std::string entry = name_ + "." + WideToAnsi(member, wcslen(member));
      if (flags & DISPATCH_PROPERTYPUT) {
        entry += "=" + (args.empty() ? std::string() : ArgText(args.back()));
      } else if (!args.empty()) {
        entry += "(";
        for (size_t i = 0; i < args.size(); ++i) entry += (i ? "," : "") + ArgText(args[i]);
        entry += ")";
      }
      excel_.Log(entry);
      if (excel_.goneWith != S_OK) return excel_.goneWith;
      if (excel_.editing) return RPC_E_CALL_REJECTED;
      if (!excel_.failCall.empty() && entry.compare(0, excel_.failCall.size(), excel_.failCall) == 0)
        return excel_.failWith != S_OK ? excel_.failWith : ExcelFailure(info, L"Injected failure");
      Variant answer;
      hr = Member(member, flags, args, answer, info);
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

// One cell, or the whole sheet (Cells without arguments).
class TFakeRange : public TFakeObject {
 public:
  TFakeRange(TFakeExcel& excel, size_t sheet, int row, int column, bool all)
      : TFakeObject(excel, "Range", {L"Value", L"Row", L"Column", L"SpecialCells"}),
        sheet_(sheet),
        row_(row),
        column_(column),
        all_(all) {}

 protected:
  HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                 EXCEPINFO* info) override {
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (member == L"SpecialCells") {
      if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
      long type = 0;
      if (HRESULT hr = IntArg(args[0], type); FAILED(hr)) return hr;
      if (type != 11) return ExcelFailure(info, L"No cells were found.");
      const TFakeExcel::Sheet& s = excel_.sheets.at(sheet_);
      result = Hand(new TFakeRange(excel_, sheet_, s.LastRow(), s.LastColumn(), false));
      return S_OK;
    }
    if (!args.empty()) return DISP_E_BADPARAMCOUNT;
    if (member == L"Row") {
      result = Variant(row_);
    } else if (member == L"Column") {
      result = Variant(column_);
    } else {
      if (all_) return ExcelFailure(info, L"Too many cells");
      const auto& cells = excel_.sheets.at(sheet_).cells;
      auto it = cells.find({row_, column_});
      if (it != cells.end()) result = it->second;
    }
    return S_OK;
  }

 private:
  size_t sheet_;
  int row_;
  int column_;
  bool all_;
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
  HRESULT Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                 EXCEPINFO* info) override {
    if (member == L"Activate") {
      if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
      excel_.active = index_;
      return S_OK;
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    if (member == L"Name") {
      result = Variant(excel_.sheets.at(index_).name);
    } else if (member == L"Index") {
      result = Variant(static_cast<int>(index_ + 1));
    } else if (args.empty()) {
      result = Hand(new TFakeRange(excel_, index_, 1, 1, true));
    } else {
      if (args.size() != 2) return DISP_E_BADPARAMCOUNT;
      long row = 0, column = 0;
      if (HRESULT hr = IntArg(args[0], row); FAILED(hr)) return hr;
      if (HRESULT hr = IntArg(args[1], column); FAILED(hr)) return hr;
      if (row < 1 || row > kMaxRow || column < 1 || column > kMaxColumn)
        return ExcelFailure(info, L"Application-defined or object-defined error");
      result = Hand(new TFakeRange(excel_, index_, static_cast<int>(row), static_cast<int>(column), false));
    }
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
    long i = 0;
    if (HRESULT hr = IntArg(args[0], i); FAILED(hr)) return hr;
    if (i < 1 || static_cast<size_t>(i) > excel_.sheets.size()) return ExcelFailure(info, L"Subscript out of range");
    result = Hand(new TFakeSheet(excel_, static_cast<size_t>(i - 1)));
    return S_OK;
  }
};

class TFakeBook : public TFakeObject {
 public:
  explicit TFakeBook(TFakeExcel& excel)
      : TFakeObject(excel, "Book", {L"Application", L"WorkSheets", L"ActiveSheet", L"Saved", L"SaveAs", L"Name"}) {}

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
      if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
      ++excel_.quits;
      return S_OK;
    }
    if (!IsGet(flags)) return DISP_E_MEMBERNOTFOUND;
    result = Hand(new TFakeBook(excel_));
    return S_OK;
  }
};

HRESULT WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  DWORD written = 0;
  BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == bytes.size() ? S_OK : E_FAIL;
}

HRESULT TFakeBook::Member(const std::wstring& member, WORD flags, const std::vector<Variant>& args, Variant& result,
                          EXCEPINFO* info) {
  if (member == L"Saved" && (flags & DISPATCH_PROPERTYPUT)) {
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    excel_.saved = V_BOOL(&args[0].ChangeType(VT_BOOL).Get()) != VARIANT_FALSE;
    return S_OK;
  }
  if (member == L"SaveAs") {
    if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
    if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
    const std::string path = ArgText(args[0]);
    HRESULT hr = excel_.saveAs ? excel_.saveAs(path) : WriteBytes(path, excel_.bookBytes);
    if (FAILED(hr)) return ExcelFailure(info, L"Cannot access the file.");
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
  else if (member == L"Name")
    result = Variant(excel_.name);
  else
    result = Variant(excel_.saved);
  return S_OK;
}

std::vector<std::string> Filter(const std::vector<std::string>& log, bool deaths) {
  std::vector<std::string> out;
  for (const auto& entry : log)
    if ((!entry.empty() && entry[0] == '~') == deaths) out.push_back(entry);
  return out;
}

// Text fields of the serialised book: tabs, line ends and backslashes escaped.
std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else out += c;
  }
  return out;
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab - start));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

}  // namespace

int TFakeExcel::Sheet::LastRow() const {
  if (lastRow) return lastRow;
  int last = 1;
  for (const auto& cell : cells) last = std::max(last, cell.first.first);
  return last;
}

int TFakeExcel::Sheet::LastColumn() const {
  int last = 1;
  for (const auto& cell : cells) last = std::max(last, cell.first.second);
  return last;
}

namespace {
// A value of a type Variant has no constructor for, filled in place.
template <class Fill>
Variant Typed(VARTYPE type, Fill fill) {
  Variant v;
  VARIANT* p = v.Out();
  V_VT(p) = type;
  fill(p);
  return v;
}
}  // namespace

void TFakeExcel::SetError(int row, int column, SCODE code) {
  Active().Set(row, column, Typed(VT_ERROR, [&](VARIANT* p) { V_ERROR(p) = code; }));
}

void TFakeExcel::SetDate(int row, int column, DATE date) {
  Active().Set(row, column, Typed(VT_DATE, [&](VARIANT* p) { V_DATE(p) = date; }));
}

void TFakeExcel::SetCurrency(int row, int column, LONGLONG tenThousandths) {
  Active().Set(row, column, Typed(VT_CY, [&](VARIANT* p) { V_CY(p).int64 = tenThousandths; }));
}

bool TFakeExcel::CountCall(HRESULT& hr, bool invoke) {
  long call = lookups_ + invokes_ + 1;
  if (failFromCall_ > 0 && call >= failFromCall_) {
    hr = failFromCallWith_;
    return false;
  }
  ++(invoke ? invokes_ : lookups_);
  return true;
}

std::vector<std::string> TFakeExcel::Calls() const { return Filter(log, false); }
std::vector<std::string> TFakeExcel::Deaths() const { return Filter(log, true); }

Variant TFakeExcel::Workbook() {
  TComPtr<IDispatch> book;
  book.Attach(new TFakeBook(*this));
  return Variant(book.Get());
}

Variant TFakeExcel::SheetObject(size_t index) {
  TComPtr<IDispatch> sheet;
  sheet.Attach(new TFakeSheet(*this, index));
  return Variant(sheet.Get());
}

std::string TFakeExcel::Serialize() const {
  std::ostringstream out;
  out << "name\t" << Escape(name) << "\nactive\t" << active + 1 << "\nsaved\t" << (saved ? 1 : 0) << "\n";
  for (const auto& e : extra) out << Escape(e.first) << "\t" << Escape(e.second) << "\n";
  for (const Sheet& s : sheets) {
    out << "sheet\t" << Escape(s.name) << (s.chart ? "\tchart" : "") << "\n";
    if (s.lastRow) out << "lastrow\t" << s.lastRow << "\n";
    for (const auto& cell : s.cells) {
      const VARIANT& v = cell.second.Get();
      char number[64];
      std::string kind, text;
      switch (V_VT(&v)) {
        case VT_BSTR:
          kind = "s";
          text = WideToAnsi(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
          break;
        case VT_BOOL:
          kind = "b";
          text = V_BOOL(&v) ? "1" : "0";
          break;
        case VT_ERROR:
          kind = "e";
          std::snprintf(number, sizeof number, "%ld", static_cast<long>(V_ERROR(&v)));
          text = number;
          break;
        case VT_CY:
          kind = "c";
          std::snprintf(number, sizeof number, "%lld", static_cast<long long>(V_CY(&v).int64));
          text = number;
          break;
        case VT_DATE:
          kind = "d";
          std::snprintf(number, sizeof number, "%.17g", V_DATE(&v));
          text = number;
          break;
        case VT_EMPTY:
          continue;
        default:
          kind = "n";
          std::snprintf(number, sizeof number, "%.17g", V_R8(&cell.second.ChangeType(VT_R8).Get()));
          text = number;
          break;
      }
      out << "cell\t" << cell.first.first << "\t" << cell.first.second << "\t" << kind << "\t" << Escape(text)
          << "\n";
    }
  }
  return out.str();
}

bool TFakeExcel::Parse(const std::string& text) {
  std::vector<Sheet> parsed;
  std::istringstream in(text);
  std::string line;
  size_t activeIndex = 0;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    std::vector<std::string> f = Fields(line);
    for (std::string& field : f) field = Unescape(field);
    if (f[0] == "name" && f.size() == 2) {
      name = f[1];
    } else if (f[0] == "active" && f.size() == 2) {
      activeIndex = static_cast<size_t>(std::atoi(f[1].c_str()) - 1);
    } else if (f[0] == "saved" && f.size() == 2) {
      saved = f[1] == "1";
    } else if (f[0] == "sheet" && f.size() >= 2) {
      parsed.emplace_back(f[1], f.size() > 2 && f[2] == "chart");
    } else if (f[0] == "lastrow" && f.size() == 2 && !parsed.empty()) {
      parsed.back().lastRow = std::atoi(f[1].c_str());
    } else if (f[0] == "cell" && f.size() == 5 && !parsed.empty()) {
      const int row = std::atoi(f[1].c_str()), column = std::atoi(f[2].c_str());
      Variant v;
      VARIANT* p = v.Out();
      const std::string& kind = f[3];
      if (kind == "s") {
        v = Variant(f[4]);
      } else if (kind == "b") {
        v = Variant(f[4] == "1");
      } else if (kind == "e") {
        V_VT(p) = VT_ERROR;
        V_ERROR(p) = static_cast<SCODE>(std::strtol(f[4].c_str(), nullptr, 10));
      } else if (kind == "c") {
        V_VT(p) = VT_CY;
        V_CY(p).int64 = std::strtoll(f[4].c_str(), nullptr, 10);
      } else if (kind == "d") {
        V_VT(p) = VT_DATE;
        V_DATE(p) = std::strtod(f[4].c_str(), nullptr);
      } else {
        v = Variant(std::strtod(f[4].c_str(), nullptr));
      }
      parsed.back().Set(row, column, v);
    } else if (f.size() == 2) {
      extra[f[0]] = f[1];
    } else {
      return false;
    }
  }
  if (parsed.empty() || activeIndex >= parsed.size()) return false;
  sheets = std::move(parsed);
  active = activeIndex;
  return true;
}

void TFakeOleContainer::Close() {
  excel_.Log("Ole.Close");
  if (state != osEmpty) state = osLoaded;
}

void TFakeOleContainer::CreateObjectFromFile(const AnsiString& path, bool iconic) {
  excel_.Log("Ole.CreateObjectFromFile(" + path + (iconic ? ",iconic)" : ")"));
  if (failCreate) {
    if (!createReason.empty()) throw EOleContainerError("cannot embed", createReason);
    throw Exception("cannot embed");
  }
  state = osLoaded;
}

void TFakeOleContainer::DoVerb(int verb) {
  excel_.Log("Ole.DoVerb(" + std::to_string(verb) + ")");
  if (failVerb || state == osEmpty) throw Exception("verb failed");
  state = osRunning;
}

Variant TFakeOleContainer::OleObject() const {
  excel_.Log("Ole.OleObject");
  if (state == osEmpty) throw Exception("no object");
  return excel_.Workbook();
}

void TFakeOleContainer::DestroyObject() {
  excel_.Log("Ole.DestroyObject");
  state = osEmpty;
}

void TFakeOleContainer::SetEnabled(bool value) {
  excel_.Log(value ? "Ole.Enabled=1" : "Ole.Enabled=0");
  enabled = value;
}

void TFakeOleContainer::Refresh() {
  excel_.Log("Ole.Refresh");
  ++refreshes;
}
