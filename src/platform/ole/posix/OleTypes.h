// The OLE automation types as Linux builds declare them: BSTR, VARIANT, SAFEARRAY, GUID,
// HRESULT, IUnknown and IDispatch, laid out as on 64-bit Windows so that an engine built
// from the engine binary interface alone agrees with us byte for byte. Windows builds take
// the system's own declarations instead (ole/win/OleTypes.h); code that uses these types
// includes "platform/Ole.h", never this file.
//
// They live in the global namespace under their Windows names because both sides declare
// them there (sanitizer builds compare class names across the library boundary). The
// string and array helpers are inline on malloc/free, so whichever side allocates, the
// other can free within one process.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

using HRESULT = int32_t;
using VARIANT_BOOL = int16_t;
using VARTYPE = uint16_t;
using OLECHAR = char16_t;
using BSTR = OLECHAR*;

// The Windows names of the integers in the interfaces' signatures, so that one declaration
// of an interface or an implementation serves both platforms.
using ULONG = uint32_t;
using UINT = uint32_t;
using WORD = uint16_t;
using LCID = uint32_t;
using DISPID = int32_t;
struct ITypeInfo;  // never used here: GetTypeInfo is not implemented on either side

inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFF);
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154);

inline bool FAILED(HRESULT status) { return status < 0; }
inline bool SUCCEEDED(HRESULT status) { return status >= 0; }

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

enum : VARTYPE {
  VT_EMPTY = 0,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R8 = 5,
  VT_BSTR = 8,
  VT_BOOL = 11,
  VT_UI1 = 17,
  VT_ARRAY = 0x2000,
};

struct SAFEARRAYBOUND {
  uint32_t cElements;
  int32_t lLbound;
};

struct SAFEARRAY {
  uint16_t cDims;
  uint16_t fFeatures;
  uint32_t cbElements;
  uint32_t cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

struct VARIANT {
  VARTYPE vt;
  uint16_t wReserved1;
  uint16_t wReserved2;
  uint16_t wReserved3;
  union {
    int32_t lVal;
    int16_t iVal;
    uint8_t bVal;
    VARIANT_BOOL boolVal;
    double dblVal;
    BSTR bstrVal;
    SAFEARRAY* parray;
    void* byref;
    uint8_t raw[16];
  };
};

struct DISPPARAMS {
  VARIANT* rgvarg;
  DISPID* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
};

struct EXCEPINFO {
  uint16_t wCode;
  uint16_t wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  uint32_t dwHelpContext;
  void* pvReserved;
  void* pfnDeferredFillIn;
  HRESULT scode;
};

// The root of every engine interface. No virtual destructor: an object frees itself when
// Release brings its count to 0.
struct IUnknown {
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
};

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* count) = 0;
  virtual HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(const GUID& iid, OLECHAR** names, UINT count, LCID lcid, DISPID* dispIds) = 0;
  virtual HRESULT Invoke(DISPID dispId, const GUID& iid, LCID lcid, WORD flags, DISPPARAMS* params,
                         VARIANT* result, EXCEPINFO* exception, UINT* argError) = 0;
};

// --- BSTR: UTF-16 text with its byte length in the 4 bytes before the first character.

inline BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  // Length prefix, the characters and a terminating zero, in one malloc block.
  const size_t bytes = static_cast<size_t>(length) * sizeof(char16_t);
  auto* block = static_cast<uint8_t*>(std::malloc(sizeof(uint32_t) + bytes + sizeof(char16_t)));
  if (block == nullptr) return nullptr;
  const uint32_t byteLength = static_cast<uint32_t>(bytes);
  std::memcpy(block, &byteLength, sizeof byteLength);
  auto* characters = reinterpret_cast<char16_t*>(block + sizeof(uint32_t));
  if (text != nullptr && length != 0) std::memcpy(characters, text, bytes);
  else if (length != 0) std::memset(characters, 0, bytes);
  characters[length] = u'\0';
  return characters;
}

inline BSTR SysAllocString(const OLECHAR* text) {
  if (text == nullptr) return nullptr;
  uint32_t length = 0;
  while (text[length] != u'\0') ++length;
  return SysAllocStringLen(text, length);
}

inline void SysFreeString(BSTR text) {
  if (text != nullptr) std::free(reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t));
}

// Characters, not counting the terminator; 0 for the null BSTR (the empty text).
inline UINT SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  uint32_t byteLength;
  std::memcpy(&byteLength, reinterpret_cast<uint8_t*>(text) - sizeof(uint32_t), sizeof byteLength);
  return byteLength / sizeof(char16_t);
}

// --- SAFEARRAY: the header and the data are two malloc blocks.

// A one-dimensional array of `count` bytes, zero-filled; nullptr when memory runs out.
inline SAFEARRAY* SafeArrayCreateByteVector(uint32_t count) {
  auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
  if (array == nullptr) return nullptr;
  array->pvData = std::calloc(count == 0 ? 1 : count, 1);
  if (array->pvData == nullptr) {
    std::free(array);
    return nullptr;
  }
  array->cDims = 1;
  array->cbElements = 1;
  array->rgsabound[0].cElements = count;
  array->rgsabound[0].lLbound = 0;
  return array;
}

inline void SafeArrayDestroy(SAFEARRAY* array) {
  if (array == nullptr) return;
  std::free(array->pvData);
  std::free(array);
}

// --- VARIANT

inline void VariantInit(VARIANT* value) { std::memset(value, 0, sizeof(VARIANT)); }

// Frees what the variant holds (a BSTR or an array) and leaves it VT_EMPTY.
inline HRESULT VariantClear(VARIANT* value) {
  if (value == nullptr) return E_INVALIDARG;
  if (value->vt == VT_BSTR) SysFreeString(value->bstrVal);
  else if ((value->vt & VT_ARRAY) != 0) SafeArrayDestroy(value->parray);
  VariantInit(value);
  return S_OK;
}
