// Program entry: the tray program on a desktop, the headless service without a display.
// The tray program lives in the desktop module beside the program, so that the service on
// a machine without a display never loads the toolkit.
#include <cstdlib>

#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
#include "platform/DynamicLibrary.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"
#include "shell/HeadlessProgram.h"
#include "shell/ProgramStart.h"

namespace {

using TRunTrayProgram = int(int argc, char** argv, trs::TStopSignalWatcher* stopSignals);

const char* const DesktopModuleName = "TallyReportSrv-desktop.so";

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  trs::TStopSignalWatcher stopSignals;  // before any thread exists
  trs::InitNarrowCodePage();
  trs::SetApplicationTitle(trs::ApplicationTitleText);
  if (DisplayAvailable()) {
    const std::string path = trs::ProgramDirectory() + DesktopModuleName;
    try {
      trs::TDynamicLibrary module = trs::TDynamicLibrary::Load(path);
      auto* run = module.Entry<TRunTrayProgram>("TrsRunTrayProgram");
      if (run == nullptr) throw trs::Exception(path + " has no tray program");
      module.KeepLoaded();  // the toolkit's objects live until the process ends
      return run(argc, argv, &stopSignals);
    } catch (const trs::Exception& error) {
      // The service matters more than the icon: serve on without the tray.
      trs::LogLine(std::string("no tray icon, running as a service only: ") + error.what());
    }
  }
  return trs::RunHeadlessProgram(stopSignals);
}
