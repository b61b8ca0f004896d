// The dialog runner: runs an engine's modal window on a worker thread while the browser
// window that asked for it stays disabled, and gives that window back when the dialog closes.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <thread>

#include "desktop/DesktopBackend.h"
#include "platform/Mutex.h"

namespace trs {

// True while an engine dialog of the report or express drivers is open; IsPrinting reports
// it. A flag, not a count: with two dialogs open, the first one to close clears it.
extern std::atomic<bool> EngineDialogActive;

// A worker thread that runs its procedure once. After the procedure has returned, the
// termination notification (when there is one) runs on the program's main thread, posted
// through the desktop backend, so the main thread's event loop must keep running for it
// to arrive. An exception escaping the procedure is caught and kept here (FatalException);
// nothing reports it beyond a log line.
//
// The object is not freed when the thread ends; its owner frees it. The destructor waits
// for the thread (or lets it go when it runs on that very thread). The object must outlive
// the delivery of its notification; the dialog runner ensures that by letting the
// notification hold the runner that owns the thread.
class TktThread {
 public:
  // Starts the thread at once unless `createSuspended`; then Start begins it. Throws what
  // starting a thread throws (std::system_error); the notification is attached before the
  // thread begins, so it cannot be missed.
  TktThread(bool createSuspended, std::function<void()> proc,
            std::function<void(TktThread&)> onTerminate = {});
  ~TktThread();
  TktThread(const TktThread&) = delete;
  TktThread& operator=(const TktThread&) = delete;

  // Begins a thread created suspended; does nothing when it has begun already. Called by
  // the owner, not concurrently with itself.
  void Start();

  // The exception that escaped the procedure, or none.
  std::exception_ptr FatalException() const TRS_EXCLUDES(Lock);

 private:
  void Execute();

  // The procedure (may be empty) and the notification; the thread takes both over when it
  // begins, so what they hold is released once it has ended, not with this object.
  std::function<void()> Proc;
  std::function<void(TktThread&)> OnTerminate;
  bool Started = false;
  std::thread Handle;

  mutable TMutex Lock;
  std::exception_ptr Fatal TRS_GUARDED_BY(Lock);
};

// Creates a running TktThread. Any error while creating it yields nullptr; none escapes.
std::unique_ptr<TktThread> CreateWorkerThread(std::function<void()> proc,
                                              std::function<void(TktThread&)> onTerminate = {});

// Test hook: the next `count` thread starts fail as when the system has no thread left
// (std::system_error), so tests reach the paths where no worker can be created.
void FailWorkerCreationsForTests(int count);

// How many worker procedures are running: counted from the start of a TktThread until its
// procedure (for a dialog: the action, the window epilogue and the DoAfterShow on the
// worker) has ended and its notification has been posted.
int RunningDialogWorkers();
// At shutdown: waits up to `timeout` for the running workers to end; true when none runs.
bool WaitForDialogWorkers(std::chrono::milliseconds timeout);

// Base of the drivers' dialog runners (each driver's TktPrintConfiger). A driver creates a
// runner for one dialog action with std::make_shared and calls Show once; Show requires a
// runner owned by a shared_ptr. The run holds the runner: it is released once its worker has
// ended and the DoAfterShow on the main thread has run, even when the driver has dropped it.
//
// A run: Show notes the foreground window (the browser) as HostWnd, disables it and starts
// a worker that runs ShowInThread: DoShow (the engine's modal window), then the host window
// is enabled, raised, made foreground and active, then DoAfterShow. When there is no
// foreground window, or Show runs on a thread with an active window of its own, HostWnd is
// none and the worker runs DoShow alone. In both cases DoAfterShow runs once more on the
// main thread when the worker has ended (ThreadTerminate), so it must bear being run twice.
class TktIEShowDialog : public std::enable_shared_from_this<TktIEShowDialog> {
 public:
  virtual ~TktIEShowDialog();
  TktIEShowDialog(const TktIEShowDialog&) = delete;
  TktIEShowDialog& operator=(const TktIEShowDialog&) = delete;

  // Starts the run and returns without waiting for it. When no worker can be created, the
  // host window is enabled again and there is no run (IsShowing is false). A call while a
  // run of this runner exists starts nothing. Throws std::bad_weak_ptr (before touching any
  // window) when the runner is not owned by a shared_ptr.
  void Show() TRS_EXCLUDES(WorkerLock);
  // True when Show has started a worker.
  bool IsShowing() const TRS_EXCLUDES(WorkerLock);
  // Makes the host window the foreground window again, when it is still a window.
  void BringHostToFront();

 protected:
  TktIEShowDialog() = default;

  // The work: the engine action. Subclasses run it inside RunEngineAction.
  virtual void DoShow() = 0;
  // The completion notice; called once on the worker after the host window was given back
  // (only when there is one) and once on the main thread when the worker has ended.
  virtual void DoAfterShow() = 0;

  // The frame of every DoShow: EngineDialogActive is held while `action` runs (the engine's
  // modal window); then BringHostToFront and `afterAction` follow. When the action throws,
  // both are skipped, the flag is cleared all the same and the error goes on to the caller.
  void RunEngineAction(const std::function<void()>& action,
                       const std::function<void()>& afterAction = {});

  // The worker's procedure when there is a host window.
  void ShowInThread();
  // The worker's termination notification, on the main thread.
  void ThreadTerminate(TktThread& sender);

  // The browser window of the run, or 0. Written by Show before the worker starts and read
  // by the worker only, so the thread start orders the two.
  TWindowHandle HostWnd = 0;

  mutable TMutex WorkerLock;
  // The worker of the run; kept after it has ended. Empty before Show and when no worker
  // could be created.
  std::unique_ptr<TktThread> Worker TRS_GUARDED_BY(WorkerLock);
};

}  // namespace trs
