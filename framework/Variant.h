#pragma once
// Variant: an owned VARIANT and late-bound automation by member name. Every
// call looks its member up with GetIDsOfNames and then calls Invoke; nothing
// is cached, so a call always reaches the object as it stands now.
#include <objbase.h>
#include <oleauto.h>

#include <initializer_list>
#include <utility>

#include "framework/AnsiString.h"
#include "framework/Exception.h"

// A failed automation call: the HRESULT (for an exception the server reported,
// its own code) and the server's description, if it gave one.
class EOleException : public Exception {
 public:
  EOleException(AnsiString message, HRESULT errorCode, AnsiString source, AnsiString description)
      : Exception(std::move(message)),
        errorCode_(errorCode),
        source_(std::move(source)),
        description_(std::move(description)) {}
  HRESULT ErrorCode() const { return errorCode_; }
  const AnsiString& Source() const { return source_; }
  const AnsiString& Description() const { return description_; }

 private:
  HRESULT errorCode_;
  AnsiString source_;
  AnsiString description_;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant& o);
  Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }
  ~Variant() { Clear(); }
  Variant& operator=(Variant o) noexcept {
    std::swap(v_, o.v_);
    return *this;
  }

  Variant(int value);
  Variant(long value);
  Variant(double value);
  Variant(bool value);
  // Text in the program's code page (1251), held as a BSTR.
  Variant(const char* text);
  Variant(const AnsiString& text);
  Variant(const wchar_t* text);
  // A dispatch value holding its own reference (AddRef).
  explicit Variant(IDispatch* dispatch);
  // Copies a VARIANT (VariantCopy: strings duplicated, interfaces AddRef'ed).
  static Variant CopyOf(const VARIANT& v);

  void Clear();
  // For a call that fills a VARIANT: the old value is cleared first.
  VARIANT* Out() {
    Clear();
    return &v_;
  }
  // Hands the value over (say, to a caller's VARIANT*); the holder is left empty.
  VARIANT Detach() {
    VARIANT v = v_;
    VariantInit(&v_);
    return v;
  }
  const VARIANT& Get() const { return v_; }
  VARTYPE Type() const { return V_VT(&v_); }
  bool IsEmpty() const { return Type() == VT_EMPTY; }
  // The dispatch interface held (no new reference), or nullptr.
  IDispatch* Dispatch() const;

  // Value conversion in the user's locale; raises EOleException when the
  // value has no such form.
  Variant ChangeType(VARTYPE type, USHORT flags = 0) const;
  long AsInteger() const;

  // Late-bound calls. Arguments are given in their natural order.
  template <class... A>
  Variant OlePropertyGet(const AnsiString& name, const A&... args) const {
    Variant list[] = {Variant(args)..., Variant()};
    return Invoke(name, DISPATCH_PROPERTYGET, list, sizeof...(A));
  }
  // The last argument is the value assigned.
  template <class... A>
  void OlePropertySet(const AnsiString& name, const A&... args) const {
    Variant list[] = {Variant(args)..., Variant()};
    Invoke(name, DISPATCH_PROPERTYPUT, list, sizeof...(A));
  }
  template <class... A>
  Variant OleFunction(const AnsiString& name, const A&... args) const {
    Variant list[] = {Variant(args)..., Variant()};
    return Invoke(name, DISPATCH_METHOD, list, sizeof...(A));
  }
  template <class... A>
  void OleProcedure(const AnsiString& name, const A&... args) const {
    OleFunction(name, args...);
  }

  // The one late-bound call behind the templates above: args[0..count) in
  // natural order; for DISPATCH_PROPERTYPUT the last one is the new value.
  Variant Invoke(const AnsiString& name, WORD flags, const Variant* args, size_t count) const;

 private:
  VARIANT v_;
};
