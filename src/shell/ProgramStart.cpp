// Start-up and end of the program, shared by the tray and the headless forms.
#include "shell/ProgramStart.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "desktop/DesktopBackend.h"
#include "desktop/LogLine.h"
#include "desktop/ktShowDialog.h"
#include "endpoint/fuReportServer.h"
#include "platform/Convert.h"
#include "platform/ProgramFile.h"
#include "platform/SingleInstance.h"
#include "shell/ServiceShell.h"

namespace trs {

namespace {

constexpr auto DialogGrace = std::chrono::seconds(5);

}  // namespace

int InitialPort() {
  const char* text = std::getenv("TALLYREPORTSRV_PORT");
  if (text == nullptr || *text == 0) return TReportServer::DefaultPort;
  return StrToInt(text);
}

std::optional<uint64_t> RequestMemoryLimit() {
  constexpr const char* name = "TALLYREPORTSRV_REQUEST_MEMORY_MB";
  const char* text = std::getenv(name);
  if (text == nullptr || *text == 0) return std::nullopt;
  const std::optional<int32_t> mebibytes = TryStrToInt(text);
  if (!mebibytes || *mebibytes < 1 || *mebibytes > (1 << 20)) {
    LogLine(std::string(name) + "=" + text + " is not a number of MiB from 1 to 1048576; ignored");
    return std::nullopt;
  }
  return static_cast<uint64_t>(*mebibytes) << 20;
}

std::unique_ptr<TSingleInstance> TakeSingleInstance() {
  auto guard = std::make_unique<TSingleInstance>(ApplicationTitleText);
  if (guard->Acquired()) return guard;
  Desktop().MessageBox("程序已经运行...", "提示", MessageBoxOk);
  return nullptr;
}

void AnnounceListening(const TServiceShell& shell) {
  if (shell.ListeningPortsText().empty()) {
    LogLine("not listening: the configured port could not be listened on; change it in the port form");
    return;
  }
  std::printf("TallyReportSrv listening on port %s (program directory %s)\n",
              shell.ListeningPortsText().c_str(), ProgramDirectory().c_str());
  std::fflush(stdout);
}

void WaitForOpenDialogsOrExit() {
  if (WaitForDialogWorkers(DialogGrace)) return;
  // Their engines still use the drivers: freeing them now would pull the ground from under
  // the open windows, so the process ends here and the system takes the windows down.
  LogLine(std::to_string(RunningDialogWorkers()) +
          " engine dialog(s) still open after 5 s; ending without waiting for them");
  ExitProcessNow(EXIT_SUCCESS);
}

TDesktopRunHooks::TDesktopRunHooks(IDesktopBackend& desktop, TStopSignalWatcher& stopSignals)
    : StopSignals(stopSignals), Previous(SetDesktop(&desktop)) {}

TDesktopRunHooks::~TDesktopRunHooks() {
  StopSignals.Stop();
  SetDesktop(Previous);
}

}  // namespace trs
