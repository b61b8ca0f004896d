// The desktop backend of the Windows program, on the Win32 API: message boxes owned by the
// foreground window, the busy cursor, the progress window, the window operations of the
// dialog runner, and the main thread's message loop with the queue that other threads post
// their work to.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"

namespace trs {

// Whether this session can show windows: a hidden top-level window can be created (without
// a desktop, as in a service's session or under Wine without X, it cannot). `problem` says
// why not, for the log.
bool Win32DesktopAvailable(std::string& problem);

// The calling thread of the constructor becomes the main thread: it owns the message-only
// window through which posted work arrives, and must run a message loop (RunEventLoop, or
// the modal loop of a box or menu) for the work to run. Boxes are shown on the thread that
// asks for them; their own modal loop keeps the main thread's messages flowing.
class TWin32Desktop : public IDesktopBackend {
 public:
  // Throws trs::Exception with the system's reason when the window cannot be created.
  TWin32Desktop();
  // Drops (destroys without running) the work still queued. Main thread only.
  ~TWin32Desktop() override;
  TWin32Desktop(const TWin32Desktop&) = delete;
  TWin32Desktop& operator=(const TWin32Desktop&) = delete;

  // Runs the main thread's message loop until Quit, then starts the shutdown (below) and
  // drops the work still queued; work posted later is dropped at once. Messages for
  // `dialogWindow` (when given) go through the dialog keyboard first, so that Tab moves
  // between its controls and Enter presses its default button.
  void RunEventLoop(TWindowHandle dialogWindow = 0) TRS_EXCLUDES(QueueLock);
  // Ends the message loop after the message it is handling; callable from any thread.
  void Quit();

  // From now on boxes are logged and answered OK at once, the open ones are closed (their
  // callers get OK), and work that other threads would wait for on the main thread is
  // skipped, so no request waits for the desktop while the program ends. Any thread.
  void BeginShutdown() TRS_EXCLUDES(BoxLock);

  // For the program's window procedures on WM_SETCURSOR: shows the busy cursor and returns
  // true while one is set, else returns false (the window's own cursor applies).
  bool ShowBusyCursorOverWindow() TRS_EXCLUDES(CursorLock);

  int MessageBox(const std::string& text, const std::string& caption,
                 unsigned flags) override TRS_EXCLUDES(BoxLock);
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
  void PostToMainThread(std::function<void()> work) override TRS_EXCLUDES(QueueLock);
  void RunOnMainThread(const std::function<void()>& work) override TRS_EXCLUDES(QueueLock);
  bool IsMainThread() override;

  // Called by the message-only window: runs the next piece of posted work.
  void RunNextPostedWork() TRS_EXCLUDES(QueueLock);
  // Called by the message box hook on the asking thread when the box's window is created.
  void BoxCreated(TWindowHandle box) TRS_EXCLUDES(BoxLock);

 private:
  void ApplyCursor(TScreenCursor cursor) TRS_EXCLUDES(CursorLock);  // main thread
  bool LoopHasEnded() TRS_EXCLUDES(QueueLock);

  unsigned long MainThreadId;
  TWindowHandle MessageWindow = 0;

  TMutex QueueLock;
  std::deque<std::function<void()>> Queue TRS_GUARDED_BY(QueueLock);
  bool WakePosted TRS_GUARDED_BY(QueueLock) = false;
  bool LoopEnded TRS_GUARDED_BY(QueueLock) = false;

  std::atomic<bool> ShuttingDown{false};
  TMutex BoxLock;
  std::set<TWindowHandle> OpenBoxes TRS_GUARDED_BY(BoxLock);

  TMutex CursorLock;
  void* AnimatedCursor TRS_GUARDED_BY(CursorLock) = nullptr;  // HCURSOR
  // Every cursor loaded, destroyed with the backend: one may still be on the screen.
  std::vector<void*> LoadedCursors TRS_GUARDED_BY(CursorLock);
  TScreenCursor Shown TRS_GUARDED_BY(CursorLock) = TScreenCursor::Default;
};

}  // namespace trs
