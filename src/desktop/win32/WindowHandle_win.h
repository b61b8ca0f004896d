// The desktop interface's window handles as the system's and back: an HWND is a pointer,
// carried as a number across the interface.
#pragma once

#include <cstdint>

#include "desktop/DesktopBackend.h"
#include "platform/Win32_win.h"

namespace trs::win32 {

inline HWND AsHwnd(TWindowHandle window) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
}
inline TWindowHandle AsHandle(HWND window) {
  return static_cast<TWindowHandle>(reinterpret_cast<std::uintptr_t>(window));
}

}  // namespace trs::win32
