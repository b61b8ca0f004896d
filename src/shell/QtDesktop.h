// The desktop backend of the tray program: Qt 6 Widgets for boxes, cursor and the progress
// window, and the X11 window operations (through xcb) where the session is X11.
#pragma once

#include <QObject>
#include <atomic>
#include <memory>
#include <optional>
#include <set>

#include "desktop/AniCursor.h"
#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"

class QMessageBox;
class QTimer;

namespace trs {

class TXcbWindows;

// Lives on the main (GUI) thread, created after QApplication. Calls from other threads reach
// the widgets through queued calls; a message box asked for by another thread is shown
// without a nested event loop and the caller waits for its answer, so the main thread is
// never blocked by a box and can always shut down. Boxes are modal to the program's window
// they belong to (or hung on the browser's), never to the whole program, so the tray icon
// and its menu stay live while one is open.
class TQtDesktop : public QObject, public IDesktopBackend {
 public:
  TQtDesktop();
  ~TQtDesktop() override;

  // From now on boxes are logged and answered OK at once, the open ones are closed (their
  // callers get OK), and work that other threads would wait for on the main thread is
  // skipped, so no request waits for the desktop while the program ends. Called on the main
  // thread when the event loop is about to end, or on a stop request.
  void BeginShutdown();

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool LoadAnimatedCursor(const std::string& path) override TRS_EXCLUDES(CursorLock);
  void SetScreenCursor(TScreenCursor cursor) override;
  std::unique_ptr<IProgressView> CreateProgressView() override;
  TWindowHandle ForegroundWindow() override;
  TWindowHandle ActiveWindowOfCallingThread() override;
  bool IsWindow(TWindowHandle window) override;
  void EnableWindow(TWindowHandle window, bool enable) override;
  void RaiseToTop(TWindowHandle window) override;
  void SetForegroundWindow(TWindowHandle window) override;
  void SetActiveWindow(TWindowHandle window) override;
  void PostToMainThread(std::function<void()> work) override;
  void RunOnMainThread(const std::function<void()>& work) override;
  bool IsMainThread() override;

 private:
  QMessageBox* NewBox(const std::string& text, const std::string& caption, unsigned flags);
  void ApplyCursor(TScreenCursor cursor);   // main thread
  void ShowAnimatedFrame(size_t step) TRS_EXCLUDES(CursorLock);  // main thread

  std::unique_ptr<TXcbWindows> X11;  // null outside X11 sessions
  std::atomic<bool> ShuttingDown{false};
  std::set<QMessageBox*> OpenBoxes;  // main thread only

  TMutex CursorLock;
  std::optional<TAniCursor> Animated TRS_GUARDED_BY(CursorLock);
  bool OverrideActive = false;         // main thread only
  QTimer* FrameTimer = nullptr;        // main thread only
  size_t FrameStep = 0;                // main thread only
};

}  // namespace trs
