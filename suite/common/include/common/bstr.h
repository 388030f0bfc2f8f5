// BSTRs owned for the length of one call into a COM object: a copy of a
// text handed in, and one the callee fills in. Both free their string.
#pragma once

#include <string_view>

#include "ce/oleauto.h"

namespace suite {

// A BSTR copy of a text; null text gives a null BSTR (Ok() is false then,
// as it is when the copy could not be made).
class Bstr {
 public:
  explicit Bstr(LPCWSTR text) : m_text(text != nullptr ? SysAllocString(text) : nullptr) {}
  explicit Bstr(std::wstring_view text) : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(m_text); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR Get() const { return m_text; }
  bool Ok() const { return m_text != nullptr; }

 private:
  BSTR m_text;
};

// A BSTR the callee fills in.
class OutBstr {
 public:
  OutBstr() = default;
  ~OutBstr() { SysFreeString(m_text); }
  OutBstr(const OutBstr&) = delete;
  OutBstr& operator=(const OutBstr&) = delete;
  BSTR* Put() { return &m_text; }
  BSTR Get() const { return m_text; }

 private:
  BSTR m_text = nullptr;
};

}  // namespace suite
