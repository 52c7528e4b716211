#pragma once
// Late-bound calls exactly as the conversion and the workbook control make
// them: GetIDsOfNames for the member, then Invoke.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "framework/ComPtr.h"

class TVar {
 public:
  TVar() { VariantInit(&v_); }
  TVar(const TVar&) = delete;
  TVar& operator=(const TVar&) = delete;
  ~TVar() { VariantClear(&v_); }
  VARIANT* Out() {
    VariantClear(&v_);
    return &v_;
  }
  const VARIANT& Get() const { return v_; }
  VARTYPE Type() const { return V_VT(&v_); }
  IDispatch* Dispatch() const { return V_VT(&v_) == VT_DISPATCH ? V_DISPATCH(&v_) : nullptr; }

 private:
  VARIANT v_;
};

inline VARIANT I4(LONG n) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}
// The BSTR is freed by Call.
inline VARIANT Str(const wchar_t* s) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(s);
  return v;
}
inline VARIANT Boolean(bool b) {
  VARIANT v;
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = b ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

struct CallResult {
  HRESULT hr = S_OK;
  std::wstring description;  // EXCEPINFO text on DISP_E_EXCEPTION
  SCODE scode = 0;
};

// args in source order; a property put passes its value as the last one.
inline CallResult Call(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, TVar* out) {
  CallResult r;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  r.hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (SUCCEEDED(r.hr)) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS p = {reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
      p.rgdispidNamedArgs = &putId;
      p.cNamedArgs = 1;
    }
    EXCEPINFO info = {};
    UINT argErr = 0;
    r.hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &p, out ? out->Out() : nullptr, &info, &argErr);
    if (r.hr == DISP_E_EXCEPTION) {
      if (info.bstrDescription) r.description = info.bstrDescription;
      r.scode = info.scode;
    }
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  for (auto& a : args) VariantClear(&a);
  return r;
}

inline CallResult Get(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args, TVar& out) {
  return Call(object, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD, std::move(args), &out);
}
