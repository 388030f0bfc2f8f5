// VARIANT lifetime and the conversions the programs ask for: numbers,
// booleans and text into each other.
#include <cmath>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <limits>
#include <string>

#include "ce/oleauto.h"
#include "ce/strconv.h"

namespace {

bool Owns(VARTYPE vt) { return vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH; }

bool Known(VARTYPE vt) {
  switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
      return true;
    default:
      return false;
  }
}

// A source value on its way to another type.
struct Value {
  enum Kind { kInteger, kReal, kText } kind = kInteger;
  std::int64_t integer = 0;
  double real = 0;
  std::wstring text;
};

HRESULT ParseText(const std::wstring& text, Value& out) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && std::iswspace(static_cast<wint_t>(text[begin]))) ++begin;
  while (end > begin && std::iswspace(static_cast<wint_t>(text[end - 1]))) --end;
  const std::wstring trimmed = text.substr(begin, end - begin);
  if (trimmed.empty()) return DISP_E_TYPEMISMATCH;
  if (ce::EqualsNoCase(trimmed, L"true")) {
    out.kind = Value::kInteger;
    out.integer = -1;
    return S_OK;
  }
  if (ce::EqualsNoCase(trimmed, L"false")) {
    out.kind = Value::kInteger;
    out.integer = 0;
    return S_OK;
  }
  // Digits, sign, point and exponent only: no hexadecimal, infinities or NaN.
  for (wchar_t c : trimmed) {
    if (!((c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.' || c == L'e' || c == L'E')) {
      return DISP_E_TYPEMISMATCH;
    }
  }
  wchar_t* stop = nullptr;
  const double parsed = std::wcstod(trimmed.c_str(), &stop);
  if (stop != trimmed.c_str() + trimmed.size()) return DISP_E_TYPEMISMATCH;
  if (!std::isfinite(parsed)) return DISP_E_OVERFLOW;
  out.kind = Value::kReal;
  out.real = parsed;
  return S_OK;
}

HRESULT Read(const VARIANT& v, Value& out) {
  switch (v.vt) {
    case VT_EMPTY:
      out.integer = 0;
      return S_OK;
    case VT_I1:
      out.integer = v.cVal;
      return S_OK;
    case VT_UI1:
      out.integer = v.bVal;
      return S_OK;
    case VT_I2:
      out.integer = v.iVal;
      return S_OK;
    case VT_UI2:
      out.integer = v.uiVal;
      return S_OK;
    case VT_I4:
      out.integer = v.lVal;
      return S_OK;
    case VT_INT:
      out.integer = v.intVal;
      return S_OK;
    case VT_UI4:
      out.integer = v.ulVal;
      return S_OK;
    case VT_UINT:
      out.integer = v.uintVal;
      return S_OK;
    case VT_BOOL:
      out.integer = v.boolVal != VARIANT_FALSE ? -1 : 0;
      return S_OK;
    case VT_R4:
      out.kind = Value::kReal;
      out.real = v.fltVal;
      return S_OK;
    case VT_R8:
      out.kind = Value::kReal;
      out.real = v.dblVal;
      return S_OK;
    case VT_DATE:
      out.kind = Value::kReal;
      out.real = v.date;
      return S_OK;
    case VT_BSTR:
      out.kind = Value::kText;
      if (v.bstrVal != nullptr) out.text.assign(v.bstrVal, SysStringLen(v.bstrVal));
      return S_OK;
    default:
      return Known(v.vt) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
  }
}

std::wstring FormatReal(double value) {
  wchar_t buffer[64];
  for (int digits = 15; digits <= 17; ++digits) {
    std::swprintf(buffer, 64, L"%.*g", digits, value);
    if (std::wcstod(buffer, nullptr) == value) break;
  }
  return buffer;
}

// Rounds a real to the nearest integer, halves to even.
HRESULT ToInteger(const Value& in, std::int64_t& out) {
  Value v = in;
  if (v.kind == Value::kText) {
    const HRESULT hr = ParseText(in.text, v);
    if (FAILED(hr)) return hr;
  }
  if (v.kind == Value::kInteger) {
    out = v.integer;
    return S_OK;
  }
  const double rounded = std::nearbyint(v.real);
  if (!(rounded >= -9.2e18 && rounded <= 9.2e18)) return DISP_E_OVERFLOW;
  out = static_cast<std::int64_t>(rounded);
  return S_OK;
}

template <typename T>
HRESULT Narrow(std::int64_t value, T& out) {
  if (value < static_cast<std::int64_t>(std::numeric_limits<T>::min()) ||
      value > static_cast<std::int64_t>(std::numeric_limits<T>::max())) {
    return DISP_E_OVERFLOW;
  }
  out = static_cast<T>(value);
  return S_OK;
}

HRESULT Convert(const Value& in, VARTYPE type, VARIANT& out) {
  VariantInit(&out);
  if (type == VT_BSTR) {
    std::wstring text;
    if (in.kind == Value::kText) {
      text = in.text;
    } else if (in.kind == Value::kReal) {
      text = FormatReal(in.real);
    } else {
      text = std::to_wstring(in.integer);
    }
    if (text.size() > std::numeric_limits<UINT>::max()) return E_OUTOFMEMORY;
    out.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (out.bstrVal == nullptr) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    return S_OK;
  }
  if (type == VT_R8 || type == VT_R4 || type == VT_DATE) {
    Value v = in;
    if (v.kind == Value::kText) {
      const HRESULT hr = ParseText(in.text, v);
      if (FAILED(hr)) return hr;
    }
    const double real = v.kind == Value::kReal ? v.real : static_cast<double>(v.integer);
    if (type == VT_R4) {
      if (std::fabs(real) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out.fltVal = static_cast<float>(real);
    } else if (type == VT_R8) {
      out.dblVal = real;
    } else {
      out.date = real;
    }
    out.vt = type;
    return S_OK;
  }
  if (type == VT_BOOL) {
    Value v = in;
    if (v.kind == Value::kText) {
      const HRESULT hr = ParseText(in.text, v);
      if (FAILED(hr)) return hr;
    }
    const bool set = v.kind == Value::kReal ? v.real != 0 : v.integer != 0;
    out.boolVal = set ? VARIANT_TRUE : VARIANT_FALSE;
    out.vt = VT_BOOL;
    return S_OK;
  }
  std::int64_t integer = 0;
  HRESULT hr = ToInteger(in, integer);
  if (FAILED(hr)) return hr;
  switch (type) {
    case VT_I1:
      hr = Narrow(integer, out.cVal);
      break;
    case VT_UI1:
      hr = Narrow(integer, out.bVal);
      break;
    case VT_I2:
      hr = Narrow(integer, out.iVal);
      break;
    case VT_UI2:
      hr = Narrow(integer, out.uiVal);
      break;
    case VT_I4:
      hr = Narrow(integer, out.lVal);
      break;
    case VT_INT:
      hr = Narrow(integer, out.intVal);
      break;
    case VT_UI4:
      hr = Narrow(integer, out.ulVal);
      break;
    case VT_UINT:
      hr = Narrow(integer, out.uintVal);
      break;
    default:
      return Known(type) ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
  }
  if (SUCCEEDED(hr)) out.vt = type;
  return hr;
}

}  // namespace

void VariantInit(VARIANT* value) {
  if (value == nullptr) return;
  value->vt = VT_EMPTY;
  value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
  value->dblVal = 0;
}

HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  if (!Known(value->vt)) return DISP_E_BADVARTYPE;
  if (value->vt == VT_BSTR) {
    SysFreeString(value->bstrVal);
  } else if ((value->vt == VT_UNKNOWN || value->vt == VT_DISPATCH) && value->punkVal != nullptr) {
    value->punkVal->Release();
  }
  VariantInit(value);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* target, const VARIANT* source) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  if (!Known(source->vt)) return DISP_E_BADVARTYPE;
  if (target == source) return S_OK;
  VARIANT copy = *source;
  if (source->vt == VT_BSTR && source->bstrVal != nullptr) {
    copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
    if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
  } else if ((source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) && source->punkVal != nullptr) {
    source->punkVal->AddRef();
  }
  const HRESULT hr = VariantClear(target);
  if (FAILED(hr)) {
    VariantClear(&copy);
    return hr;
  }
  *target = copy;
  return S_OK;
}

HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, USHORT /*flags*/, VARTYPE type) {
  if (target == nullptr || source == nullptr) return E_INVALIDARG;
  if (!Known(source->vt) || !Known(type)) return DISP_E_BADVARTYPE;
  VARIANT result;
  if (source->vt == type) {
    VariantInit(&result);
    const HRESULT hr = VariantCopy(&result, source);
    if (FAILED(hr)) return hr;
  } else if (type == VT_EMPTY || type == VT_NULL || (Owns(type) && type != VT_BSTR) || source->vt == VT_NULL ||
             type == VT_ERROR) {
    return DISP_E_TYPEMISMATCH;
  } else {
    Value value;
    HRESULT hr = Read(*source, value);
    if (FAILED(hr)) return hr;
    // Empty is zero as a number but no text at all as a string.
    if (source->vt == VT_EMPTY && type == VT_BSTR) value.kind = Value::kText;
    hr = Convert(value, type, result);
    if (FAILED(hr)) return hr;
  }
  // The source is read completely before the target is touched, so both
  // may be the same variant.
  const HRESULT hr = VariantClear(target);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *target = result;
  return S_OK;
}
