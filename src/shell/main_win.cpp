// Program entry on Windows: the tray program where the session can show windows, else the
// service alone. The stop requests (Ctrl+C, closing the console, logging off, shutting down)
// reach either through the same watcher as on Linux.
#include <optional>

#include "desktop/DesktopUtils.h"
#include "desktop/win32/Win32TrayProgram.h"
#include "platform/ProcessControl.h"
#include "platform/Text.h"
#include "shell/HeadlessProgram.h"
#include "shell/ProgramStart.h"

int main() {
  trs::TStopSignalWatcher stopSignals;  // before any thread exists
  trs::InitNarrowCodePage();
  trs::SetApplicationTitle(trs::ApplicationTitleText);
  // Only a session without a desktop falls back to the service alone; once the tray
  // program runs, its end is the program's end.
  if (std::optional<int> status = trs::RunWin32TrayProgram(stopSignals)) return *status;
  return trs::RunHeadlessProgram(stopSignals);
}
