// Windows: stop requests are the console's control events (Ctrl+C, Ctrl+Break, closing the
// console, logging off, shutting down). The system calls the handler on a thread of its
// own; the handler only queues the request, and the watcher thread calls `onStop`, as the
// signal thread does on Linux. Ctrl+C counts as SIGINT, every other event as SIGTERM.
//
// For Ctrl+C and Ctrl+Break the handler returns at once. For closing, logging off and shutting
// down the system ends the process as soon as the handler returns, so there the handler never
// returns: the program stops in its own time and exits, or the system ends it after its grace
// period (about 5 s).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/Mutex.h"
#include "platform/ProcessControl.h"
#include "platform/Win32_win.h"

namespace trs {

namespace {

// The requests the handler has queued and the watcher has not taken yet; `Ending` ends the
// watcher. One set for the process, as the console handler is process-wide.
struct TStopRequests {
  TMutex Lock;
  TConditionVariable Changed;
  std::deque<int> Pending TRS_GUARDED_BY(Lock);
  bool Ending TRS_GUARDED_BY(Lock) = false;
};

TStopRequests& StopRequests() {
  static TStopRequests requests;
  return requests;
}

BOOL WINAPI OnConsoleControl(DWORD event) {
  TStopRequests& requests = StopRequests();
  {
    TLockGuard lock(requests.Lock);
    requests.Pending.push_back(event == CTRL_C_EVENT ? SIGINT : SIGTERM);
  }
  requests.Changed.NotifyAll();
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) ::Sleep(INFINITE);
  return TRUE;  // handled: the default handler would end the process at once
}

}  // namespace

TStopSignalWatcher::TStopSignalWatcher() {
  TStopRequests& requests = StopRequests();
  {
    TLockGuard lock(requests.Lock);
    requests.Ending = false;
  }
  ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

TStopSignalWatcher::~TStopSignalWatcher() {
  Stop();
  ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
}

void TStopSignalWatcher::Start(std::function<void(int)> onStop) {
  Watcher = std::thread([onStop = std::move(onStop)] {
    TStopRequests& requests = StopRequests();
    for (;;) {
      int signal = 0;
      {
        TUniqueLock lock(requests.Lock);
        requests.Changed.Wait(requests.Lock, [&] { return requests.Ending || !requests.Pending.empty(); });
        if (requests.Ending) return;
        signal = requests.Pending.front();
        requests.Pending.pop_front();
      }
      onStop(signal);
    }
  });
}

void TStopSignalWatcher::Stop() {
  if (!Watcher.joinable()) return;
  TStopRequests& requests = StopRequests();
  {
    TLockGuard lock(requests.Lock);
    requests.Ending = true;
  }
  requests.Changed.NotifyAll();
  Watcher.join();
}

void ExitProcessNow(int status) {
  std::fflush(nullptr);
  // Unlike ExitProcess, no library is told of the exit: an engine whose windows are still
  // open on other threads gets no chance to hang the exit in its detach code.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status));
  std::_Exit(status);  // only if the system refused
}

}  // namespace trs
