// The program without a display: the same start-up, CONFIG.CFG and single-instance
// behaviour as the tray program, without tray and forms; it ends on SIGINT or SIGTERM.
#include "shell/HeadlessProgram.h"

#include <cstdlib>
#include <memory>

#include "desktop/HeadlessDesktop.h"
#include "desktop/LogLine.h"
#include "endpoint/fuReportServer.h"
#include "platform/SingleInstance.h"
#include "shell/ProgramStart.h"
#include "shell/ServiceShell.h"

namespace trs {

int RunHeadlessProgram(TStopSignalWatcher& stopSignals) {
  THeadlessDesktop desktop;
  IDesktopBackend* previous = SetDesktop(&desktop);
  int status = EXIT_SUCCESS;
  if (std::unique_ptr<TSingleInstance> guard = TakeSingleInstance()) {
    TServiceShell shell;
    try {
      shell.CreateServer(InitialPort());
    } catch (const std::exception& error) {
      LogLine(std::string("error: ") + error.what());
      status = EXIT_FAILURE;
    }
    if (status == EXIT_SUCCESS) {
      // A bad PORT is reported and the service stays on its start port, as in the tray
      // program; only a server left without a port (the configured one refused it) ends
      // the program, since nothing here could give it another.
      try {
        shell.LoadPort();
      } catch (const std::exception& error) {
        LogLine(std::string("error: ") + error.what());
        if (!shell.Server()->Listening()) status = EXIT_FAILURE;
      }
    }
    if (status == EXIT_SUCCESS) {
      AnnounceListening(shell);
      stopSignals.Start([&desktop](int signal) {
        LogLine("stopping (signal " + std::to_string(signal) + ")");
        desktop.Quit();
      });
      desktop.RunEventLoop();
      stopSignals.Stop();
    }
    shell.Stop();
    WaitForOpenDialogsOrExit();
  } else {
    status = EXIT_FAILURE;  // another copy runs
  }
  SetDesktop(previous);
  return status;
}

}  // namespace trs
