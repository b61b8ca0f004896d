// Program entry on Windows: the service, headless. The stop requests (Ctrl+C, closing the
// console, logging off, shutting down) reach it through the same watcher as on Linux.
#include "desktop/DesktopUtils.h"
#include "platform/ProcessControl.h"
#include "platform/Text.h"
#include "shell/HeadlessProgram.h"
#include "shell/ProgramStart.h"

int main() {
  trs::TStopSignalWatcher stopSignals;  // before any thread exists
  trs::InitNarrowCodePage();
  trs::SetApplicationTitle(trs::ApplicationTitleText);
  return trs::RunHeadlessProgram(stopSignals);
}
