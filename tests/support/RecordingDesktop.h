// A desktop backend for tests: records every call as one line of text, in order, answers
// from settable state, and keeps posted work until the test runs it as the "main thread".
#pragma once

#include <deque>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"

namespace trs::test {

class TRecordingDesktop : public IDesktopBackend {
 public:
  // Installs itself as the desktop backend; the constructing thread counts as the main
  // thread. The destructor puts the previous backend back and drops unrun posted work.
  TRecordingDesktop();
  ~TRecordingDesktop() override;

  // Settable answers.
  void SetForeground(TWindowHandle window);
  void SetActiveOfCallingThread(TWindowHandle window);  // answered on every thread
  void AddWindow(TWindowHandle window);                 // a window that IsWindow knows
  void CloseWindow(TWindowHandle window);
  void SetAnimatedCursorLoads(bool loads);
  void SetMessageBoxResult(int result);

  // The calls so far, e.g. "MessageBox(text|caption|64)", "EnableWindow(7,0)".
  std::vector<std::string> Calls() const;
  // Only the calls whose text begins with `prefix`.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
  void ClearCalls();
  // Which thread made each call, parallel to Calls().
  std::vector<std::thread::id> CallThreads() const;

  // Runs the posted work in order on the calling thread (the test's "main thread") until
  // none is queued; returns how many ran.
  int RunPostedWork();
  // Waits up to `seconds` until at least one piece of work is posted, then runs all queued.
  int WaitAndRunPostedWork(double seconds);
  size_t PostedCount() const;

  // IDesktopBackend
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
  void PostToMainThread(std::function<void()> work) override;
  void RunOnMainThread(const std::function<void()>& work) override;
  bool IsMainThread() override;

  // Records one call (used by the fake progress view as well).
  void Record(std::string call) TRS_EXCLUDES(Lock);

 private:
  mutable TMutex Lock;
  TConditionVariable Posted;
  std::vector<std::string> CallLog TRS_GUARDED_BY(Lock);
  std::vector<std::thread::id> CallLogThreads TRS_GUARDED_BY(Lock);
  std::deque<std::function<void()>> PostedWork TRS_GUARDED_BY(Lock);
  std::set<TWindowHandle> Windows TRS_GUARDED_BY(Lock);
  TWindowHandle Foreground TRS_GUARDED_BY(Lock) = 0;
  TWindowHandle Active TRS_GUARDED_BY(Lock) = 0;
  bool AnimatedCursorLoads TRS_GUARDED_BY(Lock) = false;
  int MessageBoxAnswer TRS_GUARDED_BY(Lock) = MessageBoxResultOk;
  const std::thread::id MainThread;
  IDesktopBackend* Previous = nullptr;  // the constructing thread's, put back by the destructor
};

}  // namespace trs::test
