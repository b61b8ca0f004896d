// The one way Windows units include the system's headers: lean, without min/max macros,
// and with the macros that collide with the program's own names (GetMessage, MessageBox,
// ReplaceFile, SetPort) removed again. Also the conversions every Win32 call needs: the
// system's text is UTF-16; the program's is narrow text (the narrow code page of Text.h, as
// paths and messages are everywhere in the program), except the desktop's, which is UTF-8.
//
// Only _win.cpp files include this header.
#pragma once

#include "platform/SystemHeaders_win.h"

#include <string>
#include <string_view>

namespace trs::win32 {

// Narrow text <-> UTF-16 for paths, names and texts handed to or taken from the system:
// what the system's own "A" calls would do with the narrow code page.
std::wstring Widen(std::string_view narrow);
std::string Narrow(std::wstring_view utf16);

// UTF-8 <-> UTF-16, for the desktop's texts (captions, labels, boxes).
std::wstring WidenUtf8(std::string_view utf8);
std::string NarrowUtf8(std::wstring_view utf16);

// The system's text for an error code (FormatMessageW), as narrow text without the trailing
// line break; "System error <code>" when the system has none.
std::string SystemErrorText(DWORD code);

// Owns a kernel handle (file, mutex, event, process) and closes it when it goes.
class THandle {
 public:
  THandle() = default;
  explicit THandle(HANDLE handle) : Handle(handle) {}
  ~THandle() { Reset(); }
  THandle(THandle&& other) noexcept : Handle(other.Release()) {}
  THandle& operator=(THandle&& other) noexcept {
    if (this != &other) {
      Reset();
      Handle = other.Release();
    }
    return *this;
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;

  // Null and INVALID_HANDLE_VALUE both mean "no handle": the API uses either.
  bool Valid() const { return Handle != nullptr && Handle != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return Handle; }
  HANDLE Release() {
    HANDLE handle = Handle;
    Handle = nullptr;
    return handle;
  }
  void Reset() {
    if (Valid()) ::CloseHandle(Handle);
    Handle = nullptr;
  }

 private:
  HANDLE Handle = nullptr;
};

}  // namespace trs::win32
