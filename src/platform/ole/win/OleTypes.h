// The OLE automation types of the Windows build: the system's own BSTR, VARIANT, SAFEARRAY,
// GUID, HRESULT, IUnknown and IDispatch, with SysAllocString/SysFreeString, VariantClear and
// the array functions from oleaut32, so that an engine built with the platform's SDK and the
// program free each other's texts and arrays with the same allocator. Code that uses these
// types includes "platform/Ole.h", never this file.
#pragma once

#include <cstdint>

#include "platform/SystemHeaders_win.h"

#include <oleauto.h>

// Like the Linux build's: a one-dimensional array of `count` bytes, zero-filled; nullptr
// when memory runs out.
inline SAFEARRAY* SafeArrayCreateByteVector(uint32_t count) { return SafeArrayCreateVector(VT_UI1, 0, count); }
