// The OLE automation types that the program and the engines share: BSTR, VARIANT,
// SAFEARRAY, GUID, HRESULT, IUnknown and IDispatch, under their Windows names in the global
// namespace. Windows builds use the system's declarations; Linux builds declare them with
// the same layout (ole/<platform>/OleTypes.h, chosen by the include directory CMake sets).
//
// Interfaces and their implementations spell the integer types of IUnknown and IDispatch
// with the Windows names (ULONG, UINT, LCID, DISPID, WORD), which are not the fixed-width
// types on Windows.
#pragma once

#include <string_view>

#include "OleTypes.h"

static_assert(sizeof(GUID) == 16);
static_assert(sizeof(SAFEARRAY) == 32);
static_assert(sizeof(VARIANT) == 24);
static_assert(sizeof(DISPPARAMS) == 24);
// The program keeps UTF-16 text as char16_t; the system's OLECHAR is wchar_t on Windows:
// different types, the same code units.
static_assert(sizeof(OLECHAR) == sizeof(char16_t));

// A BSTR's text; the null BSTR is the empty text.
inline std::u16string_view BStrView(const BSTR text) {
  if (text == nullptr) return {};
  return {reinterpret_cast<const char16_t*>(text), SysStringLen(text)};
}

// A new BSTR holding `text`, for the receiver to free; nullptr when memory runs out.
inline BSTR AllocBStr(std::u16string_view text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}
