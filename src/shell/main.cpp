// Program entry: the tray program on a desktop, the headless service without a display.
// The tray program lives in the desktop module beside the program, so that the service on
// a machine without a display never loads the toolkit.
#include <cstdlib>
#include <optional>

#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
#include "platform/DynamicLibrary.h"
#include "platform/Exceptions.h"
#include "platform/ProcessControl.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"
#include "shell/DesktopModuleEntry.h"
#include "shell/HeadlessProgram.h"
#include "shell/ProgramStart.h"

namespace {

bool DisplayNamed() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != 0) return true;
  }
  return false;
}

// The tray program's entry from the desktop module; nullptr (said once in the log) when
// the module cannot be loaded.
trs::TRunTrayProgram* LoadDesktopModule() {
  const std::string path = trs::ProgramDirectory() + trs::DesktopModuleName;
  try {
    trs::TDynamicLibrary module = trs::TDynamicLibrary::Load(path);
    auto* run = module.Entry<trs::TRunTrayProgram>(trs::DesktopModuleEntryName);
    if (run == nullptr) throw trs::Exception(path + " has no tray program");
    module.KeepLoaded();  // the toolkit's objects live until the process ends
    return run;
  } catch (const trs::Exception& error) {
    // The service matters more than the icon: serve on without the tray.
    trs::LogLine(std::string("the desktop module ") + trs::DesktopModuleName +
                 " beside the program cannot be loaded, so there is no tray icon; serving "
                 "without a desktop: " + error.what());
    return nullptr;
  }
}

}  // namespace

int main(int argc, char** argv) {
  trs::TStopSignalWatcher stopSignals;  // before any thread exists
  trs::InitNarrowCodePage();
  trs::SetApplicationTitle(trs::ApplicationTitleText);
  if (DisplayNamed()) {
    if (trs::TRunTrayProgram* run = LoadDesktopModule()) {
      // Only a desktop that cannot start falls back to the service alone; once the tray
      // program runs, its end is the program's end.
      const int status = run(argc, argv, &stopSignals);
      if (status != trs::DesktopUnavailable) return status;
    }
  }
  return trs::RunHeadlessProgram(stopSignals);
}
