// The one door through which the desktop services reach the user's desktop: message boxes,
// the busy cursor, the progress window's view, the window operations of the dialog runner,
// and the main thread's event loop. The shell installs a Qt implementation; without a
// display the headless one serves; tests install a recording fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace trs {

// A top-level window of any program on the desktop (an X11 window id here); 0 is none.
using TWindowHandle = std::uint64_t;

// Message box buttons and icons, with the values the original passes (MB_OK, MB_ICON*).
enum : unsigned {
  MessageBoxOk = 0,
  MessageBoxIconError = 16,
  MessageBoxIconInformation = 64,
};
// The button that closed a message box (IDOK).
constexpr int MessageBoxResultOk = 1;

// What the screen cursor shows.
enum class TScreenCursor { Default, Hourglass, Animated };

// The view of the progress window; the controller (TzrProgressor) holds the state and the
// order of the steps. Implementations may be called from any thread and reach the window on
// the main thread.
class IProgressView {
 public:
  virtual ~IProgressView() = default;
  // Puts the window into the topmost band (true) or takes it out (false), without moving it.
  virtual void SetTopmost(bool topmost) = 0;
  virtual void BringToTop() = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  virtual bool IsVisible() = 0;
  // The message label's text (UTF-8).
  virtual void SetMessage(const std::string& text) = 0;
  virtual void SetMax(int max) = 0;
  virtual void SetPosition(int position) = 0;
  // Repaints the window now, without running any user input.
  virtual void ProcessPaintMessages() = 0;
};

class IDesktopBackend {
 public:
  virtual ~IDesktopBackend() = default;

  // A modal message box owned by the foreground window (where there is one); texts are
  // UTF-8. Blocks the calling thread until the user closes it and returns the button.
  virtual int MessageBox(const std::string& text, const std::string& caption,
                         unsigned flags) = 0;

  // Loads an animated cursor file (RIFF "ACON") to be shown as TScreenCursor::Animated;
  // false when the file is missing or unusable.
  virtual bool LoadAnimatedCursor(const std::string& path) = 0;
  virtual void SetScreenCursor(TScreenCursor cursor) = 0;

  virtual std::unique_ptr<IProgressView> CreateProgressView() = 0;

  // Window operations of the dialog runner. ActiveWindowOfCallingThread is the program's own
  // active window when called on the thread that owns it, else 0.
  virtual TWindowHandle ForegroundWindow() = 0;
  virtual TWindowHandle ActiveWindowOfCallingThread() = 0;
  virtual bool IsWindow(TWindowHandle window) = 0;
  virtual void EnableWindow(TWindowHandle window, bool enable) = 0;
  // Top of the Z order, without moving or sizing (SetWindowPos HWND_TOP).
  virtual void RaiseToTop(TWindowHandle window) = 0;
  virtual void SetForegroundWindow(TWindowHandle window) = 0;
  virtual void SetActiveWindow(TWindowHandle window) = 0;

  // Runs `work` on the main thread's event loop. PostToMainThread returns at once;
  // RunOnMainThread waits until `work` has run (and runs it directly when called on the
  // main thread). Work posted after the loop has ended is dropped (destroyed, not run).
  virtual void PostToMainThread(std::function<void()> work) = 0;
  virtual void RunOnMainThread(const std::function<void()>& work) = 0;
  virtual bool IsMainThread() = 0;
};

// For backends' RunOnMainThread from another thread: posts `work` to the main thread and
// waits until it has run, rethrowing what it threw. False when the event loop dropped the
// work unrun (it had ended).
bool PostAndWait(IDesktopBackend& backend, const std::function<void()>& work);

// The backend in use. Until one is installed, a headless backend serves, so library code
// and tests never meet a missing desktop.
IDesktopBackend& Desktop();
// Installs `backend` (not owned; it must outlive its use) and returns the previous one;
// nullptr goes back to the built-in headless backend.
IDesktopBackend* SetDesktop(IDesktopBackend* backend);

}  // namespace trs
