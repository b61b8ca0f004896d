// The tray program on Windows.
#include "desktop/win32/Win32TrayProgram.h"

#include <cstdlib>
#include <memory>
#include <string>

#include "desktop/LogLine.h"
#include "desktop/win32/Win32Desktop.h"
#include "desktop/win32/Win32MainForm.h"
#include "platform/ProcessControl.h"
#include "platform/SingleInstance.h"
#include "shell/ProgramStart.h"

namespace trs {

namespace {

int RunTray(TWin32Desktop& desktop, TStopSignalWatcher& stopSignals) {
  // Stop requests are taken from the very start: a box that the start-up shows (a second
  // copy, a missing CONFIG.CFG, a bad PORT) must not hold them up. A request ends the
  // message loop and closes the boxes; the start-up then runs to its end without waiting
  // for the user, and the message loop is not entered.
  bool stopAsked = false;               // main thread only
  TWin32MainForm* mainForm = nullptr;   // main thread only; set while the form exists
  TDesktopRunHooks hooks(desktop, stopSignals);
  stopSignals.Start([&desktop, &stopAsked, &mainForm](int signal) {
    desktop.PostToMainThread([&desktop, &stopAsked, &mainForm, signal] {
      LogLine("stopping (signal " + std::to_string(signal) + ")");
      stopAsked = true;
      if (mainForm != nullptr)
        mainForm->nExitClick();
      else
        desktop.Quit();
      desktop.BeginShutdown();
    });
  });

  int status = EXIT_FAILURE;
  if (std::unique_ptr<TSingleInstance> guard = TakeSingleInstance()) {
    auto form = std::make_unique<TWin32MainForm>(desktop);
    mainForm = form.get();
    if (form->FormCreate(InitialPort())) {
      status = EXIT_SUCCESS;
      if (!stopAsked) {
        AnnounceListening(form->Shell());
        desktop.RunEventLoop(form->Window());
      }
      form->Shell().Stop();
      stopSignals.Stop();
      WaitForOpenDialogsOrExit();
    }
    mainForm = nullptr;
    form.reset();  // removes the tray icon, then frees the endpoint and the drivers
  }
  return status;
}

}  // namespace

std::optional<int> RunWin32TrayProgram(TStopSignalWatcher& stopSignals) {
  std::string problem;
  if (!Win32DesktopAvailable(problem)) {
    LogLine(problem + ": no tray icon, serving without a desktop");
    return std::nullopt;
  }
  std::unique_ptr<TWin32Desktop> desktop;
  try {
    desktop = std::make_unique<TWin32Desktop>();
  } catch (const std::exception& error) {
    LogLine(std::string(error.what()) + ": no tray icon, serving without a desktop");
    return std::nullopt;
  }
  try {
    return RunTray(*desktop, stopSignals);
  } catch (const std::exception& error) {
    // The tray program had started: its failure ends the program (a headless restart would
    // hide it and leave a second, different program running in its place).
    LogLine(std::string("error: ") + error.what());
    return EXIT_FAILURE;
  }
}

}  // namespace trs
