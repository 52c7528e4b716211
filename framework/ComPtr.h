#pragma once
// RAII holders for COM resources: interface pointers and BSTRs. The
// out-parameter accessors release the old value first, so a holder can be
// passed to a creating call again and again without leaking.
#include <objbase.h>
#include <oleauto.h>

#include <utility>

template <class T>
class TComPtr {
 public:
  TComPtr() = default;
  // Takes a new reference (AddRef); use Attach to adopt one.
  explicit TComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  TComPtr(const TComPtr& o) : TComPtr(o.p_) {}
  TComPtr(TComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ~TComPtr() { Release(); }
  TComPtr& operator=(TComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  void Release() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Attach(T* p) {
    Release();
    p_ = p;
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  T** Out() {
    Release();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  template <class U>
  HRESULT QueryInterface(TComPtr<U>& out) const {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(__uuidof(U), out.OutVoid());
  }

 private:
  T* p_ = nullptr;
};

class TBStr {
 public:
  TBStr() = default;
  explicit TBStr(const wchar_t* s) : b_(s ? SysAllocString(s) : nullptr) {}
  TBStr(const wchar_t* s, UINT len) : b_(SysAllocStringLen(s, len)) {}
  TBStr(const TBStr&) = delete;
  TBStr& operator=(const TBStr&) = delete;
  TBStr(TBStr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  ~TBStr() { Free(); }

  void Free() {
    if (BSTR b = std::exchange(b_, nullptr)) SysFreeString(b);
  }
  BSTR* Out() {
    Free();
    return &b_;
  }
  BSTR Detach() { return std::exchange(b_, nullptr); }
  BSTR Get() const { return b_; }
  UINT Length() const { return b_ ? SysStringLen(b_) : 0; }

 private:
  BSTR b_ = nullptr;
};

// Initialises COM on this thread for the holder's lifetime.
class TOleInit {
 public:
  TOleInit() : hr_(OleInitialize(nullptr)) {}
  ~TOleInit() {
    if (SUCCEEDED(hr_)) OleUninitialize();
  }
  TOleInit(const TOleInit&) = delete;
  TOleInit& operator=(const TOleInit&) = delete;
  HRESULT Result() const { return hr_; }

 private:
  HRESULT hr_;
};
