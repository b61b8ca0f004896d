// What the backend's windows share: the desktop interface's window handles as the system's
// and back (an HWND is a pointer, carried as a number across the interface), and the
// registration of the program's window classes.
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

// Registers a window class of the program, with the arrow cursor and the dialog background;
// callers do it once per process. False when the system refused; the window's creation
// then fails and says why.
bool RegisterProgramWindowClass(const wchar_t* name, WNDPROC procedure);

}  // namespace trs::win32
