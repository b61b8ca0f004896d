// The desktop backend of a machine without a display: message boxes and progress messages
// go to standard error (a box answers OK at once), there are no windows, and the main
// thread's event loop is a plain work queue.
#pragma once

#include <deque>
#include <functional>
#include <thread>

#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"

namespace trs {

class THeadlessDesktop : public IDesktopBackend {
 public:
  THeadlessDesktop() = default;
  // Drops (destroys without running) whatever work is still queued.
  ~THeadlessDesktop() override;

  // Runs posted work on the calling thread, which becomes the main thread, until Quit.
  void RunEventLoop() TRS_EXCLUDES(Lock);
  // Ends the event loop after the work it is running; callable from any thread.
  void Quit() TRS_EXCLUDES(Lock);

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  bool LoadAnimatedCursor(const std::string& path) override;
  void SetScreenCursor(TScreenCursor cursor) override;
  std::unique_ptr<IProgressView> CreateProgressView() override;
  TWindowHandle ForegroundWindow() override;
  TWindowHandle ActiveWindowOfCallingThread() override;
  bool IsWindow(TWindowHandle window) override;
  void EnableWindow(TWindowHandle window, bool enable) override;
  void RaiseToTop(TWindowHandle window) override;
  void SetForegroundWindow(TWindowHandle window) override;
  void SetActiveWindow(TWindowHandle window) override;
  void PostToMainThread(std::function<void()> work) override TRS_EXCLUDES(Lock);
  void RunOnMainThread(const std::function<void()>& work) override TRS_EXCLUDES(Lock);
  bool IsMainThread() override TRS_EXCLUDES(Lock);

 private:
  enum class TLoopState { NotStarted, Running, Ended };

  mutable TMutex Lock;
  TConditionVariable WorkArrived;
  std::deque<std::function<void()>> Queue TRS_GUARDED_BY(Lock);
  TLoopState State TRS_GUARDED_BY(Lock) = TLoopState::NotStarted;
  bool QuitAsked TRS_GUARDED_BY(Lock) = false;
  std::thread::id MainThread TRS_GUARDED_BY(Lock);
};

}  // namespace trs
