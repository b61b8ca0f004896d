// What both forms of the program (tray and headless) do around the service shell: the stop
// signals, the start-up port, the single-instance guard, the ready line and the end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ProcessControl.h"

namespace trs {

class IDesktopBackend;
class TServiceShell;
class TSingleInstance;

// The application title, also the name of the single-instance guard.
constexpr const char* ApplicationTitleText = "TallyReportSever";

// The port the endpoint starts on: 8086, or TALLYREPORTSRV_PORT when set (0: any free
// port), so that tests and a second installation can run beside an installed copy.
int InitialPort();

// The memory all requests being read may hold together, from TALLYREPORTSRV_REQUEST_MEMORY_MB
// (whole MiB, 1 to 1048576); none when it is unset. A value that is not such a number is
// logged and ignored, so the server keeps its own limit.
std::optional<uint64_t> RequestMemoryLimit();

// Takes the single-instance guard. When another copy holds it, shows "程序已经运行..."
// with the caption "提示" and returns null.
std::unique_ptr<TSingleInstance> TakeSingleInstance();

// The ready line on standard output: "TallyReportSrv listening on port N (program
// directory D)"; scripts and tests wait for it. A server that listens nowhere (the start
// port was moved to one that was refused) is logged instead.
void AnnounceListening(const TServiceShell& shell);

// A tray program run's hold on the process-wide hooks, let go however the run ends (an error
// included): the desktop backend goes back to the previous one and the stop signals are no
// longer handed to objects of the run.
class TDesktopRunHooks {
 public:
  TDesktopRunHooks(IDesktopBackend& desktop, TStopSignalWatcher& stopSignals);
  ~TDesktopRunHooks();
  TDesktopRunHooks(const TDesktopRunHooks&) = delete;
  TDesktopRunHooks& operator=(const TDesktopRunHooks&) = delete;

 private:
  TStopSignalWatcher& StopSignals;
  IDesktopBackend* Previous;
};

// Gives the dialogs still open a bounded time to close. When some stay open, the program
// ends at once, without freeing what their engines still use.
void WaitForOpenDialogsOrExit();

}  // namespace trs
