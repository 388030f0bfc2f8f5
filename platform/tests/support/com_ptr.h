// Small owners for interface pointers, strings and variants in tests.
#pragma once

#include <string>
#include <utility>

#include "ce/oleauto.h"

namespace ce::test {

template <typename T>
class Ptr {
 public:
  Ptr() = default;
  ~Ptr() { Reset(); }
  Ptr(const Ptr&) = delete;
  Ptr& operator=(const Ptr&) = delete;

  T** operator&() {
    Reset();
    return &p_;
  }
  void** Out() { return reinterpret_cast<void**>(operator&()); }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void Reset() {
    if (p_ != nullptr) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR* operator&() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  operator BSTR() const { return b_; }
  std::wstring str() const { return b_ == nullptr ? std::wstring() : std::wstring(b_, SysStringLen(b_)); }

 private:
  BSTR b_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  explicit Variant(const std::wstring& text) {
    VariantInit(&v_);
    v_.vt = VT_BSTR;
    v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  explicit Variant(LONG number) {
    VariantInit(&v_);
    v_.vt = VT_I4;
    v_.lVal = number;
  }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;

  VARIANT* operator&() { return &v_; }
  const VARIANT& get() const { return v_; }
  std::wstring str() const {
    return v_.vt == VT_BSTR && v_.bstrVal != nullptr ? std::wstring(v_.bstrVal, SysStringLen(v_.bstrVal))
                                                     : std::wstring();
  }

 private:
  VARIANT v_;
};

}  // namespace ce::test
