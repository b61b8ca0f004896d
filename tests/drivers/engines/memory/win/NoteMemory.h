// How an engine written from the note allocates what it hands to the program, on Windows:
// with the system's BSTR and array functions (oleaut32), which the program frees with.
// Declared here by hand: the engine keeps its own declarations of the OLE types, which the
// system's headers would clash with.
#pragma once

#include <cstdint>
#include <cstring>

extern "C" {
__declspec(dllimport) wchar_t* __stdcall SysAllocStringLen(const wchar_t* text, unsigned int length);
__declspec(dllimport) void __stdcall SysFreeString(wchar_t* text);
__declspec(dllimport) void* __stdcall SafeArrayCreateVector(unsigned short type, long lowerBound,
                                                            unsigned long count);
}

namespace note {

inline char16_t* NewBstr(const char16_t* text, uint32_t length) {
  return reinterpret_cast<char16_t*>(SysAllocStringLen(reinterpret_cast<const wchar_t*>(text), length));
}

inline void FreeBstr(char16_t* text) { SysFreeString(reinterpret_cast<wchar_t*>(text)); }

// A one-dimensional array of `size` bytes (VT_UI1).
template <typename SafeArray>
SafeArray* NewByteArray(const void* bytes, uint32_t size) {
  auto* array = static_cast<SafeArray*>(SafeArrayCreateVector(17, 0, size));
  std::memcpy(array->pvData, bytes, size);
  return array;
}

}  // namespace note
