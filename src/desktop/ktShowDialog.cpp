// The dialog runner and its worker thread.
#include "desktop/ktShowDialog.h"

#include <string>
#include <system_error>
#include <utility>

#include "desktop/LogLine.h"

namespace trs {

std::atomic<bool> EngineDialogActive{false};

namespace {

// The count of running workers, with the wake-up that shutdown waits on. Never destroyed:
// a worker let go at exit may still end after static destruction has begun.
struct TWorkerCount {
  TMutex Lock;
  TConditionVariable Ended;
  int Running TRS_GUARDED_BY(Lock) = 0;
};

TWorkerCount& Workers() {
  static TWorkerCount* const count = new TWorkerCount;
  return *count;
}

void WorkerBegins() {
  TWorkerCount& workers = Workers();
  TLockGuard guard(workers.Lock);
  ++workers.Running;
}

void WorkerEnds() {
  TWorkerCount& workers = Workers();
  {
    TLockGuard guard(workers.Lock);
    --workers.Running;
  }
  workers.Ended.NotifyAll();
}

std::atomic<int> FailingCreations{0};

// Takes one injected failure, if any is left.
bool TakeInjectedFailure() {
  int left = FailingCreations.load();
  while (left > 0 && !FailingCreations.compare_exchange_weak(left, left - 1)) {
  }
  return left > 0;
}

std::string Describe(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown exception";
  }
}

}  // namespace

// --- TktThread ---

TktThread::TktThread(bool createSuspended, std::function<void()> proc,
                     std::function<void(TktThread&)> onTerminate)
    : Proc(std::move(proc)), OnTerminate(std::move(onTerminate)) {
  if (!createSuspended) Start();
}

TktThread::~TktThread() {
  if (!Handle.joinable()) return;
  // The last owner may let go of the object from within the thread itself (what the
  // procedure or notification held was the last reference); joining there would deadlock.
  if (Handle.get_id() == std::this_thread::get_id())
    Handle.detach();
  else
    Handle.join();
}

void TktThread::Start() {
  if (Started) return;
  WorkerBegins();
  try {
    if (TakeInjectedFailure())
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                              "thread creation failed (test hook)");
    Handle = std::thread([this] { Execute(); });
  } catch (...) {
    WorkerEnds();
    throw;
  }
  Started = true;
}

std::exception_ptr TktThread::FatalException() const {
  TLockGuard guard(Lock);
  return Fatal;
}

void TktThread::Execute() {
  // Both were set before the thread began and nothing else touches them now.
  std::function<void()> proc = std::move(Proc);
  std::function<void(TktThread&)> notify = std::move(OnTerminate);
  try {
    if (proc) proc();
  } catch (...) {
    std::exception_ptr error = std::current_exception();
    LogLine("a dialog worker ended with an error: " + Describe(error));
    TLockGuard guard(Lock);
    Fatal = error;
  }
  if (notify) {
    // The procedure travels with the notification, so whatever it holds is released on the
    // main thread after the notification, not here. Once posted, the notification may free
    // this object at any moment: nothing below touches it.
    Desktop().PostToMainThread(
        [this, notify = std::move(notify), proc = std::move(proc)] {
          try {
            notify(*this);
          } catch (...) {
            // The main thread's event loop must not unwind because of a dialog.
            LogLine("a dialog worker's end notice failed: " +
                    Describe(std::current_exception()));
          }
        });
  } else {
    proc = nullptr;  // may free this object (then it lets this thread go)
  }
  WorkerEnds();
}

std::unique_ptr<TktThread> CreateWorkerThread(std::function<void()> proc,
                                              std::function<void(TktThread&)> onTerminate) {
  try {
    return std::make_unique<TktThread>(false, std::move(proc), std::move(onTerminate));
  } catch (const std::exception& e) {
    LogLine(std::string("a dialog worker could not be started: ") + e.what());
  } catch (...) {
    LogLine("a dialog worker could not be started");
  }
  return nullptr;
}

void FailWorkerCreationsForTests(int count) { FailingCreations = count; }

int RunningDialogWorkers() {
  TWorkerCount& workers = Workers();
  TLockGuard guard(workers.Lock);
  return workers.Running;
}

bool WaitForDialogWorkers(std::chrono::milliseconds timeout) {
  TWorkerCount& workers = Workers();
  TLockGuard guard(workers.Lock);
  return workers.Ended.WaitFor(workers.Lock, timeout,
                               [&workers]() TRS_REQUIRES(workers.Lock) { return workers.Running == 0; });
}

// --- TktIEShowDialog ---

TktIEShowDialog::~TktIEShowDialog() = default;

void TktIEShowDialog::Show() {
  // The worker's procedure and its notification each hold the runner, so the run keeps it
  // alive however soon the driver replaces it in its slot.
  std::shared_ptr<TktIEShowDialog> self = shared_from_this();
  TLockGuard guard(WorkerLock);
  if (Worker) return;
  IDesktopBackend& desktop = Desktop();
  HostWnd = desktop.ForegroundWindow();
  std::function<void()> proc;
  // A connection thread owns no active window; a thread that does (the program's own
  // windows) is not a browser request, and its window must not be disabled.
  if (HostWnd != 0 && desktop.ActiveWindowOfCallingThread() == 0) {
    desktop.EnableWindow(HostWnd, false);
    proc = [self] { self->ShowInThread(); };
  } else {
    HostWnd = 0;
    proc = [self] { self->DoShow(); };
  }
  Worker = CreateWorkerThread(std::move(proc),
                              [self](TktThread& sender) { self->ThreadTerminate(sender); });
  // Without a run nobody would give the browser its window back.
  if (!Worker && HostWnd != 0) desktop.EnableWindow(HostWnd, true);
}

bool TktIEShowDialog::IsShowing() const {
  TLockGuard guard(WorkerLock);
  return Worker != nullptr;
}

void TktIEShowDialog::BringHostToFront() {
  if (HostWnd == 0) return;
  IDesktopBackend& desktop = Desktop();
  if (desktop.IsWindow(HostWnd)) desktop.SetForegroundWindow(HostWnd);
}

void TktIEShowDialog::RunEngineAction(const std::function<void()>& action,
                                      const std::function<void()>& afterAction) {
  struct TClearOnExit {
    ~TClearOnExit() { EngineDialogActive = false; }
  };
  EngineDialogActive = true;
  TClearOnExit clear;
  action();
  BringHostToFront();
  if (afterAction) afterAction();
}

void TktIEShowDialog::ShowInThread() {
  std::exception_ptr error;
  try {
    DoShow();
  } catch (...) {
    error = std::current_exception();
  }
  // The browser gets its window back whether the engine action succeeded or not; the
  // user may have closed it meanwhile.
  IDesktopBackend& desktop = Desktop();
  if (desktop.IsWindow(HostWnd)) {
    desktop.EnableWindow(HostWnd, true);
    desktop.RaiseToTop(HostWnd);
    desktop.SetForegroundWindow(HostWnd);
    desktop.SetActiveWindow(HostWnd);
  }
  DoAfterShow();
  if (error) std::rethrow_exception(error);
}

void TktIEShowDialog::ThreadTerminate(TktThread& sender) {
  (void)sender;
  DoAfterShow();
}

}  // namespace trs
