// Automation strings and variants. A BSTR points at its first character; the
// 32-bit byte length sits just before it and a terminator just after the
// text, so a BSTR may hold embedded nulls and is still a C string.
#pragma once

#include "ce/objbase.h"

#pragma GCC visibility push(default)

using BSTR = OLECHAR*;
using VARIANT_BOOL = SHORT;
using VARTYPE = USHORT;
using DATE = double;

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Allocates a copy of the null-terminated `text` (null gives a null BSTR).
BSTR SysAllocString(const OLECHAR* text);
// Allocates `length` characters, copied from `text` when it is not null
// (otherwise left zeroed), plus the terminator.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
// Replaces *target with a new copy; FALSE (and *target unchanged) on failure.
INT SysReAllocString(BSTR* target, const OLECHAR* text);
void SysFreeString(BSTR text);
// Characters and bytes of the text, embedded nulls included; 0 for null.
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_INT = 22,
  VT_UINT = 23,
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    FLOAT fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    CHAR cVal;
    USHORT uiVal;
    ULONG ulVal;
    INT intVal;
    UINT uintVal;
  };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;

// VT_EMPTY, nothing owned.
void VariantInit(VARIANT* value);
// Frees what the variant owns (a BSTR, a reference on an interface) and
// leaves it VT_EMPTY; DISP_E_BADVARTYPE for a type this layer does not know.
HRESULT VariantClear(VARIANT* value);
// Deep copy into a cleared `target`.
HRESULT VariantCopy(VARIANT* target, const VARIANT* source);
// Converts between the empty, integer, real, boolean and string types.
// `target` may equal `source`. Failures: DISP_E_TYPEMISMATCH (text that is
// not a number, an interface), DISP_E_OVERFLOW (out of the target's range),
// DISP_E_BADVARTYPE (an unknown type).
HRESULT VariantChangeType(VARIANT* target, const VARIANT* source, USHORT flags, VARTYPE type);

#pragma GCC visibility pop
