#include "framework/Variant.h"

#include <cstdio>
#include <vector>

#include "framework/ComPtr.h"
#include "framework/Unicode.h"

namespace {

[[noreturn]] void RaiseFailure(const AnsiString& message, HRESULT hr) {
  throw EOleException(message, hr, AnsiString(), AnsiString());
}

AnsiString HexCode(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

// The system's text for an HRESULT, without the trailing line break; empty
// when the system has none.
AnsiString SystemText(HRESULT hr) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  AnsiString out;
  if (n && text) {
    while (n && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ' || text[n - 1] == L'.')) --n;
    out = WideToAnsi(text, n);
  }
  if (text) LocalFree(text);
  return out;
}

AnsiString FailureText(const AnsiString& member, HRESULT hr) {
  AnsiString text = SystemText(hr);
  if (text.empty()) text = "Ошибка автоматизации";
  return text + " (" + HexCode(hr) + ", \"" + member + "\")";
}

AnsiString TakeText(BSTR& b) {
  TBStr holder;
  *holder.Out() = b;
  b = nullptr;
  return WideToAnsi(holder.Get(), holder.Length());
}

}  // namespace

Variant::Variant(const Variant& o) {
  VariantInit(&v_);
  HRESULT hr = VariantCopy(&v_, const_cast<VARIANT*>(&o.v_));
  if (FAILED(hr)) RaiseFailure("Не удалось скопировать значение (" + HexCode(hr) + ")", hr);
}

Variant::Variant(int value) : Variant(static_cast<long>(value)) {}

Variant::Variant(long value) {
  VariantInit(&v_);
  V_VT(&v_) = VT_I4;
  V_I4(&v_) = value;
}

Variant::Variant(double value) {
  VariantInit(&v_);
  V_VT(&v_) = VT_R8;
  V_R8(&v_) = value;
}

Variant::Variant(bool value) {
  VariantInit(&v_);
  V_VT(&v_) = VT_BOOL;
  V_BOOL(&v_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

Variant::Variant(const char* text) : Variant(AnsiString(text ? text : "")) {}

Variant::Variant(const AnsiString& text) {
  VariantInit(&v_);
  std::wstring wide = AnsiToWide(text);
  BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!b) throw std::bad_alloc();
  V_VT(&v_) = VT_BSTR;
  V_BSTR(&v_) = b;
}

Variant::Variant(const wchar_t* text) {
  VariantInit(&v_);
  BSTR b = SysAllocString(text ? text : L"");
  if (!b) throw std::bad_alloc();
  V_VT(&v_) = VT_BSTR;
  V_BSTR(&v_) = b;
}

Variant::Variant(IDispatch* dispatch) {
  VariantInit(&v_);
  V_VT(&v_) = VT_DISPATCH;
  V_DISPATCH(&v_) = dispatch;
  if (dispatch) dispatch->AddRef();
}

Variant Variant::CopyOf(const VARIANT& v) {
  Variant out;
  HRESULT hr = VariantCopy(out.Out(), const_cast<VARIANT*>(&v));
  if (FAILED(hr)) RaiseFailure("Не удалось скопировать значение (" + HexCode(hr) + ")", hr);
  return out;
}

void Variant::Clear() {
  VariantClear(&v_);
  // VariantClear refuses some malformed values; the holder is empty anyway.
  V_VT(&v_) = VT_EMPTY;
}

IDispatch* Variant::Dispatch() const {
  if (Type() == VT_DISPATCH) return V_DISPATCH(&v_);
  if (Type() == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(&v_)) return *V_DISPATCHREF(&v_);
  return nullptr;
}

Variant Variant::ChangeType(VARTYPE type, USHORT flags) const {
  Variant out;
  HRESULT hr = VariantChangeTypeEx(out.Out(), const_cast<VARIANT*>(&v_), LOCALE_USER_DEFAULT, flags, type);
  if (FAILED(hr)) RaiseFailure(FailureText("VariantChangeType", hr), hr);
  return out;
}

long Variant::AsInteger() const {
  Variant v = ChangeType(VT_I4);
  return V_I4(&v.v_);
}

Variant Variant::Invoke(const AnsiString& name, WORD flags, const Variant* args, size_t count) const {
  IDispatch* dispatch = Dispatch();
  if (!dispatch) RaiseFailure("Значение не является объектом автоматизации (\"" + name + "\")", DISP_E_TYPEMISMATCH);

  std::wstring wide = AnsiToWide(name);
  LPOLESTR names[] = {&wide[0]};
  DISPID id = DISPID_UNKNOWN;
  HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr == DISP_E_UNKNOWNNAME) RaiseFailure("Объект автоматизации не знает члена \"" + name + "\"", hr);
  if (FAILED(hr)) RaiseFailure(FailureText(name, hr), hr);

  // Invoke wants the arguments last first. The VARIANTs stay owned by the
  // caller's Variants: Invoke reads by-value arguments and frees nothing.
  std::vector<VARIANTARG> reversed(count);
  for (size_t i = 0; i < count; ++i) reversed[count - 1 - i] = args[i].v_;
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params = {};
  params.rgvarg = count ? reversed.data() : nullptr;
  params.cArgs = static_cast<UINT>(count);
  bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  if (put) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }

  Variant result;
  EXCEPINFO info = {};
  UINT argError = 0;
  hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, put ? nullptr : result.Out(), &info,
                        &argError);
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    AnsiString source = TakeText(info.bstrSource);
    AnsiString description = TakeText(info.bstrDescription);
    TakeText(info.bstrHelpFile);
    HRESULT code = info.scode ? info.scode : hr;
    AnsiString message = description.empty() ? FailureText(name, code) : description;
    throw EOleException(message, code, source, description);
  }
  if (FAILED(hr)) RaiseFailure(FailureText(name, hr), hr);
  return result;
}
