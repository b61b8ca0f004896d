// The window operations of the dialog runner on an X11 desktop (the foreground window,
// disabling and re-enabling it, raising and focusing it), as EWMH and ICCCM requests on an
// xcb connection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"

struct xcb_connection_t;

namespace trs {

// X11 operations on the top-level windows of other programs, for the Qt desktop backend.
//
// X11 has no way to disable another client's window, so disabling is approximated through
// the window manager: the window's ICCCM WM_HINTS input flag is set to false, so that the
// window manager gives it no focus, and the value it had is kept in a property of our own
// on that window (_TALLYREPORTSRV_SAVED_INPUT) until enabling restores it. Keeping the saved
// value on the window itself means it lives exactly as long as the window does.
//
// Every operation flushes its requests, never throws, and swallows X errors (the window may
// vanish at any moment): they come back to us as checked replies, never into the event
// queue of the connection's owner. A window handle that is 0 or no X window id is ignored.
//
// Thread-safe: the connection may be shared with another user (Qt's own), libxcb
// serialises access to it, and the state here is fixed after construction.
class TXcbWindows {
 public:
  // Works on `connection` (not owned; it must outlive this object) and the screen whose
  // number is given.
  TXcbWindows(xcb_connection_t* connection, int screenNumber);
  // Opens its own connection to `displayName` ("" for $DISPLAY); nullptr when the display
  // cannot be reached.
  static std::unique_ptr<TXcbWindows> Open(const std::string& displayName);
  ~TXcbWindows();
  TXcbWindows(const TXcbWindows&) = delete;
  TXcbWindows& operator=(const TXcbWindows&) = delete;

  // The window the window manager reports as active (root's _NET_ACTIVE_WINDOW); 0 when
  // there is none or the window manager does not say.
  TWindowHandle ActiveWindow();
  bool IsWindow(TWindowHandle window);

  // Disabling clears the WM_HINTS input flag and remembers the previous value unless the
  // window is already disabled by us (so nested disables keep the original). Enabling
  // restores the remembered value; a window we never disabled stays as it is. The other
  // WM_HINTS fields are kept.
  void SetInputEnabled(TWindowHandle window, bool enable);
  // False when the window's WM_HINTS refuse input or the window does not exist.
  bool IsInputEnabled(TWindowHandle window);

  // Restacks the window above its siblings without moving or sizing it.
  void RaiseToTop(TWindowHandle window);
  // Asks the window manager to activate the window (_NET_ACTIVE_WINDOW, sent as a pager
  // would, which window managers honour without focus-stealing checks). Asynchronous.
  void SetForeground(TWindowHandle window);
  // Gives the window the input focus at once; nothing when the window is not viewable.
  void SetActive(TWindowHandle window);

 private:
  TXcbWindows(xcb_connection_t* connection, int screenNumber, bool ownsConnection);
  // Sends a 32-bit client message about `window` to the root window, where the window
  // manager listens.
  void SendToWindowManager(std::uint32_t window, std::uint32_t type, std::uint32_t data0,
                           std::uint32_t data1, std::uint32_t data2);

  xcb_connection_t* Connection;
  bool OwnsConnection;
  // Fixed after construction; 0 when the connection or screen was unusable, which turns
  // every operation into nothing.
  std::uint32_t Root = 0;
  std::uint32_t AtomNetActiveWindow = 0;
  std::uint32_t AtomNetRestackWindow = 0;
  std::uint32_t AtomSavedInput = 0;
  // Serialises the read-modify-write of WM_HINTS and the saved value among our threads, so
  // that two concurrent disables cannot both take the other's false for the original.
  TMutex InputLock;
};

}  // namespace trs
